// TestImporter: a concrete configuration importer for the tests, whose Run
// does what the driver's own importer does with a run: settle the printer
// name, refuse a stale printer or an unusable store ("QCFLastUpdate" =
// "ERROR"), open a configuration run, import by mode, stamp, close.
//   mode 0: the printing settings alone when the job settings are of kind
//           2, else the installed options and, when that worked, the
//           printing settings;
//   mode 2: the printing settings, unless the operating system says skip;
//   other modes: nothing (false).
// Which operating systems skip mode 2 is a knob: kind 4 itself, or the
// family 4 that kinds 9, 10, 11, 13 and 14 belong to.
// ExportFactorySettings opens an export run and exports "factory/physical"
// and, when that answered 1, "factory/printing".
//
// Ownership and threads: as GConfigurationImporter.
#pragma once

#include <cstdint>

#include "config/import/configuration_importer.h"

class TestImporter : public GConfigurationImporter {
 public:
  enum class Mode2Skip { kKind4, kFamily4 };

  TestImporter(GAttributeComposite* root, GDriverData* driver_data, const RWWString& printer_name)
      : GConfigurationImporter(root, driver_data), name_(printer_name) {}

  void SetOperatingSystem(std::uint32_t kind, Mode2Skip rule) {
    os_kind_ = kind;
    rule_ = rule;
  }

  bool Run(std::uint32_t mode) override;
  std::uint32_t ExportFactorySettings();

 private:
  bool SkipsMode2() const;

  RWWString name_;
  std::uint32_t os_kind_ = 0;
  Mode2Skip rule_ = Mode2Skip::kKind4;
};
