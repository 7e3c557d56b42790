// GGeneratorClass<Self, kId>: what the three generators (ZDL XL,
// PostScript, ZDL5) share over GPrinterLanguage: the stored part and
// content equality of a class without stored fields of its own (the
// printer-language part, then version u32 1; command_class.h), the call
// log of their stand-in operations (call_log.h), and the operations whose
// printer bytes are not given, each of which only records its call:
// RemoveDownloadedFont ("RemoveDownloadedFont <name>"), SetPenPaint,
// SetPenColor, SetBrushPaint and SetBrushColor (their names; each answers
// 0). FlushToOutput hands bytes to the generator's sink (output_sink.h).
// Every constructor asks for the device-font list (GetDeviceFontList) and
// makes the generator's own font cache and code map when Self has the
// static maker `MakeFontBooks(GPrinterLanguage&)`, which also remakes them
// after a restore or an assignment (RenewFontBooks); copies start with an
// empty call log.
//
// StartDocument, the document start of each generator: the generator
// base's (printer_language.h) first, whose non-zero answer it answers;
// then, with `read_overhead` (ZDL XL and ZDL5), the per-item download
// overhead from the configuration (kItemOverheadKey); then the device-font list
// again; the answer is the sink's write error.
//
// Ownership and threads: as GPrinterLanguage.
#pragma once

#include <cstdint>
#include <utility>

#include "lang/generator/call_log.h"
#include "lang/generator/printer_language.h"
#include "output/core/command_class.h"

template <class Self, RWClassID kId>
class GGeneratorClass : public GCommandClass<Self, GPrinterLanguage, kId> {
  using Class = GCommandClass<Self, GPrinterLanguage, kId>;

 public:
  GGeneratorClass() { Construct(); }
  GGeneratorClass(const RWCString& name, GAttributeComposite* attributes,
                  MPersistentObject* configuration, const std::uint32_t& key,
                  std::uint32_t first_value, std::uint32_t second_value, std::uint32_t third_value)
      : Class(name, attributes, configuration, key, first_value, second_value, third_value) {
    Construct();
  }
  GGeneratorClass(const GGeneratorClass& other) : Class(other) { Construct(); }
  GGeneratorClass& operator=(const GGeneratorClass& other) = default;

  std::uint16_t RemoveDownloadedFont(const RWCString& name) override {
    log_.Record("RemoveDownloadedFont", name);
    return 0;
  }
  std::uint16_t SetPenPaint(GPaint&) override { return Stand("SetPenPaint"); }
  std::uint16_t SetPenColor(GColorPaint&) override { return Stand("SetPenColor"); }
  std::uint16_t SetBrushPaint(GPaint&) override { return Stand("SetBrushPaint"); }
  std::uint16_t SetBrushColor(GColorPaint&) override { return Stand("SetBrushColor"); }

  // The generator's output sink for `length` bytes at `data`.
  void FlushToOutput(const std::uint8_t* data, std::uint32_t length) {
    this->GetSink().FlushToOutput(data, length);
  }

  const GCallLog& GetCallLog() const { return log_; }

  void RenewFontBooks() override {
    if constexpr (requires { Self::MakeFontBooks(std::declval<GPrinterLanguage&>()); })
      Self::MakeFontBooks(*this);
  }

 protected:
  GCallLog& CallLog() { return log_; }

  std::uint16_t StartDocument(GDocumentStart& command, bool read_overhead) {
    if (std::uint16_t result = GPrinterLanguage::DocumentStart(command)) return result;
    if (read_overhead) this->ReadItemOverhead();
    this->GetDeviceFontList();
    return this->GetSink().GetWriteError();
  }

 private:
  // Runs in the constructors, where the call reaches this class's own
  // RenewFontBooks.
  void Construct() {
    this->GetDeviceFontList();
    GGeneratorClass::RenewFontBooks();
  }
  std::uint16_t Stand(const char* operation) {
    log_.Record(operation);
    return 0;
  }

  GCallLog log_;
};
