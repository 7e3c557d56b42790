// GOutputBinConverter: "printing/OutputBin", kDocumentSettingsKey ->
// kOutputBinKey.
//
// Apply and extract first offer the key to the helper's own handler
// (GQCFLibrary::CallHelper: request kOutputBinKey, this converter, 0 for apply,
// 1 for extract); when it takes the key, the converter answers 1 and does
// nothing more with the word. Otherwise apply matches the word (the first
// equal row), then, when the installed accessory's text (kInstalledOptionsKey
// -> kAccessoryOutputBinsKey) is there, replaces some codes by those of that
// accessory (product_data.h):
//   "Stacker"          15 for accessory A, 4 for any of B
//   "Stacker-Stapled"  9 for D, 3 for the other two of B
//   "MainBinFaceDown"  62 for any of M, else 60 ("MainBinFaceUp" 63 or 61,
//                      "UpperBinFaceDown" 66 or 64, "UpperBinFaceUp" 67
//                      or 65)
// and records a copy of the attribute, matched or not, once a word was
// read. After either path it records the lock of kOutputBinKey when the store
// says the key is locked. Apply answers 1 when the handler took the key or a
// word matched.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GOutputBinConverter final : public GTableConverter {
 public:
  explicit GOutputBinConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  // Whether the helper's handler took the key.
  bool OfferToHelper(std::uint32_t direction);
};
