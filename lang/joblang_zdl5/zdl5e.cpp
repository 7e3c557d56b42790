#include "lang/joblang_zdl5/zdl5e.h"

#include <algorithm>
#include <memory>

#include "fonts/font.h"
#include "lang/font_books/char_code_maps.h"
#include "output/commands/job_commands.h"
#include "output/core/byte_buffer.h"
#include "output/text/download_face.h"
#include "output/text/text_string.h"

namespace {

constexpr RWClassRegistration kZdl5eClasses[] = {
    {&RWCreate<GZdl5e>, kGZdl5eId, "GZdl5e"},
};

}  // namespace

std::span<const RWClassRegistration> Zdl5eClasses() {
  return kZdl5eClasses;
}

std::uint16_t GZdl5e::DocumentStart(GDocumentStart& command) {
  return StartDocument(command, true);
}

std::uint16_t GZdl5e::OnCommand718(GCommand&) {
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

GZdl5eFontList* GZdl5e::DownloadFont(GFont& font) {
  auto* list = dynamic_cast<GZdl5eFontList*>(FindFontList(*this, font));
  if (!list) {
    const GFontDescriptionRecord* record = font.GetDescription();
    const GFontAngleBlock* block = font.GetAngleBlock();
    if (!record || !block || !GetFontCache()) return nullptr;
    std::unique_ptr<GZdl5eFontList> made(GZdl5eFontList::New(this));
    std::unique_ptr<GFontList> carried(made ? made->Clone() : nullptr);
    if (!carried) return nullptr;
    made->SetState(ExpectedFontState(*block, font.GetFontKind()));
    if (!GetFontCache()->Add(*record, *block, made.release())) return nullptr;
    list = static_cast<GZdl5eFontList*>(carried.get());
    font.SetDownloadRecord(carried.release());
  }
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
  GByteBuffer* bitmap = nullptr;
  const std::uint32_t size =
      font.GetImplementation()->GetGlyphBitmap(code, font.GetSelector(), metrics, bitmap);
  delete bitmap;
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
