// What the library's shared object does when a host loads it, before any
// DllMain call: registers every persistable class of the driver's model,
// in building order (the driver and the layers below it, the page and job
// filters with the record store and the font handling, then both
// printer-language generators), so that any stored object graph can be
// restored through it; and has the document events show the job-storage
// notices through the user-interface side. A constructor of the shared
// object's own source, so no linker drops it.
//
// Nothing is removed again: the class factory is the object's own and goes
// with it. A removal from a static destructor would run after the
// factory's own statics are destroyed, since those register their
// destruction after this constructor has run.
#include "driver/load.h"
#include "filters/load.h"
#include "lang/load.h"
#include "ui/pages/job_storage_notice.h"

namespace {

[[gnu::constructor]] void LoadLibraryClasses() {
  DriverLoad();
  FiltersLoad();
  GeneratorsLoad();
  InstallJobStorageNotice();
}

}  // namespace
