// GPrinterLanguageQuery: what the driver data asks of the printer's
// printer-language generator (a device of kind 765 under the printer
// object): whether a text holds an escape character that the language
// would take as a command. The generators that answer it derive from this
// interface beside their device class; the driver data finds the device
// by kind and asks through a cross cast, so a generator without the query
// simply has none.
//
// Header only, no data: deriving from it needs no symbol of output_core.
// Threads: as the device.
#pragma once

#include "foundation/rw/cstring.h"
#include "foundation/rw/defs.h"

// The class id of the printer-language generators' base, by which the
// driver data finds one.
inline constexpr RWClassID kGPrinterLanguageId = 765;

class GPrinterLanguageQuery {
 public:
  GPrinterLanguageQuery() = default;
  GPrinterLanguageQuery(const GPrinterLanguageQuery&) = delete;
  GPrinterLanguageQuery& operator=(const GPrinterLanguageQuery&) = delete;
  virtual ~GPrinterLanguageQuery() = default;

  // 1 when `text` (8-bit) holds an escape character of the language,
  // else 0.
  virtual int HasEscape(const RWCString& text) = 0;
};
