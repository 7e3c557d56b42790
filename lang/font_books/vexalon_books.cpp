#include "lang/font_books/vexalon_books.h"

GVexalonFontList* GVexalonFontList::New(GPrinterLanguage* generator) {
  return NewFontList<GVexalonFontList, GVexalonFontListEntry>(generator);
}

GFontList* GVexalonFontList::Clone() const {
  return RWNew<GVexalonFontList>(&Entry());
}
