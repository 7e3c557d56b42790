// What the font tests share: a TrueType file reader opened on hand-made
// bytes, a hand-made font with a square glyph, a reader that serves tables
// from memory and counts its file calls, and a font object for the
// database (registered under a test class id).
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "fonts/font_database.h"
#include "fonts/tt_file_reader.h"
#include "foundation/rw/factory.h"
#include "output/core/byte_buffer.h"
#include "persist/model_class.h"
#include "persist/stored_form.h"
#include "support/truetype_writer.h"
#include "tests/support/test_support.h"

namespace tt_testing {

// A GTTFileReader on `bytes` written to a file of its own.
struct OpenedFont {
  explicit OpenedFont(const std::string& bytes, std::uint32_t font_key = 0)
      : reader(new GTTFileReader(font_key)) {
    testing_support::WriteAll(path.str(), bytes);
    opened = reader->OpenHost(path.c_str());
  }
  testing_support::TempPath path{"font"};
  std::unique_ptr<GTTFileReader> reader;
  bool opened = false;
};

// Tables from memory; counts every call of the file operations.
class MemoryReader : public GTTFontReader {
 public:
  std::map<std::uint32_t, std::string> tables;  // by tag
  std::uint32_t caching = 1;
  int whole_reads = 0;
  int range_reads = 0;
  int length_queries = 0;

  RWCollectable* CreateDefault() const override { return new MemoryReader; }
  RWCollectable* CreateCopy() const override { return new MemoryReader; }
  RWClassID ClassId() const override { return 0x0FB7; }

  std::uint32_t FileRequest1(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return 0;
  }
  std::uint32_t FileRequest2(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return 0;
  }
  std::uint32_t ReadWholeTable(std::uint32_t, std::uint32_t tag, GByteBuffer*& out,
                               std::uint32_t length) override {
    ++whole_reads;
    out = nullptr;
    auto it = tables.find(tag);
    if (it == tables.end() || length > it->second.size()) return 0;
    out = GByteBuffer::NewCopy(reinterpret_cast<const std::uint8_t*>(it->second.data()), length);
    return length;
  }
  std::uint32_t ReadTableRange(std::uint32_t, std::uint32_t tag, std::uint32_t offset,
                               std::uint8_t* destination, std::uint32_t length) override {
    ++range_reads;
    auto it = tables.find(tag);
    if (it == tables.end() || std::uint64_t{offset} + length > it->second.size()) return 0;
    std::memcpy(destination, it->second.data() + offset, length);
    return length;
  }
  std::uint32_t QueryTableLength(std::uint32_t, std::uint32_t tag) override {
    ++length_queries;
    auto it = tables.find(tag);
    return it == tables.end() ? 0 : static_cast<std::uint32_t>(it->second.size());
  }
  std::uint32_t IsCachingAllowed() override { return caching; }
  std::uint32_t ConvertGlyph(std::uint32_t, std::uint32_t, std::uint16_t glyph, std::uint32_t,
                             GByteBuffer*& out, std::uint32_t, std::uint32_t,
                             const GFontDescriptionRecord&) override {
    converted.push_back(glyph);
    std::uint8_t mark = static_cast<std::uint8_t>(glyph);
    out = GByteBuffer::NewCopy(&mark, 1);
    return 1;
  }
  std::uint32_t GlyphRequest(const GFontDescriptionRecord&, std::uint32_t, std::uint32_t,
                             std::uint32_t) override {
    return 0;
  }
  std::vector<std::uint16_t> converted;
};

// A font object of the database: its key, serial and a payload stored.
inline constexpr RWClassID kTestFontObjectId = 0x0FB8;

class TestFontObject final
    : public MPersistentClass<TestFontObject, GFontDatabaseEntry, kTestFontObjectId> {
 public:
  TestFontObject() = default;
  TestFontObject(std::uint32_t key, std::uint32_t serial, std::uint32_t payload_value)
      : payload(payload_value) {
    database_key_ = key;
    font_serial_ = serial;
  }
  TestFontObject(const TestFontObject& other) = default;
  ~TestFontObject() override { ++destroyed; }

  std::uint32_t payload = 0;
  static inline int destroyed = 0;

  void MergeFont(GFontDatabaseEntry& other) override {
    payload |= static_cast<TestFontObject&>(other).payload;
  }
  RWSize StoredSize() const override { return MPersistentObject::StoredSize() + 16; }
  bool IsEqualContent(const MPersistentObject* other) const override {
    const TestFontObject* same = SameContentBase(other);
    return same && same->database_key_ == database_key_ && same->font_serial_ == font_serial_ &&
           same->payload == payload;
  }

  template <class Out>
  void SaveItems(Out& out) const {
    SaveBase<MPersistentObject>(*this, out);
    PutItem(out, std::uint32_t{1});
    PutItem(out, database_key_);
    PutItem(out, font_serial_);
    PutItem(out, payload);
  }
  template <class In>
  void RestoreItems(In& in) {
    MRestoreScope scope(in);
    RestoreBase<MPersistentObject>(*this, in);
    if (!ReadsVersion(scope, in, 1)) return;
    GetItem(in, database_key_) && GetItem(in, font_serial_) && GetItem(in, payload);
  }
};

inline void RegisterTestFontObject() {
  AddClassToFactory(&RWCreate<TestFontObject>, kTestFontObjectId, "TestFontObject");
}

// Glyph 0 and 2 empty, glyph 1 a square filling the em (1000 units);
// 'A' -> 1 and 'B' -> 2.
inline std::string SquareFont() {
  using namespace support;
  auto [glyf, loca] = GlyfAndLoca({"", BoxGlyph(0, 0, 1000, 1000), ""}, false);
  TrueTypeWriter font;
  font.Add("cmap",
           CmapTable({{3, 1, CmapFormat4({{0x41, 0x42, 0xFFC0, {}}, {0xFFFF, 0xFFFF, 1, {}}})}}));
  font.Add("glyf", glyf);
  font.Add("head", HeadTable(0, 0, 0, 1000, 1000));
  font.Add("hhea", MetricsHeader(3));
  font.Add("hmtx", MetricsTable({{1000, 0}, {1000, 0}, {1000, 0}}, {}));
  font.Add("loca", loca);
  font.Add("maxp", MaxpTable(3));
  font.Add("name", NameTable());
  font.Add("post", PostTable());
  font.Add("OS/2", Os2Table(0x20, 0xFF, 0));
  return font.Build();
}

inline const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace tt_testing
