// The tray picture's full highlight: the picture copied onto a 180 x 185
// button surface, the tray-1 area flood-filled on a scratch copy, the mask
// of the changed pixels built and the three raster operations that lay it
// over; beside one std::fill of the same 33,300 pixels, the least any
// repaint of that surface costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/ui_plugin_records.h"
#include "persist/counted_ptr.h"
#include "platform/host/modules.h"
#include "platform/ui/drawing.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_resources.h"
#include "resources/resource_library.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/tray_picture.h"

namespace {

using namespace platform;

constexpr int kWidth = 180;
constexpr int kHeight = 185;
constexpr char16_t kLibrary[] = u"BENCHPIC.DLL";

void BM_PictureHighlight(benchmark::State& state) {
  AddModule({kLibrary, {}, {}});
  AddModuleResources(kLibrary, resources::ResourceLibrary());
  LoadResourceLibrary(RWWString(kLibrary));
  GCountedPtr settings(new GAttributeComposite(0));
  static_cast<GAttributeComposite*>(settings.Get())
      ->AddChild(new GValueAttribute(1, kPaperSourceKey));
  GUIData host;
  host.settings = static_cast<GAttributeComposite*>(settings.Get());
  GUIContext context(&host);
  const GControlEntry table[] = {{2021, 210}, {0, 0}};
  GPrinterPictureWrapper wrapper(new GTrayPicturePart(&context), table, 1);
  static_cast<GTrayPicturePart*>(wrapper.GetFeature())->SetOrigin(5, 5);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP surface = CreateCompatibleBitmap(dc, kWidth, kHeight);
  HGDIOBJ stock = SelectObject(dc, surface);
  DrawItemStruct record;
  record.control_id = 2021;
  record.dc = dc;
  record.item_rect = Rect{0, 0, kWidth, kHeight};
  for (auto _ : state)
    wrapper.HandleMessage(kWmDrawItem, 2021, reinterpret_cast<LPARAM>(&record));
  benchmark::DoNotOptimize(GetPixel(dc, 113, 133));
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  SelectObject(dc, stock);
  DeleteObject(surface);
  DeleteDC(dc);
}
BENCHMARK(BM_PictureHighlight);

void BM_FillSamePixels(benchmark::State& state) {
  std::vector<std::uint32_t> pixels(std::size_t(kWidth) * kHeight);
  std::uint32_t colour = 0;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), ++colour);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_FillSamePixels);

}  // namespace
