#include "output/raster/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/color/gray.h"
#include "output/core/held_reference.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kBitmapClasses[] = {
    {&RWCreate<GPaletteTable>, kGPaletteTableId, "GPaletteTable"},
    {&RWCreate<GBitmapImp>, kGBitmapImpId, "GBitmapImp"},
    {&RWCreate<GBitmap>, kGBitmapId, "GBitmap"},
};

constexpr std::uint32_t kEntryBytes = 4;

// The pixel block of a form: the padded row size x height when it fits
// 32 bits, else 0 (no pixels).
std::uint32_t BlockBytes(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
                         std::uint16_t samples_per_pixel) {
  const std::uint64_t bytes = PaddedRowBytes(width, bits_per_sample, samples_per_pixel) * height;
  return bytes <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(bytes) : 0;
}

// A 5-bit level spread over 8 bits.
constexpr std::uint8_t Expand5(std::uint32_t level) {
  return static_cast<std::uint8_t>((level & 31) << 3 | (level & 31) >> 2);
}

// Writes `count` pixels of 24 effective bits, fetched by `rgb(source, i,
// red, green, blue)`, as grey bytes or as R, G, B; answers the bytes.
template <class Rgb>
std::uint32_t WriteColorPixels(const std::uint8_t* source, std::uint32_t count,
                               std::uint8_t* destination, bool gray, Rgb rgb) {
  std::uint8_t red, green, blue;
  if (gray) {
    for (std::uint32_t i = 0; i < count; ++i) {
      rgb(source, i, red, green, blue);
      destination[i] = ColorToGray(red, green, blue);
    }
    return count;
  }
  for (std::uint32_t i = 0; i < count; ++i, destination += 3) {
    rgb(source, i, red, green, blue);
    destination[0] = red;
    destination[1] = green;
    destination[2] = blue;
  }
  return count * 3;
}

// Copies `n_bits` bits that start `first_bit` bits into a row of
// `row_bytes` bytes to the start of `destination`, most significant bit
// first, the last byte's unused bits clear; answers the bytes written.
std::uint32_t CopyBits(const std::uint8_t* row, std::uint64_t row_bytes, std::uint64_t first_bit,
                       std::uint64_t n_bits, std::uint8_t* destination) {
  const auto n_bytes = static_cast<std::uint32_t>((n_bits + 7) / 8);
  const std::uint8_t* from = row + first_bit / 8;
  const std::uint64_t available = row_bytes - first_bit / 8;
  const unsigned shift = first_bit % 8;
  if (shift == 0) {
    std::memcpy(destination, from, n_bytes);
  } else {
    for (std::uint32_t i = 0; i < n_bytes; ++i) {
      const std::uint8_t next = i + 1 < available ? from[i + 1] : 0;
      destination[i] = static_cast<std::uint8_t>(from[i] << shift | next >> (8 - shift));
    }
  }
  if (n_bits % 8 != 0)
    destination[n_bytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - n_bits % 8));
  return n_bytes;
}

}  // namespace

std::span<const RWClassRegistration> BitmapClasses() {
  return kBitmapClasses;
}

std::uint32_t StoredPixelBits(std::uint16_t bits_per_sample, std::uint16_t samples_per_pixel) {
  if (samples_per_pixel == 1) {
    switch (bits_per_sample) {
      case 1:
      case 2:
      case 4:
      case 8:
      case 16:
      case 32:
        return bits_per_sample;
      default:
        return 0;
    }
  }
  if (samples_per_pixel == 3 && bits_per_sample == 1) return 4;
  if (samples_per_pixel == 3 && bits_per_sample == 8) return 24;
  return 0;
}

std::uint64_t PaddedRowBytes(std::uint32_t width, std::uint16_t bits_per_sample,
                             std::uint16_t samples_per_pixel) {
  return (std::uint64_t{width} * StoredPixelBits(bits_per_sample, samples_per_pixel) + 31) / 32 * 4;
}

// ---------------------------------------------------------------------------
// GPaletteTable

GPaletteTable::GPaletteTable(std::span<const GPaletteEntry> entries, const std::uint32_t& key)
    : MPersistentClass(key) {
  Assign(entries.data(),
         static_cast<std::uint32_t>(std::min<std::size_t>(entries.size(), kPaletteMaxEntries)));
}

GPaletteTable::GPaletteTable(const GPaletteTable& other) : MPersistentClass(other) {
  Assign(other.entries_.get(), other.count_);
}

bool GPaletteTable::Assign(const GPaletteEntry* entries, std::uint32_t count) {
  if (count == 0) return true;
  const std::uint32_t capacity = (count + kPaletteGrowth - 1) / kPaletteGrowth * kPaletteGrowth;
  std::unique_ptr<GPaletteEntry[]> block = RWNewArray<GPaletteEntry>(capacity);
  if (!block) return false;
  std::copy_n(entries, count, block.get());
  entries_ = std::move(block);
  count_ = count;
  capacity_ = capacity;
  return true;
}

GPaletteEntry GPaletteTable::GetEntry(std::uint32_t index) const {
  if (!RWCheckIndex(index, count_)) return {};
  return entries_[index];
}

bool GPaletteTable::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPaletteTable* table = SameContentBase(other);
  return table && count_ == table->count_ &&
         std::equal(entries_.get(), entries_.get() + count_, table->entries_.get());
}

RWSize GPaletteTable::StoredSize() const {
  return MPersistentObject::StoredSize() + 8 + kEntryBytes * count_;
}

template <class Out>
void GPaletteTable::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPaletteTableVersion);
  PutItem(out, count_);
  for (std::uint32_t i = 0; i < count_; ++i) {
    const GPaletteEntry& e = entries_[i];
    const std::uint8_t bytes[kEntryBytes] = {e.red, e.green, e.blue, e.fourth};
    PutBytes(out, bytes, kEntryBytes);
  }
}

template <class In>
void GPaletteTable::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t count = 0;
  if (!ReadsVersion(scope, in, kPaletteTableVersion) || !GetItem(in, count)) return;
  if (count > kPaletteMaxEntries) {
    scope.Fail();
    return;
  }
  std::unique_ptr<std::uint8_t[]> bytes;
  GPaletteEntry entries[kPaletteMaxEntries];
  if (!GetBytes(in, count * kEntryBytes, bytes)) return;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &bytes[i * kEntryBytes];
    entries[i] = {e[0], e[1], e[2], e[3]};
  }
  entries_.reset();
  count_ = capacity_ = 0;
  Assign(entries, count);
}

template class MPersistentClass<GPaletteTable, MPersistentObject, kGPaletteTableId>;

// ---------------------------------------------------------------------------
// GBitmapImp

GBitmapImp::GBitmapImp() = default;

GBitmapImp::GBitmapImp(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
                       std::uint16_t samples_per_pixel, const std::uint8_t* pixels,
                       GPaletteTable* palette, const std::uint32_t& key)
    : MPersistentClass(key), palette_(palette, g_file_lock) {
  SetForm(width, height, bits_per_sample, samples_per_pixel);
  if (GetByteCount() == 0) return;
  if (pixels) {
    pixels_ = pixels;
    return;
  }
  owned_ = RWNewArray<std::uint8_t>(GetByteCount());
  if (!owned_) SetForm(0, 0, 0, 0);
  pixels_ = owned_.get();
}

GBitmapImp::GBitmapImp(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
                       std::uint16_t samples_per_pixel, std::unique_ptr<std::uint8_t[]> pixels,
                       GPaletteTable* palette, const std::uint32_t& key)
    : GBitmapImp(width, height, bits_per_sample, samples_per_pixel, pixels.get(), palette, key) {
  if (pixels_ && pixels_ == pixels.get()) owned_ = std::move(pixels);
}

GBitmapImp::GBitmapImp(const GBitmapImp& other)
    : MPersistentClass(other),
      chain_value_(other.chain_value_),
      palette_(other.palette_, g_file_lock) {
  SetForm(other.width_, other.height_, other.bits_per_sample_, other.samples_per_pixel_);
  if (!other.pixels_ || GetByteCount() == 0) return;
  owned_ = RWNewArrayForOverwrite<std::uint8_t>(GetByteCount());
  if (!owned_) {
    SetForm(0, 0, 0, 0);
    return;
  }
  std::memcpy(owned_.get(), other.pixels_, GetByteCount());
  pixels_ = owned_.get();
}

GBitmapImp::~GBitmapImp() {
  palette_.Reset(nullptr, g_file_lock);
}

void GBitmapImp::SetForm(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
                         std::uint16_t samples_per_pixel) {
  width_ = width;
  height_ = height;
  bits_per_sample_ = bits_per_sample;
  samples_per_pixel_ = samples_per_pixel;
  const bool has_block = BlockBytes(width, height, bits_per_sample, samples_per_pixel) != 0;
  stride_ =
      has_block
          ? static_cast<std::uint32_t>(PaddedRowBytes(width, bits_per_sample, samples_per_pixel))
          : 0;
  pixels_ = nullptr;
  owned_.reset();
}

const GPaletteTable* GBitmapImp::GetPalette() const {
  return static_cast<const GPaletteTable*>(palette_.Get());
}

bool GBitmapImp::MakeDataOwned() {
  if (OwnsData()) return true;
  std::unique_ptr<std::uint8_t[]> block = RWNewArrayForOverwrite<std::uint8_t>(GetByteCount());
  if (!block) return false;
  std::memcpy(block.get(), pixels_, GetByteCount());
  owned_ = std::move(block);
  pixels_ = owned_.get();
  return true;
}

bool GBitmapImp::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GBitmapImp* imp = SameContentBase(other);
  if (!imp || width_ != imp->width_ || height_ != imp->height_ ||
      bits_per_sample_ != imp->bits_per_sample_ || samples_per_pixel_ != imp->samples_per_pixel_ ||
      chain_value_ != imp->chain_value_ || GetByteCount() != imp->GetByteCount()) {
    return false;
  }
  const GPaletteTable* mine = GetPalette();
  const GPaletteTable* theirs = imp->GetPalette();
  if (mine != theirs && !(mine && theirs && mine->IsEqualContent(theirs))) return false;
  return GetByteCount() == 0 || std::memcmp(pixels_, imp->pixels_, GetByteCount()) == 0;
}

RWSize GBitmapImp::StoredSize() const {
  return MPersistentObject::StoredSize() + 24 + GraphStoreSizeOf(palette_.Get()) + GetByteCount();
}

template <class Out>
void GBitmapImp::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kBitmapImpVersion);
  PutItem(out, width_);
  PutItem(out, height_);
  PutItem(out, bits_per_sample_);
  PutItem(out, samples_per_pixel_);
  PutItem(out, chain_value_);
  PutReference(out, palette_.Get());
  PutItem(out, GetByteCount());
  PutBytes(out, pixels_, GetByteCount());
}

template <class In>
void GBitmapImp::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t width = 0, height = 0, chain_value = 0, count = 0;
  std::uint16_t bits_per_sample = 0, samples_per_pixel = 0;
  if (!ReadsVersion(scope, in, kBitmapImpVersion) || !GetItem(in, width) || !GetItem(in, height) ||
      !GetItem(in, bits_per_sample) || !GetItem(in, samples_per_pixel) ||
      !GetItem(in, chain_value)) {
    return;
  }
  RestoreHeldReference<GPaletteTable>(in, scope, *this, palette_, g_file_lock);
  if (!scope.Ok() || !GetItem(in, count)) return;
  // The count must be the form's before a block of its size is asked for.
  if (count != BlockBytes(width, height, bits_per_sample, samples_per_pixel)) {
    scope.Fail();
    return;
  }
  std::unique_ptr<std::uint8_t[]> block;
  if (!GetBytes(in, count, block)) return;
  SetForm(width, height, bits_per_sample, samples_per_pixel);
  chain_value_ = chain_value;
  owned_ = std::move(block);
  pixels_ = owned_.get();
}

template class MPersistentClass<GBitmapImp, MPersistentObject, kGBitmapImpId>;

// ---------------------------------------------------------------------------
// GBitmap

GBitmap::GBitmap(GBitmapImp* implementation) : implementation_(implementation, g_file_lock) {}

GBitmap::GBitmap(const GBitmap& other)
    : RWCollectable(other), implementation_(other.implementation_, g_file_lock) {}

GBitmap& GBitmap::operator=(const GBitmap& other) {
  if (this != &other) implementation_.Reset(other.implementation_.Get(), g_file_lock);
  return *this;
}

GBitmap::~GBitmap() {
  implementation_.Reset(nullptr, g_file_lock);
}

RWCollectable* GBitmap::CreateDefault() const {
  return RWNew<GBitmap>();
}

RWCollectable* GBitmap::CreateCopy() const {
  return RWNew<GBitmap>(*this);
}

GBitmapImp* GBitmap::GetImplementation() const {
  return static_cast<GBitmapImp*>(implementation_.Get());
}

std::uint32_t GBitmap::GetWidth() const {
  return implementation_ ? GetImplementation()->GetWidth() : 0;
}

std::uint32_t GBitmap::GetHeight() const {
  return implementation_ ? GetImplementation()->GetHeight() : 0;
}

std::uint8_t GBitmap::GetBitsPerPixel() const {
  const GBitmapImp* imp = GetImplementation();
  if (!imp) return 0;
  const std::uint32_t bits = imp->GetBitsPerSample();
  if (bits == 16 || bits == 32) return 24;
  if (bits == 1 && imp->GetSamplesPerPixel() == 3) return 4;
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(bits * imp->GetSamplesPerPixel(), 255));
}

std::uint32_t GBitmap::GetRowByteCount(std::int32_t left, std::int32_t right) const {
  if (right <= left) return 0;
  return static_cast<std::uint32_t>(
      (std::uint64_t{GetBitsPerPixel()} * static_cast<std::uint32_t>(right - left) + 7) / 8);
}

const GPaletteTable* GBitmap::GetPalette() const {
  return implementation_ ? GetImplementation()->GetPalette() : nullptr;
}

std::uint32_t GBitmap::ReadRow(std::uint8_t* destination, std::int32_t left, std::int32_t right,
                               std::int32_t row, std::uint32_t mode) const {
  const GBitmapImp* imp = GetImplementation();
  if (!imp || !imp->GetPixels() || row < 0 || static_cast<std::uint32_t>(row) >= imp->GetHeight()) {
    return 0;
  }
  const std::int64_t first = std::max(left, 0);
  const std::int64_t last = std::min<std::int64_t>(right, imp->GetWidth());
  if (last <= first) return 0;
  const auto count = static_cast<std::uint32_t>(last - first);
  const std::uint8_t* pixels =
      imp->GetPixels() + std::uint64_t{imp->GetRowStride()} * static_cast<std::uint32_t>(row);
  const std::uint32_t bits = StoredPixelBits(imp->GetBitsPerSample(), imp->GetSamplesPerPixel());
  const bool gray = IsGrayReadMode(mode);
  switch (bits) {
    case 24:
      return WriteColorPixels(
          pixels + first * 3, count, destination, gray,
          [](const std::uint8_t* p, std::uint32_t i, std::uint8_t& r, std::uint8_t& g,
             std::uint8_t& b) { r = p[3 * i], g = p[3 * i + 1], b = p[3 * i + 2]; });
    case 32:
      return WriteColorPixels(
          pixels + first * 4, count, destination, gray,
          [](const std::uint8_t* p, std::uint32_t i, std::uint8_t& r, std::uint8_t& g,
             std::uint8_t& b) { b = p[4 * i], g = p[4 * i + 1], r = p[4 * i + 2]; });
    case 16:
      return WriteColorPixels(pixels + first * 2, count, destination, gray,
                              [](const std::uint8_t* p, std::uint32_t i, std::uint8_t& r,
                                 std::uint8_t& g, std::uint8_t& b) {
                                const std::uint32_t v = p[2 * i] | p[2 * i + 1] << 8;
                                r = Expand5(v >> 10), g = Expand5(v >> 5), b = Expand5(v);
                              });
    default:
      return CopyBits(pixels, (std::uint64_t{imp->GetWidth()} * bits + 7) / 8,
                      static_cast<std::uint64_t>(first) * bits, std::uint64_t{count} * bits,
                      destination);
  }
}

bool GBitmap::MakeDataOwned() {
  return !implementation_ || GetImplementation()->MakeDataOwned();
}

void GBitmap::SetChainValue(std::uint32_t value) {
  if (implementation_) GetImplementation()->SetChainValue(value);
}

bool GBitmap::IsEqual(const RWCollectable* other) const {
  auto* bitmap = dynamic_cast<const GBitmap*>(other);
  if (!bitmap) return false;
  const GBitmapImp* mine = GetImplementation();
  const GBitmapImp* theirs = bitmap->GetImplementation();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

std::uint32_t GBitmap::Hash() const {
  return GetWidth() ^ GetHeight() << 16;
}

RWSize GBitmap::StoredSize() const {
  return 4 + GraphStoreSizeOf(implementation_.Get());
}

template <class Out>
void GBitmap::SaveItems(Out& out) const {
  PutItem(out, kBitmapVersion);
  PutReference(out, implementation_.Get());
}

template <class In>
void GBitmap::RestoreItems(In& in) {
  MRestoreScope scope(in);
  if (ReadsVersion(scope, in, kBitmapVersion)) {
    RestoreHeldReference<GBitmapImp>(in, scope, implementation_, g_file_lock);
  }
}

void GBitmap::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GBitmap::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GBitmap::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GBitmap::SaveToFile(RWFile& file) const {
  SaveItems(file);
}
