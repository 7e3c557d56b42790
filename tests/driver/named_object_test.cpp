// Named objects in printer data: object graphs stored as chunked values,
// the growing buffer of the store, loads of damaged bytes, and the flat
// settings records of printers whose encoding asks for them.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/style_attribute.h"
#include "config/attributes/value_attribute.h"
#include "driver/nt_os_factory.h"
#include "foundation/rw/factory.h"
#include "persist/resource_mapping.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;
using testing_support::Hex;

// A composite that understates its stored size by a factor, so that the
// store's first buffer is too small for it.
class UnderstatedComposite : public GAttributeComposite {
 public:
  static constexpr RWClassID kId = 0x0FB0;
  static inline RWSize shrink = 1;

  using GAttributeComposite::GAttributeComposite;
  RWCollectable* CreateDefault() const override { return new UnderstatedComposite; }
  RWCollectable* CreateCopy() const override { return new UnderstatedComposite(*this); }
  RWClassID ClassId() const override { return kId; }
  RWSize StoredSize() const override { return GAttributeComposite::StoredSize() / shrink; }
};

class NamedObjects : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    ASSERT_TRUE(AddPrinter(u"P1"));
    AddClassToFactory([]() -> RWCollectable* { return new UnderstatedComposite; },
                      UnderstatedComposite::kId, "UnderstatedComposite");
  }
  void TearDown() override {
    RemoveClassIdFromFactory(UnderstatedComposite::kId);
    RemoveStringIdFromFactory("UnderstatedComposite");
    HostFixture::TearDown();
  }

  // Document settings with a nested tray composite, in `root`.
  static void Fill(GAttributeComposite& root) {
    root.AddChild(new GValueAttribute(3, 253));
    root.AddChild(new GStringAttribute("Letter", 260));
    auto* tray = new GAttributeComposite(90);
    tray->AddChild(new GRangeAttribute(1, 999, 1, 5, 291));
    tray->AddChild(new GStringAttribute("Tray 1", 82));
    root.AddChild(tray);
  }

  std::string Loaded(const char16_t* name) {
    std::uint32_t got = 0;
    std::string bytes(8192, '\0');
    if (!services_.ReadChunkedValue(&printer_, name, bytes.data(), 8192, got)) return "absent";
    bytes.resize(got);
    return bytes;
  }

  HostOSFactory services_;
  FakeDriverData printer_{u"P1"};
};

TEST_F(NamedObjects, ACompositeLoadsBackEqual) {
  GCountedPtr root(new GAttributeComposite(362));
  Fill(static_cast<GAttributeComposite&>(*root.Get()));
  ASSERT_NE(services_.StoreNamedObject(&printer_, RWCString("PhySetting"), root.Get()), 0);

  // An object reference in the binary encoding: ':' (3A), class id 757
  // (F5 02), '{' (7B), then the object's own stored form, which opens with
  // the base part's version 1 and key 362 (6A 01).
  std::string stored = Loaded(u"PhySetting");
  EXPECT_EQ(Hex(stored.substr(0, 12)), "3A F5 02 7B 01 00 00 00 6A 01 00 00");
  EXPECT_EQ(stored.back(), '}');

  RWCollectable* loaded = nullptr;
  ASSERT_EQ(services_.LoadNamedObject(&printer_, u"PhySetting", loaded), 1);
  std::unique_ptr<MPersistentObject> owned(dynamic_cast<MPersistentObject*>(loaded));
  ASSERT_NE(owned, nullptr);
  EXPECT_TRUE(owned->IsEqualContent(root.Get()));
  // Read as portable text, the same bytes are no object.
  EXPECT_EQ(services_.LoadNamedObject(&printer_, u"PhySetting", 1), nullptr);
  EXPECT_EQ(services_.LoadNamedObject(&printer_, u"Missing", loaded), 0);
  EXPECT_EQ(loaded, nullptr);
  EXPECT_EQ(services_.StoreNamedObject(&printer_, u"Null", nullptr), 0);
}

TEST_F(NamedObjects, LargeObjectsAreReadAgainIntoTheSizeReported) {
  // Over 1024 bytes: the first read fails and reports 248 * K.
  GCountedPtr root(new GAttributeComposite(368));
  for (std::uint32_t key = 1; key <= 120; ++key)
    static_cast<GAttributeComposite&>(*root.Get()).AddChild(new GValueAttribute(7, key));
  ASSERT_GT(root->StoredSize(), 2000u);
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"368", root.Get()), 0);
  std::unique_ptr<RWCollectable> loaded(services_.LoadNamedObject(&printer_, u"368", 0));
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(static_cast<MPersistentObject&>(*loaded).IsEqualContent(root.Get()));
}

TEST_F(NamedObjects, AStoreGrowsItsBufferInThreeAttempts) {
  // The buffers are 1.5, 3 and 6 times the stored size the object gives; a
  // graph that needs more fails and leaves the old value.
  struct Case {
    RWSize shrink;
    int stored;
  };
  const Case cases[] = {{1, 1}, {2, 1}, {4, 1}, {8, 0}};
  GCountedPtr last_stored(new GAttributeComposite(1));
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"Quickset", last_stored.Get()), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shrink);
    GCountedPtr root(new UnderstatedComposite(362));
    Fill(static_cast<GAttributeComposite&>(*root.Get()));
    UnderstatedComposite::shrink = c.shrink;
    EXPECT_EQ(services_.StoreNamedObject(&printer_, u"Quickset", root.Get()) != 0, c.stored != 0);
    UnderstatedComposite::shrink = 1;
    std::unique_ptr<RWCollectable> loaded(services_.LoadNamedObject(&printer_, u"Quickset", 0));
    ASSERT_NE(loaded, nullptr);
    if (c.stored) last_stored = root;
    EXPECT_TRUE(static_cast<MPersistentObject&>(*loaded).IsEqualContent(last_stored.Get()));
  }
}

TEST_F(NamedObjects, DamagedBytesLoadNothingOrAnObjectButNeverCrash) {
  GCountedPtr root(new GAttributeComposite(362));
  Fill(static_cast<GAttributeComposite&>(*root.Get()));
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"N", root.Get()), 0);
  const std::string valid = Loaded(u"N");

  // Every truncation fails.
  for (std::size_t length = 0; length < valid.size(); ++length) {
    SCOPED_TRACE(length);
    ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", valid.data(),
                                          static_cast<std::uint32_t>(length)),
              1);
    EXPECT_EQ(services_.LoadNamedObject(&printer_, u"N", 0), nullptr);
  }
  // Flipped bytes: any answer but a crash.
  std::mt19937 random(16);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = valid;
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
      damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
    ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", damaged.data(),
                                          static_cast<std::uint32_t>(damaged.size())),
              1);
    delete services_.LoadNamedObject(&printer_, u"N", round % 2);
  }
}

// The flat-record branch: a printer whose job settings hold 1 at 359 ->
// 366 -> 940 stores and loads named objects as flat settings records with
// 32-bit numbers, against a template built from its own job settings.
class FlatNamedObjects : public NamedObjects {
 protected:
  // The encoding path and `tree` (held) in the printer's job settings.
  void UseFlatRecords(GAttributeComposite* tree, std::uint16_t encoding = 1) {
    GAttributeComposite* job = printer_.GetJobSettings();
    auto* locks = new GAttributeComposite(366);
    locks->AddChild(new GValueAttribute(encoding, 940));
    auto* series = new GAttributeComposite(359);
    series->AddChild(locks);
    job->AddChild(series);
    if (tree) job->AddChild(tree);
  }
  std::unique_ptr<MPersistentObject> Load(const char16_t* name, int text = 0) {
    return std::unique_ptr<MPersistentObject>(
        dynamic_cast<MPersistentObject*>(services_.LoadNamedObject(&printer_, name, text)));
  }
};

TEST_F(FlatNamedObjects, ASettingsTreeRoundTripsAsAFlatRecord) {
  auto tree = std::unique_ptr<GAttributeComposite>(support::BuildSettingsTree(365, 12));
  UseFlatRecords(static_cast<GAttributeComposite*>(tree->DeepCopy()));
  ASSERT_GE(tree->NodeCount(), 300u);
  ASSERT_NE(services_.StoreNamedObject(&printer_, RWCString("365"), tree.get()), 0);
  // 20 's', then type 1, V 1 and K 365 = 0x16D as 32-bit numbers.
  const std::string stored = Loaded(u"365");
  EXPECT_EQ(stored.substr(0, 20), std::string(20, 's'));
  EXPECT_EQ(Hex(stored.substr(20, 9)), "01 01 00 00 00 6D 01 00 00");
  auto loaded = Load(u"365");
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->IsEqualContent(tree.get()));
  // Read as text, the bytes go to the object-graph reader, which refuses
  // them.
  EXPECT_EQ(Load(u"365", 1), nullptr);

  // A top-level list, and an object that is no model object.
  auto maps = std::unique_ptr<MPersistentObject>(support::BuildMappingList(1005, 12));
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"VROWQMBinMap", maps.get()), 0);
  EXPECT_EQ(Loaded(u"VROWQMBinMap")[20], '\x10');
  auto maps_loaded = Load(u"VROWQMBinMap");
  ASSERT_NE(maps_loaded, nullptr);
  EXPECT_TRUE(maps_loaded->IsEqualContent(maps.get()));
  TestItemRegistration items;
  TestItem item(5);
  EXPECT_EQ(services_.StoreNamedObject(&printer_, u"Item", &item), 0);
}

TEST_F(FlatNamedObjects, TheBinPoolAndOtherEncodingsStayObjectGraphs) {
  struct Case {
    const char* name;
    std::uint16_t encoding;
    const char16_t* value;
  };
  const Case cases[] = {
      {"bin pool", 1, u"VROBinPool"},
      {"encoding 0", 0, u"368"},
      {"encoding 2", 2, u"368"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostOSFactory services;
    FakeDriverData printer(u"P1");
    GAttributeComposite* job = printer.GetJobSettings();
    auto* series = new GAttributeComposite(359);
    auto* locks = new GAttributeComposite(366);
    locks->AddChild(new GValueAttribute(c.encoding, 940));
    series->AddChild(locks);
    job->AddChild(series);
    GCountedPtr root(new GAttributeComposite(368));
    Fill(static_cast<GAttributeComposite&>(*root.Get()));
    ASSERT_NE(services.StoreNamedObject(&printer, c.value, root.Get()), 0);
    std::uint32_t got = 0;
    std::string bytes(4096, '\0');
    ASSERT_EQ(services.ReadChunkedValue(&printer, c.value, bytes.data(), 4096, got), 1);
    EXPECT_EQ(bytes[0], ':');  // a new-object token
    std::unique_ptr<RWCollectable> loaded(services.LoadNamedObject(&printer, c.value, 0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(static_cast<MPersistentObject&>(*loaded).IsEqualContent(root.Get()));
  }
}

TEST_F(FlatNamedObjects, ATreeTheRecordCannotCarryStoresNothing) {
  // A string, maybe a child, then a value: a record cut before the value
  // would load the template's string and value (100 't's, 7).
  const auto tree_of = [](RWSize length, std::uint16_t value, MPersistentObject* child) {
    auto* tree = new GAttributeComposite(368);
    tree->AddChild(new GStringAttribute(RWCString('t', length), 260));
    if (child) tree->AddChild(child);
    tree->AddChild(new GValueAttribute(value, 253));
    return tree;
  };
  UseFlatRecords(tree_of(100, 7, nullptr));
  GCountedPtr stored(tree_of(6, 8, nullptr));
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"368", stored.Get()), 0);
  const std::string before = Loaded(u"368");
  // Strings of 65,535 and 70,000 characters; a class without a node type.
  const std::pair<RWSize, MPersistentObject*> cases[] = {
      {65535, nullptr}, {70000, nullptr}, {6, new GColorMap(3, 300)}};
  for (const auto& [length, child] : cases) {
    GCountedPtr tree(tree_of(length, 9, child));
    EXPECT_EQ(services_.StoreNamedObject(&printer_, u"368", tree.Get()), 0) << length;
    EXPECT_EQ(Loaded(u"368"), before) << length;
  }
}

TEST_F(FlatNamedObjects, TheEncodingIsReadOnceAndDamageKeepsThePattern) {
  auto* tree = new GAttributeComposite(368);
  Fill(*tree);
  UseFlatRecords(tree);
  GCountedPtr copy(tree->DeepCopy());
  ASSERT_NE(services_.StoreNamedObject(&printer_, u"368", copy.Get()), 0);
  // The printer's setting changes; the services keep what they read first.
  static_cast<GValueAttribute*>(printer_.GetJobSettings()->FindByKey(940))->SetValue(0);
  EXPECT_EQ(services_.NamedObjectEncoding(&printer_), 1);
  const std::string stored = Loaded(u"368");
  ASSERT_EQ(stored.substr(0, 20), std::string(20, 's'));

  // Every cut keeps the template's tree once the top node reads; before,
  // nothing.
  for (std::size_t length = 1; length < stored.size(); ++length) {
    SCOPED_TRACE(length);
    ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"368", stored.data(),
                                          static_cast<std::uint32_t>(length)),
              1);
    auto loaded = Load(u"368");
    if (length < 20 + 11) {
      EXPECT_EQ(loaded, nullptr);
    } else {
      ASSERT_NE(loaded, nullptr);
      EXPECT_TRUE(loaded->IsEqualContent(copy.Get()));
    }
  }
}

}  // namespace
