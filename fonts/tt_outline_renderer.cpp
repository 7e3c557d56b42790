#include "fonts/tt_outline_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "fonts/font.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_reader.h"
#include "fonts/tt_tags.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "output/core/byte_buffer.h"

namespace {

constexpr std::uint32_t kSfntHeaderSize = 12;
constexpr std::uint32_t kSfntRecordSize = 16;

std::atomic<std::size_t> g_held_font_bytes{0};

void PutBigEndian16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutBigEndian16(out, value >> 16);
  PutBigEndian16(out, value & 0xFFFF);
}

// FreeType's memory, a record of our own that is never allocated (the
// library's FT_Init_FreeType allocates its record, and answers a failure
// there as an unimplemented feature): every failure of FreeType's
// allocations is its out-of-memory error.
void* FreeTypeAlloc(FT_Memory, long size) {
  return std::malloc(static_cast<std::size_t>(size));
}
void FreeTypeFree(FT_Memory, void* block) {
  std::free(block);
}
void* FreeTypeRealloc(FT_Memory, long, long size, void* block) {
  return std::realloc(block, static_cast<std::size_t>(size));
}
FT_MemoryRec_ g_free_type_memory = {nullptr, FreeTypeAlloc, FreeTypeFree, FreeTypeRealloc};

// True for an error; FreeType's out-of-memory raises [NOMEM], so that the
// renderer's callers tell it from a font FreeType cannot read.
bool FreeTypeFailed(FT_Error error) {
  if (error == FT_Err_Out_Of_Memory) RWRaiseNoMemory(0);
  return error != 0;
}

}  // namespace

struct GTTOutlineRenderer::FreeType {
  FreeType() = default;
  FreeType(const FreeType&) = delete;
  FreeType& operator=(const FreeType&) = delete;
  ~FreeType() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_Library(library);
  }

  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

GTTOutlineRenderer::GTTOutlineRenderer(std::uint32_t source, std::vector<std::uint8_t> font)
    : source_(source), font_(std::move(font)) {
  g_held_font_bytes += font_.size();
}

GTTOutlineRenderer::~GTTOutlineRenderer() {
  free_type_.reset();  // the face reads the bytes until it goes
  g_held_font_bytes -= font_.size();
}

std::size_t GTTOutlineRenderer::HeldFontBytes() {
  return g_held_font_bytes.load();
}

std::unique_ptr<GTTOutlineRenderer> GTTOutlineRenderer::Make(GTTFontReader& reader,
                                                             std::uint32_t source) {
  struct Table {
    std::uint32_t tag;
    std::unique_ptr<GByteBuffer> bytes;
  };
  // A table memory ran short for is not a table the font lacks: no
  // renderer, rather than one over a font cut short.
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  std::vector<Table> tables;
  std::uint64_t total = kSfntHeaderSize;
  for (std::uint32_t index = 0; index < kTTTagCount; ++index) {
    const std::uint32_t length = reader.GetTableLength(source, index);
    if (length == 0) continue;
    GByteBuffer* read = nullptr;
    reader.ReadTable(source, index, 1, read);
    std::unique_ptr<GByteBuffer> bytes(read);
    if (!bytes || bytes->GetSize() != length) continue;
    total += kSfntRecordSize + (std::uint64_t{length} + 3) / 4 * 4;
    tables.push_back({kTTTags[index], std::move(bytes)});
  }
  if (tables.empty() || total > kRWMaxAllocation || RWOutOfMemoryRaised() != short_of_memory)
    return nullptr;
  std::sort(tables.begin(), tables.end(),
            [](const Table& a, const Table& b) { return a.tag < b.tag; });
  std::vector<std::uint8_t> font;
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
  tables.clear();
  std::unique_ptr<GTTOutlineRenderer> renderer(new (kRWNoThrow)
                                                   GTTOutlineRenderer(source, std::move(font)));
  if (!renderer) {
    RWRaiseNoMemory(sizeof(GTTOutlineRenderer));
    return nullptr;
  }
  renderer->free_type_.reset(RWNew<FreeType>());
  FreeType* free_type = renderer->free_type_.get();
  if (!free_type) return nullptr;
  if (FreeTypeFailed(FT_New_Library(&g_free_type_memory, &free_type->library))) {
    free_type->library = nullptr;
    return nullptr;
  }
  // Adding the modules answers nothing: one memory ran out for is missing.
  FT_Add_Default_Modules(free_type->library);
  for (const char* needed : {"sfnt", "truetype", "raster1", "psnames"}) {
    if (!FT_Get_Module(free_type->library, needed)) {
      RWRaiseNoMemory(0);
      return nullptr;
    }
  }
  if (FreeTypeFailed(FT_New_Memory_Face(free_type->library, renderer->font_.data(),
                                        static_cast<FT_Long>(renderer->font_.size()), 0,
                                        &free_type->face))) {
    free_type->face = nullptr;
    return nullptr;
  }
  return renderer;
}

std::uint32_t GTTOutlineRenderer::Render(std::uint16_t glyph, std::int32_t pixels,
                                         GGlyphMetrics& metrics, GByteBuffer*& out) {
  out = nullptr;
  metrics = GGlyphMetrics();
  FT_Face face = free_type_->face;
  if (pixels_ != pixels) {
    if (FreeTypeFailed(FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)))) return 0;
    pixels_ = pixels;
  }
  constexpr FT_Int32 kLoadFlags =
      FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO;
  if (FreeTypeFailed(FT_Load_Glyph(face, glyph, kLoadFlags)) ||
      face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return 0;
  const FT_GlyphSlot slot = face->glyph;
  if (slot->outline.n_contours == 0) {
    // No outline: an empty bitmap, an owning buffer of no bytes.
    out = GByteBuffer::NewCopy(nullptr, 0);
    return 0;
  }
  // No bitmap, unlike an empty glyph's: the character cannot be drawn.
  if (FreeTypeFailed(FT_Render_Glyph(slot, FT_RENDER_MODE_MONO))) return 0;
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
