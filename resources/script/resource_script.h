// The resource script: a compact text form of a module's resources, which
// the build turns into C++ (drv_rcgen) that fills a platform::ModuleResources.
// One statement per line; "#" starts a comment outside quotes.
//
//   string <id> "<text>"
//   cursor <id> <width> <height> <hot x> <hot y>
//   bitmap <id> <width> <height>
//     <pixel> ...             width x height pixels over the next lines, rows
//                             from the top; a pixel is RRGGBB in hex, or
//                             <count>*RRGGBB for a run
//   dialog <id> <x> <y> <width> <height> "<caption>" [style ...]
//     control <class> <id> <x> <y> <width> <height> "<text>" [style ...]
//   end
//   version <language> <code page>
//     value "<name>" "<text>"
//   end
//
// The module's version record: each version statement adds a translation
// (in order; 16-bit numbers, each pair once), and its values are the
// strings of that translation's block, named
// "\StringFileInfo\<language><code page>\<name>" (four lower-case hex
// digits each; a name holds no "\" and is given once per block).
//
// Numbers are decimal or 0x-hex; resource ids run from 0 to 65535, control
// ids from -1 to 65535. Texts are UTF-8 with the escapes \" \\ \n \t and
// \uXXXX (one UTF-16 unit). A style is a number, ORed in, or a word:
//   any window: hidden, disabled, tabstop, group, border, vscroll;
//   dialogs: visible, child (a page: a child window with no caption or
//     frame; otherwise a dialog is a captioned pop-up with a modal frame);
//   Button: defpush, check, autocheck, radio, autoradio, 3state, auto3state,
//     groupbox, ownerdraw, notify; ComboBox: simple, dropdown, dropdownlist;
//   ListBox: notify; Edit: readonly, autohscroll; Static: notify;
//   msctls_updown32: horz.
// Controls are visible child windows unless "hidden" says otherwise. A
// class the host does not know is kept as written (a registered class).
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/host/resources.h"

namespace resources {

// Parses `script`; on failure answers false with "line N: what" in `error`
// (and `out` unspecified).
bool ParseResourceScript(std::string_view script, platform::ModuleResources* out,
                         std::string* error);

// C++ source defining `platform::ModuleResources <function>()` (a qualified
// name: "resources::ResourceLibrary") that answers `resources`; `origin`
// names the script in the file's first comment.
std::string EmitResourceSource(const platform::ModuleResources& resources,
                               std::string_view function, std::string_view origin);

}  // namespace resources
