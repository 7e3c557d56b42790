// What the import's tests share: the driver's services over the platform's
// stand-ins (our module in "C:\Drv", printer "P1" opened for its driver
// data), the stand-in feature store installed beside our module, a
// settings model built from a compact description, and test converters
// made from the common steps over a feature binding.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_table.h"
#include "config/import/setting_converter.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "support/fake_driver_data.h"
#include "support/fixture_settings.h"
#include "support/test_os_factory.h"
#include "tests/support/fake_feature_store.h"
#include "tests/support/host_fixture.h"

namespace import_test {

using support::Group;
using support::Text;
using support::Value;

// The 16-bit value of the value attribute `key` under `in` (found depth
// first), or -1 when there is none.
inline int ValueOf(MPersistentObject* in, std::uint32_t key) {
  GValueAttribute* value = FindValueAttribute(in, key);
  return value != nullptr ? value->GetValue() : -1;
}

// The direct children of a composite as "key=value" (value attributes),
// "key='text'" (strings) or "key{n}" (composites of n children), joined by
// blanks.
inline std::string Entries(const GAttributeComposite* composite) {
  std::string out;
  const GCountedPtrVector& children = composite->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!out.empty()) out += ' ';
    out += std::to_string(child->Key());
    if (auto* value = dynamic_cast<GValueAttribute*>(child)) {
      out += "=" + std::to_string(value->GetValue());
    } else if (auto* text = dynamic_cast<GStringAttribute*>(child)) {
      out += "='" + std::string(text->GetValue().Data()) + "'";
    } else {
      out += "{" + std::to_string(child->EntryCount()) + "}";
    }
  }
  return out;
}

// A converter that is exactly the common steps over one binding.
template <const GFeatureBinding& kBinding>
class BindingConverter : public GSettingConverter {
 public:
  explicit BindingConverter(GQCFLibrary* store) : GSettingConverter(store) {}
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override {
    return ApplyCommon(root, destination, kBinding);
  }
  std::uint32_t Extract(GAttributeComposite* root) override {
    return ExtractCommon(root, kBinding);
  }
  static GSettingConverter* Make(const GConverterArguments& arguments) {
    return new BindingConverter(arguments.store);
  }
};

class ImportFixture : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    services_.SetModuleHandle(platform::OwnModule());
    ASSERT_TRUE(store_.Install());
    ASSERT_TRUE(platform::AddPrinter(u"P1"));
    platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    ASSERT_EQ(platform::OpenPrinterW(u"P1", &printer_handle_, &all), 1);
    services_.SetContextHandle(&driver_data_, printer_handle_);
  }

  // Starts the host services afresh within a test: our module (at
  // `module_path`) for the services, and the store installed beside it
  // unless `install` is false, lacking `missing`.
  void Restart(bool install = true, std::string_view missing = {},
               const char16_t* module_path = u"C:\\Drv\\UI.DLL") {
    platform::ResetHostServices();
    ASSERT_TRUE(platform::SetOwnModulePath(module_path));
    services_.SetModuleHandle(platform::OwnModule());
    services_.ForgetModuleDirectory();
    if (install) {
      std::u16string directory(module_path);
      directory.resize(directory.rfind(u'\\'));
      ASSERT_TRUE(store_.Install(directory, missing));
    }
  }

  // A printer-data string of "P1" as its bytes, "absent" when missing.
  std::string PrinterData(const char16_t* name) const {
    platform::DWORD type = 0;
    platform::DWORD needed = 0;
    std::string bytes(512, '\0');
    platform::DWORD result = platform::GetPrinterDataW(
        printer_handle_, name, &type, reinterpret_cast<platform::BYTE*>(bytes.data()),
        static_cast<platform::DWORD>(bytes.size()), &needed);
    if (result != 0) return "absent";
    bytes.resize(needed);
    return bytes;
  }
  // Writes a printer-data string of "P1" (no terminator).
  void PutPrinterText(const char16_t* name, std::u16string_view text) {
    ASSERT_EQ(platform::SetPrinterDataW(printer_handle_, name, platform::kRegSz,
                                        reinterpret_cast<const platform::BYTE*>(text.data()),
                                        static_cast<platform::DWORD>(2 * text.size())),
              0u);
  }
  // The same, read as UTF-16 text.
  std::u16string PrinterText(const char16_t* name) const {
    std::string bytes = PrinterData(name);
    if (bytes == "absent") return u"absent";
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return text;
  }

  HostOSFactory services_;
  testing_support::FakeFeatureStore store_;
  FakeDriverData driver_data_{u"P1"};
  platform::HANDLE printer_handle_ = nullptr;
};

}  // namespace import_test
