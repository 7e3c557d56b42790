#include "output/raster/dither_matrix.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistent_composite.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kDitherMatrixClasses[] = {
    {&RWCreate<GDitherMatrix>, kGDitherMatrixId, "GDitherMatrix"},
};

constexpr std::int16_t kLargestSide = 255;

// A selector matches when equal or 0 on either side.
constexpr bool Matches(std::uint16_t mine, std::uint16_t wanted) {
  return mine == wanted || mine == 0 || wanted == 0;
}

}  // namespace

std::span<const RWClassRegistration> DitherMatrixClasses() {
  return kDitherMatrixClasses;
}

GDitherMatrix::GDitherMatrix(std::uint8_t width, std::uint8_t height,
                             const std::uint8_t* thresholds, std::uint16_t parameter,
                             const std::uint32_t& key)
    : GDitherMatrix(width, height, thresholds, parameter, parameter, 0, 0, 0, key) {}

GDitherMatrix::GDitherMatrix(std::uint8_t width, std::uint8_t height,
                             const std::uint8_t* thresholds, std::uint16_t parameter,
                             std::uint16_t second_parameter, std::uint8_t first_selector,
                             std::uint8_t second_selector, std::uint16_t selector_word,
                             const std::uint32_t& key)
    : MPersistentClass(key),
      parameter_(parameter),
      second_parameter_(second_parameter),
      first_selector_(first_selector),
      second_selector_(second_selector),
      selector_word_(selector_word) {
  SetCells(width, height, thresholds);
}

GDitherMatrix::GDitherMatrix(const GDitherMatrix& other) : MPersistentClass(other) {
  *this = other;
}

GDitherMatrix& GDitherMatrix::operator=(const GDitherMatrix& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  SetCells(static_cast<std::uint8_t>(other.width_), static_cast<std::uint8_t>(other.height_),
           other.thresholds_.get());
  parameter_ = other.parameter_;
  second_parameter_ = other.second_parameter_;
  row_start_ = other.row_start_;
  current_column_ = other.current_column_;
  last_column_ = other.last_column_;
  first_selector_ = other.first_selector_;
  second_selector_ = other.second_selector_;
  selector_word_ = other.selector_word_;
  extra_value_ = other.extra_value_;
  return *this;
}

void GDitherMatrix::SetCells(std::uint8_t width, std::uint8_t height,
                             const std::uint8_t* thresholds) {
  width_ = height_ = 0;
  thresholds_.reset();
  row_start_ = current_column_ = last_column_ = 0;
  if (width == 0 || height == 0) return;
  std::unique_ptr<std::uint8_t[]> block = RWNewArray<std::uint8_t>(std::uint32_t{width} * height);
  if (!block) return;
  if (thresholds) std::memcpy(block.get(), thresholds, std::uint32_t{width} * height);
  thresholds_ = std::move(block);
  width_ = width;
  height_ = height;
}

std::uint8_t GDitherMatrix::GetCell(std::uint16_t row, std::uint16_t column) const {
  if (row >= height_ || column >= width_) return 0;
  return thresholds_[std::uint32_t{row} * width_ + column];
}

void GDitherMatrix::SetCell(std::uint16_t row, std::uint16_t column, std::uint8_t value) {
  if (row < height_ && column < width_) thresholds_[std::uint32_t{row} * width_ + column] = value;
}

void GDitherMatrix::StartRow(std::uint16_t column, std::uint16_t row) {
  if (!thresholds_) return;
  last_column_ = static_cast<std::uint8_t>(width_ - 1);
  current_column_ = static_cast<std::uint8_t>(column % width_);
  row_start_ = static_cast<std::uint32_t>(row % height_) * width_;
}

std::uint8_t GDitherMatrix::NextThreshold() {
  if (!thresholds_) return 0;
  const std::uint8_t threshold = thresholds_[row_start_ + current_column_];
  current_column_ = current_column_ == last_column_ ? 0 : current_column_ + 1;
  return threshold;
}

void GDitherMatrix::CopyRotatedRow(std::uint8_t* destination, std::uint16_t column,
                                   std::uint16_t row) const {
  if (!thresholds_) return;
  const std::uint8_t* cells =
      thresholds_.get() + static_cast<std::uint32_t>(row % height_) * width_;
  const std::uint32_t start = column % width_;
  std::memcpy(destination, cells + start, width_ - start);
  std::memcpy(destination + (width_ - start), cells, start);
}

std::uint32_t GDitherMatrix::CopyAll(std::uint8_t* destination, std::uint16_t width,
                                     std::uint16_t height) const {
  const std::uint32_t count = std::min(std::uint32_t{width} * height, CellCount());
  if (count != 0) std::memcpy(destination, thresholds_.get(), count);
  return count;
}

bool GDitherMatrix::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* matrix = dynamic_cast<const GDitherMatrix*>(other);
  if (!matrix || other->ClassId() != ClassId() || width_ != matrix->width_ ||
      height_ != matrix->height_ || parameter_ != matrix->parameter_ ||
      second_parameter_ != matrix->second_parameter_ ||
      first_selector_ != matrix->first_selector_ || second_selector_ != matrix->second_selector_ ||
      selector_word_ != matrix->selector_word_ || extra_value_ != matrix->extra_value_ ||
      !std::equal(thresholds_.get(), thresholds_.get() + CellCount(), matrix->thresholds_.get())) {
    return false;
  }
  return MPersistentObject::IsEqualContent(other);
}

GDitherMatrix* GDitherMatrix::FindInList(std::uint16_t parameter, std::uint16_t second_parameter,
                                         std::uint16_t first_selector,
                                         std::uint16_t second_selector, std::uint16_t selector_word,
                                         const MPersistentComposite& list, std::int32_t start,
                                         bool flagged) {
  const GCountedPtrVector& entries = list.Children();
  for (std::int64_t i = std::max<std::int64_t>(std::int64_t{start} + 1, 0); i < entries.Count();
       ++i) {
    const GCountedPtr held(entries[static_cast<RWSize>(i)], g_file_lock);
    auto* matrix = dynamic_cast<GDitherMatrix*>(held.Get());
    if (!matrix || matrix->parameter_ != parameter ||
        matrix->second_parameter_ != second_parameter ||
        !Matches(matrix->first_selector_, first_selector) ||
        !Matches(matrix->second_selector_, second_selector)) {
      continue;
    }
    if (flagged ? matrix->selector_word_ == kDitherFlaggedWord
                : Matches(matrix->selector_word_, selector_word)) {
      return matrix;
    }
  }
  return nullptr;
}

RWSize GDitherMatrix::StoredSize() const {
  return MPersistentObject::StoredSize() + 22 + CellCount();
}

template <class Out>
void GDitherMatrix::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDitherMatrixVersion);
  PutItem(out, width_);
  PutItem(out, height_);
  PutBytes(out, thresholds_.get(), CellCount());
  PutItem(out, parameter_);
  PutItem(out, extra_value_);
  PutItem(out, second_parameter_);
  PutItem(out, first_selector_);
  PutItem(out, second_selector_);
  PutItem(out, selector_word_);
}

template <class In>
void GDitherMatrix::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version == 0) return;
  std::int16_t width = 0, height = 0;
  if (!GetItem(in, width) || !GetItem(in, height)) return;
  const bool no_cells = width == 0 && height == 0;
  if (!no_cells && (width < 1 || width > kLargestSide || height < 1 || height > kLargestSide)) {
    scope.Fail();
    return;
  }
  std::unique_ptr<std::uint8_t[]> block;
  if (!GetBytes(in, static_cast<std::uint32_t>(width) * height, block)) return;
  thresholds_ = std::move(block);
  width_ = width;
  height_ = height;
  row_start_ = current_column_ = last_column_ = 0;
  if (!GetItem(in, parameter_)) return;
  second_parameter_ = parameter_;
  if (version >= 2 && !GetItem(in, extra_value_)) return;
  if (version >= 3 && GetItem(in, second_parameter_) && GetItem(in, first_selector_) &&
      GetItem(in, second_selector_)) {
    GetItem(in, selector_word_);
  }
}

template class MPersistentClass<GDitherMatrix, MPersistentObject, kGDitherMatrixId>;
