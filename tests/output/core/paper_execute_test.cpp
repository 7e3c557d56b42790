// The paper path on a device: a medium and a tray reach their device
// operations and pass the answer on, the media pool goes as an
// enumeration, the others call nothing; an attribute set replaces a device
// whose parts changed instead of keeping the stale one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "output/core/peripheral.h"
#include "output/core/state.h"

namespace {

class PaperDevice : public GPeripheral {
 public:
  std::vector<std::string> calls;

  std::uint32_t SetMedia(GMedia& medium) override {
    calls.push_back("media " + std::string(medium.GetName().Data()));
    return 0x10005;  // cut to 16 bits by Execute
  }
  std::uint32_t SetTray(GTray& tray) override {
    calls.push_back("tray " + std::to_string(tray.GetId()));
    return 6;
  }
  std::uint16_t SetEnumAttribute(GEnumAttribute& attribute) override {
    calls.push_back("enum " + std::to_string(attribute.Key()));
    return 7;
  }
};

TEST(PaperExecute, EachKindCallsItsOperation) {
  struct Case {
    std::unique_ptr<GAttribute> attribute;
    std::vector<std::string> calls;
    std::uint16_t result;
  };
  Case cases[] = {
      {std::make_unique<GMedia>("A4", GSize16(1, 1), GSize16(1, 1), GSize16(0, 0), 0, 23, 600, 600,
                                kModelMediumKey, 0, nullptr, nullptr),
       {"media A4"},
       5},
      {std::make_unique<GTray>("Tray 2", 4, kTrayKey), {"tray 4"}, 6},
      {std::make_unique<GMediaPool>(189), {"enum 189"}, 7},
      {std::make_unique<GBin>("Bin", 42, kBinKey), {}, 1},
      {std::make_unique<GPaperHandlingDevice>(), {}, 1},
      {std::make_unique<GFormToTrayDatabase>(kFormToTrayKey), {}, 1},
      {std::make_unique<GFormToTrayAssociation>(1, 2, 3), {}, 1},
      {std::make_unique<GCustomMediaSize>(kUserCustomSizeKey), {}, 0},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.attribute->ClassId());
    PaperDevice device;
    EXPECT_EQ(c.attribute->Execute(device), c.result);
    EXPECT_EQ(device.calls, c.calls);
  }
  GPeripheral base;
  GTray tray("Tray 1", 1, kTrayKey);
  GMedia medium;
  EXPECT_EQ(tray.Execute(base), 0);
  EXPECT_EQ(medium.Execute(base), 0);
}

// Devices equal but for a tray's mapped value: the set takes the new one.
TEST(PaperExecute, AnAttributeSetReplacesADeviceWhosePartsChanged) {
  auto device = [](std::int32_t mapped) {
    auto* d = new GPaperHandlingDevice("Unit", kPaperSource, 1, 1, 1, 0, 0);
    auto* trays = new GAttributeComposite;
    trays->AddChild(new GTray("Tray 1", 1, 0, 0, mapped, -1, nullptr, kTrayKey));
    d->SetPart(0, trays);
    return d;
  };
  GState state(kPaperHandlingKey);
  GPaperHandlingDevice* stale = device(-1);
  state.AddChild(stale);
  GPaperHandlingDevice* fresh = device(1);
  state.AddChild(fresh);
  ASSERT_EQ(state.EntryCount(), 1u);
  EXPECT_EQ(state.Children()[0].Get(), fresh);
  GCountedPtr held(fresh);
  state.AddChild(device(1));  // equal in content: refused
  EXPECT_EQ(state.Children()[0].Get(), fresh);
}

}  // namespace
