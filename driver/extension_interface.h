// The records and function tables that cross the boundary between the
// driver and the extension libraries of the driver family, and the codes
// both sides answer.
//
// ExtensionDescription is the one byte-exact record (276 bytes): texts are
// NUL-terminated 8-bit strings in fixed buffers, the flags a little-endian
// u32 read and written byte by byte.
//   0 identity (40)   40 name (40)   80 text (32)   112 flags (4)
//   116 UI module (30)   146 job module (30)   176 text (40)   216 text (60)
// The tables and the page descriptor keep the interface's field order with
// native pointers (never stored).
//
// Nothing an extension hands over is trusted: a text without a NUL is read
// only up to its field's size (DescriptionText), texts copied into a field
// keep at most size - 1 bytes and a NUL (SetDescriptionText).
//
// Threads: records are used by the thread that holds them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"

// Codes of the exports and of the manager operations.
inline constexpr std::uint16_t kExtOk = 0;
inline constexpr std::uint16_t kExtFailed = 1;       // null handle, no module...
inline constexpr std::uint16_t kExtBufferShort = 2;  // first buffer-size bytes copied
inline constexpr std::uint16_t kExtUnknownValue = 3;
inline constexpr std::uint16_t kExtNotOnSheet = 4;  // value ids 60 to 67 on a sheet
inline constexpr std::uint16_t kExtNotSupported = 5;
inline constexpr std::uint16_t kExtTrayMapMissing = 7;
inline constexpr std::uint16_t kExtBinMapMissing = 8;
inline constexpr std::uint16_t kExtTooMany = 9;
inline constexpr std::uint16_t kExtNoSettings = 10;  // also: not registered
inline constexpr std::uint16_t kExtBufferLong = 11;  // all copied, room left
inline constexpr std::uint16_t kExtSameName = 13;
inline constexpr std::uint16_t kExtMissingText = 14;
inline constexpr std::uint16_t kExtSettingsTooLong = 15;

// The most settings bytes an extension keeps.
inline constexpr std::uint16_t kMostExtensionSettings = 50;
// The version KVDrv_QueryInterface answers, and the versions of the tables
// asked of "KVExt_QueryInterface".
inline constexpr std::uint16_t kDriverInterfaceVersion = 50;
inline constexpr std::uint16_t kExtDriverTableVersion = 0;
inline constexpr std::uint16_t kExtUITableVersion = 1;
inline constexpr std::uint16_t kExtJobTableVersion = 2;
inline constexpr char kExtQueryInterfaceName[] = "KVExt_QueryInterface";

// Description flags.
inline constexpr std::uint32_t kExtHasTrayMap = 0x1;
inline constexpr std::uint32_t kExtHasBinMap = 0x2;
inline constexpr std::uint32_t kExtHasUIModule = 0x4;
inline constexpr std::uint32_t kExtHasJobModule = 0x8;

// Language codes handed to extensions, by the printer-language device's
// class id.
inline constexpr std::uint16_t kExtLanguageXL = 12;    // class 767
inline constexpr std::uint16_t kExtLanguageZdl5 = 11;  // class 788

// The index of the shipped placeholder entry.
inline constexpr std::int32_t kExtPlaceholderIndex = 100;

struct ExtensionDescription {
  char identity[40];
  char name[40];
  char text[32];
  std::uint8_t flags[4];  // u32, little-endian
  char ui_module[30];
  char job_module[30];
  char about_text[40];
  char about_more[60];
};
static_assert(sizeof(ExtensionDescription) == 276);
static_assert(offsetof(ExtensionDescription, identity) == 0);
static_assert(offsetof(ExtensionDescription, name) == 40);
static_assert(offsetof(ExtensionDescription, text) == 80);
static_assert(offsetof(ExtensionDescription, flags) == 112);
static_assert(offsetof(ExtensionDescription, ui_module) == 116);
static_assert(offsetof(ExtensionDescription, job_module) == 146);
static_assert(offsetof(ExtensionDescription, about_text) == 176);
static_assert(offsetof(ExtensionDescription, about_more) == 216);

// The text fields in settings order: (offset, size, settings key); the
// flags (kExtensionFlagsKey) follow the third.
struct ExtensionTextField {
  std::size_t offset;
  std::size_t size;
  std::uint32_t key;
};
inline constexpr ExtensionTextField kExtensionTextFields[] = {
    {0, 40, kExtensionIdentityKey},    {40, 40, kExtensionNameKey},
    {80, 32, kExtensionTextKey},       {116, 30, kExtensionUIModuleKey},
    {146, 30, kExtensionJobModuleKey}, {176, 40, kExtensionAboutTextKey},
    {216, 60, kExtensionAboutMoreKey}};
// The field at offset 146 (job module): required only with kExtHasJobModule.
inline constexpr std::size_t kJobModuleOffset = 146;

std::uint32_t DescriptionFlags(const ExtensionDescription& description);
void SetDescriptionFlags(ExtensionDescription& description, std::uint32_t flags);
// The text of `field`: up to its NUL, or the whole field without one.
RWCString DescriptionText(const ExtensionDescription& description, const ExtensionTextField& field);
// Copies at most the field size - 1 bytes of `text` and a NUL.
void SetDescriptionText(ExtensionDescription& description, const ExtensionTextField& field,
                        const RWCString& text);
inline RWCString DescriptionName(const ExtensionDescription& description) {
  return DescriptionText(description, kExtensionTextFields[1]);
}

// Driver table (version 0), user-interface table (version 1), in the
// interface's order; a null entry is a function not provided. A map
// function hands over (device records, record count).
using ExtDescribe = std::uint16_t (*)(ExtensionDescription* description, std::uint16_t language);
using ExtGetMap = std::uint16_t (*)(const void** records, std::uint16_t* count,
                                    std::uint16_t language);
using ExtNotify = std::uint16_t (*)();
using ExtGetDefaultSettings = std::uint16_t (*)(const char** data, std::uint16_t* count);
struct ExtensionDriverTable {
  ExtDescribe describe;
  ExtGetMap get_tray_map;
  ExtGetMap get_bin_map;
  ExtNotify installed;
  ExtNotify removed;
  ExtGetDefaultSettings get_default_settings;
};

// Page descriptor: flags to the page record's dwFlags, a word not read,
// the dialog template (a pointer or a resource id), the dialog procedure.
struct ExtensionPageDescriptor {
  std::uint32_t flags;
  std::uint32_t reserved;
  const void* dialog_template;
  void* dialog_procedure;
};
using ExtQueryInterfaceFn = std::uint16_t (*)(std::uint16_t version, void* table);
using ExtGetPages = std::uint16_t (*)(std::uint16_t* count, ExtensionPageDescriptor* pages,
                                      ExtQueryInterfaceFn driver_query, void* handle);
using ExtRelease = std::uint16_t (*)(void* handle);
struct ExtensionUITable {
  ExtGetPages get_pages;
  ExtRelease release;
};

// Job table (version 2): start(driver export, mask, handle) -> 0 or a
// failure, end(handle), get data(code, bytes, byte count, handle) -> 0
// when bytes are handed over, free data(bytes, handle). The bytes stay the
// extension's until free data.
using ExtJobStart = std::uint16_t (*)(ExtQueryInterfaceFn driver_query, std::uint32_t* mask,
                                      void* handle);
using ExtJobEnd = std::uint16_t (*)(void* handle);
using ExtGetJobData = std::uint16_t (*)(std::uint32_t code, const std::uint8_t** data,
                                        std::uint16_t* count, void* handle);
using ExtFreeJobData = std::uint16_t (*)(const std::uint8_t* data, void* handle);
struct ExtensionJobTable {
  ExtJobStart start;
  ExtJobEnd end;
  ExtGetJobData get_data;
  ExtFreeJobData free_data;
};

// Data codes of the job table, and the bits of the mask a start function
// sets: an extension is asked for a code only when its mask has the bit.
// kExtJobNoData is the mask before start and after a failed start.
inline constexpr std::uint32_t kExtJobNoData = 0x10;
inline constexpr std::uint32_t kExtDocStartJobLanguage = 0x20;
inline constexpr std::uint32_t kExtDocEndJobLanguage = 0x40;
inline constexpr std::uint32_t kExtDocStartPageDescription = 0x80;
inline constexpr std::uint32_t kExtDocEndPageDescription = 0x100;
inline constexpr std::uint32_t kExtPageStartFirst = 0x200;  // first hand-off filter
inline constexpr std::uint32_t kExtPageEndFirst = 0x400;
inline constexpr std::uint32_t kExtPageStartSecond = 0x800;  // second hand-off filter
inline constexpr std::uint32_t kExtPageEndSecond = 0x1000;

// Map records an extension hands over. A device record is followed by its
// items; the next record starts after them.
struct ExtensionDeviceRecord {
  const char* name;
  std::int16_t item_count;
  std::uint16_t unused;
};
struct ExtensionTrayItem {
  const char* name;
  std::int16_t code;
  std::uint16_t pdl_tray;
};
struct ExtensionBinItem {
  const char* name;
  std::int16_t code;
  std::uint16_t unused;
  const char* job_language_name;
};

// The settings copy-out over loaded extensions: the settings string of the
// last description named `name` (empty without one); min(length, size)
// bytes into `buffer`, no NUL. kExtNoSettings (buffer untouched),
// kExtBufferShort, kExtBufferLong or kExtOk.
// REQUIRES: `buffer` holds `size` bytes; `count` <= 4.
std::uint16_t CopyOutExtensionSettings(ExtensionDescription* const* descriptions,
                                       const RWCString* settings, std::uint16_t count, char* buffer,
                                       std::uint16_t size, const char* name);
