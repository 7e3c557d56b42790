#include "ui/framework/feature.h"

#include <algorithm>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "ui/framework/ui_context.h"

namespace {

constexpr int kHidden = 2;

}  // namespace

GFeature::~GFeature() = default;

int GFeature::GetState() {
  return 0;
}

std::uint32_t GFeature::GetAccessFlags() {
  return owner_ ? owner_->GetAccessFlags() : 0;
}

int GFeature::IsSupported() {
  return 1;
}

std::int32_t GFeature::GetAttributeValue(std::uint32_t id) const {
  std::int32_t value = 0;
  if (owner_) owner_->GetSettingsView().GetValue(id, value);
  return value;
}

int GFeature::GetUIState(std::uint32_t id) const {
  return std::clamp(GetAttributeValue(id), 0, kHidden);
}

int GFeature::GetUIState(std::uint32_t first, std::uint32_t second) const {
  return std::max(GetUIState(first), GetUIState(second));
}

int GAttributeFeature::GetState() {
  return 0;
}

void GAttributeFeature::SetValue(std::int32_t value) {
  if (GUIContext* context = GetContext()) context->GetSettingsView().SetValue(id_, value);
}

bool GAttributeFeature::WasChanged() {
  GUIContext* context = GetContext();
  return context && context->WasChanged(id_);
}

std::int32_t GAttributeFeature::GetValue() {
  return GetAttributeValue(id_);
}

GListFeature::~GListFeature() = default;

void GListFeature::Initialize() {}

int GListFeature::Reserved() {
  return 0;
}

void GListFeature::RaiseUIValue(std::uint32_t id, std::int32_t value) {
  if (!owner_) return;
  GAttributeView objects = owner_->GetUIObjectView();
  std::int32_t current = 0;
  const bool present = objects.GetValue(id, current);
  if (!present || current < static_cast<std::int16_t>(value)) objects.SetValue(id, value);
}

void GListFeature::ResetUIValue(std::uint32_t id) {
  if (owner_) owner_->GetUIObjectView().SetValue(id, 0);
}

bool GListFeature::IsLocked(const std::uint32_t* id) {
  GAttributeComposite* locks =
      owner_ && id ? owner_->GetSettingsView().FindComposite(kLockListKey) : nullptr;
  const std::uint32_t count = locks ? locks->EntryCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto* value = dynamic_cast<const GValueAttribute*>(locks->Children()[i].Get());
    if (value && value->GetValue() == *id) return true;
  }
  return false;
}
