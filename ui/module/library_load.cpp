// What the library's shared object does when a host loads it, before any
// DllMain call: registers the persistable classes of the driver and of both
// printer-language generators (a printer's data file holds either
// language's objects), and has the document events show the job-storage
// notices through the user-interface side. A constructor of the shared
// object's own source, so no linker drops it.
//
// Nothing is removed again: the class factory is the object's own and goes
// with it. A removal from a static destructor would run after the
// factory's own statics are destroyed, since those register their
// destruction after this constructor has run.
#include "driver/load.h"
#include "lang/load.h"
#include "ui/pages/job_storage_notice.h"

namespace {

[[gnu::constructor]] void LoadLibraryClasses() {
  DriverLoad();
  GeneratorsLoad();
  InstallJobStorageNotice();
}

}  // namespace
