// Fuzz target of the font pool's font-file handle over a font file (the
// input); the corpus replay test compiles it in. A reader on the file enters
// the pool through a handle that marks it for an owner. Each glyph the handle
// collects is cached as the file holds it (read through a reader of its
// own), and a converted glyph is its data, cached for the second call; the
// owner's save writes that one reader, a second save none; with the reader
// gone, the pool's restore of the save brings back an equal reader that a
// restored handle finds, serving the collected glyphs. No crash, hang, leak
// or error reaching the default handler.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "fonts/load.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/file.h"
#include "output/core/byte_buffer.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

constexpr std::uint32_t kKey = 0x5A17;
testing_support::TempPath* g_font = nullptr;
testing_support::TempPath* g_saved = nullptr;

void Check(bool holds) {
  if (!holds) std::abort();
}

// The bytes of a buffer handed out, which is deleted; "" for none.
std::string Take(GByteBuffer* buffer) {
  std::unique_ptr<GByteBuffer> owned(buffer);
  return owned && owned->GetData()
             ? std::string(reinterpret_cast<const char*>(owned->GetData()), owned->GetSize())
             : std::string();
}

std::string Cached(GTTFontFile& handle, std::uint16_t glyph) {
  GByteBuffer* out = nullptr;
  Check(handle.FindCachedGlyph(glyph, out) == 1);
  return Take(out);
}

std::string SavePool(std::uint32_t owner) {
  {
    RWFile file(g_saved->c_str(), "wb");
    Check(GTTFontPool::Instance()->SaveToFile(file, owner) == 1);
  }
  return testing_support::ReadAll(g_saved->str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FontsLoad();
  GTTFontPool::CreateInstance();
  static testing_support::TempPath font("poolfuzz"), saved("poolsave");
  g_font = &font;
  g_saved = &saved;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GTTFontPool* pool = GTTFontPool::Instance();
  testing_support::WriteAll(g_font->str(), std::string(reinterpret_cast<const char*>(data), size));
  GTTFileReader file(0);
  auto* reader = new GTTFileReader(kKey);
  if (!file.OpenHost(g_font->c_str()) || !reader->OpenHost(g_font->c_str())) {
    delete reader;
    return 0;
  }
  const std::uint32_t owner = 1 + size % 7;
  std::unique_ptr<GTTFontFile> handle(pool->MakeFontFile(reader));
  handle->AddKey(owner);
  std::uint16_t glyphs = 0;
  handle->GetNumGlyphs(0, glyphs);
  const GFontDescriptionRecord record;
  std::map<std::uint16_t, std::string> collected;
  for (std::uint16_t g = 0; g <= glyphs && g < 32; ++g) {
    GByteBuffer* out = nullptr;
    const std::uint32_t length = file.GetGlyphData(0, 0, g, out);
    const bool readable = out != nullptr;
    const std::string bytes = Take(out);
    Check(!readable || bytes.size() == length);
    if (handle->CollectGlyphs(0, g, g, g % 2, 16, record, 0) == 1) {
      Check(readable);
      if (length) {  // a space lends no block
        collected[g] = bytes;
        Check(Cached(*handle, g) == bytes);
      }
    }
    if (handle->GetConvertedGlyph(0, 1, g, g, out, 0, 16, record) == 0) {
      Check(!out);
      continue;
    }
    Check(readable && Take(out) == bytes);
    const std::uint32_t again = handle->GetConvertedGlyph(0, 1, g, g, out, 0, 16, record);
    Check((bytes.empty() || again == bytes.size()) && Take(out) == bytes);
  }

  // Count 1, then the key; the save unmarks the reader.
  const std::string saved = SavePool(owner);
  Check(saved.size() > 8 && saved.compare(0, 8, std::string("\1\0\0\0\x17\x5A\0\0", 8)) == 0);
  Check(SavePool(owner) == std::string(4, '\0'));
  const std::string handle_bytes = testing_support::SaveToFileBytes(handle.get());
  std::unique_ptr<RWCollectable> expected(
      testing_support::RestoreFromFileBytes(testing_support::SaveToFileBytes(reader)));
  handle.reset();
  Check(expected && pool->ReleaseKey(kKey) == 1 && !pool->Contains(kKey));
  testing_support::WriteAll(g_saved->str(), saved);
  {
    RWFile file_in(g_saved->c_str(), "rb");
    Check(pool->RestoreFromFile(file_in) == 1);
  }
  std::unique_ptr<RWCollectable> back(testing_support::RestoreFromFileBytes(handle_bytes));
  auto* restored = dynamic_cast<GTTFontFile*>(back.get());
  Check(restored && restored->Reader() &&
        restored->Reader()->IsEqualContent(static_cast<GTTFontReader*>(expected.get())));
  for (const auto& [glyph, bytes] : collected)
    Check(Cached(*restored, glyph) == bytes);
  back.reset();
  pool->ReleaseAll();
  Check(pool->Count() == 0);
  return 0;
}
