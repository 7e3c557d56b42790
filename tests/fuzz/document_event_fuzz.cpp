// Fuzz target of the document events: the input is a run of events, each a
// header of four bytes (the event number, the choice of its record's
// entries, the output size, a blob length) and the blob. Each entry gets
// only what a caller of that event can put there: a device-mode slot null,
// the blob as a device mode (padded so that the caller owns what its
// dmSize + dmDriverExtra claim, as an application would) or the copy last
// handed out; a post event's slot null or that copy; the start-doc slot
// null or a DOCINFOW naming the blob as text; the create-DC names null or
// that text; its bIC word 0 or 1. The events run on one context of printer
// "P1" without driver data and a recording printer device context;
// whatever the records hold, nothing may crash, leak or reach the error
// handler, and a copy handed out is a record its caller may read whole.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the document events' test, which replays the corpus.
#include <algorithm>
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

namespace document_event_fuzz {

// The blob as an application's device mode: at least the four bytes of its
// sizes, then padded to what they claim.
void AsDevMode(std::vector<std::uint8_t>& blob) {
  blob.resize(std::max<std::size_t>(blob.size(), 72), 0);
  const std::size_t claimed = (blob[68] | blob[69] << 8) + (blob[70] | blob[71] << 8);
  blob.resize(std::max(blob.size(), claimed), 0);
}

// What a caller may pass in entry `i` of `event`'s record, chosen by the
// two bits `choice`.
void* EntryFor(int event, std::size_t i, unsigned choice, std::vector<std::uint8_t>& blob,
               platform::DocInfoW& info, void* last_copy) {
  switch (event) {
    case platform::kDocumentEventCreateDcPre:
      if (i == 3) return reinterpret_cast<void*>(std::uintptr_t(choice & 1));  // bIC
      if (i < 2) return choice & 1 ? const_cast<char16_t*>(info.document_name) : nullptr;
      [[fallthrough]];
    case platform::kDocumentEventResetDcPre:
      if (choice == 1) {
        AsDevMode(blob);
        return blob.data();
      }
      return choice == 2 ? last_copy : nullptr;
    case platform::kDocumentEventCreateDcPost:
    case platform::kDocumentEventResetDcPost:
      return choice & 1 ? last_copy : nullptr;
    case platform::kDocumentEventStartDoc:
      return choice & 1 ? &info : nullptr;
    default:  // the other events read no record
      return nullptr;
  }
}

}  // namespace document_event_fuzz

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
    std::u16string text(blob.begin(), blob.begin() + std::min<std::size_t>(length, 40));
    platform::DocInfoW info{20, text.c_str(), (shape & 0x40) ? text.c_str() : nullptr, nullptr, 0};
    std::vector<void*> entries(shape & 3 ? (shape & 3) + 1 : 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      entries[i] =
          document_event_fuzz::EntryFor(event, i, (shape >> (2 + i)) & 3, blob, info, last_copy);
    }
    void* out = nullptr;
    // A caller may say its record is shorter than it is, never longer.
    const platform::DWORD size_in =
        platform::DWORD(entries.size() * sizeof(void*)) - ((shape & 0x80) ? 1 : 0);
    context.DrvDocumentEvent(nullptr, dc, event, entries.empty() ? 0 : size_in,
                             entries.empty() ? nullptr : entries.data(), size_out,
                             size_out ? &out : nullptr);
    if (out) {
      // A copy handed out is read whole by its caller.
      const auto* copy = static_cast<const std::uint8_t*>(out);
      const std::size_t claimed = (copy[68] | copy[69] << 8) + (copy[70] | copy[71] << 8);
      volatile std::uint8_t sink = 0;
      for (std::size_t i = 0; i < claimed; ++i)
        sink = sink + copy[i];
      last_copy = out;
    }
    if (event == 2 || event == 4) last_copy = nullptr;
  }
  context.DrvDocumentEvent(nullptr, dc, 12, 0, nullptr, 0, nullptr);
  platform::DeleteDC(dc);
  return 0;
}
