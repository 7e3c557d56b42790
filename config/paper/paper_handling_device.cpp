#include "config/paper/paper_handling_device.h"

#include "config/attributes/attribute_composite.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;  // holds made by this file's code

constexpr RWClassRegistration kPaperHandlingDeviceClasses[] = {
    {&RWCreate<GPaperHandlingDevice>, kGPaperHandlingDeviceId, "GPaperHandlingDevice"},
};

// Name length, type, optional, installed, current id, part count.
constexpr RWSize kFieldsSize = 4 + 4 + 4 + 4 + 2 + 4;
// The fewest bytes one stored part takes in a file: its id and a class id
// with no data of its own.
constexpr std::uint32_t kMinPartBytes = 2 + 2;
// Match mode and selectable, for records older than version 2.
constexpr std::uint32_t kOlderMatchMode = 1;

}  // namespace

std::span<const RWClassRegistration> PaperHandlingDeviceClasses() {
  return kPaperHandlingDeviceClasses;
}

// ---------------------------------------------------------------------------
// Construction

GPaperHandlingDevice::GPaperHandlingDevice(const RWCString& name, std::uint32_t device_type,
                                           std::uint32_t optional, std::uint32_t installed,
                                           std::uint32_t match_mode, std::uint32_t selectable,
                                           const std::uint32_t& key)
    : MPersistentClass(key),
      name_(name),
      device_type_(device_type),
      optional_(optional),
      installed_(optional == 0 ? 1 : installed),
      match_mode_(match_mode),
      selectable_(selectable) {}

GPaperHandlingDevice::GPaperHandlingDevice(std::uint16_t display_id, const RWCString& name,
                                           std::uint32_t device_type, std::uint32_t optional,
                                           std::uint32_t installed, std::uint32_t match_mode,
                                           std::uint32_t selectable, const char* display_text,
                                           const char* display_module, const std::uint32_t& key)
    : GPaperHandlingDevice(name, device_type, optional, installed, match_mode, selectable, key) {
  display_string_ = GDisplayString(display_id, display_text, display_module);
}

GPaperHandlingDevice::GPaperHandlingDevice(const GPaperHandlingDevice& other)
    : MPersistentClass(other),
      name_(other.name_),
      device_type_(other.device_type_),
      optional_(other.optional_),
      installed_(other.installed_),
      current_part_id_(other.current_part_id_),
      match_mode_(other.match_mode_),
      selectable_(other.selectable_),
      display_string_(other.display_string_) {
  // Deep copies, so that the copy never shares a tray or bin with its
  // source; walking order is kept by storing in walking order.
  other.ForEachPart([this](const PartNode& node) {
    auto* copy = dynamic_cast<GAttribute*>(node.part->DeepCopy());
    if (copy && !StorePart(node.id, copy)) GAttributeComposite::Refuse(copy);
  });
}

GPaperHandlingDevice::~GPaperHandlingDevice() {
  ClearParts();
}

// ---------------------------------------------------------------------------
// The part dictionary

template <class Visit>
void GPaperHandlingDevice::ForEachPart(Visit visit) const {
  for (const PartNode* bucket : buckets_) {
    for (const PartNode* node = bucket; node; node = node->next)
      visit(*node);
  }
}

const GPaperHandlingDevice::PartNode* GPaperHandlingDevice::FindNode(std::uint16_t id) const {
  for (const PartNode* node = buckets_[id % kBuckets]; node; node = node->next) {
    if (node->id == id) return node;
  }
  return nullptr;
}

GPaperHandlingDevice::PartNode* GPaperHandlingDevice::UnlinkPart(std::uint16_t id) {
  for (PartNode** link = &buckets_[id % kBuckets]; *link; link = &(*link)->next) {
    if ((*link)->id != id) continue;
    PartNode* node = *link;
    *link = node->next;
    node->next = nullptr;
    --part_count_;
    return node;
  }
  return nullptr;
}

bool GPaperHandlingDevice::StorePart(std::uint16_t id, GAttribute* part) {
  // The new node first, so that running out of memory changes nothing.
  PartNode* node = RWNew<PartNode>();
  if (!node) return false;
  node->id = id;
  node->part.Reset(part, g_file_lock);
  if (PartNode* old = UnlinkPart(id)) {
    old->part.Reset(nullptr, g_file_lock);
    delete old;
  }
  PartNode** link = &buckets_[id % kBuckets];
  while (*link)
    link = &(*link)->next;
  *link = node;
  ++part_count_;
  return true;
}

void GPaperHandlingDevice::ClearParts() {
  for (PartNode*& bucket : buckets_) {
    while (PartNode* node = bucket) {
      bucket = node->next;
      --part_count_;
      node->part.Reset(nullptr, g_file_lock);
      delete node;
    }
  }
}

void GPaperHandlingDevice::SetPart(std::uint16_t id, GAttribute* part) {
  if (!part) return;
  if (!StorePart(id, part)) {
    GAttributeComposite::Refuse(part);
    return;
  }
  if (current_part_id_ == 0) current_part_id_ = id;
}

GAttribute* GPaperHandlingDevice::RemovePart(std::uint16_t id) {
  PartNode* node = UnlinkPart(id);
  if (!node) return nullptr;
  auto* removed = dynamic_cast<GAttribute*>(node->part.Detach(g_file_lock));
  delete node;
  if (id == current_part_id_) {
    current_part_id_ = 0;
    bool chosen = false;
    ForEachPart([this, &chosen](const PartNode& next) {
      if (chosen || !next.part) return;
      current_part_id_ = next.id;
      chosen = true;
    });
  }
  return removed;
}

GAttribute* GPaperHandlingDevice::GetPart(std::uint16_t id) {
  const PartNode* node = FindNode(id);
  return node ? static_cast<GAttribute*>(node->part.Get()) : nullptr;
}

const GAttribute* GPaperHandlingDevice::GetPart(std::uint16_t id) const {
  const PartNode* node = FindNode(id);
  return node ? static_cast<const GAttribute*>(node->part.Get()) : nullptr;
}

std::uint32_t GPaperHandlingDevice::SetCurrentPartId(std::uint16_t id) {
  if (!HasPart(id)) return 0;
  current_part_id_ = id;
  return 1;
}

void GPaperHandlingDevice::GetPartIds(RWShortVector& ids) const {
  ForEachPart([&ids](const PartNode& node) { ids.Append(node.id); });
}

std::uint32_t GPaperHandlingDevice::GetMinPartEntries() const {
  std::uint32_t least = 0;
  ForEachPart([&least](const PartNode& node) {
    std::uint32_t entries = node.part->EntryCount();
    if (entries != 0 && (least == 0 || entries < least)) least = entries;
  });
  return least;
}

std::uint32_t GPaperHandlingDevice::GetMaxPartEntries() const {
  std::uint32_t most = 0;
  ForEachPart([&most](const PartNode& node) {
    if (node.part->EntryCount() > most) most = node.part->EntryCount();
  });
  return most;
}

// ---------------------------------------------------------------------------
// Flags and names

void GPaperHandlingDevice::SetOptional(std::uint32_t optional) {
  optional_ = optional;
  if (optional == 0) installed_ = 1;
}

std::uint32_t GPaperHandlingDevice::SetInstalled(std::uint32_t installed) {
  if (optional_ != 1) return 0;
  installed_ = installed;
  return 1;
}

std::uint32_t GPaperHandlingDevice::SetMatchMode(std::uint32_t match_mode) {
  std::uint32_t previous = match_mode_;
  match_mode_ = match_mode;
  return previous;
}

std::uint32_t GPaperHandlingDevice::SetSelectable(std::uint32_t selectable) {
  std::uint32_t previous = selectable_;
  selectable_ = selectable;
  return previous;
}

RWCString& GPaperHandlingDevice::GetName(RWCString& name) const {
  name = name_;
  return name;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GPaperHandlingDevice::StoredSize() const {
  RWSize size = GAttribute::StoredSize() + 4 + kFieldsSize + name_.Length() + 8;
  ForEachPart([&size](const PartNode& node) { size += 2 + GraphStoreSizeOf(node.part.Get()); });
  // The display string's object token is its 2-byte class id.
  return size + 2 + display_string_.StoredSize();
}

template <class Out>
void GPaperHandlingDevice::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kPaperHandlingDeviceVersion);
  PutItem(out, name_);
  PutItem(out, device_type_);
  PutItem(out, optional_);
  PutItem(out, installed_);
  PutItem(out, current_part_id_);
  PutItem(out, part_count_);
  ForEachPart([&out](const PartNode& node) {
    PutItem(out, node.id);
    PutReference(out, node.part.Get());
  });
  PutItem(out, match_mode_);
  PutItem(out, selectable_);
  PutReference(out, &display_string_);
}

// Reads the count and the parts; false when the data is bad.
template <class In>
bool GPaperHandlingDevice::RestoreParts(In& in) {
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return true;  // the source's own failure says it
  if (!RemainingMayHold(in, count, kMinPartBytes)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint16_t id = 0;
    if (!GetItem(in, id)) return true;
    RWCollectable* read = nullptr;
    bool read_on = GetReference(in, read);
    if (read) {
      auto* part = dynamic_cast<GAttribute*>(read);
      // A partial part is still held, so that it is freed with the device;
      // a refused one goes back to the read.
      if (!part || !MayHoldRestoredChild(part) || !StorePart(id, part)) {
        RefuseRestored(in, read);
        return false;
      }
    }
    if (!read_on) return true;
  }
  return true;
}

template <class In>
void GPaperHandlingDevice::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version > kPaperHandlingDeviceVersion) return;
  ClearParts();
  if (!GetItem(in, name_) || !GetItem(in, device_type_) || !GetItem(in, optional_) ||
      !GetItem(in, installed_) || !GetItem(in, current_part_id_)) {
    return;
  }
  {
    MRestoreInProgress in_progress(*this);
    if (!RestoreParts(in)) {
      scope.Fail();
      return;
    }
  }
  if (!scope.Ok()) return;
  if (version < kPaperHandlingDeviceVersion) {
    match_mode_ = kOlderMatchMode;
    selectable_ = part_count_ >= 2 ? 1 : 0;
    return;
  }
  if (!GetItem(in, match_mode_) || !GetItem(in, selectable_)) return;
  // Back into the one held, never into an object of the reader's making.
  if (!GetEmbedded(in, display_string_)) scope.Fail();
}

// ---------------------------------------------------------------------------
// Content, children, execution

bool GPaperHandlingDevice::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPaperHandlingDevice* same = SameContentBase(other);
  if (!same || name_ != same->name_ || device_type_ != same->device_type_ ||
      optional_ != same->optional_ || installed_ != same->installed_ ||
      current_part_id_ != same->current_part_id_ || match_mode_ != same->match_mode_ ||
      selectable_ != same->selectable_ || part_count_ != same->part_count_ ||
      !display_string_.IsEqualContent(&same->display_string_)) {
    return false;
  }
  bool equal = true;
  ForEachPart([same, &equal](const PartNode& node) {
    const GAttribute* theirs = same->GetPart(node.id);
    const MPersistentObject* mine = node.part.Get();
    if (equal && mine != theirs && (!theirs || mine->IsDifferent(theirs))) equal = false;
  });
  return equal;
}

MChildIterator* GPaperHandlingDevice::NewChildIterator() {
  if (GAttribute* current = GetPart(current_part_id_)) return current->NewChildIterator();
  return RWNew<MEmptyChildIterator>();
}

std::uint16_t GPaperHandlingDevice::Execute(GAttributeHandlers&) {
  return 1;
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GPaperHandlingDevice, GAttribute, kGPaperHandlingDeviceId>;
