// The job context the rendering side's tests (and the filters' after them)
// run on: P1 of the printer fixture checked out of the driver server's
// render table as a real job driver data (driver/render/job_driver_data.h)
// on a handle of its own, as the spooler gives the rendering side one, the
// process's font pool made around each test. The local server's forms are
// "Letter" (built-in, form 1, paper 1 through mapping 191) and the user form
// "Custom A" (4 x 6 in, form 2), so the default settings' custom sizes are
// the current one (16384) and "Custom A" (16385). The server owns the job;
// the fixture gives it back when the test ends. The test's thread only.
//
// The jobs are the real job driver data but for the watermark slots 4-6
// (a font kMarkerFont for a description with a text, a GNullCommand keyed
// kMarkerCommand), their services' handle P1's; P1's
// "TempDirectoryLocation", where spools go, is kSpoolParent (SpoolParent()
// on the host).
#pragma once

#include <cstdint>

#include "driver/model_lookup.h"
#include "driver/render/job_driver_data.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {

inline constexpr std::uint32_t kMarkerFont = 0x5EED;
inline constexpr std::uint32_t kMarkerCommand = 0xCAFE;
inline constexpr char16_t kSpoolParent[] = u"C:\\Drv\\Spool";

class JobContextFixture : public PrinterFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // P1's job, checked out on first use (null when it cannot be had), and
  // given back (the next Job() checks one out again).
  GJobDriverData* Job();
  std::uint32_t Cookie() const { return cookie_; }
  void ReleaseJob();
  // Another job (given back with Server()->ReleaseRenderData).
  GJobDriverData* CheckOutJob(std::uint32_t& cookie);
  std::string SpoolParent() const { return HostPath("Spool"); }

  // The 16-bit value `key` of `in` (found by key, else a new direct child)
  // set; a negative `value` removes it. Its value, -1 when missing.
  static void SetValue(GAttributeComposite* in, std::uint32_t key, std::int32_t value);
  static std::int32_t ValueOf(GAttributeComposite* in, std::uint32_t key) {
    GValueAttribute* found = FindValueAttribute(in, key);
    return found ? found->GetValue() : -1;
  }
  // The job settings, the default settings and a part of them by key.
  GAttributeComposite* JobSettings() { return Job()->GetJobSettings(); }
  GAttributeComposite* Defaults() { return Job()->EnsureDefaultSettings(); }
  GAttributeComposite* DefaultsPart(std::uint32_t key) { return FindComposite(Defaults(), key); }

 private:
  platform::HANDLE printer_ = nullptr;  // P1, the jobs' handle
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
};

}  // namespace testing_support
