#include "persist/string_conversion.h"

int NarrowToWide(const RWCString& narrow, RWWString& wide) {
  wide = RWWString::FromMultiByte(narrow);
  return 1;
}

int WideToNarrow(const RWWString& wide, RWCString& narrow) {
  narrow = wide.IsAscii() ? wide.ToAscii() : wide.ToMultiByte();
  return 1;
}

int WideToWide(const RWWString& source, RWWString& copy) {
  copy = source;
  return 1;
}
