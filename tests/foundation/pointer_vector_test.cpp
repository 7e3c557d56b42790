#include "foundation/rw/pointer_vector.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/test_support.h"

namespace {

void* P(std::uintptr_t v) {
  return reinterpret_cast<void*>(v);
}

TEST(PointerVectorTest, FillResizeReshape) {
  RWPointerVector v(2, P(7));
  EXPECT_EQ(v.Length(), 2u);
  EXPECT_EQ(v[0], P(7));
  EXPECT_EQ(v[1], P(7));
  v[1] = P(9);

  EXPECT_EQ(v.Reshape(5), 2u);
  ASSERT_EQ(v.Length(), 5u);
  EXPECT_EQ(v[0], P(7));
  EXPECT_EQ(v[1], P(9));
  for (RWSize i = 2; i < 5; ++i)
    EXPECT_EQ(v[i], nullptr) << i;

  v.Fill(P(3));
  v.Resize(1);
  EXPECT_EQ(v.Length(), 1u);
  EXPECT_EQ(v[0], P(3));
  v.Resize(3);
  EXPECT_EQ(v[0], P(3));
  EXPECT_EQ(v[2], nullptr);
  EXPECT_EQ(v.Reshape(0), 3u);
  EXPECT_EQ(v.Data(), nullptr);
  EXPECT_EQ(RWPointerVector().Length(), 0u);
}

TEST(PointerVectorTest, CopiesAreIndependent) {
  RWPointerVector a(3, P(1));
  RWPointerVector b(a);
  RWPointerVector c(1);
  c = a;
  c = c;
  a[0] = P(2);
  EXPECT_EQ(b[0], P(1));
  EXPECT_EQ(c[0], P(1));
  EXPECT_EQ(c.Length(), 3u);
  c = RWPointerVector();
  EXPECT_EQ(c.Length(), 0u);
}

TEST(PointerVectorTest, IndexErrors) {
  testing_support::ErrorCapture capture;
  RWPointerVector v(2);
  v[2] = P(5);  // lands in scratch
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (2) for collection or string with 2 elements");
  const RWPointerVector& cv = v;
  EXPECT_EQ(cv[RW_NPOS], nullptr);
  EXPECT_EQ(capture.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(v[1], nullptr);
  EXPECT_EQ(capture.Count(), 2u);
}

}  // namespace
