// GCopyPageFilter: makes a document's copies itself, each page repeated k
// times in a row, when the printer would collate them otherwise. A page is
// stored once on disk; its copies replay the same page store.
//
// Settings (document start's set unless said; 16-bit values):
//   kCopyPageChoiceKey  selects an entry of the job settings'
//        kCopyPageChoicesKey (an MAssociationList from GValueAttribute (key 0)
//        to GSelectionString, found by key in the printer object's
//        configuration set, GetConfigurationSet); the filter acts only when the
//        entry's text is exactly "LOW";
//   kCopiesKey  the number of copies: above 1 and unlike kCollatedCopiesKey, it
//        becomes the copy count and kCopiesKey := 1 (and kPrinterCopiesKey := 1
//        when present): the printer then makes one copy;
//   kPrinterCopiesKey  copies asked of the printer: a page start's
//        kPrinterCopiesKey above 1 is the copy count from that page on, and
//        becomes 1; a page end's kPrinterCopiesKey is that page's k (set to 1
//        when above 1).
//
// Pages are spooled (filters/page_spool.h: ".cpg" stores and ".cft" font
// files, SpoolLock inside each page handler, the counter moves before the
// page is named) and swallowed; each is filed with its k. The document end
// is replaced by the document start, each page k times, the document end.
// A pass break (718) hands on what is held so far (the document start and
// the first pass) and the break; after it the document end hands on the
// second pass. The copies after a break are made only for the shape the
// manual-duplex filter gives (the second pass as many nodes as the first);
// other shapes pass each page once, copies unmade.
//
// Submit's walk takes composites apart while idle and, once it met a pass
// break, while active too (manual duplex hands its passes on as
// composites): a child that holds a page start and a page end is filed k
// times (kPrinterCopiesKey of its page start and end set to 1, on disk written
// back); a composite child met while idle is taken apart in place.
//
// Mended: kCopiesKey and kCollatedCopiesKey are read with presence tests
// (absent: not taken); a page start without a kPrinterCopiesKey above 1 returns
// the copy count to the document's value (a page's copies no longer stick to
// later pages); a k of 0 in the walk counts as 1 (k >= 1).
//
// Class id 1113, registered as "GCopyPageFilter". Stored form: the
// frame's (filter_class.h) with no fields. GetFlags 4 while active.
//
// Ownership: the filter owns its spool. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGCopyPageFilterId = 1113;

class GCopyPageFilter final : public GFilterClass<GCopyPageFilter, kGCopyPageFilterId, true>,
                              private GSpoolWalkHook {
 public:
  GCopyPageFilter();
  GCopyPageFilter(const GCopyPageFilter& other);

  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // k of a page command's set: its kPrinterCopiesKey (set to 1 when above 1; at
  // least 1), else the copy count.
  std::uint32_t TakePageCopies(GAttributeComposite* set);
  // Everything held dropped; copies 1; the filter disabled.
  void ClearSpool();

  const GPageSpool& Spool() const { return spool_; }
  std::uint16_t CopyCount() const { return copy_count_; }

 private:
  void OnWalkPage(MPersistentObject& child, bool has_start, bool has_end, bool gathering) override;
  // The held pages, each k times (see the file comment), then `end`.
  void EmitPages(GCommand& end, bool ends_document);
  void ResetCopies();

  GPageSpool spool_;
  std::vector<std::uint32_t> copies_;  // k of each held page, in list order
  std::uint32_t first_pass_ = 0;       // nodes handed on at the pass break
  std::uint16_t copy_count_ = 1;
  std::uint16_t document_copies_ = 1;  // the document's count
  bool walking_ = false;               // Submit's walk is running
  bool walk_after_break_ = false;      // the walk met a pass break
  bool after_break_ = false;
};

extern template class MPersistentClass<GCopyPageFilter, GPeripheral, kGCopyPageFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CopyPageFilterClasses();
