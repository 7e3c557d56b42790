// The Finishing page's groups (template 3000) and those of its "Print
// Quality Details" dialog (9000 for a language of kind 767, 13001 for kind
// 788): the features that read and write the settings and the wrappers that
// show them.
//
//   two-sided printing   3010 check box "Print on Both Sides" and the list
//                        3011 (off, long edge, short edge): kDuplexKey
//                        within the range kDuplexRangeKey; the check box
//                        turns on with the long edge (the short one where
//                        the range offers only that). Hidden or disabled
//                        by the duplex rule's two flags.
//   booklet printing     3024 list (off, left edge, right edge): kBookletKey,
//                        disabled by the booklet rule's flag.
//   print quality        3015 list of the printer's resolutions (the list
//                        kAlternateResolutionListKey when the default
//                        settings' kResolutionListSelectorKey is 2, else
//                        kResolutionListKey): a choice writes kXResolutionKey
//                        and kYResolutionKey, and kResolutionModeKey and
//                        kQualityKey where the entry gives them; the radio
//                        buttons 3040 and 3041 choose the resolution mode
//                        (1 and 2, the modes the resolution converter
//                        writes).
//   page order           3031 check box: kPageOrderKey 1 (back to front).
//   edge to edge         3035 check box: kEdgeToEdgeKey, offered only while
//                        the gate kEdgeToEdgeGateKey is present and not -1
//                        and the value is not "not supported" (0xFFFF).
//   details dialog       9015 pattern scaling (kPatternScalingKey), 6044
//                        text as black (kTextAsBlackKey; kind 788: disabled
//                        by the rasterization rule's third flag), 3021
//                        TrueType as bitmaps, and for kind 788 the
//                        rasterization radio buttons 9020-9023
//                        (kRasterizationKey 0-3; the rasterising modes 2
//                        and 3 disabled while the rule's first or second
//                        flag is raised).
//
// Every group shows its controls disabled while the setting it writes is
// missing from the settings, and never creates it. Labels, the
// description 9002 and the groups no setting is given to (9024, and 9h:
// 1002, 1005, 9010) only show.
//
// Ownership: each wrapper owns its feature. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ui/framework/combo_box_helper.h"
#include "ui/pages/configure_features.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/media_type_controls.h"
#include "ui/pages/page_groups.h"

// Which settings keys each group reads and writes: the page's, in the
// order of its groups, and the details dialog's (both kinds together).
std::span<const GGroupKeys> FinishingGroupKeys();
std::span<const GGroupKeys> QualityDetailsGroupKeys();

// A 16-bit setting with a set of values the printer offers. The state is
// that of the user-interface flags given (0: none), and disabled while the
// setting is missing.
class GChoiceFeature : public GAttributeFeature {
 public:
  GChoiceFeature(GUIContext* owner, const std::uint32_t* id, std::uint32_t flag = 0,
                 std::uint32_t second_flag = 0)
      : GAttributeFeature(owner, id), flag_(flag), second_flag_(second_flag) {}
  int GetState() override;
  // Whether the settings hold the attribute.
  bool IsPresent() const;
  // Whether the printer offers `value`; any value here.
  virtual bool Offers(std::int32_t value);
  // Writes `value` when the setting is present and offers it; false when
  // refused.
  bool Choose(std::int32_t value);

 private:
  std::uint32_t flag_;
  std::uint32_t second_flag_;
};

// Two-sided printing: kDuplexKey (0 one-sided, 1 short edge, 2 long edge)
// within the range kDuplexRangeKey; without the range only one-sided is
// offered.
class GDuplexFeature : public GChoiceFeature {
 public:
  explicit GDuplexFeature(GUIContext* owner)
      : GChoiceFeature(owner, &kDuplexKey, kDuplexFlagKey, kDuplexGroupFlagKey) {}
  bool Offers(std::int32_t value) override;
  // The edge to turn two-sided printing on with: the current one while
  // offered, else the long edge, else the short one; 0 when neither is.
  std::int32_t EdgeToTurnOn();
};

// Edge-to-edge printing, offered only where the printer supports it.
class GEdgeToEdgeFeature : public GChoiceFeature {
 public:
  explicit GEdgeToEdgeFeature(GUIContext* owner) : GChoiceFeature(owner, &kEdgeToEdgeKey) {}
  int GetState() override;
  bool Offers(std::int32_t value) override;
};

// One entry of the printer's resolution list. `mode` and `quality` are -1
// where the entry gives none.
struct GResolutionChoice {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t mode = -1;
  std::int32_t quality = -1;
};

// The print quality and resolution (the resolution composite kResolutionKey).
class GResolutionFeature : public GQualityFeature {
 public:
  explicit GResolutionFeature(GUIContext* owner) : GQualityFeature(owner) {}
  // Disabled without the resolution composite or its two resolutions.
  int GetState() override;
  // The resolution list in force; empty without one.
  std::vector<GResolutionChoice> Choices() const;
  // The index in `choices` of the current resolutions; -1 when none.
  static int IndexOf(const std::vector<GResolutionChoice>& choices, std::int32_t x, std::int32_t y);
  std::int32_t X() const { return GetAttributeValue(kXResolutionKey); }
  std::int32_t Y() const { return GetAttributeValue(kYResolutionKey); }
  std::int32_t Mode() const { return GetAttributeValue(kResolutionModeKey); }
  // Writes the entry's resolutions, and its mode and quality where the
  // entry and the settings have them. False when `index` is out of range.
  bool Choose(int index);
  // Writes the resolution mode (1 or 2) where the settings have it.
  bool ChooseMode(std::int32_t mode);
};

// The state of the feature, and disabled while a GChoiceFeature's setting
// is missing.
class GFinishingWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void RefreshState() override;
  // Entries past the main control only show: labels (and the Help
  // button).
  GControlKind ExpectedKind(std::size_t index) const override;
};

// A check box (main control) over a GChoiceFeature: checked writes `on`,
// unchecked `off`; checked while the value is not `off`. A refused choice
// puts the box back.
class GChoiceCheckWrapper : public GFinishingWrapper {
 public:
  // REQUIRES: `feature` is a GChoiceFeature.
  GChoiceCheckWrapper(GFeature* feature, const GControlEntry* table, std::int32_t on = 1,
                      std::int32_t off = 0)
      : GFinishingWrapper(feature, table), on_(on), off_(off) {}
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 protected:
  virtual std::int32_t OnValue() { return on_; }
  GChoiceFeature* Feature() const { return static_cast<GChoiceFeature*>(GetFeature()); }

 private:
  std::int32_t on_;
  std::int32_t off_;
};

// The "Print on Both Sides" check box: on with the feature's edge.
// Pattern scaling on the details dialog (kPatternScalingKey): checked
// writes 1, unchecked 0; the box shows the value not 0.
class GPatternScalingFeature : public GChoiceFeature {
 public:
  explicit GPatternScalingFeature(GUIContext* owner) : GChoiceFeature(owner, &kPatternScalingKey) {}
};

class GPatternScalingCheckWrapper : public GChoiceCheckWrapper {
 public:
  using GChoiceCheckWrapper::GChoiceCheckWrapper;
};

class GDuplexCheckWrapper : public GChoiceCheckWrapper {
 public:
  using GChoiceCheckWrapper::GChoiceCheckWrapper;

 protected:
  std::int32_t OnValue() override;
};

// One item of a choice list: the value and its text's string id.
struct GChoiceItem {
  std::int32_t value;
  std::uint32_t text_id;
};

// The items of the two-sided and booklet lists.
std::span<const GChoiceItem> DuplexChoiceItems();
std::span<const GChoiceItem> BookletChoiceItems();

// A drop-down list (main control) of the items the feature offers; a
// selection change writes the item's value.
class GChoiceListWrapper : public GFinishingWrapper {
 public:
  // REQUIRES: `items` outlives the wrapper (a constant table).
  GChoiceListWrapper(GChoiceFeature* feature, const GControlEntry* table,
                     std::span<const GChoiceItem> items)
      : GFinishingWrapper(feature, table), items_(items) {}
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GChoiceFeature* Feature() const { return static_cast<GChoiceFeature*>(GetFeature()); }

  std::span<const GChoiceItem> items_;
  GComboBoxHelper list_;
};

// The print-quality group: the resolution list (entry 0), two labels
// (1, 2) and the mode's radio buttons (3: mode 1, 4: mode 2).
class GResolutionWrapper : public GFinishingWrapper {
 public:
  using GFinishingWrapper::GFinishingWrapper;
  void OnInit() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GResolutionFeature* Feature() const { return static_cast<GResolutionFeature*>(GetFeature()); }

  GComboBoxHelper list_;
};

// The rasterization radio buttons (entries 0-3 for the values 0-3; the
// rest only show). The rasterising modes 2 and 3 are disabled while the
// rasterization rule's first or second flag is raised.
class GRasterizationWrapper : public GFinishingWrapper {
 public:
  using GFinishingWrapper::GFinishingWrapper;
  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

// The TrueType-as-bitmaps check box of the details dialog (the check box
// wrapper of the media-type controls, with its kind said).
class GTrueTypeCheckWrapper : public GCheckBoxWrapper {
 public:
  using GCheckBoxWrapper::GCheckBoxWrapper;
  GControlKind ExpectedKind(std::size_t index) const override {
    return index == 0 ? GControlKind::kCheckBox : GControlKind::kStatic;
  }
};
