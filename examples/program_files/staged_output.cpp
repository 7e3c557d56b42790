#include "examples/program_files/staged_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "examples/program_files/interrupt_cleanup.h"
#include "examples/program_files/program_files.h"

namespace program_files {
namespace {

// Where Commit keeps the earlier files' links: no file of a run is named so.
constexpr char kEarlier[] = "/.earlier";

// Flushes the file or folder `path` to disk; errno's value when it fails.
int SyncPath(const std::string& path, int flags) {
  const int opened = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | flags);
  if (opened < 0) return errno;
  const int failed = ::fsync(opened) == 0 ? 0 : errno;
  ::close(opened);
  return failed;
}

}  // namespace

StagedOutput::~StagedOutput() {
  Discard();
}

bool StagedOutput::Open(const std::string& folder, std::string& error) {
  Discard();
  folder_ = folder;
  while (folder_.size() > 1 && folder_.back() == '/')  // "out/" is "out"
    folder_.pop_back();
  // Held: what is made is named to the interrupt before one can act.
  InterruptsHeld held;
  if (!MakeFolders(folder_, made_, error)) return false;
  if (!made_.empty()) RemoveOnInterrupt(made_);
  std::string staging = folder_ + "/." + program_ + "-XXXXXX";
  if (!::mkdtemp(staging.data())) {
    error = folder_ + ": cannot write there: " + Reason(errno);
    Discard();
    return false;
  }
  // Named before anything allocates again.
  const bool named = RemoveOnInterrupt(staging);
  staging_ = std::move(staging);
  if (!named) {
    error = staging_ + ": the name is too long to be removed on an interrupt";
    Discard();
    return false;
  }
  return true;
}

std::string StagedOutput::Shown(std::string message) const {
  if (staging_.empty()) return message;
  const std::string from = staging_ + "/", to = folder_ + "/";
  for (std::size_t at = 0; (at = message.find(from, at)) != std::string::npos; at += to.size())
    message.replace(at, from.size(), to);
  return message;
}

bool StagedOutput::Commit(std::string& error) {
  const std::size_t count = names_.size();
  std::vector<std::string> staged, targets, earlier;
  for (const std::string& name : names_) {
    staged.push_back(StagedPath(name));
    targets.push_back(TargetPath(name));
    earlier.push_back(staging_ + kEarlier + ("/" + name));
    if (const int failed = SyncPath(staged.back(), 0))
      return error = targets.back() + ": cannot write: " + Reason(failed), false;
  }
  const std::string earlier_folder = staging_ + kEarlier;
  if (::mkdir(earlier_folder.c_str(), 0700) != 0)
    return error = folder_ + ": cannot write there: " + Reason(errno), false;
  const std::unique_ptr<bool[]> kept(new bool[count]());
  std::size_t at = 0;
  int failed = 0;
  {
    InterruptsHeld held;
    for (; at < count && !failed; ++at) {
      struct stat status {};
      if (::lstat(targets[at].c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        if (::linkat(AT_FDCWD, targets[at].c_str(), AT_FDCWD, earlier[at].c_str(), 0) != 0)
          failed = errno;
        kept[at] = !failed;
      }
      if (!failed && ::rename(staged[at].c_str(), targets[at].c_str()) != 0) failed = errno;
    }
    if (failed) {
      // `at` is past the file that failed: it and later ones are not in.
      for (std::size_t back = at - 1; back-- > 0;) {
        if (kept[back]) {
          ::rename(earlier[back].c_str(), targets[back].c_str());
        } else {
          ::unlink(targets[back].c_str());
        }
      }
    }
    SyncPath(folder_, O_DIRECTORY);
    if (!failed) {
      // In place: the output folder stays whatever comes now. The staging
      // folder holds the earlier files' links alone; nothing here may
      // allocate, so the interrupt's names stay whole.
      if (!made_.empty()) KeepOnInterrupt(made_);
      for (std::size_t i = 0; i < count; ++i)
        if (kept[i]) ::unlink(earlier[i].c_str());
      ::rmdir(earlier_folder.c_str());
      if (::rmdir(staging_.c_str()) == 0) KeepOnInterrupt(staging_);
    }
  }
  if (failed) return error = targets[at - 1] + ": cannot write: " + Reason(failed), false;
  made_.clear();
  Discard();  // what else the staging folder holds
  return true;
}

void StagedOutput::Discard() {
  InterruptsHeld held;
  if (!staging_.empty()) {
    RemoveFolder(staging_);
    KeepOnInterrupt(staging_);
  }
  if (!made_.empty()) {
    RemoveFolder(made_);
    KeepOnInterrupt(made_);
  }
  staging_.clear();
  made_.clear();
  names_.clear();
}

}  // namespace program_files
