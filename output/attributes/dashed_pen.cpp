#include "output/attributes/dashed_pen.h"

#include <algorithm>
#include <utility>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "output/stored_runs.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kDashedPenClasses[] = {
    {&RWCreate<GDashedPen>, kGDashedPenId, "GDashedPen"},
};

constexpr std::uint32_t kEntryBytes = 2;

}  // namespace

std::span<const RWClassRegistration> DashedPenClasses() {
  return kDashedPenClasses;
}

GDashedPen::GDashedPen(std::unique_ptr<std::uint16_t[]> pattern, std::uint32_t length,
                       std::uint32_t width, GPaint* paint, std::uint16_t phase,
                       const std::uint32_t& key)
    : MPersistentClass(width, paint, key),
      pattern_(std::move(pattern)),
      length_(pattern_ ? length : 0),
      phase_(phase) {}

GDashedPen::GDashedPen(const GDashedPen& other) : MPersistentClass(other), phase_(other.phase_) {
  CopyPattern(other);
}

GDashedPen& GDashedPen::operator=(const GDashedPen& other) {
  if (this != &other) {
    GPen::operator=(other);
    CopyPattern(other);
    phase_ = other.phase_;
  }
  return *this;
}

void GDashedPen::CopyPattern(const GDashedPen& other) {
  pattern_.reset();
  length_ = 0;
  if (!other.pattern_ || other.length_ == 0) return;
  pattern_ = RWNewArrayForOverwrite<std::uint16_t>(other.length_);
  if (!pattern_) return;
  std::copy_n(other.pattern_.get(), other.length_, pattern_.get());
  length_ = other.length_;
}

std::uint16_t GDashedPen::Execute(GAttributeHandlers& device) {
  return device.SetDashedPen(*this);
}

bool GDashedPen::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDashedPen* pen = SameContentBase(other);
  return pen && length_ == pen->length_ && phase_ == pen->phase_ &&
         std::equal(pattern_.get(), pattern_.get() + length_, pen->pattern_.get());
}

RWSize GDashedPen::StoredSize() const {
  return GPen::StoredSize() + 10 + kEntryBytes * length_;
}

template <class Out>
void GDashedPen::SaveItems(Out& out) const {
  SaveBase<GPen>(*this, out);
  PutItem(out, kDashedPenVersion);
  PutItem(out, phase_);
  PutItem(out, length_);
  for (std::uint32_t i = 0; i < length_; ++i)
    PutItem(out, pattern_[i]);
}

template <class In>
void GDashedPen::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPen>(*this, in);
  std::uint32_t length = 0;
  if (!ReadsVersion(scope, in, kDashedPenVersion) || !GetItem(in, phase_) || !GetItem(in, length)) {
    return;
  }
  pattern_.reset();
  length_ = 0;
  std::unique_ptr<std::uint16_t[]> pattern;
  if (!GetItemRun(in, length, kEntryBytes, pattern,
                  [](In& source, std::uint16_t& entry) { return GetItem(source, entry); })) {
    scope.Fail();
    return;
  }
  pattern_ = std::move(pattern);
  length_ = pattern_ ? length : 0;
}

template class MPersistentClass<GDashedPen, GPen, kGDashedPenId>;
