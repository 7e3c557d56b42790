// GQCFUpdateCheck: the driver's configuration importer. It refreshes a
// printer's settings from the configuration helper's feature keys and
// records the outcome in printer data ("QCFLastUpdate"); the printer's
// initialisation event, the device-mode conversion and the sheets' export
// use it.
//
// RunUpdateCheck (printer name, mode):
//  1. keeps the mode; a helper that is not usable writes "ERROR", answers 0;
//  2. sets the printer name; a stale printer (IsStale) writes "ERROR",
//     answers 0;
//  3. opens a configuration run for the mode (0 when it does not open);
//  4. mode 0: when the printer's configuration is current
//     (IsJobSettingKind2) the answer is 1 and the printing settings are
//     imported; else the installed options and, when that worked, the
//     printing settings, whose import is the answer. Mode 2: the printing
//     settings, unless the operating system is of family 4 (answer 0).
//     Other modes: 0;
//  5. a true answer stamps "QCFLastUpdate" (the date when anything was
//     imported, else "ERROR"); the run is closed.
// ImportFactorySettings (printer name) opens an export run and exports
// "factory/physical" and, when that answered 1, "factory/printing"; the
// last export's answer (0 when the run does not open).
//
// Ownership and threads: as GConfigurationImporter.
#pragma once

#include <cstdint>

#include "config/import/configuration_importer.h"

// The import modes of RunUpdateCheck.
inline constexpr std::uint32_t kUpdateCheckInitialise = 0;
inline constexpr std::uint32_t kUpdateCheckConversion = 2;

class GQCFUpdateCheck : public GConfigurationImporter {
 public:
  using GConfigurationImporter::GConfigurationImporter;

  std::uint32_t RunUpdateCheck(const RWWString& printer_name, std::uint32_t mode);
  std::uint32_t ImportFactorySettings(const RWWString& printer_name);
  // RunUpdateCheck on the name of the last check (none yet: empty).
  bool Run(std::uint32_t mode) override;

 private:
  RWWString checked_name_;
};
