// The stored job's name and the job attributes: the character map test,
// the UTF-8 conversion, MakeJobName (and its upper-casing check) over the
// printer fixture, pre-printed pages, the paper check, job-storage and
// mapped attributes, and bad input (wrong classes under every key read,
// random maps and names) with the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "driver/render/job_name.h"
#include "fonts/tt_font_reader.h"
#include "output/core/peripheral_composite.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "platform/host/clock.h"
#include "platform/text.h"
#include "tests/config/import/import_fixture.h"
#include "tests/support/job_context.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using testing_support::JobContextFixture;

// Format-4 maps from the doubled segment count on (count, search range,
// entry selector, range shift, ends, pad, starts). Two segments 0020-007E
// and FFFF; one segment 0020-00FF; one segment 0000-FFFF.
const std::vector<std::uint8_t> kAsciiMap = {0,    4,    0,    4, 0, 1, 0,    0,    0,
                                             0x7E, 0xFF, 0xFF, 0, 0, 0, 0x20, 0xFF, 0xFF};
const std::vector<std::uint8_t> kLatinMap = {0, 2, 0, 2, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0x20};
const std::vector<std::uint8_t> kEveryMap = {0, 2, 0, 2, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
const char kStamp[] = "20261206090503";

RWCString Bytes(const std::vector<std::uint8_t>& bytes) {
  return RWCString(reinterpret_cast<const char*>(bytes.data()), static_cast<RWSize>(bytes.size()));
}

std::string Repeat(const std::string& piece, int count) {
  std::string all;
  for (int i = 0; i < count; ++i)
    all += piece;
  return all;
}

bool IsUtf8(const std::string& bytes) {
  std::u16string wide;
  return platform::MultiByteToWide(bytes.data(), bytes.size(), wide);
}

TEST(JobNameCharactersTest, TheMapCoversWhatItsSegmentsCoverAndNothingWhenShort) {
  const std::pair<std::uint32_t, bool> codes[] = {{0x41, true},   {0x20, true},    {0x7E, true},
                                                  {0x7F, false},  {0x1F, false},   {0xE9, false},
                                                  {0xFFFF, true}, {0x10041, false}};
  for (auto [code, covered] : codes)
    EXPECT_EQ(CmapHasChar(code, Bytes(kAsciiMap)), covered) << code;
  for (std::size_t length = 0; length < kAsciiMap.size(); ++length)
    EXPECT_FALSE(CmapFormat4HasChar(kAsciiMap.data(), length, 'A')) << length;
}

TEST(JobNameCharactersTest, Utf16BecomesUtf8WholeCharactersOnly) {
  // (units, strict, target bytes, answer, bytes written)
  const std::u16string euros(17, u'\u20AC');
  std::u16string faces;
  for (int i = 0; i < 13; ++i)
    faces += u"\xD83D\xDE00";
  struct Case {
    std::u16string source;
    bool strict;
    std::size_t room;
    int answer;
    std::string bytes;
  } cases[] = {
      {u"A\u00E9", true, 48, kUtf8Done, "\x41\xC3\xA9"},
      {u"\u20AC", true, 48, kUtf8Done, "\xE2\x82\xAC"},
      {u"\xD83D\xDE00", true, 48, kUtf8Done, "\xF0\x9F\x98\x80"},
      {u"a\xD800", true, 48, kUtf8Unpaired, "a"},
      {u"\xDC00z", true, 48, kUtf8Unpaired, ""},
      {u"\xD800z", false, 48, kUtf8Done, "\xED\xA0\x80z"},
      {euros, true, 29, kUtf8TargetFull, Repeat("\xE2\x82\xAC", 9)},
      {faces, true, 48, kUtf8TargetFull, Repeat("\xF0\x9F\x98\x80", 12)},
  };
  for (const Case& c : cases) {
    std::string bytes(c.room, '\0');
    const char16_t* source = c.source.data();
    auto* target = reinterpret_cast<std::uint8_t*>(bytes.data());
    EXPECT_EQ(
        ConvertUtf16ToUtf8(source, source + c.source.size(), target, target + c.room, c.strict),
        c.answer);
    bytes.resize(target - reinterpret_cast<std::uint8_t*>(bytes.data()));
    EXPECT_EQ(bytes, c.bytes);
  }
  const std::u16string mixed = u"a\u00E9\u20AC\xD83D\xDE00";
  EXPECT_EQ(Utf8Length(mixed.data(), mixed.data() + mixed.size()), 1u + 2 + 3 + 6);
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
  const std::pair<std::u16string, std::string> cases[] = {
      {u"C:\\Docs\\Microsoft Editor - report.doc", "REPORT.DOC"},
      {u"REPORT", kStamp},
      {u"", kStamp},
      {u"x/y\\notes.txt", "NOTES.TXT"},
      {u"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOP"},
      {u"caf\u00E9", kStamp},
      {u"say \"hi\"", kStamp},
      {std::u16string(u"a\xD800") + u"b", kStamp},
      {u"Microsoft Editor - ", kStamp}};
  for (const auto& [document, name] : cases)
    EXPECT_EQ(NameOf(document), name);
  // Without a document name, 362 -> 1032 when it is not empty.
  DefaultsPart(362)->AddChild(new GStringAttribute("weekly", 1032));
  DefaultsPart(362)->AddChild(new GStringAttribute("", 1031));
  Job()->SetDocumentName(RWWString());
  Job()->FillJobName();
  EXPECT_EQ(FindStringAttribute(DefaultsPart(362), 1031)->GetValue(), "WEEKLY");
}

TEST_F(JobNameTest, CheckedAgainstThePrinterFontTheNameIsUtf8) {
  UseMap(kLatinMap);
  EXPECT_EQ(NameOf(u"caf\u00E9"), "caf\xC3\xA9");
  EXPECT_EQ(Job()->GetWideJobName(), RWWString(u"caf\u00E9"));
  EXPECT_EQ(NameOf(u"\u03A9mega"), kStamp);
  EXPECT_EQ(NameOf(std::u16string(20, u'\u00E9')), Repeat("\xC3\xA9", 16));
  // A pair at the cut is left out whole (the name keeps 15 units).
  UseMap(kEveryMap);
  EXPECT_EQ(NameOf(std::u16string(15, u'a') + u"\xD83D\xDE00"), std::string(15, 'a'));
  EXPECT_EQ(Job()->GetWideJobName().Length(), 15u);
  // An empty name is never kept; without a map nothing is covered.
  EXPECT_EQ(NameOf(u"Microsoft Editor - "), kStamp);
  delete JobSettings()->RemoveByKey(1026);
  EXPECT_EQ(NameOf(u"abc"), kStamp);
}

using import_test::Group;
constexpr auto V = &import_test::Value;

std::vector<std::uint32_t> KeysOf(GAttributeComposite* in) {
  std::vector<std::uint32_t> keys;
  for (RWSize i = 0; i < in->Children().Count(); ++i)
    keys.push_back(in->Children()[i]->Key());
  return keys;
}

TEST_F(JobNameTest, PreprintedPagesAreMarkedOnlyWhenTheDuplexUnitTakesThem) {
  // (329 -> 266, type, paper, 1229, 329 -> 253, pending); list 188 is {1,
  // 23}, the custom size 16385 (the user form "Custom A") is in range and
  // 16386 names no custom size.
  const std::tuple<int, const char*, int, int, int, bool> cases[] = {
      {1, "Preprinted", 1, 0, 0, true},     {1, "Letterhead", 23, 0, 0, true},
      {2, "Preprinted", 1, 0, 0, false},    {1, "Plain", 1, 0, 0, false},
      {1, "Preprinted", 5, 0, 0, false},    {1, "Preprinted", 16385, 0, 0, true},
      {1, "Preprinted", 1, 1, 0, false},    {1, "Preprinted", 1, 0, 1, false},
      {1, "Preprinted", 16386, 0, 0, false}};
  for (auto [group, type, paper, rule, duplex, pending] : cases) {
    std::unique_ptr<GAttributeComposite> page(Group(
        256, {Group(329, {V(266, group), V(253, duplex)}), V(1229, rule),
              new GMedia("M", {9, 9}, {9, 9}, {0, 0}, 0, paper, 600, 600, 259, 0, "", type)}));
    Job()->MarkPreprintedMedia(page.get());
    EXPECT_EQ(Job()->IsPreprintedPagePending(), pending) << type << " " << paper;
    EXPECT_EQ(ValueOf(page.get(), 253), pending ? 2 : duplex);
    // Repeated once (nothing is chained yet), the flag is cleared.
    EXPECT_EQ(Job()->RepeatPreprintedPage(), 0);
    EXPECT_FALSE(Job()->IsPreprintedPagePending());
  }
}

TEST_F(JobNameTest, PapersThePrinterCannotTakeAreReplacedAndTheLayoutReset) {
  // Letter (1) is form 1 and "Custom A" (16385) form 2, both usable at 600
  // dpi; the others are no form.
  for (auto [paper, usable, replaced] :
       {std::tuple{1, 1, 0}, {16385, 1, 0}, {22, 0, 23}, {39, 0, 23}, {44, 0, 43}, {7, 0, 1}}) {
    std::unique_ptr<GAttributeComposite> settings(
        Group(362, {Group(249, {V(323, 600), V(324, 600)}), V(265, 0),
                    V(260, static_cast<std::uint16_t>(paper)), V(272, 0), V(271, 0), V(270, 0),
                    V(266, 4), V(269, 50), V(293, 1), V(279, 2)}));
    EXPECT_EQ(Job()->CheckJobPaper(settings.get()), usable) << paper;
    std::vector<std::int32_t> words;
    for (std::uint32_t key : {272, 271, 270, 266, 269, 293, 279})
      words.push_back(ValueOf(settings.get(), key));
    EXPECT_EQ(words, usable ? std::vector({0, 0, 0, 4, 50, 1, 2})
                            : std::vector({replaced, 1, 1, 1, 100, 0, 0}));
  }
}

TEST_F(JobNameTest, JobStorageAndMappedAttributesReachTheJobComposite) {
  for (auto [key, value] : {std::pair{1131, 7}, {975, 1}, {999, 3}})
    SetValue(DefaultsPart(362), key, value);
  for (std::uint32_t absent : {1000, 1007, 1008, 1022})  // the fixture holds all seven
    delete DefaultsPart(362)->RemoveByKey(absent);
  std::unique_ptr<GAttributeComposite> job(Group(0, {}));
  Job()->CopyJobStorageAttributes(job.get());
  EXPECT_EQ(KeysOf(job.get()), std::vector<std::uint32_t>({975, 999, 1131}));
  // The configuration's own settings map 365 -> 1243's value 5 to 1250.
  auto* own = new GConfiguration(198);
  own->AddChild(new MAssociationList(1243));
  own->Children()[0]->AddChild(new MPersistentAssociation(V(0, 5), V(0, 1250)));
  auto* configuration = new GPeripheralComposite(RWCString("C"), nullptr, own, 353, 0, 0, 0);
  configuration->AddChild(new GPeripheralComposite(
      RWCString("P"), nullptr, Group(198, {Group(359, {Group(365, {V(1243, 5)})})}), 76, 0, 0, 0));
  GJobDriverData bare(nullptr, u"P", u"D", u"USB001");
  bare.SetConfiguration(configuration);
  // (job composite, answer, the target's keys afterwards); the entry may
  // lie inside the target, which is emptied only after the copy.
  for (auto [made, answer, target] :
       {std::tuple{
            Group(0, {V(1244, 1), Group(330, {V(1, 1)}), Group(1250, {V(401, 7), V(402, 8)})}), 1,
            std::vector<std::uint32_t>{401, 402}},
        {Group(0, {Group(330, {V(1, 1)}), Group(1250, {V(401, 7)})}), 0, {1}},
        {Group(0, {V(1244, 1), Group(330, {Group(1250, {V(9, 9)})})}), 1, {9}}}) {
    std::unique_ptr<GAttributeComposite> composite(made);
    EXPECT_EQ(bare.AddMappedJobAttributes(composite.get()), answer);
    EXPECT_EQ(KeysOf(FindComposite(made, 330)), target);
  }
}

// Every attribute under `in` keyed one of `keys` becomes, at random, an
// object of another class under the same key.
void Scramble(MPersistentObject* in, const std::vector<std::uint32_t>& keys, std::mt19937& random) {
  std::unique_ptr<MChildIterator> walk(in->NewChildIterator());
  while (walk && walk->Next()) {
    MPersistentObject* child = walk->Current();
    if (!child || std::find(keys.begin(), keys.end(), child->Key()) == keys.end()) {
      if (child) Scramble(child, keys, random);
      continue;
    }
    const std::uint32_t key = child->Key();
    const std::uint32_t kind = (random() % 3 + (dynamic_cast<GValueAttribute*>(child) ? 1 : 0)) % 4;
    GAttribute* other = nullptr;
    if (kind == 0) other = V(key, static_cast<std::uint16_t>(random()));
    if (kind == 1) other = new GStringAttribute("\xFF\x01", key);
    if (kind == 2) other = Group(key, {new GStringAttribute("x", key)});
    if (kind == 3) other = new GMedia("M", {-5, 9}, {9, -5}, {0, 0}, 45, 1, 0, 0, key, 0, "", "");
    walk->ReplaceCurrent(other);
  }
}

TEST_F(JobNameTest, WrongClassesUnderEveryKeyReadEndCleanly) {
  const std::vector<std::uint32_t> keys = {
      112, 188, 199, 247,  249,  255,  257,  259,  260,  265,  266, 269, 270, 271,
      272, 276, 279, 291,  292,  293,  296,  308,  310,  323,  324, 329, 330, 362,
      363, 364, 365, 442,  451,  501,  502,  560,  561,  562,  570, 571, 585, 970,
      971, 972, 975, 1026, 1027, 1031, 1032, 1115, 1229, 1243, 1244};
  for (std::uint32_t seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    ReleaseJob();
    Scramble(JobSettings(), keys, random);
    Scramble(Defaults(), keys, random);
    Job()->ApplyAppFlags(0xFFFFFFFF);
    Job()->PrepareJob();
    Job()->SelectGrayConversion(static_cast<std::uint8_t>(1 + seed % 2));
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
  std::mt19937 random(48);
  for (int round = 0; round < 150; ++round) {
    std::vector<std::uint8_t> map(random() % 41);
    for (std::uint8_t& byte : map)
      byte = static_cast<std::uint8_t>(random());
    UseMap(map);
    SetValue(Defaults(), 1027, static_cast<std::int32_t>(random() % 2));
    // Names of 0-2,000 units: lone surrogates, ASCII and anything.
    std::u16string name(random() % 2001, u'a');
    for (char16_t& unit : name) {
      const std::uint32_t pick = random() % 4;
      unit = static_cast<char16_t>(pick == 0   ? 0xD800 + random() % 0x800
                                   : pick == 1 ? 0x20 + random() % 0x5F
                                               : random() % 0x10000);
      CmapHasChar(unit, Bytes(map));
    }
    const std::string made = NameOf(name);
    EXPECT_LE(made.size(), kJobNameUtf8Bytes);
    EXPECT_LE(Job()->GetWideJobName().Length(), kJobNameCharacters);
    EXPECT_TRUE(IsUtf8(made)) << round;
  }
}

TEST(JobNameCorpus, EveryInputEndsCleanly) {
  EXPECT_GE(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 6);
}

}  // namespace
