#include "support/truetype_writer.h"

#include <map>

namespace support {

std::string Be16(std::uint16_t value) {
  return std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string Be32(std::uint32_t value) {
  return Be16(static_cast<std::uint16_t>(value >> 16)) + Be16(static_cast<std::uint16_t>(value));
}

namespace {

std::uint16_t U16(std::int32_t value) {
  return static_cast<std::uint16_t>(value);
}

void Pad4(std::string& bytes) {
  while (bytes.size() % 4)
    bytes.push_back('\0');
}

}  // namespace

void TrueTypeWriter::Add(const std::string& tag, const std::string& bytes) {
  tables_.emplace_back(tag, bytes);
}

std::vector<std::uint32_t> TrueTypeWriter::TableOffsets() const {
  std::vector<std::uint32_t> offsets;
  std::uint32_t at = 12 + 16 * static_cast<std::uint32_t>(tables_.size());
  for (const auto& table : tables_) {
    offsets.push_back(at);
    at += static_cast<std::uint32_t>((table.second.size() + 3) / 4 * 4);
  }
  return offsets;
}

std::string TrueTypeWriter::Build() const {
  const std::uint16_t count = static_cast<std::uint16_t>(tables_.size());
  std::uint16_t power = 1;
  std::uint16_t selector = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++selector;
  }
  std::string out = Be32(0x00010000) + Be16(count) + Be16(U16(16 * power)) + Be16(selector) +
                    Be16(U16(16 * count - 16 * power));
  std::vector<std::uint32_t> offsets = TableOffsets();
  for (std::size_t i = 0; i < tables_.size(); ++i) {
    out += tables_[i].first.substr(0, 4) + Be32(0) + Be32(offsets[i]) +
           Be32(static_cast<std::uint32_t>(tables_[i].second.size()));
  }
  for (const auto& table : tables_) {
    out += table.second;
    Pad4(out);
  }
  return out;
}

std::string HeadTable(std::int16_t loc_format, std::int16_t x_min, std::int16_t y_min,
                      std::int16_t x_max, std::int16_t y_max) {
  std::string head(36, '\0');
  head.replace(0, 4, Be32(0x00010000));
  head.replace(12, 4, Be32(0x5F0F3CF5));  // magic number
  head.replace(18, 2, Be16(1000));        // unitsPerEm
  head += Be16(U16(x_min)) + Be16(U16(y_min)) + Be16(U16(x_max)) + Be16(U16(y_max));
  head += std::string(6, '\0');  // macStyle, lowestRecPPEM, fontDirectionHint
  head += Be16(U16(loc_format)) + Be16(0);
  return head;  // 54 bytes
}

std::string MetricsHeader(std::uint16_t long_metrics) {
  return Be32(0x00010000) + std::string(30, '\0') + Be16(long_metrics);
}

std::string MetricsTable(const std::vector<std::pair<std::uint16_t, std::int16_t>>& long_metrics,
                         const std::vector<std::int16_t>& bearings) {
  std::string out;
  for (const auto& [advance, bearing] : long_metrics)
    out += Be16(advance) + Be16(U16(bearing));
  for (std::int16_t bearing : bearings)
    out += Be16(U16(bearing));
  return out;
}

std::string MaxpTable(std::uint16_t num_glyphs) {
  return Be32(0x00005000) + Be16(num_glyphs);
}

std::string Os2Table(std::uint16_t first_char, std::uint16_t last_char,
                     std::int16_t typo_descender) {
  std::string os2(78, '\0');
  os2.replace(64, 2, Be16(first_char));
  os2.replace(66, 2, Be16(last_char));
  os2.replace(70, 2, Be16(U16(typo_descender)));
  return os2;
}

std::string PostTable() {
  return Be32(0x00030000) + std::string(28, '\0');
}

std::string NameTable() {
  return Be16(0) + Be16(0) + Be16(6);
}

std::string SimpleGlyph(std::uint16_t points) {
  // numberOfContours 1, the box, endPtsOfContours, no instructions, one
  // flag byte (on curve, both coordinates short and positive) and one x
  // and one y byte per point.
  std::string glyph = Be16(1) + Be16(0) + Be16(0) + Be16(100) + Be16(100);
  glyph += Be16(U16(points - 1)) + Be16(0);
  glyph += std::string(points, '\x37');
  glyph += std::string(2 * points, '\x05');
  return glyph;
}

std::string BoxGlyph(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1) {
  // numberOfContours 1, the box, endPtsOfContours {3}, no instructions,
  // four flags 0x01 (on curve, coordinates as 16-bit deltas), then the x
  // and the y deltas of (x0, y0), (x0, y1), (x1, y1), (x1, y0).
  std::string glyph = Be16(1) + Be16(U16(x0)) + Be16(U16(y0)) + Be16(U16(x1)) + Be16(U16(y1));
  glyph += Be16(3) + Be16(0) + std::string(4, '\x01');
  for (std::int32_t dx : {std::int32_t{x0}, 0, x1 - x0, 0})
    glyph += Be16(U16(dx));
  for (std::int32_t dy : {std::int32_t{y0}, y1 - y0, 0, y0 - y1})
    glyph += Be16(U16(dy));
  return glyph;
}

std::string CompositeGlyph(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& components) {
  std::string glyph = Be16(0xFFFF) + Be16(0) + Be16(0) + Be16(100) + Be16(100);
  for (std::size_t i = 0; i < components.size(); ++i) {
    std::uint16_t flags = components[i].second;
    if (i + 1 < components.size()) flags |= 0x20;
    glyph += Be16(flags) + Be16(components[i].first);
    glyph += std::string((flags & 1) ? 4 : 2, '\0');
    glyph += std::string((flags & 0x80) ? 8 : (flags & 0x40) ? 4 : (flags & 0x08) ? 2 : 0, '\0');
  }
  return glyph;
}

std::pair<std::string, std::string> GlyfAndLoca(const std::vector<std::string>& glyphs,
                                                bool long_offsets) {
  std::string glyf;
  std::string loca;
  auto entry = [&](std::size_t offset) {
    loca += long_offsets ? Be32(static_cast<std::uint32_t>(offset))
                         : Be16(static_cast<std::uint16_t>(offset / 2));
  };
  for (const std::string& glyph : glyphs) {
    entry(glyf.size());
    glyf += glyph;
    if (glyf.size() % 2) glyf.push_back('\0');
  }
  entry(glyf.size());
  return {glyf, loca};
}

std::string CmapTable(const std::vector<CmapSubtable>& subtables) {
  std::string records;
  std::string bodies;
  std::uint32_t at = 4 + 8 * static_cast<std::uint32_t>(subtables.size());
  for (const CmapSubtable& subtable : subtables) {
    records += Be16(subtable.platform) + Be16(subtable.encoding) +
               Be32(at + static_cast<std::uint32_t>(bodies.size()));
    bodies += subtable.bytes;
  }
  return Be16(0) + Be16(static_cast<std::uint16_t>(subtables.size())) + records + bodies;
}

std::string CmapFormat4(const std::vector<Format4Segment>& segments) {
  const std::uint16_t count = static_cast<std::uint16_t>(segments.size());
  std::uint16_t power = 1;
  std::uint16_t selector = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++selector;
  }
  std::string ends, starts, deltas, ranges, glyphs;
  std::uint16_t glyph_index = 0;
  for (std::uint16_t i = 0; i < count; ++i) {
    const Format4Segment& segment = segments[i];
    ends += Be16(segment.end);
    starts += Be16(segment.start);
    deltas += Be16(segment.delta);
    if (segment.glyphs.empty()) {
      ranges += Be16(0);
      continue;
    }
    // From this segment's idRangeOffset word to its first glyph entry.
    ranges += Be16(U16(2 * (count - i) + 2 * glyph_index));
    for (std::uint16_t glyph : segment.glyphs)
      glyphs += Be16(glyph);
    glyph_index = U16(glyph_index + segment.glyphs.size());
  }
  std::string body = Be16(U16(2 * count)) + Be16(U16(2 * power)) + Be16(selector) +
                     Be16(U16(2 * count - 2 * power)) + ends + Be16(0) + starts + deltas + ranges +
                     glyphs;
  return Be16(4) + Be16(U16(body.size() + 6)) + Be16(0) + body;
}

std::string CmapFormat2(const Format2Range& single_bytes,
                        const std::vector<std::pair<std::uint8_t, Format2Range>>& lead_bytes) {
  std::vector<const Format2Range*> headers{&single_bytes};
  std::uint16_t keys[256] = {};
  for (const auto& [lead, range] : lead_bytes) {
    keys[lead] = U16(8 * headers.size());
    headers.push_back(&range);
  }
  std::string body;
  for (std::uint16_t key : keys)
    body += Be16(key);
  const std::uint32_t arrays = 512 + 8 * static_cast<std::uint32_t>(headers.size());
  std::uint32_t array_at = arrays;
  std::string glyphs;
  for (std::size_t k = 0; k < headers.size(); ++k) {
    const Format2Range& range = *headers[k];
    const std::uint32_t word_at = 512 + 8 * static_cast<std::uint32_t>(k) + 6;
    body += Be16(range.first_code) + Be16(U16(range.glyphs.size())) + Be16(range.delta) +
            Be16(U16(array_at - word_at));
    for (std::uint16_t glyph : range.glyphs)
      glyphs += Be16(glyph);
    array_at += 2 * static_cast<std::uint32_t>(range.glyphs.size());
  }
  body += glyphs;
  return Be16(2) + Be16(U16(body.size() + 6)) + Be16(0) + body;
}

std::string MortVertical(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs) {
  std::string mort = Be32(0x00010000) + Be32(1) + Be32(1) + Be32(0) + Be16(3) + Be16(1);
  mort += Be16(3) + Be16(0) + Be32(1) + Be32(0xFFFFFFFF);
  mort += Be16(3) + Be16(1) + Be32(0) + Be32(0xFFFFFFFE);
  mort += Be16(8) + Be16(0) + Be32(0) + Be32(0);
  mort += Be16(0) + Be16(0x8004) + Be32(1);
  mort += Be16(6) + Be16(4) + Be16(U16(pairs.size())) + std::string(6, '\0');
  for (const auto& [glyph, vertical] : pairs)
    mort += Be16(glyph) + Be16(vertical);
  return mort;
}

std::string GsubTable(
    const std::vector<std::pair<std::string, std::vector<std::uint16_t>>>& features,
    const std::vector<GsubLookup>& lookups) {
  // Header (10), an empty script list (2), the feature list, the lookup
  // list; offsets are relative as the format has them.
  std::string feature_records;
  std::string feature_tables;
  const std::uint32_t records_size = 2 + 6 * static_cast<std::uint32_t>(features.size());
  for (const auto& [tag, indexes] : features) {
    feature_records += tag.substr(0, 4) + Be16(U16(records_size + feature_tables.size()));
    feature_tables += Be16(0) + Be16(U16(indexes.size()));
    for (std::uint16_t index : indexes)
      feature_tables += Be16(index);
  }
  std::string feature_list = Be16(U16(features.size())) + feature_records + feature_tables;
  std::string lookup_offsets;
  std::string lookup_tables;
  const std::uint32_t offsets_size = 2 + 2 * static_cast<std::uint32_t>(lookups.size());
  for (const GsubLookup& lookup : lookups) {
    lookup_offsets += Be16(U16(offsets_size + lookup_tables.size()));
    // Lookup (8 bytes), then its subtable, then the coverage.
    std::string subtable;
    std::uint32_t subtable_size =
        lookup.subst_format == 1 ? 6
                                 : 6 + 2 * static_cast<std::uint32_t>(lookup.substitutes.size());
    subtable += Be16(lookup.subst_format) + Be16(U16(subtable_size));
    if (lookup.subst_format == 1) {
      subtable += Be16(lookup.delta);
    } else {
      subtable += Be16(U16(lookup.substitutes.size()));
      for (std::uint16_t glyph : lookup.substitutes)
        subtable += Be16(glyph);
    }
    subtable += Be16(1) + Be16(U16(lookup.coverage.size()));
    for (std::uint16_t glyph : lookup.coverage)
      subtable += Be16(glyph);
    lookup_tables += Be16(lookup.lookup_type) + Be16(0) + Be16(1) + Be16(8) + subtable;
  }
  std::string lookup_list = Be16(U16(lookups.size())) + lookup_offsets + lookup_tables;
  const std::uint32_t feature_at = 12;
  const std::uint32_t lookup_at = feature_at + static_cast<std::uint32_t>(feature_list.size());
  return Be32(0x00010000) + Be16(10) + Be16(U16(feature_at)) + Be16(U16(lookup_at)) + Be16(0) +
         feature_list + lookup_list;
}

TrueTypeWriter TestFont(const TestFontOptions& options) {
  std::vector<std::string> glyphs = {SimpleGlyph(1), SimpleGlyph(2),
                                     SimpleGlyph(3), CompositeGlyph({{1, 0}, {2, 0}}),
                                     SimpleGlyph(4), ""};
  auto [glyf, loca] = GlyfAndLoca(glyphs, options.long_offsets);
  std::vector<CmapSubtable> cmap = options.cmap;
  if (cmap.empty()) {
    cmap.push_back(
        {3, 1,
         CmapFormat4(
             {{0x41, 0x42, U16(1 - 0x41), {}}, {0x43, 0x43, 0, {3}}, {0xFFFF, 0xFFFF, 1, {}}})});
  }
  TrueTypeWriter font;
  font.Add("cmap", CmapTable(cmap));
  font.Add("glyf", glyf);
  font.Add("head", HeadTable(options.long_offsets ? 1 : 0, -10, -20, 1000, 900));
  font.Add("hhea", MetricsHeader(3));
  font.Add("hmtx", MetricsTable({{500, 10}, {600, 20}, {700, 30}}, {40, 50, 60}));
  font.Add("loca", loca);
  font.Add("maxp", MaxpTable(6));
  font.Add("name", NameTable());
  font.Add("post", PostTable());
  font.Add("OS/2", Os2Table(options.os2_first, options.os2_last, -200));
  if (options.with_mort) font.Add("mort", MortVertical({{1, 4}}));
  if (options.with_gsub) font.Add("GSUB", GsubTable({{"vert", {0}}}, {{1, 3, {1}, {}}}));
  if (options.with_vertical_metrics) {
    font.Add("vhea", MetricsHeader(2));
    font.Add("vmtx", MetricsTable({{1000, 80}, {1100, 90}}, {70}));
  }
  return font;
}

}  // namespace support
