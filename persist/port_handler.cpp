#include "persist/port_handler.h"

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "persist/string_conversion.h"

namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `name` begins with `prefix` (lower case), ignoring ASCII case.
bool StartsWithIgnoringCase(const RWCString& name, const char* prefix) {
  RWSize i = 0;
  for (; prefix[i] != 0; ++i) {
    if (i >= name.Length() || AsciiLower(name.Data()[i]) != prefix[i]) return false;
  }
  return true;
}

// "lpt1", "LPT1:": the prefix, one digit, and an optional colon.
bool IsNumberedPort(const RWCString& name, const char* prefix) {
  const char* text = name.Data();
  RWSize n = name.Length();
  if (n != 4 && n != 5) return false;
  if (n == 5 && text[4] != ':') return false;
  return StartsWithIgnoringCase(name, prefix) && text[3] >= '0' && text[3] <= '9';
}

}  // namespace

// ---------------------------------------------------------------------------
// GPortHandler

RWSize GPortHandler::StoredSize() const {
  return MPersistentObject::StoredSize() + 4;
}

bool GPortHandler::IsKindOf(const RWClassID& id) const {
  return id == kGPortHandlerId || MPersistentObject::IsKindOf(id);
}

bool GPortHandler::IsEqualContent(const MPersistentObject*) const {
  return false;
}

void* GPortHandler::OpenEx(const RWWString&, const RWCString&, std::uint32_t, void*) {
  return nullptr;
}

void* GPortHandler::Open(const RWWString&, const RWCString&, std::uint32_t, void*) {
  return nullptr;
}

bool GPortHandler::HasFlags(std::uint32_t flags) const {
  return (Flags() & flags) == flags;
}

template <class Out>
void GPortHandler::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPortHandlerVersion);
}

template <class In>
void GPortHandler::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  ReadsVersion(scope, in, kPortHandlerVersion);
}

void GPortHandler::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GPortHandler::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GPortHandler::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GPortHandler::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// GPortHandlerRegistry

GPortHandlerRegistry& GPortHandlerRegistry::Instance() {
  static GPortHandlerRegistry registry;
  return registry;
}

GPortHandlerRegistry::~GPortHandlerRegistry() {
  for (RWSinglyLinkedList* list : {&open_list_, &open_ex_list_}) {
    while (!list->IsEmpty())
      delete static_cast<Entry*>(list->RemoveAfter(list->Head()));
  }
}

GPortHandlerRegistry::Entry* GPortHandlerRegistry::FindIn(const RWSinglyLinkedList& list,
                                                          const RWCString& name) {
  for (RWSlink* link = list.First(); link && !list.IsTail(link); link = link->next) {
    auto* entry = static_cast<Entry*>(link);
    if (entry->name == name) return entry;
  }
  return nullptr;
}

void GPortHandlerRegistry::RemoveFrom(RWSinglyLinkedList& list, const RWCString& name) {
  if (Entry* entry = FindIn(list, name)) {
    list.Remove(entry);
    delete entry;
  }
}

void GPortHandlerRegistry::Append(RWSinglyLinkedList& list, GPortHandler* handler,
                                  const RWCString& name) {
  if (Entry* entry = RWNew<Entry>()) {
    entry->name = name;
    entry->handler = handler;
    list.Append(entry);
  }
}

std::int32_t GPortHandlerRegistry::Register(GPortHandler* handler, const RWCString& name) {
  if (!handler || Find(name)) return 1;
  std::uint32_t flags = handler->Flags();
  if (flags & kPortFlagsOpenMask) Append(open_list_, handler, name);
  if (flags >= kPortFlagsOpenExFirst) Append(open_ex_list_, handler, name);
  return 0;
}

std::int32_t GPortHandlerRegistry::Unregister(const RWCString& name) {
  RemoveFrom(open_list_, name);
  RemoveFrom(open_ex_list_, name);
  return 0;
}

template <class OpenCall>
void* GPortHandlerRegistry::OpenThrough(const RWSinglyLinkedList& list, std::uint32_t flags,
                                        OpenCall open) {
  for (RWSlink* link = list.First(); link && !list.IsTail(link); link = link->next) {
    auto* entry = static_cast<Entry*>(link);
    if (!entry->handler->HasFlags(flags)) continue;
    if (void* opened = open(*entry->handler, entry->name)) return opened;
  }
  return nullptr;
}

void* GPortHandlerRegistry::OpenPort(const RWWString& destination, void* extra,
                                     std::uint32_t flags) {
  return OpenThrough(open_list_, flags, [&](GPortHandler& handler, const RWCString& name) {
    return handler.Open(destination, name, flags, extra);
  });
}

void* GPortHandlerRegistry::OpenPortEx(const RWWString& destination, void* extra,
                                       std::uint32_t flags) {
  return OpenThrough(open_ex_list_, flags, [&](GPortHandler& handler, const RWCString& name) {
    return handler.OpenEx(destination, name, flags, extra);
  });
}

std::uint32_t GPortHandlerRegistry::CountIn(const RWSinglyLinkedList& list, std::uint32_t flags) {
  std::uint32_t count = 0;
  for (RWSlink* link = list.First(); link && !list.IsTail(link); link = link->next) {
    if (static_cast<Entry*>(link)->handler->HasFlags(flags)) ++count;
  }
  return count;
}

std::uint32_t GPortHandlerRegistry::CountHandlers(std::uint32_t flags) const {
  std::uint32_t count = 0;
  if (flags & kPortFlagsOpenMask) count += CountIn(open_list_, flags);
  if (flags >= kPortFlagsOpenExFirst) count += CountIn(open_ex_list_, flags);
  return count;
}

GPortHandler* GPortHandlerRegistry::Find(const RWCString& name) const {
  Entry* entry = FindIn(open_list_, name);
  if (!entry) entry = FindIn(open_ex_list_, name);
  return entry ? entry->handler : nullptr;
}

std::int32_t GPortHandlerRegistry::ClassifyPortName(const RWWString& wide_name) {
  RWCString name;
  WideToNarrow(wide_name, name);
  const char* text = name.Data();
  RWSize n = name.Length();
  if (n >= 2 && text[0] == '\\' && text[1] == '\\') return kPortNameNetwork;
  if (IsNumberedPort(name, "lpt")) return kPortNameParallel;
  if (IsNumberedPort(name, "com")) return kPortNameSerial;
  if (n == 5 && StartsWithIgnoringCase(name, "file:")) return kPortNameFile;
  if (n > 0 && text[n - 1] == ':') return kPortNameWithColon;
  return kPortNameOther;
}
