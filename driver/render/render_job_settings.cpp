// GRenderDriverDataImp: the job's settings evaluated into its words
// (PrepareJob), the job composite, media made for paper codes and turned
// to an orientation, and copies and collation.
#include <algorithm>
#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/copies_range.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "driver/model_lookup.h"
#include "driver/render/render_driver_data_imp.h"
#include "foundation/rw/support.h"
#include "output/core/peripheral.h"
#include "persist/capabilities.h"
#include "services/os_factory.h"

namespace {

// Keys read here.
constexpr std::uint32_t kBinCapabilities = 120;
// The printer's answer to this name says whether it takes pass-through data.
constexpr char16_t kPassThroughName[] = u"PassThrough";
// Paper codes of custom sizes.
constexpr std::uint16_t kFirstCustomCode = 16384;
constexpr std::uint16_t kLastCustomCode = 17383;
// Margins are ten-thousandths of the paper.
constexpr std::int64_t kMarginUnits = 10000;

bool IsOne(MPersistentObject* in, std::uint32_t key) {
  return SignedValueOr(in, key, 0) == 1;
}

std::int16_t Clamp16(std::int64_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, 0, kLargestMediaLength));
}

// Whether the first occurrence of each character of `word` in `name` is at
// that character's own position.
bool BeginsWord(const RWWString& name, const char16_t* word) {
  for (RWSize i = 0; word[i] != 0; ++i) {
    if (name.First(word[i]) != i) return false;
  }
  return true;
}

// `medium` turned counter-clockwise by `orientation` (a multiple of 90):
// the paper's sides swap at every step and each margin follows its edge.
GMedia* TurnedMedium(const GMedia& medium, std::uint32_t orientation) {
  GSize16 paper = medium.GetPaperSize();
  const GSize16 origin = medium.GetPrintableOrigin();
  const GSize16 far = medium.GetRightBottomMargins();
  std::int16_t left = origin.width, top = origin.height, right = far.width, bottom = far.height;
  for (std::uint32_t step = 0; step < orientation / 90; ++step) {
    std::swap(paper.width, paper.height);
    const std::int16_t old_left = left;
    left = top;
    top = right;
    right = bottom;
    bottom = old_left;
  }
  const GSize16 printable(Clamp16(std::int64_t{paper.width} - left - right),
                          Clamp16(std::int64_t{paper.height} - top - bottom));
  return new (kRWNoThrow) GMedia(medium.GetName().Data(), paper, printable, GSize16(left, top),
                                 orientation, medium.GetPaperSizeId(), medium.GetXResolution(),
                                 medium.GetYResolution(), medium.Key(), medium.GetAuxCode(),
                                 medium.GetAuxName().Data(), medium.GetMediaType().Data());
}

}  // namespace

void GRenderDriverDataImp::PrepareJob() {
  page_count_ = 0;
  page_index_ = -1;
  std::fill(std::begin(page_words_), std::end(page_words_), 0);
  saved_color_ = color_;
  transform_ = GTransformAttribute();
  GAttributeComposite* defaults = Defaults();
  layout_flag_ = IsOne(defaults, kTrueTypeAsBitmapKey) ? 1 : 0;
  text_as_black_ = IsOne(defaults, kTextAsBlackKey) ? 1 : 0;
  ChooseLanguage();
  ReadDuplexAndBin();
  ReadModeWords();
  for (GCountedPtr& object : job_objects_)
    object.Reset();
  job_list_.clear();
}

void GRenderDriverDataImp::ChooseLanguage() {
  pass_through_ = 0;
  GAttributeComposite* job = GetJobSettings();
  if (GValueAttribute* choice = FindValueAttribute(job, kLanguageChoiceKey)) {
    GOSFactory* services = GOSFactory::Instance();
    const std::uint32_t answer =
        services ? services->GetPrinterDataDword(this, kPassThroughName, 0) : 0;
    const std::int16_t wanted = static_cast<std::int16_t>(choice->GetValue());
    if ((wanted == 0 && answer == 1) || (wanted == 1 && answer != 0)) pass_through_ = 1;
  }
  GValueAttribute* language = FindValueAttribute(job, kLanguageKey);
  const bool below_four = !language || static_cast<std::int16_t>(language->GetValue()) < 4;
  if (pass_through_ && below_four) {
    SetValueIfPresent(job, kLanguageKey, 3);
    SetValueIfPresent(job, kLanguageLevelKey, 0);
    if (GStringAttribute* name = FindStringAttribute(job, kLanguageNameKey))
      name->SetValue(kPassThroughLanguage);
    language_ = kPassThroughLanguage;
  } else {
    SetValueIfPresent(job, kLanguageKey, 2);
    SetValueIfPresent(job, kLanguageLevelKey, 1);
    language_ = RWCString();
  }
}

void GRenderDriverDataImp::ReadDuplexAndBin() {
  GAttributeComposite* defaults = Defaults();
  second_duplex_flag_ = 0;
  switch (SignedValueOr(defaults, kRenderDuplexChoiceKey, 0)) {
    case 0:
      duplex_word_ = IsOne(FindComposite(defaults, kInstalledOptionsKey), kDuplexUnitKey) ? 1 : 0;
      break;
    case 1:
      duplex_word_ = 1;
      second_duplex_flag_ = 1;
      break;
    case 2:
      duplex_word_ = 2;
      break;
    default:
      duplex_word_ = 0;
      break;
  }
  const std::int32_t bin = SignedValueOr(defaults, kRenderBinChoiceKey, 0);
  bin_word_ = bin >= 0 && bin <= 2 ? static_cast<std::uint32_t>(bin) : 0;
}

void GRenderDriverDataImp::ReadModeWords() {
  GAttributeComposite* defaults = Defaults();
  const std::uint32_t flags = GetAppFlags();
  const std::int32_t raster = SignedValueOr(defaults, kRasterizationKey, 0);
  if (raster == 3 || raster == 2) {
    mode_word_ = static_cast<std::uint32_t>(raster);
  } else {
    mode_word_ = (flags & kAppFlagRasterMode) ? 3 : (flags & kAppFlagHalfRasterMode) ? 2 : 1;
  }
  if (((flags & kAppFlagCheckRaster1) && !HasJobCapability(kRasterCapabilitiesKey, 1)) ||
      ((flags & kAppFlagCheckRaster2) && !HasJobCapability(kRasterCapabilitiesKey, 2))) {
    mode_word_ = 3;
  }
  capability_word_ = HasJobCapability(kModeCapabilitiesKey, mode_word_ == 1 ? 1 : 4) ? 1 : 0;
  duplex_capability_word_ = HasJobCapability(kDuplexCapabilitiesKey, 1) && IsDuplexMode(0) ? 1 : 0;
  bin_capability_word_ =
      HasJobCapability(kBinCapabilities, 9) && (flags & kAppFlagSecondWord) != 0 ? 1 : 0;
  if (flags & kAppFlagClearWords) duplex_capability_word_ = bin_capability_word_ = 0;
  switch (SignedValueOr(defaults, kPrintColorAsGrayKey, -1)) {
    case 0:
      color_word_ = 1;
      break;
    case 3:
      color_word_ = 2;
      break;
    default:
      color_word_ = 0;
      break;
  }
  compat_mode_ = (flags & kAppFlagCompatibility) != 0 ? 1 : 0;
}

bool GRenderDriverDataImp::HasJobCapability(std::uint32_t list, std::uint32_t bit) {
  GAttributeComposite* job = GetJobSettings();
  MPersistentObject* entry = job ? job->FindByKey(kCapabilitiesKey) : nullptr;
  if (auto* device = dynamic_cast<GPeripheral*>(entry)) entry = device->GetConfiguration();
  auto* capabilities = FindOfClass<GCapabilities>(entry, list);
  return capabilities && capabilities->HasCapability(bit);
}

GAttributeComposite* GRenderDriverDataImp::BuildJobSettings() {
  auto* job = new (kRWNoThrow) GAttributeComposite(0);
  if (!job) return nullptr;
  GAttributeComposite* defaults = Defaults();
  std::vector<MPersistentObject*> copied;
  auto copy = [&](MPersistentObject* found) {
    if (!found || std::find(copied.begin(), copied.end(), found) != copied.end()) return;
    copied.push_back(found);
    job->AddChild(found->DeepCopy());
  };
  for (std::uint32_t key : {296u, 297u, 405u})
    copy(FindOfClass<GAttribute>(defaults, key));
  if (FindOfClass<GAttribute>(defaults, kColorAdjustmentKey)) {
    for (std::uint32_t key : {304u, kColorAdjustmentKey, 208u, 227u})
      copy(FindOfClass<GAttribute>(defaults, key));
  }
  for (RWClassID id : {RWClassID{792}, RWClassID{797}, RWClassID{1201}})
    copy(defaults ? dynamic_cast<GAttribute*>(defaults->FindByClassId(id)) : nullptr);
  const RWWString& port = GetFourthName();
  const bool local =
      BeginsWord(port, u"LPT") || BeginsWord(port, u"USB") || BeginsWord(port, u"DOT4");
  job->AddChild(new (kRWNoThrow) GValueAttribute(local ? 1 : 3, kConnectionKey));
  struct Paper {
    std::uint32_t paper_key, medium_key;
    bool without_compatibility;
  };
  for (const Paper& paper : {Paper{kPaperSizeKey, kTargetMediumKey, false},
                             Paper{kTargetPaperSizeKey, kBookletMediumKey, true}}) {
    if (paper.without_compatibility && compat_mode_) continue;
    GValueAttribute* code = FindValueAttribute(defaults, paper.paper_key);
    if (!code) continue;
    if (GMedia* medium = MakeMedium(code->GetValue())) {
      medium->SetKey(paper.medium_key);
      job->AddChild(medium);
    } else {
      code->SetValue(0);
    }
  }
  return job;
}

GMedia* GRenderDriverDataImp::MakeMedium(std::uint16_t code) {
  GAttributeComposite* defaults = Defaults();
  GAttributeComposite* resolution = FindComposite(defaults, kResolutionKey);
  const auto x =
      static_cast<std::uint16_t>(SignedValueOr(resolution, kXResolutionKey, kDefaultResolution));
  const auto y =
      static_cast<std::uint16_t>(SignedValueOr(resolution, kYResolutionKey, kDefaultResolution));
  if (code >= kFirstCustomCode && code <= kLastCustomCode) {
    const auto orientation =
        static_cast<std::uint32_t>(NormalizeAngle(SignedValueOr(defaults, kOrientationKey, 0)));
    GMedia* medium = CustomMedium(code, x, y, orientation);
    return IsOne(defaults, kEdgeToEdgeKey) ? ApplyMargins(medium) : medium;
  }
  return MakeMediumOfSize(code, x, y, 0);
}

GMedia* GRenderDriverDataImp::MakeMediumOfSize(std::uint16_t code, std::uint16_t x_resolution,
                                               std::uint16_t y_resolution,
                                               std::uint32_t orientation) {
  GMedia* medium = MediumOfTable(code, x_resolution, y_resolution, orientation);
  return IsOne(Defaults(), kEdgeToEdgeKey) ? ApplyMargins(medium) : medium;
}

GMedia* GRenderDriverDataImp::MediumOfTable(std::uint16_t code, std::uint16_t x_resolution,
                                            std::uint16_t y_resolution, std::uint32_t orientation) {
  GMediaPool* pool = GetSymmetricMediaPool();
  if (!pool || orientation % 90 != 0 || orientation >= 360) return nullptr;
  if (GMedia* found = pool->FindByPaperSizeId(code, orientation, x_resolution, y_resolution))
    return new (kRWNoThrow) GMedia(*found);
  GMedia* upright = pool->FindByPaperSizeId(code, 0, x_resolution, y_resolution);
  return upright ? TurnedMedium(*upright, orientation) : nullptr;
}

GMedia* GRenderDriverDataImp::CustomMedium(std::uint16_t code, std::uint16_t x_resolution,
                                           std::uint16_t y_resolution, std::uint32_t orientation) {
  GAttributeComposite* sizes = FindComposite(Defaults(), kCustomSizesKey);
  if (!sizes) return nullptr;
  const GCountedPtrVector& entries = sizes->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(entries[i].Get());
    if (size && size->GetId() == code)
      return MakeMediaFromCustomSize(*size, GetJobSettings(), x_resolution, y_resolution,
                                     orientation);
  }
  return nullptr;
}

GMedia* GRenderDriverDataImp::ApplyMargins(GMedia* medium) {
  if (!medium) return nullptr;
  std::unique_ptr<GMedia> old(medium);
  GAttributeComposite* defaults = Defaults();
  std::int64_t width_part = std::max(0, SignedValueOr(defaults, kWidthMarginKey, 0));
  std::int64_t height_part = std::max(0, SignedValueOr(defaults, kHeightMarginKey, 0));
  const std::uint32_t orientation = medium->GetOrientation();
  if (orientation == 90 || orientation == 270) std::swap(width_part, height_part);
  const GSize16 paper = medium->GetPaperSize();
  const std::int16_t x = Clamp16(paper.width * width_part / kMarginUnits);
  const std::int16_t y = Clamp16(paper.height * height_part / kMarginUnits);
  // Margins wider than half the paper leave no printable area, never a
  // negative one.
  const GSize16 printable(Clamp16(std::int64_t{paper.width} - 2 * x),
                          Clamp16(std::int64_t{paper.height} - 2 * y));
  return new (kRWNoThrow) GMedia(medium->GetName().Data(), paper, printable, GSize16(x, y),
                                 orientation, medium->GetPaperSizeId(), medium->GetXResolution(),
                                 medium->GetYResolution(), medium->Key(), medium->GetAuxCode(),
                                 medium->GetAuxName().Data(), medium->GetMediaType().Data());
}

void GRenderDriverDataImp::UpdateMediaSize(GMedia* medium, std::uint32_t orientation) {
  if (!medium) return;
  const auto wanted =
      static_cast<std::uint32_t>(NormalizeAngle(static_cast<std::int32_t>(orientation)));
  const auto current = static_cast<std::uint32_t>(
      NormalizeAngle(static_cast<std::int32_t>(medium->GetOrientation())));
  if (current == wanted) return;
  const std::uint16_t code = medium->GetPaperSizeId();
  const std::uint16_t x = medium->GetXResolution();
  const std::uint16_t y = medium->GetYResolution();
  std::unique_ptr<GMedia> made(code < kFirstCustomCode   ? MakeMediumOfSize(code, x, y, wanted)
                               : code <= kLastCustomCode ? CustomMedium(code, x, y, wanted)
                                                         : nullptr);
  if (!made) return;
  const std::uint32_t key = medium->Key();
  *medium = *made;
  medium->SetKey(key);
}

void GRenderDriverDataImp::NormalizeCopies() {
  GAttributeComposite* defaults = Defaults();
  if (GValueAttribute* copies =
          FindValueAttribute(FindComposite(defaults, kColorMediaSettingsKey), kCopiesKey)) {
    std::int32_t count = static_cast<std::int16_t>(copies->GetValue());
    if (count < 0) count = 1;
    count = std::min<std::int32_t>(count, GCopiesRange::Of(GetJobSettings()).Maximum());
    copies->SetValue(static_cast<std::uint16_t>(count));
  }
  ApplyDefaultCollation();
}

void GRenderDriverDataImp::ApplyCollation(GAttributeComposite* source, GAttributeComposite* job,
                                          GAttributeComposite* target, GAttributeComposite* unit) {
  GValueAttribute* copies = FindValueAttribute(source, kCopiesKey);
  if (!copies) return;
  // One copy count in the job composite, however often this runs.
  if (job) PutDirectChild(*job, copies->DeepCopy());
  const bool collated = IsOne(unit, kCollationUnitKey) &&
                        (IsOne(source, kCollateKey) || IsOne(unit, kIgnoreCollationKey));
  SetValueIfPresent(job, kCollatedCopiesKey, collated ? copies->GetValue() : 1);
  SetValueIfPresent(target, kPrinterCopiesKey, collated ? 1 : copies->GetValue());
}

void GRenderDriverDataImp::ApplyDefaultCollation() {
  GAttributeComposite* defaults = Defaults();
  ApplyCollation(FindComposite(defaults, kColorMediaSettingsKey),
                 FindComposite(defaults, kDocumentSettingsKey),
                 FindComposite(defaults, kPageSettingsKey),
                 FindComposite(defaults, kInstalledOptionsKey));
}

bool GRenderDriverDataImp::RefreshJobParts() {
  GAttributeComposite* defaults = Defaults();
  GAttributeComposite* model = GetDevModeSettingsModel();
  bool whole = true;
  if (defaults && model) {
    for (std::uint32_t key : {kDocumentSettingsKey, kPageSettingsKey, kColorMediaSettingsKey}) {
      MPersistentObject* part = FindDirectChild(model, key);
      if (part && FindDirectChild(defaults, key) && !ReplaceDirectChild(*defaults, key, *part))
        whole = false;
    }
  }
  ApplyDefaultCollation();
  return whole;
}
