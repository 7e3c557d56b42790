// What the driver data's tests share: typed look-ups and edits of the
// model, the user's country, and raw access to named objects.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "platform/host/registry.h"
#include "services/os_factory.h"
#include "tests/support/printer_fixture.h"

namespace driver_data_testing {

// Sets the value attribute `key` of `in`, adding it when missing.
inline void SetValue(MPersistentObject* in, std::uint32_t key, std::uint16_t value) {
  if (auto* found = FindValueAttribute(in, key)) {
    found->SetValue(value);
  } else {
    in->AddChild(new GValueAttribute(value, key));
  }
}

// A composite of value attributes (key, value).
inline GAttributeComposite* Group(std::uint32_t key,
                                  std::initializer_list<std::pair<std::uint32_t, int>> values) {
  auto* group = new GAttributeComposite(key);
  for (const auto& [k, v] : values)
    group->AddChild(new GValueAttribute(static_cast<std::uint16_t>(v), k));
  return group;
}

// The user's "iCountry" (null: nothing written).
inline void SetUserCountry(const char16_t* country) {
  if (!country) return;
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyExW(platform::kHkeyCurrentUser, u"Control Panel\\International",
                                      0, u"", 0, platform::kKeyAllAccess, nullptr, &key, nullptr),
            0);
  std::u16string text = std::u16string(country) + u'\0';
  platform::RegSetValueExW(key, u"iCountry", 0, platform::kRegSz,
                           reinterpret_cast<const platform::BYTE*>(text.data()),
                           static_cast<platform::DWORD>(2 * text.size()));
  platform::RegCloseKey(key);
}

// The bytes of the named object `name` ("absent" when there is none), and
// writing raw bytes as one.
inline std::string NamedBytes(GDriverData* printer, const char16_t* name) {
  std::string bytes(1 << 20, '\0');
  std::uint32_t got = 0;
  if (!GOSFactory::Instance()->ReadChunkedValue(printer, RWWString(name), bytes.data(),
                                                static_cast<std::uint32_t>(bytes.size()), got)) {
    return "absent";
  }
  return bytes.substr(0, got);
}
inline void PutNamedBytes(GDriverData* printer, const char16_t* name, const std::string& bytes) {
  GOSFactory::Instance()->WriteChunkedValue(printer, RWWString(name), bytes.data(),
                                            static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace driver_data_testing
