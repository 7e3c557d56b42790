// Shared by the stand-ins only: the registry's store reached by hive and key
// path rather than by handle, so that the spooler keeps printer data in the
// printer's machine key. Callers hold the stand-ins' lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/types.h"

namespace platform::host_internal {

enum class Hive { kMachine, kUser };

// A stamp for a change of stored state: each call answers a larger number
// than any before in the process (resets included), so that two changes
// never share a stamp.
std::uint64_t NextChangeStamp();

// A key of the store. Keys are never removed, only dropped all at once by
// the reset (which also closes every handle that could lead to one).
struct StoreKey;
// The key at `path`, or null when it is missing.
StoreKey* StoreFindKey(Hive hive, std::u16string_view path);
// The stamp of the key's last change: a value written or deleted, or the
// key made.
std::uint64_t StoreKeyStamp(const StoreKey& key);

struct RegistryValue {
  std::u16string name;  // as first written
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Makes the key at `path` (and any missing key above it); false for a path
// with an empty name in it.
bool StoreCreateKey(Hive hive, std::u16string_view path);
// The value, or null when the key or the value is missing. Valid until the
// next write to that key or a reset.
const RegistryValue* StoreFindValue(Hive hive, std::u16string_view path, std::u16string_view name);
// Writes a value, making the key; answers kErrorSuccess, kErrorBadPathname,
// the injected failure of that value, or kErrorNotEnoughMemory (the value
// left as it was).
DWORD StoreSetValue(Hive hive, std::u16string_view path, std::u16string_view name, DWORD type,
                    const BYTE* data, DWORD size);

}  // namespace platform::host_internal
