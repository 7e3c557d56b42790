// The Effects page's groups and those of its "Watermark Details" dialog,
// each a feature over the settings with the wrapper that shows it:
//
//   GScaleFeature / GScaleEditWrapper      "% of Normal Size" (kScalePercentKey),
//       an edit with an up-down; typed values are clamped to 25-400 (the
//       range the scale's feature key takes), a text that is no number is
//       refused and the stored value shown again.
//   GFitToPaperFeature / GFitToLetterWrapper
//       printing on another paper size (kFitToOtherSizeKey), the size to
//       print on (kTargetPaperSizeKey, from the forms the printer offers) and
//       whether to scale to it (kScalePageChoiceKey).
//   GPagesPerSheetFeature / GPagesPerSheetListWrapper
//       pages per sheet (kPagesPerSheetKey): 1, 2, 4, 6, 9 or 16.
//   GWatermarkFeature / GWatermarkListWrapper
//       the job's watermark (kWatermarkSettingKey): choosing a definition of
//       the watermark list (kWatermarkListKey) names it (kSelectedWatermarkKey,
//       kWatermarkNumberKey) and copies its values into the job's setting,
//       as the watermark feature key does; "(None)" leaves the name empty.
//   GWMFontWrapper, GWatermarkPagesWrapper, GWatermarkLayoutWrapper
//       the chosen definition's text, face, point size and style, the job's
//       first-page-only choice, and the angle (kind and custom degrees).
//       A detail is written into the definition and into the job's setting
//       wherever either holds it.
//
// Every feature is disabled while the model lacks its attribute, and never
// creates it. The conflict rules' flags decide the rest: the scale follows
// kScaleConflictFlagKey, fit to paper kSizeLimitFlagKey, pages per sheet
// kNupConflictFlagKey. Borders (kNupBordersKey) and page order
// (kNupPageOrderKey) have no control on this page and keep their values.
//
// Ownership: each wrapper owns its feature(s). Threads: the sheet's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/feature.h"
#include "ui/pages/configure_controls.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"
#include "ui/pages/paper_features.h"

class GAttributeComposite;

// Which groups of the Effects page and its dialog read and write which keys.
std::span<const GGroupKeys> EffectsGroupKeys();

// Whether the settings hold attribute `id` (depth first).
bool SettingsHave(const GFeature& feature, std::uint32_t id);

class GScaleFeature : public GAttributeFeature {
 public:
  static constexpr std::int32_t kLeast = 25;
  static constexpr std::int32_t kMost = 400;
  explicit GScaleFeature(GUIContext* owner) : GAttributeFeature(owner, &kScalePercentKey) {}
  int GetState() override;
};

// Entries: 0 the edit, 1 the up-down; the third only shows.
class GScaleEditWrapper : public GSpinEditWrapper {
 public:
  using GSpinEditWrapper::GSpinEditWrapper;
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  void Step(bool up) override;
  void Leave() override;
  GScaleFeature* Scale() const { return static_cast<GScaleFeature*>(GetFeature()); }
  RWWString shown_;  // the edit's text as last written
};

class GFitToPaperFeature : public GAttributeFeature {
 public:
  explicit GFitToPaperFeature(GUIContext* owner) : GAttributeFeature(owner, &kFitToOtherSizeKey) {}
  int GetState() override;
  bool WasChanged() override;
};

// The fit-to-paper group: the limits feature and fit to other size.
// Entries: 0 the switch, 1 the paper list, 2 scale to fit; the fourth only
// shows. The list and scale to fit are usable while the switch is on.
class GFitToLetterWrapper : public GPairedWrapper {
 public:
  GFitToLetterWrapper(GPaperSizeLimitsFeature* limits, GFitToPaperFeature* fit,
                      const GControlEntry* table)
      : GPairedWrapper(limits, fit, table) {}
  void OnInit() override;
  void RefreshState() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GFitToPaperFeature* Fit() const { return static_cast<GFitToPaperFeature*>(Second()); }
  GComboBoxHelper sizes_;
};

class GPagesPerSheetFeature : public GAttributeFeature {
 public:
  explicit GPagesPerSheetFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kPagesPerSheetKey) {}
  int GetState() override;
};

class GPagesPerSheetListWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GComboBoxHelper list_;
};

// What a watermark feature's group edits; its state follows.
enum class GWatermarkPart {
  kChoice,   // the choice (and the details button): usable while the
             // job's setting holds the name
  kDetails,  // a definition's details: usable while one is chosen
  kPages,    // first page only: usable while one is chosen and the job's
             // setting holds it
};

class GWatermarkFeature : public GFeature {
 public:
  GWatermarkFeature(GUIContext* owner, GWatermarkPart part) : GFeature(owner), part_(part) {}
  int GetState() override;

  // The named definitions of the watermark list, in order.
  std::vector<GAttributeComposite*> Definitions() const;
  // The job's watermark setting; null when missing.
  GAttributeComposite* Setting() const;
  // The chosen definition (the first whose name the setting names); null
  // when none is.
  GAttributeComposite* Chosen() const;
  // Chooses `definition` (null: none).
  void Choose(GAttributeComposite* definition);

  // A detail of the chosen watermark: the definition's (for
  // kWatermarkPagesKey the setting's) value or text, else the other's;
  // whether either holds `key`. Nothing is held while none is chosen.
  bool Holds(std::uint32_t key) const;
  std::int32_t Number(std::uint32_t key) const;
  RWCString Text(std::uint32_t key) const;
  // Writes the definition and the setting wherever either holds `key`.
  void SetNumber(std::uint32_t key, std::int32_t value);
  void SetText(std::uint32_t key, const RWCString& text);
  // Whether a watermark attribute changed in the current update.
  bool WasChanged() const;

 private:
  GAttributeComposite* Holder(std::uint32_t key) const;
  GWatermarkPart part_;
};

// A drop-down list of the definitions after "(None)" (entry 0); the other
// entries only show.
class GWatermarkListWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GWatermarkFeature* Watermark() const { return static_cast<GWatermarkFeature*>(GetFeature()); }
  GComboBoxHelper list_;
};

// Entries: 0 the text (an edit), 1 the face (a list), 2 the point size (an
// edit, 1-999), 3 the style (a list); the rest only show. Each is usable
// while the chosen definition holds its attribute.
class GWMFontWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void OnInit() override;
  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GWatermarkFeature* Watermark() const { return static_cast<GWatermarkFeature*>(GetFeature()); }
  void Read(std::size_t index);
  GComboBoxHelper faces_;
  GComboBoxHelper styles_;
  RWWString shown_text_;  // the edits' texts as last written
  RWWString shown_size_;
};

// Entry 0: the first-page-only check box; the rest only show.
class GWatermarkPagesWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

// The angle of the chosen definition: its kind (kWatermarkAngleKindKey)
// and custom degrees (kWatermarkAngleKey, 1-359).
class GWatermarkLayoutFeature : public GWatermarkFeature {
 public:
  explicit GWatermarkLayoutFeature(GUIContext* owner)
      : GWatermarkFeature(owner, GWatermarkPart::kDetails) {}
};

// Entries: 0-3 the radio buttons of the angle kinds diagonal, horizontal,
// vertical and custom; 4 the custom degrees (an edit, usable with the
// custom kind); the sixth only shows.
class GWatermarkLayoutWrapper : public GPageWrapper {
 public:
  // Owns `layout` besides `feature`.
  GWatermarkLayoutWrapper(GFeature* feature, GWatermarkLayoutFeature* layout,
                          const GControlEntry* table)
      : GPageWrapper(feature, table), layout_(layout) {}
  GWatermarkLayoutFeature* Layout() const { return layout_.get(); }
  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  std::unique_ptr<GWatermarkLayoutFeature> layout_;
  RWWString shown_angle_;  // the edit's text as last written
};
