// Media made from custom sizes (custom_media_size.h): the paper size, the
// printable area and its origin in dots at a given resolution, with the
// margins of the printer. Used by the custom-paper dialog, the device-mode
// code and the driver data's size checks.
//
// Margins come from the margin source (any model object that finds by key,
// a configuration in practice):
//   - the margin pool under kMarginPoolKey (margin_pool.h): from its set 0, the
//     block of the medium's orientation (0, 90, 180 or 270; any other, or
//     no set 0, gives margins of 0), in micrometres;
//   - else the attribute composite kMarginsKey with the 16-bit value attributes
//     kLeftMarginKey (left), kTopMarginKey (top), kRightMarginKey (right) and
//     kBottomMarginKey (bottom), read as signed, in ten-thousandths of an inch,
//     when all four are there;
//   - else none.
// What is found under these keys is used only when it is of that class;
// otherwise it is taken as missing. A negative margin counts as 0.
//
// The medium (media.h, kModelMediumKey): the custom size's name and code; the
// paper size is the custom size in dots, width and height swapped for the
// orientations 90 and 270; the printable origin is the left and top margins
// in dots (never swapped); the printable size is the paper size less both
// margins of each direction, never below 0; the given orientation and
// resolution; auxiliary code 0 and name, and media type, empty. Lengths in
// dots stop at 32767, the largest a medium holds.
//
// The settings give the resolution (the attribute composite kResolutionKey with
// the 16-bit value attributes kXResolutionKey, x, and kYResolutionKey, y) and
// the orientation (the 16-bit value attribute kOrientationKey), under the same
// rule of classes.
//
// Each function answers a new medium that the caller owns, or null when
// memory runs out or what it reads from the settings is missing. Pure
// apart from the allocation: any thread, on objects it alone uses.
#pragma once

#include <cstdint>

#include "config/paper/custom_media_size.h"
#include "config/paper/media.h"

class MPersistentObject;

// `margin_source` may be null (no margins).
GMedia* MakeMediaFromCustomSize(const GCustomMediaSize& custom_size,
                                MPersistentObject* margin_source, std::uint16_t x_resolution,
                                std::uint16_t y_resolution, std::uint32_t orientation);
// With the resolution and the orientation of `settings`; null when one of
// kResolutionKey, kXResolutionKey, kYResolutionKey and kOrientationKey is
// missing.
GMedia* MakeCustomMediaFromModel(const GCustomMediaSize& custom_size, MPersistentObject* settings,
                                 MPersistentObject* margin_source);
// With the given resolution and the orientation of `settings`; null when
// kOrientationKey is missing.
GMedia* MakeMediaFromCustomSizeOriented(const GCustomMediaSize& custom_size,
                                        MPersistentObject* settings,
                                        MPersistentObject* margin_source,
                                        std::uint16_t x_resolution, std::uint16_t y_resolution);
