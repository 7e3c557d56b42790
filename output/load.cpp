#include "output/load.h"

#include "output/attributes/clip.h"
#include "output/attributes/dashed_pen.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/commands/null_command.h"
#include "output/core/load.h"
#include "output/graphics/primitive_graphic.h"

namespace {

// Each source file's registration list, in building order. The abstract
// bases (the graphic, primitive graphic, clip, paint and colour bases) are
// not registered.
constexpr RWSubsystemClasses::List kOutputLists[] = {
    &PrimitiveGraphicClasses,
    &NullCommandClasses,
    &PenClasses,
    &ClipClasses,
    &ColorClasses,
    &PaintClasses,
    &FillModeClasses,
    &RasterOperationClasses,
    &DashedPenClasses,
};

constinit RWSubsystemClasses g_classes(kOutputLists);

}  // namespace

void OutputLoad() {
  OutputCoreLoad();
  g_classes.Load();
}

void OutputUnload() {
  g_classes.Unload();
  OutputCoreUnload();
}
