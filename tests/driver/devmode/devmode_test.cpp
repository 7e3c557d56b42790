// The device-mode record on P1's context (tests/support/printer_fixture.md):
// the stored forms derived by hand, the record's acceptance, its damage,
// and (mapping_cases.cpp) the field mapping, checks and quality tables.
#include "tests/driver/devmode/devmode_testing.h"

#include <zlib.h>

#include <random>

#include "config/attributes/attribute_composite.h"
#include "foundation/rw/memorystream.h"
#include "foundation/rw/rwstore.h"
#include "persist/codec/lzw_compressor.h"
#include "persist/persistent_stream.h"

namespace devmode_fuzz {
void Exercise(GDevModeSettings& settings, GDriverContextBase& context, const std::uint8_t* data,
              std::size_t size, platform::HANDLE printer);
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace devmode_testing {

Bytes Hex(const char* text) {
  Bytes bytes;
  for (const char* at = text; *at;) {
    if (*at == ' ') {
      ++at;
      continue;
    }
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(at, 2), nullptr, 16)));
    at += 2;
  }
  return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

void DevMode::SetUp() {
  PrinterFixture::SetUp();
  ASSERT_NE(context_ = DriverData(), nullptr);
}

// Removes every descendant of `in` keyed `key`.
static void RemoveAll(MPersistentObject* in, std::uint32_t key) {
  auto* composite = dynamic_cast<GAttributeComposite*>(in);
  if (!composite) return;
  while (MPersistentObject* removed = composite->RemoveByKey(key)) delete removed;
  for (RWSize i = 0; i < composite->Children().Count(); ++i)
    RemoveAll(composite->Children()[i].Get(), key);
}

void DevMode::Put(MPersistentObject* in, std::uint32_t key, std::int32_t value) {
  if (value == kRemove) {
    RemoveAll(in, key);
  } else if (!SetValueIfPresent(in, key, value)) {
    in->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  }
}

void DevMode::SetCachedValue(std::uint16_t value) {
  auto* configuration = dynamic_cast<GPeripheral*>(context_->GetConfiguration());
  Put(configuration->GetConfiguration(), kCachedValueKey, value);
  context_->GDriverDataImp::Retarget(GPrinterKey(nullptr, u"P1", u"KV Test", u"USB001", 0));
}

}  // namespace devmode_testing

namespace {

using namespace devmode_testing;

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

// `record` with its data area replaced by `data`.
Bytes WithData(Bytes record, const Bytes& data) {
  std::copy(data.begin(), data.end(), record.begin() + kDmData);
  StoreU16(record.data(), kDmDataLength, static_cast<std::uint16_t>(data.size()));
  return record;
}

TEST_F(DevMode, TheDefaultRecordIsWrittenFieldByField) {
  // From the layout: "P1"; spec 0x0401, version 24, dmSize 220, extra 952;
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
  Put(Job(), 940, 1);
  auto settings = Make();
  std::uint8_t* record = Raw(*settings);
  // One empty composite keyed 5: 20 's', 01 (composite), version 01 00, key
  // 05 00, length 04 00 (2 + 0 + 1 + 1), the end byte; zlib's default level.
  GAttributeComposite empty(5);
  ASSERT_EQ(settings->SetSettings(&empty), 1);
  EXPECT_EQ(record[kDmData], 0x78);
  EXPECT_EQ(record[kDmData + 1], 0x9C);
  EXPECT_EQ(Inflate(record + kDmData, LoadU16(record, kDmDataLength)),
            Cat({Bytes(20, 's'), Hex("01 01 00 05 00 04 00 00")}));
  // A whole model loads back equal.
  std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
  ASSERT_EQ(settings->SetSettings(model.get()), 1);
  EXPECT_LE(LoadU16(record, kDmDataLength), kDmDataCapacityValue);
  std::unique_ptr<GAttributeComposite> loaded(settings->LoadSettings(settings->GetDevMode(), 0));
  ASSERT_NE(loaded, nullptr);
  const GCountedPtrVector& stored = settings->GetSettings()->Children();
  ASSERT_EQ(loaded->Children().Count(), stored.Count());
  for (RWSize i = 0; i < stored.Count(); ++i) {  // the parts 365, 366, 368, 283 come last
    // A key the model repeats (362) reads back into its first node.
    if (FindDirectChild(settings->GetSettings(), stored[i].Get()->Key()) != stored[i].Get()) continue;
    bool found = false;
    for (RWSize j = 0; j < stored.Count(); ++j)
      found = found || loaded->Children()[j].Get()->IsEqualContent(stored[i].Get());
    EXPECT_TRUE(found) << stored[i].Get()->Key();
  }
  // Too large to pack into 902 bytes: 0, the stored data kept.
  const Bytes before(record + kDmDataLength, record + kDmRecordSize);
  std::mt19937 random(36);
  std::string noise;
  for (int i = 0; i < 1200; ++i) noise += static_cast<char>('!' + random() % 90);
  model->AddChild(new GStringAttribute(noise.c_str(), 373));
  EXPECT_EQ(settings->SetSettings(model.get()), 0);
  EXPECT_EQ(Bytes(record + kDmDataLength, record + kDmRecordSize), before);
  // Its own model, stored again: copied before the old one goes.
  EXPECT_EQ(settings->SetSettings(settings->GetSettings()), 0);
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

  // A stored root that is no attribute composite counts as nothing.
  char text[256] = {};
  GPersistentOutputStream out(text, sizeof text, GOSFactory::kPortableTextEncoding);
  GValueAttribute value(1, 2);
  WriteCollectablePointerToStream(*out.VirtualStream(), &value);
  out.VirtualStream()->Flush();
  const Bytes graph(text, text + out.Tell());
  const Bytes record = RecordOf(*current);
  const Bytes wrong = WithData(record, Deflate(graph));
  EXPECT_EQ(current->LoadSettings(reinterpret_cast<const platform::DevModeW*>(wrong.data()),
                                  kDmLoadOlder),
            nullptr);

  // The oldest form, LZW: 9-bit codes 65, 259, 256 give "AAA", 256 alone
  // nothing; neither is a model.
  for (auto [packed, expanded] : {std::pair{"20 C0 E0 00", "AAA"}, {"80 40 00", ""}}) {
    const Bytes data = Hex(packed);
    RWMemoryInputStream in(data.data(), data.size());
    char block[16] = {};
    RWMemoryOutputStream expand(block, sizeof block);
    EXPECT_EQ(GLZWCompressor().Expand(in, expand), 1);
    EXPECT_EQ(std::string(block, expand.BytesWritten()), expanded);
    const Bytes oldest = WithData(record, data);
    EXPECT_EQ(current->LoadSettings(reinterpret_cast<const platform::DevModeW*>(oldest.data()),
                                    kDmLoadOldest),
              nullptr);
  }
}

TEST_F(DevMode, OnlyThisDriversRecordsAreAccepted) {
  Put(Job(), 940, 1);
  auto settings = Make();
  std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
  ASSERT_EQ(settings->SetSettings(model.get()), 1);
  const Bytes good = RecordOf(*settings);
  const struct {
    std::size_t offset;
    std::uint16_t value;
    int accepted;
  } cases[] = {{kDmDriverExtra, 951, 0}, {kDmFormatVersion, 3, 0}, {kDmSpecVersion, 0x0400, 0},
               {kDmSize, 219, 0},        {kDmDataLength, 903, 0},  {kDmContextWord, 7, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    Bytes record = good;
    StoreU16(record.data(), c.offset, c.value);
    record.resize(LoadU16(record.data(), kDmSize) + LoadU16(record.data(), kDmDriverExtra));
    const auto* in = reinterpret_cast<const platform::DevModeW*>(record.data());
    ASSERT_TRUE(SetPrinterDevMode(record));
    auto accepted = Make(context_->GetPrinterHandle());
    EXPECT_EQ(accepted->IsFromPrinter(), c.accepted);
    EXPECT_EQ(accepted->GetContextWord(), c.accepted ? 7 : 0);
    std::unique_ptr<GAttributeComposite> loaded(accepted->LoadSettings(in, kDmLoadCurrent));
    EXPECT_EQ(loaded != nullptr, c.offset != kDmDataLength && c.offset != kDmSize &&
                                     c.offset != kDmDriverExtra);
    EXPECT_EQ(accepted->IsValidDevMode(in), c.offset == kDmDataLength || c.accepted);
    EXPECT_EQ(accepted->IsSameDevMode(in), c.accepted);
  }

  // Exported: every byte, the driver name ended with 0; under the
  // public-part flags only 220 bytes, a canary behind them intact.
  std::fill_n(Raw(*settings) + kDmDriverName, kDmDriverNameBytes, 'X');
  Bytes out(kDmRecordSize, 0xCC);
  ASSERT_EQ(settings->CopyDevModeTo(reinterpret_cast<platform::DevModeW*>(out.data())), 1);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + kDmDriverName + 31, Raw(*settings)));
  EXPECT_EQ(out[kDmDriverName + 31], 0);
  EXPECT_TRUE(std::equal(out.begin() + kDmContextValue, out.end(), Raw(*settings) + kDmContextValue));
  context_->ApplyAppFlags(0x100);
  out.assign(kDmRecordSize, 0xCC);
  ASSERT_EQ(settings->CopyDevModeTo(reinterpret_cast<platform::DevModeW*>(out.data())), 1);
  EXPECT_EQ(LoadU32(out.data(), kDmSize), kDmPublicSize);  // dmDriverExtra 0
  EXPECT_EQ(std::count(out.begin() + kDmPublicSize, out.end(), 0xCC), kDmRecordSize - kDmPublicSize);
}

TEST_F(DevMode, DamagedRecordsEndCleanly) {
  Put(Job(), 940, 1);
  auto settings = Make();
  std::unique_ptr<GAttributeComposite> model(context_->BuildDefaultSettings());
  ASSERT_EQ(settings->SetSettings(model.get()), 1);
  const Bytes good = RecordOf(*settings);
  const Bytes flat = Inflate(good.data() + kDmData, LoadU16(good.data(), kDmDataLength));
  platform::HANDLE printer = context_->GetPrinterHandle();
  auto run = [&](const Bytes& record) {
    devmode_fuzz::Exercise(*settings, *context_, record.data(), record.size(), printer);
  };
  // Cut at every length, its sizes saying so.
  for (std::size_t n = 72; n <= kDmRecordSize; ++n) {
    Bytes cut(good.begin(), good.begin() + n);
    StoreU16(cut.data(), kDmSize, static_cast<std::uint16_t>(std::min<std::size_t>(n, 220)));
    StoreU16(cut.data(), kDmDriverExtra, static_cast<std::uint16_t>(n - std::min<std::size_t>(n, 220)));
    run(cut);
  }
  std::mt19937 random(3600);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  for (int i = 0; i < 10000; ++i) {
    Bytes record = good;
    switch (i % 5) {
      case 0:  // the header and the sizes
        for (int k = 0; k < 3; ++k) record[64 + pick(12)] = static_cast<std::uint8_t>(random());
        break;
      case 1:  // public fields
        for (int k = 0; k < 6; ++k) record[72 + pick(148)] = static_cast<std::uint8_t>(random());
        break;
      case 2:  // the private header
        for (int k = 0; k < 2; ++k) record[220 + pick(50)] = static_cast<std::uint8_t>(random());
        break;
      case 3: {  // a damaged flat record, packed
        Bytes damaged = flat;
        for (int k = 0; k < 1 + i % 7; ++k) damaged[pick(damaged.size())] = static_cast<std::uint8_t>(random());
        const Bytes packed = Deflate(damaged);
        if (packed.size() <= kDmDataCapacityValue) record = WithData(record, packed);
        break;
      }
      default: {  // random LZW codes
        Bytes codes(1 + pick(kDmDataCapacityValue));
        for (auto& byte : codes) byte = static_cast<std::uint8_t>(random());
        record = WithData(record, codes);
      }
    }
    run(record);
  }
}

TEST_F(DevMode, TheFuzzCorpusReplaysCleanly) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
