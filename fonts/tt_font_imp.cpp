#include "fonts/tt_font_imp.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "driver/services/render_driver_data.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_tags.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kTTFontImpClasses[] = {
    {&RWCreate<GTTFontImp>, kGTTFontImpId, "GTTFontImp"},
};

constexpr std::uint32_t kSfntHeaderSize = 12;
constexpr std::uint32_t kSfntRecordSize = 16;

void PutBigEndian16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutBigEndian16(out, value >> 16);
  PutBigEndian16(out, value & 0xFFFF);
}

}  // namespace

std::span<const RWClassRegistration> TTFontImpClasses() {
  return kTTFontImpClasses;
}

// FreeType's view of the font: a face over a font file assembled in memory
// from the reader's tables.
struct GTTFontImp::Renderer {
  Renderer() = default;
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  ~Renderer() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::vector<std::uint8_t> font;  // the face's bytes, alive as long as it
  std::int32_t pixels = 0;         // the size the face is set to
};

GTTFontImp::GTTFontImp() = default;

GTTFontImp::GTTFontImp(std::uint32_t source, const GFontDescriptionRecord& record,
                       const GFontAngleBlock& block, GTTFontPool* pool, GTTFontReader* reader)
    : MPersistentClass(source, record, block), font_file_(pool, reader) {}

GTTFontImp::GTTFontImp(const GTTFontImp& other) : MPersistentClass(other) {}

GTTFontImp::~GTTFontImp() = default;

void GTTFontImp::MarkInUse(GRenderDriverData* driver_data) {
  GFontImp::MarkInUse(driver_data);
  if (driver_data) font_file_.AddKey(driver_data->GetOwnerId());
}

bool GTTFontImp::LookUpCode(std::uint16_t code, std::uint16_t& value) {
  const std::uint16_t glyph = font_file_.MapCharToGlyph(GetSource(), 0, code, GetSelector());
  if (glyph == 0) return false;
  value = glyph;
  return true;
}

GTTFontImp::Renderer* GTTFontImp::GetRenderer() {
  if (renderer_ || renderer_failed_) return renderer_.get();
  renderer_failed_ = true;  // until it is made
  // Every table the reader can give, whole, behind a directory in tag order.
  struct Table {
    std::uint32_t tag;
    std::unique_ptr<GByteBuffer> bytes;
  };
  std::vector<Table> tables;
  std::uint64_t total = kSfntHeaderSize;
  for (std::uint32_t index = 0; index < kTTTagCount; ++index) {
    const std::uint32_t length = font_file_.GetTableLength(GetSource(), index);
    if (length == 0) continue;
    GByteBuffer* read = nullptr;
    font_file_.ReadTable(GetSource(), index, 1, read);
    std::unique_ptr<GByteBuffer> bytes(read);
    if (!bytes || bytes->GetSize() != length) continue;
    total += kSfntRecordSize + (std::uint64_t{length} + 3) / 4 * 4;
    tables.push_back({kTTTags[index], std::move(bytes)});
  }
  if (tables.empty() || total > kRWMaxAllocation) return nullptr;
  std::sort(tables.begin(), tables.end(),
            [](const Table& a, const Table& b) { return a.tag < b.tag; });
  auto renderer = std::unique_ptr<Renderer>(RWNew<Renderer>());
  if (!renderer) return nullptr;
  std::vector<std::uint8_t>& font = renderer->font;
  font.reserve(static_cast<std::size_t>(total));
  const auto count = static_cast<std::uint32_t>(tables.size());
  std::uint32_t power = 1;
  std::uint32_t selector = 0;
  while (power * 2 <= count) {
    power *= 2;
    ++selector;
  }
  PutBigEndian32(font, kTTVersionTrueType);
  PutBigEndian16(font, count);
  PutBigEndian16(font, power * kSfntRecordSize);
  PutBigEndian16(font, selector);
  PutBigEndian16(font, (count - power) * kSfntRecordSize);
  std::uint64_t offset = kSfntHeaderSize + std::uint64_t{count} * kSfntRecordSize;
  for (const Table& table : tables) {
    PutBigEndian32(font, table.tag);
    PutBigEndian32(font, 0);  // checksums are not checked
    PutBigEndian32(font, static_cast<std::uint32_t>(offset));
    PutBigEndian32(font, table.bytes->GetSize());
    offset += (std::uint64_t{table.bytes->GetSize()} + 3) / 4 * 4;
  }
  for (const Table& table : tables) {
    font.insert(font.end(), table.bytes->GetData(),
                table.bytes->GetData() + table.bytes->GetSize());
    font.resize((font.size() + 3) / 4 * 4, 0);
  }
  if (FT_Init_FreeType(&renderer->library) != 0) {
    renderer->library = nullptr;
    return nullptr;
  }
  if (FT_New_Memory_Face(renderer->library, font.data(), static_cast<FT_Long>(font.size()), 0,
                         &renderer->face) != 0) {
    renderer->face = nullptr;
    return nullptr;
  }
  renderer_ = std::move(renderer);
  renderer_failed_ = false;
  return renderer_.get();
}

std::uint32_t GTTFontImp::GetGlyphBitmap(std::uint16_t code, std::uint32_t option,
                                         GGlyphMetrics& metrics, GByteBuffer*& out) {
  out = nullptr;
  metrics = GGlyphMetrics();
  const std::int32_t pixels = std::abs(std::int32_t{GetHeight()});
  if (pixels == 0 || pixels > kTTMaxPixelHeight) return 0;
  Renderer* renderer = GetRenderer();
  if (!renderer) return 0;
  const std::uint16_t glyph = font_file_.MapCharToGlyph(GetSource(), 0, code, option);
  FT_Face face = renderer->face;
  if (renderer->pixels != pixels) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) return 0;
    renderer->pixels = pixels;
  }
  constexpr FT_Int32 kLoadFlags =
      FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO;
  if (FT_Load_Glyph(face, glyph, kLoadFlags) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return 0;
  const FT_GlyphSlot slot = face->glyph;
  if (slot->outline.n_contours == 0) {
    // No outline: an empty bitmap, an owning buffer of no bytes.
    out = GByteBuffer::NewCopy(nullptr, 0);
    return 0;
  }
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return 0;
  const FT_Bitmap& bitmap = slot->bitmap;
  const std::uint32_t width = bitmap.width;
  const std::uint32_t rows = bitmap.rows;
  constexpr auto kMetricLimit =
      static_cast<std::uint32_t>(std::numeric_limits<std::int16_t>::max());
  if (width > kMetricLimit || rows > kMetricLimit ||
      std::abs(slot->bitmap_left) > std::int32_t{kMetricLimit} ||
      std::abs(slot->bitmap_top) > std::int32_t{kMetricLimit})
    return 0;
  const std::uint32_t row_bytes = (width + 31) / 32 * 4;
  const std::uint32_t size = row_bytes * rows;
  std::unique_ptr<std::uint8_t[]> block;
  if (size != 0) {
    const std::uint32_t used = (width + 7) / 8;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.pitch < static_cast<int>(used)) return 0;
    block = RWNewArray<std::uint8_t>(size);
    if (!block) return 0;
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::memcpy(block.get() + std::size_t{r} * row_bytes,
                  bitmap.buffer + std::size_t{r} * static_cast<std::size_t>(bitmap.pitch), used);
    }
  }
  out = size ? RWNew<GByteBuffer>(block.get(), size, true) : GByteBuffer::NewCopy(nullptr, 0);
  if (!out) return 0;
  block.release();
  metrics.x = static_cast<std::int16_t>(slot->bitmap_left);
  metrics.y = static_cast<std::int16_t>(slot->bitmap_top);
  metrics.width = static_cast<std::int16_t>(width);
  metrics.height = static_cast<std::int16_t>(rows);
  return size;
}

RWSize GTTFontImp::StoredSize() const {
  return GFontImp::StoredSize() + 4 + GraphStoreSizeOf(&font_file_);
}

bool GTTFontImp::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTTFontImp* same = SameContentBase(other);
  return same && font_file_.IsEqualContent(&same->font_file_);
}

template <class Out>
void GTTFontImp::SaveItems(Out& out) const {
  SaveBase<GFontImp>(*this, out);
  PutItem(out, kTTFontImpVersion);
  PutReference(out, &font_file_);
}

template <class In>
void GTTFontImp::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GFontImp>(*this, in);
  if (!ReadsVersion(scope, in, kTTFontImpVersion)) return;
  renderer_.reset();
  renderer_failed_ = false;
  GetEmbedded(in, font_file_);
}

template class MPersistentClass<GTTFontImp, GFontImp, kGTTFontImpId>;
