#include "tests/support/job_context.h"

#include <sys/stat.h>

#include "driver/printer_key.h"
#include "driver/render/load.h"
#include "filters/watermark_description.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "output/commands/null_command.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"

namespace testing_support {

using support::kFixturePrinter;

namespace {

class MarkedJobDriverData : public GJobDriverData {
 public:
  MarkedJobDriverData(platform::HANDLE printer, const RWWString& name, const RWWString& driver,
                      const RWWString& port)
      : GDriverData(name, driver, port), GJobDriverData(printer, name, driver, port) {}

  // As the real job's: no text, no font.
  std::uint32_t CreateWatermarkFont(const GWatermarkDescription* description, const GSize16&,
                                    std::int32_t*) override {
    return description && description->text.Length() != 0 ? kMarkerFont : 0;
  }
  void ReleaseWatermarkFont(std::uint32_t* font) override { *font = 0; }
  GCommand* MakeWatermarkCommand(RWWString, std::uint32_t, std::int32_t, const GRGBColor*, GMedia*,
                                 std::uint32_t) override {
    return new GNullCommand(nullptr, kMarkerCommand);
  }
};

}  // namespace

void JobContextFixture::SetUp() {
  RenderLoad();  // a second load (in the rendering side's tests) is counted
  PrinterFixture::SetUp();
  // In thousandths of a millimetre.
  platform::AddServerForm(u"", platform::kFormBuiltin, u"Letter", 215900, 279400);
  platform::AddServerForm(u"", platform::kFormUser, u"Custom A", 101600, 152400);
  platform::PrinterDefaultsW every_right{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &printer_, &every_right), 1);
  GTTFontPool::CreateInstance();
  GJobFontDatabase::CreateLock();
  ASSERT_NE(Job(), nullptr);
  ASSERT_EQ(::mkdir(SpoolParent().c_str(), 0700), 0);
  ASSERT_TRUE(Services().SetPrinterDataString(Job(), u"TempDirectoryLocation", kSpoolParent));
}

void JobContextFixture::TearDown() {
  ReleaseJob();
  if (printer_) platform::ClosePrinter(printer_);
  printer_ = nullptr;
  PrinterFixture::TearDown();
  GTTFontPool::DestroyInstance();
  GJobFontDatabase::DestroyLock();
  RenderUnload();
}

GJobDriverData* JobContextFixture::Job() {
  if (!job_) job_ = CheckOutJob(cookie_);
  return job_;
}

GJobDriverData* JobContextFixture::CheckOutJob(std::uint32_t& cookie) {
  GJobDriverData* job = CheckOutJobDriverData(new GPrinterKey(printer_, kFixturePrinter, 0), cookie,
                                              &MakeJobDriverDataOf<MarkedJobDriverData>);
  if (job) Services().SetContextHandle(job, printer_);
  return job;
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
