#include "config/fonts/device_font_list_composite.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistent_composite.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

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

}  // namespace

std::span<const RWClassRegistration> DeviceFontListCompositeClasses() {
  return kDeviceFontListCompositeClasses;
}

GDeviceFontListComposite::GDeviceFontListComposite()
    : MPersistentClass(kDefaultKey), lists_(RWNew<MPersistentComposite>(), g_file_lock) {}

GDeviceFontListComposite::GDeviceFontListComposite(const GDeviceFontListComposite& other)
    : MPersistentClass(kDefaultKey),
      lists_(other.Lists() ? RWNew<MPersistentComposite>(*other.Lists())
                           : RWNew<MPersistentComposite>(),
             g_file_lock) {}

GDeviceFontListComposite& GDeviceFontListComposite::operator=(
    const GDeviceFontListComposite& other) {
  MPersistentComposite* mine = Lists();
  const MPersistentComposite* theirs = other.Lists();
  if (this == &other || mine == theirs || !mine) return *this;
  mine->RemoveAll();
  if (theirs) *mine = *theirs;
  return *this;
}

MPersistentComposite* GDeviceFontListComposite::Lists() const {
  return static_cast<MPersistentComposite*>(lists_.Get());
}

void GDeviceFontListComposite::AddList(GDeviceFontList* list) {
  if (Lists()) Lists()->AddChild(list);
}

void GDeviceFontListComposite::InsertList(GDeviceFontList* list) {
  if (Lists()) Lists()->InsertFirst(list);
}

MPersistentObject* GDeviceFontListComposite::RemoveByKey(const std::uint32_t& key) {
  return Lists() ? Lists()->RemoveByKey(key) : nullptr;
}

bool GDeviceFontListComposite::ReplaceByKey(const std::uint32_t& key, MPersistentObject* list) {
  if (!Lists() || !list || !list->IsKindOf(kGDeviceFontListId)) return false;
  return Lists()->ReplaceByKey(key, list);
}

MPersistentObject* GDeviceFontListComposite::FindByKey(const std::uint32_t& key) {
  return Lists() ? Lists()->FindByKey(key) : nullptr;
}

void GDeviceFontListComposite::Clear() {
  if (Lists()) Lists()->RemoveAll();
}

MChildIterator* GDeviceFontListComposite::GetIterator() {
  return Lists() ? Lists()->NewChildIterator() : MPersistentObject::NewChildIterator();
}

MChildIterator* GDeviceFontListComposite::NewChildIterator() {
  return GetIterator();
}

std::uint32_t GDeviceFontListComposite::GetCount() const {
  return Lists() ? Lists()->EntryCount() : 0;
}

void GDeviceFontListComposite::AddCopiesFrom(const GDeviceFontListComposite& other) {
  if (!Lists() || !other.Lists()) return;
  // The source's lists, held while they are copied: the source may be this.
  GCountedPtrVector lists(other.Lists()->Children());
  for (RWSize i = 0; i < lists.Count(); ++i) {
    if (lists[i]) Lists()->AddChild(lists[i]->DeepCopy());
  }
}

void GDeviceFontListComposite::MergeFrom(const GDeviceFontListComposite& other) {
  if (!Lists() || !other.Lists()) return;
  GCountedPtrVector lists(other.Lists()->Children());
  for (RWSize i = 0; i < lists.Count(); ++i) {
    MPersistentObject* list = lists[i].Get();
    if (list && !ReplaceByKey(list->Key(), list)) Lists()->InsertFirst(list->DeepCopy());
  }
}

MPersistentObject* GDeviceFontListComposite::DeepCopy() {
  auto* copy = RWNew<GDeviceFontListComposite>();
  if (!copy) return nullptr;
  copy->SetKey(Key());
  copy->AddCopiesFrom(*this);
  return copy;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GDeviceFontListComposite::StoredSize() const {
  return MPersistentObject::StoredSize() + 4 + GraphStoreSizeOf(Lists());
}

bool GDeviceFontListComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDeviceFontListComposite* same = SameContentBase(other);
  if (!same) return false;
  if (!Lists() || !same->Lists()) return GetCount() == 0 && same->GetCount() == 0;
  return !Lists()->IsDifferent(same->Lists());
}

template <class Out>
void GDeviceFontListComposite::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDeviceFontListCompositeVersion);
  PutReference(out, Lists());
}

template <class In>
void GDeviceFontListComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kDeviceFontListCompositeVersion)) return;
  Clear();
  MRestoreInProgress in_progress(*this);
  RWCollectable* read = nullptr;
  GetReference(in, read);
  auto* lists = dynamic_cast<MPersistentComposite*>(read);
  if (!lists || lists->ClassId() != kMPersistentCompositeId || !MayHoldRestoredChild(lists)) {
    scope.Fail();  // not freed: the graph may share it
    return;
  }
  // Held from here on: the rest of the graph may refer back to it.
  GCountedPtr held(lists, g_file_lock);
  if (!scope.Ok() || !HoldsOnlyFontLists(*lists)) {
    scope.Fail();
    return;
  }
  lists_ = std::move(held);
}

template class MPersistentClass<GDeviceFontListComposite, MPersistentObject,
                                kGDeviceFontListCompositeId>;
