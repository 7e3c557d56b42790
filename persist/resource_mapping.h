// GResourceMapping ties a string resource (the name of an entry) to two
// 16-bit numbers: the number reported to the system (a bin or tray number)
// and a second number that a list keeps unique. GResourceMappingList is the
// composite of such mappings that the printer context keeps its bin and
// tray maps in: mappings enter it only through AddMapping and
// AddMappingUnique (which refuse duplicates) and through a restore (which
// takes what was stored); AddChild takes nothing.
//
// Class ids 1004 "GResourceMapping" and 1005 "GResourceMappingList".
//
// Stored form of GResourceMapping, after the base part of MPersistentObject:
//   version            u32  kResourceMappingVersion
//   string resource id u32
//   system number      u16
//   second number      i16
// Stored form of GResourceMappingList: the composite's form
// (persistent_composite.h), then
//   version            u32  kResourceMappingListVersion (read, not used)
// Restores of other versions keep the object as it was.
//
// Ownership and threads: as MPersistentComposite. A mapping that a list
// refuses stays the caller's.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"
#include "persist/versioned_composite.h"

inline constexpr RWClassID kGResourceMappingId = 1004;
inline constexpr RWClassID kGResourceMappingListId = 1005;
inline constexpr std::uint32_t kResourceMappingVersion = 1;
inline constexpr std::uint32_t kResourceMappingListVersion = 1;
// The string resource id of a mapping made without one.
inline constexpr std::uint32_t kNoStringResource = 0x0FFFFFFF;

class GResourceMapping final
    : public MPersistentClass<GResourceMapping, MPersistentObject, kGResourceMappingId> {
 public:
  // kNoStringResource, 0, 0, key 0.
  GResourceMapping() = default;
  GResourceMapping(std::uint32_t string_resource_id, std::uint16_t system_number,
                   std::int16_t second_number, const std::uint32_t& key = 0);
  GResourceMapping(const GResourceMapping& other) = default;
  GResourceMapping& operator=(const GResourceMapping& other) = default;

  std::uint32_t StringResourceId() const { return string_resource_id_; }
  std::uint16_t SystemNumber() const { return system_number_; }
  std::int16_t SecondNumber() const { return second_number_; }

  // The base part and 12.
  RWSize StoredSize() const override;
  // The same object; or the same class and key and the three numbers.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t string_resource_id_ = kNoStringResource;
  std::uint16_t system_number_ = 0;
  std::int16_t second_number_ = 0;
};

class GResourceMappingList final
    : public MVersionedComposite<GResourceMappingList, kGResourceMappingListId,
                                 kResourceMappingListVersion> {
 public:
  GResourceMappingList() = default;
  explicit GResourceMappingList(const std::uint32_t& key) : MVersionedComposite(key) {}
  // Shares the source's children.
  GResourceMappingList(const GResourceMappingList& other) = default;

  // Takes nothing: the object stays the caller's.
  void AddChild(MPersistentObject* object) override;
  // A new list with the source's key and a deep copy of every child, in
  // order (AddChild, which takes nothing, is not used).
  MPersistentObject* DeepCopy() override;

  // True: the list has taken `mapping` (appended and held; destroyed
  // instead if memory to hold it runs out). False: a child has the same
  // second number, the list is at the child limit, or `mapping` is null;
  // the mapping stays the caller's, unchanged.
  bool AddMapping(GResourceMapping* mapping);
  // The same, refusing also a child with the same string resource id.
  bool AddMappingUnique(GResourceMapping* mapping);

  // The first child, in order, whose field equals the argument; null when
  // none.
  GResourceMapping* FindBySystemNumber(std::uint16_t number);
  GResourceMapping* FindBySecondNumber(std::int16_t number);
  GResourceMapping* FindByStringResourceId(std::uint32_t id);
  // The same child taken out through RemoveChild: the caller owns the
  // answer (the child, or a copy while others hold it); null when none.
  MPersistentObject* RemoveBySystemNumber(std::uint16_t number);
  MPersistentObject* RemoveBySecondNumber(std::int16_t number);
  MPersistentObject* RemoveByStringResourceId(std::uint32_t id);

 private:
  template <class Match>
  GResourceMapping* FindMapping(Match match);
};

extern template class MPersistentClass<GResourceMapping, MPersistentObject, kGResourceMappingId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ResourceMappingClasses();
