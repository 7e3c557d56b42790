// The glyph-level algorithms of GTTFontReader: character mapping through
// 'cmap', vertical forms through 'mort' and 'GSUB', and the composite-glyph
// walk. Every table is read through ReadTable with may-cache set (a table
// the cache holds is borrowed from it, without a buffer) and every offset
// in it is checked against the table's length.
//
// A format 4 look-up finds its segment by the forward scan, or, in a
// cached 'cmap' whose chosen subtable was found with its end codes in order
// when the choice was first made (the note kept beside the table), by
// halving probes, which find the same segment there in log time. A damaged
// table, whose end codes are out of order, keeps the scan and its answers.
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "fonts/font_items.h"
#include "fonts/tt_font_reader.h"
#include "fonts/tt_table_cache.h"
#include "output/core/byte_buffer.h"
#include "services/os_factory.h"
#include "services/os_version.h"
#include "services/unicode_converter.h"

namespace {

// 'cmap': numTables at 2, then encoding records {platform, encoding,
// offset u32} from 4; a subtable opens with format, length and language.
constexpr std::uint32_t kCmapRecordsAt = 4;
constexpr std::uint32_t kCmapRecordSize = 8;
constexpr std::uint32_t kSubtableHeaderSize = 6;
constexpr std::uint16_t kWindowsPlatform = 3;
constexpr std::uint16_t kSymbolEncoding = 0;
constexpr std::uint16_t kUnicodeEncoding = 1;

// 'OS/2': usFirstCharIndex and usLastCharIndex.
constexpr std::uint32_t kOS2FirstCharAt = 64;
constexpr std::uint32_t kOS2LastCharAt = 66;
constexpr std::uint16_t kSymbolArea = 0xF000;

// 'maxp': numGlyphs.
constexpr std::uint32_t kMaxpNumGlyphsAt = 4;

// Character sets with a meaning here.
constexpr std::uint32_t kGlyphIdSet = 1;
constexpr std::uint32_t kSymbolSet = 3;
constexpr std::uint32_t kUnicodeSet = 16;
constexpr std::uint32_t kLastDoubleByteSet = 23;

// Composite glyph records: flags, glyphIndex, arguments, transformation.
constexpr std::uint32_t kGlyphHeaderSize = 10;
constexpr std::uint16_t kArgsAreWords = 0x0001;
constexpr std::uint16_t kHaveScale = 0x0008;
constexpr std::uint16_t kMoreComponents = 0x0020;
constexpr std::uint16_t kHaveXYScale = 0x0040;
constexpr std::uint16_t kHaveTwoByTwo = 0x0080;

constexpr GCmapPreference kPreferSymbol = {kWindowsPlatform, {0, 0}, 1};
constexpr GCmapPreference kPreferShiftJis = {kWindowsPlatform, {2, 1}, 2};
constexpr GCmapPreference kPreferBig5 = {kWindowsPlatform, {3, 1}, 2};
constexpr GCmapPreference kPreferWansung = {kWindowsPlatform, {5, 1}, 2};
constexpr GCmapPreference kPreferJohab = {kWindowsPlatform, {6, 1}, 2};
constexpr GCmapPreference kPreferPrc = {kWindowsPlatform, {4, 1}, 2};
constexpr GCmapPreference kPreferUnicode = {kWindowsPlatform, {1, 0}, 1};

// The character set of a subtable's encoding, for Unicode codes; 0: none.
std::uint32_t SelectorOfEncoding(std::uint16_t encoding) {
  switch (encoding) {
    case 2:
      return 17;
    case 3:
      return 23;
    case 4:
      return 18;
    case 5:
      return 21;
    case 6:
      return 22;
    default:
      return 0;
  }
}

std::uint32_t OSMajorVersion() {
  GOSVersion version;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetOSVersion(version);
  return version.version >> 16;
}

// A table read whole through the reader: borrowed from the table cache
// when it holds the table, else a buffer freed with the scope.
struct Table {
  std::unique_ptr<GByteBuffer> buffer;
  const std::uint8_t* bytes = nullptr;
  std::uint32_t length = 0;
  bool cached = false;  // `bytes` are the table cache's

  const std::uint8_t* Data() const { return bytes; }
  bool Present() const { return bytes && length > 0; }
};

inline Table ReadWhole(GTTFontReader& reader, std::uint32_t source, std::uint32_t tag_index) {
  Table table;
  if (const GTTTableCache* cache = reader.TableCache(); cache && cache->Holds(tag_index)) {
    table.length = cache->Length(tag_index);
    table.bytes = table.length > 0 ? cache->Bytes(tag_index) : nullptr;
    table.cached = true;
    return table;
  }
  GByteBuffer* out = nullptr;
  table.length = reader.ReadTable(source, tag_index, 1, out);
  table.buffer.reset(out);
  table.bytes = out ? out->GetData() : nullptr;
  return table;
}

// A format 4 subtable after its 6-byte header: segCountX2 at 0, then from
// 8 the endCode array, a reserved word, and the startCode, idDelta and
// idRangeOffset arrays, segCount words each.
class Format4 {
 public:
  // False when the subtable has no segments or its arrays do not lie
  // inside `length`.
  bool Open(const std::uint8_t* subtable, std::size_t length) {
    bytes_ = GFontBytes(subtable, length);
    std::uint16_t seg_x2 = 0;
    if (!bytes_.U16(0, seg_x2)) return false;
    segments_ = seg_x2 / 2;
    starts_ = kEnds + 2 * std::uint64_t{segments_} + 2;
    deltas_ = starts_ + 2 * std::uint64_t{segments_};
    range_offsets_ = deltas_ + 2 * std::uint64_t{segments_};
    return segments_ > 0 && bytes_.Holds(range_offsets_, segments_, 2);
  }
  std::uint32_t Segments() const { return segments_; }
  std::uint16_t End(std::uint32_t segment) const {
    return BigEndian16(bytes_.Data(), kEnds + 2 * std::uint64_t{segment});
  }
  // Where the search for `code` starts: past rangeShift bytes of endCode
  // when the endCode at byte searchRange is not above the code.
  std::uint32_t FirstSegment(std::uint32_t code) const {
    if (segments_ < 8) return 0;
    const std::uint32_t power = std::bit_floor(segments_);  // searchRange / 2
    return End(power) <= code ? segments_ - power : 0;
  }
  // Whether the endCodes never decrease: then halving probes from the
  // first segment find what the forward scan finds.
  bool EndsSorted() const {
    for (std::uint32_t s = 1; s < segments_; ++s) {
      if (End(s) < End(s - 1)) return false;
    }
    return true;
  }
  // The first segment from `first` whose endCode is at least `code`, by
  // halving probes; Segments() when none is. REQUIRES: EndsSorted().
  std::uint32_t ProbeFrom(std::uint32_t first, std::uint32_t code) const {
    std::uint32_t count = segments_ - first;
    if (count == 0) return first;
    // The answer lies in [first, first + count]; each probe halves the
    // range, choosing without a branch. The words are read whole and
    // swapped: the probes wait on each other's loads.
    const std::uint8_t* ends = bytes_.Data() + kEnds;
    auto end = [ends](std::uint32_t segment) {
      std::uint16_t word;
      std::memcpy(&word, ends + 2 * std::size_t{segment}, 2);
      return __builtin_bswap16(word);
    };
    while (count > 1) {
      const std::uint32_t half = count / 2;
      first = end(first + half) < code ? first + half : first;
      count -= half;
    }
    return end(first) < code ? first + 1 : first;
  }
  // The glyph of `code` in `segment`. REQUIRES: segment < Segments().
  std::uint16_t Glyph(std::uint32_t segment, std::uint32_t code) const {
    const std::uint8_t* data = bytes_.Data();
    const std::uint16_t start = BigEndian16(data, starts_ + 2 * std::uint64_t{segment});
    if (start > code) return 0;
    const std::uint16_t delta = BigEndian16(data, deltas_ + 2 * std::uint64_t{segment});
    const std::uint64_t word = range_offsets_ + 2 * std::uint64_t{segment};
    const std::uint16_t range_offset = BigEndian16(data, word);
    if (range_offset == 0) return static_cast<std::uint16_t>(code + delta);
    std::uint16_t value = 0;
    if (!bytes_.U16(word + range_offset + 2 * (code - start), value) || value == 0) return 0;
    return static_cast<std::uint16_t>(value + delta);
  }

 private:
  static constexpr std::uint64_t kEnds = 8;

  GFontBytes bytes_{nullptr, 0};
  std::uint32_t segments_ = 0;
  std::uint64_t starts_ = 0;
  std::uint64_t deltas_ = 0;
  std::uint64_t range_offsets_ = 0;
};

// What MapFormat4 answers, for a subtable whose end codes never decrease.
std::uint16_t MapSortedFormat4(const std::uint8_t* subtable, std::size_t length,
                               std::uint32_t code) {
  Format4 table;
  if (code > 0xFFFF || !table.Open(subtable, length)) return 0;
  const std::uint32_t segment = table.ProbeFrom(table.FirstSegment(code), code);
  return segment == table.Segments() ? 0 : table.Glyph(segment, code);
}

// The fixed 'mort' layout whose one lookup gives vertical forms: the bytes
// that must hold these values (big-endian) at these offsets.
struct MortField {
  std::uint32_t at;
  std::uint32_t size;  // 2 or 4
  std::uint32_t value;
};
constexpr MortField kMortLayout[] = {
    {0, 4, 0x00010000},  {4, 4, 1},  {8, 4, 1},           {16, 2, 3}, {18, 2, 1}, {20, 2, 3},
    {22, 2, 0},          {24, 4, 1}, {28, 4, 0xFFFFFFFF}, {32, 2, 3}, {34, 2, 1}, {36, 4, 0},
    {40, 4, 0xFFFFFFFE}, {44, 2, 8}, {46, 2, 0},          {48, 4, 0}, {52, 4, 0}, {58, 2, 0x8004},
    {60, 4, 1},          {64, 2, 6}, {66, 2, 4},
};
constexpr std::uint32_t kMortLeastLength = 77;
constexpr std::uint32_t kMortUnitCountAt = 68;
constexpr std::uint32_t kMortUnitsAt = 76;

constexpr std::uint32_t kVertTag = 0x76657274;  // 'vert'

}  // namespace

// ---------------------------------------------------------------------------
// Choosing the subtable

const GCmapPreference& GTTFontReader::CmapPreference(std::uint32_t selector) {
  switch (selector) {
    case 3:
      return kPreferSymbol;
    case 17:
      return kPreferShiftJis;
    case 18:
    case 19:
      return kPreferBig5;
    case 20:
    case 21:
      return kPreferWansung;
    case 22:
      return kPreferJohab;
    case 23:
      return kPreferPrc;
    default:
      return kPreferUnicode;
  }
}

const GCmapPreference& GTTFontReader::SelectCmapSubtable(const std::uint8_t* cmap,
                                                         std::size_t length, std::uint32_t selector,
                                                         GCmapChoice& choice) {
  choice = GCmapChoice();
  const GCmapPreference& list = CmapPreference(selector);
  const GFontBytes bytes(cmap, cmap ? length : 0);
  std::uint16_t count = 0;
  if (!bytes.U16(2, count) || count == 0) return list;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t at = kCmapRecordsAt + std::uint64_t{i} * kCmapRecordSize;
    std::uint16_t platform = 0;
    std::uint16_t encoding = 0;
    std::uint32_t offset = 0;
    std::uint16_t format = 0;
    if (!bytes.U16(at, platform) || !bytes.U16(at + 2, encoding) || !bytes.U32(at + 4, offset))
      break;
    if (platform != list.platform || !bytes.U16(offset, format)) continue;
    bool take = !choice.found;
    if (!take) {
      for (std::uint32_t e = 0; e < list.encoding_count; ++e) {
        if (list.encodings[e] == choice.encoding) break;
        if (list.encodings[e] == encoding) {
          take = true;
          break;
        }
      }
    }
    if (take) {
      choice = GCmapChoice{true, format, offset, platform, encoding};
      if (encoding == list.encodings[0]) break;
    }
  }
  return list;
}

// ---------------------------------------------------------------------------
// Mapping

std::uint16_t GTTFontReader::AdjustCode(const GCmapChoice& choice, const std::uint8_t* os2,
                                        std::uint32_t code, std::uint32_t selector, bool& ok) {
  ok = true;
  const std::uint16_t first = BigEndian16(os2, kOS2FirstCharAt) & kSymbolArea;
  const std::uint16_t last = BigEndian16(os2, kOS2LastCharAt);
  const std::uint16_t code16 = static_cast<std::uint16_t>(code);
  GUnicodeConverter* converter = nullptr;
  auto to_wide = [&](std::uint32_t set) -> std::uint16_t {
    converter = GetUnicodeConverter();
    if (!converter) {
      ok = false;
      return 0;
    }
    return converter->ToWide(code16, set);
  };
  if (choice.encoding == kSymbolEncoding) {
    if (first == 0) {
      if (last < 0x100 || selector == kUnicodeSet ||
          (OSMajorVersion() <= 4 && selector == kSymbolSet))
        return code16;
      return to_wide(selector);
    }
    return code16 < 0x100 ? static_cast<std::uint16_t>(code16 | first) : code16;
  }
  if (choice.encoding == kUnicodeEncoding) {
    if (selector == kUnicodeSet || selector == kSymbolSet) return code16;
    if (first == kSymbolArea)
      return code16 < 0x100 ? static_cast<std::uint16_t>(code16 | kSymbolArea) : code16;
    return to_wide(selector);
  }
  if (selector != kUnicodeSet) return code16;
  std::uint32_t set = SelectorOfEncoding(choice.encoding);
  converter = set ? GetUnicodeConverter() : nullptr;
  if (!converter) {
    ok = false;
    return 0;
  }
  return converter->FromWide(code16, set);
}

std::uint16_t GTTFontReader::MapCharToGlyph(std::uint32_t source, std::uint32_t vertical,
                                            std::uint32_t code, std::uint32_t selector) {
  if (selector == kGlyphIdSet) {
    Table maxp = ReadWhole(*this, source, kTagMaxp);
    std::uint16_t num_glyphs = 0;
    if (!maxp.Present()) return static_cast<std::uint16_t>(code);
    if (GFontBytes(maxp.Data(), maxp.length).U16(kMaxpNumGlyphsAt, num_glyphs) && num_glyphs > code)
      return static_cast<std::uint16_t>(code);
  }
  if (code > 0xFFFF) return 0;
  Table os2 = ReadWhole(*this, source, kTagOS2);
  Table cmap = ReadWhole(*this, source, kTagCmap);
  // A table too short for the words read from it counts as missing.
  if (!cmap.Present() || !os2.Present() || os2.length < kOS2LastCharAt + 2) return 0;
  // A cached 'cmap' keeps, per character set, the subtable chosen and
  // whether its end codes are in order, worked out on first use.
  GCmapChoice choice;
  bool sorted_ends = false;
  GTTTableCache* cache = cmap.cached ? TableCache() : nullptr;
  if (const GTTCmapNote* note = cache ? cache->FindNote(kTagCmap, selector) : nullptr) {
    choice = GCmapChoice{note->found, note->format, note->offset, note->platform, note->encoding};
    sorted_ends = note->sorted_ends;
  } else {
    SelectCmapSubtable(cmap.Data(), cmap.length, selector, choice);
    if (cache) {
      const std::uint64_t body = std::uint64_t{choice.offset} + kSubtableHeaderSize;
      Format4 subtable;
      sorted_ends = choice.found && choice.format == 4 && body <= cmap.length &&
                    subtable.Open(cmap.Data() + body, cmap.length - body) && subtable.EndsSorted();
      cache->AddNote(kTagCmap, GTTCmapNote{selector, choice.found, choice.format, choice.offset,
                                           choice.platform, choice.encoding, sorted_ends});
    }
  }
  if (!choice.found) return 0;
  bool ok = true;
  std::uint16_t adjusted = AdjustCode(choice, os2.Data(), code, selector, ok);
  if (!ok) return 0;
  const std::uint64_t body = std::uint64_t{choice.offset} + kSubtableHeaderSize;
  if (body > cmap.length) return 0;
  const std::uint8_t* subtable = cmap.Data() + body;
  const std::size_t left = cmap.length - body;
  std::uint16_t glyph = 0;
  if (choice.format == 2) {
    glyph = MapFormat2(subtable, left, adjusted);
  } else if (choice.format == 4) {
    glyph = sorted_ends ? MapSortedFormat4(subtable, left, adjusted)
                        : MapFormat4(subtable, left, adjusted);
  } else {
    return 0;
  }
  return vertical ? VerticalForm(source, glyph) : glyph;
}

namespace {

// A format-4 subtable from its doubled segment count on: the count, the
// search range, the entry selector and the range shift, then the end
// codes, a pad word and the start codes (the deltas and range offsets
// follow).
constexpr std::uint64_t kFormat4EndsAt = 8;

// The first segment whose end code is at least `code` (one probe at the
// search range, then segment by segment), or `segments` when there is none.
// REQUIRES: the subtable holds the `segments` end codes.
std::uint32_t FindFormat4Segment(const std::uint8_t* subtable, std::uint32_t segments,
                                 std::uint32_t code) {
  std::uint32_t first = 0;
  if (segments >= 8) {
    std::uint32_t power = 1;
    while (power * 2 <= segments)
      power *= 2;
    const std::uint32_t search_range = 2 * power;  // in bytes
    const std::uint32_t range_shift = 2 * segments - search_range;
    if (BigEndian16(subtable, kFormat4EndsAt + search_range) <= code) first = range_shift / 2;
  }
  std::uint32_t segment = first;
  while (segment < segments && BigEndian16(subtable, kFormat4EndsAt + 2 * segment) < code)
    ++segment;
  return segment;
}

// The segment count and where the start codes begin; false when the bytes
// do not hold them (and the end codes before them).
bool Format4Segments(const GFontBytes& bytes, std::uint32_t& segments, std::uint64_t& starts) {
  std::uint16_t seg_x2 = 0;
  if (!bytes.U16(0, seg_x2)) return false;
  segments = seg_x2 / 2;
  starts = kFormat4EndsAt + 2 * std::uint64_t{segments} + 2;
  return segments != 0 && bytes.Holds(starts, segments, 2);
}

}  // namespace

bool CmapFormat4HasChar(const std::uint8_t* subtable, std::size_t length, std::uint32_t code) {
  const GFontBytes bytes(subtable, length);
  std::uint32_t segments = 0;
  std::uint64_t starts = 0;
  if (code > 0xFFFF || !subtable || !Format4Segments(bytes, segments, starts)) return false;
  const std::uint32_t segment = FindFormat4Segment(subtable, segments, code);
  return segment < segments && BigEndian16(subtable, starts + 2 * segment) <= code;
}

std::uint16_t GTTFontReader::MapFormat4(const std::uint8_t* subtable, std::size_t length,
                                        std::uint32_t code) {
  const GFontBytes bytes(subtable, length);
  std::uint32_t segments = 0;
  std::uint64_t starts = 0;
  if (code > 0xFFFF || !Format4Segments(bytes, segments, starts)) return 0;
  const std::uint64_t deltas = starts + 2 * std::uint64_t{segments};
  const std::uint64_t range_offsets = deltas + 2 * std::uint64_t{segments};
  if (!bytes.Holds(range_offsets, segments, 2)) return 0;
  const std::uint32_t segment = FindFormat4Segment(subtable, segments, code);
  if (segment == segments) return 0;
  const std::uint16_t start = BigEndian16(subtable, starts + 2 * segment);
  if (start > code) return 0;
  const std::uint16_t delta = BigEndian16(subtable, deltas + 2 * segment);
  const std::uint64_t word = range_offsets + 2 * std::uint64_t{segment};
  const std::uint16_t range_offset = BigEndian16(subtable, word);
  if (range_offset == 0) return static_cast<std::uint16_t>(code + delta);
  std::uint16_t value = 0;
  if (!bytes.U16(word + range_offset + 2 * (code - start), value) || value == 0) return 0;
  return static_cast<std::uint16_t>(value + delta);
}

std::uint16_t GTTFontReader::MapFormat2(const std::uint8_t* subtable, std::size_t length,
                                        std::uint32_t code) {
  constexpr std::uint32_t kSubHeadersAt = 512;
  const GFontBytes bytes(subtable, length);
  std::uint16_t key = 0;
  if (code > 0xFFFF || !bytes.U16(2 * (code >> 8), key)) return 0;
  const std::uint64_t header = kSubHeadersAt + std::uint64_t{key};
  std::uint16_t first_code = 0;
  std::uint16_t entry_count = 0;
  std::uint16_t delta = 0;
  std::uint16_t range_offset = 0;
  if (!bytes.U16(header, first_code) || !bytes.U16(header + 2, entry_count) ||
      !bytes.U16(header + 4, delta) || !bytes.U16(header + 6, range_offset))
    return 0;
  const std::uint32_t byte = key == 0 && code > 0xFF ? code >> 8 : code & 0xFF;
  const std::uint16_t index = static_cast<std::uint16_t>(byte - first_code);
  if (index >= entry_count) return 0;
  std::uint16_t value = 0;
  if (!bytes.U16(header + 6 + range_offset + 2 * std::uint64_t{index}, value) || value == 0)
    return 0;
  return static_cast<std::uint16_t>(value + delta);
}

// ---------------------------------------------------------------------------
// Vertical forms

std::uint16_t GTTFontReader::VerticalForm(std::uint32_t source, std::uint16_t glyph) {
  Table mort = ReadWhole(*this, source, kTagMort);
  if (mort.Present()) return LookupMortVertical(mort.Data(), mort.length, glyph);
  Table gsub = ReadWhole(*this, source, kTagGSUB);
  if (gsub.Present()) return LookupGsubVertical(gsub.Data(), gsub.length, glyph);
  return glyph;
}

std::uint16_t GTTFontReader::LookupMortVertical(const std::uint8_t* table, std::size_t length,
                                                std::uint16_t glyph) {
  if (!table || length < kMortLeastLength) return glyph;
  for (const MortField& field : kMortLayout) {
    std::uint32_t value =
        field.size == 4 ? BigEndian32(table, field.at) : BigEndian16(table, field.at);
    if (value != field.value) return glyph;
  }
  const std::uint32_t units = BigEndian16(table, kMortUnitCountAt);
  if (units == 0 || kMortUnitsAt + 4 * std::uint64_t{units} > length) return glyph;
  for (std::uint32_t i = 0; i < units; ++i) {
    const std::size_t at = kMortUnitsAt + 4 * std::size_t{i};
    if (BigEndian16(table, at) == glyph) return BigEndian16(table, at + 2);
  }
  return glyph;
}

std::uint16_t GTTFontReader::LookupGsubVertical(const std::uint8_t* table, std::size_t length,
                                                std::uint16_t glyph) {
  const GFontBytes bytes(table, table ? length : 0);
  std::uint32_t version = 0;
  std::uint16_t feature_list = 0;
  std::uint16_t lookup_list = 0;
  if (length < 10 || !bytes.U32(0, version) || (version != 0x00010000 && version != 0x00001000) ||
      !bytes.U16(6, feature_list) || !bytes.U16(8, lookup_list))
    return glyph;
  // The first 'vert' feature.
  std::uint16_t feature_count = 0;
  if (!bytes.U16(feature_list, feature_count) || !bytes.Holds(feature_list + 2u, feature_count, 6))
    return glyph;
  std::uint64_t feature = 0;
  bool found = false;
  for (std::uint32_t i = 0; i < feature_count && !found; ++i) {
    const std::uint64_t record = feature_list + 2u + 6 * std::uint64_t{i};
    if (BigEndian32(table, record) != kVertTag) continue;
    feature = feature_list + std::uint64_t{BigEndian16(table, record + 4)};
    found = true;
  }
  std::uint16_t index_count = 0;
  std::uint16_t lookup_count = 0;
  if (!found || !bytes.U16(feature + 2, index_count) || !bytes.Holds(feature + 4, index_count, 2) ||
      !bytes.U16(lookup_list, lookup_count) || !bytes.Holds(lookup_list + 2u, lookup_count, 2))
    return glyph;
  for (std::uint32_t k = 0; k < index_count; ++k) {
    const std::uint16_t index = BigEndian16(table, feature + 4 + 2 * std::uint64_t{k});
    if (index >= lookup_count) return glyph;
    const std::uint64_t lookup =
        lookup_list + std::uint64_t{BigEndian16(table, lookup_list + 2u + 2u * index)};
    std::uint16_t type = 0;
    std::uint16_t subtable_count = 0;
    if (!bytes.U16(lookup, type) || !bytes.U16(lookup + 4, subtable_count) ||
        !bytes.Holds(lookup + 6, subtable_count, 2) || type != 1)
      return glyph;
    for (std::uint32_t s = 0; s < subtable_count; ++s) {
      const std::uint64_t sub = lookup + std::uint64_t{BigEndian16(table, lookup + 6 + 2 * s)};
      if (!bytes.Holds(sub, 6)) return glyph;
      const std::uint16_t format = BigEndian16(table, sub);
      const std::uint16_t value = BigEndian16(table, sub + 4);  // delta, or glyphCount
      if (format == 2 && !bytes.Holds(sub + 6, value, 2)) return glyph;
      if (format != 1 && format != 2) return glyph;
      const std::uint64_t coverage = sub + std::uint64_t{BigEndian16(table, sub + 2)};
      if (!bytes.Holds(coverage, 4)) return glyph;
      const std::uint16_t coverage_format = BigEndian16(table, coverage);
      const std::uint16_t count = BigEndian16(table, coverage + 2);
      bool covered = false;
      std::uint32_t coverage_index = 0;
      if (coverage_format == 1) {
        if (!bytes.Holds(coverage + 4, count, 2)) return glyph;
        for (std::uint32_t i = 0; i < count && !covered; ++i) {
          covered = BigEndian16(table, coverage + 4 + 2 * std::uint64_t{i}) == glyph;
          coverage_index = i;
        }
      } else if (coverage_format == 2) {
        if (!bytes.Holds(coverage + 4, count, 6)) return glyph;
        for (std::uint32_t i = 0; i < count && !covered; ++i) {
          const std::uint64_t range = coverage + 4 + 6 * std::uint64_t{i};
          const std::uint16_t start = BigEndian16(table, range);
          const std::uint16_t end = BigEndian16(table, range + 2);
          if (start > glyph || glyph > end) continue;
          covered = true;
          coverage_index = BigEndian16(table, range + 4) + (glyph - start);
        }
      } else {
        continue;
      }
      if (!covered) continue;
      if (format == 1) return static_cast<std::uint16_t>(glyph + value);
      // A coverage index past the substitutes lies outside the subtable.
      if (coverage_index >= value) return glyph;
      return BigEndian16(table, sub + 6 + 2 * std::uint64_t{coverage_index});
    }
  }
  return glyph;
}

// ---------------------------------------------------------------------------
// The composite walk

struct GTTFontReader::WalkState {
  enum Mark : std::uint8_t { kUnseen = 0, kOnWalk = 1, kWalked = 2 };
  std::vector<std::uint8_t> marks;  // per glyph id, made on the first composite
  std::uint32_t depth = 0;
};

std::uint32_t GTTFontReader::WalkGlyph(std::uint32_t source, std::uint16_t glyph,
                                       std::uint32_t code, std::uint32_t converter,
                                       std::uint32_t selector, const GFontDescriptionRecord& record,
                                       std::uint32_t nested) {
  WalkState state;
  return Walk(source, glyph, code, converter, selector, record, nested, state);
}

std::uint32_t GTTFontReader::Walk(std::uint32_t source, std::uint16_t glyph, std::uint32_t code,
                                  std::uint32_t converter, std::uint32_t selector,
                                  const GFontDescriptionRecord& record, std::uint32_t nested,
                                  WalkState& state) {
  GByteBuffer* read = nullptr;
  std::uint32_t length = GetGlyphData(source, 1, glyph, read);
  std::unique_ptr<GByteBuffer> data(read);
  if (!data || length > data->GetSize()) return 0;
  if (length == 0) return 1;
  if (length >= 2 && static_cast<std::int16_t>(BigEndian16(data->GetData(), 0)) < 0) {
    if (state.depth >= kTTMaxComponentDepth) return 0;
    if (state.marks.empty()) state.marks.assign(0x10000, WalkState::kUnseen);
    state.marks[glyph] = WalkState::kOnWalk;
    const GFontBytes bytes(data->GetData(), length);
    std::uint64_t at = kGlyphHeaderSize;
    std::uint16_t flags = 0;
    do {
      std::uint16_t component = 0;
      if (!bytes.U16(at, flags) || !bytes.U16(at + 2, component)) return 0;
      at += 4 + ((flags & kArgsAreWords) ? 4 : 2);
      at += (flags & kHaveTwoByTwo) ? 8 : (flags & kHaveXYScale) ? 4 : (flags & kHaveScale) ? 2 : 0;
      if (at > length) return 0;
      // A composite that contains itself is damaged; one walked already in
      // this walk needs no second walk.
      if (state.marks[component] == WalkState::kOnWalk) return 0;
      if (state.marks[component] == WalkState::kWalked) continue;
      ++state.depth;
      std::uint32_t walked = Walk(source, component, code, converter, selector, record, 1, state);
      --state.depth;
      if (!walked) return 0;
      state.marks[component] = WalkState::kWalked;
    } while (flags & kMoreComponents);
    state.marks[glyph] = WalkState::kWalked;
  }
  data.reset();
  if (nested || !converter) return 1;
  const bool glyph_set =
      selector == kGlyphIdSet || (selector >= kUnicodeSet && selector <= kLastDoubleByteSet);
  GByteBuffer* converted = nullptr;
  std::uint32_t result =
      ConvertGlyph(source, 1, glyph_set ? glyph : static_cast<std::uint16_t>(code), code, converted,
                   0, selector, record);
  (void)result;
  std::unique_ptr<GByteBuffer> release(converted);
  return release ? 1 : 0;
}
