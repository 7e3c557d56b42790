// The job's font database: serial numbers, counted objects, saves per page
// with the owner's readers, loads by path, restores over live objects, and
// damaged database files.
#include <gtest/gtest.h>

#include <random>

#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/graph.h"

namespace {

using namespace testing_support;
using tt_testing::TestFontObject;

class Owner : public GRenderDriverData {
 public:
  explicit Owner(std::uint32_t id) : id_(id) {}
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  std::uint32_t GetOwnerId() override { return id_; }

 private:
  std::uint32_t id_;
};

RWWString Wide(const std::string& path) {
  return RWWString::FromMultiByte(RWCString(path.c_str()));
}

class FontDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tt_testing::RegisterTestFontObject();
    GTTFontPool::CreateInstance();
  }
  void TearDown() override { GTTFontPool::DestroyInstance(); }

  // A database file of objects 3 (marked) and 8 (marked), object 5
  // unmarked, and a reader of key 40 marked for owner 7.
  std::string SavedFile(TempPath& path) {
    Owner owner(7);
    GJobFontDatabase database(&owner);
    for (auto [key, mark] : {std::pair{3u, 1u}, {5u, 0u}, {8u, 1u}}) {
      auto* object = new TestFontObject(key, 2, key * 16);
      object->SetSaveMark(mark);
      database.CountReference(object);
    }
    auto* reader = new GTTFileReader(40);
    std::unique_ptr<GTTFontFile> handle(GTTFontPool::Instance()->MakeFontFile(reader));
    handle->AddKey(7);
    EXPECT_EQ(database.SaveToPath(Wide(path.str())), 1u);
    std::string bytes = ReadAll(path.str());
    database.ReleaseAll();  // deletes the file
    EXPECT_FALSE(RWFile::Exists(path.c_str()));
    WriteAll(path.str(), bytes);
    return bytes;
  }
};

TEST_F(FontDatabaseTest, SerialsAcquireAndRelease) {
  GJobFontDatabase::SetSerialCounter(0);
  EXPECT_EQ(GJobFontDatabase::NextSerial(), 0u);
  EXPECT_EQ(GJobFontDatabase::NextSerial(), 1u);
  GJobFontDatabase database(nullptr);
  auto* object = new TestFontObject(12, 5, 0);
  EXPECT_EQ(database.CountReference(object), 1u);
  EXPECT_EQ(database.CountReference(object), 1u);
  EXPECT_EQ(object->UseCount(), 1);
  EXPECT_EQ(database.Acquire(12, 6), nullptr);
  EXPECT_EQ(object->UseCount(), 1);
  EXPECT_EQ(database.Acquire(12, 5), object);
  EXPECT_EQ(object->UseCount(), 2);
  // Released with use count 2: out of the database, alive with count 1.
  EXPECT_EQ(database.Release(12), 1u);
  EXPECT_EQ(database.Contains(12), 0u);
  EXPECT_EQ(object->UseCount(), 1);
  EXPECT_EQ(database.Release(12), 0u);
  delete object;
}

TEST_F(FontDatabaseTest, SavesMarkedObjectsOnceAndTheOwnersReaders) {
  Owner owner(7);
  GJobFontDatabase database(&owner);
  // Used by a handle as well, so that the saves' release passes keep it.
  auto* object = new TestFontObject(3, 2, 48);
  object->SetSaveMark(1);
  object->SetUseCount(1);
  database.CountReference(object);
  TempPath first("fonts");
  TempPath second("fonts");
  EXPECT_EQ(database.SaveToPath(Wide(first.str())), 1u);
  EXPECT_EQ(database.SaveToPath(Wide(second.str())), 1u);
  // No readers; one object under key 3 (as an outermost object on the
  // file: magic, class id 0xFB8, base, version, key 3, serial 2, payload
  // 48); the second time neither.
  std::string bytes = ReadAll(first.str());
  EXPECT_EQ(Hex(bytes.substr(0, 12)), "00 00 00 00 01 00 00 00 03 00 00 00");
  EXPECT_EQ(Hex(bytes.substr(12, 6)), "88 88 00 00 B8 0F");
  EXPECT_EQ(Hex(bytes.substr(bytes.size() - 12)), "03 00 00 00 02 00 00 00 30 00 00 00");
  EXPECT_EQ(Hex(ReadAll(second.str())), "00 00 00 00 00 00 00 00");
  EXPECT_EQ(object->SaveMark(), 0u);
  EXPECT_EQ(database.SavedPaths().size(), 2u);
  object->SetUseCount(1);
  database.ReleaseAll();
  EXPECT_FALSE(RWFile::Exists(first.c_str()));
  EXPECT_FALSE(RWFile::Exists(second.c_str()));
  EXPECT_EQ(database.Count(), 0u);
}

TEST_F(FontDatabaseTest, LoadsByPathOnce) {
  TempPath path("fonts");
  SavedFile(path);
  Owner owner(9);
  GJobFontDatabase database(&owner);
  EXPECT_EQ(database.LoadFromPath(Wide(path.str())), 1);
  EXPECT_TRUE(database.Contains(3) && database.Contains(8));
  EXPECT_FALSE(database.Contains(5));
  EXPECT_TRUE(GTTFontPool::Instance()->Contains(40));
  GFontDatabaseEntry* acquired = database.Acquire(3, 2);
  EXPECT_EQ(acquired->UseCount(), 2);
  acquired->SetUseCount(1);
  // The current path loads as 1 without opening the file.
  std::remove(path.c_str());
  EXPECT_EQ(database.LoadFromPath(Wide(path.str())), 1);
  TempPath missing("fonts");
  EXPECT_EQ(database.LoadFromPath(Wide(missing.str() + "-none")), 0);
  EXPECT_EQ(database.CurrentPath().Length(), Wide(path.str()).Length());
}

TEST_F(FontDatabaseTest, RestoresOverLiveObjectsBySerialAndUse) {
  struct Case {
    const char* name;
    std::uint32_t live_serial;
    int uses;
    bool replaced;
    std::uint32_t payload;
    std::uint32_t serial_after;
  };
  // The file's object 3 has serial 2 and payload 48. A load first ends
  // the database's own holds: an object nothing else uses is gone before
  // the file's comes in.
  const Case cases[] = {
      {"used only here: released, the file's comes in", 5, 1, true, 48, 2},
      {"lower serial, held: merged", 1, 2, false, 48 | 1, 2},
      {"same serial, held: kept", 2, 2, false, 1, 2},
  };
  TempPath path("fonts");
  SavedFile(path);
  for (const Case& c : cases) {
    GJobFontDatabase database(nullptr);
    auto* live = new TestFontObject(3, c.live_serial, 1);
    database.CountReference(live);
    live->SetUseCount(static_cast<std::int16_t>(c.uses));
    EXPECT_EQ(database.LoadFromPath(Wide(path.str())), 1) << c.name;
    auto* now = static_cast<TestFontObject*>(database.Acquire(3, 0));
    ASSERT_TRUE(now) << c.name;
    // A replaced object is freed, and its address may come back for the
    // file's: identity is tested only with the live object, and the
    // payload tells the file's object (48) from the live one (1).
    if (!c.replaced) {
      EXPECT_EQ(now, live) << c.name;
    }
    EXPECT_EQ(now->payload, c.payload) << c.name;
    EXPECT_EQ(now->FontSerial(), c.serial_after) << c.name;
    now->SetUseCount(1);
  }
}

TEST_F(FontDatabaseTest, DamagedFilesFailTheLoadAndAreTriedAgain) {
  TempPath path("fonts");
  const std::string whole = SavedFile(path);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    WriteAll(path.str(), whole.substr(0, n));
    GJobFontDatabase database(nullptr);
    EXPECT_EQ(database.LoadFromPath(Wide(path.str())), 0) << n;
    EXPECT_EQ(database.CurrentPath().Length(), 0u) << n;
    GTTFontPool::Instance()->ReleaseAll();
  }
  std::mt19937 rng(1906);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = whole;
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    WriteAll(path.str(), damaged);
    GJobFontDatabase database(nullptr);
    database.LoadFromPath(Wide(path.str()));
    GTTFontPool::Instance()->ReleaseAll();
  }
}

}  // namespace
