// GTTFontReader: the shared, lockable reader of one TrueType font. The font
// pool (tt_font_pool.h) keeps one per font key and generators use it through
// font-file handles. The reader never opens a file itself: its pure
// operations are the file access of a concrete reader (tt_file_reader.h),
// and everything else is built on them: table reads that keep whole tables
// below kTTWholeTableLimit bytes, glyph data through 'loca' and 'glyf', the
// header values read once and kept, the check for the required tables,
// preloading, and the glyph-level algorithms: character mapping through
// 'cmap' formats 4 and 2, vertical forms through 'mort' or the 'GSUB'
// 'vert' feature, and the walk of composite glyphs (tt_glyph_mapping.cpp).
// What it has read lives in two persistable caches (tt_table_cache.h,
// glyph_cache.h), so that a reader saved beside a spooled page serves it
// again without the font file. Every value read from the font is held in
// host order.
//
// Font data is outside data: every offset, length and count that a table
// gives is checked against the table before use, and a glyph's length
// against 'glyf' before anything is allocated for it. A missing table, a
// short read, damaged data or a failed allocation makes the operation
// answer 0 (or no buffer, the missing glyph 0, or the glyph itself from the
// vertical lookups) and caches nothing from the failed read. The concrete
// reader checks its own file structure.
//
// Not registered: it has no class id of its own and is saved only as part
// of its owners, as its concrete class.
//
// Stored form of the reader's part, after the base part of
// MPersistentObject (a concrete class adds its own part after it):
//   version             u32  kTTFontReaderVersion
//   cache generation    u32
//   font key            u32
//   indexToLocFormat    u8   (255 unread)
//   two spare records   i32, i16, i16, u16 each
//   numGlyphs           i32 read flag, u16
//   sTypoDescender      i32 read flag, i16
//   numberOfHMetrics    i32 read flag, u16
//   numOfLongVerMetrics i32 read flag, u16
//   table cache         object reference (nil when absent)
//   glyph cache         object reference (nil when absent)
// The lock, the locked flag, both owner lists, the use count, the
// preloaded flag and the renderer are not stored. A restore of another
// version keeps the reader as it was; a cache that is of another class, or
// already held elsewhere in the graph, fails the read.
//
// Ownership: the reader owns its lock object, its caches and its renderer;
// buffers it hands out belong to the caller (a buffer lending cached bytes
// must not outlive the reader's next change). Threads: every use runs between Lock
// and Unlock of the reader's own lock (a handle does this); the cache
// generation and the caches change only under it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fonts/font_description_record.h"
#include "fonts/tt_tags.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"

class GByteBuffer;
class GGlyphCache;
class GLock;
class GTTOutlineRenderer;
class GTTTableCache;
struct GGlyphMetrics;

inline constexpr std::uint32_t kTTFontReaderVersion = 1;
// Tables shorter than this are read whole once and kept; longer ones are
// read piece by piece each time.
inline constexpr std::uint32_t kTTWholeTableLimit = 250000;
// indexToLocFormat before 'head' was read.
inline constexpr std::uint8_t kTTLocFormatUnread = 255;
// Composite glyphs nest at most this deep; a deeper glyph is damaged.
inline constexpr std::uint32_t kTTMaxComponentDepth = 32;

// The 'cmap' subtable that SelectCmapSubtable chose.
struct GCmapChoice {
  bool found = false;
  std::uint16_t format = 0;
  std::uint32_t offset = 0;  // from the start of 'cmap'
  std::uint16_t platform = 0;
  std::uint16_t encoding = 0;
};

// The subtables a character set wants, most wanted first.
struct GCmapPreference {
  std::uint16_t platform;
  std::uint16_t encodings[2];
  std::uint32_t encoding_count;
};

class GTTFontReader : public MPersistentObject {
 public:
  // A header value read once from the font: its read flag and value.
  template <class T>
  struct CachedValue {
    std::int32_t read = 0;
    T value = 0;
    bool operator==(const CachedValue&) const = default;
  };
  // A header record that no operation fills; stored, compared and merged.
  struct SpareRecord {
    std::int32_t read = 0;
    std::int16_t value1 = 0;
    std::int16_t value2 = 0;
    std::uint16_t value3 = 0;
    bool operator==(const SpareRecord&) const = default;
  };

  // Font key 0 (or `font_key`), indexToLocFormat unread, everything else
  // zero; a lock object of its own (fonts/font_lock.h).
  GTTFontReader();
  explicit GTTFontReader(std::uint32_t font_key);
  // The persistent base of `other` only; everything else as constructed.
  GTTFontReader(const GTTFontReader& other);
  GTTFontReader& operator=(const GTTFontReader&) = delete;
  // Deletes the caches and the lock object.
  ~GTTFontReader() override;

  // Takes the lock object (a failure is reported through ReportDriverError,
  // which ends the process) and sets the locked flag; Unlock clears the
  // flag and releases the lock object.
  void Lock();
  void Unlock();
  bool IsLocked() const { return locked_ != 0; }

  // 1 when every required table has a non-zero length, else 0.
  std::uint32_t CheckRequiredTables(std::uint32_t source);
  // The cached copy's length, else QueryTableLength; 0 for a bad index.
  std::uint32_t GetTableLength(std::uint32_t source, std::uint32_t tag_index);
  // Copies `length` bytes at `offset` of the table into `destination` and
  // answers `length`; 0 when the range does not lie inside the table or
  // cannot be read. With `may_cache` and caching allowed, a table below
  // kTTWholeTableLimit is read whole and kept.
  std::uint32_t ReadTablePart(std::uint32_t source, std::uint32_t tag_index, std::uint32_t offset,
                              std::uint32_t may_cache, std::uint8_t* destination,
                              std::uint32_t length);
  // The table's length, with a new buffer of it in `out` (none for a
  // missing table; an empty owning buffer for a table of length 0 that may
  // be cached).
  std::uint32_t ReadTable(std::uint32_t source, std::uint32_t tag_index, std::uint32_t may_cache,
                          GByteBuffer*& out);
  // The glyph's raw data in a new buffer and its length; 0 and no buffer
  // when it cannot be read, an empty owning buffer for an empty glyph.
  virtual std::uint32_t GetGlyphData(std::uint32_t source, std::uint32_t may_cache,
                                     std::uint16_t glyph, GByteBuffer*& out);
  // The glyph's offset in 'glyf'; 0 when it cannot be read.
  virtual std::uint32_t GetGlyphOffset(std::uint32_t source, std::uint16_t glyph);
  // xMin, yMin, xMax, yMax of 'head': 8, or 0 when they cannot be read.
  std::uint32_t GetFontBoundingBox(std::uint32_t source, std::int16_t box[4]);
  // 1 with the value, 0 when it cannot be read.
  std::uint32_t GetNumGlyphs(std::uint32_t source, std::uint16_t& value);
  std::uint32_t GetTypoDescender(std::uint32_t source, std::int16_t& value);
  std::uint32_t GetHorizontalMetrics(std::uint32_t source, std::uint16_t glyph,
                                     std::uint16_t& advance_width, std::int16_t& left_side_bearing);
  std::uint32_t GetVerticalMetrics(std::uint32_t source, std::uint16_t glyph,
                                   std::uint16_t& advance_height, std::int16_t& top_side_bearing);

  // Gives `buffer` to the table cache (made on first use); the generation
  // rises when the cache grew. REQUIRES: tag_index < kTTTagCount + 1.
  void StoreTable(std::uint32_t tag_index, GByteBuffer* buffer);
  // Puts a node of the two buffers (either may be null; both are taken)
  // into the glyph cache under `glyph`; the generation rises when it grew.
  void CacheGlyph(std::uint16_t glyph, GByteBuffer* first, GByteBuffer* second);
  // The cached copy's length with a new buffer lending it; 0 and none when
  // not cached.
  std::uint32_t FindCachedTable(std::uint32_t tag_index, GByteBuffer*& out) const;
  // 1 with a new buffer lending the cached block; 0 and none when absent.
  std::uint32_t FindCachedGlyph(std::uint16_t glyph, GByteBuffer*& out) const;
  std::uint32_t FindCachedGlyphSecond(std::uint16_t glyph, GByteBuffer*& out) const;

  // The bitmap of the glyph of `code` in the character set `selector` at
  // `pixels` (GTTOutlineRenderer::Render), rendered through the reader's
  // renderer: made from its tables for `source` at first use, then shared
  // by every face of the font until a table joins the cache (a merge, a
  // restore) or another source asks. A renderer that cannot be made is not
  // tried again until then, and the glyph is not mapped without one. 0 and
  // no buffer when no bitmap can be had.
  std::uint32_t RenderGlyph(std::uint32_t source, std::uint32_t code, std::uint32_t selector,
                            std::int32_t pixels, GGlyphMetrics& metrics, GByteBuffer*& out);
  // The renderer's font bytes (0 while there is none).
  std::size_t RendererFontSize() const;
  // Lets the renderer go; the next glyph makes a new one. The pool calls it
  // when no handle holds the reader any more.
  void DropRenderer();

  // Reads and keeps the preloaded tables and glyph 0 (and, for character
  // set 17, the glyph of 0xA5) once; answers 1.
  std::uint32_t PreloadTables(std::uint32_t source, std::uint32_t selector);

  // The glyph of `code` in the character set `selector` (0, the missing
  // glyph, when the font has none), its vertical form when `vertical`.
  std::uint16_t MapCharToGlyph(std::uint32_t source, std::uint32_t vertical, std::uint32_t code,
                               std::uint32_t selector);
  // Reads (and caches) the glyph and, depth first, every component of a
  // composite glyph; at the top level with `converter` set, hands the
  // glyph to ConvertGlyph. 1, or 0 when data cannot be read, a composite
  // is damaged (records past its end, a component of itself, nesting
  // deeper than kTTMaxComponentDepth) or the conversion gives nothing.
  std::uint32_t WalkGlyph(std::uint32_t source, std::uint16_t glyph, std::uint32_t code,
                          std::uint32_t converter, std::uint32_t selector,
                          const GFontDescriptionRecord& record, std::uint32_t nested);

  // The glyph-level table lookups, on raw big-endian bytes of `length`.
  // `subtable` is a format 4 or 2 subtable's bytes after its 6-byte header.
  static std::uint16_t MapFormat4(const std::uint8_t* subtable, std::size_t length,
                                  std::uint32_t code);
  static std::uint16_t MapFormat2(const std::uint8_t* subtable, std::size_t length,
                                  std::uint32_t code);
  static std::uint16_t LookupMortVertical(const std::uint8_t* table, std::size_t length,
                                          std::uint16_t glyph);
  static std::uint16_t LookupGsubVertical(const std::uint8_t* table, std::size_t length,
                                          std::uint16_t glyph);
  // The preference list of `selector`.
  static const GCmapPreference& CmapPreference(std::uint32_t selector);

  // The reader's own operations.
  // Makes the caches it lacks and merges the other's into them, then takes
  // the other's header values with their flags.
  virtual void Merge(GTTFontReader& other);
  virtual std::uint32_t FileRequest1(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                     std::uint32_t d) = 0;
  virtual std::uint32_t FileRequest2(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                     std::uint32_t d) = 0;
  // The whole table `tag` in a new buffer in `out`, of `length` bytes;
  // answers the bytes read (fewer on failure, then no buffer need come).
  virtual std::uint32_t ReadWholeTable(std::uint32_t source, std::uint32_t tag, GByteBuffer*& out,
                                       std::uint32_t length) = 0;
  // `length` bytes at `offset` of the table into `destination`; answers
  // the bytes read (0 when the range does not lie inside the table).
  virtual std::uint32_t ReadTableRange(std::uint32_t source, std::uint32_t tag,
                                       std::uint32_t offset, std::uint8_t* destination,
                                       std::uint32_t length) = 0;
  // The table's length, 0 when the font has none.
  virtual std::uint32_t QueryTableLength(std::uint32_t source, std::uint32_t tag) = 0;
  // Non-zero when whole tables may be kept in the table cache.
  virtual std::uint32_t IsCachingAllowed() = 0;
  // The glyph's form for the printer (its second block) in a new buffer in
  // `out`; non-zero on success.
  virtual std::uint32_t ConvertGlyph(std::uint32_t source, std::uint32_t may_cache,
                                     std::uint16_t glyph, std::uint32_t code, GByteBuffer*& out,
                                     std::uint32_t extra, std::uint32_t selector,
                                     const GFontDescriptionRecord& record) = 0;
  virtual std::uint32_t GlyphRequest(const GFontDescriptionRecord& record, std::uint32_t a,
                                     std::uint32_t b, std::uint32_t c) = 0;
  // Chooses the subtable of the raw 'cmap' bytes that `selector` wants
  // most (records whose subtable does not lie inside are passed over);
  // answers the preference list it used. Uses no reader state.
  virtual const GCmapPreference& SelectCmapSubtable(const std::uint8_t* cmap, std::size_t length,
                                                    std::uint32_t selector, GCmapChoice& choice);

  // Fields the font pool manages.
  std::uint32_t Generation() const { return generation_; }
  void SetGeneration(std::uint32_t generation) { generation_ = generation; }
  std::uint32_t FontKey() const { return font_key_; }
  std::int16_t UseCount() const { return use_count_; }
  void SetUseCount(std::int16_t count) { use_count_ = count; }
  std::vector<std::uint32_t>& SaveList() { return save_list_; }
  std::vector<std::uint32_t>& OwnerList() { return owner_list_; }
  // Adds `id` unless the list holds it; removes it when it does.
  static void AddId(std::vector<std::uint32_t>& list, std::uint32_t id);
  static void RemoveId(std::vector<std::uint32_t>& list, std::uint32_t id);
  static bool HasId(const std::vector<std::uint32_t>& list, std::uint32_t id);

  std::uint8_t IndexToLocFormat() const { return index_to_loc_format_; }
  GTTTableCache* TableCache() const;
  GGlyphCache* GlyphCache() const;

  // The base part and 57 and each cache's reference size.
  RWSize StoredSize() const override;
  // The same bases, header values with their flags, and caches (both
  // absent or the same object, else equal by their own equality).
  bool IsEqualContent(const MPersistentObject* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

 protected:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

 private:
  struct WalkState;

  // Reads a header word of `size` 2 at `offset` of a table once.
  template <class T>
  std::uint32_t ReadCachedValue(std::uint32_t source, std::uint32_t tag_index, std::uint32_t offset,
                                CachedValue<T>& value);
  std::uint32_t ReadMetrics(std::uint32_t source, std::uint16_t glyph, std::uint32_t header,
                            std::uint32_t metrics, CachedValue<std::uint16_t>& long_count,
                            std::uint16_t& advance, std::int16_t& bearing);
  bool EnsureLocFormat(std::uint32_t source);
  // The glyph's offset and the next glyph's; false when 'loca' cannot be read.
  bool ReadLoca(std::uint32_t source, std::uint16_t glyph, std::uint32_t& offset,
                std::uint32_t& next);
  std::uint32_t Walk(std::uint32_t source, std::uint16_t glyph, std::uint32_t code,
                     std::uint32_t converter, std::uint32_t selector,
                     const GFontDescriptionRecord& record, std::uint32_t nested, WalkState& state);
  std::uint16_t AdjustCode(const GCmapChoice& choice, const std::uint8_t* os2, std::uint32_t code,
                           std::uint32_t selector, bool& ok);
  std::uint16_t VerticalForm(std::uint32_t source, std::uint16_t glyph);
  void GrowGeneration() { ++generation_; }

  GLock* lock_ = nullptr;  // owned; null only when no memory was left
  std::uint32_t locked_ = 0;
  std::uint32_t generation_ = 0;
  std::uint32_t font_key_ = 0;
  std::vector<std::uint32_t> save_list_;
  std::vector<std::uint32_t> owner_list_;
  std::uint8_t index_to_loc_format_ = kTTLocFormatUnread;
  SpareRecord spare_[2];
  CachedValue<std::uint16_t> num_glyphs_;
  CachedValue<std::int16_t> typo_descender_;
  CachedValue<std::uint16_t> number_of_h_metrics_;
  CachedValue<std::uint16_t> number_of_v_metrics_;
  std::int16_t use_count_ = 0;
  std::uint32_t preloaded_ = 0;
  GCountedPtr table_cache_;                       // GTTTableCache, made on first store
  GCountedPtr glyph_cache_;                       // GGlyphCache, made on first store
  std::unique_ptr<GTTOutlineRenderer> renderer_;  // run time only, made on first glyph
  bool renderer_tried_ = false;                   // whether making it failed since the drop
};

// Whether a segment of the format-4 character map `subtable` (from its
// doubled segment count on, big-endian: count, search range, entry
// selector, range shift, end codes, a pad word, start codes) covers
// `code`: the same segment search as MapFormat4. Reads nothing beyond the
// `length` bytes given; a table too short for its start codes covers
// nothing. Pure: any thread.
bool CmapFormat4HasChar(const std::uint8_t* subtable, std::size_t length, std::uint32_t code);
