// The font pool and its handles: marks and saves per owner, restores over
// live readers, handles found again by key and generation, owners' release
// passes, the handle's stored form, and handles used from several threads.
#include <gtest/gtest.h>

#include <thread>

#include "fonts/keyed_pool.h"
#include "fonts/tt_font_pool.h"
#include "fonts/tt_table_cache.h"
#include "services/os_factory.h"
#include "support/test_os_factory.h"
#include "support/truetype_writer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace support;
using namespace testing_support;
using tt_testing::OpenedFont;

class FontPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { pool_ = GTTFontPool::CreateInstance(); }
  void TearDown() override { GTTFontPool::DestroyInstance(); }

  // A reader of `key` and `generation` with one cached table of `bytes`.
  static GTTFileReader* NewReader(std::uint32_t key, std::uint32_t generation,
                                  const std::string& bytes = "t") {
    auto* reader = new GTTFileReader(key);
    reader->StoreTable(kTagPost, GByteBuffer::NewCopy(tt_testing::Bytes(bytes), 1));
    reader->SetGeneration(generation);
    return reader;
  }

  // The stored form of a keyed pool holding `reader` under its key.
  static std::string StoredReaders(GTTFontReader* reader) {
    TempPath path("readers");
    {
      RWFile file(path.c_str(), "wb");
      GKeyedPool pool(nullptr);
      pool.Insert(reader->FontKey(), reader);
      pool.SaveToFile(file, nullptr, nullptr);
      pool.Remove(reader->FontKey());
    }
    delete reader;
    return ReadAll(path.str());
  }

  std::uint32_t Restore(const std::string& bytes) {
    TempPath path("readers");
    WriteAll(path.str(), bytes);
    RWFile file(path.c_str(), "rb");
    return pool_->RestoreFromFile(file);
  }

  std::string Save(std::uint32_t owner) {
    TempPath path("readers");
    {
      RWFile file(path.c_str(), "wb");
      EXPECT_EQ(pool_->SaveToFile(file, owner), 1u);
    }
    return ReadAll(path.str());
  }

  GTTFontPool* pool_ = nullptr;
};

TEST_F(FontPoolTest, SavesWriteOnlyTheReadersMarkedForTheOwner) {
  std::unique_ptr<GTTFontFile> a(pool_->MakeFontFile(NewReader(1, 4)));
  std::unique_ptr<GTTFontFile> b(pool_->MakeFontFile(NewReader(2, 4)));
  a->AddKey(10);
  b->AddKey(20);
  EXPECT_EQ(a->Reader()->UseCount(), 2);  // the handle and the pool
  std::string first = Save(10);
  EXPECT_EQ(first.substr(0, 8), Unhex("01 00 00 00 01 00 00 00"));  // one reader, key 1
  EXPECT_EQ(Hex(Save(10)), "00 00 00 00");                          // unmarked by the save
  a->AddKey(10);
  EXPECT_EQ(Save(10), first);
  EXPECT_EQ(Save(20).substr(0, 8), Unhex("01 00 00 00 02 00 00 00"));
}

TEST_F(FontPoolTest, AServiceStreamSaveAnswersWhetherItsBytesReachedTheFile) {
  TestOSFactory services;  // the file streams
  std::unique_ptr<GTTFontFile> a(pool_->MakeFontFile(NewReader(1, 4)));
  // File-size limits (in a child): room for all, the count cut (nothing
  // marked), the marked reader cut.
  const std::pair<rlim_t, int> cases[] = {{RLIM_INFINITY, 1}, {2, 0}, {6, 0}};
  for (const auto& [bytes, answer] : cases) {
    TempPath path("readers");
    const RWWString wide = RWWString::FromMultiByte(RWCString(path.c_str()));
    const auto save = [&, mark = bytes != 2] {
      if (mark) a->AddKey(10);
      return int(pool_->SaveToServiceStream(10, wide));
    };
    EXPECT_EQ(WithLimit(RLIMIT_FSIZE, bytes, save), answer) << bytes;
  }
}

TEST_F(FontPoolTest, RestoresReplaceOrAbsorbByGenerationAndHolders) {
  struct Case {
    const char* name;
    std::uint32_t live_generation;
    int handles;
    bool replaced;
    std::uint32_t generation_after;
  };
  const Case cases[] = {
      {"older, pool only: replaced", 3, 0, true, 7},
      {"older, held by handles: absorbs", 3, 2, false, 7},
      {"newer: kept", 9, 0, false, 9},
  };
  for (const Case& c : cases) {
    GTTFileReader* live = NewReader(5, c.live_generation, "L");
    pool_->Add(live);
    std::vector<std::unique_ptr<GTTFontFile>> handles;
    for (int i = 0; i < c.handles; ++i)
      handles.emplace_back(pool_->MakeFontFile(live));
    GTTFileReader* stored = NewReader(5, 0, "S");
    stored->StoreTable(kTagName, GByteBuffer::NewCopy(tt_testing::Bytes("N"), 1));
    stored->SetGeneration(7);
    EXPECT_EQ(Restore(StoredReaders(stored)), 1u) << c.name;
    GTTFontReader* now = pool_->Acquire(5, 0);
    ASSERT_TRUE(now) << c.name;
    EXPECT_EQ(now != live, c.replaced) << c.name;
    EXPECT_EQ(now->Generation(), c.generation_after) << c.name;
    if (!c.replaced && c.handles) {
      EXPECT_TRUE(now->TableCache()->Holds(kTagName)) << c.name << ": caches merged";
    }
    now->SetUseCount(static_cast<std::int16_t>(now->UseCount() - 1));  // the Acquire's hold
    handles.clear();
    pool_->ReleaseAll();
  }
}

TEST_F(FontPoolTest, HandlesFindTheirReaderByKeyAndGeneration) {
  GTTFileReader* reader = NewReader(0x11, 0x22);
  pool_->Add(reader);
  std::unique_ptr<GTTFontFile> handle(pool_->MakeFontFile(reader));
  handle->SetSerialNumber(0);
  // Magic; class id 859 (0x35B); base; version 1; key 0x11; generation 0x22.
  const std::string stored = SaveToFileBytes(handle.get());
  EXPECT_EQ(Hex(stored),
            "88 88 00 00 5B 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 11 00 00 00 22 00 "
            "00 00");
  GTTFontFile empty;
  empty.SetSerialNumber(0);
  EXPECT_EQ(Hex(SaveToFileBytes(&empty)).substr(66), "00 00 00 00 FF FF FF FF");
  struct Case {
    std::uint32_t generation_now;
    bool found;
  };
  for (Case c : {Case{0x22, true}, Case{0x30, true}, Case{0x21, false}}) {
    reader->SetGeneration(c.generation_now);
    bool ok = false;
    std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(stored, &ok));
    ASSERT_TRUE(ok);
    auto* restored = static_cast<GTTFontFile*>(back.get());
    EXPECT_EQ(restored->Reader() == reader, c.found) << c.generation_now;
    EXPECT_EQ(reader->UseCount(), c.found ? 3 : 2);
    EXPECT_EQ(restored->IsEqualContent(handle.get()), c.found);
  }
  EXPECT_EQ(reader->UseCount(), 2);
  bool ok = false;
  std::unique_ptr<RWCollectable> none(RestoreFromFileBytes(SaveToFileBytes(&empty), &ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(static_cast<GTTFontFile*>(none.get())->Reader(), nullptr);
}

TEST_F(FontPoolTest, ReleasingAnOwnerKeepsReadersOthersHold) {
  GTTFileReader* alone = NewReader(1, 1);
  GTTFileReader* shared = NewReader(2, 1);
  GTTFileReader* handled = NewReader(3, 1);
  alone->OwnerList() = {10};
  shared->OwnerList() = {10, 20};
  handled->OwnerList() = {10};
  for (GTTFontReader* reader :
       {static_cast<GTTFontReader*>(alone), static_cast<GTTFontReader*>(shared),
        static_cast<GTTFontReader*>(handled)})
    pool_->Add(reader);
  std::unique_ptr<GTTFontFile> handle(pool_->MakeFontFile(handled));
  pool_->ReleaseOwner(10);
  EXPECT_FALSE(pool_->Contains(1));
  EXPECT_TRUE(pool_->Contains(2));
  EXPECT_EQ(shared->OwnerList(), std::vector<std::uint32_t>{20});
  EXPECT_TRUE(pool_->Contains(3));
  handle.reset();
  pool_->RunReleasePass();
  EXPECT_FALSE(pool_->Contains(3));
  EXPECT_EQ(pool_->ReleaseKey(2), 1u);
  EXPECT_EQ(pool_->ReleaseKey(2), 0u);
  EXPECT_EQ(pool_->NextId(), 0u);
  EXPECT_EQ(pool_->NextId(), 1u);
  pool_->Purge();
  EXPECT_EQ(pool_->NextId(), 0u);
}

// Other objects in a pool's stored form are refused; a font-file handle
// there, which would ask the pool while its restore holds the pool lock,
// finds no reader (before: the restoring thread waited for itself).
TEST_F(FontPoolTest, RestoredEntriesMustBeReaders) {
  tt_testing::RegisterTestFontObject();
  std::unique_ptr<GTTFontFile> live(pool_->MakeFontFile(NewReader(4, 1)));
  live->AddKey(1);
  tt_testing::TestFontObject object(1, 1, 1);
  for (MPersistentObject* entry :
       {static_cast<MPersistentObject*>(&object), static_cast<MPersistentObject*>(live.get())}) {
    TempPath path("readers");
    {
      RWFile file(path.c_str(), "wb");
      GKeyedPool other(nullptr);
      other.Insert(5, entry);
      other.SaveToFile(file, nullptr, nullptr);
      other.Remove(5);
    }
    EXPECT_EQ(Restore(ReadAll(path.str())), 0u);
    EXPECT_FALSE(pool_->Contains(5));
  }
  EXPECT_EQ(live->Reader()->UseCount(), 2);
  // A stored count far beyond the file fails at once.
  EXPECT_EQ(Restore(Unhex("FF FF FF FF 01 00 00 00")), 0u);
}

TEST(FontPoolThreads, HandlesOnOneReaderFromSeveralThreads) {
  TestOSFactory services;  // locks for the pool and the readers
  GTTFontPool* pool = GTTFontPool::CreateInstance();
  OpenedFont opened(TestFont().Build(), 77);
  ASSERT_TRUE(opened.opened);
  GTTFileReader* reader = opened.reader.release();
  pool->Add(reader);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([pool, reader, t] {
      for (int i = 0; i < 200; ++i) {
        std::unique_ptr<GTTFontFile> handle(pool->MakeFontFile(reader));
        GByteBuffer* out = nullptr;
        handle->GetGlyphData(0, 1, static_cast<std::uint16_t>(i % 6), out);
        delete out;
        EXPECT_EQ(handle->MapCharToGlyph(0, 0, 0x41, 16), 1);
        if (i % 50 == 0) handle->AddKey(100 + t);
        std::unique_ptr<GTTFontFile> copy(
            static_cast<GTTFontFile*>(RestoreFromFileBytes(SaveToFileBytes(handle.get()))));
        EXPECT_TRUE(copy && copy->Reader() == reader);
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(reader->UseCount(), 1);
  EXPECT_FALSE(reader->IsLocked());
  GTTFontPool::DestroyInstance();
}

// A pool (and its readers) made before any driver services exist is still
// reached from every job's thread: jobs that mark and release their fonts
// at once must find it locked (a race here shows under ThreadSanitizer, or
// as a damaged pool).
TEST(FontPoolThreads, JobsReleasingAtOnceOnAPoolMadeWithoutServices) {
  ASSERT_EQ(GOSFactory::Instance(), nullptr);
  GTTFontPool* pool = GTTFontPool::CreateInstance();
  OpenedFont opened(TestFont().Build(), 78);
  ASSERT_TRUE(opened.opened);
  GTTFileReader* reader = opened.reader.release();
  pool->Add(reader);
  const std::unique_ptr<GTTFontFile> kept(pool->MakeFontFile(reader));  // never released
  std::vector<std::thread> jobs;
  for (std::uint32_t owner = 1; owner <= 4; ++owner) {
    jobs.emplace_back([pool, reader, owner] {
      for (int i = 0; i < 300; ++i) {
        std::unique_ptr<GTTFontFile> handle(pool->MakeFontFile(reader));
        handle->AddKey(owner);
        EXPECT_EQ(handle->MapCharToGlyph(0, 0, 0x41, 16), 1);
        pool->ReleaseOwner(owner);
      }
    });
  }
  for (std::thread& job : jobs)
    job.join();
  EXPECT_EQ(reader->UseCount(), 2);
  EXPECT_TRUE(pool->Contains(78) && !reader->IsLocked());
  GTTFontPool::DestroyInstance();
}

// The font-file handle's fuzz corpus (tests/fuzz/font_pool_fuzz.cpp), with
// the default error handler in force.
TEST(FontPoolCorpus, EveryInputEndsCleanlyAndRestoresWhatWasSaved) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
  GTTFontPool::DestroyInstance();
}

}  // namespace
