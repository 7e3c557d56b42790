// The programs' commit with its steps failing, as a file system or another
// writer makes them fail, and a signal that comes in its midst.
#include "examples/program_files/staged_output.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"
#include "platform/host/files.h"
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

// Another writer at work while the first file goes in place: it takes the
// new page-1.png away and leaves folders at both names.
void PutFoldersInTheWay(const std::string& target) {
  if (!target.ends_with("/page-1.png")) return;
  fs::rename(target, g_folder + "/../taken");
  for (const char* name : {"/page-1.png/x", "/page-2.png/x"})
    fs::create_directories(g_folder + name);
}

TEST(StagedOutput, CommitPutsEveryFileInPlaceOrNone) {
  const struct {
    const char* name;
    int failing_flush;  // the nth flush fails (platform::SetFileFlushFailure)
    bool in_the_way;    // PutFoldersInTheWay
    const char* says;   // null: committed
  } kCases[] = {
      {"all in", 0, false, nullptr},
      {"a file's flush fails", 1, false, "/out/page-1.png: cannot write: Input/output error"},
      {"the folder's flush fails", 3, false, "/out: cannot write: Input/output error"},
      {"folders in the way", 0, true,
       "/out/page-2.png: cannot write: it is a folder; the earlier "},
  };
  for (const auto& [name, failing_flush, in_the_way, says] : kCases) {
    testing_support::TempPath root("staged");
    g_folder = root.str() + "/out";
    fs::create_directories(g_folder);
    WriteAll(g_folder + "/page-1.png", "earlier");
    const std::set<std::string> before = Held(g_folder);
    std::string error;
    bool committed = false;
    {
      program_files::StagedOutput out("test");
      ASSERT_TRUE(Stage(out, g_folder, {"page-1.png", "page-2.png"})) << name;
      platform::SetFileFlushFailure(failing_flush);
      program_files::SetCommitObserver(in_the_way ? PutFoldersInTheWay : nullptr);
      committed = out.Commit(error);
      platform::SetFileFlushFailure(0);
      program_files::SetCommitObserver(nullptr);
    }
    EXPECT_EQ(committed, says == nullptr) << name;
    EXPECT_TRUE(!says || error.find(says) != std::string::npos) << name << ": " << error;
    if (!says) {
      EXPECT_EQ(Held(g_folder),
                (std::set<std::string>{"page-1.png new page-1.png", "page-2.png new page-2.png"}));
    } else if (!in_the_way) {
      EXPECT_EQ(Held(g_folder), before) << name;
    } else {
      // The earlier page-1.png could not go back: it stays where it was
      // kept, and the error says where.
      const std::string kept = error.substr(error.rfind(" kept as ") + 9);
      EXPECT_EQ(ReadAll(kept), "earlier") << error;
      EXPECT_EQ(Held(g_folder),
                (std::set<std::string>{"page-1.png /", "page-2.png /",
                                       fs::path(kept).filename().string() + " earlier"}));
    }
  }
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

}  // namespace
