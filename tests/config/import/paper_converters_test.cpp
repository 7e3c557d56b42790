// The paper path's converters: every tray over installed sources and every
// media both ways, the paper size's twins, mapping and marker, the trays
// and media that follow the plain key, locks, the helper, the optional
// sources, scaling from large paper, and the different first page and
// back cover with the converters they run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/import/paper_converters.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "tests/config/import/converter_model.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::FakeFeatureStore;
using testing_support::FakeQCFHelper;
using testing_support::Utf8;

constexpr int kAutomatic = GInputBinConverter::kAutomaticTray;

// A paper source or output device with its parts, each part a composite of
// trays (name, id); the first part is current unless `current` says which.
GPaperHandlingDevice* Device(const char* name, std::uint32_t type, std::uint32_t optional,
                             std::uint32_t installed,
                             std::vector<std::vector<std::pair<std::string, int>>> parts,
                             std::uint16_t current = 1) {
  auto* device = new GPaperHandlingDevice(RWCString(name), type, optional, installed, 1, 0, 0);
  std::uint16_t part_id = 1;
  for (const auto& trays : parts) {
    auto* part = Group(0, {});
    for (const auto& [tray_name, id] : trays) {
      part->AddChild(new GTray(RWCString(tray_name.c_str()), static_cast<std::uint16_t>(id), 82));
    }
    device->SetPart(part_id++, part);
  }
  device->SetCurrentPartId(current);
  return device;
}

class Paper : public ConverterFixture {
 protected:
  GAttributeComposite* JobSettings() { return driver_data_.GetJobSettings(); }
  std::vector<std::string> SelectedKeys() const {
    std::vector<std::string> keys;
    for (const std::string& call : store_.Calls("QCFSetContext"))
      keys.push_back(call.substr(14, call.size() - 15));
    return keys;
  }
  std::string TextAt(std::uint32_t key) {
    GStringAttribute* text = FindStringAttribute(Root(), key);
    return text != nullptr ? text->GetValue().Data() : "(none)";
  }
  std::string Locks() { return Entries(FindComposite(Root(), kLockListKey)); }
};

// Every row of the tray table names a tray of an installed source (its
// current part), found before trays of the same names that an uninstalled
// source, an output device or a part that is not current hold; the trays
// stand in reverse table order, so "Tray 10" comes before "Tray 1", and
// "Tray 2" has a sheet count after its name. Extract gives the word back.
TEST_F(Paper, EveryTrayWordNamesItsInstalledTrayAndComesBack) {
  std::vector<std::pair<std::string, int>> decoys;
  std::vector<std::pair<std::string, int>> first_half;
  std::vector<std::pair<std::string, int>> second_half;
  const auto rows = GInputBinConverter::Rows();
  for (std::size_t i = rows.size(); i-- > 0;) {
    std::string name = rows[i].tray_name;
    if (name == "Tray 2") name += " (500 sheets)";
    decoys.emplace_back(name, 900 + static_cast<int>(i));
    (i >= rows.size() / 2 ? first_half : second_half).emplace_back(name, 100 + static_cast<int>(i));
  }
  JobSettings()->AddChild(Group(90, {Device("Optional", kPaperSource, 1, 0, {decoys}),
                                     Device("Output", kOutputDevice, 0, 1, {decoys}),
                                     Device("Upper", kPaperSource, 0, 1, {decoys, first_half}, 2),
                                     Device("Lower", kPaperSource, 1, 1, {second_half})}));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(Utf8(rows[i].word));
    Reset();
    store_.SetWord(u"printing/InputBin", rows[i].word);
    EXPECT_EQ(Apply(u"InputBin"), 1u);
    const int id = i == 0 ? kAutomatic : 100 + static_cast<int>(i);  // "PrinterSelect"
    EXPECT_EQ(ValueAt(258), id);
    EXPECT_EQ(Extract(u"InputBin"), 1u);
    EXPECT_EQ(Written(), std::vector<std::string>{"printing/InputBin=" + Utf8(rows[i].word)});
  }
}

TEST_F(Paper, InputBinEdges) {
  JobSettings()->AddChild(Group(
      90, {Device("Upper", kPaperSource, 0, 1,
                  {{{"Tray 10", 10}, {"Tray 1x", 11}, {"Tray 1", 1}, {"Tray 3 1500", 31}}})}));
  const struct {
    const char* what;
    const char16_t* word;
    int id;
  } cases[] = {
      {"a whole name, after 'Tray 10' and 'Tray 1x'", u"Tray1", 1},
      {"a name bounded by a blank", u"Tray3", 31},
      {"a word outside the table", u"Tray99", kAutomatic},
      {"a name no tray has", u"Tray5", kAutomatic},
      {"the automatic tray", u"PrinterSelect", kAutomatic},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    SetValue(258, 7);
    store_.SetWord(u"printing/InputBin", c.word);
    EXPECT_EQ(Apply(u"InputBin"), 1u);
    EXPECT_EQ(ValueAt(258), c.id);
  }
  // Extract: a tray whose name no row is, or holds, and an id no tray has.
  const struct {
    int id;
    const char* written;
  } extracts[] = {{11, "PrinterSelect"}, {31, "Tray3"}, {77, "PrinterSelect"}, {10, "Tray10"}};
  for (const auto& e : extracts) {
    SetValue(258, static_cast<std::uint16_t>(e.id));
    EXPECT_EQ(Extract(u"InputBin"), 1u);
    EXPECT_EQ(Written(), std::vector<std::string>{std::string("printing/InputBin=") + e.written});
  }
  EXPECT_TRUE(GInputBinConverter::NamesTray(RWCString("Tray 2-500"), "Tray 2"));
  EXPECT_FALSE(GInputBinConverter::NamesTray(RWCString("Tray 21"), "Tray 2"));
  EXPECT_FALSE(GInputBinConverter::NamesTray(RWCString("XTray 2"), "Tray 2"));
  EXPECT_TRUE(GInputBinConverter::NamesTray(RWCString("Big Tray 2 Tray 2x"), "Tray 2"));
}

// While the first page is the same, the plain key also sets the rest of
// the document's tray and those that follow it; the lock of 258 is
// recorded whatever the selector.
TEST_F(Paper, TheRestFollowsThePlainTrayAndLocksAreRecordedForAnySelector) {
  JobSettings()->AddChild(Group(90, {Device("Upper", kPaperSource, 0, 1, {{{"Tray 1", 1}}})}));
  const struct {
    const char* what;
    std::uint16_t selector;
    int first_page;
    const char16_t* lock;
    const char* recorded;
    const char* locks;
  } cases[] = {
      {"plain, same first page", 0, 0, u"FALSE", "258=1 263=1 921=1 1212=1 1217=1", ""},
      {"plain, different first page", 0, 1, u"true", "258=1", "0=258"},
      {"rest", 1, 0, u"TRUE", "263=1", "0=258"},
      {"back cover", 2, 0, u"True", "921=1", ""},
  };
  const char16_t* keys[] = {u"printing/InputBin", u"printing/UseDiffFirstPageChoice/InputBinRest",
                            u"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverTrayChoice"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    FindComposite(Root(), kDocumentSettingsKey)
        ->AddChild(Group(0, {Value(1212, 0), Value(1217, 0)}));
    SetValue(264, static_cast<std::uint16_t>(c.first_page));
    store_.SetWord(keys[c.selector], u"Tray1");
    store_.SetAttribute(keys[c.selector], u"lock", c.lock);
    GInputBinConverter converter(library_.get(), &driver_data_, c.selector);
    EXPECT_EQ(converter.Apply(Root(), Destination()), 1u);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Locks(), c.locks);
  }
  // Without the attribute, or the key: 0, nothing recorded.
  Reset();
  store_.ForgetKey(keys[0]);
  EXPECT_EQ(Apply(u"InputBin"), 0u);
  delete Root()->RemoveByKey(258);
  store_.SetWord(keys[0], u"Tray1");
  EXPECT_EQ(Apply(u"InputBin"), 0u);
  EXPECT_EQ(Entries(Destination()), "");
}

// Every media word sets its name; extract writes the words of the name in
// turn until the store takes one, so a word whose name an earlier row has
// comes back once the earlier words are refused.
TEST_F(Paper, EveryMediaWordSetsItsNameAndComesBack) {
  const auto rows = GMediaTypeConverter::Rows();
  for (const GMediaRow& row : rows) {
    SCOPED_TRACE(Utf8(row.word));
    Reset();
    store_.SetWord(u"printing/MediaType", row.word);
    EXPECT_EQ(Apply(u"MediaType"), 1u);
    EXPECT_EQ(TextAt(261), row.media_name);
    EXPECT_EQ(Entries(Destination()).substr(0, 4), "261=");

    store_.AcceptOnly(u"printing/MediaType", {row.word});
    std::vector<FakeFeatureStore::Export> expected;
    for (const GMediaRow& earlier : rows) {
      if (std::string(earlier.media_name) != row.media_name) continue;
      const bool taken = std::u16string(earlier.word) == row.word;
      expected.push_back({u"printing/MediaType", earlier.word, taken});
      if (taken) break;
    }
    EXPECT_EQ(Extract(u"MediaType"), 1u);
    EXPECT_EQ(store_.Exports(), expected);
  }
  store_.AcceptOnly(u"printing/MediaType", {});
  // By hand: the twin of "Card Stock", a name of no row.
  FindStringAttribute(Root(), 261)->SetValue("Card Stock");
  EXPECT_EQ(Extract(u"MediaType"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"printing/MediaType=CARDSTOCK_GP"});
  store_.RefuseWord(u"CARDSTOCK_GP");
  EXPECT_EQ(Extract(u"MediaType"), 1u);
  EXPECT_EQ(Written(), (std::vector<std::string>{"printing/MediaType=CARDSTOCK_GP",
                                                 "printing/MediaType=CARDSTOCK"}));
  FindStringAttribute(Root(), 261)->SetValue("Cardboard");
  EXPECT_EQ(Extract(u"MediaType"), 0u);
}

TEST_F(Paper, MediaFollowsThePlainKeyUpdatesItsEntryAndRecordsItsLock) {
  const struct {
    const char* what;
    std::uint16_t selector;
    int first_page;
    const char16_t* word;
    bool recorded_before;
    const char* recorded;
    const char* locks;
  } cases[] = {
      {"plain, same first page", 0, 0, u"GLOSS", false,
       "261='Gloss' 262='Gloss' 973='Gloss' 1213='Gloss'", "0=261"},
      {"plain, an entry recorded before", 0, 1, u"GLOSS", true, "261='Gloss'", "0=261"},
      {"plain, a word outside the table", 0, 0, u"Gloss", false, "", "0=261"},
      {"rest", 1, 0, u"GLOSS", false, "262='Gloss'", "0=261"},
      {"back cover", 2, 0, u"GLOSS", false, "973='Gloss'", "0=261"},
  };
  const char16_t* keys[] = {
      u"printing/MediaType", u"printing/UseDiffFirstPageChoice/MediaTypeRest",
      u"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    FindComposite(Root(), kDocumentSettingsKey)->AddChild(Text(1213, ""));
    SetValue(264, static_cast<std::uint16_t>(c.first_page));
    if (c.recorded_before) Destination()->AddChild(Text(261, "Plain"));
    store_.SetWord(keys[c.selector], c.word);
    store_.SetAttribute(keys[c.selector], u"lock", u"true");
    GMediaTypeConverter converter(library_.get(), c.selector);
    EXPECT_EQ(converter.Apply(Root(), Destination()), 1u);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Locks(), c.locks);
  }

  // The helper's handler: the key's attribute key, apply 0 and extract 1;
  // taken, the store is not read and nothing is written.
  FakeQCFHelper helper;
  library_->SetHelper(&FakeQCFHelper::Entry, this);
  for (std::uint16_t selector = 0; selector < 3; ++selector) {
    const std::uint32_t code = std::vector<std::uint32_t>{261, 262, 973}[selector];
    helper.SetAnswer(code, 0, 1);
    helper.SetAnswer(code, 1, 1);
    Reset();
    store_.ClearLog();
    GMediaTypeConverter converter(library_.get(), selector);
    EXPECT_EQ(converter.Apply(Root(), Destination()), 1u);
    EXPECT_EQ(converter.Extract(Root()), 1u);
    EXPECT_TRUE(store_.Log().empty());
    ASSERT_EQ(helper.Blocks().size(), 2u * (selector + 1));
    EXPECT_EQ(helper.Blocks().back().code, code);
    EXPECT_EQ(helper.Blocks().back().third, 1u);
  }
}

TEST_F(Paper, PaperSizeTwinsMarkerTargetAndMapping) {
  const struct {
    const char* what;
    const char16_t* word;
    int fit;  // 270
    int size;
    int target;
    const char* recorded;
    const char* written;
  } cases[] = {
      {"the ISO B5 twin", u"B5ISO", 0, 56, 56, "260=56 1111=0", "printing/PaperSize=B5"},
      {"the JIS B6 twin", u"B6_JIS", 0, 53, 53, "260=53 1111=0", "printing/PaperSize=JISB6"},
      {"fitting keeps its target", u"A4", 1, 23, 1, "260=23 1111=0", "printing/PaperSize=A4"},
      {"a word in another case", u"a4", 0, 1, 1, "", "printing/PaperSize=LETTER"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    SetValue(270, static_cast<std::uint16_t>(c.fit));
    store_.SetWord(u"printing/PaperSize", c.word);
    EXPECT_EQ(Apply(u"PaperSize"), std::string(c.recorded).empty() ? 0u : 1u);
    EXPECT_EQ(ValueAt(260), c.size);
    EXPECT_EQ(ValueAt(272), c.target);
    EXPECT_EQ(Entries(Destination()), c.recorded);
    EXPECT_EQ(Extract(u"PaperSize"), 1u);
    EXPECT_EQ(Written(), std::vector<std::string>{c.written});
  }

  // Media 0 has a paper code, but no size names a media: nothing changes
  // (asking for media 0 would have turned every size into 9).
  driver_data_.SetPaperCode(0, 9);
  Reset();
  store_.SetWord(u"printing/PaperSize", u"A4");
  EXPECT_EQ(Apply(u"PaperSize"), 1u);
  EXPECT_EQ(ValueAt(260), 23);
  // A size whose media has a paper code takes that code.
  driver_data_.SetMediaId(23, 5);
  driver_data_.SetPaperCode(5, 77);
  EXPECT_EQ(Apply(u"PaperSize"), 1u);
  EXPECT_EQ(ValueAt(260), 77);

  // Custom sizes (above 4000) stay the user's: a model medium of the same
  // size does not stand in for them.
  SetValue(260, 4100);
  driver_data_.SetNormalizedPaperId(4100, 21);
  EXPECT_EQ(Extract(u"PaperSize"), 0u);
}

TEST_F(Paper, OptionalSourcesInstallTheirDeviceAndRefuseWhatDoesNotFit) {
  auto* lower = Device("Lower Cassette", kPaperSource, 1, 0, {});
  auto* upper = Device("Upper", kPaperSource, 1, 0, {});
  JobSettings()->AddChild(Group(90, {upper, lower}));
  const struct {
    const char* what;
    std::u16string word;
    std::uint32_t result;
    std::string text;
  } cases[] = {
      {"none", u"None", 1, ""},
      {"a device", u"Lower Cassette", 1, "Lower Cassette"},
      {"127 bytes", std::u16string(127, u'x'), 1, std::string(127, 'x')},
      {"more than 127 bytes", std::u16string(64, u'\u00e9'), 0, "Old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FindStringAttribute(Root(), 315)->SetValue("Old");
    store_.SetWord(u"physical/OptionalPaperSources", c.word);
    EXPECT_EQ(Apply(u"OptionalPaperSources"), c.result);
    EXPECT_EQ(TextAt(315), c.text);
  }
  EXPECT_EQ(lower->IsInstalled(), 1u);
  EXPECT_EQ(upper->IsInstalled(), 0u);
  EXPECT_EQ(Entries(Destination()), "");

  const struct {
    std::string text;
    std::uint32_t result;
    std::vector<std::string> written;
  } extracts[] = {
      {"", 1, {"physical/OptionalPaperSources=None"}},
      {"Lower Cassette", 1, {"physical/OptionalPaperSources=Lower Cassette"}},
      {std::string(128, 'x'), 0, {}},
  };
  for (const auto& e : extracts) {
    FindStringAttribute(Root(), 315)->SetValue(e.text.c_str());
    EXPECT_EQ(Extract(u"OptionalPaperSources"), e.result);
    EXPECT_EQ(Written(), e.written);
  }
}

TEST_F(Paper, ScalingFromLargePaperIsOnForTrueOnly) {
  const struct {
    const char16_t* word;
    int value;
  } cases[] = {{u"TRUE", 1}, {u"FALSE", 0}, {u"true", 0}, {u"Yes", 0}};
  for (const auto& c : cases) {
    SetValue(915, 5);
    store_.SetWord(u"physical/ScaleFromLargePaper", c.word);
    EXPECT_EQ(Apply(u"ScaleFromLargePaper"), 1u) << Utf8(c.word);
    EXPECT_EQ(ValueAt(915), c.value);
  }
  SetValue(915, 7);
  EXPECT_EQ(Extract(u"ScaleFromLargePaper"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"physical/ScaleFromLargePaper=FALSE"});
}

// A different first page runs the rest's media and tray and the back
// cover; the back cover's alternate source runs its own media and tray.
TEST_F(Paper, ADifferentFirstPageAndItsBackCoverRunTheirConverters) {
  JobSettings()->AddChild(
      Group(90, {Device("Upper", kPaperSource, 0, 1, {{{"Tray 1", 1}, {"Tray 2", 2}}})}));
  const std::u16string prefix = u"printing/UseDiffFirstPageChoice";
  store_.SetWord(prefix + u"/MediaTypeRest", u"BOND");
  store_.SetWord(prefix + u"/InputBinRest", u"Tray2");
  store_.SetWord(prefix + u"/BackCoverChoice/BackCoverMediaTypeSetting", u"TAB");
  store_.SetWord(prefix + u"/BackCoverChoice/BackCoverTrayChoice", u"Tray1");
  const struct {
    const char16_t* choice;
    const char16_t* back_cover;
    std::uint32_t result;
    std::vector<std::string> selected;
    const char* recorded;
  } cases[] = {
      {u"SameFirstPage", u"UseAlternateSource", 1, {"printing/UseDiffFirstPageChoice"}, "264=0"},
      {u"DifferentFirstPage",
       u"UseFirstPage",
       1,
       {"printing/UseDiffFirstPageChoice", "printing/UseDiffFirstPageChoice/MediaTypeRest",
        "printing/UseDiffFirstPageChoice/InputBinRest",
        "printing/UseDiffFirstPageChoice/BackCoverChoice"},
       "264=1 262='Bond' 263=2 920=1"},
      {u"DifferentFirstPage",
       u"UseAlternateSource",
       1,
       {"printing/UseDiffFirstPageChoice", "printing/UseDiffFirstPageChoice/MediaTypeRest",
        "printing/UseDiffFirstPageChoice/InputBinRest",
        "printing/UseDiffFirstPageChoice/BackCoverChoice",
        "printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting",
        "printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverTrayChoice"},
       "264=1 262='Bond' 263=2 920=2 973='Tab' 921=1"},
      // The sub-keys' answers do not change this one's.
      {u"Different", u"UseAlternateSource", 0, {"printing/UseDiffFirstPageChoice"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.choice) + " " + Utf8(c.back_cover));
    Reset();
    store_.SetWord(prefix, c.choice);
    store_.SetWord(prefix + u"/BackCoverChoice", c.back_cover);
    store_.ClearLog();
    EXPECT_EQ(Apply(u"UseDiffFirstPageChoice"), c.result);
    EXPECT_EQ(SelectedKeys(), c.selected);
    EXPECT_EQ(Entries(Destination()), c.recorded);
  }
  // Extract of a different first page with an alternate back cover: the
  // rest's media and tray from 364, then the back cover's from 362 and
  // the root.
  Reset();
  store_.SetWord(prefix, u"DifferentFirstPage");
  ASSERT_EQ(Apply(u"UseDiffFirstPageChoice"), 1u);
  EXPECT_EQ(Extract(u"UseDiffFirstPageChoice"), 1u);
  EXPECT_EQ(Written(), (std::vector<std::string>{
                           "printing/UseDiffFirstPageChoice=DifferentFirstPage",
                           "printing/UseDiffFirstPageChoice/MediaTypeRest=BOND",
                           "printing/UseDiffFirstPageChoice/InputBinRest=Tray2",
                           "printing/UseDiffFirstPageChoice/BackCoverChoice=UseAlternateSource",
                           "printing/UseDiffFirstPageChoice/BackCoverChoice/"
                           "BackCoverMediaTypeSetting=TAB",
                           "printing/UseDiffFirstPageChoice/BackCoverChoice/"
                           "BackCoverTrayChoice=Tray1",
                       }));
  SetValue(264, 0);
  EXPECT_EQ(Extract(u"UseDiffFirstPageChoice"), 1u);
  EXPECT_EQ(Written(), std::vector<std::string>{"printing/UseDiffFirstPageChoice=SameFirstPage"});
}

}  // namespace
