// The example programs given bad input as a user gives it, from a shell:
// one line on standard error that names the file and the reason (a usage
// error adds the usage line), the status the program documents, and the
// folder it ran in just as it was; and interrupted at moments spread over
// their runs: the folders as they were, or the whole new output.
#include <fcntl.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Ran {
  int status = -1;
  std::string out, err;
};

// Runs what follows as an ordinary user when the test runs as root, so that
// a umask takes the owner's rights.
const std::string kAsUser =
    ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";

// The programs copied to `root`/bin with the build's libraries they load
// (ldd tells which), readable by any user: the build folder may be one that
// only root may enter, as the test command makes it. They run with
// LD_LIBRARY_PATH `root`/bin.
void CopyPrograms(const std::string& root) {
  const std::string bin = root + "/bin";
  fs::create_directory(bin);
  const fs::perms others = fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(bin, others, fs::perm_options::add);
  for (const std::string program : {DRV_PORT_TO_PNG, DRV_DEMO, DRV_PRINT_DEMO}) {
    std::set<std::string> files = {program};
    FILE* ldd = ::popen(("ldd '" + program + "'").c_str(), "r");
    ASSERT_TRUE(ldd);
    for (char line[4096]; std::fgets(line, sizeof line, ldd);) {
      const std::string text = line;
      const std::size_t path = text.find(" => " DRV_BUILD_DIR "/"), end = text.rfind(" (");
      if (path != std::string::npos && end != std::string::npos)
        files.insert(text.substr(path + 4, end - path - 4));
    }
    ASSERT_EQ(::pclose(ldd), 0) << program;
    for (const std::string& file : files) {
      const std::string copy = bin + "/" + fs::path(file).filename().string();
      fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
      fs::permissions(copy, others, fs::perm_options::add);
    }
  }
}

// `line` run by the shell in `root`/work, TMPDIR its tmp/ unless the line
// sets one, the programs' copies in $PORT_TO_PNG, $DEMO and $PRINT_DEMO,
// $AS_USER kAsUser; what it printed kept in `root`, outside the folder,
// its standard error read through a pipe (a file-size limit of the line's
// does not reach it).
Ran RunLine(const std::string& root, const std::string& line) {
  const std::string command =
      "cd " + root + "/work && bin=" + root + "/bin && export TMPDIR=" + root +
      "/work/tmp LD_LIBRARY_PATH=$bin PORT_TO_PNG=$bin/port_to_png DEMO=$bin/demo"
      " PRINT_DEMO=$bin/print_demo AS_USER='" +
      kAsUser + "'; { " + line + "; } 2>&1 > " + root + "/ran.out";
  Ran ran;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return ran;
  for (int c; (c = std::fgetc(pipe)) != EOF;)
    ran.err += char(c);
  const int status = ::pclose(pipe);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ran.out = testing_support::ReadAll(root + "/ran.out");
  return ran;
}

// What `folder` holds: each path, a file's size, a link as a link.
std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> listing;
  std::error_code missing;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, missing)) {
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

// Sets up `root`/work: files that will not do, another run's leftovers in
// the temporary folder under the names the demo once used, and open/, where
// any user may write; and the programs' copies.
void MakeWork(const std::string& root) {
  const std::string work = root + "/work";
  for (const char* folder : {"/folder", "/taken/job.prn", "/tmp/driverui-demo-printer/kept",
                             "/held/page-1.png", "/kept", "/open"})
    fs::create_directories(work + folder);
  fs::permissions(work + "/open", fs::perms::all);
  for (const std::string& folder : {root, work})
    fs::permissions(folder, fs::perms::others_exec, fs::perm_options::add);
  // Earlier output, which a failed run leaves as it was.
  testing_support::WriteAll(work + "/held/job.prn", "an earlier job");
  testing_support::WriteAll(work + "/kept/page-1.png", "an earlier picture");
  testing_support::WriteAll(work + "/file", "");
  testing_support::WriteAll(work + "/tmp/driverui-demo.bin", "another run's");
  testing_support::WriteAll(work + "/tall.prn", kTallPort);
  testing_support::WriteAll(work + "/wide.prn", "PAGE 65536 4\r\n");
  testing_support::WriteAll(work + "/large.prn", "");
  fs::resize_file(work + "/large.prn", (std::uintmax_t{256} << 20) + 1);  // sparse
  CopyPrograms(root);
}

// A relative path of `depth` names of `size` characters each.
std::string Deep(int depth, std::size_t size) {
  std::string path = "d";
  for (int i = 1; i < depth; ++i)
    path += "/" + std::string(size, char('a' + i % 26));
  return path;
}

TEST(Programs, BadInputIsOneLineAndLeavesNothing) {
  testing_support::TempPath root("programs");
  MakeWork(root.str());
  const std::string too_long(300, 'n');
  const struct {
    std::string line;
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
      {"ulimit -f 1; $PORT_TO_PNG tall.prn kept",
       "kept/page-1.png: cannot write: the file-size limit was reached", 1},
      {"$PORT_TO_PNG tall.prn new > /dev/full", "standard output: cannot write: the disk is full",
       1},
      {"$PORT_TO_PNG --help", "usage: port_to_png", 0},
      {"$PORT_TO_PNG --help extra", "port_to_png: --help takes no other arguments", 2},
      // Another run's files in the temporary folder stay as they were.
      {"$DEMO", "round trip exact", 0},
      {"$DEMO --frob", "demo: unknown argument --frob", 2},
      {"TMPDIR=file $DEMO", "the temporary folder file: cannot make a folder there: not a folder",
       1},
      {"TMPDIR=missing $DEMO", "the temporary folder missing: cannot make a folder there: No such",
       1},
      {"$DEMO --help", "usage: demo", 0},
      {"$DEMO --help extra", "demo: --help takes no other arguments", 2},
      {"ulimit -f 0; $DEMO", "/strings.bin: cannot write: the file-size limit was reached", 1},
      {"ulimit -f 4; $DEMO", "/KVTEST.DAT: cannot write: the file-size limit was reached", 1},
      {"$DEMO > /dev/full", "demo: standard output: cannot write: the disk is full", 1},
      {"TMPDIR=\"$(printf '\\377')\" $DEMO",
       "demo: the temporary folder \377: the name is not UTF-8", 1},
      // A umask that takes the owner's rights: the run's folders go all the
      // same (made 0000, 0300).
      {"umask 777; TMPDIR=$PWD/open $AS_USER $DEMO", "/strings.bin: cannot write: Permission", 1},
      {"umask 477; TMPDIR=$PWD/open $AS_USER $DEMO", "/strings.bin: cannot read: Permission", 1},
      {"umask 777; $AS_USER $PORT_TO_PNG tall.prn open", "open/page-1.png: cannot write: Perm", 1},
      {"umask 777; $AS_USER $PRINT_DEMO --out open", "open/.print_demo-", 1},
      {"umask 477; $AS_USER $PRINT_DEMO --out open", "cannot make a folder there: Permission", 1},
      {"umask 477; TMPDIR=$PWD/open $AS_USER $PRINT_DEMO --out open",
       "/printer/KVTEST.DAT: cannot read: Permission denied", 1},
      {"$PRINT_DEMO --frob", "print_demo: unknown argument --frob", 2},
      {"$PRINT_DEMO --out", "no folder after --out", 2},
      {"$PRINT_DEMO --help", "usage: print_demo", 0},
      {"$PRINT_DEMO --out new -h", "print_demo: -h takes no other arguments", 2},
      // Every folder the run made goes, however deep, however named.
      {"$PRINT_DEMO --out " + Deep(18, 1) + " > /dev/full", "standard output: cannot write", 1},
      {"$PRINT_DEMO --out ./x/../new > /dev/full", "standard output: cannot write", 1},
      {"$PRINT_DEMO --out " + Deep(21, 202), ": File name too long", 1},
      {"TMPDIR=\"$(printf '\\377')\" $PRINT_DEMO --out new",
       "the set-up failed: the temporary folder \377: the name is not UTF-8", 1},
      {"TMPDIR=file $PRINT_DEMO --out new",
       "the set-up failed: the temporary folder file: cannot make a folder there: not a folder", 1},
      {"$PRINT_DEMO --out taken", "print_demo: taken/job.prn: cannot write: it is a folder", 1},
      {"$PRINT_DEMO --out held", "print_demo: held/page-1.png: cannot write: it is a folder", 1},
      {"$PRINT_DEMO --out new > /dev/full", "standard output: cannot write: the disk is full", 1},
      {"ulimit -f 4; $PRINT_DEMO --out new",
       "/KVTEST.DAT: cannot write: the file-size limit was reached", 1},
      {"$PRINT_DEMO --out ''", "print_demo: the output folder has no name", 1},
      {"$PRINT_DEMO --out file", "print_demo: file: not a folder", 1},
      {"$PRINT_DEMO --out file/below", "file/below: cannot make the folder: not a folder", 1},
      {"$PRINT_DEMO --out new/" + too_long, "cannot make the folder: File name too long", 1},
      // Root may not make one either: the reason is the system's.
      {"$PRINT_DEMO --out /sys/new", "/sys/new: cannot make the folder: ", 1},
      {"$PRINT_DEMO --out /sys", "print_demo: /sys: cannot write there: ", 1},
      // A working folder not UTF-8 (the port's file then made in TMPDIR): the whole output.
      {"d=$(printf '\\377'); mkdir $d && cd $d && $PRINT_DEMO > /dev/null && echo [$(ls -A out)]; "
       "s=$?; cd ..; rm -r $d; exit $s",
       "[job.prn page-1.png page-2.png page-3.png]", 0},
      // The port's reason (601's low byte): a port file past PATH_MAX, job.prn not (~4,077 long).
      {"n=$((4057 - ${#PWD})); $PRINT_DEMO --out $(printf '%0254d/' $(seq $((n / 255))))$(printf "
       "\"%0$((n % 255))d\" 0)",
       "/job.prn: cannot write: File name too long", 89},
  };
  for (const auto& [line, says, status] : kCases) {
    const std::set<std::string> before = Listing(root.str() + "/work");
    const Ran ran = RunLine(root.str(), line);
    EXPECT_EQ(ran.status, status) << line << "\n" << ran.err;
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

// How a program is started: its standard output (-1: /dev/null), a limit
// `resource` (-1: none) of `value`, the user it runs as (0: this one), a
// variable of its environment besides TMPDIR ("NAME=value"), traced.
struct Setting {
  int out = -1;
  int resource = -1;
  rlim_t value = 0;
  uid_t user = 0;
  std::string environment = {};
  bool traced = false;
};

// A program started from `argv` with TMPDIR `tmp`, its standard error in
// `err`. The signals it may be sent have their default action.
pid_t Start(const std::vector<std::string>& argv, const std::string& tmp, const std::string& err,
            const Setting& setting = {}) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::string tmpdir = "TMPDIR=" + tmp;
  char* env[] = {
      const_cast<char*>(tmpdir.c_str()),
      setting.environment.empty() ? nullptr : const_cast<char*>(setting.environment.c_str()),
      nullptr};
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = setting.out >= 0 ? setting.out : ::open("/dev/null", O_WRONLY);
    const int error = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(error, STDERR_FILENO);
    ::close_range(3, ~0u, 0);  // what the test's own caller left open too
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
      std::signal(signal, SIG_DFL);
    const rlimit limit{setting.value, setting.value};
    if (setting.resource >= 0) ::setrlimit(__rlimit_resource(setting.resource), &limit);
    if (setting.user && (::setgid(setting.user) != 0 || ::setuid(setting.user) != 0)) ::_exit(126);
    if (setting.traced && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(125);
    ::execve(args[0], args.data(), env);
    ::_exit(127);
  }
  return child;
}

// A pipe for a program's standard output: `ends[1]` its writer.
struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() {
    if (::pipe2(ends, O_CLOEXEC) != 0) ends[0] = ends[1] = -1;
  }
  ~Pipe() { Close(0), Close(1); }
  void Close(int end) { ::close(std::exchange(ends[end], -1)); }
  // Writes to (end 1) or reads from (end 0) the pipe until it would block:
  // a filled pipe holds the program at its report until it is drained.
  void Exhaust(int end) {
    const int fd = ends[end];
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    char bytes[4096] = {};
    while ((end ? ::write(fd, bytes, sizeof bytes) : ::read(fd, bytes, sizeof bytes)) > 0) {
    }
    ::fcntl(fd, F_SETFL, 0);
  }
};

// Whether `child` is (within a minute) held writing to its standard output.
bool HeldAtItsReport(pid_t child) {
  for (int waited = 0; waited < 60000; ++waited) {
    if (testing_support::ReadAll("/proc/" + std::to_string(child) + "/syscall")
            .starts_with("1 0x1 "))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// The child's wait status; a child still running after `seconds` is
// killed, and -1 answered.
int Finish(pid_t child, int seconds) {
  int status = 0;
  for (int waited = 0; waited < seconds * 1000; ++waited) {
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return -1;
}

// Holds `child`, started traced, as its main thread enters the `nth` call
// that names `part` (in a path it passes): true once held there, to be let
// go by PTRACE_DETACH; false, with its wait `status`, when it ended first.
bool HeldAtCall(pid_t child, const char* part, int nth, int& status) {
  if (::waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) return false;  // at its exec
  ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  for (int signal = 0;;) {
    if (::ptrace(PTRACE_SYSCALL, child, nullptr, signal) != 0 ||
        ::waitpid(child, &status, 0) != child || !WIFSTOPPED(status))
      return false;
    // A stop at a call or its exec, or for a signal that it then gets.
    signal = WSTOPSIG(status) & 0x80 || WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    __ptrace_syscall_info call{};
    if (::ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof call, &call) <= 0 ||
        call.op != PTRACE_SYSCALL_INFO_ENTRY)
      continue;
    bool names = false;
    for (const std::uint64_t argument : call.entry.args) {
      char text[512] = {};
      iovec to{text, sizeof text - 1}, from{reinterpret_cast<void*>(argument), sizeof text - 1};
      names = names || (::process_vm_readv(child, &to, 1, &from, 1, 0) > 0 &&
                        std::strstr(text, part) != nullptr);
    }
    if (names && --nth == 0) return true;
  }
}

// Whether a name that starts `prefix` is in `folder`.
bool HasEntry(const std::string& folder, const std::string& prefix) {
  std::error_code failed;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, failed))
    if (entry.path().filename().string().starts_with(prefix)) return true;
  return false;
}

// A folder for runs of the programs: `tmp` their TMPDIR, `out` their
// output folder, their standard error in `err`; `convert` reads whole/,
// the whole output of a print_demo run that Prepare makes.
struct Runs {
  testing_support::TempPath root{"programs"};
  const std::string work = root.str(), tmp = work + "/tmp", out = work + "/out";
  const std::string err = work + "/ran.err";
  const std::vector<std::string> print = {DRV_PRINT_DEMO, "--out", out};
  const std::vector<std::string> convert = {DRV_PORT_TO_PNG, work + "/whole/job.prn", out};
  const std::vector<std::string> demo = {DRV_DEMO};

  bool Prepare() {
    fs::create_directories(tmp);
    if (Finish(Start(print, tmp, err), 60) != 0) return false;
    fs::rename(out, work + "/whole");
    return true;
  }
};

// Each program, signalled at moments spread over its run once its staging
// folder (or its temporary one) is there; SIGPIPE comes from a reader gone.
// A caught signal leaves every folder as it was or holds the whole new
// output, and ends the program by that signal, nothing said, also when the
// run's threads hold every descriptor it may have; SIGKILL leaves every
// file a user sees whole (the earlier one or the new one).
TEST(Programs, AnInterruptLeavesTheFoldersAsTheyWereOrTheWholeOutput) {
  Runs runs;
  ASSERT_TRUE(runs.Prepare()) << testing_support::ReadAll(runs.err);
  const auto& [print, convert, demo, tmp, out, err] =
      std::tie(runs.print, runs.convert, runs.demo, runs.tmp, runs.out, runs.err);
  // How long a run takes, and the whole new output of each.
  std::map<const std::vector<std::string>*, double> seconds;
  std::map<const std::vector<std::string>*, std::set<std::string>> whole;
  for (const auto* argv : {&print, &convert, &demo}) {
    const auto begun = std::chrono::steady_clock::now();
    ASSERT_EQ(Finish(Start(*argv, tmp, err), 60), 0) << testing_support::ReadAll(err);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begun;
    seconds[argv] = took.count();
    if (argv != &demo) whole[argv] = Listing(out);
    fs::remove_all(out);
  }
  const struct {
    const std::vector<std::string>* argv;
    const char* staging;  // in the output folder, else in tmp
    int signal;
    rlim_t descriptors = 0;  // the most the run may have open; 0: no limit
  } kRuns[] = {
      {&print, ".print_demo-", SIGINT},        {&print, ".print_demo-", SIGTERM},
      {&print, ".print_demo-", SIGHUP},        {&print, ".print_demo-", SIGKILL},
      {&print, ".print_demo-", SIGPIPE},       {&convert, ".port_to_png-", SIGINT},
      {&convert, ".port_to_png-", SIGKILL},    {&demo, "driverui-demo-", SIGTERM},
      {&demo, "driverui-demo-", SIGHUP},       {&print, ".print_demo-", SIGTERM, 6},
      {&convert, ".port_to_png-", SIGTERM, 5},
  };
  for (const auto& [argv, staging, signal, descriptors] : kRuns) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers need descriptors of their own (a pipe to tell whether
    // memory can be read): short of them, they misreport.
    if (descriptors) continue;
#endif
    const bool in_tmp = argv == &demo;
    for (int moment = 0; moment < (signal == SIGPIPE ? 1 : 3); ++moment) {
      fs::remove_all(out), fs::remove_all(tmp);
      fs::create_directories(out), fs::create_directory(tmp);
      testing_support::WriteAll(out + "/job.prn", "an earlier job");
      testing_support::WriteAll(out + "/page-1.png", "an earlier picture");
      const std::set<std::string> before = Listing(out);
      Pipe gone;  // a reader that went away, for SIGPIPE
      const pid_t child = Start(*argv, tmp, err,
                                {.out = signal == SIGPIPE ? gone.ends[1] : -1,
                                 .resource = descriptors ? RLIMIT_NOFILE : -1,
                                 .value = descriptors});
      gone.Close(0), gone.Close(1);
      int status = 0;
      bool ended = false;  // before its folder was seen (a busy machine): not signalled
      for (int waited = 0; waited < 20000 && !HasEntry(in_tmp ? tmp : out, staging); ++waited) {
        if ((ended = ::waitpid(child, &status, WNOHANG) == child)) break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
      std::this_thread::sleep_for(std::chrono::duration<double>(moment * seconds[argv] / 3));
      if (signal != SIGPIPE && !ended) ::kill(child, signal);
      if (!ended) status = Finish(child, 60);
      const std::string said = testing_support::ReadAll(err);
      const std::string seen = std::string(staging) + " signal " + std::to_string(signal) +
                               " moment " + std::to_string(moment) + " descriptors " +
                               std::to_string(descriptors) + "\n" + said;
      const std::set<std::string> after = Listing(out);
      std::set<std::string> done = argv == &demo ? before : whole[argv];
      if (argv == &convert) done.insert("job.prn 14");  // the earlier job stays
      if (signal == SIGKILL) {
        for (const std::string& entry : after)
          EXPECT_TRUE(entry[0] == '.' || before.contains(entry) || done.contains(entry))
              << entry << " " << seen;
        continue;
      }
      EXPECT_EQ(said, "") << seen;
      if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0) << seen;
        EXPECT_EQ(after, done) << seen;
      } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status << " " << seen;
        EXPECT_TRUE(after == before || after == done) << seen << testing::PrintToString(after);
      }
      EXPECT_TRUE(fs::is_empty(tmp)) << seen;
    }
  }
}

// The demonstration with memory running out at allocations spread over its
// run, one a run (demo_failing fails the allocation it is told to, as the
// system does when it has no more), its document sheet's call among them:
// it ends with its whole transcript and status 0, or in one line and status
// 1 with what it showed before the failure; a call that answered failure
// is the last thing shown, never the record it did not fill.
TEST(Programs, TheDemoUsesWhatACallAnsweredOnlyWhenItWentThrough) {
  Runs runs;
  fs::create_directories(runs.tmp);
  const std::string count = runs.work + "/count", shown = runs.work + "/shown";
  const auto run = [&](const std::string& environment) {
    const int out = ::open(shown.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int status = Finish(
        Start({DRV_DEMO_FAILING}, runs.tmp, runs.err, {.out = out, .environment = environment}),
        60);
    ::close(out);
    return status;
  };
  ASSERT_EQ(run("DRV_ALLOCATIONS_FILE=" + count), 0) << testing_support::ReadAll(runs.err);
  const std::string whole = testing_support::ReadAll(shown);
  const std::uint64_t allocations = std::stoull("0" + testing_support::ReadAll(count));
  const std::string sheet = "DrvDocumentProperties(DM_COPY | DM_PROMPT | DM_MODIFY) answers ";
  int sheet_failed = 0;
  // Close enough that the sheet's run of failing allocations is met.
  constexpr std::uint64_t kChildren = 64;
  for (std::uint64_t i = 1; i <= kChildren; ++i) {
    const std::uint64_t index = allocations * i / (kChildren + 1);
    const int status = run("DRV_FAIL_ALLOCATION=" + std::to_string(index));
    const std::string said = testing_support::ReadAll(runs.err);
    std::string transcript = testing_support::ReadAll(shown);
    const std::string seen = "allocation " + std::to_string(index) + ": " + said + transcript;
    EXPECT_TRUE(fs::is_empty(runs.tmp)) << seen;
    // The sanitizer's own set-up of a thread, refused memory when the
    // failed allocation falls in it, ends the process: no end of the run's.
    if (said.find("AddressSanitizer: CHECK failed") != std::string::npos &&
        said.find("pthread_getattr_np") != std::string::npos)
      continue;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      EXPECT_EQ(transcript, whole) << seen;
      continue;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << " " << seen;
    EXPECT_TRUE(said.starts_with("demo: ") && std::count(said.begin(), said.end(), '\n') == 1)
        << seen;
    // A failed answer ends what was shown; before it, all is as a whole run shows it.
    if (const std::size_t failed = transcript.find(" answers -"); failed != std::string::npos) {
      EXPECT_EQ(transcript.find('\n', failed), transcript.size() - 1) << seen;
      if (transcript.find(sheet + "-") != std::string::npos) {
        ++sheet_failed;
        EXPECT_EQ(said, "demo: out of memory while working P1's document sheet\n") << seen;
      }
      transcript.erase(transcript.rfind('\n', transcript.size() - 2) + 1);
    }
    EXPECT_TRUE(whole.starts_with(transcript)) << seen;
  }
  EXPECT_GT(sheet_failed, 0) << "the sheet's call never failed";
}

// A program whose output folder changes at a moment of its run: its file
// system made read-only once P1 is being installed (the test's own mount,
// as root, in a mount namespace of its own), or the folder renamed (then,
// once, a file put in its place) while the port's file is open, as the
// pictures are written, as the files go in place or once they are in. The
// line names the output folder and the system's reason, as the port met
// it: never a permission denied, nor the page spool or the font, whose
// codes the port's errors share. The renamed folder holds what it held,
// with the whole new output when the run went through, and nothing else.
TEST(Programs, AnOutputFolderChangedMidRunIsSaidSo) {
  Runs runs;
  ASSERT_TRUE(runs.Prepare()) << testing_support::ReadAll(runs.err);
  const std::string disk = runs.work + "/disk", out = disk + "/out", renamed = disk + "/renamed";
  fs::create_directories(disk);
  const std::set<std::string> printed = Listing(runs.work + "/whole");
  std::set<std::string> converted = printed;  // port_to_png leaves the earlier job
  converted.erase("job.prn " + std::to_string(fs::file_size(runs.work + "/whole/job.prn")));
  converted.insert("job.prn 14");
  const char* at = disk.c_str();
  const bool mounted = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       ::mount("tmpfs", at, "tmpfs", 0, "size=64m") == 0;
  const std::vector<std::string> print = {DRV_PRINT_DEMO, "--out", out},
                                 convert = {DRV_PORT_TO_PNG, runs.convert[1], out};
  const auto there = [](const std::string& pattern) {
    glob_t found{};
    const bool any = ::glob(pattern.c_str(), 0, nullptr, &found) == 0;
    return ::globfree(&found), any;
  };
  const std::string printer = runs.tmp + "/print_demo-*/printer",
                    port = out + "/.print_demo-*/~prn*";
  const char* moved = "/out: the folder was renamed or moved during the run\n";
  const struct {
    const std::vector<std::string>* argv;
    int change;                // 0: made read-only; 1: renamed; 2: renamed, a file in its place
    const std::string when;    // the change is made once this is there, or as the
    int call;                  // run enters its call-th call naming it (0: a pattern)
    const char *says, *never;  // says: null for a run that goes through
  } kChanges[] = {
      {&print, 0, printer, 0, "/out/job.prn: cannot write: Read-only file system (error 601);",
       "Permission denied"},
      {&print, 1, port, 0, "/out/job.prn: cannot write: No such file or directory (error 2);",
       "Spool"},
      {&print, 2, port, 0, "/out/job.prn: cannot write: No such file or directory (error 3);",
       "glyph"},
      {&print, 1, "-earlier-", 1, moved, nullptr},
      {&print, 1, "-earlier-page-1.png", 2, nullptr, nullptr},
      {&convert, 1, "page-2.png", 1, "/out/page-2.png: cannot write: No such file or", nullptr},
      {&convert, 1, "-earlier-", 1, moved, nullptr},
      {&convert, 1, "-earlier-page-1.png", 2, nullptr, nullptr}};
  for (const auto& [argv, change, when, call, says, never] : kChanges) {
    if (!change && !mounted) continue;
    int met = 0;  // runs that met it
    std::string lines;
    for (int run = 0; run < 10 && met < 2; ++run) {
      if (mounted) ::mount(nullptr, at, nullptr, MS_REMOUNT, nullptr);
      fs::remove_all(out), fs::remove_all(renamed), fs::create_directory(out);
      testing_support::WriteAll(out + "/job.prn", "an earlier job");
      testing_support::WriteAll(out + "/page-1.png", "an earlier picture");
      const std::set<std::string> before = Listing(out);
      const pid_t child = Start(*argv, runs.tmp, runs.err, {.traced = call != 0});
      int status = 0;
      bool ended = call && !HeldAtCall(child, when.c_str(), call, status);
      for (int waited = 0; !call && waited < 120000 && !there(when); ++waited) {
        if ((ended = ::waitpid(child, &status, WNOHANG) == child)) break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
      if (!ended && change) ::rename(out.c_str(), renamed.c_str());
      if (!ended && !change) ::mount(nullptr, at, nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
      if (!ended && change == 2) testing_support::WriteAll(out, "");
      if (!ended && call) ::ptrace(PTRACE_DETACH, child, nullptr, nullptr);
      if (!ended) status = Finish(child, 60);
      EXPECT_NE(status, -1) << "hung";
      const std::string said = testing_support::ReadAll(runs.err);
      const bool through = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      lines += said;
      EXPECT_TRUE(!never || said.find(never) == std::string::npos) << said;
      EXPECT_TRUE(said.empty() || said.find(out) != std::string::npos) << said;
      if (says ? said.find(says) != std::string::npos : through) ++met;
      if (ended || !change) continue;
      const std::string seen = when + " " + std::to_string(call) + "\n" + said;
      EXPECT_EQ(Listing(renamed), !through ? before : argv == &print ? printed : converted) << seen;
      EXPECT_TRUE(Listing(out).empty()) << seen;
    }
    EXPECT_EQ(met, 2) << when << " " << call << ": met in fewer than 2 of 10 runs:\n" << lines;
  }
  if (mounted) ::umount2(at, MNT_DETACH);
}

// A run that made its output folder, held at its report (a full pipe),
// while someone else writes in that folder; then signalled, or let go on
// to fail at a folder put in its way. The folder keeps what others put
// there, and the run's own files go.
TEST(Programs, ARunRemovesOnlyWhatItMade) {
  Runs runs;
  ASSERT_TRUE(runs.Prepare()) << testing_support::ReadAll(runs.err);
  const auto& [print, convert, work, tmp, out, err] =
      std::tie(runs.print, runs.convert, runs.work, runs.tmp, runs.out, runs.err);
  const std::set<std::string> notes = {"notes.txt 14"},
                              in_the_way = {"notes.txt 14", "page-1.png/"};
  const struct {
    const std::vector<std::string>* argv;
    const std::set<std::string>* meanwhile;  // null: another print_demo's whole run
    int signal;                              // 0: none, the run goes on
  } kRuns[] = {
      {&print, nullptr, SIGTERM}, {&print, &notes, SIGINT},    {&print, &notes, SIGHUP},
      {&print, &in_the_way, 0},   {&convert, &notes, SIGTERM}, {&convert, &in_the_way, 0},
  };
  for (const auto& [argv, meanwhile, signal] : kRuns) {
    fs::remove_all(out);
    Pipe report;
    report.Exhaust(1);
    const pid_t child = Start(*argv, tmp, err, {.out = report.ends[1]});
    report.Close(1);
    const std::string seen = (*argv)[0] + " signal " + std::to_string(signal);
    ASSERT_TRUE(HeldAtItsReport(child)) << seen;
    if (meanwhile) {
      testing_support::WriteAll(out + "/notes.txt", "a user's notes");
      if (meanwhile == &in_the_way) fs::create_directory(out + "/page-1.png");
    } else {
      ASSERT_EQ(Finish(Start(print, tmp, work + "/other.err"), 60), 0) << seen;
    }
    if (signal) ::kill(child, signal);
    report.Exhaust(0);
    const int status = Finish(child, 60);
    const std::string said = testing_support::ReadAll(err);
    if (signal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status << seen << said;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << seen;
      EXPECT_NE(said.find("/page-1.png: cannot write: it is a folder"), std::string::npos) << said;
    }
    EXPECT_EQ(Listing(out), meanwhile ? *meanwhile : Listing(work + "/whole")) << seen << said;
    EXPECT_TRUE(fs::is_empty(tmp)) << seen;
  }
}

// Where the system refuses a hard link of an earlier file (another user's,
// in a folder open to all, links protected) the run replaces it as a
// rename would.
TEST(Programs, AnEarlierFileThatCannotBeLinkedIsStillReplaced) {
  if (::geteuid() != 0 || testing_support::ReadAll("/proc/sys/fs/protected_hardlinks") != "1\n")
    GTEST_SKIP() << "needs root, to run as another user, and protected hard links";
  testing_support::TempPath root("programs");
  MakeWork(root.str());
  const std::string open = root.str() + "/work/open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all);
  fs::permissions(root.str(), fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(root.str() + "/work", fs::perms::others_exec, fs::perm_options::add);
  testing_support::WriteAll(open + "/page-1.png", "root's earlier picture");
  const int status =
      Finish(Start({root.str() + "/bin/port_to_png", root.str() + "/work/tall.prn", open},
                   root.str() + "/work/tmp", root.str() + "/ran.err",
                   {.user = 65534, .environment = "LD_LIBRARY_PATH=" + root.str() + "/bin"}),
             60);
  EXPECT_EQ(status, 0) << testing_support::ReadAll(root.str() + "/ran.err");
  EXPECT_TRUE(testing_support::ReadAll(open + "/page-1.png").starts_with("\x89PNG"));
  EXPECT_EQ(
      Listing(open),
      std::set<std::string>{"page-1.png " + std::to_string(fs::file_size(open + "/page-1.png"))});
}

// Each program under an address-space limit swept from where it starts to
// where it succeeds, and print_demo with too few descriptors: a run ends
// in time with one line and a non-zero status, every folder as it was, or
// succeeds with the whole new output.
TEST(Programs, UnderMachineLimitsARunFailsInOneLineOrSucceeds) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: limits say nothing";
#endif
  Runs runs;
  ASSERT_TRUE(runs.Prepare()) << testing_support::ReadAll(runs.err);
  // Named, not bound: the run's lambda captures them.
  const std::vector<std::string>&print = runs.print, &convert = runs.convert, &demo = runs.demo;
  const std::string &work = runs.work, &tmp = runs.tmp, &out = runs.out, &err = runs.err;
  std::set<std::string> whole = Listing(work + "/whole"), pictures = whole;
  pictures.erase("job.prn " + std::to_string(fs::file_size(work + "/whole/job.prn")));
  constexpr rlim_t kMiB = 1 << 20;
  const struct {
    const std::vector<std::string>* argv;
    int resource;
    rlim_t lowest, highest, stride;
    const char* says;  // on a failure; null: memory or a thread refused
  } kSweeps[] = {
      {&print, RLIMIT_AS, 12 * kMiB, 51 * kMiB, 3 * kMiB, nullptr},
      {&convert, RLIMIT_AS, 8 * kMiB, 24 * kMiB, 2 * kMiB, nullptr},
      {&demo, RLIMIT_AS, 10 * kMiB, 40 * kMiB, 3 * kMiB, nullptr},
      {&print, RLIMIT_NOFILE, 5, 6, 1, "/job.prn: cannot write: Too many open files"},
  };
  for (const auto& [argv, resource, lowest, highest, stride, says] : kSweeps) {
    const std::string program = fs::path((*argv)[0]).filename().string();
    int failed = 0;
    // One run under `value`: what it said.
    const auto run = [&, argv = argv, resource = resource, says = says](rlim_t value) {
      fs::remove_all(out), fs::remove_all(tmp);
      fs::create_directories(out), fs::create_directory(tmp);
      testing_support::WriteAll(out + "/page-1.png", "an earlier picture");
      const std::set<std::string> before = Listing(out);
      const int status = Finish(Start(*argv, tmp, err, {.resource = resource, .value = value}), 20);
      const std::string said = testing_support::ReadAll(err);
      const std::string seen = program + " limit " + std::to_string(value) + "\n" + said;
      // 127: the dynamic loader could not start the program.
      if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return said;
      EXPECT_NE(status, -1) << "hung: " << seen;
      EXPECT_TRUE(fs::is_empty(tmp)) << seen;
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        EXPECT_EQ(Listing(out), argv == &print ? whole : argv == &demo ? before : pictures) << seen;
        return said;
      }
      ++failed;
      EXPECT_TRUE(WIFEXITED(status)) << status << " " << seen;
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << seen;
      const bool named =
          says ? said.find(says) != std::string::npos
               : said.find(": out of memory while ") != std::string::npos ||
                     said.find(": the system refused a thread while ") != std::string::npos;
      EXPECT_TRUE(said.starts_with(program + ": ") && named) << seen;
      EXPECT_EQ(Listing(out), before) << seen;
      return said;
    };
    rlim_t refused = 0;  // the highest limit at which a thread was refused
    for (rlim_t value = lowest; value <= highest; value += stride)
      if (run(value).find("refused a thread") != std::string::npos) refused = value;
    // Just above it each thread's start is a failure point of its own (its
    // first allocations, its storage's destructors): swept by 16 KiB.
    for (rlim_t value = refused + 16 * 1024; refused && value < refused + stride;
         value += 16 * 1024)
      run(value);
    EXPECT_GT(failed, 0) << program << ": the sweep never met the limit";
  }
}

}  // namespace
