// The colour-rendering choices reach a device through their own
// operations; a saved GHalftone comes back as the class that owns id 790
// and reaches SetHalftoneEnhanced. Display strings, the colour adjustment
// and the option lists call no operation.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/display_string.h"
#include "config/attributes/option_composite.h"
#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "output/core/peripheral.h"
#include "tests/persist/media.h"

namespace {

// Records each call as "operation value", answers 7.
class StyleDevice : public GPeripheral {
 public:
  std::vector<std::string> calls;

  std::uint16_t SetColorMap(GColorMap& a) override { return Record("colormap", a); }
  std::uint16_t SetHalftone(GHalftone& a) override { return Record("halftone", a); }
  std::uint16_t SetHalftoneEnhanced(GHalftoneEnhanced& a) override {
    return Record("halftone+", a);
  }
  std::uint16_t SetNeutralGrays(GNeutralGrays& a) override { return Record("grays", a); }
  std::uint16_t SetEdgeControl(GEdgeControl& a) override { return Record("edge", a); }
  std::uint16_t SetSRGBColor(GSRGBColor& a) override { return Record("srgb", a); }
  std::uint16_t SetSRGBExtension(GSRGBExtension& a) override { return Record("srgb+", a); }

 private:
  std::uint16_t Record(const char* operation, GStyleChoiceAttribute& a) {
    calls.push_back(std::string(operation) + " " + std::to_string(a.GetValue()));
    return 7;
  }
};

TEST(StyleExecute, EachChoiceCallsItsOperation) {
  struct Case {
    std::unique_ptr<GAttribute> attribute;
    const char* call;  // null: none
    std::uint16_t result;
  };
  Case cases[] = {
      {std::make_unique<GColorMap>(16, 0), "colormap 16", 7},
      {std::make_unique<GHalftone>(41, 0), "halftone 41", 7},
      {std::make_unique<GHalftoneEnhanced>(42, 0), "halftone+ 42", 7},
      {std::make_unique<GNeutralGrays>(80, 0), "grays 80", 7},
      {std::make_unique<GEdgeControl>(94, 0), "edge 94", 7},
      {std::make_unique<GSRGBColor>(99, 0), "srgb 99", 7},
      {std::make_unique<GSRGBExtension>(101, 0), "srgb+ 101", 7},
      {std::make_unique<GDisplayStringAttribute>(1, "x", nullptr), nullptr, 0},
      {std::make_unique<GTintvectorAttribute>(295), nullptr, 0},
      {std::make_unique<GTintvectorEnhancedAttribute>(295), nullptr, 0},
      {std::make_unique<GTintvectorEnhancedAttributeVer2>(295), nullptr, 0},
      {std::make_unique<GOptMediaComposite>(1, 0), nullptr, 1},
      {std::make_unique<GBookletComposite>(1, 0), nullptr, 1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.attribute->ClassId());
    StyleDevice device;
    EXPECT_EQ(c.attribute->Execute(device), c.result);
    EXPECT_EQ(device.calls, c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{});
    EXPECT_EQ(c.attribute->State(), 1);
    GPeripheral base;
    EXPECT_EQ(c.attribute->Execute(base), c.call ? 0 : c.result);
  }
}

TEST(StyleExecute, ARestoredHalftoneReachesTheEnhancedOperation) {
  GHalftone halftone(40, 0);
  for (model_testing::Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    model_testing::Restored back =
        model_testing::Restore(model_testing::Save(&halftone, medium), medium);
    std::unique_ptr<GAttribute> restored(dynamic_cast<GAttribute*>(back.object));
    ASSERT_NE(restored, nullptr);
    StyleDevice device;
    restored->Execute(device);
    EXPECT_EQ(device.calls, std::vector<std::string>{"halftone+ 40"});
  }
}

}  // namespace
