// Damaged store files, and a full disk, end with the error reported through
// the store's state (Status, also while the file is open): never a crash,
// a hang or an exit (the default error handler is in force), and never a
// record other than the one stored. The fuzzing corpus of the store's
// reader is replayed here too.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "store/persistent_composite_on_disk.h"
#include "store/record.h"
#include "tests/store/store_testing.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using store_testing::PutLeaf;
using store_testing::StoreTest;
using store_testing::Wide;
using testing_support::ReadAll;
using testing_support::WriteAll;

using Taken = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // key, serial

// A fresh store with probe leaves 1, 2, 3, closed. Its layout, by hand
// from the store's (the manager, the tree and the records' blocks in the
// order they were allocated; a leaf takes 4 + 2 + 12 = 18 bytes, a block
// of 24; the index of three records 4 + 2 + 22 + 3 x 16 = 76, a block of
// 80):
constexpr std::uint32_t kTreeHeader = 284;  // block 280
constexpr std::uint32_t kFirstLeaf = 328;   // block 324
constexpr std::uint32_t kRootNode = 352;    // block 348, 488 bytes
constexpr std::uint32_t kSecondLeaf = 844;  // block 840
constexpr std::uint32_t kIndex = 892;       // block 888, after the third leaf
constexpr std::uint32_t kFileSize = 968;

class StoreCorruption : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    auto store = Store("three.fpg");
    for (std::uint32_t key : {1, 2, 3})
      stored_.emplace_back(key, PutLeaf(*store, key));
    store.reset();
    whole_ = ReadAll(dir.File("three.fpg"));
  }

  // Opens a store on `bytes`, takes every record through its iterator and
  // closes it. `open_error` is the status right after opening.
  struct Outcome {
    std::uint32_t open_error;
    std::uint32_t error;
    Taken taken;
  };
  Outcome OpenAndTakeAll(const std::string& bytes) {
    const std::string path = dir.File("damaged.fpg");
    WriteAll(path, bytes);
    Outcome outcome{};
    {
      MPersistentCompositeOnDisk store(Wide(path), 1, 0);
      outcome.open_error = store.Status();
      std::unique_ptr<MRecordIterator> walk(store.NewChildIterator());
      for (int guard = 0; walk && walk->Next() && guard < 8; ++guard) {
        GCountedPtr object = walk->TakeCurrent();
        if (object) outcome.taken.emplace_back(object->Key(), object->SerialNumber());
      }
      walk.reset();
      outcome.error = store.Status();
    }
    return outcome;
  }

  static std::string WithWord(std::string bytes, std::uint32_t at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<char>(word >> (8 * i));
    return bytes;
  }

  Taken stored_;
  std::string whole_;
};

TEST_F(StoreCorruption, EveryTruncationIsReported) {
  ASSERT_EQ(whole_.size(), kFileSize);
  EXPECT_EQ(OpenAndTakeAll(whole_).taken, stored_);
  for (std::size_t n = 0; n < whole_.size(); n += 4) {
    Outcome outcome = OpenAndTakeAll(whole_.substr(0, n));
    EXPECT_EQ(outcome.error, 1u) << "cut at " << n;
  }
}

TEST_F(StoreCorruption, RandomFlipsAreReportedOrHarmless) {
  std::mt19937 rng(20261207);
  int reported = 0;
  for (int round = 0; round < 300; ++round) {
    std::string damaged = whole_;
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    Outcome outcome = OpenAndTakeAll(damaged);
    // Unread bytes (free extents past the count, node slots past theirs,
    // unused header words) may change without harm; anything else must be
    // reported, never handed out as another record.
    if (outcome.error == 0) {
      EXPECT_EQ(outcome.taken, stored_) << "round " << round;
    } else {
      ++reported;
    }
  }
  EXPECT_GT(reported, 50);
}

TEST_F(StoreCorruption, DamagedStructuresSetTheErrorState) {
  ASSERT_EQ(whole_.size(), kFileSize);
  struct Case {
    const char* what;
    std::uint32_t at;
    std::uint32_t word;
    bool at_open;  // reported as the file opens; else when the record is read
  } cases[] = {
      {"free-list size", 8, 100, true},
      {"free-list marker", 12, 0x4321, true},
      {"free-list count", 272, 40, true},
      {"end of space before the tree", 4, 300, true},
      {"start offset", 0, 7, true},
      {"tree root", kTreeHeader, 6, true},
      {"tree version", kTreeHeader + 8, 7, true},
      {"tree count", kTreeHeader + 12, 9, true},
      {"tree key length", kTreeHeader + 16, 8, true},
      {"node count", kRootNode, 50, true},
      {"index magic", kIndex, 0x1234, true},
      {"index count", kIndex + 24, 2, true},
      {"index record's key", kIndex + 4 + 2 + 22 + 2 + 4 + 2 + 4, 5, false},
      {"record block length", kSecondLeaf - 4, 0, false},
      {"record magic", kSecondLeaf, 0x8889, false},
      {"record key", kSecondLeaf + 6 + 4, 5, false},
      {"record serial", kFirstLeaf + 6 + 8, 0x7777, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome outcome = OpenAndTakeAll(WithWord(whole_, c.at, c.word));
    EXPECT_EQ(outcome.open_error, c.at_open ? 1u : 0u);
    EXPECT_EQ(outcome.error, 1u);
  }
}

TEST_F(StoreCorruption, AFullDiskSetsTheErrorState) {
  std::uint32_t status = 0;
  int puts = 0;
  {
    testing_support::FileSizeLimit limit(8192);
    ASSERT_TRUE(limit.Ok());
    auto store = Store("full.fpg");
    for (; puts < 2000 && (status = store->Status()) == 0; ++puts)
      PutLeaf(*store, static_cast<std::uint32_t>(puts));
  }
  EXPECT_EQ(status, 1u);
  EXPECT_LT(puts, 2000);
  EXPECT_EQ(Store("full.fpg")->Status(), 1u);  // no index was written
}

TEST_F(StoreCorruption, AFailureWhileClosingIsReportedAfterTheClose) {
  // Two stores written alike (the same serial numbers, so the same
  // layout); the second may not grow to the first's closed size, so only
  // its close fails.
  auto fill = [](MPersistentObject& store) {
    for (std::uint32_t i = 0; i < 300; ++i)
      PutLeaf(store, i, 0x10000 + i);
  };
  auto first = Store("first.fpg");
  fill(*first);
  first->Close();
  const auto closed_size = static_cast<rlim_t>(ReadAll(dir.File("first.fpg")).size());
  first.reset();

  auto second = Store("second.fpg");
  {
    testing_support::FileSizeLimit limit(closed_size - 1);
    ASSERT_TRUE(limit.Ok());
    fill(*second);
    EXPECT_EQ(second->Status(), 0u);
    second->Close();
  }
  EXPECT_EQ(second->Status(), 1u);  // the state the file was closed with
  EXPECT_EQ(Store("second.fpg")->Status(), 1u);
}

// An index whose child is no record fails its restore and keeps nothing it
// refused, which is freed when the read ends unless a proxy keeps it. By
// hand: the magic; a record composite (785 = 11 03: version 1, class id 0,
// serial 0, key 0, version 1, the child count); a number (778 = 0A 03:
// version 1, key 5, serial 9, version 1, value 5); or first a proxy (784 =
// 10 03) for it (version 1, class 778, serial 9, key 5, version 1, the
// number), then the back reference FF FF 3 to the number.
TEST(RecordIndex, ARefusedChildIsFreedUnlessHeldElsewhere) {
  const std::string number = "0A 03 01 00 00 00 05 00 00 00 09 00 00 00 01 00 00 00 05 00 00 00 ";
  const std::string index =
      "88 88 00 00 11 03 01 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 ";
  const std::string proxy = "10 03 01 00 00 00 0A 03 09 00 00 00 05 00 00 00 01 00 00 00 ";
  const std::pair<std::string, std::uint32_t> cases[] = {
      {index + "01 00 00 00 " + number, 0},
      {index + "02 00 00 00 " + proxy + number + "FF FF 03 00 00 00", 1}};
  for (const auto& [bytes, children] : cases) {
    bool ok = true;
    auto* records = dynamic_cast<GRecordComposite*>(
        testing_support::RestoreFromFileBytes(testing_support::Unhex(bytes), &ok));
    ASSERT_NE(records, nullptr);
    EXPECT_FALSE(ok);
    ASSERT_EQ(records->DirectCount(), children);
    EXPECT_TRUE(!children ||
                static_cast<GRecordProxy&>(*records->First()->record).Kept()->Key() == 5);
    delete records;
  }
}

TEST(CorpusReplay, EveryStoreFileEndsCleanly) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
