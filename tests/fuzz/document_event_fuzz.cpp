// Fuzz target of the document events: the input is a run of events, each a
// header of four bytes (the event number, the entries of its record, the
// output size, a blob length) and the blob. An entry is null, the blob, a
// DOCINFOW naming the blob as text, the device-mode copy last handed out,
// or a small number (the bIC word). A blob that is given as a device mode
// is padded so that the caller owns what its dmSize + dmDriverExtra claim,
// as an application would. The events run on one context of printer "P1"
// without driver data and a recording printer device context; whatever the
// records hold, nothing may crash, leak or reach the error handler.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the document events' test, which replays the corpus.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/driver_context.h"
#include "driver/load.h"
#include "platform/ui/device_context.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GDriverContext context(nullptr, u"P1", u"KV Test", u"USB001");
  platform::HDC dc = platform::CreatePrinterDC({});
  void* last_copy = nullptr;
  for (std::size_t at = 0; at + 4 <= size;) {
    const int event = data[at] % 16;
    const std::uint8_t shape = data[at + 1];
    const platform::DWORD size_out = data[at + 2] % 16;
    const std::size_t length = std::min<std::size_t>(data[at + 3], size - at - 4);
    std::vector<std::uint8_t> blob(data + at + 4, data + at + 4 + length);
    at += 4 + length;
    // A device mode's claimed length, zero-padded behind.
    std::size_t claimed = 72;
    if (blob.size() >= 72) claimed = (blob[68] | blob[69] << 8) + (blob[70] | blob[71] << 8);
    blob.resize(std::max(blob.size(), claimed) + 2, 0);
    std::u16string text(blob.begin(), blob.begin() + std::min<std::size_t>(length, 40));
    platform::DocInfoW info{20, text.c_str(), (shape & 0x40) ? text.c_str() : nullptr, nullptr, 0};
    std::vector<void*> entries(shape & 3 ? (shape & 3) + 1 : 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      switch ((shape >> (2 + i)) & 3) {
        case 0:
          entries[i] = nullptr;
          break;
        case 1:
          entries[i] = event == 5 ? static_cast<void*>(&info) : blob.data();
          break;
        case 2:
          entries[i] = last_copy;
          break;
        default:
          entries[i] = reinterpret_cast<void*>(std::uintptr_t(shape >> 7));
          break;
      }
    }
    void* out = nullptr;
    const platform::DWORD size_in =
        platform::DWORD(entries.size() * sizeof(void*)) - ((shape & 0x80) ? 1 : 0);
    context.DrvDocumentEvent(nullptr, dc, event, entries.empty() ? 0 : size_in,
                             entries.empty() ? nullptr : entries.data(), size_out,
                             size_out ? &out : nullptr);
    if (out) last_copy = out;
    if (event == 2 || event == 4) last_copy = nullptr;
  }
  context.DrvDocumentEvent(nullptr, dc, 12, 0, nullptr, 0, nullptr);
  platform::DeleteDC(dc);
  return 0;
}
