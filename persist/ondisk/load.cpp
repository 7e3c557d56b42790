#include "persist/ondisk/load.h"

#include "output/core/load.h"
#include "persist/ondisk/command_composite_on_disk.h"
#include "persist/ondisk/persistent_composite_on_disk.h"
#include "persist/ondisk/persistent_composite_on_disk_imp.h"
#include "persist/ondisk/record.h"

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

void PersistOnDiskLoad() {
  OutputCoreLoad();
  g_classes.Load();
}

void PersistOnDiskUnload() {
  g_classes.Unload();
  OutputCoreUnload();
}
