// The resource script: what it holds once read, bad scripts' errors with
// their lines, and the resources the build made from the two scripts.
#include "resources/script/resource_script.h"

#include <gtest/gtest.h>

#include "platform/host/modules.h"
#include "platform/ui/ui_resources.h"
#include "resources/resource_library.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;
using resources::ParseResourceScript;

TEST(ResourceScript, ReadsEveryKind) {
  const char* script =
      "# a comment\n"
      "string 7 \"Say \\\"hi\\\" \\\\n\\u00e9 # not a comment\"\n"
      "string 65535 \"caf\xc3\xa9\"\n"
      "cursor 3 16 8 15 7\n"
      "bitmap 4 2 2  # pixels follow\n"
      "  2*0A0B0C\n"
      "  ffffff 000001\n"
      "dialog 5 -1 2 30 40 \"Cap\" child 0x4\n"
      "  control Button -1 1 2 3 4 \"&OK\" autocheck hidden tabstop\n"
      "  control myClass 0xFFFF 0 0 0 0 \"\" 0x10\n"
      "end\n"
      "version 0x0C0A 0x04E4\n"
      "  value \"ProductName\" \"\u00e9\"\n"
      "end\n";
  ModuleResources out;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(script, &out, &error)) << error;
  ModuleResources expected;
  expected.strings = {{7, u"Say \"hi\" \\n\u00e9 # not a comment"}, {65535, u"caf\u00e9"}};
  expected.cursors = {{3, 16, 8, 15, 7}};
  expected.bitmaps = {{4, 2, 2, {0x0A0B0C, 0x0A0B0C, 0xFFFFFF, 0x000001}}};
  // A page has no caption or frame; controls are visible children unless
  // hidden.
  expected.dialogs = {
      {5,
       u"Cap",
       kWsChild | 0x4u,
       -1,
       2,
       30,
       40,
       {{-1, u"Button", kWsChild | kWsTabStop | kBsAutoCheckBox, u"&OK", 1, 2, 3, 4},
        {0xFFFF, u"myClass", kWsChild | kWsVisible | 0x10u, u"", 0, 0, 0, 0}}}};
  // The block: language and code page as four lower-case hex digits each.
  expected.version = {{{0x0C0A, 0x04E4}},
                      {{u"\\StringFileInfo\\0c0a04e4\\ProductName", u"\u00e9"}}};
  EXPECT_TRUE(out == expected);
}

TEST(ResourceScript, BadScriptsNameTheirLine) {
  const struct {
    const char* script;
    const char* error;
  } cases[] = {
      {"strings 1 \"x\"", "line 1: unknown statement \"strings\""},
      {"\n\nstring 1", "line 3: string takes an id and a text"},
      {"string 65536 \"x\"", "line 1: 65536 is out of range"},
      {"string 1 \"x\"\nstring 1 \"y\"", "line 2: id 1 is given twice"},
      {"string 1 x", "line 1: a quoted text is missing"},
      {"string 1 \"open", "line 1: a text lacks its closing quote"},
      {"string 1 \"\\q\"", "line 1: unknown escape \\q"},
      {"string 1 \"\\u12\"", "line 1: a \\u escape needs four hex digits"},
      {"string 1 \"\xff\"", "line 1: a text is not UTF-8"},
      {"string 0x \"x\"", "line 1: \"0x\" is no number"},
      {"cursor 1 16 16 16 0", "line 1: 16 is out of range"},
      {"bitmap 1 2 2\n 3*000000\n", "line 2: the bitmap lacks pixels"},
      {"bitmap 1 2 1\n 000000 000000 000000", "line 2: the bitmap has more pixels than its size"},
      {"bitmap 1 1 1\n 00000", "line 2: \"00000\" is no pixel"},
      {"bitmap 1 1 1\n 0*000000", "line 2: \"0*000000\" is no pixel"},
      {"bitmap 1 0 1", "line 1: 0 is out of range"},
      {"dialog 1 0 0 10 10 \"d\"\n control Button 1 0 0 1 1 \"b\"", "dialog lacks its \"end\""},
      {"dialog 1 0 0 10 10 \"d\" bogus\nend", "line 1: unknown style \"bogus\""},
      {"dialog 1 0 0 10 10 \"d\"\n control Edit 1 0 0 1 1 \"b\" ownerdraw\nend",
       "line 2: unknown style \"ownerdraw\""},
      {"dialog 1 0 0 10 10 \"d\"\n string 1 \"x\"\nend", "line 2: \"string\" inside a dialog"},
      {"control Button 1 0 0 1 1 \"b\"", "line 1: unknown statement \"control\""},
      {"dialog 1 0 0 10 10 \"d\"\n control Button 1 0 0 1\nend",
       "line 2: \"control\" lacks arguments"},
      {"dialog 1 0 0 10 10 \"d\"\nend now", "line 2: \"end\" takes nothing"},
      {"\"text\"", "line 1: a statement cannot start with a text"},
      {"version 1 2\nend\nversion 1 2", "line 3: the translation is given twice"},
      {"version 1 2\n value \"A\" \"x\"\n value \"a\" \"y\"", "line 3: the value is given twice"},
      {"version 1 2\n value \"A\\\\B\" \"x\"", "line 2: a value's name is empty or holds"},
      {"version 1 2\n string 1 \"x\"", "line 2: \"string\" inside a version record"},
      {"version 1 2\n value \"A\" \"x\"", "version record lacks its \"end\""},
  };
  for (const auto& c : cases) {
    ModuleResources out;
    std::string error;
    EXPECT_FALSE(ParseResourceScript(c.script, &out, &error)) << c.script;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.script << " gave " << error;
  }
}

// The build's generator wrote these from the scripts; the expected values
// are the scripts' own.
TEST(ResourceScript, TheGeneratedResourcesLoad) {
  ModuleResources test = testing_support::TestResources();
  ASSERT_EQ(test.dialogs.size(), 6u);
  EXPECT_EQ(test.dialogs[2].caption, u"Inner \u00e9\\n");
  EXPECT_EQ(test.dialogs[0].items.size(), 14u);

  ModuleResources library = resources::ResourceLibrary();
  ASSERT_TRUE(AddModule({u"RES.DLL", {}, {}}));
  ASSERT_TRUE(AddModuleResources(u"RES.DLL", library));
  HINSTANCE module = LoadLibraryW(u"RES.DLL");
  char16_t text[32];
  EXPECT_EQ(LoadStringW(module, 11901, text, 32), 11);
  EXPECT_EQ(std::u16string(text), u"Feature Tip");
  // Bitmap 11280's first row: three of C0C0C0, two of 0000FF, three of
  // C0C0C0; pixels 3 and 4 are bytes 12 to 19 (B, G, R, 0 each).
  HBITMAP bitmap = LoadBitmapW(module, MakeIntResourceW(11280));
  unsigned char row[32];
  EXPECT_EQ(GetBitmapBits(bitmap, sizeof row, row), 32);
  EXPECT_EQ(std::vector<unsigned char>(row + 8, row + 24),
            (std::vector<unsigned char>{0xC0, 0xC0, 0xC0, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
                                        0x00, 0x00, 0xC0, 0xC0, 0xC0, 0x00}));
  DeleteObject(bitmap);
  EXPECT_EQ(library.bitmaps.size(), 5u);  // the tips' four and the printer picture
  EXPECT_NE(LoadCursorW(module, MakeIntResourceW(11270)), nullptr);
  FreeLibrary(module);
  ResetHostServices();
}

// A bitmap whose pixels do not fill its size is refused by the module table.
TEST(ResourceScript, TheModuleTableRefusesShortBitmaps) {
  ModuleResources bad;
  bad.bitmaps.push_back({1, 2, 2, {0, 0, 0}});
  ASSERT_TRUE(AddModule({u"BAD.DLL", {}, {}}));
  EXPECT_FALSE(AddModuleResources(u"BAD.DLL", bad));
  EXPECT_FALSE(AddModuleResources(u"NONE.DLL", {}));
  ResetHostServices();
}

}  // namespace
