// GDisplayString names a model object for the user (a tray, a bin, a
// paper-handling device, a setting) in a translatable way: the number of a
// string resource, the file name of the module that holds it (empty: the
// loader's own module) and a fallback text, shown when the number is 0 or
// the resource cannot be loaded. It is a plain model object, not an
// attribute; the driver context's resource-string loader resolves it.
//
// GDisplayStringAttribute holds one display string by value, so that a
// display string can sit in a settings tree under a key. Its Execute calls
// no device operation and answers 0; TypeId 787.
//
// Class ids 786 "GDisplayString" (kind test 786, 751) and 787
// "GDisplayStringAttribute" (kind test 787, 753, 751).
//
// Stored forms (RWFile items little-endian; a virtual stream carries the
// same items in the same order):
//   GDisplayString           the MPersistentObject part
//                            version    u32  kDisplayStringVersion
//                            module     string (u32 length, bytes)
//                            text       string
//                            string id  u16
//   GDisplayStringAttribute  the GAttribute part (attribute.h)
//                            version    u32  kDisplayStringAttributeVersion
//                            the display string as one object token of
//                            class 786 with its stored form (rwstore.h)
// Note the order: module name, then text, then the number. Stored sizes:
// the base part and 14 plus both string lengths; the attribute part, 4, the
// 2-byte class token and the display string's size.
//
// A restore of another version keeps the constructed fields. The attribute
// reads its display string back into the one it holds: any token but a new
// object of class 786 fails the restore (the held string keeps what was
// read of it).
//
// Equality: the same class id and key, equal string ids and texts and
// module names equal byte for byte (case included); for the attribute,
// content-equal display strings. Serial numbers are not compared, and
// ClearSerialNumbers leaves the held display string's own serial number.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGDisplayStringId = 786;
inline constexpr RWClassID kGDisplayStringAttributeId = 787;
inline constexpr std::uint32_t kDisplayStringVersion = 1;
inline constexpr std::uint32_t kDisplayStringAttributeVersion = 1;

class GDisplayString final
    : public MPersistentClass<GDisplayString, MPersistentObject, kGDisplayStringId> {
 public:
  // String id 0, both texts empty, key 0.
  GDisplayString() = default;
  // A null text or module name is the empty string.
  GDisplayString(std::uint16_t string_id, const char* text, const char* module_name);
  // Key, serial number and the three fields; nobody holds the copy.
  GDisplayString(const GDisplayString& other) = default;
  // Copies key, serial number and the three fields.
  GDisplayString& operator=(const GDisplayString& other) = default;

  std::uint16_t GetStringId() const { return string_id_; }
  const RWCString& GetText() const { return text_; }
  const RWCString& GetModuleName() const { return module_name_; }
  void SetText(const RWCString& text) { text_ = text; }
  void SetModuleName(const RWCString& module_name) { module_name_ = module_name; }

  // The base part, 14 and both string lengths.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t string_id_ = 0;  // 0: no resource, the text is shown
  RWCString text_;               // the fallback text
  RWCString module_name_;        // empty: the loader's own module
};

class GDisplayStringAttribute final
    : public MPersistentClass<GDisplayStringAttribute, GAttribute, kGDisplayStringAttributeId> {
 public:
  // Key 0, a default display string.
  GDisplayStringAttribute() = default;
  // A null text or module name is the empty string.
  GDisplayStringAttribute(const std::uint32_t& key, std::uint16_t string_id, const char* text,
                          const char* module_name);
  // Key 0.
  GDisplayStringAttribute(std::uint16_t string_id, const char* text, const char* module_name);
  GDisplayStringAttribute(const GDisplayStringAttribute& other) = default;
  // Copies key, serial number, state and display string.
  GDisplayStringAttribute& operator=(const GDisplayStringAttribute& other) = default;

  const GDisplayString& GetDisplayString() const { return display_string_; }
  // Assigns it (key and serial number of the display string included).
  void SetDisplayString(const GDisplayString& display_string) { display_string_ = display_string; }

  // The attribute part, 4, the token's 2 and the display string's size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 0.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GDisplayString display_string_;
};

// The extraction operators of the display string, as those of the
// attributes (attribute.h): one reference, null first; an object of another
// class is refused and fails the stream or marks the file.
inline RWVirtualInputStream& operator>>(RWVirtualInputStream& stream,
                                        GDisplayString*& display_string) {
  ReadModelPointer(stream, display_string);
  return stream;
}

inline RWFile& operator>>(RWFile& file, GDisplayString*& display_string) {
  ReadModelPointer(file, display_string);
  return file;
}

extern template class MPersistentClass<GDisplayString, MPersistentObject, kGDisplayStringId>;
extern template class MPersistentClass<GDisplayStringAttribute, GAttribute,
                                       kGDisplayStringAttributeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DisplayStringClasses();
