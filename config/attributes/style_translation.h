// Translation of a style code (a colour-rendering choice, style_attribute.h
// and tintvector_attribute.h) into the printer's own code, through the
// association lists that the configuration tree keeps under the list keys
// below: each list pairs GValueAttribute keys (key 0, the style code) with
// GValueAttribute values (the printer's code), or, for the PostScript
// generator, with GStringAttribute values.
//
// The lookup: FindByKey of the list key in the object that `holder` holds
// (the configuration root); what is found is used only when it is an
// MAssociationList. Its first association whose key object is
// content-equal to a GValueAttribute(code, key 0) gives the answer, used
// only when it is of the expected class. Anything missing or of another
// class answers 0 (or an empty text); nothing is reported.
//
// Threads: reads the tree; as the tree's owner allows.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "persist/counted_ptr.h"

// The 16-bit value of the found GValueAttribute, or 0.
std::int16_t TranslateStyleCode(std::uint32_t list_key, const GCountedPtr& holder,
                                std::uint16_t code);

// TranslateStyleCode with the list key of each kind.
std::int16_t TranslateColorMapCode(const GCountedPtr& holder, std::uint16_t code);
// GHalftone and GHalftoneEnhanced alike.
std::int16_t TranslateHalftoneCode(const GCountedPtr& holder, std::uint16_t code);
std::int16_t TranslateNeutralGraysCode(const GCountedPtr& holder, std::uint16_t code);
std::int16_t TranslateEdgeControlCode(const GCountedPtr& holder, std::uint16_t code);
// The sRGB colour and the sRGB extension share one list.
std::int16_t TranslateSRGBColorCode(const GCountedPtr& holder, std::uint16_t code);
std::int16_t TranslateSRGBExtensionCode(const GCountedPtr& holder, std::uint16_t code);

// The same lookup answering the text of the found GStringAttribute in
// `text`, which is emptied when there is none.
void LookupAssociatedString(RWCString& text, std::uint32_t list_key, const GCountedPtr& holder,
                            std::uint16_t code);
