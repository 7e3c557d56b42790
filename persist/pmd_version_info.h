// GPMDVersionInfo: a version record that other parts of the driver family
// store and read back through the class factory: two versions in
// major.minor form, three further numbers and a list of text lines.
//
// Class id 1051, registered as "GPMDVersionInfo".
//
// Stored form, after the base part of MPersistentObject:
//   version      u32  kPMDVersionInfoVersion
//   versionB     u32  major in the high 16 bits, minor in the low 16 bits
//   versionA     u32  (B is stored before A)
//   shortValue   u16
//   valueA       u32
//   valueB       u32
//   line count   u32
//   lines        each in the 8-bit string form (u32 count, bytes)
// A restore of another version keeps every field and line. Otherwise the
// lines read replace the old ones, one by one as they arrive: a damaged
// count fails the restore (on a file, at once when the rest of the file
// cannot hold it) without asking for memory of its own size.
//
// Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPMDVersionInfoId = 1051;
inline constexpr std::uint32_t kPMDVersionInfoVersion = 1;

class GPMDVersionInfo final
    : public MPersistentClass<GPMDVersionInfo, MPersistentObject, kGPMDVersionInfoId> {
 public:
  using LineVector = RWValueVector<RWCString>;

  // Versions 0, shortValue 1, values 0, no lines, key 0.
  GPMDVersionInfo() = default;
  // valueA and valueB 0, no lines.
  GPMDVersionInfo(std::uint32_t version_a, std::uint32_t version_b, std::uint16_t short_value,
                  const std::uint32_t& key = 0);
  GPMDVersionInfo(const GPMDVersionInfo& other) = default;
  GPMDVersionInfo& operator=(const GPMDVersionInfo& other) = default;

  // Minor number + 1, answering the old minor number; at 0xFFFF nothing
  // changes and the answer is -1.
  std::int32_t IncrementMinorA() { return IncrementMinor(version_a_); }
  std::int32_t IncrementMinorB() { return IncrementMinor(version_b_); }
  // Major number + 1 and minor 0, answering the old major number; at
  // 0xFFFF nothing changes and the answer is 0xFFFF.
  std::int32_t IncrementMajorA() { return IncrementMajor(version_a_); }
  std::int32_t IncrementMajorB() { return IncrementMajor(version_b_); }

  std::uint32_t VersionA() const { return version_a_; }
  std::uint32_t VersionB() const { return version_b_; }
  std::uint16_t ShortValue() const { return short_value_; }
  std::uint32_t ValueA() const { return value_a_; }
  std::uint32_t ValueB() const { return value_b_; }
  void SetValueA(std::uint32_t value) { value_a_ = value; }
  void SetValueB(std::uint32_t value) { value_b_ = value; }
  LineVector& Lines() { return lines_; }
  const LineVector& Lines() const { return lines_; }
  void AddLine(const RWCString& text) { lines_.Append(text); }

  // The base part, 26 and 4 + length for every line.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, the five numbers, and
  // equal lines at every index.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  static std::int32_t IncrementMinor(std::uint32_t& version);
  static std::int32_t IncrementMajor(std::uint32_t& version);

  std::uint32_t version_a_ = 0;  // major << 16 | minor
  std::uint32_t version_b_ = 0;
  std::uint16_t short_value_ = 1;
  std::uint32_t value_a_ = 0;
  std::uint32_t value_b_ = 0;
  LineVector lines_;  // room for 64, growing by 64
};

extern template class MPersistentClass<GPMDVersionInfo, MPersistentObject, kGPMDVersionInfoId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PMDVersionInfoClasses();
