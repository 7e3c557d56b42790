#include "persist/load.h"

#include <mutex>

#include "persist/binary_data.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "persist/counted_ptr.h"
#include "persist/dynamic_library.h"
#include "persist/locale_info.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
#include "persist/pmd_version_info.h"
#include "persist/pml_descriptor.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"

namespace {

// Each source file's registration list, in the subsystem's building order.
std::span<const RWClassRegistration> (*const kPersistLists[])() = {
    &CountedPtrClasses,
    &PersistentCompositeClasses,
    // Persistent values, associations and configurations.
    &BinaryDataClasses,
    &SelectionStringClasses,
    &CapabilitiesClasses,
    &ResourceMappingClasses,
    &PersistentAssociationClasses,
    &ConfigurationClasses,
    &PersistableIntegerClasses,
    // Version, descriptor and locale records.
    &PMDVersionInfoClasses,
    &PMLDescriptorClasses,
    &LocaleInfoClasses,
    // The dynamic-library handle (the port handler is not registered).
    &DynamicLibraryClasses,
};

std::mutex g_load_mutex;
int g_loads = 0;

}  // namespace

void PersistLoad() {
  FoundationLoad();
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_loads++ > 0) return;
  for (auto list : kPersistLists) {
    if (list) RWRegisterClasses(list());
  }
}

void PersistUnload() {
  {
    std::lock_guard<std::mutex> lock(g_load_mutex);
    if (g_loads > 0 && --g_loads == 0) {
      for (auto it = std::rbegin(kPersistLists); it != std::rend(kPersistLists); ++it) {
        if (*it) RWUnregisterClasses((*it)());
      }
    }
  }
  FoundationUnload();
}
