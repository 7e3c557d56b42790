// The stored job's name and the job attributes: the character map test,
// the UTF-8 conversion, the upper-casing check, MakeJobName over the
// printer fixture, the pre-printed page, the paper check, the job-storage
// and mapped attributes, and bad input (wrong classes under every key
// read, random maps and names) with the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "driver/render/job_name.h"
#include "fonts/tt_font_reader.h"
#include "output/core/peripheral_composite.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "platform/host/clock.h"
#include "platform/text.h"
#include "tests/support/job_context.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using testing_support::JobContextFixture;

// A format-4 map from its doubled segment count on: 2 segments (count 4,
// search range 4, entry selector 1, range shift 0), ends 007E and FFFF, a
// pad word, starts 0020 and FFFF: printable ASCII and U+FFFF.
const std::vector<std::uint8_t> kAsciiMap = {0x00, 0x04, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00,
                                             0x00, 0x7E, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x20,
                                             0xFF, 0xFF};
// One segment 0000-FFFF would cover everything; this one ends at 00FF.
const std::vector<std::uint8_t> kLatinMap = {0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
                                             0x00, 0xFF, 0x00, 0x00, 0x00, 0x20};
const std::vector<std::uint8_t> kEveryMap = {0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
                                             0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};

RWCString Bytes(const std::vector<std::uint8_t>& bytes) {
  return RWCString(reinterpret_cast<const char*>(bytes.data()), static_cast<RWSize>(bytes.size()));
}

TEST(JobNameCharactersTest, TheMapCoversWhatItsSegmentsCoverAndNothingWhenShort) {
  const RWCString map = Bytes(kAsciiMap);
  for (auto [code, covered] : {std::pair{u'A', true}, {u' ', true}, {u'~', true}, {u'\x7F', false},
                               {u'\x1F', false}, {u'\u00E9', false}, {u'\uFFFF', true}})
    EXPECT_EQ(CmapHasChar(code, map), covered) << int(code);
  EXPECT_FALSE(CmapHasChar(0x10041, map));
  // Cut anywhere before the last start code, the map covers nothing.
  for (std::size_t length = 0; length < kAsciiMap.size(); ++length)
    EXPECT_FALSE(CmapFormat4HasChar(kAsciiMap.data(), length, 'A')) << length;
}

TEST(JobNameCharactersTest, Utf16BecomesUtf8WholeCharactersOnly) {
  struct Case {
    std::u16string source;
    bool strict;
    int answer;
    std::string bytes;
  } cases[] = {
      {u"A\u00E9", true, kUtf8Done, "\x41\xC3\xA9"},
      {u"\u20AC", true, kUtf8Done, "\xE2\x82\xAC"},
      {u"\xD83D\xDE00", true, kUtf8Done, "\xF0\x9F\x98\x80"},
      {u"a\xD800", true, kUtf8Unpaired, "a"},
      {u"\xDC00z", true, kUtf8Unpaired, ""},
      {u"\xD800z", false, kUtf8Done, "\xED\xA0\x80z"},
  };
  for (const Case& c : cases) {
    std::uint8_t bytes[kJobNameUtf8Bytes] = {};
    const char16_t* source = c.source.data();
    std::uint8_t* target = bytes;
    EXPECT_EQ(ConvertUtf16ToUtf8(source, source + c.source.size(), target, bytes + sizeof bytes,
                                 c.strict),
              c.answer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), target - bytes), c.bytes);
  }
  // A target cut at 48 (or 29) bytes takes whole characters only.
  for (auto [unit, count, room, kept] :
       {std::tuple{std::u16string(u"\u20AC"), 17, 48, 48}, {u"\u20AC", 10, 29, 27},
        {u"\xD83D\xDE00", 13, 48, 48}, {u"\xD83D\xDE00", 2, 7, 4}}) {
    std::u16string source;
    for (int i = 0; i < count; ++i)
      source += unit;
    std::vector<std::uint8_t> bytes(room);
    const char16_t* from = source.data();
    std::uint8_t* target = bytes.data();
    EXPECT_EQ(ConvertUtf16ToUtf8(from, from + source.size(), target, bytes.data() + room, true),
              kUtf8TargetFull);
    EXPECT_EQ(target - bytes.data(), kept);
    std::u16string back;
    EXPECT_TRUE(platform::MultiByteToWide(reinterpret_cast<char*>(bytes.data()), kept, back));
  }
  const std::u16string mixed = u"a\u00E9\u20AC\xD83D\xDE00";
  EXPECT_EQ(Utf8Length(mixed.data(), mixed.data() + mixed.size()), 1u + 2 + 3 + 6);
}

TEST(JobNameCharactersTest, SanitizingUpperCasesAndNeedsALetter) {
  struct Case {
    std::u16string name;
    bool passed;
    std::u16string upper;
  } cases[] = {
      {u"report.doc", true, u"REPORT.DOC"},
      {u"REPORT", false, u"REPORT"},
      {u"2024", false, u"2024"},
      {u"say \"hi\"", false, u"SAY \"hi\""},
      {u"caf\u00E9", false, u"CAF\u00E9"},
      {std::u16string(u"a\0b", 3), true, std::u16string(u"A\0B", 3)},
      {u"abcdefghijklmnop\x01", true, u"ABCDEFGHIJKLMNOP\x01"},
  };
  for (const Case& c : cases) {
    RWWString name(c.name.data(), static_cast<RWSize>(c.name.size()));
    EXPECT_EQ(SanitizeJobNameChars(name), c.passed);
    EXPECT_EQ(std::u16string(name.Data(), name.Length()), c.upper);
  }
}

class JobNameTest : public JobContextFixture {
 protected:
  void SetUp() override {
    JobContextFixture::SetUp();
    ASSERT_TRUE(platform::SetFixedClock({2026, 12, 6, 9, 5, 3}));
  }
  std::string NameOf(const std::u16string& document) {
    Job()->SetDocumentName(RWWString(document.data(), static_cast<RWSize>(document.size())));
    const RWCString made = Job()->MakeJobName();
    return std::string(made.Data(), made.Length());
  }
  void UseMap(const std::vector<std::uint8_t>& map) {
    SetValue(Defaults(), 1027, 1);
    delete JobSettings()->RemoveByKey(1026);
    JobSettings()->AddChild(new GStringAttribute(Bytes(map), 1026));
  }
};

TEST_F(JobNameTest, NamesComeFromTheDocumentOrTheTimeStamp) {
  ASSERT_NE(Job(), nullptr);
  const std::string stamp = "20261206090503";
  struct Case {
    std::u16string document;
    std::string name;
  } cases[] = {
      {u"C:\\Docs\\Microsoft Editor - report.doc", "REPORT.DOC"},
      {u"REPORT", stamp},
      {u"", stamp},
      {u"x/y\\notes.txt", "NOTES.TXT"},
      {u"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOP"},
      {u"caf\u00E9", stamp},
      {u"a\xD800" u"b", stamp},
      {u"Microsoft Editor - ", stamp},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NameOf(c.document), c.name);
  // Without a document name, 362 -> 1032 when it is not empty.
  DefaultsPart(362)->AddChild(new GStringAttribute("weekly", 1032));
  DefaultsPart(362)->AddChild(new GStringAttribute("", 1031));
  Job()->SetDocumentName(RWWString());
  Job()->FillJobName();
  EXPECT_EQ(FindStringAttribute(DefaultsPart(362), 1031)->GetValue(), "WEEKLY");
}

TEST_F(JobNameTest, CheckedAgainstThePrinterFontTheNameIsUtf8) {
  ASSERT_NE(Job(), nullptr);
  UseMap(kLatinMap);
  EXPECT_EQ(NameOf(u"caf\u00E9"), "caf\xC3\xA9");
  EXPECT_EQ(Job()->GetWideJobName(), RWWString(u"caf\u00E9"));
  EXPECT_EQ(NameOf(u"\u03A9mega"), "20261206090503");
  std::string sixteen;
  for (int i = 0; i < 16; ++i)
    sixteen += "\xC3\xA9";
  EXPECT_EQ(NameOf(std::u16string(20, u'\u00E9')), sixteen);
  // A pair at the cut is left out whole (the name keeps 15 units).
  UseMap(kEveryMap);
  EXPECT_EQ(NameOf(std::u16string(15, u'a') + u"\xD83D\xDE00"), std::string(15, 'a'));
  EXPECT_EQ(Job()->GetWideJobName().Length(), 15u);
  // Without a map nothing is covered; an empty name is never kept.
  delete JobSettings()->RemoveByKey(1026);
  EXPECT_EQ(NameOf(u"abc"), "20261206090503");
  UseMap(kEveryMap);
  EXPECT_EQ(NameOf(u"Microsoft Editor - "), "20261206090503");
}

GAttributeComposite* Group(std::uint32_t key, std::initializer_list<GAttribute*> children) {
  auto* group = new GAttributeComposite(key);
  for (GAttribute* child : children)
    group->AddChild(child);
  return group;
}

GValueAttribute* V(std::uint32_t key, std::uint16_t value) {
  return new GValueAttribute(value, key);
}

TEST_F(JobNameTest, PreprintedPagesAreMarkedOnlyWhenTheDuplexUnitTakesThem) {
  ASSERT_NE(Job(), nullptr);
  struct Case {
    std::uint16_t group;
    const char* type;
    std::uint16_t paper, rule, duplex;
    bool pending;
  } cases[] = {
      {1, "Preprinted", 1, 0, 0, true},  {1, "Letterhead", 23, 0, 0, true},
      {2, "Preprinted", 1, 0, 0, false}, {1, "Plain", 1, 0, 0, false},
      {1, "Preprinted", 5, 0, 0, false}, {1, "Preprinted", 16385, 0, 0, true},
      {1, "Preprinted", 1, 1, 0, false}, {1, "Preprinted", 1, 0, 1, false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<GAttributeComposite> page(
        Group(256, {Group(329, {V(266, c.group), V(253, c.duplex)}), V(1229, c.rule),
                    new GMedia("M", {100, 100}, {100, 100}, {0, 0}, 0, c.paper, 600, 600, 259, 0,
                               "", c.type)}));
    Job()->MarkPreprintedMedia(page.get());
    EXPECT_EQ(Job()->IsPreprintedPagePending(), c.pending) << c.type << " " << c.paper;
    EXPECT_EQ(ValueOf(page.get(), 253), c.pending ? 2 : c.duplex);
    // The page comes again only while one is pending; nothing is chained.
    EXPECT_EQ(Job()->RepeatPreprintedPage(), 0);
    EXPECT_FALSE(Job()->IsPreprintedPagePending());
  }
}

TEST_F(JobNameTest, PapersThePrinterCannotTakeAreReplacedAndTheLayoutReset) {
  ASSERT_NE(Job(), nullptr);
  // Letter (1) is form 1, usable at 600 dpi; 22, 39 and 44 are no form.
  for (auto [paper, usable, replaced] :
       {std::tuple{1, 1, 0}, {22, 0, 23}, {39, 0, 23}, {44, 0, 43}, {7, 0, 1}}) {
    std::unique_ptr<GAttributeComposite> settings(
        Group(362, {Group(249, {V(323, 600), V(324, 600)}), V(265, 0),
                    V(260, static_cast<std::uint16_t>(paper)), V(272, 0), V(271, 0), V(270, 0),
                    V(266, 4), V(269, 50), V(293, 1), V(279, 2)}));
    EXPECT_EQ(Job()->CheckJobPaper(settings.get()), usable) << paper;
    EXPECT_EQ(ValueOf(settings.get(), 272), replaced);
    const bool reset = usable == 0;
    for (auto [key, before, after] : {std::tuple{271, 0, 1}, {270, 0, 1}, {266, 4, 1},
                                      {269, 50, 100}, {293, 1, 0}, {279, 2, 0}})
      EXPECT_EQ(ValueOf(settings.get(), key), reset ? after : before) << paper << " " << key;
  }
}

TEST_F(JobNameTest, JobStorageAndMappedAttributesReachTheJobComposite) {
  ASSERT_NE(Job(), nullptr);
  for (auto [key, value] : {std::pair{1131, 7}, {975, 1}, {999, 3}})
    SetValue(DefaultsPart(362), key, value);
  std::unique_ptr<GAttributeComposite> job(Group(0, {}));
  Job()->CopyJobStorageAttributes(job.get());
  const std::uint32_t order[] = {975, 999, 1131};
  ASSERT_EQ(job->Children().Count(), 3u);
  for (RWSize i = 0; i < 3; ++i)
    EXPECT_EQ(job->Children()[i]->Key(), order[i]);

  // The printer maps 365 -> 1243's value 5 to 1250 (an association list in
  // the configuration's own settings).
  auto* map = new MAssociationList(1243);
  map->AddChild(new MPersistentAssociation(V(0, 5), V(0, 1250)));
  auto* own = new GConfiguration(198);
  own->AddChild(map);
  auto* job_settings = Group(198, {Group(359, {Group(365, {V(1243, 5)})})});
  auto* configuration =
      new GPeripheralComposite(RWCString("Configuration"), nullptr, own, 353, 0, 0, 0);
  configuration->AddChild(
      new GPeripheralComposite(RWCString("Printer"), nullptr, job_settings, 76, 0, 0, 0));
  GJobDriverData bare(nullptr, u"P", u"D", u"USB001");
  bare.SetConfiguration(configuration);
  auto mapped = [&](GAttributeComposite* composite) {
    std::unique_ptr<GAttributeComposite> owned(composite);
    const int answer = bare.AddMappedJobAttributes(composite);
    std::vector<std::uint32_t> keys;
    for (RWSize i = 0; i < FindComposite(composite, 330)->Children().Count(); ++i)
      keys.push_back(FindComposite(composite, 330)->Children()[i]->Key());
    return std::pair{answer, keys};
  };
  using Keys = std::vector<std::uint32_t>;
  EXPECT_EQ(mapped(Group(0, {V(1244, 1), Group(330, {V(1, 1)}),
                             Group(1250, {V(401, 7), V(402, 8)})})),
            std::pair(1, Keys{401, 402}));
  EXPECT_EQ(mapped(Group(0, {Group(330, {V(1, 1)}), Group(1250, {V(401, 7)})})),
            std::pair(0, Keys{1}));
  // The entry inside the target is copied before the target is emptied.
  EXPECT_EQ(mapped(Group(0, {V(1244, 1), Group(330, {Group(1250, {V(9, 9)})})})),
            std::pair(1, Keys{9}));
}

// Every attribute of `in` keyed one of `keys` becomes an object of another
// class under the same key (a value, a string, a composite holding a
// string, a medium), at random.
void Scramble(MPersistentObject* in, const std::vector<std::uint32_t>& keys, std::mt19937& random) {
  std::unique_ptr<MChildIterator> walk(in->NewChildIterator());
  while (walk && walk->Next()) {
    MPersistentObject* child = walk->Current();
    if (!child) continue;
    if (std::find(keys.begin(), keys.end(), child->Key()) == keys.end()) {
      Scramble(child, keys, random);
      continue;
    }
    const std::uint32_t key = child->Key();
    MPersistentObject* other = nullptr;
    switch ((random() % 4 + (dynamic_cast<GValueAttribute*>(child) ? 1 : 0)) % 4) {
      case 0:
        other = new GValueAttribute(static_cast<std::uint16_t>(random()), key);
        break;
      case 1:
        other = new GStringAttribute("\xFF\x01", key);
        break;
      case 2:
        other = Group(key, {new GStringAttribute("x", key)});
        break;
      default:
        other = new GMedia("M", {-5, 9}, {9, -5}, {0, 0}, 45, 1, 0, 0, key, 0, "", "Preprinted");
        break;
    }
    walk->ReplaceCurrent(other);
  }
}

TEST_F(JobNameTest, WrongClassesUnderEveryKeyReadEndCleanly) {
  const std::vector<std::uint32_t> keys = {
      112,  188,  199,  247,  249,  255,  257,  259,  260,  265,  266,  269,  270,  271,
      272,  276,  279,  291,  292,  293,  296,  308,  310,  323,  324,  329,  330,  362,
      363,  364,  365,  442,  451,  501,  502,  560,  561,  562,  570,  571,  585,  970,
      971,  972,  975,  1026, 1027, 1031, 1032, 1115, 1131, 1229, 1243, 1244};
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    ReleaseJob();
    ASSERT_NE(Job(), nullptr);
    Scramble(JobSettings(), keys, random);
    Scramble(Defaults(), keys, random);
    Job()->ApplyAppFlags(0xFFFFFFFF);
    Job()->PrepareJob();
    for (std::uint8_t mode : {1, 2})
      Job()->SelectGrayConversion(mode);
    std::unique_ptr<GAttributeComposite> job(Job()->BuildJobSettings());
    delete Job()->MakeMedium(16385);
    Job()->NormalizeCopies();
    Job()->SetDocumentName(u"Microsoft Editor - report.doc");
    Job()->FillJobName();
    EXPECT_LE(Job()->GetJobName().Length(), kJobNameUtf8Bytes);
    Job()->MarkPreprintedMedia(Defaults());
    Job()->RepeatPreprintedPage();
    Job()->CheckJobPaper(DefaultsPart(362));
    Job()->CopyJobStorageAttributes(job.get());
    Job()->AddMappedJobAttributes(job.get());
    GMedia medium("M", {10, 20}, {10, 20}, {0, 0}, 0, 16385, 600, 600, 259, 0, "", "");
    Job()->UpdateMediaSize(&medium, 90);
  }
}

TEST_F(JobNameTest, RandomMapsAndNamesKeepTheNamesBounds) {
  ASSERT_NE(Job(), nullptr);
  std::mt19937 random(48);
  for (int round = 0; round < 150; ++round) {
    std::vector<std::uint8_t> map(random() % 41);
    for (std::uint8_t& byte : map)
      byte = static_cast<std::uint8_t>(random());
    UseMap(map);
    SetValue(Defaults(), 1027, static_cast<std::int32_t>(random() % 2));
    std::u16string name(random() % 2001, u'a');
    for (char16_t& unit : name) {
      const std::uint32_t pick = random() % 4;
      unit = static_cast<char16_t>(pick == 0   ? 0xD800 + random() % 0x800
                                   : pick == 1 ? 0x20 + random() % 0x5F
                                               : random() % 0x10000);
    }
    for (char16_t unit : name.substr(0, 40))
      CmapHasChar(unit, Bytes(map));
    const std::string made = NameOf(name);
    EXPECT_LE(made.size(), kJobNameUtf8Bytes);
    EXPECT_LE(Job()->GetWideJobName().Length(), kJobNameCharacters);
    std::u16string back;
    EXPECT_TRUE(platform::MultiByteToWide(made.data(), made.size(), back)) << round;
  }
}

TEST(JobNameCorpus, EveryInputEndsCleanly) {
  EXPECT_GE(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 6);
}

}  // namespace
