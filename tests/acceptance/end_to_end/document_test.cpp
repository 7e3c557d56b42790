// A document printed on P1 with the record the user's document sheet
// leaves (landscape Letter, "Envelope" paper type, duplex off), driven as
// the spooler and GDI drive it: every event through the DrvDocumentEvent
// export, on a recording printer device context of the host. Expected
// bytes are written by hand; the comments say where each comes from.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/entry_points.h"
#include "platform/host/modules.h"
#include "platform/host/printer_interface.h"
#include "platform/host/threads.h"
#include "platform/host/version_info.h"
#include "platform/ui/device_context.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kRecordBytes = kAcceptanceRecordBytes;
constexpr int kEscapeBase = 0x303EB800;  // the private escapes 0x303EB8E7 to F9
// Invented for this test (README): the machine's names and the program.
constexpr char16_t kProgram[] = u"C:\\Apps\\WRITER.EXE";

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// References held on our own module: the host's and the loader's (idle),
// and the keep-alive's while its watcher pins the library.
constexpr std::uint32_t kIdleReferences = 2;
std::uint32_t OwnReferences() {
  return platform::GetModuleCounters(platform::kDefaultOwnModulePath).references;
}

class Document : public AcceptancePrinter {
 protected:
  // The record scenario (a) leaves, made through the exports: the default
  // record with landscape (a public field) merged in, and the paper type,
  // which no public field carries, chosen on the Paper page of a short
  // sheet run. Duplex stays off, so no box comes.
  Bytes SheetRecord() {
    auto* properties = Entry<decltype(DrvDocumentProperties)>("DrvDocumentProperties");
    Bytes in(kRecordBytes), out(kRecordBytes);
    EXPECT_EQ(
        properties(nullptr, Printer(), kFixturePrinter, Record(in), nullptr, platform::kDmModeCopy),
        1);
    in[76] = 2, in[77] = 0;  // dmOrientation: DMORIENT_LANDSCAPE
    OnSheet([](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(2));                      // Paper (Finishing, Effects, Paper, ...)
      EXPECT_TRUE(sheet.page().SelectData(11582, 11120));  // "Envelope"
      sheet.ok();
    });
    EXPECT_EQ(properties(nullptr, Printer(), kFixturePrinter, Record(out), Record(in),
                         platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify),
              1);
    return out;
  }
  static platform::DevModeW* Record(Bytes& bytes) {
    return reinterpret_cast<platform::DevModeW*>(bytes.data());
  }
  int Event(platform::HDC dc, int event, std::vector<void*> in = {}, void** out = nullptr) {
    return Entry<decltype(DrvDocumentEvent)>("DrvDocumentEvent")(
        Printer(), dc, event, platform::DWORD(in.size() * sizeof(void*)),
        in.empty() ? nullptr : in.data(), out ? sizeof(void*) : 0, out);
  }
  // Lets the keep-alive's watcher run `periods` of its periods.
  static void Periods(int periods) {
    for (int i = 0; i < periods; ++i) {
      ASSERT_TRUE(platform::AwaitThreadsIdle());
      platform::AdvanceWaitClock(500);
    }
    ASSERT_TRUE(platform::AwaitThreadsIdle());
  }
};

TEST_F(Document, PrintedWithTheSheetsRecord) {
  ASSERT_TRUE(SetMachineText(u"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                             u"ComputerName", u"KVPC7"));
  ASSERT_TRUE(SetMachineText(u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                             u"DefaultDomainName", u"KVCORP"));
  platform::SetHostProgramPath(kProgram);
  platform::SetFileVersionData(kProgram,
                               {{{0x0409, 0x04B0}},
                                {{u"\\StringFileInfo\\040904b0\\FileDescription", u"Writer"},
                                 {u"\\StringFileInfo\\040904b0\\ProductName", u"Office"},
                                 {u"\\StringFileInfo\\040904b0\\ProductVersion", u"1.0"}}});
  Bytes record = SheetRecord();
  // Landscape, and simplex (DMDUP_SIMPLEX 1: attribute 253 = 0).
  EXPECT_EQ(Bytes(record.begin() + 76, record.begin() + 78), (Bytes{0x02, 0x00}));
  EXPECT_EQ(Bytes(record.begin() + 94, record.begin() + 96), (Bytes{0x01, 0x00}));
  EXPECT_EQ(ui.Boxes().size(), 0u);

  platform::HDC dc = platform::CreatePrinterDC({});
  // Create-DC (driver, device, record, bIC 0): a copy of the whole record,
  // stamped in its private header at 256 with the application flags (0: no
  // flags library beside ours) and at 260 with the bias 300 (0x12C); the
  // format version 4 at 262 stays.
  void* copy = nullptr;
  std::u16string driver(kFixtureDriver), device(kFixturePrinter);
  ASSERT_EQ(Event(dc, platform::kDocumentEventCreateDcPre,
                  {driver.data(), device.data(), record.data(), nullptr}, &copy),
            1);
  ASSERT_NE(copy, nullptr);
  const auto* bytes = static_cast<const std::uint8_t*>(copy);
  Bytes copied(bytes, bytes + kRecordBytes);
  EXPECT_EQ(Bytes(copied.begin() + 256, copied.begin() + 264),
            (Bytes{0x00, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x04, 0x00}));
  // The rest of the 1172 bytes (dmSize 220 + dmDriverExtra 952) as given.
  for (std::size_t at : {256, 257, 258, 259, 260, 261})
    copied[at] = record[at];
  EXPECT_EQ(copied, record);
  EXPECT_EQ(Event(dc, platform::kDocumentEventCreateDcPost, {copy}), 1);

  // The module stays loaded while the device context is open.
  Periods(3);
  EXPECT_EQ(OwnReferences(), kIdleReferences + 1);

  // Start-doc: job accounting (user, computer, domain, job id), then the
  // system, program and application records, the program's file name and
  // the port, each text with its NUL. The user "User" is sanitised to upper
  // case; the system 5.1 build 2600 on NT gives no "WinNT Kernel;".
  platform::DocInfoW info{20, u"Letter", nullptr, nullptr, 0};
  EXPECT_EQ(Event(dc, platform::kDocumentEventStartDoc, {&info}), 1);
  EXPECT_EQ(Event(dc, platform::kDocumentEventStartDocPost), 0);
  for (int page = 0; page < 2; ++page) {
    EXPECT_EQ(Event(dc, platform::kDocumentEventStartPage), 1);
    EXPECT_EQ(Event(dc, platform::kDocumentEventEndPage), 1) << page;
  }
  // End-doc: 253 = 0, so no manual-duplex record. No page drew a
  // watermark: the job's watermark settings (364 -> 379) name none (383 is
  // empty).
  EXPECT_EQ(Event(dc, platform::kDocumentEventEndDoc), 1);
  EXPECT_EQ(Event(dc, platform::kDocumentEventEndDocPost), 0);
  EXPECT_EQ(Event(dc, platform::kDocumentEventDeleteDc), 0);
  // The context is given back: a further event finds none.
  EXPECT_EQ(Event(dc, platform::kDocumentEventStartPage), -1);

  const struct {
    int code;
    Bytes bytes;  // empty: only the length is fixed
  } sent[] = {
      {0xEF, Text("USER")},
      {0xEC, Text("KVPC7")},
      {0xEB, Text("KVCORP")},
      {0xF1, {}},
      {0xF0,
       {0x4F, 0x53, 0x20, 0x49, 0x6E, 0x66, 0x6F, 0x3A, 0x20, 0x35, 0x2E, 0x31, 0x3B, 0x32, 0x36,
        0x30, 0x30, 0x3B, 0x00}},
      {0xE7, Text("Writer")},
      {0xE9, Text("Application Info: Writer;Office;1.0;")},
      {0xF9, Text("WRITER.EXE")},
      {0xE8, Text("USB001")},
  };
  std::vector<platform::DcEvent> log = platform::DeviceContextLog(dc);
  ASSERT_EQ(log.size(), std::size(sent));
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].call, platform::DcCall::kEscape) << i;
    EXPECT_EQ(log[i].code, kEscapeBase + sent[i].code) << i;
    if (!sent[i].bytes.empty()) {
      EXPECT_EQ(log[i].bytes, sent[i].bytes) << i;
    }
  }
  // The job id: 36 characters of a UUID's text and a NUL.
  EXPECT_EQ(log[3].bytes.size(), 37u);
  EXPECT_EQ(log[3].bytes.back(), 0);

  // Idle again: the watcher lets the library go within two periods and ends.
  Periods(2);
  EXPECT_EQ(OwnReferences(), kIdleReferences);
  EXPECT_EQ(platform::LiveThreadCount(), 0u);
  platform::DeleteDC(dc);
}

}  // namespace
