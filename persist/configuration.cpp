#include "persist/configuration.h"

namespace {

constexpr RWClassRegistration kConfigurationClasses[] = {
    {&RWCreate<GConfiguration>, kGConfigurationId, "GConfiguration"},
};

}  // namespace

std::span<const RWClassRegistration> ConfigurationClasses() {
  return kConfigurationClasses;
}

void GConfiguration::AddChild(MPersistentObject* object) {
  if (!object) return;
  if (object->ClassId() != kGConfigurationId) {
    const GCountedPtrVector& children = Children();
    for (RWSize i = 0; i < children.Count(); ++i) {
      MPersistentObject* child = children[i].Get();
      if (child && object->IsEqualContent(child)) {
        DestroyIfUnheld(object);
        return;
      }
    }
  }
  MPersistentComposite::AddChild(object);
}
