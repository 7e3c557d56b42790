// GDriverContext: construction, the handles, the default device mode, the
// sheet record, re-targeting, registration and the forms of the media. The
// mass-storage font files are in context_font_files.cpp.
#include "driver/driver_context.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/stored_state.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "persist/port_handler.h"
#include "persist/resource_mapping.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "services/os_version.h"

namespace {

std::atomic<GPluginSettingsUpdater> g_plugin_updater{nullptr};

// The media walk that AddMediaForms makes: a form per medium whose mapping
// has spooler number 0, named from the support library.
struct MediaForms {
  GDriverContext* context;
  platform::HMODULE library;
  bool added;
};

int AddMediumForm(GMedia* medium, GResourceMapping* entry, std::uint32_t, void* buffer,
                  std::uint32_t& reported) {
  auto* walk = static_cast<MediaForms*>(buffer);
  if (!entry || entry->SystemNumber() != 0) return 1;
  const RWWString name = LoadFormName(walk->library, entry->StringResourceId());
  if (name.IsNull()) return 1;
  if (walk->context->PutFormForMedium(walk->context->GetPrinterHandle(), *medium, name, 0)) {
    walk->added = true;
    reported = 1;
  }
  return 1;
}

}  // namespace

GPluginSettingsUpdater SetPluginSettingsUpdater(GPluginSettingsUpdater updater) {
  return g_plugin_updater.exchange(updater);
}

GDriverContext::GDriverContext(platform::HANDLE printer, const RWWString& printer_name,
                               const RWWString& driver_name, const RWWString& port_name)
    : GDriverData(printer_name, driver_name, port_name),
      creation_handle_(printer),
      job_hooks_(new (kRWNoThrow) GJobHookHolder) {
  RefreshHost();
}

GDriverContext::~GDriverContext() {
  JoinNotice();
  EndSheet();
  if (own_handle_) ClosePrinterHandle();
  for (auto& block : blocks_)
    block.reset();
  watermark_record_.reset();
  job_hooks_.reset();
  job_name_ = RWWString();
}

GDriverContext* GDriverContext::FromDriverData(GDriverData* view) {
  return dynamic_cast<GDriverContext*>(view);
}

platform::HANDLE GDriverContext::GetPrinterHandle() {
  return use_own_handle_ == 1 ? own_handle_ : creation_handle_;
}

int GDriverContext::AddMediaForms() {
  GFormList forms = EnumForms();
  GDevModeSettingsInterface* dev_mode = GetDevModeSettings();
  const platform::DevModeW* record = dev_mode ? dev_mode->GetDevMode() : nullptr;
  const std::uint16_t x = dev_mode ? dev_mode->GetXResolution() : 0;
  const std::uint16_t y = dev_mode ? dev_mode->GetYResolution() : 0;
  const std::uint32_t orientation =
      record && DevModeOrientation(record) == kDevModePortrait ? 0 : 90;
  MediaForms walk{this, platform::LoadLibraryW(GetSupportFilePath().Data()), false};
  std::uint32_t index = 0;
  if (walk.library) EnumMedia(&AddMediumForm, orientation, x, y, 0, &walk, 1, index);
  if (walk.library) platform::FreeLibrary(walk.library);

  auto* defaults = FindOfClass<MPersistentObject>(GetJobSettings(), kDefaultSettingsKey);
  GAttributeComposite* sizes = FindComposite(defaults, kCustomSizesKey);
  const std::uint32_t count = sizes ? sizes->EntryCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(sizes->Children()[i].Get());
    if (!size) continue;
    bool matched = false;
    for (std::uint32_t f = 0; f < forms.Count() && !matched; ++f) {
      matched =
          !::IsBuiltInForm(forms[f]) && FormMatchesCustomSize(forms[f], *size, kFormTolerance);
    }
    if (!matched && PutFormForCustomSize(GetPrinterHandle(), *size, platform::kFormPrinter, 0))
      walk.added = true;
  }
  if (walk.added) papers_.stale = true;
  return walk.added ? 1 : 0;
}

void GDriverContext::GetPrinterIdentity(RWWString& name, platform::HANDLE& printer,
                                        std::uint32_t& flag) {
  name = GetPrinterName();
  printer = creation_handle_;
  flag = 0;
}

void GDriverContext::GetCompanionFilePath(RWCString& path) {
  GStringAttribute* file = FindStringAttribute(GetJobSettings(), kCompanionFileKey);
  if (!file) {
    path = RWCString();
    return;
  }
  RWWString name;
  NarrowToWide(file->GetValue(), name);
  WideToNarrow(BesideModule(name), path);
}

int GDriverContext::OpenPrinterFullAccess() {
  if (own_handle_) ClosePrinterHandle();
  const platform::PrinterDefaultsW defaults{nullptr, nullptr, platform::kPrinterAllAccess};
  if (platform::OpenPrinterW(GetPrinterName().Data(), &own_handle_, &defaults) == 1) return 1;
  own_handle_ = nullptr;
  platform::GetLastError();
  return 0;
}

GDriverContext::ScopedCreationHandle::ScopedCreationHandle(GDriverContext& context, bool restore)
    : context_(context), before_(restore ? context.creation_handle_ : nullptr) {
  context_.creation_handle_ = nullptr;
}

GDriverContext::ScopedCreationHandle::~ScopedCreationHandle() {
  Close();
  context_.creation_handle_ = before_;
}

bool GDriverContext::ScopedCreationHandle::Open(const char16_t* name,
                                                const platform::PrinterDefaultsW* defaults) {
  Close();
  if (platform::OpenPrinterW(name, &context_.creation_handle_, defaults) == 1) return true;
  context_.creation_handle_ = nullptr;
  return false;
}

platform::BOOL GDriverContext::ScopedCreationHandle::Close() {
  platform::HANDLE opened = context_.creation_handle_;
  context_.creation_handle_ = nullptr;
  return opened ? GStoredState::ClosePrinter(opened) : 1;
}

int GDriverContext::ClosePrinterHandle() {
  if (own_handle_) GStoredState::ClosePrinter(own_handle_);
  own_handle_ = nullptr;
  use_own_handle_ = 0;
  return 1;
}

void GDriverContext::UseOwnHandle(std::uint32_t flag) {
  if (flag != 1) {
    use_own_handle_ = 0;
  } else if (own_handle_) {
    use_own_handle_ = 1;
  }
}

int GDriverContext::EnsureWritablePrinterData() {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  const RWWString test(kWriteTestName);
  if (services->SetPrinterDataString(this, test, test)) return 1;
  if (own_handle_ || !OpenPrinterFullAccess()) return 0;
  UseOwnHandle(1);
  if (services->SetPrinterDataString(this, test, test)) return 1;
  UseOwnHandle(0);
  ClosePrinterHandle();
  return 0;
}

int GDriverContext::StoreDefaultDevMode() {
  GDevModeSettingsInterface* dev_mode = GetDevModeSettings();
  platform::HANDLE printer = GetPrinterHandle();
  if (!dev_mode || !printer || !dev_mode->GetDevMode()) return 0;
  platform::SetLastError(0);
  return GStoredState::SetStoredDefault(printer, dev_mode->GetDevMode()) == 1 ? 1 : 0;
}

GSheetRecord* GDriverContext::CreateSheetRecord() {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  // Deleted whole however its making ends, memory that runs out included.
  const auto drop = [this](GSheetRecord* made) { DeleteSheetRecord(made); };
  std::unique_ptr<GSheetRecord, decltype(drop)> record(new (kRWNoThrow) GSheetRecord, drop);
  if (!record) return nullptr;
  record->short_of_memory = short_of_memory;
  GOSFactory* services = GOSFactory::Instance();
  record->driver_data = static_cast<GUIDriverData*>(this);
  record->os_version = new (kRWNoThrow) GOSVersion;
  if (record->os_version && services) services->GetOSVersion(*record->os_version);
  record->settings = CreateDefaultSettings();
  if (GValueAttribute* status = FindValueAttribute(record->settings, kDeviceUpdateStatusKey)) {
    status->SetValue(GPortHandlerRegistry::Instance().CountHandlers(kPortFlagsOpenExFirst) != 0);
  }
  record->configuration = GetConfiguration();
  record->module = services ? services->GetModuleHandle() : nullptr;
  if (!record->os_version || !record->settings) return nullptr;
  return record.release();
}

void GDriverContext::DeleteSheetRecord(GSheetRecord* record) {
  if (!record) return;
  delete record->os_version;
  delete record->settings;
  delete record;
}

void GDriverContext::InitAppFlags() {
  RefreshHost();
}

int GDriverContext::RefreshHost() {
  char16_t path[kMaxModulePath];
  platform::DWORD length = platform::GetModuleFileNameW(nullptr, path, kMaxModulePath);
  // A cut name holds the units copied, short of the terminator.
  if (length >= kMaxModulePath) length = kMaxModulePath - 1;
  if (host_module_path_.Length() == length &&
      std::equal(path, path + length, host_module_path_.Data())) {
    return 0;
  }
  host_module_path_ = RWWString(path, length);
  GDriverContextBase::InitAppFlags();
  return 1;
}

std::uint32_t GDriverContext::UpdateFromDevice(std::uint32_t argument) {
  const std::uint32_t result = GDriverDataImp::UpdateFromDevice(argument);
  if (result != 0 || argument != 0) return result;
  if (!GetDefaultSettings()) SetDefaultSettings(BuildDefaultSettings());
  GAttributeComposite* defaults = GetDefaultSettings();
  GPluginSettingsUpdater updater = g_plugin_updater.load();
  if (!defaults || !updater) return 0;
  const int updated = updater(*this, *defaults);
  NoteModelChange();  // the updater edits the default settings in place
  return updated == 1 ? 1 : 0;
}

void GDriverContext::Retarget(const GPrinterKey& key) {
  // The paper list and the bins were made for the old printer and handle.
  if (key.GetPrinterHandle() != creation_handle_ || !(key.GetPrinterName() == GetPrinterName())) {
    papers_.stale = true;
    NoteModelChange();
  }
  GUIDriverData::Retarget(key);
  creation_handle_ = key.GetPrinterHandle();
  if (!(key.GetPrinterName() == GetPrinterName())) {
    SetPrinterName(key.GetPrinterName());
    // It was made for the other printer; the next bind makes one anew.
    DropDevModeSettings();
  }
  SetDriverName(key.GetDriverName());
  SetPortName(key.GetPortName());
  RefreshHost();
}

GPrinterKey* GDriverContext::CreatePrinterKey() {
  return new (kRWNoThrow)
      GPrinterKey(creation_handle_, GetPrinterName(), GetDriverName(), GetPortName(), 0);
}

std::uint32_t GDriverContext::RegisterExtension(const char* name, std::uint32_t mode) {
  ScopedOwnHandle own_handle(*this);
  if (IsRemotePrinter() == 0) EnsureWritablePrinterData();
  BindDevMode(nullptr);
  SetDefaultSettings(CreateDefaultSettings());
  GAttributeComposite* const made = GetDefaultSettings();
  GPartsAsRead read = PartsReadFor(made);
  const std::uint32_t result = RegisterWithManager(name, mode);
  // Defaults the registration put in place of those read were read from
  // nothing.
  if (GetDefaultSettings() != made) read = GPartsAsRead{};
  if (name && *name != '\0' && result == 0 && SaveReadSettings(GetDefaultSettings(), read))
    StoreDefaultDevMode();
  return result;
}

std::uint32_t GDriverContext::RegisterWithManager(const char* name, std::uint32_t mode) {
  return GDriverDataImp::RegisterExtension(name, mode);
}

int GDriverContext::ContextPaperIdToFormIndex(std::uint16_t id, std::uint16_t& number) {
  return SearchFormForPaperId(id, number, true);
}
