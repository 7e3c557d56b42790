#include "lang/joblang_zdl5/wqm.h"

#include <algorithm>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "output/commands/job_commands.h"
#include "persist/find_of_class.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kWqmClasses[] = {
    {&RWCreate<GWqm>, kGWqmId, "GWqm"},
};

// `text` as it may stand between the display line's quotes: printable
// ASCII alone (no control character, no byte of a multi-byte character,
// no quote that would end the field), at most kDisplayTextLimit bytes.
RWCString DisplayText(const RWCString& text) {
  RWCString kept(RWReserve{std::min<RWSize>(text.Length(), kDisplayTextLimit)});
  for (RWSize i = 0; i < text.Length() && kept.Length() < kDisplayTextLimit; ++i) {
    const char c = text[i];
    if (c >= ' ' && c <= '~' && c != '"') kept += c;
  }
  return kept;
}

}  // namespace

std::span<const RWClassRegistration> WqmClasses() {
  return kWqmClasses;
}

std::uint16_t GWqm::DocumentStart(GDocumentStart& command) {
  GPeripheral::DocumentStart(command);
  return WriteJobHeader(command);
}

bool GWqm::MakeDisplayLine(GAttributeComposite* document, RWCString& line) {
  auto* text = FindOfClass<GStringAttribute>(document, kDisplayTextKey);
  if (!text) return false;
  auto* operator_message = FindOfClass<GValueAttribute>(document, kOperatorMessageKey);
  line = operator_message && operator_message->GetValue() != 0 ? "OPMSG DISPLAY = "
                                                               : "RDYMSG DISPLAY = ";
  line += '"';
  line += DisplayText(text->GetValue());
  line += "\"\r\n";
  return true;
}

std::uint16_t GWqm::WriteJobHeader(GDocumentStart& command) {
  GOutputTarget* port = command.GetPort() ? command.GetPort() : GetOutput();
  std::uint16_t result = 0;
  if (RWCString line; MakeDisplayLine(command.GetAttributes(), line)) {
    std::uint32_t written = 0;
    if (port) result = port->Write(line, written);
  }
  auto* driver_data = dynamic_cast<GDriverData*>(command.GetJobContext());
  GAttributeComposite* job = driver_data ? driver_data->GetJobSettings() : nullptr;
  auto* manual_duplex = FindOfClass<GValueAttribute>(job, kManualDuplexInstructionsKey);
  if (manual_duplex && manual_duplex->GetValue() == 1) log_.Record("ManualDuplexHeader");
  return result;
}

template class MPersistentClass<GWqm, GPeripheral, kGWqmId>;
