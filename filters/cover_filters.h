// GFrontCoverFilter and GBackCoverFilter: blank cover pages around a
// document, fed from the cover's own paper source and media type. Neither
// holds pages back nor spools; both keep GPeripheral::Submit, so their
// Transform sees commands only while they are enabled.
//
// Front cover (class id 1118, "GFrontCoverFilter"). The document start
// arms it (16-bit values unless said: kFrontCoverKey front cover on,
// kFrontCoverSourceKey the cover's paper source, kFrontCoverMediaTypeKey the
// cover's media type (string), kDuplexKey duplex, kCoverModeKey cover mode,
// kRuleSwitchKey cancels the simplex rule, kNupSettingsKey -> kPagesPerSheetKey
// pages per sheet, kBookletKey booklet); a booklet job whose media test
// (CheckCoverMedia: job settings kManualDuplexKey, kDuplexUnitReportedKey,
// kDuplexPaperSizesKey, kRefusedMediaNamesKey; document kMediumKey,
// kStraightPaperPathKey, kFrontCoverMediaTypeKey, kBackCoverMediaTypeKey,
// kLastPageMediaTypeKey, kOtherPagesMediaTypeKey) answers 1 gets no cover. The
// first page start is replaced by a composite: one cover page (two on a duplex
// document), then the page start; under the simplex cover rule (cover mode 1,
// one page per sheet, simplex, kRuleSwitchKey not set) a "Preprinted" or
// "Letterhead" cover whose paper size is listed gets two pages with duplex 2,
// any other one page with duplex 0. A cover page is a GPageStart on a deep copy
// of the page start's set (medium kMediumKey given the cover's media type,
// kPaperSourceKey the cover's source) and a GPageEnd, all key 0. The filter
// disables itself after the first page start and at document end.
//
// Back cover (class id 1111, "GBackCoverFilter"). kBackCoverKey chooses: 0
// "NoBackPage", 1 "UseFirstPage" (the cover on page 1's media type and
// paper source), 2 "UseAlternateSource" (kBackCoverSourceKey source,
// kBackCoverMediaTypeKey media type). The filter watches the page starts: a
// page whose paper size, media type or paper source differs from the last
// page's starts a new sheet (the page counter is made odd). The document end is
// replaced by a composite: a closing blank on the last page's set when the
// count is odd on a duplex document without manual duplex (job settings
// kManualDuplexKey non-zero and kManualDuplexInstructionsKey present), one or
// two cover pages (the simplex rule as above), then the document end. A job
// abort drops the watched set and passes on.
//
// Mended: settings the covers are built on (kNupSettingsKey ->
// kPagesPerSheetKey under cover mode 1, and in the set a cover copies: the
// medium kMediumKey, the paper source kPaperSourceKey and, under the simplex
// rule, duplex kDuplexKey) that are missing give no cover and disable the
// filter, instead of being used unchecked; a back cover whose document saw no
// page start passes the document end unchanged; without job settings the
// manual-duplex flag is 0, and "UseFirstPage" without a kPaperSourceKey on page
// 1 takes the document's paper source (0 when it has none).
//
// Stored form: the frame's (filter_class.h) with no fields; the run-time
// state is never stored and a copy starts without it. Content equality:
// the same class id first, then the GPeripheral comparison. GetFlags 0.
//
// Ownership: the job context is not owned; the back cover holds the last
// page start's set by a counted reference. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "filters/filter_class.h"
#include "foundation/rw/registration.h"

class GRenderDriverData;

inline constexpr RWClassID kGFrontCoverFilterId = 1118;
inline constexpr RWClassID kGBackCoverFilterId = 1111;

// The cover-size test both covers share: the paper size code of the
// medium (kMediumKey) of `cover`; a custom code (16384 or more as signed
// 16-bit) answers the driver data's range test, another code 1 when the job
// settings' paper-size list (kDuplexPaperSizesKey) holds it. 0 without a job or
// medium.
std::uint32_t IsCoverSizeListed(GRenderDriverData* job, GAttributeComposite* cover);

// The simplex cover rule of a document set: cover mode (kCoverModeKey) 1, one
// page per sheet (kPagesPerSheetKey inside kNupSettingsKey), simplex
// (kDuplexKey 0 or absent), kRuleSwitchKey not set. None when cover mode is 1
// but the pages per sheet are missing.
std::optional<bool> SimplexCoverRule(GAttributeComposite* document);

class GFrontCoverFilter final : public GFilterClass<GFrontCoverFilter, kGFrontCoverFilterId, true> {
 public:
  GFrontCoverFilter() = default;
  GFrontCoverFilter(const GFrontCoverFilter& other) : GFilterClass(other) {}

  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override { return 0; }
  std::uint16_t DocumentStart(GDocumentStart& command) override;

  // 1 for a booklet job (kBookletKey above 0) when the job's compatibility mode
  // is off.
  std::uint32_t IsBookletJob(GAttributeComposite* set);
  // The media test of a booklet's cover; see the file comment.
  std::uint32_t CheckCoverMedia(GAttributeComposite* set);
  std::uint32_t IsCoverSizeListed(GAttributeComposite* cover) {
    return ::IsCoverSizeListed(job_, cover);
  }
  // `holder` (a page start) replaced by the cover pages and the page
  // start; false (holder unchanged) when the page lacks what a cover needs.
  bool InsertCover(GCountedPtr& holder);

 private:
  GRenderDriverData* job_ = nullptr;  // not owned
  std::uint32_t counter_ = 0;         // page starts since the document start
  std::uint16_t duplex_ = 0;
  std::uint16_t front_cover_ = 0;
  std::uint16_t cover_source_ = 0;
  RWCString cover_type_;
  std::int32_t cover_mode_ = 0;
  bool simplex_rule_ = false;
};

class GBackCoverFilter final : public GFilterClass<GBackCoverFilter, kGBackCoverFilterId, true> {
 public:
  GBackCoverFilter() = default;
  GBackCoverFilter(const GBackCoverFilter& other) : GFilterClass(other) {}

  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t GetFlags() override { return 0; }
  std::uint16_t DocumentStart(GDocumentStart& command) override;

  // `set` given duplex `duplex` (kDuplexKey, added when missing), the medium's
  // media type `type` and paper source `source` (kPaperSourceKey, added when
  // missing); returns `set`.
  static GAttributeComposite* ApplyCoverSettings(GAttributeComposite* set, std::uint16_t duplex,
                                                 const RWCString& type, std::uint16_t source);
  std::uint32_t IsCoverSizeListed(GAttributeComposite* cover) {
    return ::IsCoverSizeListed(job_, cover);
  }

  std::uint32_t PageCounter() const { return counter_; }

 private:
  void WatchPage(GAttributeComposite* page);
  // The composite that replaces `end`, or empty (the end passes).
  GCountedPtr MakeCovers(const GCountedPtr& end);

  GCountedPtr page_;  // the last page start's set
  std::uint32_t counter_ = 0;
  GRenderDriverData* job_ = nullptr;  // not owned
  std::uint16_t back_cover_ = 0;
  std::uint16_t duplex_ = 0;
  std::uint16_t cover_source_ = 0;
  RWCString cover_type_;
  std::uint16_t last_size_ = 0;
  std::uint16_t last_source_ = 0;
  RWCString last_type_;
  std::uint16_t document_source_ = 0;  // the document's kPaperSourceKey, for "UseFirstPage"
  bool manual_duplex_ = false;
  std::int32_t cover_mode_ = 0;
  bool simplex_rule_ = false;
};

extern template class MPersistentClass<GFrontCoverFilter, GPeripheral, kGFrontCoverFilterId>;
extern template class MPersistentClass<GBackCoverFilter, GPeripheral, kGBackCoverFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CoverFilterClasses();
