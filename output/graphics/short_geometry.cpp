#include "output/graphics/short_geometry.h"

#include <algorithm>
#include <utility>

#include "foundation/rw/support.h"

GShortPointArray::GShortPointArray(GShortPointArray&& other) noexcept
    : owns_(std::exchange(other.owns_, false)),
      storage_(std::exchange(other.storage_, nullptr)),
      first_(std::exchange(other.first_, nullptr)),
      count_(std::exchange(other.count_, 0)) {}

GShortPointArray& GShortPointArray::operator=(GShortPointArray&& other) noexcept {
  if (this != &other) {
    Release();
    owns_ = std::exchange(other.owns_, false);
    storage_ = std::exchange(other.storage_, nullptr);
    first_ = std::exchange(other.first_, nullptr);
    count_ = std::exchange(other.count_, 0);
  }
  return *this;
}

GShortPointArray GShortPointArray::Adopt(std::unique_ptr<GShortPoint[]> storage,
                                         std::uint32_t count) {
  GShortPointArray array;
  array.storage_ = storage.release();
  array.first_ = array.storage_;
  array.count_ = array.storage_ ? count : 0;
  return array;
}

bool GShortPointArray::CopyOf(const GShortPoint* points, std::uint32_t count,
                              GShortPointArray& into) {
  std::unique_ptr<GShortPoint[]> copy;
  if (count != 0) {
    copy = RWNewArrayForOverwrite<GShortPoint>(count);
    if (!copy) return false;
    std::copy_n(points, count, copy.get());
  }
  into = Adopt(std::move(copy), count);
  return true;
}

void GShortPointArray::Release() {
  if (owns_) delete[] storage_;
  storage_ = first_ = nullptr;
  count_ = 0;
}

bool SamePoints(const GShortPointArray& a, const GShortPointArray& b) {
  if (a.Count() != b.Count()) return false;
  if (a.First() == b.First()) return true;
  return std::equal(a.First(), a.First() + a.Count(), b.First());
}
