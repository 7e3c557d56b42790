// GFaceUpFilter: holds back every page of a document and hands the pages
// on at document end in reverse order, for output that leaves the printer
// face up; when the job asks for pairing it reverses pairs of pages (front
// and back of a sheet) instead, padding an odd count with a blank page.
//
// Settings, 16-bit value attributes read at document start:
//   kRuleSwitchKey (document)    1: hold and reverse; anything else: stand
//                                aside
//   kDuplexUnitKey (job settings)  non-zero, with kDuplexKey (document)
//                                non-zero: pairs
// A document start without an attribute set changes nothing; one without
// kRuleSwitchKey = 1, or without a job context, disables the filter, which then
// passes everything unchanged until the chain's Reset. The pairing and
// pad-to-even flags are set anew at every accepted document start.
//
// Pages are spooled (filters/page_spool.h: ".fpg" page stores and ".fft"
// font files, SpoolLock inside each page handler, named after the counter
// moves) and swallowed; the document end is replaced by one composite:
// the document start, the pages n, ..., 1 (or the pairs (n-1, n), ...,
// (1, 2), a blank page 2k on a copy of the first page start's set, or of
// the last page start's when none was kept), the document end. A pass
// break (718) replays the pages held so far and goes on after them; the
// document stays held. A job abort clears the spool and disables the
// filter, and passes on. GetFlags answers 4 while a document is held.
//
// Class id 1120, registered as "GFaceUpFilter". Stored form: the frame's
// (filter_class.h) with no fields of its own; the spool state is run-time
// only, and a copy starts without any. Content equality: the same class
// id first, then the GPeripheral comparison.
//
// Ownership: the filter owns its spool. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGFaceUpFilterId = 1120;
// The flag word of a filter that holds a document.
inline constexpr std::uint32_t kHoldingFlag = 4;

class GFaceUpFilter final : public GFilterClass<GFaceUpFilter, kGFaceUpFilterId, true> {
 public:
  // Key 0 (the factory's creator); no spool state.
  GFaceUpFilter();
  explicit GFaceUpFilter(const std::uint32_t& key);
  // The GPeripheral part; no spool state.
  GFaceUpFilter(const GFaceUpFilter& other);

  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The end of the held stretch: the held pages into the replay in the
  // filter's order (padded when pairing), then `end`.
  void ReplayPages(GCommand& end, bool ends_document);
  // Everything held dropped; the filter disabled.
  void ClearSpool() { spool_.Clear(*this); }

  const GPageSpool& Spool() const { return spool_; }
  bool IsPairing() const { return pairing_; }

 private:
  GPageSpool spool_;
  bool pairing_ = false;  // replay in pairs; also pads an odd count
};

extern template class MPersistentClass<GFaceUpFilter, GPeripheral, kGFaceUpFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> FaceUpFilterClasses();
