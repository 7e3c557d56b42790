// ConfigToSettings: the body of the plug-in's UI_CONFIGTOSETTINGS, which
// copies the printer's installed options from its configuration into the
// settings of a host record. Also run by the context's automatic
// configuration (GUIContext::AutoConfigure) once the device values have
// reached the configuration.
//
// O is the options composite of the configuration (the host record's
// configuration object -> printer object 76 -> its job settings -> 228);
// S the settings' installed-options part 365. "Copy a to b" sets S b's
// 16-bit value to O a's when both exist. In order:
//   1. copy 313 to 313; a value other than 2 (the options were not read
//      from the printer) ends the copy;
//   2. S 307 = the value of O's range 202;
//   3. memory M = O 201 (0 when missing) + O 1211 (16-bit sum); S 925 = M
//      when O 201 exists;
//   4. copy 204 to 308;
//   5. O's 701 replaces S's 701 (a deep copy, by key);
//   6. with O 226 and S 239: S 239 = (O 226 > 0), H = O 226, and S 520 =
//      (H != 0 or M >= 128); H is 0 when this step does not run;
//   7. with O 231 and S 310: S 310 = 0 when H is 0 and M < 128; otherwise
//      S 310 = O 231 and, when that is not 0, S 451 = O 231;
//   8. S 315 = "", S 275 = 0, S 316 = "";
//   9. the devices of O's paper-handling composite 90, in order: the first
//      optional, installed output device (type 1) names S 316 and gives S
//      213 its current part id and S 314 one string attribute (key 0) per
//      bin of its current part whose id is 4 to 17, in order; the first
//      optional, installed paper source names S 315; a device that is not
//      optional and has more than one part gives S 274 its current part id.
// Mended: the original looked up 313, 213, 314, 451, 315 and 316 without
// testing that they exist. Every attribute that is missing (or of another
// class) skips its step alone; without 313 in both, nothing changes.
//
// Answers 0 always (also for a null host record or one without settings
// or configuration). Writes the model directly: no change is recorded in
// a context. Threads: the sheet's (or the automatic configuration's).
#pragma once

#include <cstdint>

struct GUIData;

// The status 313 has once the options were read from the printer.
inline constexpr std::uint16_t kOptionsFromDevice = 2;
// The memory (MB) from which job storage works without a disk.
inline constexpr std::uint16_t kJobStorageMemory = 128;
// The bin ids of an output accessory whose names 314 keeps.
inline constexpr std::uint16_t kFirstAccessoryBin = 4;
inline constexpr std::uint16_t kLastAccessoryBin = 17;

std::int16_t ConfigToSettings(GUIData* host);
