#include "filters/handoff_filters.h"

#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "services/extension_job_hooks.h"
#include "services/render_driver_data.h"
#include "store/command_composite_on_disk.h"

namespace {

constexpr RWClassRegistration kHandOffFilterClasses[] = {
    {&RWCreate<GAAFilter1>, kGAAFilter1Id, "GAAFilter1"},
    {&RWCreate<GAAFilter2>, kGAAFilter2Id, "GAAFilter2"},
};

// The records of a spooled store that GAAFilter2 rewrites, in this order.
constexpr RWClassID kStoreRecords[] = {kGPageStartId, kGPageEndId, kGDocumentEndId};

}  // namespace

template class MPersistentClass<GAAFilter1, GPeripheral, kGAAFilter1Id>;
template class MPersistentClass<GAAFilter2, GPeripheral, kGAAFilter2Id>;

std::span<const RWClassRegistration> HandOffFilterClasses() {
  return kHandOffFilterClasses;
}

template <class Self, RWClassID kId, std::uint32_t kFilter>
void GHandOffFilter<Self, kId, kFilter>::TakeJob(GCommand& start) {
  auto* document = dynamic_cast<GDocumentStart*>(&start);
  GRenderDriverData* job = document ? document->GetJobContext() : nullptr;
  if (!job) return;
  job_ = job;
  hooks_ = job->GetExtensionJobHooks();
}

template <class Self, RWClassID kId, std::uint32_t kFilter>
GCountedPtr GHandOffFilter<Self, kId, kFilter>::HandOffPage(const GCountedPtr& command) {
  auto* page = static_cast<GCommand*>(command.Get());
  if (!hooks_) return command;
  GCommand* answer = page->ClassId() == kGPageStartId ? hooks_->AddStartData(page, kFilter)
                                                      : hooks_->AddEndData(page, kFilter);
  if (!answer || answer == page) return command;
  return GCountedPtr(answer);
}

GCountedPtr GAAFilter1::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  switch (in_hand->ClassId()) {
    case kGDocumentStartId:
      TakeJob(*in_hand);
      if (hooks_) hooks_->DocumentStart(in_hand);
      return command;
    case kGPageStartId:
    case kGPageEndId:
      return HandOffPage(command);
    case kGDocumentEndId:
    case kGJobAbortId:
      LetGo();
      return command;
    default:
      return command;
  }
}

GCountedPtr GAAFilter2::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  switch (in_hand->ClassId()) {
    case kGDocumentStartId:
      TakeJob(*in_hand);
      return command;
    case kGDocumentEndId:
      if (hooks_) hooks_->DocumentEnd(in_hand);
      LetGo();
      return command;
    case kGPageStartId:
    case kGPageEndId:
      return HandOffPage(command);
    case kGJobAbortId:
      LetGo();
      return command;
    default:
      return command;
  }
}

GCountedPtr GAAFilter2::Submit(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand || !IsEnabled()) return command;
  in_hand->SetCommandWord(0);
  switch (in_hand->ClassId()) {
    case kGCommandCompositeId:
      return ExpandComposite(command);
    case kGCommandCompositeOnDiskId: {
      auto* store = static_cast<GCommandCompositeOnDisk*>(in_hand);
      for (RWClassID id : kStoreRecords) {
        GCountedPtr record = store->FindPtrByClassId(id);
        if (!record) continue;
        GCountedPtr answer = Transform(record);
        store->ReplaceRecordByClassId(id, answer.Get());
        store->SetCommandWord(1);
      }
      if (!store->IsInError()) store->Close();
      return command;
    }
    case kGDocumentStartId:
    case kGDocumentEndId:
    case kGPageStartId:
    case kGPageEndId:
    case kGJobAbortId:  // lets the job go
      return Transform(command);
    default:
      return command;
  }
}
