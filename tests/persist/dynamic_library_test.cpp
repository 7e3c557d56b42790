// The library handle over the platform layer's module loading: our own
// shared object and the in-process table, exports called with explicit
// arguments, failed loads tried again, restores that unload, and copies
// that share the module so that it is freed once, by the last holder.
#include "persist/dynamic_library.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "foundation/rw/rwstore.h"
#include "platform/host/modules.h"
#include "tests/persist/media.h"
#include "tests/support/host_fixture.h"

namespace {

using platform::GetModuleCounters;

constexpr char16_t kTestMod[] = u"C:\\Drv\\TESTMOD.DLL";

std::uint32_t Product(const std::uintptr_t* arguments, std::uint32_t count) {
  std::uint32_t product = 1;
  for (std::uint32_t i = 0; i < count; ++i)
    product *= static_cast<std::uint32_t>(arguments[i]);
  return product;
}

class DynamicLibraryTest : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    ASSERT_TRUE(platform::MapSharedObject(u"TESTMOD.DLL", DRV_TESTMOD_PATH));
  }
  static platform::ModuleCounters Counters() { return GetModuleCounters(u"TESTMOD.DLL"); }
};

TEST_F(DynamicLibraryTest, CallsExportsOfOurSharedObject) {
  GDynamicLibrary library(kTestMod);
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Handle(), nullptr);

  const std::uintptr_t arguments[] = {1, 2, 3};
  EXPECT_EQ(library.CallExport("TestModWeightedSum", arguments), 1u * 1 + 2 * 2 + 3 * 3);
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_EQ(library.CallExport("TestModWeightedSum", {}), 0u);
  // 0x0012 * 0x10000 + 0xABCD: only the low 16 bits come back.
  EXPECT_EQ(library.CallExportPair("TestModPair", 0x12, 0xABCD), 0xABCD);
  // A missing export answers 0 and leaves the module loaded.
  EXPECT_EQ(library.CallExport("NoSuchExport", arguments), 0u);
  EXPECT_EQ(library.CallExportPair("NoSuchExport", 1, 2), 0);
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_EQ(Counters().loads, 1u);

  EXPECT_TRUE(library.Load());  // loaded already: not again
  EXPECT_EQ(Counters().loads, 1u);
  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(Counters().frees, 1u);
  library.Unload();
  EXPECT_EQ(Counters().frees, 1u);
}

TEST_F(DynamicLibraryTest, CallsExportsOfTheInProcessTable) {
  platform::ModuleSpec module{
      u"C:\\Ext\\EXT.DLL", {{"Product", reinterpret_cast<platform::FARPROC>(&Product)}}, {}};
  ASSERT_TRUE(platform::AddModule(module));
  GDynamicLibrary library(u"C:\\Ext\\EXT.DLL");
  const std::uintptr_t arguments[] = {2, 3, 7};
  EXPECT_EQ(library.CallExport("Product", arguments), 42u);
  EXPECT_EQ(library.CallExport("product", arguments), 0u);  // names are case-sensitive
}

TEST_F(DynamicLibraryTest, AFailedLoadIsTriedAgain) {
  GDynamicLibrary library(kTestMod);
  platform::SetModuleLoadFailure(u"TESTMOD.DLL", true);
  EXPECT_FALSE(library.Load());
  EXPECT_EQ(library.CallExportPair("TestModPair", 0, 1), 0);
  EXPECT_FALSE(library.IsLoaded());
  platform::SetModuleLoadFailure(u"TESTMOD.DLL", false);
  EXPECT_EQ(library.CallExportPair("TestModPair", 0, 1), 1);
  EXPECT_TRUE(library.IsLoaded());

  GDynamicLibrary nowhere(u"NOWHERE.DLL");
  EXPECT_FALSE(nowhere.Load());
}

// Copies share the module: destroying or unloading one leaves the others
// loaded, and the module is freed once, by its last holder.
TEST_F(DynamicLibraryTest, CopiesReleaseTheModuleOnceByTheLastHolder) {
  auto original = std::make_unique<GDynamicLibrary>(kTestMod);
  ASSERT_TRUE(original->Load());
  {
    GDynamicLibrary copy(*original);
    EXPECT_TRUE(copy.IsLoaded());
    EXPECT_EQ(copy.Handle(), original->Handle());
    EXPECT_TRUE(copy.IsEqualContent(original.get()));
  }
  EXPECT_EQ(Counters().frees, 0u);
  EXPECT_EQ(original->CallExportPair("TestModPair", 0, 5), 5);

  GDynamicLibrary assigned(u"OTHER.DLL");
  assigned = *original;
  assigned = assigned;
  EXPECT_EQ(assigned.Handle(), original->Handle());
  assigned.Unload();
  EXPECT_TRUE(original->IsLoaded());
  EXPECT_EQ(Counters().frees, 0u);

  // The source goes first; a copy made from it carries on.
  GDynamicLibrary survivor(*original);
  original.reset();
  EXPECT_EQ(Counters().frees, 0u);
  EXPECT_EQ(survivor.CallExportPair("TestModPair", 0, 6), 6);
  EXPECT_EQ(Counters().loads, 1u);

  // Copies made and destroyed on eight threads at once.
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&survivor] {
      for (int i = 0; i < 200; ++i) {
        GDynamicLibrary copy(survivor);
        GDynamicLibrary second(copy);
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(Counters().frees, 0u);
  survivor.Unload();
  EXPECT_EQ(Counters().frees, 1u);
  EXPECT_EQ(Counters().references, 0u);
}

TEST_F(DynamicLibraryTest, EqualityStoredSizeAndRestore) {
  GDynamicLibrary loaded(kTestMod);
  GDynamicLibrary unloaded(kTestMod);
  ASSERT_TRUE(loaded.Load());
  EXPECT_FALSE(loaded.IsEqualContent(&unloaded));
  EXPECT_TRUE(GDynamicLibrary(kTestMod).IsEqualContent(&unloaded));
  EXPECT_FALSE(GDynamicLibrary(u"OTHER.DLL").IsEqualContent(&unloaded));
  // The base part is 12 bytes.
  EXPECT_EQ(GDynamicLibrary(u"12345").StoredSize(), 12u + 18);

  // Restoring a loaded handle frees its module; it then reports not loaded
  // under the stored name.
  GDynamicLibrary stored(u"OTHER.DLL");
  std::string bytes = model_testing::Save(&stored, model_testing::Medium::kBinary);
  std::istringstream in(bytes);
  auto stream = testing_support::MakeInputStream(in, testing_support::Encoding::kBinary);
  EXPECT_EQ(RestoreCollectableFromStream(*stream, &loaded), &loaded);
  EXPECT_FALSE(stream->Fail());
  EXPECT_FALSE(loaded.IsLoaded());
  EXPECT_EQ(loaded.Handle(), nullptr);
  EXPECT_TRUE(loaded.Name() == RWWString(u"OTHER.DLL"));
  EXPECT_EQ(Counters().frees, 1u);
}

TEST_F(DynamicLibraryTest, ExtractionReadsAHandleOrNothing) {
  GDynamicLibrary named(kTestMod);
  for (model_testing::Medium medium : model_testing::kAllMedia) {
    std::string bytes = model_testing::Save(&named, medium);
    GDynamicLibrary* back = nullptr;
    if (medium == model_testing::Medium::kFile) {
      testing_support::TempPath path("library");
      testing_support::WriteAll(path.str(), bytes);
      RWFile file(path.c_str(), "rb");
      GDynamicLibrary::ReadPointerFromFile(file, back);
    } else {
      std::istringstream in(bytes);
      auto stream = testing_support::MakeInputStream(in, model_testing::EncodingOf(medium));
      GDynamicLibrary::ReadPointerFromStream(*stream, back);
    }
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->IsEqual(&named));
    delete back;
  }
  // Another model class is no handle.
  GDynamicLibrary* none = reinterpret_cast<GDynamicLibrary*>(&named);
  std::string other = model_testing::Save(&named, model_testing::Medium::kBinary);
  other[1] = 0x0D;  // class id 781, which is not registered
  std::istringstream in(other);
  auto stream = testing_support::MakeInputStream(in, testing_support::Encoding::kBinary);
  {
    RWErrorScope unknown_class;
    GDynamicLibrary::ReadPointerFromStream(*stream, none);
  }
  EXPECT_EQ(none, nullptr);
  EXPECT_TRUE(stream->Fail());
}

}  // namespace
