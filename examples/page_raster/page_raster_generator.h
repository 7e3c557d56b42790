// GPageRasterGenerator: the demonstration's generator, the last device of
// its print road. It speaks no printer language: it renders each page into
// a 1-bit picture and writes the picture's rows to the document's port in
// a framing of this project's own (below), so that a port file can be
// turned back into pictures and compared with what was drawn. The library
// registers no such class; the demonstration and the tests do
// (RegisterPageRasterGenerator).
//
// Port file, in the order written:
//   the display line of the job language (GWqm's, lang/joblang_zdl5/
//   wqm.h: `RDYMSG DISPLAY = "<kDisplayTextKey>"` CR LF, or OPMSG with
//   kOperatorMessageKey set;
//   the text cleaned as GWqm cleans it), at document start, when the
//   document's set holds kDisplayTextKey;
//   per page:  "PAGE <width> <height>" CR LF  (decimal pixels)
//              the rows as adaptive row blocks (output/raster/encoders.h:
//              mode u8, length u16 high byte first, data; 05 00 n repeats)
//              "ENDPAGE" CR LF
// This framing is the project's own, not any printer's language.
//
// The page. At page start a picture of the page's medium is made: the medium
// (GMedia) keyed kMediumKey in the page start's set, else the first GMedia
// found in that set, else the previous page's, else the job settings' medium
// keyed kTargetMediumKey; without any the page is 0 x 0. The picture is the
// medium's paper size in dots at its resolution (1-bit, palette index 0 black,
// 1 white, all white at first). Coordinates are the picture's pixels, (0, 0)
// the paper's top left corner, x right and y down; a rectangle (left, top,
// right, bottom) covers left <= x < right and top <= y < bottom. At page end
// the picture goes through a raster chain (GRasterSourceBuilder: bitmap source
// in read mode 0, no resizing) that ends in a new GAdaptiveRowEncoder(1, 1)
// begun for the page, and its rows go to the port between the page's two frame
// lines. Without a page start before it, a graphic is drawn nowhere.
//
// Transforms. A graphic's own GTransformAttribute (in its set) places it;
// a graphic without one is placed by the page's: the last transform met in
// the page start's set or in the set of a null command of the page (the
// page-geometry filters compose the page's into a graphic's own, so the
// two are never applied together). A point p goes to
// offset + scale x R(rotation) p, with R turning counter-clockwise on the
// page: (x, y) -> (x cos a + y sin a, -x sin a + y cos a), the placement
// the imposing filters give.
//
// Drawing, from the graphic's set (GGraphicBundle keys):
//   brush (kBrushKey) fills rectangles and polygons by the fill rule
//                     (GFillMode, even-odd at first; mode 2 keeps the rule): a
//                     pixel is inside when its centre is. A GNoBrush fills
//                     nothing; no brush fills black. The colour: black when
//                     its grey (ColorToGray) is below 128, else white; no
//                     colour is black.
//   pen (kPenKey)     outlines rectangles and polygons, and draws Bezier runs
//                     (flattened into kBezierSteps lines a segment) and is a
//                     square of its width in pixels (at least 1), colour as
//                     the brush's. A GNoPen, or no pen, outlines nothing; a
//                     Bezier run without a pen is drawn with a black pen of 1.
//   clip (kClipKey)   a clip with a rectangle (GClip::GetBounds) cuts every
//                     drawing of the graphic to the box it covers once placed
//                     (the graphic's coordinates, as the imposing filters give
//                     their clips).
// Raster graphics (DrawBitmap) go through GRasterSourceBuilder into the
// placed target rectangle (scaled, dithered to 1 bit through a 4 x 4
// ordered matrix), then are set into the picture. Text (DrawTextString):
// each code's glyph from GScaledFont::GetGlyphData (the font scaled by the
// placement's scale; the glyph itself is not turned), set black with its
// top left at pen + (metrics x, -metrics y); the pen starts at the placed
// start point and moves by the escapements (else by the glyph's extent).
// A code whose glyph gives no bitmap (the render failed; an empty glyph
// gives an empty one) fails the text with kGlyphFailure rather than print
// the page without it. Raster operations are not applied: every mark is
// drawn over what is there.
//
// DocumentStart: the generator base's (the port opened and held), then the
// display line. DocumentEnd: an open page finished and the sink flushed;
// the port is closed (its file put in place) by the job driver once the
// whole chain answered, and aborted when it answered a failure. JobAbort: an open page dropped and
// a port the generator opened aborted (a file port removes its file); a job abort before any
// document start does no more than drop the page. The pass break (718) writes nothing: the pages
// held before it reach the port as they end. Every other handler answers the sink's kept write
// error when it has no error of its own; JobAbort answers 0.
//
// Observers (run-time only, not copied): the command observer sees each
// command as it reaches the generator's Transform; the page observer sees
// each finished picture before its rows are written (a handle it copies
// keeps the pixels).
//
// Class id kGPageRasterGeneratorId (a user class id, outside the ranges of
// the library and of the collection classes), registered as
// "GPageRasterGenerator" by RegisterPageRasterGenerator only. Stored form:
// the GPrinterLanguage part, then version u32 1 (generator_class.h).
//
// Ownership: the generator owns its page picture; holds the port it opened.
// Threads: one job's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "lang/generator/generator_class.h"
#include "output/attributes/transform.h"
#include "output/raster/bitmap.h"

class GMedia;
class GPrimitiveGraphic;

inline constexpr RWClassID kGPageRasterGeneratorId = 0x9D01;
// A text's answer when a glyph gives no bitmap (beside the page spool's
// kSpoolFailure, 2).
inline constexpr std::uint16_t kGlyphFailure = 3;
// The page picture's palette indexes.
inline constexpr std::uint8_t kPageBlack = 0;
inline constexpr std::uint8_t kPageWhite = 1;
// The frame lines around a page's row blocks.
inline constexpr char kPageFrameStart[] = "PAGE";
inline constexpr char kPageFrameEnd[] = "ENDPAGE\r\n";
// Lines a Bezier segment is flattened into.
inline constexpr int kBezierSteps = 16;

class GPageRasterGenerator final
    : public GGeneratorClass<GPageRasterGenerator, kGPageRasterGeneratorId> {
 public:
  using CommandObserver = std::function<void(const GCommand& command)>;
  using PageObserver = std::function<void(const GBitmap& page)>;

  using GGeneratorClass::GGeneratorClass;
  GPageRasterGenerator();
  // The device part; no page, no observers.
  GPageRasterGenerator(const GPageRasterGenerator& other);
  ~GPageRasterGenerator() override;

  GCountedPtr Transform(const GCountedPtr& command) override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t PageStart(GPageStart& command) override;
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  std::uint16_t DrawRectangle(GRectangleGraphic& graphic) override;
  std::uint16_t DrawPolygon(GPolygonGraphic& graphic) override;
  std::uint16_t BeginBezier(GPolyBezierGraphic& graphic) override;
  std::uint16_t DrawBitmap(GRasterGraphic& graphic) override;
  std::uint16_t DrawTextString(GTextStringGraphic& graphic) override;

  // The paints' colours, for the graphic in hand.
  std::uint16_t SetPenPaint(GPaint& paint) override;
  std::uint16_t SetPenColor(GColorPaint& paint) override;
  std::uint16_t SetBrushPaint(GPaint& paint) override;
  std::uint16_t SetBrushColor(GColorPaint& paint) override;

  void SetCommandObserver(CommandObserver observer) { command_observer_ = std::move(observer); }
  void SetPageObserver(PageObserver observer) { page_observer_ = std::move(observer); }

  // The picture of the page in hand (none outside a page).
  const GBitmap* GetPage() const;

 private:
  struct Page;
  struct Style;

  // The medium of a page start's set (see the file comment), or null.
  const GMedia* FindMedium(GAttributeComposite* set) const;
  // The last transform of `set`, when it has one, becomes the page's.
  void TakePageTransform(GAttributeComposite* set);
  // The graphic's drawing state from its set (a `bezier` run without a
  // pen takes a black pen of 1); sets the page's cut to its clip.
  Style StyleOf(GCommand& graphic, bool bezier);
  // Fills and outlines the figure of points (xs[i], ys[i]) (page pixels,
  // placed); the fill closes it.
  void DrawFigure(std::span<const double> xs, std::span<const double> ys, const Style& style);
  // Writes the page in hand and drops it.
  void WritePage();
  std::uint16_t Answer(std::uint16_t code = 0) { return code ? code : GetSink().GetWriteError(); }

  std::unique_ptr<Page> page_;           // the page in hand
  std::unique_ptr<GMedia> last_medium_;  // the previous page's
  GTransformAttribute page_transform_;
  std::uint32_t fill_rule_ = 0;     // kFillEvenOdd or kFillWinding
  std::int32_t paint_colour_ = -1;  // what the last paint applied gave
  CommandObserver command_observer_;
  PageObserver page_observer_;
};

extern template class MPersistentClass<GPageRasterGenerator, GPrinterLanguage,
                                       kGPageRasterGeneratorId>;

// The class, for the factory.
std::span<const RWClassRegistration> PageRasterGeneratorClasses();
// Registers GPageRasterGenerator with the class factory (and the job
// language's classes, which it writes with); the unregistration undoes it.
// Nested calls are counted.
void RegisterPageRasterGenerator();
void UnregisterPageRasterGenerator();
