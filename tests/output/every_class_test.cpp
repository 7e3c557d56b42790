// Every class registered by the output model's load, the layers below
// included, persists soundly; the concrete classes are registered under
// their names, and the abstract bases are not.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "foundation/rw/factory.h"
#include "output/attributes/brush.h"
#include "output/attributes/cap_joint.h"
#include "output/attributes/clip.h"
#include "output/attributes/dashed_pen.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/raster_operation.h"
#include "output/attributes/transform.h"
#include "output/color/paint.h"
#include "output/commands/download_header_command.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/path_graphic.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/bitmap.h"
#include "output/raster/dither_matrix.h"
#include "tests/support/every_class.h"

namespace {

struct Registered {
  RWClassID id;
  const char* name;
};

constexpr Registered kOutputClasses[] = {
    {kGRectangleGraphicId, "GRectangleGraphic"},
    {kGPolygonGraphicId, "GPolygonGraphic"},
    {kGPolyBezierGraphicId, "GPolyBezierGraphic"},
    {kGNullCommandId, "GNullCommand"},
    {kGPenId, "GPen"},
    {kGDashedPenId, "GDashedPen"},
    {kGClipToRectangleId, "GClipToRectangle"},
    {kGClipToSingleRectangleId, "GClipToSingleRectangle"},
    {kGRGBColorId, "GRGBColor"},
    {kGColorPaintId, "GColorPaint"},
    {kGFillModeId, "GFillMode"},
    {kGRasterOperationId, "GRasterOperation"},
    {kGDocumentStartId, "GDocumentStart"},
    {kGDocumentEndId, "GDocumentEnd"},
    {kGPageStartId, "GPageStart"},
    {kGPageEndId, "GPageEnd"},
    {kGJobAbortId, "GJobAbort"},
    {kGNoPenId, "GNoPen"},
    {kGBrushId, "GBrush"},
    {kGNoBrushId, "GNoBrush"},
    {kGClipToPageId, "GClipToPage"},
    {kGTransformAttributeId, "GTransformAttribute"},
    {kGGraphicBundleId, "GGraphicBundle"},
    {kGBitmapId, "GBitmap"},
    {kGBitmapImpId, "GBitmapImp"},
    {kGPaletteTableId, "GPaletteTable"},
    {kGDitherMatrixId, "GDitherMatrix"},
    {kGRasterGraphicId, "GRasterGraphic"},
    {kGPreScaledRasterGraphicId, "GPreScaledRasterGraphic"},
    {kGCapId, "GCap"},
    {kGJointId, "GJoint"},
    {kGMiterJointId, "GMiterJoint"},
    {kGClipToPathId, "GClipToPath"},
    {kGPathGraphicId, "GPathGraphic"},
    {kGGraphicCompositeId, "GGraphicComposite"},
    {kGDownloadHeaderCommandId, "GDownloadHeaderCommand"},
};

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (const Registered& r : kOutputClasses) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), r.id), result.checked.end())
        << r.name;
  }
}

TEST(OutputClasses, ConcreteClassesAreRegisteredTheBasesAreNot) {
  for (const Registered& r : kOutputClasses) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(StringIdToClassId(RWStringID(r.name)), r.id);
    EXPECT_EQ(ClassIdToStringId(r.id), RWStringID(r.name));
    std::unique_ptr<RWCollectable> by_name(CreateByStringId(RWStringID(r.name)));
    EXPECT_TRUE(by_name && by_name->ClassId() == r.id);
  }
  for (RWClassID id : {kGGraphicId, kGPrimitiveGraphicId, kGClipId, kGPaintId, kGColorId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
}

}  // namespace
