// RWFileSpaceManager: a binary file used as a heap of variable-sized blocks.
// It hands out blocks, takes them back, keeps the released space in
// free-extent lists stored in the same file, and remembers the first block
// ever allocated (the start block), where a reader finds the structure the
// file holds. The manager owns its free list; a free list belongs to its
// manager and works on the manager's file. Not for use from several threads.
//
// Stored layout (every word a little-endian std::uint32_t):
//
//   0                  start offset (kNoOffset until the first allocation)
//   4                  end of space: just past the last byte in use
//   8                  free-list block size: kListBlockSize32 or kListBlockSize10
//   12                 the head free-list block (kHeadBlockOffset)
//   12 + block size    the first allocated block
//
// Free-list block of N extents (N = kExtents10 or kExtents32):
//
//   0                  marker, std::uint16_t (kMarker10, kMarker32), 2 bytes padding
//   4                  N extent offsets
//   4 + 4N             N extent lengths
//   4 + 8N             extent count
//   8 + 8N             next block offset
//
// The extents of one block are in ascending offset order; entries past the
// count are never read. The blocks form a ring through their next fields; the
// head block at 12 is always in it (a lone head points to itself).
//
// Allocated block: a length word (the whole block, this word included, a
// multiple of 4), then the caller's bytes; callers get the offset past the word.
//
// The free list keeps an image of the list blocks it has read or written,
// so that a walk round the ring reads each block from the file once; the
// walks' answers and errors are those of reading the file
// (docs/notes/foundation.md#file-space-manager).
//
// Errors: seek, read and write failures raise [SEEKERR], [READERR],
// [WRITEERR] (RWFileIoError with the offset concerned and the code 1, 2 or
// 3); a header block size other than 92 or 268 raises [FLIST]; a free-list
// block with the wrong marker raises [MAGIC]. Values read from the file are
// checked before use: a free-list block whose count, extents or next offset
// cannot be right raises [FLIST] (the limit, the value found); a block length
// word or header word out of range raises [READERR]. After any of these the
// file is marked in error (RWFile::Error) and every later operation fails.
// Every operation runs inside an error scope (readscope.h), so none of these
// reaches the handler; a caller that wants the text opens its own
// RWErrorScope around the call.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "foundation/rw/file.h"

class RWFileSpaceManager;

// The free-extent list of a manager, with the currently loaded block's image.
class RWFreeExtentList {
 public:
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;
  static constexpr std::uint32_t kMaxBlockSize = 268;

  virtual ~RWFreeExtentList() = default;
  RWFreeExtentList(const RWFreeExtentList&) = delete;
  RWFreeExtentList& operator=(const RWFreeExtentList&) = delete;

  // The offset of a block of at least `size` caller's bytes, or kNoOffset.
  virtual std::uint32_t Allocate(std::uint32_t size);
  // Gives back the block whose caller's bytes start at `offset`.
  virtual void Deallocate(std::uint32_t offset);

  std::uint32_t Extents() const { return extents_; }
  std::uint32_t BlockSize() const { return 8 * extents_ + 12; }
  std::uint16_t Marker() const { return marker_; }

  // Loads the head block. False (after raising) when it cannot be read.
  bool LoadHead();
  // Writes an empty head block that forms a ring of one.
  bool WriteNewHead();

  // Drops the images of blocks that `length` bytes written at `offset`
  // overlap; at RWFile::kAnywhere, every image.
  void Overwritten(std::uint64_t offset, std::uint64_t length);

 protected:
  RWFreeExtentList(RWFileSpaceManager* manager, std::uint32_t extents, std::uint16_t marker);

 private:
  // Field access on the loaded image.
  std::uint32_t Word(std::uint32_t at) const;
  void SetWord(std::uint32_t at, std::uint32_t v);
  std::uint32_t Count() const { return Word(4 + 8 * extents_); }
  void SetCount(std::uint32_t v) { SetWord(4 + 8 * extents_, v); }
  std::uint32_t Next() const { return Word(8 + 8 * extents_); }
  void SetNext(std::uint32_t v) { SetWord(8 + 8 * extents_, v); }
  std::uint32_t ExtentOffset(std::uint32_t i) const { return Word(4 + 4 * i); }
  std::uint32_t ExtentLength(std::uint32_t i) const { return Word(4 + 4 * extents_ + 4 * i); }
  void SetExtent(std::uint32_t i, std::uint32_t offset, std::uint32_t length);
  void RemoveExtent(std::uint32_t i);
  void InsertExtent(std::uint32_t i, std::uint32_t offset, std::uint32_t length);
  void ClearImage();

  using Image = std::array<std::uint8_t, kMaxBlockSize>;

  // What the checks of a block image found.
  struct Examined {
    bool sound = false;
    std::uint32_t limit = 0, found = 0;  // the values a fault is reported with
    std::uint64_t needs_end = 0;         // the least end of space it is sound in
    std::uint32_t count = 0, next = 0;
    std::uint32_t longest = 0;  // its longest extent
  };
  // Checks a block image's count, extents and next offset in a space that
  // ends at `end`; stops at the first fault.
  Examined Examine(const Image& image, std::uint64_t end) const;

  // A block as the file holds it, and what a walk needs of it.
  struct Kept {
    Image bytes;
    Examined shape;  // examined in an endless space, the marker included
    // The kept block at shape.next, as found while kept_epoch_ was `epoch`.
    mutable const Kept* after = nullptr;
    mutable std::uint64_t epoch = 0;
  };
  // Loads the block at `offset` from its image or the file, and checks it.
  bool LoadBlock(std::uint32_t offset);
  bool WriteBlock();
  // Records `image` as the file's bytes at `offset`.
  void Keep(std::uint32_t offset, const Image& image);
  // The kept block at `offset` when it would load without a fault now.
  const Kept* Passable(std::uint32_t offset) const;
  // The same for the block after `block` in the ring.
  const Kept* PassableAfter(const Kept& block) const;
  bool Sound(const Kept& block) const;
  // Whether the extent overlaps, or touches, an extent of a passable block.
  bool Touches(const Kept& block, std::uint32_t offset, std::uint32_t length) const;
  // Checks the loaded image's count, extents and next offset.
  bool ImageIsSound();
  // Puts the extent into the free list, or shrinks the file when it is last.
  void ReleaseExtent(std::uint32_t offset, std::uint32_t length);
  // Tries the loaded block: merge with a neighbour, else insert. -1 on bad
  // data, 0 when the block is full, 1 when the extent went in.
  int PutInLoadedBlock(std::uint32_t offset, std::uint32_t length);
  // Takes the empty loaded block out of the ring and releases its bytes.
  void Unlink();
  // The most blocks a ring can hold in the current space: walks stop there.
  std::uint32_t MaxRingBlocks() const;
  bool Corrupt(std::uint32_t limit, std::uint32_t found);

  RWFileSpaceManager* manager_;  // not owned
  std::uint32_t extents_;        // N
  std::uint16_t marker_;
  std::uint32_t loaded_ = kNoOffset;  // offset of the block in image_
  Image image_{};
  std::map<std::uint32_t, Kept> kept_;  // block images by offset, as the file holds them
  std::uint64_t kept_epoch_ = 1;        // grows whenever an image goes: Kept::after may be gone
  std::uint32_t writing_ = kNoOffset;   // the block WriteBlock is writing
};

// The 10-extent form (92-byte blocks, marker 0x1234).
class RWFreeExtentList10 : public RWFreeExtentList {
 public:
  explicit RWFreeExtentList10(RWFileSpaceManager* manager);
};

// The 32-extent form (268-byte blocks, marker 0x1235), used for new files.
class RWFreeExtentList32 : public RWFreeExtentList {
 public:
  explicit RWFreeExtentList32(RWFileSpaceManager* manager);
};

class RWFileSpaceManager : public RWFile {
 public:
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;
  static constexpr std::uint32_t kStartWordOffset = 0;
  static constexpr std::uint32_t kEndWordOffset = 4;
  static constexpr std::uint32_t kBlockSizeWordOffset = 8;
  static constexpr std::uint32_t kHeadBlockOffset = 12;
  static constexpr std::uint32_t kExtents10 = 10;
  static constexpr std::uint32_t kExtents32 = 32;
  static constexpr std::uint32_t kListBlockSize10 = 92;
  static constexpr std::uint32_t kListBlockSize32 = 268;
  static constexpr std::uint16_t kMarker10 = 0x1234;
  static constexpr std::uint16_t kMarker32 = 0x1235;
  static constexpr std::uint32_t kLengthWordSize = 4;
  // The codes carried by the file I/O errors.
  static constexpr std::uint32_t kSeekCode = 1;
  static constexpr std::uint32_t kReadCode = 2;
  static constexpr std::uint32_t kWriteCode = 3;

  // Opens `name` as RWFile does (no mode: existing "rb+", else "wb+"). An
  // empty file becomes a new heap; an existing one has its header read.
  explicit RWFileSpaceManager(const char* name, const char* mode = nullptr);
  ~RWFileSpaceManager();

  // The offset of `size` caller's bytes, or kNoOffset. The first block ever
  // allocated becomes the start block.
  std::uint32_t Allocate(std::uint32_t size);
  // Gives the block back; kNoOffset and the start block are ignored.
  // REQUIRES: `offset` came from Allocate and was not given back since.
  void Deallocate(std::uint32_t offset);
  // Grows the space by `length` bytes; answers the old end (kNoOffset when
  // the space would pass 4 GiB or the file fails).
  std::uint32_t AllocateAtEnd(std::uint32_t length);
  // When the bytes reach the end of space, the end moves back to `offset`.
  bool ReleaseAtEnd(std::uint32_t offset, std::uint32_t length);
  std::uint32_t HeadBlockOffset() const { return kHeadBlockOffset; }

  std::uint32_t StartOffset() const { return start_; }
  std::uint32_t EndOfSpace() const { return end_; }
  // The first offset a block can start at (past the head free-list block).
  std::uint32_t FirstBlockOffset() const {
    return kHeadBlockOffset + (free_list_ ? free_list_->BlockSize() : kListBlockSize32);
  }
  // True when the free list is there and the file reports no error.
  bool IsUsable() const { return free_list_ != nullptr && !Error(); }

  // Raise the file I/O error for `code` at `offset` and mark the file.
  void RaiseIo(std::uint32_t code, std::uint32_t offset);
  // Raise [READERR] for a value read that cannot be right, and mark the file.
  void RaiseCorrupt(std::uint32_t offset) { RaiseIo(kReadCode, offset); }

  // Word access with the errors above; false after raising. Positioned
  // transfers (RWFile::ReadAt, WriteAt).
  bool ReadWordAt(std::uint32_t offset, std::uint32_t& v);
  bool WriteWordAt(std::uint32_t offset, std::uint32_t v);
  bool ReadBytesAt(std::uint32_t offset, std::uint8_t* p, std::uint32_t n);
  bool WriteBytesAt(std::uint32_t offset, const std::uint8_t* p, std::uint32_t n);

 protected:
  // Every write reaches the free list, which keeps copies of its blocks.
  void Overwritten(std::uint64_t offset, std::uint64_t length) override;

 private:
  bool ReadHeader();

  std::unique_ptr<RWFreeExtentList> free_list_;
  std::uint32_t start_ = kNoOffset;
  std::uint32_t end_ = kNoOffset;
};

// Little-endian words in byte images of stored blocks.
inline std::uint32_t RWGetWord(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
inline void RWPutWord(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
