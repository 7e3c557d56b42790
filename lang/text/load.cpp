#include "lang/text/load.h"

#include "fonts/load.h"
#include "lang/text/download_face.h"
#include "lang/text/text_string.h"

namespace {

// Each source file's registration list, in building order.
constexpr RWSubsystemClasses::List kOutputTextLists[] = {&TextStringClasses, &DownloadFaceClasses};

constinit RWSubsystemClasses g_classes(kOutputTextLists);

}  // namespace

void LangTextLoad() {
  FontsLoad();
  g_classes.Load();
}

void LangTextUnload() {
  g_classes.Unload();
  FontsUnload();
}
