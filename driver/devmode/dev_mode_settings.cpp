#include "driver/devmode/dev_mode_settings.h"

#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "driver/driver_context_base.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "driver/spooler_forms.h"
#include "foundation/rw/support.h"

namespace {

// The default settings as a device mode carries them: without the parts the
// printer keeps apart (which do not fit the record's data area) and without
// custom sizes (the spooler's forms hold them).
GAttributeComposite* DevModeDefaults(GDriverDataImp& driver_data) {
  GAttributeComposite* settings = driver_data.BuildDefaultSettings();
  if (!settings) return nullptr;
  for (std::uint32_t key :
       {kUIObjectsKey, kExtensionCompositeKey, kKeyLocksKey, kInstalledOptionsKey}) {
    delete TakeDirectChild(*settings, key);
  }
  if (GAttributeComposite* sizes = FindComposite(settings, kCustomSizesKey)) sizes->RemoveAll();
  return settings;
}

}  // namespace

GDevModeSettings::GDevModeSettings(GDriverContextBase& owner, platform::HANDLE printer)
    : GDriverSettings(&owner), owner_(&owner) {
  if (!printer || !TakePrinterDevMode(printer)) MakeDefaultDevMode();
  if (!GetSettings()) ReplaceSettings(GetDriverData()->BuildDefaultSettings());
}

int GDevModeSettings::TakePrinterDevMode(platform::HANDLE printer) {
  if (!AcceptPrinterDevMode(printer)) return 0;
  // The spooler's copy is outside data: it is merged like an application's
  // record, into its own settings when they load and print, else into the
  // printer's defaults; when neither gives a record that prints, the
  // default record stands in.
  // Mended (docs/mended-behaviour.md): never a bare record the job query refuses.
  const std::vector<std::uint8_t> stored(Record(), Record() + kDmRecordSize);
  const auto* record = reinterpret_cast<const platform::DevModeW*>(stored.data());
  ReplaceSettings(nullptr);
  if (Merge(record, true, LoadAnyForm(record))) return 1;
  ReplaceSettings(DevModeDefaults(*GetDriverData()));
  if (Merge(record, true, nullptr)) return 1;
  MakeDefaultDevMode();
  SetSettings(nullptr);
  return 1;
}

GDevModeSettings::~GDevModeSettings() = default;

GDevModeSettingsInterface* GDevModeSettings::Make(GDriverContextBase& owner,
                                                  platform::HANDLE printer) {
  return new (kRWNoThrow) GDevModeSettings(owner, printer);
}

int GDevModeSettings::AttachDriverData(GDriverDataImp* driver_data) {
  GDriverSettings::AttachDriverData(driver_data);
  if (!(GetDeviceName() == driver_data->GetPrinterName()))
    StoreName(Record(), kDmDeviceName, driver_data->GetPrinterName());
  return 1;
}

int GDevModeSettings::AcceptPrinterDevMode(platform::HANDLE printer) {
  std::unique_ptr<platform::BYTE[]> block = ReadPrinterInfo2(printer);
  if (!block) return 0;
  const auto& info = *reinterpret_cast<const platform::PrinterInfo2W*>(block.get());
  if (info.data_type) emf_data_type_ = std::u16string_view(info.data_type) == kEmfDataType;
  const GDevModeView in(info.dev_mode);
  // Mended (docs/mended-behaviour.md): only a checked record of capacity 902.
  if (!in.HasPrivatePart() || in.U16(kDmSpecVersion) != kDmSpecVersionValue ||
      in.DriverExtra() != kDmDriverExtraValue ||
      in.PrivateU16(kDmFormatVersion) != kDmFormatVersionValue ||
      in.PrivateU16(kDmDataCapacity) != kDmDataCapacityValue) {
    return 0;
  }
  std::memcpy(Record(), in.Bytes(), kDmRecordSize);
  // What is taken is the public part, the context words and the data; the
  // header's other words are fixed, and a damaged one would make every
  // record built from this one refused by the conversion's check.
  // Mended (docs/mended-behaviour.md): a damaged header is repaired.
  StoreFixedPrivateHeader(Record(), GetDriverData()->GetDriverName());
  from_printer_ = 1;
  ApplyColorPolicy();
  return 1;
}

int GDevModeSettings::IsValidDevMode(const platform::DevModeW* record) {
  const GDevModeView in(record);
  if (in.U16(kDmSpecVersion) != kDmSpecVersionValue || in.Size() != kDmPublicSize ||
      in.DriverExtra() != kDmDriverExtraValue) {
    return 0;
  }
  const std::uint8_t* bytes = in.Bytes();
  return LoadU16(bytes, kDmTotalSize) == kDmRecordSize &&
                 LoadU16(bytes, kDmHeaderSize) == kDmPrivateHeaderSize &&
                 LoadU16(bytes, kDmFormatVersion) == kDmFormatVersionValue &&
                 LoadU16(bytes, kDmDataCapacity) == kDmDataCapacityValue
             ? 1
             : 0;
}

int GDevModeSettings::FindFormIndex(const RWWString& name, std::uint32_t angle, std::uint16_t x,
                                    std::uint16_t y, std::uint16_t& index, int flag) {
  const GFormList forms = owner_->EnumForms();
  for (std::uint32_t position = 0; position < forms.Count(); ++position) {
    if (FormName(forms[position]).Compare(name, RWCase::ignore) != 0) continue;
    const int result = owner_->IsFormAvailable(forms, position, x, y, angle, flag);
    if (result == 1) index = static_cast<std::uint16_t>(position + 1);
    return result;
  }
  return 0;
}

// Mended (docs/mended-behaviour.md): the base class knew no form name at all.
int GDevModeSettings::IsKnownFormName(const RWWString& name, std::uint32_t angle, std::uint16_t x,
                                      std::uint16_t y, int flag) {
  std::uint16_t index = 0;
  return FindFormIndex(name, angle, x, y, index, flag) == 1 ? 1 : 0;
}

int GDevModeSettings::FormNameToIndex(const RWWString& name, std::uint16_t& index, int flag) {
  const bool landscape =
      static_cast<std::int16_t>(LoadU16(Record(), kDmOrientation)) == kDmLandscape;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  ModelResolution(GetSettings(), x, y);
  return FindFormIndex(name, landscape ? 90 : 0, y, x, index, flag);
}

int GDevModeSettings::PublicFromSettings(GAttributeComposite* model, platform::DevModeW* record) {
  const int result = GDriverSettings::PublicFromSettings(model, record);
  if (result != 1) return result;
  std::uint8_t* out = DevModeBytes(record);
  bool named = false;
  std::uint16_t number = 0;
  GValueAttribute* code = FindValueAttribute(model, kPaperSizeKey);
  // Mended (docs/mended-behaviour.md): the custom size's number is also a
  // 256th form's; the custom size names no form.
  if (static_cast<std::int16_t>(LoadU16(out, kDmDefaultSource)) == kDmFormSource && code &&
      code->GetValue() != kCustomSizePaperId &&
      GetDriverData()->PaperIdToFormIndex(code->GetValue(), number)) {
    const GFormList forms = owner_->EnumForms();
    if (number >= 1 && number <= forms.Count()) {
      StoreName(out, kDmFormName, FormName(forms[number - 1u]));
      named = true;
    }
  }
  SetFieldBit(out, kDmFormNameBit, named);
  return 1;
}

int GDevModeSettings::SettingsFromPublic(const platform::DevModeW* record,
                                         GAttributeComposite* model) {
  const int result = GDriverSettings::SettingsFromPublic(record, model);
  if (result != 1) return result;
  const GDevModeView in(record);
  if (in.I16(kDmDefaultSource) != kDmFormSource ||
      !in.HasField(kDmFormNameBit, kDmFormName, 2 * kDmNameUnits)) {
    return 1;
  }
  std::uint16_t index = 0;
  std::uint16_t code = 0;
  if (!FormNameToIndex(in.Name(kDmFormName), index, FormTableCheck()) ||
      !GetDriverData()->FormIndexToPaperId(index, code)) {
    code = static_cast<std::uint16_t>(GetDriverData()->GetDefaultPaperId());
  }
  SetValueIfPresent(model, kPaperSizeKey, code);
  return 1;
}
