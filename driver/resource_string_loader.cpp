#include "driver/resource_string_loader.h"

#include "persist/string_conversion.h"
#include "platform/host/modules.h"

RWWString& GResourceStringLoader::LoadText(RWWString& out, std::uint16_t string_id,
                                           const RWCString& text,
                                           const RWCString& module_name) const {
  NarrowToWide(text, out);
  if (string_id == 0) return out;
  char16_t buffer[kBufferUnits];
  int length = 0;
  if (!module_name.IsNull()) {
    RWWString wide_name;
    NarrowToWide(module_name, wide_name);
    platform::HMODULE library = platform::LoadLibraryW(wide_name.Data());
    if (library) {
      length = platform::LoadStringW(library, string_id, buffer, kBufferUnits);
      platform::FreeLibrary(library);
    }
  } else if (module_) {
    length = platform::LoadStringW(module_, string_id, buffer, kBufferUnits);
  }
  if (length > 0) out = RWWString(buffer, static_cast<RWSize>(length));
  return out;
}
