// What a sheet's OK costs to store, beside the writes it makes alone. The OK
// of the device sheet stores a chunked value (the installed options, 2,000
// bytes: its count and nine chunks), six small values and the stored
// default device mode (1,172 bytes). Ours: staged through the door in a
// call's transaction and a user's OK, and committed together (before-images
// read, checked under the lock, written, nothing refused). The peer: the
// same writes made directly with the system's calls, in the chunked
// writer's order. Both on the platform's spooler and registry, P1 added
// afresh; the ratio is printed at the end.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/pair_ratios.h"
#include "driver/stored_state.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"

namespace {

using namespace platform;

constexpr std::size_t kOptionsBytes = 2000;
constexpr std::size_t kChunk = 248;
constexpr std::size_t kDevModeBytes = 1172;
constexpr int kSmallValues = 6;

struct Printer {
  HANDLE handle = nullptr;
  std::vector<BYTE> options = std::vector<BYTE>(kOptionsBytes, 0x5A);
  std::vector<BYTE> dev_mode = std::vector<BYTE>(kDevModeBytes, 0);
  std::vector<std::u16string> chunks;

  Printer() {
    ResetHostServices();
    AddPrinter(u"P1");
    const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
    OpenPrinterW(u"P1", &handle, &all);
    dev_mode[kDevModeSizeOffset] = 220;
    dev_mode[kDevModeDriverExtraOffset] = BYTE((kDevModeBytes - 220) & 0xFF);
    dev_mode[kDevModeDriverExtraOffset + 1] = BYTE((kDevModeBytes - 220) >> 8);
    for (std::size_t i = 0; i * kChunk <= kOptionsBytes; ++i)
      chunks.push_back(u"Options:" + std::u16string(1, char16_t(u'0' + i)));
  }
  ~Printer() { ClosePrinter(handle); }

  // The chunked value's writes, as its writer orders them, made by `set`
  // and `remove` (each true when done).
  template <class Set, class Remove>
  void WriteOptions(Set set, Remove remove) {
    remove(u"Options");
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      const std::size_t at = i * kChunk;
      const std::size_t size = std::min(kChunk, kOptionsBytes - at);
      set(chunks[i].c_str(), kRegBinary, options.data() + at, DWORD(size));
    }
    const BYTE count[4] = {BYTE(chunks.size()), 0, 0, 0};
    set(u"Options", kRegDword, count, 4);
  }
};

const char16_t* SmallName(int i) {
  static const char16_t* const kNames[kSmallValues] = {
      u"ExportConfig", u"LastUpdated", u"LastUpdateType", u"RegWriteTestStr", u"Memory", u"Tray2"};
  return kNames[i];
}

void BM_OkCommitted(benchmark::State& state) {
  Printer printer;
  const BYTE small[4] = {1, 0, 0, 0};
  for (auto _ : state) {
    GStoreTransaction call;
    call.Attach();
    GStoredState::SetPrinterData(printer.handle, u"ExportConfig", kRegDword, small, 4);
    call.Detach();
    GStoreTransaction ok(GStoreTransaction::Mode::kUserConfirmed);
    ok.Attach();
    printer.WriteOptions(
        [&](const char16_t* name, DWORD type, const BYTE* bytes, DWORD size) {
          return GStoredState::SetPrinterData(printer.handle, name, type, bytes, size) == 0;
        },
        [&](const char16_t* name) {
          GStoredState::RewritePrinterData(printer.handle, name);
          return GStoredState::DeletePrinterData(RWWString(u"P1"), name) == 0;
        });
    for (int i = 1; i < kSmallValues; ++i)
      GStoredState::SetPrinterData(printer.handle, SmallName(i), kRegDword, small, 4);
    GStoredState::SetStoredDefault(printer.handle, printer.dev_mode.data());
    ok.Detach();
    const auto outcomes = GStoreTransaction::CommitParts(&call, &ok);
    if (outcomes.confirmed != GStoreTransaction::Outcome::kStored) state.SkipWithError("refused");
  }
}
BENCHMARK(BM_OkCommitted);

void BM_OkWritesAlone(benchmark::State& state) {
  Printer printer;
  const BYTE small[4] = {1, 0, 0, 0};
  HKEY key = nullptr;
  RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(u"P1").c_str(), 0, kKeySetValue, &key);
  for (auto _ : state) {
    SetPrinterDataW(printer.handle, u"ExportConfig", kRegDword, small, 4);
    printer.WriteOptions(
        [&](const char16_t* name, DWORD type, const BYTE* bytes, DWORD size) {
          return SetPrinterDataW(printer.handle, name, type, bytes, size) == 0;
        },
        [&](const char16_t* name) { return RegDeleteValueW(key, name) == 0; });
    for (int i = 1; i < kSmallValues; ++i)
      SetPrinterDataW(printer.handle, SmallName(i), kRegDword, small, 4);
    PrinterInfo2W info{};
    info.dev_mode = printer.dev_mode.data();
    SetPrinterW(printer.handle, 2, reinterpret_cast<BYTE*>(&info), 0);
  }
  RegCloseKey(key);
}
BENCHMARK(BM_OkWritesAlone);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv, {{"BM_OkCommitted", "BM_OkWritesAlone"}});
}
