#include "filters/last_page_filter.h"

#include <vector>

#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "filters/cover_filters.h"
#include "filters/face_up_filter.h"
#include "output/commands/job_commands.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr std::uint16_t kAnyMedia = 19;
// NoMediaListed's names, in order; 0 stands for the medium's type.
constexpr std::uint32_t kListedNameKeys[] = {kFrontCoverMediaTypeKey, 0, kBackCoverMediaTypeKey,
                                             kLastPageMediaTypeKey, kOtherPagesMediaTypeKey};

constexpr GSpoolPolicy kLastPageSpool = {
    ".dpg",
    ".dft",
    "lastpage",
    GSpoolNaming::kNameThenCount,
    GSpoolLocking::kPerHandler,
    GSpoolWalk::kDocumentCommands,
    GBlankSource::kNone,
};

constexpr RWClassRegistration kLastPageFilterClasses[] = {
    {&RWCreate<GLastPageFilter>, kGLastPageFilterId, "GLastPageFilter"},
};

RWCString NameAt(GAttributeComposite* set, std::uint32_t key) {
  if (key == 0) {
    auto* medium = FindOfClass<GMedia>(set, kMediumKey);
    return medium ? medium->GetMediaType() : RWCString();
  }
  GStringAttribute* text = FindStringAttribute(set, key);
  return text ? text->GetValue() : RWCString();
}

}  // namespace

template class MPersistentClass<GLastPageFilter, GPeripheral, kGLastPageFilterId>;

std::span<const RWClassRegistration> LastPageFilterClasses() {
  return kLastPageFilterClasses;
}

GLastPageFilter::GLastPageFilter() : spool_(kLastPageSpool) {}

GLastPageFilter::GLastPageFilter(const GLastPageFilter& other)
    : GFilterClass(other), spool_(kLastPageSpool) {}

GCountedPtr GLastPageFilter::Submit(const GCountedPtr& command) {
  return spool_.Submit(*this, command);
}

GCountedPtr GLastPageFilter::Transform(const GCountedPtr& command) {
  return spool_.Transform(*this, command);
}

std::uint32_t GLastPageFilter::GetFlags() {
  return spool_.IsActive() ? kHoldingFlag : 0;
}

std::uint32_t GLastPageFilter::NoMediaListed(GAttributeComposite* document) {
  GDriverData* data = job_ ? job_->GetDriverData() : nullptr;
  if (!data) return 0;
  for (std::uint32_t key : kListedNameKeys)
    if (data->IsNameNotListed(NameAt(document, key)) == 0) return 0;
  return 1;
}

bool GLastPageFilter::Accepts(GAttributeComposite* document) {
  GDriverData* data = job_ ? job_->GetDriverData() : nullptr;
  if (!data) return false;
  const std::uint16_t pairing =
      static_cast<std::uint16_t>(FilterValue(document, kDuplexKey).value_or(0));
  if (pairing != 0 && (FilterValue(data->GetJobSettings(), kManualDuplexKey).value_or(0) != 0 ||
                       NoMediaListed(document) == 0))
    return false;
  const std::optional<std::int16_t> last_number = FilterValue(document, kLastPageSourceKey);
  const std::optional<std::int16_t> document_number = FilterValue(document, kOtherPagesSourceKey);
  GStringAttribute* last_name = FindStringAttribute(document, kLastPageMediaTypeKey);
  GStringAttribute* document_name = FindStringAttribute(document, kOtherPagesMediaTypeKey);
  if (!last_number || !document_number || !last_name || !document_name) return false;
  last_number_ = static_cast<std::uint16_t>(*last_number);
  last_name_ = last_name->GetValue();
  document_number_ = static_cast<std::uint16_t>(*document_number);
  document_name_ = document_name->GetValue();
  letterhead_rule_ = SimplexCoverRule(document).value_or(false);
  const bool numbers_differ = last_number_ != document_number_ && last_number_ != kAnyMedia;
  if (!numbers_differ && (last_name_ == document_name_ || last_name_.IsNull())) return false;
  pairing_ = pairing;
  return true;
}

std::uint16_t GLastPageFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) return 0;
  job_ = command.GetJobContext();
  if (!Accepts(document)) {
    spool_.Abandon(*this);
    return 0;
  }
  Enable();
  spool_.BeginDocument(command, job_);
  return 0;
}

std::uint16_t GLastPageFilter::PageStart(GPageStart& command) {
  return spool_.BeginPage(*this, command);
}

std::uint16_t GLastPageFilter::PageEnd(GPageEnd& command) {
  return spool_.EndPage(*this, command);
}

bool GLastPageFilter::IsPageMarked(MPersistentObject& page) {
  bool marked = false;
  ChangePageStart(page, [&](GAttributeComposite* set) {
    marked = FilterValue(set, kRepeatedPageKey).value_or(0) == 1;
    return false;
  });
  return marked;
}

void GLastPageFilter::SetPagePairing(MPersistentObject& page, std::uint16_t pairing) {
  ChangePageStart(page, [&](GAttributeComposite* set) {
    if (!set) return false;
    if (GValueAttribute* duplex = FindValueAttribute(set, kDuplexKey)) {
      duplex->SetValue(pairing);
    } else {
      set->AddChild(RWNew<GValueAttribute>(pairing, kDuplexKey));
    }
    return true;
  });
}

void GLastPageFilter::ReplayPages(GCommand& end, bool ends_document) {
  std::vector<GCountedPtr> pages = spool_.Pages();
  std::size_t n = pages.size();
  const bool paired = pairing_ != 0;
  std::size_t t = n <= 2 ? (paired ? 0 : (n % 2 == 0 ? 1 : 0)) : (paired && n % 2 == 0 ? 2 : 1);
  if (letterhead_rule_ && n > 0) {
    const bool L = last_name_.EqualsChars("Letterhead") || last_name_.EqualsChars("Preprinted");
    const bool M = IsPageMarked(*pages.back().Get());
    t = 0;
    if (L && M) {
      if (n > 2) t = 2;
    } else if (L) {
      SetPagePairing(*pages.back().Get(), 2);
      GCountedPtr start = spool_.LastPageStart();
      pages.push_back(GPageSpool::MakeBlankPage(
          start ? static_cast<GCommand*>(start.Get())->GetAttributes() : nullptr));
      if (++n > 2) t = 2;
    } else if (M) {
      pages.pop_back();
      if (--n > 0) SetPagePairing(*pages.back().Get(), 0);
      if (n > 1) t = 1;
    } else {
      t = 1;
    }
  }
  t = std::min(t, n);
  for (std::size_t i = n - t; i < n; ++i)
    if (pages[i]) SetPageToLastMedia(*pages[i].Get());
  spool_.EndDocument(end, pages, ends_document);
}

std::uint16_t GLastPageFilter::DocumentEnd(GDocumentEnd& command) {
  if (spool_.HasReplay()) ReplayPages(command, true);
  if (!spool_.IsActive()) job_ = nullptr;
  return 0;
}

std::uint16_t GLastPageFilter::OnPassBreak(GCommand& command) {
  if (spool_.HasReplay()) ReplayPages(command, false);
  return 0;
}

std::uint16_t GLastPageFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  return 0;
}
