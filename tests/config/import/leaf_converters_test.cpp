// The converters' own steps, by hand: pinned words both ways, the number
// rules and the dry time, booklet, tray 1, straight path, duplex scaling,
// folding, the output bin's helper, accessories and lock, stapling,
// resolution, rasterization, text as black, the post-insertion kit and
// the bundles.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/import/accessory_converter.h"
#include "config/import/bundles_converter.h"
#include "config/import/finishing_converters.h"
#include "config/import/resolution_converters.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "tests/config/import/converter_model.h"
#include "tests/support/test_importer.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::FakeQCFHelper;
using testing_support::Utf8;

using Values = std::vector<std::pair<std::uint32_t, int>>;
using Words = std::vector<std::pair<std::u16string, std::u16string>>;

class Leaf : public ConverterFixture {
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
};

// Extract of a value writes the word (or number) pinned here.
TEST_F(Leaf, ExtractWritesThePinnedWords) {
  const struct {
    const char16_t* name;
    Values values;
    std::vector<std::string> written;
  } cases[] = {
      {u"Orientation", {{265, 180}}, {"printing/Orientation=RotatedPortrait"}},
      {u"OutputBin", {{248, 60}}, {"printing/OutputBin=MainBinFaceDown"}},
      {u"OutputBin", {{248, 1}}, {"printing/OutputBin=Auto"}},
      {u"MetChoice", {{251, 5}}, {"printing/MetChoice=PageProtA4"}},
      {u"MetChoice", {{251, 0xFFFF}}, {"printing/MetChoice=NotSupported"}},
      {u"RetChoice", {{250, 4}}, {"printing/RetChoice=ON"}},
      {u"Folding", {{1209, 2}}, {"printing/Folding=TriFoldOutward "}},
      // The four renamed keys.
      {u"BinderUnit", {{613, 1}}, {"physical/binderunit=Installed"}},
      {u"CollationUnit", {{310, 1}}, {"physical/CollationUnitSetting=TRUE"}},
      {u"BinderChoice", {{612, 3}}, {"printing/BindChoice=BindStacker"}},
      {u"KVImageShift", {{1202, 1}}, {"printing/PunchChoice=Installed"}},
      // Numbers.
      {u"Copies", {{291, 65535}}, {"printing/Copies=65535"}},
      {u"ScaleChoice", {{269, 400}}, {"printing/ScaleChoice=400"}},
      {u"DriverWorkSpaceSetting", {{202, 10}}, {"physical/DriverWorkSpaceSetting=10"}},
      {u"DryTime", {{1133, 1}}, {"printing/DryTime=-15"}},
      {u"DryTime", {{1133, 4}}, {"printing/DryTime=0"}},
      {u"DryTime", {{1133, 10}}, {"printing/DryTime=30"}},
      {u"DryTime", {{1133, 11}}, {"printing/DryTime=0"}},
      {u"DryTime", {{1133, 0}}, {"printing/DryTime=0"}},
      // The resolution by dots per inch and mode; suffixed forms come back
      // as the plain word.
      {u"Resolution", {{323, 600}, {325, 1}}, {"printing/Resolution=600dpi"}},
      {u"Resolution", {{323, 600}, {325, 2}}, {"printing/Resolution=FASTRES_1200"}},
      {u"Resolution", {{323, 1200}, {325, 1}}, {"printing/Resolution=PRORES_1200"}},
      {u"Resolution", {{323, 300}, {325, 2}}, {}},
      {u"Resolution", {{323, 0}, {325, 1}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.name) + " " + std::to_string(c.values[0].second));
    Reset();
    Preset(c.values);
    EXPECT_EQ(Extract(c.name), c.written.empty() ? 0u : 1u);
    EXPECT_EQ(Written(), c.written);
  }
}

// One converter's apply over one word each: answer, model, destination.
TEST_F(Leaf, ApplyTakesTheWordsTheRulesAllow) {
  const std::u16string padded_five = u"5" + std::u16string(70, u' ');
  const std::u16string padded_minus_ten = u"-10" + std::u16string(70, u' ');
  const struct {
    const char* what;
    const char16_t* name;
    Values preset;
    std::u16string key;
    std::u16string word;
    std::uint32_t result;
    Values expect;
    const char* recorded;
  } cases[] = {
      {"max value", u"MetChoice", {}, u"printing/MetChoice", u"MaxValue", 1, {{251, 5}}, ""},
      {"min value", u"RetChoice", {}, u"printing/RetChoice", u"MinValue", 1, {{250, 65535}}, ""},
      {"fold without the blank",
       u"Folding",
       {},
       u"printing/Folding",
       u"TriFoldOutward",
       0,
       {{1209, 0}, {1004, 0}},
       ""},
      {"fold with the blank",
       u"Folding",
       {},
       u"printing/Folding",
       u"TriFoldOutward ",
       1,
       {{1209, 2}, {1004, 3}},
       "1209=2"},
      {"scale 24", u"ScaleChoice", {}, u"printing/ScaleChoice", u"24", 0, {{269, 100}}, ""},
      {"scale 25", u"ScaleChoice", {}, u"printing/ScaleChoice", u"25", 1, {{269, 25}}, "269=25"},
      {"scale 400",
       u"ScaleChoice",
       {},
       u"printing/ScaleChoice",
       u"400",
       1,
       {{269, 400}},
       "269=400"},
      {"scale 401", u"ScaleChoice", {}, u"printing/ScaleChoice", u"401", 0, {{269, 100}}, ""},
      {"copies 0", u"Copies", {}, u"printing/Copies", u"0", 0, {{291, 1}}, ""},
      {"copies -1", u"Copies", {}, u"printing/Copies", u"-1", 0, {{291, 1}}, ""},
      {"copies 65535",
       u"Copies",
       {},
       u"printing/Copies",
       u" +65535",
       1,
       {{291, 65535}},
       "291=65535"},
      {"copies 65536", u"Copies", {}, u"printing/Copies", u"65536", 0, {{291, 1}}, ""},
      {"copies far past 32 bits",
       u"Copies",
       {},
       u"printing/Copies",
       u"99999999999999999999",
       0,
       {{291, 1}},
       ""},
      {"copies and text", u"Copies", {}, u"printing/Copies", u"3 copies", 1, {{291, 3}}, "291=3"},
      {"copies past 63 bytes", u"Copies", {}, u"printing/Copies", padded_five, 0, {{291, 1}}, ""},
      {"work space 0",
       u"DriverWorkSpaceSetting",
       {},
       u"physical/DriverWorkSpaceSetting",
       u"0",
       0,
       {{202, 10}},
       ""},
      {"work space -5",
       u"DriverWorkSpaceSetting",
       {},
       u"physical/DriverWorkSpaceSetting",
       u"-5",
       0,
       {{202, 10}},
       ""},
      {"dry time -10", u"DryTime", {}, u"printing/DryTime", u"-10", 1, {{1133, 2}}, "1133=2"},
      {"dry time 30", u"DryTime", {}, u"printing/DryTime", u"30", 1, {{1133, 10}}, "1133=10"},
      {"dry time 0", u"DryTime", {{1133, 7}}, u"printing/DryTime", u"0", 1, {{1133, 4}}, "1133=4"},
      {"dry time 7", u"DryTime", {}, u"printing/DryTime", u"7", 0, {{1133, 4}}, ""},
      {"dry time 35", u"DryTime", {}, u"printing/DryTime", u"35", 0, {{1133, 4}}, ""},
      {"dry time without digits",
       u"DryTime",
       {{1133, 7}},
       u"printing/DryTime",
       u"abc",
       0,
       {{1133, 7}},
       ""},
      {"dry time past 63 bytes",
       u"DryTime",
       {},
       u"printing/DryTime",
       padded_minus_ten,
       0,
       {{1133, 4}},
       ""},
      {"booklet forces one-up",
       u"BookletPrintingChoice",
       {{266, 4}},
       u"printing/BookletPrintingChoice",
       u"LeftEdge",
       1,
       {{279, 1}, {266, 1}},
       "279=1"},
      {"booklet off leaves n-up",
       u"BookletPrintingChoice",
       {{266, 4}},
       u"printing/BookletPrintingChoice",
       u"OFF",
       1,
       {{279, 0}, {266, 4}},
       "279=0"},
      {"booklet on, word unknown",
       u"BookletPrintingChoice",
       {{279, 2}, {266, 4}},
       u"printing/BookletPrintingChoice",
       u"Middle",
       0,
       {{279, 2}, {266, 1}},
       ""},
      {"tray 1 installed",
       u"Tray1",
       {},
       u"physical/Tray1",
       u"Installed",
       1,
       {{974, 1}, {274, 8}},
       ""},
      {"tray 1 missing",
       u"Tray1",
       {{974, 1}, {274, 8}},
       u"physical/Tray1",
       u"NotInstalled",
       1,
       {{974, 0}, {274, 7}},
       ""},
      {"tray 1 word unknown",
       u"Tray1",
       {{974, 1}},
       u"physical/Tray1",
       u"Maybe",
       0,
       {{974, 1}, {274, 8}},
       ""},
      {"text as black",
       u"TextAsBlack",
       {},
       u"printing/TextAsBlack",
       u"TRUE",
       1,
       {{585, 1}},
       "585=1"},
      {"straight path",
       u"StraightPaperPath",
       {},
       u"printing/StraightPaperPath",
       u"ON",
       1,
       {{905, 1}},
       "905=1"},
      {"straight path, manual duplex off",
       u"StraightPaperPath",
       {{245, 0}},
       u"printing/StraightPaperPath",
       u"ON",
       0,
       {{905, 0}},
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Preset(c.preset);
    store_.SetWord(c.key, c.word);
    EXPECT_EQ(Apply(c.name), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }
}

TEST_F(Leaf, BookletSetsTheRecordedNUpToo) {
  store_.SetWord(u"printing/BookletPrintingChoice", u"RightEdge");
  SetValue(266, 2);
  Destination()->AddChild(Value(266, 2));
  EXPECT_EQ(Apply(u"BookletPrintingChoice"), 1u);
  EXPECT_EQ(Entries(Destination()), "266=1 279=2");
}

TEST_F(Leaf, TheStraightPathAndTheMarginsAskTheStoreOnlyWhenTheyShould) {
  // Manual duplex disabled: the straight path's key is not read at all.
  SetValue(245, 0);
  store_.SetWord(u"printing/StraightPaperPath", u"ON");
  store_.ClearLog();
  EXPECT_EQ(Apply(u"StraightPaperPath"), 0u);
  EXPECT_TRUE(store_.Log().empty());

  // The margins read the store before they look for the document settings.
  Remove(kDocumentSettingsKey);
  const struct {
    const char16_t* name;
    const char16_t* key;
    bool asked;
  } cases[] = {{u"KVEmulateGKMargins", u"printing/KVEmulateGKMargins", true},
               {u"KVSymmetricalMargins", u"printing/KVSymmetricalMargins", true},
               {u"Tonerlite", u"printing/Tonerlite", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.key));
    store_.SetWord(c.key, u"TRUE");
    store_.ClearLog();
    EXPECT_EQ(Apply(c.name), 0u);
    if (c.asked) {
      EXPECT_EQ(store_.Log(), (std::vector<std::string>{"QCFSetContext(" + Utf8(c.key) + ")",
                                                        "QCFGet(null, 255)"}));
    } else {
      EXPECT_TRUE(store_.Log().empty());
    }
  }
}

TEST_F(Leaf, DuplexScalingFollowsTheDuplexWordAndTurnsTheSymmetricalMarginsOn) {
  const struct {
    const char* what;
    Values preset;
    std::u16string duplex;
    const char16_t* scaling;  // the sub-key's word; null: not in the store
    std::uint32_t result;
    Values expect;
    const char* recorded;
    bool asked;
  } cases[] = {
      {"duplex off scales", {}, u"FALSE", nullptr, 1, {{983, 1}, {713, 1}}, "983=1 713=1", true},
      {"duplex on without the sub-key",
       {{983, 1}},
       u"TRUE",
       nullptr,
       1,
       {{983, 0}, {713, 0}},
       "983=0",
       true},
      {"duplex on, the sub-key decides",
       {},
       u"TRUE",
       u"FALSE",
       1,
       {{983, 1}, {713, 1}},
       "983=1 713=1",
       true},
      {"unknown word, scaling already on",
       {{983, 1}},
       u"Maybe",
       nullptr,
       0,
       {{983, 1}, {713, 1}},
       "713=1",
       true},
      {"the duplex unit opens the gate",
       {{245, 0}, {308, 1}},
       u"FALSE",
       nullptr,
       1,
       {{983, 1}},
       "983=1 713=1",
       true},
      {"no manual duplex, no unit",
       {{245, 0}, {308, 2}},
       u"FALSE",
       nullptr,
       0,
       {{983, 0}},
       "",
       false},
  };
  // Once in the store the sub-key stays; no later case reads "TRUE".
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Preset(c.preset);
    store_.SetWord(u"printing/Duplex", c.duplex);
    if (c.scaling != nullptr) store_.SetWord(GAutoDuplexScalingConverter::kScalingKey, c.scaling);
    store_.ClearLog();
    EXPECT_EQ(Apply(u"KVAutoDuplexScaling"), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(!store_.Log().empty(), c.asked);
  }
  // Extract writes the sub-key, whatever the gate.
  SetValue(983, 1);
  EXPECT_EQ(Extract(u"KVAutoDuplexScaling"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"printing/Duplex/KVAutoDuplexScaling=FALSE"});
}

TEST_F(Leaf, OutputBinCodesFollowTheInstalledAccessory) {
  // Placeholder identifiers: A "ACC-A"; B "ACC-B1", "ACC-D", "ACC-B3" (D
  // "ACC-D"); M "ACC-M1", "ACC-M2".
  const struct {
    const char* accessory;  // null: no accessory text in the model
    const char16_t* word;
    int code;
  } cases[] = {
      {nullptr, u"Stacker", 13},
      {"ACC-A", u"Stacker", 15},
      {"ACC-B1", u"Stacker", 4},
      {"ACC-D", u"Stacker", 4},
      {"ACC-X", u"Stacker", 13},
      {"acc-a", u"Stacker", 13},
      {"ACC-D", u"Stacker-Stapled", 9},
      {"ACC-B3", u"Stacker-Stapled", 3},
      {"ACC-A", u"Stacker-Stapled", 14},
      {nullptr, u"Stacker-Stapled", 14},
      {nullptr, u"MainBinFaceDown", 62},
      {"ACC-M1", u"MainBinFaceDown", 62},
      {"ACC-X", u"MainBinFaceDown", 60},
      {"", u"MainBinFaceDown", 60},
      {"ACC-M1", u"MainBinFaceUp", 63},
      {"ACC-A", u"MainBinFaceUp", 61},
      {"ACC-M2", u"UpperBinFaceDown", 66},
      {"ACC-B1", u"UpperBinFaceDown", 64},
      {"ACC-M2", u"UpperBinFaceUp", 67},
      {"ACC-D", u"UpperBinFaceUp", 65},
      {"ACC-A", u"Auto", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.accessory ? c.accessory : "none") + " " + Utf8(c.word));
    Reset();
    if (c.accessory != nullptr) AddAccessory(c.accessory);
    store_.SetWord(u"printing/OutputBin", c.word);
    EXPECT_EQ(Apply(u"OutputBin"), 1u);
    EXPECT_EQ(ValueAt(248), c.code);
    EXPECT_EQ(Entries(Destination()), "248=" + std::to_string(c.code));
  }

  // Without the product's identifiers no accessory is known.
  SetProductData(nullptr);
  Reset();
  AddAccessory("ACC-A");
  store_.SetWord(u"printing/OutputBin", u"Stacker");
  EXPECT_EQ(Apply(u"OutputBin"), 1u);
  EXPECT_EQ(ValueAt(248), 13);
}

TEST_F(Leaf, OutputBinCopiesAnUnmatchedBinAndRecordsItsLock) {
  const struct {
    const char* what;
    const char16_t* word;  // null: not in the store
    const char16_t* lock;  // null: no lock attribute
    std::uint32_t result;
    const char* recorded;
    const char* locks;
  } cases[] = {
      {"matched", u"Left", nullptr, 1, "248=2", ""},
      {"unmatched: a copy of the bin as it was", u"Nowhere", nullptr, 0, "248=1", ""},
      {"locked", u"Left", u"true", 1, "248=2", "0=248"},
      {"locked upper case, unmatched", u"Nowhere", u"TRUE", 0, "248=1", "0=248"},
      {"not a lock", u"Left", u"True", 1, "248=2", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    const std::u16string key = u"printing/OutputBin";
    store_.SetWord(key, c.word);
    store_.SetAttribute(key, u"lock", c.lock != nullptr ? c.lock : u"");
    EXPECT_EQ(Apply(u"OutputBin"), c.result);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Locks(), c.locks);
  }
  // No bin in the model: 0 before the accessory, the copy and the lock.
  Reset();
  Remove(248);
  EXPECT_EQ(Apply(u"OutputBin"), 0u);
  EXPECT_EQ(Entries(Destination()), "");
  EXPECT_EQ(Locks(), "");
}

TEST_F(Leaf, OutputBinLeavesTheKeyToTheHelperWhenItTakesIt) {
  FakeQCFHelper helper;
  library_->SetHelper(&FakeQCFHelper::Entry, this);
  helper.SetAnswer(248, 0, 1);
  helper.SetAnswer(248, 1, 1);
  store_.SetWord(u"printing/OutputBin", u"Left");
  store_.SetAttribute(u"printing/OutputBin", u"lock", u"TRUE");
  store_.ClearLog();
  EXPECT_EQ(Apply(u"OutputBin"), 1u);
  EXPECT_EQ(ValueAt(248), 1);
  EXPECT_EQ(Entries(Destination()), "");
  EXPECT_EQ(Locks(), "0=248");  // the lock is read after either path
  EXPECT_TRUE(store_.Calls("QCFGet").empty());
  EXPECT_EQ(Extract(u"OutputBin"), 1u);
  EXPECT_TRUE(Written().empty());
  ASSERT_EQ(helper.Blocks().size(), 2u);
  for (std::uint32_t direction : {0u, 1u}) {
    const GQCFRequestBlock& block = helper.Blocks()[direction];
    EXPECT_EQ(block.code, 248u);
    EXPECT_EQ(block.third, direction);
    EXPECT_EQ(block.fourth, 0u);
    EXPECT_NE(block.pointer, nullptr);  // the converter
  }

  // A helper that declines leaves the key to the table.
  helper.SetAnswer(248, 0, 0);
  helper.SetAnswer(248, 1, 0);
  EXPECT_EQ(Apply(u"OutputBin"), 1u);
  EXPECT_EQ(ValueAt(248), 2);
  EXPECT_EQ(Extract(u"OutputBin"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"printing/OutputBin=Left"});
}

TEST_F(Leaf, StaplingWithoutTheStaplingAttribute) {
  const struct {
    const char* what;
    const char* accessory;
    Values preset;
    const char16_t* word;  // null: the key is not in the store
    std::uint32_t result;
    Values expect;
    const char* recorded;
  } cases[] = {
      {"stapler chosen, no key", nullptr, {{278, 1}}, nullptr, 1, {{289, 1}}, "289=1"},
      {"stapler not chosen, no key", nullptr, {}, nullptr, 0, {{289, 0}}, ""},
      {"stitching", nullptr, {{289, 5}}, u"Stitching", 1, {{982, 1}, {289, 5}}, "982=1"},
      {"one parallel", nullptr, {}, u"1parallel", 1, {{289, 1}}, "289=1"},
      {"one parallel, stitcher", "ACC-D", {}, u"1parallel", 1, {{289, 8}}, "289=8"},
      {"two parallel, stitcher", "ACC-D", {}, u"2parallel", 1, {{289, 9}}, "289=9"},
      {"two parallel, another of B", "ACC-B1", {}, u"2parallel", 1, {{289, 3}}, "289=3"},
      {"unknown word", nullptr, {{289, 5}}, u"3diagonal", 0, {{289, 5}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Remove(1200);
    if (c.accessory != nullptr) AddAccessory(c.accessory);
    Preset(c.preset);
    const std::u16string key = u"printing/StaplerChoice/Stapling";
    if (c.word != nullptr) store_.SetWord(key, c.word);
    if (c.word == nullptr) store_.ForgetKey(key);
    EXPECT_EQ(Apply(u"Stapling"), c.result);
    ExpectValues(c.expect);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }

  // "Stitching" needs the stitching flag.
  Reset();
  Remove(1200);
  Remove(982);
  store_.SetWord(u"printing/StaplerChoice/Stapling", u"Stitching");
  EXPECT_EQ(Apply(u"Stapling"), 0u);
  EXPECT_EQ(Entries(Destination()), "");

  const struct {
    Values values;
    std::vector<std::string> written;
  } extracts[] = {
      {{{289, 7}, {982, 1}},
       {"printing/StaplerChoice=TRUE", "printing/StaplerChoice/Stapling=Stitching"}},
      {{{289, 7}, {982, 0}}, {"printing/StaplerChoice/Stapling=None"}},
      {{{289, 1}, {982, 1}}, {"printing/StaplerChoice/Stapling=1parallel"}},
      {{{289, 8}}, {"printing/StaplerChoice/Stapling=1parallel"}},
      {{{289, 9}}, {"printing/StaplerChoice/Stapling=2parallel"}},
      {{{289, 6}}, {}},
  };
  for (const auto& e : extracts) {
    Reset();
    Remove(1200);
    Preset(e.values);
    EXPECT_EQ(Extract(u"Stapling"), e.written.empty() ? 0u : 1u);
    EXPECT_EQ(Written(), e.written);
  }
}

TEST_F(Leaf, TheStaplerChoiceNeedsTheStaplerAndThenRunsTheStapling) {
  Remove(1200);
  // Not installed: nothing asked, nothing changed.
  SetValue(311, 0);
  store_.SetWord(u"printing/StaplerChoice", u"TRUE");
  store_.ClearLog();
  EXPECT_EQ(Apply(u"StaplerChoice"), 0u);
  EXPECT_TRUE(store_.Log().empty());
  EXPECT_EQ(ValueAt(278), 0);

  // Installed: the choice (a new attribute), then the stapling without its
  // key staples once.
  SetValue(311, 1);
  EXPECT_EQ(Apply(u"StaplerChoice"), 1u);
  EXPECT_EQ(Entries(Destination()), "278=1 289=1");

  // A stitching job keeps the choice; the stapling sets the flag.
  Reset();
  Remove(1200);
  store_.SetWord(u"printing/StaplerChoice/Stapling", u"Stitching");
  EXPECT_EQ(Apply(u"StaplerChoice"), 0u);
  EXPECT_EQ(ValueAt(278), 0);
  EXPECT_EQ(Entries(Destination()), "982=1");

  SetValue(278, 1);
  SetValue(289, 7);
  EXPECT_EQ(Extract(u"StaplerChoice"), 1u);
  EXPECT_EQ(Written(),
            (std::vector<std::string>{"printing/StaplerChoice=TRUE", "printing/StaplerChoice=TRUE",
                                      "printing/StaplerChoice/Stapling=Stitching"}));
}

TEST_F(Leaf, EveryResolutionWordSetsItsDotsAndModeAndComesBack) {
  for (const GResolutionRow& row : GResolutionConverter::Rows()) {
    SCOPED_TRACE(Utf8(row.word));
    Reset();
    SetValue(323, 0);
    SetValue(324, 0);
    SetValue(325, 0);
    store_.SetWord(u"printing/Resolution", row.word);
    EXPECT_EQ(Apply(u"Resolution"), 1u);
    ExpectValues({{323, row.dots_per_inch}, {324, row.dots_per_inch}, {325, row.mode}});
    EXPECT_EQ(Entries(Destination()), "");
    EXPECT_EQ(Extract(u"Resolution"), 1u);
    // The first word of the same resolution (the suffixed forms come back
    // as the plain word).
    const GResolutionRow* first = GResolutionConverter::Rows().data();
    while (first->dots_per_inch != row.dots_per_inch || first->mode != row.mode)
      ++first;
    const std::string back = Utf8(first->word);
    EXPECT_EQ(Written(), std::vector<std::string>{"printing/Resolution=" + back});
  }
  // By hand: the fast mode, and a word in the wrong case.
  Reset();
  store_.SetWord(u"printing/Resolution", u"FASTRES_1200");
  EXPECT_EQ(Apply(u"Resolution"), 1u);
  ExpectValues({{323, 600}, {324, 600}, {325, 2}});
  store_.SetWord(u"printing/Resolution", u"600DPI");
  EXPECT_EQ(Apply(u"Resolution"), 0u);
  ExpectValues({{323, 600}, {324, 600}, {325, 2}});
}

TEST_F(Leaf, TheRasterizationChoiceIsLookedForInTheDocumentSettingsFirst) {
  store_.SetWord(u"printing/RasterizationChoice", u"RasterizationRaster");
  // Only in 364 (the model's own place).
  EXPECT_EQ(Apply(u"RasterizationChoice"), 1u);
  EXPECT_EQ(ValueOf(FindComposite(Root(), 364), 255), 3);
  // In both: 362's.
  Reset();
  FindComposite(Root(), 362)->AddChild(Value(255, 0));
  EXPECT_EQ(Apply(u"RasterizationChoice"), 1u);
  EXPECT_EQ(ValueOf(FindComposite(Root(), 362), 255), 3);
  EXPECT_EQ(ValueOf(FindComposite(Root(), 364), 255), 0);
  SetValue(255, 1);
  EXPECT_EQ(Extract(u"RasterizationChoice"), 1u);
  EXPECT_EQ(Written(),
            std::vector<std::string>{"printing/RasterizationChoice=RasterizationVector"});
}

TEST_F(Leaf, TextAsBlackNeedsTheDocumentSettings) {
  store_.SetWord(u"printing/TextAsBlack", u"TRUE");
  Remove(kDocumentSettingsKey);
  EXPECT_EQ(Apply(u"TextAsBlack"), 0u);
  EXPECT_EQ(ValueAt(585), 0);
  SetValue(585, 1);
  EXPECT_EQ(Made(u"TextAsBlack")->Extract(Root()), 0u);
  EXPECT_TRUE(store_.Exports().empty());
}

TEST_F(Leaf, ThePostInsertionKitTakesValuesOrTextAndExportsTheAccessoryRecords) {
  const std::u16string long_word(128, u'k');
  const struct {
    const char* what;
    const char16_t* name;
    std::u16string word;
    std::uint32_t result;
    Values values;
    const char* text;  // 1203 afterwards
    const char* recorded;
  } cases[] = {
      {"installed", u"KVPostInsertionKit", u"Kit-1", 1, {{1205, 1}}, "", "1205=1"},
      {"None", u"KVPostInsertionKit", u"None", 1, {{1205, 0}}, "", "1205=0"},
      {"none, as exported", u"KVPostInsertionKit", u"none", 1, {{1205, 0}}, "", "1205=0"},
      {"NONE", u"KVPostInsertionKit", u"NONE", 1, {{1205, 1}}, "", "1205=1"},
      {"a text", u"KVPunchUnitType", u"Unit 2/3", 1, {}, "Unit 2/3", "1203='Unit 2/3'"},
      {"a text of None", u"KVPunchUnitType", u"None", 1, {}, "", "1203=''"},
      {"a text of none", u"KVPunchUnitType", u"none", 1, {}, "", "1203=''"},
      {"127 bytes fit",
       u"KVPunchUnitType",
       std::u16string(127, u'k'),
       1,
       {},
       "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk"
       "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk",
       nullptr},
      {"128 bytes are refused", u"KVPunchUnitType", long_word, 0, {}, "Old", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    FindStringAttribute(Root(), 1203)->SetValue("Old");
    SetValue(1205, 7);
    const std::u16string key = u"physical/" + std::u16string(c.name);
    store_.SetWord(key, c.word);
    EXPECT_EQ(Apply(c.name), c.result);
    ExpectValues(c.values);
    if (!c.values.empty()) continue;
    EXPECT_EQ(std::string(FindStringAttribute(Root(), 1203)->GetValue().Data()), c.text);
    if (c.recorded != nullptr) {
      EXPECT_EQ(Entries(Destination()), c.recorded);
    }
  }

  // Accessory records of the job settings: 228 -> 1208 -> {1207 kind,
  // 1206 name}; every record of the kit's key is written, the last stays.
  GAttributeComposite* job_settings = driver_data_.GetJobSettings();
  job_settings->AddChild(Group(
      228,
      {Group(1208, {Group(0, {Value(1207, 1205), Text(1206, "Kit-A")}),
                    Group(0, {Value(1207, 1203), Text(1206, "Punch-A")}),
                    Group(0, {Value(1207, 1205), Text(1206, "Kit-B")}),
                    Group(0, {Value(1207, 1205), Text(1206, std::string(128, 'x').c_str())})})}));
  const struct {
    const char16_t* name;
    Values values;
    const char* text;
    std::uint32_t result;
    std::vector<std::string> written;
  } extracts[] = {
      {u"KVPostInsertionKit", {{1205, 0}}, "", 1, {"physical/KVPostInsertionKit=none"}},
      {u"KVPostInsertionKit",
       {{1205, 1}},
       "",
       1,
       {"physical/KVPostInsertionKit=Kit-A", "physical/KVPostInsertionKit=Kit-B"}},
      {u"KVPunchUnitType", {}, "", 1, {"physical/KVPunchUnitType=none"}},
      {u"KVPunchUnitType", {}, "Unit 2/3", 1, {"physical/KVPunchUnitType=Unit 2/3"}},
  };
  for (const auto& e : extracts) {
    Reset();
    Preset(e.values);
    FindStringAttribute(Root(), 1203)->SetValue(e.text);
    EXPECT_EQ(Extract(e.name), e.result);
    EXPECT_EQ(Written(), e.written);
  }
  EXPECT_EQ(store_.Word(u"physical/KVPostInsertionKit"), u"Kit-B");

  // A kit with no record of its own writes nothing and answers 0; a value
  // where the punch unit's text was goes the same way.
  Reset();
  Remove(1203);
  FindComposite(Root(), kInstalledOptionsKey)->AddChild(Value(1203, 1));
  delete job_settings->RemoveByKey(228);
  job_settings->AddChild(Group(228, {Group(1208, {Group(0, {Value(1207, 1205)})})}));
  EXPECT_EQ(Extract(u"KVPunchUnitType"), 0u);
  EXPECT_TRUE(Written().empty());
  // A record without a name writes the empty word.
  SetValue(1205, 1);
  EXPECT_EQ(Extract(u"KVPostInsertionKit"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"physical/KVPostInsertionKit="});

  // A name outside the two serves nothing.
  GPostInsertionKitConverter other(library_.get(), u"KVPunchUnit", &driver_data_);
  EXPECT_EQ(other.Apply(Root(), Destination()), 0u);
  EXPECT_EQ(other.Extract(Root()), 0u);
}

TEST_F(Leaf, BundlesSelectTheModelOfTheStoresWordAndExportItsWord) {
  GBundlesConverter bundles(library_.get(), &driver_data_);
  EXPECT_EQ(bundles.RowCount(), 3u);
  // Apply: the model name of the row whose store word matches.
  store_.SetWord(u"physical/Bundles", u"Model-200DN");
  EXPECT_EQ(bundles.Apply(Root(), Destination()), 1u);
  ASSERT_EQ(driver_data_.series_applied.size(), 1u);
  EXPECT_TRUE(driver_data_.series_applied[0].name == u"Model-200 dn");
  EXPECT_EQ(driver_data_.series_applied[0].settings, Root());
  store_.SetWord(u"physical/Bundles", u"model-200dn");
  EXPECT_EQ(bundles.Apply(Root(), Destination()), 0u);
  EXPECT_EQ(driver_data_.series_applied.size(), 1u);
  EXPECT_EQ(Entries(Destination()), "");

  // Extract: bundle number 2 names the second child of 369, "model-300".
  driver_data_.GetJobSettings()->AddChild(
      Group(369, {Group(0, {Value(927, 1), Text(370, "Model-100")}),
                  Group(0, {Value(927, 2), Text(370, "model-300")}),
                  Group(0, {Value(927, 2), Text(370, "Model-100")}),
                  Group(0, {Value(927, 3), Text(370, "Model-999")})}));
  const struct {
    int number;
    std::uint32_t result;
    std::vector<std::string> written;
  } cases[] = {
      {2, 1, {"physical/Bundles=Model-300"}},
      {1, 1, {"physical/Bundles=Model-100"}},
      {3, 0, {}},  // a name no row has
      {4, 0, {}},  // a number no child carries
  };
  for (const auto& c : cases) {
    SetValue(927, static_cast<std::uint16_t>(c.number));
    store_.ClearLog();
    EXPECT_EQ(bundles.Extract(Root()), c.result) << c.number;
    EXPECT_EQ(Written(), c.written);
  }
  // Without the product's rows nothing matches.
  SetProductData(nullptr);
  SetValue(927, 2);
  EXPECT_EQ(bundles.Extract(Root()), 0u);
  EXPECT_EQ(bundles.RowCount(), 0u);
}

TEST_F(Leaf, APhysicalImportAppliesTheBundleFirstAndExportsTheRenamedKeys) {
  store_.SetFeatures(u"physical", {u"PrinterHardDisk", u"BinderUnit", u"CollationUnit"});
  store_.SetWord(u"physical/Bundles", u"Model-100");
  store_.SetWord(u"physical/PrinterHardDisk", u"Installed");
  store_.SetWord(u"physical/BinderUnit", u"Installed");
  store_.SetWord(u"physical/CollationUnit", u"TRUE");
  {
    TestImporter importer(Root(), &driver_data_, u"P1");
    EXPECT_EQ(importer.ImportPhysical(), 1u);
    EXPECT_TRUE(importer.PhysicalChanged());
    EXPECT_EQ(Entries(importer.GetDestination()), "239=1 613=1");
  }
  ASSERT_EQ(driver_data_.series_applied.size(), 1u);
  EXPECT_TRUE(driver_data_.series_applied[0].name == u"Model-100");
  ExpectValues({{239, 1}, {613, 1}, {310, 1}});

  store_.SetFeatures(u"factory/physical", {u"BinderUnit", u"CollationUnit"});
  store_.SetFeatures(u"factory/printing", {u"BinderChoice", u"KVImageShift"});
  SetValue(927, 1);
  driver_data_.GetJobSettings()->AddChild(
      Group(369, {Group(0, {Value(927, 1), Text(370, "Model-200 dn")})}));
  store_.ClearLog();
  TestImporter importer(Root(), &driver_data_, u"P1");
  EXPECT_EQ(importer.ExportFactorySettings(), 1u);
  EXPECT_EQ(Written(), (std::vector<std::string>{
                           "physical/Bundles=Model-200DN",
                           "physical/binderunit=Installed",
                           "physical/CollationUnitSetting=TRUE",
                           "printing/BindChoice=DontBindThisJob",
                           "printing/PunchChoice=NotInstalled",
                       }));
}

TEST_F(Leaf, TheAccessoryIsKeptAsTextAndInstallsWhatItBrings) {
  // The job settings' paper devices (90): two named "ACC-D", the first
  // optional, and one that is not optional.
  auto device = [](const char* name, std::uint32_t optional) {
    return new GPaperHandlingDevice(RWCString(name), 1, optional, 0, 0, 0, 0);
  };
  GCountedPtr devices(Group(90, {device("ACC-S4", 0), device("ACC-D", 1), device("ACC-D", 1)}));
  driver_data_.GetJobSettings()->AddChild(static_cast<GAttribute*>(devices.Get()));
  auto installed = [&]() {
    std::string flags;
    const GCountedPtrVector& children =
        static_cast<GAttributeComposite*>(devices.Get())->Children();
    for (RWSize i = 0; i < children.Count(); ++i)
      flags += std::to_string(static_cast<GPaperHandlingDevice*>(children[i].Get())->IsInstalled());
    return flags;
  };

  const struct {
    const char* what;
    std::u16string word;
    std::uint32_t result;
    const char* text;
    Values flags;  // 311 and 981 (both 0 before)
    const char* devices;
  } cases[] = {
      {"the stitcher", u"ACC-D", 1, "ACC-D", {{311, 1}, {981, 1}}, "110"},
      {"another stapler", u"ACC-S4", 1, "ACC-S4", {{311, 1}, {981, 0}}, "110"},
      {"no stapler", u"ACC-A", 1, "ACC-A", {{311, 0}, {981, 0}}, "110"},
      {"none", u"NotInstalled", 1, "", {{311, 0}, {981, 0}}, "110"},
      {"127 bytes", std::u16string(127, u'a'), 1, nullptr, {{311, 0}}, "110"},
      {"128 bytes are refused", std::u16string(128, u'a'), 0, "Old", {{311, 0}}, "110"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    AddAccessory("Old");
    SetValue(311, 0);
    store_.SetWord(u"physical/AccessoryOutputBins", c.word);
    EXPECT_EQ(Apply(u"AccessoryOutputBins"), c.result);
    const std::string text = FindStringAttribute(Root(), 316)->GetValue().Data();
    EXPECT_EQ(text, c.text != nullptr ? c.text : Utf8(c.word));
    ExpectValues(c.flags);
    EXPECT_EQ(installed(), c.devices);
    EXPECT_EQ(Entries(Destination()), "");
  }

  const struct {
    std::string text;
    std::uint32_t result;
    std::vector<std::string> written;
  } extracts[] = {
      {"", 1, {"physical/AccessoryOutputBins=NotInstalled"}},
      {"ACC-D", 1, {"physical/AccessoryOutputBins=ACC-D"}},
      {std::string(128, 'a'), 0, {}},
  };
  for (const auto& e : extracts) {
    FindStringAttribute(Root(), 316)->SetValue(e.text.c_str());
    EXPECT_EQ(Extract(u"AccessoryOutputBins"), e.result);
    EXPECT_EQ(Written(), e.written);
  }
}

}  // namespace
