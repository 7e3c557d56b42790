// Every class registered by the font handling's load, the layers below
// included, persists soundly; and the font classes are registered by id and
// by name.
#include <gtest/gtest.h>

#include <algorithm>

#include "fonts/font.h"
#include "fonts/glyph_cache.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "fonts/tt_table_cache.h"
#include "foundation/rw/factory.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id :
       {kGTTTableCacheId, kGGlyphCacheId, kGGlyphCacheNodeId, kGTTFontFileId, kGTTFileReaderId,
        kGFontId, kGFontImpId, kGFontAccessId, kGTextEscapementsId, kGTTFontImpId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end())
        << id;
  }
}

TEST(FontClasses, RegisteredByIdAndName) {
  struct Case {
    RWClassID id;
    const char* name;
  };
  const Case cases[] = {{kGTTTableCacheId, "GTTTableCache"},
                        {kGGlyphCacheId, "GGlyphCache"},
                        {kGGlyphCacheNodeId, "GGlyphCacheNode"},
                        {kGTTFontFileId, "GTTFontFile"},
                        {kGTTFileReaderId, "GTTFileReader"},
                        {kGFontId, "GFont"},
                        {kGFontImpId, "GFontImp"},
                        {kGFontAccessId, "GFontAccess"},
                        {kGTextEscapementsId, "GTextEscapements"},
                        {kGTTFontImpId, "GTTFontImp"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
  }
  EXPECT_TRUE(IsUserClassId(kGTTFileReaderId) && IsUserClassId(kGTTFontImpId));
  // The reader itself has no class id of its own.
  EXPECT_EQ(StringIdToClassId(RWStringID("GTTFontReader")), kRWNoClassId);
}

}  // namespace
