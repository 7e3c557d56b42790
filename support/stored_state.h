// What a printer keeps between calls, read whole so that two moments can be
// compared byte for byte: its driver data file, every value of its printer
// data, every other registry value and key (the pools under pseudo names,
// the strings under its key, the registry agent's values) and the keys left
// open, the forms of its server, the default device mode the spooler keeps
// for it (GetPrinterW level 2) and the default record its driver hands out
// (DrvDocumentProperties with DM_OUT_BUFFER alone). The out-of-memory
// sweeps compare it after each call with a run in which nothing failed.
//
// Each item is named ("file", "data:<value name>" with its type,
// "reg:<HKLM|HKCU>\<key>\<value>" with its type, "keys:<HKLM|HKCU>\",
// "keys open", "form:<name>", "stored default", "default record"); an item
// that cannot be read is absent. The
// text form (Serialize, Parse) carries a state from one process to another.
//
// Threads: one at a time; reading asks the library (the default record) and
// the platform's stand-ins.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/types.h"

namespace support {

class AcceptanceInstall;

struct StoredState {
  std::map<std::string, std::vector<std::uint8_t>> items;

  bool operator==(const StoredState&) const = default;
  // The items that differ from `other`'s, one a line, "" when none.
  std::string Differences(const StoredState& other) const;
  // The stored things that are neither as in `before` nor as in `after`,
  // one a line, "" when none: a value of the printer data with its chunks
  // ("<name>:<n>") is one thing, each other item another. With
  // `earlier_intact`, a thing that was there before must be as before: only
  // one that was not may be as after.
  std::string TornBetween(const StoredState& before, const StoredState& after,
                          bool earlier_intact = false) const;
  // The chunked values (driver/chunked_value.h: a count and its chunks) a
  // reader would meet torn, one a line, "" when none: a count without all
  // the chunks it counts, or a value (the count and the chunks it counts)
  // neither as in `before` nor as in `after`.
  std::string TornChunks(const StoredState& before, const StoredState& after) const;
  // The items ReadSystemStore reads.
  StoredState SystemStore() const;
  std::string Serialize() const;
  // False when `text` is no serialized state.
  bool Parse(const std::string& text);
};

// Printer `name` of `install`, its data file at `data_file` (a Windows
// path, as its driver record names it).
StoredState ReadStoredState(const AcceptanceInstall& install, platform::HANDLE printer,
                            const char16_t* name);

// The default device mode the spooler keeps for `printer` (GetPrinterW
// level 2), its dmSize plus dmDriverExtra bytes: empty when it keeps none;
// unset when the record cannot be read or its device mode overruns it.
std::optional<std::vector<std::uint8_t>> StoredDefault(platform::HANDLE printer);

// The items of ReadSystemStore as the driver's door (GStoredState,
// driver/stored_state.h) answers them, read through it alone: the printer
// data through `printer`, the registry values by path, the keys by
// KeyExists, the forms and the stored default. The door has no lists: the
// values and keys asked are those the system holds now and those `known`
// name. Outside any call of the library's, as a caller that comes after a
// call meets the store.
StoredState ReadThroughDoor(platform::HANDLE printer, const char16_t* name,
                            const std::vector<const StoredState*>& known);

// What the system itself keeps of printer `name` (its printer data, the
// other registry values and keys, its server's forms, its stored default),
// read through the platform alone: it calls nothing of the library's and
// takes no lock of it, so that a process the library is ending can read
// it (support/allocation_sweep.h). SystemStore() picks these items out of
// a whole state.
StoredState ReadSystemStore(platform::HANDLE printer, const char16_t* name);

}  // namespace support
