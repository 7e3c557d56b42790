#include "lang/joblang_zdl5/load.h"

#include "lang/joblang_zdl5/wqm.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/text/load.h"

namespace {

constexpr RWSubsystemClasses::List kJobLanguageLists[] = {&WqmClasses, &Zdl5eClasses};

constinit RWSubsystemClasses g_classes(kJobLanguageLists);

}  // namespace

void JobLanguageLoad() {
  LangTextLoad();
  g_classes.Load();
}

void JobLanguageUnload() {
  g_classes.Unload();
  LangTextUnload();
}
