// GConfigurationImporter: moves a printer's installed options and document
// defaults between the configuration helper's feature-key store and the
// settings model. It enumerates the short feature names of a context
// ("physical", "printing", "factory/physical", "factory/printing"), makes
// one converter per name (CreateConverter over the converter table,
// converter_table.h) and applies or extracts it; it records whether
// anything changed and collects a copy of every changed attribute in its
// destination composite (kImportDestinationKey). Afterwards it stamps printer
// data ("LastUpdateType", "QCFLastUpdate") and, when the printing settings
// changed, keeps the destination as the named object "QCFQuickset".
//
// The driver derives the concrete importer, which defines Run: it settles
// the printer name (SetPrinterName, IsStale), opens a configuration run on
// the feature store, imports, writes the stamp (WriteImportStamp) and
// closes the run; its export is ExportFactoryContexts.
//
// Failures are answered, never reported: a missing library, a context that
// cannot be enumerated, a name outside the table, a missing attribute or an
// unknown option word leave the model as it was for that feature.
//
// Ownership: the importer owns its feature store (made by the constructor)
// and its destination composite, and holds the helper library's module; it
// does not own the model root or the driver data, which must outlive it.
// An importer lives for one import or one export. Threads: one thread at a
// time; the driver services it calls must be installed.
#pragma once

#include <cstdint>
#include <memory>

#include "config/import/converter_table.h"
#include "config/import/qcf_library.h"
#include "foundation/rw/wstring.h"
#include "persist/counted_ptr.h"
#include "platform/host/types.h"

class GAttributeComposite;
class GDriverData;
class GSettingConverter;

class GConfigurationImporter {
 public:
  // The context name that opens runs on the store.
  static constexpr char16_t kContextName[] = u"QCF_DRIVER";
  static constexpr char16_t kPhysicalContext[] = u"physical";
  static constexpr char16_t kPrintingContext[] = u"printing";
  static constexpr char16_t kFactoryPhysicalContext[] = u"factory/physical";
  static constexpr char16_t kFactoryPrintingContext[] = u"factory/printing";
  // Units of the feature-list buffer and of the token buffer.
  static constexpr std::uint32_t kListUnits = 1024;
  static constexpr std::uint32_t kTokenUnits = 255;

  // Printer-data values, the registry value and the named object.
  static constexpr char16_t kLastUpdateTypeValue[] = u"LastUpdateType";
  static constexpr char16_t kPhysicalUpdateType[] = u"Admin";
  static constexpr char16_t kLastUpdateValue[] = u"QCFLastUpdate";
  static constexpr char16_t kUpdateError[] = u"ERROR";
  static constexpr char16_t kQuicksetName[] = u"QCFQuickset";
  static constexpr char16_t kStaleValue[] = u"Stale";
  static constexpr char16_t kPrintersKey[] = u"System\\CurrentControlSet\\Control\\Print\\Printers";
  static constexpr char16_t kPrinterDataKey[] = u"\\PrinterDriverData";
  static constexpr char16_t kConnectionsKey[] = u"Printers\\Connections";

  // A new feature store; an empty destination composite keyed
  // kImportDestinationKey; when the store is usable, binds the helper: loads
  // the library whose path the driver data gives and hands the store its
  // QCFHELPER entry (null when it exports none) with this importer as context.
  // REQUIRES: `root` and `driver_data` outlive the importer; `root` may be
  // null (every import then changes nothing).
  GConfigurationImporter(GAttributeComposite* root, GDriverData* driver_data);
  GConfigurationImporter(const GConfigurationImporter&) = delete;
  GConfigurationImporter& operator=(const GConfigurationImporter&) = delete;
  // When the printing settings changed, saves the destination composite as
  // the quick set (through this class's SaveQuickset: a destructor reaches
  // no override); then frees the helper library and the feature store.
  virtual ~GConfigurationImporter();

  // The context "physical": 0 when the store is not usable or does not
  // enumerate the context (its answer must be exactly 1); else applies the
  // bundles converter, then one converter per enumerated name, and answers
  // 1. When any reported a change, the driver data writes its bin and tray
  // maps, and "LastUpdateType" becomes "Admin".
  virtual std::uint32_t ImportPhysical();
  // The context "printing", as ImportPhysical without the usable test and
  // the bundles; a change runs the printing post-step and keeps the
  // destination as "QCFQuickset" (unless memory ran short meanwhile). 1, or
  // 0 when the context is not enumerated.
  virtual std::uint32_t ImportPrinting();
  // Extracts one converter per name of `context` (the bundles converter
  // first for "factory/physical"); 1, or 0 when the store is not usable or
  // does not enumerate the context.
  virtual std::uint32_t Export(const char16_t* context);
  // The concrete importer's run in `mode` (0 initialisation, 2 conversion);
  // true when the settings were refreshed.
  virtual bool Run(std::uint32_t mode) = 0;
  // Whether the printer's stored configuration is stale, for the import
  // mode; settles the printer name the run is opened with.
  virtual bool IsStale();
  // Keeps `name` cut at its last comma and derives the full, short and
  // connection names from it.
  virtual void SetPrinterName(const RWWString& name);
  // Whether the driver data's job settings hold kPrinterModelKey ->
  // kDeviceUpdateStatusKey with value 2.
  virtual bool IsJobSettingKind2();
  // The export of a concrete importer: opens an export run for the
  // printer name, exports "factory/physical" and, when that answered 1,
  // "factory/printing", and closes the run. The last export's answer; 0
  // when the run does not open.
  std::uint32_t ExportFactoryContexts();
  // Stores `composite` as the named object "QCFQuickset" of the driver
  // data's printer; 0 when that fails, else 1 (also for null).
  virtual std::uint32_t SaveQuickset(GAttributeComposite* composite);

  GAttributeComposite* GetModelRoot() const { return root_; }
  GAttributeComposite* GetDestination() const;
  GDriverData* GetDriverData() const { return driver_data_; }
  GQCFLibrary* GetFeatureStore() const { return store_.get(); }

  // The converter of `short_name` (exact, case-sensitive; the first equal
  // name of the table), which the caller deletes; null for a name outside
  // the table, a name no converter serves yet, or exhausted memory.
  GSettingConverter* CreateConverter(const char16_t* short_name);
  // Aims the importer at another converter table (null: the driver's own).
  // REQUIRES: `table` outlives the importer.
  void SetConverterTable(const GConverterTable* table);
  const GConverterTable& ConverterTable() const { return *converters_; }

  // After a run: nothing for a false result; else "QCFLastUpdate" becomes
  // the local date ("MM/ DD/ YYYY", empty when the date cannot be read)
  // when anything changed, "ERROR" when nothing did.
  void WriteImportStamp(bool result);
  // Writes "QCFLastUpdate" = `text`.
  void WriteLastUpdate(const RWWString& text);

  // The name the run is opened with, and the names derived from it.
  const RWWString& PrinterName() const { return printer_name_; }
  const RWWString& FullName() const { return full_name_; }
  const RWWString& ShortName() const { return short_name_; }
  const RWWString& ConnectionName() const { return connection_name_; }
  std::uint32_t ImportMode() const { return import_mode_; }
  void SetImportMode(std::uint32_t mode) { import_mode_ = mode; }
  // The word the run hands QCFStartConfig last (0).
  std::uint32_t StartConfigWord() const { return start_config_word_; }
  bool PrintingChanged() const { return printing_changed_ != 0; }
  bool PhysicalChanged() const { return physical_changed_ != 0; }
  platform::HMODULE HelperModule() const { return helper_module_; }

 private:
  // Converts every name of `context`, after the bundles converter when
  // `bundles_first`: apply (a change sets `changed`) or extract. 0 when the
  // context is not enumerated.
  enum class Direction { kApply, kExtract };
  std::uint32_t ConvertContext(const char16_t* context, Direction direction, bool bundles_first,
                               std::uint32_t* changed);
  // After a printing import that changed something.
  void RunPrintingPostStep();
  void CopyToPrintingTarget(GAttributeComposite* target);
  // Whether the value "Stale" under `key` reads exactly "TRUE".
  bool ReadsStale(const RWWString& key, bool machine);

  GAttributeComposite* root_;
  RWWString printer_name_;
  std::uint32_t import_mode_ = 0;
  std::uint32_t start_config_word_ = 0;
  std::unique_ptr<GQCFLibrary> store_;
  RWWString connection_name_;
  RWWString short_name_;
  RWWString full_name_;
  GDriverData* driver_data_;
  std::uint32_t printing_changed_ = 0;
  std::uint32_t physical_changed_ = 0;
  GCountedPtr destination_;
  platform::HMODULE helper_module_ = nullptr;
  const GConverterTable* converters_;
};
