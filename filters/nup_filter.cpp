#include "filters/nup_filter.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/attributes/brush.h"
#include "output/attributes/clip.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"
#include "persist/find_of_class.h"
#include "persist/stored_form.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kNupFilterClasses[] = {
    {&RWCreate<GNupFilter>, kGNupFilterId, "GNupFilter"},
};

constexpr std::int16_t kDefaultMargin = 120;
constexpr std::int32_t kDefaultGap = 30;
constexpr std::uint16_t kFrameRop = 240;
constexpr std::uint32_t kFramePenWidth = 2;

// The layout's 32-bit signed arithmetic: sums and products wrap.
std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(value);
}
std::int32_t Sub(std::int32_t a, std::int32_t b) {
  return Wrap(std::int64_t{a} - b);
}
std::int32_t Mul(std::int32_t a, std::int32_t b) {
  return Wrap(std::int64_t{a} * b);
}
// Truncating division; false for a zero divisor.
bool Div(std::int32_t a, std::int32_t b, std::int32_t& quotient) {
  if (b == 0) return false;
  quotient = Wrap(std::int64_t{a} / b);
  return true;
}

std::int32_t Trunc(float value) {
  return TruncateTowardZero(value);
}

std::int16_t Narrow(std::int32_t value) {
  return static_cast<std::int16_t>(value);
}

std::int32_t Normalized(std::int32_t angle) {
  return NormalizeAngle(angle);
}

// The 16-bit value of `key` in `set`, as a normalised angle.
std::optional<std::int32_t> AngleOf(GAttributeComposite* set, std::uint32_t key) {
  std::optional<std::int16_t> value = FilterValue(set, key);
  if (!value) return std::nullopt;
  return Normalized(*value);
}

// A medium a page can be scaled to: one with paper in both directions.
bool HasPaper(const GMedia* medium) {
  return medium && medium->GetPaperSize().width > 0 && medium->GetPaperSize().height > 0;
}

// Takes the first child keyed `key` out of `set`; the caller holds it.
GCountedPtr TakeOut(GAttributeComposite& set, std::uint32_t key) {
  return Held(set.RemoveByKey(key));
}

// The duplex choice with its values 1 and 2 exchanged (0 stays), taken out
// and put back.
void SwapDuplexChoice(GAttributeComposite& set) {
  GCountedPtr taken = TakeOut(set, kDuplexKey);
  auto* value = dynamic_cast<GValueAttribute*>(taken.Get());
  if (!value) return;
  if (value->GetValue() != 0) value->SetValue(value->GetValue() == 1 ? 2 : 1);
  set.AddChild(taken.Get());
}

}  // namespace

template class MPersistentClass<GNupFilter, GPeripheral, kGNupFilterId>;

std::span<const RWClassRegistration> NupFilterClasses() {
  return kNupFilterClasses;
}

// ---------------------------------------------------------------------------
// Cells

bool GNupCell::IsEqual(const GNupCell& other) const {
  return angle == other.angle && x == other.x && y == other.y && width == other.width &&
         height == other.height;
}

void GNupCell::Place(std::int32_t new_angle, const GSize16& origin, const GSize16& size,
                     std::int32_t new_turn) {
  angle = Normalized(new_angle);
  x = origin.width;
  y = origin.height;
  width = size.width;
  height = size.height;
  turn = Normalized(new_turn);
  const auto sum = [](std::int16_t a, std::int16_t b) { return Narrow(std::int32_t{a} + b); };
  switch (turn) {
    case 0:
      turned_x = x, turned_y = y, turned_width = width, turned_height = height;
      break;
    case 90:
      turned_x = x, turned_y = sum(y, height), turned_width = height, turned_height = width;
      break;
    case 180:
      turned_x = sum(x, width), turned_y = sum(y, height), turned_width = width,
      turned_height = height;
      break;
    case 270:
      turned_x = sum(x, width), turned_y = y, turned_width = height, turned_height = width;
      break;
    default:
      turned_x = turned_y = turned_width = turned_height = 0;
  }
}

GTransformAttribute GNupCell::ComputeTransform(const GNupCell& page) const {
  const std::int32_t a = Normalized(turn + page.turn);
  const bool across = a == 90 || a == 270;
  const float ex = across ? page.height : page.width;
  const float ey = across ? page.width : page.height;
  std::int32_t ox = x, oy = y;
  if (a == 90) oy += height;
  if (a == 180) ox += width, oy += height;
  if (a == 270) ox += width;
  const float sx = static_cast<float>(width) / ex;
  const float sy = static_cast<float>(height) / ey;
  const float s = sy < sx ? sy : sx;
  const float dx = (static_cast<float>(width) - s * ex) * 0.5f;
  const float dy = (static_cast<float>(height) - s * ey) * 0.5f;
  const float px = static_cast<float>(page.x) * s;
  const float py = static_cast<float>(page.y) * s;
  switch (a) {
    case 90:
      ox = Wrap(std::int64_t{ox} + Trunc(dx + py));
      oy = Wrap(std::int64_t{oy} + Trunc(-dy - px));
      break;
    case 180:
      ox = Wrap(std::int64_t{ox} - Trunc(dx + px));
      oy = Wrap(std::int64_t{oy} + Trunc(-dy - py));
      break;
    case 270:
      ox = Wrap(std::int64_t{ox} - Trunc(dx + py));
      oy = Wrap(std::int64_t{oy} + Trunc(dy + px));
      break;
    default:  // 0, and turns no placement is defined for
      ox = Wrap(std::int64_t{ox} + Trunc(dx + px));
      oy = Wrap(std::int64_t{oy} + Trunc(dy + py));
  }
  return GTransformAttribute(Narrow(a), GShortPoint{Narrow(ox), Narrow(oy)}, GScalePair{s, s});
}

// ---------------------------------------------------------------------------
// Construction and settings

GNupFilter::GNupFilter() = default;

GNupFilter::GNupFilter(const RWCString& name, GAttributeComposite* attributes,
                       MPersistentObject* configuration, const std::uint32_t& key,
                       GRenderDriverData* driver_data)
    : GFilterClass(name, attributes, configuration, key, 0u, 6u, 2u), driver_data_(driver_data) {}

GNupFilter::GNupFilter(const GNupFilter& other) = default;

void GNupFilter::SetDefaults() {
  left_ = right_ = top_ = bottom_ = kDefaultMargin;
  vertical_gap_ = horizontal_gap_ = kDefaultGap;
  placement_order_ = 0;
  layout_scale_x_ = layout_scale_y_ = 0;
  rows_ = columns_ = 0;
  sheet_orientation_ = layout_orientation_ = 0;
  page_transform_ = GTransformAttribute();
  document_orientation_ = page_orientation_ = 0;
  borders_ = 0;
  page_media_ = layout_media_ = sheet_media_ = GMedia();
  cells_.clear();
  page_counter_ = 0;
  initialised_ = 0;
}

std::uint32_t GNupFilter::ClearSettings() {
  SetDefaults();
  pages_per_sheet_ = 1;
  driver_data_ = nullptr;
  return 0;
}

void GNupFilter::Reset() {
  GPeripheral::Reset();
  ClearSettings();
}

void GNupFilter::SetMargins(std::int16_t left, std::int16_t right, std::int16_t top,
                            std::int16_t bottom) {
  left_ = left, right_ = right, top_ = top, bottom_ = bottom;
}

std::uint32_t GNupFilter::GetFlags() {
  return initialised_ && pages_per_sheet_ != 1 ? kNupFlag : 0;
}

bool GNupFilter::CompatibilityOn() const {
  return driver_data_ && driver_data_->IsAppCompatModeOn() != 0;
}

void GNupFilter::TurnMedium(GMedia& medium, std::int32_t orientation) {
  if (driver_data_) driver_data_->UpdateMediaSize(&medium, static_cast<std::uint32_t>(orientation));
}

void GNupFilter::ReadNupSettings(GAttributeComposite* set) {
  GAttributeComposite* settings = FindComposite(set, kNupSettingsKey);
  const std::optional<std::int16_t> pages = FilterValue(settings, kPagesPerSheetKey);
  const std::optional<std::int16_t> order = FilterValue(settings, kNupPageOrderKey);
  const std::optional<std::int16_t> borders = FilterValue(settings, kNupBordersKey);
  if (settings && !CompatibilityOn() && pages && order && borders) {
    pages_per_sheet_ = *pages;
    placement_order_ = *order;
    borders_ = *borders;
  } else {
    pages_per_sheet_ = 1;
    placement_order_ = 0;
    borders_ = 0;
  }
}

bool GNupFilter::ReadSheetMedia(GAttributeComposite* set) {
  GMedia* medium = MediumOf(set);
  const std::optional<std::int32_t> orientation = AngleOf(set, kOrientationKey);
  if (!medium || !orientation) return false;
  sheet_media_ = *medium;
  document_orientation_ = *orientation;
  layout_media_ = *medium;
  ComputeMargins();
  return true;
}

void GNupFilter::ComputeMargins() {
  const GSize16 origin = layout_media_.GetPrintableOrigin();
  const GSize16 far = layout_media_.GetRightBottomMargins();
  left_ = origin.width;
  top_ = origin.height;
  right_ = far.width;
  bottom_ = far.height;
}

std::int32_t GNupFilter::IntegerSquareRoot(std::int32_t n) {
  std::int32_t root = 0;
  while (std::int64_t{root + 1} * (root + 1) <= n)
    ++root;
  return root;
}

std::int32_t GNupFilter::ClosestRatioIndex(std::int32_t ratio,
                                           const std::int32_t (&candidates)[4]) {
  std::int32_t best = 0;
  for (std::int32_t k = 1; k < 4; ++k) {
    if (std::llabs(std::int64_t{ratio} - candidates[k]) <
        std::llabs(std::int64_t{ratio} - candidates[best]))
      best = k;
  }
  return best;
}

bool GNupFilter::ComputeLayout() {
  const std::int32_t n = pages_per_sheet_;
  std::int32_t rows = IntegerSquareRoot(n), columns = 0;
  if (!Div(n, rows, columns)) return false;
  if (n % rows != 0) ++columns;
  const std::int32_t w = layout_media_.GetPaperSize().width;
  const std::int32_t h = layout_media_.GetPaperSize().height;
  std::int32_t a = Sub(Sub(h, bottom_), top_);
  std::int32_t b = Sub(Sub(w, left_), right_);
  const std::int32_t gh = horizontal_gap_, gv = vertical_gap_;
  const std::int32_t r = rows, c = columns;
  GNupRatios ratios;
  // One candidate: (x - gx) * m * 1000 / ((y - gy) * d).
  auto candidate = [](std::int32_t x, std::int32_t gx, std::int32_t m, std::int32_t y,
                      std::int32_t gy, std::int32_t d, std::int32_t& k) {
    return Div(Mul(Mul(Sub(x, gx), m), 1000), Mul(Sub(y, gy), d), k);
  };
  if (!Div(Mul(w, 1000), h, ratios.ratio) ||
      !candidate(b, Mul(r - 1, gh), c, a, Mul(c - 1, gv), r, ratios.candidates[0]) ||
      !candidate(b, Mul(c - 1, gh), c, a, Mul(r - 1, gv), r, ratios.candidates[1]) ||
      !candidate(a, Mul(r - 1, gh), c, b, Mul(c - 1, gv), r, ratios.candidates[2]) ||
      !candidate(a, Mul(c - 1, gh), r, b, Mul(r - 1, gv), c, ratios.candidates[3])) {
    return false;
  }
  ratios.index = ClosestRatioIndex(ratios.ratio, ratios.candidates);
  switch (ratios.index) {
    case 0:
      layout_orientation_ = document_orientation_ % 180;
      std::swap(rows, columns);
      break;
    case 1:
      layout_orientation_ = document_orientation_ % 180;
      break;
    case 2:
      layout_orientation_ = 0;
      std::swap(a, b);
      std::swap(rows, columns);
      break;
    default:
      layout_orientation_ = 90;
      std::swap(a, b);
  }
  sheet_orientation_ = layout_orientation_;
  rows_ = Narrow(rows);
  columns_ = Narrow(columns);
  if (rows * columns > 1) {
    a = Sub(a, Mul(rows - 1, gv));
    b = Sub(b, Mul(columns - 1, gh));
    const float s = ratios.candidates[ratios.index] > ratios.ratio
                        ? static_cast<float>(a / rows) / static_cast<float>(h)
                        : static_cast<float>(b / columns) / static_cast<float>(w);
    layout_scale_x_ = layout_scale_y_ = s < 0 ? 0.0f : s;
    page_transform_.SetScale(GScalePair{layout_scale_x_, layout_scale_y_});
  }
  ratios_ = ratios;
  return true;
}

void GNupFilter::AddCell(std::int32_t row, std::int32_t column, std::int32_t width,
                         std::int32_t height) {
  GNupCell cell;
  const std::int32_t step_x = Wrap(std::int64_t{horizontal_gap_} + width);
  const std::int32_t step_y = Wrap(std::int64_t{vertical_gap_} + height);
  const std::int32_t x = Wrap(std::int64_t{Mul(step_x, column)} + left_ + 2);
  const std::int32_t y = Wrap(std::int64_t{Mul(step_y, row)} + top_ + 2);
  cell.Place(0, GSize16(Narrow(x), Narrow(y)), GSize16(Narrow(width), Narrow(height)), 0);
  cells_.push_back(cell);
}

void GNupFilter::BuildCells() {
  cells_.clear();
  const std::int32_t rows = rows_, columns = columns_;
  const GSize16 paper = layout_media_.GetPaperSize();
  std::int32_t w = 0, h = 0;
  Div(Sub(Sub(Sub(paper.width, left_), right_), Mul(columns - 1, horizontal_gap_)), columns, w);
  Div(Sub(Sub(Sub(paper.height, top_), bottom_), Mul(rows - 1, vertical_gap_)), rows, h);
  w = Narrow(Sub(w, 4));
  h = Narrow(Sub(h, 4));
  const bool columns_first = placement_order_ == 1 || placement_order_ == 3;
  const bool right_to_left = placement_order_ == 2 || placement_order_ == 3;
  const std::int32_t outer = columns_first ? columns : rows;
  const std::int32_t inner = columns_first ? rows : columns;
  for (std::int32_t i = 0; i < outer; ++i) {
    for (std::int32_t j = 0; j < inner; ++j) {
      const std::int32_t row = columns_first ? j : i;
      std::int32_t column = columns_first ? i : j;
      if (right_to_left) column = columns - 1 - column;
      AddCell(row, column, w, h);
    }
  }
}

void GNupFilter::Refuse(GAttributeComposite* set) {
  pages_per_sheet_ = 1;
  cells_.clear();
  // No scale of a refused layout stays behind for the commands to meet.
  layout_scale_x_ = layout_scale_y_ = 0;
  page_transform_ = GTransformAttribute();
  Disable();
  SetValueIfPresent(set, kSheetOrientationKey, document_orientation_);
}

void GNupFilter::Setup(GAttributeComposite* set) {
  initialised_ = 1;
  page_counter_ = 0;
  ReadNupSettings(set);
  const std::int32_t n = pages_per_sheet_;
  if (n == 1 || n < 1 || n > kMaxPagesPerSheet || placement_order_ < 0 || placement_order_ > 3 ||
      !HasPaper(MediumOf(set)) || !ReadSheetMedia(set) || !ComputeLayout()) {
    Refuse(set);
    return;
  }
  if (Normalized(static_cast<std::int32_t>(layout_media_.GetOrientation())) != sheet_orientation_) {
    TurnMedium(layout_media_, sheet_orientation_);
    ComputeMargins();
  }
  BuildCells();
  if (!LeavesRoom()) {
    Refuse(set);
    return;
  }
  Enable();
  SetValueIfPresent(set, kSheetOrientationKey, sheet_orientation_);
}

bool GNupFilter::LeavesRoom() const {
  // Every cell has the size of the first; a page of paper scales into a
  // cell of at least one unit each way by a finite factor above zero.
  return layout_scale_x_ > 0 && !cells_.empty() && cells_.front().width > 0 &&
         cells_.front().height > 0;
}

// ---------------------------------------------------------------------------
// The road of the commands

GCountedPtr GNupFilter::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  switch (in_hand->ClassId()) {
    case kGDocumentStartId:
      return OnDocumentStart(command);
    case kGPageStartId:
      return OnPageStart(command);
    case kGPageEndId:
      return OnPageEnd(command);
    case kGDocumentEndId:
    case kPassBreakId:
      if (page_counter_ != 0) return CloseSheet(command);
      break;
    default:
      break;
  }
  return ApplyGeneralRule(command);
}

GCountedPtr GNupFilter::CloseSheet(const GCountedPtr& command) {
  page_counter_ = 0;
  GCountedPtr result = Held(RWNew<GCommandComposite>());
  if (!result) return command;
  result->AddChild(RWNew<GPageEnd>(0u));
  result->AddChild(command.Get());
  return result;
}

GCountedPtr GNupFilter::OnDocumentStart(const GCountedPtr& command) {
  auto& start = static_cast<GDocumentStart&>(*command.Get());
  driver_data_ = start.GetJobContext();
  GAttributeComposite* set = start.GetAttributes();
  Setup(set);
  if (IsEnabled() && document_orientation_ != sheet_orientation_ &&
      (pages_per_sheet_ == 2 || pages_per_sheet_ == 6)) {
    SwapDuplexChoice(*set);
  }
  return ApplyGeneralRule(command);
}

GNupCell GNupFilter::PagePlace(const GMedia& medium, std::int32_t orientation) const {
  GNupCell page;
  page.Place(0, medium.GetPrintableOrigin(), medium.GetPaperSize(),
             (orientation - document_orientation_ + 360) % 360);
  return page;
}

GCountedPtr GNupFilter::OnPageStart(const GCountedPtr& command) {
  auto* start = static_cast<GCommand*>(command.Get());
  GAttributeComposite* peek = start->GetAttributes();
  const std::optional<std::int16_t> raw = FilterValue(peek, kOrientationKey);
  GMedia* peeked = MediumOf(peek);
  GMedia turned = peeked ? *peeked : GMedia();
  if (raw && peeked) TurnMedium(turned, Normalized(*raw));
  if (!raw || !peeked || !HasPaper(&turned) || cells_.empty()) {
    // Nothing to place the page by: the filter stands aside, closing a
    // sheet it left open.
    Disable();
    return page_counter_ == 0 ? command : CloseSheet(command);
  }
  GCountedPtr set = start->DetachAttributes();
  auto& page_set = static_cast<GAttributeComposite&>(*set.Get());
  TakeOut(page_set, kOrientationKey);
  page_orientation_ = Normalized(*raw);
  TakeOut(page_set, kMediumKey);
  page_media_ = turned;
  const std::uint32_t p = PlaceOnSheet(page_counter_);
  const GNupCell& cell = cells_[p % cells_.size()];
  page_transform_ = cell.ComputeTransform(PagePlace(page_media_, page_orientation_));

  GCountedPtr result = Held(RWNew<GCommandComposite>());
  GCountedPtr head = command;
  if (p == 0) {
    sheet_orientation_ = layout_orientation_;
    if (*raw == 270 || *raw == 180) sheet_orientation_ = layout_orientation_ == 90 ? 270 : 180;
    page_set.AddChild(
        RWNew<GValueAttribute>(static_cast<std::uint16_t>(sheet_orientation_), kOrientationKey));
    if (Normalized(static_cast<std::int32_t>(sheet_media_.GetOrientation())) != sheet_orientation_)
      TurnMedium(sheet_media_, sheet_orientation_);
    if (!(page_media_.GetMediaType() == sheet_media_.GetMediaType()))
      sheet_media_.SetMediaType(page_media_.GetMediaType());
    page_set.AddChild(RWNew<GMedia>(sheet_media_));
    if (document_orientation_ != sheet_orientation_) SwapDuplexChoice(page_set);
  } else {
    head = Held(RWNew<GNullCommand>(nullptr, 0u));
  }
  Held(page_set.RemoveByClassId(kGTransformAttributeId));
  if (!head || !result) return command;
  static_cast<GCommand*>(head.Get())->AttachAttributes(&page_set);
  auto* bundle = RWNew<GGraphicBundle>();
  if (bundle) bundle->AddChild(RWNew<GTransformAttribute>(page_transform_));
  result->AddChild(head.Get());
  result->AddChild(RWNew<GNullCommand>(bundle, 0u));
  return result;
}

std::uint32_t GNupFilter::PlaceOnSheet(std::uint32_t page) const {
  return pages_per_sheet_ > 1 ? page % std::uint32_t(pages_per_sheet_) : 0;
}

GCountedPtr GNupFilter::OnPageEnd(const GCountedPtr& command) {
  auto* end = static_cast<GCommand*>(command.Get());
  GCountedPtr result = Held(RWNew<GCommandComposite>());
  if (!result || cells_.empty()) return command;
  GCountedPtr frame = MakeCellFrame(cells_[PlaceOnSheet(page_counter_) % cells_.size()]);
  result->AddChild(frame.Get());
  if (++page_counter_ >= pages_per_sheet_) {
    page_counter_ = 0;
    result->AddChild(end);
  } else {
    GCountedPtr set = end->DetachAttributes();
    result->AddChild(RWNew<GNullCommand>(static_cast<GAttributeComposite*>(set.Get()), 0u));
  }
  return result;
}

GCountedPtr GNupFilter::ApplyGeneralRule(const GCountedPtr& command) {
  auto* in_hand = static_cast<GCommand*>(command.Get());
  GCountedPtr set = in_hand->DetachAttributes();
  if (!set) return command;
  auto& attributes = static_cast<GAttributeComposite&>(*set.Get());
  if (auto* own =
          dynamic_cast<GTransformAttribute*>(attributes.FindByClassId(kGTransformAttributeId))) {
    GTransformAttribute composed = ComposeTransforms(page_transform_, *own);
    composed.SetKey(own->Key());
    attributes.ReplaceByClassId(kGTransformAttributeId, &composed);
  }
  if (GCountedPtr clip = Held(attributes.RemoveByClassId(kGClipToPageId))) {
    const GSize16 printable = page_media_.GetPrintableSize();
    attributes.AddChild(
        RWNew<GClipToSingleRectangle>(GShortRect{0, 0, printable.width, printable.height},
                                      kDefaultClipValue, kDefaultClipValue, kClipKey));
  }
  in_hand->AttachAttributes(&attributes);
  return command;
}

GCountedPtr GNupFilter::MakeCellFrame(const GNupCell& cell) {
  const GSize16 origin = layout_media_.GetPrintableOrigin();
  const GSize16 paper = layout_media_.GetPaperSize();
  const std::int32_t ox = origin.width, oy = origin.height;
  auto* bundle = RWNew<GGraphicBundle>();
  if (!bundle) return GCountedPtr();
  GCountedPtr hold_bundle = Held(bundle);
  bundle->AddChild(RWNew<GTransformAttribute>(0, GShortPoint{origin.width, origin.height},
                                              GScalePair{1.0f, 1.0f}));
  bundle->AddChild(RWNew<GClipToSingleRectangle>(
      GShortRect{Narrow(-ox), Narrow(-oy), Narrow(paper.width - ox), Narrow(paper.height - oy)},
      kDefaultClipValue, kDefaultClipValue, kClipKey));
  bundle->AddChild(RWNew<GFillMode>(kFillEvenOdd, 0u));
  bundle->AddChild(RWNew<GRasterOperation>(kFrameRop, kRopWholeCode, 0u));
  bundle->AddChild(RWNew<GNoBrush>(0u));
  if (borders_ != 0) {
    bundle->AddChild(
        RWNew<GPen>(kFramePenWidth, RWNew<GColorPaint>(RWNew<GRGBColor>(0, 0, 0, 255), 0u), 0u));
    const GShortRect frame{Narrow(cell.x - 1 - ox), Narrow(cell.y - 1 - oy),
                           Narrow(cell.x + cell.width + 1 - ox),
                           Narrow(cell.y + cell.height + 1 - oy)};
    return Held(RWNew<GRectangleGraphic>(frame, bundle, 0u));
  }
  bundle->AddChild(RWNew<GNoPen>(0u));
  return Held(RWNew<GNullCommand>(bundle, 0u));
}

// ---------------------------------------------------------------------------
// The page-scale query

GScalePair GNupFilter::GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                                    std::uint32_t page_number, std::uint32_t& status) {
  if (status == 3) return GScalePair{0.0f, 0.0f};
  if (!initialised_) Setup(document);
  if (pages_per_sheet_ == 1 || cells_.empty()) return GScalePair{1.0f, 1.0f};
  const std::optional<std::int32_t> orientation = AngleOf(page, kOrientationKey);
  GMedia* medium = MediumOf(page);
  if (!orientation || !medium) return GScalePair{layout_scale_x_, layout_scale_y_};
  GMedia turned(*medium);
  TurnMedium(turned, *orientation);
  if (!HasPaper(&turned)) return GScalePair{layout_scale_x_, layout_scale_y_};
  const GNupCell& cell = cells_[PlaceOnSheet(page_number) % cells_.size()];
  return cell.ComputeTransform(PagePlace(turned, *orientation)).GetScale();
}

// ---------------------------------------------------------------------------
// The stored form

RWSize GNupFilter::OwnFieldsSize() const {
  return 28 + GraphStoreSizeOf(&page_media_) + GraphStoreSizeOf(&layout_media_);
}

template <class Out>
void GNupFilter::SaveOwnFields(Out& out) const {
  PutItem(out, left_);
  PutItem(out, right_);
  PutItem(out, top_);
  PutItem(out, bottom_);
  PutItem(out, vertical_gap_);
  PutItem(out, horizontal_gap_);
  PutItem(out, pages_per_sheet_);
  PutItem(out, placement_order_);
  PutItem(out, static_cast<std::int16_t>(document_orientation_));
  PutItem(out, static_cast<std::int16_t>(page_orientation_));
  PutItem(out, borders_);
  PutReference(out, &page_media_);
  PutReference(out, &layout_media_);
}

template <class In>
void GNupFilter::RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version) {
  if (version != kNupVersion) return;
  std::int16_t document = 0, page = 0;
  if (!GetItem(in, left_) || !GetItem(in, right_) || !GetItem(in, top_) || !GetItem(in, bottom_) ||
      !GetItem(in, vertical_gap_) || !GetItem(in, horizontal_gap_) ||
      !GetItem(in, pages_per_sheet_) || !GetItem(in, placement_order_) || !GetItem(in, document) ||
      !GetItem(in, page) || !GetItem(in, borders_) || !GetEmbedded(in, page_media_) ||
      !GetEmbedded(in, layout_media_)) {
    scope.Fail();
  }
  document_orientation_ = document;
  page_orientation_ = page;
  layout_scale_x_ = layout_scale_y_ = 0;
  page_counter_ = rows_ = columns_ = 0;
  sheet_orientation_ = 0;
  page_transform_ = GTransformAttribute();
}
