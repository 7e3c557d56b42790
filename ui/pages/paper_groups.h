// The Paper page's own groups and those of its "Custom Paper Size" dialog
// (the paper size list itself is GPaperSizeWrapper, paper_features.h):
//
//   GDifferentFirstPageFeature / ...Wrapper  the first page on other paper
//       (kDifferentFirstPageKey): 11586 its box, 11555 shown only. Switching
//       it off edits the first page (which then stands for all pages) again.
//   GPageSectionFeature / GPageSectionWrapper  the page group the page edits
//       (kPageGroupSelectorKey): 11553 the first page, 11554 the other pages;
//       offered only while the first page differs.
//   GPaperSourceFeature / GPaperSourceWrapper  the tray of the page group
//       being edited (kPaperSourceKey for the first page, kOtherPagesSourceKey
//       for the other pages, ...): 11584 lists the installed trays and
//       "Automatically Select" (kAnySource); 11583 shown only.
//   GCustomUnits  the units the custom size dialog shows (millimetres or
//       inches), shared by its groups and kept for the sheet's life.
//   GCustomSizeFeature / GCustomLengthWrapper  the custom width
//       (kCustomWidthKey) or height (kCustomHeightKey), stored in tenths of a
//       millimetre within the custom-size limits (the configuration's limit
//       media, paper_features.h, at the settings' resolution) and shown in the
//       dialog's units; storing one makes the custom size the document's
//       paper (kPaperSizeKey = kCustomSizePaperId).
//   GCustomUnitsWrapper  the units list 2052.
//
// Ownership: a wrapper owns its feature; the dialog or page owns the
// wrapper; GCustomUnits is shared by the dialog's wrappers. Threads: the
// sheet's.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "ui/framework/combo_box_helper.h"
#include "ui/pages/basics_groups.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"
#include "ui/pages/paper_features.h"

class GDifferentFirstPageFeature : public GAttributeFeature {
 public:
  explicit GDifferentFirstPageFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kDifferentFirstPageKey) {}
  // Disabled without kDifferentFirstPageKey.
  int GetState() override;
  // Sets the choice; off also selects the first page group.
  void Choose(bool different);
};

class GDifferentFirstPageWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

// The page group selector's value for one radio button.
class GPageSectionFeature : public GFeature {
 public:
  GPageSectionFeature(GUIContext* owner, std::int32_t section)
      : GFeature(owner), section_(section) {}
  // Disabled while the first page does not differ.
  int GetState() override;
  bool IsSelected() const;
  void Select();
  bool WasChanged() const;

 private:
  std::int32_t section_;
};

class GPageSectionWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

class GPaperSourceFeature : public GFeature {
 public:
  explicit GPaperSourceFeature(GUIContext* owner) : GFeature(owner) {}
  // Disabled when the settings lack the edited group's tray.
  int GetState() override;
  // The tray attribute of the page group being edited.
  std::uint32_t TrayKey() const;
  std::int32_t GetTray() const;
  void SetTray(std::uint16_t tray);
  bool WasChanged() const;
};

class GPaperSourceWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void OnInit() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GPaperSourceFeature* Source() const { return static_cast<GPaperSourceFeature*>(GetFeature()); }
  GComboBoxHelper list_;
};

struct GCustomUnits {
  enum Unit : std::int32_t { kMillimetres = 0, kInches = 1 };
  Unit unit = kMillimetres;
  std::uint32_t serial = 0;  // counts the changes of unit
};

class GCustomSizeFeature : public GPaperSizeLimitsFeature {
 public:
  // `key`: kCustomWidthKey or kCustomHeightKey.
  GCustomSizeFeature(GUIContext* owner, std::uint32_t key)
      : GPaperSizeLimitsFeature(owner), key_(key) {}
  // Disabled without the attribute.
  int GetState() override;
  // The limits in tenths of a millimetre: the widths (or heights) of the
  // smallest and the largest limit medium, portrait, at the smaller of the
  // settings' resolutions. False when a medium or the resolution is
  // missing.
  bool GetLimits(std::int32_t& low, std::int32_t& high);
  std::int32_t GetValue() const;
  // Writes the length and makes the custom size the document's paper.
  void SetValue(std::int32_t tenths);
  bool WasChanged() const;

 private:
  std::uint32_t key_;
};

class GCustomLengthWrapper : public GNumberEditWrapper {
 public:
  // Entries: 0 the edit, 1 its up-down, the rest shown only.
  GCustomLengthWrapper(GCustomSizeFeature* feature, const GControlEntry* table,
                       std::shared_ptr<GCustomUnits> units);
  void UpdateControl(int force) override;

 protected:
  bool Limits(std::int32_t& low, std::int32_t& high) override;
  std::int32_t Shown() override;
  void Store(std::int32_t steps) override;
  bool ValueChanged() override;

 private:
  GCustomSizeFeature* Size() const { return static_cast<GCustomSizeFeature*>(GetFeature()); }
  bool Inches() const { return units_->unit == GCustomUnits::kInches; }
  std::shared_ptr<GCustomUnits> units_;
  std::uint32_t shown_serial_ = 0;
};

class GCustomUnitsWrapper : public GPageWrapper {
 public:
  GCustomUnitsWrapper(GFeature* feature, const GControlEntry* table,
                      std::shared_ptr<GCustomUnits> units)
      : GPageWrapper(feature, table), units_(std::move(units)) {}
  void OnInit() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  std::shared_ptr<GCustomUnits> units_;
  GComboBoxHelper list_;
};

// Tenths of a millimetre to hundredths of an inch, rounded, and back.
std::int32_t TenthsMillimetreToHundredthsInch(std::int32_t tenths);
std::int32_t HundredthsInchToTenthsMillimetre(std::int32_t hundredths);

// What each Paper group, and each group of the custom size dialog, reads
// and writes.
std::span<const GGroupKeys> PaperGroupKeys();
