#include "tests/support/job_context.h"

#include "driver/printer_key.h"
#include "driver/services/driver_server.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "platform/host/spooler.h"

namespace testing_support {

void JobContextFixture::SetUp() {
  PrinterFixture::SetUp();
  // In thousandths of a millimetre.
  platform::AddServerForm(u"", platform::kFormBuiltin, u"Letter", 215900, 279400);
  platform::AddServerForm(u"", platform::kFormUser, u"Custom A", 101600, 152400);
  ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &printer_, nullptr), 1);
  GTTFontPool::CreateInstance();
  GJobFontDatabase::CreateLock();
  ASSERT_NE(Job(), nullptr);
}

void JobContextFixture::TearDown() {
  ReleaseJob();
  if (printer_) platform::ClosePrinter(printer_);
  printer_ = nullptr;
  PrinterFixture::TearDown();
  GTTFontPool::DestroyInstance();
  GJobFontDatabase::DestroyLock();
}

GJobDriverData* JobContextFixture::Job() {
  if (!job_) job_ = CheckOutJobDriverData(new GPrinterKey(printer_, kFixturePrinter, 0), cookie_);
  return job_;
}

void JobContextFixture::ReleaseJob() {
  if (job_) Server()->ReleaseRenderData(cookie_);
  job_ = nullptr;
}

void JobContextFixture::SetValue(GAttributeComposite* in, std::uint32_t key, std::int32_t value) {
  if (!in) return;
  if (value < 0) {
    delete in->RemoveByKey(key);
  } else if (GValueAttribute* found = FindValueAttribute(in, key)) {
    found->SetValue(static_cast<std::uint16_t>(value));
  } else {
    in->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  }
}

}  // namespace testing_support
