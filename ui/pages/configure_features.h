// Features of the Configure page and of the Finishing page's quality
// group:
//   GAutoConfigFeature  runs the automatic configuration and says which
//                       configuration-status line holds;
//   GQualityFeature     the print quality (resolutions kXResolutionKey and kYResolutionKey,
//                       quality kResolutionModeKey, quick set kQualityKey): whether it changed in
//                       the current update and whether it differs from the
//                       default settings.
//
// Ownership: the wrappers'. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "driver/device_value_reader.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/pages/page_groups.h"

// The configuration-status lines (string ids).
inline constexpr std::uint32_t kStatusAutoConfigured = 14113;
inline constexpr std::uint32_t kStatusAlways = 14118;
inline constexpr std::uint32_t kStatusAdministrator = 14119;

class GAutoConfigFeature : public GPageFeature {
 public:
  explicit GAutoConfigFeature(GUIContext* owner) : GPageFeature(owner) {}

  // The automatic configuration (GUIContext::AutoConfigure): 0 on success,
  // 8 when the printer model does not match, another code on failure.
  // `argument` is 0.
  std::uint32_t Run(int argument);
  // 1 when the state confirms line `status_id`: 14113 while the settings'
  // kDeviceUpdateStatusKey is 2, 14119 while the printer's "LastUpdateType" is "Admin", 14118
  // always; else 0. `argument` is 0.
  int StatusLine(std::uint32_t status_id, int argument);
};

class GQualityFeature : public GPageFeature {
 public:
  explicit GQualityFeature(GUIContext* owner) : GPageFeature(owner) {}

  // Whether kXResolutionKey, kYResolutionKey, kResolutionModeKey or kQualityKey changed in the
  // current update.
  bool WasChanged() const;
  // Non-zero when one of them differs from the default settings (missing
  // reads 0 on both sides); 0 without default settings.
  int IsCustom() const;
};
