#include "output/load.h"

#include "output/attributes/brush.h"
#include "output/attributes/cap_joint.h"
#include "output/attributes/clip.h"
#include "output/attributes/dashed_pen.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/attributes/transform.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/commands/download_header_command.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/load.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/path_graphic.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/bitmap.h"
#include "output/raster/dither_matrix.h"

namespace {

// Each source file's registration list, in building order. The abstract
// bases (the graphic, primitive graphic, clip, paint and colour bases) are
// not registered.
constexpr RWSubsystemClasses::List kOutputLists[] = {
    &PrimitiveGraphicClasses,
    &NullCommandClasses,
    &JobCommandClasses,
    &PenClasses,
    &ClipClasses,
    &ColorClasses,
    &PaintClasses,
    &FillModeClasses,
    &RasterOperationClasses,
    &DashedPenClasses,
    &BrushClasses,
    &CapJointClasses,
    &TransformClasses,
    &GraphicBundleClasses,
    &BitmapClasses,
    &DitherMatrixClasses,
    &RasterGraphicClasses,
    &PathGraphicClasses,
    &DownloadHeaderCommandClasses,
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
