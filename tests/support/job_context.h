// The job context the rendering side's tests (and the filters' after them)
// run on: P1 of the printer fixture (printer_fixture.h) checked out of the
// driver server's render table as a real job driver data
// (driver/render/job_driver_data.h), with the process's font pool made
// around each test. Settings are changed where the job reads them: by key
// in the job settings, or in a part of the default settings.
//
// Ownership: the server owns the job; the fixture gives it back when the
// test ends. Threads: the test's thread.
#pragma once

#include <cstdint>

#include "driver/render/job_driver_data.h"
#include "tests/support/printer_fixture.h"

class GAttributeComposite;

namespace testing_support {

class JobContextFixture : public PrinterFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // P1's job, checked out on first use (null when it cannot be had).
  GJobDriverData* Job();
  std::uint32_t Cookie() const { return cookie_; }
  // Gives the job back now (the next Job() checks one out again).
  void ReleaseJob();

  // Sets the 16-bit value `key` of `in` (a value attribute found by key,
  // or a new direct child); a negative `value` removes it instead.
  static void SetValue(GAttributeComposite* in, std::uint32_t key, std::int32_t value);
  // The job settings, the default settings and a default settings' part.
  GAttributeComposite* JobSettings();
  GAttributeComposite* Defaults();
  GAttributeComposite* DefaultsPart(std::uint32_t key);
  // The 16-bit value `key` of `in`, -1 when missing.
  static std::int32_t ValueOf(GAttributeComposite* in, std::uint32_t key);

 private:
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
};

}  // namespace testing_support
