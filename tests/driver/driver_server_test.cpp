// The driver server: cookies, the check-out road with the driver data file,
// parking and re-targeting, shutting down, memory, the printer key, and
// the reports that end the process.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "platform/host/spooler.h"
#include "services/driver_table.h"
#include "services/lock.h"
#include "tests/driver/context_testing.h"

namespace {

using driver_testing::live_contexts;
using driver_testing::RecordingContext;

class DriverServer : public driver_testing::ServerFixture {};

// A driver data that is nothing but an entry.
class Entry : public RecordingContext {
 public:
  Entry() : GDriverData(u"E"), RecordingContext(GPrinterKey()) {}
};

TEST(DriverTable, CookiesFoldAndStepPastTakenOnes) {
  GDriverTable table;
  Entry a, b, c, d, e;
  struct Case {
    GDriverData* object;
    std::uint32_t first;
    std::uint32_t cookie;
  } cases[] = {
      {&a, 5, 5},                    // free
      {&b, 5, 6},                    // the same fold: the next cookie
      {&c, 0, 1},                    // 0 is never a cookie
      {&d, 0xFFFFFFFF, 0xFFFFFFFF},  // the last one
      {&e, 0xFFFFFFFF, 2},           // wraps past 0 and the taken 1
  };
  for (const Case& k : cases)
    EXPECT_EQ(table.Add(k.object, k.first), k.cookie);
  EXPECT_EQ(table.Entries(), 5u);
  EXPECT_EQ(table.Find(6), &b);
  EXPECT_EQ(table.Find(7), nullptr);
  std::uint32_t cookie = 0;
  ASSERT_TRUE(table.FindCookie(&e, cookie));
  EXPECT_EQ(cookie, 2u);
  EXPECT_EQ(table.Remove(5), &a);
  EXPECT_EQ(table.Remove(5), nullptr);
  EXPECT_EQ(table.Entries(), 4u);
  // 5 + 64 shares 5's bucket: order within the bucket is entry order.
  EXPECT_EQ(table.Add(&a, 5 + 64), 69u);
  EXPECT_EQ(table.Find(69), &a);
  for (std::uint32_t k : {6u, 1u, 0xFFFFFFFFu, 2u, 69u})
    table.Remove(k);
  EXPECT_EQ(GDriverData::MakeCookie(0x12345678), 0x12345678u ^ 0x1234u);
}

TEST_F(DriverServer, ACheckOutBuildsLoadsParksAndReTargets) {
  std::uint32_t first = 0;
  RecordingContext* context = AsRecording(server_->GetContext(Key(u"P1"), first));
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(services_->contexts_made, 1);
  // The first cookie is the folded address (never 0).
  std::uint32_t folded = GDriverData::MakeCookie(static_cast<std::uint32_t>(
      reinterpret_cast<std::uintptr_t>(static_cast<GDriverData*>(context))));
  EXPECT_EQ(first, folded == 0 ? 1u : folded);
  // The data file's parts went to the driver data; 194 was made empty.
  EXPECT_EQ(context->GetJobSettings()->EntryCount(), 1u);
  EXPECT_EQ(context->GDriverDataImp::GetSupportFilePath(), u"support.dll");
  ASSERT_NE(context->GetResourceMappings(), nullptr);
  EXPECT_EQ(dynamic_cast<GResourceMappingList*>(context->GetResourceMappings())->EntryCount(), 0u);
  EXPECT_NE(context->GetPaperSizeMapping(), nullptr);
  EXPECT_NE(context->GetTrayMap(), nullptr);
  EXPECT_EQ(context->GetDriverName(), u"KV Drv");
  EXPECT_EQ(context->GetPortName(), u"LPT1:");
  EXPECT_EQ(server_->FindContext(first), context);
  EXPECT_EQ(server_->ContextCount(), 1u);

  server_->ReleaseContext(first);
  EXPECT_EQ(server_->FindContext(first), nullptr);
  EXPECT_TRUE(server_->HasParkedContext());
  EXPECT_EQ(live_contexts.load(), 1);

  // Another printer of the same driver takes the parked context, re-targeted.
  platform::HANDLE p2 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P2", &p2, nullptr), 1);
  std::uint32_t second = 0;
  EXPECT_EQ(server_->GetContext(new GPrinterKey(p2, u"", 0), second), context);
  EXPECT_EQ(services_->contexts_made, 1);
  EXPECT_FALSE(server_->HasParkedContext());
  EXPECT_EQ(context->GetPrinterName(), u"P2");
  EXPECT_EQ(context->GetPrinterHandle(), p2);
  std::unique_ptr<GPrinterKey> key(context->CreatePrinterKey());
  EXPECT_TRUE(key->IsEqual(std::make_unique<GPrinterKey>(p2, u"P2", u"KV Drv", u"LPT1:", 0).get()));
  platform::ClosePrinter(p2);

  // A printer of another driver builds anew and leaves the parked one.
  server_->ReleaseContext(second);
  std::uint32_t third = 0;
  GDriverData* other = server_->GetContext(Key(u"Q1"), third);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, context);
  EXPECT_EQ(services_->contexts_made, 2);
  EXPECT_TRUE(server_->HasParkedContext());
  // Giving back a second context deletes the one parked before.
  server_->ReleaseContext(third);
  EXPECT_EQ(live_contexts.load(), 1);
  std::uint32_t cookie = 0;
  EXPECT_EQ(server_->FindContextCookie(other, cookie), 0);
}

TEST_F(DriverServer, NoContextWithoutKeyServicesOrDataFile) {
  std::uint32_t cookie = 0;
  EXPECT_EQ(server_->GetContext(nullptr, cookie), nullptr);
  EXPECT_EQ(server_->GetContext(Key(u"Missing"), cookie), nullptr);  // no data file
  EXPECT_EQ(services_->contexts_made, 1);
  testing_support::WriteAll(data_file_.str(), "\x01\x02garbage");
  EXPECT_EQ(server_->GetContext(Key(u"P1"), cookie), nullptr);  // a damaged one
  EXPECT_EQ(live_contexts.load(), 0);
  EXPECT_EQ(server_->ContextCount(), 0u);
  // The services make no render data: the render table stays empty here.
  EXPECT_EQ(server_->GetRenderData(Key(u"P1"), cookie), nullptr);
  GOSFactory::SetInstance(nullptr);
  EXPECT_EQ(server_->GetContext(Key(u"P1"), cookie), nullptr);
  GOSFactory::SetInstance(services_.get());
}

TEST_F(DriverServer, ShuttingDownDeletesWhatComesBack) {
  std::uint32_t a = 0, b = 0;
  ASSERT_NE(server_->GetContext(Key(u"P1"), a), nullptr);
  ASSERT_NE(server_->GetContext(Key(u"P1"), b), nullptr);
  EXPECT_NE(a, b);  // two check-outs of one printer: two contexts
  server_->ReleaseContext(a);
  server_->BeginShutdown();
  EXPECT_TRUE(server_->IsShuttingDown());
  EXPECT_FALSE(server_->HasParkedContext());
  EXPECT_EQ(live_contexts.load(), 1);
  server_->ReleaseContext(b);
  EXPECT_EQ(live_contexts.load(), 0);
  server_->ReleaseContext(12345);  // ignored while shutting down
  // An empty render table ends the shutdown.
  driver_testing::RecordingContext* render = new Entry;
  std::uint32_t cookie = server_->EnterRenderData(render);
  server_->ReleaseRenderData(cookie);
  EXPECT_FALSE(server_->IsShuttingDown());
}

// The out-of-memory handler's way in deletes nothing (it may run under any
// lock): the parked object is let go and deleted at the next safe point.
TEST_F(DriverServer, FreeMemoryLetsTheParkedGoThenAsksTheCheckedOut) {
  EXPECT_EQ(server_->FreeMemory(), 0);
  std::uint32_t a = 0, b = 0;
  ASSERT_NE(server_->GetContext(Key(u"P1"), a), nullptr);
  RecordingContext* kept = AsRecording(server_->GetContext(Key(u"P2"), b));
  server_->ReleaseContext(a);
  EXPECT_EQ(server_->FreeMemory(), 1);  // the parked one
  EXPECT_FALSE(server_->HasParkedContext());
  EXPECT_EQ(live_contexts.load(), 2);
  EXPECT_EQ(server_->FreeMemory(), 0);    // the checked-out one frees nothing
  EXPECT_EQ(server_->DeleteParked(), 0);  // a safe point: nothing parked, one let go
  EXPECT_EQ(live_contexts.load(), 1);
  kept->frees_memory = 1;
  EXPECT_EQ(server_->FreeMemory(), 1);
  server_->ClearTables();
  EXPECT_EQ(live_contexts.load(), 0);
  EXPECT_EQ(server_->ContextCount(), 0u);
}

TEST_F(DriverServer, EightThreadsCheckOutAndGiveBack) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 30;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        std::uint32_t cookie = 0;
        const char16_t* name = (t + i) % 3 == 0 ? u"Q1" : (t % 2 ? u"P1" : u"P2");
        GDriverData* view = server_->GetContext(Key(name), cookie);
        if (!view || server_->FindContext(cookie) != view) {
          ++failures;
          continue;
        }
        server_->ReleaseContext(cookie);
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(server_->ContextCount(), 0u);
  EXPECT_EQ(live_contexts.load(), 1);  // the one parked last
}

TEST_F(DriverServer, PrinterKeys) {
  platform::SpoolerCounters before = platform::GetSpoolerCounters();
  GPrinterKey named(nullptr, u"P1", 0);
  EXPECT_EQ(named.GetPrinterHandle(), nullptr);  // opened and closed again
  EXPECT_EQ(named.GetDriverName(), u"KV Drv");
  platform::SpoolerCounters after = platform::GetSpoolerCounters();
  EXPECT_EQ(after.opens - before.opens, 1u);
  EXPECT_EQ(after.open_handles, before.open_handles);

  GPrinterKey unknown(nullptr, u"Nowhere", 0);
  EXPECT_EQ(unknown.GetPrinterName(), u"Nowhere");
  EXPECT_TRUE(unknown.GetDriverName().IsNull());
  EXPECT_TRUE(unknown.GetPortName().IsNull());
  EXPECT_EQ(unknown.IsSameDriver(std::make_unique<GPrinterKey>().get()), 1);
  EXPECT_EQ(unknown.IsSameDriver(&named), 0);

  platform::HANDLE q1 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"q1", &q1, nullptr), 1);
  GPrinterKey from_handle(q1, u"", 3);  // the spooler's name replaces an empty one
  EXPECT_EQ(from_handle.GetPrinterName(), u"Q1");
  EXPECT_EQ(from_handle.GetPrinterHandle(), q1);

  // Equality compares handle, name, flag, driver and port.
  const GPrinterKey base(q1, u"Q1", u"Other", u"LPT1:", 3);
  struct Case {
    GPrinterKey key;
    std::int32_t equal;
  } cases[] = {
      {{q1, u"Q1", u"Other", u"LPT1:", 3}, 1},  {{nullptr, u"Q1", u"Other", u"LPT1:", 3}, 0},
      {{q1, u"Q1 ", u"Other", u"LPT1:", 3}, 0}, {{q1, u"Q1", u"Other", u"LPT1:", 0}, 0},
      {{q1, u"Q1", u"other", u"LPT1:", 3}, 0},  {{q1, u"Q1", u"Other", u"LPT2:", 3}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.key.IsEqual(&base), c.equal);
  }
  EXPECT_EQ(from_handle.IsEqual(&base), 1);
  platform::ClosePrinter(q1);

  // A record longer than a key's first buffer gives its whole names too.
  for (const std::size_t length : {1u, 3000u}) {
    const std::u16string driver(length, u'D');
    ASSERT_TRUE(platform::SetPrinterDriver(u"P2", driver, u"LPT2:", u"kv.dat"));
    EXPECT_EQ(GPrinterKey(nullptr, u"P2", 0).GetDriverName(), driver.c_str());
  }
}

// Reports: levels 1 and 2 end the process; others return.
TEST(ReportDriverError, LevelsOneAndTwoEndTheProcess) {
  ReportDriverError(0, 7, "here", 1, "");
  ReportDriverError(3, 7, "here", 1, "");
  EXPECT_EXIT(ReportDriverError(kDriverErrorFatal, kErrorUnknownCookie, "drvrsrvr", 432, ""),
              testing::KilledBySignal(SIGABRT), "");
  EXPECT_EXIT(ReportDriverError(kDriverErrorCritical, kErrorOutOfMemory, "x", 1, ""),
              testing::KilledBySignal(SIGABRT), "");
}

// A lock that can be taken once.
class OnceLock : public GLock {
 public:
  std::int32_t Lock() override { return taken_++ == 0 ? 0 : -1; }
  std::int32_t Unlock() override { return 0; }

 private:
  int taken_ = 0;
};

class FailingLockServices : public driver_testing::ContextServices {
 public:
  GLock* CreateLock() override { return fail ? new OnceLock : GUIOSFactory::CreateLock(); }
  bool fail = false;
};

TEST_F(DriverServer, AGivenBackCookieNotCheckedOutEndsTheProcess) {
  EXPECT_EXIT(server_->ReleaseContext(0xBAD), testing::KilledBySignal(SIGABRT), "");
  // A lock that fails while the server shuts down ends the process too,
  // instead of reporting again and again.
  EXPECT_EXIT(
      {
        FailingLockServices failing;
        failing.fail = true;
        GDriverServer* server = new GDriverServer;
        std::uint32_t cookie = 0;
        server->FindContext(cookie);  // the one lock that succeeds
        server->FindContext(cookie);  // 301, then the shutdown fails to lock
      },
      testing::KilledBySignal(SIGABRT), "");
}

}  // namespace
