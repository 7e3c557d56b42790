#include "config/import/paper_converters.h"

#include <string_view>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/paper_devices.h"
#include "config/keys/settings_keys.h"
#include "services/driver_data.h"

namespace {

constexpr std::uint32_t kApplyDirection = 0;
constexpr std::uint32_t kExtractDirection = 1;

// "PrinterSelect" is answered before the table is searched, so its row
// only names the automatic tray's own name.
constexpr GTrayRow kTrayRows[] = {
    {"Auto Select", u"PrinterSelect"},
    {"Envelope Feeder", u"EnvFeed"},
    {"Manual Feed", u"ManualFeed"},
    {"Tray 1", u"Tray1"},
    {"Tray 2", u"Tray2"},
    {"Tray2_500", u"Tray2_500"},
    {"Tray 3", u"Tray3"},
    {"Tray3_500", u"Tray3_500"},
    {"Tray3_250", u"Tray3_250"},
    {"Tray3_1500", u"Tray3_1500"},
    {"Tray4_500", u"Tray4_500"},
    {"Tray4_1500", u"Tray4_1500"},
    {"Tray4_2000", u"Tray4_2000"},
    {"Tray 4", u"Tray4"},
    {"Tray 5", u"Tray5"},
    {"Tray 6", u"Tray6"},
    {"Tray 7", u"Tray7"},
    {"Tray 8", u"Tray8"},
    {"Tray 9", u"Tray9"},
    {"Tray 10", u"Tray10"},
    {"Tray 11", u"Tray11"},
    {"Tray 12", u"Tray12"},
};

// Names that stand twice export their first word unless the store refuses
// it; "LIGHT" and "HEAVY_GLOSSY" stand twice with the same name.
constexpr GMediaRow kMediaRows[] = {
    {"", u"AUTO"},
    {"Plain", u"PLAIN"},
    {"PremIJBright", u"KV_PREM_INKJET_BRIGHT"},
    {"PremIJPaper", u"KV_PREM_INKJET_PAPER"},
    {"PremIJHeavy", u"KV_PREM_INKJET_HEAVY_WEIGHT_PAPER"},
    {"PremIJTrans", u"KV_PREM_TRANSPARENCY"},
    {"PremIJPhoto", u"KV_PREM_PHOTO_PAPER"},
    {"IJPhoto", u"KV_PHOTO_PAPER"},
    {"BrochGloss", u"KV_PROFESSIONAL_BROCHURE_GLOSSY"},
    {"BrochMatte", u"KV_PROFESSIONAL_BROCHURE_MATTE"},
    {"PremPLTrans", u"KV_PREM_PLUS_TRANSPARENCY"},
    {"Preprinted", u"PREPRINTED"},
    {"Letterhead", u"LETTERHEAD"},
    {"Transparency", u"TRANSPARENCY"},
    {"Prepunched", u"PREPUNCHED"},
    {"Labels", u"LABELS"},
    {"Bond", u"BOND"},
    {"Recycled", u"RECYCLED"},
    {"Color", u"COLOR"},
    {"Card Stock", u"CARDSTOCK_GP"},
    {"Card Stock", u"CARDSTOCK"},
    {"Rough", u"ROUGH"},
    {"Heavy", u"HEAVY_GP"},
    {"Light", u"LIGHT_GP"},
    {"Gloss", u"GLOSS"},
    {"Heavy", u"HEAVY"},
    {"Light", u"LIGHT"},
    {"Heavy Gloss", u"HEAVY_GLOSSY"},
    {"NKV Heavy Gloss", u"NON_KV_HEAVY_GLOSSY"},
    {"Heavy Gloss", u"HEAVY_GLOSSY_GP"},
    {"Gloss Film", u"GLOSSY_FILM"},
    {"Type28lb1", u"28_LB_TYPE1"},
    {"Type28lb2", u"28_LB_TYPE2"},
    {"Envelope", u"ENVELOPE"},
    {"Gloss", u"GLOSSY(75_105GM2)"},
    {"Light", u"LIGHT"},
    {"Heavy Gloss", u"HEAVY_GLOSSY"},
    {"PPLPhotGlos", u"KV_PREMIUM_PLUS_PHOTO_PAPER_GLOSSY"},
    {"PPLPhotMatte", u"KV_PREMIUM_PLUS_PHOTO_PAPER_MATTE"},
    {"ClrFastPhotoGloss", u"KV_COLORFAST_PHOTO_PAPER_GLOSSY"},
    {"PhotoSemiGloss", u"KV_PHOTO_QUALITY_PAPER_SEMI_GLOSS"},
    {"PhotoMatte", u"KV_PHOTO_QUALITY_PAPER_MATTE"},
    {"PhotoGloss", u"KV_PHOTO_PAPER_GLOSSY"},
    {"PremPhotoGloss", u"KV_PREMIUM_PHOTO_PAPER_GLOSSY"},
    {"EDPhotoSemiGloss", u"KV_EVERYDAY_PHOTO_PAPER_SEMI_GLOSS"},
    {"EDPhotoMatte", u"KV_EVERYDAY_PHOTO_PAPER_MATTE"},
    {"PremIJPaper", u"KV_PREMIUM_PAPER"},
    {"Extra Heavy", u"EXTRA_HEAVY"},
    {"Intermediate", u"INTERMEDIATE"},
    {"High Gloss Images", u"HIGH_GLOSS"},
    {"Vellum", u"VELLUM"},
    {"Tab", u"TAB"},
    {"Extra Heavy Gloss", u"EXTRA_HEAVY_GLOSSY"},
    {"Custom", u"CUSTOM"},
};

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string_view View(const RWCString& text) {
  return std::string_view(text.Data(), text.Length());
}

// The selector's descriptor; an unknown selector takes the plain key.
const GFeatureBinding& Selected(const GFeatureBinding (&descriptors)[kSelectorCount],
                                std::uint16_t selector) {
  return descriptors[selector < kSelectorCount ? selector : kPlainSelector];
}

// Sets the value attribute `key` below `root` to `value` and records a copy.
void SetAndRecord(MPersistentObject* root, std::uint32_t key, std::uint16_t value,
                  GAttributeComposite* destination) {
  if (GValueAttribute* attribute = FindValueAttribute(root, key)) {
    attribute->SetValue(value);
    GSettingConverter::RecordCopy(destination, *attribute);
  }
}

// The same for a text.
void SetAndRecord(MPersistentObject* root, std::uint32_t key, const char* text,
                  GAttributeComposite* destination) {
  if (GStringAttribute* attribute = FindStringAttribute(root, key)) {
    attribute->SetValue(text);
    GSettingConverter::RecordCopy(destination, *attribute);
  }
}

// Whether the first page is the same as the rest (kDifferentFirstPageKey found
// at 0).
bool SameFirstPage(MPersistentObject* root, std::uint32_t key) {
  GValueAttribute* different = FindValueAttribute(root, key);
  return different != nullptr && different->GetValue() == 0;
}

}  // namespace

// --- Paper size.

GPaperSizeConverter::GPaperSizeConverter(GQCFLibrary* store, GDriverData* driver_data,
                                         std::uint16_t selector)
    : GTableConverter(store, Selected(kPaperSizeDescriptors, selector)),
      driver_data_(driver_data) {}

std::uint32_t GPaperSizeConverter::Apply(GAttributeComposite* root,
                                         GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* size = Locate(root, Binding(), found);
  if (size == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  const GOptionRow* row = MatchWord(Binding().rows, buffer.Data());
  if (row == nullptr) return 0;
  std::uint16_t code = row->code;
  // Only a media the driver data names is asked for its paper code: the
  // media id stays 0 otherwise, and media 0 would give every size its code.
  std::uint16_t media_id = 0;
  std::uint16_t media_code = 0;
  if (driver_data_ != nullptr && driver_data_->GetMediaIdOfPaperCode(code, media_id) != 0 &&
      driver_data_->GetPaperCodeOfMedia(media_id, media_code) != 0) {
    code = media_code;
  }
  size->SetValue(code);
  RecordCopy(destination, *size);
  if (destination != nullptr) destination->AddChild(RWNew<GValueAttribute>(0, kPaperSizeMarkerKey));
  // The fit-to-size target follows the paper size while fitting is off.
  GValueAttribute* fit = FindValueAttribute(found.group, kFitToOtherSizeKey);
  GValueAttribute* target = FindValueAttribute(found.group, kTargetPaperSizeKey);
  if (fit != nullptr && fit->GetValue() == 0 && target != nullptr) target->SetValue(code);
  return 1;
}

std::uint32_t GPaperSizeConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* size = LocateForExtract(root, Binding());
  if (size == nullptr) return 0;
  std::uint16_t code = size->GetValue();
  if (code > kLastStandardCode && driver_data_ != nullptr) {
    code = driver_data_->MapCustomPaperCode(root, code);
  }
  const GOptionRow* row = RowOfCode(Binding().rows, code);
  if (row == nullptr) return 0;
  WriteWord(Binding().ExtractKey(), row->word);
  return 1;
}

// --- Input bin.

GInputBinConverter::GInputBinConverter(GQCFLibrary* store, GDriverData* driver_data,
                                       std::uint16_t selector)
    : GTableConverter(store, Selected(kInputBinDescriptors, selector)),
      selector_(selector),
      driver_data_(driver_data) {}

std::span<const GTrayRow> GInputBinConverter::Rows() {
  return kTrayRows;
}

bool GInputBinConverter::NamesTray(const RWCString& tray_name, const char* row_name) {
  const std::string_view tray = View(tray_name);
  const std::string_view row(row_name != nullptr ? row_name : "");
  if (row.empty()) return tray.empty();
  // "Tray 1" inside "Tray 10" is another tray's name.
  for (std::size_t at = tray.find(row); at != std::string_view::npos; at = tray.find(row, at + 1)) {
    const std::size_t end = at + row.size();
    if ((at == 0 || !IsLetterOrDigit(tray[at - 1])) &&
        (end == tray.size() || !IsLetterOrDigit(tray[end]))) {
      return true;
    }
  }
  return false;
}

std::uint16_t GInputBinConverter::TrayIdOfWord(const char16_t* word) const {
  if (WideStringsEqual(word, kAutomaticWord) != 0) return kAutomaticTray;
  for (const GTrayRow& row : kTrayRows) {
    if (WideStringsEqual(row.word, word) == 0) continue;
    const GTray* tray = FindInstalledTray(
        driver_data_, [&](const GTray& each) { return NamesTray(each.GetName(), row.tray_name); });
    return tray != nullptr ? tray->GetId() : kAutomaticTray;
  }
  return kAutomaticTray;
}

const char16_t* GInputBinConverter::WordOfTrayId(std::uint16_t id) const {
  if (id == kAutomaticTray) return kAutomaticWord;
  const GTray* tray =
      FindInstalledTray(driver_data_, [&](const GTray& each) { return each.GetId() == id; });
  if (tray == nullptr) return kAutomaticWord;
  // The row of the tray's whole name first, so that a word applied and
  // extracted again stays the same.
  for (const GTrayRow& row : kTrayRows) {
    if (View(tray->GetName()) == row.tray_name) return row.word;
  }
  for (const GTrayRow& row : kTrayRows) {
    if (NamesTray(tray->GetName(), row.tray_name)) return row.word;
  }
  return kAutomaticWord;
}

std::uint32_t GInputBinConverter::Apply(GAttributeComposite* root,
                                        GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* tray = Locate(root, Binding(), found);
  if (tray == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  const std::uint16_t id = TrayIdOfWord(buffer.Data());
  tray->SetValue(id);
  RecordCopy(destination, *tray);
  // The rest of the document, the back cover and the finishing trays take
  // the same tray while the first page is the same.
  if (selector_ == kPlainSelector && SameFirstPage(root, kDifferentFirstPageKey) &&
      FindValueAttribute(root, kOtherPagesSourceKey) != nullptr) {
    SetAndRecord(root, kOtherPagesSourceKey, id, destination);
    for (std::uint32_t key : kFollowingTrayKeys)
      SetAndRecord(root, key, id, destination);
  }
  RecordLockWhenLocked(root, Binding().apply_key, kPaperSourceKey, buffer);
  return 1;
}

std::uint32_t GInputBinConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* tray = LocateForExtract(root, Binding());
  if (tray == nullptr) return 0;
  WriteWord(Binding().ExtractKey(), WordOfTrayId(tray->GetValue()));
  return 1;
}

// --- Media type.

GMediaTypeConverter::GMediaTypeConverter(GQCFLibrary* store, std::uint16_t selector)
    : GTableConverter(store, Selected(kMediaTypeDescriptors, selector)), selector_(selector) {}

std::span<const GMediaRow> GMediaTypeConverter::Rows() {
  return kMediaRows;
}

bool GMediaTypeConverter::OfferToHelper(std::uint32_t direction) {
  return FeatureStore() != nullptr &&
         FeatureStore()->CallHelper(Binding().attribute_key, this, direction, 0) != 0;
}

std::uint32_t GMediaTypeConverter::Apply(GAttributeComposite* root,
                                         GAttributeComposite* destination) {
  if (OfferToHelper(kApplyDirection)) return 1;
  GStringAttribute* media = FindStringAttribute(root, Binding().attribute_key);
  if (media == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  for (const GMediaRow& row : kMediaRows) {
    if (WideStringsEqual(row.word, buffer.Data()) == 0) continue;
    media->SetValue(row.media_name);
    // One entry per key: an entry recorded earlier takes the new name.
    if (GStringAttribute* recorded = FindStringAttribute(destination, Binding().attribute_key)) {
      recorded->SetValue(row.media_name);
    } else {
      RecordCopy(destination, *media);
    }
    if (selector_ == kPlainSelector && SameFirstPage(root, kDifferentFirstPageKey) &&
        FindStringAttribute(root, kOtherPagesMediaTypeKey) != nullptr) {
      SetAndRecord(root, kOtherPagesMediaTypeKey, row.media_name, destination);
      for (std::uint32_t key : kFollowingMediaKeys)
        SetAndRecord(root, key, row.media_name, destination);
    }
    break;
  }
  RecordLockWhenLocked(root, Binding().apply_key, kMediaTypeKey, buffer);
  return 1;
}

std::uint32_t GMediaTypeConverter::Extract(GAttributeComposite* root) {
  if (OfferToHelper(kExtractDirection)) return 1;
  const GStringAttribute* media = FindStringAttribute(root, Binding().attribute_key);
  if (media == nullptr) return 0;
  // A name that stands twice falls to its next word when the store refuses
  // the first.
  for (const GMediaRow& row : kMediaRows) {
    if (View(media->GetValue()) != row.media_name) continue;
    if (WriteWord(Binding().ExtractKey(), row.word) != 0) return 1;
  }
  return 0;
}

// --- Optional paper sources.

GOptionalPaperSourcesConverter::GOptionalPaperSourcesConverter(GQCFLibrary* store,
                                                               GDriverData* driver_data)
    : GTableConverter(store, kOptionalPaperSourcesDescriptor), driver_data_(driver_data) {}

std::uint32_t GOptionalPaperSourcesConverter::Apply(GAttributeComposite* root,
                                                    GAttributeComposite*) {
  GStringAttribute* sources =
      FindStringAttribute(FindPath(root, Binding().group_path), Binding().attribute_key);
  if (sources == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  char text[kTextBytes];
  if (WideStringsEqual(buffer.Data(), kNoneWord) != 0) {
    text[0] = '\0';
  } else if (NarrowWord(buffer.Data(), text, kTextBytes) == 0) {
    return 0;  // refused, not cut
  }
  sources->SetValue(text);
  InstallPaperDevice(driver_data_, text);
  return 1;
}

std::uint32_t GOptionalPaperSourcesConverter::Extract(GAttributeComposite* root) {
  const GStringAttribute* sources =
      FindStringAttribute(FindPath(root, Binding().group_path), Binding().attribute_key);
  if (sources == nullptr) return 0;
  if (sources->GetValue().IsNull()) {
    WriteWord(Binding().ExtractKey(), kNoneWord);
    return 1;
  }
  return WriteText(Binding().ExtractKey(), sources->GetValue().Data());
}

// --- Scaling from large paper.

GScaleFromLargePaperConverter::GScaleFromLargePaperConverter(GQCFLibrary* store)
    : GTableConverter(store, kScaleFromLargePaperDescriptor) {}

std::uint32_t GScaleFromLargePaperConverter::Apply(GAttributeComposite* root,
                                                   GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* scale = Locate(root, Binding(), found);
  if (scale == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  // Any word but "TRUE" is off.
  const GOptionRow* row = MatchWord(Binding().rows, buffer.Data());
  scale->SetValue(row != nullptr ? row->code : 0);
  Record(destination, *scale, Binding().destination);
  return 1;
}

std::uint32_t GScaleFromLargePaperConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* scale = LocateForExtract(root, Binding());
  if (scale == nullptr) return 0;
  const GOptionRow* row = RowOfCode(Binding().rows, scale->GetValue());
  WriteWord(Binding().ExtractKey(), (row != nullptr ? row : RowOfCode(Binding().rows, 0))->word);
  return 1;
}

// --- Different first page and back cover.

GUseDiffFirstPageChoiceConverter::GUseDiffFirstPageChoiceConverter(GQCFLibrary* store,
                                                                   GDriverData* driver_data)
    : GTableConverter(store, kUseDiffFirstPageChoiceDescriptor), driver_data_(driver_data) {}

std::uint32_t GUseDiffFirstPageChoiceConverter::Apply(GAttributeComposite* root,
                                                      GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.row != nullptr && found.row->code == kDifferentFirstPage) {
    ApplyOnce<GMediaTypeConverter>(root, destination, FeatureStore(), kRestSelector);
    ApplyOnce<GInputBinConverter>(root, destination, FeatureStore(), driver_data_, kRestSelector);
    ApplyOnce<GBackCoverChoiceConverter>(root, destination, FeatureStore(), driver_data_);
  }
  return result;
}

std::uint32_t GUseDiffFirstPageChoiceConverter::Extract(GAttributeComposite* root) {
  const std::uint32_t result = ExtractCommon(root, Binding());
  GValueAttribute* choice = LocateForExtract(root, Binding());
  if (result != 0 && choice->GetValue() == kDifferentFirstPage) {
    GAttributeComposite* color_media = FindComposite(root, kColorMediaSettingsKey);
    ExtractOnce<GMediaTypeConverter>(color_media, FeatureStore(), kRestSelector);
    ExtractOnce<GInputBinConverter>(color_media, FeatureStore(), driver_data_, kRestSelector);
    ExtractOnce<GBackCoverChoiceConverter>(root, FeatureStore(), driver_data_);
  }
  return result;
}

GBackCoverChoiceConverter::GBackCoverChoiceConverter(GQCFLibrary* store, GDriverData* driver_data)
    : GTableConverter(store, kBackCoverChoiceDescriptor), driver_data_(driver_data) {}

std::uint32_t GBackCoverChoiceConverter::Apply(GAttributeComposite* root,
                                               GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.row != nullptr && found.row->code == kAlternateSource) {
    ApplyOnce<GMediaTypeConverter>(root, destination, FeatureStore(), kBackCoverSelector);
    ApplyOnce<GInputBinConverter>(root, destination, FeatureStore(), driver_data_,
                                  kBackCoverSelector);
  }
  return result;
}

std::uint32_t GBackCoverChoiceConverter::Extract(GAttributeComposite* root) {
  const std::uint32_t result = ExtractCommon(root, Binding());
  GValueAttribute* choice = LocateForExtract(root, Binding());
  if (result != 0 && choice->GetValue() == kAlternateSource) {
    ExtractOnce<GMediaTypeConverter>(FindComposite(root, kDocumentSettingsKey), FeatureStore(),
                                     kBackCoverSelector);
    ExtractOnce<GInputBinConverter>(root, FeatureStore(), driver_data_, kBackCoverSelector);
  }
  return result;
}
