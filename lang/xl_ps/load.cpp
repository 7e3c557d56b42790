#include "lang/xl_ps/load.h"

#include "fonts/load.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"

namespace {

constexpr RWSubsystemClasses::List kXlPsLists[] = {&VexalonClasses, &PostScriptClasses};

constinit RWSubsystemClasses g_classes(kXlPsLists);

}  // namespace

void XlPsLoad() {
  FontsLoad();
  g_classes.Load();
}

void XlPsUnload() {
  g_classes.Unload();
  FontsUnload();
}
