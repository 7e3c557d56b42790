// What the three generators' books of downloaded fonts share (the books
// themselves: vexalon_books.h, postscript_books.h, zdl5e_books.h; their
// bases: lang/generator/font_cache.h).
//
// Deletion hooks: the operations by which a released entry removes its font
// from the printer, which the generators implement: GZdl5e deletes a soft
// font by id (GSoftFontDeletion), GPostScript the sub-fonts of a font
// resource by resource number and state (GFontResourceDeletion). An entry
// reaches its generator's hook only while it has a generator.
//
// Process-wide numbering, under one lock: the PostScript resource numbers
// (from 0; NextResourceNumber hands out 1, 2, ... up to
// kResourceNumberLimit - 1) and the ZDL5 soft-font ids (from 1000; 1001
// up to 0xFFFFFFFE). Each Next raises its counter by one and answers the
// new value; a counter at its end is left there and answers 0, so that a
// download for which no number is left is refused instead of reusing a
// number another font holds. The resets put a counter back at its start.
//
// ExpectedFontState: the entry state in which a downloaded font serves a
// request: 1 (resident) when the request's glyph flags hold
// kAllGlyphsAvailable, else 3 (outline) when its class bits (the font's
// kind) hold 2, else 2 (bitmap).
//
// GGeneratorFontCache::Find (the cache search, for a request font F with
// description record R, angle block B and kind K): the first node whose
// record has R's face name, typeface (first of the first longs), style and
// selector, whose list is in ExpectedFontState(B, K), and that then
// matches by that state:
//   1: a list whose value is a scalable GDeviceFontDescription matches;
//      any other matches on equal metrics;
//   3: OutlineMatches (the ZDL XL and ZDL5 caches: equal u32 after the face
//      name, long3; PostScript's own in postscript_books.h);
//   2: only when K holds 1, on equal metrics.
// Equal metrics: heights, B's first long and its word, long3, second angles
// (B's angle2) and both scale factors (floats by value). A clone of the
// matching node's list becomes F's download record and is answered; null
// for no match, for a font without an implementation, or when no memory
// is left for the clone.
//
// FindFontList: the list through which `generator` reaches a font it has
// downloaded: the font's download record when it is a list of that
// generator's, else its cache's Find; null when neither has it.
//
// Ownership: the cache owns its lists; a font owns the clone it is given.
// Threads: the books belong to their generator's thread; the counters may
// be used from any thread.
#pragma once

#include <cstdint>

#include "foundation/rw/support.h"
#include "lang/generator/font_cache.h"

class GPrinterLanguage;

// PostScript resource numbers stay below this, so that each of a
// resource's 256 sub-fonts has a 32-bit code.
inline constexpr std::uint32_t kResourceNumberLimit = 0x1000000;
inline constexpr std::uint32_t kFirstSoftFontId = 1000;
inline constexpr std::uint32_t kSoftFontIdLimit = 0xFFFFFFFF;

class GSoftFontDeletion {
 public:
  // Removes the soft font `id` from the printer.
  virtual std::uint16_t DeleteSoftFont(std::uint32_t id) = 0;

 protected:
  ~GSoftFontDeletion() = default;
};

class GFontResourceDeletion {
 public:
  // Removes the defined sub-fonts of resource `resource`, downloaded in
  // entry state `state`, from the printer.
  virtual std::uint16_t DeleteFontResource(std::uint32_t resource, std::uint32_t state) = 0;

 protected:
  ~GFontResourceDeletion() = default;
};

std::uint32_t NextResourceNumber();
void ResetResourceNumbers();
std::uint32_t NextSoftFontId();
void ResetSoftFontIds();
// Put a counter at `value` (tests, and their runs to the end).
void SetResourceNumberCounter(std::uint32_t value);
void SetSoftFontIdCounter(std::uint32_t value);

std::uint32_t ExpectedFontState(const GFontAngleBlock& block, std::uint32_t kind);

class GGeneratorFontCache : public GFontCache {
 public:
  GFontList* Find(GFont& font) override;

 protected:
  // The state-3 rule; here: equal long3.
  virtual bool OutlineMatches(const Node& node, const GFontDescriptionRecord& record,
                              const GFontAngleBlock& block) const;
  // Whether the request's metrics equal the node's (see the file comment).
  static bool SameMetrics(const Node& node, const GFontDescriptionRecord& record,
                          const GFontAngleBlock& block);
  static float SecondAngle(const GFontAngleBlock& block) { return block.angle2.GetDegrees(); }
};

GFontList* FindFontList(GPrinterLanguage& generator, GFont& font);

// A new handle of class List on a new entry of class Entry for
// `generator`; null when no memory is left. The caller owns it.
template <class List, class Entry>
List* NewFontList(GPrinterLanguage* generator) {
  Entry* entry = RWNew<Entry>(generator);
  if (!entry) return nullptr;
  List* list = RWNew<List>(entry);
  if (!list) delete entry;
  return list;
}
