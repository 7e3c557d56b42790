// GDeviceFontListComposite: the holder of the printer's font lists
// (kDeviceFontListsKey in the settings model, and the "AddedFonts" object in
// printer data), one GDeviceFontList per font source, kept in an inner
// MPersistentComposite. It is a model object, not an attribute: it never goes
// into an attribute composite.
//
// Class id 873, registered as "GDeviceFontListComposite" (creator:
// kDeviceFontListsKey).
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kDeviceFontListCompositeVersion
//   lists    object reference: the inner MPersistentComposite (class 752)
//            with its children, the font lists
// A restore of another version reads nothing more and keeps the lists.
// Otherwise it empties the lists and reads the inner composite in place,
// from a new-object token of class 752 only (which nothing else in the graph
// may then refer to); another token, or a child that is not a
// GDeviceFontList, fails the restore and leaves the lists empty.
//
// Ownership: the inner composite is embedded. Copies (construction and
// assignment) share the font lists with their source; DeepCopy copies them.
// What a removal answers is the caller's. Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/fonts/device_font_list.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"
#include "persist/persistent_composite.h"

inline constexpr RWClassID kGDeviceFontListCompositeId = 873;
inline constexpr std::uint32_t kDeviceFontListCompositeVersion = 1;

class GDeviceFontListComposite final
    : public MPersistentClass<GDeviceFontListComposite, MPersistentObject,
                              kGDeviceFontListCompositeId> {
 public:
  // kDeviceFontListsKey, no lists.
  GDeviceFontListComposite();
  // kDeviceFontListsKey and a new serial number (the source's key is not
  // copied); the source's lists, shared.
  GDeviceFontListComposite(const GDeviceFontListComposite& other);
  // Nothing for itself; else shares the source's lists instead of its own.
  // The key and serial number stay.
  GDeviceFontListComposite& operator=(const GDeviceFontListComposite& other);

  // Appends `list` (null: nothing); the composite holds it.
  void AddList(GDeviceFontList* list);
  // Puts `list` first (null: nothing); the composite holds it.
  void InsertList(GDeviceFontList* list);
  // The first list with `key`, taken out; the caller owns it. Null when none.
  MPersistentObject* RemoveByKey(const std::uint32_t& key) override;
  // Puts a deep copy of `list` in the place of the first list with `key`;
  // `list` stays the caller's. False when no list has the key, or `list`
  // is not a GDeviceFontList.
  bool ReplaceByKey(const std::uint32_t& key, MPersistentObject* list) override;
  // The first list with `key`, or null.
  MPersistentObject* FindByKey(const std::uint32_t& key) override;
  // kChildren: the lists, which FindByKey walks.
  MKeyFind KeyFind() override;
  // Lets go of every list.
  void Clear();
  // A new iterator over the lists; the caller deletes it.
  MChildIterator* GetIterator();
  MChildIterator* NewChildIterator() override;
  std::uint32_t GetCount() const;
  // The inner composite.
  MPersistentComposite* Lists();
  const MPersistentComposite* Lists() const;

  // Appends a deep copy of each of `other`'s lists, in order.
  void AddCopiesFrom(const GDeviceFontListComposite& other);
  // For each of `other`'s lists in order: replaces the list with its key by
  // a deep copy of it, or, when none has the key, puts a deep copy first.
  void MergeFrom(const GDeviceFontListComposite& other);

  // A new composite with this key and deep copies of the lists.
  MPersistentObject* DeepCopy() override;
  // The base part, 4 and the inner composite's graph size.
  RWSize StoredSize() const override;
  // The same class and key, and the inner composites not different.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  MPersistentComposite lists_;
};

extern template class MPersistentClass<GDeviceFontListComposite, MPersistentObject,
                                       kGDeviceFontListCompositeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DeviceFontListCompositeClasses();
