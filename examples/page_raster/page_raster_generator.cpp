#include "examples/page_raster/page_raster_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/render/render_driver_data_imp.h"
#include "filters/geometry_filters.h"
#include "fonts/font.h"
#include "fonts/text_escapements.h"
#include "lang/joblang_zdl5/load.h"
#include "lang/joblang_zdl5/wqm.h"
#include "lang/text/text_string.h"
#include "output/attributes/fill_mode.h"
#include "output/color/gray.h"
#include "output/color/paint.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/byte_buffer.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/encoders.h"
#include "output/raster/row_chain.h"
#include "services/driver_data.h"

namespace {

constexpr RWClassRegistration kPageRasterClasses[] = {
    {&RWCreate<GPageRasterGenerator>, kGPageRasterGeneratorId, "GPageRasterGenerator"},
};
constexpr RWSubsystemClasses::List kPageRasterLists[] = {&PageRasterGeneratorClasses};
constinit RWSubsystemClasses g_classes(kPageRasterLists);

constexpr std::uint8_t kGreyMiddle = 128;
// Coordinates are held within this distance of the page, far outside any
// page, so that a placement of outside data never leaves the integers.
constexpr double kFar = 1 << 20;
// The widest pen drawn.
constexpr std::int32_t kWidestPen = 64;

// The pixel that holds `v`, within kFar.
std::int32_t Pixel(double v) {
  return static_cast<std::int32_t>(std::clamp(std::floor(v), -kFar, kFar));
}
// A colour of the page's, or none.
constexpr int kNoColour = -1;

// The raster graphics' ordered dither: a 4 x 4 Bayer matrix, thresholds
// spread evenly over 8..248.
const GDitherMatrix& RasterDither() {
  static const std::uint8_t kThresholds[16] = {8,  136, 40, 168, 200, 72,  232, 104,
                                               56, 184, 24, 152, 248, 120, 216, 88};
  static const GDitherMatrix matrix(4, 4, kThresholds, 0, 0);
  return matrix;
}

// A transform as a map of points.
struct Placement {
  double cos = 1, sin = 0, sx = 1, sy = 1, ox = 0, oy = 0;

  explicit Placement(const GTransformAttribute& t) {
    const int turn = ((t.GetRotation() % 360) + 360) % 360;
    static const double kQuarter[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    if (turn % 90 == 0) {
      cos = kQuarter[turn / 90][0];
      sin = kQuarter[turn / 90][1];
    } else {
      const double radians = turn * std::acos(-1.0) / 180;
      cos = std::cos(radians);
      sin = std::sin(radians);
    }
    // A scale that is no number scales nothing.
    sx = std::isfinite(t.GetScale().x) ? t.GetScale().x : 1.0;
    sy = std::isfinite(t.GetScale().y) ? t.GetScale().y : 1.0;
    ox = t.GetOffset().x;
    oy = t.GetOffset().y;
  }
  void Map(double x, double y, double& px, double& py) const {
    px = ox + sx * (x * cos + y * sin);
    py = oy + sy * (-x * sin + y * cos);
  }
};

// The box on the page that `rect` covers once placed (two corners mapped,
// rounded to pixel edges), within 16 bits.
GShortRect PlacedBox(const Placement& placement, const GShortRect& rect) {
  double x0, y0, x1, y1;
  placement.Map(rect.left, rect.top, x0, y0);
  placement.Map(rect.right, rect.bottom, x1, y1);
  auto edge = [](double v) {
    return static_cast<std::int16_t>(std::clamp(Pixel(v + 0.5), -32768, 32767));
  };
  return {edge(std::min(x0, x1)), edge(std::min(y0, y1)), edge(std::max(x0, x1)),
          edge(std::max(y0, y1))};
}

// The points of a figure, placed.
struct Figure {
  std::vector<double> xs, ys;
  void Add(const Placement& placement, double x, double y) {
    double px, py;
    placement.Map(x, y, px, py);
    xs.push_back(px);
    ys.push_back(py);
  }
};

// `value` as a `T`, or null.
template <class T>
T* As(MPersistentObject* value) {
  return dynamic_cast<T*>(value);
}

}  // namespace

// The picture of the page in hand: the implementation owns the pixels,
// which the generator writes through `pixels`.
struct GPageRasterGenerator::Page {
  std::int32_t width = 0, height = 0;
  std::uint32_t stride = 0;
  std::uint8_t* pixels = nullptr;  // owned by the bitmap's implementation
  GBitmap bitmap;
  GShortRect cut{0, 0, 0, 0};  // drawing is kept inside

  bool Make(std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0) return true;
    const std::uint64_t bytes = PaddedRowBytes(std::uint32_t(w), 1, 1) * std::uint64_t(h);
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[bytes]);
    const GPaletteEntry entries[2] = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    auto* palette = new (std::nothrow) GPaletteTable(entries);
    if (!block || !palette) {
      delete palette;
      return false;
    }
    std::fill_n(block.get(), bytes, std::uint8_t{0xFF});
    std::uint8_t* const block_start = block.get();
    auto* implementation = new (std::nothrow)
        GBitmapImp(std::uint32_t(w), std::uint32_t(h), 1, 1, std::move(block), palette);
    if (!implementation) {
      delete palette;
      return false;
    }
    bitmap = GBitmap(implementation);
    pixels = block_start;
    width = w;
    height = h;
    stride = implementation->GetRowStride();
    cut = GShortRect{0, 0, std::int16_t(w), std::int16_t(h)};
    return true;
  }
  void Set(std::int32_t x, std::int32_t y, int colour) {
    if (colour == kNoColour || x < 0 || y < 0 || x >= width || y >= height || x < cut.left ||
        y < cut.top || x >= cut.right || y >= cut.bottom)
      return;
    std::uint8_t& byte = pixels[std::size_t(y) * stride + std::size_t(x) / 8];
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
    byte = static_cast<std::uint8_t>(colour == kPageWhite ? byte | mask : byte & ~mask);
  }
  // Lays `count` bits of `bits` (most significant first) into row `y` from
  // pixel `left` on, within the page and the cut, a page byte at a time:
  // kCopy sets each pixel to its bit (1 white), kInk blackens the pixels
  // whose bit is 1 and leaves the others.
  enum class Lay { kCopy, kInk };
  void LayBits(std::int32_t y, std::int32_t left, const std::uint8_t* bits, std::int32_t count,
               Lay lay) {
    if (y < std::max<std::int32_t>(0, cut.top) || y >= std::min<std::int32_t>(height, cut.bottom))
      return;
    const std::int64_t from = std::max<std::int64_t>({left, 0, cut.left});
    const std::int64_t to = std::min<std::int64_t>(
        {std::int64_t{left} + std::max(count, 0), width, std::int64_t{cut.right}});
    if (from >= to) return;
    // Page byte b takes source bytes k and k + 1 shifted left by `shift`,
    // where 8 k = 8 b - left - shift; only the edge bytes may reach outside
    // the source (read as 0, then masked off).
    const std::int64_t shift = ((-std::int64_t{left}) % 8 + 8) % 8;
    const std::int64_t source_bytes = (std::int64_t{count} + 7) / 8;
    auto source = [&](std::int64_t k) -> std::uint32_t {
      return k >= 0 && k < source_bytes ? bits[k] : 0;
    };
    auto laid = [&](std::int64_t byte, bool edge) {
      const std::int64_t k = (byte * 8 - left - shift) / 8;
      const std::uint32_t high = edge ? source(k) : bits[k];
      if (shift == 0) return static_cast<std::uint8_t>(high);
      const std::uint32_t low = edge ? source(k + 1) : bits[k + 1];
      return static_cast<std::uint8_t>(high << shift | low >> (8 - shift));
    };
    std::uint8_t* row = pixels + std::size_t(y) * stride;
    auto put = [&](std::int64_t byte, std::uint8_t mask, std::uint8_t laid_bits) {
      if (lay == Lay::kCopy)
        row[byte] = static_cast<std::uint8_t>((row[byte] & ~mask) | (laid_bits & mask));
      else
        row[byte] = static_cast<std::uint8_t>(row[byte] & ~(laid_bits & mask));
    };
    auto edge = [&](std::int64_t byte) {
      const std::int64_t first = std::max(byte * 8, from) - byte * 8;
      const std::int64_t last = std::min(byte * 8 + 8, to) - byte * 8;
      put(byte, static_cast<std::uint8_t>((0xFFu >> first) & (0xFFu << (8 - last))),
          laid(byte, true));
    };
    const std::int64_t first = from / 8, last = (to - 1) / 8;
    edge(first);
    if (last == first) return;
    for (std::int64_t byte = first + 1; byte < last; ++byte)
      put(byte, 0xFF, laid(byte, false));
    edge(last);
  }
  // Pixels `from` up to `to` of row `y`, a byte at a time where whole.
  void Span(std::int32_t y, std::int32_t from, std::int32_t to, int colour) {
    if (colour == kNoColour || y < std::max<std::int32_t>(0, cut.top) ||
        y >= std::min<std::int32_t>(height, cut.bottom))
      return;
    from = std::max({from, 0, std::int32_t{cut.left}});
    to = std::min({to, width, std::int32_t{cut.right}});
    std::uint8_t* row = pixels + std::size_t(y) * stride;
    const std::uint8_t fill = colour == kPageWhite ? 0xFF : 0x00;
    for (; from < to && from % 8 != 0; ++from)
      Set(from, y, colour);
    for (; to - from >= 8; from += 8)
      row[from / 8] = fill;
    for (; from < to; ++from)
      Set(from, y, colour);
  }
  void Square(double x, double y, std::int32_t size, int colour) {
    const std::int32_t left = Pixel(x) - (size - 1) / 2;
    const std::int32_t top = Pixel(y) - (size - 1) / 2;
    if (left >= width || top >= height || left + size <= 0 || top + size <= 0) return;
    for (std::int32_t row = top; row < top + size; ++row)
      Span(row, left, left + size, colour);
  }
  void Line(double x0, double y0, double x1, double y1, std::int32_t size, int colour) {
    const double steps = std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
    if (!(steps < 1e6)) return;
    for (double i = 0; i <= steps; ++i) {
      const double t = steps > 0 ? i / steps : 0;
      Square(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, size, colour);
    }
  }
};

// What a graphic is drawn with.
struct GPageRasterGenerator::Style {
  int fill = kPageBlack;  // kNoColour: not filled
  int pen = kNoColour;    // kNoColour: not outlined
  std::int32_t pen_size = 1;
  Placement placement{GTransformAttribute()};
};

std::span<const RWClassRegistration> PageRasterGeneratorClasses() {
  return kPageRasterClasses;
}

void RegisterPageRasterGenerator() {
  JobLanguageLoad();
  g_classes.Load();
}

void UnregisterPageRasterGenerator() {
  g_classes.Unload();
  JobLanguageUnload();
}

GPageRasterGenerator::GPageRasterGenerator() = default;

GPageRasterGenerator::GPageRasterGenerator(const GPageRasterGenerator& other)
    : GGeneratorClass(other), fill_rule_(other.fill_rule_) {}

GPageRasterGenerator::~GPageRasterGenerator() = default;

const GBitmap* GPageRasterGenerator::GetPage() const {
  return page_ ? &page_->bitmap : nullptr;
}

GCountedPtr GPageRasterGenerator::Transform(const GCountedPtr& command) {
  if (auto* in_hand = As<GCommand>(command.Get())) {
    if (command_observer_) command_observer_(*in_hand);
    if (page_ && in_hand->ClassId() == kGNullCommandId) TakePageTransform(in_hand->GetAttributes());
  }
  return GGeneratorClass::Transform(command);
}

std::uint16_t GPageRasterGenerator::DocumentStart(GDocumentStart& command) {
  page_.reset();
  last_medium_.reset();
  fill_rule_ = kFillEvenOdd;
  if (std::uint16_t result = StartDocument(command, false)) return result;
  if (RWCString line; GWqm::MakeDisplayLine(command.GetAttributes(), line)) GetSink().Put(line);
  return Answer();
}

std::uint16_t GPageRasterGenerator::DocumentEnd(GDocumentEnd& command) {
  GGeneratorClass::DocumentEnd(command);
  if (page_) WritePage();
  GetSink().Flush();
  // The close, which puts the port's file in place, is the job's: it comes
  // only after the whole chain answered the document end, which may still
  // fail it (memory short on the way down), and the job answers its error.
  return Answer();
}

std::uint16_t GPageRasterGenerator::JobAbort(GJobAbort& command) {
  GGeneratorClass::JobAbort(command);
  page_.reset();
  if (!IsDocumentOpen()) return 0;
  GetSink().Flush();
  // Aborted, not closed: a port file cut short must not look like output.
  if (OwnsOutput() && GetOutput()) GetOutput()->Abort();
  return 0;
}

const GMedia* GPageRasterGenerator::FindMedium(GAttributeComposite* set) const {
  if (set) {
    if (auto* medium = As<GMedia>(set->FindByKey(kMediumKey))) return medium;
    if (auto* medium = As<GMedia>(set->FindByClassId(kGMediaId))) return medium;
  }
  if (last_medium_) return last_medium_.get();
  GDriverData* data = GetJobContext() ? GetJobContext()->GetDriverData() : nullptr;
  GAttributeComposite* job = data ? data->GetJobSettings() : nullptr;
  return job ? As<GMedia>(job->FindByKey(kTargetMediumKey)) : nullptr;
}

void GPageRasterGenerator::TakePageTransform(GAttributeComposite* set) {
  for (RWSize i = 0; set && i < set->EntryCount(); ++i) {
    if (auto* transform = As<GTransformAttribute>(set->Children()[i].Get()))
      page_transform_ = *transform;
  }
}

std::uint16_t GPageRasterGenerator::PageStart(GPageStart& command) {
  GGeneratorClass::PageStart(command);
  if (page_) WritePage();
  GAttributeComposite* set = command.GetAttributes();
  std::int32_t width = 0, height = 0;
  if (const GMedia* medium = FindMedium(set)) {
    width = medium->GetPaperSize().width;
    height = medium->GetPaperSize().height;
    if (medium != last_medium_.get()) last_medium_.reset(new (std::nothrow) GMedia(*medium));
  }
  page_ = std::make_unique<Page>();
  if (!page_->Make(width, height)) page_->Make(0, 0);
  page_transform_ = GTransformAttribute();
  TakePageTransform(set);
  return Answer();
}

std::uint16_t GPageRasterGenerator::PageEnd(GPageEnd& command) {
  GGeneratorClass::PageEnd(command);
  if (page_) WritePage();
  return Answer();
}

void GPageRasterGenerator::WritePage() {
  std::unique_ptr<Page> page = std::move(page_);
  if (page_observer_) page_observer_(page->bitmap);
  char line[32];
  std::snprintf(line, sizeof line, "%s %d %d\r\n", kPageFrameStart, int(page->width),
                int(page->height));
  GetSink().Put(RWCString(line));
  const GShortRect whole{0, 0, std::int16_t(page->width), std::int16_t(page->height)};
  GShortRect source = whole;
  std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
      whole, source, nullptr, page->bitmap, std::make_unique<GAdaptiveRowEncoder>(1, 1),
      GRasterChainValues{});
  if (chain) {
    std::vector<std::uint8_t> row(chain->GetMaxRowBytes());
    for (;;) {
      std::uint16_t index = 0;
      std::uint32_t length = 0;
      std::uint8_t repeat = 1, delivered = 1;
      chain->GetRow(row.data(), index, length, repeat, delivered);
      if (length == 0 || length > row.size()) break;
      GetSink().Put(row.data(), length);
    }
  }
  GetSink().Put(RWCString(kPageFrameEnd));
  GetSink().Flush();
}

std::uint16_t GPageRasterGenerator::SetPenPaint(GPaint& paint) {
  return paint.ApplyToPen(*this);
}

std::uint16_t GPageRasterGenerator::SetBrushPaint(GPaint& paint) {
  return paint.ApplyToBrush(*this);
}

std::uint16_t GPageRasterGenerator::SetPenColor(GColorPaint& paint) {
  return SetBrushColor(paint);
}

std::uint16_t GPageRasterGenerator::SetBrushColor(GColorPaint& paint) {
  const GRGBColor* colour = paint.GetColor();
  paint_colour_ =
      colour && ColorToGray(colour->GetRed(), colour->GetGreen(), colour->GetBlue()) >= kGreyMiddle
          ? kPageWhite
          : kPageBlack;
  return 0;
}

GPageRasterGenerator::Style GPageRasterGenerator::StyleOf(GCommand& graphic, bool bezier) {
  Style style;
  GAttributeComposite* set = graphic.GetAttributes();
  auto* bundle = As<GGraphicBundle>(set);
  const GTransformAttribute* own = nullptr;
  for (RWSize i = 0; set && i < set->EntryCount(); ++i) {
    if (auto* transform = As<GTransformAttribute>(set->Children()[i].Get())) own = transform;
    if (auto* mode = As<GFillMode>(set->Children()[i].Get());
        mode && mode->GetMode() <= kFillWinding)
      fill_rule_ = mode->GetMode();
  }
  style.placement = Placement(own ? *own : page_transform_);
  GBrush* brush = bundle ? bundle->FindBrush() : nullptr;
  if (brush && brush->ClassId() == kGNoBrushId) {
    style.fill = kNoColour;
  } else if (GPaint* paint = brush ? brush->GetPaint() : nullptr) {
    paint_colour_ = kPageBlack;
    paint->ApplyToBrush(*this);
    style.fill = paint_colour_;
  }
  GPen* pen = bundle ? bundle->FindPen() : nullptr;
  if (pen && pen->ClassId() != kGNoPenId) {
    style.pen = kPageBlack;
    style.pen_size =
        static_cast<std::int32_t>(std::clamp<std::uint32_t>(pen->GetWidth(), 1, kWidestPen));
    if (GPaint* paint = pen->GetPaint()) {
      paint_colour_ = kPageBlack;
      paint->ApplyToPen(*this);
      style.pen = paint_colour_;
    }
  } else if (!pen && bezier) {
    style.pen = kPageBlack;
  }
  GShortRect cut{0, 0, std::int16_t(page_ ? page_->width : 0),
                 std::int16_t(page_ ? page_->height : 0)};
  GClip* clip = bundle ? bundle->FindClip() : nullptr;
  if (GShortRect bounds; clip && clip->GetBounds(bounds)) {
    bounds = PlacedBox(style.placement, bounds);
    cut = GShortRect{std::max(cut.left, bounds.left), std::max(cut.top, bounds.top),
                     std::min(cut.right, bounds.right), std::min(cut.bottom, bounds.bottom)};
  }
  if (page_) page_->cut = cut;
  return style;
}

void GPageRasterGenerator::DrawFigure(std::span<const double> xs, std::span<const double> ys,
                                      const Style& style) {
  const std::size_t n = xs.size();
  if (!page_ || n < 2) return;
  if (style.fill != kNoColour && n >= 3) {
    const double top = *std::min_element(ys.begin(), ys.end());
    const double bottom = *std::max_element(ys.begin(), ys.end());
    const std::int32_t first = std::max(0, Pixel(top));
    const std::int32_t last = std::min(page_->height, Pixel(std::ceil(bottom)));
    std::vector<std::pair<double, int>> crossings;
    for (std::int32_t y = first; y < last; ++y) {
      const double centre = y + 0.5;
      crossings.clear();
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        if ((ys[i] <= centre) == (ys[j] <= centre)) continue;
        const double x = xs[i] + (centre - ys[i]) * (xs[j] - xs[i]) / (ys[j] - ys[i]);
        crossings.emplace_back(x, ys[j] > ys[i] ? 1 : -1);
      }
      std::sort(crossings.begin(), crossings.end());
      int winding = 0;
      for (std::size_t k = 0; k + 1 < crossings.size(); ++k) {
        winding += fill_rule_ == kFillWinding ? crossings[k].second : 1;
        const bool inside = fill_rule_ == kFillWinding ? winding != 0 : winding % 2 != 0;
        if (!inside) continue;
        // Pixels whose centres lie in [a, b).
        const std::int32_t from = std::max(-1, Pixel(std::ceil(crossings[k].first - 0.5)));
        const std::int32_t to =
            std::min(page_->width, Pixel(std::ceil(crossings[k + 1].first - 0.5)));
        page_->Span(y, from, to, style.fill);
      }
    }
  }
  if (style.pen != kNoColour) {
    for (std::size_t i = 0; i + 1 < n; ++i)
      page_->Line(xs[i], ys[i], xs[i + 1], ys[i + 1], style.pen_size, style.pen);
  }
}

std::uint16_t GPageRasterGenerator::DrawRectangle(GRectangleGraphic& graphic) {
  const Style style = StyleOf(graphic, false);
  const GShortRect& r = graphic.GetBounds();
  Figure figure;
  for (auto [x, y] :
       {std::pair{r.left, r.top}, std::pair{r.right, r.top}, std::pair{r.right, r.bottom},
        std::pair{r.left, r.bottom}, std::pair{r.left, r.top}})
    figure.Add(style.placement, x, y);
  DrawFigure(figure.xs, figure.ys, style);
  return Answer();
}

std::uint16_t GPageRasterGenerator::DrawPolygon(GPolygonGraphic& graphic) {
  const Style style = StyleOf(graphic, false);
  Figure figure;
  for (std::uint32_t i = 0; i < graphic.GetPointCount(); ++i)
    figure.Add(style.placement, graphic.GetPoint(i)->x, graphic.GetPoint(i)->y);
  if (!figure.xs.empty())
    figure.Add(style.placement, graphic.GetPoint(0)->x, graphic.GetPoint(0)->y);
  DrawFigure(figure.xs, figure.ys, style);
  return Answer();
}

std::uint16_t GPageRasterGenerator::BeginBezier(GPolyBezierGraphic& graphic) {
  Style style = StyleOf(graphic, true);
  style.fill = kNoColour;
  Figure figure;
  double x0 = graphic.GetPointA()->x, y0 = graphic.GetPointA()->y;
  figure.Add(style.placement, x0, y0);
  for (std::uint32_t s = 0; s < graphic.GetSegmentCount(); ++s) {
    const GShortPoint* p = graphic.GetPoint(3 * s);
    const double cx[3] = {double(p[0].x), double(graphic.GetPoint(3 * s + 1)->x),
                          double(graphic.GetPoint(3 * s + 2)->x)};
    const double cy[3] = {double(p[0].y), double(graphic.GetPoint(3 * s + 1)->y),
                          double(graphic.GetPoint(3 * s + 2)->y)};
    for (int step = 1; step <= kBezierSteps; ++step) {
      const double t = double(step) / kBezierSteps, u = 1 - t;
      const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
      figure.Add(style.placement, a * x0 + b * cx[0] + c * cx[1] + d * cx[2],
                 a * y0 + b * cy[0] + c * cy[1] + d * cy[2]);
    }
    x0 = cx[2];
    y0 = cy[2];
  }
  DrawFigure(figure.xs, figure.ys, style);
  return Answer();
}

std::uint16_t GPageRasterGenerator::DrawBitmap(GRasterGraphic& graphic) {
  const Style style = StyleOf(graphic, false);
  if (!page_) return Answer();
  const GShortRect target = PlacedBox(style.placement, graphic.GetSecondRect());
  GShortRect source = graphic.GetFirstRect();
  GRasterChainValues values;
  values.scaling_mode = 1;
  values.matrix = &RasterDither();
  const GBitmap bitmap = graphic.GetBitmap();
  std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
      target, source, nullptr, bitmap, std::make_unique<GRowPadder>(1, 0), values);
  if (!chain || chain->GetBitsPerPixel() != 1) return Answer();
  GShortRect bounds;
  chain->GetBounds(bounds);
  std::vector<std::uint8_t> row(chain->GetMaxRowBytes() + 1);
  for (std::int32_t y = bounds.top;;) {
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    chain->GetRow(row.data(), index, length, repeat, delivered);
    if (length == 0 || length > row.size()) break;
    const std::int32_t width = std::min<std::int32_t>(bounds.right - bounds.left, length * 8);
    for (std::uint8_t r = 0; r < std::max<std::uint8_t>(repeat, 1); ++r, ++y)
      page_->LayBits(y, bounds.left, row.data(), width, Page::Lay::kCopy);
  }
  return Answer();
}

std::uint16_t GPageRasterGenerator::DrawTextString(GTextStringGraphic& graphic) {
  const Style style = StyleOf(graphic, false);
  GFont* font = graphic.GetFont();
  GTextString* text = graphic.GetText();
  if (!page_ || !font || !text) return Answer();
  const GScaledFont scaled(*font, float(style.placement.sx), float(style.placement.sy));
  GTextEscapements* escapements = graphic.GetEscapements();
  double pen_x, pen_y;
  style.placement.Map(graphic.GetStartPoint().x, graphic.GetStartPoint().y, pen_x, pen_y);
  for (std::uint32_t i = 0; i < text->GetLength(); ++i) {
    GGlyphMetrics metrics;
    GByteBuffer* fetched = nullptr;
    const std::uint32_t size =
        scaled.GetGlyphData(text->GetCode(i), font->GetSelector(), metrics, fetched);
    const std::unique_ptr<GByteBuffer> glyph(fetched);
    // No bitmap (an empty glyph gives an empty one): the character cannot
    // be drawn, and the page is not printed without it.
    if (!glyph) return Answer(kGlyphFailure);
    const std::uint32_t row_bytes =
        (std::uint32_t(std::max<std::int16_t>(metrics.width, 0)) + 31) / 32 * 4;
    const std::int32_t left = Pixel(pen_x) + metrics.x;
    const std::int32_t top = Pixel(pen_y) - metrics.y;
    if (glyph && size >= row_bytes * std::uint32_t(std::max<std::int16_t>(metrics.height, 0)) &&
        glyph->GetData()) {
      for (std::int32_t r = 0; r < metrics.height; ++r)
        page_->LayBits(top + r, left, glyph->GetData() + r * row_bytes, metrics.width,
                       Page::Lay::kInk);
    }
    if (escapements && (escapements->GetPrimaryTable() || escapements->GetSecondaryTable())) {
      if (escapements->GetPrimaryTable())
        pen_x += style.placement.sx * std::int16_t(escapements->GetPrimaryAt(i));
      if (escapements->GetSecondaryTable())
        pen_y += style.placement.sy * std::int16_t(escapements->GetSecondaryAt(i));
    } else {
      pen_x += metrics.x + metrics.width;
    }
  }
  return Answer();
}

template class MPersistentClass<GPageRasterGenerator, GPrinterLanguage, kGPageRasterGeneratorId>;
