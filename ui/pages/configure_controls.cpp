#include "ui/pages/configure_controls.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "driver/ui_driver_data.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/messages.h"
#include "services/os_factory.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/form_to_tray_feature.h"

using namespace platform;

namespace {

constexpr int kMostListValues = 20;
constexpr std::int32_t kPlentyOfMemory = kJobStorageMemory;
constexpr std::int32_t kFallbackWorkSpace = 600;
constexpr std::size_t kMostTypedCharacters = 8;
constexpr std::uint32_t kWorkSpaceCopies[] = {kWorkSpaceCopyKey, kWorkSpaceSecondCopyKey};
constexpr std::uint32_t kPageTrays[] = {kPaperSourceKey, kOtherPagesSourceKey, kLastPageSourceKey,
                                        kFrontCoverSourceKey, kBackCoverSourceKey};
constexpr std::uint32_t kSetOptions[] = {
    kDuplexUnitKey,          kManualDuplexKey,      kCollationUnitKey, kPrinterHardDiskKey,
    kJobRetentionKey,        kIgnoreCollationKey,   kMemoryKey,        kDriverWorkSpaceKey,
    kScaleFromLargePaperKey, kBinsWithResourcesKey, kFontModuleKey,    kCoverModeKey};
constexpr std::int32_t kSkippedSetValue = -101;
constexpr std::int32_t kNoStatusSelected = 7;
constexpr std::uint32_t kNoneText = 11150;
constexpr std::uint32_t kCassetteText = 11192;
constexpr char kCassettePart[] = "Z7142";
constexpr std::uint32_t kWrongModelText = 11059;
constexpr std::uint32_t kFailedText = 11058;
constexpr std::uint32_t kInformationCaption = 11909;
constexpr std::uint32_t kWrongModelCode = 8;
constexpr std::size_t kEdit = 0;
constexpr std::size_t kSpin = 1;
constexpr std::size_t kSecondBox = 1;

// The edit's text, at most `most` characters.
std::u16string ReadEdit(HWND dialog, int id, std::size_t most) {
  std::u16string text(most + 1, u'\0');
  const UINT length = GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(most + 1));
  text.resize(std::min<std::size_t>(length, most));
  return text;
}

// Sets each of `keys` to `value` through the writable settings view.
void SetAll(GUIContext* context, std::initializer_list<std::uint32_t> keys, std::int32_t value) {
  GAttributeView settings = context->GetSettingsView();
  for (std::uint32_t key : keys)
    settings.SetValue(key, value);
}

bool IsChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == kBstChecked;
}

void Check(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? kBstChecked : kBstUnchecked);
}

}  // namespace

// --- The edits with an up-down.

void GSpinEditWrapper::LimitEdit(std::int32_t low, std::int32_t high) {
  SendDlgItemMessageW(GetDialogWindow(), GetControlId(kSpin), kUdmSetRange, 0,
                      MakeLParam(static_cast<WORD>(high), static_cast<WORD>(low)));
  SendDlgItemMessageW(GetDialogWindow(), GetControlId(kEdit), kEmLimitText, 7, 0);
}

LRESULT GSpinEditWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmNotify && lparam) {
    const auto* notify = reinterpret_cast<const UpDownNotify*>(lparam);
    if (notify->header.code != kUdnDeltaPos ||
        static_cast<int>(notify->header.id_from) != GetControlId(kSpin))
      return 0;
    // The wrapper moves the value itself: the up-down's own step is refused.
    Step(notify->delta > 0);
    return 1;
  }
  if (message == kWmVScroll) {
    if (LowWord(wparam) == GetControlId(kEdit))
      SendDlgItemMessageW(GetDialogWindow(), GetControlId(kEdit), kEmSetSel, 0, 0);
    return 0;
  }
  if (message == kWmCommand && LowWord(wparam) == GetControlId(kEdit) &&
      HighWord(wparam) == kEnKillFocus) {
    Leave();
    return 1;
  }
  return 0;
}

GControlKind GSpinEditWrapper::ExpectedKind(std::size_t index) const {
  if (index == kEdit) return GControlKind::kEdit;
  return index == kSpin ? GControlKind::kUpDown : GControlKind::kStatic;
}

// --- Memory.

GSpinLimits GSpinLimits::FromRecord(const std::int16_t* record) {
  GSpinLimits limits;
  limits.mode = record[0];
  if (limits.mode == 0) {
    limits.min = std::max<std::int32_t>(record[1], 0);
    limits.max = std::max<std::int32_t>(record[2], 0);
    if (limits.max < limits.min) std::swap(limits.min, limits.max);
    // A step below 1 would stall the field (and divide by 0).
    limits.step = std::max<std::int32_t>(record[3], 1);
  } else if (limits.mode == 1) {
    const int count = std::clamp<int>(record[1], 0, kMostListValues);
    limits.values.assign(record + 2, record + 2 + count);
    if (!limits.values.empty()) {
      limits.min = limits.values.front();
      limits.max = limits.values.back();
    }
  }
  return limits;
}

std::int32_t GMemoryFeature::ReadText(std::u16string_view text, const GSpinLimits& limits) {
  text = text.substr(0, kMostTypedCharacters);
  std::int64_t value = 0;
  if (text.empty() || text.front() != u'-') {
    for (char16_t c : text) {
      if (c < u'0' || c > u'9') break;
      value =
          std::min<std::int64_t>(value * 10 + (c - u'0'), std::numeric_limits<std::int32_t>::max());
    }
  }
  auto result = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, limits.min, limits.max));
  if (limits.IsList()) {
    // The largest allowed value not above it (the first one is the floor).
    std::int32_t taken = limits.values.front();
    for (std::int32_t allowed : limits.values)
      if (allowed <= result) taken = allowed;
    return taken;
  }
  return result - result % limits.step;
}

std::int32_t GMemoryFeature::Step(std::int32_t value, int delta, const GSpinLimits& limits) {
  if (!limits.IsList()) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{value} + delta, limits.min, limits.max));
  }
  const std::vector<std::int32_t>& list = limits.values;
  value = std::clamp(value, limits.min, limits.max);
  if (delta > 0) {
    for (std::size_t i = 0; i + 1 < list.size(); ++i)
      if (list[i] <= value && value < list[i + 1]) return list[i + 1];
    return value;
  }
  for (std::size_t i = list.size(); i-- > 1;)
    if (list[i] <= value) return list[i - 1];
  return value;
}

void GMemoryFeature::SetDependents(GMemoryChange change) {
  const std::int32_t memory = GetValue();
  const bool disk = GetAttributeValue(kPrinterHardDiskKey) == 1;
  const bool plenty = memory >= kPlentyOfMemory;
  int on = 0;
  switch (change) {
    case GMemoryChange::kLeftEdit:
      on = plenty || disk;
      break;
    case GMemoryChange::kStepUp:
      on = plenty || disk;
      break;
    case GMemoryChange::kStepDown:
      if (!plenty && disk && GetAttributeValue(kIgnoreCollationKey) != 1) {
        SetAll(GetContext(), {kIgnoreCollationKey}, 0);
        return;
      }
      on = plenty || disk;
      break;
  }
  SetAll(GetContext(), {kJobRetentionKey, kCollationUnitKey, kIgnoreCollationKey}, on);
}

GMemoryEditWrapper::GMemoryEditWrapper(GMemoryFeature* feature, const GControlEntry* table,
                                       const std::int16_t* limits)
    : GSpinEditWrapper(feature, table), limits_(GSpinLimits::FromRecord(limits)) {}

void GMemoryEditWrapper::OnInit() {
  LimitEdit(limits_.min, limits_.max);
}

void GMemoryEditWrapper::UpdateControl(int force) {
  if (!force && !Memory()->WasChanged()) return;
  const std::string text = std::to_string(Memory()->GetValue());
  SetDlgItemTextIfChanged(GetDialogWindow(), GetControlId(kEdit),
                          RWWString::FromMultiByte(RWCString(text.c_str())));
}

void GMemoryEditWrapper::ReadControl() {
  Memory()->SetValue(GMemoryFeature::ReadText(
      ReadEdit(GetDialogWindow(), GetControlId(kEdit), kMostTypedCharacters), limits_));
}

void GMemoryEditWrapper::Step(bool up) {
  const int delta = up ? limits_.step : -limits_.step;
  Memory()->SetValue(GMemoryFeature::Step(Memory()->GetValue(), delta, limits_));
  Memory()->SetDependents(up ? GMemoryChange::kStepUp : GMemoryChange::kStepDown);
  UpdateControl(1);
}

void GMemoryEditWrapper::Leave() {
  ReadControl();
  Memory()->SetDependents(GMemoryChange::kLeftEdit);
  UpdateControl(1);
}

// --- Driver work space.

bool GDwsFeature::WasChanged() {
  if (GetContext()->WasChanged(kMemoryKey)) memory_changed_ = true;
  return GAttributeFeature::WasChanged();
}

std::int32_t GDwsFeature::Derived(std::int32_t memory) {
  if (memory < 1) memory = 64;
  return ((memory * 5 - 320) * 10 / 100 + 6) * 100;
}

std::int32_t GDwsFeature::DerivedValue() const {
  return Derived(GetAttributeValue(kMemoryKey));
}

RWWString GDwsFeature::Format(std::int32_t value, std::u16string_view separator) {
  char whole[16];
  char part[16];
  std::snprintf(whole, sizeof whole, "%d", value / 100);
  std::snprintf(part, sizeof part, "%02d", value % 100);
  std::u16string text = RWWString::FromMultiByte(RWCString(whole)).Data();
  text += separator;
  text += RWWString::FromMultiByte(RWCString(part)).Data();
  return RWWString(text.data(), static_cast<RWSize>(text.size()));
}

std::int32_t GDwsFeature::Parse(std::u16string_view text, std::u16string_view separator,
                                std::int32_t fallback) {
  text = text.substr(0, kMostTypedCharacters);
  std::string narrow;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
      narrow += '.';
      i += separator.size() - 1;
    } else {
      narrow += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
  }
  const std::size_t start = narrow.find_first_not_of(" \t");
  if (start == std::string::npos) return fallback;
  double number = 0;
  const char* first = narrow.data() + start;
  if (*first == '+') ++first;
  if (std::from_chars(first, narrow.data() + narrow.size(), number).ec != std::errc())
    return fallback;
  const double scaled = number * 100 + 0.5;
  if (!(scaled > std::numeric_limits<std::int32_t>::min() &&
        scaled < std::numeric_limits<std::int32_t>::max()))
    return fallback;
  return static_cast<std::int32_t>(scaled);
}

RWWString GDwsFeature::DecimalSeparator() {
  char16_t buffer[8] = {};
  GetProfileStringW(u"intl", u"sDecimal", u".", buffer, 8);
  return RWWString(buffer);
}

GDwsEditWrapper::GDwsEditWrapper(GDwsFeature* feature, const GControlEntry* table,
                                 const std::int16_t* limits)
    : GSpinEditWrapper(feature, table),
      min_(limits[1] < 1 ? 100 : limits[1]),
      max_(limits[2] < 1 ? 230 * 100 : limits[2]),
      step_(limits[3] < 1 ? 1 : limits[3]) {}

void GDwsEditWrapper::OnInit() {
  LimitEdit(min_, max_);
}

void GDwsEditWrapper::Show() {
  SetDlgItemTextIfChanged(
      GetDialogWindow(), GetControlId(kEdit),
      GDwsFeature::Format(WorkSpace()->GetValue(), GDwsFeature::DecimalSeparator().Data()));
}

void GDwsEditWrapper::UpdateControl(int force) {
  if (force || WorkSpace()->WasChanged()) {
    Show();
  } else if (WorkSpace()->TakeMemoryNote()) {
    WorkSpace()->SetValue(WorkSpace()->DerivedValue());
    Show();
  }
}

void GDwsEditWrapper::ReadControl() {
  std::int32_t value = 0;
  if (WorkSpace()->TakeMemoryNote()) {
    value = WorkSpace()->DerivedValue();
  } else {
    value =
        GDwsFeature::Parse(ReadEdit(GetDialogWindow(), GetControlId(kEdit), kMostTypedCharacters),
                           GDwsFeature::DecimalSeparator().Data(), kFallbackWorkSpace);
  }
  if (value < min_ || value > max_) value = kFallbackWorkSpace;
  if (value != WorkSpace()->GetValue()) WorkSpace()->SetValue(value);
}

void GDwsEditWrapper::Step(bool up) {
  ReadControl();
  const std::int64_t next = std::int64_t{WorkSpace()->GetValue()} + (up ? step_ : -step_);
  WorkSpace()->SetValue(
      static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(next, min_), max_)));
  Show();
}

void GDwsEditWrapper::Leave() {
  ReadControl();
  Show();
}

// --- Paper sources.

bool GPaperSourcesFeature::WasChanged() {
  return GetContext()->WasChanged(kOptionalPaperSourcesKey);
}

RWCString GPaperSourcesFeature::GetPartNumber() const {
  RWCString part;
  GetContext()->GetSettingsView().GetString(kOptionalPaperSourcesKey, part);
  return part;
}

void GPaperSourcesFeature::SetPaperSources(GUIContext* context, const RWCString& part_number) {
  GAttributeView settings = context->GetSettingsView();
  RWCString old;
  settings.GetString(kOptionalPaperSourcesKey, old);
  settings.SetString(kOptionalPaperSourcesKey, part_number);
  if (old == part_number) return;
  settings.SetValue(kDifferentFirstPageKey, 0);
  for (std::uint32_t tray : kPageTrays)
    settings.SetValue(tray, kAnySource);
  context->CommitConfiguration();
  GFormToTrayFeature links(context);
  GValueList installed;
  links.DropLinksOfRemovedTrays(installed);
}

void GPaperSourcesFeature::BuildList(std::vector<RWWString>& texts,
                                     std::vector<RWCString>& parts) const {
  RWWString none;
  LoadResString(kNoneText, none);
  texts.push_back(none);
  parts.emplace_back();
  GAttributeComposite* devices = GetContext()->GetConfigView().FindComposite(kPaperHandlingKey);
  const std::uint32_t count = devices ? devices->EntryCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device || !device->IsOptional() || device->GetDeviceType() != kPaperSource) continue;
    RWCString part;
    device->GetName(part);
    RWWString text;
    const GDisplayString& shown = device->GetDisplayString();
    if (shown.GetStringId() != 0) LoadResString(shown.GetStringId(), text);
    if (text.Length() == 0 && shown.GetText().Length() != 0)
      text = RWWString::FromMultiByte(shown.GetText());
    if (text.Length() == 0) {
      if (part.Length() == 0)
        LoadResString(kNoneText, text);
      else if (part == RWCString(kCassettePart))
        LoadResString(kCassetteText, text);
    }
    texts.push_back(text);
    parts.push_back(part);
  }
}

GControlKind GPaperSourcesComboWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kStatic;
}

void GPaperSourcesComboWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
  list_.ResetContent();
  std::vector<RWWString> texts;
  parts_.clear();
  static_cast<GPaperSourcesFeature*>(GetFeature())->BuildList(texts, parts_);
  for (std::size_t i = 0; i < texts.size(); ++i)
    list_.AddStringWithData(texts[i].Data(), static_cast<std::uint32_t>(i));
}

void GPaperSourcesComboWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GPaperSourcesFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  const RWCString part = feature->GetPartNumber();
  for (std::size_t i = 0; i < parts_.size(); ++i)
    if (parts_[i] == part) list_.SelectByData(static_cast<std::uint32_t>(i));
}

void GPaperSourcesComboWrapper::ReadControl() {
  const std::int32_t index = list_.GetSelectedData();
  if (index < 0 || static_cast<std::size_t>(index) >= parts_.size()) return;
  GPaperSourcesFeature::SetPaperSources(GetFeature()->GetContext(), parts_[index]);
}

// --- Configuration status.

void GConfigStatusFeature::InitFromLastUpdate() {
  GOSFactory* services = GOSFactory::Instance();
  GDriverData* printer = GetContext()->GetDriverContext();
  RWWString type(u"FAILED");
  if (services && printer)
    type = services->GetPrinterDataString(printer, RWWString(kLastUpdateTypeName), type);
  std::uint32_t status = 0;
  if (type == u"Auto") status = kStatusAutoConfigured;
  if (type == u"Admin") status = kStatusAdministrator;
  if (status && auto_config_.StatusLine(status, 0))
    GetContext()->GetSettingsView().SetValue(kConfigStatusKey, static_cast<std::int32_t>(status));
}

void GConfigStatusFeature::BuildList(std::vector<RWWString>& texts,
                                     std::vector<std::int32_t>& ids) const {
  GAttributeComposite* device_sets = GetContext()->GetConfigView().FindComposite(kBundlesKey);
  for (std::uint32_t i = 0; device_sets && i < device_sets->EntryCount(); ++i) {
    std::int32_t status = 0;
    const GAttributeView set(device_sets->Children()[i].Get(), nullptr, true);
    if (!set.GetValue(kConfigStatusKey, status)) continue;
    RWWString text;
    if (LoadResString(static_cast<std::uint16_t>(status), text) == 0) continue;
    texts.push_back(text);
    ids.push_back(status);
  }
  GAttributeComposite* own_sets =
      GetContext()->GetSettingsView().FindComposite(kSettingsConfigSetsKey);
  for (std::uint32_t i = 0; own_sets && i < own_sets->EntryCount(); ++i) {
    const GAttributeView set(own_sets->Children()[i].Get(), nullptr, true);
    RWWString name;
    std::int32_t status = 0;
    set.GetWideString(kBundleNameKey, name);
    set.GetValue(kConfigStatusKey, status);
    if (name.Length() == 0) continue;
    texts.push_back(name);
    ids.push_back(status);
  }
}

void GConfigStatusFeature::SetValue(std::int32_t value) {
  GAttributeFeature::SetValue(value);
  if (value == static_cast<std::int32_t>(kStatusAutoConfigured)) {
    const std::uint32_t code = auto_config_.Run(0);
    if (code == 0) return;
    ResMessageBox(nullptr, code == kWrongModelCode ? kWrongModelText : kFailedText,
                  kInformationCaption, kMbIconHand);
  }
  const bool own = value == static_cast<std::int32_t>(kStatusAutoConfigured) ||
                   value == static_cast<std::int32_t>(kStatusAdministrator) ||
                   value == static_cast<std::int32_t>(kStatusAlways);
  GAttributeComposite* sets =
      own ? GetContext()->GetSettingsView().FindComposite(kSettingsConfigSetsKey)
          : GetContext()->GetConfigView().FindComposite(kBundlesKey);
  for (std::uint32_t i = 0; sets && i < sets->EntryCount(); ++i) {
    const GAttributeView set(sets->Children()[i].Get(), nullptr, true);
    std::int32_t status = 0;
    if (!set.GetValue(kConfigStatusKey, status) || status != value) continue;
    GAttributeView settings = GetContext()->GetSettingsView();
    for (std::uint32_t key : kSetOptions) {
      std::int32_t stored = 0;
      if (!set.GetValue(key, stored) || (own && stored == kSkippedSetValue)) continue;
      settings.SetValue(key, stored);
    }
    RWCString text;
    if (set.GetString(kOptionalPaperSourcesKey, text))
      GPaperSourcesFeature::SetPaperSources(GetContext(), text);
    if (set.GetString(kAccessoryOutputBinsKey, text))
      settings.SetString(kAccessoryOutputBinsKey, text);
    std::int32_t extra = 0;
    if (!own && set.GetValue(kModelOptionKey, extra)) settings.SetValue(kModelOptionKey, extra);
    GetContext()->CommitConfiguration();
    return;
  }
}

GControlKind GConfigStatusComboWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kDropDownList : GControlKind::kStatic;
}

void GConfigStatusComboWrapper::Fill() {
  std::vector<RWWString> texts;
  std::vector<std::int32_t> ids;
  static_cast<GConfigStatusFeature*>(GetFeature())->BuildList(texts, ids);
  list_.ResetContent();
  for (std::size_t i = 0; i < texts.size(); ++i)
    list_.AddStringWithData(texts[i].Data(), static_cast<std::uint32_t>(ids[i]));
  list_.SelectByData(
      static_cast<std::uint32_t>(static_cast<GConfigStatusFeature*>(GetFeature())->GetValue()));
}

void GConfigStatusComboWrapper::OnInit() {
  static_cast<GConfigStatusFeature*>(GetFeature())->InitFromLastUpdate();
  list_.Attach(GetDialogWindow(), GetControlId(0));
  Fill();
}

void GConfigStatusComboWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GConfigStatusFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  if (feature->GetValue() == static_cast<std::int32_t>(kStatusAlways))
    feature->AutoConfig().StatusLine(kStatusAlways, 0);
  Fill();
}

void GConfigStatusComboWrapper::ReadControl() {
  const std::int32_t data = list_.GetSelectedData();
  static_cast<GConfigStatusFeature*>(GetFeature())->SetValue(data < 0 ? kNoStatusSelected : data);
}

// --- Check boxes.

void GManualDuplexFeature::SetValue(std::int32_t value) {
  GAttributeFeature::SetValue(value);
  if (value == 0 && GetAttributeValue(kDuplexUnitKey) == 0)
    GetContext()->GetSettingsView().SetValue(kDuplexKey, 0);
  GetContext()->CommitConfiguration();
}

void GManualDuplexCheckWrapper::OnInit() {
  UpdateControl(1);
}

void GManualDuplexCheckWrapper::UpdateControl(int) {
  Check(GetDialogWindow(), GetControlId(0),
        static_cast<GAttributeFeature*>(GetFeature())->GetValue() != 0);
}

void GManualDuplexCheckWrapper::ReadControl() {
  static_cast<GAttributeFeature*>(GetFeature())
      ->SetValue(IsChecked(GetDialogWindow(), GetControlId(0)) ? 3 : 0);
}

bool GHardDiskFeature::IsJobStorageAvailable() const {
  GAttributeComposite* defaults = GetContext()->GetDefaultSettings();
  std::int32_t available = 0;
  GAttributeView(defaults, nullptr, true).GetValue(kJobRetentionAvailableKey, available);
  return available == 1;
}

void GHardDiskFeature::SetJobStorage(std::int32_t value) {
  if (IsJobStorageAvailable()) GetContext()->GetSettingsView().SetValue(kJobRetentionKey, value);
}

void GHardDiskFeature::SetValue(std::int32_t value) {
  GAttributeView settings = GetContext()->GetSettingsView();
  const std::int32_t work_space = GetAttributeValue(kDriverWorkSpaceKey);
  for (std::uint32_t key : kWorkSpaceCopies)
    settings.SetValue(key, work_space);
  if (value == 0 && GetAttributeValue(kMemoryKey) < kPlentyOfMemory) {
    SetAll(GetContext(), {kCollationUnitKey, kCollateKey}, 0);
    SetJobStorage(0);
  } else {
    SetAll(GetContext(), {kCollationUnitKey, kCollateKey, kIgnoreCollationKey}, 1);
    SetJobStorage(1);
  }
  GAttributeFeature::SetValue(value);
}

bool GHardDiskFeature::WasChanged() {
  return GAttributeFeature::WasChanged() || GetContext()->WasChanged(kJobRetentionAvailableKey) ||
         GetContext()->WasChanged(kMemoryKey);
}

GControlKind GHardDiskCheckWrapper::ExpectedKind(std::size_t index) const {
  return index <= kSecondBox ? GControlKind::kCheckBox : GControlKind::kGroupBox;
}

void GHardDiskCheckWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GHardDiskFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  HWND dialog = GetDialogWindow();
  Check(dialog, GetControlId(0), feature->GetValue() == 1);
  if (!feature->IsJobStorageAvailable()) {
    ShowItem(kSecondBox, false);
    return;
  }
  if (feature->GetAttributeValue(kMemoryKey) < kPlentyOfMemory && feature->GetValue() != 1) {
    Check(dialog, GetControlId(kSecondBox), false);
    EnableItem(kSecondBox, false);
    return;
  }
  EnableItem(kSecondBox, true);
  Check(dialog, GetControlId(kSecondBox), feature->GetAttributeValue(kJobRetentionKey) != 0);
}

LRESULT GHardDiskCheckWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked)
    return GPageWrapper::HandleMessage(message, wparam, lparam);
  auto* feature = static_cast<GHardDiskFeature*>(GetFeature());
  const int control = LowWord(wparam);
  if (control == GetControlId(0)) {
    feature->SetValue(IsChecked(GetDialogWindow(), control) ? 1 : 0);
  } else if (control == GetControlId(kSecondBox)) {
    feature->SetJobStorage(IsChecked(GetDialogWindow(), control) ? 1 : 0);
  } else {
    return 0;
  }
  return 1;
}

int GCollationFeature::GetState() {
  return GetAttributeValue(kPrinterHardDiskKey) == 0 &&
                 GetAttributeValue(kMemoryKey) < kPlentyOfMemory
             ? kStateDisabled
             : kStateEnabled;
}

void GCollationFeature::SetValue(std::int32_t value) {
  if (GetValue() != 1 && value == 1) SetAll(GetContext(), {kIgnoreCollationKey}, 1);
  GAttributeFeature::SetValue(value);
}

void GCollationCheckWrapper::OnInit() {
  if (static_cast<GAttributeFeature*>(GetFeature())->GetValue() == 0)
    SetAll(GetFeature()->GetContext(), {kCollateKey}, 0);
}

void GCollationCheckWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GAttributeFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  Check(GetDialogWindow(), GetControlId(0), feature->GetValue() == 1);
}

void GCollationCheckWrapper::ReadControl() {
  const int value = IsChecked(GetDialogWindow(), GetControlId(0)) ? 1 : 0;
  static_cast<GAttributeFeature*>(GetFeature())->SetValue(value);
  SetAll(GetFeature()->GetContext(), {kCollateKey}, value);
}

void GCollationCheckWrapper::RefreshState() {
  const int state = GetFeature()->GetState();
  if (state == kStateDisabled) {
    static_cast<GAttributeFeature*>(GetFeature())->SetValue(0);
    Check(GetDialogWindow(), GetControlId(0), false);
  }
  SetState(state);
}
