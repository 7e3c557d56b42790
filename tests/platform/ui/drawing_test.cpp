// Memory surfaces: raster operations, fills, regions and the focus frame,
// read back pixel by pixel.
#include <gtest/gtest.h>

#include "platform/ui/drawing.h"
#include "platform/ui/ui_host.h"
#include "platform/ui/ui_resources.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;

class Drawing : public testing_support::UiFixture {
 protected:
  // A memory context on a new `width` x `height` bitmap filled with `color`.
  HDC Surface(int width, int height, COLORREF color) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    bitmaps_.push_back(bitmap);
    SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(color);
    const Rect all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    dcs_.push_back(dc);
    return dc;
  }
  void TearDown() override {
    for (HDC dc : dcs_)
      DeleteDC(dc);
    for (HBITMAP bitmap : bitmaps_)
      DeleteObject(bitmap);
    for (int kind = 0; kind < kUiHandleKinds; ++kind)
      EXPECT_EQ(UiHandleCount(UiHandleKind(kind)), 0u) << kind;
    testing_support::UiFixture::TearDown();
  }
  std::vector<HDC> dcs_;
  std::vector<HBITMAP> bitmaps_;
};

// Each raster operation on one pixel: pattern P (the brush), source S and
// destination D; the results are the operations' boolean formulas worked
// by hand on the three colours.
TEST_F(Drawing, RasterOperationsPerPixel) {
  constexpr COLORREF kS = 0x00F0CC0F, kD = 0x003C5AAA, kP = 0x0000FF00;
  struct Case {
    DWORD rop;
    COLORREF result;
  } const cases[] = {
      {kSrcCopy, kS},                       // S
      {kSrcInvert, kS ^ kD},                // S xor D
      {kSrcAnd, kS & kD},                   // S and D
      {kPatCopy, kP},                       // P
      {0x00BB0226, (~kS & 0xFFFFFF) | kD},  // (not S) or D
  };
  HDC source = Surface(2, 1, kS);
  for (const Case& c : cases) {
    HDC dest = Surface(3, 2, kD);
    HBRUSH brush = CreateSolidBrush(PaletteRgb(0x00, 0xFF, 0x00));
    HGDIOBJ stock = SelectObject(dest, brush);
    ASSERT_EQ(BitBlt(dest, 1, 1, 5, 5, source, 0, 0, c.rop), 1);
    SelectObject(dest, stock);
    DeleteObject(brush);
    EXPECT_EQ(GetPixel(dest, 1, 1), c.result) << std::hex << c.rop;
    EXPECT_EQ(GetPixel(dest, 2, 1), c.result) << std::hex << c.rop;
    EXPECT_EQ(GetPixel(dest, 0, 0), kD);  // outside the copy
    EXPECT_EQ(GetPixel(dest, 3, 1), kClrInvalid);
  }
  // Inverting twice restores.
  HDC dest = Surface(2, 1, kD);
  BitBlt(dest, 0, 0, 2, 1, source, 0, 0, kSrcInvert);
  BitBlt(dest, 0, 0, 2, 1, source, 0, 0, kSrcInvert);
  EXPECT_EQ(GetPixel(dest, 1, 0), kD);
}

// A surface fill stops at other colours and never crosses diagonals; a
// border fill stops at the border colour; a seed outside or of another
// colour draws nothing.
TEST_F(Drawing, FloodFillsStopAtOtherColours) {
  constexpr COLORREF kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00;
  HDC dc = Surface(5, 5, kWhite);
  HBRUSH red = CreateSolidBrush(kRed);
  const Rect wall{2, 0, 3, 5};
  FillRect(dc, &wall, red);
  const Rect dot{0, 0, 1, 1};
  FillRect(dc, &dot, red);
  HBRUSH green = CreateSolidBrush(kGreen);
  HGDIOBJ stock = SelectObject(dc, green);
  EXPECT_EQ(ExtFloodFill(dc, -1, 2, kWhite, kFloodFillSurface), 0);
  EXPECT_EQ(ExtFloodFill(dc, 5, 2, kWhite, kFloodFillSurface), 0);
  EXPECT_EQ(ExtFloodFill(dc, 2, 2, kWhite, kFloodFillSurface), 0);
  EXPECT_EQ(GetPixel(dc, 1, 1), kWhite);
  ASSERT_EQ(ExtFloodFill(dc, 1, 4, kWhite, kFloodFillSurface), 1);
  const COLORREF expected[5][5] = {{kRed, kGreen, kRed, kWhite, kWhite},
                                   {kGreen, kGreen, kRed, kWhite, kWhite},
                                   {kGreen, kGreen, kRed, kWhite, kWhite},
                                   {kGreen, kGreen, kRed, kWhite, kWhite},
                                   {kGreen, kGreen, kRed, kWhite, kWhite}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(GetPixel(dc, x, y), expected[y][x]) << x << "," << y;
  ASSERT_EQ(ExtFloodFill(dc, 4, 4, kRed, kFloodFillBorder), 1);
  EXPECT_EQ(GetPixel(dc, 3, 0), kGreen);
  EXPECT_EQ(GetPixel(dc, 1, 0), kGreen);
  // A large fill runs without recursion.
  HDC big = Surface(2000, 2000, kWhite);
  SelectObject(big, green);
  EXPECT_EQ(ExtFloodFill(big, 1000, 1000, kWhite, kFloodFillSurface), 1);
  EXPECT_EQ(GetPixel(big, 0, 1999), kGreen);
  SelectObject(big, stock);
  SelectObject(dc, stock);
  DeleteObject(red);
  DeleteObject(green);
}

// A polygon's edge points: the left and top edges belong to it, the right
// and bottom not; winding and alternate differ on a twice-wound area.
TEST_F(Drawing, PolygonRegionsPinTheirEdges) {
  const Point square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  HRGN region = CreatePolygonRgn(square, 4, kWinding);
  struct Case {
    int x, y;
    BOOL in;
  } const cases[] = {{10, 10, 1}, {19, 19, 1}, {20, 15, 0}, {15, 20, 0},
                     {9, 15, 0},  {15, 9, 0},  {10, 19, 1}, {19, 10, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(PtInRegion(region, c.x, c.y), c.in) << c.x << "," << c.y;
  // The middle tray's upper edge lies at y = 128.30 at x = 108.
  const Point middle[] = {{106, 129}, {152, 113}, {153, 118}, {105, 135}};
  HRGN tray = CreatePolygonRgn(middle, 4, kWinding);
  EXPECT_EQ(PtInRegion(tray, 108, 128), 0);
  EXPECT_EQ(PtInRegion(tray, 108, 129), 1);
  EXPECT_EQ(PtInRegion(tray, 120, 128), 1);
  // Two turns around one square.
  const Point twice[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}, {4, 0}, {4, 4}, {0, 4}};
  HRGN winding = CreatePolygonRgn(twice, 8, kWinding);
  HRGN alternate = CreatePolygonRgn(twice, 8, kAlternate);
  EXPECT_EQ(PtInRegion(winding, 2, 2), 1);
  EXPECT_EQ(PtInRegion(alternate, 2, 2), 0);
  EXPECT_EQ(CreatePolygonRgn(square, 2, kWinding), nullptr);
  EXPECT_EQ(PtInRegion(nullptr, 1, 1), 0);
  for (HRGN r : {region, tray, winding, alternate})
    EXPECT_EQ(DeleteObject(r), 1);
}

TEST_F(Drawing, FocusFrameInvertsEveryOtherPixelAndTwiceRestores) {
  HDC dc = Surface(4, 3, 0x000000);
  const Rect frame{0, 0, 4, 3};
  ASSERT_EQ(DrawFocusRect(dc, &frame), 1);
  const COLORREF kOn = 0xFFFFFF;
  const COLORREF expected[3][4] = {{kOn, 0, kOn, 0}, {0, 0, 0, kOn}, {kOn, 0, kOn, 0}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(GetPixel(dc, x, y), expected[y][x]) << x << "," << y;
  DrawFocusRect(dc, &frame);
  EXPECT_EQ(GetPixel(dc, 0, 0), 0u);
}

}  // namespace
