// GBookletFilter: prints a document as a booklet. It holds every page of
// the document in the page spool (filters/page_spool.h), pads the count to
// a multiple of four with blank pages, puts the pages into booklet order
// (each side of a sheet one page of the front half and one of the back
// half) and hands the ordered document to an inner GNupFilter of its own,
// which places two pages side by side on each sheet of the booklet's
// target medium. It can add insert pages of a special tray and media type
// (two ahead of the booklet, two after it), and gives the pages of the
// outer sheet the paper of the document's first page.
//
// Settings, read at document start from its set (and the job's settings):
//   kBookletKey  booklet: 0 or missing leaves the filter off; the value is
//        the page pairing (2 puts the front-half page second on each side);
//        a positive one makes the flag word kBookletFlag
//   kBookletSheetOrderKey  sheet order: 1 builds the booklet from the
//        middle outwards
//   kOrientationKey, kBookletMediumKey  orientation and target medium: the
//        document's medium (kMediumKey) becomes the target turned to the
//        orientation, with the document medium's media type
//   kFrontCoverKey, kFrontCoverSourceKey, kFrontCoverMediaTypeKey  insert
//        pages, their tray and media type, when CheckInsertPages agrees (the
//        job's kManualDuplexKey, kDuplexUnitReportedKey,
//        kDuplexPaperSizesKey, the names listed, the custom-size range)
// The accepted document start gets kNupSettingsKey {kPagesPerSheetKey = 2,
// kNupPageOrderKey = 0, kNupBordersKey = 0} (the inner N-up's settings)
// and kDuplexKey = 2 while the inner filter runs; kNupSettingsKey is taken
// out again afterwards. Every page start gets kDuplexKey = 2.
//
// Road: graphics and pass-through commands go into the open page store
// (".pg", with the job's font database in ".fnt"; SpoolLock held from page
// start to page end); every other command runs its handler and, while a
// document is held, is swallowed; the document end (or a pass break, after
// which the next document end passes unchanged) is replaced by the inner
// N-up's answer to the ordered booklet: the document start, the sides in
// order, the end. Null commands are not spooled (they carry nothing the
// pages need here). A job abort or a spool failure clears everything and
// disables the filter.
//
// Readings and mends: a document start without a job context is refused (the
// spool needs the job's cookie and font database); the insert pages get the
// insert media type, the first page keeps its own; the insert pages' names come
// from kBackCoverMediaTypeKey (as the other filters read them); the flag word
// is cleared when the filter disables itself; the copy of the document's set
// and the job context go at document end, so a later page-scale query answers
// (0, 0); a missing kDuplexKey counts as 0.
//
// Class id 1105, registered as "GBookletFilter". Stored form: the frame's
// (filter_class.h) with no fields of its own; the booklet state is
// run-time only, and a copy starts without any. Content equality: the same
// class id first, then the GPeripheral comparison.
//
// Ownership: the filter owns its spool, its inner N-up and its copies of
// sets. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "filters/filter_class.h"
#include "filters/page_spool.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"

class GNupFilter;

inline constexpr RWClassID kGBookletFilterId = 1105;
// The flag word of a booklet document.
inline constexpr std::uint32_t kBookletFlag = 62;

class GBookletFilter final : public GFilterClass<GBookletFilter, kGBookletFilterId, true> {
 public:
  // Key 0 (the factory's creator); no booklet state.
  GBookletFilter();
  // The GPeripheral part; no booklet state.
  GBookletFilter(const GBookletFilter& other);
  ~GBookletFilter() override;

  GCountedPtr Transform(const GCountedPtr& command) override;
  void Reset() override;
  std::uint32_t HasPageScale() override { return 1; }
  // The inner N-up's answer on the copy of the document's set, the status
  // then 3; (0, 0) when the status is 3 already or no document is held.
  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override { return flags_; }

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The inner N-up, made on first use: "Booklet::NupFilter", a new GState
  // and GConfiguration, keyed kGNupFilterId, the job context as its driver
  // data.
  GNupFilter* GetNupFilter();
  // Everything held dropped, the inner filter too; the filter disabled.
  void ClearSpool();
  // The pages in booklet order (see the Part's pairings): from the outer
  // sheet in, or from the middle out.
  std::vector<GCountedPtr> OrderOutsideIn(std::span<const GCountedPtr> pages);
  std::vector<GCountedPtr> OrderInsideOut(std::span<const GCountedPtr> pages);
  // Gives the pages of side `side` the cover's or the inner pages' tray
  // and media type; true when the cover and inner values differed.
  bool AssignCoverTrays(std::uint32_t side, const GCountedPtr& first, const GCountedPtr& second);
  bool ReadInsertSettings(GAttributeComposite* set);
  bool CheckInsertPages(GAttributeComposite* set);

  const GPageSpool& Spool() const { return spool_; }

 private:
  // The document end's work, for a document end or a pass break.
  std::uint16_t EndBooklet(GCommand& end);
  void DropDocument();

  GPageSpool spool_;
  GCountedPtr answer_;                      // the inner N-up's answer, to hand on
  GCountedPtr first_page_;                  // a deep copy of page 1's set
  GCountedPtr insert_page_;                 // the insert pages' set
  std::vector<GCountedPtr> front_inserts_;  // the two insert pages ahead
  std::uint32_t page_count_ = 0;
  GRenderDriverData* job_ = nullptr;  // not owned
  bool pass_break_ = false;
  std::int16_t page_pairing_ = 0;
  std::int16_t sheet_order_ = 0;
  GCountedPtr inner_;                // the GNupFilter, or empty
  GCountedPtr document_attributes_;  // a deep copy of the document's set
  std::uint32_t flags_ = 0;
  std::uint16_t cover_tray_ = 0, inner_tray_ = 0;
  RWCString cover_media_type_, inner_media_type_;
  bool insert_flag_ = false;
  std::uint16_t insert_tray_ = 0;
  RWCString insert_media_type_;
};

extern template class MPersistentClass<GBookletFilter, GPeripheral, kGBookletFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> BookletFilterClasses();
