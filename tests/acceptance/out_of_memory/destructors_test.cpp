// Destructors and clean-up paths that once allocated, each counted as it
// runs (support/failing_allocator.h): a destructor may run while a
// std::bad_alloc unwinds, and an allocation of its that fails then ends the
// process by std::terminate. Each row also checks that the clean-up still
// did its work.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "fonts/font_database.h"
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
char g_text[256];

// A read's object that says when it goes.
struct Freed : RWCollectable {
  ~Freed() override { ++g_freed; }
};
struct FreedList : RWSlistCollectables {
  ~FreedList() override { ++g_freed; }
};

TEST(Destructors, AllocateNothingAndStillDoTheirWork) {
  const struct {
    const char* name;
    // Makes what the destructor ends (uncounted), and answers the work
    // that runs it; the check runs after.
    std::function<std::function<void()>()> make;
    std::function<bool()> done;
  } kCases[] = {
      {"a read's keeper frees what the read refused",
       [] {
         static const int key = 0;
         auto keeper = std::make_shared<RWReadTableKeeper>(&key);
         {
           RWReadTableGuard guard(&key);
           auto* list = new FreedList;
           auto* member = new Freed;
           list->Append(member);
           guard.Table().AddObject(list, true, kRWSlistCollectablesId);
           guard.Table().AddObject(member, true, kRWCollectableId);
           RWReadTableGuard::Refuse(&key, list);
         }
         return [keeper]() mutable { keeper.reset(); };
       },
       [] { return g_freed == 2; }},
      {"an error scope passes its text up",
       [] {
         auto outer = std::make_shared<RWErrorScope>();
         auto inner = std::make_shared<RWErrorScope>();
         RaiseError(RWError(std::string(200, 'x').c_str()));
         return [outer, inner]() mutable {
           inner.reset();
           std::strncpy(g_text, outer->Text(), sizeof g_text - 1);
         };
       },
       [] { return std::string(g_text) == std::string(200, 'x'); }},
      {"the font pool lets its readers go",
       [] {
         GTTFontPool::CreateInstance();
         auto opened = std::make_shared<tt_testing::OpenedFont>(tt_testing::SquareFont(), 9);
         GTTFontPool::Instance()->Add(opened->reader.release());
         return [opened] { GTTFontPool::DestroyInstance(); };
       },
       [] { return GTTFontPool::Instance() == nullptr; }},
      {"a job's font database removes its saved files",
       [] {
         auto path = std::make_shared<TempPath>("fonts");
         auto database = std::make_shared<GJobFontDatabase>(nullptr);
         database->SaveToPath(RWWString::FromMultiByte(path->c_str()));
         return [path, database]() mutable {
           database.reset();
           if (RWFile::Exists(path->c_str())) g_freed = -1;
         };
       },
       [] { return g_freed != -1; }},
  };
  for (const auto& row : kCases) {
    g_freed = 0;
    std::function<void()> end;
    {
      support::UncountedAllocations uncounted;
      end = row.make();
    }
    support::ResetAllocations();
    end();
    const std::uint64_t counted = support::CountedAllocations();
    support::UncountedAllocations uncounted;
    end = nullptr;
    EXPECT_EQ(counted, 0u) << row.name;
    EXPECT_TRUE(row.done()) << row.name;
  }
}

// The sheet service's own work that runs out of memory (here the user's
// verbs) fails the sheet as the system's does, and the procedure still gets
// its end, which gives back what its init took.
TEST(Destructors, ASheetThatRunsOutOfMemoryStillEnds) {
  static int g_reasons = 0;
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
