// The converters that run others or do more than the common steps, by
// hand: duplex, memory, N-up, fit to size, print quality with its presets,
// grey printing, the RGB colour and the Tintvector colour adjustment.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/attributes/tintvector_attribute.h"
#include "config/import/color_converters.h"
#include "config/import/converter_descriptors.h"
#include "config/import/print_quality_converter.h"
#include "tests/config/import/converter_model.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::Utf8;

using Values = std::vector<std::pair<std::uint32_t, int>>;
using Words = std::vector<std::pair<std::u16string, std::u16string>>;
using Lines = std::vector<std::string>;

class Cascade : public ConverterFixture {
 protected:
  void Preset(const Values& values) {
    for (const auto& [key, value] : values)
      SetValue(key, static_cast<std::uint16_t>(value));
  }
  void Put(const Words& words) {
    for (const auto& [key, word] : words)
      store_.SetWord(key, word);
  }
  void ExpectValues(const Values& values) {
    for (const auto& [key, value] : values)
      EXPECT_EQ(ValueAt(key), value) << "key " << key;
  }
  void Remove(std::uint32_t key) { delete Root()->RemoveByKey(key); }
  std::string Locks() { return Entries(FindComposite(Root(), kLockListKey)); }
  GTintvectorEnhancedAttributeVer2* Adjustment() {
    return dynamic_cast<GTintvectorEnhancedAttributeVer2*>(
        FindComposite(Root(), kColorMediaSettingsKey)->FindByKey(295));
  }
};

TEST_F(Cascade, DuplexReadsTheEdgeRunsTheScalingAndRecordsItsLock) {
  const struct {
    const char* what;
    Values preset;
    Words words;
    bool without_scaling;  // 983 removed
    const char16_t* lock;
    std::uint32_t result;
    Values expect;
    const char* recorded;
  } cases[] = {
      {"off", {}, {{u"printing/Duplex", u"FALSE"}}, false, u"", 1, {{253, 0}, {710, 0}}, "253=0"},
      {"on, the edge decides",
       {},
       {{u"printing/Duplex", u"TRUE"}, {u"printing/Duplex/DuplexEdge", u"ShortEdge"}},
       false,
       u"",
       1,
       {{253, 1}, {710, 1}, {983, 0}},
       "253=1 710=1 983=0"},
      {"on without an edge: long edge, the scaling answers",
       {},
       {{u"printing/Duplex", u"TRUE"}},
       false,
       u"",
       1,
       {{253, 2}, {710, 1}, {983, 0}},
       "253=2 710=1 983=0"},
      {"on without an edge or scaling: 0",
       {},
       {{u"printing/Duplex", u"TRUE"}},
       true,
       u"",
       0,
       {{253, 2}, {710, 1}},
       "253=2 710=1"},
      {"an unknown word still records the duplex",
       {{253, 1}},
       {{u"printing/Duplex", u"Maybe"}},
       true,
       u"",
       0,
       {{253, 1}, {710, 1}},
       "253=1 710=1"},
      {"the duplex unit opens the gate",
       {{245, 0}, {308, 1}},
       {{u"printing/Duplex", u"LongEdge"}},
       true,
       u"",
       1,
       {{253, 2}},
       "253=2 710=1"},
      {"no way to duplex: only the lock",
       {{245, 0}, {308, 2}},
       {{u"printing/Duplex", u"LongEdge"}},
       true,
       u"TRUE",
       1,
       {{253, 0}, {710, 0}},
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    store_.ForgetKey(u"printing/Duplex/DuplexEdge");
    Preset(c.preset);
    Put(c.words);
    store_.SetAttribute(u"printing/Duplex", u"lock", c.lock);
    if (c.without_scaling) Remove(983);
    EXPECT_EQ(Apply(u"Duplex"), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Locks(), std::u16string(c.lock) == u"TRUE" ? "0=253" : "");
  }

  const struct {
    int duplex;
    bool without_scaling;
    Lines written;
  } extracts[] = {
      {0, true, {"printing/Duplex=FALSE"}},
      {2,
       false,
       {"printing/Duplex=TRUE", "printing/Duplex/DuplexEdge=LongEdge",
        "printing/Duplex/KVAutoDuplexScaling=TRUE"}},
      {3, false, {"printing/Duplex/KVAutoDuplexScaling=TRUE"}},
  };
  for (const auto& e : extracts) {
    Reset();
    SetValue(253, static_cast<std::uint16_t>(e.duplex));
    if (e.without_scaling) Remove(983);
    EXPECT_EQ(Extract(u"Duplex"), 1u);
    EXPECT_EQ(Written(), e.written);
  }
}

TEST_F(Cascade, MemoryMovesItsShareByHalfTheChange) {
  const struct {
    const char16_t* word;
    int old_size;
    int old_share;
    std::uint32_t result;
    Values expect;
  } cases[] = {
      {u"54", 32, 1000, 1, {{925, 54}, {307, 2100}}},
      {u"32", 54, 2100, 1, {{925, 32}, {307, 1000}}},
      {u"0", 32, 1000, 0, {{925, 32}, {307, 1000}}},
      {u"abc", 32, 1000, 0, {{925, 32}, {307, 1000}}},
      {u"-8", 32, 1000, 0, {{925, 32}, {307, 1000}}},
      {u"65536", 32, 1000, 0, {{925, 32}, {307, 1000}}},
      // Shrinking never takes the share below 0, growing never past 16 bits.
      {u"8", 64, 100, 1, {{925, 8}, {307, 0}}},
      {u"65535", 1, 60000, 1, {{925, 65535}, {307, 65535}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.word));
    Reset();
    Preset({{925, c.old_size}, {307, c.old_share}});
    store_.SetWord(u"physical/Memory", c.word);
    EXPECT_EQ(Apply(u"Memory"), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.result == 0
                                          ? ""
                                          : "925=" + std::to_string(c.expect[0].second) +
                                                " 307=" + std::to_string(c.expect[1].second));
  }
  EXPECT_EQ(Extract(u"Memory"), 1u);
  EXPECT_EQ(Written(), Lines{"physical/Memory=65535"});
  store_.RefuseWord(u"65535");
  EXPECT_EQ(Extract(u"Memory"), 0u);
}

TEST_F(Cascade, NUpRunsItsSubKeysUnlessBookletPrintingIsOn) {
  const Words sub_keys = {{u"printing/NUpChoice/NUpPageOrderChoice", u"DownThenLeft"},
                          {u"printing/NUpChoice/NUpBordersChoice", u"PrintBorders"}};
  const struct {
    const char* what;
    Values preset;
    const char16_t* word;
    std::uint32_t result;
    Values expect;
    const char* recorded;
  } cases[] = {
      {"four up", {}, u"FourUp", 1, {{266, 4}, {268, 3}, {267, 1}}, "266=4 268=3 267=1"},
      {"unknown word: the sub-keys still", {}, u"EightUp", 0, {{266, 1}, {267, 1}}, "268=3 267=1"},
      {"booklet printing", {{279, 1}}, u"FourUp", 0, {{266, 1}, {267, 0}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Preset(c.preset);
    Put(sub_keys);
    store_.SetWord(u"printing/NUpChoice", c.word);
    EXPECT_EQ(Apply(u"NUpChoice"), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }
  // Borders without their attribute: 0, and nothing is made.
  Reset();
  Remove(267);
  GNUpBordersChoiceConverter borders(library_.get());
  EXPECT_EQ(borders.Apply(Root(), Destination()), 0u);
  EXPECT_EQ(ValueAt(267), -1);

  Reset();
  Preset({{266, 6}, {268, 2}, {267, 1}});
  EXPECT_EQ(Extract(u"NUpChoice"), 1u);
  EXPECT_EQ(Written(),
            (Lines{"printing/NUpChoice=SixUp", "printing/NUpChoice/NUpPageOrderChoice=LeftThenDown",
                   "printing/NUpChoice/NUpBordersChoice=PrintBorders"}));
  Preset({{266, 1}});
  EXPECT_EQ(Extract(u"NUpChoice"), 1u);
  EXPECT_EQ(Written(), Lines{"printing/NUpChoice=OneUp"});
  // A value of no row still extracts the sub-keys, and answers 0.
  Preset({{266, 5}});
  EXPECT_EQ(Extract(u"NUpChoice"), 0u);
  EXPECT_EQ(Written().size(), 2u);
}

TEST_F(Cascade, FittingToAnotherSizeRunsTheTargetSize) {
  store_.SetWord(u"printing/FitToOtherSizeChoice/TargetSizeChoice", u"A3");
  store_.SetWord(u"printing/FitToOtherSizeChoice", u"PrintActualSize");
  EXPECT_EQ(Apply(u"FitToOtherSizeChoice"), 1u);
  EXPECT_EQ(Entries(Destination()), "270=0");
  store_.SetWord(u"printing/FitToOtherSizeChoice", u"FitToOtherSize");
  EXPECT_EQ(Apply(u"FitToOtherSizeChoice"), 1u);
  EXPECT_EQ(Entries(Destination()), "270=0 270=1 272=22 1111=0");
  ExpectValues({{260, 1}, {272, 22}});
  EXPECT_EQ(Extract(u"FitToOtherSizeChoice"), 1u);
  EXPECT_EQ(Written(), (Lines{"printing/FitToOtherSizeChoice=FitToOtherSize",
                              "printing/FitToOtherSizeChoice/TargetSizeChoice=A3"}));
  SetValue(270, 0);
  EXPECT_EQ(Extract(u"FitToOtherSizeChoice"), 1u);
  EXPECT_EQ(Written(), Lines{"printing/FitToOtherSizeChoice=PrintActualSize"});
}

TEST_F(Cascade, PrintQualityWithItsAttribute) {
  const struct {
    const char16_t* word;
    std::uint32_t result;
    int value;
  } cases[] = {{u"Best", 1, 1}, {u"best", 0, 0}, {u"Fast", 1, 65534}, {u"Custom", 1, 99}};
  for (const auto& c : cases) {
    Reset();
    store_.SetWord(u"printing/PrintQuality", c.word);
    EXPECT_EQ(Apply(u"PrintQuality"), c.result) << Utf8(c.word);
    EXPECT_EQ(ValueAt(901), c.value);
    EXPECT_EQ(Entries(Destination()), c.result != 0 ? "901=" + std::to_string(c.value) : "");
  }
  const struct {
    int value;
    Lines written;
  } extracts[] = {{65535, {"printing/PrintQuality=FastNormal"}}, {2, {}}};
  for (const auto& e : extracts) {
    SetValue(901, static_cast<std::uint16_t>(e.value));
    EXPECT_EQ(Extract(u"PrintQuality"), e.written.empty() ? 0u : 1u);
    EXPECT_EQ(Written(), e.written);
  }
}

// Without 901 the word chooses a preset of the job settings (326 "Best",
// 327 "Normal") and copies it into the settings; text as black and
// TrueType as bitmap run either way.
TEST_F(Cascade, PrintQualityWithoutItsAttributeCopiesAPreset) {
  // Preset 326: 218 -> 250, 221 -> 277, 220 -> 293, 586 -> 582 (593 set),
  // 222 {223, 224, 225} -> 249 {323, 324, 325}, 913 -> 910, 912 -> 911.
  // Preset 327: the same pairs without 593, so 586 is not copied.
  auto preset = [](std::uint32_t key, std::uint16_t base, bool halftone) {
    auto* preset = Group(key, {Value(218, base), Value(221, base + 1), Value(220, base + 2),
                               Value(586, base + 3), Value(913, base + 4), Value(912, base + 5),
                               Group(222, {Value(223, 300), Value(224, 300), Value(225, 1)})});
    if (halftone) preset->AddChild(Value(593, 1));
    return preset;
  };
  driver_data_.GetJobSettings()->AddChild(preset(326, 10, true));
  driver_data_.GetJobSettings()->AddChild(preset(327, 20, false));
  const struct {
    const char* what;
    const char16_t* word;
    const char16_t* text_as_black;  // null: not in the store
    std::uint32_t result;
    const char* recorded;
  } cases[] = {
      {"best", u"Best", nullptr, 1,
       "250=10 277=11 293=12 582=13 323=300 324=300 325=1 910=14 911=15"},
      {"normal", u"Normal", nullptr, 1, "250=20 277=21 293=22 323=300 324=300 325=1 910=24 911=25"},
      {"fast: no preset, text as black answers", u"Fast", u"TRUE", 1, "585=1"},
      {"fast: nothing", u"Fast", nullptr, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    FindComposite(Root(), kDocumentSettingsKey)->AddChild(Value(911, 0));
    FindComposite(Root(), kColorMediaSettingsKey)
        ->AddChild(Group(0, {Value(582, 0), Value(910, 0)}));
    Remove(901);
    store_.SetWord(u"printing/PrintQuality", c.word);
    if (c.text_as_black != nullptr) {
      store_.SetWord(u"printing/TextAsBlack", c.text_as_black);
    } else {
      store_.ForgetKey(u"printing/TextAsBlack");
    }
    EXPECT_EQ(Apply(u"PrintQuality"), c.result);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }

  // A preset that is missing copies nothing and answers 0 (it used to
  // answer 1); so does one whose pairs the settings lack.
  Reset();
  Remove(901);
  store_.SetWord(u"printing/PrintQuality", u"Best");
  delete driver_data_.GetJobSettings()->RemoveByKey(326);
  EXPECT_EQ(Apply(u"PrintQuality"), 0u);
  driver_data_.GetJobSettings()->AddChild(Group(326, {Value(444, 1)}));
  EXPECT_EQ(Apply(u"PrintQuality"), 0u);
  EXPECT_EQ(Entries(Destination()), "");
  delete driver_data_.GetJobSettings()->RemoveByKey(326);
  driver_data_.GetJobSettings()->AddChild(preset(326, 10, true));

  // Extract: "Best" when the settings match 326, even when they match 327
  // too; "Normal" for 327; "Custom" for neither; "Best" without 326.
  const struct {
    const char* what;
    Values values;
    bool without_best;
    const char* written;
    std::vector<std::uint32_t> removed = {};
  } extracts[] = {
      {"neither matches", {{250, 0}, {277, 0}, {293, 0}}, false, "printing/PrintQuality=Custom"},
      {"both match", {}, false, "printing/PrintQuality=Best", {250, 277, 293, 582}},
      {"best", {{250, 10}, {277, 11}, {293, 12}, {582, 13}}, false, "printing/PrintQuality=Best"},
      {"normal",
       {{250, 20}, {277, 21}, {293, 22}, {582, 99}},
       false,
       "printing/PrintQuality=Normal"},
      {"no preset 326", {{250, 20}}, true, "printing/PrintQuality=Best"},
  };
  for (const auto& e : extracts) {
    SCOPED_TRACE(e.what);
    Reset();
    Remove(901);
    FindComposite(Root(), kColorMediaSettingsKey)->AddChild(Value(582, 0));
    Preset({{323, 300}, {324, 300}, {325, 1}});
    Preset(e.values);
    for (std::uint32_t key : e.removed)
      Remove(key);
    if (e.without_best) delete driver_data_.GetJobSettings()->RemoveByKey(326);
    EXPECT_EQ(Extract(u"PrintQuality"), 1u);
    EXPECT_EQ(Written(), Lines{e.written});
  }
}

TEST_F(Cascade, GreyPrintingRunsItsOptionsAndFallsToTheSecondWord) {
  const std::u16string options = u"printing/PrintColorAsGray[TRUE]/PrintColorAsGrayOptions";
  const struct {
    const char* what;
    Values preset;
    const char16_t* word;
    const char16_t* lock;
    std::uint32_t result;
    const char* recorded;
    const char* locks;
  } cases[] = {
      {"enable", {}, u"Enable", u"", 1, "296=1 410=1", ""},
      {"TRUE", {}, u"TRUE", u"true", 1, "296=1 410=1", "0=296"},
      {"disable", {{296, 1}}, u"Disable", u"", 1, "296=0", ""},
      {"an unknown word while on", {{296, 1}}, u"On", u"TRUE", 1, "410=1", "0=296"},
      {"an unknown word while off", {}, u"On", u"", 0, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Preset(c.preset);
    store_.SetWord(u"printing/PrintColorAsGray", c.word);
    store_.SetWord(options, u"BlackOnly");
    store_.SetAttribute(u"printing/PrintColorAsGray", u"lock", c.lock);
    EXPECT_EQ(Apply(u"PrintColorAsGray"), c.result);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Locks(), c.locks);
  }
  // "Disable" refused: "FALSE"; both refused and no options: 0.
  Reset();
  store_.RefuseWord(u"Disable");
  EXPECT_EQ(Extract(u"PrintColorAsGray"), 1u);
  EXPECT_EQ(Written(), (Lines{"printing/PrintColorAsGray=Disable",
                              "printing/PrintColorAsGray=FALSE", Utf8(options) + "=HighQuality"}));
  store_.RefuseWord(u"FALSE");
  Remove(410);
  EXPECT_EQ(Extract(u"PrintColorAsGray"), 0u);
}

TEST_F(Cascade, RGBColorWordsSetTheThreeSRGBBytes) {
  for (const GRGBColorRow& row : GRGBColorConverter::Rows()) {
    SCOPED_TRACE(Utf8(row.word));
    Reset();
    store_.SetWord(GRGBColorConverter::kKey, row.word);
    EXPECT_EQ(Apply(u"RGBColor"), 1u);
    for (std::int32_t object = 0; object < 3; ++object) {
      std::uint8_t byte = 0;
      ASSERT_TRUE(Adjustment()->GetSetting(object, 3, byte));
      EXPECT_EQ(byte, row.bytes[object]);
    }
    EXPECT_EQ(Entries(Destination()), "295{1}");
    EXPECT_EQ(Extract(u"RGBColor"), 1u);
    EXPECT_EQ(Written(), Lines{"printing/RGBColor=" + Utf8(row.word)});
  }
  // "sRGB" is no row: the default bytes, which come back as
  // "Default-sRGB".
  store_.SetWord(GRGBColorConverter::kKey, u"sRGB");
  EXPECT_EQ(Apply(u"RGBColor"), 1u);
  const GTintvectorEnhancedAttributeVer2 defaults(295,
                                                  {70, 41, 0x64, 80, 51, 0x67, 91, 61, 0x6A, 95});
  EXPECT_TRUE(Adjustment()->IsEqualContent(&defaults));
  EXPECT_EQ(Extract(u"RGBColor"), 1u);
  EXPECT_EQ(Written(), Lines{"printing/RGBColor=Default-sRGB"});
  // Only class 1201 holds the bytes.
  GTintvectorEnhancedAttribute enhanced(295);
  FindComposite(Root(), kColorMediaSettingsKey)->ReplaceByKey(295, &enhanced);
  EXPECT_EQ(Apply(u"RGBColor"), 0u);
  EXPECT_EQ(Extract(u"RGBColor"), 0u);
}

// "Manual" reads every sub-key its class holds a byte for; extract writes
// all eleven back, "Default-sRGB" for a byte the class lacks.
TEST_F(Cascade, TintvectorReadsAndWritesItsSubKeys) {
  const Words words = {
      {u"KVTintvector_Text_Halftone", u"Detail"},
      {u"KVTintvector_Text_NeutralGrays", u"4-Color"},
      {u"KVTintvector_Graphics_Halftone", u"Smooth"},
      {u"KVTintvector_Graphics_NeutralGrays", u"BlackOnly"},
      {u"KVTintvector_Photo_Halftone", u"Detail"},
      {u"KVTintvector_Photo_NeutralGrays", u"4-Color"},
      {u"KVTintvector_ColorOptions_RGBColor", u"Vivid"},
      {u"KVTintvector_Text_SRGBColor", u"Device"},
      {u"KVTintvector_Graphics_SRGBColor", u"Vivid"},
      {u"KVTintvector_Photo_SRGBColor", u"Default-sRGB"},
      {u"KVTintvector_ColorOptions_EdgeControl", u"Light"},
  };
  // Extract writes the store's words too: each run starts from these.
  auto put_words = [&]() {
    for (const auto& [sub_key, word] : words)
      store_.SetWord(u"printing/KVTintvector/" + sub_key, word);
  };
  // Bytes by hand from the sub-key table: neutral greys, halftone (and
  // sRGB) of text, graphics, photos; edge control (and RGB colour).
  const GTintvectorEnhancedAttributeVer2 ver2(
      295, {0x47, 0x29, 0x66, 0x50, 0x34, 0x68, 0x5B, 0x3D, 0x6A, 0x5E});
  const GTintvectorEnhancedAttribute enhanced(295,
                                              {0x47, 0x29, 0x50, 0x34, 0x5B, 0x3D, 0x5E, 0x61});
  Lines written = {"printing/KVTintvector=Manual"};
  for (const auto& [sub_key, word] : words)
    written.push_back("printing/KVTintvector/" + Utf8(sub_key) + "=" + Utf8(word));

  for (bool version2 : {true, false}) {
    SCOPED_TRACE(version2 ? "1201" : "797");
    Reset();
    if (!version2) {
      GTintvectorEnhancedAttribute fresh(295);
      FindComposite(Root(), kColorMediaSettingsKey)->ReplaceByKey(295, &fresh);
    }
    put_words();
    store_.SetWord(u"printing/KVTintvector", u"Manual");
    store_.ClearLog();
    EXPECT_EQ(Apply(u"KVTintvector"), 1u);
    EXPECT_EQ(store_.Calls("QCFSetContext").size(), version2 ? 11u : 9u);
    MPersistentObject* adjustment = FindComposite(Root(), kColorMediaSettingsKey)->FindByKey(295);
    EXPECT_TRUE(adjustment->IsEqualContent(version2 ? static_cast<const MPersistentObject*>(&ver2)
                                                    : &enhanced));
    EXPECT_EQ(Entries(Destination()), "295{1} 304=6");
    Lines expected = written;
    for (std::size_t i = 7; i <= 10; ++i) {
      const bool lacks = version2 ? i == 7 : i >= 8 && i <= 10;
      if (lacks) expected[i] = expected[i].substr(0, expected[i].find('=') + 1) + "Default-sRGB";
    }
    EXPECT_EQ(Extract(u"KVTintvector"), 1u);
    EXPECT_EQ(Written(), expected);
  }

  // The driver's default (295 in the job settings) is not recorded.
  Reset();
  put_words();
  driver_data_.GetJobSettings()->AddChild(new GTintvectorEnhancedAttributeVer2(ver2));
  EXPECT_EQ(Apply(u"KVTintvector"), 1u);
  EXPECT_EQ(Entries(Destination()), "304=6");

  // A sub-key the store lacks stores nothing; another word changes nothing.
  Reset();
  store_.ForgetKey(u"printing/KVTintvector/KVTintvector_ColorOptions_EdgeControl");
  EXPECT_EQ(Apply(u"KVTintvector"), 0u);
  EXPECT_EQ(ValueAt(304), 0);
  const GTintvectorEnhancedAttributeVer2 untouched(295);
  EXPECT_TRUE(Adjustment()->IsEqualContent(&untouched));
  store_.SetWord(u"printing/KVTintvector", u"Automatic");
  EXPECT_EQ(Apply(u"KVTintvector"), 0u);
  EXPECT_EQ(Extract(u"KVTintvector"), 1u);
  EXPECT_EQ(Written(), Lines{"printing/KVTintvector=Automatic"});
  // Without an adjustment, "Manual" reads nothing and sets the choice.
  Remove(295);
  store_.SetWord(u"printing/KVTintvector", u"Manual");
  EXPECT_EQ(Apply(u"KVTintvector"), 1u);
  EXPECT_EQ(Extract(u"KVTintvector"), 1u);
  EXPECT_EQ(Written(), Lines{"printing/KVTintvector=Manual"});
}

}  // namespace
