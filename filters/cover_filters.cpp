#include "filters/cover_filters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "foundation/rw/support.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr std::int16_t kFirstCustomPaper = 16384;
// The names the media test asks the job about, after the medium's type.
constexpr std::uint32_t kMediaNameKeys[] = {kFrontCoverMediaTypeKey, kBackCoverMediaTypeKey,
                                            kLastPageMediaTypeKey, kOtherPagesMediaTypeKey};

constexpr RWClassRegistration kCoverFilterClasses[] = {
    {&RWCreate<GFrontCoverFilter>, kGFrontCoverFilterId, "GFrontCoverFilter"},
    {&RWCreate<GBackCoverFilter>, kGBackCoverFilterId, "GBackCoverFilter"},
};

std::uint16_t Unsigned(GAttributeComposite* set, std::uint32_t key) {
  return static_cast<std::uint16_t>(FilterValue(set, key).value_or(0));
}

GAttributeComposite* JobSettingsOf(GRenderDriverData* job) {
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  return data ? data->GetJobSettings() : nullptr;
}

bool IsTwoSidedType(const RWCString& type) {
  return type.EqualsChars("Preprinted") || type.EqualsChars("Letterhead");
}

// The cover's paper source and media type from `set`'s `source_key` and
// `type_key`; false (nothing changed) unless both are there.
bool ReadCoverPaper(GAttributeComposite* set, std::uint32_t source_key, std::uint32_t type_key,
                    std::uint16_t& source, RWCString& type) {
  const std::optional<std::int16_t> value = FilterValue(set, source_key);
  GStringAttribute* text = FindStringAttribute(set, type_key);
  if (!value || !text) return false;
  source = static_cast<std::uint16_t>(*value);
  type = text->GetValue();
  return true;
}

// The command a cover filter acts on: null when it is not a command, when
// it is a document start (run on `filter` here) or when the filter is
// disabled.
GCommand* CommandToWatch(GPeripheral& filter, const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (in_hand && in_hand->ClassId() == kGDocumentStartId) {
    filter.DocumentStart(static_cast<GDocumentStart&>(*in_hand));
    return nullptr;
  }
  return in_hand && filter.IsEnabled() ? in_hand : nullptr;
}

// What a cover copied from `set` needs: a medium and a paper source, and
// under the simplex rule a duplex value to set.
bool CanCover(GAttributeComposite* set, bool simplex_rule) {
  return MediumOf(set) && FindValueAttribute(set, kPaperSourceKey) &&
         (!simplex_rule || FindValueAttribute(set, kDuplexKey));
}

// A deep copy of `set` (none when null).
GAttributeComposite* CopyOf(GAttributeComposite* set) {
  return set ? dynamic_cast<GAttributeComposite*>(set->DeepCopy()) : nullptr;
}

// A blank page on `set` (taken over): a GPageStart and a GPageEnd.
void AddPage(GCommandComposite& composite, GAttributeComposite* set) {
  composite.AddChild(RWNew<GPageStart>(set, 0u));
  composite.AddChild(RWNew<GPageEnd>(0u));
}

}  // namespace

template class MPersistentClass<GFrontCoverFilter, GPeripheral, kGFrontCoverFilterId>;
template class MPersistentClass<GBackCoverFilter, GPeripheral, kGBackCoverFilterId>;

std::span<const RWClassRegistration> CoverFilterClasses() {
  return kCoverFilterClasses;
}

std::uint32_t IsCoverSizeListed(GRenderDriverData* job, GAttributeComposite* cover) {
  GMedia* medium = MediumOf(cover);
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  if (!medium || !data) return 0;
  const std::uint16_t code = medium->GetPaperSizeId();
  if (static_cast<std::int16_t>(code) >= kFirstCustomPaper)
    return data->IsMediaSizeInRange(cover, code) != 0 ? 1 : 0;
  GAttributeComposite* settings = data->GetJobSettings();
  GAttributeComposite* sizes = FindComposite(settings, kDuplexPaperSizesKey);
  for (RWSize i = 0; sizes && i < sizes->EntryCount(); ++i) {
    auto* value = dynamic_cast<GValueAttribute*>(sizes->Children()[i].Get());
    if (value && value->GetValue() == code) return 1;
  }
  return 0;
}

std::optional<bool> SimplexCoverRule(GAttributeComposite* document) {
  if (FilterValue(document, kCoverModeKey).value_or(0) != 1) return false;
  GAttributeComposite* nup = FindComposite(document, kNupSettingsKey);
  const std::optional<std::int16_t> per_sheet = FilterValue(nup, kPagesPerSheetKey);
  if (!per_sheet) return std::nullopt;
  return *per_sheet == 1 && FilterValue(document, kDuplexKey).value_or(0) == 0 &&
         FilterValue(document, kRuleSwitchKey).value_or(0) == 0;
}

// ---------------------------------------------------------------------------
// Front cover

GCountedPtr GFrontCoverFilter::Transform(const GCountedPtr& command) {
  GCommand* in_hand = CommandToWatch(*this, command);
  if (!in_hand) return command;
  const RWClassID id = in_hand->ClassId();
  GCountedPtr answer = command;
  if (id == kGPageStartId) {
    if (++counter_ != 1 || front_cover_ == 0 || !InsertCover(answer)) Disable();
  } else if (id == kGDocumentEndId) {
    Disable();
  }
  return answer;
}

std::uint16_t GFrontCoverFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) {
    Disable();
    return 0;
  }
  job_ = command.GetJobContext();
  front_cover_ = Unsigned(document, kFrontCoverKey);
  if (front_cover_ != 0 && !ReadCoverPaper(document, kFrontCoverSourceKey, kFrontCoverMediaTypeKey,
                                           cover_source_, cover_type_))
    front_cover_ = 0;
  const std::optional<bool> rule = SimplexCoverRule(document);
  if (front_cover_ == 0 || !rule) {
    Disable();
    return 0;
  }
  counter_ = 0;
  duplex_ = Unsigned(document, kDuplexKey);
  if (IsBookletJob(document) == 1 && CheckCoverMedia(document) == 1) {
    Disable();
    return 0;
  }
  Enable();
  cover_mode_ = FilterValue(document, kCoverModeKey).value_or(0);
  simplex_rule_ = *rule;
  return 0;
}

std::uint32_t GFrontCoverFilter::IsBookletJob(GAttributeComposite* set) {
  return FilterValue(set, kBookletKey).value_or(0) > 0 && job_ && job_->IsAppCompatModeOn() == 0
             ? 1
             : 0;
}

std::uint32_t GFrontCoverFilter::CheckCoverMedia(GAttributeComposite* set) {
  duplex_ = Unsigned(set, kDuplexKey);
  GDriverData* data = job_ ? job_->GetDriverData() : nullptr;
  if (duplex_ == 0 || !data) return 0;
  GAttributeComposite* settings = data->GetJobSettings();
  const std::int16_t manual_duplex = FilterValue(settings, kManualDuplexKey).value_or(0);
  const std::int16_t duplex_unit = FilterValue(settings, kDuplexUnitReportedKey).value_or(1);
  GMedia* medium = MediumOf(set);
  const std::uint16_t code = medium ? medium->GetPaperSizeId() : 0;
  const RWCString type = medium ? medium->GetMediaType() : RWCString();
  bool listed = data->IsNameNotListed(type) == 0;
  for (std::uint32_t key : kMediaNameKeys)
    listed = listed || data->IsNameNotListed(StringOf(set, key)) == 0;
  listed = listed || FilterValue(set, kStraightPaperPathKey).value_or(0) != 0;
  const bool ordinary = !type.EqualsChars("Transparency") && !type.EqualsChars("Labels");
  if (manual_duplex == 0) return 0;
  if (duplex_unit == 0) return ordinary ? 1 : 0;
  if (listed) return 1;
  std::uint32_t answer = 0;
  GAttributeComposite* sizes = FindComposite(settings, kDuplexPaperSizesKey);
  for (RWSize i = 0; sizes && ordinary && i < sizes->EntryCount(); ++i) {
    auto* value = dynamic_cast<GValueAttribute*>(sizes->Children()[i].Get());
    if (!value) continue;
    if (value->GetValue() == code) {
      answer = 0;
      break;
    }
    answer = 1;
  }
  if (static_cast<std::int16_t>(code) >= kFirstCustomPaper)
    answer = data->IsMediaSizeInRange(set, code) == 0 ? 1 : 0;
  return answer;
}

bool GFrontCoverFilter::InsertCover(GCountedPtr& holder) {
  GAttributeComposite* page = static_cast<GCommand*>(holder.Get())->GetAttributes();
  GCountedPtr composite = Held(RWNew<GCommandComposite>());
  if (!composite || !CanCover(page, simplex_rule_)) return false;
  auto& pages = *static_cast<GCommandComposite*>(composite.Get());
  auto cover_of = [&] {
    GAttributeComposite* cover = CopyOf(page);
    if (cover) {
      MediumOf(cover)->SetMediaType(cover_type_);
      PutValue(cover, kPaperSourceKey, cover_source_);
    }
    return cover;
  };
  GAttributeComposite* cover = cover_of();
  if (!cover) return false;
  if (simplex_rule_) {
    const bool two_sided = IsCoverSizeListed(cover) == 1 && IsTwoSidedType(cover_type_);
    FindValueAttribute(cover, kDuplexKey)->SetValue(two_sided ? 2 : 0);
    GAttributeComposite* second = two_sided ? CopyOf(cover) : nullptr;
    AddPage(pages, cover);
    if (second) AddPage(pages, second);
  } else {
    AddPage(pages, cover);
    if (duplex_ != 0) AddPage(pages, cover_of());
  }
  pages.AddChild(holder.Get());
  holder = composite;
  return true;
}

// ---------------------------------------------------------------------------
// Back cover

std::uint16_t GBackCoverFilter::DocumentStart(GDocumentStart& command) {
  job_ = command.GetJobContext();
  if (GAttributeComposite* settings = JobSettingsOf(job_)) {
    manual_duplex_ = FilterValue(settings, kManualDuplexKey).value_or(0) != 0 &&
                     settings->FindByKey(kManualDuplexInstructionsKey);
  } else {
    manual_duplex_ = false;
  }
  GAttributeComposite* document = command.GetAttributes();
  page_.Reset();
  back_cover_ = Unsigned(document, kBackCoverKey);
  if (back_cover_ == 2 && !ReadCoverPaper(document, kBackCoverSourceKey, kBackCoverMediaTypeKey,
                                          cover_source_, cover_type_))
    back_cover_ = 0;
  const std::optional<bool> rule = SimplexCoverRule(document);
  if (!document || back_cover_ == 0 || !rule) {
    Disable();
    return 0;
  }
  duplex_ = Unsigned(document, kDuplexKey);
  last_size_ = 0;
  counter_ = 0;
  last_source_ = 0;
  last_type_ = RWCString();
  document_source_ = Unsigned(document, kPaperSourceKey);
  if (back_cover_ == 1) {
    cover_source_ = document_source_;
    cover_type_ = RWCString();
  }
  Enable();
  cover_mode_ = FilterValue(document, kCoverModeKey).value_or(0);
  simplex_rule_ = *rule;
  return 0;
}

void GBackCoverFilter::WatchPage(GAttributeComposite* page) {
  ++counter_;
  page_ = Held(page);
  GMedia* medium = MediumOf(page);
  const std::optional<std::int16_t> source = FilterValue(page, kPaperSourceKey);
  if (counter_ == 1 && back_cover_ == 1) {
    if (source) cover_source_ = static_cast<std::uint16_t>(*source);
    if (medium) cover_type_ = medium->GetMediaType();
  }
  const std::uint16_t size = medium ? medium->GetPaperSizeId() : 0;
  const RWCString type = medium ? medium->GetMediaType() : RWCString();
  const auto paper_source = static_cast<std::uint16_t>(source.value_or(0));
  if (size != last_size_ || type != last_type_ || paper_source != last_source_) counter_ |= 1;
  last_size_ = size;
  last_type_ = type;
  last_source_ = paper_source;
}

GAttributeComposite* GBackCoverFilter::ApplyCoverSettings(GAttributeComposite* set,
                                                          std::uint16_t duplex,
                                                          const RWCString& type,
                                                          std::uint16_t source) {
  if (!set) return set;
  if (FilterValue(set, kDuplexKey) != static_cast<std::int16_t>(duplex))
    PutValue(set, kDuplexKey, duplex);
  if (GMedia* medium = MediumOf(set)) medium->SetMediaType(type);
  PutValue(set, kPaperSourceKey, source);  // in place of the set's own
  return set;
}

GCountedPtr GBackCoverFilter::MakeCovers(const GCountedPtr& end) {
  auto* page = static_cast<GAttributeComposite*>(page_.Get());
  GCountedPtr composite = Held(RWNew<GCommandComposite>());
  if (!composite || !CanCover(page, simplex_rule_)) return GCountedPtr();
  auto& pages = *static_cast<GCommandComposite*>(composite.Get());
  GAttributeComposite* base = CopyOf(page);
  if (!base) return GCountedPtr();
  if (counter_ % 2 == 1 && duplex_ != 0 && !manual_duplex_) AddPage(pages, CopyOf(page));
  const bool two_sided = IsTwoSidedType(cover_type_) && IsCoverSizeListed(base) == 1;
  if (simplex_rule_) {
    delete base;
    const std::uint16_t duplex = two_sided ? 2 : 0;
    for (int n = two_sided ? 2 : 1; n > 0; --n)
      AddPage(pages, ApplyCoverSettings(CopyOf(page), duplex, cover_type_, cover_source_));
  } else {
    MediumOf(base)->SetMediaType(cover_type_);
    PutValue(base, kPaperSourceKey, cover_source_);
    AddPage(pages, base);
  }
  pages.AddChild(end.Get());
  return composite;
}

GCountedPtr GBackCoverFilter::Transform(const GCountedPtr& command) {
  GCommand* in_hand = CommandToWatch(*this, command);
  if (!in_hand) return command;
  const RWClassID id = in_hand->ClassId();
  if (id == kGPageStartId) {
    WatchPage(in_hand->GetAttributes());
  } else if (id == kGDocumentEndId && page_) {
    GCountedPtr covers = MakeCovers(command);
    page_.Reset();
    if (covers) return covers;
    Disable();
  } else if (id == kGJobAbortId) {
    page_.Reset();
  }
  return command;
}
