#include "filters/page_spool.h"

#include <mutex>

#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "filters/filter_class.h"
#include "filters/spool_directory.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "output/graphics/graphic.h"
#include "output/graphics/graphic_bundle.h"
#include "persist/find_of_class.h"
#include "persist/string_conversion.h"
#include "services/driver_data.h"
#include "services/os_factory.h"
#include "services/render_driver_data.h"

namespace {

constinit RWLockRecord g_file_lock;

GCommand* AsCommand(const GCountedPtr& object) {
  MPersistentObject* target = object.Get();
  return target && target->IsKindOf(kGCommandId) ? static_cast<GCommand*>(target) : nullptr;
}

// `command` held for a call that keeps it: by its holders' count when it
// has holders, else through a copy, so that the caller's object is never
// destroyed by the hold.
GCountedPtr HoldForCall(GCommand& command) {
  if (command.ReferenceCount() >= 0) return Held(&command);
  return Held(static_cast<MPersistentObject*>(command.CreateCopy()));
}

GCountedPtr NewError(std::uint16_t code, GCommand* command) {
  return Held(RWNew<GErrorCommand>(code, command, 0u));
}

std::string Hex(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return text;
}

RWWString Wide(const std::string& text) {
  RWWString wide;
  NarrowToWide(RWCString(text.c_str()), wide);
  return wide;
}

// Whether the composite `page` (in memory or on disk) holds a command of
// class `id` (depth first; a spooled page is searched in its records).
bool Holds(MPersistentObject& page, RWClassID id) {
  if (page.ClassId() == kGCommandCompositeOnDiskId)
    return static_cast<bool>(page.FindPtrByClassId(id));
  return page.FindByClassId(id) != nullptr;
}

// Whether a save of `fonts` would write nothing and change nothing: a job
// database without objects while no font reader is pooled.
bool HoldsNothing(GFontDatabase& fonts) {
  auto* job_fonts = dynamic_cast<GJobFontDatabase*>(&fonts);
  GTTFontPool* pool = GTTFontPool::Instance();
  return job_fonts && job_fonts->Count() == 0 && (!pool || pool->Count() == 0);
}

bool IsStoreInError(const GCountedPtr& store) {
  return static_cast<GCommandCompositeOnDisk*>(store.Get())->IsInError();
}

}  // namespace

void ChangePageStart(MPersistentObject& page,
                     const std::function<bool(GAttributeComposite*)>& change) {
  const RWClassID id = page.ClassId();
  if (id == kGCommandCompositeOnDiskId) {
    RWErrorScope scope;
    auto& store = static_cast<GCommandCompositeOnDisk&>(page);
    if (GCountedPtr start = store.FindPtrByClassId(kGPageStartId);
        start && change(static_cast<GCommand*>(start.Get())->GetAttributes())) {
      store.ReplaceRecordByClassId(kGPageStartId, start.Get());
    }
    if (!store.IsInError()) store.Close();
    return;
  }
  if (id == kGPageStartId) {
    change(static_cast<GCommand&>(page).GetAttributes());
    return;
  }
  if (id != kGCommandCompositeId) return;
  const GCountedPtrVector& children = static_cast<GCommandComposite&>(page).Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    const RWClassID child = children[i] ? children[i]->ClassId() : 0;
    if (child == kGCommandCompositeId || child == kGCommandCompositeOnDiskId ||
        child == kGPageStartId)
      return ChangePageStart(*children[i].Get(), change);
  }
}

void SetPagePaper(MPersistentObject& page, const RWCString& type, std::uint16_t tray) {
  ChangePageStart(page, [&](GAttributeComposite* set) {
    if (!set) return false;
    if (auto* medium = FindOfClass<GMedia>(set, kMediumKey)) medium->SetMediaType(type);
    if (GValueAttribute* source = FindValueAttribute(set, kPaperSourceKey)) {
      source->SetValue(tray);
    } else {
      set->AddChild(RWNew<GValueAttribute>(tray, kPaperSourceKey));
    }
    return true;
  });
}

RWCollectable* GSpooledPage::CreateCopy() const {
  return RWNew<GSpooledPage>(*this);
}

GPageSpool::~GPageSpool() {
  EmptyPages();
}

std::string GPageSpool::PageName(std::uint32_t counter, std::uint32_t cookie) {
  return Hex(counter ^ cookie);
}

std::string GPageSpool::DirectoryPath() const {
  return directory_ ? directory_->Path() : std::string();
}

GAttributeComposite* GPageSpool::KeptAttributes() const {
  return static_cast<GAttributeComposite*>(kept_.Get());
}

// ---------------------------------------------------------------------------
// The roads

GCountedPtr GPageSpool::Submit(GPeripheral& filter, const GCountedPtr& command) {
  if (!command || !filter.IsEnabled()) return command;
  const RWClassID id = command->ClassId();
  if (!active_ && id == kGCommandCompositeId) return Walk(filter, command);
  if (id == kGNoCommandId || id == kGErrorCommandId) return command;
  if (command->AsComposite()) return filter.ExpandComposite(command);
  return filter.Transform(command);
}

GCountedPtr GPageSpool::Transform(GPeripheral& filter, const GCountedPtr& command) {
  GCommand* in_hand = AsCommand(command);
  if (!in_hand) return command;
  const RWClassID id = in_hand->ClassId();
  const bool page_content = in_hand->IsKindOf(kGGraphicId) || id == kGNullCommandId ||
                            (id == kGPassThroughCommandId && open_store_);
  if (page_content) {
    if (!open_store_) return command;  // outside a page: not the spool's
    if (!Append(command)) {
      Clear(filter);
      return NewError(kSpoolFailure, in_hand);
    }
  } else if (!open_store_ && id == kGPageEndId) {
    return command;  // a page end without its start: not the spool's either
  } else {
    const std::uint16_t code = in_hand->Execute(filter);
    if (code != 0) return NewError(code, in_hand);
  }
  if (!filter.IsEnabled()) return command;
  if (finished_ && (id == kGDocumentEndId || id == kPassBreakId)) return std::move(finished_);
  if (id == kPassBreakId) return command;
  if (active_) return Held(RWNew<GNoCommand>(0u));
  return command;
}

GCountedPtr GPageSpool::Walk(GPeripheral& filter, const GCountedPtr& composite) {
  GCountedPtr answer = composite;
  // The children are held here: a handler may change the composite.
  GCountedPtrVector children(static_cast<GCommandComposite*>(composite.Get())->Children());
  GCountedPtr gathered;  // a page arriving in pieces
  for (RWSize i = 0; i < children.Count() && filter.IsEnabled(); ++i) {
    GCountedPtr child = children[i];
    if (!child) continue;
    const RWClassID id = child->ClassId();
    if (id == kGCommandCompositeId && !active_ && policy_.walk == GSpoolWalk::kExpandWhileIdle) {
      ExpandInPlace(filter, composite, child);
    } else if (id == kGCommandCompositeId || id == kGCommandCompositeOnDiskId) {
      const bool has_start = Holds(*child.Get(), kGPageStartId);
      const bool has_end = Holds(*child.Get(), kGPageEndId);
      // A held page whose file failed is no page without a start: it would
      // be dropped, or passed on as a stray piece. The job fails instead.
      if (id == kGCommandCompositeOnDiskId && IsStoreInError(child)) {
        Abandon(filter);
        return NewError(kSpoolFailure, AsCommand(child));
      }
      if (walk_hook_ && (has_start || has_end))
        walk_hook_->OnWalkPage(*child.Get(), has_start, has_end, static_cast<bool>(gathered));
      if (has_start && has_end) {
        FilePage(child);
      } else if (has_start) {
        gathered = Held(RWNew<GCommandComposite>());
        if (gathered) gathered->AddChild(child.Get());
      } else if (!gathered) {
        if (policy_.walk != GSpoolWalk::kExpandWhileIdle) Abandon(filter);
      } else {
        gathered->AddChild(child.Get());
        if (has_end) {
          FilePage(gathered);
          gathered.Reset();
        }
      }
      if (id == kGCommandCompositeOnDiskId && !IsStoreInError(child))
        static_cast<GCommandCompositeOnDisk*>(child.Get())->Close();
    } else if (id == kGDocumentStartId) {
      filter.Transform(child);
    } else if ((id == kGDocumentEndId || id == kGJobAbortId || id == kPassBreakId) &&
               policy_.walk != GSpoolWalk::kDocumentStartOnly) {
      answer = filter.Transform(child);
    }
  }
  return answer;
}

void GPageSpool::ExpandInPlace(GPeripheral& filter, const GCountedPtr& composite,
                               const GCountedPtr& child) {
  GCountedPtr result = filter.ExpandComposite(child);
  std::unique_ptr<MChildIterator> walk(composite->NewChildIterator());
  auto* children = dynamic_cast<GChildIterator*>(walk.get());
  while (children && children->Next()) {
    if (children->Current() != child.Get()) continue;
    result ? children->ReplaceCurrent(result.Get()) : void(children->RemoveCurrent());
    static_cast<GCommand*>(composite.Get())->SetCommandWord(1);
    break;
  }
}

// ---------------------------------------------------------------------------
// Documents and pages

void GPageSpool::BeginDocument(GDocumentStart& start, GRenderDriverData* job) {
  active_ = true;
  job_ = job;
  counter_ = 0;
  DropHeld();
  GOSFactory* services = GOSFactory::Instance();
  parent_ = services ? services->GetTempDirectory(job->GetDriverData()) : RWWString();
  replay_ = Held(RWNew<GCommandComposite>());
  if (replay_) replay_->AddChild(HoldForCall(start).Get());
}

bool GPageSpool::EnsureDirectory() {
  if (!directory_) {
    directory_ = GSpoolDirectory::Make(parent_, policy_.directory_prefix, policy_.page_extension);
  }
  return static_cast<bool>(directory_);
}

std::uint16_t GPageSpool::Fail(GPeripheral& filter) {
  Clear(filter);
  return kSpoolFailure;
}

bool GPageSpool::Append(const GCountedPtr& command) {
  RWErrorScope scope;
  if (IsStoreInError(open_store_)) return false;
  open_store_->PutRecord(command);
  return !scope.Failed() && !IsStoreInError(open_store_);
}

std::uint16_t GPageSpool::BeginPage(GPeripheral& filter, GPageStart& start) {
  if (!active_) return 0;
  GSpoolLockOwner handler_lock;
  GSpoolLockOwner& lock = policy_.locking == GSpoolLocking::kPerPage ? page_lock_ : handler_lock;
  lock.Acquire();
  RWErrorScope scope;
  open_store_.Reset();  // a page start inside a page: that page is dropped
  if (policy_.naming == GSpoolNaming::kCountThenName) ++counter_;
  const std::string name = PageName(counter_, job_->GetJobCookie());
  const std::string store_name = name + policy_.page_extension;
  const std::string font_name = name + policy_.font_extension;
  if (!EnsureDirectory() || GSpoolDirectory::Faults(GSpoolDirectory::Step::kCreatePageStore) ||
      directory_->Holds(store_name)) {
    return Fail(filter);
  }
  open_store_ = Held(RWNew<GSpooledPage>(Wide(directory_->FilePath(store_name)), directory_));
  if (!open_store_) return Fail(filter);
  font_name_ = font_name;
  auto* bundle = RWNew<GGraphicBundle>();
  if (!bundle) return Fail(filter);
  const std::string font_path = directory_->FilePath(font_name);
  bundle->AddChild(RWNew<GStringAttribute>(RWCString(font_path.c_str()), kSpoolFontFileKey));
  bundle->AddChild(
      RWNew<GStringAttribute>(RWCString(Hex(job_->GetJobCookie()).c_str()), kSpoolCookieKey));
  auto* store = static_cast<GCommandCompositeOnDisk*>(open_store_.Get());
  if (!store->IsInError()) {
    store->AttachAttributes(bundle);
  } else {
    delete bundle;
  }
  if (store->IsInError() || !Append(HoldForCall(start)) ||
      !Append(Held(RWNew<GNullCommand>(nullptr, 0u))) || scope.Failed()) {
    return Fail(filter);
  }
  return 0;
}

std::uint16_t GPageSpool::EndPage(GPeripheral& filter, GPageEnd& end) {
  if (!active_ || !open_store_) return 0;
  GSpoolLockOwner handler_lock;
  GSpoolLockOwner& lock = policy_.locking == GSpoolLocking::kPerPage ? page_lock_ : handler_lock;
  lock.Acquire();
  std::uint16_t result = 0;
  {
    RWErrorScope scope;
    auto* store = static_cast<GCommandCompositeOnDisk*>(open_store_.Get());
    if (!Append(HoldForCall(end))) return Fail(filter);
    store->Close();  // the index is written now: its failure is the page's
    if (store->IsInError() || scope.Failed()) return Fail(filter);
    AddNode(open_store_);
    if (policy_.naming == GSpoolNaming::kNameThenCount) ++counter_;
    GFontDatabase* fonts = job_ ? job_->GetFontDatabase() : nullptr;
    if (GSpoolDirectory::Faults(GSpoolDirectory::Step::kCreateFontFile) ||
        GSpoolDirectory::Faults(GSpoolDirectory::Step::kSaveFonts)) {
      result = kSpoolFailure;
    } else if (fonts) {
      // SpoolLock, then the database's own lock.
      std::lock_guard<platform::CriticalSection> fonts_lock(fonts->Lock());
      if (HoldsNothing(*fonts)) {
        // No file: the page names none, and its replay loads none.
        if (GStringAttribute* file = FindStringAttribute(store->GetAttributes(), kSpoolFontFileKey))
          file->SetValue(RWCString());
      } else if (!directory_->CreateFile(font_name_) ||
                 fonts->SaveToPath(Wide(directory_->FilePath(font_name_))) != 1 || scope.Failed()) {
        result = kSpoolFailure;
      }
    }
    open_store_.Reset();
  }
  lock.Release();
  return result;
}

void GPageSpool::FilePage(const GCountedPtr& page) {
  if (GCommand* command = AsCommand(page)) command->MakeSelfContained();
  AddNode(page);
  ++counter_;
}

void GPageSpool::AddNode(const GCountedPtr& page) {
  auto* node = RWNew<PageListNode>();
  if (!node) return;
  node->page = GCountedPtr(page, g_file_lock);
  pages_.InsertAfter(pages_.Untyped().Last(), node);
}

void GPageSpool::EmptyPages() {
  while (PageListNode* node = pages_.First()) {
    pages_.Remove(node);
    delete node;
  }
}

void GPageSpool::KeepPageAttributes(GCommand& command) {
  if (kept_ || !command.GetAttributes()) return;
  kept_ = Held(command.GetAttributes()->DeepCopy());
}

GCountedPtr GPageSpool::LastPageStart() {
  PageListNode* last = pages_.Last();
  if (!last || !last->page) return GCountedPtr();
  MPersistentObject& page = *last->page.Get();
  if (page.ClassId() != kGCommandCompositeOnDiskId)
    return GCountedPtr(page.FindByClassId(kGPageStartId), g_file_lock);
  RWErrorScope scope;
  GCountedPtr start = page.FindPtrByClassId(kGPageStartId);
  static_cast<GCommandCompositeOnDisk&>(page).Close();
  return start;
}

void GPageSpool::FileBlankPage() {
  GCountedPtr last_start;
  GAttributeComposite* source = KeptAttributes();
  if (!source && (last_start = LastPageStart()))
    source = static_cast<GCommand*>(last_start.Get())->GetAttributes();
  if (source) FilePage(MakeBlankPage(source));
}

GCountedPtr GPageSpool::MakeBlankPage(GAttributeComposite* source) {
  GCountedPtr blank = Held(RWNew<GCommandComposite>());
  if (!blank) return blank;
  auto* set = source ? dynamic_cast<GAttributeComposite*>(source->DeepCopy()) : nullptr;
  blank->AddChild(RWNew<GPageStart>(set, 0u));
  blank->AddChild(RWNew<GPageEnd>(0u));
  return blank;
}

void GPageSpool::AppendPages(GReplayOrder order) {
  RWDoubleLinkListIterator cursor(pages_.Untyped());
  auto append = [&](RWDoubleLink* link) {
    if (link) replay_->AddChild(static_cast<PageListNode*>(link)->page.Get());
  };
  RWSize left = pages_.Count();
  switch (order) {
    case GReplayOrder::kForward:
      while (RWDoubleLink* link = cursor.Advance())
        append(link);
      break;
    case GReplayOrder::kReverse:
      cursor.ToLast();
      for (; left > 0; --left) {
        append(cursor.Advance(0));
        cursor.Retreat();
      }
      break;
    case GReplayOrder::kReversePairs:
      cursor.ToLast();
      for (; left >= 2; left -= 2) {
        append(cursor.Retreat());
        append(cursor.Advance());
        cursor.Retreat(2);
      }
      if (left == 1) append(cursor.Advance(0));
      break;
  }
}

void GPageSpool::EndDocument(GCommand& end, GReplayOrder order, bool pad_to_even,
                             bool ends_document) {
  open_store_.Reset();
  page_lock_.Release();
  if (pad_to_even && pages_.Count() % 2 == 1 && policy_.blank != GBlankSource::kNone)
    FileBlankPage();
  if (replay_) AppendPages(order);
  Finish(end, ends_document);
}

void GPageSpool::EndDocument(GCommand& end, std::span<const GCountedPtr> pages,
                             bool ends_document) {
  open_store_.Reset();
  page_lock_.Release();
  for (const GCountedPtr& page : pages)
    if (replay_ && page) replay_->AddChild(page.Get());
  Finish(end, ends_document);
}

std::vector<GCountedPtr> GPageSpool::Pages() {
  std::vector<GCountedPtr> pages;
  RWDoubleLinkListIterator cursor(pages_.Untyped());
  while (RWDoubleLink* link = cursor.Advance())
    pages.emplace_back(static_cast<PageListNode*>(link)->page, g_file_lock);
  return pages;
}

void GPageSpool::Finish(GCommand& end, bool ends_document) {
  if (replay_) replay_->AddChild(HoldForCall(end).Get());
  EmptyPages();
  finished_ = std::move(replay_);
  if (ends_document) {
    kept_.Reset();
    job_ = nullptr;
    active_ = false;
    directory_.reset();  // the pages hold it as long as they live
  } else {
    replay_ = Held(RWNew<GCommandComposite>());
  }
}

GCommandComposite* GPageSpool::Replay() const {
  return static_cast<GCommandComposite*>(replay_.Get());
}

void GPageSpool::FinishReplay() {
  if (replay_) finished_ = std::move(replay_);
}

void GPageSpool::RestartReplay() {
  replay_ = Held(RWNew<GCommandComposite>());
}

void GPageSpool::DropHeld() {
  EmptyPages();
  replay_.Reset();
  finished_.Reset();
  open_store_.Reset();
  kept_.Reset();
  page_lock_.Release();
  directory_.reset();
}

void GPageSpool::Clear(GPeripheral& filter) {
  DropHeld();
  filter.Disable();
}
