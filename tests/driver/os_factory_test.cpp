#include "services/os_factory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "persist/persistent_stream.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Hex;

// The driver data is only ever an identity to the services.
GDriverData* const kPrinter = reinterpret_cast<GDriverData*>(0x1000);

TEST(OSFactory, InstallingAndRemovingTheServices) {
  GOSFactory* before = GOSFactory::Instance();
  {
    TestOSFactory outer;
    EXPECT_EQ(GOSFactory::Instance(), &outer);
    {
      TestOSFactory inner;
      EXPECT_EQ(GOSFactory::Instance(), &inner);
    }
    EXPECT_EQ(GOSFactory::Instance(), &outer);
    EXPECT_EQ(outer.GetPathSeparator(), u'\\');
  }
  EXPECT_EQ(GOSFactory::Instance(), before);

  // Services that go while still installed are not left behind.
  auto* services = new TestOSFactory;
  GOSFactory::SetInstance(services);
  delete services;
  EXPECT_EQ(GOSFactory::Instance(), nullptr);
  GOSFactory::SetInstance(before);
}

TEST(OSFactory, StreamsThroughTheServicesPassTheSelectorOn) {
  TestOSFactory installed;
  GOSFactory* services = GOSFactory::Instance();
  char block[32] = {};
  std::unique_ptr<GPersistentOutputStream> out(
      services->NewMemoryOutputStream(block, sizeof block, GOSFactory::kHeaderedBinaryEncoding));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Tell(), 9);
  // The format header, byte by byte: 'e' 's', version 1, little-endian (0),
  // then the sizes of 16-bit, int, long and the two further items.
  EXPECT_EQ(Hex(std::string(block, 9)), "65 73 01 00 02 04 04 02 04");
  out->VirtualStream()->PutUShort(0x0102);
  std::unique_ptr<GPersistentInputStream> in(
      services->NewMemoryInputStream(block, 11, GOSFactory::kHeaderedBinaryEncoding));
  std::uint16_t value = 0;
  in->VirtualStream()->GetUShort(value);
  EXPECT_EQ(value, 0x0102);

  testing_support::TempPath path("drv-services");
  RWWString wide_path = RWWString::FromMultiByte(path.c_str());
  {
    std::unique_ptr<GPersistentOutputStream> file(
        services->NewFileOutputStream(wide_path, GOSFactory::kBinaryEncoding));
    file->VirtualStream()->PutULong(0xCAFE);
  }
  EXPECT_EQ(Hex(testing_support::ReadAll(path.str())), "FE CA 00 00");
  std::unique_ptr<GPersistentInputStream> file(
      services->NewFileInputStream(wide_path, GOSFactory::kBinaryEncoding));
  std::uint32_t number = 0;
  file->VirtualStream()->GetULong(number);
  EXPECT_EQ(number, 0xCAFEu);
  std::unique_ptr<GPersistentOutputStream> none(services->NewMemoryOutputStream(block, 4, 7));
  EXPECT_EQ(none->VirtualStream(), nullptr);
}

TEST(OSFactory, TheModelsNamesReachTheSameServices) {
  TestItemRegistration items;
  TestOSFactory installed;
  installed.now = GTimeRecord{2004, 3, 1, 0, 30, 0, 0, 1};
  installed.module_directory = u"/opt/driver";
  installed.SetMachineString(u"Software\\Kestrova", u"Path", u"C:\\KV");
  GOSFactory* services = GOSFactory::Instance();

  GTimeRecord first, second;
  std::int16_t offset = -1;
  EXPECT_EQ(services->GetCurrentDate(first, second, offset), 1);
  EXPECT_EQ(first.year, 2004);
  EXPECT_EQ(first.month, 3);
  RWWString text;
  EXPECT_EQ(services->GetDriverDirectory(text).Compare(u"/opt/driver"), 0);
  EXPECT_EQ(
      services->ReadMachineString(text, u"Software\\Kestrova", u"Path", u"-").Compare(u"C:\\KV"),
      0);
  EXPECT_EQ(services->ReadUserString(text, u"Software\\Kestrova", u"Path", u"-").Compare(u"-"), 0);
  EXPECT_EQ(services->MachineKeyExists(u"Software\\Kestrova"), 1);
  EXPECT_EQ(services->UserKeyExists(u"Software\\Kestrova"), 0);

  const char data[] = "binary settings";
  EXPECT_EQ(services->SetPrinterDataBinary(kPrinter, u"Blob", data, sizeof data), 1);
  char buffer[64];
  std::uint32_t got = 0;
  EXPECT_EQ(services->GetPrinterDataBinary(kPrinter, u"Blob", buffer, sizeof buffer, got), 1);
  EXPECT_EQ(std::string(buffer, got), std::string(data, sizeof data));

  // Named objects read the encoding from the printer's job settings.
  FakeDriverData printer;
  TestItem item(77);
  EXPECT_NE(services->StoreNamedObject(&printer, RWCString("PhySetting"), &item), 0);
  RWCollectable* loaded = nullptr;
  ASSERT_EQ(services->LoadNamedObject(&printer, u"PhySetting", loaded), 1);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(loaded->IsEqual(&item));
  delete loaded;
  EXPECT_EQ(services->LoadNamedObject(&printer, u"Missing", loaded), 0);
  EXPECT_EQ(loaded, nullptr);
}

}  // namespace
