// A small TrueType writer for the font tests, the TrueType benchmark and
// the print demonstration's font: table builders that lay out the bytes of
// each table the reader uses (big-endian, as the format stores them) and a
// writer that puts tables behind a table directory. Nothing here reads a
// font; expected values in the tests are worked out from these layouts by
// hand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace support {

std::string Be16(std::uint16_t value);
std::string Be32(std::uint32_t value);

// Tables behind a directory: the sfnt version, numTables, searchRange,
// entrySelector, rangeShift, then one 16-byte record per table in the
// order added (checksum 0), each table at a 4-byte boundary.
class TrueTypeWriter {
 public:
  void Add(const std::string& tag, const std::string& bytes);
  std::string Build() const;
  // Where each table starts in Build()'s bytes, in the order added.
  std::vector<std::uint32_t> TableOffsets() const;

 private:
  std::vector<std::pair<std::string, std::string>> tables_;
};

// 'head' (54 bytes): indexToLocFormat at 50, the bounding box at 36.
std::string HeadTable(std::int16_t loc_format, std::int16_t x_min, std::int16_t y_min,
                      std::int16_t x_max, std::int16_t y_max);
// 'hhea' or 'vhea' (36 bytes): the count of long metrics at 34.
std::string MetricsHeader(std::uint16_t long_metrics);
// 'hmtx' or 'vmtx': the long metrics {advance, bearing}, then the bearings.
std::string MetricsTable(const std::vector<std::pair<std::uint16_t, std::int16_t>>& long_metrics,
                         const std::vector<std::int16_t>& bearings);
// 'maxp' version 0.5 (6 bytes): numGlyphs at 4.
std::string MaxpTable(std::uint16_t num_glyphs);
// 'OS/2' (78 bytes): sTypoDescender at 70, usFirstCharIndex at 64,
// usLastCharIndex at 66.
std::string Os2Table(std::uint16_t first_char, std::uint16_t last_char,
                     std::int16_t typo_descender);
// 'post' version 3 and a 'name' with no records.
std::string PostTable();
std::string NameTable();

// A simple glyph: one contour of `points` on-curve points (at least 1).
std::string SimpleGlyph(std::uint16_t points = 1);
// A simple glyph of one clockwise contour around the box from (x0, y0) to
// (x1, y1): four on-curve points, 16-bit coordinates.
std::string BoxGlyph(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1);
// A composite glyph of components {glyph, flags}; flags get
// MORE_COMPONENTS on all but the last; arguments are bytes (or words with
// flag 1) of 0, and the transformation's size follows flags 8, 64, 128.
std::string CompositeGlyph(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& components);
// 'glyf' and 'loca' of the glyphs in order, each padded to an even length;
// short offsets (halved) or long.
std::pair<std::string, std::string> GlyfAndLoca(const std::vector<std::string>& glyphs,
                                                bool long_offsets);

// 'cmap' of subtables {platform, encoding, subtable bytes}, records in that
// order, subtables after them.
struct CmapSubtable {
  std::uint16_t platform;
  std::uint16_t encoding;
  std::string bytes;
};
std::string CmapTable(const std::vector<CmapSubtable>& subtables);
// A format 4 subtable. A segment maps start..end either by delta (glyphs
// empty) or through glyphs, one per code (idRangeOffset then points into
// the glyph array). The caller adds the final 0xFFFF segment.
struct Format4Segment {
  std::uint16_t start;
  std::uint16_t end;
  std::uint16_t delta;
  std::vector<std::uint16_t> glyphs;
};
std::string CmapFormat4(const std::vector<Format4Segment>& segments);
// A format 2 subtable: single bytes through subHeader 0 (codes
// first..first+glyphs-1), and for each lead byte a subHeader of its own.
struct Format2Range {
  std::uint16_t first_code;
  std::uint16_t delta;
  std::vector<std::uint16_t> glyphs;
};
std::string CmapFormat2(const Format2Range& single_bytes,
                        const std::vector<std::pair<std::uint8_t, Format2Range>>& lead_bytes);

// 'mort' of the one layout the reader takes: {glyph, vertical form} pairs.
std::string MortVertical(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs);
// 'GSUB' version 1.0: features (tag, lookup indexes), lookups of type 1
// with one subtable each: format 1 (delta, coverage list) or format 2
// (substitutes of the coverage list).
struct GsubLookup {
  std::uint16_t subst_format;  // 1 or 2
  std::uint16_t delta;         // format 1
  std::vector<std::uint16_t> coverage;
  std::vector<std::uint16_t> substitutes;  // format 2
  std::uint16_t lookup_type = 1;
};
std::string GsubTable(
    const std::vector<std::pair<std::string, std::vector<std::uint16_t>>>& features,
    const std::vector<GsubLookup>& lookups);

// The test font. Glyphs: 0 .notdef, 1 and 2 simple, 3 a composite of 1 and
// 2, 4 simple (the vertical form of 1), 5 empty. 'cmap' (3,1) format 4:
// 'A' (0x41) -> 1 and 'B' -> 2 by delta, 'C' -> 3 through the glyph array.
// 'hhea' 3 long metrics {500, 10}, {600, 20}, {700, 30} and bearings 40, 50,
// 60. 'OS/2' first 0x20, last 0xFF, descender -200. 'head' box
// (-10, -20, 1000, 900).
struct TestFontOptions {
  bool long_offsets = false;
  bool with_mort = false;  // 1 -> 4
  bool with_gsub = false;  // 1 -> 4 through 'vert'
  bool with_vertical_metrics = false;
  std::vector<CmapSubtable> cmap;  // replaces the default subtables
  std::uint16_t os2_first = 0x20;
  std::uint16_t os2_last = 0xFF;
};
TrueTypeWriter TestFont(const TestFontOptions& options = {});
// Options as `set` leaves them.
template <class Set>
TestFontOptions Options(Set set) {
  TestFontOptions options;
  set(options);
  return options;
}

}  // namespace support
