// The Windows types, handles and result codes of the host-service stand-ins
// (modules, registry, spooler, files, clock, windows), written from what
// their callers need. Handles are opaque ids that the stand-ins issue and check; a caller
// never reads through one. Ids are not reused within a process, so a handle
// kept past its close (or past ResetHostServices) is refused, never aliased.
// The last-error word is per thread, as on the original platform.
#pragma once

#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;

struct OpaqueModule;
struct OpaqueKey;
using HMODULE = OpaqueModule*;
using HINSTANCE = HMODULE;
using HKEY = OpaqueKey*;
using HANDLE = void*;  // printers and files

// Pointer-sized words of the windowing interfaces (messages, window longs).
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;

// Windows and device contexts (platform/ui/).
struct OpaqueWindow;
struct OpaqueDeviceContext;
using HWND = OpaqueWindow*;
using HDC = OpaqueDeviceContext*;

// The calling convention of the exports that a host finds by name (the
// original platform's standard call): x86-64 has one convention, so it
// marks them and changes nothing.
#define WINAPI

// An export as GetProcAddress answers it; callers cast it to its real type
// (this type converts to any function type without a warning).
using FARPROC = void (*)();

// Result and last-error codes.
inline constexpr DWORD kErrorSuccess = 0;
inline constexpr DWORD kErrorFileNotFound = 2;
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorTooManyOpenFiles = 4;
inline constexpr DWORD kErrorAccessDenied = 5;
inline constexpr DWORD kErrorInvalidHandle = 6;
inline constexpr DWORD kErrorNotEnoughMemory = 8;
inline constexpr DWORD kErrorInvalidData = 13;
inline constexpr DWORD kErrorWriteFault = 29;
inline constexpr DWORD kErrorFileExists = 80;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorInvalidParameter = 87;
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorInvalidLevel = 124;
inline constexpr DWORD kErrorModNotFound = 126;
inline constexpr DWORD kErrorProcNotFound = 127;
inline constexpr DWORD kErrorBadPathname = 161;
inline constexpr DWORD kErrorBusy = 170;
inline constexpr DWORD kErrorFilenameExcedRange = 206;
inline constexpr DWORD kErrorAlreadyExists = 183;
inline constexpr DWORD kErrorEnvVarNotFound = 203;
inline constexpr DWORD kErrorMoreData = 234;
inline constexpr DWORD kErrorTooManyPosts = 298;
inline constexpr DWORD kErrorDirectoryNotSupported = 336;
inline constexpr DWORD kErrorUnhandledException = 574;
inline constexpr DWORD kErrorKeyDeleted = 1018;
inline constexpr DWORD kErrorNoUnicodeTranslation = 1113;
inline constexpr DWORD kErrorInvalidWindowHandle = 1400;
inline constexpr DWORD kErrorCannotFindWndClass = 1407;
inline constexpr DWORD kErrorClassAlreadyExists = 1410;
inline constexpr DWORD kErrorClassHasWindows = 1412;
inline constexpr DWORD kErrorInvalidIndex = 1413;
inline constexpr DWORD kErrorControlIdNotFound = 1421;
inline constexpr DWORD kErrorInvalidPrinterName = 1801;
inline constexpr DWORD kErrorResourceNameNotFound = 1814;

// Show commands, as ShowWindow and WinExec take them (ShowWindow shows on
// every command but kSwHide).
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShow = 5;

// The calling thread's last error, set by the operations that answer BOOL,
// handles or lengths.
DWORD GetLastError();
void SetLastError(DWORD error);

}  // namespace platform
