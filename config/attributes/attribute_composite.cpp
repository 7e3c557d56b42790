#include "config/attributes/attribute_composite.h"

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

constexpr RWClassRegistration kAttributeCompositeClasses[] = {
    {&RWCreate<GAttributeComposite>, kGAttributeCompositeId, "GAttributeComposite"},
};

bool IsAttribute(const MPersistentObject* object) {
  return object && object->IsKindOf(kGAttributeId);
}

// Identity search below `node`, through any kind of composite.
bool HoldsBelow(MPersistentObject* node, const MPersistentObject* object) {
  if (auto* composite = dynamic_cast<GAttributeComposite*>(node))
    return composite->HoldsDescendant(object);
  if (!node->AsComposite()) return false;
  std::unique_ptr<MChildIterator> children(node->NewChildIterator());
  while (children && children->Next()) {
    MPersistentObject* child = children->Current();
    if (child && (child == object || HoldsBelow(child, object))) return true;
  }
  return false;
}

}  // namespace

std::span<const RWClassRegistration> AttributeCompositeClasses() {
  return kAttributeCompositeClasses;
}

GAttributeComposite::GAttributeComposite() : children_(kInitialCapacity) {}

GAttributeComposite::GAttributeComposite(const std::uint32_t& key)
    : GAttribute(key), children_(kInitialCapacity) {}

GAttributeComposite::GAttributeComposite(const GAttributeComposite& other)
    : GAttribute(other), children_(other.children_.Capacity()) {
  for (RWSize i = 0; i < other.children_.Count(); ++i)
    children_.Append(other.children_[i]);
}

GAttributeComposite::~GAttributeComposite() = default;

RWCollectable* GAttributeComposite::CreateDefault() const {
  return new (kRWNoThrow) GAttributeComposite;
}

RWCollectable* GAttributeComposite::CreateCopy() const {
  return new (kRWNoThrow) GAttributeComposite(*this);
}

RWClassID GAttributeComposite::ClassId() const {
  return kGAttributeCompositeId;
}

void GAttributeComposite::Refuse(MPersistentObject* object) {
  DestroyIfUnheld(object);
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GAttributeComposite::StoredSize() const {
  return GAttribute::StoredSize() + 8 + child_walks::ReferencesSize(children_);
}

template <class Out>
void GAttributeComposite::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kAttributeCompositeVersion);
  PutChildren(out, children_);
}

template <class In>
void GAttributeComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kAttributeCompositeVersion) return;
  GAttributeComposite::RemoveAll();
  MRestoreInProgress in_progress(*this);
  // Only attributes are held, so that every walk may treat its children as
  // attributes.
  if (!GetChildren<GAttribute>(in, children_, g_file_lock, MNilEntries::kDrop)) scope.Fail();
}

void GAttributeComposite::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GAttributeComposite::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GAttributeComposite::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GAttributeComposite::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

void GAttributeComposite::ReadPointer(RWVirtualInputStream& stream,
                                      GAttributeComposite*& composite) {
  stream >> composite;
}

// ---------------------------------------------------------------------------
// Kind and content

bool GAttributeComposite::IsKindOf(const RWClassID& id) const {
  return id == kGAttributeCompositeId || GAttribute::IsKindOf(id);
}

bool GAttributeComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* composite = dynamic_cast<const GAttributeComposite*>(other);
  return composite && ClassId() == other->ClassId() && Key() == other->Key() &&
         child_walks::SameChildren(children_, composite->children_);
}

bool GAttributeComposite::HoldsDescendant(const MPersistentObject* object) const {
  if (!object) return false;
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* child = children_[i].Get();
    if (child && (child == object || HoldsBelow(child, object))) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Adding and removing

void GAttributeComposite::AddChild(MPersistentObject* object) {
  if (!object) return;
  if (IsAttribute(object)) {
    children_.Append(GCountedPtr(object, g_file_lock));
  } else {
    Refuse(object);
  }
}

MPersistentObject* GAttributeComposite::RemoveChild(const MPersistentObject* object) {
  return child_walks::RemoveChild(children_, object, g_file_lock);
}

MPersistentObject* GAttributeComposite::RemoveByKey(const std::uint32_t& key) {
  return child_walks::RemoveByKey(children_, key, g_file_lock);
}

MPersistentObject* GAttributeComposite::RemoveByClassId(const RWClassID& id) {
  return child_walks::RemoveByClassId(children_, id, g_file_lock);
}

bool GAttributeComposite::ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) {
  if (!IsAttribute(object)) return false;
  return child_walks::ReplaceByKey(children_, key, object);
}

bool GAttributeComposite::ReplaceByClassId(const RWClassID& id, MPersistentObject* object) {
  if (!IsAttribute(object)) return false;
  return child_walks::ReplaceByClassId(children_, id, object);
}

bool GAttributeComposite::ReplaceObject(const MPersistentObject* match, MPersistentObject* object) {
  if (!IsAttribute(object)) return false;
  return child_walks::ReplaceObject(children_, match, object);
}

bool GAttributeComposite::ReplaceKindOf(const RWClassID& id, MPersistentObject* object) {
  if (!IsAttribute(object)) return false;
  return child_walks::ReplaceKindOf(children_, id, object);
}

void GAttributeComposite::RemoveAll() {
  children_.Clear();
  children_.Resize(kClearedCapacity);
}

// ---------------------------------------------------------------------------
// Finding, collecting, selecting

MPersistentObject* GAttributeComposite::FindByKey(const std::uint32_t& key) {
  return child_walks::FindByKey(children_, key);
}

MPersistentObject* GAttributeComposite::FindByClassId(const RWClassID& id) {
  return child_walks::FindByClassId(children_, id);
}

MPersistentObject* GAttributeComposite::FindEqual(const MPersistentObject* object) {
  return child_walks::FindEqual(children_, object, false);
}

MPersistentObject* GAttributeComposite::FindKindOf(const RWClassID& id) {
  return child_walks::FindKindOf(children_, id);
}

MPersistentObject* GAttributeComposite::CollectByClassId(const RWClassID& id,
                                                         MPersistentObject* into) {
  child_walks::CollectByClassId(children_, id, into);
  return into;
}

MPersistentObject* GAttributeComposite::CollectByKey(const std::uint32_t& key,
                                                     MPersistentObject* into) {
  child_walks::CollectByKey(children_, key, into);
  return into;
}

MPersistentObject* GAttributeComposite::CollectKindOf(const RWClassID& id,
                                                      MPersistentObject* into) {
  child_walks::CollectKindOf(children_, id, into);
  return into;
}

template <class Collect>
MPersistentObject* GAttributeComposite::Select(Collect collect) {
  auto* selection = new (kRWNoThrow) GAttributeComposite;
  if (!selection) {
    RaiseOutOfMemoryError(RWOutOfMemoryError(sizeof(GAttributeComposite)));
    return nullptr;
  }
  collect(selection);
  if (selection->EntryCount() > 0) return selection;
  delete selection;
  return nullptr;
}

MPersistentObject* GAttributeComposite::SelectByKey(const std::uint32_t& key) {
  return Select([this, &key](MPersistentObject* into) { CollectByKey(key, into); });
}

MPersistentObject* GAttributeComposite::SelectByClassId(const RWClassID& id) {
  return Select([this, &id](MPersistentObject* into) { CollectByClassId(id, into); });
}

MPersistentObject* GAttributeComposite::SelectKindOf(const RWClassID& id) {
  return Select([this, &id](MPersistentObject* into) { CollectKindOf(id, into); });
}

// ---------------------------------------------------------------------------
// Counting and walking

MPersistentObject* GAttributeComposite::AsComposite() {
  return this;
}

std::uint32_t GAttributeComposite::EntryCount() const {
  return children_.Count();
}

std::uint32_t GAttributeComposite::NodeCount() const {
  return child_walks::NodeCount(children_);
}

MChildIterator* GAttributeComposite::NewChildIterator() {
  return new (kRWNoThrow) GAttributeChildIterator(this, children_);
}

MKeyFind GAttributeComposite::KeyFind() {
  return MKeyFind{MKeyFind::kChildren, &children_, &typeid(GAttributeComposite)};
}

void GAttributeComposite::Assign(const GAttribute& other) {
  auto* composite = dynamic_cast<const GAttributeComposite*>(&other);
  if (!composite || other.TypeId() != TypeId() || other.Key() != Key()) {
    AddChild(dynamic_cast<MPersistentObject*>(other.CreateCopy()));
    return;
  }
  // `other` may be this very composite: copy only the children it had.
  const RWSize count = composite->children_.Count();
  for (RWSize i = 0; i < count && i < composite->children_.Count(); ++i) {
    if (const MPersistentObject* child = composite->children_[i].Get())
      AddChild(dynamic_cast<MPersistentObject*>(child->CreateCopy()));
  }
}

std::uint16_t GAttributeComposite::Execute(GAttributeHandlers& device) {
  std::uint16_t result = 0;
  const RWSize count = children_.Count();
  for (RWSize i = 0; i < count && i < children_.Count(); ++i) {
    // Held for the call, so that a handler that lets go of the child does
    // not destroy it under its own Execute.
    GCountedPtr held(children_[i], g_file_lock);
    auto* child = dynamic_cast<GAttribute*>(held.Get());
    if (!child || !child->IsActive()) continue;
    if (std::uint16_t answer = child->Execute(device)) result = answer;
  }
  SetState(kAttributeInactive);
  return result;
}

void GAttributeComposite::SetStates(std::int32_t state) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (auto* child = dynamic_cast<GAttribute*>(children_[i].Get())) child->SetState(state);
  }
  SetState(state);
}

void GAttributeComposite::ActivateChildren() {
  SetStates(kAttributeActive);
}

void GAttributeComposite::DeactivateChildren() {
  SetStates(kAttributeInactive);
}

void GAttributeComposite::Apply(ChildFunction function, void* data) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    GCountedPtr held(children_[i], g_file_lock);
    function(held, data);
  }
}

MPersistentObject* GAttributeComposite::Detect(ChildPredicate predicate, void* data) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (predicate(children_[i], data)) return children_[i].Get();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// GAttributeChildIterator

MPersistentObject* GAttributeChildIterator::Current() {
  return OnChild() ? GChildIterator::Current() : nullptr;
}

void GAttributeChildIterator::ReplaceCurrent(MPersistentObject* object) {
  if (!IsAttribute(object)) {
    GAttributeComposite::Refuse(object);
    return;
  }
  GChildIterator::ReplaceCurrent(object);
}
