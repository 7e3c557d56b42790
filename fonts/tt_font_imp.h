// GTTFontImp: the font implementation (font.h) of a TrueType font of the
// font pool, used through a font-file handle (tt_font_pool.h). Codes map to
// glyphs through the reader's 'cmap' in the record's character set (a code
// without a glyph of its own takes the default code's, as the code tables
// say); glyph bitmaps are rendered from the font's outlines by FreeType at
// the record's height in pixels (its magnitude), through the renderer that
// the reader keeps for all the faces of its font (tt_outline_renderer.h:
// the bitmaps' form, the font made from the tables the reader can give; a
// reader read back without its file gives what its caches hold). A font
// FreeType cannot read, a height of 0 or above kTTMaxPixelHeight, and a
// glyph it cannot render give no bitmap.
//
// Kind: 1 (GetFontKind), its glyphs are bitmaps rendered from outlines;
// the further glyph requests answer 1, glyphs being rendered on demand.
// MarkInUse also marks the handle's reader for the saving job's owner
// (GTTFontFile::AddKey), so that the font database's file carries the
// reader beside the implementation.
//
// User class, registered as "GTTFontImp" (stored with its name). Stored
// form: GFontImp's, then version u32 kTTFontImpVersion and the font-file
// handle as an embedded object (a new object of class 859, which no later
// reference may name). A restore of another version keeps the object as it
// was. Stored size: GFontImp's, 4 and the handle's reference.
//
// Ownership: the implementation owns its handle.
// Threads: as the font objects (one job's thread); the handle locks its
// reader around every read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "fonts/font.h"
#include "fonts/tt_font_pool.h"

inline constexpr RWClassID kGTTFontImpId = 0x9F01;
inline constexpr std::uint32_t kTTFontImpVersion = 1;
// Taller glyph bitmaps are not rendered.
inline constexpr std::int32_t kTTMaxPixelHeight = 2048;

class GTTFontImp final : public MPersistentClass<GTTFontImp, GFontImp, kGTTFontImpId> {
 public:
  // No reader.
  GTTFontImp();
  // The implementation of `reader`'s font: a handle on it from `pool` (its
  // use count + 1; either may be null).
  GTTFontImp(std::uint32_t source, const GFontDescriptionRecord& record,
             const GFontAngleBlock& block, GTTFontPool* pool, GTTFontReader* reader);
  // As GFontImp's copy; a handle without a reader.
  GTTFontImp(const GTTFontImp& other);
  GTTFontImp& operator=(const GTTFontImp&) = delete;
  ~GTTFontImp() override;

  GTTFontFile& FontFile() { return font_file_; }

  std::uint32_t GetFontKind() const override { return 1; }
  std::uint32_t GetFontSubKind() const override { return 0; }
  // GFontImp's marking; then, with driver data, the reader is marked for
  // its owner id.
  void MarkInUse(GRenderDriverData* driver_data) override;
  std::uint32_t GetGlyphBitmap(std::uint16_t code, std::uint32_t option, GGlyphMetrics& metrics,
                               GByteBuffer*& out) override;
  std::uint32_t RequestGlyphs(std::uint32_t, std::uint32_t) override { return 1; }
  std::uint32_t RequestGlyphsEx(std::uint32_t, std::uint32_t) override { return 1; }

  RWSize StoredSize() const override;
  // GFontImp's equality and equal handles.
  bool IsEqualContent(const MPersistentObject* other) const override;

 protected:
  // The glyph of `code` in the record's character set; false for none
  // (the missing glyph 0).
  bool LookUpCode(std::uint16_t code, std::uint16_t& value) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GTTFontFile font_file_;
};

extern template class MPersistentClass<GTTFontImp, GFontImp, kGTTFontImpId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TTFontImpClasses();
