#include "output/text/load.h"

#include "fonts/load.h"
#include "output/text/download_face.h"
#include "output/text/text_string.h"

namespace {

// Each source file's registration list, in building order.
constexpr RWSubsystemClasses::List kOutputTextLists[] = {&TextStringClasses, &DownloadFaceClasses};

constinit RWSubsystemClasses g_classes(kOutputTextLists);

}  // namespace

void OutputTextLoad() {
  FontsLoad();
  g_classes.Load();
}

void OutputTextUnload() {
  g_classes.Unload();
  FontsUnload();
}
