// The version data of files (GetFileVersionInfoSizeW, GetFileVersionInfoW,
// VerQueryValueW): a list of translations (language, code page) and string
// values named by their whole sub-block path
// ("\StringFileInfo\040904b0\ProductName"), as FileVersionData
// (platform/host/resources.h) holds them. A path is served, in this order,
// by what tests declared for it (SetFileVersionData), or by the version
// record among the resources of the module the path names, resolved as
// LoadLibraryW resolves it (platform/host/modules.h; nothing is loaded). A
// file with neither has none (kErrorResourceNameNotFound).
//
// The block handed to the caller is this layer's own: a header (u32 magic
// "VSIG", u32 size of the block, u32 entry count) and entries (u32 name
// units, the folded name's units, u32 value bytes, the value), each part
// padded to 4 bytes. VerQueryValueW reads it within the size it records,
// so a damaged block answers nothing rather than reading past it.
//
// Any thread; the stand-ins' one lock guards the declared data.
#pragma once

#include <string_view>

#include "platform/host/resources.h"
#include "platform/host/types.h"

namespace platform {

// The bytes of `path`'s version data (0 and the last error when none).
DWORD GetFileVersionInfoSizeW(const char16_t* path, DWORD* handle);
// Writes the block into `data` of `size` bytes; 0 when it does not fit or
// the file has none.
BOOL GetFileVersionInfoW(const char16_t* path, DWORD handle, DWORD size, void* data);
// Points `*value` into the block at the value of `sub_block` (names compare
// case-insensitively) and sets `*length`: bytes for
// "\VarFileInfo\Translation" (pairs of u16: language, code page), characters
// with the terminator for strings. 0 when the block lacks it.
BOOL VerQueryValueW(const void* block, const char16_t* sub_block, void** value, UINT* length);

// ---- Test controls ----

// Declares (replacing) the version data of the file at `path`; it stands
// before a module's own record.
void SetFileVersionData(std::u16string_view path, const FileVersionData& data);

}  // namespace platform
