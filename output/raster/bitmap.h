// The images that raster graphics carry down the chain.
//
// GPaletteTable: the colours that the pixel values of an indexed bitmap
// stand for, at most 256 entries of red, green, blue and a fourth byte.
// Class id 553, registered as "GPaletteTable". Its storage grows in steps
// of 64 entries, and a copy is made with room for a multiple of 64.
//
// GBitmapImp: the pixels and their description, shared by every GBitmap
// handle on them. Class id 552, registered as "GBitmapImp". Width, height,
// bits per sample and samples per pixel, the 32-bit value that the raster
// chain's builder sets, a palette (shared by a counted pointer, or none)
// and the pixel block: rows top-down, each row padded to a multiple of 4
// bytes, either owned by the implementation or borrowed from the caller
// (the owns flag; MakeDataOwned copies borrowed pixels in).
//
// Pixels by bits per sample x samples per pixel (the stored size of one
// pixel, and GetBitsPerPixel, the bits per pixel a row source hands out):
//   1, 2, 4, 8 x 1   1, 2, 4, 8 bits; most significant bits first   same
//   1 x 3            4 bits (one bit each of R, G, B and one unused)   4
//   8 x 3            R, G, B bytes                                    24
//   16 x 1           5-5-5 little-endian u16: bits 10-14 red, 5-9
//                    green, 0-4 blue, bit 15 unused                   24
//   32 x 1           B, G, R, unused                                  24
// Other forms are unusable: they hold and store no pixels and read no
// rows (GetBitsPerPixel still answers the product, or 24 for 16- and
// 32-bit samples). A 5-bit level v reads as (v << 3) | (v >> 2), so 31
// gives 255.
//
// GBitmap: a handle on a counted GBitmapImp (or on none). Class id 551,
// registered as "GBitmap". Copies share the implementation; content
// equality compares the implementations' contents. ReadRow gives one row's
// pixels from `left` to `right`: in the read modes 0, 1 and 4 a bitmap of
// 24 effective bits gives one grey byte per pixel through ColorToGray
// (gray.h); in other modes it gives R, G, B; other bitmaps give their
// stored pixels, moved to start at the row's first bit.
//
// Stored forms (RWFile items little-endian; a virtual stream writes the
// same items in the same order). The forms are this system's own choice:
//   GPaletteTable  the MPersistentObject part; version u32 1; count u32
//                  (at most 256); count x (red, green, blue, fourth byte)
//   GBitmapImp     the MPersistentObject part; version u32 1; width u32;
//                  height u32; bits per sample u16; samples per pixel u16;
//                  chain value u32; the palette as an object reference
//                  (nil when none); byte count u32 (the padded row size x
//                  height, 0 for an unusable form); the bytes
//   GBitmap        no base part (a handle, stored embedded in what holds
//                  it): version u32 1; the implementation as an object
//                  reference (nil when none), so that pixels shared by
//                  several handles are stored once per graph
// A restore of another version reads nothing further and keeps the
// object. A palette of more than 256 entries, a byte count other than the
// form's (the padded row size x height, 0 for an unusable form or one
// whose block would pass 32 bits), bytes the rest of a file cannot hold,
// and a reference of the wrong class fail the restore, before anything is
// allocated for the pixels; the object then keeps its form and pixels (a
// palette read before the failure is held, so that it goes with the
// object).
//
// Stored sizes: GPaletteTable base + 8 + 4 x count; GBitmapImp base + 24 +
// the palette's reference + byte count; GBitmap 4 + the implementation's
// reference (as GraphStoreSizeOf counts them).
//
// Ownership: an implementation owns its pixel block when its owns flag is
// set; borrowed pixels must outlive every handle. Threads: the counts of
// the counted pointers are atomic; anything else about one bitmap is used
// by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGBitmapId = 551;
inline constexpr RWClassID kGBitmapImpId = 552;
inline constexpr RWClassID kGPaletteTableId = 553;
inline constexpr std::uint32_t kPaletteTableVersion = 1;
inline constexpr std::uint32_t kBitmapImpVersion = 1;
inline constexpr std::uint32_t kBitmapVersion = 1;
inline constexpr std::uint32_t kPaletteMaxEntries = 256;
inline constexpr std::uint32_t kPaletteGrowth = 64;

// Read modes of GBitmap::ReadRow and of the bitmap row source that give a
// 24-bit bitmap as grey: 0 as it is, 1 its negative, 4 inverted bytes.
inline constexpr std::uint32_t kBitmapReadGray = 0;
inline constexpr std::uint32_t kBitmapReadNegative = 1;
inline constexpr std::uint32_t kBitmapReadInverted = 4;
inline constexpr bool IsGrayReadMode(std::uint32_t mode) {
  return mode == kBitmapReadGray || mode == kBitmapReadNegative || mode == kBitmapReadInverted;
}

// The stored bits of one pixel of a form, 0 when the form is unusable.
std::uint32_t StoredPixelBits(std::uint16_t bits_per_sample, std::uint16_t samples_per_pixel);
// The bytes of one stored row, padded to 4: 0 for an unusable form.
std::uint64_t PaddedRowBytes(std::uint32_t width, std::uint16_t bits_per_sample,
                             std::uint16_t samples_per_pixel);

struct GPaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t fourth = 0;

  friend bool operator==(const GPaletteEntry&, const GPaletteEntry&) = default;
};

class GPaletteTable final
    : public MPersistentClass<GPaletteTable, MPersistentObject, kGPaletteTableId> {
 public:
  // No entries.
  GPaletteTable() = default;
  // The first 256 of `entries` (none after [NOMEM]).
  explicit GPaletteTable(std::span<const GPaletteEntry> entries, const std::uint32_t& key = 0);
  GPaletteTable(const GPaletteTable& other);
  GPaletteTable& operator=(const GPaletteTable&) = delete;

  // The base part, 8 and 4 per entry.
  RWSize StoredSize() const override;
  // The same class and base, and the same entries in order.
  bool IsEqualContent(const MPersistentObject* other) const override;

  std::uint32_t GetCount() const { return count_; }
  // Room for entries.
  std::uint32_t GetCapacity() const { return capacity_; }
  // The entry at `index`. REQUIRES: index < GetCount() (else the index
  // error is raised, and an all-zero entry answered if the handler returns).
  GPaletteEntry GetEntry(std::uint32_t index) const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Takes a copy of `count` entries; false after [NOMEM] (nothing changed).
  bool Assign(const GPaletteEntry* entries, std::uint32_t count);

  std::unique_ptr<GPaletteEntry[]> entries_;  // `capacity_` entries, `count_` in use
  std::uint32_t count_ = 0;
  std::uint32_t capacity_ = 0;
};

class GBitmapImp final : public MPersistentClass<GBitmapImp, MPersistentObject, kGBitmapImpId> {
 public:
  // 0 x 0, no pixel form, no palette, no pixels.
  GBitmapImp();
  // Borrows `pixels` (padded rows, top-down): the owns flag is clear.
  // `palette` is held (none when null). Null pixels give an owned block of
  // 0 bytes instead; an unusable form, or one whose block would pass 32
  // bits, has no pixels.
  // REQUIRES: `pixels` holds PaddedRowBytes() x height bytes and outlives
  // every handle, unless MakeDataOwned is called first.
  GBitmapImp(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
             std::uint16_t samples_per_pixel, const std::uint8_t* pixels, GPaletteTable* palette,
             const std::uint32_t& key = 0);
  // Takes `pixels` over: the owns flag is set. Null, as above.
  // REQUIRES: `pixels` holds PaddedRowBytes() x height bytes.
  GBitmapImp(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
             std::uint16_t samples_per_pixel, std::unique_ptr<std::uint8_t[]> pixels,
             GPaletteTable* palette, const std::uint32_t& key = 0);
  // Every field; the palette shared, the pixels copied into a block of its
  // own (none, and 0 x 0, after [NOMEM]).
  GBitmapImp(const GBitmapImp& other);
  GBitmapImp& operator=(const GBitmapImp&) = delete;
  ~GBitmapImp() override;

  // The base part, 24, the palette's reference and the byte count.
  RWSize StoredSize() const override;
  // The same class and base, the same numbers, palettes equal in content
  // (or both none) and the same bytes.
  bool IsEqualContent(const MPersistentObject* other) const override;

  std::uint32_t GetWidth() const { return width_; }
  std::uint32_t GetHeight() const { return height_; }
  std::uint16_t GetBitsPerSample() const { return bits_per_sample_; }
  std::uint16_t GetSamplesPerPixel() const { return samples_per_pixel_; }
  std::uint32_t GetChainValue() const { return chain_value_; }
  void SetChainValue(std::uint32_t value) { chain_value_ = value; }
  const GPaletteTable* GetPalette() const;
  // The pixel block (null when it holds no bytes), its padded row size and
  // its size.
  const std::uint8_t* GetPixels() const { return pixels_; }
  std::uint32_t GetRowStride() const { return stride_; }
  std::uint32_t GetByteCount() const { return stride_ * height_; }
  bool OwnsData() const { return owned_ != nullptr || pixels_ == nullptr; }
  // Copies borrowed pixels into a block of its own; true when the pixels
  // are owned afterwards (false after [NOMEM], the pixels still borrowed).
  bool MakeDataOwned();

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Sets the form and the stride; a form without pixels gets width,
  // height and stride as given but no block.
  void SetForm(std::uint32_t width, std::uint32_t height, std::uint16_t bits_per_sample,
               std::uint16_t samples_per_pixel);

  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint16_t bits_per_sample_ = 0;
  std::uint16_t samples_per_pixel_ = 0;
  std::uint32_t chain_value_ = 0;          // set by the raster chain's builder
  GCountedPtr palette_;                    // the GPaletteTable, or none
  std::uint32_t stride_ = 0;               // padded bytes per row; 0 when there are no pixels
  const std::uint8_t* pixels_ = nullptr;   // owned_ or the caller's block
  std::unique_ptr<std::uint8_t[]> owned_;  // set when the owns flag is
};

class GBitmap final : public RWCollectable {
 public:
  // No implementation.
  GBitmap() = default;
  // Shares `implementation` (none when null).
  explicit GBitmap(GBitmapImp* implementation);
  GBitmap(const GBitmap& other);
  GBitmap& operator=(const GBitmap& other);
  ~GBitmap() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override { return kGBitmapId; }
  // 4 and the implementation's reference.
  RWSize StoredSize() const override;
  // Another GBitmap on the same implementation, on none when this has none,
  // or on one equal in content.
  bool IsEqual(const RWCollectable* other) const override;
  // From the implementation's size, so that equal bitmaps hash alike.
  std::uint32_t Hash() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  GBitmapImp* GetImplementation() const;
  std::uint32_t GetWidth() const;
  std::uint32_t GetHeight() const;
  // The effective bits per pixel (see the table above); 0 without an
  // implementation.
  std::uint8_t GetBitsPerPixel() const;
  // (bits per pixel x (right - left) + 7) / 8; 0 when right <= left.
  std::uint32_t GetRowByteCount(std::int32_t left, std::int32_t right) const;
  const GPaletteTable* GetPalette() const;
  // Writes row `row`'s pixels from `left` up to `right` (cut to the
  // bitmap) to `destination` in the read `mode` (see above); a last
  // partial byte has its unused bits clear. Answers the bytes written: 0
  // for a row outside the bitmap, an empty span, an unusable form or no
  // implementation.
  // REQUIRES: `destination` holds GetRowByteCount(left, right) bytes, or
  // right - left bytes for a 24-bit bitmap in a grey mode.
  std::uint32_t ReadRow(std::uint8_t* destination, std::int32_t left, std::int32_t right,
                        std::int32_t row, std::uint32_t mode) const;
  // The implementation's MakeDataOwned; true without one.
  bool MakeDataOwned();
  // Sets the implementation's chain value (nothing without one).
  void SetChainValue(std::uint32_t value);

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr implementation_;  // the GBitmapImp, or none
};

// The file's classes, in registration order.
std::span<const RWClassRegistration> BitmapClasses();

extern template class MPersistentClass<GPaletteTable, MPersistentObject, kGPaletteTableId>;
extern template class MPersistentClass<GBitmapImp, MPersistentObject, kGBitmapImpId>;
