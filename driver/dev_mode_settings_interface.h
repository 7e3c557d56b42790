// GDevModeSettingsInterface: what the driver context base asks of the
// device-mode object that binds one device-mode record to the printer's
// settings model (the record, its public and private parts and their
// checks belong to that object, never to the context). The device-mode
// settings class implements it; the context base makes one through the
// installed maker (SetDevModeSettingsMaker) and owns it.
//
// Records handed in (`IsSameDevMode`, `MergeDevMode`) come from
// applications and the spooler: the implementation trusts nothing in them
// but what its own checked view of the record allows.
//
// Threads: an object is used by its context's one caller at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

class GAttributeComposite;
class GDriverContextBase;

class GDevModeSettingsInterface {
 public:
  GDevModeSettingsInterface() = default;
  GDevModeSettingsInterface(const GDevModeSettingsInterface&) = delete;
  GDevModeSettingsInterface& operator=(const GDevModeSettingsInterface&) = delete;
  virtual ~GDevModeSettingsInterface() = default;

  // 1 when `record` has this object's public and private sizes and the
  // same bytes over them; else 0 (also for null).
  virtual int IsSameDevMode(const platform::DevModeW* record) = 0;
  // 1 once the printer's own record was accepted at construction, else 0.
  virtual int IsFromPrinter() = 0;
  // Takes an incoming record (its public fields win over the stored
  // model); 1 on success, 0 when nothing was taken.
  virtual int MergeDevMode(const platform::DevModeW* record) = 0;
  // Stores a deep copy of `settings` (null: the current model) into the
  // record; 1 on success, 0 when the record could not be written. The
  // caller keeps `settings`.
  virtual int SetSettings(GAttributeComposite* settings) = 0;
  // The settings model the object holds (its own), or null.
  virtual GAttributeComposite* GetSettings() = 0;
  // Brings the record's collate field in line with the printer; 1.
  virtual int NormalizeCollate() = 0;
  // 1 when the printer's record named the EMF data type, else 0.
  virtual int IsEmfDataType() = 0;
  // The 16-bit word the record keeps for the context (private part,
  // offset 260): the value the context hands to the services after a bind.
  virtual std::uint16_t GetContextWord() = 0;
  // The record itself (the object's own buffer, dmSize + dmDriverExtra
  // bytes long), which the context stores as the printer's default.
  virtual platform::DevModeW* GetDevMode() = 0;
  // The 16-bit values of the settings model's kXResolutionKey and
  // kYResolutionKey (0 without).
  virtual std::uint16_t GetXResolution() = 0;
  virtual std::uint16_t GetYResolution() = 0;
};

// dmOrientation of a record, at offset 76: kDevModePortrait or landscape.
inline constexpr std::size_t kDevModeOrientationOffset = 76;
inline constexpr std::int16_t kDevModePortrait = 1;
inline constexpr std::int16_t kDevModeLandscape = 2;
// REQUIRES: `record` holds at least 78 bytes (a record the object owns).
inline std::int16_t DevModeOrientation(const platform::DevModeW* record) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(record) + kDevModeOrientationOffset;
  return static_cast<std::int16_t>(bytes[0] | bytes[1] << 8);
}

// Makes the device-mode object of `context` for the spooler's `printer`
// handle (may be null); null when it cannot be made. The caller owns it.
using GDevModeSettingsMaker = GDevModeSettingsInterface* (*)(GDriverContextBase& context,
                                                             platform::HANDLE printer);

// Installs the process's maker (null: none, so contexts bind nothing) and
// answers the one installed before. Any thread; a context reads the maker
// each time it makes an object.
GDevModeSettingsMaker SetDevModeSettingsMaker(GDevModeSettingsMaker maker);
GDevModeSettingsMaker GetDevModeSettingsMaker();
