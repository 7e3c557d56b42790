// Fuzz target of the extension interface: the input scripts one test
// extension (tests/support/test_extensions.h) whole:
//   byte 0-5    results of query, describe, defaults, the two maps and
//               get-pages (values above 15 mean 0), and switches
//   byte 6-7    the settings count handed over (any u16; the data holds 64
//               bytes, so counts over 50 are refused unread)
//   byte 8-9    the page counts of the counting and filling calls
//   byte 10     host page records (0-15), 11 the first index
//   then 276 bytes of description (texts need no NUL), then map records:
//   per record a signed count byte and 4 bytes per item (i16 code, u16
//   PDL tray), as many items as the input still holds.
// The extension is registered, shown to the built-in UI manager and
// unregistered on the driver data in ExtensionFuzzTarget (the printer
// fixture's in the replaying test; a bare context otherwise). Nothing may
// crash, leak or write past a buffer, and every answer is a code of the
// interface or the extension's own.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "driver/driver_context.h"
#include "driver/extension_ui_manager.h"
#include "driver/load.h"
#include "tests/support/test_extensions.h"

GDriverDataImp* ExtensionFuzzTarget = nullptr;

namespace {

std::uint16_t Result(std::uint8_t byte) {
  return byte > 15 ? 0 : byte;
}

template <class Item>
std::vector<unsigned char> Records(const std::uint8_t* data, std::size_t size, std::uint16_t& count) {
  std::vector<unsigned char> bytes;
  count = 0;
  static const char kName[] = "Fuzz Device";
  for (std::size_t at = 0; at < size && count < 8; ++count) {
    const auto wanted = static_cast<std::int8_t>(data[at++]);
    const auto items = std::min<std::size_t>(wanted < 0 ? 0 : wanted, (size - at) / 4);
    // A negative count is handed over as it came; items only as many as held.
    const ExtensionDeviceRecord record{count % 3 ? kName : nullptr,
                                       static_cast<std::int16_t>(wanted < 0 ? wanted : items), 0};
    bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&record),
                 reinterpret_cast<const unsigned char*>(&record) + sizeof record);
    for (std::size_t i = 0; i < items; ++i, at += 4) {
      std::int16_t code;
      std::uint16_t pdl;
      std::memcpy(&code, data + at, 2);
      std::memcpy(&pdl, data + at + 2, 2);
      Item item{};
      item.name = i % 2 ? kName : nullptr;
      item.code = code;
      if constexpr (std::is_same_v<Item, ExtensionBinItem>) {
        item.job_language_name = i % 3 ? kName : nullptr;
      } else {
        item.pdl_tray = pdl;
      }
      bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&item),
                   reinterpret_cast<const unsigned char*>(&item) + sizeof item);
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<GDriverContext> own;
  if (!ExtensionFuzzTarget && !own) own.reset(new GDriverContext(nullptr, u"P", u"D", u"X"));
  GDriverDataImp* target = ExtensionFuzzTarget ? ExtensionFuzzTarget : own.get();
  std::uint8_t knobs[12] = {};
  if (size) std::memcpy(knobs, data, std::min<std::size_t>(size, 12));
  using namespace testing_support;
  TestExtension& e = InstallTestExtension(0, u"fuzz.dll", "", "", 0, "fuzz.dll", std::string(64, 's'));
  e.query_result = Result(knobs[0]);
  e.describe_result = Result(knobs[1]);
  e.defaults_result = Result(knobs[2]);
  e.map_result[0] = Result(knobs[3]);
  e.map_result[1] = Result(knobs[4]);
  e.pages_result = Result(knobs[5] & 0x1F);
  e.describes = !(knobs[5] & 0x20), e.null_defaults = knobs[5] & 0x40, e.has_defaults = !(knobs[5] & 0x80);
  e.defaults_count = static_cast<std::uint16_t>(knobs[6] | knobs[7] << 8);
  e.count_reply = knobs[8], e.fill_reply = knobs[9], e.has_pages = e.has_release = true;
  const std::size_t described = std::min<std::size_t>(size > 12 ? size - 12 : 0, 276);
  if (described) std::memcpy(&e.description, data + 12, described);
  const std::size_t rest = size - std::min<std::size_t>(size, 12 + described);
  e.map_records[0] = Records<ExtensionTrayItem>(data + size - rest, rest, e.map_count[0]);
  e.map_records[1] = Records<ExtensionBinItem>(data + size - rest, rest, e.map_count[1]);

  for (std::uint32_t mode : {0u, 1u}) {
    const std::uint32_t code = target->GDriverDataImp::RegisterExtension("fuzz.dll", mode);
    if (code > 15) std::abort();  // the codes, or the extension's own (0-15)
    if (mode == 1) break;
    GUIData host;
    host.driver_data = dynamic_cast<GUIDriverData*>(target);
    host.settings = target->GetDefaultSettings();
    host.page_flags = 1;
    GExtensionUIManager manager;
    manager.Initialize(&host, 0);
    platform::PropSheetPageW pages[15] = {};
    host.pages = pages;
    host.page_count = knobs[10] % 16u;
    manager.Initialize(&host, static_cast<std::int16_t>(knobs[11]));
    char out[8];
    manager.GetSettings(out, sizeof out, "");
    manager.Destroy(&host);
  }
  return 0;
}
