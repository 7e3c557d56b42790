// The command list on disk: only commands go in, the keyed command, the
// delete flag, its composite answer, the replay that restores the job's
// font database first, its stored form, a spooled page kept inside another
// store, and a device that takes a spooled page apart record by record.
#include "store/command_composite_on_disk.h"
#include "config/keys/settings_keys.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "platform/host/files.h"
#include "store/spool_file.h"
#include "support/test_render_services.h"
#include "tests/persist/media.h"
#include "tests/store/store_testing.h"
#include "tests/support/test_support.h"

namespace {

using store_testing::Exists;
using store_testing::RecordKeys;
using store_testing::Wide;
using testing_support::Hex;

using Keys = std::vector<std::uint32_t>;

// A command of its own class with nothing of its own.
class TestCommand : public GCommand {
 public:
  static constexpr RWClassID kId = 0x0FB2;
  using GCommand::GCommand;
  RWCollectable* CreateDefault() const override { return new TestCommand; }
  RWCollectable* CreateCopy() const override { return new TestCommand(*this); }
  RWClassID ClassId() const override { return kId; }
  std::uint16_t Execute(GPeripheral&) override { return 0; }
};

class CommandList : public store_testing::StoreTest {
 protected:
  static constexpr RWClassRegistration kCommandClasses[] = {
      {&RWCreate<TestCommand>, TestCommand::kId, "TestCommand"}};
  static void SetUpTestSuite() {
    StoreTest::SetUpTestSuite();
    RWRegisterClasses(kCommandClasses);
  }
  static void TearDownTestSuite() {
    RWUnregisterClasses(kCommandClasses);
    StoreTest::TearDownTestSuite();
  }

  std::unique_ptr<GCommandCompositeOnDisk> List(const std::string& name,
                                                GAttributeComposite* attributes = nullptr,
                                                std::uint32_t delete_flag = 1) {
    return std::make_unique<GCommandCompositeOnDisk>(Wide(dir.File(name)), attributes, delete_flag,
                                                     std::uint32_t{0});
  }

  // The spool file "<name>.fpg" of the stores in "<name>/".
  std::shared_ptr<GSpoolFile> SpoolFile(const std::string& name) {
    const std::string path = dir.File(name + ".fpg");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    return fd < 0 ? nullptr : GSpoolFile::Make(fd, path, dir.File(name));
  }

  static void Put(MPersistentObject& list, std::uint32_t key) {
    list.PutRecord(GCountedPtr(new TestCommand(key)));
  }
};

TEST_F(CommandList, TakesCommandsOnlyAndKeepsOneKeyedCommand) {
  auto list = List("page.fpg");
  list->PutRecord(GCountedPtr(new ProbeLeaf(1)));  // not a command
  list->PutRecord(GCountedPtr());
  EXPECT_EQ(list->EntryCount(), 0u);
  Put(*list, 2);
  EXPECT_EQ(list->EntryCount(), 1u);

  GCountedPtr first(new TestCommand(5));
  GCountedPtr second(new TestCommand(6));
  list->PutKeyed(first);
  list->PutKeyed(second);
  EXPECT_EQ(second->Key(), kKeyedCommandKey);
  EXPECT_EQ(list->EntryCount(), 2u);
  GCountedPtr keyed = list->TakeKeyed();
  ASSERT_TRUE(keyed);
  EXPECT_EQ(keyed->SerialNumber(), second->SerialNumber());
  EXPECT_FALSE(list->TakeKeyed());
  EXPECT_EQ(RecordKeys(*list), (Keys{2}));

  // The composite answer is the embedded store, not the list.
  EXPECT_EQ(list->AsComposite(), &list->Handle());
  EXPECT_TRUE(list->IsKindOf(kGCommandCompositeOnDiskId));
  EXPECT_TRUE(list->IsKindOf(kGCommandId));
  EXPECT_FALSE(list->IsKindOf(kMPersistentCompositeOnDiskId));
  EXPECT_FALSE(list->IsInError());
}

// The filters find and replace spooled commands through the list: each
// reaches the embedded store. Commands 1, 2 and an error command 3.
TEST_F(CommandList, FindsAndReplacementsReachTheStore) {
  auto list = List("forward.fpg");
  Put(*list, 1);
  Put(*list, 2);
  list->PutRecord(GCountedPtr(new GErrorCommand(1, nullptr, 3)));
  EXPECT_EQ(list->FindPtrByKey(2)->Key(), 2u);
  EXPECT_EQ(list->FindPtrByClassId(kGErrorCommandId)->Key(), 3u);
  GCountedPtr first = list->FindPtrByKey(1);
  EXPECT_EQ(list->FindPtrEqual(first.Get())->SerialNumber(), first->SerialNumber());
  TestCommand four(4), five(5), six(6);
  EXPECT_TRUE(list->ReplaceRecordByKey(2, &four));
  EXPECT_TRUE(list->ReplaceRecordByClassId(kGErrorCommandId, &five));
  EXPECT_TRUE(list->ReplaceRecordEqual(first.Get(), &six));
  EXPECT_FALSE(list->ReplaceRecordByKey(2, &four));
  list->UpdateRecord(GCountedPtr(new TestCommand(7)));  // the command's: nothing
  EXPECT_EQ(RecordKeys(*list), (Keys{6, 4, 5}));
}

TEST_F(CommandList, DeleteFlagRemovesTheFileWithTheList) {
  for (std::uint32_t flag : {0u, 1u}) {
    SCOPED_TRACE(flag);
    const std::string path = dir.File("flag.fpg");
    {
      auto list = List("flag.fpg", nullptr, flag);
      Put(*list, 1);
      list->Close();
      EXPECT_TRUE(Exists(path));
    }
    EXPECT_EQ(Exists(path), flag == 0);
  }
}

TEST_F(CommandList, ReplayLoadsTheNamedFontDatabaseFirst) {
  TestRenderJobs jobs;
  std::uint32_t cookie = 0;
  TestRenderDriverData& job = jobs.Add(cookie);
  char lower[16];
  char upper[16];
  char unknown[16];
  std::snprintf(lower, sizeof lower, "%x", cookie);
  std::snprintf(upper, sizeof upper, "0x%X", cookie);
  std::snprintf(unknown, sizeof unknown, "%x", cookie + 1);
  struct Case {
    const char* what;
    const char* font_file;  // null: no attribute 407
    const char* cookie;     // null: no attribute 408
    bool loads;
  } cases[] = {
      {"both named", "C:\\Spool\\1.fft", lower, true},
      {"cookie in upper case with a prefix", "C:\\Spool\\1.fft", upper, true},
      {"no cookie", "C:\\Spool\\1.fft", nullptr, false},
      {"empty font file", "", lower, false},
      {"unknown job", "C:\\Spool\\1.fft", unknown, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    job.fonts.loads.clear();
    auto* set = new GAttributeComposite(0);
    if (c.font_file) set->AddChild(new GStringAttribute(c.font_file, 407));
    if (c.cookie) set->AddChild(new GStringAttribute(c.cookie, 408));
    auto list = List("replay.fpg", set);
    for (std::uint32_t key : {1, 2, 3})
      Put(*list, key);
    list->Close();

    std::unique_ptr<MRecordIterator> replay(list->NewChildIterator());
    ASSERT_TRUE(replay);
    EXPECT_EQ(job.fonts.loads.size(), c.loads ? 1u : 0u);
    if (c.loads) {
      EXPECT_EQ(job.fonts.loads[0].path, u"C:\\Spool\\1.fft");
      EXPECT_TRUE(job.fonts.loads[0].locked);
    }
    Keys keys;
    while (replay->Next())
      keys.push_back(replay->TakeCurrent()->Key());
    EXPECT_EQ(keys, (Keys{1, 2, 3}));
    EXPECT_EQ(list->Handle().State(), MPersistentCompositeOnDisk::kOpen);
    replay.reset();  // closes the store again
    EXPECT_EQ(list->Handle().State(), MPersistentCompositeOnDisk::kClosed);
  }
}

// CRC-32 bit by bit (the reflected polynomial 0xEDB88320), apart from zlib.
std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit)
      crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST_F(CommandList, ItsFileEndsInTheChecksumOfTheRestAndAnyChangeFails) {
  // By hand: the store's bytes, then their CRC-32 little-endian (the CRC of
  // "123456789" is the published check value 0xCBF43926).
  ASSERT_EQ(Crc32("123456789"), 0xCBF43926u);
  auto list = List("sum.fpg", nullptr, 0);
  for (std::uint32_t key : {1, 2, 3})
    Put(*list, key);
  list.reset();
  const std::string whole = testing_support::ReadAll(dir.File("sum.fpg"));
  const std::uint32_t crc = Crc32(whole.substr(0, whole.size() - 4));
  EXPECT_EQ(Hex(whole.substr(whole.size() - 4)),
            Hex({char(crc), char(crc >> 8), char(crc >> 16), char(crc >> 24)}));
  // Each cut, and each byte changed, fails the replay before any record.
  auto replay = [&](const std::string& bytes) {
    testing_support::WriteAll(dir.File("damaged.fpg"), bytes);
    auto damaged = List("damaged.fpg");
    return std::make_pair(RecordKeys(*damaged), damaged->IsInError());
  };
  EXPECT_EQ(replay(whole), std::make_pair(Keys{1, 2, 3}, false));
  for (std::size_t at = 0; at < whole.size(); ++at) {
    std::string changed = whole;
    changed[at] ^= static_cast<char>(1 << at % 8);
    EXPECT_EQ(replay(changed), std::make_pair(Keys{}, true)) << at;
    EXPECT_EQ(replay(whole.substr(0, at)), std::make_pair(Keys{}, true)) << at;
  }
}

TEST_F(CommandList, ImagesDamagedUnderAValidChecksumFailOrReadCleanly) {
  // Damage that the checksum does not see (sealed with its CRC again), cut
  // or flipped at seeded places: the image's counts and lengths, the index
  // and the objects are checked on their own; a read answers at most the
  // records stored, and nothing leaks or runs past the image.
  auto list = List("sealed.fpg", nullptr, 0);
  for (std::uint32_t key : {1, 2, 3})
    Put(*list, key);
  list.reset();
  const std::string whole = testing_support::ReadAll(dir.File("sealed.fpg"));
  std::mt19937 random(67);
  for (int i = 0; i < 300; ++i) {
    std::string body = whole.substr(0, whole.size() - 4);
    if (i % 3 == 0) {
      body.resize(random() % body.size());
    } else {
      body[random() % body.size()] ^= static_cast<char>(1 + random() % 255);
    }
    const std::uint32_t crc = Crc32(body);
    testing_support::WriteAll(
        dir.File("damaged.fpg"),
        body + std::string{char(crc), char(crc >> 8), char(crc >> 16), char(crc >> 24)});
    auto damaged = List("damaged.fpg");
    EXPECT_LE(RecordKeys(*damaged).size(), 3u) << i;
  }
}

TEST_F(CommandList, StoresOfASpoolFilesDirectoryLiveInItAndItsDamageFailsThem) {
  // Page 1 written, taken from and written again (a new stretch, the old
  // one left behind), page 2 written once between: the file holds page
  // 1's old image, page 2's, page 1's new one. Each row damages the file.
  enum class Damage { kNone, kFlipFirst, kFlipLast, kCutToPage2, kDelete };
  const struct {
    Damage damage;
    Keys first, second;  // what each page gives back (empty: failed)
  } cases[] = {{Damage::kNone, {1, 3}, {4}},
               {Damage::kFlipFirst, {1, 3}, {4}},  // in the old image: harmless
               {Damage::kFlipLast, {}, {4}},
               {Damage::kCutToPage2, {}, {4}},
               {Damage::kDelete, {}, {}}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const std::string sub = std::to_string(i);  // a directory never made
    std::shared_ptr<GSpoolFile> spool = SpoolFile(sub);
    ASSERT_TRUE(spool);
    auto first = List(sub + "/1.fpg"), second = List(sub + "/2.fpg");
    for (std::uint32_t key : {1, 2, 3})
      Put(*first, key);
    Put(*second, 4);
    first->Close();
    second->Close();
    const auto page2_end = std::filesystem::file_size(spool->Path());
    first->TakeRecordByKey(2);
    first->Close();
    EXPECT_FALSE(Exists(dir.File(sub)));
    std::string bytes = testing_support::ReadAll(spool->Path());
    switch (cases[i].damage) {
      case Damage::kNone:
        break;
      case Damage::kFlipFirst:
      case Damage::kFlipLast:
        bytes[cases[i].damage == Damage::kFlipFirst ? 0 : bytes.size() - 1] ^= 0x10;
        testing_support::WriteAll(spool->Path(), bytes);
        break;
      case Damage::kCutToPage2:
        testing_support::WriteAll(spool->Path(), bytes.substr(0, page2_end));
        break;
      case Damage::kDelete:
        std::filesystem::remove(spool->Path());
        break;
    }
    EXPECT_EQ(RecordKeys(*first), cases[i].first);
    EXPECT_EQ(RecordKeys(*second), cases[i].second);
    EXPECT_EQ(first->IsInError(), cases[i].first.empty());
    // A list dropped takes its image with it (delete flag 1).
    first.reset();
    EXPECT_FALSE(spool->Holds(dir.File(sub + "/1.fpg")));
  }
  // A store closed in error (an object put again) does not open again as
  // it was before.
  std::shared_ptr<GSpoolFile> spool = SpoolFile("twice");
  auto list = List("twice/1.fpg");
  GCountedPtr twice(new TestCommand(5));
  list->PutRecord(twice);
  list->Close();
  list->PutRecord(twice);
  list->Close();
  EXPECT_TRUE(RecordKeys(*list).empty() && list->IsInError());
}

TEST_F(CommandList, StoredFormByHand) {
  // A list with key 7 and no attribute set, its store closed, serial
  // numbers 0; from the stored forms: the GCommand part (version 1, key 7,
  // serial 0, the nil attribute set as a back reference to object 0,
  // version 1), the list's version 1, then the handle as a nested object:
  // class 781 (0x030D), its base part (version 1, key 7, serial 0), version
  // 1, state 2 (closed), the name "C:\S\p.fpg" (10 bytes), delete flag 1.
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\S", dir.str()));
  GCommandCompositeOnDisk list(RWWString(u"C:\\S\\p.fpg"), 1, 7);
  list.Close();
  list.SetSerialNumber(0);
  list.Handle().SetSerialNumber(0);
  const std::string file =
      "88 88 00 00 5E 02 01 00 00 00 07 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
      "01 00 00 00 0D 03 01 00 00 00 07 00 00 00 00 00 00 00 01 00 00 00 02 00 00 00 0A 00 "
      "00 00 43 3A 5C 53 5C 70 2E 66 70 67 01 00 00 00";
  EXPECT_EQ(Hex(model_testing::Save(&list, model_testing::Medium::kFile)), file);
  EXPECT_EQ(list.GraphStoreSize(), testing_support::Unhex(file).size());

  // Restored outside any store, the name is kept but never opened: the
  // list reports the error and its file stays.
  EXPECT_TRUE(Exists(dir.File("p.fpg")));
  for (model_testing::Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    model_testing::Restored back =
        model_testing::Restore(model_testing::Save(&list, medium), medium);
    ASSERT_TRUE(back.ok);
    auto* restored = dynamic_cast<GCommandCompositeOnDisk*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->Key(), 7u);
    EXPECT_EQ(restored->Handle().FileName(), RWCString("C:\\S\\p.fpg"));
    EXPECT_TRUE(restored->IsInError());
    delete restored;
  }
  EXPECT_TRUE(Exists(dir.File("p.fpg")));
}

TEST_F(CommandList, ASpooledPageKeptInAnotherStoreComesBack) {
  auto page = List("page.fpg");  // delete flag 1
  for (std::uint32_t key : {1, 2})
    Put(*page, key);
  page->Close();
  auto job = List("job.fpg", nullptr, 0);
  job->PutRecord(GCountedPtr(new GCommandCompositeOnDisk(*page)));
  // The job store's record of the page keeps the file open, so the page
  // does not delete it; nor does the record when the job store closes.
  page.reset();
  job->Close();
  EXPECT_TRUE(Exists(dir.File("page.fpg")));

  GCountedPtr back = job->TakeRecordByClassId(kGCommandCompositeOnDiskId);
  ASSERT_TRUE(back);
  auto* restored = static_cast<GCommandCompositeOnDisk*>(back.Get());
  EXPECT_FALSE(restored->IsInError());
  EXPECT_EQ(RecordKeys(*restored), (Keys{1, 2}));
  back.Reset();
  EXPECT_FALSE(Exists(dir.File("page.fpg")));
}

// Logs the key of each command it executes; swallows the one keyed
// `swallowed`.
class KeyDevice : public GPeripheral {
 public:
  KeyDevice(Keys& seen, std::uint32_t swallowed) : seen_(seen), swallowed_(swallowed) {}
  GCountedPtr Transform(const GCountedPtr& command) override {
    seen_.push_back(command->Key());
    if (command->Key() == swallowed_) return GCountedPtr(new GNoCommand);
    return command;
  }

 private:
  Keys& seen_;
  std::uint32_t swallowed_;
};

// A device reads a spooled page's commands back from its file, after the
// job's font database, and answers a composite of what came back: the
// commands read are copies, which the device may have changed in place.
TEST_F(CommandList, ADeviceTakesASpooledPageApart) {
  TestRenderJobs jobs;
  std::uint32_t cookie = 0;
  TestRenderDriverData& job = jobs.Add(cookie);
  char named[16];
  std::snprintf(named, sizeof named, "%x", cookie);
  for (std::uint32_t swallowed : {0u, 2u}) {
    SCOPED_TRACE(swallowed);
    job.fonts.loads.clear();
    auto* set = new GAttributeComposite(0);
    set->AddChild(new GStringAttribute("C:\\Spool\\2.fft", 407));
    set->AddChild(new GStringAttribute(named, 408));
    GCountedPtr page(List("device.fpg", set).release());
    for (std::uint32_t key : {1, 2, 3})
      Put(*page.Get(), key);
    static_cast<GCommandCompositeOnDisk*>(page.Get())->Close();

    Keys seen;
    KeyDevice device(seen, swallowed);
    GCountedPtr answer = device.Submit(page);
    EXPECT_EQ(seen, (Keys{1, 2, 3}));
    EXPECT_EQ(job.fonts.loads.size(), 1u);
    auto* composite = dynamic_cast<GCommandComposite*>(answer.Get());
    ASSERT_NE(composite, nullptr);
    Keys kept;
    for (RWSize i = 0; i < composite->Children().Count(); ++i)
      kept.push_back(composite->Children()[i]->Key());
    EXPECT_EQ(kept, swallowed == 0 ? (Keys{1, 2, 3}) : (Keys{1, 3}));
  }
}

}  // namespace
