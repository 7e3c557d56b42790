// GDriverContext: the capability queries (DrvDeviceCapabilities and slots
// 20-42) and the print-job query (DevQueryPrintEx).
//
// Mended: list queries called without an output (the spooler's first call,
// which sizes its buffer) only count and write nothing; DevQueryPrintEx
// loads its reason into a buffer of at most kMostReasonUnits units, however
// large the caller says its own buffer is.
//
// Kept answers: the paper list, and the bin answers past the form-to-tray
// database (asked every time, as a user edits it in place), stay with the
// context while the printer's change stamp (its data, record and forms)
// and the driver data's model changes stay those they were made with; so
// the installed options are applied once, not on every bin query. The
// paper list used to follow only the bound record: a form added since
// (by another program, or this context's AddCustomForm) stayed out of it.
//
// Readings taken: an extent whose medium is missing answers 0, like an
// overflow; DC_ORIENTATION reads kOrientationKey of the bound device mode's
// settings; the "blank" of a tray's name stays in front of the map entry's
// string when the tray has no text of its own.
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "config/attributes/copies_range.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_parts.h"
#include "driver/device_capabilities.h"
#include "driver/devmode/dev_mode_record.h"
#include "driver/devmode/driver_settings.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/resource_string_loader.h"
#include "persist/resource_mapping.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"

namespace {

using platform::DWORD;
using platform::WORD;

// Paper-size ids of the smallest and largest custom sizes.
constexpr std::uint16_t kMinExtentId = 17385;
constexpr std::uint16_t kMaxExtentId = 17384;
constexpr int kTenthsPerInch = 254;
// The application flag that refuses resolution lists of square entries.
constexpr std::uint32_t kNoSquareResolutionsFlag = 0x20000000;
constexpr std::int32_t kExtentOverflow = 65535;
constexpr std::uint32_t kMicrometresPerTenth = 100;

template <class T>
void PutAt(void* output, std::size_t index, T value) {
  std::memcpy(static_cast<unsigned char*>(output) + index * sizeof(T), &value, sizeof(T));
}

// Copies at most `units` of `text` into the slot at `index` of `output`,
// zero-filled behind; a text that fills the slot has no terminator.
void PutName(void* output, std::size_t index, int units, const char16_t* text, std::size_t length) {
  char16_t slot[kPaperNameUnits] = {};
  std::copy_n(text, std::min<std::size_t>(length, static_cast<std::size_t>(units)), slot);
  std::memcpy(static_cast<unsigned char*>(output) + index * units * sizeof(char16_t), slot,
              units * sizeof(char16_t));
}

void PutName(void* output, std::size_t index, int units, const RWWString& text) {
  PutName(output, index, units, text.Data(), text.Length());
}

// The walks of the bin queries: the answer's bytes, grown entry by entry
// (names or numbers), and the resource library the names come from.
struct BinWalk {
  std::vector<unsigned char>* answer;
  bool names;
  platform::HMODULE library;
};

// Entry `index` of the answer (`bytes` each), which grows to hold it.
void* Entry(BinWalk& walk, std::uint32_t index, std::size_t bytes) {
  const std::size_t end = (std::size_t{index} + 1) * bytes;
  if (walk.answer->size() < end) walk.answer->resize(end);
  return walk.answer->data() + end - bytes;
}

constexpr std::size_t kBinNameBytes = kBinNameUnits * sizeof(char16_t);

int ReportTray(GTray* tray, GResourceMapping* entry, std::uint32_t index, void* buffer,
               std::uint32_t& reported) {
  auto* walk = static_cast<BinWalk*>(buffer);
  reported = 1;
  if (!walk->names) {
    PutAt<WORD>(Entry(*walk, index, sizeof(WORD)), 0, entry ? entry->SystemNumber() : 0);
    return 1;
  }
  void* slot = Entry(*walk, index, kBinNameBytes);
  RWWString text;
  const GDisplayString& shown = tray->GetDisplayString();
  GResourceStringLoader(walk->library)
      .LoadText(text, shown.GetStringId(), shown.GetText(), shown.GetModuleName());
  if (text.IsNull() && entry) text = LoadFormName(walk->library, entry->StringResourceId());
  if (text.IsNull()) {
    PutName(slot, 0, kBinNameUnits, u"", 0);
    return 1;
  }
  const RWWString name = RWWString(u" ") + text;
  PutName(slot, 0, kBinNameUnits, name);
  return 1;
}

int ReportResourceName(GResourceMapping* mapping, const RWWString* name, std::uint32_t index,
                       void* buffer, std::uint32_t& reported) {
  auto* walk = static_cast<BinWalk*>(buffer);
  reported = 1;
  if (!walk->names) {
    PutAt<WORD>(Entry(*walk, index, sizeof(WORD)), 0, mapping->SystemNumber());
    return 1;
  }
  RWWString text = LoadFormName(walk->library, mapping->StringResourceId());
  if (text.IsNull() && name) text = *name;
  PutName(Entry(*walk, index, kBinNameBytes), 0, kBinNameUnits, text);
  return 1;
}

// Copies a kept answer out in pieces of at most 2 KB: some processors copy
// a long block by string moves many times slower when the caller's buffer
// lies just above the answer modulo 4 KB, and the caller chooses the
// buffer; pieces this size are copied by vector moves at any alignment.
void CopyOut(void* output, const void* answer, std::size_t bytes) {
  constexpr std::size_t kPiece = 2048;
  auto* to = static_cast<unsigned char*>(output);
  const auto* from = static_cast<const unsigned char*>(answer);
  for (std::size_t at = 0; at < bytes; at += kPiece)
    std::memcpy(to + at, from + at, std::min(kPiece, bytes - at));
}

}  // namespace

std::uint32_t DeviceQueryReasonId(std::uint32_t mask) {
  switch (mask) {
    case kDmPaperSizeBit:
    case kDmPaperLengthBit:
    case kDmPaperWidthBit:
    case kDmPaperLengthBit | kDmPaperWidthBit:
    case kDmFormNameBit:
      return 12003;
    case kDmDefaultSourceBit:
      return 12004;
    case kDmPrintQualityBit:
    case kDmYResolutionBit:
    case kDmPrintQualityBit | kDmYResolutionBit:
      return 12002;
    case kDmDuplexBit:
      return 12005;
    case kDmCollateBit:
      return 12006;
    default:
      return 12001;
  }
}

GAttributeComposite* GDriverContext::CurrentDefaultSettings() {
  // Defaults held across calls are read again once the printer changed:
  // checked against installed options from before the user's last OK, a
  // record the printer takes was called unprintable.
  const std::uint64_t stamp = platform::GetPrinterChangeStamp(GetPrinterHandle());
  if (!GetDefaultSettings() || (GetStateFlags() & kStateRebuildDefaults) || stamp == 0 ||
      stamp != defaults_stamp_) {
    SetDefaultSettings(CreateDefaultSettings());
    defaults_stamp_ = stamp;
  }
  return GetDefaultSettings();
}

std::int32_t GDriverContext::BindDevMode(const platform::DevModeW* dev_mode) {
  GDevModeSettingsInterface* before = GetDevModeSettings();
  // Taken out while the bind runs: a bind within it finds none to reuse.
  std::vector<platform::BYTE> bytes = std::move(bound_before_);
  bytes.clear();
  if (before && before->GetDevMode()) {
    const GDevModeView view(before->GetDevMode());
    bytes.assign(view.Bytes(), view.Bytes() + view.Length());
  }
  const std::int32_t bound = GDriverContextBase::BindDevMode(dev_mode);
  GDevModeSettingsInterface* after = GetDevModeSettings();
  if (!after || after != before || !after->GetDevMode()) {
    papers_.stale = true;
  } else {
    const GDevModeView view(after->GetDevMode());
    if (view.Length() != bytes.size() || !std::equal(bytes.begin(), bytes.end(), view.Bytes())) {
      papers_.stale = true;
    }
  }
  bound_before_ = std::move(bytes);
  return bound;
}

DWORD GDriverContext::DrvDeviceCapabilities(platform::HANDLE, const char16_t*, WORD capability,
                                            void* output, const platform::DevModeW* dev_mode) {
  if (BindDevMode(dev_mode) != 1) return kCapabilityFailed;
  switch (capability) {
    case kDcFields:
      return CapFields();
    case kDcPapers:
      return CapPapers(output);
    case kDcPaperSize:
      return CapPaperSize(output);
    case kDcMinExtent:
      return CapMinExtent();
    case kDcMaxExtent:
      return CapMaxExtent();
    case kDcBins:
      return CapBins(output);
    case kDcDuplex:
      return CapDuplex();
    case kDcSize:
      return CapSize();
    case kDcExtra:
      return CapExtra();
    case kDcVersion:
      return CapVersion();
    case kDcDriver:
      return CapDriver();
    case kDcBinNames:
      return CapBinNames(output);
    case kDcEnumResolutions:
      return CapEnumResolutions(output);
    case kDcFileDependencies:
      return CapFileDependencies(output);
    case kDcTrueType:
      return CapTrueType();
    case kDcPaperNames:
      return CapPaperNames(output);
    case kDcOrientation:
      return CapOrientation();
    case kDcCopies:
      return CapCopies();
    case kDcCollate:
      return CapCollate();
    case kDcColorDevice:
      return CapColorDevice();
    case kDcHelpQuery:
      return CapHelpRecord(output);
    default:
      return CapOther(capability, output);
  }
}

// ---------------------------------------------------------------------------
// The fixed fields of the bound record

namespace {

// A u16 of the public part of `context`'s bound record (its own buffer,
// always a whole record), or 0 without one.
std::uint16_t RecordWord(GDevModeSettingsInterface* dev_mode, std::size_t offset) {
  const platform::DevModeW* record = dev_mode ? dev_mode->GetDevMode() : nullptr;
  return record ? LoadU16(reinterpret_cast<const std::uint8_t*>(record), offset) : 0;
}

}  // namespace

DWORD GDriverContext::CapFields() {
  return RecordWord(GetDevModeSettings(), kDmFields) |
         static_cast<DWORD>(RecordWord(GetDevModeSettings(), kDmFields + 2)) << 16;
}

DWORD GDriverContext::CapSize() {
  return RecordWord(GetDevModeSettings(), kDmSize);
}

DWORD GDriverContext::CapExtra() {
  if (GetAppFlags() & kPublicDevModeFlags) return 0;
  return RecordWord(GetDevModeSettings(), kDmDriverExtra);
}

DWORD GDriverContext::CapVersion() {
  return RecordWord(GetDevModeSettings(), kDmSpecVersion);
}

DWORD GDriverContext::CapDriver() {
  return RecordWord(GetDevModeSettings(), kDmDriverVersion);
}

// ---------------------------------------------------------------------------
// Yes/no answers and single values

DWORD GDriverContext::CapDuplex() {
  auto* options = FindComposite(EnsureDefaultSettings(), kInstalledOptionsKey);
  return SignedValueOr(options, kDuplexUnitKey, 0) != 0 ||
                 SignedValueOr(options, kManualDuplexKey, 0) != 0
             ? 1
             : 0;
}

DWORD GDriverContext::CapCollate() {
  return SignedValueOr(GetJobSettings(), kCollationUnitKey, 0) == 1 ? 1 : 0;
}

DWORD GDriverContext::CapColorDevice() {
  return SignedValueOr(GetJobSettings(), kColorDeviceKey, 0) == 1 ? 1 : 0;
}

DWORD GDriverContext::CapCopies() {
  const GCopiesRange copies = GCopiesRange::Of(GetJobSettings());
  // A printer without a range reports no copies capability: 0.
  return copies.Exists() ? static_cast<DWORD>(static_cast<std::int32_t>(copies.Maximum())) : 0;
}

DWORD GDriverContext::CapOrientation() {
  GDevModeSettingsInterface* dev_mode = GetDevModeSettings();
  GValueAttribute* rotation =
      FindValueAttribute(dev_mode ? dev_mode->GetSettings() : nullptr, kOrientationKey);
  if (!rotation) return 0;
  return rotation->GetValue() == 270 || rotation->GetValue() == 180 ? 270 : 90;
}

DWORD GDriverContext::CapTrueType() {
  return kTrueTypeDownload;
}

DWORD GDriverContext::CapFileDependencies(void* output) {
  if (output) PutAt<char16_t>(output, 0, 0);
  return 0;
}

DWORD GDriverContext::CapOther(WORD, void*) {
  return kCapabilityFailed;
}

DWORD GDriverContext::CapHelpRecord(void* output) {
  if (!output) return kHelpRecordSize;
  auto* bytes = static_cast<unsigned char*>(output);
  bytes[0] = static_cast<unsigned char>(kHelpRecordMarker);
  bytes[1] = static_cast<unsigned char>(kHelpRecordMarker >> 8);
  for (std::size_t i = 0; i < std::size(kHelpTexts); ++i)
    std::memcpy(bytes + 2 + i * kHelpFieldBytes, kHelpTexts[i], std::strlen(kHelpTexts[i]) + 1);
  return kHelpRecordSize;
}

// ---------------------------------------------------------------------------
// Extents and resolutions

namespace {

DWORD Extent(GDriverContext& context, std::uint16_t id) {
  GDevModeSettingsInterface* dev_mode = context.GetDevModeSettings();
  GMediaPool* pool = context.GetSymmetricMediaPool();
  GMedia* medium = pool && dev_mode ? pool->FindByPaperSizeId(id, 0, dev_mode->GetXResolution(),
                                                              dev_mode->GetYResolution())
                                    : nullptr;
  if (!medium) return 0;
  const std::int32_t width = static_cast<std::uint16_t>(
      platform::MulDiv(medium->GetPaperSize().width, kTenthsPerInch, medium->GetXResolution()));
  const std::int32_t height = static_cast<std::uint16_t>(
      platform::MulDiv(medium->GetPaperSize().height, kTenthsPerInch, medium->GetYResolution()));
  if (width == kExtentOverflow || height == kExtentOverflow) return 0;
  return static_cast<DWORD>(width) | static_cast<DWORD>(height) << 16;
}

}  // namespace

DWORD GDriverContext::CapMinExtent() {
  return Extent(*this, kMinExtentId);
}

DWORD GDriverContext::CapMaxExtent() {
  return Extent(*this, kMaxExtentId);
}

DWORD GDriverContext::CapEnumResolutions(void* output) {
  GAttributeComposite* list = GetResolutionList();
  if (!list) return kCapabilityFailed;
  std::int32_t last_x = 0, last_y = 0;
  DWORD count = 0;
  for (RWSize i = 0; i < list->Children().Count(); ++i) {
    MPersistentObject* entry = list->Children()[i].Get();
    std::int32_t x = 0, y = 0;
    if (GValueAttribute* both = FindValueAttribute(entry, kQualityKey)) {
      if (GetAppFlags() & kNoSquareResolutionsFlag) return kCapabilityFailed;
      x = y = both->GetValue();
    } else {
      x = SignedValueOr(entry, kXResolutionKey, 0);
      y = SignedValueOr(entry, kYResolutionKey, 0);
    }
    if (x == last_x && y == last_y) continue;
    last_x = x;
    last_y = y;
    if (output) {
      PutAt<std::int32_t>(output, 2 * count, x);
      PutAt<std::int32_t>(output, 2 * count + 1, y);
    }
    ++count;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Bins

DWORD GDriverContext::BinList(void* output, bool names) {
  platform::HMODULE library = nullptr;
  if (names) {
    library = platform::LoadLibraryW(GetSupportFilePath().Data());
    if (!library) return kCapabilityFailed;
  }
  std::unique_ptr<void, void (*)(void*)> release(library, [](void* module) {
    if (module) platform::FreeLibrary(static_cast<platform::HMODULE>(module));
  });
  GAttributeComposite* defaults = CurrentDefaultSettings();
  auto* database = FindOfClass<GFormToTrayDatabase>(defaults, kFormToTrayKey);
  if (database && GFormToTrayLinks(*database).HasNonDefaultAssociation()) {
    if (output && names) PutName(output, 0, kBinNameUnits, kFormSourceName, 11);
    if (output && !names) PutAt<WORD>(output, 0, kFormSourceBin);
    return 1;
  }
  KeptBins& kept = bins_[names ? 1 : 0];
  const std::uint64_t stamp = platform::GetPrinterChangeStamp(GetPrinterHandle());
  if (!kept.held || stamp == 0 || kept.printer_stamp != stamp ||
      kept.model_changes != GetModelChanges()) {
    kept = KeptBins{};
    ApplyInstalledOptions(nullptr);
    BinWalk walk{&kept.answer, names, library};
    std::uint32_t index = 0;
    EnumTrays(&ReportTray, &walk, 1, index);
    auto* options = FindComposite(defaults, kInstalledOptionsKey);
    if (SignedValueOr(options, kBinsWithResourcesKey, 0) == 1)
      EnumResourceNames(&ReportResourceName, &walk, 1, index);
    kept.count = index;
    kept.held = true;
    kept.printer_stamp = stamp;
    kept.model_changes = GetModelChanges();  // the options just applied included
  }
  if (kept.count == 0) return kCapabilityFailed;
  if (output) CopyOut(output, kept.answer.data(), kept.answer.size());
  return kept.count;
}

DWORD GDriverContext::CapBins(void* output) {
  return BinList(output, false);
}

DWORD GDriverContext::CapBinNames(void* output) {
  return BinList(output, true);
}

// ---------------------------------------------------------------------------
// The paper list

void GDriverContext::BuildPaperList() {
  papers_ = PaperList{};
  papers_.stale = false;
  GDevModeSettingsInterface* dev_mode = GetDevModeSettings();
  const platform::DevModeW* record = dev_mode ? dev_mode->GetDevMode() : nullptr;
  const std::uint16_t x = dev_mode ? dev_mode->GetXResolution() : 0;
  const std::uint16_t y = dev_mode ? dev_mode->GetYResolution() : 0;
  const std::uint32_t orientation =
      record && DevModeOrientation(record) == kDevModePortrait ? 0 : 90;
  GAttributeComposite* defaults = EnsureDefaultSettings();
  const int check = SignedValueOr(defaults, kScaleFromLargePaperKey, 0) == 0 ? 1 : 0;
  const auto add = [this](const char16_t* name, std::size_t length, WORD number, std::int32_t width,
                          std::int32_t height) {
    const std::size_t at = papers_.names.size();
    papers_.names.resize(at + kPaperNameUnits, 0);
    std::copy_n(name, std::min<std::size_t>(length, kPaperNameUnits), papers_.names.begin() + at);
    papers_.numbers.push_back(number);
    papers_.sizes.push_back(width);
    papers_.sizes.push_back(height);
  };
  {
    GFormList forms = EnumForms();
    for (std::uint32_t i = 0; i < forms.Count(); ++i) {
      if (!IsFormAvailable(forms, i, x, y, orientation, check)) continue;
      const platform::FormInfo1W& form = forms[i];
      const char16_t* name = form.name ? form.name : u"";
      std::size_t length = 0;
      while (length < kPaperNameUnits && name[length])
        ++length;
      add(name, length, static_cast<WORD>(i + 1), form.size.cx / kMicrometresPerTenth,
          form.size.cy / kMicrometresPerTenth);
    }
  }
  const RWWString user = LoadSupportString(kUserSizeNameId);
  GValueAttribute* width = FindValueAttribute(defaults, kCustomWidthKey);
  GValueAttribute* height = FindValueAttribute(defaults, kCustomHeightKey);
  const bool both = width && height;
  add(user.Data(), user.Length(), kUserSizePaperNumber, both ? width->GetValue() : 0,
      both ? height->GetValue() : 0);
}

DWORD GDriverContext::GetPaperList(char16_t* names, WORD* numbers, std::int32_t* sizes) {
  const std::uint64_t stamp = platform::GetPrinterChangeStamp(GetPrinterHandle());
  if (papers_.stale || stamp == 0 || papers_.printer_stamp != stamp ||
      papers_.model_changes != GetModelChanges()) {
    BuildPaperList();
    papers_.printer_stamp = stamp;
    papers_.model_changes = GetModelChanges();
  }
  const std::size_t count = papers_.numbers.size();
  if (count == 0) return kCapabilityFailed;
  if (names) CopyOut(names, papers_.names.data(), papers_.names.size() * sizeof(char16_t));
  if (numbers) CopyOut(numbers, papers_.numbers.data(), count * sizeof(WORD));
  if (sizes) CopyOut(sizes, papers_.sizes.data(), papers_.sizes.size() * sizeof(std::int32_t));
  return static_cast<DWORD>(count);
}

DWORD GDriverContext::CapPaperNames(void* output) {
  return GetPaperList(static_cast<char16_t*>(output), nullptr, nullptr);
}

DWORD GDriverContext::CapPapers(void* output) {
  return GetPaperList(nullptr, static_cast<WORD*>(output), nullptr);
}

DWORD GDriverContext::CapPaperSize(void* output) {
  return GetPaperList(nullptr, nullptr, static_cast<std::int32_t*>(output));
}

// ---------------------------------------------------------------------------
// The print-job query

platform::BOOL GDriverContext::DevQueryPrintEx(platform::DevQueryPrintInfo* info) {
  if (!info || info->size != kDevQueryRecordSize || info->level != kDevQueryLevel ||
      !info->printer) {
    return 0;
  }
  if (!info->dev_mode) return 1;
  if (BindDevMode(nullptr) != 1) return 0;
  if (!CurrentDefaultSettings()) return 0;
  ApplyInstalledOptions(nullptr);
  auto* settings = dynamic_cast<GDriverSettings*>(GetDevModeSettings());
  if (!settings) return 0;
  std::uint32_t mask = 0;
  if (settings->ValidatePublic(nullptr, info->dev_mode, 0, mask)) return 1;
  platform::HMODULE library = platform::LoadLibraryW(GetSupportFilePath().Data());
  if (!library) return 0;
  // The reason's buffer: the caller's count (top bit cleared) but at
  // least, and now also at most, kMostReasonUnits.
  char16_t reason[kMostReasonUnits + 1] = {};
  const int length =
      platform::LoadStringW(library, DeviceQueryReasonId(mask), reason, kMostReasonUnits);
  platform::FreeLibrary(library);
  if (length > 0) {
    // The caller's count is taken as bytes: half of it in characters.
    const DWORD room = info->error_text ? info->error_text_size / 2 : 0;
    if (room > 0) {
      const DWORD copied = std::min<DWORD>(room, static_cast<DWORD>(length) + 1);
      std::copy_n(reason, copied, info->error_text);
      info->error_text[copied - 1] = 0;
    }
    info->error_text_needed = static_cast<DWORD>(length) + 1;
  } else if (info->error_text && info->error_text_size >= 2) {
    info->error_text[0] = 0;
    info->error_text_needed = 2;
  }
  return 0;
}
