// GZdl5e: the ZDL5 generator, the last device of a ZDL5 job. So far it
// answers the pass break, the escape query, its document start, the
// selection of device fonts with its template language and the road of
// text to its downloaded fonts; its page stream comes later.
//
// Books: its own font cache and code map (lang/font_books/zdl5e_books.h,
// char_code_maps.h), made at construction and after a restore or an
// assignment. A released entry deletes its soft fonts through
// DeleteSoftFont.
//
// Text (DrawTextString, and DownloadFace for a face sent ahead): the font's
// list is the one it carries or the cache finds (font_books.h); else a new
// one, in the state the font asks for (ExpectedFontState), goes into the
// cache and a clone onto the font. A request for a font in the printer
// (state 1, lang/font_books/font_books.h) first looks for a device font
// that serves it (lang/font_books/device_fonts.h) and whose selection can
// be made for its height; the new list then holds a copy of that device
// font as its value and the printer's name for it (the face name when the
// list names none). A device font's list is never downloaded; its text
// records "SelectFont <selection>" (MakeSelection for the request's
// height; nothing at all when that fails) and "DrawText 0 <length>".
// Any other list that holds no printer memory (new, or released since) is
// downloaded: it gets its soft-font id (none left: no
// download, and the text is not drawn), reserves the per-item overhead (at
// least 1 byte) and records "DownloadFont <id>". The text is then
// re-encoded into the font's code set through the code map; each mapped
// code the font does not hold yet is sent: its glyph bitmap is fetched
// (GFontImp::GetGlyphSize with the font's selector), the code added to
// the list and its page marked, its size and the overhead reserved, and
// "DownloadCharacter <id> <code> <size>" recorded. Then the list's use
// stamp is raised and "DrawText <id> <length>" recorded. The bytes of
// these operations are not given: they write nothing (call_log.h).
//
//   DocumentStart: the generator base's (printer_language.h) first, whose
//     non-zero answer it answers; then the per-item download overhead
//     from the configuration (kItemOverheadKey) and the device-font list again;
//     answers the sink's write error.
//   SendPadding (the pass break, class id 718): 200 zero bytes into the
//     sink, then one flush; answers the sink's write error.
//   HasEscape: 1 when the text holds the escape character (27).
//   DeleteSoftFont (id): removes a downloaded soft font from the printer;
//     its bytes are not given: it records "DeleteSoftFont <id>" and writes
//     nothing (call_log.h), as do the generator slots of GGeneratorClass.
//
// Template language (FillTemplate): a program is read left to right as
// tokens: "%f" (float mode: numbers and results keep their fractions;
// without it every value is truncated to an integer), a number (pushed),
// "A" (the requested value, pushed), "+", "-", "*", "/" (pop two, push the
// result; dividing by 0 fails), "i" (truncate the top toward zero), "%F"
// and one digit d (pop the top and write it with d decimals, halves away
// from zero); blanks separate numbers. An unknown token, a missing
// operand, a value that is not finite or too large to write, more than
// kTemplateDepth values, or a program that writes nothing fails the fill.
// FillSelectionTemplate replaces each "#HEIGHT" of a device font's
// selection template by kHeightProgram's text and each "#WIDTH" and
// "#PITCH" by kPitchProgram's, for the requested value A; when one fails
// the whole fill fails (a request below 12.5 leaves the pitch program
// dividing by 0), so that the font is not chosen by its template.
// MakeSelection appends a device font's selection command for the
// requested value: its template as it is for a font of kind
// kSelectionAsIsKind, else filled.
//
// Class id 788, registered as "GZdl5e"; kind test 788 and GPrinterLanguage's.
// Stored form: the GPrinterLanguage part, then version u32 1.
// Ownership and threads: as GPrinterLanguage.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "lang/font_books/zdl5e_books.h"
#include "lang/generator/generator_class.h"

inline constexpr RWClassID kGZdl5eId = 788;
inline constexpr std::uint32_t kZdl5PaddingBytes = 200;
inline constexpr char kHeightProgram[] = "%f25 2/A+25/i25*100/%F2";
inline constexpr char kPitchProgram[] = "%f12000 25 2/A+25/i25*/%F2";
inline constexpr int kTemplateDepth = 32;
// Device fonts of this kind are selected by their template unfilled.
inline constexpr std::uint32_t kSelectionAsIsKind = 2;

class GDeviceFontDescription;

class GZdl5e final : public GGeneratorClass<GZdl5e, kGZdl5eId>, public GSoftFontDeletion {
 public:
  using GGeneratorClass::GGeneratorClass;
  GZdl5e() = default;
  GZdl5e(const GZdl5e& other) = default;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  int HasEscape(const RWCString& text) override;
  std::uint16_t DrawTextString(GTextStringGraphic& graphic) override;
  std::uint16_t DownloadFace(GDownloadFace& command) override;

  std::uint16_t SendPadding();
  std::uint16_t DeleteSoftFont(std::uint32_t id) override;
  // Gives `generator` a GZdl5eFontCache and a GZdl5eCharCodeMap.
  static void MakeFontBooks(GPrinterLanguage& generator);

  // Runs `program` for the requested value `requested`; true with what it
  // wrote appended to `out`, else false (`out` then holds a part or
  // nothing).
  static bool FillTemplate(const char* program, double requested, RWCString& out);
  static bool FillSelectionTemplate(const RWCString& selection, double requested, RWCString& out);
  static bool MakeSelection(const GDeviceFontDescription& font, double requested, RWCString& out);

 private:
  // The font's list: a device font's, or one downloaded first when it
  // holds no printer memory; null when none can be had.
  GZdl5eFontList* DownloadFont(GFont& font);
  void SendCharacter(GFont& font, GZdl5eFontList& list, std::uint16_t code, std::uint16_t mapped);

  std::uint32_t use_stamp_ = 0;
};

extern template class MPersistentClass<GZdl5e, GPrinterLanguage, kGZdl5eId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> Zdl5eClasses();
