// GReverseFilter: holds back every page of a document and hands the pages
// on at document end from the last to the first. For two-sided letterhead
// jobs it keeps each sheet's front and back together: a blank page goes
// before a back side whose media type or paper source differs from its
// front's, and a closing blank ends an odd count.
//
// Settings, 16-bit value attributes read at document start (document: the
// document start's set; job: the job context's job settings):
//   kPageOrderKey (document)          page order, 0 front to back, 1 back
//                                     to front; absent: stand aside
//   kInvertOrderKey (document)        non-zero: the duplex value inverts the
//                                     page order's sense (what sets it is
//                                     not known here)
//   kDuplexKey (document)             duplex, non-zero both sides
//   kDuplexUnitKey (job)              duplex unit installed
//   kStraightPaperPathKey (document)  non-zero: straight paper path
// The filter takes the document when the page order is there and: the
// inversion is 0 and the page order 1; or the inversion and duplex are
// non-zero and the page order is 0; or the inversion is non-zero, duplex 0
// and the page order 1. Letterhead pairing: the duplex unit and duplex
// non-zero, the document's medium (kMediumKey) of type "Letterhead", the
// straight paper path absent or 0; it is worked out anew at every document
// the filter takes, as are the last page's media type and paper source
// (kPaperSourceKey; none: 0).
// A document start without an attribute set changes nothing; one that is
// not taken, or that has no job context, disables the filter, which passes
// everything unchanged until the chain's Reset.
//
// Pages are spooled (filters/page_spool.h: ".rpg" page stores and ".rft"
// font files, named after the counter moves; SpoolLock held from page
// start to page end, let go on every path that abandons the page) and
// swallowed, pass-through commands inside a page with it. The document end
// (or a pass break, 718, which ends the document the same way) is replaced
// by one composite: the document start, the held pages last first, the
// end. A page left open at the end is dropped; the replay walks the pages
// actually held. Blank pages are built on a copy of the first page start's
// set (before the closing one, its paper source becomes the last page's,
// and a "Letterhead" medium the last page's media type), or on the last
// held page start's set when no first page was seen (pages that came
// whole through Submit). A job abort clears the spool and disables the
// filter, and passes on. GetFlags answers 4 while a document is held.
//
// Submit's walk of a composite that arrives while idle keeps, under
// letterhead pairing, the first page's attributes of an on-disk child that
// starts a page (or of the page end of one that ends the first page).
//
// Class id 1109, registered as "GReverseFilter". Stored form: the frame's
// (filter_class.h) with no fields of its own. Content equality: the same
// class id first, then the GPeripheral comparison.
//
// Ownership: the filter owns its spool. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGReverseFilterId = 1109;

class GReverseFilter final : public GFilterClass<GReverseFilter, kGReverseFilterId, true>,
                             private GSpoolWalkHook {
 public:
  // Key 0 (the factory's creator); no spool state.
  GReverseFilter();
  explicit GReverseFilter(const std::uint32_t& key);
  // The GPeripheral part; no spool state.
  GReverseFilter(const GReverseFilter& other);

  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The document's end (`end`: a document end or a pass break): the
  // closing blank when pairing, the held pages last first, then `end`.
  // REQUIRES: a replay is being built (an accepted document start).
  void ReplayPages(GCommand& end);
  // Everything held dropped, SpoolLock let go; the filter disabled.
  void ClearSpool() { spool_.Clear(*this); }

  const GPageSpool& Spool() const { return spool_; }
  bool IsLetterheadPairing() const { return letterhead_; }

 private:
  void OnWalkPage(MPersistentObject& child, bool has_start, bool has_end, bool gathering) override;
  void ResetDocumentState();

  GPageSpool spool_;
  bool letterhead_ = false;        // pair sheets for letterhead
  bool insert_blank_ = false;      // the open page is preceded by a blank
  std::uint16_t last_source_ = 0;  // kPaperSourceKey of the last page start with one
  RWCString last_media_type_;      // media type of the last page start with one
};

extern template class MPersistentClass<GReverseFilter, GPeripheral, kGReverseFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ReverseFilterClasses();
