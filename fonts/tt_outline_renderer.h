// GTTOutlineRenderer: FreeType's view of one TrueType font, for the glyph
// bitmaps of the TrueType font implementation (tt_font_imp.h). It holds a
// font file assembled in memory from every table a reader can give, whole,
// behind a directory in tag order (sfnt version 0x00010000, checksums 0,
// each table at a 4-byte boundary), and one FreeType face over it. A reader
// keeps one renderer for all the faces of its font
// (GTTFontReader::RenderGlyph), so a document that makes a new face of a
// font per page holds the font's tables once.
//
// Glyph bitmaps: monochrome and unhinted at the height in pixels asked,
// rows of bits with the most significant first, each row padded to 32
// bits; the metrics give the bitmap's left and top from the glyph's origin
// (y up) and its size. A glyph without an outline gives an empty bitmap
// (size 0, an empty owning buffer); a glyph FreeType cannot render, or one
// whose metrics pass 16 bits, gives none.
//
// Ownership: the renderer owns its bytes and its FreeType library and face;
// bitmaps it hands out are the caller's. Threads: one thread at a time (its
// reader's lock); HeldFontBytes from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GByteBuffer;
class GTTFontReader;
struct GGlyphMetrics;

class GTTOutlineRenderer {
 public:
  // The renderer of the tables `reader` gives for `source` (each read as
  // ReadTable does, whole tables cached); null when it gives none, when
  // FreeType cannot read them or when no memory is left.
  // REQUIRES: the caller holds the reader's lock.
  static std::unique_ptr<GTTOutlineRenderer> Make(GTTFontReader& reader, std::uint32_t source);

  GTTOutlineRenderer(const GTTOutlineRenderer&) = delete;
  GTTOutlineRenderer& operator=(const GTTOutlineRenderer&) = delete;
  ~GTTOutlineRenderer();

  // The bitmap of `glyph` at `pixels` (1 to the caller's limit) in a new
  // buffer in `out`, its metrics in `metrics`; answers its size. 0 and no
  // buffer when it cannot be had (FreeType's failure, memory, metrics past
  // 16 bits; [NOMEM] raised when memory ran out): the caller cannot draw
  // the character, which is not the empty glyph's empty buffer.
  std::uint32_t Render(std::uint16_t glyph, std::int32_t pixels, GGlyphMetrics& metrics,
                       GByteBuffer*& out);

  std::uint32_t Source() const { return source_; }
  // The assembled font's bytes.
  std::size_t FontSize() const { return font_.size(); }
  // The assembled fonts' bytes of every renderer alive in the process.
  static std::size_t HeldFontBytes();

 private:
  struct FreeType;

  GTTOutlineRenderer(std::uint32_t source, std::vector<std::uint8_t> font);

  std::uint32_t source_;
  std::vector<std::uint8_t> font_;  // the face's bytes, alive as long as it
  std::unique_ptr<FreeType> free_type_;
  std::int32_t pixels_ = 0;  // the size the face is set to
};
