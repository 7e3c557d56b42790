#include "ui/pages/media_type_controls.h"

#include <array>
#include <cstring>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

struct MediaType {
  const char* name;
  std::uint16_t id;
};
// In the order names are compared.
constexpr std::array<MediaType, 19> kMediaTypes{{{"", 11101},
                                                 {"Plain", 11102},
                                                 {"Preprinted", 11103},
                                                 {"Letterhead", 11104},
                                                 {"Transparency", 11105},
                                                 {"Prepunched", 11106},
                                                 {"Labels", 11107},
                                                 {"Bond", 11108},
                                                 {"Recycled", 11109},
                                                 {"Color", 11110},
                                                 {"Light", 11140},
                                                 {"Intermediate", 11567},
                                                 {"Heavy", 11119},
                                                 {"Extra Heavy", 11569},
                                                 {"Card Stock", 11111},
                                                 {"Gloss", 11572},
                                                 {"Rough", 11112},
                                                 {"Gloss Film", 11575},
                                                 {"Envelope", 11120}}};
// The string ids the list walks through, in the order it shows them.
constexpr std::uint16_t kFirstListedId = 11101;
constexpr std::uint16_t kLastListedId = 11587;

constexpr std::uint32_t kEmptyMeansPlain = 922;
constexpr std::uint32_t kPaperColors = 208;
constexpr std::int32_t kTransparencyMode = 8;
constexpr std::int32_t kPaperMode = 7;
constexpr std::int32_t kLastAdjustableMode = 10;

std::uint32_t TypeAttributeOf(std::int32_t section) {
  switch (section) {
    case 0:
      return kMediaTypeKey;
    case 1:
      return kOtherPagesMediaTypeKey;
    case 3:
      return kFrontCoverMediaTypeKey;
    case 4:
      return kLastPageMediaTypeKey;
    default:
      return kBackCoverMediaTypeKey;
  }
}

bool IsOneOf(std::int32_t value, std::initializer_list<std::int32_t> set) {
  for (std::int32_t v : set)
    if (v == value) return true;
  return false;
}

}  // namespace

std::uint16_t MediaTypeNameToStringId(const RWCString& name) {
  for (const MediaType& type : kMediaTypes)
    if (name == type.name) return type.id;
  return kFirstUserTypeId;
}

RWCString MediaTypeStringIdToName(std::uint16_t id) {
  for (const MediaType& type : kMediaTypes)
    if (type.id == id) return RWCString(type.name);
  return RWCString();
}

bool IsFixedMediaType(std::uint16_t id) {
  for (const MediaType& type : kMediaTypes)
    if (type.id == id) return true;
  return false;
}

int GMediaTypeFeature::GetState() {
  if (GetAttributeValue(kMediaTypeLockKey) == 1) return kStateDisabled;
  const std::int32_t flag = GetAttributeValue(kTrayConflictFlagKey);
  const std::int32_t message = GetAttributeValue(kTrayConflictMessageKey);
  auto cover = [&](std::uint32_t option, std::initializer_list<std::int32_t> messages) {
    const std::int32_t choice = GetAttributeValue(option);
    if (choice == 0) return kStateHidden;
    if (choice != 2) return kStateDisabled;
    return IsOneOf(message, messages) ? flag : kStateEnabled;
  };
  switch (Section()) {
    case 1:
      return IsOneOf(message, {5161, 5163, 5169, 5170}) ? flag : kStateEnabled;
    case 2:
      return cover(kBackCoverKey, {5161, 5162, 5169, 5170});
    case 3:
      return cover(kFrontCoverKey, {5161, 5162, 5163, 5170});
    case 4:
      return IsOneOf(message, {5161, 5162, 5163, 5169, 5388}) ? flag : kStateEnabled;
    default:
      return kStateEnabled;
  }
}

bool GMediaTypeFeature::HasPoolRestriction() const {
  auto* table = dynamic_cast<GFormToTrayDatabase*>(
      GetContext()->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  return table && table->HasNonDefaultAssociation();
}

bool GMediaTypeFeature::IsTypeAvailable(std::uint16_t string_id) const {
  auto* table = dynamic_cast<GFormToTrayDatabase*>(
      GetContext()->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  if (!table) return false;
  const std::int32_t paper = GetAttributeValue(kFitToOtherSizeKey) != 0
                                 ? GetAttributeValue(kTargetPaperSizeKey)
                                 : GetAttributeValue(kPaperSizeKey);
  // The table keeps a link's paper in the slot it calls the tray.
  return table->HasAssociation(static_cast<std::uint16_t>(paper), string_id) != 0;
}

void GMediaTypeFeature::BeginUserTypes() {
  next_user_type_ = 0;
}

bool GMediaTypeFeature::NextUserType(RWWString& name) {
  GAttributeComposite* types = GetContext()->FindUserMediaTypes();
  if (!next_user_type_ || !types) return false;
  const auto& children = types->Children();
  while (*next_user_type_ < types->EntryCount()) {
    auto* type = dynamic_cast<const GStringAttribute*>(children[(*next_user_type_)++].Get());
    if (!type) continue;
    name = RWWString::FromMultiByte(type->GetValue());
    return true;
  }
  return false;
}

void GMediaTypeFeature::GetCurrentType(RWWString& name) {
  RWCString stored;
  GetContext()->GetSettingsView().GetString(TypeAttributeOf(Section()), stored);
  std::uint16_t id = MediaTypeNameToStringId(stored);
  if (id == kUnspecifiedTypeId && GetAttributeValue(kEmptyMeansPlain) == 1) id = kPlainTypeId;
  if (IsFixedMediaType(id)) {
    LoadResString(id, name);
  } else {
    name = RWWString::FromMultiByte(stored);
  }
}

void GMediaTypeFeature::SetCurrentType(const RWWString& display, std::uint32_t data) {
  const auto id = static_cast<std::uint16_t>(data);
  const RWCString name = IsFixedMediaType(id) ? MediaTypeStringIdToName(id) : display.ToMultiByte();
  GAttributeView settings = GetContext()->GetSettingsView();
  const std::int32_t section = Section();
  if (section == 0) {
    settings.SetString(kMediaTypeKey, name);
    if (GetAttributeValue(kDifferentFirstPageKey) == 0) {
      for (std::uint32_t key : {kOtherPagesMediaTypeKey, kLastPageMediaTypeKey,
                                kBackCoverMediaTypeKey, kFrontCoverMediaTypeKey})
        settings.SetString(key, name);
    }
  } else {
    settings.SetString(section < 0 || section > 4 ? kMediaTypeKey : TypeAttributeOf(section), name);
  }

  std::int32_t mode = 0;
  if (!settings.GetValue(kColorModeKey, mode) || mode < kPaperMode || mode > kLastAdjustableMode)
    return;
  const bool transparency = name == "Transparency";
  settings.SetValue(kColorModeKey, transparency ? kTransparencyMode : kPaperMode);
  auto* from =
      dynamic_cast<GTintvectorEnhancedAttributeVer2*>(GetContext()->GetConfigView().FindTyped(
          transparency ? kTransparencyColorAdjustmentKey : kPaperColors,
          kGTintvectorEnhancedAttributeVer2Id));
  if (!from || !settings.FindTyped(kColorAdjustmentKey, kGTintvectorEnhancedAttributeVer2Id))
    return;
  GTintvectorEnhancedAttributeVer2 table(kColorAdjustmentKey);
  table.AssignSettings(*from);
  settings.ReplaceAttribute(kColorAdjustmentKey, &table);
}

void GMediaTypeListWrapper::OnInit() {
  list_.Attach(GetDialogWindow(), GetControlId(0));
}

void GMediaTypeListWrapper::Fill() {
  GMediaTypeFeature* feature = Feature();
  list_.ResetContent();
  const bool restricted = feature->HasPoolRestriction();
  for (std::uint32_t id = kFirstListedId; id <= kLastListedId; ++id) {
    const auto type = static_cast<std::uint16_t>(id);
    if (!IsFixedMediaType(type)) continue;
    RWWString text;
    LoadResString(type, text);
    if (restricted && type != kUnspecifiedTypeId && !feature->IsTypeAvailable(type)) continue;
    list_.AddStringWithData(text.Data(), type);
  }
  feature->BeginUserTypes();
  RWWString name;
  for (int i = 0; i < kMostUserTypes && feature->NextUserType(name); ++i) {
    const auto data = static_cast<std::uint16_t>(kFirstUserTypeId + i);
    if (restricted && !feature->IsTypeAvailable(data)) continue;
    list_.AddStringWithData(name.Data(), data);
  }
}

void GMediaTypeListWrapper::UpdateControl(int force) {
  GAttributeView settings = GetFeature()->GetContext()->GetSettingsView();
  bool relevant = force != 0 || settings.WasChanged(kPageGroupSelectorKey);
  for (std::uint32_t key :
       {kMediaTypeKey, kOtherPagesMediaTypeKey, kBackCoverMediaTypeKey, kDifferentFirstPageKey,
        kFrontCoverMediaTypeKey, kLastPageMediaTypeKey, kUserMediaTypesKey})
    relevant = relevant || settings.WasChanged(key);
  if (!relevant && !(settings.WasChanged(kPaperSizeKey) && Feature()->HasPoolRestriction())) return;
  if (!list_.Control()) list_.Attach(GetDialogWindow(), GetControlId(0));
  Fill();
  RWWString current;
  Feature()->GetCurrentType(current);
  const LRESULT index = SendMessageW(list_.Control(), kCbFindStringExact, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(current.Data()));
  list_.SetCurSel(static_cast<std::int32_t>(index));
}

void GMediaTypeListWrapper::ReadControl() {
  HWND control = list_.Control();
  if (!control) return;
  const LRESULT index = SendMessageW(control, kCbGetCurSel, 0, 0);
  if (index < 0) return;
  const LRESULT length = SendMessageW(control, kCbGetLbTextLen, static_cast<WPARAM>(index), 0);
  if (length < 0) return;
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  SendMessageW(control, kCbGetLbText, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  const auto data = static_cast<std::uint32_t>(
      SendMessageW(control, kCbGetItemData, static_cast<WPARAM>(index), 0));
  Feature()->SetCurrentType(RWWString(text.data(), static_cast<RWSize>(length)), data);
}

LRESULT GMediaTypeListWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || LowWord(wparam) != GetControlId(0) ||
      HighWord(wparam) != kCbnSelChange) {
    return 0;
  }
  ReadControl();
  return 1;
}

void GCheckBoxWrapper::UpdateControl(int) {
  auto* feature = static_cast<GAttributeFeature*>(GetFeature());
  CheckDlgButton(GetDialogWindow(), GetControlId(0),
                 feature->GetValue() != 0 ? kBstChecked : kBstUnchecked);
}

void GCheckBoxWrapper::ReadControl() {
  auto* feature = static_cast<GAttributeFeature*>(GetFeature());
  feature->SetValue(IsDlgButtonChecked(GetDialogWindow(), GetControlId(0)) == kBstChecked ? 1 : 0);
}

int GTrueTypeBitmapFeature::GetState() {
  return GetUIState(kTrueTypeBitmapFlagKey);
}
