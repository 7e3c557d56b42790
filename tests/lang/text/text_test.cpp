// The text commands: the stored forms of the text string, the text graphic
// and the download-face command by hand, round trips, re-encoding, the
// code-set tests, escapements from positions, glyph requests, damaged
// stored data and the fuzzing corpus; and every registered class.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fonts/font.h"
#include "fonts/text_escapements.h"
#include "foundation/rw/spacing_steps.h"
#include "lang/text/download_face.h"
#include "lang/text/text_string.h"
#include "output/core/state.h"
#include "tests/output/stored_forms.h"
#include "tests/support/every_class.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using model_testing::kAllMedia;
using output_testing::ExpectStoredForm;
using Codes = std::vector<std::uint16_t>;

// A font implementation that records its glyph requests (a, b).
struct CountingImp : GFontImp {
  explicit CountingImp(std::uint32_t kind_value, GFontDescriptionRecord record = {})
      : GFontImp(0, record, {}), kind(kind_value) {}
  std::uint32_t GetFontKind() const override { return kind; }
  std::uint32_t RequestGlyphs(std::uint32_t a, std::uint32_t b) override {
    requests->push_back({a, b});
    return 1;
  }
  std::uint32_t kind;
  std::vector<std::pair<std::uint32_t, std::uint32_t>>* requests = nullptr;
};

struct CountingMap : GCharCodeMap {
  void NextCode() override { ++next_free_code_; }
};

GTextString Wide(const Codes& codes, std::uint32_t code_set) {
  return GTextString(GCodeBuffer(codes.data(), static_cast<std::uint32_t>(codes.size())),
                     static_cast<std::uint16_t>(codes.size()), kSixteenBitCodes, code_set);
}

Codes CodesOf(const GTextString& text) {
  Codes codes;
  for (std::uint32_t i = 0; i < text.GetLength(); ++i)
    codes.push_back(text.GetCode(i));
  return codes;
}

// Saved and read back equal in every medium, its stored size the file's.
void ExpectRoundTrips(const MPersistentObject& object) {
  for (model_testing::Medium medium : kAllMedia) {
    const std::string bytes = model_testing::Save(&object, medium);
    if (medium == model_testing::Medium::kFile) {
      EXPECT_EQ(bytes.size(), object.GraphStoreSize());
    }
    model_testing::Restored back = model_testing::Restore(bytes, medium);
    EXPECT_TRUE(back.ok && back.object && back.object->IsEqual(&object));
    FreeRestored(back.object);
  }
}

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16: 802 = 22 03, 804 = 24 03, 806 = 26 03); the persistent
// base part (version 1, key 0, serial 0); for the commands, the command
// part (the nil attribute set FF FF 00 00 00 00, version 1) and for the
// graphic its GGraphic version 1; then each class's own part: its version
// 1 and the fields in stored order, nil references as FF FF 00 00 00 00.
TEST(TextCommands, StoredFormsMatchHandDerivedBytes) {
  const std::uint8_t ab[] = {'A', 'B'};
  const Codes a = {'A'};
  GTextString eight(GCodeBuffer(ab, 2), 2, kEightBitCodes, 1);
  GTextString sixteen = Wide(a, 1);
  GTextStringGraphic graphic;
  GDownloadFace face(nullptr, 7);
  const std::string command = "FF FF 00 00 00 00 01 00 00 00 ";
  const std::string nil = "FF FF 00 00 00 00 ";
  const struct {
    MPersistentObject* object;
    std::string id, part;
  } cases[] = {
      {&eight, "22 03", "01 00 00 00 02 00 01 00 00 00 01 00 00 00 41 42"},
      {&sixteen, "22 03", "01 00 00 00 01 00 02 00 00 00 01 00 00 00 41 00"},
      {&graphic, "24 03",
       command + "01 00 00 00 01 00 00 00 " + nil + nil + nil + "00 00 00 00 00 00 00 00 00 00"},
      {&face, "26 03", command + "01 00 00 00 " + nil + "07 00 00 00"},
  };
  for (const auto& c : cases) {
    c.object->ClearSerialNumbers();
    ExpectStoredForm(*c.object,
                     "88 88 00 00 " + c.id + " 01 00 00 00 00 00 00 00 00 00 00 00 " + c.part);
  }
}

TEST(TextCommands, BuiltObjectsRoundTripCopyAndFailCleanlyWhenDamaged) {
  const Codes codes = {0x41, 0x3000, 0xEDE7};
  const GShortPoint points[] = {{0, 5}, {10, 5}, {25, 5}};
  GTextStringGraphic graphic(new GFont, GCodeBuffer(codes.data(), 3), kWideCodeSet, points,
                             0x11223344, new GState(0));
  GDownloadFace face(new GFont, 9);
  EXPECT_EQ(face.AttachFont(new GFont), 1u);  // the font it replaces is freed
  face.SetName(std::string(200, 'x').c_str());
  EXPECT_EQ(std::string(face.GetName()), std::string(kFaceNameLength, 'x'));
  const std::uint8_t bytes[] = {1, 2, 255};
  GTextString eight(GCodeBuffer(bytes, 3), 3, kEightBitCodes, 5);
  for (const MPersistentObject* object :
       std::initializer_list<const MPersistentObject*>{&graphic, &face, &eight}) {
    ExpectRoundTrips(*object);
    std::unique_ptr<RWCollectable> copy(object->CreateCopy());
    EXPECT_TRUE(object->IsEqual(copy.get()));
  }
  // The text value takes no part in equality.
  GTextStringGraphic other(new GFont, GCodeBuffer(codes.data(), 3), kWideCodeSet, points, 1,
                           new GState(0));
  EXPECT_TRUE(graphic.IsEqual(&other));
  output_testing::ExpectDamageFailsCleanly(graphic, 41);
  output_testing::ExpectDamageFailsCleanly(face, 42);
}

TEST(TextCommands, EscapementsComeFromThePositions) {
  struct Case {
    std::vector<GShortPoint> points;
    Codes x, y;  // empty: no table
  } cases[] = {
      {{{0, 5}, {10, 5}, {25, 5}}, {10, 15, 0}, {}},
      {{{3, 0}, {3, -4}}, {}, {0xFFFC, 0}},
      {{{7, 8}}, {}, {}},
      {{{0, 0}, {2, 2}}, {2, 0}, {2, 0}},
  };
  for (const Case& c : cases) {
    const Codes codes(c.points.size(), 'a');
    GTextStringGraphic graphic(nullptr, GCodeBuffer(codes.data(), std::uint32_t(codes.size())), 1,
                               c.points, 0, nullptr);
    const GTextEscapements& escapements = *graphic.GetEscapements();
    auto table = [&](const std::uint16_t* data) {
      return data ? Codes(data, data + escapements.GetCount()) : Codes();
    };
    EXPECT_EQ(table(escapements.GetPrimaryTable()), c.x);
    EXPECT_EQ(table(escapements.GetSecondaryTable()), c.y);
    EXPECT_EQ(graphic.GetStartPoint(), c.points[0]);
    EXPECT_EQ(graphic.GetText()->GetLength(), codes.size());
  }
}

// Re-encoding rules; the code-page converter is null in this library, so
// the converter's rules leave codes and encoding as they came.
TEST(TextCommands, ReEncoding) {
  struct Case {
    Codes codes;
    std::uint32_t encoding, code_set, target;
    std::uint32_t want_encoding;
    Codes want;
  } cases[] = {
      {{'A', 'B'}, 1, 1, 1, 1, {'A', 'B'}},       // the same code set: copied
      {{'A', 'B'}, 1, 1, 5, 1, {0, 0}},           // from code set 1: zeros
      {{'A', 'B'}, 1, 1, 2, 1, {'A', 'B'}},       // 8-bit into the font's set
      {{0x300, 'A'}, 2, 16, 2, 2, {256, 'A'}},    // 16-bit through the map
      {{0x300}, 2, 2, 16, 1, {0}},                // from the font's set: zeros
      {{0x300}, 2, 16, 1, 1, {0}},                // into code set 1: zeros
      {{0x300, 'A'}, 2, 16, 5, 2, {0x300, 'A'}},  // no converter
      {{0x8140}, 2, 17, 16, 2, {0x8140}},         // no converter
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes(c.codes.begin(), c.codes.end());
    GTextString source = c.encoding == 1
                             ? GTextString(GCodeBuffer(bytes.data(), std::uint32_t(bytes.size())),
                                           std::uint16_t(bytes.size()), 1, c.code_set)
                             : Wide(c.codes, c.code_set);
    CountingMap map;
    GTextString encoded(source, c.target, &map);
    EXPECT_EQ(encoded.GetEncoding(), c.want_encoding);
    EXPECT_EQ(encoded.GetCodeSet(), c.target);
    EXPECT_EQ(CodesOf(encoded), c.want);
    EXPECT_TRUE(encoded.OwnsCodes() && encoded.GetCodes() != source.GetCodes());
  }
}

TEST(TextCommands, CodeSetTests) {
  struct UserCase {
    std::uint32_t code_set;
    std::uint16_t code;
    bool user_defined;
  } user_cases[] = {
      {16, 0xEDE7, true},  {16, 0xEDE8, false}, {16, 0xDFFF, false}, {17, 0xF9FC, true},
      {18, 0xAA41, true},  {18, 0xA0FF, false}, {19, 0xA140, true},  {19, 0xA17F, false},
      {19, 0xA7A0, true},  {19, 0xF8FE, true},  {19, 0xA8A1, false}, {20, 0xE000, false},
      {21, 0xFEA1, true},  {22, 0xF040, false}, {23, 0x8DFE, true},  {23, 0x8E3F, false},
      {24, 0xE000, false},
  };
  for (const UserCase& c : user_cases) {
    EXPECT_EQ(ContainsUserDefinedCharacters(Wide({'a', c.code}, c.code_set)), c.user_defined)
        << c.code_set << " " << c.code;
  }
  const std::uint8_t byte = 0xE0;
  EXPECT_FALSE(ContainsUserDefinedCharacters(GTextString(GCodeBuffer(&byte, 1), 1, 1, 16)));
  const std::tuple<std::uint32_t, std::uint8_t, bool> leads[] = {
      {17, 0x9F, true}, {17, 0xA0, false}, {17, 0xE0, true}, {22, 0x83, false},
      {22, 0x84, true}, {16, 0x81, false}, {20, 0xFE, true}, {23, 0x80, false}};
  for (const auto& [code_set, lead, is_lead] : leads)
    EXPECT_EQ(IsLeadByte(code_set, lead), is_lead) << code_set;
  const std::tuple<std::uint32_t, std::uint32_t, bool> sets[] = {
      {1, 1, false},  {2, 0, false}, {3, 0, true},   {12, 0, true},
      {13, 0, false}, {14, 0, true}, {16, 1, false}, {17, 2, false},
      {23, 2, false}, {24, 0, true}, {52, 0, true},  {53, 0, false}};
  for (const auto& [code_set, width, single] : sets) {
    EXPECT_EQ(GetCodeSetWidthClass(code_set), width) << code_set;
    EXPECT_EQ(IsSingleByteCodeSet(code_set), single) << code_set;
  }
}

TEST(TextCommands, GlyphRequestsByTheFontsKind) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> requests;
  for (std::uint32_t kind : {1u, 0u}) {
    const std::uint32_t mode = kind == 1 ? 1 : 2;
    requests.clear();
    auto* imp = new CountingImp(kind);
    imp->requests = &requests;
    const Codes codes = {0x41, 0x300};
    const GShortPoint points[] = {{0, 0}, {1, 0}};
    GTextStringGraphic graphic(new GFont(imp, nullptr), GCodeBuffer(codes.data(), 2), 16, points, 0,
                               nullptr);
    EXPECT_FALSE(graphic.GetText()->OwnsCodes());
    graphic.MakeSelfContained();
    EXPECT_TRUE(graphic.GetText()->OwnsCodes());
    model_testing::Save(&graphic, model_testing::Medium::kFile);    // requests again
    model_testing::Save(&graphic, model_testing::Medium::kBinary);  // no request
    using Requests = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    EXPECT_EQ(requests, (Requests{{mode, 0x41}, {mode, 0x300}, {mode, 0x41}, {mode, 0x300}}));
    requests.clear();
    auto* face_imp = new CountingImp(kind);
    face_imp->requests = &requests;
    GDownloadFace face(new GFont(face_imp, nullptr), 12);
    face.MakeSelfContained();
    model_testing::Save(&face, model_testing::Medium::kPortable);
    EXPECT_EQ(requests, (Requests{{mode, 12}, {mode, 12}}));
  }
}

TEST(TextCommands, ExtraSpacingGoesToBreaksAndCharacters) {
  GFontDescriptionRecord record;
  record.words2[5] = ' ';  // the break character
  GFont font(new CountingImp(0, record), nullptr);
  const std::uint8_t text_bytes[] = {'a', ' ', 'b'};
  const GTextString text(GCodeBuffer(text_bytes, 3), 3, kEightBitCodes, 1);
  std::uint16_t advances[] = {10, 10, 0xFFFE};
  GCharTable table = GCharTable::Borrow(advances, 3);
  EXPECT_EQ(GTextStringGraphic::AddExtraSpacing(nullptr, font, text, table), 18);
  GSpacingSteps spacing({2, 0, 0, 1, 0}, {5, 1, 0, 10, 1}, 1, 0);
  EXPECT_EQ(GTextStringGraphic::AddExtraSpacing(&spacing, font, text, table), 18 + 2 + 5 + 2);
  EXPECT_EQ(advances[1], 10);  // the table made its entries its own first
}

// A stored string whose codes are of no known width, or missing, fails.
TEST(TextCommands, StringsWithoutTheirCodesFail) {
  const std::string head = "88 88 00 00 22 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 ";
  const std::pair<const char*, bool> strings[] = {
      {"01 00 03 00 00 00 01 00 00 00 41", false},  // encoding 3 with one code
      {"00 00 03 00 00 00 01 00 00 00", true},      // encoding 3, no codes
      {"02 00 02 00 00 00 01 00 00 00 41 00", false},
  };
  for (const auto& [body, ok] : strings) {
    model_testing::Restored back = output_testing::RestoreHex(head + body);
    EXPECT_EQ(back.ok, ok) << body;
    FreeRestored(back.object);
  }
}

TEST(TextCommands, EveryRegisteredClassAndTheCorpus) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id : {kGTextStringId, kGTextStringGraphicId, kGDownloadFaceId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end());
  }
  for (const char* name : {"GTextString", "GTextStringGraphic", "GDownloadFace"})
    EXPECT_NE(StringIdToClassId(RWStringID(name)), kRWNoClassId) << name;
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
