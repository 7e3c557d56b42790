#include "config/fonts/device_font_list_composite.h"

#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistent_composite.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kDeviceFontListCompositeClasses[] = {
    {&RWCreate<GDeviceFontListComposite>, kGDeviceFontListCompositeId, "GDeviceFontListComposite"},
};

// Whether every child of `lists` is a font list (empty entries are not).
bool HoldsOnlyFontLists(const MPersistentComposite& lists) {
  const GCountedPtrVector& children = lists.Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (!children[i] || !children[i]->IsKindOf(kGDeviceFontListId)) return false;
  }
  return true;
}

// The inner composite's token into `held`: a new-object token of class 752
// only, which nothing else in the graph may then refer to.
bool RestoreEmbedded(RWVirtualInputStream& stream, MPersistentComposite& held) {
  return RestoreCollectableFromStream(stream, &held, kMPersistentCompositeId) != nullptr;
}

bool RestoreEmbedded(RWFile& file, MPersistentComposite& held) {
  return RestoreCollectableFromFile(file, &held, kMPersistentCompositeId) != nullptr;
}

}  // namespace

std::span<const RWClassRegistration> DeviceFontListCompositeClasses() {
  return kDeviceFontListCompositeClasses;
}

GDeviceFontListComposite::GDeviceFontListComposite() : MPersistentClass(kDeviceFontListsKey) {}

GDeviceFontListComposite::GDeviceFontListComposite(const GDeviceFontListComposite& other)
    : MPersistentClass(kDeviceFontListsKey) {
  *this = other;
}

GDeviceFontListComposite& GDeviceFontListComposite::operator=(
    const GDeviceFontListComposite& other) {
  if (this == &other) return *this;
  lists_.RemoveAll();
  lists_ = other.lists_;
  return *this;
}

MPersistentComposite* GDeviceFontListComposite::Lists() {
  return &lists_;
}

const MPersistentComposite* GDeviceFontListComposite::Lists() const {
  return &lists_;
}

void GDeviceFontListComposite::AddList(GDeviceFontList* list) {
  lists_.AddChild(list);
}

void GDeviceFontListComposite::InsertList(GDeviceFontList* list) {
  lists_.InsertFirst(list);
}

MPersistentObject* GDeviceFontListComposite::RemoveByKey(const std::uint32_t& key) {
  return lists_.RemoveByKey(key);
}

bool GDeviceFontListComposite::ReplaceByKey(const std::uint32_t& key, MPersistentObject* list) {
  if (!list || !list->IsKindOf(kGDeviceFontListId)) return false;
  return lists_.ReplaceByKey(key, list);
}

MPersistentObject* GDeviceFontListComposite::FindByKey(const std::uint32_t& key) {
  return lists_.FindByKey(key);
}

MKeyFind GDeviceFontListComposite::KeyFind() {
  return MKeyFind{MKeyFind::kChildren, &lists_.Children(), &typeid(GDeviceFontListComposite)};
}

void GDeviceFontListComposite::Clear() {
  lists_.RemoveAll();
}

MChildIterator* GDeviceFontListComposite::GetIterator() {
  return lists_.NewChildIterator();
}

MChildIterator* GDeviceFontListComposite::NewChildIterator() {
  return GetIterator();
}

std::uint32_t GDeviceFontListComposite::GetCount() const {
  return lists_.EntryCount();
}

void GDeviceFontListComposite::AddCopiesFrom(const GDeviceFontListComposite& other) {
  // The source's lists, held while they are copied: the source may be this.
  GCountedPtrVector lists(other.lists_.Children());
  for (RWSize i = 0; i < lists.Count(); ++i) {
    if (lists[i]) lists_.AddChild(lists[i]->DeepCopy());
  }
}

void GDeviceFontListComposite::MergeFrom(const GDeviceFontListComposite& other) {
  GCountedPtrVector lists(other.lists_.Children());
  for (RWSize i = 0; i < lists.Count(); ++i) {
    MPersistentObject* list = lists[i].Get();
    if (list && !ReplaceByKey(list->Key(), list)) lists_.InsertFirst(list->DeepCopy());
  }
}

MPersistentObject* GDeviceFontListComposite::DeepCopy() {
  auto* copy = RWNew<GDeviceFontListComposite>();
  if (!copy) return nullptr;
  copy->SetKey(Key());
  // The inner composite's key counts in content equality too.
  copy->lists_.SetKey(lists_.Key());
  copy->AddCopiesFrom(*this);
  return copy;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GDeviceFontListComposite::StoredSize() const {
  return MPersistentObject::StoredSize() + 4 + lists_.GraphStoreSize();
}

bool GDeviceFontListComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDeviceFontListComposite* same = SameContentBase(other);
  return same && !lists_.IsDifferent(&same->lists_);
}

template <class Out>
void GDeviceFontListComposite::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDeviceFontListCompositeVersion);
  PutReference(out, &lists_);
}

template <class In>
void GDeviceFontListComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kDeviceFontListCompositeVersion)) return;
  lists_.RemoveAll();
  MRestoreInProgress in_progress(*this);
  if (!RestoreEmbedded(in, lists_) || !scope.Ok() || !HoldsOnlyFontLists(lists_)) {
    lists_.RemoveAll();
    scope.Fail();
  }
}

template class MPersistentClass<GDeviceFontListComposite, MPersistentObject,
                                kGDeviceFontListCompositeId>;
