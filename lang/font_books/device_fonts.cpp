#include "lang/font_books/device_fonts.h"

#include "config/fonts/device_font_list_composite.h"
#include "fonts/font_description_record.h"

namespace {

// The kinds (font sources) whose symbol-set and height tests are relaxed.
constexpr std::uint32_t kFirstRelaxedKind = 4;
constexpr std::uint32_t kLastRelaxedKind = 7;

struct Search {
  const GFontDescriptionRecord* request;
  GDeviceFontFilter accept;
  void* argument;
};

int Serves(const GDeviceFontDescription& font, void* argument) {
  const auto& search = *static_cast<const Search*>(argument);
  return ServesRequest(font, *search.request) &&
         (!search.accept || search.accept(font, search.argument));
}

}  // namespace

bool ServesRequest(const GDeviceFontDescription& font, const GFontDescriptionRecord& request) {
  if (font.GetFaceName() != request.face_name || font.GetStyleWord() != request.style ||
      font.GetTypefaceValue() != request.longs1[0]) {
    return false;
  }
  if (font.GetKind() >= kFirstRelaxedKind && font.GetKind() <= kLastRelaxedKind) return true;
  return font.GetSymbolSets().IndexOf(request.selector) >= 0 &&
         (font.IsScalable() || font.GetHeight() == request.height);
}

const GDeviceFontDescription* FindDeviceFont(GDeviceFontListComposite* lists,
                                             const GFontDescriptionRecord& request,
                                             GDeviceFontFilter accept, void* argument,
                                             const char** printer_name) {
  if (printer_name) *printer_name = nullptr;
  if (!lists) return nullptr;
  Search search{&request, accept, argument};
  const MPersistentComposite* composite = lists->Lists();
  for (RWSize i = 0; i < composite->EntryCount(); ++i) {
    auto* list = dynamic_cast<GDeviceFontList*>(composite->Children()[i].Get());
    GDeviceFontDescription* found = nullptr;
    if (!list || !list->FindDescription(&Serves, &search, found)) continue;
    if (printer_name) *printer_name = list->LookupShortId(found->GetSecondWord());
    return found;
  }
  return nullptr;
}
