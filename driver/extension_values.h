// The extension value dispatcher: answers a value id with one 16-bit code
// translated from the settings model, for KVDrv_GetValue (job side: no
// composite; the source follows the current command of the manager's job
// context) and KVDrv_UIGetValue (the host's settings composite).
//
// Job-side sources by rule and the current command's class (705 document
// start, 709 page start, 710 page end, any other or none):
//   R1 command / defaults / defaults / none
//   R2 command / command  / defaults / none
//   R3 defaults / defaults / defaults / none
//   R4 defaults / command / defaults / none
//   R5 defaults whatever the command (on a sheet: the sheet's composite)
// Read from a command's attributes, ids 30, 70 and 80 take the medium
// (kMediumKey); ids 60 to 67 always read the medium, and give 4 on a sheet.
// Codes: 0 written; 1 no manager, no job context or not found; 3 unknown
// id; 4 not on a sheet. Id 245 always answers 0. Before any command the
// job side answers as for a command of another class.
//
// Threads: the caller's; the manager's job context is not locked.
#pragma once

#include <cstdint>

class GAttributeComposite;
class GExtensionManager;

// REQUIRES: `output` holds a u16 (nothing wider is written).
std::uint16_t DispatchExtensionValue(std::uint16_t id, void* output, GAttributeComposite* settings,
                                     GExtensionManager* manager);
