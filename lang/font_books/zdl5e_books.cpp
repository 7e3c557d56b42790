#include "lang/font_books/zdl5e_books.h"

#include <algorithm>

#include "lang/generator/printer_language.h"

void GZdl5eFontListEntry::Release() {
  const std::uint32_t memory = GetPrinterMemory();
  if (memory == 0) return;
  GPrinterLanguage* generator = GetGenerator();
  if (generator && GetState() != kFontResident) {
    auto* deletion = dynamic_cast<GSoftFontDeletion*>(generator);
    if (font_id_ != 0) {
      if (deletion) deletion->DeleteSoftFont(font_id_);
      font_id_ = 0;
    } else {
      for (Page& page : pages_) {
        if (page.id == 0) continue;
        if (deletion) deletion->DeleteSoftFont(page.id);
        page.flag = 0;
      }
    }
  }
  if (generator) generator->ReleasePrinterMemory(memory);
  ClearUse(true);
}

std::uint32_t GZdl5eFontListEntry::GetFontId() {
  if (font_id_ == 0) font_id_ = NextSoftFontId();
  return font_id_;
}

std::uint32_t GZdl5eFontListEntry::GetPageFontId(std::uint32_t code) {
  Page& page = PageOf(code);
  if (page.id == 0) page.id = NextSoftFontId();
  return page.id;
}

GZdl5eFontList* GZdl5eFontList::New(GPrinterLanguage* generator) {
  return NewFontList<GZdl5eFontList, GZdl5eFontListEntry>(generator);
}

GFontList* GZdl5eFontList::Clone() const {
  return RWNew<GZdl5eFontList>(&Entry());
}

std::uint32_t GZdl5eFontList::ResetFontIds() {
  ResetSoftFontIds();
  return 1;
}

bool GZdl5eFontList::AddTriple(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  if (triple_count_ == triple_capacity_) {
    if (triple_capacity_ > UINT32_MAX - kTripleGrowth) return false;
    std::unique_ptr<GTriple[]> grown = RWNewArray<GTriple>(triple_capacity_ + kTripleGrowth);
    if (!grown) return false;
    std::copy_n(triples_.get(), triple_count_, grown.get());
    triples_ = std::move(grown);
    triple_capacity_ += kTripleGrowth;
  }
  triples_[triple_count_++] = {a, b, c};
  return true;
}

const GTriple* GZdl5eFontList::FindTriple(std::uint16_t a) const {
  for (std::uint32_t i = 0; i < triple_count_; ++i) {
    if (triples_[i].a == a) return &triples_[i];
  }
  return nullptr;
}
