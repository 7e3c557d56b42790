#include "config/fonts/device_font_list.h"

#include <memory>

#include "config/attributes/value_attribute.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kDeviceFontListClasses[] = {
    {&RWCreate<GDeviceFontList>, kGDeviceFontListId, "GDeviceFontList"},
};

// The fewest bytes one description reference takes in a file.
constexpr std::uint32_t kMinReferenceBytes = 2;

// A deep copy of an association list, or null for none.
MAssociationList* CopyOfNames(const GCountedPtr& names) {
  return names ? dynamic_cast<MAssociationList*>(names->DeepCopy()) : nullptr;
}

// Absent on both sides, or content-equal.
bool SameNames(const GCountedPtr& a, const GCountedPtr& b) {
  if (!a || !b) return !a && !b;
  return a->IsEqualContent(b.Get());
}

// One description token into `held` (a new-object token of its class only).
bool RestoreEmbedded(RWVirtualInputStream& stream, GDeviceFontDescription& held) {
  return RestoreCollectableFromStream(stream, &held, kGDeviceFontDescriptionId) != nullptr;
}

bool RestoreEmbedded(RWFile& file, GDeviceFontDescription& held) {
  return RestoreCollectableFromFile(file, &held, kGDeviceFontDescriptionId) != nullptr;
}

const char* Lookup(const GCountedPtr& names, std::uint32_t id) {
  auto* list = static_cast<MAssociationList*>(names.Get());
  if (!list) return nullptr;
  GPersistableULong key(id);
  auto* text = dynamic_cast<GStringAttribute*>(list->FindValue(&key));
  return text ? text->GetValue().Data() : nullptr;
}

}  // namespace

std::span<const RWClassRegistration> DeviceFontListClasses() {
  return kDeviceFontListClasses;
}

// One description, held by value.
struct GDeviceFontList::Link : RWSlink {
  GDeviceFontDescription description;
};

GDeviceFontList::GDeviceFontList(const GDeviceFontList& other) : MPersistentClass(other) {
  *this = other;
}

GDeviceFontList& GDeviceFontList::operator=(const GDeviceFontList& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  // The lists are copied first: `other` may be reachable from what this
  // list holds.
  GCountedPtr short_names(CopyOfNames(other.short_id_names_), g_file_lock);
  GCountedPtr long_names(CopyOfNames(other.long_id_names_), g_file_lock);
  FreeDescriptions();
  for (const RWSlink* at = other.descriptions_.First(); at && !other.descriptions_.IsTail(at);
       at = at->next) {
    AddDescription(static_cast<const Link*>(at)->description);
  }
  source_stamp_ = other.source_stamp_;
  short_id_names_ = short_names;
  long_id_names_ = long_names;
  return *this;
}

GDeviceFontList::~GDeviceFontList() {
  FreeDescriptions();
}

void GDeviceFontList::FreeDescriptions() {
  while (RWSlink* link = descriptions_.First()) {
    descriptions_.RemoveAfter(descriptions_.Head());
    delete static_cast<Link*>(link);
  }
}

void GDeviceFontList::AddDescription(const GDeviceFontDescription& description) {
  Link* link = RWNew<Link>();
  if (!link) return;
  link->description = description;
  descriptions_.Append(link);
}

const GDeviceFontDescription* GDeviceFontList::DescriptionAt(std::uint32_t index) const {
  RWSlink* at = descriptions_.First();
  for (; at && index > 0; --index)
    at = at->next;
  if (!at || descriptions_.IsTail(at)) return nullptr;
  return &static_cast<Link*>(at)->description;
}

int GDeviceFontList::GetDescriptionAt(std::uint32_t index, GDeviceFontDescription& out) const {
  if (index >= GetCount()) return 0;
  out = *DescriptionAt(index);
  return 1;
}

int GDeviceFontList::FindDescription(Predicate predicate, void* argument,
                                     GDeviceFontDescription*& found) {
  if (!predicate) return 0;
  for (RWSlink* at = descriptions_.First(); at && !descriptions_.IsTail(at); at = at->next) {
    GDeviceFontDescription& description = static_cast<Link*>(at)->description;
    if (predicate(description, argument)) {
      found = &description;
      return 1;
    }
  }
  return 0;
}

void GDeviceFontList::SetShortIdNames(MAssociationList* list) {
  short_id_names_.Reset(list, g_file_lock);
}

void GDeviceFontList::SetLongIdNames(MAssociationList* list) {
  long_id_names_.Reset(list, g_file_lock);
}

MAssociationList* GDeviceFontList::GetShortIdNames() const {
  return static_cast<MAssociationList*>(short_id_names_.Get());
}

MAssociationList* GDeviceFontList::GetLongIdNames() const {
  return static_cast<MAssociationList*>(long_id_names_.Get());
}

const char* GDeviceFontList::LookupShortId(std::uint16_t id) const {
  return Lookup(short_id_names_, id);
}

const char* GDeviceFontList::LookupLongId(std::uint32_t id) const {
  return Lookup(long_id_names_, id);
}

void GDeviceFontList::Clear() {
  FreeDescriptions();
  source_stamp_ = 0;
  short_id_names_.Reset(nullptr, g_file_lock);
  long_id_names_.Reset(nullptr, g_file_lock);
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GDeviceFontList::StoredSize() const {
  RWSize size = MPersistentObject::StoredSize() + 8;
  for (RWSlink* at = descriptions_.First(); at && !descriptions_.IsTail(at); at = at->next)
    size += static_cast<Link*>(at)->description.GraphStoreSize();
  return size + 4 + GraphStoreSizeOf(short_id_names_.Get()) +
         GraphStoreSizeOf(long_id_names_.Get());
}

bool GDeviceFontList::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDeviceFontList* same = SameContentBase(other);
  if (!same || !SameNames(short_id_names_, same->short_id_names_) ||
      !SameNames(long_id_names_, same->long_id_names_) || GetCount() != same->GetCount()) {
    return false;
  }
  const RWSlink* mine = descriptions_.First();
  const RWSlink* theirs = same->descriptions_.First();
  for (std::uint32_t i = 0; i < GetCount(); ++i, mine = mine->next, theirs = theirs->next) {
    const GDeviceFontDescription& a = static_cast<const Link*>(mine)->description;
    if (!a.IsEqualContent(&static_cast<const Link*>(theirs)->description)) return false;
  }
  return true;
}

template <class Out>
void GDeviceFontList::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDeviceFontListVersion);
  PutItem(out, GetCount());
  for (RWSlink* at = descriptions_.First(); at && !descriptions_.IsTail(at); at = at->next)
    PutReference(out, &static_cast<Link*>(at)->description);
  PutItem(out, source_stamp_);
  PutReference(out, short_id_names_.Get());
  PutReference(out, long_id_names_.Get());
}

// Reads the count and the descriptions, each into a new link's own
// description; false when the data is bad.
template <class In>
bool GDeviceFontList::RestoreDescriptions(In& in) {
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return true;  // the source's own failure says it
  if (!RemainingMayHold(in, count, kMinReferenceBytes)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<Link> link(RWNew<Link>());
    if (!link) return false;
    // Only a new description is taken, and nothing else can come to hold
    // it; a failed part is dropped.
    if (!RestoreEmbedded(in, link->description)) return false;
    descriptions_.Append(link.release());
  }
  return true;
}

// Reads one association list (or the nil object) into `list`.
template <class In>
bool GDeviceFontList::RestoreNames(In& in, GCountedPtr& list) {
  RWCollectable* read = nullptr;
  GetReference(in, read);
  if (!read) return true;  // none; a failed read is the source's own
  auto* names = dynamic_cast<MAssociationList*>(read);
  if (!names || !MayHoldRestoredChild(names)) {
    RefuseRestored(in, read);  // freed unless the graph holds it elsewhere
    return false;
  }
  // A partial list is still held, so that it is freed with this one.
  list.Reset(names, g_file_lock);
  return true;
}

template <class In>
void GDeviceFontList::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version == 0) return;
  MRestoreInProgress in_progress(*this);
  FreeDescriptions();
  source_stamp_ = 0;
  bool good = RestoreDescriptions(in);
  if (good && version >= 2) GetItem(in, source_stamp_);
  short_id_names_.Reset(nullptr, g_file_lock);
  long_id_names_.Reset(nullptr, g_file_lock);
  if (good && version >= 3) {
    good = RestoreNames(in, short_id_names_) && RestoreNames(in, long_id_names_);
  }
  if (!good) scope.Fail();
}

template class MPersistentClass<GDeviceFontList, MPersistentObject, kGDeviceFontListId>;
