// GPMLDescriptor: a named device value as the driver family stores it: a
// wide name, a 32-bit value and an 8-bit text. Only the name takes part in
// content equality and in ordering.
//
// Class id 956, registered as "GPMLDescriptor".
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kPMLDescriptorVersion
//   name     the wide string form (u32 count, 16-bit units)
//   value    u32
//   text     the 8-bit string form (u32 count, bytes)
// A restore of another version keeps the object as it was.
//
// Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPMLDescriptorId = 956;
inline constexpr std::uint32_t kPMLDescriptorVersion = 1;

class GPMLDescriptor final
    : public MPersistentClass<GPMLDescriptor, MPersistentObject, kGPMLDescriptorId> {
 public:
  // Key 0, empty name, value 0, empty text.
  GPMLDescriptor() = default;
  // Key 0 and an empty text.
  GPMLDescriptor(const RWWString& name, std::uint32_t value);
  // The base part with its key, and every field.
  GPMLDescriptor(const GPMLDescriptor& other) = default;
  GPMLDescriptor& operator=(const GPMLDescriptor& other) = default;

  const RWWString& Name() const { return name_; }
  std::uint32_t Value() const { return value_; }
  const RWCString& Text() const { return text_; }
  void SetText(const RWCString& text) { text_ = text; }

  // Whether the name compares below the other's (the wide strings' exact
  // comparison).
  bool IsLessThan(const GPMLDescriptor& other) const;

  // The base part, 2 x the name's length + 8 and the text's length + 8.
  RWSize StoredSize() const override;
  // The same object; or the same class and key and the same name (value
  // and text are not compared).
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  RWWString name_;
  std::uint32_t value_ = 0;
  RWCString text_;
};

extern template class MPersistentClass<GPMLDescriptor, MPersistentObject, kGPMLDescriptorId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PMLDescriptorClasses();
