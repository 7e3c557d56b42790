// The watermark and its six property sub-keys: definitions of the pool
// named and copied, properties made with their defaults, colour and font
// rows both ways, the custom angle, and the order of the sub-keys.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/import/watermark_converters.h"
#include "tests/config/import/converter_model.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::Utf8;

using Lines = std::vector<std::string>;

class Watermark : public ConverterFixture {
 protected:
  GAttributeComposite* Current() { return FindComposite(FindComposite(Root(), 364), 379); }
  void PutProperties() {
    store_.SetWord(u"printing/Watermarks/WMShadeLevel", u"Lightest Color");
    store_.SetWord(u"printing/Watermarks/WMFontStyle", u"Strikeout");
    store_.SetWord(u"printing/Watermarks/WMFirstPageOnly", u"NoPages");
    store_.SetWord(u"printing/Watermarks/WMFontEscapement", u"Vertical");
    store_.SetWord(u"printing/Watermarks/WMFont", u"Helvetica");
    store_.SetWord(u"printing/Watermarks/WMColor", u"Cyan");
  }
};

// The model's pool (converter_model.h) holds codes 0-3 named "Mark-<code>";
// code 2 carries its own properties, code 3 none.
TEST_F(Watermark, AWordNamesItsDefinitionRunsTheSubKeysAndTakesTheDefinitionsProperties) {
  const struct {
    const char* what;
    const char16_t* word;
    std::uint32_t result;
    const char* current;   // the current watermark afterwards
    const char* recorded;  // the destination
  } cases[] = {
      {"a definition with properties", u"Draft", 1,
       "585=0 383='Mark-2' 1112=2 390=5 382=1 388=1 403=64 386='Courier New' 387=1 393=4 394=45 "
       "398=255 399=0 400=255",
       "383='Mark-2' 1112=2 403=232 388=8 382=2 393=2 386='Helvetica' 398=0 399=255 400=255"},
      {"a definition without", u"Sample", 1,
       "585=0 383='Mark-3' 1112=3 390=0 382=2 388=8 403=232 386='Helvetica' 387=0 393=2 394=0 "
       "398=0 399=255 400=255",
       "383='Mark-3' 1112=3 403=232 388=8 382=2 393=2 386='Helvetica' 398=0 399=255 400=255"},
      {"a word in another case", u"draft", 0,
       "585=0 383='Mark-0' 1112=0 390=0 382=0 388=0 403=224 386='Arial' 387=0 393=0 394=0 398=0 "
       "399=0 400=0",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    PutProperties();
    store_.SetWord(u"printing/Watermarks", c.word);
    EXPECT_EQ(Apply(u"Watermarks"), c.result);
    EXPECT_EQ(Entries(Current()), c.current);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }

  // No definition of the code: only the sub-keys change the watermark; no
  // pool: nothing beyond the answer.
  Reset();
  PutProperties();
  store_.SetWord(u"printing/Watermarks", u"Confidential");
  delete Root()->RemoveByKey(378);
  EXPECT_EQ(Apply(u"Watermarks"), 1u);
  EXPECT_EQ(Entries(Destination()), "");
  Root()->AddChild(Group(378, {Group(0, {Value(1112, 2), Text(384, "Mark-2")})}));
  EXPECT_EQ(Apply(u"Watermarks"), 1u);
  EXPECT_EQ(ValueAt(1112), 0);
  EXPECT_EQ(FindStringAttribute(Current(), 383)->GetValue(), "Mark-0");
  EXPECT_EQ(Entries(Destination()),
            "403=232 388=8 382=2 393=2 386='Helvetica' 398=0 399=255 400=255");
  // A property of another class in the definition is left alone: the
  // style stays what its sub-key set.
  Reset();
  PutProperties();
  store_.SetWord(u"printing/Watermarks", u"Draft");
  GStringAttribute text_style("Bold", 388);
  FindComposite(Root(), 378)->ReplaceByKey(388, &text_style);
  EXPECT_EQ(Apply(u"Watermarks"), 1u);
  EXPECT_EQ(ValueOf(Current(), 388), 8);
  EXPECT_EQ(ValueOf(Current(), 403), 64);
  // Without the current watermark's name: 0 before the store is read.
  Reset();
  delete Current()->RemoveByKey(383);
  store_.ClearLog();
  EXPECT_EQ(Apply(u"Watermarks"), 0u);
  EXPECT_TRUE(store_.Log().empty());
}

TEST_F(Watermark, ExtractWritesTheWordThenTheDefinitionsProperties) {
  const struct {
    const char* what;
    int code;
    const char* name;
    std::uint32_t result;
    Lines written;
  } cases[] = {
      {"the definition of the current name",
       2,
       "Mark-2",
       1,
       {"printing/Watermarks=Draft", "printing/Watermarks/WMFont=Courier New",
        "printing/Watermarks/WMShadeLevel=Dark", "printing/Watermarks/WMColor=Magenta",
        "printing/Watermarks/WMFirstPageOnly=AllPages", "printing/Watermarks/WMFontStyle=Bold",
        "printing/Watermarks/WMFontEscapement=Custom",
        "printing/Watermarks/WMFontEscapement/WMCustomAngle=45"}},
      {"none", 0, "Mark-2", 1, {"printing/Watermarks=None"}},
      {"a name no definition has", 2, "Mark-9", 1, {"printing/Watermarks=Draft"}},
      {"a code of no row", 7, "Mark-2", 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    SetValue(1112, static_cast<std::uint16_t>(c.code));
    FindStringAttribute(Current(), 383)->SetValue(c.name);
    EXPECT_EQ(Extract(u"Watermarks"), c.result);
    EXPECT_EQ(Written(), c.written);
  }
  // A refused word answers 0; without a pool the word stays written, 0.
  Reset();
  SetValue(1112, 2);
  store_.RefuseWord(u"Draft");
  EXPECT_EQ(Extract(u"Watermarks"), 0u);
  EXPECT_EQ(Written().size(), 1u);
  delete Root()->RemoveByKey(378);
  SetValue(1112, 3);
  EXPECT_EQ(Extract(u"Watermarks"), 0u);
  EXPECT_EQ(Written(), Lines{"printing/Watermarks=Sample"});
}

TEST_F(Watermark, PropertiesAreMadeWithTheirDefaultsWhateverTheStoreSays) {
  // A current watermark with none of its properties; the store has none of
  // their keys.
  GAttributeComposite bare(379);
  FindComposite(Root(), 364)->ReplaceByKey(379, &bare);
  std::vector<std::unique_ptr<GSettingConverter>> converters;
  converters.emplace_back(new GWMShadeLevelConverter(library_.get()));
  converters.emplace_back(new GWMFontStyleConverter(library_.get()));
  converters.emplace_back(new GWMFirstPageOnlyConverter(library_.get()));
  converters.emplace_back(new GWMFontEscapementConverter(library_.get()));
  converters.emplace_back(new GWMFontConverter(library_.get()));
  converters.emplace_back(new GWMColorConverter(library_.get()));
  for (auto& converter : converters)
    EXPECT_EQ(converter->Apply(Root(), Destination()), 0u);
  EXPECT_EQ(Entries(Current()),
            "403=224 388=0 382=2 393=1 394=0 386='Arial' 387=0 398=224 399=224 "
            "400=224");
  EXPECT_EQ(Entries(Destination()), "");
  // A missing link before the watermark makes nothing.
  delete FindComposite(Root(), 364)->RemoveByKey(379);
  for (auto& converter : converters)
    EXPECT_EQ(converter->Apply(Root(), Destination()), 0u);
  EXPECT_EQ(FindComposite(Root(), 379), nullptr);
}

TEST_F(Watermark, ColourAndFontRowsBothWays) {
  for (const GWatermarkColorRow& row : GWMColorConverter::Rows()) {
    SCOPED_TRACE(Utf8(row.word));
    Reset();
    store_.SetWord(GWMColorConverter::kKey, row.word);
    GWMColorConverter converter(library_.get());
    EXPECT_EQ(converter.Apply(Root(), Destination()), 1u);
    const std::string red = std::to_string(row.rgb & 0xFF);
    const std::string green = std::to_string(row.rgb >> 8 & 0xFF);
    const std::string blue = std::to_string(row.rgb >> 16 & 0xFF);
    EXPECT_EQ(Entries(Destination()), "398=" + red + " 399=" + green + " 400=" + blue);
    store_.ClearLog();
    EXPECT_EQ(converter.Extract(Current()), 1u);
    EXPECT_EQ(Written(), Lines{"printing/Watermarks/WMColor=" + Utf8(row.word)});
  }
  for (const GWatermarkFontRow& row : GWMFontConverter::Rows()) {
    SCOPED_TRACE(Utf8(row.word));
    Reset();
    store_.SetWord(GWMFontConverter::kKey, row.word);
    GWMFontConverter converter(library_.get());
    EXPECT_EQ(converter.Apply(Root(), Destination()), 1u);
    EXPECT_EQ(Entries(Destination()), "386='" + std::string(row.face_name) + "'");
    store_.ClearLog();
    EXPECT_EQ(converter.Extract(Current()), 1u);
    EXPECT_EQ(Written(), Lines{"printing/Watermarks/WMFont=" + Utf8(row.word)});
  }
  // By hand: grey is 255 three times; 255, 0, 255 is magenta; a colour of
  // no row, a face of no row, and a missing colour counted 0.
  GWMColorConverter color(library_.get());
  GWMFontConverter font(library_.get());
  store_.SetWord(GWMColorConverter::kKey, u"Gray");
  EXPECT_EQ(color.Apply(Root(), Destination()), 1u);
  EXPECT_EQ(Entries(Current()).find("398=255 399=255 400=255") != std::string::npos, true);
  SetValue(398, 1);
  EXPECT_EQ(color.Extract(Current()), 0u);
  SetValue(398, 0);
  SetValue(400, 0);
  delete Current()->RemoveByKey(399);
  store_.ClearLog();
  EXPECT_EQ(color.Extract(Current()), 0u);
  SetValue(400, 255);
  EXPECT_EQ(color.Extract(Current()), 1u);
  EXPECT_EQ(Written(), Lines{"printing/Watermarks/WMColor=Blue"});
  FindStringAttribute(Current(), 386)->SetValue("arial");
  EXPECT_EQ(font.Extract(Current()), 0u);
}

TEST_F(Watermark, TheCustomAngleAndTheShadeWithABlank) {
  const std::u16string angle_key = GWMFontEscapementConverter::kAnglePath;
  const struct {
    const char16_t* word;
    const char16_t* angle;  // null: not in the store
    std::uint32_t result;
    int escapement;
    int degrees;
    const char* recorded;
  } cases[] = {
      {u"Custom", u"45", 1, 4, 45, "393=4 394=45"}, {u"Custom", u"0", 0, 4, 0, "393=4"},
      {u"Custom", u"abc", 0, 4, 0, "393=4"},        {u"Custom", nullptr, 0, 4, 0, "393=4"},
      {u"Diagonal", u"45", 1, 1, 0, "393=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.word) + " " + (c.angle ? Utf8(c.angle) : "none"));
    Reset();
    store_.SetWord(u"printing/Watermarks/WMFontEscapement", c.word);
    if (c.angle != nullptr) {
      store_.SetWord(angle_key, c.angle);
    } else {
      store_.ForgetKey(angle_key);
    }
    GWMFontEscapementConverter converter(library_.get());
    EXPECT_EQ(converter.Apply(Root(), Destination()), c.result);
    EXPECT_EQ(ValueAt(393), c.escapement);
    EXPECT_EQ(ValueAt(394), c.degrees);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }
  // Extract of a custom angle of 300, from the object given; a refused
  // angle answers 0.
  GWMFontEscapementConverter escapement(library_.get());
  SetValue(393, 4);
  SetValue(394, 300);
  store_.ClearLog();
  EXPECT_EQ(escapement.Extract(Current()), 1u);
  EXPECT_EQ(Written(), (Lines{"printing/Watermarks/WMFontEscapement=Custom",
                              "printing/Watermarks/WMFontEscapement/WMCustomAngle=300"}));
  store_.RefuseKey(angle_key);
  EXPECT_EQ(escapement.Extract(Current()), 0u);

  GWMShadeLevelConverter shade(library_.get());
  store_.SetWord(u"printing/Watermarks/WMShadeLevel", u"Lightest Color");
  EXPECT_EQ(shade.Apply(Root(), Destination()), 1u);
  EXPECT_EQ(ValueAt(403), 232);
  SetValue(403, 224);
  store_.ClearLog();
  EXPECT_EQ(shade.Extract(Current()), 1u);
  EXPECT_EQ(Written(), Lines{"printing/Watermarks/WMShadeLevel=VeryLight"});
}

}  // namespace
