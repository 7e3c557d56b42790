// The ZDL5 generator's books of downloaded fonts (font_books.h). ZDL5
// names a downloaded soft font by a process-wide id: one for the whole
// font, or, for a font split into pages of 256 codes, one per page.
//
// GZdl5eFontListEntry adds a u32 word (0), the whole-font id (0 until
// first asked), 256 page records {page font id, page flag} (all 0) and the
// split flag (0). Its Release, only when it holds printer memory: with a
// generator and a state other than 1, the generator's GSoftFontDeletion
// deletes the whole-font id when it has one (which returns to 0), else
// every page font id it has, clearing that page's flag (its id stays); the
// generator gets the memory back; count and memory := 0; the codes are
// forgotten.
//
// GZdl5eFontList: SetSplit (split flag := 1); MarkPage(code) (the flag of
// page (code div 256) mod 256 := 1) and IsPageMarked(code); GetFontId and
// GetPageFontId(code), each giving the entry the next process-wide id
// (NextSoftFontId) when it has none: 0 when none is left, and the entry
// stays without; ResetFontIds starts the numbering again at 1000 (answers
// 1). Each handle also keeps a table of 16-bit triples of its own (a clone
// starts with none): AddTriple appends one, growing the table by
// kTripleGrowth when it is full (room for kTripleGrowth at first);
// FindTriple(a) answers the first whose first value is a, or null.
//
// Not persistable. Threads: the generator's.
#pragma once

#include <cstdint>
#include <memory>

#include "lang/font_books/font_books.h"

inline constexpr std::uint32_t kSoftFontPages = 256;
inline constexpr std::uint32_t kTripleGrowth = 256;

class GZdl5eFontListEntry final : public GFontListEntry {
 public:
  using GFontListEntry::GFontListEntry;

  void Release() override;

  std::uint32_t GetWord() const { return word_; }
  void SetWord(std::uint32_t word) { word_ = word; }
  void SetSplit() { split_ = 1; }
  bool IsSplit() const { return split_ != 0; }
  // The id, given one first when it has none; 0 when none is left.
  std::uint32_t GetFontId();
  std::uint32_t GetPageFontId(std::uint32_t code);
  void MarkPage(std::uint32_t code) { PageOf(code).flag = 1; }
  std::uint32_t IsPageMarked(std::uint32_t code) const {
    return pages_[(code / 256) % kSoftFontPages].flag;
  }

 private:
  struct Page {
    std::uint32_t id = 0;
    std::uint32_t flag = 0;
  };
  Page& PageOf(std::uint32_t code) { return pages_[(code / 256) % kSoftFontPages]; }

  std::uint32_t word_ = 0;
  std::uint32_t font_id_ = 0;
  Page pages_[kSoftFontPages];
  std::uint32_t split_ = 0;
};

struct GTriple {
  std::uint16_t a = 0;
  std::uint16_t b = 0;
  std::uint16_t c = 0;
};

class GZdl5eFontList final : public GFontList {
 public:
  // A handle on a new entry for `generator` (may be null); null when no
  // memory is left. The caller owns it.
  static GZdl5eFontList* New(GPrinterLanguage* generator);
  explicit GZdl5eFontList(GZdl5eFontListEntry* entry) : GFontList(entry) {}

  GFontList* Clone() const override;
  virtual void SetSplit() { Entry().SetSplit(); }
  virtual void MarkPage(std::uint32_t code) { Entry().MarkPage(code); }
  virtual std::uint32_t GetFontId() { return Entry().GetFontId(); }
  virtual std::uint32_t GetPageFontId(std::uint32_t code) { return Entry().GetPageFontId(code); }
  virtual std::uint32_t ResetFontIds();
  virtual std::uint32_t IsPageMarked(std::uint32_t code) const {
    return Entry().IsPageMarked(code);
  }

  void SetWord(std::uint32_t word) { Entry().SetWord(word); }
  // False when the table is full and cannot grow.
  bool AddTriple(std::uint16_t a, std::uint16_t b, std::uint16_t c);
  const GTriple* FindTriple(std::uint16_t a) const;
  std::uint32_t GetTripleCount() const { return triple_count_; }
  std::uint32_t GetTripleCapacity() const { return triple_capacity_; }

 private:
  GZdl5eFontListEntry& Entry() const { return static_cast<GZdl5eFontListEntry&>(*GetEntry()); }

  std::unique_ptr<GTriple[]> triples_;
  std::uint32_t triple_capacity_ = 0;
  std::uint32_t triple_count_ = 0;
};

class GZdl5eFontCache final : public GGeneratorFontCache {};
