// Fuzz target of the exports that take device-mode records, on P1. Byte 0
// picks the export, byte 1 its shape (bit 7: the record is stored as the
// printer's default first); then the record, allocated with the bytes it
// claims, and every output with exactly the size its caller gives. Checked:
// a record handed out passes the job query and a whole one converts to its
// own bytes; asked twice, document properties answer the same; the query's
// text ends in its buffer; a capability writes what it counts. Built by
// clang (model stored as the flat record) and into the sheets' test.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "driver/entry_points.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "lang/joblang_zdl5/load.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "platform/host/modules.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"
#include "support/run_folder.h"
#include "tests/support/printer_fixture.h"

namespace devmode_exports_fuzz {

platform::HANDLE g_printer = nullptr;  // P1 with every right, the caller's
using Bytes = std::vector<std::uint8_t>;
constexpr char16_t kP1[] = u"P1";

void Check(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "devmode_exports_fuzz.cpp:%d: check failed\n", line);
  std::abort();
}
platform::DevModeW* Dm(Bytes& bytes) {
  return bytes.empty() ? nullptr : reinterpret_cast<platform::DevModeW*>(bytes.data());
}

// A record handed out: it prints, and a whole one converts to itself.
void CheckOut(Bytes& out) {
  char16_t text[64];
  platform::DevQueryPrintInfo query{24, 1, g_printer, Dm(out), text, sizeof text, 0};
  Check(::DevQueryPrintEx(&query) == 1);
  if (out.size() < 1172 || out[70] != 0xB8 || out[71] != 0x03) return;  // dmDriverExtra 952
  Bytes again = out;
  platform::LONG size = 1172;
  Check(::DrvConvertDevMode(kP1, Dm(out), Dm(again), &size, 1) == 1 && again == out);
}

void Run(std::uint8_t road, std::uint8_t shape, Bytes& in) {
  static Bytes own_default = [] {
    Bytes record(1172);
    platform::LONG size = 1172;
    ::DrvConvertDevMode(kP1, nullptr, Dm(record), &size, 4);
    return record;
  }();
  platform::PrinterInfo2W info{};
  info.dev_mode = shape & 0x80 ? in.data() : own_default.data();
  platform::SetPrinterW(g_printer, 2, reinterpret_cast<platform::BYTE*>(&info), 0);
  const platform::DWORD modes[] = {10, 2, 0x100A, 11};  // merge, copy, reset, merge and update
  const platform::DWORD mode = modes[shape & 3];
  if (road % 5 == 0) {  // document properties, asked twice
    Bytes out(::DrvDocumentProperties(nullptr, g_printer, kP1, nullptr, nullptr, 0)), again = out;
    const platform::LONG answer =
        ::DrvDocumentProperties(nullptr, g_printer, kP1, Dm(out), Dm(in), mode);
    Check(::DrvDocumentProperties(nullptr, g_printer, kP1, Dm(again), Dm(in), mode) == answer &&
          again == out);
    if (answer == 1 && mode != 0x100A) CheckOut(out);
  } else if (road % 5 == 1) {  // conversion into an output of the size given
    const platform::LONG sizes[] = {0, 72, 220, 1171, 1172, 1500};
    platform::LONG size = sizes[shape % 6];
    Bytes out(in.begin(), in.begin() + std::min<std::size_t>(in.size(), std::size_t(size)));
    out.resize(std::size_t(size));
    if (::DrvConvertDevMode(kP1, Dm(in), Dm(out), &size, shape & 0x40 ? 4 : 1)) CheckOut(out);
  } else if (road % 5 == 2) {  // the sheet entry without a sheet, the header giving the size
    const platform::DWORD sizes[] = {0, 100, 219, 220, 221, 1171, 1172, 2000};
    Bytes out(sizes[shape & 7]);
    platform::DocumentPropertyHeader header{
        28, 0, g_printer, nullptr, Dm(in), Dm(out), sizes[shape & 7], modes[(shape >> 3) & 3]};
    if (::DrvDocumentPropertySheets(nullptr, reinterpret_cast<platform::LPARAM>(&header)) == 1 &&
        out.size() >= 220 && header.mode != 0x100A) {
      CheckOut(out);
    }
  } else if (road % 5 == 3) {  // the job query, its count taken as bytes
    std::vector<char16_t> text(shape / 2);
    platform::DevQueryPrintInfo query{24, 1, g_printer, Dm(in), text.data(), shape, 0};
    Check(::DevQueryPrintEx(&query) || text.empty() ||
          std::find(text.begin(), text.end(), 0) != text.end());
  } else {  // capabilities: the entries counted, then written
    const platform::WORD codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 16, 17, 18, 22, 32, 20552};
    const std::size_t entries[] = {0, 2, 8, 0, 0, 2, 0, 0, 0, 48, 8, 128, 0, 0, 0, 0, 1};
    const platform::WORD code = codes[shape % 17];
    const std::size_t entry = entries[shape % 17];
    const platform::DWORD count = ::DrvDeviceCapabilities(g_printer, kP1, code, nullptr, Dm(in));
    Bytes out(entry && count != platform::DWORD(-1) ? count * entry : 0);
    Check(::DrvDeviceCapabilities(g_printer, kP1, code, out.empty() ? nullptr : out.data(),
                                  Dm(in)) == count);
  }
}

}  // namespace devmode_exports_fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The sheets' world, for the process: the stand-ins, the services, P1 with
  // Letter and A4 where mapping 191 puts them, and a driver server.
  DriverLoad();
  JobLanguageLoad();
  platform::ResetHostServices();
  // P1's files in a folder of the run's own (two runs at once must not
  // share a printer file), removed when the run ends.
  static const support::RunFolder folder("devmode_exports_fuzz");
  new HostOSFactory;
  std::unique_ptr<MPersistentComposite> root(support::BuildFixtureDataFile());
  auto* printer = FindOfClass<GPeripheral>(root->FindByKey(353), 76);
  SetValueIfPresent(FindComposite(FindComposite(printer->GetConfiguration(), 359), 366), 940, 1);
  if (!support::InstallFixturePrinter(folder.Path(), root.get())) std::abort();
  platform::AddServerForm(u"", 1, u"Letter", 215900, 279400);
  for (const char16_t* filler : {u"F2", u"F3", u"F4", u"F5", u"F6", u"F7", u"F8"})
    platform::AddServerForm(u"", 1, filler, 1000, 1000);
  platform::AddServerForm(u"", 1, u"A4", 210000, 297000);
  new GDriverServer;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  platform::OpenPrinterW(u"P1", &devmode_exports_fuzz::g_printer, &all);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::uint8_t head[72] = {};  // the record's sizes at 68 and 70
  std::memcpy(head, data + 2, std::min<std::size_t>(size - 2, sizeof head));
  devmode_exports_fuzz::Bytes in(
      std::max<std::size_t>(sizeof head, (head[68] | head[69] << 8) + (head[70] | head[71] << 8)));
  std::copy_n(data + 2, std::min(size - 2, in.size()), in.begin());
  devmode_exports_fuzz::Run(data[0], data[1], in);
  // The module loads an input made are logged for tests to read; kept, the
  // log grows with every input until its bound, and libFuzzer, seeing each
  // input leave memory behind, stops its leak check after a few thousand.
  platform::ClearModuleLog();
  return 0;
}
