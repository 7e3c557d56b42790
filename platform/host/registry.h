// The registry as the rest of the system knows it, held in memory: the local
// machine's and the current user's hives. Key and value names compare
// case-insensitively and keep the case they were made with; a key path is
// names joined by "\" (an empty name in it is refused with
// kErrorBadPathname; an empty or null path means the key itself). Values
// keep their type word and their bytes exactly as written (REG_SZ is not
// terminated or checked), so what one caller stores another reads back byte
// for byte. A key with no keys below it may be deleted; a handle open on it
// then answers kErrorKeyDeleted. Opened keys carry their access: queries
// need kKeyQueryValue, writes and deletes kKeySetValue (else
// kErrorAccessDenied). The predefined roots are always open with all
// access; closing them does nothing. Any thread; one lock for everything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/types.h"

namespace platform {

// The predefined roots (the values that their decimal texts name).
inline const HKEY kHkeyCurrentUser = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline const HKEY kHkeyLocalMachine = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

// Value types.
inline constexpr DWORD kRegNone = 0;
inline constexpr DWORD kRegSz = 1;
inline constexpr DWORD kRegExpandSz = 2;
inline constexpr DWORD kRegBinary = 3;
inline constexpr DWORD kRegDword = 4;
inline constexpr DWORD kRegMultiSz = 7;

// Access rights.
inline constexpr DWORD kKeyQueryValue = 0x0001;
inline constexpr DWORD kKeySetValue = 0x0002;
inline constexpr DWORD kKeyRead = 0x20019;
inline constexpr DWORD kKeyReadSetValue = 0x2001B;  // kKeyRead | kKeySetValue
inline constexpr DWORD kKeyWrite = 0x20006;
inline constexpr DWORD kKeyAllAccess = 0xF003F;

// Dispositions of RegCreateKeyExW.
inline constexpr DWORD kRegCreatedNewKey = 1;
inline constexpr DWORD kRegOpenedExistingKey = 2;

// Every operation answers kErrorSuccess (0) or an error code: kErrorInvalidHandle
// for a key that is not open, kErrorInvalidParameter for a missing out
// argument.

// Opens an existing key: kErrorFileNotFound when it is missing (`*result` is
// then null); kErrorAccessDenied when `access` asks for a denied right.
LONG RegOpenKeyExW(HKEY key, const char16_t* sub_key, DWORD options, DWORD access, HKEY* result);
// The same with all access.
LONG RegOpenKeyW(HKEY key, const char16_t* sub_key, HKEY* result);
// Opens the key, making it and any missing key above it. `class_name`,
// `options` and `security` are accepted and ignored; `disposition` may be
// null. A denied right fails before anything is made.
LONG RegCreateKeyExW(HKEY key, const char16_t* sub_key, DWORD reserved, const char16_t* class_name,
                     DWORD options, DWORD access, const void* security, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);

// Reads value `name` (null or empty: the key's default value), the size
// protocol of the original: `type` (when given) receives the type; with no
// `data`, `*size` receives the value's size in bytes; with `data`, a `*size`
// below the value's size gives kErrorMoreData and the needed size and copies
// nothing, else the bytes are copied and `*size` is set to their count.
// A missing value: kErrorFileNotFound. `data` without `size`: kErrorInvalidParameter.
LONG RegQueryValueExW(HKEY key, const char16_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
// The same with an 8-bit name; string-typed values (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) are answered in the 8-bit code page (sizes in bytes of the
// converted text; kErrorInvalidData when the text does not convert).
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
// Writes value `name` with `size` bytes of `data` (null only when size is 0).
LONG RegSetValueExW(HKEY key, const char16_t* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
// Deletes value `name`: kErrorFileNotFound when it is missing.
LONG RegDeleteValueW(HKEY key, const char16_t* name);
// Deletes key `sub_key` below `key` (not a predefined root) with its
// values: kErrorFileNotFound when it is missing, kErrorAccessDenied when a
// key is below it or `key` lacks kKeySetValue.
LONG RegDeleteKeyW(HKEY key, const char16_t* sub_key);

// ---- Test controls ----

// The names of a key's values, ordered case-insensitively; empty when the
// key is missing. `root` is a predefined root.
std::vector<std::u16string> RegistryValueNames(HKEY root, std::u16string_view path);

// The paths of every key below `root` (folded, from the root, "\"
// between names), in order; empty for a root that is no predefined root.
std::vector<std::u16string> RegistryKeyPaths(HKEY root);

// Makes every write of that value (a set through any handle or through the
// spooler) fail with `error`, leaving the value as it was; 0 clears.
void SetRegistryWriteFailure(HKEY root, std::u16string_view path, std::u16string_view name,
                             DWORD error);

// Opening or creating that key (`path` below `root`, not the keys under
// it) asking for any right of `rights` fails with kErrorAccessDenied from
// now on; 0 clears.
void SetRegistryDeniedRights(HKEY root, std::u16string_view path, DWORD rights);

// Keys opened and not yet closed.
std::size_t OpenRegistryKeyCount();

}  // namespace platform
