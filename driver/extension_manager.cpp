#include "driver/extension_manager.h"

#include "config/attributes/attribute_composite.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"

namespace {

// The code of a registration whose module did not load.
constexpr std::uint16_t kModuleNotLoaded = 1;

}  // namespace

GExtensionManager::GExtensionManager(GDriverDataImp* owner) : owner_(owner) {}

GExtensionManager::~GExtensionManager() {
  owner_ = nullptr;
  job_context_.reset();
}

std::uint16_t GExtensionManager::Register(const char*) {
  return kModuleNotLoaded;
}

std::uint16_t GExtensionManager::Unregister(const char*) {
  return kModuleNotLoaded;
}

int GExtensionManager::LoadSettingsRoot() {
  GAttributeComposite* defaults = owner_ ? owner_->GetDefaultSettings() : nullptr;
  if (!defaults) return 0;
  settings_root_ = FindComposite(defaults, kExtensionCompositeKey);
  return 1;
}
