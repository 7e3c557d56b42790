// The rules that keep the page-layout options apart: pages per sheet (kPagesPerSheetKey),
// scaling (kScalePercentKey), booklet printing (kBookletKey), printing on another size
// (kFitToOtherSizeKey), TrueType as bitmaps (kTrueTypeAsBitmapKey), rasterising
// (kRasterizationKey), text as black (kTextAsBlackKey), watermarks (kSelectedWatermarkKey) and the
// back cover (kBackCoverKey). Each publishes an availability flag (0 available, 1 disabled, 2
// hidden) and a tip message (a string id; 11902 marks "disabled, no tip") as user-interface
// objects, decided by a chain of checks whose first hit gives the message; some also force an
// option back. The chains read a missing attribute as its default (kPagesPerSheetKey 1,
// kScalePercentKey 100, kOtherPagesSourceKey and kLastPageSourceKey 19, others 0 or empty).
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "config/keys/settings_keys.h"
#include "ui/pages/constraint_rule.h"

// A rule with one flag and one message: Initialize sets both to 0, Report
// raises the flag to 1 and writes a non-zero message.
class GLayoutRule : public GConstraintRule {
 public:
  GLayoutRule(GUIContext* owner, const char* name, std::uint32_t flag, std::uint32_t message)
      : GConstraintRule(owner, name), flag_(flag), message_(message) {}
  void Initialize() override;

 protected:
  void Report(std::int32_t message);
  // The shared checks: scaled (5108), several pages per sheet (5109),
  // printed on another size (5135); 0 for none.
  std::int32_t ScalePagesFitConflict() const;
  // Bit 0 of the printer's capability set (configuration kCapabilitiesKey, child
  // kModeCapabilitiesKey).
  bool HasRasterCapability() const;
  std::uint32_t Flag() const { return flag_; }
  std::uint32_t Message() const { return message_; }

 private:
  std::uint32_t flag_, message_;
};

class GNupConflictRule : public GLayoutRule {
 public:
  explicit GNupConflictRule(GUIContext* owner)
      : GLayoutRule(owner, "GNupConflictRule", kNupConflictFlagKey, kNupConflictMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
};

class GScaleConflictRule : public GLayoutRule {
 public:
  explicit GScaleConflictRule(GUIContext* owner)
      : GLayoutRule(owner, "GScaleConflictRule", kScaleConflictFlagKey, kScaleConflictMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
};

// With a message it also clears kPresetTrueTypeAsBitmapKey and kTrueTypeAsBitmapKey.
class GTrueTypeBitmapRule : public GLayoutRule {
 public:
  explicit GTrueTypeBitmapRule(GUIContext* owner)
      : GLayoutRule(owner, "GTrueTypeBitmapRule", kTrueTypeBitmapFlagKey,
                    kTrueTypeBitmapMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
};

class GSizeLimitRule : public GLayoutRule {
 public:
  explicit GSizeLimitRule(GUIContext* owner)
      : GLayoutRule(owner, "GSizeLimitRule", kSizeLimitFlagKey, kSizeLimitMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
};

// Needs a duplex unit or manual duplex; clears kBookletSheetOrderKey whenever it gets past
// that test.
class GBookletRule : public GLayoutRule {
 public:
  explicit GBookletRule(GUIContext* owner)
      : GLayoutRule(owner, "GBookletRule", kBookletFlagKey, kBookletMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
  // Raises the flag to `level`; a non-zero level turns booklet printing
  // off, and two-sided printing, when on, to 2.
  void SetBookletLevel(std::int32_t level);
};

class GBackCoverBookletRule : public GLayoutRule {
 public:
  explicit GBackCoverBookletRule(GUIContext* owner)
      : GLayoutRule(owner, "GBackCoverBookletRule", kBackCoverBookletFlagKey,
                    kBackCoverBookletMessageKey) {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};

class GFitToPaperNoticeRule : public GLayoutRule {
 public:
  explicit GFitToPaperNoticeRule(GUIContext* owner)
      : GLayoutRule(owner, "GFitToPaperNoticeRule", kFitToPaperFlagKey, kFitToPaperMessageKey) {}
  void OnChanges(const GValueList& changed, int force) override;
};

// Three flag and message pairs; evaluates only when forced or when one of
// its trigger ids changed.
class GRasterizationRule : public GConstraintRule {
 public:
  explicit GRasterizationRule(GUIContext* owner) : GConstraintRule(owner, "GRasterizationRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};
