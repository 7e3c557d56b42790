// The page builders and the rules builder that UI_INITIALIZE runs
// (ui/plugin/ui_plugin.h). Each page builder fills one host page record
// and answers the page object (GPropertyPage), which the record's page
// entry then holds:
//   - a document page's builder first puts a heap copy of its title (the
//     resource string, length + 1 characters; the host frees it) into the
//     record; the NT Forms and Configure pages have no title;
//   - then it makes the page on the resource library with its template and
//     help context (every call passes with-help 1, so the records carry
//     flags 48).
//
//   page         title  template  help     page         title  template  help
//   Finishing    1051   3000      300      Basics       1055   1000      100
//   Effects      1052   6000      500      Color        1056   14000     900
//   Paper        1053   2000      200      NT Forms     -      12000     700
//   Job Storage  11041  15000     1000     Configure    -      7000      600
//
// The pages' control groups, help tables and inner dialogs, the N-up
// conflict rule that follows the Finishing page and the constraint rules
// of BuildRules are added by the pages and rules as they are built; until
// then a page holds no group and BuildRules registers nothing.
//
// Ownership: the page belongs to the plug-in (UI_DESTROY deletes it); the
// rules to the context. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "driver/ui_plugin_records.h"

class GListFeature;
class GPropertyPage;
class GUIContext;
class MPersistentObject;

// REQUIRES for every builder: `record` and `context` are not null.
// `language` is the printer-language object (may be null).
GPropertyPage* BuildFinishingPage(platform::PropSheetPageW* record, GUIContext* context,
                                  int with_help, MPersistentObject* language);
GPropertyPage* BuildEffectsPage(platform::PropSheetPageW* record, GUIContext* context,
                                int with_help);
GPropertyPage* BuildPaperPage(platform::PropSheetPageW* record, GUIContext* context, int with_help);
GPropertyPage* BuildJobStoragePage(platform::PropSheetPageW* record, GUIContext* context,
                                   int with_help);
GPropertyPage* BuildBasicsPage(platform::PropSheetPageW* record, GUIContext* context,
                               int with_help);
GPropertyPage* BuildColorPage(platform::PropSheetPageW* record, GUIContext* context, int with_help,
                              MPersistentObject* language);
GPropertyPage* BuildNTFormsPage(platform::PropSheetPageW* record, GUIContext* context,
                                int with_help);
GPropertyPage* BuildConfigurePage(platform::PropSheetPageW* record, GUIContext* context,
                                  int with_help);

// The N-up conflict rule over the Finishing page, which UI_INITIALIZE adds
// as the context's first listener; null while the rule is not built.
GListFeature* MakeNupConflictRule(GUIContext* context, GPropertyPage* finishing);

// Registers the constraint rules with `context` (AddListener), in their
// order.
void BuildRules(GUIContext* context, MPersistentObject* language);
