#include "ui/pages/constraint_rule.h"

#include "ui/framework/attribute_view.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

std::int32_t GConstraintRule::Value(std::uint32_t id, std::int32_t fallback) const {
  std::int32_t value = 0;
  return GetContext()->GetSettingsView().GetValue(id, value) ? value : fallback;
}

RWCString GConstraintRule::String(std::uint32_t id) const {
  RWCString value;
  GetContext()->GetSettingsView().GetString(id, value);
  return value;
}

void GConstraintRule::SetValue(std::uint32_t id, std::int32_t value) {
  GetContext()->GetSettingsView().SetValue(id, value);
}

void GConstraintRule::SetString(std::uint32_t id, const RWCString& value) {
  GetContext()->GetSettingsView().SetString(id, value);
}

void GConstraintRule::SetUIValue(std::uint32_t id, std::int32_t value) {
  GetContext()->GetUIObjectView().SetValue(id, value);
}

bool GConstraintRule::Holds(const GValueList& changed, std::initializer_list<std::uint32_t> ids) {
  for (std::uint32_t id : ids)
    if (changed.Contains(id)) return true;
  return false;
}

int GConstraintRule::Box(std::uint32_t text_id, std::uint32_t flags) {
  return ResMessageBox(GetContext()->GetOwnerWindow(), text_id, kIncompatibleOptionsTitle, flags);
}

void GConstraintRule::RevertAll() {
  GetContext()->RevertAll();
}
