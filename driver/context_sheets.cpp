// GDriverContext: document properties, the device-mode conversion and the
// property sheets (slots 8-13, 48 and 49); see driver_context.h.
//
// Mended: an output is written only as far as its caller says it reaches:
// the header's size on both roads of the document sheet (the road through
// the common service gives the size the application was told), the whole
// record when it fits, its public part alone (dmDriverExtra 0) when 220
// bytes do, else nothing (answer 0); the 0x100A reset only into a whole
// record. Document properties without a sheet answer 0 and write nothing
// when the input record is not taken. A conversion looks at its output's
// record only once *pcbNeeded holds a whole one, and takes the printer's
// stored default in with its settings before it merges.
#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/devmode/dev_mode_record.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/property_sheet_hook.h"
#include "driver/qcf_update_check.h"
#include "driver/spooler_forms.h"
#include "driver/stored_state.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/ui/property_sheet.h"
#include "services/os_version.h"
#include "services/update_stamp.h"

namespace {

// Printer-data values.
constexpr char16_t kExportPrintingName[] = u"ExportPrinting";
constexpr char16_t kExportConfigName[] = u"ExportConfig";
constexpr char16_t kLastUpdatedName[] = u"LastUpdated";
constexpr char16_t kUserUpdateType[] = u"User";
constexpr char16_t kFalseText[] = u"FALSE";

// Answers of the sheet operations and of document properties.
constexpr platform::LONG kNoHeader = -1;
constexpr platform::LONG kIdOk = 1;
constexpr platform::LONG kIdCancel = 2;

// The mode masks of document properties and the one the advanced
// properties ask for.
constexpr platform::DWORD kBindInputModes = platform::kDmModePrompt | platform::kDmModeModify;
constexpr platform::DWORD kCopyOutModes = platform::kDmModeUpdate | platform::kDmModeCopy;
constexpr platform::DWORD kAdvancedMode =
    platform::kDmModeAdvanced | platform::kDmModePrompt | platform::kDmModeCopy;
// The request that resets the output's private part, and that part.
constexpr platform::DWORD kResetPrivateMode = 0x100A;
constexpr std::uint32_t kResetBlockSize = 152;
constexpr std::uint8_t kResetSignature[] = {'V', 'K', 'V', 'K'};

// The sizes the headers announce (the platform's records').
constexpr platform::WORD kDocumentHeaderSize = 28;
constexpr platform::WORD kDeviceHeaderSize = 12;

// Flags of the info header, and the device sheet's icon.
constexpr platform::WORD kSheetHeaderFlags =
    platform::kPsuiHdrfNoApplyNow | platform::kPsuiHdrfPropTitle;
constexpr platform::ULONG_PTR kPrinterIconId = 64082;

// The calling program's path as read for the shell test, and the name.
constexpr platform::DWORD kCallerPathBytes = 512;
constexpr char kShellProgram[] = "EXPLORER.EXE";
// The major version from which the user-only access bits apply.
constexpr std::uint32_t kRightsMajor = 5;

GDevModeSettings* DevModeOf(GDriverContext& context) {
  return GDevModeSettings::From(context.GetDevModeSettings());
}

// Into an output of `out_size` bytes (the size its header gives).
int CopyDevModeOut(GDriverContext& context, platform::DevModeW* out, platform::DWORD out_size) {
  GDevModeSettings* dev_mode = DevModeOf(context);
  return dev_mode && out ? dev_mode->CopyDevModeTo(out, out_size) : 0;
}

}  // namespace

bool GDriverContext::IsCallerShell() {
  char path[kCallerPathBytes] = {};
  const platform::DWORD length = platform::GetModuleFileNameA(nullptr, path, kCallerPathBytes);
  if (length == 0) return false;
  for (char& c : path)
    c = char(std::toupper(static_cast<unsigned char>(c)));
  path[kCallerPathBytes - 1] = '\0';
  return std::strstr(path, kShellProgram) != nullptr;
}

std::uint32_t GDriverContext::SystemMajor() {
  GOSVersion version;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetOSVersion(version);
  return version.version >> 16;
}

void GDriverContext::WritePrinterDword(const char16_t* name, std::uint32_t value) {
  if (GOSFactory* services = GOSFactory::Instance())
    services->SetPrinterDataDword(this, RWWString(name), value);
}

void GDriverContext::ReleaseOwnHandle() {
  if (!own_handle_) return;
  UseOwnHandle(0);
  ClosePrinterHandle();
}

bool GDriverContext::BeginSheet(platform::PropSheetUiInfo* info, std::uint32_t page_flags) {
  // A second sheet on this context replaces the first's record and pages.
  FinishSheetApplies();
  EndSheet();
  sheet_short_ = RWOutOfMemoryRaised();
  sheet_record_ = CreateSheetRecord();
  sheet_parts_ = PartsReadFor(sheet_record_ ? sheet_record_->settings : nullptr);
  if (!sheet_record_) return false;
  page_list_.reset(new (kRWNoThrow) GUIPluginPageList);
  sheet_record_->property_sheet = info->property_sheet;
  sheet_record_->service_callback = info->service_callback;
  sheet_record_->page_flags = page_flags;
  return true;
}

GDriverContext::SheetApply::SheetApply(GDriverContext& context)
    : context_(context), short_of_memory_(RWOutOfMemoryRaised()) {
  context_.sheet_changes_.Attach();
}

GDriverContext::SheetApply::~SheetApply() {
  if (ended_) return;
  context_.sheet_changes_.Detach();
  Abandon();
}

void GDriverContext::SheetApply::Abandon() {
  // What the apply made in memory of the settings is not what is stored:
  // the context is not parked for later calls.
  context_.sheet_changes_.Discard();
  context_.sheet_apply_failed_ = true;
  context_.MarkSpoiled();
}

bool GDriverContext::SheetApply::End() {
  ended_ = true;
  GStoreTransaction& changes = context_.sheet_changes_;
  changes.Detach();
  if (context_.sheet_apply_failed_ || RWShortOfMemorySince(short_of_memory_)) {
    Abandon();
    return false;
  }
  // Each page the user opened hands the OK its apply: the last one stores
  // it, or nothing of it is.
  const std::uint32_t pages = context_.page_list_ ? context_.page_list_->CreatedPages() : 0;
  if (++context_.sheet_applies_ < pages) return true;
  // With what the calls around staged (what a cancelled sheet leaves).
  if (RWShortOfMemorySince(context_.sheet_short_)) {
    Abandon();
    return false;
  }
  const platform::DWORD refused = GStoreCall::CommitOk(changes);
  if (refused != 0) {
    GStoreCall::RefusedOk(refused);
    Abandon();
    return false;
  }
  GStoreCall::Confirmed();
  context_.sheet_stored_ = true;
  return true;
}

void GDriverContext::FinishSheetApplies() {
  // An OK not stored by now (an apply that failed, a service that ended
  // the sheet before the last page's apply) is dropped.
  sheet_changes_.Discard();
  sheet_applies_ = 0;
  sheet_apply_failed_ = false;
  sheet_stored_ = false;
}

void GDriverContext::EndSheet() {
  sheet_changes_.Discard();
  sheet_applies_ = 0;
  sheet_apply_failed_ = false;
  sheet_stored_ = false;
  if (page_list_) page_list_->FreePages(sheet_record_);
  page_list_.reset();
  DeleteSheetRecord(sheet_record_);
  sheet_record_ = nullptr;
  applied_image_.clear();
  applied_settings_ = nullptr;
  applied_activity_ = kNoActivity;
}

std::uint32_t GDriverContext::DocumentAccessFlags(platform::DWORD mode, std::uint32_t restricted,
                                                  std::uint32_t major) {
  if (mode & platform::kDmModeNoPermission)
    return kUIAccessNoPermission | (major >= kRightsMajor ? kUIAccessUserOnly : 0);
  if (mode & platform::kDmModeAdvanced) return kUIAccessNoPrinterWide;
  std::uint32_t flags = restricted && major >= kRightsMajor ? kUIAccessUserOnly : 0;
  if (mode & platform::kDmModeUserDefault) return flags;
  const std::uint32_t again = SystemMajor();
  const bool shell = IsCallerShell();
  const bool remote = IsRemotePrinter() != 0;
  if (remote && again < kRightsMajor) flags |= kUIAccessNoPrinterWide;
  if (remote && (again <= 4 || !shell)) return flags | kUIAccessNoPrinterWide;
  if (restricted) {
    flags |= kUIAccessNoPrinterWide;
    if (again >= kRightsMajor) flags |= kUIAccessUserOnly;
  }
  return flags;
}

void GDriverContext::ExportAfterApply(const char16_t* flag_name) {
  GOSFactory* services = GOSFactory::Instance();
  GValueAttribute* request = FindValueAttribute(sheet_record_->settings, kConfigRefreshKey);
  if (!services || !request || request->GetValue() != 1) return;
  if (services->GetPrinterDataDword(this, RWWString(flag_name), 0) == 0) return;
  if (IsCallerShell()) {
    GQCFUpdateCheck check(sheet_record_->settings, this);
    check.ImportFactorySettings(GetPrinterName());
    // The import changed the settings with no page acting: the next apply
    // compares them.
    applied_activity_ = kNoActivity;
  }
  WritePrinterDword(flag_name, 0);
}

bool GDriverContext::SaveAppliedSettings(GAttributeComposite* settings, std::uint32_t mode) {
  // Each page's apply repeats the sheet's OK: a save of settings that the
  // last one left exactly as they are, into the same device-mode object,
  // would write the same record and parts again. When no page has handled
  // anything since, the settings cannot have changed and their image need
  // not be taken again.
  const std::uint64_t activity = PageActivity();
  if (settings && settings == applied_settings_ && mode == applied_mode_ &&
      DevModeWrites() == applied_writes_ &&
      (activity == applied_activity_ ||
       (!applied_image_.empty() && GraphImage(*settings) == applied_image_))) {
    applied_activity_ = activity;
    return true;
  }
  applied_image_.clear();
  applied_settings_ = nullptr;
  if (!(mode == 1 ? SaveReadSettings(settings, sheet_parts_) : SaveSettings(settings, mode)))
    return false;
  // Taken after the save, which empties the custom sizes, brings in the
  // installed options and moves the printer-wide parts last; only for a
  // sheet with pages of other plug-ins, which may change settings unnoted.
  if (page_list_ && !page_list_->EveryPageNotesItsChanges()) applied_image_ = GraphImage(*settings);
  applied_settings_ = settings;
  applied_mode_ = mode;
  applied_writes_ = DevModeWrites();
  applied_activity_ = activity;
  return true;
}

// ---- Document properties.

platform::LONG GDriverContext::DrvDocumentProperties(
    platform::HWND window, platform::HANDLE printer, const char16_t* device_name,
    platform::DevModeW* dev_mode_out, platform::DevModeW* dev_mode_in, platform::DWORD mode) {
  if (mode == 0 || !dev_mode_out) return platform::LONG(DevModeSizeForCaller());
  const platform::LONG result =
      DocumentPropertiesWithSheet(window, printer, device_name, dev_mode_out, dev_mode_in, mode);
  if (result > 0) return kIdOk;
  return result == 0 ? kIdCancel : result;
}

platform::LONG GDriverContext::DrvAdvancedDocumentProperties(platform::HWND window,
                                                             platform::HANDLE printer,
                                                             const char16_t* device_name,
                                                             platform::DevModeW* dev_mode_out,
                                                             platform::DevModeW* dev_mode_in) {
  if (!dev_mode_out) return platform::LONG(DevModeSizeForCaller());
  return DocumentPropertiesWithSheet(window, printer, device_name, dev_mode_out, dev_mode_in,
                                     kAdvancedMode) > 0
             ? 1
             : 0;
}

platform::LONG GDriverContext::DocumentPropertiesWithSheet(
    platform::HWND window, platform::HANDLE printer, const char16_t* device_name,
    platform::DevModeW* dev_mode_out, platform::DevModeW* dev_mode_in, platform::DWORD mode) {
  // The output holds what the application was told a record takes.
  platform::DocumentPropertyHeader header{kDocumentHeaderSize,
                                          0,
                                          printer,
                                          const_cast<char16_t*>(device_name),
                                          dev_mode_in,
                                          dev_mode_out,
                                          DevModeSizeForCaller(),
                                          mode};
  if (!(mode & platform::kDmModePrompt)) return DocumentPropertiesWithoutSheet(&header);
  // Memory that ran short while the sheet was up (a list it could not
  // fill, a choice it could not take) leaves a record that is not what the
  // user chose: the call fails.
  // An OK stored stands, whatever memory does after it.
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  platform::ULONG_PTR result = 0;
  platform::CommonPropertySheetUIW(window, &::DrvDocumentPropertySheets,
                                   reinterpret_cast<platform::LPARAM>(&header), &result);
  // The user's OK, once stored, is the answer, whatever the sheet's end
  // met after it (the service's own answer included).
  if (GStoreCall::OkStored()) return platform::LONG(platform::kCpsuiOk);
  return RWShortOfMemorySince(short_of_memory) ? -1 : platform::LONG(result);
}

platform::LONG GDriverContext::DocumentPropertiesWithoutSheet(
    platform::DocumentPropertyHeader* header) {
  if (!header) return 0;
  const platform::DWORD mode = header->mode;
  platform::DevModeW* out = header->dev_mode_out;
  if (mode == 0 || !out) return platform::LONG(DevModeSizeForCaller());
  // A record that cannot be taken leaves the output alone.
  if (BindDevMode(mode & kBindInputModes ? header->dev_mode_in : nullptr) != 1) return 0;
  platform::LONG result = 1;
  const platform::DWORD out_size = header->dev_mode_out_size;
  if ((mode & kCopyOutModes) && CopyDevModeOut(*this, out, out_size) == 0) result = 0;
  // The reset writes past the public part: only into a whole record that
  // was just copied there (under the public-only flags, or into a smaller
  // output, only the public part was).
  if (mode == kResetPrivateMode && result == 1 && DevModeSizeForCaller() == kFullDevModeSize &&
      out_size >= kFullDevModeSize) {
    std::uint8_t* bytes = DevModeBytes(out);
    const std::uint16_t public_size = LoadU16(bytes, kDmSize);
    std::uint32_t extra = std::uint16_t(kFullDevModeSize - public_size);
    if (extra < kResetBlockSize + 1) extra = kResetBlockSize;
    StoreU16(bytes, kDmDriverExtra, std::uint16_t(extra));
    std::uint8_t* block = bytes + public_size;
    std::memset(block, 0, kResetBlockSize);
    std::memcpy(block, kResetSignature, sizeof kResetSignature);
    StoreU16(block, sizeof kResetSignature, std::uint16_t(kResetBlockSize));
  }
  return result;
}

platform::LONG GDriverContext::DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                         platform::LPARAM lparam) {
  auto* header =
      reinterpret_cast<platform::DocumentPropertyHeader*>(info ? info->lparam_init : lparam);
  if (!header) return kNoHeader;
  // The sheet's end only cleans up: asking the rights again there would
  // store the write test after a start that failed and stored nothing.
  if (info && info->reason == platform::kPropSheetUiReasonDestroy) {
    FinishSheetApplies();
    EndSheet();
    ReleaseOwnHandle();
    return 1;
  }
  // A sheet on what memory ran short for is refused at its start: its OK
  // would hand it out, and store it, as the whole.
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  // Without a sheet, an own handle opened here is this call's; with one, it
  // is the sheet's, given back at its destroy.
  std::optional<ScopedOwnHandle> own_handle;
  if (!info) own_handle.emplace(*this);
  std::uint32_t restricted = 1;
  if (IsRemotePrinter()) {
    if (own_handle_) {
      restricted = 0;
    } else if (OpenPrinterFullAccess()) {
      ClosePrinterHandle();
      restricted = 0;
    }
  } else if (EnsureWritablePrinterData()) {
    restricted = 0;
  }
  const std::uint32_t major = SystemMajor();
  // A right that memory ran short asking about is unknown: the process's
  // flag, which every later call's watermarks follow, stays as it was.
  if (RWOutOfMemoryRaised() == short_of_memory)
    SetLocalWatermarkFlag(restricted && major >= kRightsMajor ? 1 : 0);

  if (!info) return DocumentPropertiesWithoutSheet(header);
  const platform::DWORD mode = header->mode;
  switch (info->reason) {
    case platform::kPropSheetUiReasonInit: {
      WritePrinterDword(kExportPrintingName, 1);
      BindDevMode(mode & platform::kDmModeModify ? header->dev_mode_in : nullptr);
      info->result = 0;
      if (!BeginSheet(info, kUIDocumentPages) || RWShortOfMemorySince(short_of_memory)) return 0;
      sheet_record_->access_flags = DocumentAccessFlags(mode, restricted, major);
      return page_list_ && page_list_->AddPages(sheet_record_, 0) != 0 ? 1 : 0;
    }
    case platform::kPropSheetUiReasonGetInfoHeader: {
      auto* info_header = reinterpret_cast<platform::PropSheetUiInfoHeader*>(lparam);
      if (!info_header) return 0;
      info_header->flags = kSheetHeaderFlags;
      if (mode & platform::kDmModeUserDefault) info_header->flags |= platform::kPsuiHdrfDefTitle;
      info_header->title = header->printer_name;
      GOSFactory* services = GOSFactory::Instance();
      info_header->instance = services ? services->GetModuleHandle() : nullptr;
      info_header->icon_id = 0;
      return 1;
    }
    case platform::kPropSheetUiReasonSetResult: {
      auto* set = reinterpret_cast<platform::SetResultInfo*>(lparam);
      if (!set || !sheet_record_) return 0;
      if (set->result == platform::kCpsuiOk && !ApplyDocumentSheet(*header)) return 0;
      info->result = platform::ULONG_PTR(set->result);
      return 1;
    }
    default:
      return 0;
  }
}

bool GDriverContext::ApplyDocumentSheet(const platform::DocumentPropertyHeader& header) {
  SheetApply apply(*this);
  GAttributeComposite* settings = sheet_record_->settings;
  const std::uint32_t save_mode = (sheet_record_->access_flags & 3) == 0 ? 1 : 0;
  if (SaveAppliedSettings(settings, save_mode)) ExportAfterApply(kExportPrintingName);
  if (GValueAttribute* local = FindValueAttribute(settings, kLocalJobStorageKey))
    SetLocalJobStorageValue(local->GetValue() == 0 ? 1 : 0);
  if (!apply.End()) return false;
  // The record goes out once the OK is stored: a cancelled one leaves the
  // output as it was.
  if (sheet_stored_ && (header.mode & kCopyOutModes) && header.dev_mode_out)
    CopyDevModeOut(*this, header.dev_mode_out, header.dev_mode_out_size);
  return true;
}

// ---- Conversion.

platform::BOOL GDriverContext::DrvConvertDevMode(const char16_t* printer_name,
                                                 platform::DevModeW* dev_mode_in,
                                                 platform::DevModeW* dev_mode_out,
                                                 platform::LONG* size, platform::DWORD mode) {
  if (!printer_name || !size) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    return 0;
  }
  // Making the object reads the printer; a refused mode leaves the caller's
  // last error as it was.
  const platform::DWORD last_error = platform::GetLastError();
  if (!RemakeDevModeSettings()) return 0;
  GDevModeSettings* dev_mode = DevModeOf(*this);
  if (!dev_mode) return 0;
  if (mode == platform::kCdmConvert) {
    if (!dev_mode->IsValidDevMode(dev_mode_in)) {
      platform::SetLastError(platform::kErrorInvalidParameter);
      return 0;
    }
  } else if (mode != platform::kCdmDriverDefault) {
    platform::SetLastError(last_error);
    return 0;
  }
  // The output holds `*size` bytes, whatever its record claims: it is
  // looked at only once it can hold a whole record.
  if (*size < platform::LONG(kFullDevModeSize)) {
    *size = platform::LONG(kFullDevModeSize);
    platform::SetLastError(platform::kErrorInsufficientBuffer);
    return 0;
  }
  if (mode == platform::kCdmConvert && !dev_mode->IsValidDevMode(dev_mode_out)) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    return 0;
  }

  // The printer, reopened with every right when it is local.
  return ConvertOnPrinter(printer_name, *dev_mode, dev_mode_in, dev_mode_out, *size,
                          mode == platform::kCdmConvert)
             ? 1
             : 0;
}

bool GDriverContext::ConvertOnPrinter(const char16_t* printer_name, GDevModeSettings& dev_mode,
                                      const platform::DevModeW* dev_mode_in,
                                      platform::DevModeW* dev_mode_out, platform::LONG& size,
                                      bool merge) {
  // The context's own creation handle is back when the conversion ends.
  ScopedCreationHandle handle(*this, true);
  if (!handle.Open(printer_name, nullptr)) return false;
  std::unique_ptr<platform::BYTE[]> record = ReadPrinterInfo2(creation_handle_);
  const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record.get());
  const bool local = !info || !info->server_name || info->server_name[0] == 0;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  if (!handle.Open(printer_name, local ? &all : nullptr)) return false;

  bool ok = true;
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  const bool taken = dev_mode.TakePrinterDevMode(creation_handle_) != 0;
  if (!taken && RWShortOfMemorySince(short_of_memory)) {
    // A record that could not be read for want of memory is no missing
    // record: no defaults are stored over it.
    ok = false;
  } else if (!taken) {
    std::unique_ptr<GAttributeComposite> built(BuildDefaultSettings());
    GValueAttribute* request = FindValueAttribute(built.get(), kConfigRefreshKey);
    if (request && request->GetValue() == 1) {
      MPersistentObject* kept = FindComposite(GetDefaultSettings(), kWatermarkListKey);
      MPersistentObject* part = FindComposite(built.get(), kKeyLocksKey);
      if (kept && part) ReplaceDirectChild(*part, kWatermarkListKey, *kept);
      if (GOSFactory* services = GOSFactory::Instance())
        services->SetPrinterDataString(this, RWWString(GConfigurationImporter::kStaleValue),
                                       RWWString(kFalseText));
      GQCFUpdateCheck check(built.get(), this);
      check.RunUpdateCheck(RWWString(printer_name), kUpdateCheckConversion);
    }
    ok = built && WriteDevModeSettings(built.get()) != 0;
    if (ok) StoreDefaultDevMode();
  }
  if (ok && merge && dev_mode.MergeDevMode(dev_mode_in) == 0) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    ok = false;
  }
  if (ok && dev_mode_out) {
    dev_mode.CopyDevModeTo(dev_mode_out, platform::DWORD(size));
    size = platform::LONG(dev_mode.GetDevModeSize());
  }
  handle.Close();
  return ok;
}

// ---- The device sheet.

platform::LONG GDriverContext::DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                                       platform::LPARAM lparam) {
  if (!info || !info->lparam_init) return kNoHeader;
  auto* header = reinterpret_cast<platform::DevicePropertyHeader*>(info->lparam_init);
  GOSFactory* services = GOSFactory::Instance();
  switch (info->reason) {
    case platform::kPropSheetUiReasonInit:
      return BeginDeviceSheet(info, *header);
    case platform::kPropSheetUiReasonGetInfoHeader: {
      auto* info_header = reinterpret_cast<platform::PropSheetUiInfoHeader*>(lparam);
      if (!info_header) return 0;
      info_header->flags = kSheetHeaderFlags;
      info_header->title = header->printer_name;
      info_header->instance = services ? services->GetModuleHandle() : nullptr;
      info_header->icon_id = kPrinterIconId;
      return 1;
    }
    case platform::kPropSheetUiReasonDestroy:
      FinishSheetApplies();
      EndSheet();
      return 1;
    case platform::kPropSheetUiReasonSetResult: {
      auto* set = reinterpret_cast<platform::SetResultInfo*>(lparam);
      if (!set || !sheet_record_) return 0;
      if (set->result == platform::kCpsuiOk &&
          !(sheet_record_->access_flags & kUIAccessNoPermission) && !ApplyDeviceSheet())
        return 0;
      info->result = platform::ULONG_PTR(set->result);
      return 1;
    }
    default:
      return 0;
  }
}

platform::LONG GDriverContext::BeginDeviceSheet(platform::PropSheetUiInfo* info,
                                                const platform::DevicePropertyHeader& header) {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  BindDevMode(nullptr);
  info->result = 0;
  if (BeginSheet(info, kUIDevicePages)) {
    sheet_record_->access_flags = header.flags & platform::kDpsNoPermission
                                      ? kUIAccessNoPermission
                                      : sheet_record_->access_flags | kUIAccessNoPrinterWide;
    if (page_list_) page_list_->AddPages(sheet_record_, 0);
  }
  WritePrinterDword(kExportConfigName, 1);
  GAttributeComposite* physical =
      sheet_record_ ? FindComposite(sheet_record_->settings, kInstalledOptionsKey) : nullptr;
  GOSFactory* services = GOSFactory::Instance();
  if (physical && services)
    services->StoreNamedObject(this, RWWString(kPhysicalSettingsName), physical);
  // As the document sheet's: refused when memory ran short.
  return RWShortOfMemorySince(short_of_memory) ? 0 : 1;
}

bool GDriverContext::ApplyDeviceSheet() {
  SheetApply apply(*this);
  GAttributeComposite* settings = sheet_record_->settings;
  GOSFactory* services = GOSFactory::Instance();
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  if (SaveReadSettings(settings, sheet_parts_)) ExportAfterApply(kExportConfigName);
  GAttributeComposite* physical = FindComposite(settings, kInstalledOptionsKey);
  // Settings only partly stored for want of memory: nothing more is stored
  // on them (and PrinterProperties answers failure).
  bool short_now = RWOutOfMemoryRaised() != short_of_memory;
  if (!short_now && physical && services && IsPhysicalSettingsCurrent(physical) == 0) {
    // A stamp that could not be made is not written empty.
    const RWWString stamp = LocalDateStamp();
    const RWWString type(kUserUpdateType);
    short_now = stamp.IsNull() || type.IsNull();
    if (!short_now) {
      services->SetPrinterDataString(this, RWWString(kLastUpdatedName), stamp);
      services->SetPrinterDataString(this, RWWString(kLastUpdateTypeName), type);
    }
  }
  if (!short_now && RWOutOfMemoryRaised() == short_of_memory) StoreDefaultDevMode();
  return apply.End();
}

platform::BOOL GDriverContext::PrinterProperties(platform::HWND window, platform::HANDLE printer) {
  platform::DevicePropertyHeader header{kDeviceHeaderSize, 0, printer, nullptr};
  platform::ULONG_PTR result = 1;
  // Memory that ran short while the sheet was up fails the call; the
  // user's OK, once stored, is the answer, whatever came after it.
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  platform::CommonPropertySheetUIW(window, &::DrvDevicePropertySheets,
                                   reinterpret_cast<platform::LPARAM>(&header), &result);
  return GStoreCall::OkStored() ||
                 (!RWShortOfMemorySince(short_of_memory) && platform::LONG(result) > 0)
             ? 1
             : 0;
}
