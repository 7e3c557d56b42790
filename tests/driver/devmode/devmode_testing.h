// What the device-mode record's tests share: P1's context with a fresh
// device-mode object per call, hex goldens, and setters of the model, the
// job settings and the cached value.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "driver/devmode/dev_mode_settings.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "output/core/peripheral.h"
#include "platform/host/spooler.h"
#include "tests/support/printer_fixture.h"

namespace devmode_testing {

using Bytes = std::vector<std::uint8_t>;

// "01 04 18 00" -> those bytes.
Bytes Hex(const char* text);
Bytes Cat(std::initializer_list<Bytes> parts);

// Put's value that removes the attribute.
inline constexpr std::int32_t kRemove = -100000;

class DevMode : public testing_support::PrinterFixture {
 protected:
  void SetUp() override;

  std::unique_ptr<GDevModeSettings> Make(platform::HANDLE printer = nullptr) {
    return std::make_unique<GDevModeSettings>(*context_, printer);
  }
  GAttributeComposite* Job() { return context_->GetJobSettings(); }
  // Sets value attribute `key` of `in` (the first found), adds it to `in`
  // when missing, or removes it for kRemove.
  static void Put(MPersistentObject* in, std::uint32_t key, std::int32_t value);
  // Value 339 of the configuration, read again.
  void SetCachedValue(std::uint16_t value);
  static std::uint8_t* Raw(GDevModeSettings& settings) {
    return DevModeBytes(settings.GetDevMode());
  }
  static Bytes RecordOf(GDevModeSettings& settings) {
    return Bytes(Raw(settings), Raw(settings) + kDmRecordSize);
  }
  // Makes `record` P1's default device mode.
  bool SetPrinterDevMode(Bytes& record) {
    platform::PrinterInfo2W info{};
    info.dev_mode = record.data();
    return platform::SetPrinterW(context_->GetPrinterHandle(), 2,
                                 reinterpret_cast<platform::BYTE*>(&info), 0) == 1;
  }

  GDriverContext* context_ = nullptr;
};

}  // namespace devmode_testing
