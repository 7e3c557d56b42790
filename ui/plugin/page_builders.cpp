#include "ui/plugin/page_builders.h"

#include "persist/persistent_object.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/access_rules.h"
#include "ui/pages/duplex_tray_rules.h"
#include "ui/pages/inert_rule.h"
#include "ui/pages/layout_rules.h"
#include "ui/pages/page_contents.h"

using platform::PropSheetPageW;

namespace {

struct PageLayout {
  std::uint32_t title;  // 0: no title
  std::uint32_t template_id;
  std::uint32_t help_context;
};

constexpr PageLayout kFinishing{1051, 3000, 300};
constexpr PageLayout kEffects{1052, 6000, 500};
constexpr PageLayout kPaper{1053, 2000, 200};
constexpr PageLayout kJobStorage{11041, 15000, 1000};
constexpr PageLayout kBasics{1055, 1000, 100};
constexpr PageLayout kColor{1056, 14000, 900};
constexpr PageLayout kNTForms{0, 12000, 700};
constexpr PageLayout kConfigure{0, 7000, 600};

// Makes the page, lets `add` put its groups on it, then builds its help
// table.
template <class AddGroups>
GPropertyPage* MakePage(PropSheetPageW* record, GUIContext* context, int with_help,
                        const PageLayout& layout, AddGroups add) {
  if (layout.title) {
    RWWString title;
    LoadResString(layout.title, title);
    record->title = GUIDuplicateText(title.Data());  // the host frees it
  }
  auto* page = new GPropertyPage(record, GetResourceModuleHandle(), layout.template_id, context,
                                 with_help, layout.help_context);
  add(page);
  page->BuildHelpTable();
  return page;
}

std::uint16_t LanguageKind(MPersistentObject* language) {
  if (!language) return 0;
  if (language->IsKindOf(kLanguageZdl5)) return kLanguageZdl5;
  return language->IsKindOf(kLanguageXL) ? kLanguageXL : 0;
}

}  // namespace

GPropertyPage* BuildFinishingPage(PropSheetPageW* record, GUIContext* context, int with_help,
                                  MPersistentObject* language) {
  return MakePage(record, context, with_help, kFinishing, [&](GPropertyPage* page) {
    AddFinishingGroups(page, context, LanguageKind(language));
  });
}

GPropertyPage* BuildEffectsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kEffects,
                  [&](GPropertyPage* page) { AddEffectsGroups(page, context); });
}

GPropertyPage* BuildPaperPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kPaper,
                  [&](GPropertyPage* page) { AddPaperGroups(page, context); });
}

GPropertyPage* BuildJobStoragePage(PropSheetPageW* record, GUIContext* context, int with_help) {
  ReadLocalJobStorageChoice(context);
  return MakePage(record, context, with_help, kJobStorage,
                  [&](GPropertyPage* page) { AddJobStorageGroups(page, context); });
}

GPropertyPage* BuildBasicsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kBasics,
                  [&](GPropertyPage* page) { AddBasicsGroups(page, context); });
}

GPropertyPage* BuildColorPage(PropSheetPageW* record, GUIContext* context, int with_help,
                              MPersistentObject*) {
  return MakePage(record, context, with_help, kColor,
                  [&](GPropertyPage* page) { AddColorGroups(page, context); });
}

GPropertyPage* BuildNTFormsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kNTForms,
                  [&](GPropertyPage* page) { AddNTFormsGroups(page, context); });
}

GPropertyPage* BuildConfigurePage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kConfigure,
                  [&](GPropertyPage* page) { AddConfigureGroups(page, context); });
}

GListFeature* MakeNupConflictRule(GUIContext* context, GPropertyPage*) {
  return new GNupConflictRule(context);
}

namespace {

template <class Rule>
GListFeature* Make(GUIContext* context) {
  return new Rule(context);
}

}  // namespace

void BuildRules(GUIContext* context, MPersistentObject* language) {
  // A maker, or the name of an inert position; position 16, the
  // rasterisation rule, only for kind 788.
  struct Position {
    GListFeature* (*make)(GUIContext*);
    const char* inert;
  };
  // One rule a line: the list is in the rules' positions.
  // clang-format off
  static constexpr Position kRules[] = {{&Make<GFitToPaperNoticeRule>, nullptr},
                                        {&Make<GTrayMediaRule>, nullptr},
                                        {&Make<GDuplexMediaRule>, nullptr},
                                        {&Make<GBookletRule>, nullptr},
                                        {nullptr, "framework rule 5"},
                                        {&Make<GPermissionRule>, nullptr},
                                        {&Make<GScaleConflictRule>, nullptr},
                                        {&Make<GSizeLimitRule>, nullptr},
                                        {&Make<GAutoConfigNoticeRule>, nullptr},
                                        {&Make<GTrueTypeBitmapRule>, nullptr},
                                        {&Make<GTray1SyncRule>, nullptr},
                                        {&Make<GTrayConflictRule>, nullptr},
                                        {&Make<GMemoryRule>, nullptr},
                                        {&Make<GBackCoverBookletRule>, nullptr},
                                        {nullptr, "framework rule 15"},
                                        {&Make<GRasterizationRule>, nullptr},
                                        {nullptr, "framework rule 17"},
                                        {nullptr, "framework rule 18"},
                                        {&Make<GConfigStatusRule>, nullptr},
                                        {nullptr, "framework rule 20"}};
  // clang-format on
  constexpr std::size_t kRasterizationPosition = 15;
  const bool zdl5 = LanguageKind(language) == kLanguageZdl5;
  for (std::size_t i = 0; i < std::size(kRules); ++i) {
    if (i == kRasterizationPosition && !zdl5) continue;
    context->AddListener(kRules[i].make ? kRules[i].make(context)
                                        : new GInertRule(context, kRules[i].inert));
  }
}
