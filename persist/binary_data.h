// GBinaryData: a run of bytes carried as a model object. It either owns its
// bytes (frees them when destroyed or given new ones) or only points at
// bytes that stay the caller's.
//
// Class id 4, registered as "GBinaryData".
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kBinaryDataVersion
//   size     u32  byte count
//   owns     u32  the owns flag as it was when saved
//   bytes    `size` single bytes (in character form on a stream)
// A restore of another version keeps the object as it was. Otherwise it
// frees its old bytes (when owned) and reads the new ones into a block of
// its own, which it owns even when the stored flag is 0 (the flag is kept
// otherwise); the block grows with the
// bytes that arrive, so a damaged size fails the restore without asking
// for memory of its own size, and leaves the object without bytes.
//
// Owned bytes are one array from new[] (RWNewArray<std::uint8_t>); bytes
// handed out by ReleaseData are freed by the caller with delete[].
//
// Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGBinaryDataId = 4;
inline constexpr std::uint32_t kBinaryDataVersion = 1;

class GBinaryData final : public MPersistentClass<GBinaryData, MPersistentObject, kGBinaryDataId> {
 public:
  // No bytes, not owning, key 0.
  GBinaryData() = default;
  explicit GBinaryData(const std::uint32_t& key) : MPersistentClass(key) {}
  // Takes the pointer over; frees it later only when `owns` is non-zero.
  // REQUIRES: `data` holds `size` bytes (null only when size is 0); owned
  // bytes come from new[].
  GBinaryData(std::uint8_t* data, std::uint32_t size, std::uint32_t owns,
              const std::uint32_t& key = 0);
  // A block of its own holding the source's bytes (none when the source has
  // none, or after [NOMEM]); key 0 and a new serial number.
  GBinaryData(const GBinaryData& other);
  GBinaryData& operator=(const GBinaryData&) = delete;
  ~GBinaryData() override;

  // Frees the old bytes when owned, then takes the three values.
  // REQUIRES: as for the constructor.
  void SetData(std::uint8_t* data, std::uint32_t size, std::uint32_t owns);
  // Hands the bytes to the caller (who frees them when they were owned) and
  // clears the three fields.
  std::uint8_t* ReleaseData();
  // Frees the bytes when owned and clears the three fields.
  void Clear();

  std::uint8_t* Data() const { return data_; }
  std::uint32_t Size() const { return size_; }
  std::uint32_t OwnsData() const { return owns_data_; }

  // The base part and size + 12.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, the same size and the same
  // bytes.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint8_t* data_ = nullptr;  // size_ bytes, null when none
  std::uint32_t size_ = 0;
  std::uint32_t owns_data_ = 0;  // non-zero: data_ is freed by this object
};

extern template class MPersistentClass<GBinaryData, MPersistentObject, kGBinaryDataId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> BinaryDataClasses();
