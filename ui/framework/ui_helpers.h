// Small look-ups that the pages and the rules share, over a GUIContext.
// Pure apart from reading the context's trees; the sheet's thread.
#pragma once

#include <cstdint>

class GUIContext;

// What GetTrayNameId answers when no entry matches.
inline constexpr std::uint16_t kNoTrayName = 0xFFFF;

// A custom size id (16384 and up) becomes the paper id of the medium of
// the configuration's media list (kMediaListKey) that has the custom size's name
// (exactly); any other id, or one whose custom size or medium is missing,
// stays as it is.
std::uint16_t MapCustomPaperToStandardId(std::uint16_t id, GUIContext* context);

// The string id of the first entry of the context's tray map whose second
// number is `tray_id`, cut to 16 bits; kNoTrayName when none is.
std::uint16_t GetTrayNameId(std::uint16_t tray_id, GUIContext* context);
