// GDriverContext: the printer events (DrvPrinterEvent and slots 53-59, the
// automatic configuration update of OnInitializePrinter) and the printer
// upgrade (DrvUpgradePrinter).
//
// Printer data written by OnInitializePrinter (REG_SZ through the
// services, without terminator): "LastUpdated" (the local date,
// "MM/ DD/ YYYY"), "LastUpdateType" ("Default", or "Auto" after a
// successful device update), "EACLastUpdate" (the date after that update;
// "ERROR" when it did not run and the mini-installer failed),
// "PrinterUUID" (a new id in its 36-character text form) and "Stale"
// ("FALSE", when the default settings hold kConfigRefreshKey = 1, before the
// configuration helper's update check runs on them).
//
// Mended: DrvUpgradePrinter answers TRUE on the path that rebuilt and
// merged the printer's settings when the save and the merge succeeded (the
// path answered FALSE although the work was done); OnInitializePrinter's
// result after its save is the save's result, not 1 whatever happened.
#include <cstdio>
#include <memory>

#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/qcf_update_check.h"
#include "driver/update_request.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "platform/host/threads.h"
#include "platform/host/uuid.h"

namespace {

using platform::BOOL;
using platform::DWORD;

// Printer events of the spooler.
constexpr int kEventAddConnection = 1;
constexpr int kEventDeleteConnection = 2;
constexpr int kEventInitialize = 3;
constexpr int kEventDelete = 4;
constexpr int kEventCacheRefresh = 5;
constexpr int kEventCacheDelete = 6;

// Keys read here.
constexpr int kUpdateSucceeded = 2;
constexpr int kUpdateNotRun = 0;
// The wait between closing and re-opening the printer at initialisation.
constexpr DWORD kSettleMilliseconds = 3000;
// The mass-storage sources that an upgrade enables again.
constexpr std::uint32_t kFirstUpgradedMsd = 6;
constexpr std::uint32_t kLastUpgradedMsd = 9;
constexpr DWORD kErrorInvalidParameter = 87;

// The local date as "MM/ DD/ YYYY"; empty when the services give no time.
RWWString DateText() {
  GOSFactory* services = GOSFactory::Instance();
  GTimeRecord local, shifted;
  std::int16_t bias = 0;
  if (!services || !services->GetTimes(local, shifted, bias)) return RWWString();
  char text[32];
  std::snprintf(text, sizeof text, "%2.2d%s%2.2d%s%4.4d", local.month, "/ ", local.day, "/ ",
                local.year);
  return RWWString::FromMultiByte(text);
}

}  // namespace

BOOL GDriverContext::DrvPrinterEvent(const char16_t* printer_name, int event, DWORD flags,
                                     platform::LPARAM lparam) {
  switch (event) {
    case kEventAddConnection:
      return OnAddConnection(printer_name, flags);
    case kEventDeleteConnection:
      return OnDeleteConnection(printer_name, flags);
    case kEventInitialize:
      return OnInitializePrinter(printer_name, flags);
    case kEventDelete:
      return OnDeletePrinter(printer_name, flags);
    case kEventCacheRefresh:
      return OnCacheRefresh(printer_name, flags);
    case kEventCacheDelete:
      return OnCacheDelete(printer_name, flags);
    default:
      return OnOtherPrinterEvent(printer_name, event, flags, lparam);
  }
}

BOOL GDriverContext::OnAddConnection(const char16_t* printer_name, DWORD) {
  FetchMassStorageFontFiles(printer_name ? RWWString(printer_name) : RWWString());
  return 1;
}

BOOL GDriverContext::OnDeleteConnection(const char16_t* printer_name, DWORD) {
  DeleteMassStorageFontFiles(printer_name ? RWWString(printer_name) : RWWString());
  return 1;
}

BOOL GDriverContext::OnDeletePrinter(const char16_t*, DWORD) {
  return 1;
}

BOOL GDriverContext::OnCacheRefresh(const char16_t* printer_name, DWORD flags) {
  return OnAddConnection(printer_name, flags);
}

BOOL GDriverContext::OnCacheDelete(const char16_t* printer_name, DWORD flags) {
  return OnDeleteConnection(printer_name, flags);
}

BOOL GDriverContext::OnOtherPrinterEvent(const char16_t*, int, DWORD, platform::LPARAM) {
  return 0;
}

BOOL GDriverContext::OnInitializePrinter(const char16_t* printer_name, DWORD) {
  GOSFactory* services = GOSFactory::Instance();
  const RWWString name = printer_name ? RWWString(printer_name) : GetPrinterName();
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ScopedCreationHandle handle(*this);
  const auto open = [&] { return handle.Open(name.Data(), &all); };
  const auto write = [&](const char16_t* value, const RWWString& text) {
    if (services) services->SetPrinterDataString(this, value, text);
  };
  if (!open()) return 0;
  CarryJobFontFile();
  BOOL result = 0;
  // What the settings read of the printer's parts, for the stores below:
  // made afresh (the ones this context held may be older than what is
  // stored), and forgotten if other defaults take their place.
  GPartsAsRead read;
  const GAttributeComposite* made = nullptr;
  const auto read_of = [&](GAttributeComposite* settings) -> GPartsAsRead& {
    if (settings != made) read = GPartsAsRead{};
    return read;
  };
  if (BindDevMode(nullptr) == 1) {
    SetDefaultSettings(CreateDefaultSettings());
    GAttributeComposite* defaults = GetDefaultSettings();
    read = PartsReadFor(made = defaults);
    AddDefaultWatermarks();
    if (GAttributeComposite* group = FindComposite(defaults, kColorMediaSettingsKey)) {
      std::unique_ptr<GMiniInstaller> installer;
      if (SignedValueOr(group, kRunMiniInstallerKey, 0) == 1 && services)
        installer.reset(services->NewMiniInstaller(name, creation_handle_, 0));
      if (SignedValueOr(group, kAskDeviceKey, 0) == 1) UpdateFromDevice(0);
      const RWWString date = DateText();
      write(u"LastUpdated", date);
      write(u"LastUpdateType", u"Default");
      MPersistentObject* model = FindDirectChild(GetJobSettings(), kPrinterModelKey);
      if (GValueAttribute* status = FindValueAttribute(model, kDeviceUpdateStatusKey)) {
        if (status->GetValue() == kUpdateSucceeded) {
          write(u"EACLastUpdate", date);
          write(u"LastUpdateType", u"Auto");
        } else if (status->GetValue() == kUpdateNotRun && installer && !installer->IsDone()) {
          write(u"EACLastUpdate", u"ERROR");
        }
      }
    }
    result = SaveReadSettings(GetDefaultSettings(), read_of(GetDefaultSettings())) ? 1 : 0;
    AddMediaForms();
  }
  platform::Uuid id;
  char16_t* text = nullptr;
  if (platform::UuidCreate(&id) == platform::kRpcSOk &&
      platform::UuidToStringW(&id, &text) == platform::kRpcSOk) {
    write(u"PrinterUUID", RWWString(text));
  }
  platform::RpcStringFreeW(&text);
  handle.Close();
  platform::Sleep(kSettleMilliseconds);
  if (!open()) return result;
  GAttributeComposite* defaults = GetDefaultSettings();
  if (defaults && SignedValueOr(defaults, kConfigRefreshKey, 0) == 1) {
    write(u"Stale", u"FALSE");
    GQCFUpdateCheck check(defaults, this);
    check.RunUpdateCheck(printer_name ? RWWString(printer_name) : RWWString(),
                         kUpdateCheckInitialise);
  }
  if (SaveReadSettings(defaults, read_of(defaults))) StoreDefaultDevMode();
  return result;
}

BOOL GDriverContext::DrvUpgradePrinter(DWORD level, platform::BYTE* info) {
  int upgraded = UpgradeObjectByKey(kInstalledOptionsKey) == 1 ? 1 : 0;
  if (upgraded) {
    // Two bits per source; a source the user switched off stays off.
    for (std::uint32_t index = kFirstUpgradedMsd; index <= kLastUpgradedMsd; ++index) {
      GMsdFontList faces(index, this);
      if ((GetMsdState(this, index) & kMsdStateDisabled) == 0)
        SetMsdState(this, index, kMsdStateEnabled);
    }
    const int watermarks = UpgradeObjectByKey(kKeyLocksKey);
    const int extension = UpgradeObjectByKey(kExtensionCompositeKey);
    if (!watermarks || !extension) upgraded = 0;
    UpgradeNamedObject("QuicksetPool");
  }
  const auto* record = reinterpret_cast<const platform::DriverUpgradeInfo1*>(info);
  if (level != 1 || !record) {
    platform::SetLastError(kErrorInvalidParameter);
    return 0;
  }
  const RWWString name = record->printer_name ? RWWString(record->printer_name) : GetPrinterName();
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ScopedCreationHandle handle(*this);
  if (!handle.Open(name.Data(), &all)) {
    platform::SetLastError(kErrorInvalidParameter);
    return 0;
  }
  RemakeDevModeSettings();
  GDevModeSettingsInterface* dev_mode = GetDevModeSettings();
  papers_.stale = true;
  BOOL result = 1;
  if (!(dev_mode && dev_mode->IsFromPrinter() == 1) && !upgraded) {
    std::unique_ptr<platform::BYTE[]> printer = ReadPrinterInfo2(creation_handle_);
    // Built, not read: a part stored whole stays.
    std::unique_ptr<GAttributeComposite> settings(BuildDefaultSettings());
    GPartsAsRead none;
    result = settings && SaveReadSettings(settings.get(), none) ? 1 : 0;
    settings.reset();
    const auto* stored = reinterpret_cast<const platform::PrinterInfo2W*>(printer.get());
    if (stored && stored->dev_mode &&
        !(dev_mode &&
          dev_mode->MergeDevMode(static_cast<const platform::DevModeW*>(stored->dev_mode))))
      result = 0;
  }
  return result;
}
