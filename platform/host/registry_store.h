// Shared by the stand-ins only: the registry's store reached by hive and key
// path rather than by handle, so that the spooler keeps printer data in the
// printer's machine key. Callers hold the stand-ins' lock.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/host/types.h"

namespace platform::host_internal {

enum class Hive { kMachine, kUser };

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
// Writes a value, making the key; answers kErrorSuccess, kErrorBadPathname or
// the injected failure of that value.
DWORD StoreSetValue(Hive hive, std::u16string_view path, std::u16string_view name, DWORD type,
                    const BYTE* data, DWORD size);

}  // namespace platform::host_internal
