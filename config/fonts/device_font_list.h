// GDeviceFontList: the fonts of one font source (font_sources.h) as the
// settings model keeps them: the printer-resident font descriptions in
// insertion order, the stamp of the font-storage file they were built from
// (0 when none), and two association lists that name the printer's fonts by
// a 16-bit and a 32-bit id (keys GPersistableULong, values
// GStringAttribute), which the generators look fonts up in.
//
// Class id 856, registered as "GDeviceFontList" (creator: key 0).
//
// Stored form, after the base part of MPersistentObject:
//   version       u32  kDeviceFontListVersion
//   count         u32
//   descriptions  count object references (GDeviceFontDescription)
//   source stamp  u32
//   short ids     object reference (MAssociationList, or the nil object)
//   long ids      object reference (MAssociationList, or the nil object)
// Restores are cumulative: version 0 reads nothing more; 1 or more reads
// the descriptions, 2 or more the stamp (else 0), 3 or more the lists
// (else none). Each description is read into a description of the list's
// own, from a new-object token of its class only, which nothing else in the
// graph may then refer to; an association list must be one or nil, and
// not an object still being restored. Anything else fails the restore at
// that token and is refused (freed unless the graph holds it elsewhere);
// what was read before it stays with the list.
//
// Ownership: the list holds its descriptions by value, one link each, and
// owns its association lists, which it holds through counted pointers (as
// every model object holds what a graph may share). Threads: as
// MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/fonts/device_font_description.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/slist.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

class MAssociationList;

inline constexpr RWClassID kGDeviceFontListId = 856;
inline constexpr std::uint32_t kDeviceFontListVersion = 3;

class GDeviceFontList
    : public MPersistentClass<GDeviceFontList, MPersistentObject, kGDeviceFontListId> {
 public:
  // Answers non-zero for the description sought.
  using Predicate = int (*)(const GDeviceFontDescription& description, void* argument);

  // No descriptions, stamp 0, no association lists.
  GDeviceFontList() = default;
  explicit GDeviceFontList(const std::uint32_t& key) : MPersistentClass(key) {}
  // The same key and serial number, a copy of every description, the
  // stamp, and deep copies of the association lists.
  GDeviceFontList(const GDeviceFontList& other);
  // Nothing for itself; else as the copy, after discarding what it held.
  GDeviceFontList& operator=(const GDeviceFontList& other);
  ~GDeviceFontList() override;

  // Appends a copy of `description`.
  void AddDescription(const GDeviceFontDescription& description);
  std::uint32_t GetCount() const { return static_cast<std::uint32_t>(descriptions_.Count()); }
  // 1 and the description at `index` assigned to `out`; 0 when the index is
  // not below the count.
  int GetDescriptionAt(std::uint32_t index, GDeviceFontDescription& out) const;
  // 1 and the address of the first description, in order, for which
  // `predicate` answers non-zero; 0 when none (`found` untouched).
  virtual int FindDescription(Predicate predicate, void* argument, GDeviceFontDescription*& found);

  std::uint32_t GetSourceStamp() const { return source_stamp_; }
  void SetSourceStamp(std::uint32_t stamp) { source_stamp_ = stamp; }

  // Destroy the list held and take `list` over (null: none).
  void SetShortIdNames(MAssociationList* list);
  void SetLongIdNames(MAssociationList* list);
  MAssociationList* GetShortIdNames() const;
  MAssociationList* GetLongIdNames() const;

  // The text of the GStringAttribute that the short-id (long-id) list
  // associates with a GPersistableULong of `id` (key 0), compared by
  // content; null without a list, without such an association, or when its
  // value is not a string attribute. Valid while the list is unchanged.
  const char* LookupShortId(std::uint16_t id) const;
  const char* LookupLongId(std::uint32_t id) const;

  // Frees every description, sets the stamp to 0, destroys both lists.
  void Clear();

  // The base part, 8, each description's graph size, 4, and each
  // association list's graph size (6 for none).
  RWSize StoredSize() const override;
  // The same object; or the same class and key, both association lists
  // alike (absent on both sides or content-equal), and the descriptions
  // content-equal in order. The stamp is not compared.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;
  struct Link;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class In>
  bool RestoreDescriptions(In& in);
  template <class In>
  bool RestoreNames(In& in, GCountedPtr& list);

  void FreeDescriptions();
  const GDeviceFontDescription* DescriptionAt(std::uint32_t index) const;

  RWSinglyLinkedList descriptions_;  // of Link
  std::uint32_t source_stamp_ = 0;
  GCountedPtr short_id_names_;  // MAssociationList or empty
  GCountedPtr long_id_names_;   // MAssociationList or empty
};

extern template class MPersistentClass<GDeviceFontList, MPersistentObject, kGDeviceFontListId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DeviceFontListClasses();
