#include "fonts/load.h"

#include "fonts/font.h"
#include "fonts/glyph_cache.h"
#include "fonts/text_escapements.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "fonts/tt_table_cache.h"
#include "output/load.h"

namespace {

// Each source file's registration list, in building order. The font reader
// itself is not registered: only its concrete class is.
constexpr RWSubsystemClasses::List kFontsLists[] = {
    &TTTableCacheClasses, &GlyphCacheClasses,      &TTFileReaderClasses, &TTFontPoolClasses,
    &FontClasses,         &TextEscapementsClasses, &TTFontImpClasses,
};

constinit RWSubsystemClasses g_classes(kFontsLists);

}  // namespace

void FontsLoad() {
  OutputLoad();
  g_classes.Load();
}

void FontsUnload() {
  g_classes.Unload();
  OutputUnload();
}
