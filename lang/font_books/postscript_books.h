// The PostScript generator's books of downloaded fonts (font_books.h). A
// downloaded font is a resource of up to 256 sub-fonts, named by a
// process-wide resource number.
//
// GPostScriptFontListEntry adds a u32 word (0), a u16 word (0) and the
// resource number (0 until first asked). Its Release, only when it holds
// printer memory: with a generator and a state other than 1, the
// generator's GFontResourceDeletion removes the resource (given its number
// and the state) and the number returns to 0; the generator gets the
// memory back; count and memory := 0. Unlike the other generators' entries
// it keeps its code set.
//
// GPostScriptFontList: GetResourceNumber answers the entry's number,
// giving it the next process-wide one (NextResourceNumber) when it has
// none: 0 when none is left, and the entry stays without. Its
// ResetResourceNumbers starts the process-wide numbering again (answers
// 1).
//
// GPostScriptFontCache: a code set of its own (ContainsCode, AddCode) and a
// cursor over the nodes: NextList moves it to the next node (the head when
// it stands before the first) and answers that node's list; at the end it
// answers null and stands before the first again. ReleaseAll releases
// every list, then empties the code set. Its state-3 search rule: equal
// long3, then by the node's last block word (longs2[1]): 2, equal second
// angles, first block longs and block words; 4, equal first block longs
// and block words; else a match.
//
// Not persistable. Threads: the generator's.
#pragma once

#include <cstdint>

#include "fonts/char_code_map.h"
#include "lang/font_books/font_books.h"

class GPostScriptFontListEntry final : public GFontListEntry {
 public:
  using GFontListEntry::GFontListEntry;

  void Release() override;

  std::uint32_t GetWord() const { return word_; }
  void SetWord(std::uint32_t word) { word_ = word; }
  std::uint16_t GetWord16() const { return word16_; }
  void SetWord16(std::uint16_t word) { word16_ = word; }
  // The number, given one first when it has none; 0 when none is left.
  std::uint32_t GetResourceNumber();

 private:
  std::uint32_t word_ = 0;
  std::uint16_t word16_ = 0;
  std::uint32_t resource_ = 0;
};

class GPostScriptFontList final : public GFontList {
 public:
  // A handle on a new entry for `generator` (may be null); null when no
  // memory is left. The caller owns it.
  static GPostScriptFontList* New(GPrinterLanguage* generator);
  explicit GPostScriptFontList(GPostScriptFontListEntry* entry) : GFontList(entry) {}

  GFontList* Clone() const override;
  virtual std::uint32_t GetResourceNumber() { return Entry().GetResourceNumber(); }
  virtual std::uint32_t ResetResourceNumbers();

  void SetWord(std::uint32_t word) { Entry().SetWord(word); }
  std::uint16_t GetWord16() const { return Entry().GetWord16(); }
  void SetWord16(std::uint16_t word) { Entry().SetWord16(word); }

 private:
  GPostScriptFontListEntry& Entry() const {
    return static_cast<GPostScriptFontListEntry&>(*GetEntry());
  }
};

class GPostScriptFontCache final : public GGeneratorFontCache {
 public:
  std::uint32_t ContainsCode(std::uint32_t code) const { return codes_.Contains(code); }
  // False when no memory is left for the code.
  bool AddCode(std::uint32_t code) { return codes_.Add(code); }
  GFontList* NextList();
  void ReleaseAll() override;

 protected:
  bool OutlineMatches(const Node& node, const GFontDescriptionRecord& record,
                      const GFontAngleBlock& block) const override;

 private:
  GCharCodeSet codes_;
  Node* cursor_ = nullptr;  // null: before the first node
};
