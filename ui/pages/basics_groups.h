// The Basics page's own groups, and the typed-number edit that it shares
// with the custom paper size dialog:
//
//   GNumberEditWrapper  an edit (entry 0) with its up-down (entry 1) that
//                       holds one whole number of steps (a count, tenths of a
//                       millimetre, hundredths of an inch) shown with a fixed
//                       number of decimals, within limits the subclass gives;
//   GCopiesFeature      copies (kCopiesKey) within the printer's copies range
//                       (kCopiesRangeKey of the configuration);
//   GCollateFeature     collate (kCollateKey), offered only where the printer
//                       collates (kCollationAvailableKey of the configuration);
//   GCopiesWrapper      the copies group: 1021 the edit, 1022 its up-down,
//                       1024 the collate box, 1023 and 1020 shown only.
//
// A typed number is read when the focus leaves the edit: a number outside
// the limits is clamped into them and shown so; a text that is no number is
// refused and the stored value shown again. While the user types, a text
// that is already a number within the limits is stored at once, so that OK
// pressed without leaving the edit keeps it; nothing else is stored then.
// A setting the model lacks disables its controls and is never created.
//
// Ownership: a wrapper owns its feature(s); the page owns the wrapper.
// Threads: the sheet's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "foundation/rw/wstring.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"

class GNumberEditWrapper : public GPageWrapper {
 public:
  // `decimals`: the digits shown after the point (0 for a count);
  // `spin_step`: the steps one click of the up-down moves.
  GNumberEditWrapper(GFeature* feature, const GControlEntry* table, int decimals,
                     std::int32_t spin_step)
      : GPageWrapper(feature, table), decimals_(decimals), spin_step_(spin_step) {}

  void OnInit() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

  // The number `text` says, in steps of 10^-`decimals`: digits with at
  // most one point and at most `decimals` digits after it, blanks around;
  // nothing for any other text (a sign, letters, an empty text, too many
  // digits).
  static std::optional<std::int64_t> Parse(std::u16string_view text, int decimals);
  static RWWString Format(std::int32_t steps, int decimals);

 protected:
  // The limits in steps; false when the setting is missing.
  virtual bool Limits(std::int32_t& low, std::int32_t& high) = 0;
  // The stored value in steps.
  virtual std::int32_t Shown() = 0;
  // Stores `steps` (within the limits).
  virtual void Store(std::int32_t steps) = 0;
  // Whether the stored value changed in this update.
  virtual bool ValueChanged() = 0;
  // Shows the stored value (also when the edit already says it otherwise).
  void Show();
  void SetDecimals(int decimals) { decimals_ = decimals; }

 private:
  // Reads the edit: while typing only a number within the limits is stored;
  // when leaving, a number is clamped and a non-number refused.
  void ReadTyped(bool leaving);
  std::u16string EditText() const;

  int decimals_;
  std::int32_t spin_step_;
};

class GCopiesFeature : public GAttributeFeature {
 public:
  explicit GCopiesFeature(GUIContext* owner) : GAttributeFeature(owner, &kCopiesKey) {}
  // Disabled without kCopiesKey in the settings.
  int GetState() override;
  // The printer's copies range (1 to 9999 without kCopiesRangeKey).
  void GetRange(std::int32_t& low, std::int32_t& high);
};

class GCollateFeature : public GAttributeFeature {
 public:
  explicit GCollateFeature(GUIContext* owner) : GAttributeFeature(owner, &kCollateKey) {}
  // Disabled without kCollateKey, or while the printer does not collate.
  int GetState() override;
};

class GCopiesWrapper : public GNumberEditWrapper {
 public:
  GCopiesWrapper(GCopiesFeature* copies, GCollateFeature* collate, const GControlEntry* table)
      : GNumberEditWrapper(copies, table, 0, 1), collate_(collate) {}

  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 protected:
  bool Limits(std::int32_t& low, std::int32_t& high) override;
  std::int32_t Shown() override;
  void Store(std::int32_t steps) override;
  bool ValueChanged() override;

 private:
  GCopiesFeature* Copies() const { return static_cast<GCopiesFeature*>(GetFeature()); }
  std::unique_ptr<GCollateFeature> collate_;
};

// What each Basics group reads and writes.
std::span<const GGroupKeys> BasicsGroupKeys();
