// The static texts that say whether a group of settings is at its factory
// choice: GQualityDescriptionWrapper on the "Print Quality Details" dialog
// of the Finishing page (over the quality feature) and
// GColorDescriptionWrapper on the Color page (over GColorModeFeature).
// Both only display; they read nothing back.
//
// The colour feature reports a change of the colour table (kColorAdjustmentKey) or of the
// mode (a mode chosen on the Color page leaves the table as it is) and reads
// the colour mode from the colour adjustment choice (kColorModeKey), the attribute
// whose modes 7 to 10 the paper-type list switches between.
//
// Ownership: each wrapper owns its feature. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "config/keys/settings_keys.h"
#include "ui/pages/configure_features.h"

// The texts, at most this many characters.
inline constexpr int kMostDescriptionCharacters = 128;

class GColorModeFeature : public GAttributeFeature {
 public:
  explicit GColorModeFeature(GUIContext* owner) : GAttributeFeature(owner, &kColorModeKey) {}
  // Whether the colour table (kColorAdjustmentKey) or the mode changed in
  // the current update.
  bool WasChanged() override;
  // The colour mode; 7 to 10 are the automatic ones.
  std::int32_t GetColorMode() { return GetValue(); }
};

class GQualityDescriptionWrapper : public GPageWrapper {
 public:
  // REQUIRES: `feature` is a GQualityFeature.
  using GPageWrapper::GPageWrapper;
  // When forced or changed: "Custom" (11908) or "Default" (11903).
  void UpdateControl(int force) override;
};

class GColorDescriptionWrapper : public GPageWrapper {
 public:
  // REQUIRES: `feature` is a GColorModeFeature.
  using GPageWrapper::GPageWrapper;
  // When forced or kColorAdjustmentKey changed: "Automatic" (11360) for modes 7-10, else
  // "Custom" (11361).
  void UpdateControl(int force) override;
};
