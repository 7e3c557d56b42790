// The device-mode record on P1's context (support/fixture_printer.md,
// with nine spooler forms): the stored forms derived by hand, the older
// forms, acceptance and export, the field mapping both ways, the checks,
// the quality tables, the paper-change reset, and damage.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "config/attributes/attribute_composite.h"
#include "config/paper/media_pool.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "foundation/rw/rwstore.h"
#include "output/core/peripheral.h"
#include "persist/persistent_stream.h"
#include "platform/host/spooler.h"
#include "tests/support/printer_fixture.h"

namespace devmode_fuzz {
void Exercise(GDevModeSettings& settings, GDriverContextBase& context, const std::uint8_t* data,
              std::size_t size, platform::HANDLE printer);
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<std::uint8_t>;

// "01 04 18 00" -> those bytes.
Bytes Hex(const char* text) {
  Bytes bytes;
  unsigned value = 0;
  for (int n = 0; std::sscanf(text, "%2x%n", &value, &n) == 1; text += n)
    bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

platform::DevModeW* Dm(const Bytes& bytes) {
  return reinterpret_cast<platform::DevModeW*>(const_cast<std::uint8_t*>(bytes.data()));
}

// A record of version 0x0401 and dmSize 220 with `fields`, zero otherwise.
Bytes Public(std::uint32_t fields) {
  Bytes record(kDmRecordSize);
  StoreU16(record.data(), kDmSpecVersion, kDmSpecVersionValue);
  StoreU16(record.data(), kDmSize, kDmPublicSize);
  StoreU32(record.data(), kDmFields, fields);
  return record;
}

Bytes Inflate(const std::uint8_t* data, std::size_t size) {
  Bytes out(8192);
  uLongf length = out.size();
  EXPECT_EQ(uncompress(out.data(), &length, data, size), Z_OK);
  out.resize(length);
  return out;
}

Bytes Deflate(const Bytes& data) {
  Bytes out(compressBound(data.size()));
  uLongf length = out.size();
  compress2(out.data(), &length, data.data(), data.size(), Z_DEFAULT_COMPRESSION);
  out.resize(length);
  return out;
}

// `record` with `data` as its data area.
Bytes WithData(Bytes record, const Bytes& data) {
  if (!data.empty()) std::memcpy(record.data() + kDmData, data.data(), data.size());
  StoreU16(record.data(), kDmDataLength, static_cast<std::uint16_t>(data.size()));
  return record;
}

void RemoveAll(MPersistentObject* in, std::uint32_t key) {
  auto* composite = dynamic_cast<GAttributeComposite*>(in);
  if (!composite) return;
  while (MPersistentObject* removed = composite->RemoveByKey(key))
    delete removed;
  for (RWSize i = 0; i < composite->Children().Count(); ++i)
    RemoveAll(composite->Children()[i].Get(), key);
}

// A test value of the model, the job settings, value 339 (C) or a field of
// the record (2 bytes; 4 for the ICM fields).
enum Place { M, J, C, R };
struct Set {
  Place place;
  std::uint32_t key;  // the field's offset for R
  std::int32_t value;
};
constexpr std::int32_t kRemove = -100000;

class DevMode : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    ASSERT_NE(context_ = DriverData(), nullptr);
    // The system's forms where mapping 191 puts them (Letter 1, Tabloid 3,
    // Legal 5, A4 9), user forms between; in micrometres.
    const struct {
      platform::DWORD flags;
      const char16_t* name;
      platform::LONG cx, cy;
    } forms[] = {{1, u"Letter", 215900, 279400},  {0, u"U2", 100000, 150000},
                 {1, u"Tabloid", 279400, 431800}, {0, u"A4 Copy", 210000, 297000},
                 {1, u"Legal", 215900, 355600},   {0, u"Land", 150000, 100000},
                 {0, u"Huge", 500000, 700000},    {1, u"Odd", 1000, 1000},
                 {1, u"A4", 210000, 297000}};
    for (const auto& form : forms)
      platform::AddServerForm(u"", form.flags, form.name, form.cx, form.cy);
  }

  std::unique_ptr<GDevModeSettings> Make(platform::HANDLE printer = nullptr) {
    return std::make_unique<GDevModeSettings>(*context_, printer);
  }
  // An object of encoding 1 holding the default model stored.
  std::unique_ptr<GDevModeSettings> Stored() {
    Put(Job(), 940, 1);
    auto settings = Make();
    std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
    EXPECT_EQ(settings->SetSettings(model.get()), 1);
    return settings;
  }
  GAttributeComposite* Job() { return context_->GetJobSettings(); }
  // The first value `key` of `in` set (added when missing; kRemove removes
  // every one).
  static void Put(MPersistentObject* in, std::uint32_t key, std::int32_t value) {
    if (value == kRemove) {
      RemoveAll(in, key);
    } else if (!SetValueIfPresent(in, key, value)) {
      in->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
    }
  }
  void SetCachedValue(std::uint16_t value) {
    auto* configuration = dynamic_cast<GPeripheral*>(context_->GetConfiguration());
    Put(configuration->GetConfiguration(), kColorDeviceKey, value);
    context_->GDriverDataImp::Retarget(GPrinterKey(nullptr, u"P1", u"KV Test", u"USB001", 0));
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
  // Job settings and value 339 back as the fixture has them.
  void Restore() { Put(Job(), 929, 0), Put(Job(), 231, 0), SetCachedValue(1); }
  static std::uint8_t* Raw(GDevModeSettings& settings) {
    return DevModeBytes(settings.GetDevMode());
  }
  static Bytes RecordOf(GDevModeSettings& settings) {
    return Bytes(Raw(settings), Raw(settings) + kDmRecordSize);
  }

  GDriverContext* context_ = nullptr;
};

TEST_F(DevMode, TheDefaultRecordIsWrittenFieldByField) {
  // From the layout: "P1"; version 0x0401, version 24, dmSize 220, extra 952;
  // dmFields DM_COLOR | DM_DUPLEX | DM_FORMNAME; orientation 0 (untouched),
  // Letter (1), scale 100, colour 2, simplex; "Letter"; the private header
  // 1172, 46, "KV Test", context 0, format 4 and 50, no data, capacity 902.
  const Bytes expected =
      Cat({Hex("50 00 31 00"), Bytes(60), Hex("01 04 18 00 DC 00 B8 03 00 18 01 00"),
           Hex("00 00 01 00 00 00 00 00 64 00"), Bytes(6), Hex("02 00 01 00"), Bytes(6),
           Hex("4C 00 65 00 74 00 74 00 65 00 72 00"), Bytes(52), Bytes(54),
           Hex("94 04 2E 00 4B 56 20 54 65 73 74"), Bytes(25), Bytes(6),
           Hex("04 00 32 00 00 00 86 03"), Bytes(902)});
  ASSERT_EQ(expected.size(), kDmRecordSize);
  EXPECT_EQ(RecordOf(*Make()), expected);
  // ICM on (298 = 1): method 350 = 2 -> 3, intent 351 = 0 -> 2, and their
  // bits 0x800000 and 0x1000000.
  Put(Job(), 298, 1), Put(Job(), 350, 2), Put(Job(), 351, 0);
  Bytes icm = expected;
  for (auto [offset, value] : {std::pair{72u, 0x01811800u}, {188u, 3u}, {192u, 2u}})
    StoreU32(icm.data(), offset, value);
  EXPECT_EQ(RecordOf(*Make()), icm);
}

TEST_F(DevMode, TheModelIsStoredAsAPackedFlatRecord) {
  auto settings = Stored();
  std::uint8_t* record = Raw(*settings);
  EXPECT_LE(LoadU16(record, kDmDataLength), kDmDataCapacityValue);
  // The whole model loads back (the parts 365, 366, 368 and 283 come last;
  // a key the model repeats, 362, reads back into its first node).
  std::unique_ptr<GAttributeComposite> loaded(settings->LoadSettings(settings->GetDevMode(), 0));
  ASSERT_NE(loaded, nullptr);
  const GCountedPtrVector& stored = settings->GetSettings()->Children();
  ASSERT_EQ(loaded->Children().Count(), stored.Count());
  for (RWSize i = 0; i < stored.Count(); ++i) {
    MPersistentObject* child = stored[i].Get();
    bool found = FindDirectChild(settings->GetSettings(), child->Key()) != child;
    for (RWSize j = 0; j < stored.Count(); ++j)
      found = found || loaded->Children()[j].Get()->IsEqualContent(child);
    EXPECT_TRUE(found) << child->Key();
  }
  // Too large to pack into 902 bytes: 0, the stored data kept; its own
  // model stored again is copied before the old one goes.
  const Bytes before(record + kDmDataLength, record + kDmRecordSize);
  std::mt19937 random(36);
  std::string noise;
  for (int i = 0; i < 1200; ++i)
    noise += static_cast<char>('!' + random() % 90);
  settings->GetSettings()->AddChild(new GStringAttribute(noise.c_str(), 373));
  EXPECT_EQ(settings->SetSettings(settings->GetSettings()), 0);
  EXPECT_EQ(Bytes(record + kDmDataLength, record + kDmRecordSize), before);
  // One empty composite keyed 5: 20 's', 01 (composite), version 01 00, key
  // 05 00, length 04 00 (2 + 0 + 1 + 1), the end byte; zlib's default level.
  GAttributeComposite empty(5);
  ASSERT_EQ(settings->SetSettings(&empty), 1);
  EXPECT_EQ(Bytes(record + kDmData, record + kDmData + 2), Hex("78 9C"));
  EXPECT_EQ(Inflate(record + kDmData, LoadU16(record, kDmDataLength)),
            Cat({Bytes(20, 's'), Hex("01 01 00 05 00 04 00 00")}));
}

TEST_F(DevMode, OlderFormsAreRebuiltAndMigrated) {
  // The older form: the object graph in portable text, packed with zlib,
  // as a record of encoding 0 stores it.
  auto older = Make();
  std::unique_ptr<GAttributeComposite> model(new GAttributeComposite(360));
  auto* document = new GAttributeComposite(362);
  model->AddChild(document);
  Put(document, 266, 7);
  ASSERT_EQ(older->SetSettings(model.get()), 1);
  Put(Job(), 940, 1);
  auto current = Make();
  ASSERT_EQ(current->MergeDevMode(older->GetDevMode()), 1);
  // Rebuilt on the template; 362's 266 carried over to 329's.
  EXPECT_EQ(SignedValueOr(current->GetSettings()->FindByKey(362), 266, 0), 7);
  EXPECT_EQ(SignedValueOr(current->GetSettings()->FindByKey(329), 266, 0), 7);
  EXPECT_NE(current->GetSettings()->FindByKey(365), nullptr);
  // A stored root that is no attribute composite counts as nothing; so do
  // the oldest form's LZW codes 65, 259, 256 ("AAA") and 256 alone.
  char text[256] = {};
  GPersistentOutputStream out(text, sizeof text, GOSFactory::kPortableTextEncoding);
  GValueAttribute value(1, 2);
  WriteCollectablePointerToStream(*out.VirtualStream(), &value);
  out.VirtualStream()->Flush();
  const Bytes record = RecordOf(*current);
  const Bytes graph = Deflate(Bytes(text, text + out.Tell()));
  EXPECT_EQ(current->LoadSettings(Dm(WithData(record, graph)), kDmLoadOlder), nullptr);
  for (const char* codes : {"20 C0 E0 00", "80 40 00"})
    EXPECT_EQ(current->LoadSettings(Dm(WithData(record, Hex(codes))), kDmLoadOldest), nullptr);
}

TEST_F(DevMode, OnlyThisDriversRecordsAreAccepted) {
  auto settings = Stored();
  const Bytes good = RecordOf(*settings);
  const struct {
    std::size_t offset;
    std::uint16_t value;
    int accepted, loaded, valid;
  } cases[] = {{kDmDriverExtra, 951, 0, 0, 0},    {kDmFormatVersion, 3, 0, 1, 0},
               {kDmSpecVersion, 0x0400, 0, 1, 0}, {kDmSize, 219, 0, 0, 0},
               {kDmDataLength, 903, 0, 0, 1},     {kDmContextWord, 7, 1, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    Bytes record = good;
    StoreU16(record.data(), c.offset, c.value);
    record.resize(LoadU16(record.data(), kDmSize) + LoadU16(record.data(), kDmDriverExtra));
    platform::PrinterInfo2W info{};
    info.dev_mode = record.data();
    ASSERT_EQ(platform::SetPrinterW(context_->GetPrinterHandle(), 2,
                                    reinterpret_cast<platform::BYTE*>(&info), 0),
              1);
    auto accepted = Make(context_->GetPrinterHandle());
    EXPECT_EQ(accepted->IsFromPrinter(), c.accepted);
    EXPECT_EQ(accepted->GetContextWord(), c.accepted ? 7 : 0);
    std::unique_ptr<GAttributeComposite> loaded(accepted->LoadSettings(Dm(record), 0));
    EXPECT_EQ(loaded != nullptr, c.loaded == 1);
    EXPECT_EQ(accepted->IsValidDevMode(Dm(record)), c.valid);
    EXPECT_EQ(accepted->IsSameDevMode(Dm(record)), c.accepted);
  }
  // Exported: every byte, the driver name ended with 0; under the
  // public-part flags only 220 bytes, a canary behind them intact.
  std::fill_n(Raw(*settings) + kDmDriverName, kDmDriverNameBytes, 'X');
  Bytes out(kDmRecordSize, 0xCC);
  ASSERT_EQ(settings->CopyDevModeTo(Dm(out)), 1);
  Bytes expected = RecordOf(*settings);
  expected[kDmDriverName + 31] = 0;
  EXPECT_EQ(out, expected);
  context_->ApplyAppFlags(0x100);
  out.assign(kDmRecordSize, 0xCC);
  ASSERT_EQ(settings->CopyDevModeTo(Dm(out)), 1);
  EXPECT_EQ(LoadU32(out.data(), kDmSize), kDmPublicSize);  // dmDriverExtra 0
  EXPECT_EQ(std::count(out.begin() + kDmPublicSize, out.end(), 0xCC),
            kDmRecordSize - kDmPublicSize);
  // Without a model (no defaults to build one from) nothing is merged.
  RemoveAll(Job(), 359);
  EXPECT_EQ(Make()->MergeDevMode(Dm(good)), 0);
}

TEST_F(DevMode, ModelToRecord) {
  const struct {
    std::initializer_list<Set> sets;
    std::size_t offset;
    std::int32_t field;  // -1: not looked at
    std::uint32_t bit;
    bool set;
  } cases[] = {
      {{{M, 265, 0}}, kDmOrientation, 1, kDmOrientationBit, true},
      {{{M, 265, 90}}, kDmOrientation, 2, kDmOrientationBit, true},
      {{{M, 265, 180}}, kDmOrientation, 1, kDmOrientationBit, true},
      {{{M, 265, 270}}, kDmOrientation, 2, kDmOrientationBit, true},
      {{{J, 929, 1}, {M, 265, 180}}, kDmOrientation, 1, kDmOrientationBit, true},  // not flipped
      {{{J, 929, 1}, {M, 265, 270}}, kDmOrientation, 2, kDmOrientationBit, true},
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
      {{{M, 902, 0xFFFF}}, kDmYResolution, -1, kDmYResolutionBit, false},  // no quality table
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
      {{{M, 351, 3}}, kDmICMIntent, 4, kDmICMIntentBit, true},
      {{{M, 298, 0}, {M, 351, 9}}, kDmICMIntent, -1, kDmICMMethodBit, false},
      {{{R, 88, 15}, {M, 258, 7}, {M, 260, 23}}, kDmFormName, 'A', kDmFormNameBit, true},
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
    Restore();
  }
}

// The custom size's form number (256) is also the number of a 256th form:
// with that many forms, a record of the custom size names no form, where it
// used to name the 256th, which its own check then refused.
TEST_F(DevMode, TheCustomSizeNamesNoFormWhereAFormHasItsNumber) {
  for (int i = 10; i <= 256; ++i) {
    const std::u16string name = u"Form " + std::u16string(1, char16_t(u'A' + i % 26)) +
                                std::u16string(1, char16_t(u'a' + i / 26));
    platform::AddServerForm(u"", 0, name.c_str(), 100000, 150000);
  }
  for (const std::int32_t paper : {16384, 23}) {
    auto settings = Make();
    std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
    std::uint8_t* record = Raw(*settings);
    Apply({{R, kDmDefaultSource, 15}, {M, 260, paper}}, model.get(), record);
    ASSERT_EQ(settings->PublicFromSettings(model.get(), settings->GetDevMode()), 1);
    EXPECT_EQ((LoadU32(record, kDmFields) & kDmFormNameBit) != 0, paper != 16384) << paper;
    Restore();
  }
}

TEST_F(DevMode, RecordToModel) {
  const struct {
    std::initializer_list<Set> sets;  // R sets fields; `bits` their bits
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
      {{{M, 294, 0}, {M, 296, 5}, {R, kDmColor, 1}}, kDmColorBit, 296, 5},  // 294 is not 1
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
      {{{M, 298, 0}, {M, 350, 5}, {R, kDmICMMethod, 1}}, kDmICMMethodBit, 350, 5},
      {{{M, 298, 1}, {M, 351, 5}, {R, kDmICMIntent, 2}}, kDmICMIntentBit, 351, 0},
      {{{M, 298, 1}, {M, 351, 5}, {R, kDmICMIntent, 4}}, kDmICMIntentBit, 351, 3},
      {{{M, 260, 3}, {R, 88, 15}, {R, 102, 'A'}, {R, 104, '4'}}, kDmFormNameBit, 260, 23},
      {{{M, 260, 3}, {R, 88, 15}, {R, 102, 'Z'}}, kDmFormNameBit, 260, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key << ", value " << c.value);
    auto settings = Make();
    std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
    Bytes record = Public(c.bits);
    Apply(c.sets, model.get(), record.data());
    ASSERT_EQ(settings->SettingsFromPublic(Dm(record), model.get()), 1);
    EXPECT_EQ(SignedValueOr(model.get(), c.key, -1), c.value);
    Restore();
  }
  // An allowed list without the target: the alternative, else nothing.
  RemoveAll(Job(), 205);
  auto* allowed = new GAttributeComposite(205);
  allowed->AddChild(new GValueAttribute(0, 0));
  allowed->AddChild(new GValueAttribute(90, 0));
  Job()->AddChild(allowed);
  auto settings = Make();
  for (auto [angle, orientation, result] : {std::tuple{270, 2, 90}, {180, 1, 0}, {0, 2, 90}}) {
    Put(settings->GetSettings(), 265, angle);
    Bytes record = Public(kDmOrientationBit);
    StoreU16(record.data(), kDmOrientation, static_cast<std::uint16_t>(orientation));
    settings->SettingsFromPublic(Dm(record), settings->GetSettings());
    EXPECT_EQ(SignedValueOr(settings->GetSettings(), 265, -1), result);
  }
}

TEST_F(DevMode, TheChecksReportEveryOffendingField) {
  const struct {
    std::initializer_list<Set> sets;  // R sets fields; `bits` their bits
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
      {{{R, kDmSize, 72}, {R, kDmOrientation, 3}}, 0x1, 1, 1, 0},  // no dmFields
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
    Bytes record = Public(c.bits);
    Apply(c.sets, settings->GetSettings(), record.data());
    std::uint32_t mask = 0xDEAD;
    EXPECT_EQ(settings->ValidatePublic(nullptr, Dm(record), c.check_all, mask), c.result);
    EXPECT_EQ(mask, c.mask);
    Restore();
  }
  // The default record, whose form name "Letter" is a form of the printer.
  std::uint8_t* record = Raw(*settings);
  StoreU16(record, kDmOrientation, 3), StoreU16(record, kDmDuplex, 4);
  SetFieldBit(record, kDmOrientationBit, true);
  std::uint32_t mask = 0;
  EXPECT_EQ(settings->ValidatePublic(nullptr, settings->GetDevMode(), 1, mask), 0);
  EXPECT_EQ(mask, 0x1001u);
  // A custom-size limit from a medium at resolution 0 is 0, never a
  // division by 0.
  context_->GetMediaList()->AddChild(new GMedia("Zero", {100, 100}, {100, 100}, {0, 0}, 0,
                                                kLargestCustomSizeId, 0, 0, kModelMediumKey, 0, "",
                                                ""));
  Put(settings->GetSettings(), 323, 0), Put(settings->GetSettings(), 324, 0);
  Bytes wide = Public(kDmPaperWidthBit);
  StoreU16(wide.data(), kDmPaperWidth, 1);
  EXPECT_EQ(settings->ValidatePublic(nullptr, Dm(wide), 1, mask), 0);
  EXPECT_EQ(mask, kDmPaperWidthBit);
}

TEST_F(DevMode, QualityTablesMapBothWays) {
  // Entries: quality, x, y, 325 and further attributes 220 (a value of the
  // model's 328) and 973 (a string of 362); 1260 as a string never reaches
  // the model's value 1260.
  auto* table = new GAttributeComposite(903);
  for (auto [quality, dots, further, text] :
       {std::tuple{-1, 300, 0, "Draft"}, {-2, 600, 1, "Plain"}, {-3, 600, 2, "Plain"}}) {
    auto* entry = new GAttributeComposite(0);
    for (auto [key, value] :
         {std::pair{902, quality}, {323, dots}, {324, dots}, {325, quality + 10}, {220, further}})
      Put(entry, static_cast<std::uint32_t>(key), value);
    entry->AddChild(new GStringAttribute(text, 973));
    if (quality == -1) entry->AddChild(new GStringAttribute("9", 1260));
    table->AddChild(entry);
  }
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
  // A full match, else the last entry that failed only on a further
  // attribute, whose attributes are then written.
  for (auto [further, text, expected, written] :
       {std::tuple{2, "Plain", -3, 2}, {1, "Plain", -2, 1}, {5, "Plain", -3, 2}, {1, "X", -3, 2}}) {
    Put(model, 220, further);
    FindStringAttribute(model, 973)->SetValue(text);
    ASSERT_EQ(settings->ResolutionToQuality(600, 600, quality, model), 1);
    EXPECT_EQ(std::tuple(quality, SignedValueOr(model, 220, -1)), std::tuple(expected, written));
  }
  EXPECT_EQ(settings->ResolutionToQuality(1200, 1200, quality, model), 0);
  // Model -> record: a quality of 0 or less writes the table's code alone.
  Put(model, 902, 0xFFFE);
  ASSERT_EQ(settings->PublicFromSettings(model, settings->GetDevMode()), 1);
  EXPECT_EQ(static_cast<std::int16_t>(LoadU16(Raw(*settings), kDmPrintQuality)), -3);
  EXPECT_EQ(LoadU32(Raw(*settings), kDmFields) & kDmResolutionBits, kDmPrintQualityBit);
}

TEST_F(DevMode, ANewPaperResetsItsDependentsFirst) {
  GAttributeComposite* defaults = context_->EnsureDefaultSettings();
  auto settings = Make();
  GAttributeComposite* model = settings->GetSettings();
  Bytes record = Public(kDmPaperSizeBit);
  StoreU16(record.data(), kDmPaperSize, 3);  // Tabloid, beyond the custom range
  for (int reset : {0, 1}) {
    Put(defaults, 911, reset);
    for (auto [key, value] : {std::pair{266u, 5},
                              {269u, 7},
                              {270u, 0},
                              {271u, 0},
                              {272u, 9},
                              {279u, 3},
                              {293u, 4},
                              {260u, 1}})
      Put(model, key, value);
    settings->SettingsFromPublic(Dm(record), model);
    // Reset: 272 from the paper's normal id (3: 1), 270 and 271 set, 266
    // to 1, 269 to 100, 279 and 293 (no capability) to 0; then 260.
    const std::int32_t expected[] = {reset ? 1 : 5, reset ? 100 : 7, reset,         reset,
                                     reset ? 1 : 9, reset ? 0 : 3,   reset ? 0 : 4, 3};
    int i = 0;
    for (std::uint32_t key : {266u, 269u, 270u, 271u, 272u, 279u, 293u, 260u})
      EXPECT_EQ(SignedValueOr(model, key, -1), expected[i++]) << key;
  }
}

TEST_F(DevMode, DamagedRecordsNeverCrash) {
  auto settings = Stored();
  const Bytes good = RecordOf(*settings);
  const Bytes flat = Inflate(good.data() + kDmData, LoadU16(good.data(), kDmDataLength));
  auto run = [&](const Bytes& record) {
    devmode_fuzz::Exercise(*settings, *context_, record.data(), record.size(),
                           context_->GetPrinterHandle());
  };
  // Cut at every length, its sizes saying so.
  for (std::uint16_t n = 72; n <= kDmRecordSize; ++n) {
    Bytes cut(good.begin(), good.begin() + n);
    StoreU16(cut.data(), kDmSize, std::min<std::uint16_t>(n, kDmPublicSize));
    StoreU16(cut.data(), kDmDriverExtra, n - std::min<std::uint16_t>(n, kDmPublicSize));
    run(cut);
  }
  // Seeded damage of the header and sizes, the public fields, the private
  // header; the data replaced by a damaged flat record packed, or by random
  // (LZW) bytes.
  std::mt19937 random(3600);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::size_t zones[3][3] = {{64, 12, 3}, {72, 148, 6}, {220, 50, 2}};
  for (int i = 0; i < 10000; ++i) {
    Bytes record = good;
    Bytes data = i % 5 == 3 ? flat : Bytes(1 + pick(kDmDataCapacityValue));
    for (auto& byte : data)
      byte = i % 5 == 3 && pick(400) ? byte : static_cast<std::uint8_t>(random());
    if (i % 5 < 3) {
      for (std::size_t k = 0; k < zones[i % 5][2]; ++k)
        record[zones[i % 5][0] + pick(zones[i % 5][1])] = static_cast<std::uint8_t>(random());
    } else if (const Bytes packed = i % 5 == 3 ? Deflate(data) : data;
               packed.size() <= kDmDataCapacityValue) {
      record = WithData(record, packed);
    }
    run(record);
  }
}

TEST_F(DevMode, TheFuzzCorpusReplaysCleanly) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
