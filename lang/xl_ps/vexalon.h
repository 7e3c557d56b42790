// GVexalon: the ZDL XL generator, the last device of a ZDL XL job. So far
// it answers the pass break, the escape query and its document start; its
// binary stream comes later.
//
//   DocumentStart: the generator base's (printer_language.h) first, whose
//     non-zero answer it answers; then the per-item download overhead
//     from the configuration (kItemOverheadKey) and the device-font list again;
//     answers the sink's write error.
//   SendPadding (the pass break, class id 718): raw filler bytes, then a
//     flush of the sink. The filler's bytes are not given: it records
//     "SendPadding" (lang/generator/call_log.h), writes nothing and
//     flushes; answers the sink's write error.
//   HasEscape: 1 when the text holds the escape character (27).
//   RopFromBinaryRop: ZDL XL has a table of its own, which is not given;
//     until it is, the base's table serves.
// The generator slots that only record their calls: GGeneratorClass's.
// Its books: its own font cache and code map (lang/font_books/
// vexalon_books.h, char_code_maps.h), made at construction and after a
// restore or an assignment; a released entry removes its font by name
// (RemoveDownloadedFont).
//
// Class id 767, registered as "GVexalon"; kind test 767 and
// GPrinterLanguage's. Stored form: the GPrinterLanguage part, then version
// u32 1. Ownership and threads: as GPrinterLanguage.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "lang/generator/generator_class.h"

inline constexpr RWClassID kGVexalonId = 767;

class GVexalon final : public GGeneratorClass<GVexalon, kGVexalonId> {
 public:
  using GGeneratorClass::GGeneratorClass;
  GVexalon() = default;
  GVexalon(const GVexalon& other) = default;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  int HasEscape(const RWCString& text) override;

  std::uint16_t SendPadding();
  // Gives `generator` a GVexalonFontCache and a GVexalonCharCodeMap.
  static void MakeFontBooks(GPrinterLanguage& generator);
};

extern template class MPersistentClass<GVexalon, GPrinterLanguage, kGVexalonId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> VexalonClasses();
