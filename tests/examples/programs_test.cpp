// The example programs given bad input as a user gives it, from a shell:
// one line on standard error that names the file and the reason (a usage
// error adds the usage line), the status the program documents, and the
// folder it ran in just as it was.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string out, err;
};

// `line` run by the shell in `root`/work, TMPDIR its tmp/ unless the line
// sets one, the programs in $PORT_TO_PNG, $DEMO and $PRINT_DEMO; what it
// printed kept in `root`, outside the folder.
Ran RunLine(const std::string& root, const std::string& line) {
  const std::string command = "cd " + root + "/work && export TMPDIR=" + root +
                              "/work/tmp PORT_TO_PNG=" DRV_PORT_TO_PNG " DEMO=" DRV_DEMO
                              " PRINT_DEMO=" DRV_PRINT_DEMO "; { " +
                              line + "; } > " + root + "/ran.out 2> " + root + "/ran.err";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing_support::ReadAll(root + "/ran.out"),
          testing_support::ReadAll(root + "/ran.err")};
}

// What `folder` holds: each path, a file's size, a link as a link.
std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> listing;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string path = fs::relative(entry.path(), folder).string();
    listing.insert(entry.is_symlink()        ? path + " link"
                   : entry.is_regular_file() ? path + " " + std::to_string(entry.file_size())
                                             : path + "/");
  }
  return listing;
}

// A port file of one white page 4000 pixels square: a raw row, then 3999
// repeats. Its picture is some 2 KB, past a file-size limit of 512 bytes.
const std::string kTallPort = "PAGE 4000 4000\r\n" + std::string("\x00\x01\xF4", 3) +
                              std::string(500, '\0') + "\x05\x0F\x9F" + "ENDPAGE\r\n";

// Sets up `root`/work: files that will not do, and another run's
// leftovers in the temporary folder under the names the demo once used.
void MakeWork(const std::string& root) {
  const std::string work = root + "/work";
  for (const char* folder : {"/folder", "/taken/job.prn", "/tmp/driverui-demo-printer/kept"})
    fs::create_directories(work + folder);
  testing_support::WriteAll(work + "/file", "");
  testing_support::WriteAll(work + "/tmp/driverui-demo.bin", "another run's");
  testing_support::WriteAll(work + "/tall.prn", kTallPort);
  testing_support::WriteAll(work + "/wide.prn", "PAGE 65536 4\r\n");
  testing_support::WriteAll(work + "/large.prn", "");
  fs::resize_file(work + "/large.prn", (std::uintmax_t{256} << 20) + 1);  // sparse
}

TEST(Programs, BadInputIsOneLineAndLeavesNothing) {
  testing_support::TempPath root("programs");
  MakeWork(root.str());
  // The port's own code ends print_demo (its low byte): the port decides it.
  constexpr int kAnyFailure = -2;
  const struct {
    const char* line;
    const char* says;  // on standard error; on standard output for status 0
    int status;
  } kCases[] = {
      {"$PORT_TO_PNG folder out", "port_to_png: folder: cannot read: it is a folder", 1},
      {"$PORT_TO_PNG /dev/zero out", "/dev/zero: cannot read: not a regular file", 1},
      {"$PORT_TO_PNG large.prn out", "large.prn: cannot read: larger than 256 MiB", 1},
      {"$PORT_TO_PNG file out", "file: no page", 1},
      {"$PORT_TO_PNG tall.prn ''", "the output folder has no name", 1},
      {"$PORT_TO_PNG --out tall.prn", "unknown option --out", 2},
      {"$PORT_TO_PNG tall.prn out more", "too many arguments: more", 2},
      {"$PORT_TO_PNG wide.prn out", "wide.prn: page 1: a page width out of range", 1},
      {"ulimit -f 1; $PORT_TO_PNG tall.prn out/new",
       "out/new/page-1.png: cannot write: the file-size limit was reached", 1},
      {"$PORT_TO_PNG --help", "usage: port_to_png", 0},
      // Another run's files in the temporary folder stay as they were.
      {"$DEMO", "round trip exact", 0},
      {"$DEMO --frob", "demo: unknown argument --frob", 2},
      {"TMPDIR=file $DEMO", "the temporary folder file: cannot make a folder there: not a folder",
       1},
      {"TMPDIR=missing $DEMO", "the temporary folder missing: cannot make a folder there: No such",
       1},
      {"$DEMO --help", "usage: demo", 0},
      {"$PRINT_DEMO --frob", "print_demo: unknown argument --frob", 2},
      {"$PRINT_DEMO --out", "no folder after --out", 2},
      {"$PRINT_DEMO --help", "usage: print_demo", 0},
      {"TMPDIR=file $PRINT_DEMO --out new",
       "the set-up failed: the temporary folder file: cannot make a folder there: not a folder", 1},
      {"$PRINT_DEMO --out taken", "taken/job.prn: cannot write: it is a folder (error ",
       kAnyFailure},
      {"$PRINT_DEMO --out ''", "the set-up failed: the output folder has no name", 1},
      {"$PRINT_DEMO --out file", "the output folder file is not a folder", 1},
      {"$PRINT_DEMO --out file/below", "the output folder file/below is not a folder", 1},
      {"$PRINT_DEMO --out /sys", "the output folder /sys cannot be written: ", 1},
  };
  for (const auto& [line, says, status] : kCases) {
    const std::set<std::string> before = Listing(root.str() + "/work");
    const Ran ran = RunLine(root.str(), line);
    if (status == kAnyFailure) {
      EXPECT_GT(ran.status, 0) << line;
    } else {
      EXPECT_EQ(ran.status, status) << line << "\n" << ran.err;
    }
    const std::string& said = status == 0 ? ran.out : ran.err;
    EXPECT_NE(said.find(says), std::string::npos) << line << "\n" << said;
    const long lines = status == 0 ? 0 : status == 2 ? 2 : 1;
    EXPECT_EQ(std::count(ran.err.begin(), ran.err.end(), '\n'), lines) << line << "\n" << ran.err;
    EXPECT_EQ(Listing(root.str() + "/work"), before) << line;
  }
}

// A picture's name that links out of the folder is replaced, never written
// through.
TEST(Programs, PortToPngWritesNothingOutsideItsFolder) {
  testing_support::TempPath root("programs");
  MakeWork(root.str());
  fs::create_directory(root.str() + "/work/linked");
  fs::create_symlink("../file", root.str() + "/work/linked/page-1.png");
  EXPECT_EQ(RunLine(root.str(), "$PORT_TO_PNG tall.prn linked").status, 0);
  EXPECT_EQ(fs::file_size(root.str() + "/work/file"), 0u);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root.str() + "/work/linked/page-1.png")));
}

// An interrupt removes print_demo's folder in the temporary folder and the
// output folder it made, and ends it with 128 + the signal. The signal is
// sent at once to a program started with it blocked: it waits there until
// the program lets it through, its folders made.
TEST(Programs, AnInterruptedPrintDemoLeavesNothing) {
  testing_support::TempPath root("programs");
  MakeWork(root.str());
  const std::string work = root.str() + "/work";
  const std::string command = "cd " + work + " && TMPDIR=" + work +
                              "/tmp exec " DRV_PRINT_DEMO " --out new > ../ran.out 2>&1";
  for (const int signal : {SIGINT, SIGTERM}) {
    const std::set<std::string> before = Listing(work);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, signal);
    posix_spawnattr_setsigmask(&attributes, &held);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(
        posix_spawn(&child, "/bin/sh", nullptr, &attributes, const_cast<char**>(argv), environ), 0);
    posix_spawnattr_destroy(&attributes);
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal)
        << signal << ": " << status << "\n"
        << testing_support::ReadAll(root.str() + "/ran.out");
    EXPECT_EQ(Listing(work), before) << signal;
  }
}

}  // namespace
