#include "persist/pmd_version_info.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPMDVersionInfoClasses[] = {
    {&RWCreate<GPMDVersionInfo>, kGPMDVersionInfoId, "GPMDVersionInfo"},
};

constexpr std::uint32_t kMinorMask = 0xFFFF;
constexpr std::uint32_t kLargest = 0xFFFF;  // of a major or minor number
// The fewest bytes a stored line takes in a file: its count.
constexpr std::uint32_t kMinLineBytes = 4;

}  // namespace

std::span<const RWClassRegistration> PMDVersionInfoClasses() {
  return kPMDVersionInfoClasses;
}

GPMDVersionInfo::GPMDVersionInfo(std::uint32_t version_a, std::uint32_t version_b,
                                 std::uint16_t short_value, const std::uint32_t& key)
    : MPersistentClass(key),
      version_a_(version_a),
      version_b_(version_b),
      short_value_(short_value) {}

std::int32_t GPMDVersionInfo::IncrementMinor(std::uint32_t& version) {
  std::uint32_t minor = version & kMinorMask;
  if (minor == kLargest) return -1;
  version = (version & ~kMinorMask) | (minor + 1);
  return static_cast<std::int32_t>(minor);
}

std::int32_t GPMDVersionInfo::IncrementMajor(std::uint32_t& version) {
  std::uint32_t major = version >> 16;
  if (major == kLargest) return static_cast<std::int32_t>(kLargest);
  version = (major + 1) << 16;
  return static_cast<std::int32_t>(major);
}

RWSize GPMDVersionInfo::StoredSize() const {
  RWSize size = MPersistentObject::StoredSize() + 26;
  for (RWSize i = 0; i < lines_.Count(); ++i)
    size += 4 + lines_.Data()[i].Length();
  return size;
}

bool GPMDVersionInfo::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPMDVersionInfo* same = SameContentBase(other);
  if (!same || version_a_ != same->version_a_ || version_b_ != same->version_b_ ||
      short_value_ != same->short_value_ || value_a_ != same->value_a_ ||
      value_b_ != same->value_b_ || lines_.Count() != same->lines_.Count()) {
    return false;
  }
  for (RWSize i = 0; i < lines_.Count(); ++i) {
    if (!(lines_.Data()[i] == same->lines_.Data()[i])) return false;
  }
  return true;
}

template <class Out>
void GPMDVersionInfo::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPMDVersionInfoVersion);
  PutItem(out, version_b_);
  PutItem(out, version_a_);
  PutItem(out, short_value_);
  PutItem(out, value_a_);
  PutItem(out, value_b_);
  PutItem(out, std::uint32_t{lines_.Count()});
  for (RWSize i = 0; i < lines_.Count(); ++i)
    PutItem(out, lines_.Data()[i]);
}

template <class In>
void GPMDVersionInfo::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kPMDVersionInfoVersion)) return;
  std::uint32_t count = 0;
  if (!GetItem(in, version_b_) || !GetItem(in, version_a_) || !GetItem(in, short_value_) ||
      !GetItem(in, value_a_) || !GetItem(in, value_b_) || !GetItem(in, count)) {
    return;
  }
  lines_.Clear();
  if (!RemainingMayHold(in, count, kMinLineBytes)) {
    scope.Fail();
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    RWCString line;
    if (!GetItem(in, line)) return;
    RWSize before = lines_.Count();
    lines_.Append(line);
    if (lines_.Count() == before) return;  // [NOMEM], recorded by the scope
  }
}

template class MPersistentClass<GPMDVersionInfo, MPersistentObject, kGPMDVersionInfoId>;
