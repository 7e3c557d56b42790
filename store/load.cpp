#include "store/load.h"

#include "output/core/load.h"
#include "store/command_composite_on_disk.h"
#include "store/persistent_composite_on_disk.h"
#include "store/persistent_composite_on_disk_imp.h"
#include "store/record.h"

namespace {

// Each source file's registration list, in building order.
constexpr RWSubsystemClasses::List kOnDiskLists[] = {
    &PersistentCompositeOnDiskClasses,
    &PersistentCompositeOnDiskImpClasses,
    &RecordClasses,
    &CommandCompositeOnDiskClasses,
};

constinit RWSubsystemClasses g_classes(kOnDiskLists);

}  // namespace

void StoreLoad() {
  OutputCoreLoad();
  g_classes.Load();
}

void StoreUnload() {
  g_classes.Unload();
  OutputCoreUnload();
}
