// Style codes become the printer's codes through the association lists of
// a configuration: hits, missing lists and entries, and objects of the
// wrong kind under a list key or in a list.
#include "config/attributes/style_translation.h"

#include <gtest/gtest.h>

#include <functional>

#include "config/attributes/style_attribute.h"
#include "config/attributes/value_attribute.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"

namespace {

// A list under `key` mapping each code of `codes` to code + 1000, and 94
// to the text "light" (a string value).
MAssociationList* List(std::uint32_t key, std::initializer_list<std::uint16_t> codes) {
  auto* list = new MAssociationList(key);
  for (std::uint16_t code : codes) {
    list->AddChild(new MPersistentAssociation(new GValueAttribute(code, 0),
                                              new GValueAttribute(code + 1000, 0)));
  }
  list->AddChild(
      new MPersistentAssociation(new GValueAttribute(94, 0), new GStringAttribute("light", 0)));
  return list;
}

// A configuration: a nested configuration holding the colour-map list
// (537), the sRGB list (552), and a value attribute under the halftone key
// (533) where a list belongs.
GCountedPtr Configuration() {
  auto* root = new GConfiguration(1);
  auto* nested = new GConfiguration(2);
  nested->AddChild(List(537, {15, 16}));
  nested->AddChild(List(552, {98, 100}));
  root->AddChild(nested);
  root->AddChild(new GValueAttribute(40, 533));
  return GCountedPtr(root);
}

TEST(StyleTranslation, MapToDeviceValue) {
  GCountedPtr root = Configuration();
  // 537 holding a value attribute instead of a list.
  auto* wrong = new GConfiguration(1);
  wrong->AddChild(new GValueAttribute(15, 537));
  GCountedPtr wrong_root(wrong);
  struct Case {
    const char* name;
    std::function<std::int16_t()> map;
    std::int16_t expected;
  };
  const Case cases[] = {
      {"hit", [&] { return GColorMap(16, 0).MapToDeviceValue(root); }, 1016},
      {"the list's key is not the attribute's",
       [&] { return GColorMap(16, 9).MapToDeviceValue(root); }, 1016},
      {"missing entry", [&] { return GColorMap(17, 0).MapToDeviceValue(root); }, 0},
      {"a string value", [&] { return GColorMap(94, 0).MapToDeviceValue(root); }, 0},
      {"only the low 16 bits", [&] { return GColorMap(0x10000 + 15, 0).MapToDeviceValue(root); },
       1015},
      {"a value attribute under the key", [&] { return GHalftone(40, 0).MapToDeviceValue(root); },
       0},
      {"a value attribute under 537", [&] { return GColorMap(15, 0).MapToDeviceValue(wrong_root); },
       0},
      {"no list", [&] { return GNeutralGrays(70, 0).MapToDeviceValue(root); }, 0},
      {"sRGB colour in 552", [&] { return GSRGBColor(98, 0).MapToDeviceValue(root); }, 1098},
      {"sRGB extension in 552", [&] { return GSRGBExtension(100, 0).MapToDeviceValue(root); },
       1100},
      {"no root", [] { return GColorMap(16, 0).MapToDeviceValue(GCountedPtr()); }, 0},
      {"wrapper", [&] { return TranslateColorMapCode(root, 15); }, 1015},
      {"wrapper, sRGB extension", [&] { return TranslateSRGBExtensionCode(root, 98); }, 1098},
      {"wrapper, halftone", [&] { return TranslateHalftoneCode(root, 40); }, 0},
      {"wrapper, edge control", [&] { return TranslateEdgeControlCode(root, 93); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.map(), c.expected);
  }
}

TEST(StyleTranslation, LookupAssociatedString) {
  GCountedPtr root = Configuration();
  struct Case {
    const char* name;
    std::uint32_t list_key;
    std::uint16_t code;
    const char* text;
  };
  const Case cases[] = {
      {"a string value", 552, 94, "light"},
      {"a value attribute's entry", 537, 15, ""},
      {"missing entry", 537, 95, ""},
      {"a value attribute under the key", 533, 40, ""},
      {"no list", 545, 94, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWCString text("stale");
    LookupAssociatedString(text, c.list_key, root, c.code);
    EXPECT_EQ(text, c.text);
  }
}

}  // namespace
