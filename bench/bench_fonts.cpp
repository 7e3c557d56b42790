// Finding a printer font by face name, as the generators match text
// requests against a font list: GDeviceFontList::FindDescription (a linked
// list walked with a predicate) against std::find_if over a
// std::vector<GDeviceFontDescription> of the same 300 descriptions. The
// argument is where the face lies, per mille of the list; 1000 is a face the
// list does not hold.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "config/fonts/device_font_list.h"

namespace {

constexpr int kFonts = 300;

std::string FaceName(int i) {
  return "Face " + std::to_string(i) + (i % 2 ? " Bold" : "");
}

GDeviceFontDescription Description(int i) {
  GSymbolSetList codes;
  for (std::uint32_t code : {55u, 3u, 16u})
    codes.Append(code);
  return GDeviceFontDescription(FaceName(i).c_str(), "\x1B(s1p#HEIGHTv0s0b4099T", 16, codes, 400, 0,
                                0, 1, 1, 0, 0, 1);
}

struct Fonts {
  GDeviceFontList list{416};
  std::vector<GDeviceFontDescription> vector;
  Fonts() {
    for (int i = 0; i < kFonts; ++i) {
      list.AddDescription(Description(i));
      vector.push_back(Description(i));
    }
  }
};

Fonts& TheFonts() {
  static Fonts fonts;
  return fonts;
}

RWCString Sought(int per_mille) {
  int i = per_mille >= 1000 ? kFonts : (kFonts - 1) * per_mille / 999;
  return RWCString(FaceName(i).c_str());
}

void BM_FindDescription(benchmark::State& state) {
  GDeviceFontList& list = TheFonts().list;
  RWCString face = Sought(static_cast<int>(state.range(0)));
  auto named = [](const GDeviceFontDescription& d, void* name) {
    return d.GetFaceName() == *static_cast<RWCString*>(name) ? 1 : 0;
  };
  for (auto _ : state) {
    GDeviceFontDescription* found = nullptr;
    benchmark::DoNotOptimize(list.FindDescription(named, &face, found));
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_FindDescription)->Arg(0)->Arg(500)->Arg(999)->Arg(1000);

void BM_VectorFindIf(benchmark::State& state) {
  const std::vector<GDeviceFontDescription>& fonts = TheFonts().vector;
  RWCString face = Sought(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto it = std::find_if(fonts.begin(), fonts.end(), [&face](const GDeviceFontDescription& d) {
      return d.GetFaceName() == face;
    });
    benchmark::DoNotOptimize(it);
  }
}
BENCHMARK(BM_VectorFindIf)->Arg(0)->Arg(500)->Arg(999)->Arg(1000);

}  // namespace
