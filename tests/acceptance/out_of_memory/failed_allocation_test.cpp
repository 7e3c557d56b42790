// The sweep's findings, each at the allocations that showed it: every
// allocation of one operation failed in turn (support/failing_allocator.h),
// in this process (no new handler is installed here: a nothrow allocation
// answers null), the library's errors recorded by a scope.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/chunked_value.h"
#include "filters/spool_directory.h"
#include "foundation/rw/error.h"
#include "support/failing_allocator.h"
#include "tests/support/test_support.h"

namespace testing_support {
namespace {

// Allocation `n` of `operation` fails; answers whether any did.
template <class Operation>
bool FailingAt(std::uint64_t n, Operation operation) {
  RWErrorScope scope;
  support::ResetAllocations();
  support::FailAllocation(n);
  operation();
  support::FailAllocation(0);
  return support::AllocationFailed();
}

// A failed append cut "366:1" to "3661": another value's name.
TEST(FailedAllocation, AChunkNameIsWholeOrNone) {
  const RWWString name(u"366");
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    RWWString chunk;
    failed = FailingAt(n, [&] { chunk = ChunkName(name, 1); });
    EXPECT_TRUE(chunk == u"366:1" || (failed && chunk.IsNull())) << n;
  }
}

// A copy short of a part was taken, and stored, as the whole.
TEST(FailedAllocation, ADeepCopyIsWholeOrNone) {
  GAttributeComposite tree(366);
  auto* locks = new GAttributeComposite(1102);
  locks->AddChild(new GValueAttribute(7, 1));
  locks->AddChild(new GStringAttribute("watermark", 2));
  tree.AddChild(locks);
  tree.AddChild(new GValueAttribute(1, 3));
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::unique_ptr<MPersistentObject> copy;
    failed = FailingAt(n, [&] { copy.reset(tree.DeepCopy()); });
    EXPECT_TRUE(copy ? copy->NodeCount() == tree.NodeCount() : failed) << n;
  }
}

// opendir's allocation failing left every font file of the spool.
TEST(FailedAllocation, ASpoolDirectoryGoesWithoutMemory) {
  TempPath parent("spool");
  ASSERT_EQ(::mkdir(parent.c_str(), 0700), 0);
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::shared_ptr<GSpoolDirectory> spool =
        GSpoolDirectory::Make(RWWString::FromMultiByte(parent.c_str()), "pages", ".spl");
    ASSERT_TRUE(spool && spool->CreateFile("font-1") && spool->CreateFile("font-2"));
    failed = FailingAt(n, [&] { spool.reset(); });
    EXPECT_TRUE(std::filesystem::is_empty(parent.str())) << n;
  }
  std::filesystem::remove_all(parent.str());
}

}  // namespace
}  // namespace testing_support
