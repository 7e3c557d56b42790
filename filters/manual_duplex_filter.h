// GManualDuplexFilter: prints a two-sided document on a printer that turns
// no sheets. The user prints one side of every sheet, puts the stack back,
// and the printer prints the other sides: the filter holds the document and
// hands it on in two passes around the pass break (a command of class id
// 718 from outside, which the generators answer with filler bytes and a
// flush), the first at the break, the second at document end.
//
// Document start (the document start's set "document", the job context's job
// settings "job"): duplex kDuplexKey of the document (0: stand aside); the
// manual-duplex mode M, kManualDuplexKey of the job (0 when absent; 3 becomes
// the output bin's kind) and the duplex unit U, kDuplexUnitReportedKey (1 when
// absent); the medium kMediumKey (a GMedia: paper size id P, media type T);
// media-type names kFrontCoverMediaTypeKey, kBackCoverMediaTypeKey,
// kLastPageMediaTypeKey (the last sheet's), kOtherPagesMediaTypeKey; trays
// kOtherPagesSourceKey and kLastPageSourceKey (the last sheet's; 19 when
// absent); kStraightPaperPathKey (refused media); the paper sizes the duplex
// unit takes (kDuplexPaperSizesKey, a composite of values). The media is
// refused when the job's kRefusedMediaNamesKey names T or one of the four names
// (GDriverData::IsNameNotListed), or kStraightPaperPathKey is non-zero;
// "Transparency" and "Labels" are never printed two-sided.
//   M and U non-zero: taken when refused, else when kDuplexPaperSizesKey lists
//     sizes but not P (for an allowed medium), and for a custom size (P 16384
//     and above) when it is out of range (GDriverData::IsMediaSizeInRange);
//     taken or not allowed: kDuplexKey := 0 and kManualDuplexChosenKey := 1
//     (where present);
//   M non-zero, U 0: taken for an allowed medium;
//   M 0: never taken; kDuplexKey := 0 when U is not 1, or when U is 1,
//     kDuplexPaperSizesKey is there and the medium is refused.
// A taken document: held; kManualDuplexChosenKey := 1 where present;
// kOutputBinKey the output bin; kCollatedCopiesKey the copy count. Not taken,
// or without a job context, job settings or medium: the filter disables itself
// and the document passes (kDuplexKey may already be 0); it stays disabled
// until the chain's Reset.
//
// Pass orders (ComputePassOrders, at the first page): 0 odd pages
// ascending, 1 odd descending, 2 even ascending, 3 even descending. With b
// the output bin's kind (FindBinKind: 1 when the bin's fifth value is 1,
// else 2; 0 unknown), t the first tray's kind (FindTrayKind: 2 when the
// job's kTrayKindKey is 2, else 1; 0 unknown) and m the mode: second pass 1
// when b = m = 1, 0 when b = m otherwise, 2 when b = 1 != m, else 3; first
// pass: the second XOR 2 when t = b, else XOR 3. Trays and bins are those
// of the installed devices in the job's paper path (kPaperHandlingKey).
//
// Pages (AdjustPageStart) are spooled (filters/page_spool.h: ".dpg" and
// ".dft", named by the counter before it moves, which it does once the
// page is filed; SpoolLock inside each page handler). The first page's
// tray kPaperSourceKey is the first sheet's, the third page's the other
// sheets'; first-pass page starts with tray 18 go to tray 6 when an installed
// paper source has one, else 19, and are turned by 180 degrees
// (kOrientationKey) unless the document is bound on the short edge (kDuplexKey
// = 1); other page starts take the current tray. The pass break pads an odd
// count above 1 with a blank page (on the third page's set, else the first's),
// marks the last sheet's page (media type kLastPageMediaTypeKey, tray
// kLastPageSourceKey) when the document asks for a last sheet of its own, and
// hands on the document start, the first pass (copy-count times, each page's
// tray chosen by PreparePage) and the pass break; a one-page document sets the
// job's kManualDuplexInstructionsKey to 0 and keeps the pass break back. The
// document end hands on the second pass and the document end, to which a filter
// without a fixed tray adds the operator message kOperatorMessageKey = 1 and
// kDisplayTextKey = "test" for the job language's header. A second pass break
// in one document finds nothing held to hand on: it passes. A job abort clears
// the spool and disables the filter, and passes on. GetFlags answers 4 while a
// document is held.
//
// Submit takes a composite that arrives while idle apart like the face-up
// filter (filters/page_spool.h, kExpandWhileIdle): a nested composite met
// before a document is held goes through the filter and its result takes
// its place (command word 1); page starts met in it are adjusted (written
// back into an on-disk child); a pass break ends the walk like a document
// end.
//
// Readings and mends: the copy count is clamped to 1 .. the maximum of the
// job's copies range kCopiesRangeKey (1 without it); a document end without a
// pass break hands on the held document start first; the last-sheet flag is
// worked out anew at every taken document, the tray kinds' mapped value
// too; a page start without a tray counts as tray 19 (as the document's own
// missing trays do), and trays are written into page starts that lack one.
// A one-page document has no back: when the pass break handed its page on
// (orders 1, 2 and 3 all replay page 1 there), the second pass hands on
// nothing, whatever its order, so that the page is printed once per copy.
//
// Class id 1110, registered as "GManualDuplexFilter". Stored form: the
// frame's (filter_class.h), version 1, then
//   fixed tray  u16  (read only when the version word is 1)
// Content equality does not compare the fixed tray.
//
// Ownership: the filter owns its spool and its kept page set. Threads: one
// job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGManualDuplexFilterId = 1110;

class GManualDuplexFilter final : public GFilterClass<GManualDuplexFilter, kGManualDuplexFilterId>,
                                  private GSpoolWalkHook {
 public:
  // Fixed tray 0, key 0 (the factory's creator).
  GManualDuplexFilter();
  GManualDuplexFilter(std::uint16_t fixed_tray, const std::uint32_t& key);
  // The GPeripheral part and the fixed tray; no document state.
  GManualDuplexFilter(const GManualDuplexFilter& other);

  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The tray and orientation rules of a page start (`set`), the counter
  // counting the pages filed before it.
  void AdjustPageStart(GAttributeComposite* set);
  // The two pass orders, from the current tray's and the output bin's
  // kinds.
  void ComputePassOrders();
  // 1 or 2 for a tray (bin) of an installed paper source (output device)
  // of the job's paper path; 0 when there is none. FindTrayKind keeps the
  // tray's first mapped value.
  int FindTrayKind(std::uint16_t tray);
  int FindBinKind(std::uint16_t bin);
  bool HasTraySix();
  // The held pages of `order`, each prepared, into the replay; answers how
  // many went in. The replay holds the same pages once per copy and is read
  // only once the pass is whole, so every copy reads a page as the last
  // copy left it: only the last copy (`write`) writes the trays, the
  // earlier ones choose them all the same (a copy's first tray follows from
  // the one before). Each held page is then read and written once a pass,
  // not once a copy.
  std::uint32_t ReplayPass(int order, bool write);
  // Chooses the current tray for the `ordinal`-th page of a pass in
  // `order` and, with `write`, writes it into `page`'s page start.
  void PreparePage(MPersistentObject& page, int order, std::uint32_t ordinal, bool write);
  // The last sheet's media type and tray into `page`'s page start.
  void MarkLastSheetPage(MPersistentObject& page);
  // Everything held dropped; the filter disabled.
  void ClearSpool() { spool_.Clear(*this); }

  const GPageSpool& Spool() const { return spool_; }
  std::uint16_t FixedTray() const { return fixed_tray_; }
  int FirstPassOrder() const { return first_order_; }
  int SecondPassOrder() const { return second_order_; }
  std::int32_t CopyCount() const { return copies_; }

 private:
  friend GFilterClass;

  RWSize OwnFieldsSize() const { return 2; }
  template <class Out>
  void SaveOwnFields(Out& out) const {
    PutItem(out, fixed_tray_);
  }
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope&, std::uint32_t version) {
    if (version == kFilterVersion) GetItem(in, fixed_tray_);
  }

  void OnWalkPage(MPersistentObject& child, bool has_start, bool has_end, bool gathering) override;
  GAttributeComposite* JobSettings() const;
  // The tray for the first pass's tray 18.
  std::uint16_t TrayForEighteen() { return HasTraySix() ? 6 : 19; }

  GPageSpool spool_;
  std::uint16_t fixed_tray_ = 0;       // stored; 0: none
  std::uint16_t remaining_tray_ = 0;   // the third page's tray
  std::uint16_t output_bin_ = 0;       // kOutputBinKey of the document
  std::uint16_t current_tray_ = 0;     // written into page starts
  std::uint16_t base_tray_ = 0;        // fixed tray, or the first page's
  std::uint16_t first_tray_ = 0;       // kPaperSourceKey of the first page start
  std::uint16_t last_sheet_tray_ = 0;  // kLastPageSourceKey of the document
  std::int16_t duplex_mode_ = 0;       // kDuplexKey as it came
  std::int32_t mode_ = 0;              // kManualDuplexKey of the job
  int first_order_ = 0;
  int second_order_ = 0;
  std::uint32_t pass_break_count_ = 0;  // pages at the pass break; 0 before
  std::uint32_t first_pass_pages_ = 0;  // pages the pass break handed on
  std::int32_t tray_mapped_ = -1;       // the first tray's first mapped value
  bool last_sheet_ = false;             // the last sheet has paper of its own
  RWCString last_sheet_type_;           // kLastPageMediaTypeKey of the document
  RWCString document_type_;             // the document medium's type
  std::int32_t copies_ = 1;
  GCountedPtr saved_;  // a deep copy of the first (later the third) page's set
};

extern template class MPersistentClass<GManualDuplexFilter, GPeripheral, kGManualDuplexFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ManualDuplexFilterClasses();
