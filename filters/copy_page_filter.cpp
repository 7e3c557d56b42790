#include "filters/copy_page_filter.h"

#include <memory>

#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "filters/face_up_filter.h"
#include "foundation/rw/error.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "persist/find_of_class.h"
#include "persist/persistent_association.h"
#include "persist/selection_string.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr GSpoolPolicy kCopyPageSpool = {
    ".cpg",
    ".cft",
    "copypage",
    GSpoolNaming::kCountThenName,
    GSpoolLocking::kPerHandler,
    GSpoolWalk::kExpandWhileIdle,
    GBlankSource::kNone,
};

constexpr RWClassRegistration kCopyPageFilterClasses[] = {
    {&RWCreate<GCopyPageFilter>, kGCopyPageFilterId, "GCopyPageFilter"},
};

// Whether the job settings' list kCopyPageChoicesKey gives "LOW" for the
// selection `s`. The list sits in the printer object's configuration set beside
// the job settings (an attribute composite cannot hold it).
bool SelectsLow(GRenderDriverData* job, std::uint16_t s) {
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  MPersistentObject* set = data ? data->GetConfigurationSet() : nullptr;
  auto* list = FindOfClass<MAssociationList>(set, kCopyPageChoicesKey);
  if (!list) return false;
  const GValueAttribute probe(s, 0u);
  auto* entry = dynamic_cast<GSelectionString*>(list->FindValue(&probe));
  return entry && entry->Text().EqualsChars("LOW");
}

}  // namespace

template class MPersistentClass<GCopyPageFilter, GPeripheral, kGCopyPageFilterId>;

std::span<const RWClassRegistration> CopyPageFilterClasses() {
  return kCopyPageFilterClasses;
}

GCopyPageFilter::GCopyPageFilter() : spool_(kCopyPageSpool) {
  spool_.SetWalkHook(this);
}

GCopyPageFilter::GCopyPageFilter(const GCopyPageFilter& other)
    : GFilterClass(other), GSpoolWalkHook(), spool_(kCopyPageSpool) {
  spool_.SetWalkHook(this);
}

GCountedPtr GCopyPageFilter::Submit(const GCountedPtr& command) {
  if (!command || !IsEnabled() || command->ClassId() != kGCommandCompositeId) {
    return spool_.Submit(*this, command);
  }
  walking_ = !spool_.IsActive() || walk_after_break_;
  GCountedPtr answer = walking_ ? spool_.Walk(*this, command) : spool_.Submit(*this, command);
  walking_ = false;
  return answer;
}

GCountedPtr GCopyPageFilter::Transform(const GCountedPtr& command) {
  return spool_.Transform(*this, command);
}

std::uint32_t GCopyPageFilter::GetFlags() {
  return spool_.IsActive() ? kHoldingFlag : 0;
}

void GCopyPageFilter::ResetCopies() {
  copies_.clear();
  first_pass_ = 0;
  after_break_ = false;
  walk_after_break_ = false;
  copy_count_ = document_copies_ = 1;
}

std::uint16_t GCopyPageFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) return 0;
  GRenderDriverData* job = command.GetJobContext();
  bool taken = false;
  if (const std::optional<std::int16_t> s = FilterValue(document, kCopyPageChoiceKey);
      s && SelectsLow(job, static_cast<std::uint16_t>(*s))) {
    GValueAttribute* copies = FindValueAttribute(document, kCopiesKey);
    GValueAttribute* collate = FindValueAttribute(document, kCollatedCopiesKey);
    if (copies && collate && copies->GetValue() > 1 && collate->GetValue() != copies->GetValue()) {
      ResetCopies();
      copy_count_ = document_copies_ = copies->GetValue();
      copies->SetValue(1);
      if (GValueAttribute* printer = FindValueAttribute(document, kPrinterCopiesKey))
        printer->SetValue(1);
      taken = true;
    }
  }
  if (!taken) {
    ClearSpool();  // standing aside, it keeps nothing (page_spool.h)
    spool_.SetIdle();
    return 0;
  }
  Enable();
  spool_.BeginDocument(command, job);
  return 0;
}

std::uint32_t GCopyPageFilter::TakePageCopies(GAttributeComposite* set) {
  GValueAttribute* copies = FindValueAttribute(set, kPrinterCopiesKey);
  if (!copies) return copy_count_;
  const std::uint16_t k = copies->GetValue();
  if (k > 1) copies->SetValue(1);
  return k == 0 ? 1 : k;
}

std::uint16_t GCopyPageFilter::PageStart(GPageStart& command) {
  if (spool_.IsActive()) {
    copy_count_ = document_copies_;
    GAttributeComposite* set = command.GetAttributes();
    if (GValueAttribute* copies = FindValueAttribute(set, kPrinterCopiesKey)) {
      const std::uint16_t k = copies->GetValue();
      GCountedPtr removed(set->RemoveByKey(kPrinterCopiesKey));
      if (k > 1) {
        copy_count_ = k;
        set->AddChild(RWNew<GValueAttribute>(std::uint16_t{1}, kPrinterCopiesKey));
      }
    }
  }
  return spool_.BeginPage(*this, command);
}

std::uint16_t GCopyPageFilter::PageEnd(GPageEnd& command) {
  if (!spool_.IsPageOpen()) return spool_.EndPage(*this, command);
  const std::uint32_t k = TakePageCopies(command.GetAttributes());
  const std::uint16_t result = spool_.EndPage(*this, command);
  // Filed unless the store failed (the spool is then empty); a font
  // database that failed to save files the page once.
  if (spool_.PageCount() > copies_.size()) copies_.push_back(result == 0 ? k : 1);
  return result;
}

void GCopyPageFilter::OnWalkPage(MPersistentObject& child, bool has_start, bool has_end,
                                 bool gathering) {
  if (has_start) {
    ChangePageStart(child, [&](GAttributeComposite* set) {
      return FindValueAttribute(set, kPrinterCopiesKey) && (TakePageCopies(set), true);
    });
  }
  if (!has_end || (!has_start && !gathering)) return;
  std::uint32_t k = 1;
  if (has_start) {
    // The page end's copies, written back into a page store.
    if (child.ClassId() == kGCommandCompositeOnDiskId) {
      auto& store = static_cast<GCommandCompositeOnDisk&>(child);
      RWErrorScope scope;
      if (GCountedPtr end = store.FindPtrByClassId(kGPageEndId)) {
        GAttributeComposite* set = static_cast<GCommand*>(end.Get())->GetAttributes();
        const bool has_copies = FindValueAttribute(set, kPrinterCopiesKey) != nullptr;
        k = TakePageCopies(set);
        if (has_copies) store.ReplaceRecordByClassId(kGPageEndId, end.Get());
      }
      if (!store.IsInError()) store.Close();
    } else if (auto* end = dynamic_cast<GCommand*>(child.FindByClassId(kGPageEndId))) {
      k = TakePageCopies(end->GetAttributes());
    }
  }
  copies_.push_back(k);
}

void GCopyPageFilter::EmitPages(GCommand& end, bool ends_document) {
  const std::vector<GCountedPtr> held = spool_.Pages();
  std::uint32_t nodes = 0;
  for (std::size_t i = 0; i < held.size(); ++i)
    nodes += i < copies_.size() ? copies_[i] : 1;
  const bool balanced = !after_break_ || nodes == first_pass_;
  std::vector<GCountedPtr> pages;
  for (std::size_t i = 0; i < held.size(); ++i)
    for (std::uint32_t n = balanced && i < copies_.size() ? copies_[i] : 1; n > 0; --n)
      pages.push_back(held[i]);
  copies_.clear();
  first_pass_ = nodes;
  spool_.EndDocument(end, pages, ends_document);
}

std::uint16_t GCopyPageFilter::OnPassBreak(GCommand& command) {
  if (!spool_.HasReplay()) return 0;
  EmitPages(command, false);
  after_break_ = true;
  walk_after_break_ = walk_after_break_ || walking_;
  return 0;
}

std::uint16_t GCopyPageFilter::DocumentEnd(GDocumentEnd& command) {
  if (spool_.HasReplay()) EmitPages(command, true);
  ResetCopies();
  return 0;
}

std::uint16_t GCopyPageFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  return 0;
}

void GCopyPageFilter::ClearSpool() {
  spool_.Clear(*this);
  ResetCopies();
}
