// GAttribute: the abstract base of every driver setting. An attribute is a
// keyed model object (persistent_object.h) that carries one value of its
// kind, or children (attribute_composite.h), and a 32-bit state word: 1
// (kAttributeActive) while the setting is still to be handed to a device,
// 0 once it was handed over or is switched off. Settings reach the output
// side by double dispatch: Execute(device) calls the one device operation
// of the attribute's kind and answers that operation's 16-bit result.
//
// GStyleAttribute: the abstract base of attributes that carry a rendering
// style (the colour-rendering choices, the graphics attributes of the output
// model); it adds only a version word to the stored form.
//
// Neither class is registered with the factory: only their derived kinds
// are made. Class ids 753 and 754; kind tests true for the own id and the
// bases' ids.
//
// Who writes the state word: every constructor sets 1; copying and Assign
// copy it; a restore reads it; a composite's Execute and an enumeration's
// Execute clear their own word; ActivateChildren/DeactivateChildren of a
// composite set it on the composite and its direct children. Leaf attributes
// never clear their own word.
//
// Stored form, after the base part of MPersistentObject (RWFile items
// little-endian; a virtual stream carries the same items in the same order):
//   GAttribute       version u32 kAttributeVersion; state i32
//   GStyleAttribute  the GAttribute part; version u32 kStyleAttributeVersion
// A restore reads a level's fields only for the version it knows and keeps
// that level's constructed values otherwise (state 1), silently; the rest
// is read as the next level's data. GStyleAttribute reads its version word
// and nothing further, whatever its value.
//
// The device: every attribute kind's Execute calls one handler of
// GAttributeHandlers (interfaces/attribute_handlers.h), an interface below
// this library. The device base, GPeripheral (output/core/peripheral.h),
// derives from GAttribute above it and implements the handlers.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <concepts>
#include <cstdint>

#include "persist/persistent_object.h"

class GAttributeHandlers;

inline constexpr RWClassID kGAttributeId = 753;
inline constexpr RWClassID kGStyleAttributeId = 754;
inline constexpr std::uint32_t kAttributeVersion = 1;
inline constexpr std::uint32_t kStyleAttributeVersion = 1;
inline constexpr std::int32_t kAttributeActive = 1;
inline constexpr std::int32_t kAttributeInactive = 0;

class GAttribute : public MPersistentObject {
 public:
  // Key 0, a new serial number, state 1.
  GAttribute();
  explicit GAttribute(const std::uint32_t& key);
  // Key, serial number and state copied; nobody holds the copy.
  GAttribute(const GAttribute& other);
  // Copies key, serial number and state; the reference count stays.
  GAttribute& operator=(const GAttribute& other) = default;
  ~GAttribute() override;

  // The base part and 8 (version and state).
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;

  // When `other` IsDifferent from this attribute, copies its key, serial
  // number and state (never the value of a kind); otherwise nothing.
  // Composites and enumerations assign in their own way.
  virtual void Assign(const GAttribute& other);
  // Hands the attribute to the device operation of its kind and answers
  // that operation's result.
  virtual std::uint16_t Execute(GAttributeHandlers& device) = 0;

  std::int32_t State() const { return state_; }
  void SetState(std::int32_t state) { state_ = state; }
  bool IsActive() const { return state_ != kAttributeInactive; }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::int32_t state_ = kAttributeActive;
};

class GStyleAttribute : public GAttribute {
 public:
  GStyleAttribute() = default;
  explicit GStyleAttribute(const std::uint32_t& key) : GAttribute(key) {}
  GStyleAttribute(const GStyleAttribute& other) = default;

  // The attribute part and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 754, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

// The extraction operators of every attribute class: one object reference
// read into a pointer of that class, in the way of
// MPersistentObject::ReadPointerFromStream (null first; an object of
// another class is refused, fails the stream or marks the file, and is not
// freed). Each answers its stream or file, whose state tells the outcome.
template <std::derived_from<GAttribute> T>
RWVirtualInputStream& operator>>(RWVirtualInputStream& stream, T*& attribute) {
  ReadModelPointer(stream, attribute);
  return stream;
}

template <std::derived_from<GAttribute> T>
RWFile& operator>>(RWFile& file, T*& attribute) {
  ReadModelPointer(file, attribute);
  return file;
}
