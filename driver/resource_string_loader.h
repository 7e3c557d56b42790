// GResourceStringLoader: turns a display string of the configuration model
// (a string-resource number, a fallback text and the name of a resource
// module) into the text to show: the string resource of the named module,
// or of the module the loader was made with, or the fallback text. Modules
// are loaded through the platform's loader and freed again at once.
//
// The display string's three fields are given to LoadText one by one; the
// configuration model's display-string class hands them over.
//
// Ownership: the loader keeps the module handle it was given but does not
// free it. Threads: a loader keeps no state but the handle; any thread.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

class GResourceStringLoader {
 public:
  // Units of the buffer a string resource is read into: strings are cut at
  // 255 characters.
  static constexpr int kBufferUnits = 256;

  // `module` (may be null) serves display strings that name no module.
  explicit GResourceStringLoader(platform::HMODULE module = nullptr) : module_(module) {}
  GResourceStringLoader(const GResourceStringLoader&) = delete;
  GResourceStringLoader& operator=(const GResourceStringLoader&) = delete;
  virtual ~GResourceStringLoader() = default;

  // Starts from `text` (code-page text, widened). When `string_id` is not 0,
  // loads string `string_id` of module `module_name` (loaded, read, freed),
  // or of the loader's module when `module_name` is empty; a string of
  // non-zero length replaces the text. A module that does not load or a
  // missing string leaves the text; nothing is reported. Answers `out`.
  RWWString& LoadText(RWWString& out, std::uint16_t string_id, const RWCString& text,
                      const RWCString& module_name) const;

 private:
  platform::HMODULE module_;
};
