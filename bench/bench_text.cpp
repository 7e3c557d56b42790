// The generators' books beside their plain peers: each generator's code
// map mapping a text of 10,000 codes (drawn from 2,000 characters above
// 256, the map filled by a first pass) beside a std::unordered_map<
// std::uint16_t, std::uint16_t> that finds or numbers each code alike; and
// the cache search over 1,000 cached fonts (the request matching the last)
// beside std::find_if over a std::vector of the same identities with the
// same tests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "fonts/font.h"
#include "lang/font_books/char_code_maps.h"
#include "lang/font_books/zdl5e_books.h"

namespace {

constexpr int kTextLength = 10000;
constexpr int kFonts = 1000;

std::vector<std::uint16_t> Text() {
  std::mt19937 rng(41);
  std::vector<std::uint16_t> alphabet(2000);
  for (std::uint16_t& code : alphabet)
    code = static_cast<std::uint16_t>(0x4E00 + rng() % 0x5000);
  std::vector<std::uint16_t> text(kTextLength);
  for (std::uint16_t& code : text)
    code = alphabet[rng() % alphabet.size()];
  return text;
}

template <class Map>
void BM_CodeMap(benchmark::State& state) {
  const std::vector<std::uint16_t> text = Text();
  Map map;
  for (std::uint16_t code : text)
    map.Map(code);
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (std::uint16_t code : text)
      sum += map.Map(code);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTextLength);
}
BENCHMARK_TEMPLATE(BM_CodeMap, GVexalonCharCodeMap);
BENCHMARK_TEMPLATE(BM_CodeMap, GPostScriptCharCodeMap);
BENCHMARK_TEMPLATE(BM_CodeMap, GZdl5eCharCodeMap);

void BM_CodeMapPeer(benchmark::State& state) {
  const std::vector<std::uint16_t> text = Text();
  std::unordered_map<std::uint16_t, std::uint16_t> map;
  std::uint16_t next = 256;
  auto lookup = [&](std::uint16_t code) {
    auto [at, added] = map.try_emplace(code, next);
    if (added) ++next;
    return at->second;
  };
  for (std::uint16_t code : text)
    lookup(code);
  for (auto _ : state) {
    std::uint32_t sum = 0;
    for (std::uint16_t code : text)
      sum += lookup(code);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTextLength);
}
BENCHMARK(BM_CodeMapPeer);

GFontDescriptionRecord Record(int i) {
  GFontDescriptionRecord record;
  record.face_name = ("Face " + std::to_string(i)).c_str();
  record.longs1[0] = 7;
  record.style = 1;
  record.selector = 16;
  record.height = 12;
  record.x_scale = record.y_scale = 1.0f;
  return record;
}

// Kind 1: a request for a downloaded bitmap font (state 2).
struct BitmapImp : GFontImp {
  using GFontImp::GFontImp;
  std::uint32_t GetFontKind() const override { return 1; }
};

void BM_CacheFind(benchmark::State& state) {
  GZdl5eFontCache cache;
  for (int i = 0; i < kFonts; ++i) {
    GZdl5eFontList* list = GZdl5eFontList::New(nullptr);
    list->SetState(kFontBitmap);
    cache.Add(Record(i), GFontAngleBlock(), list);
  }
  GFont font(new BitmapImp(0, Record(kFonts - 1), GFontAngleBlock()), nullptr);
  for (auto _ : state)
    benchmark::DoNotOptimize(cache.Find(font));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheFind);

void BM_CacheFindPeer(benchmark::State& state) {
  struct Cached {
    GFontDescriptionRecord record;
    GFontAngleBlock block;
    std::uint32_t state;
  };
  std::vector<Cached> cached;
  for (int i = 0; i < kFonts; ++i)
    cached.push_back({Record(i), GFontAngleBlock(), kFontBitmap});
  const GFontDescriptionRecord want = Record(kFonts - 1);
  const GFontAngleBlock block;
  for (auto _ : state) {
    auto found = std::find_if(cached.begin(), cached.end(), [&](const Cached& c) {
      return c.record.face_name == want.face_name && c.record.longs1[0] == want.longs1[0] &&
             c.record.style == want.style && c.record.selector == want.selector &&
             c.state == kFontBitmap && c.record.height == want.height &&
             c.block.longs[0] == block.longs[0] && c.block.word == block.word &&
             c.record.long3 == want.long3 &&
             c.block.angle2.GetDegrees() == block.angle2.GetDegrees() &&
             c.record.x_scale == want.x_scale && c.record.y_scale == want.y_scale;
    });
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CacheFindPeer);

}  // namespace
