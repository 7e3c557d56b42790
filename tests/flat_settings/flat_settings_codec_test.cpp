// The flat settings record: nodes byte for byte, whole records against
// golden vectors, decoding against a documented template (merge order,
// accept rules, exclusions, skips) and the writer's failures.
//
// Golden vectors are derived by hand from the record layout
// (flat_settings/flat_settings_codec.h): the 20 marker bytes 73, then the
// node; V and K are little-endian u16 in mode 0 and u32 in mode 1; strings
// in their stored form are a u32 length, the counted string's u32 count and
// the bytes; a composite's L counts from its own first byte through the end
// byte, plus 1 (2 + children + 1 + 1).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "services/os_factory.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using support::DecodeFlat;
using support::EncodeFlat;
using testing_support::Hex;
using testing_support::Unhex;

const std::string kMarker(20, 's');

std::unique_ptr<MPersistentObject> Owned(MPersistentObject* object) {
  return std::unique_ptr<MPersistentObject>(object);
}

GAttributeComposite* Composite(std::uint32_t key, std::initializer_list<MPersistentObject*> kids) {
  auto* composite = new GAttributeComposite(key);
  for (MPersistentObject* kid : kids)
    composite->AddChild(kid);
  return composite;
}

GValueAttribute* Value(std::uint16_t value, std::uint32_t key) {
  return new GValueAttribute(value, key);
}

// A compact picture of a decoded tree: composites K{...}, states K<...>,
// enumerations K[...] (the current choice marked *), values K=v, ranges
// K=r<value>, strings K='text', anything else K:<class id>.
std::string Describe(const MPersistentObject* object) {
  const std::string key = std::to_string(object->Key());
  if (const auto* value = dynamic_cast<const GValueAttribute*>(object))
    return key + "=" + std::to_string(static_cast<std::int16_t>(value->GetValue()));
  if (const auto* range = dynamic_cast<const GRangeAttribute*>(object))
    return key + "=r" + std::to_string(range->GetValue());
  if (const auto* text = dynamic_cast<const GStringAttribute*>(object))
    return key + "='" + std::string(text->GetValue().Data()) + "'";
  const auto* composite = dynamic_cast<const GAttributeComposite*>(object);
  if (!composite) return key + ":" + std::to_string(object->ClassId());
  const char* brackets = object->ClassId() == kGStateId           ? "<>"
                         : object->ClassId() == kGEnumAttributeId ? "[]"
                                                                  : "{}";
  const auto* choices = dynamic_cast<const GEnumAttribute*>(object);
  std::string out = key + brackets[0];
  for (RWSize i = 0; i < composite->Children().Count(); ++i) {
    const MPersistentObject* child = composite->Children().At(i).Get();
    if (i) out += ",";
    if (choices && choices->GetChoice() == child) out += "*";
    out += Describe(child);
  }
  return out + brackets[1];
}

// Encodes `tree` (owned) and answers the bytes after the marker.
std::string Written(MPersistentObject* tree, std::uint16_t mode) {
  auto owned = Owned(tree);
  support::Encoded encoded = EncodeFlat(tree, mode);
  EXPECT_EQ(encoded.result, 1);
  EXPECT_EQ(encoded.bytes.substr(0, 20), kMarker);
  return encoded.bytes.substr(20);
}

TEST(FlatRecordGolden, NodesAreWrittenByteForByte) {
  // Each node inside an otherwise empty composite keyed 5: mode 0 frames it
  // as 01, V 01 00, K 05 00, L (its length + 4), the node, the end byte.
  struct Case {
    const char* name;
    MPersistentObject* (*make)();
    std::uint16_t mode;
    const char* node;
  };
  const Case cases[] = {
      {"value 20", []() -> MPersistentObject* { return Value(20, 7); }, 0, "82 07 00"},
      {"value 0", []() -> MPersistentObject* { return Value(0, 7); }, 0, "6E 07 00"},
      {"value 21", []() -> MPersistentObject* { return Value(21, 7); }, 0, "03 07 00 15 00"},
      {"value -1", []() -> MPersistentObject* { return Value(0xFFFF, 7); }, 0, "03 07 00 FF FF"},
      {"value 20 long", []() -> MPersistentObject* { return Value(20, 7); }, 1, "82 07 00 00 00"},
      {"key cut to 16 bits", []() -> MPersistentObject* { return Value(1, 0x40000018); }, 0,
       "6F 18 00"},
      {"key kept whole", []() -> MPersistentObject* { return Value(1, 0x40000018); }, 1,
       "6F 18 00 00 40"},
      // Maximum first: 999, 1, step 1, value 7.
      {"range", []() -> MPersistentObject* { return new GRangeAttribute(1, 999, 1, 7, 2); }, 0,
       "05 01 00 02 00 E7 03 01 00 01 00 07 00"},
      {"range long", []() -> MPersistentObject* { return new GRangeAttribute(1, 999, 1, 7, 2); }, 1,
       "05 01 00 00 00 02 00 00 00 E7 03 01 00 01 00 07 00"},
      // Count = length + 1, the characters, a 0.
      {"string", []() -> MPersistentObject* { return new GStringAttribute("abc", 9); }, 0,
       "07 09 00 04 00 61 62 63 00"},
      {"empty string", []() -> MPersistentObject* { return new GStringAttribute("", 9); }, 0,
       "07 09 00 01 00 00"},
      // Text "Ab" (length 2 twice), id 11913 = 0x2E89, module "M".
      {"display string",
       []() -> MPersistentObject* { return new GDisplayStringAttribute(3, 11913, "Ab", "M"); }, 0,
       "06 01 00 03 00 02 00 00 00 02 00 00 00 41 62 89 2E 01 00 00 00 01 00 00 00 4D"},
      // Colour map and halftone per kind, in the constructor's order.
      {"tintvector",
       []() -> MPersistentObject* {
         return new GTintvectorAttribute(295, {1, 2, 3, 4, 5, 6});
       },
       0, "04 01 00 27 01 01 02 03 04 05 06"},
      {"tintvector enhanced",
       []() -> MPersistentObject* {
         return new GTintvectorEnhancedAttribute(295, {7, 8, 9, 10, 11, 12, 13, 14});
       },
       0, "13 01 00 27 01 07 08 09 0A 0B 0C 0D 0E"},
      {"tintvector enhanced 2",
       []() -> MPersistentObject* {
         return new GTintvectorEnhancedAttributeVer2(295, {15, 16, 17, 18, 19, 20, 21, 22, 23, 24});
       },
       0, "14 01 00 27 01 0F 10 11 12 13 14 15 16 17 18"},
      // Empty name: 8 bytes of zeros; unit 0, 0 by 0.
      {"custom size empty",
       []() -> MPersistentObject* { return new GCustomMediaSize(0, "", 0, 0, 0, 12); }, 0,
       "0B 01 00 0C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      // Defaults 11913, 0; one association: form 9, media type 11913, tray
      // 258, key 0; the end byte; no length.
      {"form to tray",
       []() -> MPersistentObject* {
         auto* forms = new GFormToTrayDatabase(510);
         forms->SetAssociation(9, 258, 11913);
         return forms;
       },
       0, "08 01 00 FE 01 89 2E 00 00 0A 01 00 00 00 09 00 89 2E 02 01 00"},
      // Choices only: L = 2 + 6 + 2.
      {"enumeration",
       []() -> MPersistentObject* {
         auto* choices = new GEnumAttribute(4);
         choices->AddChild(Value(1, 10));
         choices->AddChild(Value(2, 11));
         return choices;
       },
       0, "09 01 00 04 00 0A 00 6F 0A 00 70 0B 00 00"},
      {"state", []() -> MPersistentObject* { return new GState(90); }, 0,
       "02 01 00 5A 00 04 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string node = Unhex(c.node);
    const std::size_t length = node.size() + 4;
    std::string frame = c.mode == 0 ? Unhex("01 01 00 05 00") : Unhex("01 01 00 00 00 05 00 00 00");
    frame += static_cast<char>(length & 0xFF);
    frame += static_cast<char>(length >> 8);
    EXPECT_EQ(Hex(Written(Composite(5, {c.make()}), c.mode)), Hex(frame + node + '\0'));
  }
}

TEST(FlatRecordGolden, WholeRecords) {
  struct Case {
    const char* name;
    MPersistentObject* (*make)();
    std::uint16_t mode;
    const char* bytes;
  };
  // Composite 362 of: 3 (253) as 71 FD 00; 600 (323) as 03 43 01 58 02;
  // "Letter" (261), 12 bytes; state 90 of 0 (258), L 7, 11 bytes; range
  // (1, 999, 1, 2; 291), 13 bytes; custom size (256, "Cust", unit 3,
  // 210000 = 0x33450 by 297000 = 0x48828; 1262 = 0x4EE), 29 bytes. Mode 0:
  // children 73 bytes, L 77 = 0x4D, 81 bytes. Mode 1 adds 2 bytes per V
  // and K: 24 in all, 20 of them inside the root: L 97 = 0x61, 105 bytes.
  auto document = []() -> MPersistentObject* {
    auto* state = new GState(90);
    state->AddChild(Value(0, 258));
    return Composite(362, {Value(3, 253), Value(600, 323), new GStringAttribute("Letter", 261),
                           state, new GRangeAttribute(1, 999, 1, 2, 291),
                           new GCustomMediaSize(256, "Cust", 3, 210000, 297000, 1262)});
  };
  const Case cases[] = {
      {"empty composite", []() -> MPersistentObject* { return new GAttributeComposite(5); }, 0,
       "01 01 00 05 00 04 00 00"},
      {"empty composite long", []() -> MPersistentObject* { return new GAttributeComposite(5); }, 1,
       "01 01 00 00 00 05 00 00 00 04 00 00"},
      {"document", document, 0,
       "01 01 00 6A 01 4D 00 71 FD 00 03 43 01 58 02 07 05 01 07 00 4C 65 74 74 65 72 00 02 01 "
       "00 5A 00 07 00 6E 02 01 00 05 01 00 23 01 E7 03 01 00 01 00 02 00 0B 01 00 EE 04 00 01 "
       "04 00 00 00 04 00 00 00 43 75 73 74 03 00 50 34 03 00 28 88 04 00 00"},
      {"document long", document, 1,
       "01 01 00 00 00 6A 01 00 00 61 00 71 FD 00 00 00 03 43 01 00 00 58 02 07 05 01 00 00 07 "
       "00 4C 65 74 74 65 72 00 02 01 00 00 00 5A 00 00 00 09 00 6E 02 01 00 00 00 05 01 00 00 "
       "00 23 01 00 00 E7 03 01 00 01 00 02 00 0B 01 00 00 00 EE 04 00 00 00 01 04 00 00 00 04 "
       "00 00 00 43 75 73 74 03 00 50 34 03 00 28 88 04 00 00"},
      // One association (key 0): key value 2, kind 1, value 258; L = 2 +
      // 11 + 2.
      {"association list",
       []() -> MPersistentObject* {
         auto* list = new MAssociationList(8);
         list->SetAssociation(new MPersistentAssociation(Value(2, 0), Value(258, 0)));
         return list;
       },
       0, "0F 01 00 08 00 0F 00 11 01 00 00 00 02 00 01 00 02 01 00"},
      // One mapping: system 257, second -2, string id 12000 = 0x2EE0; L = 2
      // + 13 + 2.
      {"mapping list",
       []() -> MPersistentObject* {
         auto* list = new GResourceMappingList(8);
         list->AddMapping(new GResourceMapping(12000, 257, -2));
         return list;
       },
       0, "10 01 00 08 00 11 00 12 01 00 00 00 01 01 FE FF E0 2E 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string expected = Unhex(c.bytes);
    EXPECT_EQ(Hex(Written(c.make(), c.mode)), Hex(expected));

    // Read back against a template that expects exactly this tree.
    FakeDriverData printer;
    auto original = Owned(c.make());
    if (auto* composite = dynamic_cast<GAttributeComposite*>(original.get()))
      support::UseAsDefaults(printer, static_cast<GAttributeComposite*>(composite->DeepCopy()));
    GFlatSettingsCodec codec;
    auto decoded = Owned(DecodeFlat(codec, kMarker + expected, &printer, c.mode));
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->IsEqualContent(original.get())) << Describe(decoded.get());
  }
}

TEST(FlatRecordGolden, FontListsAreObjectGraphsInATypeTwelveNode) {
  // 0C, V, K 414 = 0x19E, L = 2 + (0E, V 3, the list's object form) + 2;
  // the list (key 416, serial numbers cleared) in the object-graph form of
  // the binary encoding, no key of its own in the record.
  auto lists = Owned(support::BuildFontLists(1));
  lists->ClearSerialNumbers();
  const auto* list = static_cast<GDeviceFontListComposite&>(*lists).FindByKey(416);
  const std::string object =
      testing_support::SaveToStreamBytes(list, testing_support::Encoding::kBinary);
  for (std::uint16_t mode : {kFlatShortNumbers, kFlatLongNumbers}) {
    SCOPED_TRACE(mode);
    const std::string node = (mode == 0 ? Unhex("0E 03 00") : Unhex("0E 03 00 00 00")) + object;
    const std::size_t length = node.size() + 4;
    std::string expected =
        mode == 0 ? Unhex("0C 01 00 9E 01") : Unhex("0C 01 00 00 00 9E 01 00 00");
    expected += static_cast<char>(length & 0xFF);
    expected += static_cast<char>(length >> 8);
    expected += node + '\0';
    support::Encoded encoded = EncodeFlat(lists.get(), mode);
    EXPECT_EQ(encoded.result, 1);
    EXPECT_EQ(Hex(encoded.bytes.substr(20)), Hex(expected));
  }

  // Read back: a list of another class is dropped and the next one read; a
  // list of another version ends the read, keeping what came before.
  const std::string value = testing_support::SaveToStreamBytes(Owned(Value(7, 416)).get(),
                                                               testing_support::Encoding::kBinary);
  struct Case {
    const char* name;
    std::string children;  // and the end byte, when there is one
    std::uint32_t lists;
  };
  const std::string first = Unhex("0E 03 00") + object;
  const Case cases[] = {
      {"two lists", first + first + '\0', 2},
      {"another class", Unhex("0E 03 00") + value + first + '\0', 1},
      {"another version", first + Unhex("0E 02 00") + object + '\0', 1},
      {"no end byte", first, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GFlatSettingsCodec codec;
    auto decoded = Owned(DecodeFlat(codec, kMarker + Unhex("0C 01 00 05 00 00 00") + c.children,
                                    nullptr, kFlatShortNumbers));
    ASSERT_NE(decoded, nullptr);
    // The composite keeps its own key.
    EXPECT_EQ(decoded->Key(), kDeviceFontListsKey);
    EXPECT_EQ(static_cast<GDeviceFontListComposite&>(*decoded).GetCount(), c.lists);
  }
}

TEST(FlatRecordGolden, AKeyCutTo16BitsReadsBackZeroExtended) {
  // 6F 18 00: value 1 under key 0x40000018 in mode 0; a pattern that
  // expects key 24 takes it.
  FakeDriverData printer;
  support::UseAsDefaults(printer, Composite(5, {Value(0, 24)}));
  GFlatSettingsCodec codec;
  auto decoded =
      Owned(DecodeFlat(codec, kMarker + Unhex("01 01 00 05 00 07 00 6F 18 00 00"), &printer, 0));
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(Describe(decoded.get()), "5{24=1}");
}

// The documented template: the driver data's job settings (198), whose
// deep copy is the template's first child:
//   362 { 253=1, 261='A4', 291=r1, 90<258=1>, 4[*10=1, 11=2] }
//   366 { 1102 {}, 940=1 }              printer-wide: locks, encoding
//   360 { 365=1, 366=2, 368=3, 283=4, 361=5 }
//   63 { 64=7 }   701 {}   314 {}   378 {}   276 {}
//   375 { 377=5 }
// The template adds 1101 {}, 0x40000047 { 0 { 377=5, 376='', 1124=0 } },
// 380 { the watermark's 17 children } under 378 and the custom size
// 0x40000019 under 276.
class FlatRecordTemplate : public testing::Test {
 protected:
  void SetUp() override {
    auto* state = new GState(90);
    state->AddChild(Value(1, 258));
    auto* choices = new GEnumAttribute(4);
    choices->AddChild(Value(1, 10));
    choices->AddChild(Value(2, 11));
    GAttributeComposite* job = printer_.GetJobSettings();
    job->AddChild(Composite(362, {Value(1, 253), new GStringAttribute("A4", 261),
                                  new GRangeAttribute(1, 999, 1, 1, 291), state, choices}));
    job->AddChild(Composite(366, {Composite(1102, {}), Value(1, 940)}));
    job->AddChild(Composite(
        360, {Value(1, 365), Value(2, 366), Value(3, 368), Value(4, 283), Value(5, 361)}));
    job->AddChild(Composite(63, {Value(7, 64)}));
    for (std::uint32_t key : {701u, 314u, 378u, 276u})
      job->AddChild(Composite(key, {}));
    job->AddChild(Composite(375, {Value(5, 377)}));
  }

  // Encodes `record` (owned) in `mode` and decodes it with the fixture's
  // codec; "null" when Decode answers null.
  std::string RoundTrip(MPersistentObject* record, std::uint16_t mode) {
    support::Encoded encoded = EncodeFlat(Owned(record).get(), mode);
    return Decoded(encoded.bytes, mode);
  }
  std::string Decoded(const std::string& bytes, std::uint16_t mode) {
    auto tree = Owned(DecodeFlat(codec_, bytes, &printer_, mode));
    return tree ? Describe(tree.get()) : "null";
  }

  FakeDriverData printer_;
  GFlatSettingsCodec codec_;
};

TEST_F(FlatRecordTemplate, RecordChildrenComeFirstThenThePatternsMissingOnes) {
  auto* state = new GState(90);
  state->AddChild(Value(2, 258));
  state->AddChild(Value(3, 258));  // takes the place of the first
  auto* choices = new GEnumAttribute(4);
  choices->AddChild(Value(2, 11));
  struct Case {
    const char* name;
    MPersistentObject* record;
    const char* decoded;
  };
  const Case cases[] = {
      {"merge order", Composite(362, {new GRangeAttribute(1, 999, 1, 7, 291), Value(2, 253)}),
       "362{291=r7,253=2,261='A4',90<258=1>,4[*10=1,11=2]}"},
      // A key the pattern lacks, and a known key of another class.
      {"rejected children",
       Composite(362, {Value(5, 999), new GStringAttribute("x", 253), Value(2, 253)}),
       "362{253=2,261='A4',291=r1,90<258=1>,4[*10=1,11=2]}"},
      // An unknown composite is skipped alone: "Letter" after it is read.
      {"unknown composite skipped",
       Composite(362, {Value(2, 253), Composite(4444, {Value(1, 1), Composite(5, {})}),
                       new GStringAttribute("Letter", 261)}),
       "362{253=2,261='Letter',291=r1,90<258=1>,4[*10=1,11=2]}"},
      {"state replaces", Composite(362, {state}),
       "362{90<258=3>,253=1,261='A4',291=r1,4[*10=1,11=2]}"},
      {"first choice read is current", Composite(362, {choices}),
       "362{4[*11=2,10=1],253=1,261='A4',291=r1,90<258=1>}"},
      {"63 from the pattern only", Composite(63, {Value(9, 64)}), "63{64=7}"},
      {"string parent 701", Composite(701, {new GStringAttribute("x", 5), Value(1, 6)}),
       "701{5='x'}"},
      {"string parent 314", Composite(314, {new GStringAttribute("y", 5), Value(1, 6)}),
       "314{5='y'}"},
      {"anything under 1101", Composite(1101, {Value(3, 9), new GStringAttribute("q", 8)}),
       "1101{9=3,8='q'}"},
      {"1101 anywhere", Composite(362, {Value(4, 1101)}),
       "362{1101=4,253=1,261='A4',291=r1,90<258=1>,4[*10=1,11=2]}"},
      {"not in the template", Composite(4444, {}), "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RoundTrip(c.record, 0), c.decoded);
  }
  EXPECT_EQ(printer_.default_settings_built, 1);
}

TEST_F(FlatRecordTemplate, ModeDecidesThePrinterWideChildrenAndLongKeys) {
  auto series = [] {
    return Composite(360,
                     {Value(9, 365), Value(9, 366), Value(9, 368), Value(9, 283), Value(9, 361)});
  };
  // Mode 0 (device modes): the printer-wide children of 360 come from the
  // pattern, after what the record supplied.
  EXPECT_EQ(RoundTrip(series(), 0), "360{361=9,365=1,366=2,368=3,283=4}");
  EXPECT_EQ(RoundTrip(series(), 1), "360{365=9,366=9,368=9,283=9,361=9}");
  // 0x40000018 is accepted wherever it stands; in mode 0 it is key 24.
  EXPECT_EQ(RoundTrip(Composite(375, {Value(1, 0x40000018)}), 1), "375{1073741848=1,377=5}");
  EXPECT_EQ(RoundTrip(Composite(375, {Value(1, 0x40000018)}), 0), "375{377=5}");
  // The key locks of the printer-wide composite 366: values keyed 0.
  EXPECT_EQ(
      RoundTrip(Composite(366, {Composite(1102, {Value(260, 0), Value(291, 0)}), Value(0, 940)}),
                1),
      "366{1102{0=260,0=291},940=0}");
}

TEST_F(FlatRecordTemplate, TheTemplateIsBuiltOnceWithItsAddedNodes) {
  EXPECT_EQ(codec_.Template(), nullptr);
  // The watermark under 378 is never merged in; a record's is read and
  // completed from the template's.
  EXPECT_EQ(RoundTrip(Composite(378, {}), 0), "378{}");
  EXPECT_EQ(RoundTrip(Composite(378, {Composite(380, {new GStringAttribute("Times", 386)})}), 0),
            "378{380{386='Times',384='',385='',387=0,388=0,389=0,390=20,392=0,393=0,394=0,396=0,"
            "397=0,403=0,398=0,399=0,400=0,1112=0}}");
  EXPECT_EQ(RoundTrip(Composite(276, {}), 0), "276{}");
  EXPECT_EQ(RoundTrip(Composite(276, {new GCustomMediaSize(0, "A", 0, 1, 2, 0x40000019)}), 1),
            "276{1073741849:775}");

  // Nor at any depth: a record without 378 and 276 gets them from the
  // pattern without placeholders, and encodes, decodes and encodes again to
  // the same bytes (361 comes first in 360 both times).
  const auto record = Owned(Composite(198, {Composite(360, {Value(5, 361)})}));
  auto decoded = Owned(DecodeFlat(codec_, EncodeFlat(record.get(), 0).bytes, &printer_, 0));
  const std::string tree = Describe(decoded.get()), once = EncodeFlat(decoded.get(), 0).bytes;
  EXPECT_TRUE(tree.find("378{}") != tree.npos && tree.find("276{}") != tree.npos) << tree;
  auto again_decoded = Owned(DecodeFlat(codec_, once, &printer_, 0));
  EXPECT_EQ(EncodeFlat(again_decoded.get(), 0).bytes, once);

  // Another driver data later changes nothing: one template, built once.
  FakeDriverData other;
  auto again =
      Owned(DecodeFlat(codec_, EncodeFlat(Owned(Composite(63, {})).get(), 0).bytes, &other, 0));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Describe(again.get()), "63{64=7}");
  EXPECT_EQ(printer_.default_settings_built, 1);
  EXPECT_EQ(other.default_settings_built, 0);

  const GAttributeComposite& root = *codec_.Template();
  ASSERT_EQ(root.Children().Count(), 3u);
  EXPECT_EQ(Describe(root.Children().At(1).Get()), "1101{}");
  EXPECT_EQ(Describe(root.Children().At(2).Get()), "1073741895{0{377=5,376='',1124=0}}");
}

TEST(FlatRecordTemplateSteps, MissingNodesAndDriverDataSkipTheirSteps) {
  // No driver data: only 1101.
  GFlatSettingsCodec bare;
  auto quickset = Owned(DecodeFlat(
      bare, EncodeFlat(Owned(Composite(1101, {Value(2, 7)})).get(), 1).bytes, nullptr, 1));
  ASSERT_NE(quickset, nullptr);
  EXPECT_EQ(Describe(quickset.get()), "1101{7=2}");
  EXPECT_EQ(Describe(bare.Template()), "0{1101{}}");
  // Job settings without 375, 378 or 276, and 378 as a leaf.
  FakeDriverData printer;
  printer.GetJobSettings()->AddChild(Value(1, 378));
  GFlatSettingsCodec codec;
  auto decoded =
      Owned(DecodeFlat(codec, EncodeFlat(Owned(Composite(198, {})).get(), 0).bytes, &printer, 0));
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(Describe(decoded.get()), "198{378=1}");
  EXPECT_EQ(Describe(codec.Template()), "0{198{378=1},1101{}}");
}

TEST_F(FlatRecordTemplate, AChildThatCannotBeReadEndsItsParentOnly) {
  // 198 { 362 { 253=2, 261='Letter' }, 360 { 361=9 } } with the type byte
  // of "Letter" made 13 (no reader): 362 skips to its end by its length
  // and keeps 253; 360 is read as usual.
  std::string bytes =
      EncodeFlat(
          Owned(
              Composite(198, {Composite(362, {Value(2, 253), new GStringAttribute("Letter", 261)}),
                              Composite(360, {Value(9, 361)})}))
              .get(),
          0)
          .bytes;
  const std::size_t letter = bytes.find('\x07');
  ASSERT_NE(letter, std::string::npos);
  for (std::uint8_t type : {13, 10, 12, 17, 21, 109, 131}) {
    SCOPED_TRACE(type);
    bytes[letter] = static_cast<char>(type);
    EXPECT_EQ(Decoded(bytes, 0).rfind(
                  "198{362{253=2,261='A4',291=r1,90<258=1>,4[*10=1,11=2]},360{361=9,365=1,366=2,"
                  "368=3,283=4},366{1102{},940=1},63{64=7},",
                  0),
              0u);
  }
}

TEST_F(FlatRecordTemplate, PatternsAreFoundDepthFirstAndKeysRepeatInThem) {
  // 600 inside 362's state comes before the 600 of the job settings; 610
  // and the state 620 hold two children of one key (a value, then a string).
  GAttributeComposite* job = printer_.GetJobSettings();
  job->FindByKey(90)->AddChild(Composite(600, {Value(1, 601)}));
  job->AddChild(Composite(600, {Value(2, 602)}));
  job->AddChild(Composite(610, {Value(2, 611), new GStringAttribute("s", 611)}));
  auto* state = new GState(620);
  state->AddChild(Value(1, 621));
  state->AddChild(new GStringAttribute("s", 621));
  job->AddChild(state);
  struct Case {
    MPersistentObject* record;
    const char* decoded;
  };
  const Case cases[] = {
      {Composite(600, {Value(5, 602)}), "600{601=1}"},
      {Composite(610, {Value(5, 611)}), "610{611=2,611='s'}"},  // the last child's class
      {Composite(610, {new GStringAttribute("t", 611)}), "610{611='t'}"},
      {new GState(620), "620<621=1,621='s'>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoundTrip(c.record, 0), c.decoded);
  // A state read with two strings of one key keeps the second in the
  // first's place (the type byte after the marker made 2).
  std::string bytes =
      EncodeFlat(
          Owned(Composite(620, {new GStringAttribute("a", 621), new GStringAttribute("b", 621)}))
              .get(),
          0)
          .bytes;
  bytes[20] = 2;
  EXPECT_EQ(Decoded(bytes, 0), "620<621='b'>");
}

TEST(FlatRecordModes, OnlyModes0And1ReadOrWrite) {
  std::string block(64, '\x55');
  {
    GPersistentOutputStream stream(block.data(), block.size(), GOSFactory::kBinaryEncoding);
    GFlatSettingsCodec codec;
    auto tree = Owned(Composite(5, {}));
    EXPECT_EQ(codec.Encode(tree.get(), stream.VirtualStream(), &stream, 2), 0);
    EXPECT_EQ(stream.Tell(), 0);
    // A null tree is the marker alone.
    EXPECT_EQ(codec.Encode(nullptr, stream.VirtualStream(), &stream, 1), 1);
    EXPECT_EQ(stream.Tell(), 20);
  }
  const std::string record = kMarker + Unhex("01 01 00 05 00 04 00 00");
  GPersistentInputStream in(record.data(), record.size(), GOSFactory::kBinaryEncoding);
  GFlatSettingsCodec codec;
  EXPECT_EQ(codec.Decode(in.VirtualStream(), &in, nullptr, 7), nullptr);
  EXPECT_EQ(in.Tell(), 0);
  EXPECT_EQ(codec.Template(), nullptr);

  // A marker byte other than 's' answers null.
  std::string bad = record;
  bad[19] = 'a';
  EXPECT_EQ(DecodeFlat(codec, bad, nullptr, 0), nullptr);
  const std::uint8_t letters[20] = {'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a',
                                    'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a', 'a'};
  EXPECT_EQ(GFlatSettingsCodec::IsLetterAMarker(letters), 1);
  EXPECT_EQ(
      GFlatSettingsCodec::IsLetterAMarker(reinterpret_cast<const std::uint8_t*>(kMarker.data())),
      0);
}

TEST(FlatRecordWriter, FailuresCloseEveryOpenNode) {
  struct Case {
    const char* name;
    MPersistentObject* tree;
    const char* bytes;  // after the marker
  };
  auto* state = new GState(90);
  state->AddChild(new GValue32Attribute(1, 2));
  const Case cases[] = {
      // A class without a node type ends the record after 6F 01 00.
      {"no node type", Composite(362, {Value(1, 1), new GValue32Attribute(5, 2), Value(2, 3)}),
       "01 01 00 6A 01 07 00 6F 01 00 00"},
      // The state is closed (L 4), then its parent (L 2 + 8 + 2).
      {"nested", Composite(362, {state, Value(2, 3)}),
       "01 01 00 6A 01 0C 00 02 01 00 5A 00 04 00 00 00"},
      {"top node not a composite", Value(1, 1), ""},
      {"string too long", Composite(5, {new GStringAttribute(RWCString('x', 65535), 1)}),
       "01 01 00 05 00 04 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    support::Encoded encoded = EncodeFlat(Owned(c.tree).get(), 0);
    EXPECT_EQ(encoded.result, 0);
    EXPECT_TRUE(encoded.stream_good);
    EXPECT_EQ(Hex(encoded.bytes.substr(20)), Hex(Unhex(c.bytes)));
  }
  // The longest string that fits a composite of its own: L FF FF, count
  // 65526 = F6 FF; one more character fails the stream through L.
  support::Encoded longest =
      EncodeFlat(Owned(Composite(5, {new GStringAttribute(RWCString('x', 65525), 1)})).get(), 0);
  EXPECT_EQ(longest.result, 1);
  EXPECT_EQ(Hex(longest.bytes.substr(20, 12)), "01 01 00 05 00 FF FF 07 01 00 F6 FF");
  support::Encoded longer =
      EncodeFlat(Owned(Composite(5, {new GStringAttribute(RWCString('x', 65526), 1)})).get(), 0);
  EXPECT_EQ(longer.result, 0);
  EXPECT_FALSE(longer.stream_good);

  // A composite longer than its 16-bit length: 0 and a failed stream.
  auto* big = new GAttributeComposite(5);
  for (std::uint32_t key = 1; key <= 3; ++key)
    big->AddChild(new GStringAttribute(RWCString('y', 30000), key));
  support::Encoded too_long = EncodeFlat(Owned(big).get(), 0);
  EXPECT_EQ(too_long.result, 0);
  EXPECT_FALSE(too_long.stream_good);
  // A block too small.
  support::Encoded small = EncodeFlat(Owned(Composite(5, {Value(1, 1)})).get(), 0, 24);
  EXPECT_EQ(small.result, 0);
  EXPECT_FALSE(small.stream_good);
}

}  // namespace
