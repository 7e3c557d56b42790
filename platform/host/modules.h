// Library loading as the rest of the system knows it (LoadLibraryW,
// GetProcAddress, FreeLibrary, GetModuleFileNameW, LoadStringW), served
// headless and deterministically. Nothing opens but what a test (or the
// program) declared:
//  - an in-process table of named modules, each with exports and resources
//    (a string table, dialog templates, bitmaps, cursors: the windowing host
//    of platform/ui/ loads the last three; a version record, which
//    platform/host/version_info.h reads by path); an entry is named by a
//    Windows path ("C:\Drv\RES.DLL") or by a bare name ("RES.DLL");
//  - a map from base names to the project's own shared objects, opened with
//    dlopen; only their own exported symbols are found.
// Names compare case-insensitively, with "/" and "\" alike. A request is
// served, in this order, by the entry of the same full name, by a bare-named
// entry of the same base name, or by the shared object mapped to its base
// name; anything else fails with kErrorModNotFound.
//
// Loading a module that is loaded answers the same handle and adds a
// reference; the free that drops the last reference unloads it (a shared
// object is closed), and its handle is refused from then on; a later load
// makes a new handle. Our own module is an entry with a Windows-style path,
// loaded once by the host from the start: the library, when it is linked
// into the program. A program that loads the library as a shared object
// instead names its own module after itself (SetOwnModulePath), so that
// the library's path ("C:\Drv\UI.DLL") resolves to the shared object
// mapped to its base name.
//
// Every call may come from any thread; all state sits under the stand-ins'
// one lock. Export pointers stay valid while their module is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host/resources.h"
#include "platform/host/types.h"

namespace platform {

// The path of our own module after a reset.
inline constexpr char16_t kDefaultOwnModulePath[] = u"C:\\Drv\\UI.DLL";

// Loads `name` (see above). Answers its handle, or null with the last error
// kErrorModNotFound (kErrorInvalidParameter for a null name).
HMODULE LoadLibraryW(const char16_t* name);
// The same with an 8-bit (code page) name.
HMODULE LoadLibraryA(const char* name);

// Drops one reference; answers 0 for a handle that is not loaded.
BOOL FreeLibrary(HMODULE module);

// The export `name` (case-sensitive) of a loaded module, or null: the last
// error is kErrorProcNotFound for a missing or hidden export,
// kErrorModNotFound for a handle that is not loaded.
FARPROC GetProcAddress(HMODULE module, const char* name);

// Copies the module's file name (an entry's name; a shared object's name as
// first loaded; for a null module the host program's path) into `buffer` of
// `size` units: at most size - 1 units and a terminator. Answers the units
// copied without the terminator, or `size` with kErrorInsufficientBuffer when
// the name was cut, or 0 for a module that is not loaded or a size of 0.
DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size);
// The same in 8-bit (code page) text; `size` counts bytes, and a cut never
// splits a character.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// Copies string `id` of the module's string table into `buffer` of
// `buffer_max` units: at most buffer_max - 1 units and a terminator. Answers
// the units copied; 0 (kErrorResourceNameNotFound) when the string is
// missing or empty, 0 for a module that is not loaded, a null buffer or a
// buffer_max below 1 (the read-only-pointer form is not offered).
int LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int buffer_max);

// OpenFile with kOfExist, the only style offered: whether a file of `name`
// (8-bit, code page) exists, where a library load would find it (the name
// resolves as LoadLibraryW resolves it) or as a host file
// (platform/host/files.h). Answers 1, or kHFileError with
// kErrorFileNotFound (kErrorInvalidParameter for another style).
inline constexpr UINT kOfExist = 0x4000;
inline constexpr int kHFileError = -1;
int OpenFile(const char* name, UINT style);

// ---- Test controls ----

struct ModuleSpec {
  std::u16string name;                                   // Windows path or bare name
  std::vector<std::pair<std::string, FARPROC>> exports;  // export name, function
  std::vector<std::pair<UINT, std::u16string>> strings;  // string id, text
};

// Adds an entry to the table (not loaded). Fails when an entry of that name
// exists or the name is empty.
bool AddModule(const ModuleSpec& module);
// Adds or replaces one export or one string of the entry that `module`
// resolves to (strings may also be given to a mapped shared object). Fails
// when nothing resolves.
bool AddModuleExport(std::u16string_view module, std::string_view name, FARPROC function);
bool AddModuleString(std::u16string_view module, UINT id, std::u16string_view text);

// Adds the resources (strings, dialog templates, bitmaps, cursors, a
// version record) to the entry that `module` resolves to, replacing those
// of the same kind and id (a record that is not empty replaces the
// module's). Strings and the version record may also be given to a mapped
// shared object. Fails when nothing resolves or a bitmap's pixel count is
// not width x height.
bool AddModuleResources(std::u16string_view module, const ModuleResources& resources);

// Maps a base name ("TESTMOD.DLL") to a shared object of the host. Replaces
// an earlier mapping of that name unless it is loaded (then fails).
bool MapSharedObject(std::u16string_view base_name, std::string_view host_path);

// Every load of a name with this base name fails while set.
void SetModuleLoadFailure(std::u16string_view base_name, bool fail);
// GetProcAddress pretends the module resolving from `module` lacks `name`.
bool SetExportHidden(std::u16string_view module, std::string_view name, bool hidden);

// Our own module: its handle (null only after the host's reference was
// freed) and its path (renaming fails when another entry has the new name).
HMODULE OwnModule();
bool SetOwnModulePath(std::u16string_view path);

// The path GetModuleFileNameW answers for a null module.
void SetHostProgramPath(std::u16string_view path);

// Counts kept per module (per table entry or per mapping) since the reset:
// successful loads and frees, and the references held now.
struct ModuleCounters {
  std::uint32_t loads = 0;
  std::uint32_t frees = 0;
  std::uint32_t references = 0;
};
// Counters of the module that `name` resolves to (zeros when none does).
ModuleCounters GetModuleCounters(std::u16string_view name);

// The stand-ins' logs (this one, the property sheets', the message boxes',
// the help calls' and the windowing host's failures) keep their newest
// kHostLogCapacity entries: a process that lives long does not grow by
// them.
inline constexpr std::size_t kHostLogCapacity = 4096;

// Every LoadLibrary, FreeLibrary and GetProcAddress, in order (the newest
// kHostLogCapacity). `module` is the name asked for (loads) or the
// module's name; `ok` whether it worked.
enum class ModuleCall { kLoad, kFree, kGetProcAddress };
struct ModuleEvent {
  ModuleCall call;
  std::u16string module;
  std::string export_name;  // GetProcAddress only
  bool ok;
};
std::vector<ModuleEvent> ModuleLog();
void ClearModuleLog();

}  // namespace platform
