// The control groups of every property page, added in the pages' order
// (the order of creation, AddWrapper, initialisation, refresh and search),
// with their inner dialogs, each kept by the wrapper of the button that
// opens it. A group is a feature on the GUIContext and a wrapper on that
// feature with the group's table of (control id, help id) pairs; the page
// builders (ui/plugin/page_builders.h) make the page, call the page's Add
// function and then build the page's help table.
//
// Groups that a later part of the library gives their own classes hold
// their places as plain pairs with their final tables: the paper sources
// of the Paper page and the quality details' option groups. The Paper
// page's tray picture lets clicks select a tray unless the form-to-tray
// table links a tray to a form or paper type other than the default.
//
// The Configure page's options (configuration status, manual duplex,
// collation, paper sources), its dialog's memory, work-space and
// hard-disk groups and the forms page's links have their own wrappers
// (configure_controls.h, form_to_tray_links_wrapper.h); so have the
// Finishing page's groups and its details dialog's (finishing_groups.h).
//
// The "Print Quality Details" dialog of the Finishing page exists for a
// printer language of kind 767 (template 9000, with help) or 788 (13001,
// without help). For any other language there is no such dialog: its
// groups 9a-9c are left out and the button that would open it (3034)
// stays disabled.
//
// The Job Storage page first sets the settings' kLocalJobStorageKey to 1 when the
// current user's "LocalJobStorage" (a 4-byte value under the driver
// data's local job storage key) reads 0 or is missing, else to 0.
//
// Threads: the sheet's.
#pragma once

#include <cstdint>

class GDialogBase;
class GUIContext;

// Printer-language kinds the Finishing page asks for.
inline constexpr std::uint16_t kLanguageXL = 767;
inline constexpr std::uint16_t kLanguageZdl5 = 788;

// REQUIRES for each: `page` and `context` are not null. `language_kind` is
// the printer-language object's kind (kLanguageXL, kLanguageZdl5, or 0).
void AddBasicsGroups(GDialogBase* page, GUIContext* context);
void AddPaperGroups(GDialogBase* page, GUIContext* context);
void AddFinishingGroups(GDialogBase* page, GUIContext* context, std::uint16_t language_kind);
void AddEffectsGroups(GDialogBase* page, GUIContext* context);
void AddJobStorageGroups(GDialogBase* page, GUIContext* context);
void AddNTFormsGroups(GDialogBase* page, GUIContext* context);
void AddConfigureGroups(GDialogBase* page, GUIContext* context);
void AddColorGroups(GDialogBase* page, GUIContext* context);
// Sets kLocalJobStorageKey from "LocalJobStorage", before the Job Storage page is made.
void ReadLocalJobStorageChoice(GUIContext* context);
