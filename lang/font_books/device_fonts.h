// Device-font selection: a text request for a font that lives in the
// printer (its glyph flags hold kAllGlyphsAvailable: nothing need be
// downloaded) is matched against the printer's device fonts
// (config/fonts/device_font_list.h), so that the generator selects the
// printer's font instead of downloading one.
//
// ServesRequest: a device font serves a request (its description record R)
// when its face name is R's (same bytes), its style word R's style and its
// typeface R's typeface (the first of R's first longs); and, unless its
// kind is one of 4 to 7, for which the generators relax these two tests,
// when R's selector is among its symbol sets and it is scalable or of R's
// height.
//
// FindDeviceFont: the first device font, list by list in the composite's
// order and in each list's order, that serves the request and that
// `accept` (null: any) takes; null without lists or when none does. Its
// list's short-id association gives the name the printer knows it by
// (its second word), into `printer_name` (null when there is none).
//
// Threads: the generator's; the lists must not change during the call.
#pragma once

class GDeviceFontDescription;
class GDeviceFontListComposite;
struct GFontDescriptionRecord;

bool ServesRequest(const GDeviceFontDescription& font, const GFontDescriptionRecord& request);

using GDeviceFontFilter = bool (*)(const GDeviceFontDescription& font, void* argument);
const GDeviceFontDescription* FindDeviceFont(GDeviceFontListComposite* lists,
                                             const GFontDescriptionRecord& request,
                                             GDeviceFontFilter accept, void* argument,
                                             const char** printer_name);
