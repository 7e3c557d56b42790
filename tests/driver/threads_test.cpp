// Eight threads on two printers' data through one services object: chunked
// values and named objects of their own, and numbers they share.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"

namespace {

class Threads : public testing_support::HostFixture {};

TEST_F(Threads, EightThreadsOnTwoPrinters) {
  ASSERT_TRUE(platform::AddPrinter(u"P1"));
  ASSERT_TRUE(platform::AddPrinter(u"P2"));
  HostOSFactory services;
  FakeDriverData p1(u"P1"), p2(u"P2");
  GDriverData* const printers[2] = {&p1, &p2};
  // P2's context holds a handle; P1's is opened by each operation.
  platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  platform::HANDLE context = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P2", &context, &all), 1);
  services.SetContextHandle(&p2, context);
  // The threads race to fill the module directory's cache.
  services.SetModuleHandle(platform::OwnModule());

  constexpr int kThreads = 8;
  constexpr int kRounds = 40;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      GDriverData* printer = printers[t % 2];
      std::u16string suffix(1, static_cast<char16_t>(u'A' + t));
      RWWString value_name = RWWString(u"Value") + RWWString(suffix.c_str());
      RWWString object_name = RWWString(u"Object") + RWWString(suffix.c_str());
      for (int round = 0; round < kRounds; ++round) {
        // Lengths across the chunk boundaries, growing and shrinking.
        std::string data((round * 97 + t * 31) % 1300, static_cast<char>('a' + t));
        if (!services.WriteChunkedValue(printer, value_name, data.data(),
                                        static_cast<std::uint32_t>(data.size()))) {
          ++failures;
        }
        std::vector<char> back(1488);
        std::uint32_t got = 0;
        if (!services.ReadChunkedValue(printer, value_name, back.data(), 1488, got) ||
            std::string(back.data(), got) != data) {
          ++failures;
        }

        GCountedPtr root(new GAttributeComposite(362));
        auto& composite = static_cast<GAttributeComposite&>(*root.Get());
        for (int i = 0; i <= round % 5; ++i)
          composite.AddChild(new GValueAttribute(static_cast<std::uint16_t>(round), 253 + i));
        if (!services.StoreNamedObject(printer, object_name, root.Get())) ++failures;
        std::unique_ptr<RWCollectable> loaded(services.LoadNamedObject(printer, object_name, 0));
        auto* object = dynamic_cast<MPersistentObject*>(loaded.get());
        if (!object || !object->IsEqualContent(root.Get())) ++failures;

        // A number every thread of the printer writes: some thread's value.
        services.SetPrinterDataDword(printer, u"Shared", static_cast<std::uint32_t>(t));
        if (services.GetPrinterDataDword(printer, u"Shared", 99) >= kThreads) ++failures;
        if (services.GetModuleDirectory().IsNull()) ++failures;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(platform::ClosePrinter(context), 1);
  EXPECT_EQ(platform::GetSpoolerCounters().open_handles, 0u);
}

// One writer stores two values of a named object in turn, of one chunk and
// of four, while three readers load it: each load is one of the two whole,
// never a mix, never nothing.
TEST_F(Threads, ReadersOfANamedObjectMeetTheOldValueOrTheNew) {
  ASSERT_TRUE(platform::AddPrinter(u"P1"));
  HostOSFactory services;
  FakeDriverData printer(u"P1");
  GAttributeComposite values[2] = {GAttributeComposite(365), GAttributeComposite(365)};
  for (std::uint16_t key = 1; key <= 90; ++key) {
    if (key <= 4) values[0].AddChild(new GValueAttribute(64, key));
    values[1].AddChild(new GValueAttribute(128, key));
  }
  ASSERT_EQ(services.StoreNamedObject(&printer, u"365", &values[0]), 1);
  std::atomic<int> torn{0}, round{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (round.load() < 400) {
        std::unique_ptr<RWCollectable> loaded(services.LoadNamedObject(&printer, u"365", 0));
        auto* object = dynamic_cast<MPersistentObject*>(loaded.get());
        torn +=
            !object || !(object->IsEqualContent(&values[0]) || object->IsEqualContent(&values[1]));
      }
    });
  }
  for (; round < 400; ++round)
    EXPECT_EQ(services.StoreNamedObject(&printer, u"365", &values[round % 2]), 1);
  for (std::thread& reader : readers)
    reader.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
