// The Color page's groups (template 14000): the colour mode, the colour
// adjustment with its Tintvector settings, the description text and the
// preview. ColorGroupKeys says which settings keys each group reads and
// writes.
//
//   colour mode (14010 colour, 14011 grey; radio buttons): "printing/
//     PrintColorAsGray" (kPrintColorAsGrayKey): 0 colour, 1 grey (3, which
//     a record of a printer with cached value 2 leaves, also shows grey).
//     The choice is offered only while kColorPossibleKey is 1 and the
//     setting exists: a record carries the choice (dmColor) only then.
//   colour adjustment (14020 automatic, 14021 manual; radio buttons):
//     "printing/KVTintvector" (kColorModeKey): 6 is "Manual", any other
//     value reads "Automatic". Choosing automatic gives mode 8 with the
//     paper type "Transparency", else 7, and puts the configuration's
//     colour adjustment for that paper (kTransparencyColorAdjustmentKey or
//     kPaperColorAdjustmentKey), when it has one, into kColorAdjustmentKey,
//     as the paper-type list does.
//   Tintvector settings (14030-14040; drop-down lists): the bytes of the
//     colour adjustment kColorAdjustmentKey that the "KVTintvector"
//     sub-keys name, each list item one sub-key word with its byte. They
//     are offered only while the mode is manual and the adjustment is of
//     the class that has the byte (the RGB colour option only class 797,
//     the sRGB colours only class 1201).
//   description (14050, static): GColorDescriptionWrapper.
//   preview (1070, static): shows the colour mode's name.
//
// Ownership: each wrapper owns its feature. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/defs.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"

class GDialogBase;
class GTintvectorAttribute;

// The settings keys each group of the Color page reads and writes.
std::span<const GGroupKeys> ColorGroupKeys();

// Adds the Color page's groups to `page`. REQUIRES: both not null.
void AddColorPageGroups(GDialogBase* page, GUIContext* context);

class GPrintColorFeature : public GAttributeFeature {
 public:
  explicit GPrintColorFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kPrintColorAsGrayKey) {}
  // Disabled unless the choice is offered.
  int GetState() override;
  bool WasChanged() override;
  bool IsOffered();
  bool IsGray();
  // Nothing when the choice is not offered.
  void Choose(bool gray);
};

// Entries: 0 colour, 1 grey.
class GPrintColorWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override {}
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

class GColorAdjustmentFeature : public GAttributeFeature {
 public:
  explicit GColorAdjustmentFeature(GUIContext* owner) : GAttributeFeature(owner, &kColorModeKey) {}
  // Disabled when the mode is missing.
  int GetState() override;
  // The mode or the adjustment changed.
  bool WasChanged() override;
  bool IsManual() { return GetValue() == kManualColorMode; }
  void Choose(bool manual);

  static constexpr std::int32_t kManualColorMode = 6;
};

// Entries: 0 automatic, 1 manual.
class GColorAdjustmentWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override {}
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

// One byte of the colour adjustment and the words a list offers for it.
struct GTintvectorItem {
  std::uint32_t text_id;  // the sub-key word, a resource string
  std::uint8_t byte;
};
struct GTintvectorChoice {
  std::int32_t object;   // 0 text, 1 graphics, 2 photos, 3 the whole document
  std::int32_t setting;  // as GetSetting numbers it
  RWClassID only_class;  // 0: both enhanced classes
  std::span<const GTintvectorItem> items;
};

class GTintvectorFeature : public GFeature {
 public:
  // REQUIRES: `choice` outlives the feature.
  GTintvectorFeature(GUIContext* owner, const GTintvectorChoice* choice)
      : GFeature(owner), choice_(choice) {}
  // Enabled only while the mode is manual and the byte exists.
  int GetState() override;
  bool WasChanged();
  bool GetByte(std::uint8_t& byte);
  // Writes the byte; the adjustment is recorded as changed.
  void SetByte(std::uint8_t byte);
  const GTintvectorChoice& Choice() const { return *choice_; }

 private:
  // The adjustment of a class that holds the byte, else null.
  GTintvectorAttribute* Find();

  const GTintvectorChoice* choice_;
};

class GTintvectorListWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t) const override { return GControlKind::kDropDownList; }
};

// The preview: the name of the colour mode chosen.
class GColorPreviewWrapper : public GPageWrapper {
 public:
  // REQUIRES: `feature` is a GPrintColorFeature.
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override {}
  GControlKind ExpectedKind(std::size_t) const override { return GControlKind::kStatic; }
};
