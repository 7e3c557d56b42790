#include "ui/pages/color_groups.h"

#include <memory>

#include "config/attributes/tintvector_attribute.h"
#include "config/keys/settings_keys.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/dialog_base.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/description_texts.h"

using namespace platform;

namespace {

constexpr std::int32_t kNo = kNoHelp;

// The colour modes the paper-type list also chooses.
constexpr std::int32_t kPaperColorMode = 7;
constexpr std::int32_t kTransparencyColorMode = 8;
constexpr char kTransparencyType[] = "Transparency";

// The preview's texts.
constexpr std::uint32_t kColorText = 14060;
constexpr std::uint32_t kGrayText = 14061;

// The "KVTintvector" sub-key words (resource strings) with their bytes.
constexpr std::uint32_t kDetail = 14101, kSmooth = 14102, kBlackOnly = 14103, kFourColor = 14104,
                        kOff = 14105, kLight = 14106, kNormal = 14107, kMaximum = 14108,
                        kDefaultSrgb = 14109, kVivid = 14110, kDevice = 14111;

constexpr GTintvectorItem kTextHalftone[] = {{kDetail, 0x29}, {kSmooth, 0x2A}};
constexpr GTintvectorItem kGraphicsHalftone[] = {{kDetail, 0x33}, {kSmooth, 0x34}};
constexpr GTintvectorItem kPhotoHalftone[] = {{kDetail, 0x3D}, {kSmooth, 0x3E}};
constexpr GTintvectorItem kTextGrays[] = {{kBlackOnly, 0x46}, {kFourColor, 0x47}};
constexpr GTintvectorItem kGraphicsGrays[] = {{kBlackOnly, 0x50}, {kFourColor, 0x51}};
constexpr GTintvectorItem kPhotoGrays[] = {{kBlackOnly, 0x5A}, {kFourColor, 0x5B}};
constexpr GTintvectorItem kEdgeControl[] = {
    {kOff, 0x5D}, {kLight, 0x5E}, {kNormal, 0x5F}, {kMaximum, 0x60}};
constexpr GTintvectorItem kRgbColor[] = {{kDefaultSrgb, 0x62}, {kDevice, 0x63}, {kVivid, 0x61}};
constexpr GTintvectorItem kTextSrgb[] = {{kDefaultSrgb, 0x64}, {kVivid, 0x65}, {kDevice, 0x66}};
constexpr GTintvectorItem kGraphicsSrgb[] = {{kDefaultSrgb, 0x67}, {kVivid, 0x68}, {kDevice, 0x69}};
constexpr GTintvectorItem kPhotoSrgb[] = {{kDefaultSrgb, 0x6A}, {kVivid, 0x6B}, {kDevice, 0x6C}};

// GetSetting's numbers: setting 0 neutral greys, 1 halftone, 2 edge
// control, 3 RGB (797) or sRGB (1201) colour; object 3 the document.
constexpr RWClassID kEnhanced = kGTintvectorEnhancedAttributeId;
constexpr RWClassID kVer2 = kGTintvectorEnhancedAttributeVer2Id;
struct TintvectorGroup {
  std::int32_t control;
  std::int32_t help;
  GTintvectorChoice choice;
};
constexpr TintvectorGroup kTintvectorGroups[] = {
    {14030, kNo, {0, 1, 0, kTextHalftone}},     {14031, kNo, {1, 1, 0, kGraphicsHalftone}},
    {14032, kNo, {2, 1, 0, kPhotoHalftone}},    {14033, kNo, {0, 0, 0, kTextGrays}},
    {14034, kNo, {1, 0, 0, kGraphicsGrays}},    {14035, kNo, {2, 0, 0, kPhotoGrays}},
    {14036, kNo, {3, 2, 0, kEdgeControl}},      {14037, kNo, {0, 3, kVer2, kTextSrgb}},
    {14038, kNo, {1, 3, kVer2, kGraphicsSrgb}}, {14039, kNo, {2, 3, kVer2, kPhotoSrgb}},
    {14040, kNo, {3, 3, kEnhanced, kRgbColor}}};

constexpr std::uint32_t kColorModeKeys[] = {kColorPossibleKey, kPrintColorAsGrayKey};
constexpr std::uint32_t kAdjustmentKeys[] = {kColorModeKey, kColorAdjustmentKey};
constexpr std::uint32_t kTableKeys[] = {kColorAdjustmentKey};
constexpr std::uint32_t kPreviewKeys[] = {kPrintColorAsGrayKey};
constexpr GGroupKeys kColorGroupKeys[] = {
    {"colour mode", 14010, kColorModeKeys},
    {"colour adjustment", 14020, kAdjustmentKeys},
    {"text halftone", 14030, kTableKeys},
    {"graphics halftone", 14031, kTableKeys},
    {"photo halftone", 14032, kTableKeys},
    {"text neutral greys", 14033, kTableKeys},
    {"graphics neutral greys", 14034, kTableKeys},
    {"photo neutral greys", 14035, kTableKeys},
    {"edge control", 14036, kTableKeys},
    {"text sRGB colour", 14037, kTableKeys},
    {"graphics sRGB colour", 14038, kTableKeys},
    {"photo sRGB colour", 14039, kTableKeys},
    {"RGB colour", 14040, kTableKeys},
    {"description", 14050, kAdjustmentKeys},
    {"preview", 1070, kPreviewKeys},
};

std::vector<GControlEntry> Table(std::initializer_list<GControlEntry> pairs) {
  std::vector<GControlEntry> table(pairs);
  table.push_back({0, 0});
  return table;
}

void Check(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? kBstChecked : kBstUnchecked);
}

// The clicked radio button's entry in `wrapper` (0 or 1), or -1.
int ClickedEntry(const GControlWrapper& wrapper, UINT message, WPARAM wparam) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked) return -1;
  const int control = LowWord(wparam);
  for (int entry : {0, 1})
    if (control == wrapper.GetControlId(std::size_t(entry))) return entry;
  return -1;
}

bool GetTintvectorByte(MPersistentObject* table, std::int32_t object, std::int32_t setting,
                       std::uint8_t& byte) {
  if (auto* ver2 = dynamic_cast<GTintvectorEnhancedAttributeVer2*>(table))
    return ver2->GetSetting(object, setting, byte);
  if (auto* enhanced = dynamic_cast<GTintvectorEnhancedAttribute*>(table))
    return enhanced->GetSetting(object, setting, byte);
  return false;
}

bool SetTintvectorByte(MPersistentObject* table, std::int32_t object, std::int32_t setting,
                       std::uint8_t byte) {
  if (auto* ver2 = dynamic_cast<GTintvectorEnhancedAttributeVer2*>(table))
    return ver2->SetSetting(object, setting, byte);
  if (auto* enhanced = dynamic_cast<GTintvectorEnhancedAttribute*>(table))
    return enhanced->SetSetting(object, setting, byte);
  return false;
}

}  // namespace

std::span<const GGroupKeys> ColorGroupKeys() {
  return kColorGroupKeys;
}

void AddColorPageGroups(GDialogBase* page, GUIContext* context) {
  page->AddWrapper(new GPrintColorWrapper(new GPrintColorFeature(context),
                                          Table({{14010, kNo}, {14011, kNo}}).data()));
  page->AddWrapper(new GColorAdjustmentWrapper(new GColorAdjustmentFeature(context),
                                               Table({{14020, kNo}, {14021, kNo}}).data()));
  for (const TintvectorGroup& group : kTintvectorGroups) {
    page->AddWrapper(new GTintvectorListWrapper(new GTintvectorFeature(context, &group.choice),
                                                Table({{group.control, group.help}}).data()));
  }
  page->AddWrapper(
      new GColorDescriptionWrapper(new GColorModeFeature(context), Table({{14050, kNo}}).data()));
  page->AddWrapper(
      new GColorPreviewWrapper(new GPrintColorFeature(context), Table({{1070, 901}}).data()));
}

// --- The colour mode.

bool GPrintColorFeature::IsOffered() {
  return GetAttributeValue(kColorPossibleKey) == 1 &&
         GetContext()->GetSettingsView().Has(kPrintColorAsGrayKey);
}

int GPrintColorFeature::GetState() {
  return IsOffered() ? kStateEnabled : kStateDisabled;
}

bool GPrintColorFeature::WasChanged() {
  return GAttributeFeature::WasChanged() || GetContext()->WasChanged(kColorPossibleKey);
}

bool GPrintColorFeature::IsGray() {
  const std::int32_t value = GetValue();
  return value == 1 || value == 3;
}

void GPrintColorFeature::Choose(bool gray) {
  if (IsOffered()) SetValue(gray ? 1 : 0);
}

void GPrintColorWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GPrintColorFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  const bool gray = feature->IsOffered() && feature->IsGray();
  Check(GetDialogWindow(), GetControlId(0), !gray);
  Check(GetDialogWindow(), GetControlId(1), gray);
}

LRESULT GPrintColorWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  const int entry = ClickedEntry(*this, message, wparam);
  if (entry < 0) return 0;
  static_cast<GPrintColorFeature*>(GetFeature())->Choose(entry == 1);
  return 1;
}

GControlKind GPrintColorWrapper::ExpectedKind(std::size_t) const {
  return GControlKind::kRadioButton;
}

// --- The colour adjustment.

int GColorAdjustmentFeature::GetState() {
  return GetContext()->GetSettingsView().Has(kColorModeKey) ? kStateEnabled : kStateDisabled;
}

bool GColorAdjustmentFeature::WasChanged() {
  return GAttributeFeature::WasChanged() || GetContext()->WasChanged(kColorAdjustmentKey);
}

void GColorAdjustmentFeature::Choose(bool manual) {
  GAttributeView settings = GetContext()->GetSettingsView();
  if (!settings.Has(kColorModeKey)) return;
  if (manual) {
    SetValue(kManualColorMode);
    return;
  }
  RWCString type;
  settings.GetString(kMediaTypeKey, type);
  const bool transparency = type == kTransparencyType;
  SetValue(transparency ? kTransparencyColorMode : kPaperColorMode);
  // The automatic mode's adjustment is the configuration's for the paper.
  const std::uint32_t from_key =
      transparency ? kTransparencyColorAdjustmentKey : kPaperColorAdjustmentKey;
  for (RWClassID class_id : {kVer2, kEnhanced}) {
    MPersistentObject* from = GetContext()->GetConfigView().FindTyped(from_key, class_id);
    MPersistentObject* to = settings.FindTyped(kColorAdjustmentKey, class_id);
    if (!from || !to) continue;
    std::unique_ptr<MPersistentObject> table = settings.CopyAttribute(kColorAdjustmentKey);
    auto* copy = dynamic_cast<GTintvectorAttribute*>(table.get());
    if (!copy) return;
    if (class_id == kVer2) {
      static_cast<GTintvectorEnhancedAttributeVer2*>(copy)->AssignSettings(
          *static_cast<GTintvectorEnhancedAttributeVer2*>(from));
    } else {
      static_cast<GTintvectorEnhancedAttribute*>(copy)->AssignSettings(
          *static_cast<GTintvectorEnhancedAttribute*>(from));
    }
    if (!copy->IsEqualContent(to) && settings.ReplaceAttribute(kColorAdjustmentKey, copy))
      GetContext()->RecordChange(kColorAdjustmentKey);
    return;
  }
}

void GColorAdjustmentWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GColorAdjustmentFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  const bool manual = feature->IsManual();
  Check(GetDialogWindow(), GetControlId(0), !manual);
  Check(GetDialogWindow(), GetControlId(1), manual);
}

LRESULT GColorAdjustmentWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  const int entry = ClickedEntry(*this, message, wparam);
  if (entry < 0) return 0;
  static_cast<GColorAdjustmentFeature*>(GetFeature())->Choose(entry == 1);
  return 1;
}

GControlKind GColorAdjustmentWrapper::ExpectedKind(std::size_t) const {
  return GControlKind::kRadioButton;
}

// --- The Tintvector settings.

GTintvectorAttribute* GTintvectorFeature::Find() {
  GAttributeView settings = GetContext()->GetSettingsView();
  for (RWClassID class_id : {kVer2, kEnhanced}) {
    if (choice_->only_class != 0 && choice_->only_class != class_id) continue;
    if (auto* found = settings.FindTyped(kColorAdjustmentKey, class_id))
      return static_cast<GTintvectorAttribute*>(found);
  }
  return nullptr;
}

int GTintvectorFeature::GetState() {
  return GetAttributeValue(kColorModeKey) == GColorAdjustmentFeature::kManualColorMode && Find()
             ? kStateEnabled
             : kStateDisabled;
}

bool GTintvectorFeature::WasChanged() {
  return GetContext()->WasChanged(kColorAdjustmentKey);
}

bool GTintvectorFeature::GetByte(std::uint8_t& byte) {
  GTintvectorAttribute* table = Find();
  return table && GetTintvectorByte(table, choice_->object, choice_->setting, byte);
}

void GTintvectorFeature::SetByte(std::uint8_t byte) {
  std::uint8_t old = 0;
  if (GetState() != kStateEnabled || !GetByte(old) || old == byte) return;
  GAttributeView settings = GetContext()->GetSettingsView();
  std::unique_ptr<MPersistentObject> copy = settings.CopyAttribute(kColorAdjustmentKey);
  if (!copy || !SetTintvectorByte(copy.get(), choice_->object, choice_->setting, byte)) return;
  if (settings.ReplaceAttribute(kColorAdjustmentKey, copy.get()))
    GetContext()->RecordChange(kColorAdjustmentKey);
}

void GTintvectorListWrapper::OnInit() {
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(0));
  list.ResetContent();
  for (const GTintvectorItem& item :
       static_cast<GTintvectorFeature*>(GetFeature())->Choice().items) {
    RWWString text;
    LoadResString(item.text_id, text);
    list.AddStringWithData(text.Data(), item.byte);
  }
}

void GTintvectorListWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GTintvectorFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(0));
  std::uint8_t byte = 0;
  if (feature->GetByte(byte)) {
    list.SelectByData(byte);
  } else {
    list.SetCurSel(-1);
  }
}

void GTintvectorListWrapper::ReadControl() {
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(0));
  const std::int32_t data = list.GetSelectedData();
  if (data >= 0 && data <= 0xFF)
    static_cast<GTintvectorFeature*>(GetFeature())->SetByte(static_cast<std::uint8_t>(data));
}

// --- The preview.

void GColorPreviewWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GPrintColorFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  RWWString text;
  LoadResString(feature->IsOffered() && feature->IsGray() ? kGrayText : kColorText, text);
  SetDlgItemTextW(GetDialogWindow(), GetControlId(0), text.Data());
}
