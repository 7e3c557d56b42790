// GOSVersion: what the driver knows of the operating system: a kind (which
// platform family and release), the version (major << 16 | minor) and the
// low 16 bits of the build number. DetectOSVersion fills one from the
// platform (GetVersionExW, else GetVersion, and for the NT kinds the
// product options in the machine's registry).
//
// Kinds and what they detect:
//   4  Win32s (or a 9x GetVersion of major 3)
//   5  9x family from the extended record or GetVersion
//   6  9x family, minor 0 or 20;  7  minor 1 to 19;  8  minor above 20
//   9  NT 4 workstation;  10  NT server (any other product type)
//   13 NT 5 build 2195, or a workstation with a product suite
//   14 NT 5 other builds
// OSFamily groups the kinds as the job language and the pages do.
//
// Threads: any.
#pragma once

#include <cstdint>

struct GOSVersion {
  std::uint32_t kind = 0;
  std::uint32_t version = 0;  // major << 16 | minor
  std::uint32_t build = 0;    // low 16 bits of the build number

  friend bool operator==(const GOSVersion&, const GOSVersion&) = default;
};

// The component's own version, as its version query answers it.
inline constexpr std::uint32_t kComponentVersion = 0x40002;   // 4.2
inline constexpr std::uint32_t kComponentRevision = 0x10008;  // 1.8
inline constexpr char kComponentBuildDate[] = "Jun 29 2001";
inline constexpr char kComponentBuildTime[] = "21:42:28";

// Record sizes that detection offers GetVersionExW, in order.
inline constexpr std::uint32_t kVersionRecordSize = 276;
inline constexpr std::uint32_t kVersionRecordRetrySize = 552;

// Fills `version`; leaves all three words 0 and answers false when the kind
// cannot be told.
bool DetectOSVersion(GOSVersion& version);

// The family of a kind: 1 -> 1; 2, 3, 4 -> 2; 5 -> 3; 9, 10, 11, 13, 14 ->
// 4; 12 -> 6; others 0.
std::uint32_t OSFamily(std::uint32_t kind);
