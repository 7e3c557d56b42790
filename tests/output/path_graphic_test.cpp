// Paths, graphic composites and the clip to a path: stored forms, the
// graphics travelling a chain whole, deep copies, the kind of path a clip
// reads, and damaged stored data.
#include "output/graphics/path_graphic.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "output/attributes/clip.h"
#include "output/core/peripheral.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;

// An empty path, serial 0.
GPathGraphic* EmptyPath() {
  auto* path = new GPathGraphic;
  path->SetSerialNumber(0);
  return path;
}

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16); the persistent base part (version 1, key, serial 0). A
// path (603 = 5B 02): the command part (the set as an object reference,
// here the nil object: back reference 0 = FF FF then 0 as u32; version 1),
// the graphic's version 1, its own version 1, the count and each element.
// The clip (502 = F6 01) keyed 177 (B1): the attribute part (version 1,
// state 1), the style attribute's version 1, the clip part (version 1,
// values 2 and 0), its own version 1 and the path as an object reference.
TEST(PathGraphic, StoredFormsMatchHandDerivedBytes) {
  const std::string kEmptyPath =
      "5B 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
      "01 00 00 00 01 00 00 00 00 00 00 00";
  GPathGraphic* outer = EmptyPath();
  outer->AddChild(EmptyPath());
  GClipToPath clip(outer, 2, 0, kClipKey);
  clip.SetSerialNumber(0);
  ExpectStoredForm(*outer,
                   "88 88 00 00 5B 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 "
                   "01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 " +
                       kEmptyPath);
  ExpectStoredForm(clip,
                   "88 88 00 00 F6 01 01 00 00 00 B1 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
                   "01 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 01 00 00 00 "
                   "5B 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
                   "01 00 00 00 01 00 00 00 01 00 00 00 " +
                       kEmptyPath);
}

// A path or composite passes a device whole, with its own state: the
// device's Submit does not take it apart. A deep copy holds copies of the
// elements (and a clip's of its path); a plain copy shares them.
TEST(PathGraphic, TravelsWholeAndCopiesDeeply) {
  struct Device : GPeripheral {
    std::vector<RWClassID> transformed;
    GCountedPtr Transform(const GCountedPtr& command) override {
      transformed.push_back(command->ClassId());
      return GPeripheral::Transform(command);
    }
  };
  for (GGraphicList* graphic :
       {static_cast<GGraphicList*>(new GPathGraphic(new GState(0u))),
        static_cast<GGraphicList*>(new GGraphicComposite(new GState(0u)))}) {
    GCountedPtr held(graphic);
    graphic->AddChild(new GRectangleGraphic(GShortRect{1, 2, 3, 4}, nullptr, 0));
    Device device;
    EXPECT_EQ(device.Submit(held).Get(), graphic);
    EXPECT_EQ(device.transformed, std::vector<RWClassID>{graphic->ClassId()});
    std::unique_ptr<MPersistentObject> deep(graphic->DeepCopy());
    std::unique_ptr<RWCollectable> shallow(graphic->CreateCopy());
    auto* copy = dynamic_cast<GGraphicList*>(deep.get());
    ASSERT_TRUE(copy && copy->IsEqualContent(graphic));
    EXPECT_NE(copy->Children()[0].Get(), graphic->Children()[0].Get());
    EXPECT_EQ(static_cast<GGraphicList*>(shallow.get())->Children()[0].Get(),
              graphic->Children()[0].Get());
  }
  GClipToPath clip(new GPathGraphic, 2, 2, kClipKey);
  std::unique_ptr<MPersistentObject> deep(clip.DeepCopy());
  auto* copy = static_cast<GClipToPath*>(deep.get());
  EXPECT_TRUE(copy->IsEqualContent(&clip) && copy->GetPath() != clip.GetPath());
  EXPECT_EQ(GClipToPath(clip).GetPath(), clip.GetPath());
}

// The clip's path must be a path: a graphic composite (stored just as a
// path is) in its place fails the restore and leaves no path.
TEST(PathGraphic, AClipReadsOnlyAPath) {
  GClipToPath clip(new GPathGraphic, 2, 2, kClipKey);
  for (Medium medium : {Medium::kFile, Medium::kBinary, Medium::kHeadered}) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&clip, medium);
    std::size_t at = bytes.find(std::string("\x5B\x02", 2));
    ASSERT_NE(at, std::string::npos) << testing_support::Hex(bytes);
    ASSERT_EQ(bytes.find(std::string("\x5B\x02", 2), at + 1), std::string::npos);
    bytes[at] = '\x5F';  // 607
    model_testing::Restored back = model_testing::Restore(bytes, medium);
    EXPECT_FALSE(back.ok);
    auto* restored = dynamic_cast<GClipToPath*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->GetPath(), nullptr);
    FreeRestored(back.object);
  }
}

TEST(PathGraphic, DamagedDataFailsCleanly) {
  auto* path = new GPathGraphic(new GState(0u), 3);
  path->AddChild(new GRectangleGraphic(GShortRect{1, 2, 3, 4}, nullptr, 0));
  path->AddChild(new GGraphicComposite);
  ExpectDamageFailsCleanly(GClipToPath(path, 2, 1, kClipKey), 20260603);
}

}  // namespace
