// What printer data keeps for the driver data: the fonts added from mass
// storage, the physical settings, upgrades of stored objects; and damaged
// or wrongly classed objects under every key the driver data reads, with
// the default error handler in force.
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/attributes/enum_attribute.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/fonts/font_sources.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "interfaces/printer_data_store.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "persist/resource_mapping.h"
#include "platform/host/printer_interface.h"
#include "support/settings_tree.h"
#include "tests/config/fonts/font_files.h"
#include "tests/driver/driver_data/driver_data_testing.h"

namespace {

using driver_data_testing::NamedBytes;
using driver_data_testing::PutNamedBytes;
using driver_data_testing::SetValue;

class DriverDataStored : public testing_support::PrinterFixture {
 protected:
  GOSFactory& Os() { return *GOSFactory::Instance(); }
  // The values the driver data's stored operations may write.
  std::string Snapshot(GDriverData* data) {
    return NamedBytes(data, u"AddedFonts") + "|" + NamedBytes(data, u"PhySetting") + "|" +
           std::to_string(Os().GetPrinterDataDword(data, u"DisabledMSDs", 77)) + "|" +
           std::to_string(Os().GetPrinterDataDword(data, u"MassStorageFonts", 77));
  }
  static GDeviceFontListComposite* Fonts(std::initializer_list<std::pair<int, int>> lists) {
    auto* fonts = new GDeviceFontListComposite;
    for (auto [index, stamp] : lists) {
      auto* list = new GDeviceFontList(kFontSources[index].list_key);
      list->SetSourceStamp(static_cast<std::uint32_t>(stamp));
      fonts->AddList(list);
    }
    return fonts;
  }
};

TEST_F(DriverDataStored, AddedFontsFollowTheTenSources) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  const font_testing::MsdRecord face{"Face", "(s0T", {1}};
  // Per index: the file (-1 none, -2 unreadable, else its stamp), the state
  // before, the stored list's stamp (-1 none); the state after and the
  // list's stamp after (-1 none).
  const struct {
    int file, state, stored, state_after, stamp_after;
  } sources[kFontSourceCount] = {
      {3, 0, -1, 1, 3},    // 0-5 with state 0: enabled, added
      {9, 1, 5, 1, 9},     // a newer file replaces the list
      {5, 1, 9, 1, 9},     // an older one does not
      {-1, 1, 4, 0, -1},   // no file: state 0, list removed
      {2, 2, 2, 2, -1},    // disabled: removed, state kept
      {2, 3, -1, 3, -1},   // disabled
      {2, 0, 2, 0, -1},    // 6-9 with state 0: removed
      {8, 1, -1, 1, 8},    // enabled: added
      {-2, 1, 1, 0, -1},   // unreadable file
      {-1, 0, -1, 0, -1},  // nothing
  };
  std::uint32_t states = 0;
  std::unique_ptr<GDeviceFontListComposite> stored(Fonts({}));
  for (std::uint32_t i = 0; i < kFontSourceCount; ++i) {
    const auto& s = sources[i];
    states |= static_cast<std::uint32_t>(s.state) << (2 * i);
    if (s.stored >= 0) {
      std::unique_ptr<GDeviceFontListComposite> one(Fonts({{static_cast<int>(i), s.stored}}));
      stored->AddCopiesFrom(*one);
    }
    if (s.file == -1) continue;
    const std::string name = std::string("F").append(std::to_string(i)).append(".MSD");
    testing_support::WriteAll(HostPath(name), s.file == -2 ? std::string("short")
                                                           : font_testing::MsdFile(s.file, {face}));
    WriteMsdFileName(data, i, RWWString::FromMultiByte(name.c_str()));
  }
  SetDisabledMsds(data, states);
  ASSERT_NE(data->StoreAddedFonts(*stored), 0);

  std::unique_ptr<GDeviceFontListComposite> synced(data->SyncAddedFonts());
  ASSERT_NE(synced, nullptr);
  std::unique_ptr<GDeviceFontListComposite> reloaded(data->LoadAddedFonts());
  ASSERT_NE(reloaded, nullptr);
  for (std::uint32_t i = 0; i < kFontSourceCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetMsdState(data, i), static_cast<std::uint32_t>(sources[i].state_after));
    for (GDeviceFontListComposite* fonts : {synced.get(), reloaded.get()}) {
      auto* list = dynamic_cast<GDeviceFontList*>(fonts->FindByKey(kFontSources[i].list_key));
      EXPECT_EQ(list ? static_cast<int>(list->GetSourceStamp()) : -1, sources[i].stamp_after);
    }
  }
  EXPECT_EQ(GetMassStorageFontsFlag(data), 1u);
}

TEST_F(DriverDataStored, PhysicalSettingsReportTheFirstDifference) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  auto physical = [] {
    auto* settings =
        driver_data_testing::Group(365, {{307, 1000}, {925, 64}, {1205, 0}, {1203, 0}, {927, 1}});
    settings->AddChild(new GStringAttribute("", 316));
    settings->AddChild(new GStringAttribute("", 315));
    return settings;
  };
  std::unique_ptr<GAttributeComposite> kept(physical());
  delete kept->RemoveByKey(927);
  GAttributeComposite probe(0);
  EXPECT_EQ(data->IsPhysicalSettingsCurrent(&probe), 1);  // nothing stored
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("PhySetting"), kept.get()), 0);
  const struct {
    const char* name;
    std::uint32_t key;
    int value;
    const char* text;
    const char16_t* update_type;  // null: none written
    int expected;
  } cases[] = {
      {"the same", 0, 0, nullptr, nullptr, 1},
      {"set by hand after Admin", 0, 0, nullptr, u"Admin", 0},
      {"set by hand after Auto", 0, 0, nullptr, u"Auto", 0},
      {"set by hand after User", 0, 0, nullptr, u"User", 1},
      {"auto-configured", 927, 14113, nullptr, u"Auto", 1},
      {"administrator-configured", 927, 14119, nullptr, u"Admin", 1},
      {"memory share", 307, 999, nullptr, nullptr, 0},
      {"punch unit", 1203, 1, nullptr, nullptr, 0},
      {"accessory", 316, 0, "MBX-1", nullptr, 0},
      {"paper sources", 315, 0, "Lower Cassette", nullptr, 0},
      {"a value not stored", 451, 5, nullptr, nullptr, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<GAttributeComposite> settings(physical());
    if (c.text) {
      FindOfClass<GStringAttribute>(settings.get(), c.key)->SetValue(c.text);
    } else if (c.key != 0) {
      SetValue(settings.get(), c.key, static_cast<std::uint16_t>(c.value));
    }
    if (c.update_type) {
      Os().SetPrinterDataString(data, u"LastUpdateType", c.update_type);
    } else {
      Os().DeletePrinterDataValue(data, u"LastUpdateType");
    }
    EXPECT_EQ(data->IsPhysicalSettingsCurrent(settings.get()), c.expected);
  }
  EXPECT_EQ(data->IsPhysicalSettingsCurrent(nullptr), 1);
}

TEST_F(DriverDataStored, ALargeQuicksetPoolUpgradesOntoTheTemplate) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GAttributeComposite pool(kQuicksetPoolKey);
  auto* first = new GAttributeComposite(kQuicksetTemplateKey);
  first->AddChild(new GStringAttribute("Default", 376));
  first->AddChild(new GValueAttribute(23, 260));
  pool.AddChild(first);
  constexpr int kSets = 200;
  for (int i = 0; i < kSets; ++i) {
    auto* set = new GAttributeComposite(0);
    const std::string name = std::string("Quick set ").append(std::to_string(i));
    set->AddChild(new GStringAttribute(name.c_str(), 376));
    set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(i), 260));
    set->AddChild(new GValueAttribute(3, 258));
    pool.AddChild(set);
  }
  ASSERT_GT(support::EncodeFlat(&pool, kFlatLongNumbers).bytes.size(), 4096u);
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("QuicksetPool"), &pool), 0);
  EXPECT_NE(data->UpgradeNamedObject(RWCString("QuicksetPool")), 0);

  std::unique_ptr<RWCollectable> loaded(Os().LoadNamedObject(data, u"QuicksetPool", 0));
  auto* upgraded = dynamic_cast<GAttributeComposite*>(loaded.get());
  ASSERT_NE(upgraded, nullptr);
  ASSERT_EQ(upgraded->EntryCount(), kSets + 1u);
  // Each set has the template's parts in its order (376, 379, 328, 260,
  // 258, 253, 291), its own where it had them, and key 0.
  auto describe = [](MPersistentObject* set) {
    std::string text = std::to_string(set->Key());
    const GCountedPtrVector& parts = dynamic_cast<GAttributeComposite*>(set)->Children();
    for (RWSize i = 0; i < parts.Count(); ++i) {
      text.append(" ").append(std::to_string(parts[i]->Key()));
      if (auto* v = dynamic_cast<GValueAttribute*>(parts[i].Get()))
        text.append("=").append(std::to_string(v->GetValue()));
      if (auto* s = dynamic_cast<GStringAttribute*>(parts[i].Get()))
        text.append("='").append(s->GetValue().Data()).append("'");
    }
    return text;
  };
  EXPECT_EQ(describe(upgraded->Children()[0].Get()),
            "0 376='Default' 379 328 260=23 258=19 253=0 291=1");
  EXPECT_EQ(describe(upgraded->Children()[kSets].Get()),
            "0 376='Quick set 199' 379 328 260=199 258=3 253=0 291=1");

  // Objects the template does not know, and missing ones, stay as stored.
  GAttributeComposite unknown(12345);
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("Unknown"), &unknown), 0);
  const std::string before = NamedBytes(data, u"Unknown");
  EXPECT_EQ(data->UpgradeNamedObject(RWCString("Unknown")), 0);
  EXPECT_EQ(NamedBytes(data, u"Unknown"), before);
  EXPECT_EQ(data->UpgradeNamedObject(RWCString("Missing")), 0);
  // Without a template the pool is left as it is, not emptied.
  const std::string upgraded_bytes = NamedBytes(data, u"QuicksetPool");
  delete data->GetJobSettings()->RemoveByKey(kQuicksetTemplateKey);
  EXPECT_EQ(data->UpgradeNamedObject(RWCString("QuicksetPool")), 0);
  EXPECT_EQ(NamedBytes(data, u"QuicksetPool"), upgraded_bytes);
  // By key: the template fills in what the stored part lacks.
  std::unique_ptr<GAttributeComposite> installed(driver_data_testing::Group(365, {{925, 96}}));
  std::unique_ptr<GPrinterDataStore> store(Os().NewValueAdapter(data));
  ASSERT_NE(store->StoreObjectByNumber(365, installed.get()), 0);
  EXPECT_NE(data->UpgradeObjectByKey(365), 0);
  RWCollectable* read = nullptr;
  ASSERT_NE(store->LoadObjectByNumber(365, read), 0);
  std::unique_ptr<RWCollectable> owned(read);
  EXPECT_EQ(FindOfClass<GValueAttribute>(dynamic_cast<MPersistentObject*>(read), 925)->GetValue(),
            96);
  EXPECT_EQ(FindOfClass<GValueAttribute>(dynamic_cast<MPersistentObject*>(read), 274)->GetValue(),
            7);
  EXPECT_EQ(data->UpgradeObjectByKey(366), 0);
}

TEST_F(DriverDataStored, BinAndTrayMapsAreStoredForTheInstalledOptions) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  data->WriteBinAndTrayMaps(nullptr);  // the job settings' bin pool
  std::unique_ptr<RWCollectable> pool(Os().LoadNamedObject(data, u"VROBinPool", 0));
  auto* bins = dynamic_cast<GAttributeComposite*>(pool.get());
  ASSERT_NE(bins, nullptr);
  EXPECT_TRUE(bins->IsEqualContent(data->GetBinPool()));
  std::unique_ptr<RWCollectable> trays(Os().LoadNamedObject(data, u"VROOSTrayMap", 0));
  ASSERT_NE(dynamic_cast<GResourceMappingList*>(trays.get()), nullptr);
  EXPECT_TRUE(dynamic_cast<GResourceMappingList*>(trays.get())
                  ->IsEqualContent(dynamic_cast<MPersistentObject*>(data->GetTrayMap())));
  GAttributeComposite root(0);
  root.AddChild(new GAttributeComposite(kPaperHandlingKey));
  data->WriteBinAndTrayMaps(&root);  // the settings' own
  pool.reset(Os().LoadNamedObject(data, u"VROBinPool", 0));
  EXPECT_EQ(dynamic_cast<GAttributeComposite*>(pool.get())->EntryCount(), 0u);
}

// Objects of another class under the keys the driver data reads count as
// missing.
TEST_F(DriverDataStored, WrongClassesCountAsMissing) {
  std::unique_ptr<MPersistentComposite> root(support::BuildFixtureDataFile());
  for (std::uint32_t key : {kPaperSizeMappingKey, kOSTrayMapKey, kResourceMappingsKey}) {
    delete root->RemoveByKey(key);
    root->AddChild(new GAttributeComposite(key));
  }
  auto* configuration = dynamic_cast<GPeripheral*>(root->FindByKey(kDriverConfigurationKey));
  auto* own = dynamic_cast<GAttributeComposite*>(configuration->GetConfiguration());
  delete own->RemoveByKey(kColorDeviceKey);
  own->AddChild(new GStringAttribute("1", kColorDeviceKey));
  ASSERT_TRUE(RewriteDataFile(*root));
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetPaperSizeMapping(), nullptr);
  EXPECT_EQ(data->GetTrayMap(), nullptr);
  auto* mappings = dynamic_cast<GResourceMappingList*>(data->GetResourceMappings());
  ASSERT_NE(mappings, nullptr);
  EXPECT_EQ(mappings->EntryCount(), 0u);
  EXPECT_EQ(data->GetCachedValue(), 0);
  std::uint16_t id = 0;
  EXPECT_EQ(data->FormIndexToPaperId(1, id), 0);
  std::uint32_t index = 0;
  EXPECT_EQ(data->EnumTrays(nullptr, nullptr, 1, index), -1);
  EXPECT_EQ(data->EnumTrays(nullptr, nullptr, 0, index), 1);

  GAttributeComposite* job = data->GetJobSettings();
  const struct {
    std::uint32_t key;
    GAttribute* replacement;
    std::function<bool()> missing;
  } cases[] = {
      {kMediaListKey, new GAttributeComposite(kMediaListKey),
       [&] { return data->GetMediaList() == nullptr && data->GetSymmetricMediaPool() == nullptr; }},
      {kTrayOrderKey, new GValueAttribute(3, kTrayOrderKey),
       [&] { return data->EnumTrays(nullptr, nullptr, 0, index = 0) == 1 && index == 4; }},
      {401, new GValueAttribute(1, 401),
       [&] { return data->GDriverDataImp::GetSupportFilePath().IsNull(); }},
      {984, new GStringAttribute("1", 984), [&] { return data->RegisterExtension("", 0) == 0; }},
      {1132, new GValueAttribute(0, 1132),
       [&] { return data->IsNameNotListed(RWCString("Courier PS")) == 1; }},
      {206, new GStringAttribute("600", 206),
       [&] { return data->IsResolutionSupported(600, 600) == 0; }},
      {kPaperHandlingKey, new GStringAttribute("", kPaperHandlingKey),
       [&] { return data->GetBinPool() == nullptr; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    delete job->RemoveByKey(c.key);
    job->AddChild(c.replacement);
    EXPECT_TRUE(c.missing());
  }
  SetValue(data->EnsureDefaultSettings(), 711, 1);
  delete job->RemoveByKey(kAlternativeMediaListKey);
  job->AddChild(new GAttributeComposite(kAlternativeMediaListKey));
  EXPECT_EQ(data->GetSymmetricMediaPool(), nullptr);

  std::unique_ptr<GAttributeComposite> not_fonts(new GAttributeComposite(414));
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("AddedFonts"), not_fonts.get()), 0);
  EXPECT_EQ(data->LoadAddedFonts(), nullptr);
  std::unique_ptr<GDeviceFontListComposite> not_settings(Fonts({{0, 1}}));
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("PhySetting"), not_settings.get()), 0);
  GAttributeComposite differs(365);
  differs.AddChild(new GValueAttribute(1, 307));
  EXPECT_EQ(data->IsPhysicalSettingsCurrent(&differs), 1);
}

// "AddedFonts" and "PhySetting" cut at every byte count as missing and
// change nothing; flipped bytes never end the process.
TEST_F(DriverDataStored, DamagedStoredObjectsCountAsMissing) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  std::unique_ptr<GDeviceFontListComposite> fonts(Fonts({{0, 5}, {7, 6}}));
  ASSERT_NE(data->StoreAddedFonts(*fonts), 0);
  GAttributeComposite kept(365), differs(365);
  kept.AddChild(new GValueAttribute(1000, 307));
  differs.AddChild(new GValueAttribute(999, 307));
  ASSERT_NE(Os().StoreNamedObject(data, RWCString("PhySetting"), &kept), 0);
  ASSERT_EQ(data->IsPhysicalSettingsCurrent(&differs), 0);
  const std::string added = NamedBytes(data, u"AddedFonts");
  const std::string physical = NamedBytes(data, u"PhySetting");

  for (std::size_t cut = 0; cut < added.size(); ++cut) {
    PutNamedBytes(data, u"AddedFonts", added.substr(0, cut));
    const std::string before = Snapshot(data);
    std::unique_ptr<GDeviceFontListComposite> synced(data->SyncAddedFonts());
    EXPECT_EQ(synced, nullptr) << cut;
    EXPECT_EQ(Snapshot(data), before) << cut;
  }
  PutNamedBytes(data, u"AddedFonts", "");
  for (std::size_t cut = 0; cut < physical.size(); ++cut) {
    PutNamedBytes(data, u"PhySetting", physical.substr(0, cut));
    EXPECT_EQ(data->IsPhysicalSettingsCurrent(&differs), 1) << cut;
  }
  std::mt19937 random(29);
  for (int run = 0; run < 300; ++run) {
    std::string bytes = run % 2 ? added : physical;
    bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
    PutNamedBytes(data, run % 2 ? u"AddedFonts" : u"PhySetting", bytes);
    const std::string before = Snapshot(data);
    if (run % 2) {
      std::unique_ptr<GDeviceFontListComposite> synced(data->SyncAddedFonts());
      // Whatever was stored back is a font-list composite again.
      if (NamedBytes(data, u"AddedFonts") != bytes) {
        std::unique_ptr<GDeviceFontListComposite> again(data->LoadAddedFonts());
        EXPECT_NE(again, nullptr);
      }
    } else {
      data->IsPhysicalSettingsCurrent(&differs);
      EXPECT_EQ(Snapshot(data), before);
    }
  }
}

}  // namespace

// P1 whose installed options also hold a settings tree of every node type,
// so that the template knows each (an enumeration among them).
class CurrentFormUpgrade : public DriverDataStored {
 protected:
  CurrentFormUpgrade() {
    MPersistentComposite* root = support::BuildFixtureDataFile();
    auto* configuration = dynamic_cast<GPeripheral*>(root->FindByKey(kDriverConfigurationKey));
    auto* printer = FindOfClass<GPeripheral>(configuration, kPrinterObjectKey);
    MPersistentObject* job = printer ? printer->GetConfiguration() : nullptr;
    if (GAttributeComposite* options = Installed(FindComposite(job, kDefaultSettingsKey)))
      options->AddChild(support::BuildSettingsTree(1999, 2));
    InstallWith(root);
  }
  static GAttributeComposite* Installed(MPersistentObject* settings) {
    return FindComposite(settings, kInstalledOptionsKey);
  }
  // Gives every setting below `node` a value of `random`'s: values, ranges,
  // texts, the choice of an enumeration (not its choices), and named links
  // in each form-to-tray database.
  static void Scramble(MPersistentObject& node, std::mt19937& random) {
    std::unique_ptr<MChildIterator> children(node.NewChildIterator());
    while (children && children->Next()) {
      MPersistentObject* child = children->Current();
      const auto number = static_cast<std::uint16_t>(random() % 700);
      if (auto* value = dynamic_cast<GValueAttribute*>(child)) value->SetValue(number);
      if (auto* range = dynamic_cast<GRangeAttribute*>(child))
        range->SetValue(std::int16_t(number));
      if (auto* text = dynamic_cast<GStringAttribute*>(child))
        text->SetValue(("text " + std::to_string(number)).c_str());
      if (auto* links = dynamic_cast<GFormToTrayDatabase*>(child)) {
        for (std::uint16_t tray = 1; tray <= number % 4; ++tray)
          links->SetAssociationNamed(tray, number, 11108, RWWString(u"Letter"));
      }
      auto* choices = dynamic_cast<GEnumAttribute*>(child);
      if (choices && choices->EntryCount() > 0) {
        choices->Select(
            *static_cast<GAttribute*>(choices->Children()[number % choices->EntryCount()].Get()));
      } else if (child && child->AsComposite()) {
        Scramble(*child, random);
      }
    }
  }
};

// Stored objects of the current form, scrambled, come out of the upgrade
// byte for byte as they went in: the installed options (with the tray the
// forms page shows), the key locks (each watermark with its scope), the
// extension part, and a pool of quick sets. An older form of the installed
// options, without one setting and with another of a class no longer used,
// gets the template's for those two and keeps everything else.
TEST_F(CurrentFormUpgrade, AnObjectOfTheCurrentFormKeepsAllItHolds) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  std::unique_ptr<GPrinterDataStore> store(Os().NewValueAdapter(data));
  const std::unique_ptr<GAttributeComposite> pristine(data->BuildDefaultSettings());
  auto* quickset_template =
      dynamic_cast<GAttributeComposite*>(FindDirectChild(data->GetJobSettings(), 375));
  ASSERT_TRUE(pristine && quickset_template && FindDirectChild(Installed(pristine.get()), 1999));
  char16_t name[] = u"P1", old_directory[] = u"C:\\Old";
  platform::DriverUpgradeInfo1 info{name, old_directory};
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    std::unique_ptr<MPersistentObject> copy(pristine->DeepCopy());
    auto* settings = dynamic_cast<GAttributeComposite*>(copy.get());
    ASSERT_NE(settings, nullptr);
    Scramble(*settings, random);
    GAttributeComposite* options = Installed(settings);
    SetValue(options, kShownTrayKey, 2);
    GAttributeComposite* marks = FindComposite(settings, kWatermarkListKey);
    for (RWSize i = 0; marks && i < marks->EntryCount(); ++i)
      SetValue(marks->Children()[i].Get(), kWatermarkScopeKey, std::uint16_t(1 + seed % 2));
    GAttributeComposite pool(kQuicksetPoolKey);
    for (unsigned i = 0; i <= seed % 3; ++i) {
      MPersistentObject* quickset = quickset_template->DeepCopy();
      quickset->SetKey(0);
      Scramble(*quickset, random);
      pool.AddChild(quickset);
    }
    for (std::uint32_t key : {365u, 366u, 368u})
      ASSERT_NE(store->StoreObjectByNumber(key, FindDirectChild(settings, key)), 0);
    ASSERT_NE(Os().StoreNamedObject(data, RWCString("QuicksetPool"), &pool), 0);
    const char16_t* names[] = {u"365", u"366", u"368", u"QuicksetPool"};
    std::vector<std::string> before;
    for (const char16_t* stored : names)
      before.push_back(NamedBytes(data, stored));
    EXPECT_EQ(data->DrvUpgradePrinter(1, reinterpret_cast<platform::BYTE*>(&info)), 1);
    for (std::size_t i = 0; i < std::size(names); ++i)
      EXPECT_EQ(NamedBytes(data, names[i]), before[i]);

    // The older form: a setting gone, and one stored as a text.
    const GCountedPtrVector& all = options->Children();
    MPersistentObject* gone = all[random() % all.Count()].Get();
    MPersistentObject* retyped = all[random() % all.Count()].Get();
    GAttributeComposite* current = Installed(pristine.get());
    if (gone == retyped || !dynamic_cast<GValueAttribute*>(retyped) ||
        !FindDirectChild(current, gone->Key()) || !FindDirectChild(current, retyped->Key()))
      continue;
    std::unique_ptr<MPersistentObject> older(options->DeepCopy());
    delete older->RemoveByKey(gone->Key());
    ReplaceDirectChild(*older, retyped->Key(), *std::make_unique<GStringAttribute>("old", 0));
    ASSERT_NE(store->StoreObjectByNumber(365, older.get()), 0);
    EXPECT_EQ(data->UpgradeObjectByKey(365), 1);
    RWCollectable* read = nullptr;
    ASSERT_NE(store->LoadObjectByNumber(365, read), 0);
    std::unique_ptr<RWCollectable> upgraded(read);
    auto* result = dynamic_cast<GAttributeComposite*>(read);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->EntryCount(), options->EntryCount());
    for (RWSize i = 0; i < all.Count(); ++i) {
      const std::uint32_t key = all[i]->Key();
      MPersistentObject* now = FindDirectChild(result, key);
      MPersistentObject* held = key == gone->Key() || key == retyped->Key()
                                    ? FindDirectChild(current, key)
                                    : all[i].Get();
      EXPECT_TRUE(now && now->IsEqualContent(held)) << key;
    }
  }
}
