#include "ui/pages/form_to_tray_links_wrapper.h"

#include "config/paper/form_to_tray.h"
#include "persist/string_conversion.h"
#include "platform/ui/messages.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/framework/value_list.h"

using namespace platform;

namespace {

constexpr std::size_t kTrayList = 0;
constexpr std::size_t kFormList = 1;
constexpr std::size_t kTypeList = 2;
constexpr std::size_t kResetButton = 3;
constexpr std::uint16_t kAnyPaperTray = 18;
constexpr std::uint16_t kFirstFixedType = 11101;
constexpr std::uint16_t kLastFixedType = 11587;

struct Form {
  std::uint16_t paper_id;
  RWWString name;
};

int CollectForm(std::uint32_t, std::uint16_t paper_id, const RWWString& name, void* data) {
  static_cast<std::vector<Form>*>(data)->push_back({paper_id, name});
  return 1;
}

}  // namespace

std::uint16_t GFormToTrayLinkWrapper::ShownTray() {
  GValueList ids;
  if (!Links()->GetInstalledTrays(ids, nullptr)) return Links()->GetCurrentTray();
  const std::uint16_t current = Links()->GetCurrentTray();
  std::uint16_t first = current;
  bool found_first = false;
  for (const GValueList::Node* node = ids.First(); node; node = node->next) {
    const auto tray = static_cast<std::uint16_t>(node->value);
    if (tray == kAnyPaperTray || tray == kAnySource) continue;
    if (tray == current) return current;
    if (!found_first) first = tray, found_first = true;
  }
  return first;
}

void GFormToTrayLinkWrapper::FillTrays(std::uint16_t shown) {
  GValueList ids;
  std::vector<RWWString> names;
  trays_.ResetContent();
  Links()->GetInstalledTrays(ids, &names);
  std::size_t i = 0;
  for (const GValueList::Node* node = ids.First(); node; node = node->next, ++i) {
    if (node->value == kAnyPaperTray || node->value == kAnySource) continue;
    trays_.AddStringWithData(i < names.size() ? names[i].Data() : u"", node->value);
  }
  trays_.SelectByData(shown);
}

void GFormToTrayLinkWrapper::FillForms(std::uint16_t shown, std::uint16_t form) {
  std::vector<Form> forms;
  Links()->EnumForms(CollectForm, &forms);
  forms_.ResetContent();
  for (const Form& each : forms)
    if (!Links()->IsSizeRefusedForTray(each.paper_id, shown))
      forms_.AddStringWithData(each.name.Data(), each.paper_id);
  forms_.SetCurSel(-1);
  if (form != 0) forms_.SelectByData(form);
}

void GFormToTrayLinkWrapper::FillTypes(std::uint16_t type) {
  types_.ResetContent();
  user_types_.clear();
  for (std::uint32_t id = kFirstFixedType; id <= kLastFixedType; ++id) {
    const auto fixed = static_cast<std::uint16_t>(id);
    if (!IsFixedMediaType(fixed) || Links()->IsTypeRefusedForCurrentTray(fixed)) continue;
    RWWString text;
    LoadResString(fixed, text);
    types_.AddStringWithData(text.Data(),
                             fixed == kUnspecifiedTypeId ? kUnspecifiedMediaType : fixed);
  }
  Links()->BeginUserTypes();
  RWWString name;
  for (int i = 0; i < kMostUserTypes && Links()->NextUserType(name); ++i) {
    RWCString narrow;
    WideToNarrow(name, narrow);
    user_types_.push_back(narrow);
    types_.AddStringWithData(name.Data(), static_cast<std::uint16_t>(kFirstUserTypeId + i));
  }
  types_.SelectByData(type);
}

void GFormToTrayLinkWrapper::OnInit() {
  trays_.Attach(GetDialogWindow(), GetControlId(kTrayList));
  forms_.Attach(GetDialogWindow(), GetControlId(kFormList));
  types_.Attach(GetDialogWindow(), GetControlId(kTypeList));
}

void GFormToTrayLinkWrapper::UpdateControl(int force) {
  if (!force && !Links()->WasChanged()) return;
  const std::uint16_t shown = ShownTray();
  std::uint16_t form = 0;
  std::uint16_t type = 0;
  Links()->GetLink(shown, form, type);
  FillTrays(shown);
  FillForms(shown, form);
  FillTypes(type);
}

void GFormToTrayLinkWrapper::Store(std::uint16_t form, std::uint32_t type) {
  const std::uint16_t shown = ShownTray();
  RWCString name;
  if (type >= kFirstUserTypeId && type - kFirstUserTypeId < user_types_.size())
    name = user_types_[type - kFirstUserTypeId];
  else if (type != kUnspecifiedMediaType)
    name = MediaTypeStringIdToName(static_cast<std::uint16_t>(type));
  Links()->SetLinkWithName(shown, form, static_cast<std::uint16_t>(type), name.Data());
}

LRESULT GFormToTrayLinkWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWmCommand) return GPageWrapper::HandleMessage(message, wparam, lparam);
  const int control = LowWord(wparam);
  const WORD code = HighWord(wparam);
  const std::uint16_t shown = ShownTray();
  std::uint16_t form = 0;
  std::uint16_t type = 0;
  Links()->GetLink(shown, form, type);
  if (control == GetControlId(kResetButton) && code == kBnClicked) {
    Links()->ClearLinks();
  } else if (code != kCbnSelChange) {
    return 0;
  } else if (control == GetControlId(kTrayList)) {
    const std::int32_t tray = trays_.GetSelectedData();
    if (tray < 0) return 1;
    Links()->SetCurrentTray(static_cast<std::uint16_t>(tray));
  } else if (control == GetControlId(kFormList)) {
    const std::int32_t chosen = forms_.GetSelectedData();
    if (chosen < 0) return 1;
    Store(static_cast<std::uint16_t>(chosen), type);
  } else if (control == GetControlId(kTypeList)) {
    const std::int32_t chosen = types_.GetSelectedData();
    if (chosen < 0) return 1;
    // "Unspecified" on a tray without a form adds nothing.
    if (form == 0 && chosen == kUnspecifiedMediaType) return 1;
    Store(form != 0 ? form : Links()->GetDefaultPaperId(), static_cast<std::uint32_t>(chosen));
  } else {
    return 0;
  }
  UpdateControl(1);
  return 1;
}
