// The resources a module of the module table carries besides its string
// table: dialog templates, bitmaps and cursors, each named by a 16-bit id,
// and one version record (platform/host/version_info.h reads it).
// Plain values: the module table copies them when they are added, and the
// windowing host (platform/ui/) copies what it takes out. A build-time
// generator turns a resource script into one ModuleResources (resources/).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/types.h"

namespace platform {

// Largest id of a resource (ids are 16-bit integer names).
inline constexpr UINT kMaxResourceId = 0xFFFF;

// One control of a dialog template. Positions are in pixels of the
// dialog's client area (the host has no dialog units).
struct DialogItemTemplate {
  int id = 0;                 // control id; -1 for controls nobody addresses
  std::u16string class_name;  // "Button", "Edit", ... or a registered class
  DWORD style = 0;            // the whole window style (visible, disabled included)
  std::u16string text;
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const DialogItemTemplate&) const = default;
};

struct DialogTemplate {
  UINT id = 0;
  std::u16string caption;
  DWORD style = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<DialogItemTemplate> items;  // in creation (and tab) order
  bool operator==(const DialogTemplate&) const = default;
};

// 32-bit pixels, rows from the top, each 0x00RRGGBB (a 32-bit bitmap's
// bytes B, G, R, 0 read as one little-endian word). REQUIRES: pixels.size()
// == width * height.
struct BitmapResource {
  UINT id = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const BitmapResource&) const = default;
};

// A cursor's size and hot spot; the host draws nothing, so no image.
struct CursorResource {
  UINT id = 0;
  int width = 0;
  int height = 0;
  int hot_x = 0;
  int hot_y = 0;
  bool operator==(const CursorResource&) const = default;
};

// A file's version record: its translations (language, code page), in
// order, and its string values named by their whole sub-block path
// ("\StringFileInfo\040904b0\ProductName"). Empty: no record.
struct FileVersionData {
  std::vector<std::pair<WORD, WORD>> translations;
  std::vector<std::pair<std::u16string, std::u16string>> strings;  // sub-block, text
  bool empty() const { return translations.empty() && strings.empty(); }
  bool operator==(const FileVersionData&) const = default;
};

struct ModuleResources {
  std::vector<std::pair<UINT, std::u16string>> strings;
  std::vector<DialogTemplate> dialogs;
  std::vector<BitmapResource> bitmaps;
  std::vector<CursorResource> cursors;
  FileVersionData version;
  bool operator==(const ModuleResources&) const = default;
};

}  // namespace platform
