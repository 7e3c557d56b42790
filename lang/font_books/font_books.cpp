#include "lang/font_books/font_books.h"

#include <mutex>

#include "config/fonts/device_font_description.h"
#include "lang/generator/printer_language.h"

namespace {

// The two process-wide numberings and their one lock.
struct Numbering {
  const std::uint32_t start;
  const std::uint32_t limit;  // numbers stay below
  std::uint32_t value;
};

std::mutex g_numbering_lock;
Numbering g_resource_numbers{0, kResourceNumberLimit, 0};
Numbering g_soft_font_ids{kFirstSoftFontId, kSoftFontIdLimit, kFirstSoftFontId};

std::uint32_t Next(Numbering& numbering) {
  std::lock_guard<std::mutex> hold(g_numbering_lock);
  if (std::uint64_t{numbering.value} + 1 >= numbering.limit) return 0;
  return ++numbering.value;
}

void Set(Numbering& numbering, std::uint32_t value) {
  std::lock_guard<std::mutex> hold(g_numbering_lock);
  numbering.value = value;
}

}  // namespace

std::uint32_t NextResourceNumber() {
  return Next(g_resource_numbers);
}

void ResetResourceNumbers() {
  Set(g_resource_numbers, g_resource_numbers.start);
}

void SetResourceNumberCounter(std::uint32_t value) {
  Set(g_resource_numbers, value);
}

std::uint32_t NextSoftFontId() {
  return Next(g_soft_font_ids);
}

void ResetSoftFontIds() {
  Set(g_soft_font_ids, g_soft_font_ids.start);
}

void SetSoftFontIdCounter(std::uint32_t value) {
  Set(g_soft_font_ids, value);
}

std::uint32_t ExpectedFontState(const GFontAngleBlock& block, std::uint32_t kind) {
  if (block.glyph_flags & kAllGlyphsAvailable) return kFontResident;
  return (kind & 2) ? kFontOutline : kFontBitmap;
}

bool GGeneratorFontCache::OutlineMatches(const Node& node, const GFontDescriptionRecord& record,
                                         const GFontAngleBlock&) const {
  return node.record.long3 == record.long3;
}

bool GGeneratorFontCache::SameMetrics(const Node& node, const GFontDescriptionRecord& record,
                                      const GFontAngleBlock& block) {
  const GFontDescriptionRecord& mine = node.record;
  return mine.height == record.height && node.block.longs[0] == block.longs[0] &&
         node.block.word == block.word && mine.long3 == record.long3 &&
         SecondAngle(node.block) == SecondAngle(block) && mine.x_scale == record.x_scale &&
         mine.y_scale == record.y_scale;
}

GFontList* GGeneratorFontCache::Find(GFont& font) {
  const GFontDescriptionRecord* record = font.GetDescription();
  const GFontAngleBlock* block = font.GetAngleBlock();
  if (!record || !block) return nullptr;
  const std::uint32_t kind = font.GetFontKind();
  const std::uint32_t expected = ExpectedFontState(*block, kind);
  for (Node* node = Head(); node; node = node->next) {
    const GFontDescriptionRecord& mine = node->record;
    if (mine.face_name != record->face_name || mine.longs1[0] != record->longs1[0] ||
        mine.style != record->style || mine.selector != record->selector ||
        node->list->GetState() != expected)
      continue;
    bool matches = false;
    if (expected == kFontResident) {
      auto* resident = dynamic_cast<GDeviceFontDescription*>(node->list->GetValue());
      matches = (resident && resident->IsScalable()) || SameMetrics(*node, *record, *block);
    } else if (expected == kFontOutline) {
      matches = OutlineMatches(*node, *record, *block);
    } else {
      matches = (kind & 1) && SameMetrics(*node, *record, *block);
    }
    if (!matches) continue;
    GFontList* clone = node->list->Clone();
    if (clone) font.SetDownloadRecord(clone);
    return clone;
  }
  return nullptr;
}

GFontList* FindFontList(GPrinterLanguage& generator, GFont& font) {
  auto* carried = dynamic_cast<GFontList*>(font.GetDownloadRecord());
  if (carried && carried->GetEntry()->GetGenerator() == &generator) return carried;
  GFontCache* cache = generator.GetFontCache();
  return cache ? cache->Find(font) : nullptr;
}
