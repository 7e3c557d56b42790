#include "platform/host/registry.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <tuple>
#include <utility>

#include "platform/host/boundary.h"
#include "platform/host/host_state.h"
#include "platform/host/registry_store.h"
#include "platform/host/system_writes.h"
#include "platform/text.h"

namespace platform {
namespace host_internal {

struct StoreKey {
  std::map<std::u16string, std::unique_ptr<StoreKey>> subkeys;  // by folded name
  std::map<std::u16string, RegistryValue> values;               // by folded name
  std::uint64_t stamp = NextChangeStamp();                      // of the last change
  bool deleted = false;                                         // kept for its handles
};

}  // namespace host_internal

namespace {

using host_internal::Fold;
using host_internal::Hive;
using host_internal::Lock;
using host_internal::Mutex;
using host_internal::RegistryValue;

using Key = host_internal::StoreKey;

struct OpenKey {
  Hive hive;
  std::u16string path;  // folded, from the root
  Key* key;
  DWORD access;
};

struct RegistryState {
  Key machine;
  Key user;
  std::map<std::uintptr_t, OpenKey> open;
  std::map<std::tuple<Hive, std::u16string, std::u16string>, DWORD> failures;
  std::map<std::pair<Hive, std::u16string>, DWORD> denied;  // rights by folded path
  std::vector<std::unique_ptr<Key>> deleted;                // deleted keys that handles may name
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

Key& Root(Hive hive) {
  return hive == Hive::kMachine ? State().machine : State().user;
}

bool RootHive(HKEY key, Hive& hive) {
  if (key == kHkeyLocalMachine) {
    hive = Hive::kMachine;
  } else if (key == kHkeyCurrentUser) {
    hive = Hive::kUser;
  } else {
    return false;
  }
  return true;
}

// Splits a key path at "\"; false when a name in it is empty.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& names) {
  names.clear();
  if (path.empty()) return true;
  for (std::size_t start = 0;;) {
    std::size_t cut = path.find(u'\\', start);
    std::u16string_view name = path.substr(start, cut == path.npos ? path.npos : cut - start);
    if (name.empty()) return false;
    names.push_back(name);
    if (cut == path.npos) return true;
    start = cut + 1;
  }
}

// The name of a stored thing for the write refusals (system_writes.h).
std::u16string ThingName(std::u16string_view kind, Hive hive, std::u16string_view folded_path,
                         std::u16string_view folded_name = {}) {
  std::u16string thing(kind);
  thing += hive == Hive::kMachine ? u"M:" : u"U:";
  thing += folded_path;
  thing += u'\\';
  thing += folded_name;
  return thing;
}

std::u16string JoinFolded(std::u16string path, const std::vector<std::u16string_view>& names) {
  for (std::u16string_view name : names) {
    if (!path.empty()) path += u'\\';
    path += Fold(name);
  }
  return path;
}

// How far `names` below `from` exist: the deepest key found and how many
// of the names it took.
struct Found {
  Key* key;
  std::size_t depth;
};

Found FindDeepest(Key* from, const std::vector<std::u16string_view>& names) {
  std::size_t depth = 0;
  for (; depth < names.size(); ++depth) {
    auto it = from->subkeys.find(Fold(names[depth]));
    if (it == from->subkeys.end()) break;
    from = it->second.get();
  }
  return {from, depth};
}

// The keys `names` from `depth` on, made whole and chained below each
// other but not yet linked anywhere: memory that runs out while they are
// made leaves the store as it was. `leaf` is the last.
struct Chain {
  std::map<std::u16string, std::unique_ptr<Key>>::node_type top;
  Key* leaf;
};

Chain MakeChain(const std::vector<std::u16string_view>& names, std::size_t depth) {
  std::map<std::u16string, std::unique_ptr<Key>> made;
  auto top = made.emplace(Fold(names[depth]), std::make_unique<Key>()).first;
  Key* leaf = top->second.get();
  for (std::size_t i = depth + 1; i < names.size(); ++i)
    leaf = leaf->subkeys.emplace(Fold(names[i]), std::make_unique<Key>()).first->second.get();
  return {made.extract(top), leaf};
}

// The key `names` below `from`, made when `create` is set (then `*created`
// tells whether the last one is new); null when missing. Whole or not at
// all: the keys made are linked in only once all are made.
Key* Walk(Key* from, const std::vector<std::u16string_view>& names, bool create,
          bool* created = nullptr) {
  const Found found = FindDeepest(from, names);
  if (created != nullptr) *created = found.depth < names.size();
  if (found.depth == names.size()) return found.key;
  if (!create) return nullptr;
  Chain chain = MakeChain(names, found.depth);
  found.key->subkeys.insert(std::move(chain.top));  // allocates nothing
  return chain.leaf;
}

Key* WalkPath(Hive hive, std::u16string_view path, bool create) {
  std::vector<std::u16string_view> names;
  if (!SplitPath(path, names)) return nullptr;
  return Walk(&Root(hive), names, create);
}

// The open key a handle names; the predefined roots are always open.
bool Resolve(HKEY key, OpenKey& out) {
  Hive hive;
  if (RootHive(key, hive)) {
    out = OpenKey{hive, {}, &Root(hive), kKeyAllAccess};
    return true;
  }
  auto it = State().open.find(host_internal::IdFromHandle(key));
  if (it == State().open.end()) return false;
  out = it->second;
  return true;
}

LONG OpenAt(HKEY key, const char16_t* sub_key, DWORD access, bool create, HKEY* result,
            DWORD* disposition) {
  if (result == nullptr) return kErrorInvalidParameter;
  *result = nullptr;
  Lock lock(Mutex());
  OpenKey parent;
  if (!Resolve(key, parent)) return kErrorInvalidHandle;
  if (parent.key->deleted) return kErrorKeyDeleted;
  std::vector<std::u16string_view> names;
  if (!SplitPath(sub_key != nullptr ? sub_key : u"", names)) return kErrorBadPathname;
  std::u16string path = JoinFolded(parent.path, names);
  auto denied = State().denied.find({parent.hive, path});
  if (denied != State().denied.end() && (denied->second & access) != 0) return kErrorAccessDenied;
  // Making a key is a write the system may refuse.
  if (create && Walk(parent.key, names, false) == nullptr) {
    if (DWORD refused = host_internal::RefusedWriteLocked(ThingName(u"key:", parent.hive, path)))
      return static_cast<LONG>(refused);
  }
  // The handle's entry is made before a key is: memory that runs out
  // leaves neither.
  std::map<std::uintptr_t, OpenKey> entry;
  entry.emplace(host_internal::NewHandleId(),
                OpenKey{parent.hive, std::move(path), nullptr, access});
  bool created = false;
  Key* found = Walk(parent.key, names, create, &created);
  if (found == nullptr) return kErrorFileNotFound;
  entry.begin()->second.key = found;
  *result = host_internal::HandleFromId<HKEY>(entry.begin()->first);
  State().open.insert(entry.extract(entry.begin()));
  if (disposition != nullptr) *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
  return kErrorSuccess;
}

DWORD SetValueAt(Hive hive, const std::u16string& folded_path, Key* key, std::u16string_view name,
                 DWORD type, const BYTE* data, DWORD size) {
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  std::u16string folded_name = Fold(name);
  auto failure = State().failures.find({hive, folded_path, folded_name});
  if (failure != State().failures.end()) return failure->second;
  if (DWORD refused =
          host_internal::RefusedWriteLocked(ThingName(u"value:", hive, folded_path, folded_name)))
    return refused;
  // Made whole before it replaces the value: memory that runs out leaves
  // the value as it was.
  RegistryValue made{std::u16string(name), type, std::vector<BYTE>(data, data + size)};
  auto found = key->values.find(folded_name);
  if (found == key->values.end()) {
    key->values.emplace(std::move(folded_name), std::move(made));
  } else {
    made.name.swap(found->second.name);  // the name as first written
    found->second = std::move(made);
  }
  key->stamp = host_internal::NextChangeStamp();
  return kErrorSuccess;
}

// The size protocol of a query over `count` bytes of a value of `value_type`.
LONG AnswerQuery(DWORD value_type, const BYTE* bytes, std::size_t count, DWORD* type, BYTE* data,
                 DWORD* size) {
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  if (count > 0xFFFFFFFFu) return kErrorInvalidData;
  if (type != nullptr) *type = value_type;
  if (size == nullptr) return kErrorSuccess;
  DWORD needed = static_cast<DWORD>(count);
  if (data != nullptr && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data != nullptr && needed != 0) std::memcpy(data, bytes, needed);
  *size = needed;
  return kErrorSuccess;
}

const RegistryValue* FindIn(Key* key, std::u16string_view name) {
  auto it = key->values.find(Fold(name));
  return it == key->values.end() ? nullptr : &it->second;
}

// The open key of a value operation that needs `right`, or an error.
LONG ResolveFor(HKEY key, DWORD right, OpenKey& out) {
  if (!Resolve(key, out)) return kErrorInvalidHandle;
  if (out.key->deleted) return kErrorKeyDeleted;
  if ((out.access & right) == 0) return kErrorAccessDenied;
  return kErrorSuccess;
}

bool IsStringType(DWORD type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD, DWORD access, HKEY* result) {
  return host_internal::SystemCall<LONG>(
      kErrorNotEnoughMemory, [&] { return OpenAt(key, sub_key, access, false, result, nullptr); });
}

LONG RegOpenKeyW(HKEY key, const char16_t* sub_key, HKEY* result) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&] {
    return OpenAt(key, sub_key, kKeyAllAccess, false, result, nullptr);
  });
}

LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD, const char16_t*, DWORD, DWORD access,
                     const void*, HKEY* result, DWORD* disposition) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&] {
    return OpenAt(key, sub_key, access, true, result, disposition);
  });
}

LONG RegCloseKey(HKEY key) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    Hive hive;
    if (RootHive(key, hive)) return kErrorSuccess;
    Lock lock(Mutex());
    return State().open.erase(host_internal::IdFromHandle(key)) != 0 ? kErrorSuccess
                                                                     : kErrorInvalidHandle;
  });
}

LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    Lock lock(Mutex());
    OpenKey open;
    if (LONG error = ResolveFor(key, kKeyQueryValue, open)) return error;
    const RegistryValue* value = FindIn(open.key, name != nullptr ? name : u"");
    if (value == nullptr) return kErrorFileNotFound;
    return AnswerQuery(value->type, value->data.data(), value->data.size(), type, data, size);
  });
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    std::u16string wide_name;
    if (name != nullptr && !MultiByteToWide(name, std::strlen(name), wide_name)) {
      return kErrorFileNotFound;
    }
    Lock lock(Mutex());
    OpenKey open;
    if (LONG error = ResolveFor(key, kKeyQueryValue, open)) return error;
    const RegistryValue* value = FindIn(open.key, wide_name);
    if (value == nullptr) return kErrorFileNotFound;
    if (!IsStringType(value->type)) {
      return AnswerQuery(value->type, value->data.data(), value->data.size(), type, data, size);
    }
    // Stored as UTF-16 little-endian units; an odd last byte is no unit.
    std::u16string units(value->data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(value->data[2 * i] | (value->data[2 * i + 1] << 8));
    }
    std::string text;
    if (!WideToMultiByte(units.data(), units.size(), text)) return kErrorInvalidData;
    return AnswerQuery(value->type, reinterpret_cast<const BYTE*>(text.data()), text.size(), type,
                       data, size);
  });
}

LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD, DWORD type, const BYTE* data,
                    DWORD size) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    Lock lock(Mutex());
    OpenKey open;
    if (LONG error = ResolveFor(key, kKeySetValue, open)) return error;
    return static_cast<LONG>(
        SetValueAt(open.hive, open.path, open.key, name != nullptr ? name : u"", type, data, size));
  });
}

LONG RegDeleteValueW(HKEY key, const char16_t* name) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    Lock lock(Mutex());
    OpenKey open;
    if (LONG error = ResolveFor(key, kKeySetValue, open)) return error;
    const std::u16string folded = Fold(name != nullptr ? name : u"");
    auto found = open.key->values.find(folded);
    if (found == open.key->values.end()) return kErrorFileNotFound;
    if (DWORD refused =
            host_internal::RefusedWriteLocked(ThingName(u"value:", open.hive, open.path, folded)))
      return static_cast<LONG>(refused);
    open.key->values.erase(found);
    open.key->stamp = host_internal::NextChangeStamp();
    return kErrorSuccess;
  });
}

LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key) {
  return host_internal::SystemCall<LONG>(kErrorNotEnoughMemory, [&]() -> LONG {
    Lock lock(Mutex());
    OpenKey open;
    if (LONG error = ResolveFor(key, kKeySetValue, open)) return error;
    std::vector<std::u16string_view> names;
    if (!SplitPath(sub_key != nullptr ? sub_key : u"", names)) return kErrorBadPathname;
    if (names.empty()) return kErrorAccessDenied;
    const std::u16string_view last = names.back();
    names.pop_back();
    Key* parent = Walk(open.key, names, false);
    if (parent == nullptr) return kErrorFileNotFound;
    auto it = parent->subkeys.find(Fold(last));
    if (it == parent->subkeys.end()) return kErrorFileNotFound;
    if (!it->second->subkeys.empty()) return kErrorAccessDenied;
    names.push_back(last);
    if (DWORD refused = host_internal::RefusedWriteLocked(
            ThingName(u"key:", open.hive, JoinFolded(open.path, names))))
      return static_cast<LONG>(refused);
    State().deleted.reserve(State().deleted.size() + 1);
    it->second->deleted = true;
    State().deleted.push_back(std::move(it->second));
    parent->subkeys.erase(it);
    parent->stamp = host_internal::NextChangeStamp();
    return kErrorSuccess;
  });
}

std::vector<std::u16string> RegistryValueNames(HKEY root, std::u16string_view path) {
  std::vector<std::u16string> names;
  Hive hive;
  if (!RootHive(root, hive)) return names;
  Lock lock(Mutex());
  if (Key* key = WalkPath(hive, path, false)) {
    for (const auto& entry : key->values)
      names.push_back(entry.second.name);
  }
  return names;
}

std::vector<std::u16string> RegistryKeyPaths(HKEY root) {
  std::vector<std::u16string> paths;
  Hive hive;
  if (!RootHive(root, hive)) return paths;
  Lock lock(Mutex());
  const auto walk = [&paths](const auto& self, const Key& key, const std::u16string& path) -> void {
    for (const auto& [name, subkey] : key.subkeys) {
      const std::u16string below = path.empty() ? name : path + u'\\' + name;
      paths.push_back(below);
      self(self, *subkey, below);
    }
  };
  walk(walk, Root(hive), {});
  return paths;
}

void SetRegistryWriteFailure(HKEY root, std::u16string_view path, std::u16string_view name,
                             DWORD error) {
  Hive hive;
  std::vector<std::u16string_view> names;
  if (!RootHive(root, hive) || !SplitPath(path, names)) return;
  Lock lock(Mutex());
  auto where = std::make_tuple(hive, JoinFolded({}, names), Fold(name));
  if (error == kErrorSuccess) {
    State().failures.erase(where);
  } else {
    State().failures[where] = error;
  }
}

void SetRegistryDeniedRights(HKEY root, std::u16string_view path, DWORD rights) {
  Hive hive;
  std::vector<std::u16string_view> names;
  if (!RootHive(root, hive) || !SplitPath(path, names)) return;
  Lock lock(Mutex());
  auto where = std::make_pair(hive, JoinFolded({}, names));
  if (rights == 0) {
    State().denied.erase(where);
  } else {
    State().denied[where] = rights;
  }
}

std::size_t OpenRegistryKeyCount() {
  Lock lock(Mutex());
  return State().open.size();
}

namespace host_internal {

std::uint64_t NextChangeStamp() {
  // Atomic: the hives' roots are made before anyone takes the lock.
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

StoreKey* StoreFindKey(Hive hive, std::u16string_view path) {
  return WalkPath(hive, path, false);
}

std::uint64_t StoreKeyStamp(const StoreKey& key) {
  return key.stamp;
}

bool StoreCreateKey(Hive hive, std::u16string_view path) {
  return WalkPath(hive, path, true) != nullptr;
}

const RegistryValue* StoreFindValue(Hive hive, std::u16string_view path, std::u16string_view name) {
  Key* key = WalkPath(hive, path, false);
  return key != nullptr ? FindIn(key, name) : nullptr;
}

DWORD StoreSetValue(Hive hive, std::u16string_view path, std::u16string_view name, DWORD type,
                    const BYTE* data, DWORD size) try {
  std::vector<std::u16string_view> names;
  if (!SplitPath(path, names)) return kErrorBadPathname;
  const Found found = FindDeepest(&Root(hive), names);
  if (found.depth == names.size())
    return SetValueAt(hive, JoinFolded({}, names), found.key, name, type, data, size);
  // The missing keys are linked in only with the value written under them.
  Chain chain = MakeChain(names, found.depth);
  const DWORD written = SetValueAt(hive, JoinFolded({}, names), chain.leaf, name, type, data, size);
  if (written == kErrorSuccess) found.key->subkeys.insert(std::move(chain.top));
  return written;
} catch (const std::bad_alloc&) {
  NoteShortage();
  return kErrorNotEnoughMemory;
}

void ResetRegistryLocked() {
  State().open.clear();
  State().failures.clear();
  State().denied.clear();
  State().deleted.clear();
  State().machine = Key{};
  State().user = Key{};
}

}  // namespace host_internal
}  // namespace platform
