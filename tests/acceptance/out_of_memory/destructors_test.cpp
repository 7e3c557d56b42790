// Destructors and clean-up paths that once allocated, each counted as it
// runs (support/failing_allocator.h): a destructor may run while a
// std::bad_alloc unwinds, and an allocation of its that fails then ends the
// process by std::terminate. Each row also checks that the clean-up still
// did its work.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <new>
#include <optional>
#include <string>

#include "fonts/font_database.h"
#include "fonts/keyed_pool.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/slistcollectables.h"
#include "foundation/rw/storetable.h"
#include "platform/ui/property_sheet.h"
#include "support/failing_allocator.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/test_support.h"

namespace testing_support {
namespace {

int g_freed = 0;

// A read's objects that say when they go.
struct Freed : RWCollectable {
  ~Freed() override { ++g_freed; }
};
struct FreedList : RWSlistCollectables {
  ~FreedList() override { ++g_freed; }
};
struct FreedFont : GFontDatabaseEntry {
  ~FreedFont() override { ++g_freed; }
  RWCollectable* CreateDefault() const override { return nullptr; }
  RWCollectable* CreateCopy() const override { return nullptr; }
  RWClassID ClassId() const override { return 0x0FB8; }
};

// The allocations `end` makes.
std::uint64_t Counted(const std::function<void()>& end) {
  support::ResetAllocations();
  end();
  return support::CountedAllocations();
}

std::ptrdiff_t OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

TEST(Destructors, AllocateNothingAndStillDoTheirWork) {
  static const int key = 0;  // a read's stream
  g_freed = 0;
  std::optional<RWReadTableKeeper> keeper;
  std::optional<RWErrorScope> outer, inner;
  std::optional<tt_testing::OpenedFont> font;
  std::optional<GJobFontDatabase> database;
  GTTFileReader entries[3] = {GTTFileReader(1), GTTFileReader(2), GTTFileReader(3)};
  std::optional<GKeyedPool> keyed;  // of the entries, which it does not own
  TempPath saved("fonts");
  std::ptrdiff_t descriptors = 0;
  {
    support::UncountedAllocations uncounted;
    keeper.emplace(&key);
    RWReadTableGuard guard(&key);  // the read, which refuses the list it made
    auto* list = new FreedList;
    list->Append(new Freed);
    guard.Table().AddObject(list, true, kRWSlistCollectablesId);
    guard.Table().AddObject(list->First(), true, kRWCollectableId);
    RWReadTableGuard::Refuse(&key, list);
    outer.emplace();
    inner.emplace();
    RaiseError(RWError(std::string(200, 'x').c_str()));
    database.emplace(nullptr);
    database->SaveToPath(RWWString::FromMultiByte(saved.c_str()));
    auto* face = new FreedFont;
    face->SetDatabaseKey(7);
    database->CountReference(face);
    // After the save, whose release pass lets go of a reader held by the
    // pool alone.
    GTTFontPool::CreateInstance();
    font.emplace(tt_testing::SquareFont(), 9);
    descriptors = OpenDescriptors();
    GTTFontPool::Instance()->Add(font->reader.release());
    keyed.emplace(nullptr);
    for (GTTFileReader& entry : entries)
      keyed->Insert(entry.FontKey(), &entry);
  }
  EXPECT_EQ(Counted([&] { keeper.reset(); }), 0u) << "a read's keeper";
  EXPECT_EQ(g_freed, 2);
  EXPECT_EQ(Counted([&] { inner.reset(); }), 0u) << "an error scope";
  EXPECT_EQ(std::string(outer->Text()), std::string(200, 'x'));
  ASSERT_EQ(GTTFontPool::Instance()->Count(), 1u);
  EXPECT_EQ(Counted(&GTTFontPool::DestroyInstance), 0u) << "the font pool";
  EXPECT_EQ(OpenDescriptors(), descriptors - 1) << "the pool's reader closes its file";
  ASSERT_EQ(keyed->Count(), 3u);
  EXPECT_EQ(Counted([&] { keyed.reset(); }), 0u) << "a keyed pool";
  EXPECT_EQ(Counted([&] { database.reset(); }), 0u) << "a job's font database";
  EXPECT_EQ(g_freed, 3) << "its font";
  EXPECT_FALSE(RWFile::Exists(saved.c_str()));
}

// The sheet service's own work that runs out of memory (here the user's
// verbs) fails the sheet as the system's does, and the procedure still gets
// its end, which gives back what its init took.
TEST(Destructors, ASheetThatRunsOutOfMemoryStillEnds) {
  static int g_reasons;
  g_reasons = 0;
  const auto procedure = [](platform::PropSheetUiInfo* info, platform::LPARAM) -> platform::LONG {
    g_reasons |= 1 << info->reason;
    if (info->reason != platform::kPropSheetUiReasonInit) return 1;
    platform::PropSheetPageW page{};
    page.size = platform::kPropSheetPageSize;
    page.template_name = reinterpret_cast<const char16_t*>(std::uintptr_t{1});
    page.dialog_procedure = [](platform::HWND, platform::UINT, platform::WPARAM,
                               platform::LPARAM) -> platform::INT_PTR { return 0; };
    info->service_callback(info->property_sheet, platform::kCpsFuncAddPropSheetPageW,
                           reinterpret_cast<platform::LPARAM>(&page), 0);
    return 1;
  };
  platform::ScriptPropertySheet([](platform::HANDLE) { throw std::bad_alloc(); });
  platform::ULONG_PTR result = 7;
  EXPECT_EQ(platform::CommonPropertySheetUIW(nullptr, procedure, 0, &result), -1);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotEnoughMemory);
  EXPECT_EQ(result, 0u);
  EXPECT_TRUE(g_reasons & (1 << platform::kPropSheetUiReasonDestroy));
}

}  // namespace
}  // namespace testing_support
