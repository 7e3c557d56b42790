// The calling interface of the configuration helper library ("KVSOLA32.dll",
// the driver family's feature-key store) and of the optional QCFHELPER
// entry of a second helper library, as this library calls them. Both
// libraries lie outside this system; a replacement honours these types.
//
// Wide text is UTF-16 (char16_t), terminated. Every entry answers a 32-bit
// result, 0 for "no" (QCFHELPER answers 16 bits). Arguments that carry a
// pointer are pointer-sized; entries this library never calls take
// pointer-sized words whose meaning is the helper's own.
//
// Buffers are given with their capacity (the last argument, in units of
// the buffer: char16_t, or bytes for QCFWideToChar). An entry whose result
// (with its terminator) does not fit answers 0 and delivers nothing; the
// caller then sees no word. The helper's own interface filled buffers
// without a length, which let one over-long option word overrun the
// caller's stack buffer.
//
// QCFEnumListToken consumes the list it is given: it moves the first
// comma-separated name into the token buffer and removes it (and its
// comma) from the list, answering nonzero while a name was delivered.
#pragma once

#include <cstddef>
#include <cstdint>

// A word of an entry this library never calls.
using QCFWord = std::uintptr_t;

using QCFStartConfigEntry = std::uint32_t (*)(const char16_t* printer, std::uint32_t mode,
                                              const char16_t* context, std::uint32_t word);
using QCFStartExportEntry = std::uint32_t (*)(const char16_t* printer, const char16_t* context,
                                              std::uint32_t flag);
using QCFOneWordEntry = std::uint32_t (*)(QCFWord);
using QCFTwoWordEntry = std::uint32_t (*)(QCFWord, QCFWord);
using QCFThreeWordEntry = std::uint32_t (*)(QCFWord, QCFWord, QCFWord);
using QCFSetContextEntry = std::uint32_t (*)(const char16_t* key);
using QCFSetExportEntry = std::uint32_t (*)(const char16_t* key, const char16_t* word);
using QCFGetNamedFeatureAttributeEntry = std::uint32_t (*)(const char16_t* key,
                                                           const char16_t* name, char16_t* buffer,
                                                           std::uint32_t capacity);
// `key` null: the current key.
using QCFGetEntry = std::uint32_t (*)(const char16_t* key, char16_t* buffer,
                                      std::uint32_t capacity);
using QCFEnumListTokenEntry = std::uint32_t (*)(char16_t* token, char16_t* list,
                                                std::uint32_t token_capacity);
using QCFEnumFeaturesEntry = std::uint32_t (*)(const char16_t* context, char16_t* list,
                                               std::uint32_t capacity);
using QCFCharToWideEntry = std::uint32_t (*)(char16_t* buffer, const char* text,
                                             std::uint32_t capacity);
using QCFWideToCharEntry = std::uint32_t (*)(char* buffer, const char16_t* text,
                                             std::uint32_t capacity);
using QCFNoArgumentEntry = std::uint32_t (*)();

// The request block that QCFHELPER receives (five words; the two that carry
// pointers are pointer-sized).
struct GQCFRequestBlock {
  std::uint32_t code = 0;   // the attribute key of the feature
  void* context = nullptr;  // the importer that bound the helper
  std::uint32_t third = 0;  // 0 apply, 1 extract
  std::uint32_t fourth = 0;
  void* pointer = nullptr;  // the caller's pointer argument
};
using QCFHelperEntry = std::int16_t (*)(GQCFRequestBlock* block);

inline constexpr char kQCFHelperExportName[] = "QCFHELPER";

// The 23 entries in the binding's slot order.
enum class QCFSlot : std::uint8_t {
  kStartConfig,
  kStartExport,
  kSetListSeparator,
  kSetContextRelative,
  kSetContext,
  kSetExport,
  kGetOptionAttributes,
  kGetNamedOptionAttribute,
  kGetNamedFeatureAttribute,
  kGetListSeparator,
  kGetFeatureAttributes,
  kGetContext,
  kGet,
  kGetPRV,
  kEnumOptions,
  kEnumOptionAttributes,
  kEnumListToken,
  kEnumFeatures,
  kEnumFeatureAttributes,
  kCharToWide,
  kWideToChar,
  kEndConfig,
  kEndExport,
};
inline constexpr std::size_t kQCFEntryCount = 23;

// Export names by slot.
inline constexpr const char* kQCFEntryNames[kQCFEntryCount] = {
    "QCFStartConfig",
    "QCFStartExport",
    "QCFSetListSeparator",
    "QCFSetContextRelative",
    "QCFSetContext",
    "QCFSetExport",
    "QCFGetOptionAttributes",
    "QCFGetNamedOptionAttribute",
    "QCFGetNamedFeatureAttribute",
    "QCFGetListSeparator",
    "QCFGetFeatureAttributes",
    "QCFGetContext",
    "QCFGet",
    "QCFGetPRV",
    "QCFEnumOptions",
    "QCFEnumOptionAttributes",
    "QCFEnumListToken",
    "QCFEnumFeatures",
    "QCFEnumFeatureAttributes",
    "QCFCharToWide",
    "QCFWideToChar",
    "QCFEndConfig",
    "QCFEndExport",
};

constexpr const char* QCFEntryName(QCFSlot slot) {
  return kQCFEntryNames[static_cast<std::size_t>(slot)];
}
