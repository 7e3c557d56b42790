#include "persist/persistent_object.h"

#include <functional>
#include <memory>
#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistent_composite.h"
#include "persist/stored_form.h"

namespace {

std::atomic<std::uint32_t> g_serial_counter{0};

constinit RWLockRecord g_file_lock;  // holds made by this file's code

}  // namespace

// ---------------------------------------------------------------------------
// Serial numbers

std::uint32_t MPersistentObject::TakeSerialNumber() {
  std::uint32_t current = g_serial_counter.load(std::memory_order_relaxed);
  std::uint32_t serial;
  do {
    serial = current == 0 ? 1 : current;
  } while (!g_serial_counter.compare_exchange_weak(current, serial + 1, std::memory_order_relaxed));
  return serial;
}

std::uint32_t MPersistentObject::SerialCounter() {
  return g_serial_counter.load(std::memory_order_relaxed);
}

void MPersistentObject::SetSerialCounter(std::uint32_t value) {
  g_serial_counter.store(value, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Construction

MPersistentObject::MPersistentObject() : serial_number_(TakeSerialNumber()) {}

MPersistentObject::MPersistentObject(const std::uint32_t& key)
    : key_(key), serial_number_(TakeSerialNumber()) {}

MPersistentObject::MPersistentObject(const MPersistentObject& other)
    : RWCollectable(other), key_(other.key_), serial_number_(other.serial_number_) {}

MPersistentObject& MPersistentObject::operator=(const MPersistentObject& other) {
  if (this != &other) {
    SetKey(other.key_);
    serial_number_ = other.serial_number_;
  }
  return *this;
}

MPersistentObject::~MPersistentObject() = default;

// ---------------------------------------------------------------------------
// The collectable's operations

RWSize MPersistentObject::StoredSize() const {
  return RWCollectable::StoredSize() + 12;
}

int MPersistentObject::CompareTo(const RWCollectable* other) const {
  if (this == other) return 0;
  return std::less<const void*>()(this, other) ? -1 : 1;
}

bool MPersistentObject::IsEqual(const RWCollectable* other) const {
  auto* model = dynamic_cast<const MPersistentObject*>(other);
  return model && ClassId() == model->ClassId() && IsEqualContent(model);
}

template <class Out>
void MPersistentObject::SaveItems(Out& out) const {
  PutItem(out, kPersistentObjectVersion);
  PutItem(out, key_);
  PutItem(out, serial_number_);
}

template <class In>
void MPersistentObject::RestoreItems(In& in) {
  MRestoreScope scope(in);
  std::uint32_t version = 0;
  if (!GetItem(in, version) || version != kPersistentObjectVersion) return;
  std::uint32_t serial = 0;
  const std::uint32_t key = key_;
  const bool read = GetItem(in, key_) && GetItem(in, serial);
  if (key_ != key) index_mark_.Changed();
  if (!read) return;
  if (serial != 0) serial_number_ = serial;
}

void MPersistentObject::RestoreFromStream(RWVirtualInputStream& stream) {
  RWCollectable::RestoreFromStream(stream);
  RestoreItems(stream);
}

void MPersistentObject::RestoreFromFile(RWFile& file) {
  RWCollectable::RestoreFromFile(file);
  RestoreItems(file);
}

void MPersistentObject::SaveToStream(RWVirtualOutputStream& stream) const {
  RWCollectable::SaveToStream(stream);
  SaveItems(stream);
}

void MPersistentObject::SaveToFile(RWFile& file) const {
  RWCollectable::SaveToFile(file);
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// Kind and content

bool MPersistentObject::IsKindOf(const RWClassID& id) const {
  return id == kMPersistentObjectId;
}

bool MPersistentObject::IsEqualContent(const MPersistentObject* other) const {
  return other && key_ == other->key_;
}

bool MPersistentObject::IsDifferent(const MPersistentObject* other) const {
  return !IsEqualContent(other);
}

// ---------------------------------------------------------------------------
// The leaf's child protocol

void MPersistentObject::AddChild(MPersistentObject*) {}
void MPersistentObject::InsertFirst(MPersistentObject*) {}

MPersistentObject* MPersistentObject::RemoveChild(const MPersistentObject*) {
  return nullptr;
}
MPersistentObject* MPersistentObject::RemoveByKey(const std::uint32_t&) {
  return nullptr;
}
MPersistentObject* MPersistentObject::RemoveByClassId(const RWClassID&) {
  return nullptr;
}
bool MPersistentObject::ReplaceByKey(const std::uint32_t&, MPersistentObject*) {
  return false;
}
bool MPersistentObject::ReplaceByClassId(const RWClassID&, MPersistentObject*) {
  return false;
}
bool MPersistentObject::ReplaceObject(const MPersistentObject*, MPersistentObject*) {
  return false;
}
bool MPersistentObject::ReplaceKindOf(const RWClassID&, MPersistentObject*) {
  return false;
}

void MPersistentObject::PutRecord(const GCountedPtr&) {}
void MPersistentObject::UpdateRecord(const GCountedPtr&) {}
GCountedPtr MPersistentObject::TakeRecordEqual(const MPersistentObject*) {
  return GCountedPtr();
}
GCountedPtr MPersistentObject::TakeRecordByKey(const std::uint32_t&) {
  return GCountedPtr();
}
GCountedPtr MPersistentObject::TakeRecordByClassId(const RWClassID&) {
  return GCountedPtr();
}
bool MPersistentObject::ReplaceRecordByKey(const std::uint32_t&, MPersistentObject*) {
  return false;
}
bool MPersistentObject::ReplaceRecordByClassId(const RWClassID&, MPersistentObject*) {
  return false;
}

void MPersistentObject::RemoveAll() {}

MPersistentObject* MPersistentObject::FindByKey(const std::uint32_t& key) {
  return key_ == key ? this : nullptr;
}
MPersistentObject* MPersistentObject::FindByClassId(const RWClassID& id) {
  return ClassId() == id ? this : nullptr;
}
MPersistentObject* MPersistentObject::FindEqual(const MPersistentObject* object) {
  return IsEqualContent(object) ? this : nullptr;
}
MPersistentObject* MPersistentObject::FindKindOf(const RWClassID& id) {
  return IsKindOf(id) ? this : nullptr;
}

namespace {

MPersistentObject* CollectIf(bool match, MPersistentObject* self, MPersistentObject* into) {
  if (match && into) into->AddChild(self);
  return into;
}

// A new composite holding `self` when it matches; the caller owns it.
MPersistentObject* SelectIf(bool match, MPersistentObject* self) {
  if (!match) return nullptr;
  auto* selection = new (kRWNoThrow) MPersistentComposite;
  if (!selection) {
    RaiseOutOfMemoryError(RWOutOfMemoryError(sizeof(MPersistentComposite)));
    return nullptr;
  }
  selection->AddChild(self);
  return selection;
}

}  // namespace

MPersistentObject* MPersistentObject::CollectByClassId(const RWClassID& id,
                                                       MPersistentObject* into) {
  return CollectIf(ClassId() == id, this, into);
}
MPersistentObject* MPersistentObject::CollectByKey(const std::uint32_t& key,
                                                   MPersistentObject* into) {
  return CollectIf(key_ == key, this, into);
}
MPersistentObject* MPersistentObject::SelectByKey(const std::uint32_t& key) {
  return SelectIf(key_ == key, this);
}
MPersistentObject* MPersistentObject::SelectByClassId(const RWClassID& id) {
  return SelectIf(ClassId() == id, this);
}
MPersistentObject* MPersistentObject::CollectKindOf(const RWClassID& id, MPersistentObject* into) {
  return CollectIf(IsKindOf(id), this, into);
}
MPersistentObject* MPersistentObject::SelectKindOf(const RWClassID& id) {
  return SelectIf(IsKindOf(id), this);
}

GCountedPtr MPersistentObject::FindPtrByKey(const std::uint32_t& key) {
  return GCountedPtr(key_ == key ? this : nullptr, g_file_lock);
}
GCountedPtr MPersistentObject::FindPtrByClassId(const RWClassID& id) {
  return GCountedPtr(ClassId() == id ? this : nullptr, g_file_lock);
}
GCountedPtr MPersistentObject::FindPtrEqual(const MPersistentObject* object) {
  return GCountedPtr(IsEqualContent(object) ? this : nullptr, g_file_lock);
}

MPersistentObject* MPersistentObject::AsComposite() {
  return nullptr;
}

std::uint32_t MPersistentObject::SerialNumber() const {
  return serial_number_;
}

std::uint32_t MPersistentObject::EntryCount() const {
  return 1;
}

std::uint32_t MPersistentObject::NodeCount() const {
  return 1;
}

MChildIterator* MPersistentObject::NewChildIterator() {
  return new (kRWNoThrow) MEmptyChildIterator;
}

MKeyFind MPersistentObject::KeyFind() {
  return MKeyFind{AsComposite() ? MKeyFind::kOwn : MKeyFind::kItself, nullptr,
                  &typeid(MPersistentObject)};
}

RWClassID MPersistentObject::TypeId() const {
  return ClassId();
}

MPersistentObject* MPersistentObject::DeepCopy() {
  if (!AsComposite()) return dynamic_cast<MPersistentObject*>(CreateCopy());
  std::unique_ptr<MPersistentObject> copy(dynamic_cast<MPersistentObject*>(CreateDefault()));
  std::unique_ptr<MChildIterator> children(NewChildIterator());
  // A copy short of a part (memory ran out for it) is no copy: it would be
  // taken, and stored, as the whole.
  if (!copy || !children) return nullptr;
  copy->key_ = key_;
  while (children->Next()) {
    MPersistentObject* child = children->Current();
    if (!child) continue;
    MPersistentObject* part = child->DeepCopy();
    if (!part) return nullptr;
    // A child list that could not grow drops the part it was offered.
    const std::uint32_t held = copy->EntryCount();
    copy->AddChild(part);
    if (copy->EntryCount() == held) return nullptr;
  }
  return copy.release();
}

void MPersistentObject::ClearSerialNumbers() {
  serial_number_ = 0;
  if (!AsComposite()) return;
  std::unique_ptr<MChildIterator> children(NewChildIterator());
  if (!children) return;
  while (children->Next()) {
    if (MPersistentObject* child = children->Current()) child->ClearSerialNumbers();
  }
}

// ---------------------------------------------------------------------------
// Reading references

MRestoreInProgress::MRestoreInProgress(MPersistentObject& object)
    : object_(object), was_(object.restoring_) {
  object.restoring_ = true;
}

MRestoreInProgress::~MRestoreInProgress() {
  object_.restoring_ = was_;
}

bool MayHoldRestoredChild(const MPersistentObject* child) {
  return !child || !child->restoring_;
}

void DestroyIfUnheld(MPersistentObject* object) {
  if (object && object->ReferenceCount() < 0) delete object;
}

namespace persist_detail {

namespace {

template <class In>
RWCollectable* ReadAccepted(In& in, bool (*accepts)(const RWCollectable*)) {
  MRestoreScope scope(in);
  RWCollectable* object = nullptr;
  GetReference(in, object);
  if (!object || accepts(object)) return object;
  RefuseRestored(in, object);
  scope.Fail();
  return nullptr;
}

}  // namespace

RWCollectable* ReadReference(RWVirtualInputStream& stream, bool (*accepts)(const RWCollectable*)) {
  return ReadAccepted(stream, accepts);
}

RWCollectable* ReadReference(RWFile& file, bool (*accepts)(const RWCollectable*)) {
  return ReadAccepted(file, accepts);
}

}  // namespace persist_detail

void MPersistentObject::ReadPointerFromStream(RWVirtualInputStream& stream,
                                              MPersistentObject*& object) {
  ReadModelPointer(stream, object);
}

void MPersistentObject::ReadPointerFromFile(RWFile& file, MPersistentObject*& object) {
  ReadModelPointer(file, object);
}
