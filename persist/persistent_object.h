// MPersistentObject: the common base of every object of the driver's model
// (attributes, paper-handling devices, media, commands, filters, containers,
// records of the on-disk store). It adds to the collectable a reference
// count for sharing through counted pointers (counted_ptr.h), a 32-bit key
// by which composites find their children, a 32-bit serial number that
// tells instances apart, a versioned stored form, kind tests by class id,
// content equality, deep copy, and the child protocol of composites, which
// a leaf answers with the defaults below and composites override.
//
// Class id 751, never registered: only derived classes are made.
//
// Stored base part (before every derived class's own part; RWFile items
// little-endian, a virtual stream carries the same items in the same order,
// see stored_form.h):
//   version  u32  kPersistentObjectVersion
//   key      u32
//   serial   u32  0 on restore keeps the constructed serial number
// Each derived part opens with its own version word. A restore reads a
// level's fields only for the version it knows, and otherwise keeps that
// level's constructed values, silently; what follows is then read as the
// next level's data, which every reader survives like any bad input.
//
// Serial numbers come from one process-wide counter, 0 at load: a counter
// of 0 is first set to 1, the object takes the counter's value and the
// counter moves on, so the first serial number is 1 and a wrapped counter
// skips 0.
//
// Ownership: a held object (reference count 0 or more) is destroyed by the
// counted pointer that lets go of it last; an object that nobody holds
// (count -1) belongs to whoever made it. Objects answered by removals,
// selections, DeepCopy and NewChildIterator are the caller's.
//
// Key indexes (key_index.h): once an index has covered an object, each
// change of its key moves the indexes' shape epoch.
//
// Threads: the reference count and the serial counter are atomic, so an
// object may be shared by counted pointers on several threads; anything
// else about one object or one tree is used by one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <typeinfo>

#include "foundation/rw/collect.h"
#include "foundation/rw/refcount.h"
#include "persist/child_iterator.h"
#include "persist/counted_ptr.h"

inline constexpr RWClassID kMPersistentObjectId = 751;
inline constexpr std::uint32_t kPersistentObjectVersion = 1;

class MPersistentObject : public RWCollectable {
 public:
  // Key 0, nobody holding it, a new serial number.
  MPersistentObject();
  explicit MPersistentObject(const std::uint32_t& key);
  // Same key and serial number as `other`; nobody holds the copy.
  MPersistentObject(const MPersistentObject& other);
  // Copies key and serial number; the reference count stays.
  MPersistentObject& operator=(const MPersistentObject& other);
  ~MPersistentObject() override;

  // The collectable's operations, first in the slot order.
  RWCollectable* CreateDefault() const override = 0;
  RWCollectable* CreateCopy() const override = 0;
  RWClassID ClassId() const override = 0;
  // Version, key and serial: 12 bytes.
  RWSize StoredSize() const override;
  // The two objects' addresses: 0 for the same object, -1 when this one
  // lies lower, else 1.
  int CompareTo(const RWCollectable* other) const override;
  // The same class id and IsEqualContent.
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // The virtual operations below are in slot order.
  // True for this class's id and its bases' ids (751 here).
  virtual bool IsKindOf(const RWClassID& id) const;
  // Equal keys.
  virtual bool IsEqualContent(const MPersistentObject* other) const;
  // Not IsEqualContent.
  virtual bool IsDifferent(const MPersistentObject* other) const;

  // The child protocol. A leaf adds nothing and removes and
  // replaces nothing (null or false).
  virtual void AddChild(MPersistentObject* object);
  virtual void InsertFirst(MPersistentObject* object);
  // Removals answer an object that the caller owns, or null.
  virtual MPersistentObject* RemoveChild(const MPersistentObject* object);
  virtual MPersistentObject* RemoveByKey(const std::uint32_t& key);
  virtual MPersistentObject* RemoveByClassId(const RWClassID& id);
  // Replacements store a deep copy of `object`, which stays the caller's;
  // true when a child was replaced.
  virtual bool ReplaceByKey(const std::uint32_t& key, MPersistentObject* object);
  virtual bool ReplaceByClassId(const RWClassID& id, MPersistentObject* object);
  virtual bool ReplaceObject(const MPersistentObject* match, MPersistentObject* object);
  virtual bool ReplaceKindOf(const RWClassID& id, MPersistentObject* object);

  // The record-store group: meaningful only for the on-disk
  // composites; nothing, empty or false here.
  virtual void PutRecord(const GCountedPtr& record);
  virtual void UpdateRecord(const GCountedPtr& record);
  virtual GCountedPtr TakeRecordEqual(const MPersistentObject* object);
  virtual GCountedPtr TakeRecordByKey(const std::uint32_t& key);
  virtual GCountedPtr TakeRecordByClassId(const RWClassID& id);
  virtual bool ReplaceRecordByKey(const std::uint32_t& key, MPersistentObject* object);
  virtual bool ReplaceRecordByClassId(const RWClassID& id, MPersistentObject* object);

  virtual void RemoveAll();
  // A leaf answers itself when it matches, else null.
  virtual MPersistentObject* FindByKey(const std::uint32_t& key);
  virtual MPersistentObject* FindByClassId(const RWClassID& id);
  virtual MPersistentObject* FindEqual(const MPersistentObject* object);
  virtual MPersistentObject* FindKindOf(const RWClassID& id);
  // A leaf that matches adds itself to `into` (its AddChild); the
  // collections answer `into`. A selection answers a new MPersistentComposite
  // holding this leaf when it matches, else null.
  virtual MPersistentObject* CollectByClassId(const RWClassID& id, MPersistentObject* into);
  virtual MPersistentObject* CollectByKey(const std::uint32_t& key, MPersistentObject* into);
  virtual MPersistentObject* SelectByKey(const std::uint32_t& key);
  virtual MPersistentObject* SelectByClassId(const RWClassID& id);
  virtual MPersistentObject* CollectKindOf(const RWClassID& id, MPersistentObject* into);
  virtual MPersistentObject* SelectKindOf(const RWClassID& id);
  // A counted pointer to this object itself when it matches (never
  // to a child, for composites too), else an empty one.
  virtual GCountedPtr FindPtrByKey(const std::uint32_t& key);
  virtual GCountedPtr FindPtrByClassId(const RWClassID& id);
  virtual GCountedPtr FindPtrEqual(const MPersistentObject* object);
  // Null for a leaf; a composite answers itself.
  virtual MPersistentObject* AsComposite();
  virtual std::uint32_t SerialNumber() const;
  // 1 for a leaf.
  virtual std::uint32_t EntryCount() const;
  virtual std::uint32_t NodeCount() const;
  // A new iterator over the direct children (none for a leaf); the
  // caller deletes it.
  virtual MChildIterator* NewChildIterator();
  // The class id; attribute kinds answer a constant of their own.
  virtual RWClassID TypeId() const;
  // A leaf answers CreateCopy (same key and serial number); a composite
  // a new object of its class (a new serial number) with its key and the
  // deep copies of its children. Nobody holds the copy: the caller owns it.
  // Null when any part cannot be copied (no memory): never a partial copy.
  virtual MPersistentObject* DeepCopy();
  // How FindByKey answers, for the key indexes (key_index.h). A class that
  // overrides FindByKey overrides this too, or derives through a template
  // that answers InheritedKeyFind (MPersistentClass does). Here: kItself
  // for a leaf (AsComposite null), else kOwn; for exactly this class, so
  // that a class deriving without either is asked each time.
  virtual MKeyFind KeyFind();

  std::uint32_t Key() const { return key_; }
  void SetKey(const std::uint32_t& key) {
    if (key_ == key) return;
    key_ = key;
    index_mark_.Changed();
  }
  void SetSerialNumber(const std::uint32_t& serial) { serial_number_ = serial; }
  // Serial number 0 on this object and on every descendant.
  void ClearSerialNumbers();
  // Called by a key index that covers the object.
  void MarkKeyIndexed() const { index_mark_.Set(); }
  // The key indexes' note of KeyFind's kind (0: not asked yet), a property
  // of the object's class kept once asked so that walks skip the call.
  std::uint8_t KeyFindNote() const { return key_find_note_.load(std::memory_order_relaxed); }
  void SetKeyFindNote(std::uint8_t note) const {
    key_find_note_.store(note, std::memory_order_relaxed);
  }
  // Holders minus one: -1 when nobody holds the object.
  std::int32_t ReferenceCount() const {
    return static_cast<std::int32_t>(reference_count_.load(std::memory_order_acquire));
  }

  // The extraction operations: each opens an error scope, sets `object` to
  // null, and reads one object reference into it. What is read must be a
  // model object; anything else leaves `object` null, fails the stream (or
  // marks the file's error) and is refused (freed unless the graph holds it
  // elsewhere). A failed read also fails the stream or marks the file; a
  // partial object read is still handed out, for the caller to free.
  static void ReadPointerFromStream(RWVirtualInputStream& stream, MPersistentObject*& object);
  static void ReadPointerFromFile(RWFile& file, MPersistentObject*& object);

  // The next serial number to be given out, and setting it (tests, and the
  // counter's wrap).
  static std::uint32_t SerialCounter();
  static void SetSerialCounter(std::uint32_t value);

 private:
  friend class GCountedPtr;
  friend class MRestoreInProgress;
  friend bool MayHoldRestoredChild(const MPersistentObject* child);

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  static std::uint32_t TakeSerialNumber();

  std::atomic<std::uint32_t> reference_count_{0xFFFFFFFFu};  // holders - 1
  std::uint32_t key_ = 0;
  std::uint32_t serial_number_;
  bool restoring_ = false;  // inside its own restore (MRestoreInProgress)
  mutable MKeyIndexMark index_mark_;
  mutable std::atomic<std::uint8_t> key_find_note_{0};  // atomic: readers on several threads
};

// Reads one object reference of class T (T derived from MPersistentObject)
// in the way of MPersistentObject::ReadPointerFromStream; each class's own
// extraction operations use it.
template <class T>
void ReadModelPointer(RWVirtualInputStream& stream, T*& object);
template <class T>
void ReadModelPointer(RWFile& file, T*& object);

// Marks an object as being restored while the guard lives. A restore that
// holds the objects it reads (a composite's children) opens one around its
// reads, and refuses to hold an object that is still being restored: only
// a back reference to an enclosing object can name one, and holding it
// would make a cycle, which no saved tree has and no holder could free.
// Every object's restore runs once, right after the reader made it and
// before anything can hold it, so refusing these refuses every cycle.
class MRestoreInProgress {
 public:
  explicit MRestoreInProgress(MPersistentObject& object);
  ~MRestoreInProgress();
  MRestoreInProgress(const MRestoreInProgress&) = delete;
  MRestoreInProgress& operator=(const MRestoreInProgress&) = delete;

 private:
  MPersistentObject& object_;
  bool was_;
};

// Whether a restore may hold `child`, which it has just read (null: yes).
bool MayHoldRestoredChild(const MPersistentObject* child);

// What a container does with an object handed to it that it refuses:
// destroys it when nobody holds it (count -1); an object that counted
// pointers hold stays with them. Null does nothing.
void DestroyIfUnheld(MPersistentObject* object);

namespace persist_detail {
template <class C, class R, class... A>
C* DeclaringClass(R (C::*)(A...));
}  // namespace persist_detail

// KeyFind for a class `Self` derived from `Base`: Base's answer, held for
// exactly Self, when that answer describes the FindByKey that Self's
// objects call: the answer is for the class that declares Self's FindByKey,
// or for Base itself while Self keeps Base's FindByKey (both known at
// compile time). Else kOwn: an override of FindByKey anywhere between is
// never described by an answer given above it.
template <class Self, class Base>
MKeyFind InheritedKeyFind(Base& object) {
  using Declaring =
      std::remove_pointer_t<decltype(persist_detail::DeclaringClass(&Self::FindByKey))>;
  constexpr bool kKeepsBases =
      std::is_same_v<decltype(&Self::FindByKey), decltype(&Base::FindByKey)>;
  MKeyFind find = object.Base::KeyFind();
  if (!find.of || !(*find.of == typeid(Declaring) || (kKeepsBases && *find.of == typeid(Base))))
    return MKeyFind{};
  find.of = &typeid(Self);
  return find;
}

// ---------------------------------------------------------------------------

namespace persist_detail {
// One reference read inside a restore scope. What `accepts` does not take
// is refused (freed unless the graph holds it elsewhere) and fails the
// source; the answer is then null.
RWCollectable* ReadReference(RWVirtualInputStream& stream, bool (*accepts)(const RWCollectable*));
RWCollectable* ReadReference(RWFile& file, bool (*accepts)(const RWCollectable*));
template <class T>
bool IsA(const RWCollectable* object) {
  return dynamic_cast<const T*>(object) != nullptr;
}
}  // namespace persist_detail

template <class T>
void ReadModelPointer(RWVirtualInputStream& stream, T*& object) {
  object = nullptr;
  object = dynamic_cast<T*>(persist_detail::ReadReference(stream, persist_detail::IsA<T>));
}

template <class T>
void ReadModelPointer(RWFile& file, T*& object) {
  object = nullptr;
  object = dynamic_cast<T*>(persist_detail::ReadReference(file, persist_detail::IsA<T>));
}
