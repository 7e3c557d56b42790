// The library as a user-interface plug-in of the property-sheet hook: the
// five entry points the hook finds by name, and their export from a
// module entry of the platform's module table (the library's own, so that
// the hook loads it like any plug-in).
//
// UI_INITIALIZE(host, index):
//   count     document pages (page flags bit 0 or 1): 6, 7 when the driver
//             data's cached value is 1 (the Color page), +1 when the
//             printer-language object is of kind 768 (PostScript); device
//             pages (bit 2): +2. A null page array answers the count.
//   filling   the resource library that the driver data's support file
//             path names is loaded (counted; failure answers 0), a
//             GUIContext is made at the host's `context`; for document
//             pages: kJobRetentionModeKey is set to 0 when kPrinterHardDiskKey is 0,
//             kJobRetentionKey is not 0 and kJobRetentionModeKey is 1 or 3; Finishing (then
//             MakeNupConflictRule's rule, the first listener), Effects, Paper, Job Storage when
//             kJobRetentionKey is 1 (else the count drops by one), Basics, Color when the cached
//             value is 1; for device pages NT Forms and Configure, from the next free record; then
//             BuildRules when the count is above 0. Answers the count, which is larger than the
//             records filled (the count reserves one record more, and one more for PostScript): the
//             host advances its index by it.
//   0x789A    the library loaded and a context made as above, the
//             instructions of two-sided printing by hand are shown
//             (ShowInstructions); answers 1.
// UI_DESTROY deletes the page of every record of the host (up to its
// count) whose instance is the resource library, then the context, and
// releases the library; 0, or -1 when memory ran short inside it (the
// boundary's failure). UI_CONFIGTOSETTINGS is ConfigToSettings
// (ui/framework/installed_options_copy.h); 0. UI_SETTINGSTOCONFIG does
// nothing; 0. UI_INTERFACEVERSION answers 2.
//
// The printer-language object is the configuration's child kLanguageGroupKey ->
// kPrinterLanguageDeviceKey; our configuration model keeps the printer's devices directly under its
// printer object (kPrinterObjectKey), so without a kLanguageGroupKey it is the printer object's
// device keyed kPrinterLanguageDeviceKey.
//
// Mended, as records from a host are outside data: a null host record, or
// one whose size marker is not 60, is refused (0) by every entry point;
// nothing is written to a record at or past the host's record count
// (offset 32), whatever index and count say; a page is deleted only
// through an entry that carries its marker; UI_DESTROY releases the
// resource library only for a host record it made a context on (a destroy
// after a count call, or after a failed load, must not drop another
// sheet's load).
//
// Threads: each host record is used by its sheet's thread; the library's
// load count is shared under its lock.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/ui_plugin_records.h"
#include "platform/host/types.h"

class MPersistentObject;

// Page counts.
inline constexpr std::int16_t kDocumentPageCount = 6;
inline constexpr std::int16_t kDevicePageCount = 2;

// Exported by these names with C linkage (ui/module/exports.map).
extern "C" {
std::uint32_t WINAPI UI_INTERFACEVERSION();
std::int16_t WINAPI UI_INITIALIZE(GUIData* host, std::int16_t index);
std::int16_t WINAPI UI_DESTROY(GUIData* host);
std::int16_t WINAPI UI_CONFIGTOSETTINGS(GUIData* host);
std::int16_t WINAPI UI_SETTINGSTOCONFIG(GUIData* host);
}  // extern "C"

// Adds the five entry points, by name, to the exports of the module table's
// entry that `module` resolves to (the library's own: its path, or its
// base name); false when nothing resolves. The library's user-interface
// side then also shows the documents' job-storage notices
// (InstallJobStorageNotice).
bool ExportPluginEntryPoints(std::u16string_view module);

// The printer-language object of a host record's configuration, or null.
MPersistentObject* FindPrinterLanguageObject(const GUIData* host);
