#include "examples/program_files/staged_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <utility>

#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"

namespace program_files {
namespace {

void (*g_observer)(const std::string&) = nullptr;
// Said of a folder that its user's name no longer reaches.
constexpr char kMovedAway[] = "the folder was renamed or moved during the run";
std::atomic<int> g_flush_failure{0};  // SetFlushFailure's countdown

// fsync(2) of the run's file or the user's folder `path`, named from the
// folder `base`: errno's value, 0 when it is on disk. It allocates nothing
// and takes no lock, as it runs with the run held (run.h).
int FlushToDisk(int base, const char* path, bool folder) {
  int file =
      ::openat(base, path, (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NOFOLLOW) | O_CLOEXEC);
  // A file of the run's own that a umask left no read right.
  if (file < 0 && errno == EACCES && !folder)
    file = ::openat(base, path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (file < 0) return errno;
  const int failed = ::fsync(file) == 0 ? 0 : errno;
  ::close(file);
  int countdown = g_flush_failure.load();
  while (countdown > 0 && !g_flush_failure.compare_exchange_weak(countdown, countdown - 1)) {
  }
  return failed ? failed : countdown == 1 ? EIO : 0;
}

using FileId = std::pair<dev_t, ino_t>;

// The file named `path` from the folder `base` (a link not followed), if
// any.
std::optional<FileId> FileAt(int base, const std::string& path) {
  struct stat status {};
  if (::fstatat(base, path.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return FileId{status.st_dev, status.st_ino};
}

// One file of a commit, its names taken from the held folder (`base`).
// They are made before the run is held: the steps under the hold allocate
// nothing.
struct Move {
  int base;
  std::string staged, target;
  std::string shown;  // the target as the user named it
  std::string kept;   // where the earlier file stays until the commit is over
  enum { kNone, kLinked, kAside } earlier = kNone;
  std::optional<FileId> earlier_id;  // the earlier file, at `kept` while kept
  bool in = false;                   // the new file has the target's name
  std::optional<FileId> ours;        // the new file: what else is found at the target
                                     // meanwhile (another run's file) is left alone
};

// Keeps the earlier file at the target, then gives the new one its name:
// errno's value, 0 when it is in.
int PutInPlace(Move& move) {
  const int base = move.base;
  const char* target = move.target.c_str();
  const char* kept = move.kept.c_str();
  struct stat status {};
  if (::fstatat(base, target, &status, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(status.st_mode)) {
    move.earlier_id = FileId{status.st_dev, status.st_ino};
    if (::linkat(base, target, base, kept, 0) == 0) {
      move.earlier = Move::kLinked;
    } else if (::renameat2(base, target, base, kept, RENAME_NOREPLACE) == 0) {
      // No hard links there (a protected link, a file system without them).
      move.earlier = Move::kAside;
    } else {
      return errno;
    }
  }
  if (::renameat(base, move.staged.c_str(), base, target) != 0) return errno;
  move.in = true;
  return 0;
}

// Undoes `move`. An earlier file that cannot go back stays kept.
void Undo(Move& move) {
  const int base = move.base;
  const char* target = move.target.c_str();
  const char* kept = move.kept.c_str();
  if (move.earlier == Move::kLinked && !move.in) {
    // The target still holds it, unless someone took it away meanwhile.
    if (FileAt(base, move.kept) != FileAt(base, move.target)) return;
    ::unlinkat(base, kept, 0);
  } else if (move.earlier != Move::kNone) {
    const bool ours = move.in && FileAt(base, move.target) == move.ours;
    if (move.in && !ours) return;
    if (ours ? ::renameat(base, kept, base, target) != 0
             : ::renameat2(base, kept, base, target, RENAME_NOREPLACE) != 0)
      return;
  } else if (move.in && FileAt(base, move.target) == move.ours) {
    ::unlinkat(base, target, 0);
  }
  move.earlier = Move::kNone;
  move.in = false;
}

}  // namespace

void SetCommitObserver(void (*observer)(const std::string& target)) {
  g_observer = observer;
}

void SetFlushFailure(int nth) {
  g_flush_failure.store(nth);
}

StagedOutput::~StagedOutput() {
  Discard();
}

bool StagedOutput::Open(const std::string& folder, std::string& error) {
  Discard();
  folder_ = folder;
  while (folder_.size() > 1 && folder_.back() == '/')  // "out/" is "out"
    folder_.pop_back();
  if (!MakeFolders(folder_, created_, error)) return false;
  std::string staging = "." + std::string(program_) + "-XXXXXX";
  // Held, not named again: what the run leaves there and takes away is
  // found through this folder even once another name is given to it.
  held_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (const int failed = held_ < 0 ? errno : MakeOwnFolder(staging, held_)) {
    error = SystemError(folder_, "cannot write there", failed);
    Discard();
    return false;
  }
  staging_name_ = std::move(staging);
  staging_ = folder_ + "/" + staging_name_;
  return true;
}

std::string StagedOutput::WithTargetPaths(std::string message) const {
  if (staging_.empty()) return message;
  const std::string from = staging_ + "/", to = folder_ + "/";
  for (std::size_t at = 0; (at = message.find(from, at)) != std::string::npos; at += to.size())
    message.replace(at, from.size(), to);
  return message;
}

bool StagedOutput::StillNamed(std::string& error) const {
  const int moved = Moved();
  if (moved == -1) error = folder_ + ": " + kMovedAway;
  if (moved > 0) error = SystemError(folder_, "cannot write", moved);
  return moved == 0;
}

int StagedOutput::Moved() const {
  struct stat named {};
  struct stat kept {};
  if (::stat(folder_.c_str(), &named) != 0) return errno == ENOENT || errno == ENOTDIR ? -1 : errno;
  if (::fstat(held_, &kept) != 0) return errno;
  return named.st_dev == kept.st_dev && named.st_ino == kept.st_ino ? 0 : -1;
}

bool StagedOutput::Commit(std::string& error) {
  std::vector<Move> moves(names_.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    Move& move = moves[i];
    move.base = held_;
    move.staged = staging_name_ + "/" + names_[i];
    move.target = names_[i];
    move.shown = TargetPath(names_[i]);
    move.kept = staging_name_ + "-earlier-" + names_[i];
    move.ours = FileAt(held_, move.staged);
    // On disk before any takes a user's name.
    const int failed = move.ours ? FlushToDisk(held_, move.staged.c_str(), false) : errno;
    if (failed) return error = SystemError(move.shown, "cannot write", failed), false;
  }
  std::size_t done = 0;
  const Move* failing = nullptr;  // the file that could not go in
  int failed = 0;
  const std::string* stays = nullptr;  // what could not go once all was in
  {
    RunHeld held;
    // Only where the user will look for them: a folder renamed or moved
    // meanwhile gets none, also when that comes while they go in.
    failed = Moved();
    for (; done < moves.size() && !failed; ++done) {
      if ((failed = PutInPlace(moves[done]))) failing = &moves[done];
      if (!failed && g_observer) g_observer(moves[done].shown);
    }
    if (!failed) failed = FlushToDisk(held_, ".", true);
    if (!failed) failed = Moved();
    for (std::size_t i = done; failed && i-- > 0;)
      Undo(moves[i]);
    if (!failed) {
      // Only the earlier file goes: another writer's at the kept name stays.
      for (Move& move : moves) {
        if (move.earlier == Move::kNone || FileAt(held_, move.kept) != move.earlier_id) continue;
        if (::unlinkat(held_, move.kept.c_str(), 0) != 0 && !stays)
          failed = errno, stays = &move.kept;
      }
      for (const std::string& folder : created_)
        KeepMade(folder);
      created_.clear();
      if (const int left = RemoveMade(staging_name_, held_); left && !stays)
        failed = left, stays = &staging_name_;
      if (!stays) {
        staging_name_.clear();
        staging_.clear();
        return true;
      }
    }
  }
  if (stays) {
    error = SystemError(folder_ + "/" + *stays, "cannot remove", failed) +
            "; the new files are in place";
    staging_name_.clear();
    staging_.clear();
    return false;
  }
  error = failed == -1 ? folder_ + ": " + kMovedAway
                       : SystemError(failing ? failing->shown : folder_, "cannot write", failed);
  for (const Move& move : moves)
    if (move.earlier != Move::kNone)
      error += "; the earlier " + move.shown + " is kept as " + folder_ + "/" + move.kept;
  return false;
}

void StagedOutput::Discard() {
  // The staging folder before the folder it is named from is let go.
  if (!staging_name_.empty()) RemoveMade(staging_name_, held_);
  if (held_ >= 0) ::close(held_);
  held_ = -1;
  for (auto at = created_.rbegin(); at != created_.rend(); ++at)
    RemoveMade(*at);
  staging_name_.clear();
  staging_.clear();
  created_.clear();
  names_.clear();
}

}  // namespace program_files
