// Fuzz target of a stored job's name. The input: a flags byte (bit 0 turns
// the printer-font check 1027 on), a length byte n, n bytes of the
// printer font's character map (attribute 1026), then the document name as
// UTF-16 units, little-endian. A job driver data over a model that holds
// just those makes the name; the character operations run on the same
// bytes. Whatever the input, nothing may crash, read outside the map or
// hang, and the name must keep its bounds: at most 16 characters, at most
// 48 bytes of well-formed UTF-8 when checked against the map.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/render/job_driver_data.h"
#include "driver/render/job_name.h"
#include "driver/render/load.h"
#include "output/core/peripheral_composite.h"
#include "platform/text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The configuration (353) of a printer whose job settings hold the map and
// whose default settings hold the check.
GPeripheralComposite* Model(const RWCString& cmap, bool check) {
  auto* defaults = new GAttributeComposite(359);
  defaults->AddChild(new GValueAttribute(check ? 1 : 0, 1027));
  auto* job = new GAttributeComposite(198);
  job->AddChild(new GStringAttribute(cmap, 1026));
  job->AddChild(defaults);
  auto* printer = new GPeripheralComposite(RWCString("Printer"), nullptr, job, 76, 0, 0, 0);
  auto* configuration =
      new GPeripheralComposite(RWCString("Configuration"), nullptr, nullptr, 353, 0, 0, 0);
  configuration->AddChild(printer);
  return configuration;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RenderLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool check = (data[0] & 1) != 0;
  const std::size_t map_length = std::min<std::size_t>(data[1], size - 2);
  const RWCString cmap(reinterpret_cast<const char*>(data + 2), static_cast<RWSize>(map_length));
  std::vector<char16_t> units;
  for (std::size_t i = 2 + map_length; i + 1 < size; i += 2)
    units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const RWWString name(units.data(), static_cast<RWSize>(units.size()));

  for (char16_t unit : units)
    CmapHasChar(unit, cmap);
  AllCharsInCmap(name, cmap);
  RWWString upper = name;
  SanitizeJobNameChars(upper);
  for (bool strict : {false, true}) {
    std::uint8_t bytes[kJobNameUtf8Bytes];
    const char16_t* source = units.data();
    std::uint8_t* target = bytes;
    const int answer =
        ConvertUtf16ToUtf8(source, units.data() + units.size(), target, bytes + sizeof bytes, strict);
    Check(target >= bytes && target <= bytes + sizeof bytes);
    Check(source >= units.data() && source <= units.data() + units.size());
    if (strict && answer == kUtf8Done) Check(source == units.data() + units.size());
    Check(Utf8Length(units.data(), source) >= static_cast<std::size_t>(target - bytes));
  }

  GJobDriverData job(nullptr, u"P", u"D", u"USB001");
  job.SetConfiguration(Model(cmap, check));
  job.SetDocumentName(name);
  const RWCString made = job.MakeJobName();
  Check(job.GetWideJobName().Length() <= 16);
  Check(made.Length() <= kJobNameUtf8Bytes);
  std::u16string wide;
  Check(platform::MultiByteToWide(made.Data(), made.Length(), wide));
  return 0;
}
