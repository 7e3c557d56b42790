// ConfigToSettings: the body of the plug-in's UI_CONFIGTOSETTINGS, which
// copies the printer's installed options from its configuration into the
// settings of a host record. Also run by the context's automatic
// configuration (GUIContext::AutoConfigure) once the device values have
// reached the configuration.
//
// O is the options composite of the configuration (the host record's
// configuration object -> its printer object -> the job settings -> the
// printer model, kPrinterModelKey); S the settings' installed options
// (kInstalledOptionsKey). "Copy a to b" sets S b's 16-bit value to O a's
// when both exist. In order:
//   1. copy kDeviceUpdateStatusKey; a value other than 2 (the options were
//      not read from the printer) ends the copy;
//   2. S kDriverWorkSpaceKey = the value of O's range kPrinterMemoryKey;
//   3. memory M = O kMemorySizeKey (0 when missing) + O
//      kPageFrameMemoryKey (16-bit sum); S kMemoryKey = M when O
//      kMemorySizeKey exists;
//   4. copy kDuplexUnitReportedKey to kDuplexUnitKey;
//   5. O's kUserMediaTypesKey replaces S's (a deep copy, by key);
//   6. with O kDiskCountKey and S kPrinterHardDiskKey: S
//      kPrinterHardDiskKey = (O kDiskCountKey > 0), H = O kDiskCountKey,
//      and S kJobRetentionKey = (H != 0 or M >= 128); H is 0 when this
//      step does not run;
//   7. with O kCollationAvailableKey and S kCollationUnitKey: S
//      kCollationUnitKey = 0 when H is 0 and M < 128; otherwise S
//      kCollationUnitKey = O kCollationAvailableKey and, when that is not
//      0, S kIgnoreCollationKey = the same;
//   8. S kOptionalPaperSourcesKey = "", S kEnvelopeFeederKey = 0, S
//      kAccessoryOutputBinsKey = "";
//   9. the devices of O's kPaperHandlingKey, in order: the first optional,
//      installed output device (type 1) names S kAccessoryOutputBinsKey and
//      gives S kAccessoryPartKey its current part id and S
//      kAccessoryBinNamesKey one string attribute (key 0) per bin of its
//      current part whose id is 4 to 17, in order; the first optional,
//      installed paper source names S kOptionalPaperSourcesKey; a device
//      that is not optional and has more than one part gives S
//      kTray1ModeKey its current part id.
// Mended: the original looked up the update status, the accessory's part
// and bin names, kIgnoreCollationKey and the two device names without
// testing that they exist. Every attribute that is missing (or of another
// class) skips its step alone; without the update status in both, nothing
// changes.
//
// Answers 0 always (also for a null host record or one without settings
// or configuration). Writes the model directly: no change is recorded in
// a context. Threads: the sheet's (or the automatic configuration's).
#pragma once

#include <cstdint>

struct GUIData;

// The update status once the options were read from the printer.
inline constexpr std::uint16_t kOptionsFromDevice = 2;
// The memory (MB) from which job storage works without a disk.
inline constexpr std::uint16_t kJobStorageMemory = 128;
// The bin ids of an output accessory whose names kAccessoryBinNamesKey
// keeps.
inline constexpr std::uint16_t kFirstAccessoryBin = 4;
inline constexpr std::uint16_t kLastAccessoryBin = 17;

std::int16_t ConfigToSettings(GUIData* host);
