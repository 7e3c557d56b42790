// The driver's exports that extension libraries call back, beside
// KVDrv_RegisterExtension (entry_points.h). Every answer is an extension
// code (extension_interface.h). A handle must be a live manager of the
// kind the export names (GExtensionManager for the job side,
// GExtensionUIManager for the user-interface side): anything else is 1.
//
//   KVDrv_QueryInterface(version, table)  version 50 writes the three
//       user-interface exports (get value, get settings, set settings)
//       into table[0..2] and answers 0; else 5, table untouched.
//   KVDrv_GetValue(id, out, manager)      the value dispatcher on the job
//       side (null out: 1).
//   KVDrv_GetExtSettings(buffer, size, name, manager)  the settings
//       copy-out over the manager's job context (no job context: 10).
//   KVDrv_SetExtSettings(...)             always 5.
//   KVDrv_UIGetValue / KVDrv_UIGetExtSettings / KVDrv_UISetExtSettings:
//       extension_ui_manager.h.
//
// Threads: the caller's; the job exports on the job's thread, the others
// on the property sheet's.
#pragma once

#include <cstdint>

std::uint16_t KVDrv_QueryInterface(std::uint16_t version, void* table);
std::uint16_t KVDrv_GetValue(std::uint16_t id, void* output, void* handle);
std::uint16_t KVDrv_GetExtSettings(char* buffer, std::uint16_t size, const char* name,
                                   void* handle);
std::uint16_t KVDrv_SetExtSettings(const void* data, std::uint16_t count, const char* name,
                                   void* handle);
std::uint16_t KVDrv_UIGetValue(std::uint16_t id, void* output, void* handle);
std::uint16_t KVDrv_UIGetExtSettings(char* buffer, std::uint16_t size, const char* name,
                                     void* handle);
std::uint16_t KVDrv_UISetExtSettings(const char* data, std::uint16_t count, const char* name,
                                     void* handle);
