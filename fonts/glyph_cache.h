// GGlyphCacheNode and GGlyphCache: the glyphs a font reader
// (tt_font_reader.h) has read, kept by 16-bit glyph id so that a reader
// saved beside a spooled page serves them again without its font file. A
// node holds two blocks of one glyph: its raw 'glyf' data (the first) and
// its form for the printer (the second). The cache keeps nodes in 256
// pages of 256 slots, a page made on first use: glyph g lives in page
// g >> 8, slot g & 255.
//
// Class ids 870 ("GGlyphCacheNode") and 869 ("GGlyphCache").
//
// Stored forms, after the base part of MPersistentObject:
//   node:  version u32 kGlyphCacheVersion; first length u32 and its bytes;
//          second length u32 and its bytes
//   cache: version u32 kGlyphCacheVersion; page count u16
//          (kGlyphCachePageCount); page size u16 (kGlyphCachePageSize);
//          count u32 (inserts since construction); per page i32 1 when it
//          exists, else 0; for an existing page, per slot i32 1 when it
//          holds a node, then the node as an object reference, else 0
// A restore of another version keeps the object as it was. Otherwise a
// restore empties the object first. A stored page count or page size above
// 256 fails the cache's read (those pages and slots lie outside the cache),
// as does a block length the source cannot hold. A node inside a cache is
// read only from a new node of its own (no back reference may name it, so
// no node is ever owned twice). A copy takes only the persistent base and
// starts empty.
//
// Ownership: a cache owns its pages and nodes, a node its blocks; lookups
// lend them out. Threads: one thread at a time (the reader's lock).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

class GByteBuffer;

inline constexpr RWClassID kGGlyphCacheId = 869;
inline constexpr RWClassID kGGlyphCacheNodeId = 870;
inline constexpr std::uint32_t kGlyphCacheVersion = 1;
inline constexpr std::uint16_t kGlyphCachePageCount = 256;
inline constexpr std::uint16_t kGlyphCachePageSize = 256;

class GGlyphCacheNode final
    : public MPersistentClass<GGlyphCacheNode, MPersistentObject, kGGlyphCacheNodeId> {
 public:
  GGlyphCacheNode() = default;
  // Each present buffer gives its bytes to one block (taken over when it
  // owns them, else copied; a copy that cannot be had leaves the block
  // empty) and is deleted. Either may be null.
  GGlyphCacheNode(GByteBuffer* first, GByteBuffer* second);
  // The persistent base only; both blocks empty.
  GGlyphCacheNode(const GGlyphCacheNode& other);
  GGlyphCacheNode& operator=(const GGlyphCacheNode&) = delete;
  ~GGlyphCacheNode() override = default;

  // Each empty block of this node takes the other's block, which is
  // cleared there; then `other` is deleted. REQUIRES: `other` is not this
  // node and belongs to the caller.
  virtual void Merge(GGlyphCacheNode* other);
  // New buffers lending a block (the caller deletes the buffer, not the
  // bytes); null when the block is empty or no memory is left.
  virtual GByteBuffer* GetFirst() const;
  virtual std::uint32_t GetFirstLength() const { return first_.length; }
  virtual GByteBuffer* GetSecond() const;
  virtual std::uint32_t GetSecondLength() const { return second_.length; }

  // The base part and 12 and both lengths.
  RWSize StoredSize() const override;
  // The same object; or the same class and base and equal first blocks
  // (the second blocks take no part).
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  struct Block {
    std::unique_ptr<std::uint8_t[]> data;  // null when empty
    std::uint32_t length = 0;
  };

  static void Take(GByteBuffer* buffer, Block& block);
  static GByteBuffer* Lend(const Block& block);

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  Block first_;   // raw glyph data
  Block second_;  // the converted form
};

class GGlyphCache final : public MPersistentClass<GGlyphCache, MPersistentObject, kGGlyphCacheId> {
 public:
  GGlyphCache() = default;
  // The persistent base only; no pages, count 0.
  GGlyphCache(const GGlyphCache& other);
  GGlyphCache& operator=(const GGlyphCache&) = delete;
  // Deletes every node, then every page.
  ~GGlyphCache() override;

  // Puts `node` under `glyph`, making its page when missing: an empty slot
  // takes the node; an occupied one merges it into its node (which deletes
  // it). Count + 1 either way. When no memory is left for the page the
  // node is deleted and the count stays. REQUIRES: `node` is the caller's.
  void Insert(std::uint16_t glyph, GGlyphCacheNode* node);
  // The node under `glyph`, or null; the cache keeps it.
  GGlyphCacheNode* Find(std::uint16_t glyph) const;
  std::uint32_t Count() const { return count_; }
  // How many pages exist.
  std::uint32_t PageCount() const;

  // Makes this cache's page for every page of `other`, then moves each node
  // of `other` whose slot here is empty (its slot there is emptied);
  // occupied slots keep this cache's node. Neither count changes.
  virtual void Merge(GGlyphCache& other);

  // The base part, 12, 4 per page, 4 per slot of each existing page, and
  // each node's reference size.
  RWSize StoredSize() const override;
  // The same object; or the same class and base, the same pages, and in
  // each the same slots filled with equal nodes.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  using Page = std::unique_ptr<std::unique_ptr<GGlyphCacheNode>[]>;

  // The page, made when missing; null when no memory is left.
  std::unique_ptr<GGlyphCacheNode>* MakePage(std::uint32_t page);
  void Clear();

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t count_ = 0;
  Page pages_[kGlyphCachePageCount];
};

extern template class MPersistentClass<GGlyphCacheNode, MPersistentObject, kGGlyphCacheNodeId>;
extern template class MPersistentClass<GGlyphCache, MPersistentObject, kGGlyphCacheId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> GlyphCacheClasses();
