// Fuzz target of a stored job's name. The input: a flags byte (bit 0 turns
// the printer-font check 1027 on), a length byte n, n bytes of the printer
// font's character map (1026), then the document name as UTF-16 units,
// little-endian. A job driver data over a model holding just those makes
// the name (through the map and the UTF-8 conversion). Nothing may
// crash, read outside the map or hang, and the name keeps its bounds: at
// most 16 characters and 48 bytes of well-formed UTF-8.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RenderLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t map_length = std::min<std::size_t>(data[1], size - 2);
  const RWCString cmap(reinterpret_cast<const char*>(data + 2), static_cast<RWSize>(map_length));
  std::vector<char16_t> units;
  for (std::size_t i = 2 + map_length; i + 1 < size; i += 2)
    units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  // The configuration (353) of a printer whose job settings hold the map
  // and whose default settings (359) the check.
  auto* defaults = new GAttributeComposite(359);
  defaults->AddChild(new GValueAttribute(data[0] & 1, 1027));
  auto* settings = new GAttributeComposite(198);
  settings->AddChild(new GStringAttribute(cmap, 1026));
  settings->AddChild(defaults);
  auto* configuration = new GPeripheralComposite(RWCString("C"), nullptr, nullptr, 353, 0, 0, 0);
  configuration->AddChild(new GPeripheralComposite(RWCString("P"), nullptr, settings, 76, 0, 0, 0));
  GJobDriverData job(nullptr, u"P", u"D", u"USB001");
  job.SetConfiguration(configuration);
  job.SetDocumentName(RWWString(units.data(), static_cast<RWSize>(units.size())));
  const RWCString made = job.MakeJobName();
  std::u16string wide;
  Check(job.GetWideJobName().Length() <= 16 && made.Length() <= kJobNameUtf8Bytes);
  Check(platform::MultiByteToWide(made.Data(), made.Length(), wide));
  return 0;
}
