#include "tests/support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {
namespace {

std::vector<std::string>& Captured() {
  static std::vector<std::string> texts;
  return texts;
}

void RecordError(const RWError& error) {
  Captured().push_back(error.Why());
}

}  // namespace

TempPath::TempPath(const std::string& stem) {
  // A name nothing holds yet: a process of the same id may have left its
  // folder behind (a crash, a kill), and another test's must not be shared.
  static std::atomic<int> counter{0};
  std::error_code error;
  do {
    path_ = (std::filesystem::temp_directory_path() /
             (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                .string();
  } while (std::filesystem::exists(path_, error));
}

TempPath::~TempPath() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

int WithLimit(int resource, rlim_t value, const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(30);
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    ::getrlimit(__rlimit_resource(resource), &limit);
    limit.rlim_cur = value;
    const bool set = ::setrlimit(__rlimit_resource(resource), &limit) == 0;
    ::_exit(set ? work() & 0xFF : 255);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  int nibbles = 0, value = 0;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else {
      continue;
    }
    value = value * 16 + v;
    if (++nibbles == 2) {
      out += static_cast<char>(value);
      nibbles = value = 0;
    }
  }
  return out;
}

ErrorCapture::ErrorCapture() : previous_(SetErrorHandler(&RecordError)) {
  Captured().clear();
}

ErrorCapture::~ErrorCapture() {
  SetErrorHandler(previous_);
  Captured().clear();
}

const std::vector<std::string>& ErrorCapture::Texts() const {
  return Captured();
}

std::string ErrorCapture::Last() const {
  return Captured().empty() ? "" : Captured().back();
}

void ErrorCapture::Clear() {
  Captured().clear();
}

int ReplayCorpus(const char* folder, int (*one_input)(const std::uint8_t*, std::size_t)) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string bytes = ReadAll(entry.path().string());
    one_input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  return inputs;
}

}  // namespace testing_support
