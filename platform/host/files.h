// The file boundary. Windows paths (from stored data, and the driver
// directory the system builds paths from) reach host files only through
// ToHostPath, which maps them under host directories that tests or the
// program declared; CreateFileW and DeleteFileW use it, and every other
// opener of a file translates first. Any thread; one lock for everything.
//
// ToHostPath reads a host path (one that starts with "/") with "/" alone as
// its separator, any other path with "\" and "/" alike; in either it drops
// empty and "." names and resolves ".." lexically. A host path comes back
// so (none when ".." climbs above the root or it holds a NUL); any other:
//  - a Windows path ("C:\...", "\\server\share\...", "\...") is served by
//    the longest mapped prefix it lies under (names compare
//    case-insensitively), its remaining names joined with "/" below that
//    prefix's host directory; an unmapped path, a drive-relative one ("C:x")
//    or one whose ".." climbs above its root has no host path;
//  - a relative path has its names joined with "/", and none when ".."
//    climbs above its start.
// A name holding ":" (a drive in the middle, a stream) has no host path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/types.h"

namespace platform {

// The host path of `path` (UTF-16, or 8-bit in the code page), in UTF-8.
std::optional<std::string> ToHostPath(std::u16string_view path);
std::optional<std::string> ToHostPath(std::string_view path);

// Where the file `path` names really is: its host path with every link
// followed (realpath), of the whole path when something by that name
// exists, else of its folder with the last name put back. None when `path`
// holds a ".." name, has no host path, or cannot be resolved (a missing
// folder, a dangling link, a name too long), with the last error as
// CreateFileW's. For paths that come from data: compare these, never the
// texts.
std::optional<std::string> ResolveFilePath(std::u16string_view path);
// Whether the file `path` names lies below the folder `folder`, both
// resolved by ResolveFilePath; false when either has no resolution.
bool IsFileInFolder(std::u16string_view path, std::u16string_view folder);

// Whether `a` and `b` name one file, links followed: the same device and
// inode, so that a hard link is the file it links. False when either is
// missing or has no host path.
bool IsSameFile(std::u16string_view a, std::u16string_view b);

// Whether the file the Windows path `path` names really lies below the
// host directory of the mapping that serves it (as IsFileInFolder tells):
// no link leads it out of there. False when no mapping serves it.
bool IsInItsMapping(std::u16string_view path);

// Access, dispositions and attributes of CreateFileW.
inline constexpr DWORD kGenericRead = 0x80000000;
inline constexpr DWORD kGenericWrite = 0x40000000;
inline constexpr DWORD kCreateNew = 1;
inline constexpr DWORD kCreateAlways = 2;
inline constexpr DWORD kOpenExisting = 3;
inline constexpr DWORD kOpenAlways = 4;
inline constexpr DWORD kTruncateExisting = 5;
inline constexpr DWORD kFileAttributeNormal = 0x80;
inline const HANDLE kInvalidHandleValue = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// Opens or creates the host file of `path` as `disposition` says; sharing,
// security, flags and the template are accepted and ignored. Answers a
// handle, or kInvalidHandleValue with the last error: kErrorPathNotFound
// when the path has no host path, kErrorFileNotFound, kErrorFileExists,
// kErrorTooManyOpenFiles, kErrorFilenameExcedRange, kErrorDiskFull,
// kErrorNotEnoughMemory (nothing then opened or made), kErrorAccessDenied
// (also for a directory, and any other refusal). Creating over an existing
// file (kCreateAlways, kOpenAlways) succeeds with the last error
// kErrorAlreadyExists.
HANDLE CreateFileW(const char16_t* path, DWORD access, DWORD share, const void* security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
// Writes `size` bytes at the file's position, all of them unless the
// file cannot take more: 1 with `*written` = size, else 0 with `*written`
// the bytes that went and the last error kErrorDiskFull (no space, or the
// process's file-size limit: the caller must have SIGXFSZ ignored or
// blocked), kErrorInvalidHandle, or kErrorWriteFault for any other
// failure. `written` may be null.
BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written);
// Writes what the system holds of the file's data to its disk (fsync), so
// that a write a file system reports only then (a network one, a full
// disk) is answered here: 1, else 0 with the last error kErrorDiskFull (no
// space), kErrorInvalidHandle, or kErrorWriteFault for any other failure.
// It needs no descriptor of its own, and a CloseHandle of the file on
// another thread meanwhile leaves the descriptor open until it ends.
BOOL FlushFileBuffers(HANDLE file);
// Closes a handle of CreateFileW, or of a thread or semaphore
// (platform/host/threads.h). A file's close that the system answers with
// an error (a file system that reports a lost write only then) answers 0
// with the last error kErrorDiskFull or kErrorWriteFault; the handle is
// gone all the same (it is never closed twice: the system has freed the
// descriptor, even when a signal interrupted the close). While a flush of
// the file runs, the descriptor is closed when the flush ends, and that
// close's answer is not reported.
BOOL CloseHandle(HANDLE handle);
// Deletes the host file of `path` (errors as CreateFileW).
BOOL DeleteFileW(const char16_t* path);
// MoveFileExW's flags: a file already at the new name gives way; the new
// name is on disk before the call answers.
inline constexpr DWORD kMoveFileReplaceExisting = 0x1;
inline constexpr DWORD kMoveFileWriteThrough = 0x8;
// Gives the host file of `existing` the name `new_file` (within one host
// file system), in one step. With kMoveFileReplaceExisting a file at the
// new name gives way: the name is re-pointed, nothing is written through it
// (a hard link's other names keep their file; a symbolic link is replaced,
// not followed). Errors as CreateFileW; kErrorAlreadyExists for a taken
// name without the flag, kErrorAccessDenied also for a directory at the new
// name or another file system. With kMoveFileWriteThrough the folder that
// holds the new name is then flushed (fsync); when that flush fails the
// file has its new name all the same, and the answer is 0 with
// kErrorWriteFault, which no failed rename answers.
BOOL MoveFileExW(const char16_t* existing, const char16_t* new_file, DWORD flags);
// Copies the host file of `existing` over (or, with `fail_if_exists`, only
// when there is none) the host file of `new_file`. Errors as CreateFileW:
// kErrorPathNotFound when either has no host path, kErrorFileNotFound for a
// missing source, kErrorFileExists, kErrorAccessDenied (also for a
// directory on either side).
BOOL CopyFileW(const char16_t* existing, const char16_t* new_file, BOOL fail_if_exists);

// GetFileAttributesW's answers: what is at a name (links followed), or
// none.
inline constexpr DWORD kFileAttributeDirectory = 0x10;
inline constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFF;
// kFileAttributeDirectory for a folder, kFileAttributeNormal for anything
// else at the host file of `path`; kInvalidFileAttributes with the last
// error (as CreateFileW's) when there is nothing there or no host path.
DWORD GetFileAttributesW(const char16_t* path);

// fsync(2) of the host file or folder `path`, links followed: 0, else
// errno's value (EIO when a test asked this flush to fail). For host files
// a program makes itself, outside the file table.
int FlushHostPath(const std::string& path);

// ---- Test controls ----

// Serves the Windows paths under `windows_prefix` (a drive, a UNC share or a
// directory below either, e.g. "C:\Drv") from `host_directory`. Remapping a
// prefix replaces its directory. Fails for a prefix that is not rooted or
// does not resolve, or an empty directory.
bool MapPathPrefix(std::u16string_view windows_prefix, std::string_view host_directory);

// Files opened by CreateFileW and not yet closed.
std::size_t OpenFileCount();

// The `nth` flush from now (1: the next; a FlushFileBuffers, the folder
// flush of a MoveFileExW with kMoveFileWriteThrough, or a FlushHostPath)
// does its work and then answers kErrorWriteFault (FlushHostPath: EIO), as
// a file system that reports a lost write only at the flush would; 0
// clears it. Likewise the `nth` CloseHandle of a
// file from now: the file is closed, and the answer is 0 with
// kErrorWriteFault. No file system here fails those calls on demand.
void SetFileFlushFailure(int nth);
void SetFileCloseFailure(int nth);

}  // namespace platform
