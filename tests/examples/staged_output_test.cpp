// The programs' commit with its steps failing, as a file system or another
// writer makes them fail, and a signal that comes in its midst.
#include "examples/program_files/staged_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"
#include "platform/host/host_state.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadAll;
using testing_support::WriteAll;

// What `folder` holds: each name with its content.
std::set<std::string> Held(const std::string& folder) {
  std::set<std::string> held;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    held.insert(entry.path().filename().string() + " " +
                (entry.is_directory() ? "/" : ReadAll(entry.path().string())));
  return held;
}

// Stages `names` in `out` ("new <name>" each).
bool Stage(program_files::StagedOutput& out, const std::string& folder,
           std::initializer_list<const char*> names) {
  std::string error;
  if (!out.Open(folder, error)) return false;
  for (const char* name : names) {
    if (!program_files::WriteNewFile(out.StagedPath(name), std::string("new ") + name, error))
      return false;
    out.Add(name);
  }
  return true;
}

std::string g_folder;
std::vector<std::string> g_fixed;  // made immutable meanwhile, freed after

// Makes `path` immutable (`on`) or not: no one, root included, may then
// rename, remove or link it. Root only, and not every file system has it.
bool SetImmutable(const std::string& path, bool on) {
  const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  int flags = 0;
  const bool set = file >= 0 && ::ioctl(file, FS_IOC_GETFLAGS, &flags) == 0 &&
                   (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL,
                    ::ioctl(file, FS_IOC_SETFLAGS, &flags) == 0);
  if (file >= 0) ::close(file);
  if (set && on) g_fixed.push_back(path);
  return set;
}

// The commit's hidden name in `g_folder` that ends with `end` ("" for the
// staging folder).
std::string Hidden(const std::string& end) {
  for (const fs::directory_entry& entry : fs::directory_iterator(g_folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".test-") && name.size() == 12 + end.size() && name.ends_with(end))
      return entry.path().string();
  }
  return "";
}

// Another writer at work while the first file goes in place: it takes the
// new page-1.png away and leaves folders at both names, or (AFileInTheWay)
// a file of its own at page-1.png.
void PutFoldersInTheWay(const std::string& target) {
  if (!target.ends_with("/page-1.png")) return;
  fs::rename(target, g_folder + "/../taken");
  for (const char* name : {"/page-1.png/x", "/page-2.png/x"})
    fs::create_directories(g_folder + name);
}
void PutAFileInTheWay(const std::string& target) {
  if (!target.ends_with("/page-1.png")) return;
  WriteAll(g_folder + "/../another", "another's");
  fs::rename(g_folder + "/../another", target);
  fs::create_directories(g_folder + "/page-2.png/x");
}
// The new page-1.png cannot be renamed over, and page-2.png cannot go in.
void HoldTheFirstInPlace(const std::string& target) {
  if (!target.ends_with("/page-1.png")) return;
  SetImmutable(target, true);
  fs::create_directories(g_folder + "/page-2.png/x");
}
// Once all is in, the kept earlier file, or a file in the staging folder,
// cannot be removed.
void HoldTheKeptFile(const std::string& target) {
  if (target.ends_with("/page-2.png")) SetImmutable(Hidden("-earlier-page-1.png"), true);
}
void HoldTheStagingFolder(const std::string& target) {
  if (!target.ends_with("/page-2.png")) return;
  WriteAll(Hidden("") + "/x", "");
  SetImmutable(Hidden("") + "/x", true);
}

// A hidden name with its random part as *.
std::set<std::string> Shown(std::set<std::string> held) {
  std::set<std::string> shown;
  for (const std::string& entry : held)
    shown.insert(entry.starts_with(".test-") ? ".test-*" + entry.substr(12) : entry);
  return shown;
}

TEST(StagedOutput, CommitPutsEveryFileInPlaceOrNone) {
  const std::set<std::string> earlier = {"page-1.png earlier"},
                              all_in = {"page-1.png new page-1.png", "page-2.png new page-2.png"};
  const std::string kept = ".test-*-earlier-page-1.png earlier";
  const struct {
    const char* name;
    int failing_flush;                      // the nth flush fails (SetFlushFailure)
    void (*meanwhile)(const std::string&);  // the commit's observer
    const char* says;                       // null: committed
    std::set<std::string> after;            // what the folder then holds
  } kCases[] = {
      {"all in", 0, nullptr, nullptr, all_in},
      {"a file's flush fails", 1, nullptr, "/out/page-1.png: cannot write: Input/output error",
       earlier},
      {"the folder's flush fails", 3, nullptr, "/out: cannot write: Input/output error", earlier},
      // The earlier page-1.png cannot go back: it stays where it was kept,
      // and the error says where.
      {"folders in the way",
       0,
       PutFoldersInTheWay,
       "/out/page-2.png: cannot write: it is a folder; the earlier ",
       {"page-1.png /", "page-2.png /", kept}},
      {"another's file at the target",
       0,
       PutAFileInTheWay,
       "-earlier-page-1.png",
       {"page-1.png another's", "page-2.png /", kept}},
      {"the rename back fails",
       0,
       HoldTheFirstInPlace,
       "-earlier-page-1.png",
       {"page-1.png new page-1.png", "page-2.png /", kept}},
      // Once all is in, what cannot be removed is named.
      {"the kept file stays",
       0,
       HoldTheKeptFile,
       "-earlier-page-1.png: cannot remove: Operation not permitted; the new files are in place",
       {"page-1.png new page-1.png", "page-2.png new page-2.png", kept}},
      {"the staging folder stays",
       0,
       HoldTheStagingFolder,
       ": cannot remove: Operation not permitted; the new files are in place",
       {"page-1.png new page-1.png", "page-2.png new page-2.png", ".test-* /"}},
  };
  testing_support::TempPath probe("staged");
  WriteAll(probe.str(), "");
  const bool immutable = SetImmutable(probe.str(), true) && SetImmutable(probe.str(), false);
  for (const auto& [name, failing_flush, meanwhile, says, after] : kCases) {
    const bool held = meanwhile == HoldTheFirstInPlace || meanwhile == HoldTheKeptFile ||
                      meanwhile == HoldTheStagingFolder;
    if (held && !immutable) continue;  // root only, on a file system that has it
    testing_support::TempPath root("staged");
    g_folder = root.str() + "/out";
    fs::create_directories(g_folder);
    WriteAll(g_folder + "/page-1.png", "earlier");
    std::string error;
    bool committed = false;
    {
      program_files::StagedOutput out("test");
      ASSERT_TRUE(Stage(out, g_folder, {"page-1.png", "page-2.png"})) << name;
      program_files::SetFlushFailure(failing_flush);
      program_files::SetCommitObserver(meanwhile);
      committed = out.Commit(error);
      program_files::SetFlushFailure(0);
      program_files::SetCommitObserver(nullptr);
    }
    for (const std::string& path : std::exchange(g_fixed, {}))
      SetImmutable(path, false);
    EXPECT_EQ(committed, says == nullptr) << name;
    EXPECT_TRUE(!says || error.find(says) != std::string::npos) << name << ": " << error;
    EXPECT_EQ(Shown(Held(g_folder)), after) << name << ": " << error;
    // What stays is named where it is.
    if (const std::size_t at = error.rfind(" kept as "); at != std::string::npos) {
      EXPECT_EQ(ReadAll(error.substr(at + 9)), "earlier") << error;
    }
  }
  if (!immutable) GTEST_SKIP() << "no immutable files here: the rows that need them were skipped";
}

int g_first_in = -1;  // the child writes a byte here when the first file is in

int CommitSlowly(int, char** argv) {
  program_files::StagedOutput out("test");
  if (!Stage(out, argv[1], {"page-1.png", "page-2.png", "page-3.png"})) return 3;
  program_files::SetCommitObserver([](const std::string&) {
    if (::write(g_first_in, "x", 1) != 1) ::_exit(4);
    ::usleep(50000);
  });
  std::string error;
  return out.Commit(error) ? 0 : 1;
}

// A signal that comes while the files go in place waits for the last: the
// run then ends by it, and the folder holds the whole new output.
TEST(StagedOutput, ASignalDuringTheCommitWaitsForItsEnd) {
  testing_support::TempPath root("staged");
  const std::string folder = root.str() + "/out";
  fs::create_directories(folder);
  for (const char* name : {"page-1.png", "page-2.png", "page-3.png"})
    WriteAll(folder + "/" + name, "earlier");
  int first_in[2];
  ASSERT_EQ(::pipe(first_in), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    g_first_in = first_in[1];
    char program[] = "test";
    char* argv[] = {program, const_cast<char*>(folder.c_str()), nullptr};
    ::_exit(program_files::RunCatching("test", CommitSlowly, 2, argv));
  }
  ::close(first_in[1]);
  char byte = 0;
  EXPECT_EQ(::read(first_in[0], &byte, 1), 1);
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(first_in[0]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Held(folder),
            (std::set<std::string>{"page-1.png new page-1.png", "page-2.png new page-2.png",
                                   "page-3.png new page-3.png"}));
}

// A thread that ends the run while it holds the platform's lock (its
// allocation failed there) waits for a commit under way, which takes no
// lock of the platform's: the run ends, never hangs, its files in place.
int CommitBesideAnEnd(int, char** argv) {
  program_files::StagedOutput out("test");
  if (!Stage(out, argv[1], {"page-1.png", "page-2.png"})) return 3;
  program_files::SetCommitObserver([](const std::string& target) {
    static std::atomic<bool> held{false};
    if (!target.ends_with("/page-1.png")) return;
    std::thread([] {
      std::lock_guard<std::recursive_mutex> lock(platform::host_internal::Mutex());
      held = true;
      program_files::EndFatally("out of memory");
    }).detach();
    while (!held)
      std::this_thread::yield();
  });
  std::string error;
  return out.Commit(error) ? 0 : 1;
}

TEST(StagedOutput, AnEndUnderThePlatformsLockWaitsForTheCommit) {
  testing_support::TempPath root("staged");
  const std::string folder = root.str() + "/out";
  fs::create_directories(folder);
  const pid_t child = ::fork();
  if (child == 0) {
    char program[] = "test";
    char* argv[] = {program, const_cast<char*>(folder.c_str()), nullptr};
    ::_exit(program_files::RunCatching("test", CommitBesideAnEnd, 2, argv));
  }
  int status = -1;
  for (int waited = 0; waited < 20000 && ::waitpid(child, &status, WNOHANG) == 0; ++waited)
    ::usleep(1000);
  if (::waitpid(child, nullptr, WNOHANG) == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    FAIL() << "the run hung";
  }
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(Held(folder),
            (std::set<std::string>{"page-1.png new page-1.png", "page-2.png new page-2.png"}));
}

}  // namespace
