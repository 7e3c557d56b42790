// What the tests of the driver server, the library entry and the entry
// points share: a context that records the entry operations it receives,
// services that make such contexts and point them at a driver data file
// the test writes, and a way to let the module keep-alive's watcher end.
#pragma once

#include <functional>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/driver_context.h"
#include "driver/module_keep_alive.h"
#include "driver/printer_key.h"
#include "foundation/rw/rwstore.h"
#include "output/core/peripheral_composite.h"
#include "persist/persistent_composite.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace driver_testing {

// Contexts alive now, across all tests of a program.
inline std::atomic<int> live_contexts{0};

// A context that records the name of each entry operation it receives and
// answers `answer` from it.
class RecordingContext : public GDriverContext {
 public:
  RecordingContext(const GPrinterKey& key)
      : GDriverData(key.GetPrinterName(), key.GetDriverName(), key.GetPortName()),
        GDriverContext(key.GetPrinterHandle(), key.GetPrinterName(), key.GetDriverName(),
                       key.GetPortName()) {
    ++live_contexts;
  }
  ~RecordingContext() override { --live_contexts; }

  platform::DWORD DrvDeviceCapabilities(platform::HANDLE, const char16_t*, platform::WORD, void*,
                                        const platform::DevModeW*) override {
    return Record("DrvDeviceCapabilities");
  }
  platform::LONG DrvDocumentProperties(platform::HWND, platform::HANDLE, const char16_t*,
                                       platform::DevModeW*, platform::DevModeW*,
                                       platform::DWORD) override {
    return Record("DrvDocumentProperties");
  }
  platform::LONG DrvDocumentPropertySheets(platform::PropSheetUiInfo*, platform::LPARAM) override {
    return Record("DrvDocumentPropertySheets");
  }
  platform::LONG DrvAdvancedDocumentProperties(platform::HWND, platform::HANDLE, const char16_t*,
                                               platform::DevModeW*, platform::DevModeW*) override {
    return Record("DrvAdvancedDocumentProperties");
  }
  platform::BOOL DrvConvertDevMode(const char16_t*, platform::DevModeW*, platform::DevModeW*,
                                   platform::LONG*, platform::DWORD) override {
    return Record("DrvConvertDevMode");
  }
  platform::LONG DrvDevicePropertySheets(platform::PropSheetUiInfo*, platform::LPARAM) override {
    return Record("DrvDevicePropertySheets");
  }
  platform::BOOL PrinterProperties(platform::HWND, platform::HANDLE) override {
    return Record("PrinterProperties");
  }
  platform::BOOL DevQueryPrintEx(platform::DevQueryPrintInfo*) override {
    return Record("DevQueryPrintEx");
  }
  platform::BOOL DrvUpgradePrinter(platform::DWORD, platform::BYTE*) override {
    return Record("DrvUpgradePrinter");
  }
  platform::BOOL DrvPrinterEvent(const char16_t*, int, platform::DWORD, platform::LPARAM) override {
    return Record("DrvPrinterEvent");
  }
  int DrvDocumentEvent(platform::HANDLE, platform::HDC, int, platform::DWORD, void*,
                       platform::DWORD, void*) override {
    return Record("DrvDocumentEvent");
  }
  std::uint32_t RegisterExtension(const char* name, std::uint32_t) override {
    Record("RegisterExtension");
    last_extension = name ? name : "";
    return 0x10000 + answer;
  }
  int FreeMemory() override { return frees_memory; }
  // Runs `on_retarget` first: what a failed allocation there would run.
  void Retarget(const GPrinterKey& key) override {
    if (on_retarget) on_retarget();
    GDriverContext::Retarget(key);
  }

  std::function<void()> on_retarget;
  std::function<void()> on_call;  // run by each entry operation first
  std::vector<std::string> calls;
  std::string last_extension;
  int answer = 7;
  int frees_memory = 0;

 private:
  int Record(const char* name) {
    if (on_call) on_call();
    std::lock_guard<std::mutex> held(calls_lock_);  // a document's events may come on two threads
    calls.push_back(name);
    return answer;
  }
  std::mutex calls_lock_;
};

// The driver data file of the tests: a root composite holding the
// configuration (353, with the printer object 76, whose settings 198 hold
// the string 401 naming "support.dll") and the mappings 191 and 84; 194
// only when asked.
inline void WriteDataFile(const std::string& path, bool with_mappings_194) {
  MPersistentComposite root(1);
  auto* job_settings = new GAttributeComposite(198);
  job_settings->AddChild(new GStringAttribute("support.dll", 401));
  auto* printer_object = new GPeripheralComposite(RWCString(), nullptr, job_settings, 76, 0, 0, 0);
  auto* configuration = new GPeripheralComposite(353);
  configuration->AddChild(printer_object);
  root.AddChild(configuration);
  root.AddChild(new GResourceMappingList(191));
  root.AddChild(new GResourceMappingList(84));
  if (with_mappings_194) root.AddChild(new GResourceMappingList(194));
  GPersistentOutputStream stream(RWWString::FromMultiByte(path.c_str()),
                                 GOSFactory::kBinaryEncoding);
  WriteCollectablePointerToStream(*stream.VirtualStream(), &root);
  stream.VirtualStream()->Flush();
}

// The library's services over the platform's stand-ins, making recording
// contexts whose data file is `data_file` (none for a printer named
// "Missing", whose contexts therefore never load).
class ContextServices : public HostOSFactory {
 public:
  GDriverData* CreateContext(const GPrinterKey& key) override {
    ++contexts_made;
    auto* context = new RecordingContext(key);
    context->on_call = on_call;
    return context;
  }
  RWWString GetDriverDataFile(GDriverData* printer) override {
    if (printer->GetPrinterName() == u"Missing") return RWWString();
    return RWWString::FromMultiByte(data_file.c_str());
  }
  platform::HANDLE GetPrinterHandle(GDriverData* printer) override {
    return GUIOSFactory::GetPrinterHandle(printer);
  }

  std::string data_file;
  std::atomic<int> contexts_made{0};
  std::function<void()> on_call;  // each context's, from its making on
};

// A fixture with a fresh driver server over ContextServices and a data
// file, printers "P1" and "P2" of driver "KV Drv" and "Q1" of driver
// "Other".
class ServerFixture : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    services_ = std::make_unique<ContextServices>();
    services_->data_file = data_file_.str();
    WriteDataFile(data_file_.str(), false);
    for (auto [name, driver] :
         {std::pair{u"P1", u"KV Drv"}, std::pair{u"P2", u"KV Drv"}, std::pair{u"Q1", u"Other"}}) {
      ASSERT_TRUE(platform::AddPrinter(name));
      ASSERT_TRUE(platform::SetPrinterDriver(name, driver, u"LPT1:", u"C:\\Drv\\KV.DAT"));
    }
    server_ = new GDriverServer;
  }
  void TearDown() override {
    delete server_;
    services_.reset();
    EXPECT_EQ(live_contexts.load(), 0);
    HostFixture::TearDown();
  }

  // A key of a printer by name.
  static GPrinterKey* Key(const char16_t* name) { return new GPrinterKey(nullptr, name, 0); }
  static RecordingContext* AsRecording(GDriverData* view) {
    return dynamic_cast<RecordingContext*>(view);
  }

  testing_support::TempPath data_file_{"driverdata"};
  std::unique_ptr<ContextServices> services_;
  GDriverServer* server_ = nullptr;
};

// Lets the module keep-alive's watcher end: the manual clock is moved on a
// period at a time until no watcher runs. The loading thread of the tests
// never ends, so a watcher ends within two periods of an activity; one is
// marked first, because the process's keep-alive outlives the library's
// detach here (a library unloaded for real starts its next load afresh).
inline void DrainKeepAlive() {
  ModuleKeepAlive().MarkActivity();
  for (int i = 0; i < 8 && platform::LiveThreadCount() != 0; ++i) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
    ModuleKeepAlive().SetKeepLoaded(0);
  }
  ASSERT_TRUE(platform::AwaitThreadsIdle());
  EXPECT_EQ(platform::LiveThreadCount(), 0u);
}

}  // namespace driver_testing
