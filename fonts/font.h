// The font objects that text and download commands carry.
//
// GFont is a small persistable handle; every handle of one font shares one
// GFontImp, which holds the font's description record, its angles and
// option words (the angle block), the font-access object through which
// character tables and glyphs are fetched, the codes requested so far and
// the generator's download record. GScaledFont is a transient view of a
// GFont with an x and a y scale: metrics and glyph bitmaps come from it
// already scaled. A stored GFont names its implementation by database key
// and serial in the job's font database (font_database.h), which holds the
// implementations themselves: a page read back finds the font again there.
//
// GFontImp's operations in the order of the font objects' slot table (the
// GFont forwarder of each has the same name):
//   52 GetFontKind, 53 GetFontSubKind (the font's class bits; 0 here)
//   54 GetDescription, 55 GetAngleBlock, 56 GetSource
//   57-61 GetWords1 (57 the second, 58 the first, 59-61 the third to
//         fifth, the vertical metrics), 62-64 GetLongs1 (the first the
//         typeface), 65 GetStyle, 66 GetSelector, 67 GetXScale,
//         68 GetYScale, 69 GetHeight, 70-71 GetLongs2, 72-77 GetWords2
//         (74 GetFirstCode, 75 GetLastCode, 76 GetDefaultCode), 78
//         GetFaceName, 79 GetLong3
//   80-82 GetFirstAngle, GetSecondAngle, GetThirdAngle; 83-85 GetBlockLong,
//         86 GetBlockWord, 87 GetGlyphFlags
//   88 MarkInUse, 89 Reserved, 90 RaiseSerial, 91 GetCodeTable (a list of
//   codes), 92 GetCodeRangeTable, 93-94 AccessGlyphs, AccessGlyphsEx, 95
//   IsReady, 96 GetGlyphBitmap, 97-98 RequestGlyphs, RequestGlyphsEx,
//   99-102 the generator words.
// GFont forwards 54-87, except that its GetSecondAngle (slot 81) answers
// the implementation's third angle and its GetThirdAngle (82) the second;
// its slots 88-91 are the implementation's 91-94 and 92-95 its 99-102.
// Slots 52, 53 and 96-98 are the concrete implementation's (answering 0 and
// no bitmap here); the code tables go through the lookups LookUpCode and
// LookUpRange, the font-access object's here.
//
// Registration: GFont (851, "GFont"), GFontImp (852, "GFontImp") and
// GFontAccess (866, "GFontAccess") are registered, so that a stored text
// or database can be read back; a GFontImp or GFontAccess made by the
// factory answers every request with 0.
//
// Stored forms (RWFile items little-endian; a virtual stream writes the
// same items), after the base part of MPersistentObject:
//   GFontAccess  version u32 kFontVersion
//   GFont        version u32; the job cookie u32 (the driver data's); the
//                implementation's database key u32 and serial u32 (0, 0
//                without one)
//   GFontImp     version u32; the record: five u16, three u32, u16, u32,
//                two floats, i16, two u32, six u16, the face name
//                (RWCString), u32, u16; the first two angles as i32
//                (truncated toward zero); the block's u16, three u32,
//                glyph flags u32; the third angle as i32; the block's two
//                further u32; the font-access object (an object reference,
//                nil when none); database key u32; serial u32
// A restore of another version keeps the object as it was. A restored
// GFontImp has source 0; its font-access object must be one that nothing
// else in the graph holds. A restored GFont looks its cookie up in the
// driver server (driver_server.h) and takes the implementation its job's
// database holds under the key with at least the stored serial
// (GJobFontDatabase::Acquire); with no such driver data, database or entry
// the handle has no implementation and answers 0 to everything.
// Stored sizes: GFontAccess base + 4; GFont base + 16; GFontImp base + 118
// + the face name's length + the font-access object's reference as the
// graph writes it (6 for the nil object inside a graph).
//
// Saving a GFont marks its implementation for the database's next save
// (MarkInUse) and counts it in the driver data's font database under its
// database key (CountReference).
//
// Sharing: the implementation's share count is its database use count
// (GFontDatabaseEntry::UseCount): each handle and the database hold one.
// The handle that lowers it to 0 deletes the implementation; a handle that
// goes while others remain sets the implementation's source to 0.
//
// Ownership: an implementation owns its font-access object (held by a
// counted pointer) and its download record. Threads: the job's thread (the
// share count is not atomic).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "fonts/char_code_map.h"
#include "fonts/font_database.h"
#include "fonts/font_description_record.h"
#include "fonts/text_escapements.h"
#include "foundation/rw/registration.h"
#include "output/graphics/angle.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

class GByteBuffer;
class GRenderDriverData;

inline constexpr RWClassID kGFontId = 851;
inline constexpr RWClassID kGFontImpId = 852;
inline constexpr RWClassID kGFontAccessId = 866;
inline constexpr std::uint32_t kFontVersion = 1;
// The glyph flag that says every glyph is available already.
inline constexpr std::uint32_t kAllGlyphsAvailable = 2;

// The angle-and-word block of a font: its angles and option words.
struct GFontAngleBlock {
  GAngle angle1;
  GAngle angle2;
  std::uint16_t word = 0;
  std::uint32_t longs[3] = {};
  std::uint32_t glyph_flags = 0;  // kAllGlyphsAvailable and the generators' own
  GAngle angle3;
  std::uint32_t longs2[2] = {};
};

// Where a glyph bitmap sits: its origin and its size in pixels. Bitmaps
// are rows of bits, the most significant first, each row padded to a
// multiple of 32 bits.
struct GGlyphMetrics {
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::int16_t width = 0;
  std::int16_t height = 0;
};

// What a generator attaches to a font after it downloaded it (its font
// list); the font deletes it through the virtual destructor.
class GFontDownloadRecord {
 public:
  virtual ~GFontDownloadRecord();
};

// The font-access object: every request carries the implementation's
// source first. Each answers 0 (failure) here.
class GFontAccess : public MPersistentClass<GFontAccess, MPersistentObject, kGFontAccessId> {
 public:
  GFontAccess() = default;
  GFontAccess(const GFontAccess& other) = default;

  // The virtual operations below are in slot order.
  // The values of the codes `first` to `last` into `table` (last -
  // first + 1 entries); non-zero on success.
  virtual std::uint32_t RequestRange(std::uint32_t source, std::uint16_t first, std::uint16_t last,
                                     std::uint16_t* table);
  // The value of one code; non-zero on success.
  virtual std::uint32_t RequestCode(std::uint32_t source, std::uint16_t code, std::uint16_t& value);
  // Glyph requests.
  virtual std::uint32_t RequestGlyphs(std::uint32_t source, std::uint16_t value, std::uint32_t a,
                                      std::uint32_t b);
  virtual std::uint32_t RequestGlyphsEx(std::uint32_t source, std::uint16_t value, std::uint32_t a,
                                        std::uint32_t b);

  // The base part and 4.
  RWSize StoredSize() const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

class GFontImp : public MPersistentClass<GFontImp, GFontDatabaseEntry, kGFontImpId> {
 public:
  // Everything 0, an empty name and code set, no font-access object, no
  // download record.
  GFontImp();
  // Copies the record and the block, draws the database key
  // (GJobFontDatabase::NextSerial) and takes the services' font-access
  // object (GOSFactory::MakeFontAccess; none in this library).
  GFontImp(std::uint32_t source, const GFontDescriptionRecord& record,
           const GFontAngleBlock& block);
  // The persistent base only: everything else as the default.
  GFontImp(const GFontImp& other);
  GFontImp& operator=(const GFontImp&) = delete;
  // Deletes the download record and lets the font-access object go.
  ~GFontImp() override;

  // The virtual operations below are in slot order.
  // The font's class bits (1: glyphs come as bitmaps rendered from
  // outlines), 0 here.
  virtual std::uint32_t GetFontKind() const;
  virtual std::uint32_t GetFontSubKind() const;

  // The fields (an index past a group answers 0).
  const GFontDescriptionRecord* GetDescription() const { return &record_; }
  const GFontAngleBlock* GetAngleBlock() const { return &block_; }
  std::uint32_t GetSource() const { return source_; }
  void SetSource(std::uint32_t source) { source_ = source; }
  std::uint16_t GetWords1(std::uint32_t index) const;
  std::uint32_t GetLongs1(std::uint32_t index) const;
  std::uint16_t GetStyle() const { return record_.style; }
  std::uint32_t GetSelector() const { return record_.selector; }
  float GetXScale() const { return record_.x_scale; }
  float GetYScale() const { return record_.y_scale; }
  std::int16_t GetHeight() const { return record_.height; }
  std::uint32_t GetLongs2(std::uint32_t index) const;
  std::uint16_t GetWords2(std::uint32_t index) const;
  std::uint16_t GetFirstCode() const { return record_.words2[2]; }
  std::uint16_t GetLastCode() const { return record_.words2[3]; }
  std::uint16_t GetDefaultCode() const { return record_.words2[4]; }
  const RWCString& GetFaceName() const { return record_.face_name; }
  std::uint32_t GetLong3() const { return record_.long3; }
  void GetFirstAngle(float& degrees) const { degrees = block_.angle1.GetDegrees(); }
  void GetSecondAngle(float& degrees) const { degrees = block_.angle2.GetDegrees(); }
  void GetThirdAngle(float& degrees) const { degrees = block_.angle3.GetDegrees(); }
  std::uint32_t GetBlockLong(std::uint32_t index) const;
  std::uint16_t GetBlockWord() const { return block_.word; }
  std::uint32_t GetGlyphFlags() const { return block_.glyph_flags; }
  // The record's last u16.
  std::uint16_t GetLastWord() const { return record_.last_word; }
  void SetLastWord(std::uint16_t word) { record_.last_word = word; }

  // Marks the font for the database's next save (the glyph-request
  // flag, the database's save mark, := 1). The driver data saving it is
  // given for concrete fonts; it is not used here.
  virtual void MarkInUse(GRenderDriverData* driver_data);
  // Does nothing.
  virtual void Reserved();
  // The serial + 1, unless it holds 0xFFFFFFFF; answers it.
  virtual std::uint32_t RaiseSerial();
  // The value of each code into the table's entry of the same index
  // (made private first); a code without one takes the default code's
  // value, looked up once on first need. 0 when that lookup fails or the
  // table has fewer entries than there are codes, else 1.
  virtual std::uint32_t GetCodeTable(std::span<const std::uint16_t> codes, GCharTable& table);
  // The values of the codes `first` to `last` into table entries 0 to
  // last - first (made private first); codes outside the font's first to
  // last code take the default code's value, and the rest are asked for
  // at once (LookUpRange) and, when that fails, code by code, the default
  // code's value standing in for a code without one. 0 when the default
  // code's value is needed and has none, when `first` > `last` or when the
  // table is too short; else 1.
  virtual std::uint32_t GetCodeRangeTable(std::uint16_t first, std::uint16_t last,
                                          GCharTable& table);
  // The font-access object's glyph requests with the source, the
  // height plus the record's fourth first-word (16-bit) and `a`, `b`; 0
  // without the object.
  virtual std::uint32_t AccessGlyphs(std::uint32_t a, std::uint32_t b);
  virtual std::uint32_t AccessGlyphsEx(std::uint32_t a, std::uint32_t b);
  // 1, the font is ready.
  virtual std::uint32_t IsReady();
  // The bitmap of `code` (`option`: the character set the code is in)
  // with its metrics; answers its size. `out` is set on every outcome: a
  // new buffer that the caller owns, or null when none was made (0 and
  // null here).
  virtual std::uint32_t GetGlyphBitmap(std::uint16_t code, std::uint32_t option,
                                       GGlyphMetrics& metrics, GByteBuffer*& out);
  // Further glyph requests; 0 here.
  virtual std::uint32_t RequestGlyphs(std::uint32_t a, std::uint32_t b);
  virtual std::uint32_t RequestGlyphsEx(std::uint32_t a, std::uint32_t b);
  // The two generator words.
  std::uint16_t GetGeneratorWord() const { return generator_word_; }
  void SetGeneratorWord(std::uint16_t word) { generator_word_ = word; }
  std::uint32_t GetGeneratorLong() const { return generator_long_; }
  void SetGeneratorLong(std::uint32_t value) { generator_long_ = value; }

  // GetGlyphBitmap for a caller that keeps no bitmap: its size and
  // metrics, the buffer freed here.
  std::uint32_t GetGlyphSize(std::uint16_t code, std::uint32_t option, GGlyphMetrics& metrics);
  // Each requested code's bitmap (GetGlyphBitmap with the selector), in
  // ascending order, every code visited: 0 when the last answered 0, else
  // IsReady.
  std::uint32_t FetchRequestedCodes();
  // Adds `code` to the requested codes; false when no memory was left.
  bool AddRequestedCode(std::uint16_t code);
  const GCharCodeSet& RequestedCodes() const { return requested_codes_; }

  GFontDownloadRecord* GetDownloadRecord() const { return download_record_.get(); }
  // Takes `record` over, deleting the one held before.
  void SetDownloadRecord(GFontDownloadRecord* record) { download_record_.reset(record); }
  // Hands the record to the caller and holds none.
  GFontDownloadRecord* TakeDownloadRecord() { return download_record_.release(); }
  GFontAccess* GetAccess() const { return static_cast<GFontAccess*>(access_.Get()); }

  // Takes from `other`, a newer copy of the same font read back from a
  // database file, its requested codes (a union), its glyph flags and its
  // serial.
  void MergeFont(GFontDatabaseEntry& other) override;

  RWSize StoredSize() const override;
  // The same object; or the same class and base, every field of the record
  // (floats by value), the face name, the three angles, the block's words,
  // and font-access objects that are the same or both present and equal.
  bool IsEqualContent(const MPersistentObject* other) const override;

 protected:
  // The value of one code; false when it has none. Through the
  // font-access object here.
  virtual bool LookUpCode(std::uint16_t code, std::uint16_t& value);
  // The values of `first` to `last` into `table` at once; false when they
  // cannot be had that way.
  virtual bool LookUpRange(std::uint16_t first, std::uint16_t last, std::uint16_t* table);

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

 private:
  friend class MPersistentClass;

  using AccessRequest = std::uint32_t (GFontAccess::*)(std::uint32_t, std::uint16_t, std::uint32_t,
                                                       std::uint32_t);

  // The default code's value, looked up once into `value`.
  bool DefaultValue(bool& looked_up, std::uint16_t& value);
  // A glyph request of the font-access object (0 without one).
  std::uint32_t RequestThroughAccess(AccessRequest request, std::uint32_t a, std::uint32_t b);

  std::uint32_t source_ = 0;  // carried first by every font-access request
  GFontDescriptionRecord record_;
  GFontAngleBlock block_;
  GCountedPtr access_;  // the GFontAccess, or none
  std::unique_ptr<GFontDownloadRecord> download_record_;
  GCharCodeSet requested_codes_;
  std::uint16_t generator_word_ = 0;
  std::uint32_t generator_long_ = 0;
};

class GFont final : public MPersistentClass<GFont, MPersistentObject, kGFontId> {
 public:
  // No implementation, no driver data.
  GFont();
  // A handle on `implementation` (its share count + 1; null: none) for the
  // job of `driver_data`.
  GFont(GFontImp* implementation, GRenderDriverData* driver_data);
  // The same implementation (its share count + 1) and driver data.
  GFont(const GFont& other);
  GFont& operator=(const GFont&) = delete;
  // Lowers the share count: at 0 deletes the implementation, else sets its
  // source to 0.
  ~GFont() override;

  GFontImp* GetImplementation() const { return implementation_; }
  GRenderDriverData* GetDriverData() const { return driver_data_; }
  // Replaces the driver data; answers the one before.
  GRenderDriverData* SetDriverData(GRenderDriverData* driver_data);

  // The implementation's operations (see the header comment); 0, null or
  // empty without an implementation.
  std::uint32_t GetFontKind() const;
  const GFontDescriptionRecord* GetDescription() const;
  const GFontAngleBlock* GetAngleBlock() const;
  std::uint32_t GetSource() const;
  std::uint16_t GetWords1(std::uint32_t index) const;
  std::uint32_t GetLongs1(std::uint32_t index) const;
  std::uint16_t GetStyle() const;
  std::uint32_t GetSelector() const;
  float GetXScale() const;
  float GetYScale() const;
  std::int16_t GetHeight() const;
  std::uint32_t GetLongs2(std::uint32_t index) const;
  std::uint16_t GetWords2(std::uint32_t index) const;
  std::uint16_t GetFirstCode() const;
  std::uint16_t GetLastCode() const;
  std::uint16_t GetDefaultCode() const;
  const RWCString& GetFaceName() const;
  std::uint32_t GetLong3() const;
  void GetFirstAngle(float& degrees) const;
  // The virtual operations below are in slot order.
  // The implementation's third angle.
  void GetSecondAngle(float& degrees) const;
  // The implementation's second angle.
  void GetThirdAngle(float& degrees) const;
  std::uint32_t GetBlockLong(std::uint32_t index) const;
  std::uint16_t GetBlockWord() const;
  std::uint32_t GetGlyphFlags() const;
  std::uint32_t GetCodeTable(std::span<const std::uint16_t> codes, GCharTable& table);
  std::uint32_t GetCodeRangeTable(std::uint16_t first, std::uint16_t last, GCharTable& table);
  std::uint32_t AccessGlyphs(std::uint32_t a, std::uint32_t b);
  std::uint32_t AccessGlyphsEx(std::uint32_t a, std::uint32_t b);
  std::uint16_t GetGeneratorWord() const;
  void SetGeneratorWord(std::uint16_t word);
  std::uint32_t GetGeneratorLong() const;
  void SetGeneratorLong(std::uint32_t value);
  std::uint16_t GetLastWord() const;
  void SetLastWord(std::uint16_t word);

  GFontDownloadRecord* GetDownloadRecord() const;
  // The implementation takes `record` over; without one it is deleted.
  void SetDownloadRecord(GFontDownloadRecord* record);
  GFontDownloadRecord* TakeDownloadRecord();
  // Adds each code to the implementation's requested codes; answers the
  // number of codes.
  std::uint32_t AddCodes(std::span<const std::uint16_t> codes);
  // 1 at once when the glyph flags hold kAllGlyphsAvailable; else, when
  // the implementation is ready, its RequestGlyphs (RequestGlyphsEx) of
  // `a`, `b`; 0 otherwise.
  std::uint32_t RequestGlyphs(std::uint32_t a, std::uint32_t b);
  std::uint32_t RequestGlyphsEx(std::uint32_t a, std::uint32_t b);

  // The base part and 16.
  RWSize StoredSize() const override;
  // The same class and base; then the same implementation, an
  // implementation on one side only, or equal implementations.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Lets the implementation go as the destructor does.
  void Release();
  // RequestGlyphs and RequestGlyphsEx with the implementation's `request`.
  std::uint32_t RequestWhenNeeded(std::uint32_t (GFontImp::*request)(std::uint32_t, std::uint32_t),
                                  std::uint32_t a, std::uint32_t b);

  GFontImp* implementation_ = nullptr;        // shared, counted in its share count
  GRenderDriverData* driver_data_ = nullptr;  // the job's; not owned
};

class GScaledFont {
 public:
  // Views `font` (which must outlive the view). A scale that cannot scale
  // (0, negative, not a number or infinite) is taken as 1.0.
  GScaledFont(const GFont& font, float x_scale, float y_scale);
  GScaledFont(const GScaledFont&) = delete;
  GScaledFont& operator=(const GScaledFont&) = delete;
  virtual ~GScaledFont();

  float GetXScale() const { return x_scale_; }
  float GetYScale() const { return y_scale_; }

  GFontDownloadRecord* GetDownloadRecord() const { return font_->GetDownloadRecord(); }
  std::uint16_t GetWords1(std::uint32_t index) const { return font_->GetWords1(index); }
  std::uint16_t GetFirstCode() const { return font_->GetFirstCode(); }
  std::uint16_t GetLastCode() const { return font_->GetLastCode(); }
  const RWCString& GetFaceName() const { return font_->GetFaceName(); }
  void GetThirdAngle(float& degrees) const { font_->GetThirdAngle(degrees); }

  // The font's height times the y scale, truncated toward zero (the height
  // itself when the y scale is 1.0).
  std::int16_t GetScaledMetric() const;
  // A copy of the font's record (an empty one without an implementation);
  // unless both scales are 1.0, its third to fifth first-words and its
  // height times the y scale, its first two second-words times the x
  // scale, each truncated toward zero and kept within its type.
  void GetScaledGlyphMetrics(GFontDescriptionRecord& record) const;
  // The implementation's glyph bitmap of `code`, scaled: each source pixel
  // covers the target pixels from trunc(c x scale) to trunc((c + 1) x
  // scale) in each direction; the metrics scaled likewise, the width
  // rounded up to a multiple of 32. Answers the bitmap's size; 0 and no
  // buffer when no glyph came, when the glyph holds fewer bytes than its
  // rows need, when the target would not fit the metrics' 16 bits or when
  // no memory was left. With both scales 1.0 the glyph as it comes.
  std::uint32_t GetGlyphData(std::uint16_t code, std::uint32_t option, GGlyphMetrics& metrics,
                             GByteBuffer*& out) const;

 private:
  const GFont* font_;
  float x_scale_;
  float y_scale_;
};

extern template class MPersistentClass<GFontAccess, MPersistentObject, kGFontAccessId>;
extern template class MPersistentClass<GFontImp, GFontDatabaseEntry, kGFontImpId>;
extern template class MPersistentClass<GFont, MPersistentObject, kGFontId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> FontClasses();
