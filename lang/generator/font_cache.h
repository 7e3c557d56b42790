// The books a generator keeps of the fonts it downloaded in a job.
//
// GFontListEntry: one downloaded font: its name on the printer, a value (a
// printer-resident font's GDeviceFontDescription, held: a pointer that
// the record keeps in 32 bits, so pointer-sized and counted here, so that
// it cannot go before the entry), the active flag, a
// number and a count (the generators' own), the printer memory it takes,
// its use stamp (the smallest is the least recently used), its state (1 a
// printer-resident font, with nothing to remove; 2 a downloaded bitmap
// font and 3 a downloaded outline font, the two states that may be
// evicted; the PostScript generator also uses 4), a tag, the character
// codes already sent, and the count of handles on it.
//   AddPrinterMemory(n): memory += n; with a generator, answers its
//     ReservePrinterMemory(n) (the free bytes), else n.
//   Release: only when the memory is not 0: a font in a state other than
//     1 is removed from the printer by the generator
//     (RemoveDownloadedFont with the name); the generator gets the memory
//     back (ReleasePrinterMemory); count and memory := 0; the codes are
//     forgotten.
//   Deactivate clears the active flag and lets go of the generator: an
//   entry can outlive the generator's cache (a font's download record
//   holds a handle), and a later Release must not reach a generator that
//   may be gone; it then only clears its own fields.
// A new entry: number 0xFFFF, active, state 0, last use 0, no handles.
//
// GFontList: a handle on an entry, the download record a font carries
// (fonts/font.h). Each handle counts itself on the entry; the handle that
// lowers the count to 0 deletes the entry. Every operation forwards to the
// entry; Clone, each generator's own, makes a new handle of its own list
// class on the same entry.
//
// GFontCache: the generator's downloaded fonts, a singly linked list of
// nodes from the head, each holding a handle (owned) and copies of the
// font's description record and angle block (fonts/font.h).
//   Add: appends a node at the tail with the handle (see its declaration
//     for who owns the handle).
//   GetTotalPrinterMemory: the sum of every handle's memory (32 bits).
//   EvictOne: among the handles whose state is 2 or 3 and whose memory is
//     not 0, the one with the smallest last use, the first from the head
//     on a tie, is released (its node stays); answers the memory it took,
//     0 (and nothing changes) when there is none.
//   ReleaseAll: releases every handle from the head; the nodes stay.
//   Find: each generator's search for a font it downloaded before.
//   The destructor deactivates every entry and deletes the handles.
//
// None is persistable. Ownership as above; the generator owns its cache
// (printer_language.h). Threads: the generator's.
#pragma once

#include <cstdint>

#include "fonts/char_code_map.h"
#include "fonts/font.h"
#include "foundation/rw/cstring.h"
#include "persist/counted_ptr.h"

class GPrinterLanguage;

inline constexpr std::uint16_t kNoFontNumber = 0xFFFF;
// Entry states.
inline constexpr std::uint32_t kFontResident = 1;
inline constexpr std::uint32_t kFontBitmap = 2;
inline constexpr std::uint32_t kFontOutline = 3;

class GFontListEntry {
 public:
  // `generator` may be null; it is not owned.
  explicit GFontListEntry(GPrinterLanguage* generator) : generator_(generator) {}
  GFontListEntry(const GFontListEntry&) = delete;
  GFontListEntry& operator=(const GFontListEntry&) = delete;
  virtual ~GFontListEntry();

  virtual void Deactivate();
  virtual void SetState(std::uint32_t state) { state_ = state; }
  virtual std::uint32_t AddPrinterMemory(std::uint32_t n);
  // Holds `value` (null: none).
  virtual void SetValue(MPersistentObject* value);
  virtual void Release();
  virtual void SetNumber(std::uint16_t number) { number_ = number; }
  virtual void AddCount(std::uint16_t n) { count_ = static_cast<std::uint16_t>(count_ + n); }
  virtual void SetLastUse(std::uint32_t stamp) { last_use_ = stamp; }
  virtual void SetTag(std::uint32_t tag) { tag_ = tag; }
  // False when the code's block could not be had.
  virtual bool AddCode(std::uint32_t code) { return codes_.Add(code); }
  virtual void RemoveCode(std::uint32_t code) { codes_.Remove(code); }
  virtual std::uint32_t GetState() const { return state_; }
  virtual std::uint32_t GetPrinterMemory() const { return printer_memory_; }
  virtual bool IsActive() const { return active_ != 0; }
  virtual MPersistentObject* GetValue() const { return value_.Get(); }
  virtual std::uint32_t GetLastUse() const { return last_use_; }
  virtual std::uint16_t GetNumber() const { return number_; }
  virtual std::uint16_t GetCount() const { return count_; }
  virtual std::uint32_t GetTag() const { return tag_; }
  virtual std::uint32_t ContainsCode(std::uint32_t code) const { return codes_.Contains(code); }
  virtual std::uint32_t ForEachCode(GCharCodeSet::Visitor fn, void* arg) const {
    return codes_.ForEach(fn, arg);
  }

  const RWCString& GetName() const { return name_; }
  void SetName(const RWCString& name) { name_ = name; }
  GPrinterLanguage* GetGenerator() const { return generator_; }

 protected:
  GCharCodeSet& Codes() { return codes_; }
  // Count and printer memory := 0; with `forget_codes` the codes too: what
  // every release does once the generator has its memory back.
  void ClearUse(bool forget_codes);

 private:
  friend class GFontList;

  GPrinterLanguage* generator_;  // not owned; null once deactivated
  RWCString name_;
  GCountedPtr value_;
  std::uint32_t active_ = 1;
  std::uint16_t number_ = kNoFontNumber;
  std::uint16_t count_ = 0;
  std::uint32_t printer_memory_ = 0;
  std::uint32_t last_use_ = 0;
  std::uint32_t state_ = 0;
  std::uint32_t tag_ = 0;
  GCharCodeSet codes_;
  std::uint16_t shares_ = 0;  // GFontList handles on the entry
};

class GFontList : public GFontDownloadRecord {
 public:
  // Counts itself on `entry` (not null).
  explicit GFontList(GFontListEntry* entry);
  GFontList(const GFontList&) = delete;
  GFontList& operator=(const GFontList&) = delete;
  // Deletes the entry when this was its last handle.
  ~GFontList() override;

  virtual std::uint32_t GetState() const { return entry_->GetState(); }
  virtual std::uint32_t GetPrinterMemory() const { return entry_->GetPrinterMemory(); }
  virtual MPersistentObject* GetValue() const { return entry_->GetValue(); }
  virtual std::uint16_t GetNumber() const { return entry_->GetNumber(); }
  virtual std::uint16_t GetCount() const { return entry_->GetCount(); }
  virtual std::uint32_t GetLastUse() const { return entry_->GetLastUse(); }
  virtual std::uint32_t GetTag() const { return entry_->GetTag(); }
  virtual std::uint32_t ContainsCode(std::uint32_t code) const {
    return entry_->ContainsCode(code);
  }
  virtual std::uint32_t ForEachCode(GCharCodeSet::Visitor fn, void* arg) const {
    return entry_->ForEachCode(fn, arg);
  }
  virtual bool IsActive() const { return entry_->IsActive(); }
  virtual void Deactivate() { entry_->Deactivate(); }
  // A new handle of the generator's own list class on the same entry (null
  // after [NOMEM]); the caller owns it.
  virtual GFontList* Clone() const = 0;
  virtual void SetState(std::uint32_t state) { entry_->SetState(state); }
  virtual std::uint32_t AddPrinterMemory(std::uint32_t n) { return entry_->AddPrinterMemory(n); }
  virtual void SetValue(MPersistentObject* value) { entry_->SetValue(value); }
  virtual void Release() { entry_->Release(); }
  virtual void SetNumber(std::uint16_t number) { entry_->SetNumber(number); }
  virtual void AddCount(std::uint16_t n) { entry_->AddCount(n); }
  virtual void SetLastUse(std::uint32_t stamp) { entry_->SetLastUse(stamp); }
  virtual void SetTag(std::uint32_t tag) { entry_->SetTag(tag); }
  virtual bool AddCode(std::uint32_t code) { return entry_->AddCode(code); }
  virtual void RemoveCode(std::uint32_t code) { entry_->RemoveCode(code); }

  const RWCString& GetName() const { return entry_->GetName(); }
  void SetName(const RWCString& name) { entry_->SetName(name); }
  GFontListEntry* GetEntry() const { return entry_; }

 private:
  GFontListEntry* entry_;  // counted
};

class GFontCache {
 public:
  GFontCache() = default;
  GFontCache(const GFontCache&) = delete;
  GFontCache& operator=(const GFontCache&) = delete;
  virtual ~GFontCache();

  virtual std::uint32_t GetTotalPrinterMemory() const;
  // The list of a font downloaded before that serves `font` (made its
  // download record), or null.
  virtual GFontList* Find(GFont& font) = 0;
  // Takes `list` on every outcome: true, held by a new node at the tail
  // until the cache goes; false, deleted, when no node could be made. A
  // null list answers false.
  virtual bool Add(const GFontDescriptionRecord& record, const GFontAngleBlock& block,
                   GFontList* list);
  virtual std::uint32_t EvictOne();
  virtual void ReleaseAll();

  std::uint32_t Count() const;

 protected:
  struct Node {
    Node* next = nullptr;
    GFontList* list = nullptr;  // owned
    GFontDescriptionRecord record;
    GFontAngleBlock block;
  };

  // The first node, for the generators' searches; null when empty.
  Node* Head() const { return head_; }

 private:
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};
