// GPrinterLanguage: the abstract base of the page-description generators
// (GVexalon for ZDL XL, GPostScript, GZdl5e for ZDL5), the last device of
// a job's chain. A peripheral composite that adds what every generator
// needs: the document state words, the path depth and clip-path flag, the
// downloaded-font cache and character-code map it owns (font_cache.h,
// fonts/char_code_map.h), the printer's device-font lists, a budget of
// printer memory for downloads (GPrinterMemoryBudget), the document start
// that opens the output port, and the output sink through which its
// printer language reaches that port (output_sink.h). It answers the
// driver data's escape query (output/core/printer_language_query.h): 0
// here, the escape test in the generators that override it.
//
// Document start (DocumentStart), given a GDocumentStart:
//   1. document-open word := 1; the sink begins a new document;
//   2. periodic-poll flag := 0 when the driver services exist and their
//      IsOutputPollingOff answers non-zero;
//   3. job context := the command's;
//   4. a command without a port: the port is opened through the port
//      handlers (GPortHandlerRegistry::OpenPort with the job context, the
//      command's port name and flags 0) and held as the output object;
//      when none opens, or its readiness test (IsReady) fails, the answer
//      is kPortNotReady (601); else the command holds the same port too,
//      so that the rest of the document reaches it, and whichever of the
//      two lets go last deletes it. A command with a port: the device
//      takes it as the command has it (held with it, or borrowed, as a
//      job's own port is);
//   5. a port the device holds is opened (Open, with the document name); a
//      non-zero code is the answer;
//   6. the memory budget: the range attribute keyed kPrinterMemoryKey
//      (202) in the configuration gives the capacity, value x 10485 bytes
//      (a negative value counts as 0); without one the budget is Reset;
//   7. answer 0.
// The device's own document start (job state 1) runs first.
//
// RopFromBinaryRop: a binary raster operation 1-16 as its ternary code,
// index (rop - 1) & 15 (so 0 is taken as 16) into 0, 5, 10, 15, 80, 85,
// 90, 95, 160, 165, 170, 175, 240, 245, 250, 255.
//
// GetDeviceFontList: the configuration's child keyed kDeviceFontListsKey when
// it is a GDeviceFontListComposite, else a new empty one (none after [NOMEM]);
// kept and answered. The generators ask it from their constructors and at
// document start.
//
// The slots that each generator fills: RemoveDownloadedFont, and the two
// pairs of paint set-up operations: SetPenPaint and SetPenColor (the pen's
// colour), SetBrushPaint and SetBrushColor (the brush's). The device's
// SetPenColor and SetBrushColor take a colour paint (output/color/
// paint.h); what the first of each pair takes is not told, and it is
// taken here as any paint.
//
// Paths, graphic composites and clips to a path (DrawPath,
// DrawGraphicComposite, SetClipToPath) are executed element by element on
// the generator itself, with the path depth and the clip-path flag set
// around them, so that a generator's drawing operations know whether they
// draw inside a path or a clip path.
//
// Class id 765, abstract, not registered; kind test 765, 770, 760, 753,
// 751. Content equality: the composite's, and equal document-open word,
// second document word, path depth, clip-path flag and periodic-poll flag.
//
// Stored form, after the GPeripheralComposite part (RWFile items
// little-endian; a virtual stream writes the same items):
//   version             u32  kPrinterLanguageVersion
//   document-open word  u32
//   second word         u32
//   path depth          u16
//   clip-path flag      u32
// 18 bytes. A restore of another version reads nothing more and keeps the
// fields; after a read of this version the font cache and code map are
// deleted and the generator makes new ones (RenewFontBooks).
//
// Copies: the composite part, the two document words, the path depth, the
// clip-path flag and the periodic-poll flag; no font cache, code map,
// output object, job context or device-font list, the generator words 0,
// the budget at its defaults. Assignment copies the same fields, deletes
// the font cache and code map, clears the generator words and the job
// context, and keeps the budget, the output object and the device-font
// list; the generator then makes a new font cache and code map.
//
// Ownership: the generator owns its font cache, code map and sink; holds
// the device-font list; holds a port it opened (output_target.h).
// Threads: one generator is driven by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "config/fonts/device_font_list_composite.h"
#include "lang/generator/output_sink.h"
#include "output/core/peripheral_composite.h"
#include "output/core/printer_language_query.h"
#include "persist/counted_ptr.h"

class GCharCodeMap;
class GFontCache;
class GPaint;
class GRenderDriverData;

inline constexpr std::uint32_t kPrinterLanguageVersion = 1;
// Document start's answer for a port that cannot be reached.
inline constexpr std::uint16_t kPortNotReady = 601;
// The printer memory setting (a range attribute, in units of 10485 bytes)
// and the per-item download overhead (a value attribute).
inline constexpr std::int32_t kBytesPerMemoryUnit = 10485;

// Printer memory available for downloads: used bytes, capacity and a
// per-item overhead that the generators add to each download's size.
class GPrinterMemoryBudget {
 public:
  static constexpr std::uint32_t kDefaultCapacity = 0x100000;

  GPrinterMemoryBudget() = default;
  explicit GPrinterMemoryBudget(std::uint32_t capacity) : capacity_(capacity) {}

  // Used := 0 when `n` exceeds it, else used - n; answers GetFree().
  std::uint32_t Release(std::uint32_t n);
  // Used := capacity when `n` exceeds the free bytes (answering 0), else
  // used + n; answers GetFree().
  std::uint32_t Reserve(std::uint32_t n);
  // Used := 0, capacity := `capacity`.
  void SetCapacity(std::uint32_t capacity);
  // Used := 0; answers the capacity.
  std::uint32_t Reset();
  // Capacity - used, or 0 when used exceeds the capacity.
  std::uint32_t GetFree() const { return used_ > capacity_ ? 0 : capacity_ - used_; }
  std::uint32_t GetCapacity() const { return capacity_; }
  std::uint32_t GetUsed() const { return used_; }
  void SetItemOverhead(std::uint16_t overhead) { item_overhead_ = overhead; }
  std::uint16_t GetItemOverhead() const { return item_overhead_; }

  bool operator==(const GPrinterMemoryBudget& other) const = default;

 private:
  std::uint32_t used_ = 0;
  std::uint32_t capacity_ = kDefaultCapacity;
  std::uint16_t item_overhead_ = 1;
};

class GPrinterLanguage : public GPeripheralComposite, public GPrinterLanguageQuery {
 public:
  // Fields as the file comment says; the device constructors of
  // GPeripheralComposite.
  GPrinterLanguage();
  GPrinterLanguage(const RWCString& name, GAttributeComposite* attributes,
                   MPersistentObject* configuration, const std::uint32_t& key,
                   std::uint32_t first_value, std::uint32_t second_value,
                   std::uint32_t third_value);
  GPrinterLanguage(const GPrinterLanguage& other);
  GPrinterLanguage& operator=(const GPrinterLanguage& other);
  // Deletes the font cache and the code map.
  ~GPrinterLanguage() override;

  // Each generator answers its own.
  RWCollectable* CreateDefault() const override = 0;
  RWCollectable* CreateCopy() const override = 0;
  RWClassID ClassId() const override = 0;

  // The composite's and 18.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  bool IsKindOf(const RWClassID& id) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  // 0, and nothing else.
  std::uint16_t PageStart(GPageStart& command) override;
  // The device's own (job state), then path depth and clip-path flag := 0,
  // so that no path or clip path reaches into the next page or job; 0.
  // A generator's own job abort does its port work only while
  // IsDocumentOpen (before any document start there is none to end).
  std::uint16_t PageEnd(GPageEnd& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;
  // The path's elements executed on the generator in order, the path depth
  // one above its value meanwhile (so IsInPath answers true for them) and
  // back to that value after them; the first non-zero element answer,
  // else 0.
  std::uint16_t DrawPath(GPathGraphic& graphic) override;
  // The composite's elements executed on the generator in order; the first
  // non-zero answer, else 0.
  std::uint16_t DrawGraphicComposite(GGraphicComposite& graphic) override;
  // The clip's path (when it has one) executed on the generator with the
  // clip-path flag 1, which is 0 after it; the path's answer, else 0.
  std::uint16_t SetClipToPath(GClipToPath& clip) override;

  // The budget's Release and Reserve; each answers the free bytes.
  virtual std::uint32_t ReleasePrinterMemory(std::uint32_t n);
  virtual std::uint32_t ReservePrinterMemory(std::uint32_t n);
  // Removes the downloaded font the printer knows as `name`.
  virtual std::uint16_t RemoveDownloadedFont(const RWCString& name) = 0;
  virtual std::uint16_t SetPenPaint(GPaint& paint) = 0;
  std::uint16_t SetPenColor(GColorPaint& paint) override = 0;
  virtual std::uint16_t SetBrushPaint(GPaint& paint) = 0;
  std::uint16_t SetBrushColor(GColorPaint& paint) override = 0;
  // 1: the generator takes downloaded fonts.
  virtual std::uint32_t AcceptsDownload();
  // Whether a font must be downloaded: sets `printer_name` (the name a
  // matching printer font has in the device font list) to null and
  // answers 1. The other arguments are the generators' own.
  virtual std::uint32_t QueryDownload(std::uintptr_t first, std::uintptr_t second,
                                      std::uintptr_t third, const char** printer_name,
                                      std::uintptr_t fifth, std::uintptr_t sixth,
                                      std::uintptr_t seventh);
  virtual std::uint16_t RopFromBinaryRop(std::uint16_t rop);
  // 0.
  int HasEscape(const RWCString& text) override;

  // See the file comment.
  GDeviceFontListComposite* GetDeviceFontList();
  // The embedded holder of the printer's resident fonts (built empty).
  GDeviceFontListComposite& GetDeviceFonts() { return device_fonts_; }

  bool IsDocumentOpen() const { return document_open_ != 0; }
  std::uint32_t GetSecondDocumentWord() const { return second_document_word_; }
  void SetSecondDocumentWord(std::uint32_t word) { second_document_word_ = word; }
  // The path depth, raised and lowered around a path graphic's elements.
  bool IsInPath() const { return path_depth_ > 0; }
  std::int16_t GetPathDepth() const { return path_depth_; }
  void SetPathDepth(std::int16_t depth) { path_depth_ = depth; }
  bool InClipPathMode() const { return clip_path_mode_ != 0; }
  void SetClipPathMode(std::uint32_t flag) { clip_path_mode_ = flag; }
  bool IsPeriodicPollOn() const { return periodic_poll_ != 0; }
  void SetPeriodicPoll(std::uint32_t flag) { periodic_poll_ = flag; }
  std::uint32_t GetGeneratorWord(int index) const { return generator_words_[index & 1]; }
  void SetGeneratorWord(int index, std::uint32_t word) { generator_words_[index & 1] = word; }
  GRenderDriverData* GetJobContext() const { return job_context_; }

  GPrinterMemoryBudget& GetMemoryBudget() { return budget_; }
  GOutputSink& GetSink() { return sink_; }
  GFontCache* GetFontCache() const { return font_cache_.get(); }
  GCharCodeMap* GetCodeMap() const { return code_map_.get(); }
  // Take `cache` / `map` (null: none), deleting the ones held.
  void SetFontCache(GFontCache* cache);
  void SetCodeMap(GCharCodeMap* map);
  // Makes the generator's own font cache and code map: called after a
  // restore and an assignment have deleted them (nothing here).
  virtual void RenewFontBooks();

 protected:
  // The sink's empty-flush rule (the PostScript writer polls on an empty
  // flush).
  void SetEmptyFlush(GOutputSink::EmptyFlush empty);
  // 1 when `text` holds the escape character (27), else 0: the escape
  // test of the generators whose language an escape starts a command of.
  static int HoldsEscape(const RWCString& text);
  // The configuration's value attribute keyed kItemOverheadKey, when there
  // is one, as the budget's per-item overhead (the ZDL XL and ZDL5 document
  // starts).
  void ReadItemOverhead();

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  void DropFontState();

  std::uint32_t document_open_ = 0;
  std::uint32_t second_document_word_ = 0;
  std::unique_ptr<GFontCache> font_cache_;
  std::unique_ptr<GCharCodeMap> code_map_;
  GDeviceFontListComposite device_fonts_;
  std::uint32_t generator_words_[2] = {};
  std::int16_t path_depth_ = 0;
  std::uint32_t clip_path_mode_ = 0;
  GRenderDriverData* job_context_ = nullptr;  // not owned
  GCountedPtr device_font_list_;              // a GDeviceFontListComposite, or empty
  GPrinterMemoryBudget budget_;
  std::uint32_t periodic_poll_ = 1;
  GOutputSink sink_{*this};
};
