#include "filters/face_up_filter.h"

#include "config/keys/settings_keys.h"
#include "output/commands/job_commands.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr GSpoolPolicy kFaceUpSpool = {
    ".fpg",
    ".fft",
    "faceup",
    GSpoolNaming::kCountThenName,
    GSpoolLocking::kPerHandler,
    GSpoolWalk::kDocumentCommands,
    GBlankSource::kKeptThenLastPageStart,
};

constexpr RWClassRegistration kFaceUpFilterClasses[] = {
    {&RWCreate<GFaceUpFilter>, kGFaceUpFilterId, "GFaceUpFilter"},
};

}  // namespace

template class MPersistentClass<GFaceUpFilter, GPeripheral, kGFaceUpFilterId>;

std::span<const RWClassRegistration> FaceUpFilterClasses() {
  return kFaceUpFilterClasses;
}

GFaceUpFilter::GFaceUpFilter() : spool_(kFaceUpSpool) {}

GFaceUpFilter::GFaceUpFilter(const std::uint32_t& key) : GFilterClass(key), spool_(kFaceUpSpool) {}

GFaceUpFilter::GFaceUpFilter(const GFaceUpFilter& other)
    : GFilterClass(other), spool_(kFaceUpSpool) {}

GCountedPtr GFaceUpFilter::Submit(const GCountedPtr& command) {
  return spool_.Submit(*this, command);
}

GCountedPtr GFaceUpFilter::Transform(const GCountedPtr& command) {
  return spool_.Transform(*this, command);
}

std::uint32_t GFaceUpFilter::GetFlags() {
  return spool_.IsActive() ? kHoldingFlag : 0;
}

std::uint16_t GFaceUpFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) return 0;
  GRenderDriverData* job = command.GetJobContext();
  if (FilterValue(document, kRuleSwitchKey) != 1 || !job) {
    spool_.Abandon(*this);
    return 0;
  }
  Enable();
  GDriverData* data = job->GetDriverData();
  GAttributeComposite* settings = data ? data->GetJobSettings() : nullptr;
  pairing_ = FilterValue(settings, kDuplexUnitKey).value_or(0) != 0 &&
             FilterValue(document, kDuplexKey).value_or(0) != 0;
  spool_.BeginDocument(command, job);
  return 0;
}

std::uint16_t GFaceUpFilter::PageStart(GPageStart& command) {
  if (pairing_ && spool_.IsActive() && spool_.Counter() == 0) spool_.KeepPageAttributes(command);
  return spool_.BeginPage(*this, command);
}

std::uint16_t GFaceUpFilter::PageEnd(GPageEnd& command) {
  return spool_.EndPage(*this, command);
}

void GFaceUpFilter::ReplayPages(GCommand& end, bool ends_document) {
  spool_.EndDocument(end, pairing_ ? GReplayOrder::kReversePairs : GReplayOrder::kReverse, pairing_,
                     ends_document);
}

std::uint16_t GFaceUpFilter::DocumentEnd(GDocumentEnd& command) {
  if (spool_.HasReplay()) ReplayPages(command, true);
  return 0;
}

// The pass break ends the stretch held so far, as a document end does, but
// the document stays held: the pages after it are held and replayed in
// their own turn.
std::uint16_t GFaceUpFilter::OnPassBreak(GCommand& command) {
  if (spool_.HasReplay()) ReplayPages(command, false);
  return 0;
}

std::uint16_t GFaceUpFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  return 0;
}
