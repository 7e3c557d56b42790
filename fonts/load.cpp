#include "fonts/load.h"

#include "fonts/glyph_cache.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_pool.h"
#include "fonts/tt_table_cache.h"
#include "output/core/load.h"

namespace {

// Each source file's registration list, in building order. The font reader
// itself is not registered: only its concrete class is.
constexpr RWSubsystemClasses::List kFontsLists[] = {
    &TTTableCacheClasses,
    &GlyphCacheClasses,
    &TTFileReaderClasses,
    &TTFontPoolClasses,
};

constinit RWSubsystemClasses g_classes(kFontsLists);

}  // namespace

void FontsLoad() {
  OutputCoreLoad();
  g_classes.Load();
}

void FontsUnload() {
  g_classes.Unload();
  OutputCoreUnload();
}
