// GStoreImage: the records of a checksummed store while it is open, in the
// stored image of store_format.h: one buffer holding the blocks, each found
// by its serial number; a new object's block is saved at the end, a taken
// one is forgotten, and a close makes the image whole again (the index and
// the checksum after the blocks) to be written with one positioned write.
// Loading checks the checksum over the bytes as they were read, once.
// Objects are saved and restored in the plain binary encoding of the
// virtual streams (binarystream.h) through one GImageStream, pointed anew
// at each object's bytes.
//
// Ownership: owned by its store (persistent_composite_on_disk_imp.h); the
// spans it answers point into its buffer and are valid until the next Put,
// Load or Finish. Threads: used under the store's lock only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <span>
#include <streambuf>
#include <unordered_map>

#include "foundation/rw/binarystream.h"

class RWCollectable;

// Binary virtual streams over one stretch of memory after another: the
// runtime streams beneath are made once, since making them is the dear
// part of a small object's save or restore. One read or write at a time.
class GImageStream {
 public:
  GImageStream() : in_(&bytes_), out_(&bytes_), reader_(in_), writer_(out_) {}
  GImageStream(const GImageStream&) = delete;
  GImageStream& operator=(const GImageStream&) = delete;

  // The `size` bytes at `bytes`, to be read from their start.
  RWVirtualInputStream& ReadFrom(const std::uint8_t* bytes, std::size_t size);
  // The bytes read since ReadFrom.
  std::size_t Read() const { return bytes_.Got(); }
  // The `room` bytes at `bytes`, to be written from their start; a write
  // past them fails the stream.
  RWVirtualOutputStream& WriteTo(std::uint8_t* bytes, std::size_t room);
  // The bytes written since WriteTo.
  std::size_t Written() const { return bytes_.Put(); }

 private:
  class Bytes : public std::streambuf {
   public:
    void Get(char* p, std::size_t n) { setg(p, p, p + n); }
    void Put(char* p, std::size_t n) { setp(p, p + n); }
    std::size_t Got() const { return static_cast<std::size_t>(gptr() - eback()); }
    std::size_t Put() const { return static_cast<std::size_t>(pptr() - pbase()); }
  };

  Bytes bytes_;
  std::istream in_;
  std::ostream out_;
  RWBinaryInputStream reader_;
  RWBinaryOutputStream writer_;
};

class GStoreImage {
 public:
  // An empty image: no block, changed (a new store is written at its first
  // close even when nothing was put).
  GStoreImage() = default;
  GStoreImage(const GStoreImage&) = delete;
  GStoreImage& operator=(const GStoreImage&) = delete;

  // Takes the `size` bytes read from the file as the image, unchanged.
  // False, leaving the image as it was, when they are damaged (checksum,
  // block lengths, a serial number twice, the index's length).
  bool Load(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size);
  // The index's bytes of the image loaded last; empty for a new image.
  // Valid until the next Put.
  std::span<std::uint8_t> Index() { return {buffer_.get() + index_at_, index_size_}; }

  bool Has(std::uint32_t serial) const { return blocks_.count(serial) != 0; }
  std::size_t Count() const { return blocks_.size(); }
  // Saves `object` (one object reference) into a new block under
  // `serial`. False when memory runs out or the save fails.
  // REQUIRES: !Has(serial).
  bool Put(std::uint32_t serial, const RWCollectable& object);
  // The saved object of `serial`'s block; empty when there is none.
  std::span<std::uint8_t> Get(std::uint32_t serial);
  // Forgets `serial`'s block.
  void Drop(std::uint32_t serial);
  // Whether a close must write the image.
  bool Changed() const { return changed_; }
  // The stream that restores the objects of this image; null when memory
  // runs out.
  GImageStream* Stream();

  // The whole image: the blocks, then `index` saved as one object
  // reference, then the checksum. Empty when memory runs out or the index
  // does not save whole. The blocks may move; nothing may be put after it.
  std::span<const std::uint8_t> Finish(const RWCollectable& index);

 private:
  struct Block {
    std::size_t at;        // of the saved object, past the block's header
    std::uint32_t length;  // of the saved object
  };

  // Room for `bytes` more after end_; false (after [NOMEM]) when none.
  bool Reserve(std::size_t bytes);
  // Copies the live blocks to a new buffer, in the order they lie.
  bool Compact();
  // Saves `object` at end_ + `header` (a length word or a block header
  // before it), making room as it needs; its length, or 0 when it fails.
  std::uint32_t SaveAt(std::size_t header, const RWCollectable& object);

  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t end_ = 4;  // past the last block (the block count first)
  std::unordered_map<std::uint32_t, Block> blocks_;
  std::size_t index_at_ = 0;
  std::uint32_t index_size_ = 0;
  bool changed_ = true;
  bool dropped_ = false;                  // a block is forgotten: Finish compacts
  std::unique_ptr<GImageStream> stream_;  // made at the first save or read
};
