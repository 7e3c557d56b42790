// The sweep's findings, each at the allocations that showed it: every
// allocation of one operation failed in turn (support/failing_allocator.h),
// in this process under a new handler with a one-time reserve, the
// library's errors recorded by a scope.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/chunked_value.h"
#include "filters/spool_directory.h"
#include "fonts/font.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/error.h"
#include "support/failing_allocator.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/test_support.h"

namespace testing_support {
namespace {

// The library's new handler in miniature: its first call frees a reserve
// (the request is tried again), a later one gives up.
int g_handler_calls = 0;
void ReserveHandler() {
  if (g_handler_calls++ > 0) throw std::bad_alloc();
}

// Allocation `n` of `operation` fails; answers whether any did.
template <class Operation>
bool FailingAt(std::uint64_t n, Operation operation) {
  RWErrorScope scope;
  g_handler_calls = 0;
  const std::new_handler before = std::set_new_handler(&ReserveHandler);
  support::ResetAllocations();
  support::FailAllocation(n);
  operation();
  support::FailAllocation(0);
  std::set_new_handler(before);
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

// A glyph whose render memory ran short for gives no bitmap, never the
// empty glyph's empty one, and the next render of it (memory back) gives
// the whole bitmap: a renderer that could not be made is tried again.
void RenderEachFailingAllocation() {
  tt_testing::OpenedFont opened(tt_testing::SquareFont(), 40);
  ASSERT_TRUE(opened.opened);
  GTTFontReader* reader = opened.reader.release();  // the pool's from here
  GFontDescriptionRecord record;
  record.selector = 16;
  record.height = 10;
  record.words2[2] = record.words2[4] = 'A';
  record.words2[3] = 'C';
  // The face keeps the reader in the pool; each round starts without a
  // renderer, so that its making fails too.
  GFont anchor(new GTTFontImp(0, record, {}, GTTFontPool::Instance(), reader), nullptr);
  const auto render = [&](GByteBuffer*& out) {
    GGlyphMetrics metrics;
    return anchor.GetImplementation()->GetGlyphBitmap('A', 16, metrics, out);
  };
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    GByteBuffer* out = nullptr;
    reader->DropRenderer();
    failed = FailingAt(n, [&] { render(out); });
    std::unique_ptr<GByteBuffer> held(out);
    EXPECT_TRUE(out ? out->GetSize() == 40 : failed) << n;  // 10 rows of 4 bytes
    GByteBuffer* again = nullptr;
    EXPECT_EQ(render(again), 40u) << n;
    delete again;
  }
}

TEST(FailedAllocation, AGlyphIsRenderedWholeOrNotAtAll) {
  GTTFontPool::CreateInstance();
  RenderEachFailingAllocation();
  GTTFontPool::DestroyInstance();
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
