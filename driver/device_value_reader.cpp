// GDeviceValueReader: the value access, the exchange and its handlers.
#include "driver/device_value_reader.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "driver/plm_provider.h"
#include "driver/stored_state.h"
#include "persist/child_iterator.h"
#include "persist/string_conversion.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/driver_data.h"

namespace {

using platform::BYTE;
using platform::DWORD;

// Output bins that take names without the range 555-556.
constexpr std::uint16_t kFirstNamedBin = 4;
constexpr std::uint16_t kLastNamedBin = 19;
constexpr std::uint16_t kNamedBinPart = 2;
// Device kinds of the accessory matching.
constexpr std::uint32_t kMatchByNameWithin = 1;
constexpr std::uint32_t kMatchByName = 2;
constexpr std::uint32_t kMatchByTrays = 3;
// A device-memory binary: 1, the part code, and at least one byte more.
constexpr std::size_t kLeastMemoryBytes = 3;
// "MOPY_MODE" values that mean mopying; the held-job values.
constexpr std::uint32_t kMopyFirst = 3, kMopyLast = 5;
constexpr std::uint32_t kHeldJobsOff = 1, kHeldJobsOn = 2;
constexpr std::uint32_t kDiskInstalled = 3;
// Bytes per kilobyte of the memory values, as a shift.
constexpr int kKilobyteShift = 10;
constexpr std::uint32_t kMostMegabytes = 0x7FFF;
// Available host memory to the range's units.
constexpr float kAvailableMemoryScale = 9.5374344e-5f;
constexpr int kMaskBits = 32;

// A value name from an ASCII pattern with up to two indexes.
RWWString ValueName(const char* pattern, int first = 0, int second = 0) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, first, second);
  return RWWString::FromMultiByte(text);
}

bool IsTextPlaceholder(const RWCString& text) {
  return text.Length() == 1 && text[0] == ' ';
}

// The part a device-memory binary selects, or -1.
int PartOfMemory(const RWCString& memory) {
  if (memory.Length() < kLeastMemoryBytes || static_cast<BYTE>(memory[0]) != 1) return -1;
  switch (static_cast<BYTE>(memory[1])) {
    case 1:
      return 4;
    case 2:
      return 3;
    case 3:
      return 5;
    case 4:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

GDeviceValueReader::GDeviceValueReader(GPLMProvider* provider, const RWCString& narrow_name,
                                       GDriverData* driver_data, const RWWString& wide_name)
    : GNamedValueSource(reinterpret_cast<std::uintptr_t>(provider),
                        reinterpret_cast<std::uintptr_t>(driver_data), wide_name),
      narrow_name_(narrow_name) {
  if (driver_data) printer_name_ = driver_data->GetPrinterName();
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  if (platform::OpenPrinterW(printer_name_.Data(), &printer_, &all) != 1) printer_ = nullptr;
  // Its answer is not kept: a reader without its values still reads.
  WriteText(kAgentNameValue, kAgentNameText);
  WriteUpdateRequest(0);
  ReadText(kModelNameValue, model_name_);
}

GDeviceValueReader::~GDeviceValueReader() {
  if (printer_) GStoredState::ClosePrinter(printer_);
}

std::int32_t GDeviceValueReader::IsAvailable() const {
  return model_name_.IsNull() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Value access

bool GDeviceValueReader::Query(const RWWString& name, DWORD& type, std::vector<BYTE>& bytes) {
  if (!printer_) return false;
  DWORD needed = 0;
  DWORD status = GStoredState::GetPrinterData(printer_, name.Data(), &type, nullptr, 0, &needed);
  if (status != platform::kErrorSuccess && status != platform::kErrorMoreData) return false;
  if (needed > kMostValueBytes) return false;
  bytes.assign(needed, 0);
  if (needed == 0) return true;
  // A value that grew since is refused, never read in part.
  return GStoredState::GetPrinterData(printer_, name.Data(), &type, bytes.data(), needed,
                                      &needed) == platform::kErrorSuccess &&
         needed == bytes.size();
}

int GDeviceValueReader::ReadDword(const RWWString& name, std::uint32_t& value) {
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (!Query(name, type, bytes) || type != platform::kRegDword || bytes.size() != 4) return 0;
  value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  return 1;
}

int GDeviceValueReader::ReadDwordOrBinary(const RWWString& name, std::uint32_t& value) {
  if (ReadDword(name, value)) return 1;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (!Query(name, type, bytes) || type != platform::kRegBinary) return 0;
  BYTE first[4] = {};  // a shorter binary reads as if zero-filled
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
    first[i] = bytes[i];
  const int length = first[3] ? 4 : first[2] ? 3 : first[1] ? 2 : 1;
  value = 0;
  for (int i = 0; i < length; ++i)
    value = value << 8 | first[i];
  return 1;
}

int GDeviceValueReader::ReadText(const RWWString& name, RWCString& text) {
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (!Query(name, type, bytes) || type != platform::kRegSz) return 0;
  RWWString wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) break;
    wide += unit;
  }
  WideToNarrow(wide, text);
  return 1;
}

int GDeviceValueReader::ReadBinary(const RWWString& name, RWCString& out) {
  DWORD type = 0;
  std::vector<BYTE> bytes;
  if (!Query(name, type, bytes) || type != platform::kRegBinary) return 0;
  out = RWCString(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return 1;
}

int GDeviceValueReader::WriteDword(const RWWString& name, std::uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return printer_ && GStoredState::SetPrinterData(printer_, name.Data(), platform::kRegDword, bytes,
                                                  4) == platform::kErrorSuccess;
}

int GDeviceValueReader::WriteText(const RWWString& name, const RWWString& text) {
  std::vector<BYTE> bytes;
  for (RWSize i = 0; i < text.Length(); ++i) {
    bytes.push_back(static_cast<BYTE>(text[i]));
    bytes.push_back(static_cast<BYTE>(text[i] >> 8));
  }
  return printer_ &&
         GStoredState::SetPrinterData(printer_, name.Data(), platform::kRegSz, bytes.data(),
                                      static_cast<DWORD>(bytes.size())) == platform::kErrorSuccess;
}

int GDeviceValueReader::WriteBinary(const RWWString& name, const RWCString& bytes) {
  return printer_ && GStoredState::SetPrinterData(printer_, name.Data(), platform::kRegBinary,
                                                  reinterpret_cast<const BYTE*>(bytes.Data()),
                                                  static_cast<DWORD>(bytes.Length())) ==
                         platform::kErrorSuccess;
}

int GDeviceValueReader::WriteUpdateRequest(std::uint32_t value) {
  return WriteDword(kUpdateRequestValue, value);
}

// ---------------------------------------------------------------------------
// The exchange

std::uint32_t GDeviceValueReader::UpdateConfiguration(MPersistentObject* model,
                                                      std::uint32_t match) {
  model_ = model;
  match_ = match;
  MPersistentObject* printer = model ? model->FindByKey(kPrinterModelKey) : nullptr;
  std::uint32_t result = kDeviceValuesFailed;
  if (printer) {
    result = Dispatch(printer, 0);
    if (result == kDeviceValuesDone || result == kDeviceValuesNotHandled) {
      result = AskAgent();
      if (result == kDeviceValuesDone) result = Dispatch(printer, 1);
    }
  }
  model_ = nullptr;
  return result;
}

std::uint32_t GDeviceValueReader::AskAgent() {
  auto* provider = reinterpret_cast<GPLMProvider*>(SourceId());
  const bool asked =
      WriteUpdateRequest(1) && provider && provider->SendAgentCode6() && provider->SendAgentCode1();
  if (!asked) WriteUpdateRequest(0);
  if (provider) provider->Disconnect();
  return asked ? kDeviceValuesDone : kDeviceValuesNoAgent;
}

std::uint32_t GDeviceValueReader::Dispatch(MPersistentObject* child, int mode) {
  using Handler = std::uint32_t (GDeviceValueReader::*)(MPersistentObject*, int);
  static constexpr struct {
    std::uint32_t key;
    RWClassID class_id;
    Handler handle;
  } kHandlers[] = {
      {kPrinterModelKey, kGAttributeCompositeId, &GDeviceValueReader::HandlePrinterModel},
      {kPrinterMemoryKey, kGRangeAttributeId, &GDeviceValueReader::HandleAvailableMemory},
      {kDuplexUnitReportedKey, kGValueAttributeId, &GDeviceValueReader::HandleMediaPath},
      {kMemorySizeKey, kGValueAttributeId, &GDeviceValueReader::HandleMemorySize},
      {kPageFrameMemoryKey, kGValueAttributeId, &GDeviceValueReader::HandlePageFrameMemory},
      {kCollationAvailableKey, kGValueAttributeId, &GDeviceValueReader::HandleMopyMode},
      {kTray1CapacityKey, kGValueAttributeId, &GDeviceValueReader::HandleTray1Capacity},
      {kPaperHandlingKey, kGAttributeCompositeId, &GDeviceValueReader::HandleAccessories},
      {kUserMediaTypesKey, kGAttributeCompositeId, &GDeviceValueReader::HandleMediaNames},
      {kDiskCountKey, kGValueAttributeId, &GDeviceValueReader::HandleDisks},
      {kJobRetentionAvailableKey, kGValueAttributeId, &GDeviceValueReader::HandleHeldJobs},
      {kScannerKey, kGValueAttributeId, &GDeviceValueReader::HandleScanner},
      {kAccessoryOptionsKey, kGAttributeCompositeId, &GDeviceValueReader::HandleAccessoryOptions},
  };
  for (const auto& row : kHandlers) {
    if (child->Key() == row.key && child->ClassId() == row.class_id)
      return (this->*row.handle)(child, mode);
  }
  return kDeviceValuesNotHandled;
}

std::uint32_t GDeviceValueReader::HandleChildren(MPersistentObject* composite, int mode) {
  auto* children = dynamic_cast<GAttributeComposite*>(composite);
  std::uint32_t last_other = kDeviceValuesDone;
  bool done_one = false;
  for (RWSize i = 0; children && i < children->Children().Count(); ++i) {
    MPersistentObject* child = children->Children()[i].Get();
    if (!child) continue;
    const std::uint32_t result = Dispatch(child, mode);
    if (result == kDeviceValuesDone) {
      done_one = true;
    } else if (result != kDeviceValuesNotHandled) {
      last_other = result;
    }
  }
  if (last_other != kDeviceValuesDone) return last_other;
  return done_one ? kDeviceValuesDone : kDeviceValuesNotHandled;
}

bool GDeviceValueReader::IndexRange(std::uint32_t key, int& first, int& last) {
  auto* range = FindOfClass<GRangeAttribute>(model_, key);
  first = range ? range->GetMinimum() : 1;
  last = range ? range->GetMaximum() : 0;
  return range != nullptr;
}

bool GDeviceValueReader::ScalarPass(const char16_t* name, int mode, std::uint32_t& value) {
  if (mode == 0) {
    WriteDword(name, kDeviceValuePlaceholder);
    return false;
  }
  return ReadDword(name, value) == 1;
}

// ---------------------------------------------------------------------------
// The printer composite and its values

std::uint32_t GDeviceValueReader::HandlePrinterModel(MPersistentObject* child, int mode) {
  if (mode == 0) {
    WriteText(kModelNameValue, kDeviceTextPlaceholder);
    return HandleChildren(child, 0);
  }
  RWCString text;
  std::uint32_t result = kDeviceValuesFailed;
  if (ReadText(kModelNameValue, text) && !IsTextPlaceholder(text)) {
    result = kDeviceValuesDone;
    if (match_) {
      GAttributeComposite* names = FindComposite(child, kModelListKey);
      bool found = false;
      for (RWSize i = 0; names && i < names->Children().Count() && !found; ++i) {
        const auto* name = dynamic_cast<const GStringAttribute*>(names->Children()[i].Get());
        found = name && name->GetValue().Compare(text, RWCase::ignore) == 0;
      }
      if (!found) result = kDeviceValuesWrongModel;
    }
    if (result == kDeviceValuesDone) {
      if (GStringAttribute* name = FindStringAttribute(child, kModelNameKey)) name->SetValue(text);
      result = HandleChildren(child, 1);
      if (result == kDeviceValuesNotHandled) result = kDeviceValuesDone;
    }
  }
  SetValueIfPresent(child, kDeviceUpdateStatusKey, result != kDeviceValuesDone ? 1 : 2);
  return result;
}

std::uint32_t GDeviceValueReader::HandleAvailableMemory(MPersistentObject* child, int mode) {
  std::uint32_t value = 0;
  if (!ScalarPass(u"HOST-APPLICATION-AVAILABLE-MEMORY", mode, value) ||
      value == kDeviceValuePlaceholder) {
    return kDeviceValuesDone;
  }
  auto& range = static_cast<GRangeAttribute&>(*child);
  auto scaled = static_cast<std::int32_t>(static_cast<float>(value) * kAvailableMemoryScale);
  scaled = std::max<std::int32_t>(range.GetMinimum(),
                                  std::min<std::int32_t>(scaled, range.GetMaximum()));
  range.SetValue(static_cast<std::int16_t>(scaled));
  return kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::Megabytes(const char16_t* name, MPersistentObject* child,
                                            int mode) {
  std::uint32_t value = 0;
  if (!ScalarPass(name, mode, value)) return mode == 0 ? kDeviceValuesDone : kDeviceValuesFailed;
  if (value != kDeviceValuePlaceholder) {
    static_cast<GValueAttribute&>(*child).SetValue(
        static_cast<std::uint16_t>(std::min(value >> kKilobyteShift, kMostMegabytes)));
  }
  return kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::Flag(const char16_t* name, MPersistentObject* child, int mode,
                                       bool (*set)(std::uint32_t value)) {
  std::uint32_t value = 0;
  if (!ScalarPass(name, mode, value)) return mode == 0 ? kDeviceValuesDone : kDeviceValuesFailed;
  static_cast<GValueAttribute&>(*child).SetValue(set(value) ? 1 : 0);
  return kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::HandleMemorySize(MPersistentObject* child, int mode) {
  return Megabytes(u"hrMemorySize", child, mode);
}

std::uint32_t GDeviceValueReader::HandlePageFrameMemory(MPersistentObject* child, int mode) {
  return Megabytes(u"PAGE-FRAME-MEMORY-AVAILABLE", child, mode);
}

std::uint32_t GDeviceValueReader::HandleMediaPath(MPersistentObject* child, int mode) {
  return Flag(u"prtMediaPathType2", child, mode,
              [](std::uint32_t value) { return value != kDeviceValuePlaceholder; });
}

std::uint32_t GDeviceValueReader::HandleTray1Capacity(MPersistentObject* child, int mode) {
  return Flag(u"prtInputMaxCapacity1", child, mode,
              [](std::uint32_t value) { return value != kDeviceValuePlaceholder; });
}

std::uint32_t GDeviceValueReader::HandleMopyMode(MPersistentObject* child, int mode) {
  return Flag(u"MOPY_MODE", child, mode,
              [](std::uint32_t value) { return value >= kMopyFirst && value <= kMopyLast; });
}

std::uint32_t GDeviceValueReader::HandleHeldJobs(MPersistentObject* child, int mode) {
  std::uint32_t value = 0;
  if (ScalarPass(u"HELD-JOB-ENABLE", mode, value) &&
      (value == kHeldJobsOff || value == kHeldJobsOn)) {
    static_cast<GValueAttribute&>(*child).SetValue(value == kHeldJobsOn ? 1 : 0);
  }
  return kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::HandleDisks(MPersistentObject* child, int mode) {
  int first = 0, last = 0;
  IndexRange(kDiskRangeKey, first, last);
  auto& disks = static_cast<GValueAttribute&>(*child);
  if (mode == 1) disks.SetValue(0);
  bool failed = false;
  for (int i = first; i <= last; ++i) {
    const RWWString name = ValueName("hrDiskStorageMedia%d", i);
    std::uint32_t value = 0;
    if (mode == 0) {
      failed |= !WriteDword(name, kDeviceValuePlaceholder);
    } else if (ReadDword(name, value) && value == kDiskInstalled) {
      disks.SetValue(static_cast<std::uint16_t>(disks.GetValue() + 1));
    }
  }
  return failed ? kDeviceValuesFailed : kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::HandleScanner(MPersistentObject* child, int mode) {
  const RWWString name(u"NOT-READY-SOURCE-SCANNER");
  if (mode == 0)
    return WriteText(name, kDeviceTextPlaceholder) ? kDeviceValuesDone : kDeviceValuesFailed;
  RWCString text;
  if (!ReadText(name, text)) return kDeviceValuesFailed;
  static_cast<GValueAttribute&>(*child).SetValue(IsTextPlaceholder(text) ? 0 : 1);
  return kDeviceValuesDone;
}

// ---------------------------------------------------------------------------
// Accessories, trays and output bins

std::uint32_t GDeviceValueReader::HandleAccessories(MPersistentObject* child, int mode) {
  int first_accessory = 0, last_accessory = 0, first_tray = 0, last_tray = 0, first_bin = 0,
      last_bin = 0;
  IndexRange(kAccessoryRangeKey, first_accessory, last_accessory);
  IndexRange(kTrayRangeKey, first_tray, last_tray);
  IndexRange(kBinRangeKey, first_bin, last_bin);
  if (mode == 0) {
    bool written = true;
    for (int i = first_bin; i <= last_bin; ++i)
      written &= WriteText(ValueName("prtOutputName%d", i), kDeviceTextPlaceholder) == 1;
    for (int i = first_tray; i <= last_tray; ++i) {
      written &= WriteText(ValueName("prtInputModel%d", i), kDeviceTextPlaceholder) == 1;
      written &= WriteDword(ValueName("prtInputMaxCapacity%d", i), kDeviceValuePlaceholder) == 1;
    }
    for (int i = first_accessory; i <= last_accessory; ++i) {
      written &= WriteText(ValueName("PHD%d-MODEL", i), kDeviceTextPlaceholder) == 1;
      written &= WriteBinary(ValueName("PHD%d-DEVICE-MEMORY", i), RWCString()) == 1;
    }
    return written ? kDeviceValuesDone : kDeviceValuesFailed;
  }
  std::vector<Accessory> accessories;
  for (int i = first_accessory; i <= last_accessory; ++i) {
    Accessory accessory;
    if (!ReadText(ValueName("PHD%d-MODEL", i), accessory.model) ||
        IsTextPlaceholder(accessory.model))
      continue;
    if (!ReadBinary(ValueName("PHD%d-DEVICE-MEMORY", i), accessory.memory))
      accessory.memory = RWCString();
    accessories.push_back(accessory);
  }
  std::vector<GDeviceSlotEntry> slots;
  for (int i = first_tray; i <= last_tray; ++i) {
    std::uint32_t capacity = 0;
    if (!ReadDword(ValueName("prtInputMaxCapacity%d", i), capacity)) {
      slots.clear();
      break;
    }
    slots.push_back(
        {static_cast<std::uint32_t>(i), capacity == kDeviceValuePlaceholder ? 0 : capacity, 0});
  }
  auto& devices = static_cast<GAttributeComposite&>(*child);
  MatchAccessories(devices, accessories, slots);
  std::vector<RWCString> names;
  for (int i = first_bin; i <= last_bin; ++i) {
    RWCString name;
    if (ReadText(ValueName("prtOutputName%d", i), name) && !IsTextPlaceholder(name))
      names.push_back(name);
  }
  NameOutputBins(devices, names);
  return kDeviceValuesDone;
}

void GDeviceValueReader::MatchAccessories(GAttributeComposite& devices,
                                          const std::vector<Accessory>& accessories,
                                          const std::vector<GDeviceSlotEntry>& slots) {
  for (RWSize d = 0; d < devices.Children().Count(); ++d) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices.Children()[d].Get());
    if (!device || (!device->IsOptional() && device->GetPartCount() <= 1)) continue;
    RWCString name;
    device->GetName(name);
    bool matched = false;
    const Accessory* by = nullptr;
    if (device->GetMatchMode() == kMatchByTrays) {
      std::unique_ptr<MChildIterator> trays(device->NewChildIterator());
      matched = MatchTraysToDeviceValues(trays.get(), slots.data(),
                                         static_cast<std::uint16_t>(slots.size())) == 1;
    } else {
      for (const Accessory& accessory : accessories) {
        const bool hit = device->GetMatchMode() == kMatchByNameWithin
                             ? accessory.model.Find(name, 0, RWCase::ignore) != RW_NPOS
                         : device->GetMatchMode() == kMatchByName
                             ? accessory.model.Compare(name, RWCase::ignore) == 0
                             : false;
        if (hit) {
          matched = true;
          by = &accessory;
          break;
        }
      }
    }
    if (matched && by && device->IsSelectable() == 1) {
      const int part = PartOfMemory(by->memory);
      if (part >= 0) {
        const auto id = static_cast<std::uint16_t>(part);
        device->SetCurrentPartId(device->HasPart(id) ? id : 0);
      }
    }
    if (device->IsOptional()) device->SetInstalled(matched ? 1 : 0);
  }
}

void GDeviceValueReader::NameOutputBins(GAttributeComposite& devices,
                                        const std::vector<RWCString>& names) {
  auto* low = FindOfClass<GRangeAttribute>(model_, kLowBinRangeKey);
  auto* high = FindOfClass<GRangeAttribute>(model_, kHighBinRangeKey);
  const int first = low && high ? low->GetValue() : kFirstNamedBin;
  const int last = low && high ? high->GetValue() : kLastNamedBin;
  // The shown names are this update's when the printer reported any.
  GAttributeComposite* shown = FindComposite(model_, kAccessoryBinNamesKey);
  if (shown && !names.empty()) shown->RemoveAll();
  std::size_t next = 0;
  for (RWSize d = 0; d < devices.Children().Count() && next < names.size(); ++d) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices.Children()[d].Get());
    if (!device || !device->IsInstalled() || device->GetDeviceType() != kOutputDevice ||
        device->GetCurrentPartId() != kNamedBinPart) {
      continue;
    }
    std::unique_ptr<MChildIterator> bins(device->NewChildIterator());
    while (bins && bins->Next() && next < names.size()) {
      auto* bin = dynamic_cast<GBin*>(bins->Current());
      if (!bin || bin->GetId() < first || bin->GetId() > last) continue;
      bin->SetName(names[next]);
      if (shown) shown->AddChild(new GStringAttribute(names[next], 0));
      ++next;
    }
  }
}

// ---------------------------------------------------------------------------
// Media-type names and accessory options

std::uint32_t GDeviceValueReader::HandleMediaNames(MPersistentObject* child, int mode) {
  const RWWString count_name(u"MEDIA-NUMBER-OF-TYPE-SUPPORTED");
  const RWWString mask_name(u"Media-Names-Available");
  if (mode == 0) {
    WriteDword(count_name, kDeviceValuePlaceholder);
    WriteDword(mask_name, kDeviceValuePlaceholder);
    return kDeviceValuesDone;
  }
  std::uint32_t count = 0;
  if (!ReadDword(count_name, count)) return kDeviceValuesFailed;
  if (count == kDeviceValuePlaceholder) return kDeviceValuesDone;
  int first = 0, last = 0;
  IndexRange(kMediaTypeRangeKey, first, last);
  if (static_cast<std::int64_t>(count) < last) last = static_cast<int>(count);
  for (int i = first; i <= last; ++i)
    WriteText(ValueName("MEDIA%d-NAME", i), kDeviceTextPlaceholder);
  if (const std::uint32_t asked = AskAgent(); asked != kDeviceValuesDone) return asked;
  std::uint32_t mask = 0;
  if (!ReadDwordOrBinary(mask_name, mask)) return kDeviceValuesFailed;
  // The printer answered: its names replace the last update's.
  auto& list = static_cast<GAttributeComposite&>(*child);
  list.RemoveAll();
  for (int i = first; i <= last; ++i) {
    const bool wanted =
        mask == kDeviceValuePlaceholder || (i >= 1 && i <= kMaskBits && (mask >> (i - 1) & 1) != 0);
    RWCString name;
    if (wanted && ReadText(ValueName("MEDIA%d-NAME", i), name) && !IsTextPlaceholder(name))
      list.AddChild(new GStringAttribute(name, 0));
  }
  return kDeviceValuesDone;
}

std::uint32_t GDeviceValueReader::HandleAccessoryOptions(MPersistentObject* child, int mode) {
  int first = 0, last = 0;
  IndexRange(kAccessoryRangeKey, first, last);
  if (mode == 0) {
    bool written = true;
    for (int i = first; i <= last; ++i)
      written &= WriteDword(ValueName("PHD%d-NUMBER-OF-OPTIONS", i), kDeviceValuePlaceholder) == 1;
    return written ? kDeviceValuesDone : kDeviceValuesFailed;
  }
  std::vector<std::pair<int, std::uint32_t>> counts;  // accessory, options
  for (int i = first; i <= last; ++i) {
    std::uint32_t count = 0;
    if (!ReadDword(ValueName("PHD%d-NUMBER-OF-OPTIONS", i), count) ||
        count == kDeviceValuePlaceholder || count > kMostOptions) {
      continue;
    }
    counts.emplace_back(i, count);
    for (std::uint32_t option = 1; option <= count; ++option) {
      const int n = static_cast<int>(option);
      WriteText(ValueName("PHD%d-OPTION%d-DESCRIPTION", i, n), kDeviceTextPlaceholder);
      WriteText(ValueName("PHD%d-OPTION%d-OPTION_MODEL", i, n), kDeviceTextPlaceholder);
    }
  }
  if (const std::uint32_t asked = AskAgent(); asked != kDeviceValuesDone) return asked;
  std::vector<RWCString> models;
  for (const auto& [accessory, count] : counts) {
    for (std::uint32_t option = 1; option <= count; ++option) {
      RWCString text;
      if (!ReadText(ValueName("PHD%d-OPTION%d-OPTION_MODEL", accessory, static_cast<int>(option)),
                    text)) {
        return kDeviceValuesFailed;
      }
      if (!IsTextPlaceholder(text)) models.push_back(text);
    }
  }
  auto& options = static_cast<GAttributeComposite&>(*child);
  for (RWSize i = 0; i < options.Children().Count(); ++i) {
    MPersistentObject* entry = options.Children()[i].Get();
    GStringAttribute* name = FindStringAttribute(entry, kOptionNameKey);
    GValueAttribute* target = FindValueAttribute(entry, kOptionTargetKey);
    if (!name || !target) continue;
    for (const RWCString& model : models) {
      if (model.Compare(name->GetValue(), RWCase::ignore) != 0) continue;
      MPersistentObject* set = model_->FindByKey(target->GetValue());
      if (auto* value = dynamic_cast<GValueAttribute*>(set)) value->SetValue(1);
      if (auto* text = dynamic_cast<GStringAttribute*>(set)) text->SetValue(model);
      break;
    }
  }
  return kDeviceValuesDone;
}
