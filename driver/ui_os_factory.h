// GUIOSFactory: the driver services that this library installs (the
// platform services of GNTOSFactory, plus what the user-interface library
// needs): it makes the per-printer contexts, finds a printer's driver data
// file, answers the printer handle that a driver data's context uses, and
// makes the mini-installer.
//
// CreateOSFactory makes the process's services at library attach; the
// library keeps them until the process ends.
//
// Threads: as GNTOSFactory.
#pragma once

#include "driver/nt_os_factory.h"

class GUIOSFactory : public GNTOSFactory {
 public:
  GUIOSFactory() = default;

  // A new GDriverContext for the key's printer handle and names; null when
  // memory is exhausted.
  GDriverData* CreateContext(const GPrinterKey& key) override;
  // The data file (DRIVER_INFO_2) of the printer that `printer`'s context
  // (or, for a render-time driver data, its printer name) serves, through the
  // context's handle (GetPrinterHandle's) or, without one, a handle opened
  // by the printer's name (and closed again); empty when it cannot be read.
  RWWString GetDriverDataFile(GDriverData* printer) override;
  // The handle of `printer`'s context (a job's driver data included: it
  // stands on the context base); null for a driver data that is none.
  platform::HANDLE GetPrinterHandle(GDriverData* printer) override;
  // A new GMiniInstaller for the printer (update_request.h), which runs
  // the update request as it is made; null when memory is exhausted.
  GMiniInstaller* NewMiniInstaller(const RWWString& printer_name, platform::HANDLE printer,
                                   std::uintptr_t unused) override;
};

// Makes a GUIOSFactory and installs it when no services are installed.
void CreateOSFactory();
