#include "config/attributes/attribute_composite.h"

#include <memory>
#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

// The fewest bytes one child reference takes in a file: a class id with no
// data of its own.
constexpr std::uint32_t kMinReferenceBytes = 2;

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
  return new (std::nothrow) GAttributeComposite;
}

RWCollectable* GAttributeComposite::CreateCopy() const {
  return new (std::nothrow) GAttributeComposite(*this);
}

RWClassID GAttributeComposite::ClassId() const {
  return kGAttributeCompositeId;
}

void GAttributeComposite::Refuse(MPersistentObject* object) {
  if (object && object->ReferenceCount() < 0) delete object;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GAttributeComposite::StoredSize() const {
  RWSize size = GAttribute::StoredSize() + 8;
  for (RWSize i = 0; i < children_.Count(); ++i)
    size += GraphStoreSizeOf(children_[i].Get());
  return size;
}

template <class Out>
void GAttributeComposite::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kAttributeCompositeVersion);
  PutItem(out, std::uint32_t{children_.Count()});
  for (RWSize i = 0; i < children_.Count(); ++i)
    PutReference(out, children_[i].Get());
}

// Reads the count and the children; false when the data is bad.
template <class In>
bool GAttributeComposite::RestoreChildren(In& in) {
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return true;  // the source's own failure says it
  if (!RemainingMayHold(in, count, kMinReferenceBytes)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    RWCollectable* read = nullptr;
    bool read_on = GetReference(in, read);
    if (read) {
      // Only attributes are held, so that every walk may treat its
      // children as attributes. Refused objects are not freed: the graph
      // may share them.
      auto* child = dynamic_cast<GAttribute*>(read);
      if (!child || !MayHoldRestoredChild(child)) return false;
      // A partial child is still held, so that it is freed with this one.
      children_.Append(GCountedPtr(child, g_file_lock));
    }
    if (!read_on) return true;
  }
  return true;
}

template <class In>
void GAttributeComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kAttributeCompositeVersion) return;
  GAttributeComposite::RemoveAll();
  MRestoreInProgress in_progress(*this);
  if (!RestoreChildren(in)) scope.Fail();
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
  if (!composite || ClassId() != other->ClassId() || Key() != other->Key() ||
      children_.Count() != composite->children_.Count()) {
    return false;
  }
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* mine = children_[i].Get();
    MPersistentObject* theirs = composite->children_[i].Get();
    if (mine != theirs && (!mine || !theirs || mine->IsDifferent(theirs))) return false;
  }
  return true;
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

template <class Match, class Recurse>
MPersistentObject* GAttributeComposite::RemoveFirst(Match match, Recurse recurse) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* child = children_[i].Get();
    if (!child) continue;
    if (match(child)) return children_.RemoveAt(i).Detach(g_file_lock);
    if (MPersistentObject* found = recurse(child)) return found;
  }
  return nullptr;
}

MPersistentObject* GAttributeComposite::RemoveChild(const MPersistentObject* object) {
  if (!object) return nullptr;
  return RemoveFirst([object](MPersistentObject* child) { return child == object; },
                     [object](MPersistentObject* child) { return child->RemoveChild(object); });
}

MPersistentObject* GAttributeComposite::RemoveByKey(const std::uint32_t& key) {
  return RemoveFirst([&key](MPersistentObject* child) { return child->Key() == key; },
                     [&key](MPersistentObject* child) { return child->RemoveByKey(key); });
}

MPersistentObject* GAttributeComposite::RemoveByClassId(const RWClassID& id) {
  return RemoveFirst([&id](MPersistentObject* child) { return child->ClassId() == id; },
                     [&id](MPersistentObject* child) { return child->RemoveByClassId(id); });
}

template <class Match, class Recurse>
bool GAttributeComposite::ReplaceFirst(Match match, Recurse recurse, MPersistentObject* object) {
  if (!IsAttribute(object)) return false;
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* child = children_[i].Get();
    if (!child) continue;
    if (match(child)) {
      MPersistentObject* copy = object->DeepCopy();
      if (!copy) return false;
      children_.ResetAt(i, copy);
      return true;
    }
    if (recurse(child)) return true;
  }
  return false;
}

bool GAttributeComposite::ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) {
  return ReplaceFirst(
      [&key](MPersistentObject* child) { return child->Key() == key; },
      [&key, object](MPersistentObject* child) { return child->ReplaceByKey(key, object); },
      object);
}

bool GAttributeComposite::ReplaceByClassId(const RWClassID& id, MPersistentObject* object) {
  return ReplaceFirst(
      [&id](MPersistentObject* child) { return child->ClassId() == id; },
      [&id, object](MPersistentObject* child) { return child->ReplaceByClassId(id, object); },
      object);
}

bool GAttributeComposite::ReplaceObject(const MPersistentObject* match, MPersistentObject* object) {
  return ReplaceFirst(
      [match](MPersistentObject* child) { return child == match; },
      [match, object](MPersistentObject* child) { return child->ReplaceObject(match, object); },
      object);
}

bool GAttributeComposite::ReplaceKindOf(const RWClassID& id, MPersistentObject* object) {
  return ReplaceFirst(
      [&id](MPersistentObject* child) { return child->IsKindOf(id); },
      [&id, object](MPersistentObject* child) { return child->ReplaceKindOf(id, object); }, object);
}

void GAttributeComposite::RemoveAll() {
  children_.Clear();
  children_.Resize(kClearedCapacity);
}

// ---------------------------------------------------------------------------
// Finding, collecting, selecting

template <class Match, class Recurse>
MPersistentObject* GAttributeComposite::FindFirst(Match match, Recurse recurse) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    MPersistentObject* child = children_[i].Get();
    if (!child) continue;
    if (match(child)) return child;
    if (MPersistentObject* found = recurse(child)) return found;
  }
  return nullptr;
}

MPersistentObject* GAttributeComposite::FindByKey(const std::uint32_t& key) {
  return FindFirst([&key](MPersistentObject* child) { return child->Key() == key; },
                   [&key](MPersistentObject* child) { return child->FindByKey(key); });
}

MPersistentObject* GAttributeComposite::FindByClassId(const RWClassID& id) {
  return FindFirst([&id](MPersistentObject* child) { return child->ClassId() == id; },
                   [&id](MPersistentObject* child) { return child->FindByClassId(id); });
}

MPersistentObject* GAttributeComposite::FindEqual(const MPersistentObject* object) {
  return FindFirst([object](MPersistentObject* child) { return child == object; },
                   [object](MPersistentObject* child) { return child->FindEqual(object); });
}

MPersistentObject* GAttributeComposite::FindKindOf(const RWClassID& id) {
  return FindFirst([&id](MPersistentObject* child) { return child->IsKindOf(id); },
                   [&id](MPersistentObject* child) { return child->FindKindOf(id); });
}

MPersistentObject* GAttributeComposite::CollectByClassId(const RWClassID& id,
                                                         MPersistentObject* into) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (MPersistentObject* child = children_[i].Get()) child->CollectByClassId(id, into);
  }
  return into;
}

MPersistentObject* GAttributeComposite::CollectByKey(const std::uint32_t& key,
                                                     MPersistentObject* into) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (MPersistentObject* child = children_[i].Get()) child->CollectByKey(key, into);
  }
  return into;
}

MPersistentObject* GAttributeComposite::CollectKindOf(const RWClassID& id,
                                                      MPersistentObject* into) {
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (MPersistentObject* child = children_[i].Get()) child->CollectKindOf(id, into);
  }
  return into;
}

template <class Collect>
MPersistentObject* GAttributeComposite::Select(Collect collect) {
  auto* selection = new (std::nothrow) GAttributeComposite;
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
  std::uint32_t n = 1;
  for (RWSize i = 0; i < children_.Count(); ++i) {
    if (const MPersistentObject* child = children_[i].Get()) n += child->NodeCount();
  }
  return n;
}

MChildIterator* GAttributeComposite::NewChildIterator() {
  return new (std::nothrow) GAttributeChildIterator(this, children_);
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

std::uint16_t GAttributeComposite::Execute(GPeripheral& device) {
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

void GAttributeChildIterator::ReplaceCurrent(MPersistentObject* object) {
  if (!IsAttribute(object)) {
    GAttributeComposite::Refuse(object);
    return;
  }
  GChildIterator::ReplaceCurrent(object);
}
