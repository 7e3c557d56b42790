#include "fonts/text_escapements.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fonts/font_items.h"
#include "foundation/rw/support.h"
#include "output/graphics/angle.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kTextEscapementsClasses[] = {
    {&RWCreate<GTextEscapements>, kGTextEscapementsId, "GTextEscapements"},
};

constexpr std::uint32_t kTablePresent = 1;
constexpr std::uint32_t kNoTable = 0;
constexpr std::uint32_t kMaxCount = 0xFFFF;

std::unique_ptr<GCharTable> CopyTable(const std::unique_ptr<GCharTable>& table) {
  return table ? std::unique_ptr<GCharTable>(RWNew<GCharTable>(*table)) : nullptr;
}

bool SameTable(const GCharTable* a, const GCharTable* b) {
  if (a == b) return true;
  if (!a || !b || a->Count() != b->Count()) return false;
  return a->Count() == 0 || std::memcmp(a->Data(), b->Data(), a->Count() * 2u) == 0;
}

}  // namespace

std::span<const RWClassRegistration> TextEscapementsClasses() {
  return kTextEscapementsClasses;
}

// ---------------------------------------------------------------------------
// GCharTable

GCharTable::GCharTable(std::uint32_t count) : block_(RWNewArray<std::uint16_t>(count)) {
  if (!block_ && count) return;
  data_ = block_.get();
  count_ = count;
  owned_ = true;
}

GCharTable GCharTable::Borrow(std::uint16_t* entries, std::uint32_t count) {
  GCharTable table;
  table.data_ = entries;
  table.count_ = entries ? count : 0;
  return table;
}

GCharTable GCharTable::CopyOf(std::span<const std::uint16_t> entries) {
  GCharTable table = Borrow(const_cast<std::uint16_t*>(entries.data()),
                            static_cast<std::uint32_t>(entries.size()));
  if (!table.MakePrivate()) return GCharTable();
  return table;
}

GCharTable::GCharTable(const GCharTable& other) : GCharTable(other.count_) {
  if (count_) std::copy_n(other.data_, count_, data_);
}

GCharTable& GCharTable::operator=(const GCharTable& other) {
  if (this != &other) *this = GCharTable(other);
  return *this;
}

GCharTable::GCharTable(GCharTable&& other) noexcept
    : block_(std::move(other.block_)),
      data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      owned_(std::exchange(other.owned_, false)) {}

GCharTable& GCharTable::operator=(GCharTable&& other) noexcept {
  block_ = std::move(other.block_);
  data_ = std::exchange(other.data_, nullptr);
  count_ = std::exchange(other.count_, 0);
  owned_ = std::exchange(other.owned_, false);
  return *this;
}

bool GCharTable::MakePrivate() {
  if (owned_) return true;
  std::unique_ptr<std::uint16_t[]> block = RWNewArrayForOverwrite<std::uint16_t>(count_);
  if (!block && count_) return false;
  if (count_) std::copy_n(data_, count_, block.get());
  block_ = std::move(block);
  data_ = block_.get();
  owned_ = true;
  return true;
}

bool GCharTable::Set(std::uint32_t index, std::uint16_t value) {
  if (!MakePrivate() || index >= count_) return false;
  data_[index] = value;
  return true;
}

// ---------------------------------------------------------------------------
// GTextEscapements

GTextEscapements::GTextEscapements(std::unique_ptr<GCharTable> primary,
                                   std::unique_ptr<GCharTable> secondary, std::uint16_t count)
    : primary_(std::move(primary)), secondary_(std::move(secondary)), count_(count) {}

GTextEscapements::GTextEscapements(float degrees, GCharTable advances)
    : count_(static_cast<std::uint16_t>(std::min(advances.Count(), kMaxCount))) {
  const GAngle angle(degrees);
  auto negated = [&advances]() {
    advances.MakePrivate();
    for (std::uint32_t i = 0; i < advances.Count(); ++i)
      advances.Set(i, static_cast<std::uint16_t>(-advances.At(i)));
    return std::unique_ptr<GCharTable>(RWNew<GCharTable>(std::move(advances)));
  };
  auto kept = [&advances]() {
    return std::unique_ptr<GCharTable>(RWNew<GCharTable>(std::move(advances)));
  };
  const float a = angle.GetDegrees();
  if (a == 0.0f) {
    primary_ = kept();
  } else if (a == 90.0f) {
    secondary_ = negated();
  } else if (a == 180.0f) {
    primary_ = negated();
  } else if (a == 270.0f) {
    secondary_ = kept();
  } else {
    const float s = angle.Sin();
    const float c = angle.Cos();
    std::unique_ptr<GCharTable> ys(RWNew<GCharTable>(advances.Count()));
    if (!ys || ys->Count() != advances.Count() || !advances.MakePrivate()) {
      count_ = 0;
      return;
    }
    // The running sum of signed advances; each step is the difference of
    // two rounded points, so that rounding never accumulates.
    std::int64_t d = 0;
    std::int64_t x_prev = 0;
    std::int64_t y_prev = 0;
    for (std::uint32_t i = 0; i < advances.Count(); ++i) {
      d += static_cast<std::int16_t>(advances.At(i));
      const float distance = static_cast<float>(d);
      const auto x = static_cast<std::int64_t>(std::trunc(distance * c + 0.5f));
      const auto y = static_cast<std::int64_t>(std::trunc(-(distance * s + 0.5f)));
      advances.Set(i, static_cast<std::uint16_t>(x - x_prev));
      ys->Set(i, static_cast<std::uint16_t>(y - y_prev));
      x_prev = x;
      y_prev = y;
    }
    primary_ = kept();
    secondary_ = std::move(ys);
  }
}

GTextEscapements::GTextEscapements(const GTextEscapements& other)
    : MPersistentClass(other),
      primary_(CopyTable(other.primary_)),
      secondary_(CopyTable(other.secondary_)),
      count_(other.count_) {}

GTextEscapements::~GTextEscapements() = default;

const std::uint16_t* GTextEscapements::GetPrimaryTable() const {
  return primary_ ? primary_->Data() : nullptr;
}

const std::uint16_t* GTextEscapements::GetSecondaryTable() const {
  return secondary_ ? secondary_->Data() : nullptr;
}

std::uint16_t GTextEscapements::GetPrimaryAt(std::uint32_t index) const {
  return primary_ ? primary_->At(index) : 0;
}

std::uint16_t GTextEscapements::GetSecondaryAt(std::uint32_t index) const {
  return secondary_ ? secondary_->At(index) : 0;
}

namespace {

void SetAt(std::unique_ptr<GCharTable>& table, std::uint16_t count, std::uint32_t index,
           std::uint16_t value) {
  if (!table) {
    if (value == 0) return;
    table.reset(RWNew<GCharTable>(count));
    if (!table) return;
  }
  table->Set(index, value);
}

}  // namespace

void GTextEscapements::SetPrimaryAt(std::uint32_t index, std::uint16_t value) {
  SetAt(primary_, count_, index, value);
}

void GTextEscapements::SetSecondaryAt(std::uint32_t index, std::uint16_t value) {
  SetAt(secondary_, count_, index, value);
}

RWSize GTextEscapements::StoredSize() const {
  return MPersistentObject::StoredSize() + 14 + (primary_ ? 2 * count_ : 0) +
         (secondary_ ? 2 * count_ : 0);
}

bool GTextEscapements::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTextEscapements* same = SameContentBase(other);
  return same && same->count_ == count_ && SameTable(primary_.get(), same->primary_.get()) &&
         SameTable(secondary_.get(), same->secondary_.get());
}

namespace {

// A present table is stored with the object's count of entries.
template <class Out>
void PutTable(Out& out, const std::unique_ptr<GCharTable>& table, std::uint16_t count) {
  PutItem(out, table ? kTablePresent : kNoTable);
  if (!table) return;
  for (std::uint32_t i = 0; i < count; ++i)
    PutItem(out, table->At(i));
}

// A table of `count` entries when the flag reads 1; false when the data
// ends or fails first.
template <class In>
bool GetTable(In& in, std::uint16_t count, std::unique_ptr<GCharTable>& table) {
  std::uint32_t flag = kNoTable;
  if (!GetItem(in, flag)) return false;
  if (flag != kTablePresent) return true;
  std::vector<std::uint16_t> entries;
  if (!GetWords(in, count, entries)) return false;
  table.reset(RWNew<GCharTable>(GCharTable::CopyOf(entries)));
  return table && table->Count() == count;
}

}  // namespace

template <class Out>
void GTextEscapements::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kTextEscapementsVersion);
  PutItem(out, count_);
  PutTable(out, primary_, count_);
  PutTable(out, secondary_, count_);
}

template <class In>
void GTextEscapements::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kTextEscapementsVersion)) return;
  std::uint16_t count = 0;
  if (!GetItem(in, count)) return;
  primary_.reset();
  secondary_.reset();
  count_ = count;
  if (!GetTable(in, count, primary_) || !GetTable(in, count, secondary_)) scope.Fail();
}

template class MPersistentClass<GTextEscapements, MPersistentObject, kGTextEscapementsId>;
