#include "store/record.h"

#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/refcount.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/scoped_value.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "store/persistent_composite_on_disk.h"

namespace {

constinit RWLockRecord g_file_lock;

// The fewest bytes one child reference takes in a file: a class id with no
// data of its own.
constexpr std::uint32_t kMinReferenceBytes = 2;

constexpr RWClassRegistration kRecordClasses[] = {
    {&RWCreate<GRecord>, kGRecordId, "GRecord"},
    {&RWCreate<GRecordProxy>, kGRecordProxyId, "GRecordProxy"},
    {&RWCreate<GRecordComposite>, kGRecordCompositeId, "GRecordComposite"},
};

}  // namespace

std::span<const RWClassRegistration> RecordClasses() {
  return kRecordClasses;
}

// ---------------------------------------------------------------------------
// GRecordRef

GRecordRef::GRecordRef(GRecord* record) : record_(record) {
  if (record_) AddReference(record_->reference_count_, g_file_lock);
}

GRecordRef::GRecordRef(const GRecordRef& other) : GRecordRef(other.record_) {}

GRecordRef& GRecordRef::operator=(GRecordRef other) noexcept {
  std::swap(record_, other.record_);
  return *this;
}

GRecordRef::~GRecordRef() {
  if (record_ && ReleaseReference(record_->reference_count_, g_file_lock) == 0) delete record_;
}

// ---------------------------------------------------------------------------
// GRecordQuery

bool GRecordQuery::Matches(const GRecord& record) const {
  switch (field) {
    case Field::kClassId:
      return record.StoredClassId() == value;
    case Field::kKey:
      return record.Key() == value;
    case Field::kSerial:
      return record.Serial() == value;
  }
  return false;
}

GRecordQuery GRecordQuery::ByClassId(RWClassID id, Action action) {
  GRecordQuery query;
  query.field = Field::kClassId;
  query.value = id;
  query.action = action;
  return query;
}

GRecordQuery GRecordQuery::ByKey(std::uint32_t key, Action action) {
  GRecordQuery query;
  query.field = Field::kKey;
  query.value = key;
  query.action = action;
  return query;
}

GRecordQuery GRecordQuery::BySerial(const MPersistentObject& object, Action action) {
  GRecordQuery query;
  query.field = Field::kSerial;
  query.value = object.SerialNumber();
  query.object = &object;
  query.action = action;
  return query;
}

// ---------------------------------------------------------------------------
// GRecord

GRecord::GRecord(const MPersistentObject& object)
    : class_id_(object.ClassId()), serial_(object.SerialNumber()), key_(object.Key()) {}

GRecord::GRecord(const GRecord& other)
    : RWCollectable(other), class_id_(other.class_id_), serial_(other.serial_), key_(other.key_) {}

GRecord::~GRecord() = default;

RWCollectable* GRecord::CreateDefault() const {
  return new (kRWNoThrow) GRecord;
}

RWCollectable* GRecord::CreateCopy() const {
  return new (kRWNoThrow) GRecord(*this);
}

RWClassID GRecord::ClassId() const {
  return kGRecordId;
}

RWSize GRecord::StoredSize() const {
  return RWCollectable::StoredSize() + 14;
}

bool GRecord::SameFields(const GRecord& other) const {
  return ClassId() == other.ClassId() && class_id_ == other.class_id_ && serial_ == other.serial_ &&
         key_ == other.key_;
}

bool GRecord::IsEqual(const RWCollectable* other) const {
  auto* record = dynamic_cast<const GRecord*>(other);
  return record && SameFields(*record);
}

template <class Out>
void GRecord::SaveItems(Out& out) const {
  PutItem(out, kRecordVersion);
  PutItem(out, std::uint16_t{class_id_});
  PutItem(out, serial_);
  PutItem(out, key_);
}

template <class In>
void GRecord::RestoreItems(In& in) {
  MRestoreScope scope(in);
  std::uint32_t version = 0;
  if (!GetItem(in, version) || version != kRecordVersion) return;
  std::uint16_t class_id = 0;
  std::uint32_t serial = 0;
  std::uint32_t key = 0;
  if (!GetItem(in, class_id) || !GetItem(in, serial) || !GetItem(in, key)) return;
  class_id_ = class_id;
  serial_ = serial;
  key_ = key;
}

void GRecord::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GRecord::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GRecord::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GRecord::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

GRecordComposite* GRecord::ChildRecords() {
  return nullptr;
}

void GRecord::AddChildRecord(GRecord* record) {
  GRecordRef let_go(record);  // destroyed here when nobody else holds it
}

bool GRecord::Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node) {
  if (!query.Matches(*this)) return false;
  query.record = this;
  query.parent = parent;
  query.node = node;
  return true;
}

std::uint32_t GRecord::RecordCount() const {
  return 1;
}

namespace {

using Action = GRecordQuery::Action;

GRecordQuery Searched(GRecord& record, GRecordQuery query,
                      MPersistentObject* replacement = nullptr) {
  query.replacement = replacement;
  record.Search(query, nullptr, nullptr);
  return query;
}

}  // namespace

GRecordQuery GRecord::TakeByClassId(RWClassID id) {
  return Searched(*this, GRecordQuery::ByClassId(id, Action::kTake));
}

GRecordQuery GRecord::TakeByKey(std::uint32_t key) {
  return Searched(*this, GRecordQuery::ByKey(key, Action::kTake));
}

GRecordQuery GRecord::TakeEqual(const MPersistentObject& object) {
  return Searched(*this, GRecordQuery::BySerial(object, Action::kTake));
}

GRecordQuery GRecord::ReplaceByClassId(RWClassID id, MPersistentObject* replacement) {
  return Searched(*this, GRecordQuery::ByClassId(id, Action::kReplace), replacement);
}

GRecordQuery GRecord::ReplaceByKey(std::uint32_t key, MPersistentObject* replacement) {
  return Searched(*this, GRecordQuery::ByKey(key, Action::kReplace), replacement);
}

GRecordQuery GRecord::ReplaceEqual(const MPersistentObject& object,
                                   MPersistentObject* replacement) {
  return Searched(*this, GRecordQuery::BySerial(object, Action::kReplace), replacement);
}

GRecordQuery GRecord::ReadByClassId(RWClassID id) {
  return Searched(*this, GRecordQuery::ByClassId(id));
}

GRecordQuery GRecord::ReadByKey(std::uint32_t key) {
  return Searched(*this, GRecordQuery::ByKey(key));
}

GRecordQuery GRecord::ReadEqual(const MPersistentObject& object) {
  return Searched(*this, GRecordQuery::BySerial(object));
}

// ---------------------------------------------------------------------------
// GRecordProxy

namespace {

// A copy of `object` that never deletes its file: the stored object, not
// the index's copy, owns that decision.
// Mended (docs/mended-behaviour.md): the index's copy never deletes the file.
MPersistentObject* KeptCopy(const MPersistentObject& object) {
  auto* copy = dynamic_cast<MPersistentObject*>(object.CreateCopy());
  if (!copy) {
    RWRaiseNoMemory(sizeof(MPersistentCompositeOnDisk));
    return nullptr;
  }
  if (auto* store = dynamic_cast<MPersistentCompositeOnDisk*>(copy->AsComposite())) {
    store->SetDeleteFlag(0);
  }
  return copy;
}

}  // namespace

GRecordProxy::GRecordProxy(const MPersistentObject& object)
    : GRecord(object), kept_(KeptCopy(object), g_file_lock) {}

GRecordProxy::GRecordProxy(const GRecordProxy& other)
    : GRecord(other), kept_(other.kept_ ? KeptCopy(*other.kept_.Get()) : nullptr, g_file_lock) {}

GRecordProxy::~GRecordProxy() = default;

RWCollectable* GRecordProxy::CreateDefault() const {
  return new (kRWNoThrow) GRecordProxy;
}

RWCollectable* GRecordProxy::CreateCopy() const {
  return new (kRWNoThrow) GRecordProxy(*this);
}

RWClassID GRecordProxy::ClassId() const {
  return kGRecordProxyId;
}

RWSize GRecordProxy::StoredSize() const {
  return GRecord::StoredSize() + 4 + GraphStoreSizeOf(kept_.Get());
}

bool GRecordProxy::IsEqual(const RWCollectable* other) const {
  auto* proxy = dynamic_cast<const GRecordProxy*>(other);
  if (!proxy || !SameFields(*proxy)) return false;
  MPersistentObject* mine = kept_.Get();
  MPersistentObject* theirs = proxy->kept_.Get();
  return mine == theirs || (mine && theirs && mine->IsEqual(theirs));
}

template <class Out>
void GRecordProxy::SaveItems(Out& out) const {
  SaveBase<GRecord>(*this, out);
  PutItem(out, kRecordVersion);
  PutReference(out, kept_.Get());
}

template <class In>
void GRecordProxy::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GRecord>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kRecordVersion) return;
  kept_.Reset(nullptr, g_file_lock);
  RWCollectable* read = nullptr;
  GetReference(in, read);
  auto* kept = dynamic_cast<MPersistentObject*>(read);
  if ((read && !kept) || !MayHoldRestoredChild(kept)) {
    RefuseRestored(in, read);
    scope.Fail();
    return;
  }
  kept_.Reset(kept, g_file_lock);
}

void GRecordProxy::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GRecordProxy::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GRecordProxy::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GRecordProxy::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GRecordProxy::Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node) {
  if (GRecord::Search(query, parent, node)) return true;
  MPersistentObject* store = kept_.Get();
  if (!store) return false;
  using Field = GRecordQuery::Field;
  using Action = GRecordQuery::Action;
  const std::uint32_t& key = query.value;
  const RWClassID id = static_cast<RWClassID>(query.value);
  if (query.field == Field::kSerial && !query.object) return false;
  switch (query.action) {
    case Action::kRead:
      query.nested_object = query.field == Field::kKey       ? store->FindPtrByKey(key)
                            : query.field == Field::kClassId ? store->FindPtrByClassId(id)
                                                             : store->FindPtrEqual(query.object);
      query.nested = static_cast<bool>(query.nested_object);
      break;
    case Action::kTake:
      query.nested_object = query.field == Field::kKey       ? store->TakeRecordByKey(key)
                            : query.field == Field::kClassId ? store->TakeRecordByClassId(id)
                                                             : store->TakeRecordEqual(query.object);
      query.nested = static_cast<bool>(query.nested_object);
      break;
    case Action::kReplace: {
      bool replaced = false;
      if (query.field == Field::kKey) {
        replaced = store->ReplaceRecordByKey(key, query.replacement);
      } else if (query.field == Field::kClassId) {
        replaced = store->ReplaceRecordByClassId(id, query.replacement);
      } else if (auto* on_disk = dynamic_cast<MPersistentCompositeOnDisk*>(store->AsComposite())) {
        replaced = on_disk->ReplaceRecordEqual(query.object, query.replacement);
      }
      query.nested_replaced = replaced;
      query.nested = replaced;
      break;
    }
  }
  return query.nested;
}

// ---------------------------------------------------------------------------
// GRecordComposite

GRecordComposite::GRecordComposite(const MPersistentObject& object) : GRecord(object) {}

GRecordComposite::GRecordComposite(const GRecordComposite& other) : GRecord(other) {
  for (GRecordNode* node = other.First(); node; node = other.After(node))
    AddChildRecord(node->record.Get());
}

GRecordComposite::~GRecordComposite() {
  RemoveAllRecords();
}

RWCollectable* GRecordComposite::CreateDefault() const {
  return new (kRWNoThrow) GRecordComposite;
}

RWCollectable* GRecordComposite::CreateCopy() const {
  return new (kRWNoThrow) GRecordComposite(*this);
}

RWClassID GRecordComposite::ClassId() const {
  return kGRecordCompositeId;
}

RWSize GRecordComposite::StoredSize() const {
  RWSize size = GRecord::StoredSize() + 8;
  for (GRecordNode* node = First(); node; node = After(node))
    size += GraphStoreSizeOf(node->record.Get());
  return size;
}

bool GRecordComposite::IsEqual(const RWCollectable* other) const {
  auto* composite = dynamic_cast<const GRecordComposite*>(other);
  if (!composite || !SameFields(*composite) || DirectCount() != composite->DirectCount()) {
    return false;
  }
  for (GRecordNode *mine = First(), *theirs = composite->First(); mine;
       mine = After(mine), theirs = composite->After(theirs)) {
    if (!mine->record->IsEqual(theirs->record.Get())) return false;
  }
  return true;
}

template <class Out>
void GRecordComposite::SaveItems(Out& out) const {
  SaveBase<GRecord>(*this, out);
  PutItem(out, kRecordVersion);
  PutItem(out, DirectCount());
  for (GRecordNode* node = First(); node; node = After(node))
    PutReference(out, node->record.Get());
}

template <class In>
bool GRecordComposite::RestoreChildren(In& in) {
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return true;  // the source's own failure says it
  if (!RemainingMayHold(in, count, kMinReferenceBytes)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    RWCollectable* read = nullptr;
    bool read_on = GetReference(in, read);
    // A failed read says it itself; the writer never writes a nil entry.
    if (!read) return !read_on;
    auto* child = dynamic_cast<GRecord*>(read);
    if (!child || child->Restoring()) {
      RefuseRestored(in, read);
      return false;
    }
    // A partial child is still kept, so that it is freed with this one.
    AddChildRecord(child);
    if (!read_on) return true;
  }
  return true;
}

template <class In>
void GRecordComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GRecord>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kRecordVersion) return;
  RemoveAllRecords();
  const RWScopedValue<bool> restoring(restoring_, true);
  if (!RestoreChildren(in)) scope.Fail();
}

void GRecordComposite::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GRecordComposite::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GRecordComposite::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GRecordComposite::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

void GRecordComposite::AddChildRecord(GRecord* record) {
  if (!record) return;
  GRecordRef held(record);
  auto* node = RWNew<GRecordNode>();
  if (!node) return;  // [NOMEM] raised; `held` lets go
  node->record = std::move(held);
  children_.InsertAfter(children_.Untyped().Last(), node);
}

bool GRecordComposite::Search(GRecordQuery& query, GRecordComposite* parent, GRecordNode* node) {
  return GRecord::Search(query, parent, node) || SearchChildren(query);
}

bool GRecordComposite::SearchChildren(GRecordQuery& query) {
  for (GRecordNode* node = First(); node; node = After(node)) {
    if (node->record->Search(query, this, node)) return true;
  }
  return false;
}

std::uint32_t GRecordComposite::RecordCount() const {
  std::uint32_t count = 0;
  for (GRecordNode* node = First(); node; node = After(node))
    count += node->record->RecordCount();
  return count;
}

std::uint32_t GRecordComposite::AllRecords() const {
  std::uint32_t count = 0;
  for (GRecordNode* node = First(); node; node = After(node)) {
    GRecordComposite* children = node->record->ChildRecords();
    count += 1 + (children ? children->AllRecords() : 0);
  }
  return count;
}

void GRecordComposite::RemoveAllRecords() {
  while (GRecordNode* node = First())
    Unlink(node);
}

std::uint32_t GRecordComposite::DirectCount() const {
  return children_.Count();
}

GRecordNode* GRecordComposite::After(const GRecordNode* node) const {
  RWDoubleLink* next = node->Next();
  return next == const_cast<GRecordComposite*>(this)->children_.Tail()
             ? nullptr
             : static_cast<GRecordNode*>(next);
}

GRecordNode* GRecordComposite::Before(const GRecordNode* node) const {
  RWDoubleLink* previous = node->Prev();
  return previous == const_cast<GRecordComposite*>(this)->children_.Head()
             ? nullptr
             : static_cast<GRecordNode*>(previous);
}

GRecordRef GRecordComposite::Unlink(GRecordNode* node) {
  children_.Remove(node);
  GRecordRef record = std::move(node->record);
  delete node;
  return record;
}

void GRecordComposite::ReplaceAt(GRecordNode* node, GRecord* record) {
  node->record = GRecordRef(record);
}

void GRecordComposite::TakeChildrenFrom(GRecordComposite& other) {
  while (GRecordNode* node = other.First()) {
    other.children_.Remove(node);
    children_.InsertAfter(children_.Untyped().Last(), node);
  }
}
