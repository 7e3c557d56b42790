// GLastPageFilter: prints the last page (or the last sheet) of a document
// on other media than the rest. It holds every page and, at document end,
// hands them on in their own order, the trailing t pages' page starts
// asking for the last-page media (medium kMediumKey given the last-page media
// name, paper source kPaperSourceKey the last-page media number).
//
// Settings (document start's set unless said; 16-bit values or strings):
//   kDuplexKey duplex (pairing): non-zero refuses when the job settings'
//       kManualDuplexKey is non-zero, or when one of the names
//       kFrontCoverMediaTypeKey, the medium's (kMediumKey) type,
//       kBackCoverMediaTypeKey, kLastPageMediaTypeKey and
//       kOtherPagesMediaTypeKey is listed in the job settings'
//       kRefusedMediaNamesKey (NoMediaListed; kBackCoverMediaTypeKey is the
//       media-type string, kMediumKey the medium);
//   kLastPageSourceKey, kLastPageMediaTypeKey  the last-page media number
//       and name; kOtherPagesSourceKey, kOtherPagesMediaTypeKey the
//       document's; all four must be there. The filter takes the document
//       when the numbers differ and kLastPageSourceKey is not 19, or else
//       when the names differ and kLastPageMediaTypeKey is not empty (number
//       19 compares names only);
//   kCoverModeKey, kNupSettingsKey -> kPagesPerSheetKey, kRuleSwitchKey: the
//       letterhead rule (cover_filters.h's simplex cover rule).
// Tail count t, n pages held: n <= 2: 0 when paired, else 1 when n is even
// and 0 when odd; n > 2: 2 when paired and n even, else 1. Under the
// letterhead rule, with L the last-page name "Letterhead" or "Preprinted"
// and M the last page marked (its page start's kRepeatedPageKey is 1):
//   L, M:      t = 2 when n > 2, else 0;
//   L, not M:  the last page's start gets kDuplexKey = 2, a blank page follows
//              it (a GPageStart on a deep copy of the last page start's set,
//              so with its medium, tray and orientation, and a GPageEnd);
//              n + 1; t = 2 when n > 2, else 0;
//   not L, M:  the last page is dropped; the new last page's start gets
//              kDuplexKey = 0; t = 1 when n > 1, else 0;
//   neither:   t = 1.
//
// Pages are spooled (filters/page_spool.h: ".dpg" stores and ".dft" font
// files, SpoolLock inside each page handler, named by the counter before
// it moves: the first page is the job cookie itself) and swallowed. A
// pass break (718) is the end of the pages held so far: they go on with
// the tail rule applied to them, then the break, and the document stays
// held (the manual-duplex break is not lost). The walk of a composite
// that arrives while idle transforms its document start and replays at
// the document end it meets (a job abort or pass break likewise).
//
// Mended: kDuplexKey and kNupSettingsKey -> kPagesPerSheetKey are read with
// presence tests (absent: not paired, no letterhead rule); a document start
// without a job context is refused; the letterhead blank copies the last page
// start's set, not the spooled page's bundle (kFontFilePathKey, kJobCookieKey);
// the walk replays held pages at the document end instead of leaving it alone.
//
// Class id 1119, registered as "GLastPageFilter". Stored form: the
// frame's (filter_class.h) with no fields. GetFlags 4 while active.
//
// Ownership: the filter owns its spool. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGLastPageFilterId = 1119;

class GLastPageFilter final : public GFilterClass<GLastPageFilter, kGLastPageFilterId, true> {
 public:
  GLastPageFilter();
  GLastPageFilter(const GLastPageFilter& other);

  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The acceptance test of `document`; sets the media and the rule.
  // REQUIRES: the job context taken.
  bool Accepts(GAttributeComposite* document);
  // 1 when none of the five names is listed in the job settings'
  // kRefusedMediaNamesKey.
  std::uint32_t NoMediaListed(GAttributeComposite* document);
  static bool IsPageMarked(MPersistentObject& page);
  static void SetPagePairing(MPersistentObject& page, std::uint16_t pairing);
  void SetPageToLastMedia(MPersistentObject& page) { SetPagePaper(page, last_name_, last_number_); }
  void ClearSpool() { spool_.Clear(*this); }

  const GPageSpool& Spool() const { return spool_; }
  bool IsLetterheadRule() const { return letterhead_rule_; }

 private:
  // The held pages with the tail rule, then `end`.
  void ReplayPages(GCommand& end, bool ends_document);

  GPageSpool spool_;
  GRenderDriverData* job_ = nullptr;  // not owned
  std::uint16_t pairing_ = 0;
  std::uint16_t last_number_ = 0;
  RWCString last_name_;
  std::uint16_t document_number_ = 0;
  RWCString document_name_;
  bool letterhead_rule_ = false;
};

extern template class MPersistentClass<GLastPageFilter, GPeripheral, kGLastPageFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> LastPageFilterClasses();
