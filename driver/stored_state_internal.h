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

struct GStoreTransaction::Printer {
  platform::HANDLE handle = nullptr;
  std::u16string name;
  std::u16string folded;
  std::u16string server;                     // folded; empty for the local machine
  std::unique_ptr<platform::BYTE[]> record;  // its level 2 record (RecordOf)
  int writable = -1;                         // unknown until asked
};
