// Helpers of the font-source tests: a driver directory on the host (a
// fresh temporary folder served as "C:\Drv", the services' module
// directory), and a writer of font-storage data files in the layout of
// config/fonts/msd_font_file_format.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/files.h"
#include "support/test_os_factory.h"
#include "tests/support/test_support.h"

namespace font_testing {

inline constexpr char16_t kDriverDirectory[] = u"C:\\Drv";

// Installs the test services with "C:\Drv" as the driver directory, served
// from a temporary host folder that goes with the object. The platform's
// path mappings must be reset around it (HostFixture).
class DriverDirectory {
 public:
  DriverDirectory() : folder_("fonts") {
    std::filesystem::create_directory(folder_.str());
    platform::MapPathPrefix(kDriverDirectory, folder_.str());
    services.module_directory = RWWString(kDriverDirectory);
  }
  ~DriverDirectory() { std::filesystem::remove_all(folder_.str()); }
  DriverDirectory(const DriverDirectory&) = delete;
  DriverDirectory& operator=(const DriverDirectory&) = delete;

  // The host path of a file of the driver directory.
  std::string HostPath(const std::string& name) const { return folder_.str() + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    testing_support::WriteAll(HostPath(name), bytes);
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(HostPath(name)); }

  TestOSFactory services;

 private:
  testing_support::TempPath folder_;
};

// One font record as the writer lays it out.
struct MsdRecord {
  std::string face;
  std::string selection;
  std::vector<std::uint16_t> codes;
  std::uint16_t weight = 400;
  std::uint16_t italic = 0;
  std::uint8_t flags = 0;  // byte 20
  std::uint8_t type = 2;   // byte 21
  std::uint16_t height = 0;
};

inline void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

inline void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A file of the records: the header block (L = 32 + 4N, the stamp at 8, N
// at 28, the offsets from 32), then each record: its 28-byte fixed part,
// its codes after the first, its face name and its selection string.
inline std::string MsdFile(std::uint32_t stamp, const std::vector<MsdRecord>& records) {
  const std::uint32_t header = 32 + 4 * static_cast<std::uint32_t>(records.size());
  std::string body;
  std::vector<std::uint32_t> offsets;
  for (const MsdRecord& r : records) {
    offsets.push_back(header + static_cast<std::uint32_t>(body.size()));
    std::uint32_t extra =
        r.codes.size() > 1 ? 2 * static_cast<std::uint32_t>(r.codes.size() - 1) : 0;
    std::uint32_t face_at = 28 + extra;
    Put32(body, 0);
    Put16(body, static_cast<std::uint16_t>(r.face.size()));
    Put32(body, face_at);
    Put16(body, static_cast<std::uint16_t>(r.selection.size()));
    Put32(body, face_at + static_cast<std::uint32_t>(r.face.size()));
    Put16(body, r.weight);
    Put16(body, r.italic);
    body += static_cast<char>(r.flags);
    body += static_cast<char>(r.type);
    Put16(body, r.height);
    Put16(body, static_cast<std::uint16_t>(r.codes.size()));
    Put16(body, r.codes.empty() ? 0 : r.codes[0]);
    for (std::size_t i = 1; i < r.codes.size(); ++i)
      Put16(body, r.codes[i]);
    body += r.face + r.selection;
  }
  std::string file;
  Put32(file, 0);
  Put32(file, header);
  Put32(file, stamp);
  file.append(16, '\0');
  Put32(file, static_cast<std::uint32_t>(records.size()));
  for (std::uint32_t offset : offsets)
    Put32(file, offset);
  return file + body;
}

}  // namespace font_testing
