#include "fonts/font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "fonts/font_items.h"
#include "fonts/text_escapements.h"
#include "foundation/rw/support.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"
#include "services/driver_server.h"
#include "services/os_factory.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kFontClasses[] = {
    {&RWCreate<GFont>, kGFontId, "GFont"},
    {&RWCreate<GFontImp>, kGFontImpId, "GFontImp"},
    {&RWCreate<GFontAccess>, kGFontAccessId, "GFontAccess"},
};

constexpr std::uint32_t kSerialLimit = 0xFFFFFFFF;
// GFontImp's stored part without the face name's bytes and the font-access
// object's reference.
constexpr RWSize kFontImpPartSize = 118;

// An angle as stored: the degrees truncated toward zero (always in [0, 360)).
std::int32_t StoredAngle(const GAngle& angle) {
  return static_cast<std::int32_t>(angle.GetDegrees());
}

// trunc(value x scale) in single precision, as the bitmaps are scaled.
float Scaled(std::uint32_t value, float scale) {
  return std::trunc(static_cast<float>(value) * scale);
}

// trunc(value x scale) kept within T.
template <class T>
T ScaleValue(std::int32_t value, float scale) {
  const float scaled = std::trunc(static_cast<float>(value) * scale);
  return static_cast<T>(
      std::clamp<float>(scaled, std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max()));
}

GJobFontDatabase* JobDatabase(GRenderDriverData* driver_data) {
  return driver_data ? dynamic_cast<GJobFontDatabase*>(driver_data->GetFontDatabase()) : nullptr;
}

const RWCString& EmptyName() {
  static const RWCString empty;
  return empty;
}

}  // namespace

std::span<const RWClassRegistration> FontClasses() {
  return kFontClasses;
}

GFontDownloadRecord::~GFontDownloadRecord() = default;

// ---------------------------------------------------------------------------
// GFontAccess

std::uint32_t GFontAccess::RequestRange(std::uint32_t, std::uint16_t, std::uint16_t,
                                        std::uint16_t*) {
  return 0;
}

std::uint32_t GFontAccess::RequestCode(std::uint32_t, std::uint16_t, std::uint16_t&) {
  return 0;
}

std::uint32_t GFontAccess::RequestGlyphs(std::uint32_t, std::uint16_t, std::uint32_t,
                                         std::uint32_t) {
  return 0;
}

std::uint32_t GFontAccess::RequestGlyphsEx(std::uint32_t, std::uint16_t, std::uint32_t,
                                           std::uint32_t) {
  return 0;
}

RWSize GFontAccess::StoredSize() const {
  return MPersistentObject::StoredSize() + 4;
}

template <class Out>
void GFontAccess::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kFontVersion);
}

template <class In>
void GFontAccess::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  ReadsVersion(scope, in, kFontVersion);
}

template class MPersistentClass<GFontAccess, MPersistentObject, kGFontAccessId>;

// ---------------------------------------------------------------------------
// GFontImp

GFontImp::GFontImp() = default;

GFontImp::GFontImp(std::uint32_t source, const GFontDescriptionRecord& record,
                   const GFontAngleBlock& block)
    : source_(source), record_(record), block_(block) {
  database_key_ = GJobFontDatabase::NextSerial();
  if (GOSFactory* services = GOSFactory::Instance()) access_.Reset(services->MakeFontAccess());
}

GFontImp::GFontImp(const GFontImp& other) : MPersistentClass(other) {
  // Only the persistent base is copied; the database's fields start anew.
  save_mark_ = 0;
  font_serial_ = 0;
  database_key_ = 0;
  use_count_ = 0;
}

GFontImp::~GFontImp() = default;

std::uint32_t GFontImp::GetFontKind() const {
  return 0;
}

std::uint32_t GFontImp::GetFontSubKind() const {
  return 0;
}

std::uint16_t GFontImp::GetWords1(std::uint32_t index) const {
  return index < std::size(record_.words1) ? record_.words1[index] : 0;
}

std::uint32_t GFontImp::GetLongs1(std::uint32_t index) const {
  return index < std::size(record_.longs1) ? record_.longs1[index] : 0;
}

std::uint32_t GFontImp::GetLongs2(std::uint32_t index) const {
  return index < std::size(record_.longs2) ? record_.longs2[index] : 0;
}

std::uint16_t GFontImp::GetWords2(std::uint32_t index) const {
  return index < std::size(record_.words2) ? record_.words2[index] : 0;
}

std::uint32_t GFontImp::GetBlockLong(std::uint32_t index) const {
  return index < std::size(block_.longs) ? block_.longs[index] : 0;
}

void GFontImp::MarkInUse(GRenderDriverData*) {
  save_mark_ = 1;
}

void GFontImp::Reserved() {}

std::uint32_t GFontImp::RaiseSerial() {
  if (font_serial_ != kSerialLimit) ++font_serial_;
  return font_serial_;
}

bool GFontImp::LookUpCode(std::uint16_t code, std::uint16_t& value) {
  GFontAccess* access = GetAccess();
  return access && access->RequestCode(source_, code, value) != 0;
}

bool GFontImp::LookUpRange(std::uint16_t first, std::uint16_t last, std::uint16_t* table) {
  GFontAccess* access = GetAccess();
  return access && access->RequestRange(source_, first, last, table) != 0;
}

bool GFontImp::DefaultValue(bool& looked_up, std::uint16_t& value) {
  if (!looked_up) looked_up = LookUpCode(GetDefaultCode(), value);
  return looked_up;
}

std::uint32_t GFontImp::GetCodeTable(std::span<const std::uint16_t> codes, GCharTable& table) {
  if (table.Count() < codes.size() || !table.MakePrivate()) return 0;
  bool have_default = false;
  std::uint16_t fallback = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::uint16_t value = 0;
    if (!LookUpCode(codes[i], value)) {
      if (!DefaultValue(have_default, fallback)) return 0;
      value = fallback;
    }
    table.Set(static_cast<std::uint32_t>(i), value);
  }
  return 1;
}

std::uint32_t GFontImp::GetCodeRangeTable(std::uint16_t first, std::uint16_t last,
                                          GCharTable& table) {
  if (first > last) return 0;
  const std::uint32_t count = std::uint32_t{last} - first + 1;
  if (table.Count() < count || !table.MakePrivate()) return 0;
  bool have_default = false;
  std::uint16_t fallback = 0;
  std::uint32_t low = first;
  std::uint32_t high = last;
  const std::uint32_t font_first = GetFirstCode();
  const std::uint32_t font_last = GetLastCode();
  if (font_first > first || font_last < last) {
    if (!DefaultValue(have_default, fallback)) return 0;
    for (std::uint32_t code = first; code <= last; ++code) {
      if (code < font_first || code > font_last) table.Set(code - first, fallback);
    }
    low = std::max(low, font_first);
    high = std::min(high, font_last);
    if (low > high) return 1;  // wholly outside the font
  }
  std::uint16_t* entries = table.OwnedData();
  if (LookUpRange(static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high),
                  entries + (low - first)))
    return 1;
  for (std::uint32_t code = low; code <= high; ++code) {
    std::uint16_t value = 0;
    if (!LookUpCode(static_cast<std::uint16_t>(code), value)) {
      if (!DefaultValue(have_default, fallback)) return 0;
      value = fallback;
    }
    entries[code - first] = value;
  }
  return 1;
}

std::uint32_t GFontImp::AccessGlyphs(std::uint32_t a, std::uint32_t b) {
  return RequestThroughAccess(&GFontAccess::RequestGlyphs, a, b);
}

std::uint32_t GFontImp::AccessGlyphsEx(std::uint32_t a, std::uint32_t b) {
  return RequestThroughAccess(&GFontAccess::RequestGlyphsEx, a, b);
}

std::uint32_t GFontImp::RequestThroughAccess(AccessRequest request, std::uint32_t a,
                                             std::uint32_t b) {
  GFontAccess* access = GetAccess();
  const auto value = static_cast<std::uint16_t>(record_.height + record_.words1[3]);
  return access ? (access->*request)(source_, value, a, b) : 0;
}

std::uint32_t GFontImp::IsReady() {
  return 1;
}

std::uint32_t GFontImp::GetGlyphBitmap(std::uint16_t, std::uint32_t, GGlyphMetrics&,
                                       GByteBuffer*& out) {
  out = nullptr;
  return 0;
}

std::uint32_t GFontImp::GetGlyphSize(std::uint16_t code, std::uint32_t option,
                                     GGlyphMetrics& metrics) {
  GByteBuffer* bitmap = nullptr;
  const std::uint32_t size = GetGlyphBitmap(code, option, metrics, bitmap);
  delete bitmap;
  return size;
}

std::uint32_t GFontImp::RequestGlyphs(std::uint32_t, std::uint32_t) {
  return 0;
}

std::uint32_t GFontImp::RequestGlyphsEx(std::uint32_t, std::uint32_t) {
  return 0;
}

std::uint32_t GFontImp::FetchRequestedCodes() {
  struct Walk {
    GFontImp* font;
    std::uint32_t selector;
  } walk{this, GetSelector()};
  const std::uint32_t last = requested_codes_.ForEach(
      [](std::uint32_t code, void* arg) -> std::uint32_t {
        Walk& w = *static_cast<Walk*>(arg);
        GGlyphMetrics metrics;
        return w.font->GetGlyphSize(static_cast<std::uint16_t>(code), w.selector, metrics);
      },
      &walk);
  // An empty set visits nothing: its answer 0 counts as the last call's.
  return last == 0 ? 0 : IsReady();
}

bool GFontImp::AddRequestedCode(std::uint16_t code) {
  return requested_codes_.Add(code);
}

void GFontImp::MergeFont(GFontDatabaseEntry& other) {
  auto* newer = dynamic_cast<GFontImp*>(&other);
  if (!newer) return;
  requested_codes_.AddAll(newer->requested_codes_);
  block_.glyph_flags = newer->block_.glyph_flags;
  font_serial_ = newer->font_serial_;
}

RWSize GFontImp::StoredSize() const {
  return MPersistentObject::StoredSize() + kFontImpPartSize + record_.face_name.Length() +
         GraphStoreSizeOf(access_.Get());
}

bool GFontImp::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  // Compared by the objects' own class ids, so that a concrete font can
  // build on this comparison.
  if (!other || other->ClassId() != ClassId() || !GFontDatabaseEntry::IsEqualContent(other))
    return false;
  const auto* same = dynamic_cast<const GFontImp*>(other);
  if (!same) return false;
  const GFontDescriptionRecord& a = record_;
  const GFontDescriptionRecord& b = same->record_;
  const bool records_equal =
      std::equal(std::begin(a.words1), std::end(a.words1), b.words1) &&
      std::equal(std::begin(a.longs1), std::end(a.longs1), b.longs1) && a.style == b.style &&
      a.selector == b.selector && a.x_scale == b.x_scale && a.y_scale == b.y_scale &&
      a.height == b.height && std::equal(std::begin(a.longs2), std::end(a.longs2), b.longs2) &&
      std::equal(std::begin(a.words2), std::end(a.words2), b.words2) &&
      a.face_name == b.face_name && a.long3 == b.long3 && a.last_word == b.last_word;
  const GFontAngleBlock& x = block_;
  const GFontAngleBlock& y = same->block_;
  const bool blocks_equal = x.angle1.GetDegrees() == y.angle1.GetDegrees() &&
                            x.angle2.GetDegrees() == y.angle2.GetDegrees() &&
                            x.angle3.GetDegrees() == y.angle3.GetDegrees() && x.word == y.word &&
                            std::equal(std::begin(x.longs), std::end(x.longs), y.longs) &&
                            x.glyph_flags == y.glyph_flags &&
                            std::equal(std::begin(x.longs2), std::end(x.longs2), y.longs2);
  if (!records_equal || !blocks_equal) return false;
  const GFontAccess* mine = GetAccess();
  const GFontAccess* theirs = same->GetAccess();
  if (mine == theirs) return true;
  return mine && theirs && mine->IsEqualContent(theirs);
}

template <class Out>
void GFontImp::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kFontVersion);
  for (std::uint16_t word : record_.words1)
    PutItem(out, word);
  for (std::uint32_t value : record_.longs1)
    PutItem(out, value);
  PutItem(out, record_.style);
  PutItem(out, record_.selector);
  PutItem(out, record_.x_scale);
  PutItem(out, record_.y_scale);
  PutItem(out, record_.height);
  for (std::uint32_t value : record_.longs2)
    PutItem(out, value);
  for (std::uint16_t word : record_.words2)
    PutItem(out, word);
  PutItem(out, record_.face_name);
  PutItem(out, record_.long3);
  PutItem(out, record_.last_word);
  PutItem(out, StoredAngle(block_.angle1));
  PutItem(out, StoredAngle(block_.angle2));
  PutItem(out, block_.word);
  for (std::uint32_t value : block_.longs)
    PutItem(out, value);
  PutItem(out, block_.glyph_flags);
  PutItem(out, StoredAngle(block_.angle3));
  for (std::uint32_t value : block_.longs2)
    PutItem(out, value);
  PutReference(out, access_.Get());
  PutItem(out, database_key_);
  PutItem(out, font_serial_);
}

namespace {

template <class In, class T, std::size_t N>
bool GetAll(In& in, T (&values)[N]) {
  for (T& value : values) {
    if (!GetItem(in, value)) return false;
  }
  return true;
}

template <class In>
bool GetAngle(In& in, GAngle& angle) {
  std::int32_t degrees = 0;
  if (!GetItem(in, degrees)) return false;
  angle = static_cast<float>(degrees);
  return true;
}

}  // namespace

template <class In>
void GFontImp::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kFontVersion)) return;
  source_ = 0;
  GFontDescriptionRecord& r = record_;
  if (!GetAll(in, r.words1) || !GetAll(in, r.longs1) || !GetItem(in, r.style) ||
      !GetItem(in, r.selector) || !GetItem(in, r.x_scale) || !GetItem(in, r.y_scale) ||
      !GetItem(in, r.height) || !GetAll(in, r.longs2) || !GetAll(in, r.words2) ||
      !GetItem(in, r.face_name) || !GetItem(in, r.long3) || !GetItem(in, r.last_word))
    return;
  GFontAngleBlock& b = block_;
  if (!GetAngle(in, b.angle1) || !GetAngle(in, b.angle2) || !GetItem(in, b.word) ||
      !GetAll(in, b.longs) || !GetItem(in, b.glyph_flags) || !GetAngle(in, b.angle3) ||
      !GetAll(in, b.longs2))
    return;
  access_.Reset();
  if (!ReadUnheldObject<GFontAccess>(in, scope, access_)) return;
  GetItem(in, database_key_) && GetItem(in, font_serial_);
}

template class MPersistentClass<GFontImp, GFontDatabaseEntry, kGFontImpId>;

// ---------------------------------------------------------------------------
// GFont

GFont::GFont() = default;

GFont::GFont(GFontImp* implementation, GRenderDriverData* driver_data)
    : implementation_(implementation), driver_data_(driver_data) {
  if (implementation_)
    implementation_->SetUseCount(static_cast<std::int16_t>(implementation_->UseCount() + 1));
}

GFont::GFont(const GFont& other)
    : MPersistentClass(other),
      implementation_(other.implementation_),
      driver_data_(other.driver_data_) {
  if (implementation_)
    implementation_->SetUseCount(static_cast<std::int16_t>(implementation_->UseCount() + 1));
}

GFont::~GFont() {
  Release();
}

void GFont::Release() {
  GFontImp* implementation = std::exchange(implementation_, nullptr);
  if (!implementation) return;
  implementation->SetUseCount(static_cast<std::int16_t>(implementation->UseCount() - 1));
  if (implementation->UseCount() <= 0) {
    delete implementation;
  } else {
    implementation->SetSource(0);
  }
}

GRenderDriverData* GFont::SetDriverData(GRenderDriverData* driver_data) {
  return std::exchange(driver_data_, driver_data);
}

#define DRV_ASK(call, none) return implementation_ ? implementation_->call : none

std::uint32_t GFont::GetFontKind() const {
  DRV_ASK(GetFontKind(), 0);
}
const GFontDescriptionRecord* GFont::GetDescription() const {
  DRV_ASK(GetDescription(), nullptr);
}
const GFontAngleBlock* GFont::GetAngleBlock() const {
  DRV_ASK(GetAngleBlock(), nullptr);
}
std::uint32_t GFont::GetSource() const {
  DRV_ASK(GetSource(), 0);
}
std::uint16_t GFont::GetWords1(std::uint32_t index) const {
  DRV_ASK(GetWords1(index), 0);
}
std::uint32_t GFont::GetLongs1(std::uint32_t index) const {
  DRV_ASK(GetLongs1(index), 0);
}
std::uint16_t GFont::GetStyle() const {
  DRV_ASK(GetStyle(), 0);
}
std::uint32_t GFont::GetSelector() const {
  DRV_ASK(GetSelector(), 0);
}
float GFont::GetXScale() const {
  DRV_ASK(GetXScale(), 0.0f);
}
float GFont::GetYScale() const {
  DRV_ASK(GetYScale(), 0.0f);
}
std::int16_t GFont::GetHeight() const {
  DRV_ASK(GetHeight(), 0);
}
std::uint32_t GFont::GetLongs2(std::uint32_t index) const {
  DRV_ASK(GetLongs2(index), 0);
}
std::uint16_t GFont::GetWords2(std::uint32_t index) const {
  DRV_ASK(GetWords2(index), 0);
}
std::uint16_t GFont::GetFirstCode() const {
  DRV_ASK(GetFirstCode(), 0);
}
std::uint16_t GFont::GetLastCode() const {
  DRV_ASK(GetLastCode(), 0);
}
std::uint16_t GFont::GetDefaultCode() const {
  DRV_ASK(GetDefaultCode(), 0);
}
const RWCString& GFont::GetFaceName() const {
  DRV_ASK(GetFaceName(), EmptyName());
}
std::uint32_t GFont::GetLong3() const {
  DRV_ASK(GetLong3(), 0);
}
std::uint32_t GFont::GetBlockLong(std::uint32_t index) const {
  DRV_ASK(GetBlockLong(index), 0);
}
std::uint16_t GFont::GetBlockWord() const {
  DRV_ASK(GetBlockWord(), 0);
}
std::uint32_t GFont::GetGlyphFlags() const {
  DRV_ASK(GetGlyphFlags(), 0);
}
std::uint32_t GFont::GetCodeTable(std::span<const std::uint16_t> codes, GCharTable& table) {
  DRV_ASK(GetCodeTable(codes, table), 0);
}
std::uint32_t GFont::GetCodeRangeTable(std::uint16_t first, std::uint16_t last, GCharTable& table) {
  DRV_ASK(GetCodeRangeTable(first, last, table), 0);
}
std::uint32_t GFont::AccessGlyphs(std::uint32_t a, std::uint32_t b) {
  DRV_ASK(AccessGlyphs(a, b), 0);
}
std::uint32_t GFont::AccessGlyphsEx(std::uint32_t a, std::uint32_t b) {
  DRV_ASK(AccessGlyphsEx(a, b), 0);
}
std::uint16_t GFont::GetGeneratorWord() const {
  DRV_ASK(GetGeneratorWord(), 0);
}
std::uint32_t GFont::GetGeneratorLong() const {
  DRV_ASK(GetGeneratorLong(), 0);
}
std::uint16_t GFont::GetLastWord() const {
  DRV_ASK(GetLastWord(), 0);
}
GFontDownloadRecord* GFont::GetDownloadRecord() const {
  DRV_ASK(GetDownloadRecord(), nullptr);
}
GFontDownloadRecord* GFont::TakeDownloadRecord() {
  DRV_ASK(TakeDownloadRecord(), nullptr);
}

#undef DRV_ASK

void GFont::GetFirstAngle(float& degrees) const {
  degrees = 0;
  if (implementation_) implementation_->GetFirstAngle(degrees);
}

void GFont::GetSecondAngle(float& degrees) const {
  degrees = 0;
  if (implementation_) implementation_->GetThirdAngle(degrees);
}

void GFont::GetThirdAngle(float& degrees) const {
  degrees = 0;
  if (implementation_) implementation_->GetSecondAngle(degrees);
}

void GFont::SetGeneratorWord(std::uint16_t word) {
  if (implementation_) implementation_->SetGeneratorWord(word);
}

void GFont::SetGeneratorLong(std::uint32_t value) {
  if (implementation_) implementation_->SetGeneratorLong(value);
}

void GFont::SetLastWord(std::uint16_t word) {
  if (implementation_) implementation_->SetLastWord(word);
}

void GFont::SetDownloadRecord(GFontDownloadRecord* record) {
  if (implementation_) {
    implementation_->SetDownloadRecord(record);
  } else {
    delete record;
  }
}

std::uint32_t GFont::AddCodes(std::span<const std::uint16_t> codes) {
  if (implementation_) {
    for (std::uint16_t code : codes)
      implementation_->AddRequestedCode(code);
  }
  return static_cast<std::uint32_t>(codes.size());
}

std::uint32_t GFont::RequestGlyphs(std::uint32_t a, std::uint32_t b) {
  return RequestWhenNeeded(&GFontImp::RequestGlyphs, a, b);
}

std::uint32_t GFont::RequestGlyphsEx(std::uint32_t a, std::uint32_t b) {
  return RequestWhenNeeded(&GFontImp::RequestGlyphsEx, a, b);
}

std::uint32_t GFont::RequestWhenNeeded(std::uint32_t (GFontImp::*request)(std::uint32_t,
                                                                          std::uint32_t),
                                       std::uint32_t a, std::uint32_t b) {
  if (!implementation_) return 0;
  if (implementation_->GetGlyphFlags() & kAllGlyphsAvailable) return 1;
  return implementation_->IsReady() == 1 ? (implementation_->*request)(a, b) : 0;
}

RWSize GFont::StoredSize() const {
  return MPersistentObject::StoredSize() + 16;
}

bool GFont::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GFont* same = SameContentBase(other);
  if (!same) return false;
  if (implementation_ == same->implementation_) return true;
  if (!implementation_ || !same->implementation_) return true;
  return implementation_->IsEqualContent(same->implementation_);
}

template <class Out>
void GFont::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  if (implementation_) {
    // The database writes the implementation beside the page.
    implementation_->MarkInUse(driver_data_);
    if (GJobFontDatabase* database = JobDatabase(driver_data_))
      database->CountReference(implementation_);
  }
  PutItem(out, kFontVersion);
  PutItem(out, driver_data_ ? driver_data_->GetJobCookie() : std::uint32_t{0});
  PutItem(out, implementation_ ? implementation_->DatabaseKey() : std::uint32_t{0});
  PutItem(out, implementation_ ? implementation_->FontSerial() : std::uint32_t{0});
}

template <class In>
void GFont::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kFontVersion)) return;
  std::uint32_t cookie = 0;
  std::uint32_t key = 0;
  std::uint32_t serial = 0;
  if (!GetItem(in, cookie) || !GetItem(in, key) || !GetItem(in, serial)) return;
  Release();
  GDriverServer* server = GDriverServer::Instance();
  driver_data_ = server ? server->FindRenderData(cookie) : nullptr;
  GJobFontDatabase* database = JobDatabase(driver_data_);
  GFontDatabaseEntry* entry = database ? database->Acquire(key, serial) : nullptr;
  implementation_ = dynamic_cast<GFontImp*>(entry);
  if (entry && !implementation_)  // not a font implementation: its use given back
    entry->SetUseCount(static_cast<std::int16_t>(entry->UseCount() - 1));
}

template class MPersistentClass<GFont, MPersistentObject, kGFontId>;

// ---------------------------------------------------------------------------
// GScaledFont

namespace {

float UsableScale(float scale) {
  return std::isfinite(scale) && scale > 0.0f ? scale : 1.0f;
}

}  // namespace

GScaledFont::GScaledFont(const GFont& font, float x_scale, float y_scale)
    : font_(&font), x_scale_(UsableScale(x_scale)), y_scale_(UsableScale(y_scale)) {}

GScaledFont::~GScaledFont() = default;

std::int16_t GScaledFont::GetScaledMetric() const {
  const std::int16_t height = font_->GetHeight();
  return y_scale_ == 1.0f ? height : ScaleValue<std::int16_t>(height, y_scale_);
}

void GScaledFont::GetScaledGlyphMetrics(GFontDescriptionRecord& record) const {
  const GFontDescriptionRecord* own = font_->GetDescription();
  record = own ? *own : GFontDescriptionRecord();
  if (x_scale_ == 1.0f && y_scale_ == 1.0f) return;
  for (std::size_t i = 2; i < std::size(record.words1); ++i)
    record.words1[i] = ScaleValue<std::uint16_t>(record.words1[i], y_scale_);
  record.height = ScaleValue<std::int16_t>(record.height, y_scale_);
  for (std::size_t i = 0; i < 2; ++i)
    record.words2[i] = ScaleValue<std::uint16_t>(record.words2[i], x_scale_);
}

std::uint32_t GScaledFont::GetGlyphData(std::uint16_t code, std::uint32_t option,
                                        GGlyphMetrics& metrics, GByteBuffer*& out) const {
  out = nullptr;
  GFontImp* implementation = font_->GetImplementation();
  if (!implementation) return 0;
  if (x_scale_ == 1.0f && y_scale_ == 1.0f)
    return implementation->GetGlyphBitmap(code, option, metrics, out);
  GByteBuffer* fetched = nullptr;
  implementation->GetGlyphBitmap(code, option, metrics, fetched);
  std::unique_ptr<GByteBuffer> source(fetched);
  if (!source || metrics.width < 0 || metrics.height < 0) return 0;
  const std::uint32_t width = static_cast<std::uint32_t>(metrics.width);
  const std::uint32_t height = static_cast<std::uint32_t>(metrics.height);
  const std::uint32_t source_row_bytes = (width + 31) / 32 * 4;
  // A glyph shorter than its rows is no glyph.
  if (std::uint64_t{source_row_bytes} * height > source->GetSize()) return 0;
  const float target_width = Scaled(width, x_scale_);
  const float target_height = Scaled(height, y_scale_);
  const float padded_width = std::ceil(target_width / 32) * 32;
  if (padded_width > std::numeric_limits<std::int16_t>::max() ||
      target_height > std::numeric_limits<std::int16_t>::max())
    return 0;
  const auto target_row_bytes = static_cast<std::uint32_t>(padded_width) / 8;
  const auto rows = static_cast<std::uint32_t>(target_height);
  const std::uint32_t size = rows * target_row_bytes;
  if (size != 0) {
    std::unique_ptr<std::uint8_t[]> block = RWNewArray<std::uint8_t>(size);
    if (!block) return 0;
    const std::uint8_t* bits = source->GetData();
    for (std::uint32_t r = 0; r < height; ++r) {
      const auto y0 = static_cast<std::uint32_t>(Scaled(r, y_scale_));
      const auto y1 = static_cast<std::uint32_t>(Scaled(r + 1, y_scale_));
      const std::uint8_t* row = bits + std::size_t{r} * source_row_bytes;
      for (std::uint32_t c = 0; y0 < y1 && c < width; ++c) {
        if (!(row[c / 8] & (0x80u >> (c % 8)))) continue;
        const auto x0 = static_cast<std::uint32_t>(Scaled(c, x_scale_));
        const auto x1 = static_cast<std::uint32_t>(Scaled(c + 1, x_scale_));
        for (std::uint32_t y = y0; y < y1; ++y) {
          std::uint8_t* target = block.get() + std::size_t{y} * target_row_bytes;
          for (std::uint32_t x = x0; x < x1; ++x)
            target[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
      }
    }
    out = RWNew<GByteBuffer>(block.get(), size, true);
    if (!out) return 0;
    block.release();
  } else {
    // An empty glyph stays one: an empty owning buffer, not none.
    out = GByteBuffer::NewCopy(nullptr, 0);
    if (!out) return 0;
  }
  metrics.x = ScaleValue<std::int16_t>(metrics.x, x_scale_);
  metrics.y = ScaleValue<std::int16_t>(metrics.y, y_scale_);
  metrics.width = static_cast<std::int16_t>(padded_width);
  metrics.height = static_cast<std::int16_t>(rows);
  return size;
}
