// Fuzz target of the font database's file reader: the input is a database
// file. Whatever it holds, loading it into a database over the process's
// font pool, using the font implementations it restored (a glyph bitmap
// and a code table each), saving the database again and releasing
// everything must end without a crash, a hang, a leak of what the load
// kept, or an error reaching the process-wide handler (the default one is
// in force). A load that fails leaves no current path.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fonts/font.h"
#include "fonts/font_database.h"
#include "fonts/load.h"
#include "fonts/tt_font_pool.h"
#include "output/core/byte_buffer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/test_support.h"

namespace {

testing_support::TempPath* g_path = nullptr;
testing_support::TempPath* g_saved = nullptr;

class Owner : public GRenderDriverData {
 public:
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  std::uint32_t GetOwnerId() override { return 7; }
};

RWWString Wide(const std::string& path) {
  return RWWString::FromMultiByte(RWCString(path.c_str()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FontsLoad();
  tt_testing::RegisterTestFontObject();
  GTTFontPool::CreateInstance();
  static testing_support::TempPath path("dbfuzz");
  static testing_support::TempPath saved("dbfuzz-saved");
  g_path = &path;
  g_saved = &saved;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing_support::WriteAll(g_path->str(), std::string(reinterpret_cast<const char*>(data), size));
  Owner owner;
  {
    GJobFontDatabase database(&owner);
    int loaded = database.LoadFromPath(Wide(g_path->str()));
    if (!loaded && database.CurrentPath().Length() != 0) std::abort();
    for (std::uint32_t key = 0; key < 16; ++key) {
      if (GFontDatabaseEntry* entry = database.Acquire(key, 0)) {
        entry->SetSaveMark(1);
        entry->SetUseCount(static_cast<std::int16_t>(entry->UseCount() - 1));
        if (auto* font = dynamic_cast<GFontImp*>(entry)) {
          GGlyphMetrics metrics;
          GByteBuffer* bitmap = nullptr;
          font->GetGlyphBitmap('A', font->GetSelector(), metrics, bitmap);
          delete bitmap;
          GCharTable table(96);
          font->GetCodeRangeTable(0x20, 0x7F, table);
        }
      }
    }
    database.SaveToPath(Wide(g_saved->str()));
  }
  GTTFontPool::Instance()->ReleaseAll();
  return 0;
}
