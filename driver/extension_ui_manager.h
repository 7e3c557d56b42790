// GExtensionUIManager: the built-in user-interface plug-in through which
// registered extensions add their own pages to a document property sheet.
// The property-sheet hook's GUIPluginModule makes one for the module name
// "GExtensionUIManager" and calls it in place of the plug-in entries.
//
// Initialize(host, first index):
//  - a device sheet (page flags 0x4), or one with neither 0x1 nor 0x2: 0;
//  - counting call (no page array): loads the extensions of the host's
//    settings (LoadExtensionEntries), each one's user-interface module
//    (flags 0x4; the module directory joined with "\" and the name at 116)
//    and its table ("KVExt_QueryInterface" version 1); answers the sum of
//    what get-pages reports;
//  - filling call: per extension, get-pages counts (n), then fills a
//    buffer of n descriptors; descriptor j goes to the next record only
//    when (m - j) + next index <= the host's record count, so that when
//    there is no room for all the last ones are placed. Mended: the
//    filling call is given n as capacity and at most n are placed, however
//    many it reports.
// Destroy calls every release function (the last result; 1 when none ran)
// and unloads everything. ConfigToSettings and SettingsToConfig do nothing.
//
// The user-interface exports (extension_exports.h) take the manager as
// handle and refuse anything that is not a live manager (1).
//   KVDrv_UIGetValue: the value dispatcher over the host's settings, with
//     the printer language stored in the driver data manager's job context.
//   KVDrv_UIGetExtSettings: the settings copy-out over the loaded set.
//   KVDrv_UISetExtSettings: 15 over 50 bytes; the entries of list
//     kExtensionSettingsListKey (of kExtensionSettingsKey) of the host's
//     settings whose index is that of the last loaded extension of the name
//     take the bytes, as does the loaded string. Mended: a name no extension
//     has answers 1 and writes nothing (it used to write into the placeholder
//     entry).
//
// Ownership: the manager owns its tables, descriptions and modules; the
// host record is the hook's. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "driver/extension_manager.h"
#include "driver/ui_plugin_records.h"

// What the manager keeps of a sheet: the host record of the last
// Initialize and the extensions loaded from its settings.
struct ExtensionUIRecord {
  GUIData* host = nullptr;  // the hook's
  ExtensionSet extensions;
};

class GExtensionUIManager {
 public:
  GExtensionUIManager();
  GExtensionUIManager(const GExtensionUIManager&) = delete;
  GExtensionUIManager& operator=(const GExtensionUIManager&) = delete;
  ~GExtensionUIManager();

  std::int16_t Initialize(GUIData* host, std::int16_t index);
  std::int16_t Destroy(GUIData* host);
  std::int16_t ConfigToSettings(GUIData*) { return 0; }
  std::int16_t SettingsToConfig(GUIData*) { return 0; }

  // The exports' work (see above).
  std::uint16_t GetValue(std::uint16_t id, void* output);
  std::uint16_t GetSettings(char* buffer, std::uint16_t size, const char* name) const {
    return record_.extensions.CopyOut(buffer, size, name);
  }
  std::uint16_t SetSettings(const char* data, std::uint16_t count, const char* name);

  std::uint16_t Count() const { return record_.extensions.count; }

 private:
  void LoadModules();
  std::int16_t FillPages(GUIData& host, std::int16_t index);
  void Unload(std::uint16_t i);

  ExtensionUIRecord record_;
  ExtensionUITable* tables_[kMaxExtensions] = {};
  platform::HMODULE modules_[kMaxExtensions] = {};
  ExtQueryInterfaceFn query_interface_;
};

bool IsLiveExtensionUIManager(const void* handle);
