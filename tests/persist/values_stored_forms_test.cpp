// Stored forms of the persistent values, associations, configurations,
// version, descriptor and locale records and the library handle: golden
// bytes, round trips in every medium, versions the reader does not know,
// and damaged data (truncation at every byte, seeded byte changes), read
// with the default error handler in force.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "persist/binary_data.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "persist/dynamic_library.h"
#include "persist/locale_info.h"
#include "persist/persistent_association.h"
#include "persist/pmd_version_info.h"
#include "persist/pml_descriptor.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::kAllMedia;
using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using model_testing::Save;
using testing_support::Hex;
using testing_support::Unhex;

template <class T>
std::unique_ptr<MPersistentObject> WithSerial(T* object, std::uint32_t serial) {
  object->SetSerialNumber(serial);
  return std::unique_ptr<MPersistentObject>(object);
}

std::unique_ptr<MPersistentObject> BinaryBytes() {
  auto* bytes = new std::uint8_t[4]{0x00, 0x41, 0xFF, 0x7B};
  return WithSerial(new GBinaryData(bytes, 4, 1, 9), 2);
}

GSelectionString* A4() {
  auto* text = new GSelectionString("A4", 7);
  text->SetSerialNumber(3);
  return text;
}

std::unique_ptr<MPersistentObject> Capabilities10() {
  auto* set = new GCapabilities(0, 10);
  set->SetCapability(0);
  set->SetCapability(9);
  return WithSerial(set, 4);
}

GResourceMapping* MappingValues() {
  auto* mapping = new GResourceMapping(0x12345, 3, -2, 6);
  mapping->SetSerialNumber(5);
  return mapping;
}

std::unique_ptr<MPersistentObject> MappingListValues() {
  auto* list = new GResourceMappingList(5);
  list->AddMapping(MappingValues());
  return WithSerial(list, 8);
}

// One object as both key and value: written once, then referred back to.
std::unique_ptr<MPersistentObject> AssociationShared() {
  GSelectionString* both = A4();
  return WithSerial(new MPersistentAssociation(both, both, 2), 9);
}

std::unique_ptr<MPersistentObject> AssociationListValues() {
  auto* key = new GResourceMapping(1, 2, 3);
  key->SetSerialNumber(11);
  auto* value = new GSelectionString("x", 1);
  value->SetSerialNumber(12);
  auto* association = new MPersistentAssociation(key, value);
  association->SetSerialNumber(13);
  auto* list = new MAssociationList;
  list->AddChild(association);
  return WithSerial(list, 10);
}

std::unique_ptr<MPersistentObject> ConfigurationValues() {
  auto* configuration = new GConfiguration(1);
  auto* mapping = new GResourceMapping;
  mapping->SetSerialNumber(15);
  auto* nested = new GConfiguration(2);
  nested->SetSerialNumber(16);
  configuration->AddChild(mapping);
  configuration->AddChild(nested);
  return WithSerial(configuration, 14);
}

std::unique_ptr<MPersistentObject> VersionValues() {
  auto* info = new GPMDVersionInfo(0x00010002, 0x00030004, 5);
  info->SetValueA(6);
  info->SetValueB(7);
  info->AddLine("x");
  info->AddLine("");
  return WithSerial(info, 17);
}

std::unique_ptr<MPersistentObject> DescriptorValues() {
  auto* descriptor = new GPMLDescriptor(u"Tray", 2);
  descriptor->SetText("on");
  return WithSerial(descriptor, 18);
}

std::unique_ptr<MPersistentObject> LocaleValues() {
  auto* locale = new GLocaleInfo(4);
  locale->SetNumber10(1031);
  locale->SetText6("DEU");
  locale->SetText10(".");
  return WithSerial(locale, 19);
}

std::unique_ptr<MPersistentObject> LibraryNamed() {
  return WithSerial(new GDynamicLibrary(u"KV.DLL"), 20);
}

// A default object of the class, serial number 1.
template <class T>
std::unique_ptr<MPersistentObject> Default() {
  return WithSerial(new T, 1);
}

// The 8-bit string form on a file: the length (u32) and the bytes.
std::string Counted(const std::string& text) {
  char length[16];
  std::snprintf(length, sizeof length, "%02X 00 00 00", static_cast<unsigned>(text.size()));
  return text.empty() ? length : std::string(length) + " " + Hex(text);
}

std::string LocaleDefaultFile() {
  // The numbers of the table, then its texts in the string form.
  std::string file =
      "88 88 00 00 03 00 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
      "01 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00 "
      "01 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 99 01 00 00";
  for (const char* text : {"AM", "PM", "United States", "$", "/", ".", "ENU", ",",
                           "dddd, MMMM dd, yyyy", "M/d/yy", ",", ":"}) {
    file += " " + Counted(text);
  }
  return file;
}

// Golden bytes, from the stored forms. A file holds the magic 0x8888 (u32)
// once, then per new object its class id (u16, little-endian: 4 = 04 00,
// 1008 = F0 03, 1003 = EB 03, 1004 = EC 03, 1005 = ED 03, 771 = 03 03,
// 772 = 04 03, 759 = F7 02, 1051 = 1B 04, 956 = BC 03, 3 = 03 00, 780 =
// 0C 03) and its items: the base part (version 1, key, serial), the class's
// version 1 and its fields in the order of its layout; u32 and u16 items
// little-endian; texts as their length (u32) and bytes, wide texts as their
// length and 16-bit units; a nil reference is FF FF and the number 0, a
// repeated object FF FF and its number (the association is 1, its key
// object 2). The composites put their own version after the composite's
// form (version 1, count, children). The binary stream brackets each object
// as ':' (3A), the class id, '{' (7B) ... '}' (7D), and writes an 8-bit
// text's length twice (the string's own, then the counted string's).
// Portable text writes numbers in decimal with a line feed, a counted
// string in quotes, single bytes in character form (\x00 for an unprintable
// byte, \[ for '{') and the braces as \[ and \].
TEST(ValueStoredForms, GoldenBytesAndRoundTrips) {
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> (*make)();
    std::string file;
    const char* binary = nullptr;
    const char* portable = nullptr;
  };
  const std::string kBase1 = "01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00";
  const Case cases[] = {
      {"binary data, default", &Default<GBinaryData>,
       "88 88 00 00 04 00 " + kBase1 + " 00 00 00 00 00 00 00 00"},
      {"binary data, four bytes", &BinaryBytes,
       "88 88 00 00 04 00 01 00 00 00 09 00 00 00 02 00 00 00 01 00 00 00 04 00 00 00 "
       "01 00 00 00 00 41 FF 7B",
       "3A 04 00 7B 01 00 00 00 09 00 00 00 02 00 00 00 01 00 00 00 04 00 00 00 "
       "01 00 00 00 00 41 FF 7B 7D",
       ":4\n\\[1\n9\n2\n1\n4\n1\n\\x00A\\xff\\[\\]"},
      {"selection string, default", &Default<GSelectionString>,
       "88 88 00 00 F0 03 " + kBase1 + " 00 00 00 00 00 00"},
      {"selection string A4, 7", [] { return std::unique_ptr<MPersistentObject>(A4()); },
       "88 88 00 00 F0 03 01 00 00 00 00 00 00 00 03 00 00 00 01 00 00 00 02 00 00 00 41 34 "
       "07 00",
       "3A F0 03 7B 01 00 00 00 00 00 00 00 03 00 00 00 01 00 00 00 02 00 00 00 02 00 00 00 "
       "41 34 07 00 7D",
       ":1008\n\\[1\n0\n3\n1\n2\n\"A4\"7\n\\]"},
      {"capabilities, default", &Default<GCapabilities>,
       "88 88 00 00 EB 03 " + kBase1 + " 00 00 00 00"},
      {"capabilities, 10 bits, 0 and 9 set", &Capabilities10,
       "88 88 00 00 EB 03 01 00 00 00 00 00 00 00 04 00 00 00 01 00 00 00 0A 00 00 00 01 02"},
      {"mapping, default", &Default<GResourceMapping>,
       "88 88 00 00 EC 03 " + kBase1 + " FF FF FF 0F 00 00 00 00"},
      {"mapping 0x12345, 3, -2", [] { return std::unique_ptr<MPersistentObject>(MappingValues()); },
       "88 88 00 00 EC 03 01 00 00 00 06 00 00 00 05 00 00 00 01 00 00 00 45 23 01 00 03 00 FE FF"},
      {"mapping list, default", &Default<GResourceMappingList>,
       "88 88 00 00 ED 03 " + kBase1 + " 00 00 00 00 01 00 00 00"},
      {"mapping list of one", &MappingListValues,
       "88 88 00 00 ED 03 01 00 00 00 05 00 00 00 08 00 00 00 01 00 00 00 01 00 00 00 "
       "EC 03 01 00 00 00 06 00 00 00 05 00 00 00 01 00 00 00 45 23 01 00 03 00 FE FF "
       "01 00 00 00"},
      {"association, default", &Default<MPersistentAssociation>,
       "88 88 00 00 03 03 " + kBase1 + " FF FF 00 00 00 00 FF FF 00 00 00 00"},
      {"association, one object as key and value", &AssociationShared,
       "88 88 00 00 03 03 01 00 00 00 02 00 00 00 09 00 00 00 01 00 00 00 "
       "F0 03 01 00 00 00 00 00 00 00 03 00 00 00 01 00 00 00 02 00 00 00 41 34 07 00 "
       "FF FF 02 00 00 00"},
      {"association list, default", &Default<MAssociationList>,
       "88 88 00 00 04 03 " + kBase1 + " 00 00 00 00 01 00 00 00"},
      {"association list of one", &AssociationListValues,
       "88 88 00 00 04 03 01 00 00 00 00 00 00 00 0A 00 00 00 01 00 00 00 01 00 00 00 "
       "03 03 01 00 00 00 00 00 00 00 0D 00 00 00 01 00 00 00 "
       "EC 03 01 00 00 00 00 00 00 00 0B 00 00 00 01 00 00 00 01 00 00 00 02 00 03 00 "
       "F0 03 01 00 00 00 00 00 00 00 0C 00 00 00 01 00 00 00 01 00 00 00 78 01 00 "
       "01 00 00 00"},
      {"configuration, default", &Default<GConfiguration>,
       "88 88 00 00 F7 02 " + kBase1 + " 00 00 00 00 01 00 00 00"},
      {"configuration of a mapping and a nested configuration", &ConfigurationValues,
       "88 88 00 00 F7 02 01 00 00 00 01 00 00 00 0E 00 00 00 01 00 00 00 02 00 00 00 "
       "EC 03 01 00 00 00 00 00 00 00 0F 00 00 00 01 00 00 00 FF FF FF 0F 00 00 00 00 "
       "F7 02 01 00 00 00 02 00 00 00 10 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 "
       "01 00 00 00"},
      {"version info, default", &Default<GPMDVersionInfo>,
       "88 88 00 00 1B 04 " + kBase1 +
           " 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00"},
      // versionB (3.4) before versionA (1.2).
      {"version info 1.2, 3.4 with two lines", &VersionValues,
       "88 88 00 00 1B 04 01 00 00 00 00 00 00 00 11 00 00 00 01 00 00 00 04 00 03 00 "
       "02 00 01 00 05 00 06 00 00 00 07 00 00 00 02 00 00 00 01 00 00 00 78 00 00 00 00"},
      {"descriptor, default", &Default<GPMLDescriptor>,
       "88 88 00 00 BC 03 " + kBase1 + " 00 00 00 00 00 00 00 00 00 00 00 00"},
      {"descriptor Tray, 2, on", &DescriptorValues,
       "88 88 00 00 BC 03 01 00 00 00 00 00 00 00 12 00 00 00 01 00 00 00 04 00 00 00 "
       "54 00 72 00 61 00 79 00 02 00 00 00 02 00 00 00 6F 6E",
       "3A BC 03 7B 01 00 00 00 00 00 00 00 12 00 00 00 01 00 00 00 04 00 00 00 "
       "54 00 72 00 61 00 79 00 02 00 00 00 02 00 00 00 02 00 00 00 6F 6E 7D",
       ":956\n\\[1\n0\n18\n1\n4\n84\n114\n97\n121\n2\n2\n\"on\"\\]"},
      {"locale info, default", &Default<GLocaleInfo>, LocaleDefaultFile()},
      {"library handle, default", &Default<GDynamicLibrary>,
       "88 88 00 00 0C 03 " + kBase1 + " 00 00 00 00"},
      {"library handle KV.DLL", &LibraryNamed,
       "88 88 00 00 0C 03 01 00 00 00 00 00 00 00 14 00 00 00 01 00 00 00 06 00 00 00 "
       "4B 00 56 00 2E 00 44 00 4C 00 4C 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MPersistentObject> original = c.make();
    std::string file = Save(original.get(), Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(original->GraphStoreSize(), file.size());
    if (c.binary) {
      EXPECT_EQ(Hex(Save(original.get(), Medium::kBinary)), c.binary);
    }
    if (c.portable) {
      EXPECT_EQ(Save(original.get(), Medium::kPortable), c.portable);
    }

    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(original.get(), medium), medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(back.object->IsEqual(original.get()));
      EXPECT_EQ(Save(back.object, medium), Save(original.get(), medium));
      if (auto* association = dynamic_cast<MPersistentAssociation*>(back.object)) {
        // Held twice, freed once with the association.
        EXPECT_EQ(association->Key(), association->Value());
        EXPECT_EQ(association->Key() ? association->Key()->ReferenceCount() : 1, 1);
      }
      FreeRestored(back.object);
    }
  }
}

// Restored bytes are a block of the object's own, which it frees even when
// the stored flag said the saved bytes were not owned; every byte value
// goes through every medium; no bytes restore as none.
TEST(ValueStoredForms, RestoredBytesBelongToTheObject) {
  static std::uint8_t every[256];
  for (int i = 0; i < 256; ++i)
    every[i] = static_cast<std::uint8_t>(255 - i);
  GBinaryData borrowed(every, 256, 0);
  GBinaryData empty;
  for (Medium medium : kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    Restored back = Restore(Save(&borrowed, medium), medium);
    auto* bytes = dynamic_cast<GBinaryData*>(back.object);
    ASSERT_NE(bytes, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_TRUE(bytes->IsEqual(&borrowed));
    EXPECT_NE(bytes->Data(), every);
    EXPECT_EQ(bytes->OwnsData(), 1u);
    delete bytes;

    back = Restore(Save(&empty, medium), medium);
    bytes = dynamic_cast<GBinaryData*>(back.object);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes->Data(), nullptr);
    EXPECT_EQ(bytes->Size(), 0u);
    delete bytes;
  }
}

// Another class version keeps the fields as constructed and reads nothing
// further of the class; a loaded library handle stays loaded.
TEST(ValueStoredForms, UnknownClassVersionsKeepTheFields) {
  using Make = std::unique_ptr<MPersistentObject> (*)();
  const Make samples[] = {&BinaryBytes,
                          &Capabilities10,
                          &VersionValues,
                          &DescriptorValues,
                          &LocaleValues,
                          &LibraryNamed,
                          [] { return std::unique_ptr<MPersistentObject>(A4()); },
                          [] { return std::unique_ptr<MPersistentObject>(MappingValues()); },
                          &AssociationShared};
  // After the magic (4 bytes), the class id (2) and the base part (12).
  constexpr std::size_t kClassVersionAt = 18;
  for (Make make : samples) {
    std::unique_ptr<MPersistentObject> original = make();
    SCOPED_TRACE(original->ClassId());
    for (std::uint32_t version : {0u, 2u}) {
      std::string bytes = Save(original.get(), Medium::kFile);
      bytes[kClassVersionAt] = static_cast<char>(version);
      Restored back = Restore(bytes, Medium::kFile);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      std::unique_ptr<MPersistentObject> fresh(
          dynamic_cast<MPersistentObject*>(original->CreateDefault()));
      fresh->SetKey(original->Key());
      fresh->SetSerialNumber(original->SerialNumber());
      EXPECT_TRUE(back.object->IsEqual(fresh.get()));
      EXPECT_EQ(Save(back.object, Medium::kFile), Save(fresh.get(), Medium::kFile));
      FreeRestored(back.object);
    }
  }
}

using Sample = std::unique_ptr<MPersistentObject> (*)();
constexpr Sample kDamageSamples[] = {
    &BinaryBytes,   &Capabilities10,        &MappingListValues,   &AssociationShared,
    &VersionValues, &AssociationListValues, &ConfigurationValues, &DescriptorValues,
    &LocaleValues,  &LibraryNamed};

TEST(ValueStoredForms, TruncationAtEveryByteFailsCleanly) {
  for (Sample make : kDamageSamples) {
    std::unique_ptr<MPersistentObject> original = make();
    SCOPED_TRACE(original->ClassId());
    model_testing::ExpectEveryTruncationFails(*original);
  }
}

TEST(ValueStoredForms, RandomByteChangesNeverCrash) {
  std::mt19937 rng(20261214);
  for (Sample make : kDamageSamples) {
    std::unique_ptr<MPersistentObject> original = make();
    model_testing::RestoreRandomFlips(*original, rng, 60);
  }
}

}  // namespace
