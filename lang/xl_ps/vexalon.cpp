#include "lang/xl_ps/vexalon.h"

#include "lang/font_books/char_code_maps.h"
#include "lang/font_books/vexalon_books.h"

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

std::uint16_t GVexalon::OnPassBreak(GCommand&) {
  return SendPadding();
}

std::uint16_t GVexalon::SendPadding() {
  CallLog().Record("SendPadding");
  GetSink().Flush();
  return GetSink().GetWriteError();
}

void GVexalon::MakeFontBooks(GPrinterLanguage& generator) {
  generator.SetFontCache(RWNew<GVexalonFontCache>());
  generator.SetCodeMap(RWNew<GVexalonCharCodeMap>());
}

int GVexalon::HasEscape(const RWCString& text) {
  return HoldsEscape(text);
}

template class MPersistentClass<GVexalon, GPrinterLanguage, kGVexalonId>;
