// GCharCodeMap: turns the character codes of a text into codes that a
// downloaded font can hold. Codes below 256, from 65280 up and from 8192 to
// 8447 pass through; any other code receives, on first use, the next free
// code of the generator's own numbering, and keeps it until Clear. Each
// generator derives its map and says how its numbering advances
// (NextCode); the map keeps the codes handed out in a directory of 256
// pages of 256 entries, a page made on first use (codes from 256 use pages
// 0 to 254; a generator whose map has a walk of its own may use all 256
// through MappedEntry). A numbering that has run
// out (its next free code reached or wrapped into a code that passes
// through, which would then stand for two characters) hands out no code:
// Map answers kNoMappedCode and the code stays unmapped.
//
// GCharCodeSet: a set of character codes, kept by every downloaded font to
// know which characters were sent: a list of blocks sorted by base code,
// each covering the 128 codes from its base (a multiple of 128) with one
// bit per code. Blocks are freed only by Clear.
//
// Neither is persistable. Ownership: each owns its pages or blocks.
// Threads: one at a time (the generator's).
#pragma once

#include <cstdint>
#include <memory>

// Map's answer when the numbering has run out.
inline constexpr std::uint16_t kNoMappedCode = 0;
inline constexpr std::uint16_t kFirstAllocatedCode = 256;

class GCharCodeMap {
 public:
  static constexpr std::uint32_t kPageCount = 256;
  static constexpr std::uint32_t kPageSize = 256;

  // No directory; the next free code is 256.
  GCharCodeMap() = default;
  GCharCodeMap(const GCharCodeMap&) = delete;
  GCharCodeMap& operator=(const GCharCodeMap&) = delete;
  // The virtual operations below are in slot order.
  // Calls Clear.
  virtual ~GCharCodeMap();

  // The code a font holds for `code`: the code itself when it passes
  // through; else the code given it before, or the next free code (then
  // NextCode advances the numbering). kNoMappedCode when the numbering has
  // run out or no memory is left for the page.
  virtual std::uint16_t Map(std::uint16_t code);
  // Frees every page and the directory; the next free code is 256.
  virtual void Clear();
  // Advances the next free code: each generator's own numbering.
  virtual void NextCode() = 0;

  std::uint16_t GetNextFreeCode() const { return next_free_code_; }
  // Whether `code` passes through unchanged.
  static bool PassesThrough(std::uint16_t code);

 protected:
  // The entry at `index` (below kPageCount x kPageSize; a mapped code or
  // 0), its page made zeroed on first use; null when no memory is left.
  std::uint16_t* MappedEntry(std::uint32_t index);

  std::uint16_t next_free_code_ = kFirstAllocatedCode;

 private:
  std::unique_ptr<std::unique_ptr<std::uint16_t[]>[]> pages_;  // kPageCount, made on first use
};

class GCharCodeSet {
 public:
  static constexpr std::uint32_t kBlockCodes = 128;

  using Visitor = std::uint32_t (*)(std::uint32_t code, void* arg);

  GCharCodeSet() = default;
  GCharCodeSet(const GCharCodeSet&) = delete;
  GCharCodeSet& operator=(const GCharCodeSet&) = delete;
  // Calls Clear.
  ~GCharCodeSet();

  // Sets the code's bit, inserting a zeroed block for it in base order
  // when none covers it; false when no memory is left for the block.
  bool Add(std::uint32_t code);
  // Clears the code's bit when a block covers it; no block is freed.
  void Remove(std::uint32_t code);
  std::uint32_t Contains(std::uint32_t code) const;
  // Calls fn(code, arg) for every code in the set, in ascending order,
  // whatever fn answers; the last answer, 0 for an empty set.
  std::uint32_t ForEach(Visitor fn, void* arg) const;
  // Adds every code of `other`; false when a block could not be had.
  bool AddAll(const GCharCodeSet& other);
  // Frees every block.
  void Clear();
  bool IsEmpty() const { return head_ == nullptr; }

 private:
  struct Block {
    Block* next;
    std::uint32_t base;  // a multiple of kBlockCodes
    std::uint8_t bits[kBlockCodes / 8];
  };

  // The block covering `code`, or null.
  const Block* Find(std::uint32_t code) const;

  Block* head_ = nullptr;
};
