#include "ui/pages/job_storage_groups.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "fonts/tt_font_reader.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/dialog_base.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::int32_t kNo = kNoHelp;

constexpr std::uint32_t kUntitledText = 11029;
constexpr std::uint32_t kUntitledUpperText = 12111;
constexpr char16_t kUntitled[] = u"Untitled";
constexpr char16_t kUntitledUpper[] = u"UNTITLED";

// The modes of "printing/JobRetentionModeChoice", by value.
constexpr const char16_t* kModeWords[] = {u"OFF", u"QuickCopy", u"ProofNHold", u"StoreJob",
                                          u"PrivatePrint"};
// The modes that keep the job on the printer's disk.
constexpr std::int32_t kQuickCopy = 1;
constexpr std::int32_t kStoreJob = 3;

// What each entry of the job storage group is.
enum class Role : std::uint8_t { kMode, kEdit, kRadioFirst, kRadioSecond, kLabel };
struct Entry {
  std::int32_t control;
  std::int32_t help;
  Role role;
  std::uint32_t key;  // the attribute the control shows (a radio: its choice)
};
constexpr Entry kEntries[] = {
    {18003, 413, Role::kMode, kJobRetentionModeKey},
    {18008, 421, Role::kEdit, kNoticeUserKey},
    {18004, 415, Role::kEdit, kJobNameKey},
    {18007, 416, Role::kRadioFirst, kJobNameFromRendererKey},
    {18005, 417, Role::kRadioSecond, kJobNameFromRendererKey},
    {18018, 420, Role::kEdit, kJobStorageKeys[0]},
    {18011, 418, Role::kRadioFirst, kNoticeLoggedOnUserKey},
    {18012, 419, Role::kRadioSecond, kNoticeLoggedOnUserKey},
    {18013, 419, Role::kLabel, 0},
    {18019, kNo, Role::kLabel, 0},
    {18014, kNo, Role::kLabel, 0},
    {18006, 414, Role::kEdit, kJobStorageKeys[5]},
    {5410, 430, Role::kEdit, kJobStorageKeys[2]},
    {5411, 431, Role::kEdit, kJobStorageKeys[1]},
    {5415, kNo, Role::kLabel, 0},
    {5412, 432, Role::kEdit, kJobStorageKeys[3]},
    {5413, 433, Role::kEdit, kJobStorageKeys[4]},
    {5414, kNo, Role::kLabel, 0},
    {18002, kNo, Role::kLabel, 0},
    {18001, kNo, Role::kLabel, 0},
    {5416, kNo, Role::kEdit, kJobStorageKeys[6]},
    {18016, kNo, Role::kLabel, 0},
};
constexpr std::size_t kEntryCount = std::size(kEntries);

constexpr std::uint32_t kLocalKeys[] = {kLocalJobStorageKey};
constexpr std::uint32_t kSuffixKeys[] = {kJobNameSuffixKey};
constexpr std::uint32_t kModeKeys[] = {kJobRetentionModeKey, kPrinterHardDiskKey};
constexpr std::uint32_t kJobNameKeys[] = {kJobNameFromRendererKey, kJobNameKey, kJobNameCheckKey};
constexpr std::uint32_t kUserKeys[] = {kNoticeLoggedOnUserKey, kNoticeUserKey, kJobNameCheckKey};
// The job's storage attributes (kJobStorageKeys: 975, 1000, 999, 1007,
// 1008, 1022, 1131), one group each.
constexpr std::span<const std::uint32_t> Stored(std::size_t i) {
  return std::span<const std::uint32_t>(kJobStorageKeys).subspan(i, 1);
}
constexpr GGroupKeys kJobStorageGroupKeys[] = {
    {"local job storage", 5417, kLocalKeys},
    {"job name suffix", 18023, kSuffixKeys},
    {"job storage mode", 18003, kModeKeys},
    {"job name", 18004, kJobNameKeys},
    {"user name", 18008, kUserKeys},
    {"storage attribute 975", 18018, Stored(0)},
    {"storage attribute 1000", 5411, Stored(1)},
    {"storage attribute 999", 5410, Stored(2)},
    {"storage attribute 1007", 5412, Stored(3)},
    {"storage attribute 1008", 5413, Stored(4)},
    {"storage attribute 1022", 18006, Stored(5)},
    {"storage attribute 1131", 5416, Stored(6)},
};

std::vector<GControlEntry> Table(std::initializer_list<GControlEntry> pairs) {
  std::vector<GControlEntry> table(pairs);
  table.push_back({0, 0});
  return table;
}

RWWString Resource(std::uint32_t id, const char16_t* fallback) {
  RWWString text;
  return LoadResString(id, text) > 0 ? text : RWWString(fallback);
}

RWWString Cut(const RWWString& text, std::size_t most) {
  return text.Length() <= most ? text : RWWString(text.Data(), most);
}

// a-z upper-cased, ended before a character below 32, above 126 or a
// double quote, cut to 16 characters.
RWWString Sanitized(const RWWString& name) {
  RWWString out;
  for (std::size_t i = 0; i < name.Length() && out.Length() < kJobStorageTextCharacters; ++i) {
    char16_t c = name[i];
    if (c < 32 || c > 126 || c == u'"') break;
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    out += c;
  }
  return out;
}

// A storage attribute's text: ended before a control character or a
// double quote, cut to 16 characters.
RWWString Cleaned(const RWWString& text) {
  RWWString out;
  for (std::size_t i = 0; i < text.Length() && out.Length() < kJobStorageTextCharacters; ++i) {
    if (text[i] < 32 || text[i] == u'"') break;
    out += text[i];
  }
  return out;
}

bool IsName(std::uint32_t key) {
  return key == kJobNameKey || key == kNoticeUserKey;
}

// The edit's whole text.
RWWString EditText(HWND dialog, int id) {
  std::u16string text(256, u'\0');
  const UINT length = GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size()));
  text.resize(std::min<std::size_t>(length, text.size() - 1));
  return RWWString(text.c_str());
}

// The number `text` is, clamped to the 16-bit range; false when it is none.
bool ParseNumber(const RWWString& text, std::int32_t& value) {
  std::string narrow;
  for (std::size_t i = 0; i < text.Length(); ++i) {
    const char16_t c = text[i];
    if (c == u' ' && narrow.empty()) continue;
    if (c > 127) return false;
    narrow += static_cast<char>(c);
  }
  while (!narrow.empty() && narrow.back() == ' ')
    narrow.pop_back();
  if (narrow.empty()) return false;
  const bool negative = narrow.front() == '-';
  const char* first = narrow.data() + (negative || narrow.front() == '+' ? 1 : 0);
  const char* last = narrow.data() + narrow.size();
  if (first == last) return false;
  for (const char* c = first; c != last; ++c)
    if (*c < '0' || *c > '9') return false;
  // A long run of digits is past either end of the range.
  std::int64_t number = 0;
  for (const char* c = first; c != last && number <= 0x10000; ++c)
    number = number * 10 + (*c - '0');
  if (negative) number = -number;
  value = static_cast<std::int32_t>(std::clamp<std::int64_t>(
      number, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
  return true;
}

}  // namespace

std::span<const GGroupKeys> JobStorageGroupKeys() {
  return kJobStorageGroupKeys;
}

void AddJobStorageOwnGroups(GDialogBase* page, GUIContext* context, bool before_shared) {
  if (before_shared) {
    page->AddWrapper(new GJobStorageCheckWrapper(
        new GJobStorageValueFeature(context, &kLocalJobStorageKey, false),
        Table({{5417, 434}}).data()));
    page->AddWrapper(
        new GJobStorageCheckWrapper(new GJobStorageValueFeature(context, &kJobNameSuffixKey, true),
                                    Table({{18023, 436}, {18022, 436}}).data()));
    return;
  }
  std::vector<GControlEntry> table;
  for (const Entry& entry : kEntries)
    table.push_back({entry.control, entry.help});
  table.push_back({0, 0});
  page->AddWrapper(new GJobStorageWrapper(new GJobStorageFeature(context), table.data()));
}

RWWString FilterJobStorageName(const RWWString& typed, bool check_map, const RWCString& cmap) {
  if (check_map) {
    RWWString checked;
    bool any_kept = false;
    for (std::size_t i = 0; i < typed.Length() && checked.Length() < kJobStorageTextCharacters;
         ++i) {
      const bool has = CmapFormat4HasChar(reinterpret_cast<const std::uint8_t*>(cmap.Data()),
                                          cmap.Length(), typed[i]);
      checked += has ? typed[i] : u'~';
      any_kept = any_kept || has;
    }
    if (checked.IsNull()) return Cut(Resource(kUntitledText, kUntitled), kJobStorageTextCharacters);
    if (!any_kept)
      return Cut(Resource(kUntitledUpperText, kUntitledUpper), kJobStorageTextCharacters);
    return checked;
  }
  RWWString sanitized = Sanitized(typed);
  if (!sanitized.IsNull()) return sanitized;
  const RWWString untitled = Resource(kUntitledText, kUntitled);
  sanitized = Sanitized(untitled);
  if (sanitized.IsNull() ||
      sanitized.Length() != std::min<std::size_t>(untitled.Length(), kJobStorageTextCharacters))
    sanitized = Cut(Resource(kUntitledUpperText, kUntitledUpper), kJobStorageTextCharacters);
  return sanitized;
}

// --- The check boxes.

int GJobStorageValueFeature::GetState() {
  if (!GetContext()->GetSettingsView().Has(GetAttributeId())) return kStateDisabled;
  return needs_storage_ && GetAttributeValue(kJobRetentionModeKey) == 0 ? kStateDisabled
                                                                        : kStateEnabled;
}

bool GJobStorageValueFeature::WasChanged() {
  return GAttributeFeature::WasChanged() || GetContext()->WasChanged(kJobRetentionModeKey);
}

void GJobStorageCheckWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GJobStorageValueFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  CheckDlgButton(GetDialogWindow(), GetControlId(0),
                 feature->GetValue() != 0 ? kBstChecked : kBstUnchecked);
}

void GJobStorageCheckWrapper::ReadControl() {
  auto* feature = static_cast<GJobStorageValueFeature*>(GetFeature());
  if (feature->GetState() != kStateEnabled) return;
  feature->SetValue(IsDlgButtonChecked(GetDialogWindow(), GetControlId(0)) == kBstChecked ? 1 : 0);
}

GControlKind GJobStorageCheckWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kCheckBox : GControlKind::kStatic;
}

// --- The job storage group.

int GJobStorageFeature::GetState() {
  return Has(kJobRetentionModeKey) ? kStateEnabled : kStateDisabled;
}

bool GJobStorageFeature::WasChanged() {
  GUIContext* context = GetContext();
  if (context->WasChanged(kPrinterHardDiskKey) || context->WasChanged(kJobNameCheckKey))
    return true;
  for (const Entry& entry : kEntries)
    if (entry.key != 0 && context->WasChanged(entry.key)) return true;
  return false;
}

bool GJobStorageFeature::IsModeOffered(std::int32_t mode) {
  if (mode < 0 || mode >= std::int32_t(std::size(kModeWords))) return false;
  return (mode != kQuickCopy && mode != kStoreJob) || HasHardDisk();
}

bool GJobStorageFeature::Has(std::uint32_t key) {
  return GetContext()->GetSettingsView().Has(key);
}

bool GJobStorageFeature::IsText(std::uint32_t key) {
  RWCString text;
  return GetContext()->GetSettingsView().GetString(key, text);
}

void GJobStorageFeature::SetMode(std::int32_t mode) {
  if (IsModeOffered(mode)) GetContext()->GetSettingsView().SetValue(kJobRetentionModeKey, mode);
}

void GJobStorageFeature::SetValue(std::uint32_t key, std::int32_t value) {
  GetContext()->GetSettingsView().SetValue(key, value);
}

RWWString GJobStorageFeature::GetText(std::uint32_t key) {
  RWWString text;
  GetContext()->GetSettingsView().GetWideString(key, text);
  return text;
}

void GJobStorageFeature::SetText(std::uint32_t key, const RWWString& typed) {
  GAttributeView settings = GetContext()->GetSettingsView();
  RWWString text;
  if (IsName(key)) {
    RWCString cmap;
    GetContext()->GetConfigView().GetString(kJobNameCharMapKey, cmap);
    text = FilterJobStorageName(typed, settings.Has(kJobNameCheckKey), cmap);
  } else {
    text = Cleaned(typed);
  }
  settings.SetString(key, text.ToMultiByte());
}

void GJobStorageWrapper::OnInit() {
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(0));
  list.ResetContent();
  for (std::int32_t mode = 0; mode < std::int32_t(std::size(kModeWords)); ++mode)
    if (Feature()->IsModeOffered(mode)) list.AddStringWithData(kModeWords[mode], mode);
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    if (kEntries[i].role == Role::kEdit) {
      SendMessageW(GetControl(i), kEmLimitText, kJobStorageTextCharacters, 0);
    }
  }
}

void GJobStorageWrapper::RefreshState() {
  const int state = GetFeature()->GetState();
  SetState(state);
  if (state != kStateEnabled) return;
  GJobStorageFeature* feature = Feature();
  const bool on = feature->IsOn();
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    const Entry& entry = kEntries[i];
    bool enable = entry.role == Role::kLabel || entry.key == kJobRetentionModeKey ||
                  (on && feature->Has(entry.key));
    if (enable && entry.key == kJobNameKey)
      enable = feature->GetAttributeValue(kJobNameFromRendererKey) == 1;
    if (enable && entry.key == kNoticeUserKey)
      enable = feature->GetAttributeValue(kNoticeLoggedOnUserKey) == 1;
    EnableItem(i, enable);
  }
}

void GJobStorageWrapper::UpdateControl(int force) {
  GJobStorageFeature* feature = Feature();
  if (!force && !feature->WasChanged()) return;
  HWND dialog = GetDialogWindow();
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    const Entry& entry = kEntries[i];
    switch (entry.role) {
      case Role::kMode: {
        GComboBoxHelper list;
        list.Attach(dialog, entry.control);
        list.SelectByData(static_cast<std::uint32_t>(feature->GetAttributeValue(entry.key)));
        break;
      }
      case Role::kEdit:
        ShowEdit(i);
        break;
      case Role::kRadioFirst:
      case Role::kRadioSecond: {
        const bool second = feature->GetAttributeValue(entry.key) == 1;
        CheckDlgButton(dialog, entry.control,
                       second == (entry.role == Role::kRadioSecond) ? kBstChecked : kBstUnchecked);
        break;
      }
      case Role::kLabel:
        break;
    }
  }
}

void GJobStorageWrapper::ShowEdit(std::size_t index) {
  const std::uint32_t key = kEntries[index].key;
  RWWString text;
  if (Feature()->IsText(key)) {
    text = Feature()->GetText(key);
  } else if (Feature()->Has(key)) {
    text = RWWString::FromMultiByte(std::to_string(Feature()->GetAttributeValue(key)).c_str());
  }
  SetDlgItemTextW(GetDialogWindow(), kEntries[index].control, text.Data());
}

void GJobStorageWrapper::ReadEdit(std::size_t index) {
  const std::uint32_t key = kEntries[index].key;
  const RWWString typed = EditText(GetDialogWindow(), kEntries[index].control);
  GJobStorageFeature* feature = Feature();
  if (feature->IsText(key)) {
    feature->SetText(key, typed);
  } else {
    std::int32_t value = 0;
    if (ParseNumber(typed, value)) feature->SetValue(key, value);
  }
  // What was stored, filtered or clamped, or the old value of a refused text.
  ShowEdit(index);
}

LRESULT GJobStorageWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || !IsChangeCommand(wparam)) return 0;
  const std::size_t index = IndexOfControl(LowWord(wparam));
  if (index >= kEntryCount) return 0;
  const Entry& entry = kEntries[index];
  GJobStorageFeature* feature = Feature();
  switch (entry.role) {
    case Role::kMode: {
      GComboBoxHelper list;
      list.Attach(GetDialogWindow(), entry.control);
      feature->SetMode(list.GetSelectedData());
      break;
    }
    case Role::kEdit:
      ReadEdit(index);
      break;
    case Role::kRadioFirst:
    case Role::kRadioSecond:
      feature->SetValue(entry.key, entry.role == Role::kRadioSecond ? 1 : 0);
      break;
    case Role::kLabel:
      return 0;
  }
  return 1;
}

GControlKind GJobStorageWrapper::ExpectedKind(std::size_t index) const {
  if (index >= kEntryCount) return GControlKind::kAny;
  switch (kEntries[index].role) {
    case Role::kMode:
      return GControlKind::kDropDownList;
    case Role::kEdit:
      return GControlKind::kEdit;
    case Role::kRadioFirst:
    case Role::kRadioSecond:
      return GControlKind::kRadioButton;
    case Role::kLabel:
      return GControlKind::kStatic;
  }
  return GControlKind::kAny;
}
