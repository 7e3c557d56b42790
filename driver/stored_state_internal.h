// The records of the stored state's transactions (stored_state.h), shared
// by the door (stored_state.cpp) and the commit (stored_state_commit.cpp)
// only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "driver/stored_state.h"

namespace stored_state_internal {

// What a change is of.
enum class Kind : std::uint8_t {
  kPrinterValue,   // a value of a printer's data
  kRegistryValue,  // a registry value below a predefined root
  kForm,           // a form of a printer's server
  kStoredDefault,  // a printer's stored default device mode
};

// A form's size and imageable area, as a form change carries them.
struct FormShape {
  platform::SizeL size;
  platform::RectL area;
};

// The name under which a transaction notes that it read a server's whole
// list of forms (no form can be named so: names are folded to upper case).
inline constexpr char16_t kFormListName[] = u"\x1 forms";

// Names compare as the system's do: folded to upper case.
std::u16string Fold(std::u16string_view text);
// Whether `text` folds to `folded`; allocates nothing.
bool SameFolded(std::u16string_view folded, std::u16string_view text);
// Whether `a` and `b` fold alike; allocates nothing.
bool FoldedEqual(std::u16string_view a, std::u16string_view b);
// A key path folded; false for one with an empty name in it (PathOk).
bool FoldPath(const char16_t* path, std::u16string& folded);
bool PathOk(std::u16string_view path);
// The thing a change or read is of (its names folded as hashed), and what
// a read met, as 64-bit hashes.
std::uint64_t ItemHash(Kind kind, platform::HKEY root, std::u16string_view where,
                       std::u16string_view name);
std::uint64_t ValueHash(bool present, platform::DWORD type, const platform::BYTE* bytes,
                        std::size_t size);
inline std::uint64_t FormValueHash(bool present, platform::DWORD flags, const FormShape& shape) {
  return ValueHash(present, flags, reinterpret_cast<const platform::BYTE*>(&shape), sizeof shape);
}
// dmSize plus dmDriverExtra of a device mode.
// REQUIRES: `record` holds at least 72 bytes.
std::size_t DevModeLength(const platform::BYTE* record);

// The newest change of the thing, looking through `innermost` and the
// transactions it was attached in front of; null when none.
const GStoreTransaction::Change* FindStaged(GStoreTransaction* innermost, std::uint64_t item,
                                            Kind kind, platform::HKEY root,
                                            std::u16string_view where, std::u16string_view name);

}  // namespace stored_state_internal

struct GStoreTransaction::Change {
  stored_state_internal::Kind kind = stored_state_internal::Kind::kPrinterValue;
  platform::HKEY root = nullptr;  // registry values
  // Folded: the printer (its values, its default), its server (forms), the
  // key path (registry values).
  std::u16string where;
  std::u16string name;     // folded: the value's or the form's; empty for a default
  std::u16string given;    // the value's or the form's name as given
  std::u16string printer;  // the printer's name as the system knows it
  // The printer's data key (its values, deleted through the registry), or
  // the key path as given (registry values).
  std::u16string path;
  bool present = true;                // false: deleted
  platform::DWORD type = 0;           // a value's type; a form's flags
  std::vector<platform::BYTE> bytes;  // a value, a device mode, a FormShape
  bool make_key = false;              // registry values: the key is made when missing
  // Written back as the commit finds it (before the thing is deleted and
  // written anew): a thing whose writes the system refuses is refused
  // before it is changed. Seen by no read.
  bool rewrite = false;
  // The handle a printer's change is made through (one with the right to
  // administer); null for a value deleted through the registry.
  platform::HANDLE via = nullptr;
  std::uint64_t item = 0;  // ItemHash of the above
};

namespace stored_state_internal {

// What a thing held before a commit's first write of it, and what it takes
// to put that back: the take-back. A commit reads one for each thing it
// writes; one whose take-back the system refused stays pending
// (stored_state_takeback.cpp) until a later call finishes it.
struct TakeBack {
  // The thing (its kind, names, printer and key path; `via`, the handle it
  // was written through, null once the commit is over), and what it held:
  // `present`, `type` (a form's flags) and `bytes` (a value, a device mode,
  // a FormShape).
  GStoreTransaction::Change thing;
  std::vector<platform::BYTE> record;  // a stored default's level 2 record as read
  // The keys its write made (outermost first): taken away with it.
  std::vector<std::u16string> keys;
  platform::DWORD room = 0;  // the bytes a read of it took, its record's included
  bool held_now = false;     // a form: whether the server holds it now
  bool touched = false;      // written since it was read: to be put back
  // A chunked value's count whose chunks are taken back with it: it goes
  // first, and comes back last, once every chunk is back.
  bool count = false;
  bool cleared = false;       // the count taken away, its chunks to come back
  platform::DWORD error = 0;  // the system's last refusal of its take-back
};

// Makes the thing of `identity` hold `present`, `type` and `bytes` through
// `admin` (null: a printer value through its data key; a form or stored
// default through a handle opened for it); `record` and `held_now` as in
// TakeBack. The system's error, 0 when made. Allocates nothing of the
// process's own when `admin` is given.
platform::DWORD WriteThing(const GStoreTransaction::Change& identity, platform::HANDLE admin,
                           bool present, platform::DWORD type,
                           const std::vector<platform::BYTE>& bytes,
                           std::vector<platform::BYTE>& record, bool& held_now);

// Puts back each touched take-back of the `count` at `items` (in the order
// they were first written; put back newest first), each tried a few times;
// the keys made for one that was absent go with it. What the system still
// refuses stays touched (or keeps its keys), with its error. Allocates
// nothing of the process's own while every item has its `via`.
// REQUIRES: the stored state's lock.
void PutBack(TakeBack* items, std::size_t count);
// Marks the counts among `items` whose chunks are among them too.
void MarkCounts(TakeBack* items, std::size_t count);
inline bool Outstanding(const TakeBack& item) {
  return item.touched || !item.keys.empty();
}

// ---- Pending take-backs: the process's, guarded by the stored state's
// lock, with two counters any thread may read without it.

// A number that is odd while a commit or a take-back is writing, and
// changes with each: a read made without the lock while it stays even and
// the same saw no write of either.
std::uint64_t WritesSeen();
// Whether any take-back is pending.
bool TakeBacksPending();
// Marks the writes of a commit or a take-back for the readers (WritesSeen).
class WritesUnderway {
 public:
  WritesUnderway();
  ~WritesUnderway();
  WritesUnderway(const WritesUnderway&) = delete;
  WritesUnderway& operator=(const WritesUnderway&) = delete;
};
// REQUIRES for the rest: the stored state's lock.
// Room for `more` take-backs, made before a commit's first write.
void ReservePending(std::size_t more);
// Keeps `item`'s take-back pending (its `via` is dropped). Allocates
// nothing within the room reserved.
void KeepPending(TakeBack&& item);
// Tries each pending take-back again; true when none is left.
bool FinishPending();
// The pending before-image of a value (printer value or registry value,
// found either way: a printer's data is its data key), a form of a server
// (its name; empty: none) or a printer's stored default; null when none.
const GStoreTransaction::Change* PendingValue(Kind kind, platform::HKEY root,
                                              std::u16string_view where, std::u16string_view name);
// Whether a pending take-back is of what `change` writes (the thing, or
// another of its printer's, or of its registry key): the error it was
// refused with, else 0.
platform::DWORD PendingFor(const GStoreTransaction::Change& change);
// Whether key `path` of `root` is one a pending take-back is to take away.
bool PendingKey(platform::HKEY root, std::u16string_view path);
// The pending take-backs, oldest first.
const std::vector<TakeBack>& PendingList();

}  // namespace stored_state_internal

struct GStoreTransaction::Printer {
  platform::HANDLE handle = nullptr;
  std::u16string name;
  std::u16string folded;
  std::u16string server;                     // folded; empty for the local machine
  std::unique_ptr<platform::BYTE[]> record;  // its level 2 record (RecordOf)
  int writable = -1;                         // unknown until asked
};
