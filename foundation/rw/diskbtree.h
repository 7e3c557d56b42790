// RWDiskBTree: a B-tree kept in blocks of a file space manager, mapping
// fixed-length keys to 32-bit values (in practice offsets of records), that
// survives in the file between runs. Nodes go through a small LRU cache with
// write-through, so the file always holds every change. The tree uses a
// manager it does not own (the manager must outlive it) and owns its cache.
// Not for use from several threads.
//
// Stored header (kHeaderSize bytes, ten little-endian std::uint32_t words):
//
//   kRootWord       root node offset, kNoOffset when the tree is empty
//   kWord1          kNoOffset (set when made and when emptied; not read)
//   kVersionWord    kVersion (512)
//   kCountWord      entry count
//   kKeyLengthWord  key length k in bytes
//   kOrderWord      order m
//   kMinFillWord    minimum fill (the smaller of the one asked for and m)
//   kWord7          kNoOffset (set when made; not read)
//   kReservedWord   neither set nor read: a header read keeps it
//   kFlagsWord      bit 0 (kBinaryKeysFlag): binary keys, else text keys
//
// Old form: a file whose header lacks kVersion keeps only the root offset,
// one word, in the manager's start block; the other values come from the
// constructor.
//
// Node (order m, key length k, every word a little-endian std::uint32_t):
//
//   0              key count (at most 2m)
//   4              2m + 1 child offsets (kNoOffset: none; a leaf has none)
//   8m + 8         2m values
//   16m + 8        2m keys of k bytes
//
// Node size is 16m + 8 + 2mk (488 for m = 10, k = 16). Slots past the count
// are written as in a new node: keys and values zero, children kNoOffset.
//
// Errors: header seek, read and write failures raise [SEEKERR], [READERR],
// [WRITEERR] (codes 1, 2, 3); a node that cannot be read raises [READERR],
// one that cannot be written [WRITEERR]. Values read from the file are
// checked before use: a header or node whose counts, sizes or offsets cannot
// be right, a stored key length or key kind (binary or text) other than the
// constructor's, or a tree deeper than kMaxDepth or with a node reached twice
// (a loop), raises [READERR]. The file is then marked in error and every
// later operation fails. Every operation runs inside an error scope
// (readscope.h): these errors never reach the handler; a caller that wants
// the text opens its own RWErrorScope around the call. The comparison and
// ForEach functions are called inside that scope too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "foundation/rw/cstring.h"
#include "foundation/rw/disknodecache.h"
#include "foundation/rw/filespace.h"

// Compares two keys of `k` bytes: negative, 0 or positive.
using RWDiskTreeCompare = int (*)(const char* a, const char* b, std::size_t k);
// Called with each entry's key bytes (k of them), value and the caller's datum.
using RWDiskTreeApply = void (*)(const char* key, std::uint32_t value, void* datum);

class RWDiskBTree {
 public:
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;
  static constexpr std::uint32_t kVersion = 512;
  static constexpr std::uint32_t kHeaderSize = 40;
  static constexpr std::uint32_t kHeaderWords = 10;
  static constexpr std::uint32_t kRootWord = 0;
  static constexpr std::uint32_t kWord1 = 1;
  static constexpr std::uint32_t kVersionWord = 2;
  static constexpr std::uint32_t kCountWord = 3;
  static constexpr std::uint32_t kKeyLengthWord = 4;
  static constexpr std::uint32_t kOrderWord = 5;
  static constexpr std::uint32_t kMinFillWord = 6;
  static constexpr std::uint32_t kWord7 = 7;
  static constexpr std::uint32_t kReservedWord = 8;
  static constexpr std::uint32_t kFlagsWord = 9;
  static constexpr std::uint32_t kBinaryKeysFlag = 1;
  // Limits on values read from a file (and asked of the constructor).
  static constexpr std::uint32_t kMaxNodeSize = 1u << 24;
  static constexpr std::uint32_t kMaxDepth = 64;

  // Opens the tree in `manager`'s file, or makes it there (see the layout).
  // `header_offset` kNoOffset takes the manager's start block; `new_header`
  // makes a new header block even when there is one. `old_form` keeps only
  // the root offset, in the start block. A stored header whose key length
  // or binary-keys flag differs from `key_length` and `binary_keys` fails
  // the open ([READERR]).
  // REQUIRES: manager outlives the tree; order >= 1; key_length >= 1;
  //           16 * order + 8 + 2 * order * key_length <= kMaxNodeSize.
  RWDiskBTree(RWFileSpaceManager* manager, std::uint32_t cache_size, bool new_header,
              std::uint32_t key_length, bool binary_keys, std::uint32_t header_offset,
              bool old_form, std::uint32_t order, std::uint32_t min_fill);
  // Writes the header back unless the file is read-only.
  ~RWDiskBTree();
  RWDiskBTree(const RWDiskBTree&) = delete;
  RWDiskBTree& operator=(const RWDiskBTree&) = delete;

  // Keys are k bytes for binary keys; text keys are NUL-terminated (at most
  // k characters count). Found and removed keys come back as strings: k bytes
  // for binary keys, the text before the first NUL for text keys.
  // REQUIRES (binary keys): `key` points at k bytes.
  bool Find(const char* key, RWCString& found_key, std::uint32_t& value);
  // False when the key is there already (nothing changes) or on failure.
  bool Insert(const char* key, std::uint32_t value);
  bool Remove(const char* key, RWCString& removed_key, std::uint32_t& value);
  bool ReplaceValue(const char* key, std::uint32_t new_value, std::uint32_t& old_value);
  // Gives every node block back and empties the tree.
  void Clear();
  // Every entry in key order.
  // REQUIRES: `apply` does not change the tree.
  void ForEach(RWDiskTreeApply apply, void* datum);
  std::uint32_t Count();
  // Levels from the root down the first children; 0 when empty.
  std::uint32_t Height();
  // Answers the previous function; null brings back the built-in one.
  RWDiskTreeCompare SetCompareFunction(RWDiskTreeCompare compare);
  // Answers the previous size; a new size flushes and remakes the cache.
  std::uint32_t SetCacheSize(std::uint32_t nodes);

  // False when the tree could not be opened or made.
  bool IsValid() const { return usable_; }
  bool IsOldForm() const { return old_form_; }
  std::uint32_t HeaderOffset() const { return header_offset_; }
  std::uint32_t RootOffset() const { return header_[kRootWord]; }
  std::uint32_t NodeSize() const { return node_size_; }

 private:
  enum class Outcome { kFailed, kAbsent, kPresent, kDone, kHandUp, kUnderflow };

  // Node field access on an image of node_size_ bytes.
  std::uint32_t NodeCount(const std::uint8_t* node) const;
  void SetNodeCount(std::uint8_t* node, std::uint32_t n) const;
  std::uint32_t Child(const std::uint8_t* node, std::uint32_t i) const;
  void SetChild(std::uint8_t* node, std::uint32_t i, std::uint32_t offset) const;
  std::uint32_t Value(const std::uint8_t* node, std::uint32_t i) const;
  void SetValue(std::uint8_t* node, std::uint32_t i, std::uint32_t v) const;
  const char* Key(const std::uint8_t* node, std::uint32_t i) const;
  char* Key(std::uint8_t* node, std::uint32_t i) const;
  bool IsLeaf(const std::uint8_t* node) const { return Child(node, 0) == kNoOffset; }
  // Copies `n` keys with their values, or `n` children, between images.
  void CopyKeys(std::uint8_t* dst, std::uint32_t to, const std::uint8_t* src, std::uint32_t from,
                std::uint32_t n) const;
  void CopyChildren(std::uint8_t* dst, std::uint32_t to, const std::uint8_t* src,
                    std::uint32_t from, std::uint32_t n) const;
  // Puts (key, value) at `p` with `right` as its right child, shifting up.
  void InsertEntry(std::uint8_t* node, std::uint32_t p, const char* key, std::uint32_t value,
                   std::uint32_t right) const;
  // Takes out entry `p` and its right child, shifting down.
  void RemoveEntry(std::uint8_t* node, std::uint32_t p) const;
  // Takes out entry 0 and child 0, shifting down.
  void RemoveFirst(std::uint8_t* node) const;
  void NewNode(std::uint8_t* node) const;
  void ClearTail(std::uint8_t* node) const;

  // The first key position not below `key` (lower bound).
  std::uint32_t Position(const std::uint8_t* node, const char* key) const;
  bool SameKey(const char* a, const char* b) const { return compare_(a, b, key_length_) == 0; }
  void NormalizeKey(const char* key);
  RWCString KeyString(const char* key) const;

  bool Ready() const { return usable_ && !manager_->Error(); }
  bool PlausibleNode(std::uint32_t offset) const;
  bool NodeIsSound(const std::uint8_t* node) const;
  bool ReadNode(std::uint32_t offset, std::uint8_t* node);
  bool WriteNode(std::uint32_t offset, std::uint8_t* node);
  std::uint32_t AllocateNode();
  bool Corrupt(std::uint32_t offset);
  // Walks from the root to `key`: true when found, with the node that holds
  // it (at `offset`, read into its level's buffer) and its position there.
  bool Locate(const char* key, std::uint32_t& offset, std::uint8_t*& node, std::uint32_t& position);
  bool ReadHeader();
  bool WriteHeader();
  void SetUpHeader(std::uint32_t version, std::uint32_t key_length, std::uint32_t order,
                   std::uint32_t min_fill, bool binary_keys);
  bool LoadRoot();
  std::uint8_t* Level(std::uint32_t depth);
  // The underflow threshold of non-root nodes: never below 1, so that only
  // the root can be empty.
  std::uint32_t Fill() const;

  Outcome InsertInto(std::uint32_t offset, std::uint32_t depth, std::uint32_t value);
  bool Split(std::uint32_t offset, std::uint8_t* node, std::uint32_t p);
  Outcome RemoveFrom(std::uint32_t offset, std::uint32_t depth);
  Outcome Underflow(const std::uint8_t* node, std::uint32_t depth) const;
  bool Repair(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
              std::uint32_t depth);
  bool Borrow(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
              std::uint32_t child_offset, std::uint8_t* child, std::uint32_t sibling_offset,
              std::uint8_t* sibling, bool from_right);
  bool Merge(std::uint32_t parent_offset, std::uint8_t* parent, std::uint32_t i,
             std::uint32_t left_offset, std::uint8_t* left, std::uint32_t right_offset,
             std::uint8_t* right);
  struct WalkState {
    explicit WalkState(std::uint32_t depth) : buffers(depth) {}
    std::vector<std::vector<std::uint8_t>> buffers;  // one node image per depth
    std::unordered_set<std::uint32_t> visited;
    RWDiskTreeApply apply = nullptr;
    void* datum = nullptr;
    std::uint32_t entries = 0;
    std::vector<std::uint32_t>* offsets = nullptr;  // nodes, children before their node
  };
  // Visits every node once in key order; false (after raising) on bad data,
  // a loop or a node reached twice.
  bool Walk(std::uint32_t offset, std::uint32_t depth, WalkState& state);

  std::vector<std::uint8_t> root_;  // the root holder: image of the root level
  RWDiskTreeCompare compare_ = nullptr;
  std::uint32_t header_offset_ = kNoOffset;
  std::uint32_t node_size_ = 0;
  RWFileSpaceManager* manager_;  // not owned
  std::unique_ptr<RWDiskNodeCache> cache_;
  std::uint32_t cache_size_;
  std::uint32_t header_[kHeaderWords] = {};

  bool usable_ = false;
  bool old_form_ = false;
  bool binary_keys_ = false;
  std::uint32_t key_length_ = 0;
  std::uint32_t order_ = 0;
  std::vector<std::vector<std::uint8_t>> levels_;  // node images below the root, per depth
  std::vector<std::uint8_t> spare_;                // a split's right node, a sibling
  std::vector<char> key_;                          // the key searched, k bytes
  std::vector<char> up_key_;                       // the key handed up by a split
  std::vector<char> swap_key_;
  std::uint32_t up_value_ = 0;
  std::uint32_t up_right_ = kNoOffset;
  RWCString taken_key_;  // the key and value a removal took out
  std::uint32_t taken_value_ = kNoOffset;
};
