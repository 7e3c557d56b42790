// The plug-in's process-wide state and the helpers that read the resource
// library (the module of dialog templates and texts that the printer's
// settings name):
//   - the plug-in module handle (the module of this code);
//   - the resource library, loaded by the first LoadResourceLibrary and
//     freed by the ReleaseResourceLibrary that balances the last load. The
//     count is shared by every sheet of every printer in the process, so
//     counting, loading and freeing happen under one lock, made through the
//     driver services (EnsureLock; without services, unlocked), which
//     reports a failed lock or unlock as every lock does (301, 302);
//   - LoadResString and ResMessageBox, which take their texts from it;
//   - SetDlgItemTextIfChanged.
//
// Threads: the module handles and the count may be used from any thread;
// the helpers from the thread of the window they touch.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

// The most characters LoadResString reads.
inline constexpr int kMostResStringCharacters = 256;

platform::HMODULE GetPluginModuleHandle();
void SetPluginModuleHandle(platform::HMODULE module);

// Loads the library at `path` when no load holds it, and counts the load;
// true on success (a failed first load counts nothing).
bool LoadResourceLibrary(const RWWString& path);
// Drops one load; the last frees the library. Nothing when none is held.
void ReleaseResourceLibrary();
// The loaded resource library, or null.
platform::HMODULE GetResourceModuleHandle();
// The loads held now (for tests and the plug-in's checks).
std::uint32_t ResourceLibraryLoads();

// String `id` of the resource library (at most 255 characters) into `out`;
// answers its length, 0 (and `out` empty) when missing.
int LoadResString(std::uint32_t id, RWWString& out);

// A message box whose text and caption are strings of the resource library
// (a missing one is empty); under the right-to-left ANSI code pages (1255,
// 1256) it also reads from the right. Answers the button pressed.
int ResMessageBox(platform::HWND owner, std::uint32_t text_id, std::uint32_t caption_id,
                  platform::UINT flags);

// Sets the text of control `control_id` only when it differs from `text`.
void SetDlgItemTextIfChanged(platform::HWND dialog, int control_id, const RWWString& text);
