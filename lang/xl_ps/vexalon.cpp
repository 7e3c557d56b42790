#include "lang/xl_ps/vexalon.h"

namespace {

constexpr RWClassRegistration kVexalonClasses[] = {
    {&RWCreate<GVexalon>, kGVexalonId, "GVexalon"},
};

}  // namespace

std::span<const RWClassRegistration> VexalonClasses() {
  return kVexalonClasses;
}

std::uint16_t GVexalon::DocumentStart(GDocumentStart& command) {
  return StartDocument(command, true);
}

std::uint16_t GVexalon::OnCommand718(GCommand&) {
  return SendPadding();
}

std::uint16_t GVexalon::SendPadding() {
  CallLog().Record("SendPadding");
  GetSink().Flush();
  return GetSink().GetWriteError();
}

int GVexalon::HasEscape(const RWCString& text) {
  return HoldsEscape(text);
}

template class MPersistentClass<GVexalon, GPrinterLanguage, kGVexalonId>;
