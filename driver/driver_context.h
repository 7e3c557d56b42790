// GDriverContext: the object that answers the printer-interface calls for
// one printer. The services make one for a printer key
// (GUIOSFactory::CreateContext); the driver server caches it under a cookie
// and hands out its view (AsUIDriverData); each entry point steps back to
// the context (FromDriverData) and calls the operation of its own name.
//
// Layout. The context is a GDriverContextBase (first: the device-mode
// binding, the printer-wide settings and the forms, driver_context_base.h)
// and a GUIDriverData (its view), over the one virtual GDriverDataImp part
// that every class of the driver data shares. Its own fields, in order: the
// creation handle (given at construction or by re-targeting; the printer
// events open and close it themselves), the own handle that
// OpenPrinterFullAccess opens with every right and the flag that makes
// GetPrinterHandle answer it, three owned blocks of the sheet operations,
// the host program's path, the job name of document events, the sheet
// record shown by the manual-duplex instructions, the job-hook holder, the
// page counter and the three watermark words, and the cookie of an open
// property sheet, then the watermark drawing record and the per-document
// state of the document events (driver/document/).
//
// Its own operations, in slot order: 5 GetPrinterHandle, 6 AddMediaForms,
// 7-17 the entry operations, 18 GetPrinterIdentity, 19
// GetCompanionFilePath, 20-42 the capability answers
// (context_capabilities.cpp, with the print-job query), 43-47 the handles
// and the default device mode, 48 and 49 document properties without and
// with a sheet, 50 and 51 the sheet record, 53-59 the printer events
// (context_events.cpp, with the upgrade), 60, 62 and 63 the mass-storage
// font files (context_font_files.cpp), 52 the manual-duplex instructions
// (document/manual_duplex.cpp), 61 and 64-67 the watermarks
// (document/context_watermarks.cpp). The device-mode and sheet operations
// (8-13, 48, 49) are in context_sheets.cpp; the document events (17) in
// document/document_events.cpp.
//
// Sheets (context_sheets.cpp). A document or device sheet holds the sheet
// record and the page list of the property-sheet hook
// (driver/property_sheet_hook.h) from its init to its destroy. Access
// flags (the host record's bits 0-3, driver/ui_plugin_records.h): a
// document sheet asked without permission has 1 (and 4|8 on major version
// 5 or later); an advanced one 2; otherwise 4|8 when the user may not
// write printer data on major 5 or later, and, unless the request is for
// the user's default, 2 for a print server's printer on major 4 or from
// another program than the shell ("EXPLORER.EXE" in the upper-cased path
// of the calling program), else 2 (and 4|8 on major 5 or later) when the
// user may not write printer data. A device sheet has 1 without
// permission, else 2. Printer data: "ExportPrinting" ("ExportConfig") 1 at
// a sheet's init, 0 after an apply that found it set with attribute
// kConfigRefreshKey at 1 (the shell then exports the factory contexts);
// "PhySetting" at a device sheet's init; "LastUpdated" and "LastUpdateType"
// "User" after a device apply whose kInstalledOptionsKey differs from
// "PhySetting".
// Readings: "holds a printer handle" is the own handle; the writable test
// runs for a printer that is not a print server's; a device apply writes
// the update stamps and the default device mode whether or not its save
// worked (only the export needs the save); the plug-in step of
// UpdateFromDevice succeeds when a plug-in ran and all answered 0; the
// conversion opens and closes a creation handle of its own and gives the
// context its former one back; a refused conversion mode (2 or unknown)
// leaves the caller's last error as it was, though making the device-mode
// object first reads the printer.
// Mended: a document-properties call of mode 0x100A resets the private
// part only after its own record was copied, and not at all under the
// public-part-only application flags (the caller was told 220 bytes);
// DrvConvertDevMode with a null size or name answers FALSE, last error
// 87, and touches nothing; a sheet started while another holds the
// context frees the other's record and pages first.
//
// The driver data's operations it takes over: 0 the destructor, 1 the host
// refresh, 2, 3 and 9 (GUIDriverData's), 6 UpdateFromDevice, 8 Retarget,
// 26 CreatePrinterKey, 29 RegisterExtension, 32 ContextPaperIdToFormIndex.
// UpdateFromDevice keeps two meanings of its answer: the driver data's part
// answers 0 on success (and its failure codes), the plug-in step that
// follows it, when that part succeeded and the argument is 0, answers 1 on
// success and 0 on failure.
//
// Mended: the mass-storage font files that printer data names are copied
// and deleted only inside the driver directory, and only under file names
// without "\", "/" or "..".
//
// Ownership: the driver server owns contexts; a context owns the parts of
// its driver data, its own handle, its blocks and its job-hook holder.
// Threads: a context is used by one spooler call at a time; it takes no
// lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/document/job_hooks.h"
#include "driver/document/watermark_record.h"
#include "driver/driver_context_base.h"
#include "driver/property_sheet_hook.h"
#include "driver/sheet_record.h"
#include "driver/stored_state.h"
#include "driver/ui_driver_data.h"
#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

class GDevModeSettings;
class GDriverContext;

// The job-storage notice of a document: its five texts in the order of
// its controls (printer, port, user, job name, location), the resource
// library it comes from and its help file. Shown by the user-interface
// side on the document's notice thread; when the system refuses that
// thread, the document goes on without the notice. Memory that runs out on
// the thread is reported as out_of_memory_handler.h says.
struct GJobStorageNotice {
  RWWString texts[5];
  RWWString resource_library;
  RWCString help_file;
};
// Shows the notice modally without an owner and answers its show-again
// flag (0: the user asked not to see it again). Without one installed the
// notice is not shown. Any thread.
using GJobStorageNoticeShower = int (*)(const GJobStorageNotice& notice);
GJobStorageNoticeShower SetJobStorageNoticeShower(GJobStorageNoticeShower shower);
// The page-set callback of the instructions sheet: answers `first` and
// does nothing else.
platform::LPARAM NonPropPageSheet(platform::HANDLE sheet, platform::UINT function,
                                  platform::LPARAM first, platform::LPARAM second);

// The plug-in step of GDriverContext::UpdateFromDevice: lets the
// user-interface plug-ins update `defaults` (the context's default
// settings) and answers 1 on success. The property-sheet hook installs it;
// without one the step answers 0. Any thread.
using GPluginSettingsUpdater = int (*)(GDriverContext& context, GAttributeComposite& defaults);
GPluginSettingsUpdater SetPluginSettingsUpdater(GPluginSettingsUpdater updater);

// The write test of EnsureWritablePrinterData: its value name and text.
inline constexpr char16_t kWriteTestName[] = u"RegWriteTestStr";
// The font-file index CarryJobFontFile writes.
inline constexpr std::uint32_t kJobFontFileIndex = 6;

class GDriverContext : public GDriverContextBase, public GUIDriverData {
 public:
  // Stores the names, makes an empty job-hook holder and runs the host
  // refresh.
  GDriverContext(platform::HANDLE printer, const RWWString& printer_name,
                 const RWWString& driver_name, const RWWString& port_name);
  // Closes the own handle, frees the blocks and the job-hook holder.
  ~GDriverContext() override;

  // The context behind a view that the driver server handed out, or null
  // when the view is not a context's. The view is the GUIDriverData base,
  // a fixed step from the context; the cast is a checked one all the same,
  // since a view may come from any caller.
  static GDriverContext* FromDriverData(GDriverData* view);

  // The own handle while the use-own-handle flag is 1, else the
  // creation handle (null for a key built from a name).
  platform::HANDLE GetPrinterHandle() override;
  // Adds a printer form for each medium of the media walk (at 0 degrees
  // for a portrait device mode, else 90, at its resolution) whose
  // paper-size mapping has spooler number 0, named by the mapping's string
  // in the support library (a name that does not load is skipped), and one
  // for each custom size of the job settings' kDefaultSettingsKey ->
  // kCustomSizesKey that no form (other than a built-in one) matched before. 1
  // when a form was added.
  virtual int AddMediaForms();

  // The entry operations, in the order the entry points are
  // declared; each receives the entry point's own arguments.
  virtual platform::DWORD DrvDeviceCapabilities(platform::HANDLE printer,
                                                const char16_t* device_name,
                                                platform::WORD capability, void* output,
                                                const platform::DevModeW* dev_mode);
  virtual platform::LONG DrvDocumentProperties(platform::HWND window, platform::HANDLE printer,
                                               const char16_t* device_name,
                                               platform::DevModeW* dev_mode_out,
                                               platform::DevModeW* dev_mode_in,
                                               platform::DWORD mode);
  virtual platform::LONG DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                   platform::LPARAM lparam);
  virtual platform::LONG DrvAdvancedDocumentProperties(platform::HWND window,
                                                       platform::HANDLE printer,
                                                       const char16_t* device_name,
                                                       platform::DevModeW* dev_mode_out,
                                                       platform::DevModeW* dev_mode_in);
  virtual platform::BOOL DrvConvertDevMode(const char16_t* printer_name,
                                           platform::DevModeW* dev_mode_in,
                                           platform::DevModeW* dev_mode_out, platform::LONG* size,
                                           platform::DWORD mode);
  virtual platform::LONG DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                                 platform::LPARAM lparam);
  virtual platform::BOOL PrinterProperties(platform::HWND window, platform::HANDLE printer);
  virtual platform::BOOL DevQueryPrintEx(platform::DevQueryPrintInfo* info);
  virtual platform::BOOL DrvUpgradePrinter(platform::DWORD level, platform::BYTE* info);
  virtual platform::BOOL DrvPrinterEvent(const char16_t* printer_name, int event,
                                         platform::DWORD flags, platform::LPARAM lparam);
  virtual int DrvDocumentEvent(platform::HANDLE printer, platform::HDC dc, int event,
                               platform::DWORD size_in, void* in, platform::DWORD size_out,
                               void* out);

  // The capability answers that DrvDeviceCapabilities dispatches
  // to (context_capabilities.cpp; the layouts of what they write are in
  // device_capabilities.h). Each runs after the bind. Lists with a null
  // `output` only count.
  virtual platform::DWORD CapBinNames(void* output);
  virtual platform::DWORD CapBins(void* output);
  virtual platform::DWORD CapCopies();
  virtual platform::DWORD CapDriver();
  virtual platform::DWORD CapDuplex();
  virtual platform::DWORD CapEnumResolutions(void* output);
  virtual platform::DWORD CapExtra();
  virtual platform::DWORD CapFields();
  virtual platform::DWORD CapFileDependencies(void* output);
  virtual platform::DWORD CapMaxExtent();
  virtual platform::DWORD CapMinExtent();
  virtual platform::DWORD CapOrientation();
  virtual platform::DWORD CapPaperNames(void* output);
  virtual platform::DWORD CapPapers(void* output);
  virtual platform::DWORD CapPaperSize(void* output);
  virtual platform::DWORD CapSize();
  virtual platform::DWORD CapTrueType();
  virtual platform::DWORD CapVersion();
  virtual platform::DWORD CapOther(platform::WORD code, void* output);
  virtual platform::DWORD CapCollate();
  virtual platform::DWORD CapHelpRecord(void* output);
  // The paper list (rebuilt when stale) copied into the outputs that
  // are given (names of kPaperNameUnits units, u16 numbers, two i32 sizes
  // per entry); the count, or kCapabilityFailed for none.
  virtual platform::DWORD GetPaperList(char16_t* names, platform::WORD* numbers,
                                       std::int32_t* sizes);
  virtual platform::DWORD CapColorDevice();

  // The default settings held, made anew (CreateDefaultSettings) when none
  // are held, state bit 0 asks for a rebuild, or the printer changed since
  // they were made here (its change stamp differs, or cannot be had): the
  // parts another call stored meanwhile are read (see Mended in
  // driver_context_base.h). Null when none can be made.
  GAttributeComposite* CurrentDefaultSettings();

  // The printer events that DrvPrinterEvent dispatches to
  // (context_events.cpp).
  virtual platform::BOOL OnAddConnection(const char16_t* printer_name, platform::DWORD flags);
  virtual platform::BOOL OnDeleteConnection(const char16_t* printer_name, platform::DWORD flags);
  // The automatic configuration update; see context_events.cpp.
  virtual platform::BOOL OnInitializePrinter(const char16_t* printer_name, platform::DWORD flags);
  virtual platform::BOOL OnDeletePrinter(const char16_t* printer_name, platform::DWORD flags);
  virtual platform::BOOL OnCacheRefresh(const char16_t* printer_name, platform::DWORD flags);
  virtual platform::BOOL OnCacheDelete(const char16_t* printer_name, platform::DWORD flags);
  virtual platform::BOOL OnOtherPrinterEvent(const char16_t* printer_name, int event,
                                             platform::DWORD flags, platform::LPARAM lparam);

  // The printer name, the creation handle, and 0.
  virtual void GetPrinterIdentity(RWWString& name, platform::HANDLE& printer, std::uint32_t& flag);
  // The job settings' string kCompanionFileKey in the directory of this
  // library's module file (BesideModule); empty without kCompanionFileKey.
  virtual void GetCompanionFilePath(RWCString& path);

  // Closes an open own handle, then opens the printer by name with
  // every right as the own handle: 1, or 0 and none.
  virtual int OpenPrinterFullAccess();
  // Closes the own handle (a failure ignored) and clears the flag; 1.
  virtual int ClosePrinterHandle();
  // 1 uses the own handle when one is open; anything else stops using
  // it.
  virtual void UseOwnHandle(std::uint32_t flag);
  // Writes the printer-data string kWriteTestName through the
  // services: 1 when it is written. Otherwise, with no own handle open yet,
  // opens and uses one and writes again: 1 keeps it in use; a failure
  // closes it. 0 leaves no own handle open.
  virtual int EnsureWritablePrinterData();
  // The device-mode object's record as the printer's default
  // (SetPrinterW level 2 over a fresh GetPrinterW record, no security
  // descriptor, the last error reset before): 1 when set; 0 without an
  // object, a handle, or a record.
  virtual int StoreDefaultDevMode();

  // On `header` (null: 0): the device-mode size for mode 0 or no
  // output record; else the device mode bound (to the input record under
  // modify or prompt), copied to the output under update or copy (0 when
  // that fails), and, for mode 0x100A, the output's private part reset to
  // the 152-byte "VKVK" block (see Mended); 1.
  virtual platform::LONG DocumentPropertiesWithoutSheet(platform::DocumentPropertyHeader* header);
  // A document property header of the arguments; under prompt a sheet
  // of the common service (DrvDocumentPropertySheets of the entry points)
  // whose out result is the answer, else DocumentPropertiesWithoutSheet.
  virtual platform::LONG DocumentPropertiesWithSheet(
      platform::HWND window, platform::HANDLE printer, const char16_t* device_name,
      platform::DevModeW* dev_mode_out, platform::DevModeW* dev_mode_in, platform::DWORD mode);
  // A new sheet record (sheet_record.h) with this context's view, the
  // services' version record, CreateDefaultSettings whose
  // kDeviceUpdateStatusKey (when there) is 1 when the port-handler registry
  // holds a handler of flag 0x10000, the configuration and the services'
  // module; null unless both the version record and the settings were made. 51
  // frees one (null: none).
  virtual GSheetRecord* CreateSheetRecord();
  virtual void DeleteSheetRecord(GSheetRecord* record);

  // The job settings' string kJobFontFileKey, when not empty, becomes font-file
  // value 6; before that "MassStorageFonts" is set to 1 when the job
  // settings' kFontModuleKey is not 0.
  virtual void CarryJobFontFile();
  // Opens the stored printer into the creation handle; then, for each
  // font-file value 0-9 that names a file inside the driver directory,
  // copies the file of the same name from `printer_name`'s server (its
  // text up to the last separator) + "\print$\w32x86\2\", else "...\3\",
  // over it. Closes the printer and clears the creation handle.
  virtual void FetchMassStorageFontFiles(const RWWString& printer_name);
  // The same opening; deletes the local file of each value 0-9 that
  // lies inside the driver directory.
  virtual void DeleteMassStorageFontFiles(const RWWString& printer_name);

  // Shows the instructions for printing the second side by hand when
  // the default settings' kDuplexKey and kManualDuplexKey are both non-zero: a
  // sheet record (page flags 3, access 0, the services' module as the sheet
  // handle and NonPropPageSheet as the service callback) held meanwhile, on
  // which a property-sheet hook asks the first user-interface plug-in for page
  // index kUIManualDuplexIndex and then frees its pages; an own handle is
  // released after. 1.
  virtual int ShowManualDuplexInstructions();
  // The document end's escape 0x303EB8EE with `state` when the default
  // settings' kDuplexKey and kManualDuplexKey are both non-zero; with state 1,
  // an answer of 1 and no kManualDuplexInstructionsKey,
  // ShowManualDuplexInstructions. 1.
  int SendManualDuplexState(platform::HDC dc, std::uint32_t state);

  // Fills an empty watermark list (kKeyLocksKey -> kWatermarkListKey of the
  // default settings held) with the four built-in watermarks in the face and
  // character set of the support library's code page.
  virtual void AddDefaultWatermarks();
  // Chooses the document's watermark mode from the job's watermark
  // settings (kColorMediaSettingsKey -> kWatermarkSettingKey) and prepares the
  // selected definition; 1.
  virtual int BeginWatermark();
  // Draws the watermark on the page when the mode asks for this page
  // (mode 2, or mode 1 on page 1), in a saved state; RenderWatermark's
  // answer, else 1.
  virtual int DrawWatermark(platform::HDC dc);
  // Fills the drawing record from a definition (made on first use).
  virtual void PrepareWatermark(GAttributeComposite* definition);
  // Draws the text across the page centre, bracketed by the escape
  // 0x303EB8ED with state 1 and 0; 0 without a drawing record, else 1.
  virtual int RenderWatermark(platform::HDC dc);
  const GWatermarkRecord* GetWatermarkRecord() const { return watermark_record_.get(); }
  std::uint32_t GetWatermarkMode() const { return watermark_mode_; }

  // The cookie of the property sheet that keeps this context checked out.
  void SetCookie(std::uint32_t cookie) { cookie_ = cookie; }
  std::uint32_t GetCookie() const { return cookie_; }

  platform::HANDLE GetOwnHandle() const { return own_handle_; }
  // The open sheet's record and page list (null between sheets).
  GSheetRecord* GetSheetRecord() const { return sheet_record_; }
  GUIPluginPageList* GetPageList() const { return page_list_.get(); }
  // The device-mode size the callers are told: 1172, or 220 under the
  // public-part-only application flags.
  std::uint32_t DevModeSizeForCaller() { return GetDevModeSizeForUser(0); }
  // Whether the calling program's path, upper-cased, holds "EXPLORER.EXE".
  static bool IsCallerShell();
  const RWWString& GetHostModulePath() const { return host_module_path_; }

  // --- The driver data's operations.

  // The host refresh (RefreshHost).
  void InitAppFlags() override;
  // The driver data's update, then (see the file comment) the plug-in
  // step when it answered 0 and `argument` is 0: the default settings made
  // when none are held (BuildDefaultSettings), handed to the installed
  // GPluginSettingsUpdater.
  std::uint32_t UpdateFromDevice(std::uint32_t argument) override;
  // The driver data's re-target; the handle becomes the key's; another
  // printer name (whole wide strings) replaces the name and drops the
  // device-mode object; driver and port names are the key's; the host
  // refresh last.
  void Retarget(const GPrinterKey& key) override;
  // Base 0: the base's bind; the paper list turns stale when the bound
  // record's bytes changed (or a record was bound for the first time).
  std::int32_t BindDevMode(const platform::DevModeW* dev_mode) override;
  // A key of the creation handle, the three names and flag 0.
  GPrinterKey* CreatePrinterKey() override;
  // The write test (for a local printer), a bind without a device
  // mode, default settings made anew (CreateDefaultSettings), the
  // registration (RegisterWithManager); after a registration of a named
  // extension answering 0 the default settings are saved (SaveReadSettings)
  // and, when that worked, stored as the default device mode. An own handle
  // still open is released. The registration's answer.
  std::uint32_t RegisterExtension(const char* name, std::uint32_t mode) override;
  // PaperIdToFormIndex's search, with the medium (at 0 degrees for a
  // portrait device mode, else 90) also matching a form by the name the
  // support library gives it.
  int ContextPaperIdToFormIndex(std::uint16_t id, std::uint16_t& number) override;

  // Reads the host program's path (at most kMaxModulePath units); when it
  // differs from the one stored, stores it and recomputes the application
  // flags (GDriverContextBase::InitAppFlags). 1 when it changed, else 0.
  int RefreshHost();

 protected:
  // The driver data's registration (GDriverDataImp::RegisterExtension).
  virtual std::uint32_t RegisterWithManager(const char* name, std::uint32_t mode);

 private:
  // The sheets' shared steps (context_sheets.cpp): a new sheet record and
  // page list for `info` (false when none could be made), their end, the
  // own handle given up, a printer-data number, the document sheet's
  // access flags, the major version of the system.
  bool BeginSheet(platform::PropSheetUiInfo* info, std::uint32_t page_flags);
  void EndSheet();
  void ReleaseOwnHandle();
  // One apply of the sheet's OK (see sheet_changes_): its stores staged in
  // the sheet's transaction, attached to the thread while it lives. End
  // answers whether the apply went through and, at the last page's apply,
  // whether the OK was stored; an apply that ends otherwise (an exception
  // unwinding) did not go through.
  class SheetApply {
   public:
    explicit SheetApply(GDriverContext& context);
    ~SheetApply();
    SheetApply(const SheetApply&) = delete;
    SheetApply& operator=(const SheetApply&) = delete;
    // REQUIRES: called once, with no exception unwinding.
    bool End();

   private:
    void Abandon();

    GDriverContext& context_;
    std::uint32_t short_of_memory_;
    bool ended_ = false;
  };
  // At the sheet's end: an OK that was not stored whole by now is dropped.
  void FinishSheetApplies();
  void WritePrinterDword(const char16_t* name, std::uint32_t value);
  std::uint32_t DocumentAccessFlags(platform::DWORD mode, std::uint32_t restricted,
                                    std::uint32_t major);
  static std::uint32_t SystemMajor();
  // The export of an applying sheet whose flag value `flag_name` is set.
  void ExportAfterApply(const char16_t* flag_name);
  // SaveSettings for the document sheet's OK, skipped (true) when the
  // sheet's last OK saved these very settings in `mode` and the device-mode
  // object has been neither remade nor written since.
  bool SaveAppliedSettings(GAttributeComposite* settings, std::uint32_t mode);
  // The OK of the document sheet `header` describes, applied and stored
  // with its page's apply (the last page's stores it); false when it was
  // not.
  bool ApplyDocumentSheet(const platform::DocumentPropertyHeader& header);
  // The device sheet's start, and its OK applied and stored as the
  // document sheet's.
  platform::LONG BeginDeviceSheet(platform::PropSheetUiInfo* info,
                                  const platform::DevicePropertyHeader& header);
  bool ApplyDeviceSheet();
  // Steps 4 to 8 of DrvConvertDevMode on the creation handle, which it
  // opens and closes (the handle before is back afterwards); true on
  // success.
  bool ConvertOnPrinter(const char16_t* printer_name, GDevModeSettings& dev_mode,
                        const platform::DevModeW* dev_mode_in, platform::DevModeW* dev_mode_out,
                        platform::LONG& size, bool merge);

  // A printer handle a call opens into the creation handle: closed however
  // the call ends (memory that runs out included), and the creation handle
  // cleared, or put back as it was before the call (`restore`, the
  // conversion's). A handle left open would stay the parked context's,
  // and its later calls would answer through it.
  class ScopedCreationHandle {
   public:
    explicit ScopedCreationHandle(GDriverContext& context, bool restore = false);
    ~ScopedCreationHandle();
    ScopedCreationHandle(const ScopedCreationHandle&) = delete;
    ScopedCreationHandle& operator=(const ScopedCreationHandle&) = delete;
    // Closes what this opened, then opens `name` with `defaults` (null:
    // the default rights); false, and no handle, when it does not open.
    bool Open(const char16_t* name, const platform::PrinterDefaultsW* defaults);
    // Closes what this opened; the creation handle is null until the next
    // Open. Answers ClosePrinter's answer (1 when nothing was open).
    platform::BOOL Close();

   private:
    GDriverContext& context_;
    platform::HANDLE before_;  // null unless restored
  };
  // The own handle a call opens (EnsureWritablePrinterData,
  // OpenPrinterFullAccess) is closed however the call ends; one open
  // before the call stays.
  class ScopedOwnHandle {
   public:
    explicit ScopedOwnHandle(GDriverContext& context)
        : context_(context), open_before_(context.own_handle_ != nullptr) {}
    ~ScopedOwnHandle() {
      if (!open_before_) context_.ReleaseOwnHandle();
    }
    ScopedOwnHandle(const ScopedOwnHandle&) = delete;
    ScopedOwnHandle& operator=(const ScopedOwnHandle&) = delete;

   private:
    GDriverContext& context_;
    bool open_before_;
  };

  platform::HANDLE creation_handle_;       // not owned
  platform::HANDLE own_handle_ = nullptr;  // owned
  std::uint32_t use_own_handle_ = 0;
  std::unique_ptr<platform::BYTE[]> blocks_[3];  // the sheet operations'
  RWWString host_module_path_;                   // empty at construction
  RWWString job_name_;                           // of the document events
  GSheetRecord* shown_sheet_record_ = nullptr;   // while the instructions show
  GSheetRecord* sheet_record_ = nullptr;         // owned: the open sheet's
  GPartsAsRead sheet_parts_;                     // what its settings read
  // What the open sheet's OK stores, apply by apply (each page the user
  // opened hands the OK one): staged until the last page's apply commits
  // it, as the user confirmed it (the last writer's value), after what the
  // calls around it staged; dropped when an apply did not go through or
  // the sheet ends before its last. An OK that memory ran short for since
  // the sheet began, or whose store the system refuses, is no OK: the sheet
  // service reports it cancelled.
  GStoreTransaction sheet_changes_{GStoreTransaction::Mode::kUserConfirmed};
  std::uint32_t sheet_applies_ = 0;  // applies that went through
  bool sheet_apply_failed_ = false;  // an apply that did not
  bool sheet_stored_ = false;        // the OK was stored
  std::uint32_t sheet_short_ = 0;    // the shortage count at the sheet's start
  std::unique_ptr<GUIPluginPageList> page_list_;
  // The settings the open document sheet's last OK saved, the save's mode,
  // the device-mode object's write count after it and the page activity
  // (PageActivity) then: every page's apply hands the sheet one OK, and one
  // that finds all four unchanged has nothing new to save. With pages other
  // than the framework's, also the settings' stored graph (binary) after the
  // save, which an OK after their activity compares. Cleared with the sheet.
  static constexpr std::uint64_t kNoActivity = ~std::uint64_t{0};
  std::string applied_image_;
  const GAttributeComposite* applied_settings_ = nullptr;
  std::uint32_t applied_mode_ = 0;
  std::uint64_t applied_writes_ = 0;
  std::uint64_t applied_activity_ = kNoActivity;
  std::unique_ptr<GJobHookHolder> job_hooks_;
  std::uint32_t page_counter_ = 0;    // start-page events
  std::uint32_t watermark_mode_ = 0;  // 0 none, 1 first page, 2 every page
  std::uint32_t watermark_selection_ = 0;
  std::uint32_t watermark_grayscale_ = 0;
  std::unique_ptr<GWatermarkRecord> watermark_record_;
  // Per document, kept here rather than process-wide so that documents of
  // several contexts do not mix: the end-page count, the group size, the
  // notice thread and the device-mode copies handed out.
  std::int32_t document_pages_ = 0;
  std::int32_t group_size_ = 0;
  platform::HANDLE notice_thread_ = nullptr;
  std::unique_ptr<GJobStorageNotice> notice_;
  std::vector<std::unique_ptr<platform::BYTE[]>> dev_mode_copies_;
  std::uint32_t cookie_ = 0;
  // The printer's change stamp when CurrentDefaultSettings made the
  // default settings held (0: unknown).
  std::uint64_t defaults_stamp_ = 0;
  // The paper list of GetPaperList: stale until built, and again after a bind
  // that changed the record or a form this context added, and whenever the
  // printer's change stamp or the driver data's model changes differ from
  // those it was built with (a form added by anyone, say).
  struct PaperList {
    bool stale = true;
    std::uint64_t printer_stamp = 0;
    std::uint64_t model_changes = 0;
    std::vector<char16_t> names;  // kPaperNameUnits per entry
    std::vector<platform::WORD> numbers;
    std::vector<std::int32_t> sizes;  // width, height per entry
  } papers_;
  // BindDevMode's copy of the record bound before, kept between calls so
  // that a bind allocates nothing once the record's size is known.
  std::vector<platform::BYTE> bound_before_;
  void BuildPaperList();
  // The tray part of the bin answers (DC_BINS [0], DC_BINNAMES [1]): the
  // installed options applied and the trays walked once, then kept while
  // the printer's change stamp and the driver data's model changes stay
  // those they were made with. The form-to-tray database, a part of the
  // default settings that a user edits in place, is asked every time.
  struct KeptBins {
    bool held = false;
    std::uint64_t printer_stamp = 0;
    std::uint64_t model_changes = 0;
    platform::DWORD count = 0;
    std::vector<unsigned char> answer;  // what a fill call writes
  } bins_[2];
  platform::DWORD BinList(void* output, bool names);

  // The document events' steps (document_events.cpp).
  int CopyDevMode(const void* in, platform::DWORD size_in, std::size_t entry, bool stamp_if_ic,
                  void* out, platform::DWORD size_out);
  int RefreshFromCopy(const void* in, platform::DWORD size_in);
  void StartDocument(platform::HDC dc, const platform::DocInfoW* info);
  void SendJobAccounting(platform::HDC dc);
  RWWString JobUserName(const RWWString& name);
  void StartJobStorage(platform::HDC dc);
  void StartNotice(GAttributeComposite* storage);
  void JoinNotice();
  void EndDocument();
  bool ManualDuplexDecision();
  static platform::DWORD NoticeThread(void* context);
};
