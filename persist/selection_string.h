// GSelectionString: an 8-bit text with a 16-bit selection number (a named
// choice), carried as a model object.
//
// Class id 1008, registered as "GSelectionString".
//
// Stored form, after the base part of MPersistentObject:
//   version    u32  kSelectionStringVersion
//   text       the 8-bit string form (u32 count, bytes)
//   selection  u16
// A restore of another version keeps the object as it was.
//
// Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGSelectionStringId = 1008;
inline constexpr std::uint32_t kSelectionStringVersion = 1;

class GSelectionString final
    : public MPersistentClass<GSelectionString, MPersistentObject, kGSelectionStringId> {
 public:
  // Key 0, selection 0, empty text.
  GSelectionString() = default;
  GSelectionString(const RWCString& text, std::uint16_t selection, const std::uint32_t& key = 0);
  GSelectionString(const GSelectionString& other) = default;
  // Copies key, selection and text.
  GSelectionString& operator=(const GSelectionString& other);

  const RWCString& Text() const { return text_; }
  std::uint16_t Selection() const { return selection_; }

  // The base part and the text's length + 10.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, selection and text bytes.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t selection_ = 0;
  RWCString text_;
};

extern template class MPersistentClass<GSelectionString, MPersistentObject, kGSelectionStringId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> SelectionStringClasses();
