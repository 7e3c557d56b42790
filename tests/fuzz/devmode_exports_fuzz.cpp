// Fuzz target of the exports that take device-mode records, on printer P1
// (tests/support/printer_fixture.md) through the entry points. Byte 0 picks
// the export, byte 1 its shape (bit 7: the record is first stored as the
// printer's default, else the driver's own default is); the rest is the
// record, allocated with exactly the dmSize + dmDriverExtra bytes it claims
// (at least 72). Every output is allocated with exactly the size its caller
// gives, so that ASan sees a write past it. What comes out must hold: every
// record handed out passes the job query, and converting a whole one gives
// its own bytes back; the job query answers twice the same and ends its
// text inside the buffer; a capability writes as many entries as it counts.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the sheets' test, which replays the corpus (and the device mode's corpus
// through every export) with the fixture's printer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "driver/entry_points.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "driver/services/driver_server.h"
#include "lang/joblang_zdl5/load.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
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
std::uint16_t Word(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void SetDefault(Bytes& record) {
  platform::PrinterInfo2W info{};
  info.dev_mode = record.data();
  platform::SetPrinterW(g_printer, 2, reinterpret_cast<platform::BYTE*>(&info), 0);
}

bool Printable(Bytes& record) {
  char16_t text[64];
  platform::DevQueryPrintInfo info{24, 1, g_printer, Dm(record), text, sizeof text, 0};
  return ::DevQueryPrintEx(&info) == 1;
}

// A record the driver handed out: it prints, and a whole one converts to
// itself.
void CheckOut(Bytes& out) {
  Check(Printable(out));
  if (out.size() < 1172 || Word(out, 70) != 952) return;
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
  SetDefault(shape & 0x80 ? in : own_default);
  switch (road % 5) {
    case 0: {  // document properties: merge, copy, reset
      const platform::DWORD modes[] = {10, 2, 0x100A, 11};
      Bytes out(::DrvDocumentProperties(nullptr, g_printer, kP1, nullptr, nullptr, 0));
      const platform::DWORD mode = modes[shape & 3];
      if (::DrvDocumentProperties(nullptr, g_printer, kP1, Dm(out), Dm(in), mode) == 1 &&
          mode != 0x100A) {
        CheckOut(out);
      }
      break;
    }
    case 1: {  // conversion into an output of the size given
      const platform::LONG sizes[] = {0, 72, 220, 1171, 1172, 1500};
      Bytes out(static_cast<std::size_t>(sizes[shape % 6]));
      std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
      platform::LONG size = sizes[shape % 6];
      if (::DrvConvertDevMode(kP1, Dm(in), Dm(out), &size, shape & 0x40 ? 4 : 1)) CheckOut(out);
      break;
    }
    case 2: {  // the sheet entry without a sheet, the header giving the size
      const platform::DWORD sizes[] = {0, 100, 219, 220, 221, 1171, 1172, 2000};
      const platform::DWORD modes[] = {10, 2, 0x100A};
      Bytes out(sizes[shape & 7]);
      platform::DocumentPropertyHeader header{
          28,     0,       g_printer,        const_cast<char16_t*>(kP1),
          Dm(in), Dm(out), sizes[shape & 7], modes[(shape >> 3) % 3]};
      if (::DrvDocumentPropertySheets(nullptr, reinterpret_cast<platform::LPARAM>(&header)) == 1 &&
          out.size() >= 220 && header.mode != 0x100A) {
        CheckOut(out);
      }
      break;
    }
    case 3: {  // the job query: its count is taken as bytes
      std::vector<char16_t> text(shape / 2);
      platform::DevQueryPrintInfo info{24, 1, g_printer, Dm(in), text.data(), shape, 0};
      const platform::BOOL answer = ::DevQueryPrintEx(&info);
      Check(text.empty() || answer || std::find(text.begin(), text.end(), 0) != text.end());
      Check(Printable(in) == (answer == 1));
      break;
    }
    default: {  // capabilities: the entries counted, then written
      const struct {
        platform::WORD code;
        std::size_t entry;
      } caps[] = {{1, 0},  {2, 2},  {3, 8},  {4, 0},   {5, 0},    {6, 2},
                  {7, 0},  {8, 0},  {9, 0},  {12, 48}, {13, 8},   {16, 128},
                  {17, 0}, {18, 0}, {22, 0}, {32, 0},  {20552, 1}};
      const auto cap = caps[shape % std::size(caps)];
      const platform::DWORD count =
          ::DrvDeviceCapabilities(g_printer, kP1, cap.code, nullptr, Dm(in));
      Bytes out(cap.entry && count != platform::DWORD(-1) ? count * cap.entry : 0);
      Check(::DrvDeviceCapabilities(g_printer, kP1, cap.code, out.empty() ? nullptr : out.data(),
                                    Dm(in)) == count);
      break;
    }
  }
}

}  // namespace devmode_exports_fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The fixture's world for the process: the stand-ins, the services, P1
  // with its forms and a driver server, none of them ever freed.
  DriverLoad();
  JobLanguageLoad();
  platform::ResetHostServices();
  const std::string folder = std::filesystem::temp_directory_path() / "devmode_exports_fuzz";
  std::filesystem::create_directories(folder);
  new HostOSFactory;
  // The model stored as the flat record (the sheets' printer, which replays
  // the corpus, keeps the object-graph form).
  std::unique_ptr<MPersistentComposite> root(testing_support::BuildFixtureDataFile());
  auto* printer = FindOfClass<GPeripheral>(root->FindByKey(353), 76);
  SetValueIfPresent(FindComposite(FindComposite(printer->GetConfiguration(), 359), 366), 940, 1);
  if (!testing_support::InstallFixturePrinter(folder, root.get())) std::abort();
  // The sheets' forms: Letter and A4 where mapping 191 puts them.
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
  using devmode_exports_fuzz::Bytes;
  if (size < 2) return 0;
  std::uint8_t head[72] = {};
  std::memcpy(head, data + 2, std::min<std::size_t>(size - 2, sizeof head));
  Bytes in(
      std::max<std::size_t>(sizeof head, (head[68] | head[69] << 8) + (head[70] | head[71] << 8)));
  std::copy_n(data + 2, std::min(size - 2, in.size()), in.begin());
  devmode_exports_fuzz::Run(data[0], data[1], in);
  return 0;
}
