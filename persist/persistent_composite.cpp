#include "persist/persistent_composite.h"

#include <atomic>
#include <memory>
#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/child_walks.h"
#include "persist/stored_children.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

// The limit AddChild applies (a test may lower it).
std::atomic<RWSize> g_child_limit{MPersistentComposite::kChildLimit};

constexpr RWClassRegistration kPersistentCompositeClasses[] = {
    {&RWCreate<MPersistentComposite>, kMPersistentCompositeId, "MPersistentComposite"},
};

}  // namespace

std::span<const RWClassRegistration> PersistentCompositeClasses() {
  return kPersistentCompositeClasses;
}

MPersistentComposite::MPersistentComposite() : children_(kInitialCapacity) {}

MPersistentComposite::MPersistentComposite(const std::uint32_t& key)
    : MPersistentObject(key), children_(kInitialCapacity) {}

MPersistentComposite::MPersistentComposite(const MPersistentComposite& other)
    : MPersistentObject(other), children_(other.children_) {}

MPersistentComposite& MPersistentComposite::operator=(const MPersistentComposite& other) {
  if (this == &other || !IsDifferent(&other)) return *this;
  MPersistentObject::operator=(other);
  // Hold the source's children before letting go of the old ones: the
  // source may be one of them.
  GCountedPtrVector shared(other.children_);
  children_.Swap(shared);
  return *this;
}

MPersistentComposite::~MPersistentComposite() = default;

RWCollectable* MPersistentComposite::CreateDefault() const {
  return new (kRWNoThrow) MPersistentComposite;
}

RWCollectable* MPersistentComposite::CreateCopy() const {
  return new (kRWNoThrow) MPersistentComposite(*this);
}

RWClassID MPersistentComposite::ClassId() const {
  return kMPersistentCompositeId;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize MPersistentComposite::StoredSize() const {
  return MPersistentObject::StoredSize() + 8 + child_walks::ReferencesSize(children_);
}

template <class Out>
void MPersistentComposite::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPersistentCompositeVersion);
  PutChildren(out, children_);
}

template <class In>
void MPersistentComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kPersistentCompositeVersion) return;
  RemoveAll();
  MRestoreInProgress in_progress(*this);
  if (!GetChildren<MPersistentObject>(in, children_, g_file_lock, MNilEntries::kKeep)) scope.Fail();
}

void MPersistentComposite::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void MPersistentComposite::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void MPersistentComposite::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void MPersistentComposite::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// Kind and content

bool MPersistentComposite::IsKindOf(const RWClassID& id) const {
  return id == kMPersistentCompositeId || MPersistentObject::IsKindOf(id);
}

bool MPersistentComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* composite = dynamic_cast<const MPersistentComposite*>(other);
  return composite && ClassId() == other->ClassId() && Key() == other->Key() &&
         child_walks::SameChildren(children_, composite->children_);
}

// ---------------------------------------------------------------------------
// Adding and removing

RWSize MPersistentComposite::SetChildLimit(RWSize limit) {
  return g_child_limit.exchange(limit);
}

void MPersistentComposite::AddChild(MPersistentObject* object) {
  if (!AppendBelowLimit(object)) DestroyIfUnheld(object);
}

bool MPersistentComposite::AppendBelowLimit(MPersistentObject* object) {
  if (!object || children_.Count() >= g_child_limit.load(std::memory_order_relaxed)) return false;
  children_.Append(GCountedPtr(object, g_file_lock));
  return true;
}

void MPersistentComposite::InsertFirst(MPersistentObject* object) {
  if (object) children_.InsertAt(0, object);
}

MPersistentObject* MPersistentComposite::RemoveChild(const MPersistentObject* object) {
  return child_walks::RemoveChild(children_, object, g_file_lock);
}

MPersistentObject* MPersistentComposite::RemoveByKey(const std::uint32_t& key) {
  return child_walks::RemoveByKey(children_, key, g_file_lock);
}

MPersistentObject* MPersistentComposite::RemoveByClassId(const RWClassID& id) {
  return child_walks::RemoveByClassId(children_, id, g_file_lock);
}

bool MPersistentComposite::ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) {
  return child_walks::ReplaceByKey(children_, key, object);
}

bool MPersistentComposite::ReplaceByClassId(const RWClassID& id, MPersistentObject* object) {
  return child_walks::ReplaceByClassId(children_, id, object);
}

bool MPersistentComposite::ReplaceObject(const MPersistentObject* match,
                                         MPersistentObject* object) {
  return child_walks::ReplaceObject(children_, match, object);
}

bool MPersistentComposite::ReplaceKindOf(const RWClassID& id, MPersistentObject* object) {
  return child_walks::ReplaceKindOf(children_, id, object);
}

void MPersistentComposite::RemoveAll() {
  children_.Clear();
  children_.Resize(kClearedCapacity);
}

// ---------------------------------------------------------------------------
// Finding, collecting, selecting

MPersistentObject* MPersistentComposite::FindByKey(const std::uint32_t& key) {
  return child_walks::FindByKey(children_, key);
}

MPersistentObject* MPersistentComposite::FindByClassId(const RWClassID& id) {
  return child_walks::FindByClassId(children_, id);
}

MPersistentObject* MPersistentComposite::FindEqual(const MPersistentObject* object) {
  return child_walks::FindEqual(children_, object, true);
}

MPersistentObject* MPersistentComposite::FindKindOf(const RWClassID& id) {
  return child_walks::FindKindOf(children_, id);
}

MPersistentObject* MPersistentComposite::CollectByClassId(const RWClassID& id,
                                                          MPersistentObject* into) {
  child_walks::CollectByClassId(children_, id, into);
  return into;
}

MPersistentObject* MPersistentComposite::CollectByKey(const std::uint32_t& key,
                                                      MPersistentObject* into) {
  child_walks::CollectByKey(children_, key, into);
  return into;
}

MPersistentObject* MPersistentComposite::CollectKindOf(const RWClassID& id,
                                                       MPersistentObject* into) {
  child_walks::CollectKindOf(children_, id, into);
  return into;
}

template <class Collect>
MPersistentObject* MPersistentComposite::Select(Collect collect) {
  auto* selection = new (kRWNoThrow) MPersistentComposite;
  if (!selection) {
    RaiseOutOfMemoryError(RWOutOfMemoryError(sizeof(MPersistentComposite)));
    return nullptr;
  }
  collect(selection);
  if (selection->EntryCount() > 0) return selection;
  delete selection;
  return nullptr;
}

MPersistentObject* MPersistentComposite::SelectByKey(const std::uint32_t& key) {
  return Select([this, &key](MPersistentObject* into) { CollectByKey(key, into); });
}

MPersistentObject* MPersistentComposite::SelectByClassId(const RWClassID& id) {
  return Select([this, &id](MPersistentObject* into) { CollectByClassId(id, into); });
}

MPersistentObject* MPersistentComposite::SelectKindOf(const RWClassID& id) {
  return Select([this, &id](MPersistentObject* into) { CollectKindOf(id, into); });
}

// ---------------------------------------------------------------------------
// Counting and walking

MPersistentObject* MPersistentComposite::AsComposite() {
  return this;
}

std::uint32_t MPersistentComposite::EntryCount() const {
  return children_.Count();
}

std::uint32_t MPersistentComposite::NodeCount() const {
  return child_walks::NodeCount(children_);
}

MChildIterator* MPersistentComposite::NewChildIterator() {
  return new (kRWNoThrow) GChildIterator(this, children_);
}

MKeyFind MPersistentComposite::KeyFind() {
  return MKeyFind{MKeyFind::kChildren, &children_, &typeid(MPersistentComposite)};
}

MPersistentObject* MPersistentComposite::DeepCopyInOrder() {
  auto* copy = dynamic_cast<MPersistentComposite*>(CreateDefault());
  if (!copy) return nullptr;
  copy->SetKey(Key());
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* child = children_[i].Get();
    if (MPersistentObject* child_copy = child ? child->DeepCopy() : nullptr)
      copy->children_.Append(GCountedPtr(child_copy, g_file_lock));
  }
  return copy;
}

void MPersistentComposite::ForEachChild(ChildFunction function, void* data) {
  for (RWSize i = 0; i < children_.Count(); ++i)
    function(children_[i], data);
}

MPersistentObject* MPersistentComposite::FindFirstChild(ChildPredicate predicate, void* data) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (predicate(children_[i], data)) return children_[i].Get();
  }
  return nullptr;
}
