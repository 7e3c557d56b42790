#include "lang/text/text_string.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fonts/char_code_map.h"
#include "fonts/font.h"
#include "fonts/font_items.h"
#include "fonts/text_escapements.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/spacing_steps.h"
#include "foundation/rw/support.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"
#include "services/unicode_converter.h"

namespace {

constexpr RWClassRegistration kTextStringClasses[] = {
    {&RWCreate<GTextString>, kGTextStringId, "GTextString"},
    {&RWCreate<GTextStringGraphic>, kGTextStringGraphicId, "GTextStringGraphic"},
};

constinit RWLockRecord g_file_lock;

// The graphic's part after GGraphic's, without its references.
constexpr RWSize kGraphicFieldsSize = 4 + 10;
// The font's break character: its sixth second-word.
constexpr std::uint32_t kBreakCodeWord = 5;

// Bytes per code of an encoding; 0 for an encoding that holds none.
std::uint32_t CodeWidth(std::uint32_t encoding) {
  return encoding == kEightBitCodes ? 1 : encoding == kSixteenBitCodes ? 2 : 0;
}

// User-defined ranges [low, high) of the double-byte code sets other than
// 19, whose ranges go by lead and trail byte.
struct UserRange {
  std::uint32_t code_set;
  std::uint16_t low;
  std::uint16_t high;
};
constexpr UserRange kUserRanges[] = {
    {16, 0xE000, 0xEDE8}, {17, 0xF040, 0xF9FD}, {18, 0x9A41, 0xA0FF}, {18, 0xAA41, 0xAFFF},
    {18, 0xF8A1, 0xFEFF}, {21, 0xC9A1, 0xC9FF}, {21, 0xFEA1, 0xFEFF}, {23, 0x8140, 0x8DFF},
    {23, 0x8E40, 0xA0FF}, {23, 0xC6A1, 0xC8FF}, {23, 0xFA40, 0xFEFF},
};

bool InRange(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
  return value >= low && value <= high;
}

bool IsUserDefined(std::uint32_t code_set, std::uint16_t code) {
  if (code_set == 19) {
    const std::uint32_t lead = code >> 8;
    const std::uint32_t trail = code & 0xFF;
    if (InRange(lead, 0xA1, 0xA7)) return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xA0);
    return (InRange(lead, 0xAA, 0xAF) || InRange(lead, 0xF8, 0xFE)) && InRange(trail, 0xA1, 0xFE);
  }
  return std::any_of(std::begin(kUserRanges), std::end(kUserRanges), [&](const UserRange& r) {
    return r.code_set == code_set && code >= r.low && code < r.high;
  });
}

// `count` codes built by `code_of(i)` into a new owned buffer of `width`
// bytes per code; false when no storage can be had.
template <class CodeOf>
bool BuildCodes(std::uint32_t count, std::uint32_t width, CodeOf code_of, GCodeBuffer& into) {
  if (count == 0 || width == 0) {
    into = GCodeBuffer();
    return true;
  }
  if (width == 1) {
    std::unique_ptr<std::uint8_t[]> bytes = RWNewArray<std::uint8_t>(count);
    if (!bytes) return false;
    for (std::uint32_t i = 0; i < count; ++i)
      bytes[i] = static_cast<std::uint8_t>(code_of(i));
    into = GCodeBuffer::Adopt(std::move(bytes), count);
  } else {
    std::unique_ptr<std::uint16_t[]> words = RWNewArray<std::uint16_t>(count);
    if (!words) return false;
    for (std::uint32_t i = 0; i < count; ++i)
      words[i] = code_of(i);
    into = GCodeBuffer::Adopt(std::move(words), count);
  }
  return true;
}

// One table of advances from the points' `axis` coordinates: none when
// every step is 0.
std::unique_ptr<GCharTable> Advances(std::span<const GShortPoint> points,
                                     std::int16_t GShortPoint::*axis) {
  const std::size_t n = points.size();
  bool moves = false;
  for (std::size_t i = 0; i + 1 < n; ++i)
    moves = moves || points[i + 1].*axis != points[i].*axis;
  if (!moves) return nullptr;
  auto table = std::unique_ptr<GCharTable>(RWNew<GCharTable>(static_cast<std::uint32_t>(n)));
  if (!table || table->Count() != n) return nullptr;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    table->Set(static_cast<std::uint32_t>(i),
               static_cast<std::uint16_t>(points[i + 1].*axis - points[i].*axis));
  }
  return table;
}

}  // namespace

std::span<const RWClassRegistration> TextStringClasses() {
  return kTextStringClasses;
}

bool IsSingleByteCodeSet(std::uint32_t code_set) {
  return InRange(code_set, 3, 12) || code_set == 14 || code_set == 15 || InRange(code_set, 24, 52);
}

std::uint32_t GetCodeSetWidthClass(std::uint32_t code_set) {
  if (code_set == 1 || code_set == kWideCodeSet) return 1;
  return InRange(code_set, 17, 23) ? 2 : 0;
}

bool IsLeadByte(std::uint32_t code_set, std::uint8_t byte) {
  switch (code_set) {
    case 17:
      return InRange(byte, 0x81, 0x9F) || InRange(byte, 0xE0, 0xFC);
    case 18:
    case 20:
      return InRange(byte, 0xA1, 0xFE);
    case 19:
    case 21:
    case 23:
      return InRange(byte, 0x81, 0xFE);
    case 22:
      return InRange(byte, 0x84, 0xF9);
    default:
      return false;
  }
}

bool ContainsUserDefinedCharacters(const GTextString& text) {
  const std::uint32_t code_set = text.GetCodeSet();
  if (text.GetEncoding() == kEightBitCodes || !InRange(code_set, 16, 23)) return false;
  for (std::uint32_t i = 0; i < text.GetLength(); ++i) {
    if (IsUserDefined(code_set, text.GetCode(i))) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// GCodeBuffer

GCodeBuffer::GCodeBuffer(const std::uint8_t* codes, std::uint32_t count)
    : first_(codes), count_(codes ? count : 0), owns_(false) {}

GCodeBuffer::GCodeBuffer(const std::uint16_t* codes, std::uint32_t count)
    : first_(codes), count_(codes ? count : 0), owns_(false) {}

GCodeBuffer GCodeBuffer::Adopt(std::unique_ptr<std::uint8_t[]> codes, std::uint32_t count) {
  GCodeBuffer buffer(codes.get(), count);
  buffer.bytes_ = std::move(codes);
  buffer.owns_ = true;
  return buffer;
}

GCodeBuffer GCodeBuffer::Adopt(std::unique_ptr<std::uint16_t[]> codes, std::uint32_t count) {
  GCodeBuffer buffer(codes.get(), count);
  buffer.words_ = std::move(codes);
  buffer.owns_ = true;
  return buffer;
}

bool GCodeBuffer::MakeOwned(std::uint32_t width) {
  if (owns_ || count_ == 0) {
    owns_ = true;
    return true;
  }
  GCodeBuffer copy;
  const bool made = width == 1 ? BuildCodes(
                                     count_, 1, [&](std::uint32_t i) { return Byte(i); }, copy)
                    : width == 2 ? BuildCodes(
                                       count_, 2, [&](std::uint32_t i) { return Word(i); }, copy)
                                 : false;
  if (!made) return false;
  *this = std::move(copy);
  return true;
}

// ---------------------------------------------------------------------------
// GTextString

GTextString::GTextString(GCodeBuffer codes, std::uint16_t length, std::uint32_t encoding,
                         std::uint32_t code_set)
    : codes_(std::move(codes)), length_(length), encoding_(encoding), code_set_(code_set) {}

GTextString::GTextString(const GTextString& other)
    : MPersistentClass(other),
      length_(other.length_),
      encoding_(other.encoding_),
      code_set_(other.code_set_) {
  BuildCodes(
      other.HeldCodes(), CodeWidth(encoding_), [&](std::uint32_t i) { return other.GetCode(i); },
      codes_);
}

GTextString::GTextString(const GTextString& source, std::uint32_t code_set, GCharCodeMap* map)
    : length_(source.length_), encoding_(source.encoding_), code_set_(code_set) {
  const std::uint32_t from = source.code_set_;
  const std::uint32_t count = source.HeldCodes();
  const bool wide = source.encoding_ == kSixteenBitCodes;
  auto same = [&](std::uint32_t i) { return source.GetCode(i); };
  GUnicodeConverter* converter = GetUnicodeConverter();
  if (code_set == from || (code_set == kFontCodeSet && !wide)) {
    BuildCodes(count, CodeWidth(encoding_), same, codes_);
  } else if (code_set == kFontCodeSet) {
    BuildCodes(
        count, 2, [&](std::uint32_t i) { return map ? map->Map(same(i)) : same(i); }, codes_);
  } else if (from == 1 || from == kFontCodeSet || code_set == 1) {
    encoding_ = kEightBitCodes;
    BuildCodes(
        count, 1, [](std::uint32_t) { return std::uint16_t{0}; }, codes_);
  } else if (!converter) {
    // No code page converter: the codes stay as they came.
    BuildCodes(count, CodeWidth(encoding_), same, codes_);
  } else if (from == kWideCodeSet && IsSingleByteCodeSet(code_set)) {
    encoding_ = kEightBitCodes;
    BuildCodes(
        count, 1, [&](std::uint32_t i) { return converter->FromWide(same(i), code_set); }, codes_);
  } else if (code_set == kWideCodeSet) {
    encoding_ = kSixteenBitCodes;
    BuildCodes(
        count, 2, [&](std::uint32_t i) { return converter->ToWide(same(i), from); }, codes_);
  } else {
    encoding_ = kSixteenBitCodes;
    BuildCodes(
        count, 2, [&](std::uint32_t i) { return converter->FromWide(same(i), code_set); }, codes_);
  }
}

std::uint32_t GTextString::HeldCodes() const {
  return std::min<std::uint32_t>(length_, codes_.Count());
}

std::uint16_t GTextString::GetCode(std::uint32_t i) const {
  if (i >= codes_.Count()) return 0;
  if (encoding_ == kEightBitCodes) return codes_.Byte(i);
  return encoding_ == kSixteenBitCodes ? codes_.Word(i) : 0;
}

const void* GTextString::MakeCodesOwned() {
  codes_.MakeOwned(CodeWidth(encoding_));
  return codes_.First();
}

RWSize GTextString::StoredSize() const {
  return MPersistentObject::StoredSize() + 14 + RWSize{length_} * CodeWidth(encoding_);
}

bool GTextString::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTextString* same = SameContentBase(other);
  if (!same || same->length_ != length_ || same->encoding_ != encoding_ ||
      same->code_set_ != code_set_)
    return false;
  if (same->codes_.First() == codes_.First()) return true;
  const std::uint32_t count = HeldCodes();
  if (same->HeldCodes() != count) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (GetCode(i) != same->GetCode(i)) return false;
  }
  return true;
}

template <class Out>
void GTextString::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kTextStringVersion);
  PutItem(out, length_);
  PutItem(out, encoding_);
  PutItem(out, code_set_);
  const std::uint32_t width = CodeWidth(encoding_);
  for (std::uint32_t i = 0; width == 2 && i < length_; ++i)
    PutItem(out, GetCode(i));
  if (width != 1 || length_ == 0) return;
  std::vector<std::uint8_t> bytes(length_);
  for (std::uint32_t i = 0; i < length_; ++i)
    bytes[i] = static_cast<std::uint8_t>(GetCode(i));
  PutBytes(out, bytes.data(), length_);
}

template <class In>
void GTextString::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kTextStringVersion)) return;
  std::uint16_t length = 0;
  std::uint32_t encoding = 0;
  std::uint32_t code_set = 0;
  if (!GetItem(in, length) || !GetItem(in, encoding) || !GetItem(in, code_set)) return;
  GCodeBuffer codes;
  if (length != 0) {
    const std::uint32_t width = CodeWidth(encoding);
    std::unique_ptr<std::uint8_t[]> bytes;
    std::vector<std::uint16_t> words;
    if (width == 1 && GetBytes(in, length, bytes)) {
      codes = GCodeBuffer::Adopt(std::move(bytes), length);
    } else if (width != 2 || !GetWords(in, length, words) ||
               !BuildCodes(
                   length, 2, [&](std::uint32_t i) { return words[i]; }, codes)) {
      // A length without codes of a known width cannot stand.
      scope.Fail();
      return;
    }
  }
  codes_ = std::move(codes);
  length_ = length;
  encoding_ = encoding;
  code_set_ = code_set;
}

template class MPersistentClass<GTextString, MPersistentObject, kGTextStringId>;

// ---------------------------------------------------------------------------
// GTextStringGraphic

GTextStringGraphic::GTextStringGraphic(GFont* font, GCodeBuffer codes, std::uint32_t code_set,
                                       std::span<const GShortPoint> positions,
                                       std::uint32_t text_value, GAttributeComposite* attributes)
    : MPersistentClass(attributes, 0), font_(font, g_file_lock), text_value_(text_value) {
  const std::uint32_t n = std::min<std::uint32_t>(
      {codes.Count(), static_cast<std::uint32_t>(positions.size()), 0xFFFF});
  positions = positions.first(n);
  if (n > 0) start_ = positions[0];
  text_.Reset(RWNew<GTextString>(std::move(codes), static_cast<std::uint16_t>(n), kSixteenBitCodes,
                                 code_set),
              g_file_lock);
  escapements_.Reset(
      RWNew<GTextEscapements>(Advances(positions, &GShortPoint::x),
                              Advances(positions, &GShortPoint::y), static_cast<std::uint16_t>(n)),
      g_file_lock);
}

GTextStringGraphic::GTextStringGraphic(GFont* font, GCodeBuffer codes, std::uint32_t code_set,
                                       const GShortPointArray& positions, std::uint32_t text_value,
                                       GAttributeComposite* attributes)
    : GTextStringGraphic(font, std::move(codes), code_set,
                         std::span<const GShortPoint>(positions.First(), positions.Count()),
                         text_value, attributes) {}

GTextStringGraphic::GTextStringGraphic(const GTextStringGraphic& other)
    : MPersistentClass(other),
      reserved_word_(other.reserved_word_),
      text_value_(other.text_value_),
      start_(other.start_) {
  auto copy = [](GCountedPtr& mine, const GCountedPtr& theirs) {
    if (theirs) mine.Reset(dynamic_cast<MPersistentObject*>(theirs->CreateCopy()), g_file_lock);
  };
  copy(font_, other.font_);
  copy(text_, other.text_);
  copy(escapements_, other.escapements_);
}

GFont* GTextStringGraphic::GetFont() const {
  return static_cast<GFont*>(font_.Get());
}

GTextString* GTextStringGraphic::GetText() const {
  return static_cast<GTextString*>(text_.Get());
}

GTextEscapements* GTextStringGraphic::GetEscapements() const {
  return static_cast<GTextEscapements*>(escapements_.Get());
}

void GTextStringGraphic::SetFont(GFont* font) {
  font_.Reset(font, g_file_lock);
}

bool GTextStringGraphic::ContainsUserDefinedCharacters() const {
  return GetText() && ::ContainsUserDefinedCharacters(*GetText());
}

void GTextStringGraphic::RequestGlyphs() const {
  GFont* font = GetFont();
  GTextString* text = GetText();
  if (!font || !text) return;
  const std::uint32_t mode = font->GetFontKind() == 1 ? 1 : 2;
  for (std::uint32_t i = 0; i < text->GetLength(); ++i)
    font->RequestGlyphs(mode, text->GetCode(i));
}

void GTextStringGraphic::MakeSelfContained() {
  if (!GetFont() || !GetText()) return;
  RequestGlyphs();
  GetText()->MakeCodesOwned();
}

std::uint16_t GTextStringGraphic::Execute(GPeripheral& device) {
  return device.DrawTextString(*this);
}

void GTextStringGraphic::SaveToFile(RWFile& file) const {
  RequestGlyphs();
  MPersistentClass::SaveToFile(file);
}

RWSize GTextStringGraphic::StoredSize() const {
  return GGraphic::StoredSize() + kGraphicFieldsSize + GraphStoreSizeOf(font_.Get()) +
         GraphStoreSizeOf(text_.Get()) + GraphStoreSizeOf(escapements_.Get());
}

namespace {

bool SameOrEqual(const GCountedPtr& a, const GCountedPtr& b) {
  if (a.Get() == b.Get()) return true;
  return a && b && a->IsEqualContent(b.Get());
}

}  // namespace

bool GTextStringGraphic::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTextStringGraphic* same = SameContentBase(other);
  return same && same->reserved_word_ == reserved_word_ && same->start_ == start_ &&
         SameOrEqual(font_, same->font_) && SameOrEqual(text_, same->text_) &&
         SameOrEqual(escapements_, same->escapements_);
}

std::int32_t GTextStringGraphic::AddExtraSpacing(GSpacingSteps* spacing, const GFont& font,
                                                 const GTextString& text, GCharTable& table) {
  if (spacing && spacing->HasSteps() && table.MakePrivate()) {
    const std::uint16_t break_code = font.GetWords2(kBreakCodeWord);
    for (std::uint32_t i = 0; i < table.Count(); ++i) {
      const std::uint16_t extra =
          text.GetCode(i) == break_code ? spacing->StepBreak() : spacing->StepCharacter();
      table.Set(i, static_cast<std::uint16_t>(table.At(i) + extra));
    }
  }
  std::int32_t total = 0;
  for (std::uint32_t i = 0; i < table.Count(); ++i)
    total += static_cast<std::int16_t>(table.At(i));
  return total;
}

template <class Out>
void GTextStringGraphic::SaveItems(Out& out) const {
  SaveBase<GGraphic>(*this, out);
  PutItem(out, kTextStringVersion);
  PutReference(out, font_.Get());
  PutReference(out, text_.Get());
  PutReference(out, escapements_.Get());
  PutItem(out, reserved_word_);
  PutItem(out, text_value_);
  PutItem(out, start_.x);
  PutItem(out, start_.y);
}

template <class In>
void GTextStringGraphic::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GGraphic>(*this, in);
  if (!ReadsVersion(scope, in, kTextStringVersion)) return;
  GCountedPtr font;
  GCountedPtr text;
  GCountedPtr escapements;
  std::uint16_t reserved = 0;
  std::uint32_t value = 0;
  GShortPoint start;
  if (!ReadUnheldObject<GFont>(in, scope, font) ||
      !ReadUnheldObject<GTextString>(in, scope, text) ||
      !ReadUnheldObject<GTextEscapements>(in, scope, escapements) || !GetItem(in, reserved) ||
      !GetItem(in, value) || !GetItem(in, start.x) || !GetItem(in, start.y))
    return;
  font_ = std::move(font);
  text_ = std::move(text);
  escapements_ = std::move(escapements);
  reserved_word_ = reserved;
  text_value_ = value;
  start_ = start;
}

template class MPersistentClass<GTextStringGraphic, GGraphic, kGTextStringGraphicId>;
