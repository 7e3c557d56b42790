#include "ui/plugin/page_builders.h"

#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"

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

GPropertyPage* MakePage(PropSheetPageW* record, GUIContext* context, int with_help,
                        const PageLayout& layout) {
  if (layout.title) {
    RWWString title;
    LoadResString(layout.title, title);
    record->title = GUIDuplicateText(title.Data());  // the host frees it
  }
  auto* page = new GPropertyPage(record, GetResourceModuleHandle(), layout.template_id, context,
                                 with_help, layout.help_context);
  page->BuildHelpTable();
  return page;
}

}  // namespace

GPropertyPage* BuildFinishingPage(PropSheetPageW* record, GUIContext* context, int with_help,
                                  MPersistentObject*) {
  return MakePage(record, context, with_help, kFinishing);
}

GPropertyPage* BuildEffectsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kEffects);
}

GPropertyPage* BuildPaperPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kPaper);
}

GPropertyPage* BuildJobStoragePage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kJobStorage);
}

GPropertyPage* BuildBasicsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kBasics);
}

GPropertyPage* BuildColorPage(PropSheetPageW* record, GUIContext* context, int with_help,
                              MPersistentObject*) {
  return MakePage(record, context, with_help, kColor);
}

GPropertyPage* BuildNTFormsPage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kNTForms);
}

GPropertyPage* BuildConfigurePage(PropSheetPageW* record, GUIContext* context, int with_help) {
  return MakePage(record, context, with_help, kConfigure);
}

GListFeature* MakeNupConflictRule(GUIContext*, GPropertyPage*) {
  return nullptr;
}

void BuildRules(GUIContext*, MPersistentObject*) {}
