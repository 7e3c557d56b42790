#include "filters/reverse_filter.h"

#include "config/keys/settings_keys.h"
#include "filters/face_up_filter.h"

#include "config/attributes/attribute_lookup.h"
#include "config/paper/media.h"
#include "output/commands/job_commands.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr char kLetterhead[] = "Letterhead";

constexpr GSpoolPolicy kReverseSpool = {
    ".rpg",
    ".rft",
    "reverse",
    GSpoolNaming::kCountThenName,
    GSpoolLocking::kPerPage,
    GSpoolWalk::kDocumentCommands,
    GBlankSource::kKeptThenLastPageStart,
};

constexpr RWClassRegistration kReverseFilterClasses[] = {
    {&RWCreate<GReverseFilter>, kGReverseFilterId, "GReverseFilter"},
};

}  // namespace

template class MPersistentClass<GReverseFilter, GPeripheral, kGReverseFilterId>;

std::span<const RWClassRegistration> ReverseFilterClasses() {
  return kReverseFilterClasses;
}

GReverseFilter::GReverseFilter() : spool_(kReverseSpool) {
  spool_.SetWalkHook(this);
}

GReverseFilter::GReverseFilter(const std::uint32_t& key)
    : GFilterClass(key), spool_(kReverseSpool) {
  spool_.SetWalkHook(this);
}

GReverseFilter::GReverseFilter(const GReverseFilter& other)
    : GFilterClass(other), GSpoolWalkHook(), spool_(kReverseSpool) {
  spool_.SetWalkHook(this);
}

GCountedPtr GReverseFilter::Submit(const GCountedPtr& command) {
  return spool_.Submit(*this, command);
}

GCountedPtr GReverseFilter::Transform(const GCountedPtr& command) {
  return spool_.Transform(*this, command);
}

std::uint32_t GReverseFilter::GetFlags() {
  return spool_.IsActive() ? kHoldingFlag : 0;
}

void GReverseFilter::ResetDocumentState() {
  insert_blank_ = false;
  last_source_ = 0;
  last_media_type_ = RWCString();
}

std::uint16_t GReverseFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) return 0;
  const std::optional<std::int16_t> order = FilterValue(document, kPageOrderKey);
  const bool invert = FilterValue(document, kInvertOrderKey).value_or(0) != 0;
  const bool duplex = invert && FilterValue(document, kDuplexKey).value_or(0) != 0;
  GRenderDriverData* job = command.GetJobContext();
  if (!order || *order != ((invert && duplex) ? 0 : 1) || !job) {
    spool_.Abandon(*this);
    return 0;
  }
  Enable();
  GDriverData* data = job->GetDriverData();
  GAttributeComposite* settings = data ? data->GetJobSettings() : nullptr;
  const GMedia* medium = MediumOf(document);
  letterhead_ = FilterValue(settings, kDuplexUnitKey).value_or(0) != 0 && medium &&
                medium->GetMediaType() == kLetterhead &&
                FilterValue(document, kDuplexKey).value_or(0) != 0 &&
                FilterValue(document, kStraightPaperPathKey).value_or(0) == 0;
  ResetDocumentState();
  spool_.BeginDocument(command, job);
  return 0;
}

std::uint16_t GReverseFilter::PageStart(GPageStart& command) {
  if (!spool_.IsActive()) return 0;
  GAttributeComposite* page = command.GetAttributes();
  const bool back_side = spool_.Counter() % 2 == 1 && letterhead_;
  if (letterhead_ && spool_.Counter() == 0) spool_.KeepPageAttributes(command);
  if (const GMedia* medium = MediumOf(page); medium && !medium->GetMediaType().IsNull()) {
    const RWCString& type = medium->GetMediaType();
    if (back_side && type != kLetterhead && type != last_media_type_) insert_blank_ = true;
    last_media_type_ = type;
  }
  if (const std::optional<std::int16_t> source = FilterValue(page, kPaperSourceKey)) {
    const auto value = static_cast<std::uint16_t>(*source);
    if (back_side && value != last_source_) insert_blank_ = true;
    last_source_ = value;
  }
  return spool_.BeginPage(*this, command);
}

std::uint16_t GReverseFilter::PageEnd(GPageEnd& command) {
  // The blank stands in the list before the page in hand.
  if (insert_blank_ && spool_.IsPageOpen()) spool_.FileBlankPage();
  insert_blank_ = false;
  return spool_.EndPage(*this, command);
}

void GReverseFilter::ReplayPages(GCommand& end) {
  if (GAttributeComposite* first = spool_.KeptAttributes(); first && letterhead_) {
    // The closing blank is the back of the last sheet: its paper.
    SetValueIfPresent(first, kPaperSourceKey, last_source_);
    if (GMedia* medium = MediumOf(first); medium && medium->GetMediaType() == kLetterhead &&
                                          medium->GetMediaType() != last_media_type_)
      medium->SetMediaType(last_media_type_);
  }
  spool_.EndDocument(end, GReplayOrder::kReverse, letterhead_, true);
  insert_blank_ = false;
}

std::uint16_t GReverseFilter::DocumentEnd(GDocumentEnd& command) {
  if (spool_.HasReplay()) ReplayPages(command);
  insert_blank_ = false;
  return 0;
}

std::uint16_t GReverseFilter::OnPassBreak(GCommand& command) {
  if (spool_.HasReplay()) ReplayPages(command);
  insert_blank_ = false;
  return 0;
}

std::uint16_t GReverseFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  insert_blank_ = false;
  return 0;
}

void GReverseFilter::OnWalkPage(MPersistentObject& child, bool has_start, bool has_end,
                                bool gathering) {
  if (!letterhead_ || spool_.Counter() != 0 || child.ClassId() != kGCommandCompositeOnDiskId)
    return;
  if (has_start && !has_end) {
    if (GCountedPtr start = child.FindPtrByClassId(kGPageStartId))
      spool_.KeepPageAttributes(*static_cast<GCommand*>(start.Get()));
  } else if (!has_start && gathering && !spool_.KeptAttributes()) {
    if (GCountedPtr end = child.FindPtrByClassId(kGPageEndId))
      spool_.KeepPageAttributes(*static_cast<GCommand*>(end.Get()));
  }
}
