// GPostScript: the PostScript generator, the last device of a PostScript
// job. So far it answers its document start and keeps the books of the
// font resources it defined; its document writer comes later. Its sink
// polls the port even on an empty flush (output_sink.h). Its books: its own
// font cache and code map (lang/font_books/postscript_books.h,
// char_code_maps.h), made at construction and after a restore or an
// assignment; a released entry removes its resource through
// DeleteFontResource.
//
//   DocumentStart: the generator base's (printer_language.h) first, whose
//     non-zero answer it answers; then the device-font list again;
//     answers the sink's write error.
//   A downloaded font is a resource of up to 256 sub-fonts;
//     MarkSubFontDefined notes each one the generator defines.
//   DeleteFontResource (resource, state): for each of the resource's 256
//     sub-fonts that was defined, in order, a redefinition that deletes
//     it, as a Type 3 font for state 2, Type 42 for state 4 and Type 1
//     otherwise; the sub-font is then no longer defined. The
//     redefinition's bytes are not given: each records
//     "DeleteFontResource <resource> <sub-font> <type>" in the call log
//     (lang/generator/call_log.h) and writes nothing.
// The generator slots that only record their calls: GGeneratorClass's.
// HasEscape answers 0 (the base's).
//
// Class id 768, registered as "GPostScript"; kind test 768 and
// GPrinterLanguage's. Stored form: the GPrinterLanguage part, then version
// u32 1. Copies start with no sub-font defined. Ownership and threads: as
// GPrinterLanguage.
#pragma once

#include <cstdint>
#include <span>

#include "fonts/char_code_map.h"
#include "foundation/rw/registration.h"
#include "lang/font_books/postscript_books.h"
#include "lang/generator/generator_class.h"

inline constexpr RWClassID kGPostScriptId = 768;
inline constexpr std::uint32_t kSubFontsPerResource = 256;
// Resources are numbered below this, so that each sub-font has a code.
inline constexpr std::uint32_t kResourceLimit = kResourceNumberLimit;

class GPostScript final : public GGeneratorClass<GPostScript, kGPostScriptId>,
                          public GFontResourceDeletion {
 public:
  GPostScript();
  GPostScript(const RWCString& name, GAttributeComposite* attributes,
              MPersistentObject* configuration, const std::uint32_t& key, std::uint32_t first_value,
              std::uint32_t second_value, std::uint32_t third_value);
  GPostScript(const GPostScript& other);

  std::uint16_t DocumentStart(GDocumentStart& command) override;

  // False for a resource of kResourceLimit or more or a sub-font past 255,
  // and when no memory is left to note it.
  bool MarkSubFontDefined(std::uint32_t resource, std::uint32_t sub_font);
  std::uint16_t DeleteFontResource(std::uint32_t resource, std::uint32_t state) override;
  // Gives `generator` a GPostScriptFontCache and a GPostScriptCharCodeMap.
  static void MakeFontBooks(GPrinterLanguage& generator);

 private:
  GCharCodeSet defined_;  // resource * 256 + sub-font
};

extern template class MPersistentClass<GPostScript, GPrinterLanguage, kGPostScriptId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PostScriptClasses();
