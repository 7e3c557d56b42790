// The records of the on-disk record store (store_format.h): each names one
// stored object by its class id, serial number and key. The store's index
// is a GRecordComposite listing the top-level records in the order they
// were stored; a composite object's record is a GRecordComposite listing
// its children's records in order; an on-disk composite's record is a
// GRecordProxy that keeps a copy of the object, so that a search reaches
// the nested store's own records.
//
// Classes 783 GRecord, 784 GRecordProxy, 785 GRecordComposite, registered
// under their class names.
//
// Stored forms (RWFile items little-endian; a virtual stream carries the
// same items in the same order):
//   GRecord           version u32 (kRecordVersion), class id u16, serial
//                     number u32, key u32; read only for version 1
//   GRecordProxy      the GRecord part, version u32, the kept object as
//                     one object reference (nil when none)
//   GRecordComposite  the GRecord part, version u32, child count u32, each
//                     child record as one object reference
// A proxy's restore lets go of its kept object and keeps the model object
// it reads; a composite's lets go of its children and reads them one by
// one, stopping at the first failed read. Anything that is not a model
// object (proxy) or a record (composite), a child record still being
// restored (a cycle), and a count larger than the rest of a file can hold
// fail the restore; refused objects are freed unless the graph holds them
// elsewhere (RefuseRestored, stored_form.h).
//
// Searches: a record answers a query (GRecordQuery) when it matches itself;
// a composite then asks its children in order, depth first, and a proxy
// hands the query to the store it keeps. The first answer wins. A search
// only finds: the store does the reading, taking and replacing. The nine
// take, replace and read operations of a record (by class id, by key, by
// an object's serial number) are this one virtual Search with the field
// and action in the query; TakeByClassId ... ReadEqual below give them
// their names, as thin members over it.
//
// Ownership: records are reference counted (-1 while nobody holds them)
// and held by GRecordRef; a composite holds its children, a proxy its kept
// object. Threads: the store uses records under its process-wide lock only.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "foundation/rw/collect.h"
#include "foundation/rw/dlist.h"
#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"

inline constexpr RWClassID kGRecordId = 783;
inline constexpr RWClassID kGRecordProxyId = 784;
inline constexpr RWClassID kGRecordCompositeId = 785;
inline constexpr std::uint32_t kRecordVersion = 1;

class GRecord;
class GRecordComposite;

// Holds one record: holding adds to its count; the holder that lets go
// last destroys it.
class GRecordRef {
 public:
  GRecordRef() = default;
  explicit GRecordRef(GRecord* record);
  GRecordRef(const GRecordRef& other);
  GRecordRef(GRecordRef&& other) noexcept : record_(other.record_) { other.record_ = nullptr; }
  GRecordRef& operator=(GRecordRef other) noexcept;
  ~GRecordRef();

  GRecord* Get() const { return record_; }
  GRecord* operator->() const { return record_; }
  GRecord& operator*() const { return *record_; }
  explicit operator bool() const { return record_ != nullptr; }

 private:
  GRecord* record_ = nullptr;
};

// One entry of a composite record's list.
struct GRecordNode : RWDoubleLink {
  GRecordRef record;
};

// What a search looks for, and what it found: a record of the searching
// store (with the list that holds it), or the answer of a nested store
// reached through a proxy, which did the reading, taking or replacing
// itself.
struct GRecordQuery {
  enum class Field { kClassId, kKey, kSerial };
  enum class Action { kRead, kTake, kReplace };

  Field field = Field::kKey;
  std::uint32_t value = 0;
  // For kSerial: the object whose serial number is looked for (a nested
  // store is asked with it).
  const MPersistentObject* object = nullptr;
  Action action = Action::kRead;
  MPersistentObject* replacement = nullptr;  // for kReplace; the caller's

  GRecord* record = nullptr;           // the match, in this store
  GRecordComposite* parent = nullptr;  // the record whose list holds it
  GRecordNode* node = nullptr;         // its entry there
  bool nested = false;                 // a nested store answered:
  GCountedPtr nested_object;           //   the object it read or took
  bool nested_replaced = false;        //   or whether it replaced

  bool Matches(const GRecord& record) const;
  bool Answered() const { return record != nullptr || nested; }

  // A query for `action` by each field.
  static GRecordQuery ByClassId(RWClassID id, Action action = Action::kRead);
  static GRecordQuery ByKey(std::uint32_t key, Action action = Action::kRead);
  static GRecordQuery BySerial(const MPersistentObject& object, Action action = Action::kRead);
};

class GRecord : public RWCollectable {
 public:
  // Class id 0, serial number 0, key 0.
  GRecord() = default;
  // The object's class id, serial number and key.
  explicit GRecord(const MPersistentObject& object);
  // The same fields; nobody holds the copy.
  GRecord(const GRecord& other);
  GRecord& operator=(const GRecord&) = delete;
  ~GRecord() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  RWSize StoredSize() const override;
  // The same class and fields (and kept objects, child records).
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // The record's list of child records; null for a plain record.
  virtual GRecordComposite* ChildRecords();
  // Appends `record`, held; nothing for a plain record (which then
  // destroys it when nobody holds it).
  virtual void AddChildRecord(GRecord* record);
  // Answers the query when this record matches (`parent` and `node`
  // say where it is listed), else false.
  virtual bool Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node);
  // The plain records this one stands for: 1.
  virtual std::uint32_t RecordCount() const;

  // 14-22 by name: each searches this record and those below it for the
  // first that has the class id, the key or `object`'s serial number, for
  // the action of its name, and answers the query: Answered() when one
  // matched (the record and where it is listed, or the answer of a nested
  // store, which has read, taken or replaced already). `replacement` stays
  // the caller's.
  GRecordQuery TakeByClassId(RWClassID id);
  GRecordQuery TakeByKey(std::uint32_t key);
  GRecordQuery TakeEqual(const MPersistentObject& object);
  GRecordQuery ReplaceByClassId(RWClassID id, MPersistentObject* replacement);
  GRecordQuery ReplaceByKey(std::uint32_t key, MPersistentObject* replacement);
  GRecordQuery ReplaceEqual(const MPersistentObject& object, MPersistentObject* replacement);
  GRecordQuery ReadByClassId(RWClassID id);
  GRecordQuery ReadByKey(std::uint32_t key);
  GRecordQuery ReadEqual(const MPersistentObject& object);

  RWClassID StoredClassId() const { return class_id_; }
  std::uint32_t Serial() const { return serial_; }
  std::uint32_t Key() const { return key_; }
  std::int32_t ReferenceCount() const {
    return static_cast<std::int32_t>(reference_count_.load(std::memory_order_acquire));
  }
  // Inside its own restore: a child naming it would make a cycle.
  bool Restoring() const { return restoring_; }

 protected:
  bool SameFields(const GRecord& other) const;
  // Whether the record is inside its own restore (a back reference to it
  // from its own children would be a cycle).
  bool restoring_ = false;

 private:
  friend class GRecordRef;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::atomic<std::uint32_t> reference_count_{0xFFFFFFFFu};  // holders - 1
  RWClassID class_id_ = 0;
  std::uint32_t serial_ = 0;
  std::uint32_t key_ = 0;
};

class GRecordProxy : public GRecord {
 public:
  GRecordProxy() = default;
  // Keeps a copy of `object` (its CreateCopy). The copy of an on-disk
  // composite never deletes the file: only the stored object decides that.
  explicit GRecordProxy(const MPersistentObject& object);
  // Keeps a copy of the other's kept object.
  GRecordProxy(const GRecordProxy& other);
  ~GRecordProxy() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The GRecord part, 4 and the kept object's reference.
  RWSize StoredSize() const override;
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // Itself when it matches; otherwise the kept store's answer.
  bool Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node) override;

  MPersistentObject* Kept() const { return kept_.Get(); }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr kept_;  // the copy; empty for a default record
};

class GRecordComposite : public GRecord {
 public:
  GRecordComposite() = default;
  explicit GRecordComposite(const MPersistentObject& object);
  // Holds the other's child records too, in the same order.
  GRecordComposite(const GRecordComposite& other);
  // Lets go of every child record.
  ~GRecordComposite() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The GRecord part, 8 and each child record's reference.
  RWSize StoredSize() const override;
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  GRecordComposite* ChildRecords() override { return this; }
  // Null does nothing.
  void AddChildRecord(GRecord* record) override;
  // Itself when it matches, then each child record in order.
  bool Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node) override;
  // The sum of the children's counts.
  std::uint32_t RecordCount() const override;
  // The virtual operations below are in slot order.
  // Lets go of every child record.
  virtual void RemoveAllRecords();
  // The number of direct child records.
  virtual std::uint32_t DirectCount() const;

  // The children only, never this record itself.
  bool SearchChildren(GRecordQuery& query);

  // The list: its first entry and an entry's neighbours (null past either
  // end).
  GRecordNode* First() const { return children_.First(); }
  GRecordNode* After(const GRecordNode* node) const;
  GRecordNode* Before(const GRecordNode* node) const;
  RWDoubleLinkList& List() { return children_.Untyped(); }
  // Takes `node` out of the list and frees it; its record's hold passes to
  // the answer. REQUIRES: `node` is in this list.
  GRecordRef Unlink(GRecordNode* node);
  // Holds `record` in `node`'s place, letting go of the old record.
  // REQUIRES: `node` is in this list.
  void ReplaceAt(GRecordNode* node, GRecord* record);
  // Moves every child record of `other`, in order, to the end of this list.
  void TakeChildrenFrom(GRecordComposite& other);
  // Every record below this one (composites, proxies and plain records,
  // all levels); this one is not counted.
  std::uint32_t AllRecords() const;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class In>
  bool RestoreChildren(In& in);

  RWTypedDoubleLinkList<GRecordNode> children_;
};

// The record file's classes, in registration order.
std::span<const RWClassRegistration> RecordClasses();
