// Text as it travels the device chain.
//
// GCodeBuffer: a run of character codes, 8-bit or 16-bit, either owned
// (freed with the buffer) or borrowed from a caller (never freed; the
// caller keeps them alive while the buffer, or a string that holds it, is
// used). It has the shape of GShortPointArray (output/graphics/
// short_geometry.h) with codes in place of points.
//
// GTextString: a run of `length` codes with the encoding they are held in
// (1: one byte per code, 2: one 16-bit word per code) and the code set they
// are written in (16 the wide code set, 2 a font's own code space reached
// through its code map, 17 to 23 double-byte sets; IsSingleByteCodeSet
// below). A buffer holding no codes counts as no buffer.
//   Re-encoding (source S, target code set T, code map M): the new string
//   has S's length, code set T and codes of its own:
//     1. T is S's code set: S's codes in S's encoding;
//     2. else T is 2: an 8-bit S as it is; a 16-bit S mapped code by code
//        through M (as it is without a map), 16-bit;
//     3. else S's code set is 1 or 2, or T is 1: 8-bit, every code 0;
//     4. else S's code set is 16 and T is single-byte: 8-bit, each code
//        from the wide set to T by the code-page converter, its low byte;
//     5. else T is 16: 16-bit, each code from S's set to the wide set;
//     6. otherwise 16-bit, each code from the wide set to T.
//   Steps 4 to 6 need the process-wide code-page converter
//   (services/unicode_converter.h), which this library's services
//   do not make: without it the codes and the encoding stay as S has them
//   (only the code set becomes T).
//
// GTextStringGraphic: the drawing command for one line of text: a font
// (fonts/font.h), the text (16-bit codes when built here), the escapements
// (fonts/text_escapements.h), a reserved word (0, stored and compared), a
// text value (stored, not compared; the ZDL5 generator reads it) and the
// start point. Built from n codes at points p[0..n-1]: the start point is
// p[0]; a table of x advances dx[i] = p[i+1].x - p[i].x (dx[n-1] = 0) when
// some pair differs in x, else none; the y advances likewise. Execute calls
// the device's DrawTextString with the graphic.
//   MakeSelfContained: with a font and a text, asks the font for each
//   code's glyphs (GFont::RequestGlyphs(mode, code), mode 1 when the font's
//   kind is 1, else 2), then makes the text own its codes. Saving to an
//   RWFile makes the same glyph requests first.
//   The graphic owns its font, text and escapements outright (held alone,
//   through counted pointers); a copy holds copies of them.
//
// Class ids: GTextString 802, GTextStringGraphic 804, registered under
// their names. Stored forms (RWFile items little-endian; a virtual stream
// writes the same items):
//   GTextString, after the base part of MPersistentObject:
//     version   u32  kTextStringVersion
//     length n  u16
//     encoding  u32
//     code set  u32
//     codes     n bytes (encoding 1), n u16 (encoding 2), nothing else
//   Stored size: base + 14 + n (encoding 1) or 2n (encoding 2).
//   GTextStringGraphic, after the GGraphic part:
//     version        u32  kTextStringVersion
//     font           object reference (the nil object for none)
//     text           object reference
//     escapements    object reference
//     reserved word  u16
//     text value     u32
//     start point    i16 x, i16 y
//   Stored size: the GGraphic part + 4 + each reference as the graph writes
//   it (6 for the nil object) + 10.
// A restore of another version keeps the object as it was. A stored string
// whose codes do not arrive, or that has codes in an encoding other than 1
// or 2, fails the restore; codes are read one by one (a file must hold them
// all first), so a damaged length never allocates more than the data
// holds. A graphic's references must be of their class, held by nothing
// else in the graph; anything else fails the restore.
//
// Code-set tests, shared with the download-face command (download_face.h):
//   IsSingleByteCodeSet: 3 to 12, 14, 15, 24 to 52.
//   GetCodeSetWidthClass: 1 for code sets 1 and 16, 2 for 17 to 23, else 0.
//   IsLeadByte (bounds inclusive): 17: 0x81-0x9F, 0xE0-0xFC; 18, 20:
//     0xA1-0xFE; 19, 21, 23: 0x81-0xFE; 22: 0x84-0xF9; else false.
//   ContainsUserDefinedCharacters: false for an 8-bit text and code sets
//     other than 16 to 23; else whether a code lies in a user-defined range
//     of its set (lower bounds inclusive, upper exclusive; 19 by lead and
//     trail byte, inclusive): see text_string.cpp.
//
// Ownership: as above. Threads: one object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "output/graphics/graphic.h"
#include "output/graphics/short_geometry.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

class GCharCodeMap;
class GCharTable;
class GFont;
class GSpacingSteps;
class GTextEscapements;

inline constexpr RWClassID kGTextStringId = 802;
inline constexpr RWClassID kGTextStringGraphicId = 804;
inline constexpr std::uint32_t kTextStringVersion = 1;
// Encodings.
inline constexpr std::uint32_t kEightBitCodes = 1;
inline constexpr std::uint32_t kSixteenBitCodes = 2;
// Code sets the text operations name.
inline constexpr std::uint32_t kFontCodeSet = 2;
inline constexpr std::uint32_t kWideCodeSet = 16;

class GCodeBuffer {
 public:
  // No codes.
  GCodeBuffer() = default;
  // Borrows `count` codes at `codes`. REQUIRES: they outlive every user.
  GCodeBuffer(const std::uint8_t* codes, std::uint32_t count);
  GCodeBuffer(const std::uint16_t* codes, std::uint32_t count);
  GCodeBuffer(GCodeBuffer&& other) noexcept = default;
  GCodeBuffer& operator=(GCodeBuffer&& other) noexcept = default;

  // A buffer owning `codes`, `count` of them in use.
  static GCodeBuffer Adopt(std::unique_ptr<std::uint8_t[]> codes, std::uint32_t count);
  static GCodeBuffer Adopt(std::unique_ptr<std::uint16_t[]> codes, std::uint32_t count);

  bool Owns() const { return owns_; }
  std::uint32_t Count() const { return count_; }
  // The codes as held; null without codes.
  const void* First() const { return count_ ? first_ : nullptr; }
  // The code at `i` read as a byte or a word. REQUIRES: i < Count().
  std::uint8_t Byte(std::uint32_t i) const { return static_cast<const std::uint8_t*>(first_)[i]; }
  std::uint16_t Word(std::uint32_t i) const { return static_cast<const std::uint16_t*>(first_)[i]; }
  // Copies borrowed codes of `width` bytes each (1 or 2) into storage of
  // its own; false ([NOMEM] raised, still borrowing) when none can be had.
  bool MakeOwned(std::uint32_t width);

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;   // owned 8-bit codes
  std::unique_ptr<std::uint16_t[]> words_;  // owned 16-bit codes
  const void* first_ = nullptr;
  std::uint32_t count_ = 0;
  bool owns_ = true;
};

class GTextString final : public MPersistentClass<GTextString, MPersistentObject, kGTextStringId> {
 public:
  // No codes, length 0, encoding 0, code set 0.
  GTextString() = default;
  // Takes `codes` over as they are. REQUIRES: they hold `length` codes.
  GTextString(GCodeBuffer codes, std::uint16_t length, std::uint32_t encoding,
              std::uint32_t code_set);
  // Owns a copy of the other's codes.
  GTextString(const GTextString& other);
  // `source` re-encoded into `code_set` through `map` (may be null); see
  // the header comment.
  GTextString(const GTextString& source, std::uint32_t code_set, GCharCodeMap* map);
  GTextString& operator=(const GTextString&) = delete;

  std::uint16_t GetLength() const { return length_; }
  std::uint32_t GetEncoding() const { return encoding_; }
  std::uint32_t GetCodeSet() const { return code_set_; }
  // The first code, or null when the string holds no codes.
  const void* GetCodes() const { return codes_.First(); }
  // The i-th code, a byte or a word by the encoding; 0 past the codes.
  std::uint16_t GetCode(std::uint32_t i) const;
  bool OwnsCodes() const { return codes_.Owns(); }
  // Copies borrowed codes into storage of its own; answers the codes.
  virtual const void* MakeCodesOwned();

  RWSize StoredSize() const override;
  // The same object; or the same class and base, lengths, encodings and
  // code sets, and equal codes one by one.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Codes held: the length, within what the buffer holds.
  std::uint32_t HeldCodes() const;

  GCodeBuffer codes_;
  std::uint16_t length_ = 0;
  std::uint32_t encoding_ = 0;
  std::uint32_t code_set_ = 0;
};

class GTextStringGraphic final
    : public MPersistentClass<GTextStringGraphic, GGraphic, kGTextStringGraphicId> {
 public:
  // No font, text or escapements; everything 0.
  GTextStringGraphic() = default;
  // Takes `font` (null: none) and holds the graphic state `attributes`
  // (key 0); the text is a 16-bit string of code set `code_set` over
  // `codes` (borrowed or owned as the buffer is); one code per position,
  // as many as both hold (at most 65535). REQUIRES: `codes` holds 16-bit
  // codes.
  GTextStringGraphic(GFont* font, GCodeBuffer codes, std::uint32_t code_set,
                     std::span<const GShortPoint> positions, std::uint32_t text_value,
                     GAttributeComposite* attributes);
  GTextStringGraphic(GFont* font, GCodeBuffer codes, std::uint32_t code_set,
                     const GShortPointArray& positions, std::uint32_t text_value,
                     GAttributeComposite* attributes);
  // Shares the attribute set; copies of the font, text and escapements.
  GTextStringGraphic(const GTextStringGraphic& other);
  GTextStringGraphic& operator=(const GTextStringGraphic&) = delete;

  GFont* GetFont() const;
  GTextString* GetText() const;
  GTextEscapements* GetEscapements() const;
  std::uint16_t GetReservedWord() const { return reserved_word_; }
  std::uint32_t GetTextValue() const { return text_value_; }
  const GShortPoint& GetStartPoint() const { return start_; }
  // Lets go of the font held and takes `font` (null: none).
  void SetFont(GFont* font);
  bool ContainsUserDefinedCharacters() const;

  // The glyph requests, then the text made to own its codes.
  void MakeSelfContained() override;
  // device.DrawTextString(*this).
  std::uint16_t Execute(GPeripheral& device) override;
  // The glyph requests first.
  void SaveToFile(RWFile& file) const override;

  RWSize StoredSize() const override;
  // The same object; or the same class and GGraphic part, reserved words
  // and start points; then font, text and escapements each the same object
  // or both present and equal. The text value takes no part.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The total advance of a text: with `spacing` that has steps left, the
  // table is made to own its entries and each entry i gets the spacing's
  // break step when code i of `text` is the font's break character (its
  // sixth second-word), else its character step; then the sum of the
  // table's entries (signed 16-bit), which stay as they are without
  // spacing. Nothing in this library calls it.
  static std::int32_t AddExtraSpacing(GSpacingSteps* spacing, const GFont& font,
                                      const GTextString& text, GCharTable& table);

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  void RequestGlyphs() const;

  GCountedPtr font_;         // the GFont, or none
  GCountedPtr text_;         // the GTextString, or none
  GCountedPtr escapements_;  // the GTextEscapements, or none
  std::uint16_t reserved_word_ = 0;
  std::uint32_t text_value_ = 0;
  GShortPoint start_;
};

bool IsSingleByteCodeSet(std::uint32_t code_set);
std::uint32_t GetCodeSetWidthClass(std::uint32_t code_set);
bool IsLeadByte(std::uint32_t code_set, std::uint8_t byte);
bool ContainsUserDefinedCharacters(const GTextString& text);

extern template class MPersistentClass<GTextString, MPersistentObject, kGTextStringId>;
extern template class MPersistentClass<GTextStringGraphic, GGraphic, kGTextStringGraphicId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TextStringClasses();
