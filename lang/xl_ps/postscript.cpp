#include "lang/xl_ps/postscript.h"

#include "lang/font_books/char_code_maps.h"

namespace {

constexpr RWClassRegistration kPostScriptClasses[] = {
    {&RWCreate<GPostScript>, kGPostScriptId, "GPostScript"},
};

// The font type whose redefinition deletes a sub-font of a resource in
// `state`.
std::uint32_t FontType(std::uint32_t state) {
  return state == 2 ? 3 : state == 4 ? 42 : 1;
}

}  // namespace

std::span<const RWClassRegistration> PostScriptClasses() {
  return kPostScriptClasses;
}

GPostScript::GPostScript() {
  SetEmptyFlush(GOutputSink::EmptyFlush::kPoll);
}

GPostScript::GPostScript(const RWCString& name, GAttributeComposite* attributes,
                         MPersistentObject* configuration, const std::uint32_t& key,
                         std::uint32_t first_value, std::uint32_t second_value,
                         std::uint32_t third_value)
    : GGeneratorClass(name, attributes, configuration, key, first_value, second_value,
                      third_value) {
  SetEmptyFlush(GOutputSink::EmptyFlush::kPoll);
}

GPostScript::GPostScript(const GPostScript& other)
    : GGeneratorClass(other), GFontResourceDeletion() {
  SetEmptyFlush(GOutputSink::EmptyFlush::kPoll);
}

std::uint16_t GPostScript::DocumentStart(GDocumentStart& command) {
  return StartDocument(command, false);
}

void GPostScript::MakeFontBooks(GPrinterLanguage& generator) {
  generator.SetFontCache(RWNew<GPostScriptFontCache>());
  generator.SetCodeMap(RWNew<GPostScriptCharCodeMap>());
}

bool GPostScript::MarkSubFontDefined(std::uint32_t resource, std::uint32_t sub_font) {
  if (resource >= kResourceLimit || sub_font >= kSubFontsPerResource) return false;
  return defined_.Add(resource * kSubFontsPerResource + sub_font);
}

std::uint16_t GPostScript::DeleteFontResource(std::uint32_t resource, std::uint32_t state) {
  if (resource >= kResourceLimit) return 0;
  for (std::uint32_t sub_font = 0; sub_font < kSubFontsPerResource; ++sub_font) {
    std::uint32_t code = resource * kSubFontsPerResource + sub_font;
    if (!defined_.Contains(code)) continue;
    CallLog().Record("DeleteFontResource", {resource, sub_font, FontType(state)});
    defined_.Remove(code);
  }
  return 0;
}

template class MPersistentClass<GPostScript, GPrinterLanguage, kGPostScriptId>;
