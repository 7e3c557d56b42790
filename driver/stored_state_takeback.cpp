// Take-backs (stored_state_internal.h): putting back what a refused commit
// wrote, and keeping what the system refuses to put back pending until a
// later call finishes it. docs/notes/stored-state.md says why.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "driver/stored_state.h"
#include "driver/stored_state_internal.h"
#include "platform/host/registry.h"

using platform::BOOL;
using platform::BYTE;
using platform::DWORD;
using platform::HANDLE;
using platform::HKEY;
using platform::LONG;
using Change = GStoreTransaction::Change;

namespace stored_state_internal {
namespace {

// Tries of a take-back before it is left pending: a system short of its
// own memory for a moment takes the write on one of the next.
constexpr int kTakeBackTries = 8;

// Sets (making the key when `make_key`) or deletes registry value `name`.
DWORD WriteRegistry(HKEY root, const char16_t* path, const char16_t* name, bool present,
                    bool make_key, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  LONG result = present && make_key
                    ? platform::RegCreateKeyExW(root, path, 0, u"", 0, platform::kKeySetValue,
                                                nullptr, &key, nullptr)
                    : platform::RegOpenKeyExW(root, path, 0, platform::kKeySetValue, &key);
  if (result == LONG(platform::kErrorFileNotFound) && !present) return 0;
  if (result != 0) return DWORD(result);
  result = present ? platform::RegSetValueExW(key, name, 0, type, bytes.data(), DWORD(bytes.size()))
                   : platform::RegDeleteValueW(key, name);
  platform::RegCloseKey(key);
  return result == LONG(platform::kErrorFileNotFound) && !present ? 0 : DWORD(result);
}

// A handle of the printer a take-back left pending writes through: the
// commit's is the caller's, and gone by now.
class OwnHandle {
 public:
  OwnHandle(const Change& identity, HANDLE given) : handle_(given) {
    if (handle_) return;
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    if (platform::OpenPrinterW(identity.printer.c_str(), &handle_, &all) == 1) opened_ = true;
  }
  ~OwnHandle() {
    if (opened_) platform::ClosePrinter(handle_);
  }
  OwnHandle(const OwnHandle&) = delete;
  OwnHandle& operator=(const OwnHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
  bool opened_ = false;
};

DWORD WriteDefault(HANDLE admin, const std::vector<BYTE>& bytes, std::vector<BYTE>& record) {
  if (record.size() < sizeof(platform::PrinterInfo2W)) return platform::kErrorInvalidData;
  auto* info = reinterpret_cast<platform::PrinterInfo2W*>(record.data());
  info->dev_mode = const_cast<BYTE*>(bytes.data());
  info->security_descriptor = nullptr;
  return platform::SetPrinterW(admin, 2, record.data(), 0) == 1 ? 0 : platform::GetLastError();
}

DWORD WriteForm(const Change& identity, HANDLE admin, bool present, DWORD flags,
                const std::vector<BYTE>& bytes, bool& held_now) {
  FormShape shape{};
  if (!bytes.empty()) std::memcpy(&shape, bytes.data(), std::min(sizeof shape, bytes.size()));
  const platform::FormInfo1W form{flags, const_cast<char16_t*>(identity.given.c_str()), shape.size,
                                  shape.area};
  const auto* record = reinterpret_cast<const BYTE*>(&form);
  BOOL done = 1;
  if (present) {
    done = held_now ? platform::SetFormW(admin, identity.given.c_str(), 1, record)
                    : platform::AddFormW(admin, 1, record);
  } else if (held_now) {
    done = platform::DeleteFormW(admin, identity.given.c_str());
  }
  if (done != 1) return platform::GetLastError();
  held_now = present;
  return 0;
}

// Whether the server holds form `identity` now, read on the stack.
bool FormHeld(const Change& identity, HANDLE admin) {
  alignas(platform::FormInfo1W) BYTE room[512];
  DWORD needed = 0;
  return platform::GetFormW(admin, identity.given.c_str(), 1, room, sizeof room, &needed) == 1 ||
         platform::GetLastError() == platform::kErrorInsufficientBuffer;
}

// Whether `chunk` is a chunk of `count`'s chunked value: the same place,
// its name the count's, ':' and a decimal index.
bool ChunkOf(const Change& chunk, const Change& count) {
  const std::size_t at = count.name.size();
  if (chunk.kind != count.kind || chunk.root != count.root || chunk.where != count.where ||
      chunk.name.size() < at + 2 || chunk.name.compare(0, at, count.name) != 0 ||
      chunk.name[at] != u':')
    return false;
  return std::all_of(chunk.name.begin() + std::ptrdiff_t(at) + 1, chunk.name.end(),
                     [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
}

// Makes `item`'s thing hold its image (`present`: else absent), tried a
// few times; the system's last refusal stays in `item.error`.
bool Try(TakeBack& item, bool present) {
  for (int tries = 0; tries < kTakeBackTries; ++tries) {
    const DWORD error = WriteThing(item.thing, item.thing.via, present, item.thing.type,
                                   item.thing.bytes, item.record, item.held_now);
    if (error == 0) return true;
    item.error = error;
  }
  return false;
}

// Takes away the keys made for `item` (innermost first).
void TakeKeysAway(TakeBack& item) {
  while (!item.keys.empty()) {
    LONG result = 0;
    for (int tries = 0; tries < kTakeBackTries; ++tries) {
      result = platform::RegDeleteKeyW(item.thing.root, item.keys.back().c_str());
      if (result == 0 || result == LONG(platform::kErrorFileNotFound)) break;
    }
    if (result != 0 && result != LONG(platform::kErrorFileNotFound)) {
      item.error = DWORD(result);
      return;
    }
    item.keys.pop_back();
  }
}

struct PendingState {
  std::vector<TakeBack> items;  // oldest first
  std::atomic<std::size_t> count{0};
  std::atomic<std::uint64_t> writes{0};
  int writing = 0;  // WritesUnderway nested on the lock's holder
};

PendingState& Pending() {
  static PendingState state;
  return state;
}

}  // namespace

DWORD WriteThing(const Change& identity, HANDLE admin, bool present, DWORD type,
                 const std::vector<BYTE>& bytes, std::vector<BYTE>& record, bool& held_now) {
  switch (identity.kind) {
    case Kind::kPrinterValue:
      if (present && admin)
        return platform::SetPrinterDataW(admin, identity.given.c_str(), type, bytes.data(),
                                         DWORD(bytes.size()));
      // Deleted, and put back without the caller's handle, through the data key.
      return WriteRegistry(platform::kHkeyLocalMachine, identity.path.c_str(),
                           identity.given.c_str(), present, false, type, bytes);
    case Kind::kRegistryValue:
      return WriteRegistry(identity.root, identity.path.c_str(), identity.given.c_str(), present,
                           identity.make_key, type, bytes);
    case Kind::kStoredDefault: {
      // The system keeps no way to take a stored default away.
      if (!present) return 0;
      OwnHandle handle(identity, admin);
      if (!admin) {
        // The printer's record as it is now, not as the commit read it.
        DWORD needed = 0;
        platform::GetPrinterW(handle.get(), 2, nullptr, 0, &needed);
        try {
          record.assign(needed, 0);
        } catch (const std::bad_alloc&) {
          return platform::kErrorNotEnoughMemory;
        }
        if (platform::GetPrinterW(handle.get(), 2, record.data(), needed, &needed) != 1)
          return platform::GetLastError();
      }
      return WriteDefault(handle.get(), bytes, record);
    }
    case Kind::kForm: {
      OwnHandle handle(identity, admin);
      if (!admin) held_now = FormHeld(identity, handle.get());
      return WriteForm(identity, handle.get(), present, type, bytes, held_now);
    }
  }
  return platform::kErrorInvalidParameter;
}

void PutBack(TakeBack* items, std::size_t count) {
  // Newest first: as the writes were made, backwards.
  const auto at = [items, count](std::size_t i) -> TakeBack& { return items[count - 1 - i]; };
  // A chunked value's count goes first: while its chunks come back one by
  // one, the value reads as absent, never as the count over a mix.
  for (std::size_t i = 0; i < count; ++i) {
    TakeBack& item = at(i);
    if (item.count && item.touched && !item.cleared) item.cleared = Try(item, false);
  }
  // A chunk whose count could not be taken away stays as the commit left
  // it: the count it stands under is the commit's, and whole.
  const auto blocked = [&](const TakeBack& chunk) {
    return std::any_of(items, items + count, [&](const TakeBack& owner) {
      return owner.count && owner.touched && !owner.cleared && ChunkOf(chunk.thing, owner.thing);
    });
  };
  for (std::size_t i = 0; i < count; ++i) {
    TakeBack& item = at(i);
    if (item.count || !item.touched || blocked(item)) continue;
    if (Try(item, item.thing.present)) item.touched = false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    TakeBack& item = at(i);
    if (!item.count || !item.cleared) continue;
    const bool chunks_back = std::none_of(items, items + count, [&](const TakeBack& chunk) {
      return chunk.touched && !chunk.count && ChunkOf(chunk.thing, item.thing);
    });
    if (chunks_back && Try(item, item.thing.present)) item.touched = item.cleared = false;
  }
  for (std::size_t i = 0; i < count; ++i)
    TakeKeysAway(at(i));
}

void MarkCounts(TakeBack* items, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    items[i].count = std::any_of(items, items + count, [&](const TakeBack& chunk) {
      return &chunk != &items[i] && ChunkOf(chunk.thing, items[i].thing);
    });
  }
}

std::uint64_t WritesSeen() {
  return Pending().writes.load(std::memory_order_acquire);
}

bool TakeBacksPending() {
  return Pending().count.load(std::memory_order_acquire) != 0;
}

WritesUnderway::WritesUnderway() {
  if (Pending().writing++ == 0) Pending().writes.fetch_add(1, std::memory_order_acq_rel);
}

WritesUnderway::~WritesUnderway() {
  if (--Pending().writing == 0) Pending().writes.fetch_add(1, std::memory_order_release);
}

void ReservePending(std::size_t more) {
  std::vector<TakeBack>& items = Pending().items;
  if (items.capacity() - items.size() < more) items.reserve(items.size() + more);
}

void KeepPending(TakeBack&& item) {
  item.thing.via = nullptr;
  Pending().items.push_back(std::move(item));
  Pending().count.store(Pending().items.size(), std::memory_order_release);
}

bool FinishPending() {
  std::vector<TakeBack>& items = Pending().items;
  if (items.empty()) return true;
  WritesUnderway writing;
  PutBack(items.data(), items.size());
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const TakeBack& item) { return !Outstanding(item); }),
              items.end());
  Pending().count.store(items.size(), std::memory_order_release);
  return items.empty();
}

const Change* PendingValue(Kind kind, HKEY root, std::u16string_view where,
                           std::u16string_view name) {
  for (const TakeBack& item : Pending().items) {
    const Change& thing = item.thing;
    if (!item.touched || !SameFolded(thing.name, name)) continue;
    const bool same = thing.kind == kind
                          ? thing.root == root && SameFolded(thing.where, where)
                          // A printer's data is its data key: read there, it is the same value.
                          : kind == Kind::kRegistryValue && thing.kind == Kind::kPrinterValue &&
                                root == platform::kHkeyLocalMachine &&
                                FoldedEqual(thing.path, where);
    if (same) return &thing;
  }
  return nullptr;
}

DWORD PendingFor(const Change& change) {
  for (const TakeBack& item : Pending().items) {
    const Change& thing = item.thing;
    if (!Outstanding(item)) continue;
    const bool registry = thing.kind == Kind::kRegistryValue;
    const bool same = (thing.item == change.item && thing.kind == change.kind) ||
                      (registry ? change.kind == Kind::kRegistryValue &&
                                      thing.root == change.root && thing.where == change.where
                                : change.kind != Kind::kRegistryValue &&
                                      FoldedEqual(thing.printer, change.printer));
    if (same) return item.error != 0 ? item.error : platform::kErrorWriteFault;
  }
  return 0;
}

bool PendingKey(HKEY root, std::u16string_view path) {
  for (const TakeBack& item : Pending().items) {
    if (item.thing.root != root) continue;
    for (const std::u16string& key : item.keys) {
      if (path.size() >= key.size() && FoldedEqual(key, path.substr(0, key.size())) &&
          (path.size() == key.size() || path[key.size()] == u'\\'))
        return true;
    }
  }
  return false;
}

const std::vector<TakeBack>& PendingList() {
  return Pending().items;
}

}  // namespace stored_state_internal
