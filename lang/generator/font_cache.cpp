#include "lang/generator/font_cache.h"

#include <new>

#include "foundation/rw/support.h"
#include "lang/generator/printer_language.h"

namespace {

constinit RWLockRecord g_file_lock;

}  // namespace

// ---------------------------------------------------------------------------
// GFontListEntry

GFontListEntry::~GFontListEntry() = default;

void GFontListEntry::Deactivate() {
  active_ = 0;
  generator_ = nullptr;
}

std::uint32_t GFontListEntry::AddPrinterMemory(std::uint32_t n) {
  printer_memory_ += n;
  return generator_ ? generator_->ReservePrinterMemory(n) : n;
}

void GFontListEntry::Release() {
  if (printer_memory_ == 0) return;
  if (generator_) {
    if (state_ != kFontResident) generator_->RemoveDownloadedFont(name_);
    generator_->ReleasePrinterMemory(printer_memory_);
  }
  ClearUse(true);
}

void GFontListEntry::ClearUse(bool forget_codes) {
  count_ = 0;
  printer_memory_ = 0;
  if (forget_codes) codes_.Clear();
}

void GFontListEntry::SetValue(MPersistentObject* value) {
  value_.Reset(value, g_file_lock);
}

// ---------------------------------------------------------------------------
// GFontList

GFontList::GFontList(GFontListEntry* entry) : entry_(entry) {
  ++entry_->shares_;
}

GFontList::~GFontList() {
  if (--entry_->shares_ == 0) delete entry_;
}

// ---------------------------------------------------------------------------
// GFontCache

GFontCache::~GFontCache() {
  while (Node* node = head_) {
    head_ = node->next;
    node->list->Deactivate();
    delete node->list;
    delete node;
  }
  tail_ = nullptr;
}

std::uint32_t GFontCache::GetTotalPrinterMemory() const {
  std::uint32_t total = 0;
  for (const Node* node = head_; node; node = node->next)
    total += node->list->GetPrinterMemory();
  return total;
}

bool GFontCache::Add(const GFontDescriptionRecord& record, const GFontAngleBlock& block,
                     GFontList* list) {
  if (!list) return false;
  Node* node = new (kRWNoThrow) Node;
  if (!node) {
    delete list;
    return false;
  }
  node->list = list;
  node->record = record;
  node->block = block;
  (tail_ ? tail_->next : head_) = node;
  tail_ = node;
  return true;
}

std::uint32_t GFontCache::EvictOne() {
  GFontList* chosen = nullptr;
  for (const Node* node = head_; node; node = node->next) {
    GFontList* list = node->list;
    std::uint32_t state = list->GetState();
    if ((state != kFontBitmap && state != kFontOutline) || list->GetPrinterMemory() == 0) continue;
    if (!chosen || list->GetLastUse() < chosen->GetLastUse()) chosen = list;
  }
  if (!chosen) return 0;
  std::uint32_t memory = chosen->GetPrinterMemory();
  chosen->Release();
  return memory;
}

void GFontCache::ReleaseAll() {
  for (Node* node = head_; node; node = node->next)
    node->list->Release();
}

std::uint32_t GFontCache::Count() const {
  std::uint32_t n = 0;
  for (const Node* node = head_; node; node = node->next)
    ++n;
  return n;
}
