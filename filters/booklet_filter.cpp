#include "filters/booklet_filter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "filters/nup_filter.h"
#include "foundation/rw/support.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/graphic.h"
#include "persist/configuration.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr std::uint32_t kFirstCustomPaper = 16384;
// The names CheckInsertPages asks the job about, after the medium's type.
constexpr std::uint32_t kInsertNameKeys[] = {kFrontCoverMediaTypeKey, kBackCoverMediaTypeKey,
                                             kLastPageMediaTypeKey, kOtherPagesMediaTypeKey};

constexpr GSpoolPolicy kBookletSpool = {
    ".pg",
    ".fnt",
    "booklet",
    GSpoolNaming::kCountThenName,
    GSpoolLocking::kPerPage,
    GSpoolWalk::kDocumentStartOnly,  // not used: the filter keeps GPeripheral::Submit
    GBlankSource::kNone,
};

constexpr RWClassRegistration kBookletFilterClasses[] = {
    {&RWCreate<GBookletFilter>, kGBookletFilterId, "GBookletFilter"},
};

// A page's start: in memory the page start itself; in a page store a copy
// read back, which PutStart writes back.
GCountedPtr StartOf(MPersistentObject& page) {
  if (page.ClassId() == kGCommandCompositeOnDiskId) return page.FindPtrByClassId(kGPageStartId);
  return Held(page.FindByClassId(kGPageStartId));
}

void PutStart(MPersistentObject& page, const GCountedPtr& start) {
  if (page.ClassId() != kGCommandCompositeOnDiskId) return;
  auto& store = static_cast<GCommandCompositeOnDisk&>(page);
  if (start) store.ReplaceRecordByClassId(kGPageStartId, start.Get());
  if (!store.IsInError()) store.Close();
}

// A page's tray and media type; `set` its start's set.
struct PaperOf {
  PaperOf(std::uint16_t tray, const RWCString& type) : tray(tray), type(type) {}
  explicit PaperOf(GAttributeComposite* set)
      : tray(static_cast<std::uint16_t>(FilterValue(set, kPaperSourceKey).value_or(0))),
        type(MediumOf(set) ? MediumOf(set)->GetMediaType() : RWCString()) {}
  std::uint16_t tray;
  RWCString type;
};

}  // namespace

template class MPersistentClass<GBookletFilter, GPeripheral, kGBookletFilterId>;

std::span<const RWClassRegistration> BookletFilterClasses() {
  return kBookletFilterClasses;
}

GBookletFilter::GBookletFilter() : spool_(kBookletSpool) {}

GBookletFilter::GBookletFilter(const GBookletFilter& other)
    : GFilterClass(other), spool_(kBookletSpool) {}

GBookletFilter::~GBookletFilter() = default;

GNupFilter* GBookletFilter::GetNupFilter() {
  if (!inner_) {
    inner_ = Held(RWNew<GNupFilter>(RWCString("Booklet::NupFilter"), RWNew<GState>(),
                                    RWNew<GConfiguration>(), kGNupFilterId, job_));
  }
  return static_cast<GNupFilter*>(inner_.Get());
}

void GBookletFilter::Reset() {
  GPeripheral::Reset();
  inner_.Reset();
}

void GBookletFilter::DropDocument() {
  front_inserts_.clear();
  first_page_.Reset();
  insert_page_.Reset();
  inner_.Reset();
  document_attributes_.Reset();
  job_ = nullptr;
}

void GBookletFilter::ClearSpool() {
  spool_.Clear(*this);
  answer_.Reset();
  DropDocument();
  flags_ = 0;
}

// ---------------------------------------------------------------------------
// The road

GCountedPtr GBookletFilter::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  const RWClassID id = in_hand->ClassId();
  if (in_hand->IsKindOf(kGGraphicId) || id == kGPassThroughCommandId) {
    GCountedPtr answer = spool_.Transform(*this, command);
    if (answer && answer->ClassId() == kGErrorCommandId) ClearSpool();
    return answer;
  }
  if (id == kGDocumentStartId) pass_break_ = false;
  if (id == kPassBreakId) pass_break_ = true;
  if (id == kGDocumentEndId && pass_break_) return command;
  if (const std::uint16_t code = in_hand->Execute(*this); code != 0)
    return Held(RWNew<GErrorCommand>(code, in_hand, 0u));
  if (!IsEnabled()) return command;
  if ((id == kGDocumentEndId || id == kPassBreakId) && answer_) return std::move(answer_);
  if (!spool_.IsActive()) return command;
  return Held(RWNew<GNoCommand>(0u));
}

// ---------------------------------------------------------------------------
// Documents

std::uint16_t GBookletFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* set = command.GetAttributes();
  if (!set) return 0;
  job_ = command.GetJobContext();
  insert_flag_ = ReadInsertSettings(set) && CheckInsertPages(set);
  const std::int16_t booklet = FilterValue(set, kBookletKey).value_or(0);
  if (booklet == 0 || !job_ || job_->IsAppCompatModeOn() != 0) {
    ClearSpool();
    return 0;
  }
  page_pairing_ = booklet;
  flags_ = booklet > 0 ? kBookletFlag : 0;
  sheet_order_ = FilterValue(set, kBookletSheetOrderKey).value_or(0);
  Enable();
  page_count_ = 0;
  answer_.Reset();
  GRenderDriverData* job = job_;
  DropDocument();
  job_ = job;
  // The inner N-up's settings: two pages to a sheet, in order, no frames.
  auto* nup = RWNew<GAttributeComposite>(kNupSettingsKey);
  if (nup) {
    nup->AddChild(RWNew<GValueAttribute>(2, kPagesPerSheetKey));
    nup->AddChild(RWNew<GValueAttribute>(0, kNupPageOrderKey));
    nup->AddChild(RWNew<GValueAttribute>(0, kNupBordersKey));
  }
  set->AddChild(nup);
  set->AddChild(RWNew<GValueAttribute>(2, kDuplexKey));
  // The sheets' medium: the target turned to the document's orientation.
  auto* target = FindOfClass<GMedia>(set, kBookletMediumKey);
  const std::optional<std::int16_t> orientation = FilterValue(set, kOrientationKey);
  if (target && orientation) {
    const std::int32_t turn =
        NormalizeAngle(static_cast<std::int32_t>(target->GetOrientation()) - *orientation);
    GMedia* made = nullptr;
    if (turn == 0) {
      made = RWNew<GMedia>(*target);
    } else {
      auto turned = [&](GSize16 size) {
        return turn == 180 ? size : GSize16(size.height, size.width);
      };
      made = RWNew<GMedia>("", turned(target->GetPaperSize()), turned(target->GetPrintableSize()),
                           turned(target->GetPrintableOrigin()), target->GetOrientation(),
                           target->GetPaperSizeId(), target->GetXResolution(),
                           target->GetYResolution(), kModelMediumKey, 0, "", "");
    }
    if (made) {
      if (GMedia* own = MediumOf(set)) made->SetMediaType(own->GetMediaType());
      made->SetKey(kMediumKey);
      set->AddChild(made);
    }
  }
  document_attributes_ = Held(set->DeepCopy());
  spool_.BeginDocument(command, job_);
  return 0;
}

std::uint16_t GBookletFilter::DocumentEnd(GDocumentEnd& command) {
  return EndBooklet(command);
}

std::uint16_t GBookletFilter::OnPassBreak(GCommand& command) {
  return EndBooklet(command);
}

std::uint16_t GBookletFilter::EndBooklet(GCommand& end) {
  if (!spool_.HasReplay()) return 0;
  std::vector<GCountedPtr> pages = front_inserts_;
  for (GCountedPtr& page : spool_.Pages())
    pages.push_back(std::move(page));
  // Padded by what is held: a page left open at the end is not.
  const std::size_t fronts = front_inserts_.size();
  for (; (pages.size() - fronts) % 4 != 0; ++page_count_)
    pages.push_back(
        GPageSpool::MakeBlankPage(static_cast<GAttributeComposite*>(first_page_.Get())));
  if (insert_flag_) {
    for (int i = 0; i < 2; ++i)
      pages.push_back(
          GPageSpool::MakeBlankPage(static_cast<GAttributeComposite*>(insert_page_.Get())));
    page_count_ += 4;
  }
  first_page_.Reset();
  insert_page_.Reset();
  front_inserts_.clear();
  const std::vector<GCountedPtr> ordered =
      sheet_order_ == 1 ? OrderInsideOut(pages) : OrderOutsideIn(pages);
  pages.clear();
  spool_.EndDocument(end, ordered, true);
  GCountedPtr booklet = spool_.TakeReplay();
  GCountedPtr answer = booklet ? GetNupFilter()->Submit(booklet) : GCountedPtr();
  inner_.Reset();
  document_attributes_.Reset();
  job_ = nullptr;
  if (answer && answer->ClassId() == kGErrorCommandId)
    return static_cast<GErrorCommand*>(answer.Get())->GetCode();
  if (booklet) {
    if (auto* start = static_cast<GCommand*>(booklet->FindByClassId(kGDocumentStartId)))
      if (GAttributeComposite* set = start->GetAttributes())
        Held(set->RemoveByKey(kNupSettingsKey));
  }
  answer_ = std::move(answer);
  return 0;
}

std::uint16_t GBookletFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  return 0;
}

// ---------------------------------------------------------------------------
// Pages

std::uint16_t GBookletFilter::PageStart(GPageStart& command) {
  if (!spool_.IsActive()) return 0;
  ++page_count_;
  GAttributeComposite* set = command.GetAttributes();
  if (set) set->AddChild(RWNew<GValueAttribute>(2, kDuplexKey));
  const bool first = page_count_ == 1;
  if (first && set) {
    first_page_ = Held(set->DeepCopy());
    if (insert_flag_) {
      set->AddChild(RWNew<GValueAttribute>(1, kFrontCoverKey));
      insert_page_ = Held(set->DeepCopy());
      auto* inserts = static_cast<GAttributeComposite*>(insert_page_.Get());
      if (inserts) {
        PutValue(inserts, kPaperSourceKey, insert_tray_);
        if (GMedia* medium = MediumOf(inserts)) medium->SetMediaType(insert_media_type_);
      }
    }
  }
  if (const std::uint16_t code = spool_.BeginPage(*this, command); code != 0) {
    ClearSpool();
    return code;
  }
  if (first && insert_flag_) {
    for (int i = 0; i < 2; ++i)
      front_inserts_.push_back(
          GPageSpool::MakeBlankPage(static_cast<GAttributeComposite*>(insert_page_.Get())));
  }
  return 0;
}

std::uint16_t GBookletFilter::PageEnd(GPageEnd& command) {
  const std::uint16_t code = spool_.EndPage(*this, command);
  if (code != 0 && !IsEnabled()) ClearSpool();
  return code;
}

// ---------------------------------------------------------------------------
// Booklet order and covers

std::vector<GCountedPtr> GBookletFilter::OrderOutsideIn(std::span<const GCountedPtr> pages) {
  std::vector<GCountedPtr> ordered;
  const std::size_t n = pages.size();
  for (std::size_t i = 0; i < n / 2; ++i) {
    const GCountedPtr& f = pages[i];
    const GCountedPtr& b = pages[n - 1 - i];
    if (i < 3) AssignCoverTrays(static_cast<std::uint32_t>(i), f, b);
    const GCountedPtr& p = page_pairing_ == 2 ? f : b;
    const GCountedPtr& q = page_pairing_ == 2 ? b : f;
    ordered.push_back(i % 2 == 0 ? p : q);
    ordered.push_back(i % 2 == 0 ? q : p);
  }
  return ordered;
}

std::vector<GCountedPtr> GBookletFilter::OrderInsideOut(std::span<const GCountedPtr> pages) {
  std::vector<GCountedPtr> ordered;
  const std::size_t n = pages.size(), sheets = n / 4;
  for (std::size_t j = 0; j < sheets; ++j) {
    // Up from page n/2 + 1, down from page n/2 (0-based n/2 and n/2 - 1).
    const GCountedPtr& a = pages[n / 2 + 2 * j];
    const GCountedPtr& b = pages[n / 2 - 1 - 2 * j];
    const GCountedPtr& c = pages[n / 2 + 2 * j + 1];
    const GCountedPtr& d = pages[n / 2 - 2 - 2 * j];
    if (j == sheets - 1) {
      AssignCoverTrays(0, d, c);
      // The front side of the next sheet inwards follows the inner paper.
      if (AssignCoverTrays(1, b, a) && sheets > 1)
        AssignCoverTrays(2, pages[n / 2 - 2 * j], pages[n / 2 + 2 * j - 1]);
    }
    if (page_pairing_ == 2) {
      ordered.insert(ordered.end(), {d, c, a, b});
    } else {
      ordered.insert(ordered.end(), {c, d, b, a});
    }
  }
  return ordered;
}

bool GBookletFilter::AssignCoverTrays(std::uint32_t side, const GCountedPtr& first,
                                      const GCountedPtr& second) {
  bool differ = cover_tray_ != inner_tray_ || !(cover_media_type_ == inner_media_type_);
  auto give = [](GCommand& start, const PaperOf& paper) {
    GAttributeComposite* set = start.GetAttributes();
    if (!set) return;
    PutValue(set, kPaperSourceKey, paper.tray);
    if (GMedia* medium = MediumOf(set)) medium->SetMediaType(paper.type);
  };
  if (first && first->ClassId() == kGCommandCompositeOnDiskId) {
    GCountedPtr start = StartOf(*first.Get());
    auto* command = static_cast<GCommand*>(start.Get());
    if (command) {
      const PaperOf own(command->GetAttributes());
      const PaperOf cover{cover_tray_, cover_media_type_}, inner{inner_tray_, inner_media_type_};
      bool changed = false;
      if (side == 0) {
        cover_tray_ = inner_tray_ = own.tray;
        cover_media_type_ = inner_media_type_ = own.type;
      } else if (side == 1) {
        differ = own.tray != cover_tray_ || !(own.type == cover_media_type_);
        inner_tray_ = own.tray;
        inner_media_type_ = own.type;
        if ((changed = differ)) give(*command, cover);
      } else if ((changed = differ)) {
        give(*command, inner);
      }
      if (!changed) start.Reset();
    }
    PutStart(*first.Get(), start);
  }
  if (second) {
    GCountedPtr start = StartOf(*second.Get());
    if (auto* command = static_cast<GCommand*>(start.Get()))
      give(*command, side < 2 ? PaperOf{cover_tray_, cover_media_type_}
                              : PaperOf{inner_tray_, inner_media_type_});
    PutStart(*second.Get(), start);
  }
  return differ;
}

// ---------------------------------------------------------------------------
// Insert pages and the page-scale query

bool GBookletFilter::ReadInsertSettings(GAttributeComposite* set) {
  if (FilterValue(set, kFrontCoverKey).value_or(0) == 0) return false;
  const std::optional<std::int16_t> tray = FilterValue(set, kFrontCoverSourceKey);
  GStringAttribute* type = FindStringAttribute(set, kFrontCoverMediaTypeKey);
  if (tray && type) {
    insert_tray_ = static_cast<std::uint16_t>(*tray);
    insert_media_type_ = type->GetValue();
  }
  return true;
}

bool GBookletFilter::CheckInsertPages(GAttributeComposite* set) {
  GDriverData* data = job_ ? job_->GetDriverData() : nullptr;
  if (FilterValue(set, kDuplexKey).value_or(0) == 0 || !data) return false;
  GAttributeComposite* job_settings = data->GetJobSettings();
  const std::int16_t a = FilterValue(job_settings, kManualDuplexKey).value_or(0);
  const std::int16_t b = FilterValue(job_settings, kDuplexUnitReportedKey).value_or(0);
  if (a == 0) return false;
  GMedia* medium = MediumOf(set);
  const std::uint16_t paper = medium ? medium->GetPaperSizeId() : 0;
  const RWCString type = medium ? medium->GetMediaType() : RWCString();
  const bool usable = !type.EqualsChars("Transparency") && !type.EqualsChars("Labels");
  if (b == 0) return usable;
  bool listed = data->IsNameNotListed(type) == 0;
  for (std::uint32_t key : kInsertNameKeys)
    listed = listed || data->IsNameNotListed(StringOf(set, key)) == 0;
  listed = listed || FilterValue(set, kLastPageSourceKey).value_or(0) != 0;
  if (listed) return true;
  bool answer = false;
  GAttributeComposite* papers = FindComposite(job_settings, kDuplexPaperSizesKey);
  for (RWSize i = 0; papers && i < papers->EntryCount(); ++i) {
    auto* value = dynamic_cast<GValueAttribute*>(papers->Children()[i].Get());
    if (!value) continue;
    if (value->GetValue() == paper) {
      if (usable) answer = false;
      break;
    }
    if (usable) answer = true;
  }
  if (paper >= kFirstCustomPaper) answer = data->IsMediaSizeInRange(set, paper) == 0;
  return answer;
}

GScalePair GBookletFilter::GetPageScale(GAttributeComposite*, GAttributeComposite* page,
                                        std::uint32_t page_number, std::uint32_t& status) {
  if (status == 3 || !document_attributes_) return GScalePair{0.0f, 0.0f};
  const GScalePair scale = GetNupFilter()->GetPageScale(
      static_cast<GAttributeComposite*>(document_attributes_.Get()), page, page_number, status);
  status = 3;
  return scale;
}
