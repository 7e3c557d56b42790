// Eight jobs on eight threads check job driver data out of the driver
// server's render table, find them by cookie, prepare and name them and
// give them back, while the printer's context stays checked out and in
// use on the test's thread; the font pool is purged whenever the last job
// goes. Run under ThreadSanitizer too (README).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "driver/printer_key.h"
#include "driver/services/driver_server.h"
#include "tests/support/job_context.h"

namespace {

using testing_support::JobContextFixture;

class RenderThreadsTest : public JobContextFixture {};

TEST_F(RenderThreadsTest, JobsComeAndGoWhileTheContextIsInUse) {
  GDriverContext* context = DriverData();
  ASSERT_NE(context, nullptr);
  constexpr int kThreads = 8;
  constexpr int kRounds = 12;
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::vector<std::thread> jobs;
  for (int t = 0; t < kThreads; ++t) {
    jobs.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        std::uint32_t cookie = 0;
        GJobDriverData* job =
            CheckOutJobDriverData(new GPrinterKey(nullptr, testing_support::kFixturePrinter, 0),
                                  cookie);
        if (!job || Server()->FindRenderData(cookie) != job || job->GetJobCookie() != cookie) {
          ++failures;
          continue;
        }
        job->SetDocumentName(RWWString(u"job") + RWWString(char16_t(u'a' + t)));
        const RWCString name = job->MakeJobName();
        if (!(name == RWCString("JOB") + RWCString(char('A' + t)))) ++failures;
        Server()->ReleaseRenderData(cookie);
      }
    });
  }
  // The sheet's side: the context's model read over and over meanwhile.
  std::int32_t reads = 0;
  std::thread sheet([&] {
    while (!done.load()) {
      reads += context->GetCachedValue();
      context->IsNameNotListed("Courier PS");
    }
  });
  for (std::thread& job : jobs)
    job.join();
  done = true;
  sheet.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Server()->RenderCount(), 0u);
  EXPECT_GE(reads, 0);
}

}  // namespace
