// The record-store file: the stored layout shared by the store's writer and
// its readers (persistent_composite_on_disk_imp.cpp), and the constants
// that name it.
//
// A store file is a file-space manager heap (foundation/rw/filespace.h)
// holding a disk B-tree (foundation/rw/diskbtree.h) and the records:
//
//   0     manager header: start offset, end of space, free-list size 268
//   12    head free-list block, 268 bytes
//   280   the start block: the B-tree header (40 bytes after its length
//         word), made when the file is new
//   ...   allocated blocks, in whatever order space was handed out:
//           B-tree nodes (488 bytes: order 10, 16-byte keys)
//           one block per stored object: the object as one object
//             reference of an RWFile save (rwstore.h): 0x8888, the class
//             token, the object's stored form; the block is the object's
//             GraphStoreSize rounded up to a multiple of 4 (the padding is
//             never written or read)
//           while the file is closed, one block holding the record index
//             in the same form (a GRecordComposite, record.h)
//
// B-tree: text keys of kKeyLength bytes compared as NUL-terminated strings
// of at most kKeyLength characters; order kOrder, minimum fill kMinFill,
// kCacheNodes nodes cached. Entries:
//   record key   the serial number of the stored object in base 16, lower-
//                case digits, no leading zeros (255 gives "ff", 0 gives
//                "0"); value: the offset of the object's block (past its
//                length word)
//   kIndexKey    the offset of the saved index's block; inserted when the
//                file is closed, removed (and its block given back) when it
//                is opened, so it is absent while the file is open
// A composite object is stored as one record per child (recursively) and
// a shell: a copy of the composite without its children, under the
// composite's own serial number. Every object stored is in the index, and
// every record of the index has its key in the tree: an opened file whose
// tree and index disagree, or that lacks the index, is damaged or was not
// closed, and the store reports it.
//
// A checksummed store (the command list on disk's stores: pages spooled
// and read back by the same job, never kept beyond it) is no heap. While it
// is open its records are held in memory (store_image.h); closed, it is one
// image, written whole with one positioned write when a close finds it
// changed, and read whole with one positioned read when it opens:
//
//   0         block count n, u32
//   4         n blocks, each: the serial number u32, the length u32, then
//             the object as one object reference (length bytes) in the
//             plain binary encoding of the virtual streams (binarystream.h)
//   ...       the index's length u32, then the record index as one object
//             reference in the same encoding (a GRecordComposite, record.h)
//   size - 4  CRC-32 (zlib's crc32) of bytes 0 .. size - 5, u32
//
// Every record of the index has its block and every block its record; no
// serial number is there twice. The image is the store's own file, or, for
// a store whose file would lie in the directory of a spool file
// (spool_file.h), a stretch of that file. A file or stretch that ends
// before its image, one whose CRC differs, and an image whose counts or
// lengths do not add up to its size are damaged. The form is read back
// only by the job that wrote it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rw/defs.h"

namespace record_store {

inline constexpr std::uint32_t kKeyLength = 16;
inline constexpr std::uint32_t kOrder = 10;
inline constexpr std::uint32_t kMinFill = 10;
inline constexpr std::uint32_t kCacheNodes = 10;
inline constexpr char kIndexKey[] = "IndexOfRecords";
inline constexpr std::uint32_t kChecksumSize = 4;
inline constexpr std::uint32_t kBlockHeaderSize = 8;  // serial number, length
// The least image: no block, an index length and the checksum.
inline constexpr std::uint32_t kMinImageSize = 4 + 4 + kChecksumSize;

// A put without replacing refuses a new top-level record once the index
// holds more than this many, except for the classes below.
inline constexpr std::uint32_t kTopLevelLimit = 0x3FFFFFEF;
inline constexpr RWClassID kPageEndId = 710;        // always taken
inline constexpr RWClassID kLimitFollowerId = 703;  // taken after one of:
inline constexpr RWClassID kLimitLeaderId1 = 702;
inline constexpr RWClassID kLimitLeaderId2 = 661;
// The class stored last before anything was stored.
inline constexpr RWClassID kNoClassStored = 0xFFFF;

// The on-disk composites: a record of one is a proxy (record.h).
inline constexpr RWClassID kOnDiskCompositeId = 781;
inline constexpr RWClassID kCommandCompositeOnDiskId = 606;

// The record key of a serial number: base 16, lower case, no leading zeros,
// NUL-terminated. `key` receives at most 9 bytes.
void SerialKey(std::uint32_t serial, char (&key)[kKeyLength + 1]);
// The serial number whose record key `key` is (its first kKeyLength bytes,
// up to a NUL); false for anything SerialKey does not write.
bool SerialOfKey(const char* key, std::uint32_t& serial);

// The CRC-32 of `size` bytes at `bytes`.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);

// A u32 little-endian at `p`, and written at `p`.
inline std::uint32_t GetWord(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void PutWord(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

}  // namespace record_store
