// The device-mode record's field mapping both ways, its checks, the
// print-quality tables and the paper-change reset, each against values
// derived by hand from the mapping rules (driver_settings.h).
#include "config/attributes/attribute_composite.h"
#include "config/paper/media_pool.h"
#include "tests/driver/devmode/devmode_testing.h"

namespace {

using namespace devmode_testing;

// Where a test value goes: the model, the job settings, value 339, a field
// of the record (2 bytes, or 4 for the ICM fields at 188 and 192).
enum Place { M, J, C, R };
struct Set {
  Place place;
  std::uint32_t key;  // the field's offset for R
  std::int32_t value;
};

class Mapping : public DevMode {
 protected:
  void SetUp() override {
    DevMode::SetUp();
    // The system's forms where mapping 191 puts them (Letter 1, Tabloid 3,
    // Legal 5, A4 9), user forms between; in micrometres.
    const struct {
      platform::DWORD flags;
      const char16_t* name;
      platform::LONG cx, cy;
    } forms[] = {{1, u"Letter", 215900, 279400}, {0, u"U2", 100000, 150000},
                 {1, u"Tabloid", 279400, 431800}, {0, u"A4 Copy", 210000, 297000},
                 {1, u"Legal", 215900, 355600},   {0, u"Land", 150000, 100000},
                 {0, u"Huge", 500000, 700000},    {1, u"Odd", 1000, 1000},
                 {1, u"A4", 210000, 297000}};
    for (const auto& form : forms)
      platform::AddServerForm(u"", form.flags, form.name, form.cx, form.cy);
  }
  void Apply(std::initializer_list<Set> sets, GAttributeComposite* model, std::uint8_t* record) {
    for (const Set& set : sets) {
      if (set.place == M) Put(model, set.key, set.value);
      if (set.place == J) Put(Job(), set.key, set.value);
      if (set.place == C) SetCachedValue(static_cast<std::uint16_t>(set.value));
      if (set.place == R && (set.key == kDmICMMethod || set.key == kDmICMIntent))
        StoreU32(record, set.key, static_cast<std::uint32_t>(set.value));
      else if (set.place == R)
        StoreU16(record, set.key, static_cast<std::uint16_t>(set.value));
    }
  }
};

TEST_F(Mapping, ModelToRecord) {
  const struct {
    std::initializer_list<Set> sets;
    std::size_t offset;
    std::int32_t field;    // -1: not looked at
    std::uint32_t bit;
    bool set;
  } cases[] = {
      {{{M, 265, 0}}, kDmOrientation, 1, kDmOrientationBit, true},
      {{{M, 265, 90}}, kDmOrientation, 2, kDmOrientationBit, true},
      {{{M, 265, 180}}, kDmOrientation, 1, kDmOrientationBit, true},
      {{{M, 265, 270}}, kDmOrientation, 2, kDmOrientationBit, true},
      {{{R, kDmOrientation, 9}, {M, 265, 45}}, kDmOrientation, 9, kDmOrientationBit, true},
      {{{M, 265, kRemove}}, kDmOrientation, -1, kDmOrientationBit, false},
      {{{M, 260, 23}}, kDmPaperSize, 9, kDmPaperSizeBit, true},  // mapping 191
      {{{M, 260, 16384}}, kDmPaperWidth, 2159, kDmPaperWidthBit, true},
      {{{M, 260, 16384}}, kDmPaperLength, 2794, kDmPaperLengthBit, true},
      {{{M, 260, 1}}, kDmPaperWidth, -1, kDmPaperWidthBit, false},
      {{{M, 291, 5}}, kDmCopies, 5, kDmCopiesBit, true},
      {{{M, 258, 2}}, kDmDefaultSource, 258, kDmDefaultSourceBit, true},  // tray map 84
      {{{M, 258, 7}}, kDmDefaultSource, -1, kDmDefaultSourceBit, false},
      {{{M, 902, 1}}, kDmPrintQuality, 600, kDmPrintQualityBit, true},
      {{{M, 902, kRemove}}, kDmYResolution, 600, kDmYResolutionBit, true},
      {{{M, 902, 0xFFFF}}, kDmYResolution, -1, kDmYResolutionBit, false},  // no table entry
      {{{M, 324, kRemove}}, kDmPrintQuality, -1, kDmPrintQualityBit, false},
      {{{M, 294, 0}}, kDmColor, 2, kDmColorBit, true},
      {{{M, 294, 1}, {M, 296, 1}}, kDmColor, 1, kDmColorBit, true},
      {{{M, 294, 1}, {M, 296, 3}}, kDmColor, 1, kDmColorBit, true},
      {{{M, 294, 1}, {M, 296, 0}}, kDmColor, 2, kDmColorBit, true},
      {{{M, 294, 1}, {M, 296, 1}, {C, 0, 0}}, kDmColor, 1, kDmColorBit, true},
      {{{M, 294, 0}, {C, 0, 2}}, kDmColor, 2, kDmColorBit, false},
      {{{M, 253, 1}, {M, 265, 0}}, kDmDuplex, 3, kDmDuplexBit, true},
      {{{M, 253, 1}, {M, 265, 90}}, kDmDuplex, 2, kDmDuplexBit, true},
      {{{M, 253, 2}, {M, 265, 0}}, kDmDuplex, 2, kDmDuplexBit, true},
      {{{M, 253, 2}, {M, 265, 270}}, kDmDuplex, 3, kDmDuplexBit, true},
      {{{M, 253, 0}}, kDmDuplex, 1, kDmDuplexBit, true},
      {{{J, 231, 1}, {M, 292, 1}}, kDmCollate, 1, kDmCollateBit, true},
      {{{J, 231, 1}, {M, 292, 4}}, kDmCollate, 0, kDmCollateBit, true},
      {{{R, kDmCollate, 1}, {M, 292, 1}}, kDmCollate, 0, kDmCollateBit, false},
      {{{M, 298, 1}, {M, 350, 0}}, kDmICMMethod, 1, kDmICMMethodBit, true},
      {{{M, 298, 1}, {M, 350, 3}}, kDmICMMethod, 2, kDmICMMethodBit, true},
      {{{M, 298, 1}, {M, 350, 4}}, kDmICMMethod, -1, kDmICMMethodBit, false},
      {{{M, 298, 0}}, kDmICMMethod, 1, kDmICMMethodBit, true},
      {{{M, 298, 1}, {M, 350, 1}, {M, 351, kRemove}}, kDmICMIntent, 2, kDmICMIntentBit, false},
      {{{M, 351, 0}}, kDmICMIntent, 2, kDmICMIntentBit, true},
      {{{M, 351, 2}}, kDmICMIntent, 3, kDmICMIntentBit, true},
      {{{M, 351, 3}}, kDmICMIntent, 4, kDmICMIntentBit, true},
      {{{M, 298, 0}, {M, 351, 9}}, kDmICMIntent, -1, kDmICMMethodBit, false},
      {{{R, kDmDefaultSource, 15}, {M, 258, 7}, {M, 260, 23}}, kDmFormName, 'A', kDmFormNameBit,
       true},
      {{{M, 260, 23}}, kDmFormName, -1, kDmFormNameBit, false},  // not the form source
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offset << ", field " << c.field);
    auto settings = Make();
    std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
    std::uint8_t* record = Raw(*settings);
    Apply(c.sets, model.get(), record);
    ASSERT_EQ(settings->PublicFromSettings(model.get(), settings->GetDevMode()), 1);
    const bool wide = c.offset == kDmICMMethod || c.offset == kDmICMIntent;
    if (c.field >= 0) {
      EXPECT_EQ(wide ? std::int32_t(LoadU32(record, c.offset))
                     : std::int32_t(static_cast<std::int16_t>(LoadU16(record, c.offset))),
                c.field);
    }
    EXPECT_EQ((LoadU32(record, kDmFields) & c.bit) != 0, c.set);
    Put(Job(), 231, 0), SetCachedValue(1);
  }
}

TEST_F(Mapping, RecordToModel) {
  const struct {
    std::initializer_list<Set> sets;  // R sets fields whose bits are set
    std::uint32_t bits;
    std::uint32_t key;
    std::int32_t value;
  } cases[] = {
      {{{R, kDmOrientation, 2}}, kDmOrientationBit, 265, 90},
      {{{M, 265, 180}, {R, kDmOrientation, 2}}, kDmOrientationBit, 265, 270},
      {{{M, 265, 270}, {R, kDmOrientation, 1}}, kDmOrientationBit, 265, 180},
      {{{J, 929, 1}, {R, kDmOrientation, 1}}, kDmOrientationBit, 265, 90},
      {{{J, 929, 1}, {R, kDmOrientation, 2}}, kDmOrientationBit, 265, 0},
      {{{M, 265, 90}, {R, kDmOrientation, 2}}, 0, 265, 90},  // bit clear: untouched
      {{{R, kDmPaperSize, 9}}, kDmPaperSizeBit, 260, 23},
      {{{R, kDmCopies, 0}}, kDmCopiesBit, 291, 1},
      {{{R, kDmCopies, -3}}, kDmCopiesBit, 291, 1},
      {{{R, kDmCopies, 7}}, kDmCopiesBit, 291, 7},
      {{{R, kDmDefaultSource, 259}}, kDmDefaultSourceBit, 258, 3},
      {{{M, 260, 16384}, {R, kDmPaperWidth, 100}}, kDmPaperWidthBit, 1260, 762},
      {{{M, 260, 16384}, {R, kDmPaperWidth, 5000}}, kDmPaperWidthBit, 1260, 2159},
      {{{M, 260, 16384}, {R, kDmPaperLength, 2000}}, kDmPaperLengthBit, 1261, 2000},
      {{{M, 260, 16384}, {R, kDmPaperLength, 9000}}, kDmPaperLengthBit, 1261, 3556},
      {{{M, 260, 1}, {R, kDmPaperLength, 2000}}, kDmPaperLengthBit, 1261, 2794},
      {{{R, kDmPrintQuality, 1200}, {R, kDmYResolution, 1200}}, kDmResolutionBits, 323, 1200},
      {{{R, kDmPrintQuality, 300}, {R, kDmYResolution, 300}}, kDmResolutionBits, 324, 600},
      {{{R, kDmPrintQuality, 1200}}, kDmPrintQualityBit, 323, 600},
      {{{M, 294, 1}, {C, 0, 2}, {R, kDmColor, 1}}, kDmColorBit, 296, 3},
      {{{M, 294, 1}, {R, kDmColor, 1}}, kDmColorBit, 296, 1},
      {{{M, 294, 1}, {R, kDmColor, 2}}, kDmColorBit, 296, 0},
      {{{M, 294, 1}, {C, 0, 0}, {R, kDmColor, 2}}, kDmColorBit, 296, 1},
      {{{M, 294, 1}, {C, 0, 2}, {R, kDmColor, 2}}, kDmColorBit, 296, 3},
      {{{M, 296, 5}, {R, kDmColor, 1}}, kDmColorBit, 296, 5},  // 294 is not 1
      {{{M, 265, 90}, {R, kDmDuplex, 2}}, kDmDuplexBit, 253, 1},
      {{{M, 265, 0}, {R, kDmDuplex, 2}}, kDmDuplexBit, 253, 2},
      {{{M, 265, 0}, {R, kDmDuplex, 3}}, kDmDuplexBit, 253, 1},
      {{{M, 265, 270}, {R, kDmDuplex, 3}}, kDmDuplexBit, 253, 2},
      {{{M, 253, 2}, {R, kDmDuplex, 4}}, kDmDuplexBit, 253, 0},
      {{{M, 983, 1}, {M, 713, 0}, {R, kDmDuplex, 2}}, kDmDuplexBit, 713, 1},
      {{{M, 292, 1}, {R, kDmCollate, 1}}, 0, 292, 0},  // the bit clear
      {{{J, 231, 1}, {M, 292, 0}, {R, kDmCollate, 1}}, kDmCollateBit, 292, 1},
      {{{M, 292, 1}, {R, kDmCollate, 1}}, kDmCollateBit, 292, 0},
      {{{M, 292, 1}, {R, kDmCollate, 3}}, kDmCollateBit, 292, 1},
      {{{M, 298, 1}, {M, 350, 5}, {R, kDmICMMethod, 1}}, kDmICMMethodBit, 350, 0},
      {{{M, 298, 1}, {M, 350, 5}, {R, kDmICMMethod, 3}}, kDmICMMethodBit, 350, 1},
      {{{M, 298, 1}, {M, 350, 5}, {R, kDmICMMethod, 9}}, kDmICMMethodBit, 350, 0},
      {{{M, 298, 0}, {M, 350, 5}, {R, kDmICMMethod, 1}}, kDmICMMethodBit, 350, 5},
      {{{M, 298, 1}, {M, 351, 5}, {R, kDmICMIntent, 2}}, kDmICMIntentBit, 351, 0},
      {{{M, 298, 1}, {M, 351, 5}, {R, kDmICMIntent, 4}}, kDmICMIntentBit, 351, 3},
      {{{M, 298, 1}, {M, 351, 5}, {R, kDmICMIntent, 1}}, kDmICMIntentBit, 351, 1},
      {{{M, 260, 3}, {R, kDmDefaultSource, 15}, {R, kDmFormName, 'A'}, {R, kDmFormName + 2, '4'}},
       kDmFormNameBit, 260, 23},
      {{{M, 260, 3}, {R, kDmDefaultSource, 15}, {R, kDmFormName, 'Z'}}, kDmFormNameBit, 260, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << ", value " << c.value);
    auto settings = Make();
    std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
    Bytes record(kDmRecordSize);
    StoreU16(record.data(), kDmSize, kDmPublicSize);
    StoreU32(record.data(), kDmFields, c.bits);
    Apply(c.sets, model.get(), record.data());
    ASSERT_EQ(settings->SettingsFromPublic(reinterpret_cast<platform::DevModeW*>(record.data()),
                                           model.get()),
              1);
    EXPECT_EQ(SignedValueOr(model.get(), c.key, -1), c.value);
    Put(Job(), 929, 0), Put(Job(), 231, 0), SetCachedValue(1);
  }
  // An allowed list without the target: the alternative, else nothing.
  delete Job()->RemoveByKey(205);
  auto* allowed = new GAttributeComposite(205);
  allowed->AddChild(new GValueAttribute(0, 0));
  allowed->AddChild(new GValueAttribute(90, 0));
  Job()->AddChild(allowed);
  auto settings = Make();
  for (auto [angle, orientation, result] : {std::tuple{270, 2, 90}, {180, 1, 0}, {0, 2, 90}}) {
    Put(settings->GetSettings(), 265, angle);
    Bytes record(kDmRecordSize);
    StoreU16(record.data(), kDmSize, kDmPublicSize);
    StoreU32(record.data(), kDmFields, kDmOrientationBit);
    StoreU16(record.data(), kDmOrientation, static_cast<std::uint16_t>(orientation));
    settings->SettingsFromPublic(reinterpret_cast<platform::DevModeW*>(record.data()),
                                 settings->GetSettings());
    EXPECT_EQ(SignedValueOr(settings->GetSettings(), 265, -1), result);
  }
}

TEST_F(Mapping, TheChecksReportEveryOffendingField) {
  const struct {
    std::initializer_list<Set> sets;  // R: fields, whose bits are `bits`
    std::uint32_t bits;
    int check_all;
    int result;
    std::uint32_t mask;
  } cases[] = {
      {{{R, kDmOrientation, 3}, {R, kDmDuplex, 4}}, 0x1001, 1, 0, 0x1001},
      {{{R, kDmOrientation, 3}, {R, kDmDuplex, 4}}, 0x1001, 0, 0, 0x1},
      {{{R, kDmOrientation, 2}, {R, kDmDuplex, 2}}, 0x1001, 1, 1, 0},
      {{{R, kDmSpecVersion, 0x0309}, {R, kDmOrientation, 3}}, 0x1, 1, 0, 0},
      {{{R, kDmSize, 67}, {R, kDmOrientation, 3}}, 0x1, 1, 0, 0},
      {{{R, kDmPrintQuality, 1200}, {R, kDmYResolution, 1200}}, 0x2400, 1, 1, 0},
      {{{R, kDmPrintQuality, 1200}, {R, kDmYResolution, 300}}, 0x2400, 1, 0, 0x2400},
      {{{R, kDmPrintQuality, -3}}, 0x400, 1, 0, 0x400},
      {{{R, kDmPaperWidth, 100}, {R, kDmPaperLength, 5000}}, 0xC, 1, 0, 0xC},
      {{{R, kDmPaperWidth, 800}, {R, kDmPaperLength, 3556}}, 0xC, 1, 1, 0},
      {{{R, kDmPaperSize, 1}}, 0x2, 1, 1, 0},
      {{{R, kDmPaperSize, 3}}, 0x2, 1, 0, 0x2},  // Tabloid, beyond the custom range
      {{{R, kDmDefaultSource, 258}}, 0x200, 1, 1, 0},
      {{{R, kDmDefaultSource, 15}}, 0x200, 1, 0, 0x200},
      {{{R, kDmDefaultSource, 999}}, 0x200, 1, 0, 0x200},
      {{{R, kDmCopies, 0}}, 0x100, 1, 0, 0x100},
      {{{R, kDmCopies, 999}}, 0x100, 1, 1, 0},
      {{{R, kDmColor, 3}}, 0x800, 1, 0, 0x800},
      {{{R, kDmCollate, 1}}, 0x8000, 1, 0, 0x8000},  // 231 is 0
      {{{J, 231, 1}, {R, kDmCollate, 1}}, 0x8000, 1, 1, 0},
      {{{R, kDmSize, 219}, {R, kDmCollate, 1}}, 0x8000, 1, 1, 0},
      {{{R, kDmFormName, 'A'}}, 0x10000, 1, 0, 0x10000},
  };
  auto settings = Make();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << c.mask);
    Bytes record(kDmRecordSize);
    StoreU16(record.data(), kDmSpecVersion, kDmSpecVersionValue);
    StoreU16(record.data(), kDmSize, kDmPublicSize);
    StoreU32(record.data(), kDmFields, c.bits);
    Apply(c.sets, nullptr, record.data());
    std::uint32_t mask = 0xDEAD;
    EXPECT_EQ(settings->ValidatePublic(nullptr, reinterpret_cast<platform::DevModeW*>(record.data()),
                                       c.check_all, mask),
              c.result);
    EXPECT_EQ(mask, c.mask);
    Put(Job(), 231, 0);
  }
  // The default record: the form-name bit is always reported.
  std::uint8_t* record = Raw(*settings);
  StoreU16(record, kDmOrientation, 3), StoreU16(record, kDmDuplex, 4);
  SetFieldBit(record, kDmOrientationBit, true);
  std::uint32_t mask = 0;
  EXPECT_EQ(settings->ValidatePublic(nullptr, settings->GetDevMode(), 1, mask), 0);
  EXPECT_EQ(mask, 0x11001u);
}

TEST_F(Mapping, QualityTablesMapBothWays) {
  // Entries: quality, x, y, 325 and further attributes 220 (a value of the
  // model's 328) and 973 (a string of 362); 1260 as a string never reaches
  // the model's value 1260.
  auto entry = [](std::int16_t quality, std::uint16_t dots, std::uint16_t further,
                  const char* text) {
    auto* e = new GAttributeComposite(0);
    for (auto [key, value] : {std::pair{902u, std::uint16_t(quality)}, {323u, dots}, {324u, dots},
                              {325u, std::uint16_t(quality + 10)}, {220u, further}})
      e->AddChild(new GValueAttribute(value, key));
    e->AddChild(new GStringAttribute(text, 973));
    if (quality == -1) e->AddChild(new GStringAttribute("9", 1260));
    return e;
  };
  auto* table = new GAttributeComposite(903);
  table->AddChild(entry(-1, 300, 0, "Draft"));
  table->AddChild(entry(-2, 600, 1, "Plain"));
  table->AddChild(entry(-3, 600, 2, "Plain"));
  Job()->AddChild(table);
  auto settings = Make();
  GAttributeComposite* model = settings->GetSettings();
  std::uint16_t x = 0, y = 0, third = 0;
  ASSERT_EQ(settings->QualityToResolution(-1, x, y, third, model), 1);
  EXPECT_EQ(std::tuple(x, y, third), std::tuple(300, 300, 9));
  EXPECT_EQ(FindStringAttribute(model, 973)->GetValue(), RWCString("Draft"));
  EXPECT_EQ(SignedValueOr(model, 1260, -1), 2159);
  EXPECT_EQ(settings->QualityToResolution(-9, x, y, third, model), 0);
  std::int16_t quality = 0;
  for (auto [further, text, expected, written] :
       {std::tuple{2, "Plain", -3, 2}, {1, "Plain", -2, 1}, {5, "Plain", -3, 2}, {1, "X", -3, 2}}) {
    Put(model, 220, further);
    FindStringAttribute(model, 973)->SetValue(text);
    ASSERT_EQ(settings->ResolutionToQuality(600, 600, quality, model), 1);
    EXPECT_EQ(quality, expected);
    EXPECT_EQ(SignedValueOr(model, 220, -1), written);  // the last near entry's
  }
  EXPECT_EQ(settings->ResolutionToQuality(1200, 1200, quality, model), 0);
  // Model -> record: a quality of 0 or less writes the table's code alone.
  Put(model, 902, 0xFFFE);
  ASSERT_EQ(settings->PublicFromSettings(model, settings->GetDevMode()), 1);
  EXPECT_EQ(static_cast<std::int16_t>(LoadU16(Raw(*settings), kDmPrintQuality)), -3);
  EXPECT_EQ(LoadU32(Raw(*settings), kDmFields) & kDmResolutionBits, kDmPrintQualityBit);
}

TEST_F(Mapping, ANewPaperResetsItsDependentsFirst) {
  GAttributeComposite* defaults = context_->EnsureDefaultSettings();
  auto settings = Make();
  GAttributeComposite* model = settings->GetSettings();
  Bytes record(kDmRecordSize);
  StoreU16(record.data(), kDmSize, kDmPublicSize);
  StoreU32(record.data(), kDmFields, kDmPaperSizeBit);
  StoreU16(record.data(), kDmPaperSize, 3);  // Tabloid, beyond the custom range
  for (int reset : {0, 1}) {
    Put(defaults, 911, reset);
    for (auto [key, value] : {std::pair{266u, 5}, {269u, 7}, {270u, 0}, {271u, 0}, {272u, 9},
                              {279u, 3}, {293u, 4}, {260u, 1}})
      Put(model, key, value);
    settings->SettingsFromPublic(reinterpret_cast<platform::DevModeW*>(record.data()), model);
    EXPECT_EQ(SignedValueOr(model, 260, -1), 3);
    // Reset: 272 from the paper's normal id (3: 1), 270 and 271
    // set, 266 to 1, 269 to 100, 279 and 293 (no capability) to 0.
    const std::int32_t expected[] = {reset ? 1 : 5, reset ? 100 : 7, reset, reset,
                                     reset ? 1 : 9, reset ? 0 : 3,   reset ? 0 : 4};
    int i = 0;
    for (std::uint32_t key : {266u, 269u, 270u, 271u, 272u, 279u, 293u})
      EXPECT_EQ(SignedValueOr(model, key, -1), expected[i++]) << key;
  }
  // The custom size's limits from media at resolution 0 are 0, never a
  // division by 0.
  context_->GetMediaList()->AddChild(
      new GMedia("Zero", {100, 100}, {100, 100}, {0, 0}, 0, kLargestCustomSizeId, 0, 0, kMediumKey,
                 0, "", ""));
  Put(model, 323, 0), Put(model, 324, 0);
  StoreU32(record.data(), kDmFields, kDmPaperWidthBit);
  StoreU16(record.data(), kDmPaperWidth, 1);
  std::uint32_t mask = 0;
  StoreU16(record.data(), kDmSpecVersion, kDmSpecVersionValue);
  EXPECT_EQ(settings->ValidatePublic(nullptr, reinterpret_cast<platform::DevModeW*>(record.data()),
                                     1, mask),
            0);
  EXPECT_EQ(mask, kDmPaperWidthBit);
}

}  // namespace
