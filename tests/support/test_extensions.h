// Scriptable test extensions: in-process modules of the module table that
// export "KVExt_QueryInterface". Slot s (0 to kTestExtensionSlots - 1) is
// the module `name`; every answer, result and piece of data it hands over
// is settable in its TestExtension, and each call is logged by name
// ("query 0", "describe", "tray map", "bin map", "installed", "removed",
// "defaults", "pages count", "pages fill", "release"). Job table (start
// sets start_mask, get data hands job_data[code]): calls in job_log.
//
// State is process-wide; InstallTestExtension resets a slot. One thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "driver/extension_interface.h"

namespace testing_support {

inline constexpr int kTestExtensionSlots = 5;

struct TestExtension {
  std::uint16_t query_result = 0;
  bool describes = true;
  std::uint16_t describe_result = 0;
  ExtensionDescription description{};
  // By map (0 trays, 1 bins): result, records handed over, record count.
  std::uint16_t map_result[2] = {};
  std::vector<unsigned char> map_records[2];
  std::uint16_t map_count[2] = {};
  bool has_defaults = true;
  std::uint16_t defaults_result = 0;
  std::string defaults;
  std::uint16_t defaults_count = 0;  // the count handed over
  bool null_defaults = false;
  bool has_pages = false;
  void* page_procedure = nullptr;  // of the pages it fills
  std::uint16_t pages_result = 0;
  std::uint16_t count_reply = 0;  // the counting call's count
  std::uint16_t fill_reply = 0;   // the filling call's count
  bool has_release = false;
  std::uint16_t release_result = 0;
  std::uint16_t start_result = 0;
  std::uint32_t start_mask = 0;
  std::map<std::uint32_t, std::string> job_data;
  std::string job_log;
  std::vector<std::string> log;
};

// Adds module `name` serving slot `slot`, described as (identity, name,
// flags, UI module), the other texts "x"; settings `defaults`.
TestExtension& InstallTestExtension(int slot, const std::u16string& module, const char* identity,
                                    const char* name, std::uint32_t flags, const char* ui_module,
                                    const std::string& defaults);
TestExtension& TestExtensionAt(int slot);

// Appends a device record (`count` as handed over) and `items`, laid out
// as an extension hands them over.
template <class Item>
void AppendMapRecord(std::vector<unsigned char>& to, const char* device, std::int16_t count,
                     const std::vector<Item>& items) {
  const ExtensionDeviceRecord record{device, count, 0};
  const auto* at = reinterpret_cast<const unsigned char*>(&record);
  to.insert(to.end(), at, at + sizeof record);
  at = reinterpret_cast<const unsigned char*>(items.data());
  to.insert(to.end(), at, at + items.size() * sizeof(Item));
}

}  // namespace testing_support
