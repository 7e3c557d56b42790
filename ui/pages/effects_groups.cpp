#include "ui/pages/effects_groups.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "persist/child_iterator.h"
#include "persist/string_conversion.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::uint32_t kScaleKeys[] = {kScalePercentKey};
constexpr std::uint32_t kFitKeys[] = {kFitToOtherSizeKey, kTargetPaperSizeKey, kScalePageChoiceKey};
constexpr std::uint32_t kNupKeys[] = {kPagesPerSheetKey};
constexpr std::uint32_t kChoiceKeys[] = {kSelectedWatermarkKey, kWatermarkNumberKey};
constexpr std::uint32_t kFontKeys[] = {kWatermarkTextKey, kWatermarkFaceKey, kWatermarkPointSizeKey,
                                       kWatermarkStyleKey};
constexpr std::uint32_t kPagesKeys[] = {kWatermarkPagesKey};
constexpr std::uint32_t kLayoutKeys[] = {kWatermarkAngleKindKey, kWatermarkAngleKey};

constexpr GGroupKeys kEffectsGroups[] = {
    {"% of Normal Size", 6021, kScaleKeys},
    {"Print Document On", 6024, kFitKeys},
    {"Pages per Sheet", 6012, kNupKeys},
    {"Watermarks", 6011, kChoiceKeys},
    {"Watermark Details: watermark", 5002, kChoiceKeys},
    {"Watermark Details: text and font", 5012, kFontKeys},
    {"Watermark Details: first page only", 5016, kPagesKeys},
    {"Watermark Details: angle", 5008, kLayoutKeys},
};

// Every key a watermark group writes, for the groups' refresh.
constexpr std::uint32_t kWatermarkKeys[] = {
    kSelectedWatermarkKey,  kWatermarkNumberKey,    kWatermarkTextKey,
    kWatermarkFaceKey,      kWatermarkPointSizeKey, kWatermarkStyleKey,
    kWatermarkAngleKindKey, kWatermarkAngleKey,     kWatermarkPagesKey};
// What choosing a definition copies into the job's setting, in order (the
// face and the text are strings).
constexpr std::uint32_t kCopiedValues[] = {
    kWatermarkPointSizeKey, kWatermarkNumberKey,    kWatermarkShadeKey,  kWatermarkStyleKey,
    kWatermarkPagesKey,     kWatermarkAngleKindKey, kWatermarkAngleKey,  kWatermarkRedKey,
    kWatermarkGreenKey,     kWatermarkBlueKey,      kWatermarkCharSetKey};

constexpr std::uint16_t kPagesPerSheet[] = {1, 2, 4, 6, 9, 16};
// The faces and styles the watermark's feature keys name.
constexpr const char* kFaces[] = {"Times New Roman", "Courier New", "Helvetica", "Arial"};
constexpr std::pair<const char16_t*, std::uint16_t> kStyles[] = {
    {u"Regular", 0},    {u"Bold", 1},      {u"Italic", 2},
    {u"BoldItalic", 3}, {u"Underline", 4}, {u"Strikeout", 8}};
// The angle kinds of the layout's radio buttons, in table order.
constexpr std::int32_t kAngleKinds[] = {1, 0, 2, 4};
constexpr std::int32_t kCustomAngleKind = 4;
constexpr std::size_t kCustomAngleEdit = 4;
constexpr std::int32_t kLeastAngle = 1;
constexpr std::int32_t kMostAngle = 359;
constexpr std::int32_t kLeastPointSize = 1;
constexpr std::int32_t kMostPointSize = 999;
constexpr std::uint32_t kNoneText = 11150;  // "(None)"
constexpr std::size_t kMostTextCharacters = 255;
constexpr std::size_t kMostNumberCharacters = 8;

enum FontEntry : std::size_t { kTextEntry, kFaceEntry, kSizeEntry, kStyleEntry };

std::u16string ReadEdit(HWND dialog, int id, std::size_t most) {
  std::u16string text(most + 1, u'\0');
  const UINT length = GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(most + 1));
  text.resize(std::min<std::size_t>(length, most));
  return text;
}

// The decimal number a typed text holds (spaces around it allowed),
// clamped to `least`-`most`; false when it holds none.
bool ReadNumber(std::u16string_view text, std::int32_t least, std::int32_t most,
                std::int32_t& value) {
  while (!text.empty() && text.front() == u' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ')
    text.remove_suffix(1);
  if (text.empty()) return false;
  std::int64_t number = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    number = std::min<std::int64_t>(number * 10 + (c - u'0'), most);
  }
  value = static_cast<std::int32_t>(std::clamp<std::int64_t>(number, least, most));
  return true;
}

RWWString Decimal(std::int32_t value) {
  const std::string text = std::to_string(value);
  RWWString wide;
  NarrowToWide(RWCString(text.c_str()), wide);
  return wide;
}

// Writes `text` into the edit unless it is what the edit was last given:
// a refresh while the user types keeps the typing (a dialog's changes stay
// recorded until it closes).
void ShowEdit(HWND dialog, int id, const RWWString& text, RWWString& shown, bool force) {
  if (!force && text == shown) return;
  shown = text;
  SetDlgItemTextIfChanged(dialog, id, text);
}

bool IsChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == UINT(kBstChecked);
}

void Check(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? kBstChecked : kBstUnchecked);
}

// The attribute feature's state: disabled without its attribute, else the
// state the rule's flag asks for.
int StateOver(const GAttributeFeature& feature, std::uint32_t flag) {
  if (!SettingsHave(feature, feature.GetAttributeId())) return kStateDisabled;
  return feature.GetUIState(flag);
}

bool HasKey(GAttributeComposite* composite, std::uint32_t key) {
  return composite && composite->FindByKey(key) != nullptr;
}

// The change command's entry of `wrapper`, or its count when it is none.
std::size_t ChangedEntry(const GControlWrapper& wrapper, UINT message, WPARAM wparam) {
  if (message != kWmCommand || !wrapper.IsChangeCommand(wparam)) return wrapper.GetControlCount();
  return wrapper.IndexOfControl(LowWord(wparam));
}

}  // namespace

std::span<const GGroupKeys> EffectsGroupKeys() {
  return kEffectsGroups;
}

bool SettingsHave(const GFeature& feature, std::uint32_t id) {
  return feature.GetContext()->GetSettingsView().Has(id);
}

// --- Scale.

int GScaleFeature::GetState() {
  return StateOver(*this, kScaleConflictFlagKey);
}

void GScaleEditWrapper::OnInit() {
  LimitEdit(GScaleFeature::kLeast, GScaleFeature::kMost);
}

void GScaleEditWrapper::UpdateControl(int force) {
  if (!force && !Scale()->WasChanged()) return;
  ShowEdit(GetDialogWindow(), GetControlId(0), Decimal(Scale()->GetValue()), shown_, force != 0);
}

void GScaleEditWrapper::ReadControl() {
  std::int32_t value = 0;
  if (ReadNumber(ReadEdit(GetDialogWindow(), GetControlId(0), kMostNumberCharacters),
                 GScaleFeature::kLeast, GScaleFeature::kMost, value)) {
    Scale()->SetValue(value);
  }
}

void GScaleEditWrapper::Step(bool up) {
  Scale()->SetValue(
      std::clamp(Scale()->GetValue() + (up ? 1 : -1), GScaleFeature::kLeast, GScaleFeature::kMost));
  UpdateControl(1);
}

void GScaleEditWrapper::Leave() {
  ReadControl();
  UpdateControl(1);
}

GControlKind GScaleEditWrapper::ExpectedKind(std::size_t index) const {
  if (index == 0) return GControlKind::kEdit;
  return index == 1 ? GControlKind::kUpDown : GControlKind::kAny;
}

// --- Fit to paper.

int GFitToPaperFeature::GetState() {
  return StateOver(*this, kSizeLimitFlagKey);
}

bool GFitToPaperFeature::WasChanged() {
  GUIContext* context = GetContext();
  return GAttributeFeature::WasChanged() || context->WasChanged(kTargetPaperSizeKey) ||
         context->WasChanged(kScalePageChoiceKey);
}

void GFitToLetterWrapper::OnInit() {
  sizes_.Attach(GetDialogWindow(), GetControlId(1));
  sizes_.ResetContent();
  GetFeature()->GetContext()->EnumAllForms(
      [](std::uint32_t, std::uint16_t paper_id, const RWWString& name, void* data) {
        static_cast<GComboBoxHelper*>(data)->AddStringWithData(name.Data(), paper_id);
        return 1;
      },
      &sizes_, 1);
}

void GFitToLetterWrapper::RefreshState() {
  const int state = Fit()->GetState();
  SetState(state);
  const bool on = state == kStateEnabled && Fit()->GetValue() == 1;
  EnableItem(1, on && SettingsHave(*Fit(), kTargetPaperSizeKey));
  EnableItem(2, on && SettingsHave(*Fit(), kScalePageChoiceKey));
}

void GFitToLetterWrapper::UpdateControl(int force) {
  if (!force && !Fit()->WasChanged()) return;
  HWND dialog = GetDialogWindow();
  Check(dialog, GetControlId(0), Fit()->GetValue() == 1);
  sizes_.SelectByData(static_cast<std::uint16_t>(Fit()->GetAttributeValue(kTargetPaperSizeKey)));
  Check(dialog, GetControlId(2), Fit()->GetAttributeValue(kScalePageChoiceKey) == 1);
}

void GFitToLetterWrapper::ReadControl() {
  HWND dialog = GetDialogWindow();
  GAttributeView settings = Fit()->GetContext()->GetSettingsView();
  Fit()->SetValue(IsChecked(dialog, GetControlId(0)) ? 1 : 0);
  if (const std::int32_t size = sizes_.GetSelectedData(); size >= 0)
    settings.SetValue(kTargetPaperSizeKey, size);
  settings.SetValue(kScalePageChoiceKey, IsChecked(dialog, GetControlId(2)) ? 1 : 0);
}

GControlKind GFitToLetterWrapper::ExpectedKind(std::size_t index) const {
  if (index == 1) return GControlKind::kDropDownList;
  return index == 0 || index == 2 ? GControlKind::kCheckBox : GControlKind::kAny;
}

// --- Pages per sheet.

int GPagesPerSheetFeature::GetState() {
  return StateOver(*this, kNupConflictFlagKey);
}

void GPagesPerSheetListWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
  list_.ResetContent();
  for (std::uint16_t pages : kPagesPerSheet)
    list_.AddStringWithData(Decimal(pages).Data(), pages);
}

void GPagesPerSheetListWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GAttributeFeature*>(GetFeature());
  if (force || feature->WasChanged())
    list_.SelectByData(static_cast<std::uint32_t>(feature->GetValue()));
}

void GPagesPerSheetListWrapper::ReadControl() {
  if (const std::int32_t pages = list_.GetSelectedData(); pages > 0)
    static_cast<GAttributeFeature*>(GetFeature())->SetValue(pages);
}

GControlKind GPagesPerSheetListWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kAny;
}

// --- Watermarks.

int GWatermarkFeature::GetState() {
  GAttributeComposite* setting = Setting();
  switch (part_) {
    case GWatermarkPart::kChoice:
      return HasKey(setting, kSelectedWatermarkKey) ? kStateEnabled : kStateDisabled;
    case GWatermarkPart::kDetails:
      return Chosen() ? kStateEnabled : kStateDisabled;
    case GWatermarkPart::kPages:
      return Chosen() && HasKey(setting, kWatermarkPagesKey) ? kStateEnabled : kStateDisabled;
  }
  return kStateDisabled;
}

std::vector<GAttributeComposite*> GWatermarkFeature::Definitions() const {
  std::vector<GAttributeComposite*> found;
  GAttributeComposite* list = GetContext()->GetSettingsView().FindComposite(kWatermarkListKey);
  if (!list) return found;
  std::unique_ptr<MChildIterator> walk(list->NewChildIterator());
  while (walk && walk->Next()) {
    auto* definition = dynamic_cast<GAttributeComposite*>(walk->Current());
    RWCString name;
    // An unnamed entry stands for no watermark; "(None)" shows it.
    if (definition &&
        GAttributeView(definition, nullptr, true).GetString(kWatermarkNameKey, name) &&
        name.Length() != 0) {
      found.push_back(definition);
    }
  }
  return found;
}

GAttributeComposite* GWatermarkFeature::Setting() const {
  return GetContext()->GetSettingsView().FindComposite(kWatermarkSettingKey);
}

GAttributeComposite* GWatermarkFeature::Chosen() const {
  RWCString chosen;
  if (!GAttributeView(Setting(), nullptr, true).GetString(kSelectedWatermarkKey, chosen) ||
      chosen.Length() == 0) {
    return nullptr;
  }
  for (GAttributeComposite* definition : Definitions()) {
    RWCString name;
    GAttributeView(definition, nullptr, true).GetString(kWatermarkNameKey, name);
    if (name == chosen) return definition;
  }
  return nullptr;
}

void GWatermarkFeature::Choose(GAttributeComposite* definition) {
  GAttributeView setting(Setting(), GetContext(), false);
  // The setting describes the job's watermark whole (the watermark filter
  // reads its text there): no watermark leaves no text behind.
  if (!definition) {
    setting.SetString(kSelectedWatermarkKey, RWCString(""));
    setting.SetValue(kWatermarkNumberKey, 0);
    setting.SetString(kWatermarkTextKey, RWCString(""));
    return;
  }
  GAttributeView from(definition, nullptr, true);
  RWCString text;
  from.GetString(kWatermarkNameKey, text);
  setting.SetString(kSelectedWatermarkKey, text);
  for (std::uint32_t key : kCopiedValues) {
    std::int32_t value = 0;
    if (from.GetValue(key, value)) setting.SetValue(key, value);
  }
  if (from.GetString(kWatermarkFaceKey, text)) setting.SetString(kWatermarkFaceKey, text);
  text = RWCString("");
  from.GetString(kWatermarkTextKey, text);
  setting.SetString(kWatermarkTextKey, text);
}

// The composite a detail is read from first: the setting for the pages,
// the definition for the others; the other one when that lacks it.
GAttributeComposite* GWatermarkFeature::Holder(std::uint32_t key) const {
  GAttributeComposite* setting = Setting();
  GAttributeComposite* definition = Chosen();
  if (!definition) return nullptr;
  GAttributeComposite* first = key == kWatermarkPagesKey ? setting : definition;
  GAttributeComposite* second = key == kWatermarkPagesKey ? definition : setting;
  if (HasKey(first, key)) return first;
  return HasKey(second, key) ? second : nullptr;
}

bool GWatermarkFeature::Holds(std::uint32_t key) const {
  return Holder(key) != nullptr;
}

std::int32_t GWatermarkFeature::Number(std::uint32_t key) const {
  std::int32_t value = 0;
  GAttributeView(Holder(key), nullptr, true).GetValue(key, value);
  return value;
}

RWCString GWatermarkFeature::Text(std::uint32_t key) const {
  RWCString text;
  GAttributeView(Holder(key), nullptr, true).GetString(key, text);
  return text;
}

void GWatermarkFeature::SetNumber(std::uint32_t key, std::int32_t value) {
  GAttributeView(Chosen(), GetContext(), false).SetValue(key, value);
  GAttributeView(Setting(), GetContext(), false).SetValue(key, value);
}

void GWatermarkFeature::SetText(std::uint32_t key, const RWCString& text) {
  GAttributeView(Chosen(), GetContext(), false).SetString(key, text);
  GAttributeView(Setting(), GetContext(), false).SetString(key, text);
}

bool GWatermarkFeature::WasChanged() const {
  return std::any_of(std::begin(kWatermarkKeys), std::end(kWatermarkKeys),
                     [this](std::uint32_t key) { return GetContext()->WasChanged(key); });
}

void GWatermarkListWrapper::UpdateControl(int force) {
  if (!force && !Watermark()->WasChanged()) return;
  list_.Attach(GetDialogWindow(), GetControlId(0));
  list_.ResetContent();
  RWWString text;
  LoadResString(kNoneText, text);
  list_.AddStringWithData(text.Data(), 0);
  const std::vector<GAttributeComposite*> definitions = Watermark()->Definitions();
  GAttributeComposite* chosen = Watermark()->Chosen();
  std::uint32_t selected = 0;
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    RWCString name;
    GAttributeView(definitions[i], nullptr, true).GetString(kWatermarkNameKey, name);
    NarrowToWide(name, text);
    list_.AddStringWithData(text.Data(), static_cast<std::uint32_t>(i + 1));
    if (definitions[i] == chosen) selected = static_cast<std::uint32_t>(i + 1);
  }
  list_.SelectByData(selected);
}

void GWatermarkListWrapper::ReadControl() {
  const std::int32_t item = list_.GetSelectedData();
  if (item < 0) return;
  const std::vector<GAttributeComposite*> definitions = Watermark()->Definitions();
  if (item == 0 || static_cast<std::size_t>(item) > definitions.size()) {
    Watermark()->Choose(nullptr);
  } else {
    Watermark()->Choose(definitions[static_cast<std::size_t>(item) - 1]);
  }
}

GControlKind GWatermarkListWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kAny;
}

// --- The details: text and font.

void GWMFontWrapper::OnInit() {
  HWND dialog = GetDialogWindow();
  SendDlgItemMessageW(dialog, GetControlId(kTextEntry), kEmLimitText, kMostTextCharacters, 0);
  SendDlgItemMessageW(dialog, GetControlId(kSizeEntry), kEmLimitText, 3, 0);
  styles_.Attach(dialog, GetControlId(kStyleEntry));
  styles_.ResetContent();
  for (const auto& [text, bits] : kStyles)
    styles_.AddStringWithData(text, bits);
}

void GWMFontWrapper::RefreshState() {
  const int state = Watermark()->GetState();
  SetState(state);
  constexpr std::uint32_t kEntryKeys[] = {kWatermarkTextKey, kWatermarkFaceKey,
                                          kWatermarkPointSizeKey, kWatermarkStyleKey};
  for (std::size_t i = 0; i < std::size(kEntryKeys); ++i)
    EnableItem(i, state == kStateEnabled && Watermark()->Holds(kEntryKeys[i]));
}

void GWMFontWrapper::UpdateControl(int force) {
  if (!force && !Watermark()->WasChanged()) return;
  HWND dialog = GetDialogWindow();
  RWWString wide;
  NarrowToWide(Watermark()->Text(kWatermarkTextKey), wide);
  ShowEdit(dialog, GetControlId(kTextEntry), wide, shown_text_, force != 0);
  ShowEdit(dialog, GetControlId(kSizeEntry),
           Watermark()->Holds(kWatermarkPointSizeKey)
               ? Decimal(Watermark()->Number(kWatermarkPointSizeKey))
               : RWWString(),
           shown_size_, force != 0);
  // The faces the feature key names, and a face of the definition's own.
  const RWCString face = Watermark()->Text(kWatermarkFaceKey);
  faces_.Attach(dialog, GetControlId(kFaceEntry));
  faces_.ResetContent();
  std::uint32_t selected = 0xFFFF;
  for (std::uint32_t i = 0; i < std::size(kFaces); ++i) {
    NarrowToWide(RWCString(kFaces[i]), wide);
    faces_.AddStringWithData(wide.Data(), i);
    if (face == RWCString(kFaces[i])) selected = i;
  }
  if (selected == 0xFFFF && face.Length() != 0) {
    NarrowToWide(face, wide);
    selected = static_cast<std::uint32_t>(std::size(kFaces));
    faces_.AddStringWithData(wide.Data(), selected);
  }
  faces_.SelectByData(selected);
  if (selected == 0xFFFF) faces_.SetCurSel(-1);
  styles_.SetCurSel(-1);
  if (Watermark()->Holds(kWatermarkStyleKey))
    styles_.SelectByData(static_cast<std::uint32_t>(Watermark()->Number(kWatermarkStyleKey)));
}

void GWMFontWrapper::Read(std::size_t index) {
  HWND dialog = GetDialogWindow();
  switch (index) {
    case kTextEntry: {
      RWCString narrow;
      const std::u16string typed = ReadEdit(dialog, GetControlId(kTextEntry), kMostTextCharacters);
      WideToNarrow(RWWString(typed.c_str()), narrow);
      Watermark()->SetText(kWatermarkTextKey, narrow);
      break;
    }
    case kFaceEntry: {
      const std::int32_t face = faces_.GetSelectedData();
      if (face >= 0 && static_cast<std::size_t>(face) < std::size(kFaces))
        Watermark()->SetText(kWatermarkFaceKey, RWCString(kFaces[face]));
      break;
    }
    case kSizeEntry: {
      std::int32_t size = 0;
      if (ReadNumber(ReadEdit(dialog, GetControlId(kSizeEntry), kMostNumberCharacters),
                     kLeastPointSize, kMostPointSize, size)) {
        Watermark()->SetNumber(kWatermarkPointSizeKey, size);
      }
      break;
    }
    case kStyleEntry:
      if (const std::int32_t bits = styles_.GetSelectedData(); bits >= 0)
        Watermark()->SetNumber(kWatermarkStyleKey, bits);
      break;
    default:
      break;
  }
}

LRESULT GWMFontWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  const std::size_t index = ChangedEntry(*this, message, wparam);
  if (index > kStyleEntry) return 0;
  Read(index);
  // A refused or clamped text shows the stored value again.
  UpdateControl(1);
  return 1;
}

GControlKind GWMFontWrapper::ExpectedKind(std::size_t index) const {
  switch (index) {
    case kTextEntry:
    case kSizeEntry:
      return GControlKind::kEdit;
    case kFaceEntry:
    case kStyleEntry:
      return GControlKind::kDropDownList;
    default:
      return GControlKind::kAny;
  }
}

// --- The details: first page only.

void GWatermarkPagesWrapper::UpdateControl(int force) {
  auto* watermark = static_cast<GWatermarkFeature*>(GetFeature());
  if (force || watermark->WasChanged())
    Check(GetDialogWindow(), GetControlId(0), watermark->Number(kWatermarkPagesKey) == 1);
}

void GWatermarkPagesWrapper::ReadControl() {
  static_cast<GWatermarkFeature*>(GetFeature())
      ->SetNumber(kWatermarkPagesKey, IsChecked(GetDialogWindow(), GetControlId(0)) ? 1 : 0);
}

GControlKind GWatermarkPagesWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kCheckBox : GControlKind::kAny;
}

// --- The details: the angle.

void GWatermarkLayoutWrapper::RefreshState() {
  const int state = Layout()->GetState();
  SetState(state);
  const bool kind = state == kStateEnabled && Layout()->Holds(kWatermarkAngleKindKey);
  for (std::size_t i = 0; i < std::size(kAngleKinds); ++i)
    EnableItem(i, kind);
  EnableItem(kCustomAngleEdit, kind && Layout()->Holds(kWatermarkAngleKey) &&
                                   Layout()->Number(kWatermarkAngleKindKey) == kCustomAngleKind);
}

void GWatermarkLayoutWrapper::UpdateControl(int force) {
  if (!force && !Layout()->WasChanged()) return;
  HWND dialog = GetDialogWindow();
  const std::int32_t kind = Layout()->Number(kWatermarkAngleKindKey);
  for (std::size_t i = 0; i < std::size(kAngleKinds); ++i)
    Check(dialog, GetControlId(i),
          Layout()->Holds(kWatermarkAngleKindKey) && kind == kAngleKinds[i]);
  ShowEdit(dialog, GetControlId(kCustomAngleEdit),
           Layout()->Holds(kWatermarkAngleKey) ? Decimal(Layout()->Number(kWatermarkAngleKey))
                                               : RWWString(),
           shown_angle_, force != 0);
}

LRESULT GWatermarkLayoutWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  const std::size_t index = ChangedEntry(*this, message, wparam);
  if (index < std::size(kAngleKinds)) {
    Layout()->SetNumber(kWatermarkAngleKindKey, kAngleKinds[index]);
  } else if (index == kCustomAngleEdit) {
    std::int32_t angle = 0;
    if (ReadNumber(ReadEdit(GetDialogWindow(), GetControlId(index), kMostNumberCharacters),
                   kLeastAngle, kMostAngle, angle)) {
      Layout()->SetNumber(kWatermarkAngleKey, angle);
    }
  } else {
    return 0;
  }
  UpdateControl(1);
  return 1;
}

GControlKind GWatermarkLayoutWrapper::ExpectedKind(std::size_t index) const {
  if (index < std::size(kAngleKinds)) return GControlKind::kRadioButton;
  return index == kCustomAngleEdit ? GControlKind::kEdit : GControlKind::kAny;
}
