// The printer-data store adapter reaches each of the services with its own
// printer, answers what they answer, names objects by number in decimal,
// and fails cleanly without services.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "config/attributes/value_attribute.h"
#include "config/printer_data_store_adapter.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"

namespace {

FakeDriverData g_printers[2];
GDriverData* const kPrinter = &g_printers[0];
GDriverData* const kOtherPrinter = &g_printers[1];

TEST(PrinterDataStoreAdapter, ForwardsWithItsPrinter) {
  TestOSFactory services;
  std::unique_ptr<GPrinterDataStore> store(NewPrinterDataStoreAdapter(kPrinter));
  ASSERT_NE(store, nullptr);
  const RWWString name(u"Value");
  const RWWString none;

  EXPECT_EQ(store->SetDword(name, 7), 1);
  EXPECT_EQ(services.GetPrinterDataDword(kPrinter, name, 0), 7u);
  EXPECT_EQ(services.GetPrinterDataDword(kOtherPrinter, name, 0), 0u);
  EXPECT_EQ(store->GetDword(name, 3), 7u);
  EXPECT_EQ(store->GetDword(RWWString(u"Missing"), 3), 3u);

  EXPECT_EQ(store->SetString(name, RWWString(u"text")), 1);
  RWWString out;
  EXPECT_EQ(&store->GetString(out, name, none), &out);
  EXPECT_EQ(out, RWWString(u"text"));
  EXPECT_EQ(services.GetPrinterDataString(kOtherPrinter, name, none), none);

  const char bytes[] = "\x01\x02\x03";
  EXPECT_EQ(store->SetBinary(RWWString(u"Bin"), bytes, 3), 1);
  char buffer[8] = {};
  std::uint32_t got = 0;
  EXPECT_EQ(store->GetBinary(RWWString(u"Bin"), buffer, sizeof buffer, got), 1);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(std::memcmp(buffer, bytes, 3), 0);

  GValueAttribute value(5, 260);
  EXPECT_NE(store->StoreObject(RWWString(u"Object"), &value), 0);
  EXPECT_NE(store->StoreObjectByNumber(365, &value), 0);
  for (const char16_t* stored : {u"Object", u"365"}) {
    RWCollectable* loaded = nullptr;
    EXPECT_EQ(services.LoadNamedObject(kPrinter, RWWString(stored), loaded), 1);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->IsEqual(&value));
    delete loaded;
    EXPECT_EQ(services.LoadNamedObject(kOtherPrinter, RWWString(stored), loaded), 0);
  }
  RWCollectable* loaded = nullptr;
  EXPECT_EQ(store->LoadObjectByNumber(365, loaded), 1);
  std::unique_ptr<RWCollectable> by_number(loaded);
  EXPECT_TRUE(loaded && loaded->IsEqual(&value));
  EXPECT_EQ(store->LoadObject(RWWString(u"Object"), loaded), 1);
  std::unique_ptr<RWCollectable> by_name(loaded);
  EXPECT_EQ(store->LoadObjectByNumber(366, loaded), 0);
  EXPECT_EQ(loaded, nullptr);

  EXPECT_EQ(GPrinterDataStoreAdapter::NumberName(0), RWWString(u"0"));
  EXPECT_EQ(GPrinterDataStoreAdapter::NumberName(0xFFFFFFFF), RWWString(u"4294967295"));
}

TEST(PrinterDataStoreAdapter, WithoutServicesEverythingFails) {
  ASSERT_EQ(GOSFactory::Instance(), nullptr);
  GPrinterDataStoreAdapter store(kPrinter);
  const RWWString name(u"Value");
  GValueAttribute value(5, 260);
  EXPECT_EQ(store.SetDword(name, 1), 0);
  EXPECT_EQ(store.SetString(name, name), 0);
  EXPECT_EQ(store.SetBinary(name, "x", 1), 0);
  EXPECT_EQ(store.StoreObject(name, &value), 0);
  EXPECT_EQ(store.StoreObjectByNumber(1, &value), 0);
  EXPECT_EQ(store.GetDword(name, 9), 9u);
  RWWString out;
  EXPECT_EQ(store.GetString(out, name, RWWString(u"fallback")), RWWString(u"fallback"));
  std::uint32_t got = 5;
  EXPECT_EQ(store.GetBinary(name, nullptr, 0, got), 0);
  RWCollectable* loaded = &value;
  EXPECT_EQ(store.LoadObject(name, loaded), 0);
  EXPECT_EQ(loaded, nullptr);
}

}  // namespace
