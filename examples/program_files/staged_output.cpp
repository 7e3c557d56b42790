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
std::atomic<int> g_flush_failure{0};  // SetFlushFailure's countdown

// fsync(2) of the run's file or the user's folder `path`: errno's value, 0
// when it is on disk. It allocates nothing and takes no lock, as it runs
// with the run held (run.h).
int FlushToDisk(const char* path, bool folder) {
  int file = ::open(path, (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NOFOLLOW) | O_CLOEXEC);
  // A file of the run's own that a umask left no read right.
  if (file < 0 && errno == EACCES && !folder)
    file = ::open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (file < 0) return errno;
  const int failed = ::fsync(file) == 0 ? 0 : errno;
  ::close(file);
  int countdown = g_flush_failure.load();
  while (countdown > 0 && !g_flush_failure.compare_exchange_weak(countdown, countdown - 1)) {
  }
  return failed ? failed : countdown == 1 ? EIO : 0;
}

using FileId = std::pair<dev_t, ino_t>;

// The file named `path` (a link not followed), if any.
std::optional<FileId> FileAt(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return FileId{status.st_dev, status.st_ino};
}

// One file of a commit. Its paths are made before the run is held: the
// steps under the hold allocate nothing.
struct Move {
  std::string staged, target;
  std::string kept;  // where the earlier file stays until the commit is over
  enum { kNone, kLinked, kAside } earlier = kNone;
  std::optional<FileId> earlier_id;  // the earlier file, at `kept` while kept
  bool in = false;                   // the new file has the target's name
  std::optional<FileId> ours;        // the new file: what else is found at the target
                                     // meanwhile (another run's file) is left alone
};

// Keeps the earlier file at the target, then gives the new one its name:
// errno's value, 0 when it is in.
int PutInPlace(Move& move) {
  struct stat status {};
  if (::lstat(move.target.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
    move.earlier_id = FileId{status.st_dev, status.st_ino};
    if (::link(move.target.c_str(), move.kept.c_str()) == 0) {
      move.earlier = Move::kLinked;
    } else if (::renameat2(AT_FDCWD, move.target.c_str(), AT_FDCWD, move.kept.c_str(),
                           RENAME_NOREPLACE) == 0) {
      // No hard links there (a protected link, a file system without them).
      move.earlier = Move::kAside;
    } else {
      return errno;
    }
  }
  if (::rename(move.staged.c_str(), move.target.c_str()) != 0) return errno;
  move.in = true;
  return 0;
}

// Undoes `move`. An earlier file that cannot go back stays kept.
void Undo(Move& move) {
  const char* target = move.target.c_str();
  const char* kept = move.kept.c_str();
  if (move.earlier == Move::kLinked && !move.in) {
    // The target still holds it, unless someone took it away meanwhile.
    if (FileAt(move.kept) != FileAt(move.target)) return;
    ::unlink(kept);
  } else if (move.earlier != Move::kNone) {
    const bool ours = move.in && FileAt(move.target) == move.ours;
    if (move.in && !ours) return;
    if (ours ? ::rename(kept, target) != 0
             : ::renameat2(AT_FDCWD, kept, AT_FDCWD, target, RENAME_NOREPLACE) != 0)
      return;
  } else if (move.in && FileAt(move.target) == move.ours) {
    ::unlink(target);
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
  std::string staging = folder_ + "/." + program_ + "-XXXXXX";
  if (const int failed = MakeOwnFolder(staging)) {
    error = SystemError(folder_, "cannot write there", failed);
    Discard();
    return false;
  }
  staging_ = std::move(staging);
  return true;
}

std::string StagedOutput::WithTargetPaths(std::string message) const {
  if (staging_.empty()) return message;
  const std::string from = staging_ + "/", to = folder_ + "/";
  for (std::size_t at = 0; (at = message.find(from, at)) != std::string::npos; at += to.size())
    message.replace(at, from.size(), to);
  return message;
}

bool StagedOutput::Commit(std::string& error) {
  std::vector<Move> moves(names_.size());
  for (std::size_t i = 0; i < moves.size(); ++i) {
    Move& move = moves[i];
    move.staged = StagedPath(names_[i]);
    move.target = TargetPath(names_[i]);
    move.kept = staging_ + "-earlier-" + names_[i];
    move.ours = FileAt(move.staged);
    // On disk before any takes a user's name.
    const int failed = move.ours ? FlushToDisk(move.staged.c_str(), false) : errno;
    if (failed) return error = SystemError(move.target, "cannot write", failed), false;
  }
  std::size_t done = 0;
  int failed = 0;
  const std::string* stays = nullptr;  // what could not go once all was in
  {
    RunHeld held;
    for (; done < moves.size() && !failed; ++done) {
      failed = PutInPlace(moves[done]);
      if (!failed && g_observer) g_observer(moves[done].target);
    }
    const bool all_in = !failed;
    if (all_in) failed = FlushToDisk(folder_.c_str(), true);
    for (std::size_t i = done; failed && i-- > 0;)
      Undo(moves[i]);
    if (!failed) {
      // Only the earlier file goes: another writer's at the kept name stays.
      for (Move& move : moves) {
        if (move.earlier == Move::kNone || FileAt(move.kept) != move.earlier_id) continue;
        if (::unlink(move.kept.c_str()) != 0 && !stays) failed = errno, stays = &move.kept;
      }
      for (const std::string& folder : created_)
        KeepMade(folder);
      created_.clear();
      if (const int left = RemoveMade(staging_); left && !stays) failed = left, stays = &staging_;
      if (!stays) {
        staging_.clear();
        return true;
      }
    }
    if (!all_in) --done;  // the one that failed
  }
  if (stays) {
    error = SystemError(*stays, "cannot remove", failed) + "; the new files are in place";
    staging_.clear();
    return false;
  }
  error = SystemError(done < moves.size() ? moves[done].target : folder_, "cannot write", failed);
  for (const Move& move : moves)
    if (move.earlier != Move::kNone)
      error += "; the earlier " + move.target + " is kept as " + move.kept;
  return false;
}

void StagedOutput::Discard() {
  if (!staging_.empty()) RemoveMade(staging_);
  for (auto at = created_.rbegin(); at != created_.rend(); ++at)
    RemoveMade(*at);
  staging_.clear();
  created_.clear();
  names_.clear();
}

}  // namespace program_files
