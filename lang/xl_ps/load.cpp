#include "lang/xl_ps/load.h"

#include "lang/text/load.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"

namespace {

constexpr RWSubsystemClasses::List kXlPsLists[] = {&VexalonClasses, &PostScriptClasses};

constinit RWSubsystemClasses g_classes(kXlPsLists);

}  // namespace

void XlPsLoad() {
  LangTextLoad();
  g_classes.Load();
}

void XlPsUnload() {
  g_classes.Unload();
  LangTextUnload();
}
