#include "config/load.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/value_attribute.h"
#include "persist/load.h"

namespace {

// Each source file's registration list, in the subsystem's building order.
constexpr RWSubsystemClasses::List kConfigLists[] = {
    &AttributeCompositeClasses,
    &ValueAttributeClasses,
    &EnumAttributeClasses,
};

constinit RWSubsystemClasses g_classes(kConfigLists);

}  // namespace

void ConfigLoad() {
  PersistLoad();
  g_classes.Load();
}

void ConfigUnload() {
  g_classes.Unload();
  PersistUnload();
}
