#include "lang/joblang_zdl5/zdl5e.h"

#include <algorithm>
#include <memory>

#include "config/fonts/device_font_description.h"
#include "fonts/font.h"
#include "lang/font_books/char_code_maps.h"
#include "lang/font_books/device_fonts.h"
#include "lang/text/download_face.h"
#include "lang/text/text_string.h"
#include "output/commands/job_commands.h"

namespace {

constexpr RWClassRegistration kZdl5eClasses[] = {
    {&RWCreate<GZdl5e>, kGZdl5eId, "GZdl5e"},
};

// The device font a list stands for, or null for a downloaded font.
const GDeviceFontDescription* DeviceFontOf(const GFontList& list) {
  return list.GetState() == kFontResident
             ? dynamic_cast<const GDeviceFontDescription*>(list.GetValue())
             : nullptr;
}

// Whether a device font's selection can be made for the request height
// `*argument` (a double).
bool Selectable(const GDeviceFontDescription& font, void* argument) {
  RWCString selection;
  return GZdl5e::MakeSelection(font, *static_cast<const double*>(argument), selection);
}

}  // namespace

std::span<const RWClassRegistration> Zdl5eClasses() {
  return kZdl5eClasses;
}

std::uint16_t GZdl5e::DocumentStart(GDocumentStart& command) {
  return StartDocument(command, true);
}

std::uint16_t GZdl5e::OnPassBreak(GCommand&) {
  return SendPadding();
}

std::uint16_t GZdl5e::SendPadding() {
  GetSink().PutRepeated(0, kZdl5PaddingBytes);
  GetSink().Flush();
  return GetSink().GetWriteError();
}

std::uint16_t GZdl5e::DeleteSoftFont(std::uint32_t id) {
  CallLog().Record("DeleteSoftFont", {id});
  return 0;
}

int GZdl5e::HasEscape(const RWCString& text) {
  return HoldsEscape(text);
}

void GZdl5e::MakeFontBooks(GPrinterLanguage& generator) {
  generator.SetFontCache(RWNew<GZdl5eFontCache>());
  generator.SetCodeMap(RWNew<GZdl5eCharCodeMap>());
}

bool GZdl5e::MakeSelection(const GDeviceFontDescription& font, double requested, RWCString& out) {
  if (font.GetKind() == kSelectionAsIsKind) {
    out += font.GetSelectionString();
    return true;
  }
  return FillSelectionTemplate(font.GetSelectionString(), requested, out);
}

GZdl5eFontList* GZdl5e::DownloadFont(GFont& font) {
  auto* list = dynamic_cast<GZdl5eFontList*>(FindFontList(*this, font));
  if (!list) {
    const GFontDescriptionRecord* record = font.GetDescription();
    const GFontAngleBlock* block = font.GetAngleBlock();
    if (!record || !block || !GetFontCache()) return nullptr;
    const std::uint32_t state = ExpectedFontState(*block, font.GetFontKind());
    const GDeviceFontDescription* device = nullptr;
    const char* printer_name = nullptr;
    double height = record->height;
    if (state == kFontResident)
      device = FindDeviceFont(GetDeviceFontList(), *record, &Selectable, &height, &printer_name);
    std::unique_ptr<GZdl5eFontList> made(GZdl5eFontList::New(this));
    std::unique_ptr<GFontList> carried(made ? made->Clone() : nullptr);
    if (!carried) return nullptr;
    made->SetState(state);
    if (device) {
      auto* held = RWNew<GDeviceFontDescription>(*device);
      if (!held) return nullptr;
      made->SetValue(held);
      made->SetName(printer_name ? RWCString(printer_name) : device->GetFaceName());
    }
    if (!GetFontCache()->Add(*record, *block, made.release())) return nullptr;
    list = static_cast<GZdl5eFontList*>(carried.get());
    font.SetDownloadRecord(carried.release());
  }
  if (DeviceFontOf(*list)) return list;  // in the printer: nothing to send
  if (list->GetPrinterMemory() == 0) {
    const std::uint32_t id = list->GetFontId();
    if (id == 0) return nullptr;  // no soft-font id is left
    list->AddPrinterMemory(std::max<std::uint32_t>(GetMemoryBudget().GetItemOverhead(), 1));
    CallLog().Record("DownloadFont", {id});
  }
  return list;
}

void GZdl5e::SendCharacter(GFont& font, GZdl5eFontList& list, std::uint16_t code,
                           std::uint16_t mapped) {
  GGlyphMetrics metrics;
  const std::uint32_t size =
      font.GetImplementation()->GetGlyphSize(code, font.GetSelector(), metrics);
  list.AddCode(mapped);
  list.MarkPage(mapped);
  list.AddPrinterMemory(size + GetMemoryBudget().GetItemOverhead());
  CallLog().Record("DownloadCharacter", {list.GetFontId(), mapped, size});
}

std::uint16_t GZdl5e::DrawTextString(GTextStringGraphic& graphic) {
  GFont* font = graphic.GetFont();
  GTextString* text = graphic.GetText();
  GZdl5eFontList* list = font && text ? DownloadFont(*font) : nullptr;
  if (!list) return GetSink().GetWriteError();
  if (const GDeviceFontDescription* device = DeviceFontOf(*list)) {
    // A scalable device font serves requests of every height: each gets
    // its own selection, and one that cannot be made draws nothing.
    RWCString selection;
    if (MakeSelection(*device, font->GetDescription()->height, selection)) {
      list->SetLastUse(++use_stamp_);
      CallLog().Record("SelectFont", selection);
      CallLog().Record("DrawText", {0, text->GetLength()});
    }
    return GetSink().GetWriteError();
  }
  const GTextString mapped(*text, kFontCodeSet, GetCodeMap());
  for (std::uint32_t i = 0; i < mapped.GetLength(); ++i) {
    const std::uint16_t code = mapped.GetCode(i);
    // Code 0 passes through the map as itself: only another code that
    // comes back as kNoMappedCode found the numbering run out.
    const bool unmapped = code == kNoMappedCode && text->GetCode(i) != 0;
    if (!unmapped && !list->ContainsCode(code)) SendCharacter(*font, *list, text->GetCode(i), code);
  }
  list->SetLastUse(++use_stamp_);
  CallLog().Record("DrawText", {list->GetFontId(), text->GetLength()});
  return GetSink().GetWriteError();
}

std::uint16_t GZdl5e::DownloadFace(GDownloadFace& command) {
  if (GFont* font = command.GetFont()) DownloadFont(*font);
  return GetSink().GetWriteError();
}

template class MPersistentClass<GZdl5e, GPrinterLanguage, kGZdl5eId>;
