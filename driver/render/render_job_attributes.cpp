// GRenderDriverDataImp: the stored job's name and the job attributes that
// the rendering side adjusts while a job is prepared.
//
// MakeJobName:
//   1. the time stamp: the services' local time as "%4.4d%2.2d%2.2d%2.2d
//      %2.2d%2.2d" (year to second; zeros when the time cannot be read);
//   2. a document name is cut after its last "/", then its last "\", made
//      8-bit (the system's code page), and what follows the first match of
//      "Microsoft [A-Z,a-z]+ - " in it is kept; without a document name,
//      the default settings' kDocumentSettingsKey -> kFallbackJobNameKey when
//      not empty, else the stamp;
//   3. back to wide text (at most 511 bytes, whole characters) and cut to
//      16 units (never inside a surrogate pair);
//   4. with kJobNameCheckKey = 1 every character must be in the cmap of the job
//      settings' kJobNameCharMapKey, else SanitizeJobNameChars must pass; an
//      empty name passes neither; a name that fails is replaced by the stamp;
//   5. the wide and 8-bit forms are kept; with kJobNameCheckKey = 1 the 8-bit
//      form is the name's UTF-8 encoding, at most 48 bytes.
#include <cstdio>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "driver/model_lookup.h"
#include "driver/render/job_name.h"
#include "driver/render/render_driver_data_imp.h"
#include "foundation/rw/regex.h"
#include "foundation/rw/support.h"
#include "output/core/command.h"
#include "output/core/peripheral.h"
#include "persist/persistent_association.h"
#include "persist/string_conversion.h"
#include "platform/text.h"
#include "services/os_factory.h"

namespace {

// The document names' application prefix.
constexpr char kApplicationPrefix[] = "Microsoft [A-Z,a-z]+ - ";
// The bytes a name is converted back from.
constexpr std::size_t kNameBytes = 511;
constexpr std::uint16_t kFirstCustomCode = 16384;

RWCString TimeStamp() {
  GTimeRecord local, shifted;
  std::int16_t bias = 0;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetTimes(local, shifted, bias);
  char text[32];
  std::snprintf(text, sizeof text, "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d", local.year, local.month,
                local.day, local.hour, local.minute, local.second);
  return RWCString(text);
}

// What follows `separator`'s last occurrence in `name` (all of it without
// one).
RWWString AfterLast(const RWWString& name, char16_t separator) {
  const RWSize at = name.Last(separator);
  return at == RW_NPOS ? name : name(at + 1, name.Length() - at - 1);
}

// At most `most` bytes of `text`, whole characters of the code page.
RWCString WholeCharacters(const RWCString& text, std::size_t most) {
  std::size_t kept = 0;
  while (kept < text.Length()) {
    const int length = platform::MultiByteCharLength(text.Data() + kept, text.Length() - kept);
    if (length <= 0 || kept + static_cast<std::size_t>(length) > most) break;
    kept += static_cast<std::size_t>(length);
  }
  return text(0, kept);
}

// The first kJobNameCharacters units of `name`, one fewer when the last
// would be the first half of a pair.
RWWString CutName(const RWWString& name) {
  RWSize keep = std::min<RWSize>(name.Length(), kJobNameCharacters);
  if (keep == kJobNameCharacters && keep < name.Length() && name[keep - 1] >= 0xD800 &&
      name[keep - 1] <= 0xDBFF)
    --keep;
  return name(0, keep);
}

}  // namespace

RWCString GRenderDriverDataImp::MakeJobName() {
  const RWCString stamp = TimeStamp();
  GAttributeComposite* defaults = Defaults();
  RWCString narrow;
  if (!document_name_.IsNull()) {
    WideToNarrow(AfterLast(AfterLast(document_name_, u'/'), u'\\'), narrow);
    static const RWRegularExpression kPrefix(kApplicationPrefix);
    RWSize length = 0;
    const RWSize at = kPrefix.Index(narrow, &length);
    if (at != RW_NPOS && length > 0) narrow = narrow(at + length, narrow.Length() - at - length);
  } else {
    GStringAttribute* fallback =
        FindStringAttribute(FindComposite(defaults, kDocumentSettingsKey), kFallbackJobNameKey);
    narrow = fallback && !fallback->GetValue().IsNull() ? fallback->GetValue() : stamp;
  }
  RWWString wide;
  NarrowToWide(WholeCharacters(narrow, kNameBytes), wide);
  wide = CutName(wide);
  const bool cmap_check = SignedValueOr(defaults, kJobNameCheckKey, 0) == 1;
  bool passed = false;
  if (cmap_check) {
    GStringAttribute* cmap = FindStringAttribute(GetJobSettings(), kJobNameCharMapKey);
    passed = cmap && AllCharsInCmap(wide, cmap->GetValue());
  } else {
    passed = SanitizeJobNameChars(wide);
  }
  // A stored job must be told apart on the printer's panel.
  if (wide.IsNull()) passed = false;
  if (!passed) {
    job_name_ = stamp;
    NarrowToWide(stamp, wide_job_name_);
  } else if (cmap_check) {
    std::uint8_t bytes[kJobNameUtf8Bytes];
    const char16_t* source = wide.Data();
    std::uint8_t* target = bytes;
    ConvertUtf16ToUtf8(source, wide.Data() + wide.Length(), target, bytes + sizeof bytes, true);
    job_name_ =
        RWCString(reinterpret_cast<const char*>(bytes), static_cast<RWSize>(target - bytes));
    wide_job_name_ = wide;
  } else {
    WideToNarrow(wide, job_name_);
    wide_job_name_ = wide;
  }
  return job_name_;
}

void GRenderDriverDataImp::FillJobName() {
  if (GStringAttribute* name =
          FindStringAttribute(FindComposite(Defaults(), kDocumentSettingsKey), kJobNameKey))
    name->SetValue(MakeJobName());
}

void GRenderDriverDataImp::MarkPreprintedMedia(GAttributeComposite* page_settings) {
  preprinted_pending_ = 0;
  GAttributeComposite* group = FindComposite(page_settings, kNupSettingsKey);
  if (SignedValueOr(group, kPagesPerSheetKey, 0) != 1) return;
  auto* medium = FindOfClass<GMedia>(page_settings, kMediumKey);
  if (!medium) return;
  const RWCString& type = medium->GetMediaType();
  if (!(type == "Preprinted" || type == "Letterhead")) return;
  const std::uint16_t id = medium->GetPaperSizeId();
  bool takes = false;
  if (id < kFirstCustomCode) {
    if (GAttributeComposite* papers = FindComposite(GetJobSettings(), kDuplexPaperSizesKey)) {
      const GCountedPtrVector& entries = papers->Children();
      for (RWSize i = 0; i < entries.Count() && !takes; ++i) {
        auto* entry = dynamic_cast<GValueAttribute*>(entries[i].Get());
        takes = entry && entry->GetValue() == id;
      }
    }
  } else {
    takes = IsMediaSizeInRange(nullptr, id) != 0;
  }
  if (!takes || SignedValueOr(page_settings, kRuleSwitchKey, 0) != 0) return;
  GValueAttribute* duplex = FindValueAttribute(group, kDuplexKey);
  if (duplex && duplex->GetValue() == 0) {
    duplex->SetValue(2);
    preprinted_pending_ = 1;
  }
}

std::uint16_t GRenderDriverDataImp::RepeatPreprintedPage() {
  if (!preprinted_pending_) return 0;
  if (page_count_ > 0) --page_count_;
  std::unique_ptr<GCommand> page(BuildPageSettings());
  if (page) {
    if (GAttributeComposite* attributes = page->GetAttributes())
      attributes->AddChild(new (kRWNoThrow) GValueAttribute(1, kRepeatedPageKey));
    if (const std::uint16_t result = SubmitCommand(page.get())) return result;
  }
  preprinted_pending_ = 0;
  std::unique_ptr<GCommand> start(MakeJobStartCommand());
  return SubmitCommand(start.get());
}

void GRenderDriverDataImp::CopyJobStorageAttributes(GAttributeComposite* job) {
  GAttributeComposite* storage = FindComposite(Defaults(), kDocumentSettingsKey);
  if (!job || !storage) return;
  for (std::uint32_t key : kJobStorageKeys) {
    if (auto* attribute = FindOfClass<GAttribute>(storage, key))
      job->AddChild(attribute->DeepCopy());
  }
}

int GRenderDriverDataImp::CheckJobPaper(GAttributeComposite* settings) {
  GAttributeComposite* resolution = FindComposite(settings, kResolutionKey);
  const auto x =
      static_cast<std::uint16_t>(SignedValueOr(resolution, kXResolutionKey, kDefaultResolution));
  const auto y =
      static_cast<std::uint16_t>(SignedValueOr(resolution, kYResolutionKey, kDefaultResolution));
  const auto orientation = static_cast<std::uint32_t>(SignedValueOr(settings, kOrientationKey, 0));
  const auto paper = static_cast<std::uint16_t>(SignedValueOr(settings, kPaperSizeKey, 1));
  std::uint16_t number = 0;
  PaperIdToFormIndex(paper, number);
  if (const int usable = IsFormUsable(orientation, x, y, 1, number)) return usable;
  const std::uint16_t mapped = NormalizePaperId(settings, paper);
  if (GValueAttribute* replaced = FindValueAttribute(settings, kTargetPaperSizeKey))
    replaced->SetValue(mapped == 22 || mapped == 39 ? 23 : mapped == 44 ? 43 : 1);
  for (std::uint32_t key : {kScalePageChoiceKey, kFitToOtherSizeKey}) {
    if (GValueAttribute* word = FindValueAttribute(settings, key)) word->SetValue(1);
  }
  ResetPageLayout(settings);
  return 0;
}

void GRenderDriverDataImp::ResetPageLayout(GAttributeComposite* settings) {
  if (GValueAttribute* group = FindValueAttribute(settings, kPagesPerSheetKey)) group->SetValue(1);
  if (GValueAttribute* scale = FindValueAttribute(settings, kScalePercentKey)) scale->SetValue(100);
  GValueAttribute* layout = FindValueAttribute(settings, kTrueTypeAsBitmapKey);
  if (layout && layout->GetValue() != 0 && !HasJobCapability(kModeCapabilitiesKey, 0))
    layout->SetValue(0);
  if (GValueAttribute* word = FindValueAttribute(settings, kBookletKey)) word->SetValue(0);
}

int GRenderDriverDataImp::AddMappedJobAttributes(GAttributeComposite* job) {
  if (!job || !job->FindByKey(kMappedSwitchKey)) return 0;
  GValueAttribute* source =
      FindValueAttribute(FindComposite(Defaults(), kInstalledOptionsKey), kMappedSourceKey);
  auto* configuration = dynamic_cast<GPeripheral*>(GetConfiguration());
  auto* map = FindOfClass<MAssociationList>(
      configuration ? configuration->GetConfiguration() : nullptr, kMappedSourceKey);
  if (!source || !map) return 0;
  const GValueAttribute key(source->GetValue(), 0);
  auto* mapped = dynamic_cast<GValueAttribute*>(map->FindValue(&key));
  GAttributeComposite* target = FindComposite(job, kMappedTargetKey);
  GAttributeComposite* entry = mapped ? FindComposite(job, mapped->GetValue()) : nullptr;
  if (!target || !entry) return 0;
  // Copied before the target is emptied: the entry may lie inside it.
  std::vector<MPersistentObject*> copies;
  const GCountedPtrVector& children = entry->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (MPersistentObject* child = children[i].Get()) copies.push_back(child->DeepCopy());
  }
  target->RemoveAll();
  for (MPersistentObject* copy : copies)
    target->AddChild(copy);
  return 1;
}
