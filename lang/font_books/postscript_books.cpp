#include "lang/font_books/postscript_books.h"

#include "lang/generator/printer_language.h"

namespace {

// The node's last block word: how the resource was downloaded.
constexpr std::uint32_t kType3Resource = 2;
constexpr std::uint32_t kType42Resource = 4;

}  // namespace

void GPostScriptFontListEntry::Release() {
  const std::uint32_t memory = GetPrinterMemory();
  if (memory == 0) return;
  if (GPrinterLanguage* generator = GetGenerator()) {
    if (GetState() != kFontResident) {
      if (auto* deletion = dynamic_cast<GFontResourceDeletion*>(generator))
        deletion->DeleteFontResource(resource_, GetState());
      resource_ = 0;
    }
    generator->ReleasePrinterMemory(memory);
  }
  ClearUse(false);
}

std::uint32_t GPostScriptFontListEntry::GetResourceNumber() {
  if (resource_ == 0) resource_ = NextResourceNumber();
  return resource_;
}

GPostScriptFontList* GPostScriptFontList::New(GPrinterLanguage* generator) {
  return NewFontList<GPostScriptFontList, GPostScriptFontListEntry>(generator);
}

GFontList* GPostScriptFontList::Clone() const {
  return RWNew<GPostScriptFontList>(&Entry());
}

std::uint32_t GPostScriptFontList::ResetResourceNumbers() {
  ::ResetResourceNumbers();
  return 1;
}

GFontList* GPostScriptFontCache::NextList() {
  cursor_ = cursor_ ? cursor_->next : Head();
  return cursor_ ? cursor_->list : nullptr;
}

void GPostScriptFontCache::ReleaseAll() {
  GGeneratorFontCache::ReleaseAll();
  codes_.Clear();
}

bool GPostScriptFontCache::OutlineMatches(const Node& node, const GFontDescriptionRecord& record,
                                          const GFontAngleBlock& block) const {
  if (node.record.long3 != record.long3) return false;
  const bool same_words = node.block.longs[0] == block.longs[0] && node.block.word == block.word;
  switch (node.block.longs2[1]) {
    case kType3Resource:
      return same_words && SecondAngle(node.block) == SecondAngle(block);
    case kType42Resource:
      return same_words;
    default:
      return true;
  }
}
