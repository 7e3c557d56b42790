// GTTFileReader: the font reader (tt_font_reader.h) over one TrueType file
// on disk. Open reads and checks the file's table directory; the reader's
// file operations then read tables with positioned reads, each checked
// against its directory entry. The source value of every read is not used:
// a reader reads its own file. Restored from a font database without its
// file, it serves what its caches hold and reads nothing else.
//
// The file's layout (big-endian): sfnt version u32 (0x00010000 or 'true'),
// numTables u16, searchRange, entrySelector and rangeShift u16, then
// numTables records of 16 bytes {tag u32, checkSum u32, offset u32,
// length u32}. A file shorter than its directory, or of another version,
// does not open; a record whose table does not lie inside the file counts
// as a missing table; of two records of one tag the first counts.
//
// ConvertGlyph gives a copy of the glyph's raw data (TrueType outlines are
// downloaded as they are); FileRequest1, FileRequest2 and GlyphRequest
// answer 0.
//
// User class, registered as "GTTFileReader" (stored with its name).
//
// Stored form: the reader's, then u32 version kTTFileReaderVersion; the
// file is not stored.
//
// Ownership: the reader owns its open file. Threads: as the font reader
// (every use under its lock).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fonts/tt_font_reader.h"
#include "foundation/rw/file.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGTTFileReaderId = 0x9F00;
inline constexpr std::uint32_t kTTFileReaderVersion = 1;
inline constexpr std::uint32_t kTTDirectoryHeaderSize = 12;
inline constexpr std::uint32_t kTTDirectoryRecordSize = 16;
inline constexpr std::uint32_t kTTVersionTrueType = 0x00010000;
inline constexpr std::uint32_t kTTVersionApple = 0x74727565;  // 'true'

class GTTFileReader final
    : public MPersistentClass<GTTFileReader, GTTFontReader, kGTTFileReaderId> {
 public:
  GTTFileReader() = default;
  explicit GTTFileReader(std::uint32_t font_key) : MPersistentClass(font_key) {}
  // As the font reader's copy: no file.
  GTTFileReader(const GTTFileReader& other);
  GTTFileReader& operator=(const GTTFileReader&) = delete;
  ~GTTFileReader() override;

  // Closes an open file, then opens the file of `path` (a Windows path is
  // translated, platform/host/files.h) and reads its directory. True when
  // it opened and its directory is sound; otherwise no file is kept.
  bool Open(const RWWString& path);
  bool OpenHost(const char* host_path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  std::uint32_t FileRequest1(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return 0;
  }
  std::uint32_t FileRequest2(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return 0;
  }
  std::uint32_t ReadWholeTable(std::uint32_t source, std::uint32_t tag, GByteBuffer*& out,
                               std::uint32_t length) override;
  std::uint32_t ReadTableRange(std::uint32_t source, std::uint32_t tag, std::uint32_t offset,
                               std::uint8_t* destination, std::uint32_t length) override;
  std::uint32_t QueryTableLength(std::uint32_t source, std::uint32_t tag) override;
  std::uint32_t IsCachingAllowed() override { return 1; }
  std::uint32_t ConvertGlyph(std::uint32_t source, std::uint32_t may_cache, std::uint16_t glyph,
                             std::uint32_t code, GByteBuffer*& out, std::uint32_t extra,
                             std::uint32_t selector, const GFontDescriptionRecord& record) override;
  std::uint32_t GlyphRequest(const GFontDescriptionRecord&, std::uint32_t, std::uint32_t,
                             std::uint32_t) override {
    return 0;
  }

  // The base part (the reader's) and 4.
  RWSize StoredSize() const override;

 private:
  friend class MPersistentClass;

  struct Entry {
    std::uint32_t tag;
    std::uint32_t offset;
    std::uint32_t length;
  };

  const Entry* Find(std::uint32_t tag) const;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::unique_ptr<RWFile> file_;
  std::vector<Entry> entries_;  // the usable records, first of each tag
};

extern template class MPersistentClass<GTTFileReader, GTTFontReader, kGTTFileReaderId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TTFileReaderClasses();
