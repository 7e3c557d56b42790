// Graphics, job commands, drawing attributes and paints reach a device by
// double dispatch: each calls the one handler of its kind with itself and
// answers the handler's result unchanged; the null, no-op and error
// commands reach none; the device base answers 0 to all of them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "output/attributes/brush.h"
#include "output/attributes/cap_joint.h"
#include "output/attributes/clip.h"
#include "output/attributes/dashed_pen.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/raster_operation.h"
#include "output/attributes/transform.h"
#include "output/color/paint.h"
#include "output/commands/download_header_command.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "output/graphics/path_graphic.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"

namespace {

// Records "handler" and the address it was given; answers 0xBEEF.
class DrawingDevice : public GPeripheral {
 public:
  std::vector<std::string> calls;
  const void* last = nullptr;

  std::uint16_t BeginBezier(GPolyBezierGraphic& g) override { return Record("bezier", &g); }
  std::uint16_t DrawPolygon(GPolygonGraphic& g) override { return Record("polygon", &g); }
  std::uint16_t DrawRectangle(GRectangleGraphic& g) override { return Record("rectangle", &g); }
  std::uint16_t DrawBitmap(GRasterGraphic& g) override { return Record("bitmap", &g); }
  std::uint16_t SetClipToRectangle(GClipToRectangle& c) override { return Record("clips", &c); }
  std::uint16_t SetClipToSingleRectangle(GClipToSingleRectangle& c) override {
    return Record("clip", &c);
  }
  std::uint16_t SetPen(GPen& p) override { return Record("pen", &p); }
  std::uint16_t SetDashedPen(GDashedPen& p) override { return Record("dashed", &p); }
  std::uint16_t SetFillMode(GFillMode& m) override { return Record("fill", &m); }
  std::uint16_t SetRasterOperation(GRasterOperation& r) override { return Record("rop", &r); }
  std::uint16_t SetBrush(GBrush& b) override { return Record("brush", &b); }
  std::uint16_t SetTransform(GTransformAttribute& t) override { return Record("transform", &t); }
  std::uint16_t SetClipToPage(GClipToPage& c) override { return Record("page clip", &c); }
  std::uint16_t DocumentStart(GDocumentStart& c) override { return Record("document start", &c); }
  std::uint16_t DocumentEnd(GDocumentEnd& c) override { return Record("document end", &c); }
  std::uint16_t PageStart(GPageStart& c) override { return Record("page start", &c); }
  std::uint16_t PageEnd(GPageEnd& c) override { return Record("page end", &c); }
  std::uint16_t JobAbort(GJobAbort& c) override { return Record("job abort", &c); }
  std::uint16_t PassThrough(GPassThroughCommand& c) override { return Record("pass", &c); }
  std::uint16_t SetPenColor(GColorPaint& p) override { return Record("pen colour", &p); }
  std::uint16_t SetBrushColor(GColorPaint& p) override { return Record("brush colour", &p); }
  std::uint16_t DrawPath(GPathGraphic& g) override { return Record("path", &g); }
  std::uint16_t DrawGraphicComposite(GGraphicComposite& g) override {
    return Record("graphics", &g);
  }
  std::uint16_t DownloadHeader(GDownloadHeaderCommand& c) override { return Record("header", &c); }
  std::uint16_t SetCap(GCap& c) override { return Record("cap", &c); }
  std::uint16_t SetJoint(GJoint& j) override { return Record("joint", &j); }
  std::uint16_t SetClipToPath(GClipToPath& c) override { return Record("path clip", &c); }

 private:
  std::uint16_t Record(const char* handler, const void* given) {
    calls.push_back(handler);
    last = given;
    return 0xBEEF;
  }
};

using Calls = std::vector<std::string>;

TEST(Dispatch, EachKindCallsItsHandlerWithItself) {
  auto paint = std::make_shared<GColorPaint>(new GRGBColor(1, 2, 3, 255));
  struct Case {
    const char* name;
    std::shared_ptr<void> object;  // keeps it alive
    std::function<std::uint16_t(GPeripheral&)> run;
    const void* address;
    Calls calls;
    std::uint16_t result;
  };
  std::vector<Case> cases;
  auto command = [&](const char* name, std::shared_ptr<GCommand> c, Calls calls) {
    cases.push_back({name, c, [c](GPeripheral& d) { return c->Execute(d); }, c.get(), calls,
                     std::uint16_t(calls.empty() ? 0 : 0xBEEF)});
  };
  auto attribute = [&](const char* name, std::shared_ptr<GAttribute> a, const char* call) {
    cases.push_back(
        {name, a, [a](GPeripheral& d) { return a->Execute(d); }, a.get(), {call}, 0xBEEF});
  };
  command("rectangle", std::make_shared<GRectangleGraphic>(GShortRect{1, 2, 3, 4}, nullptr, 0),
          {"rectangle"});
  command("polygon", std::make_shared<GPolygonGraphic>(), {"polygon"});
  command("bezier", std::make_shared<GPolyBezierGraphic>(), {"bezier"});
  command("raster", std::make_shared<GRasterGraphic>(), {"bitmap"});
  command("null command", std::make_shared<GNullCommand>(), {});
  command("document start", std::make_shared<GDocumentStart>(), {"document start"});
  command("document end", std::make_shared<GDocumentEnd>(), {"document end"});
  command("page start", std::make_shared<GPageStart>(), {"page start"});
  command("page end", std::make_shared<GPageEnd>(), {"page end"});
  command("job abort", std::make_shared<GJobAbort>(), {"job abort"});
  command("pass-through", std::make_shared<GPassThroughCommand>(), {"pass"});
  command("no-op", std::make_shared<GNoCommand>(), {});
  // A path or graphic composite reaches its own handler whole, its
  // elements untouched; a miter joint is a joint.
  auto path = std::make_shared<GPathGraphic>();
  path->AddChild(new GRectangleGraphic(GShortRect{1, 2, 3, 4}, nullptr, 0));
  command("path", path, {"path"});
  command("graphic composite", std::make_shared<GGraphicComposite>(), {"graphics"});
  command("download header", std::make_shared<GDownloadHeaderCommand>(), {"header"});
  attribute("clip to a path", std::make_shared<GClipToPath>(), "path clip");
  attribute("cap", std::make_shared<GCap>(1, 0), "cap");
  attribute("joint", std::make_shared<GJoint>(), "joint");
  attribute("miter joint", std::make_shared<GMiterJoint>(0, 4.0f, 0), "joint");
  command("error", std::make_shared<GErrorCommand>(2, nullptr, 0), {});
  attribute("rectangle list", std::make_shared<GClipToRectangle>(), "clips");
  attribute("single rectangle", std::make_shared<GClipToSingleRectangle>(), "clip");
  attribute("pen", std::make_shared<GPen>(1, nullptr, 160), "pen");
  attribute("dashed pen", std::make_shared<GDashedPen>(), "dashed");
  attribute("fill mode", std::make_shared<GFillMode>(0, 0), "fill");
  attribute("raster operation", std::make_shared<GRasterOperation>(0xF0, 0, 0), "rop");
  attribute("brush", std::make_shared<GBrush>(nullptr, 154), "brush");
  attribute("no brush", std::make_shared<GNoBrush>(), "brush");
  attribute("no pen", std::make_shared<GNoPen>(), "pen");
  attribute("page clip", std::make_shared<GClipToPage>(), "page clip");
  attribute("transform", std::make_shared<GTransformAttribute>(), "transform");
  cases.push_back({"paint on a pen",
                   paint,
                   [paint](GPeripheral& d) { return paint->ApplyToPen(d); },
                   paint.get(),
                   {"pen colour"},
                   0xBEEF});
  cases.push_back({"paint on a brush",
                   paint,
                   [paint](GPeripheral& d) { return paint->ApplyToBrush(d); },
                   paint.get(),
                   {"brush colour"},
                   0xBEEF});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DrawingDevice device;
    EXPECT_EQ(c.run(device), c.result);
    EXPECT_EQ(device.calls, c.calls);
    if (!c.calls.empty()) {
      EXPECT_EQ(device.last, c.address);
    }
    GPeripheral base;
    EXPECT_EQ(c.run(base), 0);
  }
}

// A graphic's attribute set executed on a device reaches the drawing
// attributes it holds, in order.
TEST(Dispatch, AnAttributeSetReachesItsDrawingAttributes) {
  GAttributeComposite bundle(244);
  bundle.AddChild(new GClipToSingleRectangle(GShortRect{0, 0, 10, 10}, 0, 1, kClipKey));
  bundle.AddChild(new GFillMode(1, 0));
  bundle.AddChild(new GRasterOperation(0xCC, 0, kRasterOperationKey));
  bundle.AddChild(new GPen(2, new GColorPaint(new GRGBColor(0, 0, 0, 255)), kPenKey));
  DrawingDevice device;
  EXPECT_EQ(bundle.Execute(device), 0xBEEF);
  EXPECT_EQ(device.calls, (Calls{"clip", "fill", "rop", "pen"}));
}

}  // namespace
