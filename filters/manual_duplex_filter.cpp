#include "filters/manual_duplex_filter.h"

#include <algorithm>
#include <memory>

#include "config/attributes/attribute_lookup.h"
#include "config/attributes/copies_range.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "filters/face_up_filter.h"
#include "foundation/rw/error.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/state.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"
#include "store/command_composite_on_disk.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr std::uint32_t kMediaNameKeys[] = {kFrontCoverMediaTypeKey, kBackCoverMediaTypeKey,
                                            kLastPageMediaTypeKey, kOtherPagesMediaTypeKey};
constexpr std::uint16_t kNoTray = 19;
constexpr std::uint16_t kTrayEighteen = 18;
constexpr std::uint16_t kCustomSizes = 16384;
constexpr char kMessage[] = "test";

constexpr GSpoolPolicy kManualDuplexSpool = {
    ".dpg",
    ".dft",
    "duplex",
    GSpoolNaming::kNameThenCount,
    GSpoolLocking::kPerHandler,
    GSpoolWalk::kExpandWhileIdle,
    GBlankSource::kKeptThenLastPageStart,
};

constexpr RWClassRegistration kManualDuplexFilterClasses[] = {
    {&RWCreate<GManualDuplexFilter>, kGManualDuplexFilterId, "GManualDuplexFilter"},
};

// The first part of class `Part` with id `id` among the parts of the
// installed devices of `type` in `devices`, devices and parts in order.
template <class Part>
const Part* FindInstalledPart(GAttributeComposite* devices, std::uint32_t type, std::uint16_t id) {
  if (!devices) return nullptr;
  const GCountedPtrVector& children = devices->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(children[i].Get());
    if (!device || !device->IsInstalled() || device->GetDeviceType() != type) continue;
    std::unique_ptr<MChildIterator> parts(device->NewChildIterator());
    while (parts && parts->Next()) {
      auto* part = dynamic_cast<const Part*>(parts->Current());
      if (part && part->GetId() == id) return part;
    }
  }
  return nullptr;
}

}  // namespace

template class MPersistentClass<GManualDuplexFilter, GPeripheral, kGManualDuplexFilterId>;

std::span<const RWClassRegistration> ManualDuplexFilterClasses() {
  return kManualDuplexFilterClasses;
}

GManualDuplexFilter::GManualDuplexFilter() : spool_(kManualDuplexSpool) {
  spool_.SetWalkHook(this);
}

GManualDuplexFilter::GManualDuplexFilter(std::uint16_t fixed_tray, const std::uint32_t& key)
    : GFilterClass(key), spool_(kManualDuplexSpool), fixed_tray_(fixed_tray) {
  spool_.SetWalkHook(this);
}

GManualDuplexFilter::GManualDuplexFilter(const GManualDuplexFilter& other)
    : GFilterClass(other),
      GSpoolWalkHook(),
      spool_(kManualDuplexSpool),
      fixed_tray_(other.fixed_tray_) {
  spool_.SetWalkHook(this);
}

GCountedPtr GManualDuplexFilter::Submit(const GCountedPtr& command) {
  return spool_.Submit(*this, command);
}

GCountedPtr GManualDuplexFilter::Transform(const GCountedPtr& command) {
  return spool_.Transform(*this, command);
}

std::uint32_t GManualDuplexFilter::GetFlags() {
  return spool_.IsActive() ? kHoldingFlag : 0;
}

GAttributeComposite* GManualDuplexFilter::JobSettings() const {
  GRenderDriverData* job = spool_.Job();
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  return data ? data->GetJobSettings() : nullptr;
}

// ---------------------------------------------------------------------------
// The document start

std::uint16_t GManualDuplexFilter::DocumentStart(GDocumentStart& command) {
  GAttributeComposite* document = command.GetAttributes();
  if (!document) return 0;
  mode_ = 0;
  duplex_mode_ = FilterValue(document, kDuplexKey).value_or(0);
  GRenderDriverData* job = command.GetJobContext();
  GDriverData* data = job ? job->GetDriverData() : nullptr;
  GAttributeComposite* settings = data ? data->GetJobSettings() : nullptr;
  const GMedia* medium = MediumOf(document);
  if (duplex_mode_ == 0 || !settings || !medium) {
    spool_.Abandon(*this);
    return 0;
  }
  mode_ = FilterValue(settings, kManualDuplexKey).value_or(0);
  const std::int16_t unit = FilterValue(settings, kDuplexUnitReportedKey).value_or(1);
  const std::uint16_t size_id = medium->GetPaperSizeId();
  document_type_ = medium->GetMediaType();
  last_sheet_type_ = StringOf(document, kLastPageMediaTypeKey);
  last_sheet_tray_ =
      static_cast<std::uint16_t>(FilterValue(document, kLastPageSourceKey).value_or(kNoTray));
  const auto document_tray =
      static_cast<std::uint16_t>(FilterValue(document, kOtherPagesSourceKey).value_or(kNoTray));
  if (last_sheet_tray_ != document_tray && last_sheet_tray_ != kNoTray) {
    last_sheet_ = true;
  } else {
    last_sheet_ = last_sheet_type_ != StringOf(document, kOtherPagesMediaTypeKey) &&
                  !last_sheet_type_.IsNull();
  }
  const bool allowed = document_type_ != "Transparency" && document_type_ != "Labels";
  bool refused = data->IsNameNotListed(document_type_) == 0;
  for (std::uint32_t key : kMediaNameKeys)
    refused = refused || data->IsNameNotListed(StringOf(document, key)) == 0;
  refused = refused || FilterValue(document, kStraightPaperPathKey).value_or(0) != 0;
  GAttributeComposite* sizes = FindComposite(settings, kDuplexPaperSizesKey);
  bool taken = false;
  if (mode_ != 0 && unit != 0) {
    taken = refused;
    if (!refused) {
      for (RWSize i = 0; sizes && i < sizes->EntryCount(); ++i) {
        auto* entry = dynamic_cast<GValueAttribute*>(sizes->Children()[i].Get());
        if (!entry) continue;
        if (entry->GetValue() == size_id) {
          if (allowed) taken = false;
          break;
        }
        if (allowed) taken = true;
      }
      if (static_cast<std::int16_t>(size_id) >= static_cast<std::int16_t>(kCustomSizes))
        taken = data->IsMediaSizeInRange(document, size_id) == 0;
    }
    if (taken || !allowed) {
      SetValueIfPresent(document, kDuplexKey, 0);
      SetValueIfPresent(document, kManualDuplexChosenKey, 1);
    }
  } else if (mode_ != 0) {
    taken = allowed;
  } else if (unit != 1 || (sizes && refused)) {
    SetValueIfPresent(document, kDuplexKey, 0);
  }
  if (!taken) {
    spool_.Abandon(*this);
    return 0;
  }
  Enable();
  pass_break_count_ = first_pass_pages_ = 0;
  tray_mapped_ = -1;
  first_tray_ = remaining_tray_ = kNoTray;  // until page starts give theirs
  saved_.Reset();
  if (auto bin = FilterValue(document, kOutputBinKey))
    output_bin_ = static_cast<std::uint16_t>(*bin);
  std::int32_t copies = FilterValue(document, kCollatedCopiesKey).value_or(1);
  const GCopiesRange range = GCopiesRange::Of(settings);
  // Without a range each pass is made once: nothing says the printer takes more.
  copies_ = std::clamp<std::int32_t>(
      copies, 1, std::max<std::int32_t>(1, range.Exists() ? range.Maximum() : 1));
  SetValueIfPresent(document, kManualDuplexChosenKey, 1);
  spool_.BeginDocument(command, job);
  return 0;
}

// ---------------------------------------------------------------------------
// Pages

void GManualDuplexFilter::AdjustPageStart(GAttributeComposite* set) {
  const std::uint32_t n = spool_.Counter();
  if (n == 0) {
    saved_ = GCountedPtr(set ? set->DeepCopy() : nullptr, g_file_lock);
    if (auto tray = FilterValue(set, kPaperSourceKey)) first_tray_ = remaining_tray_ = *tray;
    base_tray_ = fixed_tray_ ? fixed_tray_ : first_tray_;
    current_tray_ = base_tray_;
    ComputePassOrders();
  } else if (n == 2) {
    if (auto tray = FilterValue(set, kPaperSourceKey)) remaining_tray_ = *tray;
    saved_ = GCountedPtr(set ? set->DeepCopy() : nullptr, g_file_lock);
  }
  if (pass_break_count_ != 1 && static_cast<std::uint32_t>(second_order_ >> 1) != (n & 1)) {
    if (FilterValue(set, kPaperSourceKey) == kTrayEighteen)
      PutValue(set, kPaperSourceKey, TrayForEighteen());
    if (GValueAttribute* turn = FindValueAttribute(set, kOrientationKey);
        turn && duplex_mode_ != 1) {
      const std::uint16_t degrees = turn->GetValue();
      if (degrees % 90 == 0 && degrees < 360) turn->SetValue((degrees + 180) % 360);
    }
  } else if (pass_break_count_ == 0 || n != pass_break_count_) {
    PutValue(set, kPaperSourceKey, current_tray_);
  }
}

void GManualDuplexFilter::ComputePassOrders() {
  const int t = FindTrayKind(current_tray_);
  const int b = FindBinKind(output_bin_);
  if (mode_ == 3) mode_ = b;
  const int m = mode_;
  second_order_ = b == m ? (b == 1 ? 1 : 0) : (b == 1 ? 2 : 3);
  first_order_ = second_order_ ^ (t == b ? 2 : 3);
}

int GManualDuplexFilter::FindTrayKind(std::uint16_t tray) {
  GAttributeComposite* settings = JobSettings();
  GAttributeComposite* devices = FindComposite(settings, kPaperHandlingKey);
  const GTray* found = FindInstalledPart<GTray>(devices, kPaperSource, tray);
  if (!found) return 0;
  tray_mapped_ = found->GetMappedValue1();
  return FilterValue(settings, kTrayKindKey) == 2 ? 2 : 1;
}

int GManualDuplexFilter::FindBinKind(std::uint16_t bin) {
  GAttributeComposite* settings = JobSettings();
  GAttributeComposite* devices = FindComposite(settings, kPaperHandlingKey);
  const GBin* found = FindInstalledPart<GBin>(devices, kOutputDevice, bin);
  if (!found) return 0;
  return found->GetValue5() == 1 ? 1 : 2;
}

bool GManualDuplexFilter::HasTraySix() {
  GAttributeComposite* settings = JobSettings();
  GAttributeComposite* devices = FindComposite(settings, kPaperHandlingKey);
  return FindInstalledPart<GTray>(devices, kPaperSource, 6) != nullptr;
}

std::uint16_t GManualDuplexFilter::PageStart(GPageStart& command) {
  if (!spool_.IsActive()) return 0;
  AdjustPageStart(command.GetAttributes());
  return spool_.BeginPage(*this, command);
}

std::uint16_t GManualDuplexFilter::PageEnd(GPageEnd& command) {
  return spool_.EndPage(*this, command);
}

void GManualDuplexFilter::OnWalkPage(MPersistentObject& child, bool has_start, bool, bool) {
  if (has_start && spool_.IsActive())
    ChangePageStart(child, [this](GAttributeComposite* set) {
      AdjustPageStart(set);
      return true;
    });
}

// ---------------------------------------------------------------------------
// The passes

void GManualDuplexFilter::PreparePage(MPersistentObject& page, int order, std::uint32_t ordinal,
                                      bool write) {
  if (order == first_order_) {
    const bool first_sheet = order == 0 || order == 2
                                 ? ordinal <= 2
                                 : ordinal == pass_break_count_ || ordinal + 1 == pass_break_count_;
    current_tray_ = first_sheet ? first_tray_ : remaining_tray_;
  }
  const std::uint32_t pass_first = order == 0 || order == 1 ? 1 : 2;
  if (tray_mapped_ == 1 && order == second_order_ && ordinal != pass_first)
    current_tray_ = first_tray_;
  if (!write) return;
  const std::uint16_t tray = current_tray_;
  // A held page is written again only when its tray changes.
  ChangePageStart(
      page, [tray](GAttributeComposite* set) { return PutValue(set, kPaperSourceKey, tray); });
}

void GManualDuplexFilter::MarkLastSheetPage(MPersistentObject& page) {
  SetPagePaper(page, last_sheet_type_, last_sheet_tray_);
}

std::uint32_t GManualDuplexFilter::ReplayPass(int order, bool write) {
  GCommandComposite* replay = spool_.Replay();
  if (!replay) return 0;
  const std::vector<GCountedPtr> pages = spool_.Pages();
  const auto n = static_cast<std::int64_t>(pages.size());
  const std::int64_t b = pass_break_count_;
  std::uint32_t replayed = 0;
  // Pages by position from 1; each at most once per pass.
  auto replay_page = [&](std::int64_t position, int as_order, std::int64_t ordinal) {
    if (position < 1 || position > n || !pages[position - 1]) return;
    PreparePage(*pages[position - 1].Get(), as_order, static_cast<std::uint32_t>(ordinal), write);
    replay->AddChild(pages[position - 1].Get());
    ++replayed;
  };
  switch (order) {
    case 1:
      for (std::int64_t at = (n - 1) | 1, ordinal = 1; at >= 1 && ordinal <= n;
           at -= 2, ordinal += 2)
        replay_page(at, order, ordinal);
      break;
    case 2:
      if (b == 1) {
        replay_page(1, order, 1);
        break;
      }
      for (std::int64_t at = 2; at <= n; at += 2)
        replay_page(at, order, at);
      break;
    case 3:
      if (n == 1) {
        replay_page(1, order, 2);
        break;
      }
      for (std::int64_t at = n & ~std::int64_t{1}, ordinal = 2; ordinal <= n; at -= 2, ordinal += 2)
        replay_page(at, order, ordinal);
      break;
    default:
      if (b == 1) {
        replay_page(2, 0, 1);
        break;
      }
      for (std::int64_t at = 1; at <= n; at += 2)
        replay_page(at, order, at);
      break;
  }
  return replayed;
}

std::uint16_t GManualDuplexFilter::OnPassBreak(GCommand& command) {
  if (!spool_.IsActive() || !spool_.Replay()) return 0;  // a second break passes on
  std::uint32_t n = spool_.PageCount();
  if (n % 2 == 1 && n != 1) {
    auto* saved = static_cast<GAttributeComposite*>(saved_.Get());
    // The blank is page n + 1, an even page: of the first pass unless the
    // second pass takes the even pages.
    if (pass_break_count_ != 1 && (second_order_ == 0 || second_order_ == 1)) {
      if (FilterValue(saved, kPaperSourceKey) == kTrayEighteen)
        PutValue(saved, kPaperSourceKey, TrayForEighteen());
    } else if (pass_break_count_ == 0 || pass_break_count_ != n) {
      PutValue(saved, kPaperSourceKey, current_tray_);
    }
    saved ? spool_.FilePage(GPageSpool::MakeBlankPage(saved)) : spool_.FileBlankPage();
    n = spool_.PageCount();
  }
  saved_.Reset();
  if (n == 1) SetValueIfPresent(JobSettings(), kManualDuplexInstructionsKey, 0);
  pass_break_count_ = n;
  if (last_sheet_ && !(n <= 2 && (first_tray_ != kNoTray || !document_type_.IsNull()))) {
    const std::vector<GCountedPtr> pages = spool_.Pages();
    const std::uint32_t marked = n == 1 || first_order_ >= 2 ? n : n - 1;
    if (marked >= 1 && marked <= pages.size() && pages[marked - 1])
      MarkLastSheetPage(*pages[marked - 1].Get());
  }
  for (std::int32_t copy = 0; copy < copies_; ++copy)
    first_pass_pages_ += ReplayPass(first_order_, copy + 1 == copies_);
  current_tray_ = base_tray_;
  if (n != 1) spool_.Replay()->AddChild(&command);
  spool_.FinishReplay();
  return 0;
}

std::uint16_t GManualDuplexFilter::DocumentEnd(GDocumentEnd& command) {
  if (!spool_.IsActive()) return 0;
  // Without a pass break the held document start goes first.
  if (!spool_.Replay()) spool_.RestartReplay();
  const bool no_back = pass_break_count_ == 1 && first_pass_pages_ != 0;
  for (std::int32_t copy = 0; copy < copies_ && !no_back; ++copy)
    ReplayPass(second_order_, copy + 1 == copies_);
  if (fixed_tray_ == 0) {
    if (!command.GetAttributes()) command.SetAttributes(RWNew<GState>(0u));
    if (GAttributeComposite* set = command.GetAttributes()) {
      set->AddChild(RWNew<GValueAttribute>(std::uint16_t{1}, kOperatorMessageKey));
      set->AddChild(RWNew<GStringAttribute>(kMessage, kDisplayTextKey));
    }
  }
  saved_.Reset();
  spool_.EndDocument(command, {}, true);
  return 0;
}

std::uint16_t GManualDuplexFilter::JobAbort(GJobAbort&) {
  ClearSpool();
  spool_.SetIdle();
  return 0;
}
