#include "persist/binary_data.h"

#include <cstring>
#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kBinaryDataClasses[] = {
    {&RWCreate<GBinaryData>, kGBinaryDataId, "GBinaryData"},
};

}  // namespace

std::span<const RWClassRegistration> BinaryDataClasses() {
  return kBinaryDataClasses;
}

GBinaryData::GBinaryData(std::uint8_t* data, std::uint32_t size, std::uint32_t owns,
                         const std::uint32_t& key)
    : MPersistentClass(key), data_(data), size_(size), owns_data_(owns) {}

GBinaryData::GBinaryData(const GBinaryData& other) : MPersistentClass() {
  if (!other.data_ || other.size_ == 0) return;
  std::unique_ptr<std::uint8_t[]> copy = RWNewArray<std::uint8_t>(other.size_);
  if (!copy) return;
  std::memcpy(copy.get(), other.data_, other.size_);
  SetData(copy.release(), other.size_, 1);
}

GBinaryData::~GBinaryData() {
  Clear();
}

void GBinaryData::SetData(std::uint8_t* data, std::uint32_t size, std::uint32_t owns) {
  if (data != data_) Clear();
  data_ = data;
  size_ = size;
  owns_data_ = owns;
}

std::uint8_t* GBinaryData::ReleaseData() {
  std::uint8_t* data = data_;
  data_ = nullptr;
  size_ = 0;
  owns_data_ = 0;
  return data;
}

void GBinaryData::Clear() {
  if (owns_data_) delete[] data_;
  ReleaseData();
}

RWSize GBinaryData::StoredSize() const {
  return MPersistentObject::StoredSize() + size_ + 12;
}

bool GBinaryData::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GBinaryData* same = SameContentBase(other);
  if (!same || size_ != same->size_) return false;
  return data_ == same->data_ || size_ == 0 || std::memcmp(data_, same->data_, size_) == 0;
}

template <class Out>
void GBinaryData::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kBinaryDataVersion);
  PutItem(out, size_);
  PutItem(out, owns_data_);
  PutBytes(out, data_, size_);
}

template <class In>
void GBinaryData::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kBinaryDataVersion)) return;
  Clear();
  std::uint32_t size = 0;
  std::uint32_t owns = 0;
  std::unique_ptr<std::uint8_t[]> block;
  if (!GetItem(in, size) || !GetItem(in, owns) || !GetBytes(in, size, block)) return;
  // The block was made here and is this object's to free: a stored flag of
  // 0 would leak it, so it counts as owned then.
  SetData(block.release(), size, size && !owns ? 1 : owns);
}

template class MPersistentClass<GBinaryData, MPersistentObject, kGBinaryDataId>;
