// GDriverSettings: merging, storing, copying, the compatibility test, the
// defaults, the colour and collate policies. The field mapping is in
// dev_mode_mapping.cpp, the checks and quality tables in
// dev_mode_validation.cpp.
#include "driver/devmode/driver_settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media_pool.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "persist/key_index.h"

namespace {

// Application flag: colour records are printed in monochrome.
constexpr std::uint32_t kMonochromeAppFlag = 0x80;
// Cached values (value kColorDeviceKey) of the colour rules.
constexpr std::int32_t kCachedMonochrome = 0;
constexpr std::int32_t kCachedColour = 1;
constexpr std::int32_t kCachedOther = 2;
// Records up to this dmSpecVersion and size have no collate field.
constexpr std::uint16_t kLastOldSpecVersion = 0x0309;
constexpr std::uint16_t kOldestPublicSize = 67;
// The default form and paper.
constexpr char16_t kLetterName[] = u"Letter";
constexpr std::int16_t kLetterPaper = 1;
constexpr std::int16_t kFullScale = 100;

// The ICM method of the default record for 350.
std::uint32_t DefaultIcmMethod(std::int32_t method) {
  return method >= 0 && method <= 3 ? static_cast<std::uint32_t>(method) + 1 : 1;
}

// The paper fields (the form name stands for a paper too).
constexpr std::uint32_t kDmPaperBits =
    kDmPaperSizeBit | kDmPaperLengthBit | kDmPaperWidthBit | kDmFormNameBit;
// Fields that the merge brings into range rather than leaving out.
constexpr std::uint32_t kDmRangedBits = kDmCopiesBit | kDmPaperWidthBit | kDmPaperLengthBit;

// A deep copy of `model` (null for null).
GAttributeComposite* CopyOf(GAttributeComposite* model) {
  std::unique_ptr<MPersistentObject> copy(model ? model->DeepCopy() : nullptr);
  auto* composite = dynamic_cast<GAttributeComposite*>(copy.get());
  if (composite) copy.release();
  return composite;
}

// The public part of a record as a merge takes it: at most its first 220
// bytes (dmSize cut to that, dmDriverExtra 0) without the fields `dropped`.
class PublicFields {
 public:
  // REQUIRES: as GDevModeView's.
  PublicFields(const platform::DevModeW* record, std::uint32_t dropped) {
    const GDevModeView in(record);
    const std::uint16_t size = std::min(in.Size(), kDmPublicSize);
    std::memcpy(bytes_, in.Bytes(), std::max<std::size_t>(size, kDmFields));
    StoreU16(bytes_, kDmSize, size);
    StoreU16(bytes_, kDmDriverExtra, 0);
    if (in.HasPublic(kDmFields, 4)) StoreU32(bytes_, kDmFields, in.Fields() & ~dropped);
  }
  const platform::DevModeW* Get() const {
    return reinterpret_cast<const platform::DevModeW*>(bytes_);
  }

 private:
  std::uint8_t bytes_[kDmPublicSize] = {};
};

}  // namespace

GAttributeComposite* GDriverSettings::JobSettings() {
  return held_job_settings_ ? held_job_settings_ : GetDriverData()->GetJobSettings();
}

int GDriverSettings::MergeDevMode(const platform::DevModeW* record) {
  if (!record) return 0;
  const bool ours = IsCompatiblePrivatePart(record) != 0;
  return Merge(record, ours, ours ? LoadAnyForm(record) : nullptr);
}

int GDriverSettings::Merge(const platform::DevModeW* record, bool ours,
                           GAttributeComposite* loaded) {
  std::unique_ptr<GAttributeComposite> own(loaded);
  // Held for this merge only (a nested one keeps the outer one's).
  GAttributeComposite* const outer_hold = held_job_settings_;
  held_job_settings_ = JobSettings();
  struct Release {
    GAttributeComposite*& held;
    GAttributeComposite* outer;
    ~Release() { held = outer; }
  } release{held_job_settings_, outer_hold};
  // Incoming fields the printer cannot print are not taken (copies and
  // custom sizes are brought into range instead).
  // Mended (docs/mended-behaviour.md): a merged record passes the job query.
  const PublicFields fields(record, Unprintable(record) & ~kDmRangedBits);
  std::array<std::uint8_t, kDmRecordSize> saved_record;
  std::memcpy(saved_record.data(), Record(), kDmRecordSize);
  const bool saved_as_read = IsModelAsRead();
  std::unique_ptr<GAttributeComposite> saved_model(ReleaseSettings());
  auto take_context = [&] {
    std::memcpy(Record(), saved_record.data(), saved_record.size());
    if (!ours) return;
    const GDevModeView in(record);
    SetContextValue(in.PrivateU32(kDmContextValue));
    SetContextWord(in.PrivateU16(kDmContextWord));
  };
  take_context();
  if (own) {
    // A model just read is asked for some forty settings by key before it
    // is stored again: indexed at once, not walked until the walks add up.
    key_index::BuildNow(*own);
    ReplaceSettings(own.release(), true);
    if (TakeFields(fields.Get())) return 1;
    // Its settings do not store, or a repair made another field fail: the
    // fields go into this object's settings instead.
    take_context();
  }
  // Without a model there is nothing the fields could go into. Mended
  // (docs/mended-behaviour.md): 0, the object as it was, when nothing stores.
  if (saved_model) {
    ReplaceSettings(CopyOf(saved_model.get()), saved_as_read);
    if (GetSettings() && TakeFields(fields.Get())) return 1;
  }
  std::memcpy(Record(), saved_record.data(), saved_record.size());
  ReplaceSettings(saved_model.release(), saved_as_read);
  return 0;
}

bool GDriverSettings::TakeFields(const platform::DevModeW* fields) {
  // Every write starts from the record as it is: a field that a later one
  // leaves alone keeps what it held, not what an earlier one wrote.
  std::uint8_t before[kDmPublicSize];
  std::memcpy(before, Record(), sizeof before);
  // (The merge restores the object when a write fails.)
  auto write = [&] {
    std::memcpy(Record(), before, sizeof before);
    return WriteRecord() == 1;
  };
  SettingsFromPublic(fields, GetSettings());
  if (!write()) return false;
  const std::uint32_t refused = Unprintable(GetDevMode());
  if (refused == 0) return true;
  // A field the printer cannot print takes the printer's default; where
  // that does not print either, it keeps what it was.
  // Mended (docs/mended-behaviour.md): no written field that does not print.
  const std::unique_ptr<GAttributeComposite> chosen(CopyOf(GetSettings()));
  TakeFieldsFrom(refused, FindComposite(JobSettings(), kDefaultSettingsKey), GetSettings());
  if (refused & kDmPaperBits) {
    SetValueIfPresent(GetSettings(), kPaperSizeKey,
                      static_cast<std::int32_t>(GetDriverData()->GetDefaultPaperId()));
  }
  if (!write()) return false;
  const std::uint32_t kept = Unprintable(GetDevMode()) & refused;
  if (kept) {
    TakeFieldsFrom(kept, chosen.get(), GetSettings());
    if (!write()) return false;
  }
  return (Unprintable(GetDevMode()) & ~kept) == 0;
}

std::uint32_t GDriverSettings::Unprintable(const platform::DevModeW* record) {
  std::uint32_t mask = 0;
  ValidatePublic(nullptr, record, 1, mask);
  return mask;
}

void GDriverSettings::TakeFieldsFrom(std::uint32_t fields, GAttributeComposite* source,
                                     GAttributeComposite* model) {
  // The attributes behind each field.
  static constexpr struct {
    std::uint32_t bits;
    std::uint32_t keys[4];
  } kFields[] = {
      {kDmOrientationBit, {kOrientationKey}},
      {kDmPaperBits, {kPaperSizeKey, kCustomWidthKey, kCustomHeightKey}},
      {kDmResolutionBits, {kXResolutionKey, kYResolutionKey, kResolutionModeKey, kQualityKey}},
      {kDmDefaultSourceBit, {kPaperSourceKey}},
      {kDmCopiesBit, {kCopiesKey}},
      {kDmColorBit, {kPrintColorAsGrayKey}},
      {kDmDuplexBit, {kDuplexKey}},
      {kDmCollateBit, {kCollateKey}},
  };
  for (const auto& field : kFields) {
    if (!(fields & field.bits)) continue;
    for (std::uint32_t key : field.keys) {
      if (GValueAttribute* value = key ? FindValueAttribute(source, key) : nullptr)
        SetValueIfPresent(model, key, value->GetValue());
    }
  }
  if (fields & (kDmDefaultSourceBit | kDmFormNameBit)) {
    GStringAttribute* form = FindStringAttribute(model, kMediaTypeKey);
    GStringAttribute* from = FindStringAttribute(source, kMediaTypeKey);
    if (form && from) form->SetValue(from->GetValue());
  }
}

int GDriverSettings::CopyFrom(const GDriverSettings& other) {
  const int result = SetPublicPart(reinterpret_cast<const platform::DevModeW*>(other.Record()));
  std::memcpy(Record() + kDmTotalSize, other.Record() + kDmTotalSize, kDmPrivatePrefix);
  const std::size_t capacity =
      std::min<std::size_t>(LoadU16(other.Record(), kDmDataCapacity), kDmDataCapacityValue);
  CopyPrivateData(Record() + kDmData, other.Record() + kDmData, capacity);
  return result;
}

int GDriverSettings::SetSettings(GAttributeComposite* model) {
  // Written on a copy (`model` may be the current model): a failure leaves the
  // object as it was, never new public fields over an old private part. Mended
  // (docs/mended-behaviour.md): the own model is copied before the old goes.
  GAttributeComposite* work = CopyOf(model ? model : GetSettings());
  if (!work) return 0;
  std::array<std::uint8_t, kDmRecordSize> saved_record;
  std::memcpy(saved_record.data(), Record(), kDmRecordSize);
  const bool as_read = IsModelAsRead();
  std::unique_ptr<GAttributeComposite> previous(ReleaseSettings());
  ReplaceSettings(work, as_read && (!model || model == previous.get()));
  const int written = WriteRecord();
  if (written == 1) return 1;
  std::memcpy(Record(), saved_record.data(), saved_record.size());
  ReplaceSettings(previous.release(), as_read);
  return written;
}

int GDriverSettings::WriteRecord() {
  GAttributeComposite* current = GetSettings();
  const int written = PublicFromSettings(current, GetDevMode());
  if (written != 1) return written;
  // The model takes back what its fields now say (a colour mode, a copy count
  // or a size the fields bring into range), so that the record, taken in
  // again, gives itself. Mended (docs/mended-behaviour.md): a merged record
  // merges into the same bytes.
  SettingsFromPublic(GetDevMode(), current);
  PublicFromSettings(current, GetDevMode());
  StoreU16(Record(), kDmFormatVersion, kDmFormatVersionValue);
  StoreU16(Record(), kDmFormatWord, kDmFormatWordValue);
  std::uint16_t stored = StoreSettings(current, GetDevMode());
  if (stored == 0) return 0;
  StoreU16(Record(), kDmDataLength, stored);
  // The model as the record gives it back, stored again: the flat record's
  // decoder orders a model by its template, not as it was built, and a
  // record must come back from a merge with the same bytes. (One that does
  // not read back stays as first stored.)
  if (Encoding() != 1 || IsModelAsRead()) return 1;
  GAttributeComposite* read = LoadSettings(GetDevMode(), kDmLoadCurrent);
  if (!read) return 1;
  ReplaceSettings(read, true);
  stored = StoreSettings(read, GetDevMode());
  if (stored == 0) return 0;
  StoreU16(Record(), kDmDataLength, stored);
  return 1;
}

int GDriverSettings::IsCompatiblePrivatePart(const platform::DevModeW* record) {
  const GDevModeView in(record);
  if (!in.HasPrivatePart() || !SameDriverName(in.Bytes(), Record())) return 0;
  if (Encoding() == 1) return 1;
  for (std::size_t offset :
       {kDmTotalSize, kDmHeaderSize, kDmFormatVersion, kDmFormatWord, kDmDataCapacity}) {
    if (in.PrivateU16(offset) != LoadU16(Record(), offset)) return 0;
  }
  return 1;
}

void GDriverSettings::ApplyColorPolicy() {
  if (!(GetDriverData()->GetAppFlags() & kMonochromeAppFlag) ||
      static_cast<std::int16_t>(LoadU16(Record(), kDmColor)) != kDmColour) {
    return;
  }
  const std::int32_t cached = GetDriverData()->GetCachedValue();
  if (cached != kCachedMonochrome && cached != kCachedOther) return;
  StoreU16(Record(), kDmColor, kDmMonochrome);
  SetFieldBit(Record(), kDmColorBit, true);
}

int GDriverSettings::NormalizeCollate() {
  std::uint8_t* record = Record();
  const std::uint16_t version = LoadU16(record, kDmSpecVersion);
  const std::uint16_t size = LoadU16(record, kDmSize);
  if (version <= kLastOldSpecVersion || size <= kOldestPublicSize) return 1;
  if (size < kDmPublicSize || (version != kDmSpecVersion400 && version != kDmSpecVersionValue))
    return 1;
  if (SignedValueOr(JobSettings(), kCollationAvailableKey, 0) != 0) {
    const std::uint16_t collate = LoadU16(record, kDmCollate);
    if (!(LoadU32(record, kDmFields) & kDmCollateBit)) {
      SetFieldBit(record, kDmCollateBit, true);
      StoreU16(record, kDmCollate, 1);
    } else if (collate > 1) {
      StoreU16(record, kDmCollate, 1);
    }
  } else {
    SetFieldBit(record, kDmCollateBit, false);
    StoreU16(record, kDmCollate, 0);
  }
  return 1;
}

int GDriverSettings::IsSameDevMode(const platform::DevModeW* record) {
  const GDevModeView in(record);
  return !in.IsNull() && in.Size() == LoadU16(Record(), kDmSize) &&
                 in.DriverExtra() == LoadU16(Record(), kDmDriverExtra) &&
                 std::memcmp(in.Bytes(), Record(), in.Length()) == 0
             ? 1
             : 0;
}

void GDriverSettings::MakeDefaultDevMode() {
  std::uint8_t* record = Record();
  StoreName(record, kDmDeviceName, GetDriverData()->GetPrinterName());
  StoreU16(record, kDmSpecVersion, kDmSpecVersionValue);
  StoreU16(record, kDmDriverVersion, kDmDriverVersionValue);
  StoreU16(record, kDmSize, kDmPublicSize);
  StoreU16(record, kDmDriverExtra, kDmDriverExtraValue);
  StoreU32(record, kDmFields, 0);
  StoreU16(record, kDmPaperSize, kLetterPaper);
  StoreU16(record, kDmPaperLength, 0);
  StoreU16(record, kDmPaperWidth, 0);
  StoreName(record, kDmFormName, RWWString(kLetterName));
  SetFieldBit(record, kDmFormNameBit, true);
  StoreU16(record, kDmCollate, 0);
  StoreU16(record, kDmScale, static_cast<std::uint16_t>(kFullScale));
  // The TrueType option, log pixels and every field from bits per pel to
  // the panning height.
  StoreU16(record, kDmTTOption, 0);
  std::memset(record + kDmLogPixels, 0, kDmPublicSize - kDmLogPixels);
  GAttributeComposite* job = JobSettings();
  if (SignedValueOr(job, kIcmKey, 0) == 1) {
    if (GValueAttribute* method = FindValueAttribute(job, kIcmMethodKey)) {
      StoreU32(record, kDmICMMethod,
               DefaultIcmMethod(static_cast<std::int16_t>(method->GetValue())));
      SetFieldBit(record, kDmICMMethodBit, true);
    }
    if (GValueAttribute* intent = FindValueAttribute(job, kIcmIntentKey)) {
      const std::uint32_t field = IcmIntentField(static_cast<std::int16_t>(intent->GetValue()));
      StoreU32(record, kDmICMIntent, field ? field : 2);
      SetFieldBit(record, kDmICMIntentBit, true);
    }
  }
  const bool colour = SignedValueOr(job, kColorPossibleKey, 0) == 0 ||
                      GetDriverData()->GetCachedValue() == kCachedColour;
  StoreU16(record, kDmColor, static_cast<std::uint16_t>(colour ? kDmColour : kDmMonochrome));
  SetFieldBit(record, kDmColorBit, colour);
  StoreU16(record, kDmDuplex, static_cast<std::uint16_t>(kDmSimplex));
  SetFieldBit(record, kDmDuplexBit, true);

  StoreFixedPrivateHeader(record, GetDriverData()->GetDriverName());
  StoreU32(record, kDmContextValue, 0);
  StoreU16(record, kDmContextWord, 0);
  record[kDmData] = 0;
  ApplyColorPolicy();
}

void GDriverSettings::CustomSizeLimits(std::uint16_t x, std::uint16_t y, std::int32_t& low_width,
                                       std::int32_t& low_length, std::int32_t& high_width,
                                       std::int32_t& high_length) {
  low_width = low_length = 0;
  high_width = high_length = kLargestMediaLength;
  GMediaPool* media = GetDriverData()->GetMediaList();
  if (!media) return;
  const auto tenths = &DotsToTenths;
  if (GMedia* low = media->FindByPaperSizeId(kSmallestCustomSizeId, 0, x, y)) {
    low_width = tenths(low->GetPaperSize().width, x);
    low_length = tenths(low->GetPaperSize().height, y);
  }
  if (GMedia* high = media->FindByPaperSizeId(kLargestCustomSizeId, 0, x, y)) {
    high_width = tenths(high->GetPaperSize().width, x);
    high_length = tenths(high->GetPaperSize().height, y);
  }
}
