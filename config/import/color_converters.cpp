#include "config/import/color_converters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/keys/settings_keys.h"
#include "services/driver_data.h"

namespace {

using Holders = GTintvectorSubKey::Holders;

constexpr std::int32_t kSRGBSetting = 3;

constexpr GRGBColorRow kRGBColorRows[] = {
    {u"ImagesRGB", {0x6D, 0x6E, 0x6F}},
    {u"AdobeRGB", {0x70, 0x71, 0x72}},
    {u"None", {0x66, 0x69, 0x6C}},
    {u"CustomProfile", {0x73, 0x74, 0x75}},
};

constexpr GTintvectorSubKey kSubKeys[] = {
    {u"printing/KVTintvector/KVTintvector_Text_Halftone",
     kTintText,
     1,
     Holders::kBoth,
     {{u"Smooth", 0x2A}},
     0x29,
     {{u"Detail", 0x29}},
     u"Smooth"},
    {u"printing/KVTintvector/KVTintvector_Text_NeutralGrays",
     kTintText,
     0,
     Holders::kBoth,
     {{u"4-Color", 0x47}},
     0x46,
     {{u"BlackOnly", 0x46}},
     u"4-Color"},
    {u"printing/KVTintvector/KVTintvector_Graphics_Halftone",
     kTintGraphics,
     1,
     Holders::kBoth,
     {{u"Smooth", 0x34}},
     0x33,
     {{u"Detail", 0x33}},
     u"Smooth"},
    {u"printing/KVTintvector/KVTintvector_Graphics_NeutralGrays",
     kTintGraphics,
     0,
     Holders::kBoth,
     {{u"4-Color", 0x51}},
     0x50,
     {{u"BlackOnly", 0x50}},
     u"4-Color"},
    {u"printing/KVTintvector/KVTintvector_Photo_Halftone",
     kTintPhoto,
     1,
     Holders::kBoth,
     {{u"Smooth", 0x3E}},
     0x3D,
     {{u"Detail", 0x3D}},
     u"Smooth"},
    // Photos are the other way round: "4-Color" is the byte named.
    {u"printing/KVTintvector/KVTintvector_Photo_NeutralGrays",
     kTintPhoto,
     0,
     Holders::kBoth,
     {{u"BlackOnly", 0x5A}},
     0x5B,
     {{u"4-Color", 0x5B}},
     u"BlackOnly"},
    {u"printing/KVTintvector/KVTintvector_ColorOptions_RGBColor",
     kTintDocument,
     3,
     Holders::kEnhancedOnly,
     {{u"Device", 0x63}, {u"Vivid", 0x61}},
     0x62,
     {{u"Default-sRGB", 0x62}, {u"Device", 0x63}},
     u"Vivid"},
    {u"printing/KVTintvector/KVTintvector_Text_SRGBColor",
     kTintText,
     kSRGBSetting,
     Holders::kVer2Only,
     {{u"Default-sRGB", 0x64}, {u"Device", 0x66}},
     0x65,
     {{u"Default-sRGB", 0x64}, {u"Vivid", 0x65}},
     u"Device"},
    {u"printing/KVTintvector/KVTintvector_Graphics_SRGBColor",
     kTintGraphics,
     kSRGBSetting,
     Holders::kVer2Only,
     {{u"Default-sRGB", 0x67}, {u"Device", 0x69}},
     0x68,
     {{u"Default-sRGB", 0x67}, {u"Vivid", 0x68}},
     u"Device"},
    {u"printing/KVTintvector/KVTintvector_Photo_SRGBColor",
     kTintPhoto,
     kSRGBSetting,
     Holders::kVer2Only,
     {{u"Default-sRGB", 0x6A}, {u"Device", 0x6C}},
     0x6B,
     {{u"Default-sRGB", 0x6A}, {u"Vivid", 0x6B}},
     u"Device"},
    {u"printing/KVTintvector/KVTintvector_ColorOptions_EdgeControl",
     kTintDocument,
     2,
     Holders::kBoth,
     {{u"Maximum", 0x60}, {u"Off", 0x5D}, {u"Light", 0x5E}},
     0x5F,
     {{u"Maximum", 0x60}, {u"Off", 0x5D}, {u"Light", 0x5E}},
     u"Normal"},
};
constexpr std::size_t kSubKeyCount = std::size(kSubKeys);

// The colour adjustment of kColorMediaSettingsKey that the Tintvector key reads
// and writes: class 797, else 1201 (each class has its own byte accessors).
class Adjustment {
 public:
  explicit Adjustment(MPersistentObject* color_media) {
    if (color_media == nullptr) return;
    enhanced_ = dynamic_cast<GTintvectorEnhancedAttribute*>(
        color_media->FindByClassId(kGTintvectorEnhancedAttributeId));
    if (enhanced_ == nullptr) {
      ver2_ = dynamic_cast<GTintvectorEnhancedAttributeVer2*>(
          color_media->FindByClassId(kGTintvectorEnhancedAttributeVer2Id));
    }
  }
  MPersistentObject* Object() const {
    return enhanced_ != nullptr ? static_cast<MPersistentObject*>(enhanced_) : ver2_;
  }
  bool Holds(const GTintvectorSubKey& sub_key) const {
    switch (sub_key.holders) {
      case Holders::kBoth:
        return Object() != nullptr;
      case Holders::kEnhancedOnly:
        return enhanced_ != nullptr;
      case Holders::kVer2Only:
        return ver2_ != nullptr;
    }
    return false;
  }
  bool Get(const GTintvectorSubKey& sub_key, std::uint8_t& byte) const {
    return enhanced_ != nullptr ? enhanced_->GetSetting(sub_key.object, sub_key.setting, byte)
                                : ver2_->GetSetting(sub_key.object, sub_key.setting, byte);
  }
  bool Set(const GTintvectorSubKey& sub_key, std::uint8_t byte) {
    return enhanced_ != nullptr ? enhanced_->SetSetting(sub_key.object, sub_key.setting, byte)
                                : ver2_->SetSetting(sub_key.object, sub_key.setting, byte);
  }

 private:
  GTintvectorEnhancedAttribute* enhanced_ = nullptr;
  GTintvectorEnhancedAttributeVer2* ver2_ = nullptr;
};

std::uint8_t ByteOfWord(const GTintvectorSubKey& sub_key, const char16_t* word) {
  for (const GTintvectorWord& known : sub_key.read) {
    if (known.word != nullptr && WideStringsEqual(known.word, word) != 0) return known.byte;
  }
  return sub_key.other_byte;
}

const char16_t* WordOfByte(const GTintvectorSubKey& sub_key, std::uint8_t byte) {
  for (const GTintvectorWord& known : sub_key.written) {
    if (known.word != nullptr && known.byte == byte) return known.word;
  }
  return sub_key.other_word;
}

}  // namespace

// --- Grey printing.

GPrintColorAsGrayConverter::GPrintColorAsGrayConverter(GQCFLibrary* store)
    : GTableConverter(store, kPrintColorAsGrayDescriptor) {}

std::uint32_t GPrintColorAsGrayConverter::Apply(GAttributeComposite* root,
                                                GAttributeComposite* destination) {
  GApplyOutcome found;
  std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.attribute != nullptr && found.attribute->GetValue() == kGrayOn &&
      ApplyOnce<GPrintColorAsGrayOptionsConverter>(root, destination, FeatureStore()) != 0) {
    result = 1;
  }
  GOptionBuffer buffer;
  RecordLockWhenLocked(root, Binding().apply_key, Binding().attribute_key, buffer, true);
  return result;
}

std::uint32_t GPrintColorAsGrayConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* gray = LocateForExtract(root, Binding());
  if (gray == nullptr) return 0;
  std::uint32_t result = WriteFirstTaken(Binding().ExtractKey(), Binding().rows, gray->GetValue());
  if (ExtractOnce<GPrintColorAsGrayOptionsConverter>(root, FeatureStore()) != 0) result = 1;
  return result;
}

// --- RGB colour.

std::span<const GRGBColorRow> GRGBColorConverter::Rows() {
  return kRGBColorRows;
}

std::uint32_t GRGBColorConverter::Apply(GAttributeComposite* root,
                                        GAttributeComposite* destination) {
  MPersistentObject* color_media = FindPath(root, kColorMediaSettingsPath);
  if (color_media == nullptr) return 0;
  GOptionBuffer buffer;
  if (ReadWord(kKey, buffer) == 0) return 0;
  const GRGBColorRow* chosen = &kOtherBytes;
  for (const GRGBColorRow& row : kRGBColorRows) {
    if (WideStringsEqual(row.word, buffer.Data()) != 0) {
      chosen = &row;
      break;
    }
  }
  auto* adjustment = dynamic_cast<GTintvectorEnhancedAttributeVer2*>(
      color_media->FindByClassId(kGTintvectorEnhancedAttributeVer2Id));
  if (adjustment == nullptr) return 0;
  for (std::int32_t object = kTintText; object <= kTintPhoto; ++object) {
    if (!adjustment->SetSetting(object, kSRGBSetting, chosen->bytes[object])) return 0;
  }
  RecordCopy(destination, *adjustment);
  return 1;
}

std::uint32_t GRGBColorConverter::Extract(GAttributeComposite* root) {
  MPersistentObject* color_media = FindPath(root, kColorMediaSettingsPath);
  auto* adjustment = color_media != nullptr
                         ? dynamic_cast<GTintvectorEnhancedAttributeVer2*>(
                               color_media->FindByClassId(kGTintvectorEnhancedAttributeVer2Id))
                         : nullptr;
  std::uint8_t photo = 0;
  if (adjustment == nullptr || !adjustment->GetSetting(kTintPhoto, kSRGBSetting, photo)) return 0;
  const char16_t* word = kOtherWord;
  for (const GRGBColorRow& row : kRGBColorRows) {
    if (row.bytes[kTintPhoto] == photo) {
      word = row.word;
      break;
    }
  }
  WriteWord(kKey, word);
  return 1;
}

// --- Tintvector.

GTintvectorConverter::GTintvectorConverter(GQCFLibrary* store, GDriverData* driver_data)
    : GTableConverter(store, kTintvectorDescriptor), driver_data_(driver_data) {}

std::span<const GTintvectorSubKey> GTintvectorConverter::Rows() {
  return kSubKeys;
}

bool GTintvectorConverter::ReadSubKeys(GAttributeComposite* root,
                                       GAttributeComposite* destination) {
  Adjustment adjustment(FindPath(root, kColorMediaSettingsPath));
  if (adjustment.Object() == nullptr) return true;
  std::uint8_t bytes[kSubKeyCount] = {};
  for (std::size_t i = 0; i < kSubKeyCount; ++i) {
    if (adjustment.Holds(kSubKeys[i])) adjustment.Get(kSubKeys[i], bytes[i]);
  }
  // Every sub-key is asked, even after one failed; then nothing is stored.
  bool read = true;
  GOptionBuffer buffer(Binding().buffer_units);
  for (std::size_t i = 0; i < kSubKeyCount; ++i) {
    if (!adjustment.Holds(kSubKeys[i])) continue;
    if (ReadWord(kSubKeys[i].key, buffer) == 0) {
      read = false;
      continue;
    }
    bytes[i] = ByteOfWord(kSubKeys[i], buffer.Data());
  }
  if (!read) return false;
  for (std::size_t i = 0; i < kSubKeyCount; ++i) {
    if (adjustment.Holds(kSubKeys[i]) && !adjustment.Set(kSubKeys[i], bytes[i])) return false;
  }
  // Only a choice other than the driver's default is recorded.
  GAttributeComposite* job_settings =
      driver_data_ != nullptr ? driver_data_->GetJobSettings() : nullptr;
  MPersistentObject* standard =
      job_settings != nullptr ? job_settings->FindByKey(kColorAdjustmentKey) : nullptr;
  if (standard == nullptr || !adjustment.Object()->IsEqualContent(standard)) {
    RecordCopy(destination, *adjustment.Object());
  }
  return true;
}

std::uint32_t GTintvectorConverter::Apply(GAttributeComposite* root,
                                          GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* choice = Locate(root, Binding(), found);
  if (choice == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0 ||
      WideStringsEqual(buffer.Data(), kManualWord) == 0 || !ReadSubKeys(root, destination)) {
    return 0;
  }
  choice->SetValue(kManual);
  Record(destination, *choice, Binding().destination);
  return 1;
}

std::uint32_t GTintvectorConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* choice = LocateForExtract(root, Binding());
  if (choice == nullptr) return 0;
  if (choice->GetValue() != kManual) {
    WriteWord(Binding().ExtractKey(), kAutomaticWord);
    return 1;
  }
  WriteWord(Binding().ExtractKey(), kManualWord);
  const Adjustment adjustment(FindPath(root, kColorMediaSettingsPath));
  if (adjustment.Object() == nullptr) return 1;
  for (const GTintvectorSubKey& sub_key : kSubKeys) {
    std::uint8_t byte = 0;
    const bool held = adjustment.Holds(sub_key) && adjustment.Get(sub_key, byte);
    WriteWord(sub_key.key, held ? WordOfByte(sub_key, byte) : kMissingByteWord);
  }
  return 1;
}
