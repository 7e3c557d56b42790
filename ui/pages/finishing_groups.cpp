#include "ui/pages/finishing_groups.h"

#include <algorithm>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

// Two-sided printing's values (the duplex converter's words).
constexpr std::int32_t kOneSided = 0;
constexpr std::int32_t kShortEdge = 1;
constexpr std::int32_t kLongEdge = 2;
// The edge-to-edge value and gate that say "not supported".
constexpr std::int32_t kNotSupported = -1;
// The resolution list that kResolutionListSelectorKey picks.
constexpr std::int32_t kAlternateList = 2;
// The resolution modes of the mode buttons.
constexpr std::int32_t kFirstMode = 1;
constexpr std::int32_t kSecondMode = 2;
// The rasterization choices of the radio buttons, and the first that
// rasterises the page.
constexpr std::int32_t kRasterizationChoices = 4;
constexpr std::int32_t kFirstRasterisingChoice = 2;

// The resolution group's entries.
constexpr std::size_t kModeButton = 3;
constexpr std::size_t kSecondModeButton = 4;

// The dialog's Help button, which a group may list among its controls.
constexpr std::int32_t kHelpButton = 9;

// The list items' texts.
constexpr std::uint32_t kOffText = 3101;
constexpr std::uint32_t kDpiText = 3106;

constexpr GChoiceItem kDuplexItems[] = {
    {kOneSided, kOffText}, {kLongEdge, 3102}, {kShortEdge, 3103}};
constexpr GChoiceItem kBookletItems[] = {{0, kOffText}, {1, 3104}, {2, 3105}};

constexpr std::uint32_t kDuplexKeys[] = {kDuplexKey, kDuplexRangeKey};
constexpr std::uint32_t kBookletKeys[] = {kBookletKey};
constexpr std::uint32_t kResolutionKeys[] = {kResolutionKey,
                                             kXResolutionKey,
                                             kYResolutionKey,
                                             kResolutionModeKey,
                                             kQualityKey,
                                             kResolutionListKey,
                                             kAlternateResolutionListKey};
constexpr std::uint32_t kPageOrderKeys[] = {kPageOrderKey};
constexpr std::uint32_t kEdgeToEdgeKeys[] = {kEdgeToEdgeKey, kEdgeToEdgeGateKey};
constexpr std::uint32_t kPatternScalingKeys[] = {kPatternScalingKey};
constexpr std::uint32_t kTextAsBlackKeys[] = {kTextAsBlackKey};
constexpr std::uint32_t kTrueTypeKeys[] = {kTrueTypeAsBitmapKey};
constexpr std::uint32_t kRasterizationKeys[] = {kRasterizationKey};

constexpr GGroupKeys kFinishingGroups[] = {
    {"Print on Both Sides", 3010, kDuplexKeys}, {"two-sided list", 3011, kDuplexKeys},
    {"Booklet Printing", 3024, kBookletKeys},   {"print quality", 3015, kResolutionKeys},
    {"resolution mode", 3041, kResolutionKeys}, {"page order", 3031, kPageOrderKeys},
    {"edge to edge", 3035, kEdgeToEdgeKeys},
};

constexpr GGroupKeys kDetailsGroups[] = {
    {"quality description", 9002, kResolutionKeys},
    {"pattern scaling", 9015, kPatternScalingKeys},
    {"text as black", 6044, kTextAsBlackKeys},
    {"TrueType as bitmaps", 3021, kTrueTypeKeys},
    {"rasterization (kind 788)", 9022, kRasterizationKeys},
};

// A value child of `entry` keyed `key`, or `fallback`.
std::int32_t ValueIn(GAttributeComposite* entry, std::uint32_t key, std::int32_t fallback) {
  std::int32_t value = fallback;
  GAttributeView(entry, nullptr, true).GetValue(key, value);
  return value;
}

bool HasValueIn(GAttributeComposite* entry, std::uint32_t key) {
  std::int32_t value = 0;
  return GAttributeView(entry, nullptr, true).GetValue(key, value);
}

std::u16string Digits(std::int32_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

}  // namespace

std::span<const GGroupKeys> FinishingGroupKeys() {
  return kFinishingGroups;
}

std::span<const GGroupKeys> QualityDetailsGroupKeys() {
  return kDetailsGroups;
}

std::span<const GChoiceItem> DuplexChoiceItems() {
  return kDuplexItems;
}

std::span<const GChoiceItem> BookletChoiceItems() {
  return kBookletItems;
}

// --- Features.

int GChoiceFeature::GetState() {
  int state = 0;
  if (flag_) state = second_flag_ ? GetUIState(flag_, second_flag_) : GetUIState(flag_);
  return IsPresent() ? state : std::max(state, kStateDisabled);
}

bool GChoiceFeature::IsPresent() const {
  std::int32_t value = 0;
  return GetContext() && GetContext()->GetSettingsView().GetValue(GetAttributeId(), value);
}

bool GChoiceFeature::Offers(std::int32_t) {
  return true;
}

bool GChoiceFeature::Choose(std::int32_t value) {
  if (!IsPresent() || !Offers(value)) return false;
  SetValue(value);
  return true;
}

bool GDuplexFeature::Offers(std::int32_t value) {
  if (value == kOneSided) return true;
  if (value != kShortEdge && value != kLongEdge) return false;
  auto* range = dynamic_cast<GRangeAttribute*>(
      GetContext()->GetConfigView().FindTyped(kDuplexRangeKey, kGRangeAttributeId));
  return range && value >= range->GetMinimum() && value <= range->GetMaximum();
}

std::int32_t GDuplexFeature::EdgeToTurnOn() {
  const std::int32_t current = GetValue();
  if (current != kOneSided && Offers(current)) return current;
  if (Offers(kLongEdge)) return kLongEdge;
  return Offers(kShortEdge) ? kShortEdge : kOneSided;
}

int GEdgeToEdgeFeature::GetState() {
  const int state = GChoiceFeature::GetState();
  return Offers(1) ? state : std::max(state, kStateDisabled);
}

bool GEdgeToEdgeFeature::Offers(std::int32_t value) {
  if (value != 0 && value != 1) return false;
  GAttributeView options = GetContext()->GetSettingsView().Descend(kInstalledOptionsKey);
  std::int32_t gate = kNotSupported;
  if (!options.GetValue(kEdgeToEdgeGateKey, gate) || gate == kNotSupported) return false;
  return GetValue() != kNotSupported;
}

int GResolutionFeature::GetState() {
  GAttributeView settings = GetContext()->GetSettingsView();
  GAttributeView resolution = settings.Descend(kResolutionKey);
  return resolution.Has(kXResolutionKey) && resolution.Has(kYResolutionKey) ? kStateEnabled
                                                                            : kStateDisabled;
}

std::vector<GResolutionChoice> GResolutionFeature::Choices() const {
  std::int32_t selector = 0;
  if (GAttributeComposite* defaults = GetContext()->GetDefaultSettings())
    GAttributeView(defaults, nullptr, true).GetValue(kResolutionListSelectorKey, selector);
  GAttributeComposite* list = GetContext()->GetConfigView().FindComposite(
      selector == kAlternateList ? kAlternateResolutionListKey : kResolutionListKey);
  std::vector<GResolutionChoice> choices;
  if (!list) return choices;
  const GCountedPtrVector& entries = list->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    auto* entry = dynamic_cast<GAttributeComposite*>(entries[i].Get());
    if (!entry || !HasValueIn(entry, kXResolutionKey) || !HasValueIn(entry, kYResolutionKey))
      continue;
    choices.push_back({ValueIn(entry, kXResolutionKey, 0), ValueIn(entry, kYResolutionKey, 0),
                       ValueIn(entry, kResolutionModeKey, -1), ValueIn(entry, kQualityKey, -1)});
  }
  return choices;
}

int GResolutionFeature::IndexOf(const std::vector<GResolutionChoice>& choices, std::int32_t x,
                                std::int32_t y) {
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (choices[i].x == x && choices[i].y == y) return static_cast<int>(i);
  return -1;
}

bool GResolutionFeature::Choose(int index) {
  const std::vector<GResolutionChoice> choices = Choices();
  if (index < 0 || static_cast<std::size_t>(index) >= choices.size() || GetState() != 0)
    return false;
  const GResolutionChoice& choice = choices[static_cast<std::size_t>(index)];
  GAttributeView settings = GetContext()->GetSettingsView();
  // The view writes only what the settings hold: a mode or quality the
  // model lacks is not created.
  settings.SetValue(kXResolutionKey, choice.x);
  settings.SetValue(kYResolutionKey, choice.y);
  if (choice.mode >= 0) settings.SetValue(kResolutionModeKey, choice.mode);
  if (choice.quality >= 0) settings.SetValue(kQualityKey, choice.quality);
  return true;
}

bool GResolutionFeature::ChooseMode(std::int32_t mode) {
  if ((mode != kFirstMode && mode != kSecondMode) || GetState() != 0) return false;
  return GetContext()->GetSettingsView().SetValue(kResolutionModeKey, mode);
}

// --- Wrappers.

void GFinishingWrapper::RefreshState() {
  SetState(GetFeature()->GetState());
}

GControlKind GFinishingWrapper::ExpectedKind(std::size_t index) const {
  if (index == 0) return GControlKind::kAny;
  return GetControlId(index) == kHelpButton ? GControlKind::kPushButton : GControlKind::kStatic;
}

void GChoiceCheckWrapper::UpdateControl(int) {
  CheckDlgButton(GetDialogWindow(), GetControlId(0),
                 Feature()->GetValue() != off_ ? kBstChecked : kBstUnchecked);
}

void GChoiceCheckWrapper::ReadControl() {
  const bool checked = IsDlgButtonChecked(GetDialogWindow(), GetControlId(0)) == kBstChecked;
  if (!Feature()->Choose(checked ? OnValue() : off_)) UpdateControl(1);
}

GControlKind GChoiceCheckWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kCheckBox : GFinishingWrapper::ExpectedKind(index);
}

std::int32_t GDuplexCheckWrapper::OnValue() {
  return static_cast<GDuplexFeature*>(Feature())->EdgeToTurnOn();
}

void GChoiceListWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
}

void GChoiceListWrapper::UpdateControl(int) {
  if (!list_.Control()) list_.Attach(GetDialogWindow(), GetControlId(0));
  // Refilled every time: what the printer offers may follow other settings.
  list_.ResetContent();
  for (const GChoiceItem& item : items_) {
    if (!Feature()->Offers(item.value)) continue;
    RWWString text;
    LoadResString(item.text_id, text);
    list_.AddStringWithData(text.Data(), static_cast<std::uint32_t>(item.value));
  }
  list_.SetCurSel(-1);
  list_.SelectByData(static_cast<std::uint32_t>(Feature()->GetValue()));
}

void GChoiceListWrapper::ReadControl() {
  const std::int32_t value = list_.GetSelectedData();
  if (value < 0 || !Feature()->Choose(value)) UpdateControl(1);
}

GControlKind GChoiceListWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GFinishingWrapper::ExpectedKind(index);
}

void GResolutionWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
}

void GResolutionWrapper::UpdateControl(int force) {
  GResolutionFeature* feature = Feature();
  if (!force && !feature->WasChanged()) return;
  if (!list_.Control()) list_.Attach(GetDialogWindow(), GetControlId(0));
  const std::vector<GResolutionChoice> choices = feature->Choices();
  list_.ResetContent();
  RWWString dpi;
  LoadResString(kDpiText, dpi);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    std::u16string text = Digits(choices[i].x);
    if (choices[i].y != choices[i].x) text += u" x " + Digits(choices[i].y);
    text += u" ";
    text += dpi.Data();
    list_.AddStringWithData(text.c_str(), static_cast<std::uint32_t>(i));
  }
  list_.SetCurSel(GResolutionFeature::IndexOf(choices, feature->X(), feature->Y()));
  const std::int32_t mode = feature->Mode();
  CheckDlgButton(GetDialogWindow(), GetControlId(kModeButton),
                 mode == kFirstMode ? kBstChecked : kBstUnchecked);
  CheckDlgButton(GetDialogWindow(), GetControlId(kSecondModeButton),
                 mode == kSecondMode ? kBstChecked : kBstUnchecked);
}

LRESULT GResolutionWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || !IsChangeCommand(wparam)) return 0;
  const std::int32_t control = LowWord(wparam);
  bool done = false;
  if (control == GetControlId(0)) {
    done = Feature()->Choose(list_.GetSelectedData());
  } else if (control == GetControlId(kModeButton)) {
    done = Feature()->ChooseMode(kFirstMode);
  } else if (control == GetControlId(kSecondModeButton)) {
    done = Feature()->ChooseMode(kSecondMode);
  } else {
    return 0;
  }
  if (!done) UpdateControl(1);
  return 1;
}

GControlKind GResolutionWrapper::ExpectedKind(std::size_t index) const {
  if (index == 0) return GControlKind::kDropDownList;
  return index == kModeButton || index == kSecondModeButton ? GControlKind::kRadioButton
                                                            : GControlKind::kStatic;
}

void GRasterizationWrapper::RefreshState() {
  const int state = GetFeature()->GetState();
  SetState(state);
  if (state == kStateHidden) return;
  const bool blocked =
      GetFeature()->GetUIState(kRasterizationFlagKey, kRasterizationSecondFlagKey) != 0;
  for (std::int32_t choice = kFirstRasterisingChoice; choice < kRasterizationChoices; ++choice)
    EnableItem(static_cast<std::size_t>(choice), state == kStateEnabled && !blocked);
}

void GRasterizationWrapper::UpdateControl(int) {
  const std::int32_t value = static_cast<GChoiceFeature*>(GetFeature())->GetValue();
  for (std::int32_t choice = 0; choice < kRasterizationChoices; ++choice)
    CheckDlgButton(GetDialogWindow(), GetControlId(static_cast<std::size_t>(choice)),
                   choice == value ? kBstChecked : kBstUnchecked);
}

LRESULT GRasterizationWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || !IsChangeCommand(wparam)) return 0;
  const std::size_t index = IndexOfControl(LowWord(wparam));
  if (index >= static_cast<std::size_t>(kRasterizationChoices)) return 0;
  auto* feature = static_cast<GChoiceFeature*>(GetFeature());
  const bool blocked = index >= static_cast<std::size_t>(kFirstRasterisingChoice) &&
                       feature->GetUIState(kRasterizationFlagKey, kRasterizationSecondFlagKey) != 0;
  if (blocked || !feature->Choose(static_cast<std::int32_t>(index))) UpdateControl(1);
  return 1;
}

GControlKind GRasterizationWrapper::ExpectedKind(std::size_t index) const {
  return index < static_cast<std::size_t>(kRasterizationChoices) ? GControlKind::kRadioButton
                                                                 : GControlKind::kAny;
}
