// GTTFontPool: the process-wide pool of open TrueType readers
// (tt_font_reader.h). It holds each reader once under its font key in a
// keyed pool (keyed_pool.h), counts the holders of every reader (its use
// count: the pool's own hold and every handle), remembers which owners
// (font databases, font_database.h) hold a reader and which of them still
// have to save it, and saves and restores readers beside a font database's
// file. GTTFontFile is the persistable handle through which a generator
// uses one reader: every operation takes the reader's lock, calls it and
// releases the lock; its stored form names the reader by font key and
// cache generation, so that a restored handle finds it in the pool again.
//
// Pool policy (keyed pool events; new reader, existing reader):
//   0, 2, 4  1
//   1  release pass: the releasing owner (set only in ReleaseOwner) leaves
//      the reader's owner list; a reader that no owner holds and that only
//      the pool holds (use count 1) is deleted (use count 0, answer 1)
//   3  a restored reader under a new key: use count 1, the adding owner
//      (set only in RestoreFromServiceStream) joins its owner list
//   5  a restored reader under a present key: when the present one is of
//      a lower generation and only the pool holds it, the restored one
//      replaces it (answer 1); when handles hold it, it absorbs the
//      restored one's caches and takes its generation; either way the
//      adding owner joins the kept reader
//   6  equal generations and equal readers
// Save filter (datum: the owner id): exactly the readers whose save list
// holds the owner are written, and each written one leaves it.
//
// Locks: every pool operation takes the pool lock first and a reader's lock
// after it; the pool and each reader have their lock whether or not the
// driver services exist (fonts/font_lock.h), since any job's thread may
// reach them; a lock failure is reported through ReportDriverError ("ttflpool",
// ids 301 and 302). A handle's destruction also takes the pool lock before
// its reader's, so the two orders never meet.
//
// GTTFontFile: class id 859, registered as "GTTFontFile". Stored form, after
// the base part of MPersistentObject:
//   version     u32  kTTFontFileVersion
//   font key    u32  the reader's (0 without a reader)
//   generation  u32  the reader's cache generation (kTTNoGeneration
//                    without a reader, which names no reader)
// A restore of another version keeps the handle as it was; otherwise the
// handle lets its reader go and takes the process-wide pool's reader under
// the key when that one's generation is at least the stored one (none
// otherwise, and none when there is no pool). A handle met inside a pool's
// own stored form (damage: it holds readers alone) takes no reader, since
// the restoring thread holds the pool lock.
//
// Ownership: the pool deletes a reader whose use count it lowers to 0;
// whoever else lowers it to 0 deletes it too. Handles are their holders'.
// Threads: the pool and handles may be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fonts/font_description_record.h"
#include "fonts/keyed_pool.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "persist/model_class.h"

class GByteBuffer;
class GLock;
class GTTFontFile;
class GTTFontReader;
struct GGlyphMetrics;

inline constexpr RWClassID kGTTFontFileId = 859;
inline constexpr std::uint32_t kTTFontFileVersion = 1;
inline constexpr std::uint32_t kTTNoGeneration = 0xFFFFFFFF;

class GTTFontPool {
 public:
  // The pool, or null before CreateInstance and after DestroyInstance.
  static GTTFontPool* Instance();
  // Makes the process's pool when there is none; answers it (null when no
  // memory is left).
  static GTTFontPool* CreateInstance();
  // Deletes the pool (releasing every reader it holds, ReleaseAll).
  static void DestroyInstance();

  GTTFontPool(const GTTFontPool&) = delete;
  GTTFontPool& operator=(const GTTFontPool&) = delete;
  virtual ~GTTFontPool();

  // Removes the first tag holding `value`, and deletes it.
  virtual void RemoveTag(std::uintptr_t value);

  // Deletes every tag, ends the pool's hold on every reader (ReleaseAll:
  // those that nothing else holds are deleted) and starts a new keyed pool;
  // the next id goes back to 0.
  void Purge();
  // A release pass for `owner` (see the policy), and one for no owner.
  void ReleaseOwner(std::uint32_t owner);
  void RunReleasePass();
  // A new handle on `reader` (its use count + 1); the caller owns it.
  GTTFontFile* MakeFontFile(GTTFontReader* reader);
  // Lowers the use count of `reader`; at 1 it releases the reader's lock
  // and deletes it; when the pool's own hold is all that is left, the
  // reader's renderer goes. 1 when the reader was deleted. REQUIRES: the
  // caller holds the reader's lock.
  std::uint32_t ReleaseReader(GTTFontReader* reader);
  // Enters `reader` under its font key; when it was not there, its use
  // count + 1. Answers 1.
  std::uint32_t Add(GTTFontReader* reader);
  // The reader under `font_key` whose generation is at least `minimum`,
  // its use count + 1; null otherwise.
  GTTFontReader* Acquire(std::uint32_t font_key, std::uint32_t minimum);
  // The reader under `font_key`, taken out of the pool (not deleted).
  GTTFontReader* Remove(std::uint32_t font_key);
  // 1 when a reader was held: taken out, use count - 1, deleted below 1.
  std::uint32_t ReleaseKey(std::uint32_t font_key);
  // Ends the pool's hold on every reader; those at 0 are deleted.
  void ReleaseAll();
  std::uint32_t Contains(std::uint32_t font_key);
  std::uint32_t Count();

  // The readers marked for `owner` (GTTFontFile::AddKey); the keyed pool's
  // result.
  std::uint32_t SaveToStream(RWVirtualOutputStream& stream, std::uint32_t owner);
  std::uint32_t SaveToFile(RWFile& file, std::uint32_t owner);
  std::uint32_t RestoreFromStream(RWVirtualInputStream& stream);
  std::uint32_t RestoreFromFile(RWFile& file);
  // The same through a binary file stream of the driver services at
  // `path`, used only when it is in a good state; the restore makes
  // `owner` the adding owner while it runs. 0 when the stream cannot be had;
  // a save answers 1 only when its bytes reached the file (flushed).
  std::uint32_t SaveToServiceStream(std::uint32_t owner, const RWWString& path);
  std::uint32_t RestoreFromServiceStream(std::uint32_t owner, const RWWString& path);

  // The next id, then + 1.
  std::uint32_t NextId();

  // Whether a restored pool entry is a reader.
  static bool IsReader(const MPersistentObject* entry);

  // Takes the pool lock, then the reader's, and lets `reader` go as a
  // handle's destruction does (ReleaseReader). Without a pool the use count
  // is lowered and a reader at 0 deleted.
  static void ReleaseHandleReader(GTTFontReader* reader);

 private:
  friend class GTTFontPoolLock;

  GTTFontPool();
  // ReleaseReader under the pool lock the caller holds.
  std::uint32_t ReleaseHeldReader(GTTFontReader* reader);

  std::vector<std::uintptr_t> tags_;
  GLock* lock_ = nullptr;  // owned; null only when no memory was left
  std::unique_ptr<GKeyedPool> readers_;
  std::uint32_t next_id_ = 0;
};

class GTTFontFile final : public MPersistentClass<GTTFontFile, MPersistentObject, kGTTFontFileId> {
 public:
  // No reader, no pool.
  GTTFontFile() = default;
  // Keeps both; the reader's use count + 1 (under its lock).
  GTTFontFile(GTTFontPool* pool, GTTFontReader* reader);
  // The persistent base only: no reader, no pool.
  GTTFontFile(const GTTFontFile& other);
  GTTFontFile& operator=(const GTTFontFile&) = delete;
  // Lets the reader go (GTTFontPool::ReleaseHandleReader).
  ~GTTFontFile() override;

  GTTFontReader* Reader() const { return reader_; }
  GTTFontPool* Pool() const { return pool_; }

  // The reader's operations of the same names under its lock; 0 (or no
  // buffer) without a reader.
  std::uint32_t CheckRequiredTables(std::uint32_t source);
  std::uint32_t FileRequest1(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
  std::uint32_t FileRequest2(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
  std::uint32_t ReadTablePart(std::uint32_t source, std::uint32_t tag_index, std::uint32_t offset,
                              std::uint32_t may_cache, std::uint8_t* destination,
                              std::uint32_t length);
  std::uint32_t ReadTable(std::uint32_t source, std::uint32_t tag_index, std::uint32_t may_cache,
                          GByteBuffer*& out);
  std::uint32_t GetTableLength(std::uint32_t source, std::uint32_t tag_index);
  std::uint32_t GlyphRequest(GFontDescriptionRecord record, std::uint32_t a, std::uint32_t b,
                             std::uint32_t c);
  std::uint32_t GetGlyphData(std::uint32_t source, std::uint32_t may_cache, std::uint16_t glyph,
                             GByteBuffer*& out);
  std::uint32_t GetGlyphOffset(std::uint32_t source, std::uint16_t glyph);
  std::uint32_t GetFontBoundingBox(std::uint32_t source, std::int16_t box[4]);
  std::uint16_t MapCharToGlyph(std::uint32_t source, std::uint32_t vertical, std::uint32_t code,
                               std::uint32_t selector);
  std::uint32_t CollectGlyphs(std::uint32_t source, std::uint16_t glyph, std::uint32_t code,
                              std::uint32_t converter, std::uint32_t selector,
                              GFontDescriptionRecord record, std::uint32_t nested);
  void CacheGlyph(std::uint16_t glyph, GByteBuffer* first, GByteBuffer* second);
  std::uint32_t FindCachedGlyph(std::uint16_t glyph, GByteBuffer*& out);
  std::uint32_t FindCachedGlyphSecond(std::uint16_t glyph, GByteBuffer*& out);
  std::uint32_t GetNumGlyphs(std::uint32_t source, std::uint16_t& value);
  std::uint32_t GetTypoDescender(std::uint32_t source, std::int16_t& value);
  std::uint32_t GetHorizontalMetrics(std::uint32_t source, std::uint16_t glyph,
                                     std::uint16_t& advance_width, std::int16_t& left_side_bearing);
  std::uint32_t GetVerticalMetrics(std::uint32_t source, std::uint16_t glyph,
                                   std::uint16_t& advance_height, std::int16_t& top_side_bearing);

  // The reader's RenderGlyph under its lock; 0 and no buffer without a
  // reader.
  std::uint32_t RenderGlyph(std::uint32_t source, std::uint32_t code, std::uint32_t selector,
                            std::int32_t pixels, GGlyphMetrics& metrics, GByteBuffer*& out);

  // The glyph's cached second block when there is one (its size, the buffer
  // lending it); else, under the reader's lock, the reader's conversion,
  // whose buffer is also kept as the glyph's second block when `may_cache`
  // is set. The conversion's result.
  std::uint32_t GetConvertedGlyph(std::uint32_t source, std::uint32_t may_cache,
                                  std::uint16_t glyph, std::uint32_t code, GByteBuffer*& out,
                                  std::uint32_t extra, std::uint32_t selector,
                                  GFontDescriptionRecord record);
  // Marks the reader for `owner`'s next save, then enters it into the
  // process-wide pool.
  void AddKey(std::uint32_t owner);

  // The base part and 12.
  RWSize StoredSize() const override;
  // The same object; or the same class and base and the same reader, or
  // equal readers.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GTTFontReader* reader_ = nullptr;  // shared, counted in its use count
  GTTFontPool* pool_ = nullptr;
};

extern template class MPersistentClass<GTTFontFile, MPersistentObject, kGTTFontFileId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TTFontPoolClasses();
