// Fuzz target of the TrueType reader: the input is a font file. Whatever it
// holds, opening it, checking its tables, preloading, mapping characters in
// every character set with and without vertical forms, walking and
// converting glyphs, and reading metrics must end without a crash, a hang
// or an error reaching the process-wide handler (the default one is in
// force); the reader, saved with what it cached, must come back equal.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fonts/load.h"
#include "fonts/tt_file_reader.h"
#include "output/core/byte_buffer.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

testing_support::TempPath* g_path = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FontsLoad();
  static testing_support::TempPath path("ttfuzz");
  g_path = &path;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing_support::WriteAll(g_path->str(), std::string(reinterpret_cast<const char*>(data), size));
  GTTFileReader reader(1);
  if (!reader.OpenHost(g_path->c_str())) return 0;
  reader.CheckRequiredTables(0);
  reader.PreloadTables(0, size % 2 ? 17 : 0);
  std::uint16_t glyphs = 0;
  reader.GetNumGlyphs(0, glyphs);
  std::int16_t value = 0;
  reader.GetTypoDescender(0, value);
  std::int16_t box[4];
  reader.GetFontBoundingBox(0, box);
  for (std::uint32_t selector : {1u, 3u, 16u, 17u, 18u, 20u, 22u, 23u}) {
    for (std::uint32_t code : {0x00u, 0x20u, 0x41u, 0xA5u, 0xFFu, 0x8140u, 0xF041u, 0xFFFFu})
      reader.MapCharToGlyph(0, code & 1, code, selector);
  }
  const GFontDescriptionRecord record;
  const std::uint16_t walked = glyphs < 48 ? glyphs : 48;
  for (std::uint16_t g = 0; g <= walked; ++g) {
    reader.WalkGlyph(0, g, g, 1, 16, record, 0);
    std::uint16_t advance = 0;
    std::int16_t bearing = 0;
    reader.GetHorizontalMetrics(0, g, advance, bearing);
    reader.GetVerticalMetrics(0, g, advance, bearing);
    GByteBuffer* out = nullptr;
    std::uint32_t length = reader.GetGlyphData(0, 0, g, out);
    std::unique_ptr<GByteBuffer> glyph(out);
    if (glyph && glyph->GetSize() != length) std::abort();
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; glyph && i < glyph->GetSize(); ++i)
      sum += glyph->GetData()[i];
    (void)sum;
  }
  bool ok = false;
  std::unique_ptr<RWCollectable> back(
      testing_support::RestoreFromFileBytes(testing_support::SaveToFileBytes(&reader), &ok));
  auto* restored = dynamic_cast<GTTFileReader*>(back.get());
  if (!ok || !restored || !restored->IsEqualContent(&reader)) std::abort();
  return 0;
}
