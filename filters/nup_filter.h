// GNupFilter: prints several logical pages on one sheet. It lays a grid of
// cells over the sheet once per document, gives each page a transform that
// scales, turns and centres it into its cell, lets only the first page
// start and the last page end of a sheet reach the next device, draws an
// optional frame round each cell and closes a partly filled last sheet. It
// holds nothing back: every command goes on at once, changed or replaced.
// The booklet filter drives one of these as its inner device, two pages to
// a sheet.
//
// Settings, read at set-up from the document start's set (found depth
// first): the composite kNupSettingsKey with kPagesPerSheetKey pages per sheet
// (N), kNupPageOrderKey placement order, kNupBordersKey borders; kMediumKey the
// medium (GMedia), kOrientationKey the orientation. The set's
// kSheetOrientationKey receives the sheet orientation; kDuplexKey's values 1
// and 2 are exchanged when the sheet turns against the document.
//
// Layout (ComputeLayout): 32-bit signed arithmetic with truncating
// division, lengths narrowed to 16 bits, the scale a single-precision
// float. rows := IntegerSquareRoot(N), columns := N / rows rounded up; the
// page ratio R = W*1000/H is matched against four candidate cell ratios
// (straight or turned sheet, grid as is or transposed); the closest wins,
// a tie keeping the lower index. "A / rows / H" is integer A / rows, then
// a float division by H.
//
// Road of the commands through Transform:
//   document start  set-up (the grid rebuilt at every document start),
//                   then the general rule;
//   page start      page p = counter mod N of the sheet: its medium and
//                   orientation taken out of its set, its transform
//                   worked out from its cell; p = 0 keeps the page start
//                   (with the sheet's orientation kOrientationKey and medium
//                   kMediumKey), a later page becomes a GNullCommand carrying
//                   the set; then a GNullCommand whose bundle holds the page
//                   transform;
//   page end        the cell's frame (a rectangle, or a null command with
//                   a GNoPen), then the page end at the N-th page, else a
//                   GNullCommand carrying the page end's set;
//   document end, pass break (718)
//                   a new GPageEnd ahead when a sheet is partly filled;
//   anything else   its transform composed under the page transform, a
//                   GClipToPage replaced by a clip (kClipKey) to the page's
//                   printable size.
// New transforms and media go into page sets through GState::AddChild,
// after the old kOrientationKey and kMediumKey were taken out.
//
// Refusals (the filter disables itself and passes everything on): N
// outside 1..16, an order outside 0..3, a document without medium or
// orientation, a paper not above zero in width or height, a grid whose
// candidate ratios would divide by zero, a layout that leaves no room (see
// below); a page start without medium or orientation, or whose medium,
// turned, has no paper (a partly filled sheet is closed first). A missing
// kPagesPerSheetKey, kNupBordersKey or kNupPageOrderKey means N = 1.
// Without driver data the compatibility mode counts as off and media are
// not turned.
//
// No room: the gaps are stored as they came and their sums wrap, so a
// stored gap can leave the layout scale at 0 or a cell (narrowed to 16
// bits) without width or height, where every page would get a scale of 0
// or below. Such a layout is refused at set-up as N = 1 would be (every
// page on a sheet of its own, the page-scale query answering (1, 1)), not
// placed with other gaps and not refused by the read: a restore keeps the
// stored gaps, and the filter reports no errors of its own.
//
// Readings: the sheet orientation is worked out for each sheet from the
// layout's (0 or 90, turned to 180 or 270 by the sheet's first page), not
// kept from one sheet to the next; the page counter starts at 0 with each
// document; the clip a graphic clipped to the page gets carries the clip's
// default values (2, 2); GetPageScale for a page set without orientation,
// or without a medium with paper, answers the layout scale.
//
// GetFlags: kNupFlag while set up with N other than 1. The page-scale
// query answers (0, 0) once a device ahead answered (status 3), (1, 1) for
// N = 1, else the scale of the page's transform; it never sets the status.
//
// Class id 1101, registered as "GNupFilter". Stored form (the frame's,
// filter_class.h, with version word 3):
//   margins      i16 left, right, top, bottom
//   gaps         i32 vertical, i32 horizontal
//   N, order     i16, i16
//   orientations i16 document, i16 page
//   borders      i32
//   media        page medium, layout medium: one object token each
// A restore reads them only at version 3, and then zeroes the layout
// scale, page counter, rows, columns and sheet orientation and resets the
// page transform; the set-up flag, the sheet medium, the cells and the
// driver data are not stored. Content equality: the GPeripheral
// comparison.
//
// Ownership: the filter owns its media and cells; the driver data is the
// job's. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "config/paper/media.h"
#include "filters/filter_class.h"
#include "foundation/rw/registration.h"
#include "output/attributes/transform.h"

class GRenderDriverData;

inline constexpr RWClassID kGNupFilterId = 1101;
inline constexpr std::uint32_t kNupVersion = 3;
// The flag word of an N-up filter at work.
inline constexpr std::uint32_t kNupFlag = 42;
// The largest N accepted.
inline constexpr std::int32_t kMaxPagesPerSheet = 16;

// One cell of the grid, or the place of a page.
class GNupCell {
 public:
  GNupCell() = default;
  GNupCell(const GNupCell&) = default;
  GNupCell& operator=(const GNupCell&) = default;
  virtual ~GNupCell() = default;

  // The angle and the rectangle alike.
  virtual bool IsEqual(const GNupCell& other) const;

  // Angle and turn normalised; the turned rectangle by the turn: 0 the
  // rectangle, 90 (x, y + h, h, w), 180 (x + w, y + h, w, h), 270
  // (x + w, y, h, w), any other all zero.
  void Place(std::int32_t angle, const GSize16& origin, const GSize16& size, std::int32_t turn);
  // The transform that puts `page` (a page's place) into this cell,
  // scaled to fit and centred: rotation the sum of the turns.
  GTransformAttribute ComputeTransform(const GNupCell& page) const;

  std::int32_t angle = 0;
  std::int16_t x = 0, y = 0, width = 0, height = 0;
  std::int32_t turn = 0;
  std::int16_t turned_x = 0, turned_y = 0, turned_width = 0, turned_height = 0;
};

// What ComputeLayout weighed: the page ratio, the four candidates and the
// winner's index.
struct GNupRatios {
  std::int32_t ratio = 0;
  std::int32_t candidates[4] = {};
  std::int32_t index = 0;
};

class GNupFilter final : public GFilterClass<GNupFilter, kGNupFilterId, false, kNupVersion> {
 public:
  // Key 0; the defaults: margins 120, gaps 30, N 2, order 0, the rest 0.
  GNupFilter();
  // The GPeripheral full constructor with values 0, 6 and 2; the defaults;
  // `driver_data` kept (not owned).
  GNupFilter(const RWCString& name, GAttributeComposite* attributes,
             MPersistentObject* configuration, const std::uint32_t& key,
             GRenderDriverData* driver_data);
  // Every field, cells included.
  GNupFilter(const GNupFilter& other);

  void Reset() override;
  GCountedPtr Transform(const GCountedPtr& command) override;
  std::uint32_t HasPageScale() override { return 1; }
  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override;

  // The four appended operations, in order.
  // Back to the cleared state (N = 1, no driver data, no cells); 0.
  virtual std::uint32_t ClearSettings();
  // N, order and borders from the composite kNupSettingsKey (compatibility mode
  // off), else N = 1, order 0, borders 0.
  virtual void ReadNupSettings(GAttributeComposite* set);
  // The sheet and layout media and the document orientation from kMediumKey and
  // kOrientationKey, then the margins; false (nothing changed) when either is
  // missing.
  virtual bool ReadSheetMedia(GAttributeComposite* set);
  // The set-up of a document from its start's set; see the file comment.
  virtual void Setup(GAttributeComposite* set);

  void SetMargins(std::int16_t left, std::int16_t right, std::int16_t top, std::int16_t bottom);
  void SetLeftMargin(std::int16_t value) { left_ = value; }
  void SetRightMargin(std::int16_t value) { right_ = value; }
  void SetTopMargin(std::int16_t value) { top_ = value; }
  void SetBottomMargin(std::int16_t value) { bottom_ = value; }
  void SetHorizontalGap(std::int32_t value) { horizontal_gap_ = value; }
  void SetVerticalGap(std::int32_t value) { vertical_gap_ = value; }

  // The largest r with r * r <= n (0 for n < 1).
  static std::int32_t IntegerSquareRoot(std::int32_t n);
  // The index of the candidate closest to `ratio`; a tie keeps the lower.
  static std::int32_t ClosestRatioIndex(std::int32_t ratio, const std::int32_t (&candidates)[4]);

  bool IsInitialised() const { return initialised_ != 0; }
  std::int16_t PagesPerSheet() const { return pages_per_sheet_; }
  std::int16_t PlacementOrder() const { return placement_order_; }
  std::int16_t Rows() const { return rows_; }
  std::int16_t Columns() const { return columns_; }
  std::int16_t PageCounter() const { return page_counter_; }
  std::int32_t SheetOrientation() const { return sheet_orientation_; }
  std::int32_t DocumentOrientation() const { return document_orientation_; }
  float LayoutScale() const { return layout_scale_x_; }
  const GNupRatios& Ratios() const { return ratios_; }
  const std::vector<GNupCell>& Cells() const { return cells_; }
  const GTransformAttribute& PageTransform() const { return page_transform_; }
  const GMedia& PageMedia() const { return page_media_; }
  const GMedia& LayoutMedia() const { return layout_media_; }
  const GMedia& SheetMedia() const { return sheet_media_; }
  GRenderDriverData* DriverData() const { return driver_data_; }

 private:
  friend GFilterClass;

  RWSize OwnFieldsSize() const;
  template <class Out>
  void SaveOwnFields(Out& out) const;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  void SetDefaults();
  void ComputeMargins();
  // False when a candidate would divide by zero.
  bool ComputeLayout();
  void BuildCells();
  // REQUIRES: ComputeLayout and BuildCells ran. The layout scale is above 0
  // and the cells at least one unit each way.
  bool LeavesRoom() const;
  void AddCell(std::int32_t row, std::int32_t column, std::int32_t width, std::int32_t height);
  // Page `page`'s place on its sheet: N may come from a restore, anything.
  std::uint32_t PlaceOnSheet(std::uint32_t page) const;
  // Disables the filter as one that has nothing to do (N := 1), with no
  // layout scale left behind.
  void Refuse(GAttributeComposite* set);
  void TurnMedium(GMedia& medium, std::int32_t orientation);
  bool CompatibilityOn() const;
  GCountedPtr OnDocumentStart(const GCountedPtr& command);
  GCountedPtr OnPageStart(const GCountedPtr& command);
  GCountedPtr OnPageEnd(const GCountedPtr& command);
  GCountedPtr ApplyGeneralRule(const GCountedPtr& command);
  // A new GPageEnd ahead of `command`: the open sheet closed.
  GCountedPtr CloseSheet(const GCountedPtr& command);
  GCountedPtr MakeCellFrame(const GNupCell& cell);
  // The page place of a page of `medium`, turned to `orientation`.
  GNupCell PagePlace(const GMedia& medium, std::int32_t orientation) const;

  std::uint32_t initialised_ = 0;
  std::int16_t left_ = 120, right_ = 120, top_ = 120, bottom_ = 120;
  std::int32_t vertical_gap_ = 30;
  std::int32_t horizontal_gap_ = 30;
  std::int16_t pages_per_sheet_ = 2;
  std::int16_t placement_order_ = 0;
  float layout_scale_x_ = 0, layout_scale_y_ = 0;
  std::int16_t page_counter_ = 0;
  std::int16_t rows_ = 0, columns_ = 0;
  std::int32_t sheet_orientation_ = 0;
  std::int32_t layout_orientation_ = 0;  // the layout's 0 or 90, per set-up
  GTransformAttribute page_transform_;
  std::int32_t document_orientation_ = 0;
  std::int32_t page_orientation_ = 0;
  std::int32_t borders_ = 0;
  GMedia page_media_;
  GMedia layout_media_;
  GMedia sheet_media_;
  std::vector<GNupCell> cells_;
  GRenderDriverData* driver_data_ = nullptr;  // not owned
  GNupRatios ratios_;
};

extern template class MPersistentClass<GNupFilter, GPeripheral, kGNupFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> NupFilterClasses();
