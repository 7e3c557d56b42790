// The ZDL XL generator's books of downloaded fonts (font_books.h): its
// entry adds a u32 word (0) and releases as the base does (the generator
// removes the font by name); its list makes such an entry and reaches the
// word; its cache searches as GGeneratorFontCache does.
//
// Not persistable. Ownership: a list handle counts itself on its entry
// (lang/generator/font_cache.h). Threads: the generator's.
#pragma once

#include <cstdint>

#include "lang/font_books/font_books.h"

class GVexalonFontListEntry final : public GFontListEntry {
 public:
  using GFontListEntry::GFontListEntry;

  std::uint32_t GetWord() const { return word_; }
  void SetWord(std::uint32_t word) { word_ = word; }

 private:
  std::uint32_t word_ = 0;
};

class GVexalonFontList final : public GFontList {
 public:
  // A handle on a new entry for `generator` (may be null); null when no
  // memory is left. The caller owns it.
  static GVexalonFontList* New(GPrinterLanguage* generator);
  // A handle on `entry`.
  explicit GVexalonFontList(GVexalonFontListEntry* entry) : GFontList(entry) {}

  GFontList* Clone() const override;

  std::uint32_t GetWord() const { return Entry().GetWord(); }
  void SetWord(std::uint32_t word) { Entry().SetWord(word); }

 private:
  GVexalonFontListEntry& Entry() const { return static_cast<GVexalonFontListEntry&>(*GetEntry()); }
};

class GVexalonFontCache final : public GGeneratorFontCache {};
