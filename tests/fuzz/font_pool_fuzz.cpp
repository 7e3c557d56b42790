// Fuzz target of the font pool's font-file handle: the input is a font file.
// A reader on it enters the pool through a handle that marks it for an
// owner; then, whatever the file holds:
//   - each glyph the handle collects is cached as the file holds it (read
//     again through a reader of its own; an empty glyph has no block to
//     lend), and a converted glyph is the glyph's data, served the second
//     time from the cache;
//   - the owner's save of the pool writes that one reader under its key,
//     and a second save writes none;
//   - with the reader gone from the pool, the pool's restore of that save
//     brings back a reader equal to the one saved, which a restored handle
//     finds, and which serves every collected glyph as before.
// Nothing may crash, hang, leak or reach the process-wide error handler
// (the default one is in force).
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
constexpr std::uint16_t kGlyphsWalked = 32;

testing_support::TempPath* g_font = nullptr;
testing_support::TempPath* g_saved = nullptr;

void Check(bool holds) {
  if (!holds) std::abort();
}

// The bytes of a buffer handed out (deleted here); "" for none.
std::string Take(GByteBuffer* buffer) {
  std::unique_ptr<GByteBuffer> owned(buffer);
  return owned && owned->GetData()
             ? std::string(reinterpret_cast<const char*>(owned->GetData()), owned->GetSize())
             : std::string();
}

// The glyph as its file holds it: read through a reader of its own, or
// false when it cannot be read.
bool FileGlyph(GTTFileReader& file, std::uint16_t glyph, std::string& bytes) {
  GByteBuffer* out = nullptr;
  const std::uint32_t length = file.GetGlyphData(0, 0, glyph, out);
  bytes = Take(out);
  return out && bytes.size() == length;
}

std::string CachedGlyph(GTTFontFile& handle, std::uint16_t glyph) {
  GByteBuffer* out = nullptr;
  Check(handle.FindCachedGlyph(glyph, out) == 1);
  return Take(out);
}

std::string SavePool(GTTFontPool& pool, std::uint32_t owner) {
  {
    RWFile file(g_saved->c_str(), "wb");
    Check(pool.SaveToFile(file, owner) == 1);
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
  Check(reader->UseCount() == 2 && pool->Contains(kKey));

  std::uint16_t glyphs = 0;
  handle->GetNumGlyphs(0, glyphs);
  const GFontDescriptionRecord record;
  std::map<std::uint16_t, std::string> collected;
  for (std::uint16_t g = 0; g <= glyphs && g < kGlyphsWalked; ++g) {
    std::string bytes;
    const bool readable = FileGlyph(file, g, bytes);
    if (handle->CollectGlyphs(0, g, g, g % 2, 16, record, 0) == 1) {
      Check(readable);
      // An empty glyph (a space) leaves no block to lend.
      if (!bytes.empty()) {
        Check(CachedGlyph(*handle, g) == bytes);
        collected[g] = bytes;
      }
    }
    GByteBuffer* out = nullptr;
    if (handle->GetConvertedGlyph(0, 1, g, g, out, 0, 16, record) != 0) {
      Check(readable && Take(out) == bytes);
      const std::uint32_t again = handle->GetConvertedGlyph(0, 1, g, g, out, 0, 16, record);
      Check((bytes.empty() || again == bytes.size()) && Take(out) == bytes);
    } else {
      Check(!out);
    }
  }

  // The save writes the marked reader once: count 1, then its key.
  const std::string saved = SavePool(*pool, owner);
  Check(saved.size() > 8 && saved.compare(0, 8, std::string("\1\0\0\0\x17\x5A\0\0", 8)) == 0);
  Check(SavePool(*pool, owner) == std::string(4, '\0'));
  const std::string handle_bytes = testing_support::SaveToFileBytes(handle.get());
  std::unique_ptr<RWCollectable> expected(
      testing_support::RestoreFromFileBytes(testing_support::SaveToFileBytes(reader)));
  Check(expected != nullptr);
  handle.reset();
  Check(pool->ReleaseKey(kKey) == 1 && !pool->Contains(kKey));

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
    Check(CachedGlyph(*restored, glyph) == bytes);
  back.reset();
  pool->ReleaseAll();
  Check(pool->Count() == 0);
  return 0;
}
