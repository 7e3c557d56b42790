// Fuzz target of the extension interface: the input scripts one test
// extension whole (12 knob bytes: results, switches, counts; 276
// description bytes, texts need no NUL; map records), which is registered,
// shown to the UI manager and unregistered on ExtensionFuzzTarget (the
// printer fixture's driver data when replayed). Nothing may crash, leak or
// write past a buffer; every answer is a code or the extension's own.
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

// Up to 8 records; a negative count is handed over as it came, items only
// as many as the input holds.
template <class Item>
std::vector<unsigned char> Records(const std::uint8_t* data, std::size_t size,
                                   std::uint16_t& count) {
  static const char kName[] = "Fuzz Device";
  std::vector<unsigned char> bytes;
  for (std::size_t at = count = 0; at < size && count < 8; ++count) {
    const auto wanted = static_cast<std::int8_t>(data[at++]);
    std::vector<Item> items(std::min<std::size_t>(wanted < 0 ? 0 : wanted, (size - at) / 4));
    for (Item& item : items) {
      std::memcpy(&item.code, data + at, 2);
      item.name = at % 3 ? kName : nullptr;
      if constexpr (std::is_same_v<Item, ExtensionBinItem>) {
        item.job_language_name = at % 5 ? kName : nullptr;
      } else {
        std::memcpy(&item.pdl_tray, data + at + 2, 2);
      }
      at += 4;
    }
    testing_support::AppendMapRecord(bytes, count % 3 ? kName : nullptr,
                                     static_cast<std::int16_t>(wanted < 0 ? wanted : items.size()),
                                     items);
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
  TestExtension& e =
      InstallTestExtension(0, u"fuzz.dll", "", "", 0, "fuzz.dll", std::string(64, 's'));
  e.query_result = Result(knobs[0]);
  e.describe_result = Result(knobs[1]);
  e.defaults_result = Result(knobs[2]);
  e.map_result[0] = Result(knobs[3]);
  e.map_result[1] = Result(knobs[4]);
  e.pages_result = Result(knobs[5] & 0x1F);
  e.describes = !(knobs[5] & 0x20), e.null_defaults = knobs[5] & 0x40,
  e.has_defaults = !(knobs[5] & 0x80);
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
