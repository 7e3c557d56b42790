#include "ui/pages/paper_groups.h"

#include <algorithm>
#include <array>
#include <vector>

#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/spooler_forms.h"
#include "driver/ui_driver_data.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/framework/value_list.h"
#include "ui/pages/form_to_tray_feature.h"

using namespace platform;

namespace {

// The texts of the lists' own items.
constexpr std::uint32_t kCustomPaperText = 2060;
constexpr std::uint32_t kMillimetresText = 2061;
constexpr std::uint32_t kInchesText = 2062;
constexpr std::uint32_t kAnySourceText = 2063;

// The tray attribute of each page group, by the selector's value.
constexpr std::uint32_t kSectionTrays[] = {kPaperSourceKey, kOtherPagesSourceKey,
                                           kBackCoverSourceKey, kFrontCoverSourceKey,
                                           kLastPageSourceKey};
constexpr std::int32_t kFirstPageSection = 0;

// One dot of a limit medium in tenths of a millimetre is 254 / dpi.
constexpr std::int32_t kTenthsMillimetrePerInch = 254;

constexpr std::array<std::uint32_t, 2> kDifferentFirstPageKeys = {kDifferentFirstPageKey,
                                                                  kPageGroupSelectorKey};
constexpr std::array<std::uint32_t, 1> kSectionKeys = {kPageGroupSelectorKey};
constexpr std::array<std::uint32_t, 3> kPaperSizeKeys = {kPaperSizeKey, kCustomWidthKey,
                                                         kCustomHeightKey};
constexpr std::array<std::uint32_t, 2> kCustomWidthKeys = {kCustomWidthKey, kPaperSizeKey};
constexpr std::array<std::uint32_t, 2> kCustomHeightKeys = {kCustomHeightKey, kPaperSizeKey};
constexpr std::array<std::uint32_t, 6> kPaperTypeKeys = {
    kMediaTypeKey,           kOtherPagesMediaTypeKey, kBackCoverMediaTypeKey,
    kFrontCoverMediaTypeKey, kLastPageMediaTypeKey,   kPageGroupSelectorKey};
constexpr std::array<std::uint32_t, 6> kPaperSourceKeys = {
    kPaperSourceKey,      kOtherPagesSourceKey, kBackCoverSourceKey,
    kFrontCoverSourceKey, kLastPageSourceKey,   kPageGroupSelectorKey};
constexpr GGroupKeys kPaperGroupKeys[] = {
    {"Different first page", 11586, kDifferentFirstPageKeys},
    {"First page", 11553, kSectionKeys},
    {"Other pages", 11554, kSectionKeys},
    {"Paper size", 2015, kPaperSizeKeys},
    {"Custom width", 11411, kCustomWidthKeys},
    {"Custom height", 11421, kCustomHeightKeys},
    {"Custom size units", 2052, {}},
    {"Paper type", 11582, kPaperTypeKeys},
    {"Paper source", 11584, kPaperSourceKeys},
};

std::int32_t Selector(const GFeature& feature) {
  return feature.GetAttributeValue(kPageGroupSelectorKey);
}

bool IsClick(UINT message, WPARAM wparam, std::int32_t control_id) {
  return message == kWmCommand && HighWord(wparam) == kBnClicked && LowWord(wparam) == control_id;
}

bool IsSelectionChange(UINT message, WPARAM wparam, std::int32_t control_id) {
  return message == kWmCommand && HighWord(wparam) == kCbnSelChange &&
         LowWord(wparam) == control_id;
}

RWWString Text(std::uint32_t id) {
  RWWString text;
  LoadResString(id, text);
  return text;
}

int CollectForm(std::uint32_t, std::uint16_t paper_id, const RWWString& name, void* data) {
  static_cast<std::vector<GOfferedPaper>*>(data)->push_back({paper_id, name});
  return 1;
}

}  // namespace

std::span<const GGroupKeys> PaperGroupKeys() {
  return kPaperGroupKeys;
}

std::int32_t TenthsMillimetreToHundredthsInch(std::int32_t tenths) {
  return (tenths * 100 + kTenthsMillimetrePerInch / 2) / kTenthsMillimetrePerInch;
}

std::int32_t HundredthsInchToTenthsMillimetre(std::int32_t hundredths) {
  return (hundredths * kTenthsMillimetrePerInch + 50) / 100;
}

// --- The different first page and the page groups.

int GDifferentFirstPageFeature::GetState() {
  return GetContext()->GetSettingsView().Has(kDifferentFirstPageKey) ? kStateEnabled
                                                                     : kStateDisabled;
}

void GDifferentFirstPageFeature::Choose(bool different) {
  SetValue(different ? 1 : 0);
  if (!different) GetContext()->GetUIObjectView().SetValue(kPageGroupSelectorKey, 0);
}

GControlKind GDifferentFirstPageWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kCheckBox : GControlKind::kStatic;
}

void GDifferentFirstPageWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GDifferentFirstPageFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  CheckDlgButton(GetDialogWindow(), GetControlId(0),
                 feature->GetValue() != 0 ? kBstChecked : kBstUnchecked);
}

LRESULT GDifferentFirstPageWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (!IsClick(message, wparam, GetControlId(0))) return 0;
  auto* feature = static_cast<GDifferentFirstPageFeature*>(GetFeature());
  if (feature->GetState() != kStateEnabled) return 0;
  feature->Choose(IsDlgButtonChecked(GetDialogWindow(), GetControlId(0)) == kBstChecked);
  return 1;
}

int GPageSectionFeature::GetState() {
  return GetAttributeValue(kDifferentFirstPageKey) != 0 ? kStateEnabled : kStateDisabled;
}

bool GPageSectionFeature::IsSelected() const {
  return Selector(*this) == section_;
}

void GPageSectionFeature::Select() {
  GetContext()->GetUIObjectView().SetValue(kPageGroupSelectorKey, section_);
}

bool GPageSectionFeature::WasChanged() const {
  return GetContext()->WasChanged(kPageGroupSelectorKey) ||
         GetContext()->WasChanged(kDifferentFirstPageKey);
}

GControlKind GPageSectionWrapper::ExpectedKind(std::size_t) const {
  return GControlKind::kRadioButton;
}

void GPageSectionWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GPageSectionFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  CheckDlgButton(GetDialogWindow(), GetControlId(0),
                 feature->IsSelected() ? kBstChecked : kBstUnchecked);
}

LRESULT GPageSectionWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (!IsClick(message, wparam, GetControlId(0))) return 0;
  auto* feature = static_cast<GPageSectionFeature*>(GetFeature());
  if (feature->GetState() != kStateEnabled) return 0;
  feature->Select();
  return 1;
}

// --- The paper source.

std::uint32_t GPaperSourceFeature::TrayKey() const {
  const std::int32_t section = Selector(*this);
  return section >= 0 && section < std::int32_t(std::size(kSectionTrays))
             ? kSectionTrays[section]
             : kSectionTrays[kFirstPageSection];
}

int GPaperSourceFeature::GetState() {
  return GetContext()->GetSettingsView().Has(TrayKey()) ? kStateEnabled : kStateDisabled;
}

std::int32_t GPaperSourceFeature::GetTray() const {
  return GetAttributeValue(TrayKey());
}

void GPaperSourceFeature::SetTray(std::uint16_t tray) {
  GetContext()->GetSettingsView().SetValue(TrayKey(), tray);
}

bool GPaperSourceFeature::WasChanged() const {
  GUIContext* context = GetContext();
  return context->WasChanged(TrayKey()) || context->WasChanged(kPageGroupSelectorKey) ||
         context->WasChanged(kOptionalPaperSourcesKey);
}

GControlKind GPaperSourceWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kStatic;
}

void GPaperSourceWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
}

void GPaperSourceWrapper::UpdateControl(int force) {
  if (!force && !Source()->WasChanged()) return;
  GFormToTrayFeature trays(Source()->GetContext());
  GValueList ids;
  std::vector<RWWString> names;
  trays.GetInstalledTrays(ids, &names);
  list_.ResetContent();
  std::size_t i = 0;
  for (const GValueList::Node* node = ids.First(); node; node = node->next, ++i) {
    if (node->value == kAnySource) continue;
    list_.AddStringWithData(i < names.size() ? names[i].Data() : u"", node->value);
  }
  list_.AddStringWithData(Text(kAnySourceText).Data(), kAnySource);
  list_.SetCurSel(-1);
  list_.SelectByData(static_cast<std::uint32_t>(Source()->GetTray()));
}

LRESULT GPaperSourceWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (!IsSelectionChange(message, wparam, GetControlId(0))) return 0;
  const std::int32_t tray = list_.GetSelectedData();
  if (tray < 0 || Source()->GetState() != kStateEnabled) return 0;
  Source()->SetTray(static_cast<std::uint16_t>(tray));
  return 1;
}

// --- The paper size.

int GPaperSizeFeature::GetState() {
  return GetContext()->GetSettingsView().Has(kPaperSizeKey) ? kStateEnabled : kStateDisabled;
}

std::vector<GOfferedPaper> GPaperSizeFeature::OfferedPapers() {
  // The forms the printer offers for these settings (those of the trays'
  // links while the form-to-tray table links any), then the custom size.
  GUIContext* context = GetContext();
  std::vector<GOfferedPaper> papers;
  if (GUIDriverData* driver = context->GetDriverContext())
    driver->EnumFormsForPrinter(CollectForm, &papers, 1, context->GetSettings());
  const bool custom_listed =
      std::any_of(papers.begin(), papers.end(),
                  [](const GOfferedPaper& paper) { return paper.paper_id == kCustomSizePaperId; });
  GAttributeView settings = context->GetSettingsView();
  if (!custom_listed && settings.Has(kCustomWidthKey) && settings.Has(kCustomHeightKey))
    papers.push_back({kCustomSizePaperId, Text(kCustomPaperText)});
  return papers;
}

bool GPaperSizeFeature::Offers(std::uint16_t paper_id) {
  const std::vector<GOfferedPaper> papers = OfferedPapers();
  return std::any_of(papers.begin(), papers.end(),
                     [&](const GOfferedPaper& paper) { return paper.paper_id == paper_id; });
}

GControlKind GPaperSizeWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kStatic;
}

void GPaperSizeWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
}

void GPaperSizeWrapper::RefreshState() {
  SetState(std::max(GetFeature()->GetState(), Size()->GetState()));
}

void GPaperSizeWrapper::UpdateControl(int force) {
  GUIContext* context = Size()->GetContext();
  if (!force && !Size()->WasChanged() && !context->WasChanged(kCustomWidthKey) &&
      !context->WasChanged(kCustomHeightKey) && !context->WasChanged(kFormToTrayKey))
    return;
  list_.ResetContent();
  for (const GOfferedPaper& paper : Size()->OfferedPapers())
    list_.AddStringWithData(paper.name.Data(), paper.paper_id);
  list_.SetCurSel(-1);
  list_.SelectByData(static_cast<std::uint16_t>(Size()->GetValue()));
}

LRESULT GPaperSizeWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (!IsSelectionChange(message, wparam, GetControlId(0))) return 0;
  const std::int32_t paper = list_.GetSelectedData();
  if (paper < 0 || Size()->GetState() != kStateEnabled) return 0;
  if (paper != Size()->GetValue()) Size()->SetValue(paper);
  return 1;
}

// --- The custom size dialog.

int GCustomSizeFeature::GetState() {
  return GetContext()->GetSettingsView().Has(key_) ? kStateEnabled : kStateDisabled;
}

bool GCustomSizeFeature::GetLimits(std::int32_t& low, std::int32_t& high) {
  const std::int32_t resolution =
      std::min(GetAttributeValue(kXResolutionKey), GetAttributeValue(kYResolutionKey));
  if (resolution <= 0) return false;
  const GAttributeView config = GetContext()->GetConfigView();
  const auto dpi = static_cast<std::uint16_t>(resolution);
  const std::unique_ptr<GMedia> least = config.FindMediaSquare(kSmallestLimitMedium, 0, dpi);
  const std::unique_ptr<GMedia> most = config.FindMediaSquare(kLargestLimitMedium, 0, dpi);
  if (!least || !most) return false;
  const bool width = key_ == kCustomWidthKey;
  const auto tenths = [&](const GMedia& medium) {
    const GSize16& size = medium.GetPaperSize();
    return static_cast<std::int32_t>(
        (std::int64_t{width ? size.width : size.height} * kTenthsMillimetrePerInch) / resolution);
  };
  low = tenths(*least);
  high = std::max(tenths(*most), low);
  return true;
}

std::int32_t GCustomSizeFeature::GetValue() const {
  return GetAttributeValue(key_);
}

void GCustomSizeFeature::SetValue(std::int32_t tenths) {
  GAttributeView settings = GetContext()->GetSettingsView();
  settings.SetValue(key_, tenths);
  settings.SetValue(kPaperSizeKey, kCustomSizePaperId);
}

bool GCustomSizeFeature::WasChanged() const {
  return GetContext()->WasChanged(key_);
}

GCustomLengthWrapper::GCustomLengthWrapper(GCustomSizeFeature* feature, const GControlEntry* table,
                                           std::shared_ptr<GCustomUnits> units)
    : GNumberEditWrapper(feature, table, 1, 10), units_(std::move(units)) {
  SetDecimals(Inches() ? 2 : 1);
  shown_serial_ = units_->serial;
}

void GCustomLengthWrapper::UpdateControl(int force) {
  if (shown_serial_ != units_->serial) {
    shown_serial_ = units_->serial;
    SetDecimals(Inches() ? 2 : 1);
    force = 1;
  }
  GNumberEditWrapper::UpdateControl(force);
}

bool GCustomLengthWrapper::Limits(std::int32_t& low, std::int32_t& high) {
  if (Size()->GetState() != kStateEnabled || !Size()->GetLimits(low, high)) return false;
  if (Inches()) {
    // Inside the limits in both units: round the ends inwards.
    low = (low * 100 + kTenthsMillimetrePerInch - 1) / kTenthsMillimetrePerInch;
    high = std::max(high * 100 / kTenthsMillimetrePerInch, low);
  }
  return true;
}

std::int32_t GCustomLengthWrapper::Shown() {
  const std::int32_t tenths = Size()->GetValue();
  return Inches() ? TenthsMillimetreToHundredthsInch(tenths) : tenths;
}

void GCustomLengthWrapper::Store(std::int32_t steps) {
  std::int32_t tenths = Inches() ? HundredthsInchToTenthsMillimetre(steps) : steps;
  std::int32_t low = 0, high = 0;
  if (!Size()->GetLimits(low, high)) return;
  tenths = std::clamp(tenths, low, high);
  if (tenths != Size()->GetValue() ||
      Size()->GetAttributeValue(kPaperSizeKey) != kCustomSizePaperId)
    Size()->SetValue(tenths);
}

bool GCustomLengthWrapper::ValueChanged() {
  return Size()->WasChanged();
}

GControlKind GCustomUnitsWrapper::ExpectedKind(std::size_t) const {
  return GControlKind::kDropDownList;
}

void GCustomUnitsWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
  list_.ResetContent();
  list_.AddStringWithData(Text(kMillimetresText).Data(), GCustomUnits::kMillimetres);
  list_.AddStringWithData(Text(kInchesText).Data(), GCustomUnits::kInches);
}

void GCustomUnitsWrapper::UpdateControl(int) {
  list_.SelectByData(static_cast<std::uint32_t>(units_->unit));
}

LRESULT GCustomUnitsWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (!IsSelectionChange(message, wparam, GetControlId(0))) return 0;
  const std::int32_t unit = list_.GetSelectedData();
  if (unit != GCustomUnits::kMillimetres && unit != GCustomUnits::kInches) return 0;
  if (unit != units_->unit) {
    units_->unit = static_cast<GCustomUnits::Unit>(unit);
    ++units_->serial;
  }
  return 1;
}
