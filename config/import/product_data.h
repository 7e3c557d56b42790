// The product data that the configuration import needs and that belongs to
// the printer family the driver serves, not to the import itself: the
// identifiers of the finishing accessories (as the store and the installed
// options' text kInstalledOptionsKey -> kAccessoryOutputBinsKey name them) and
// the bundles table, which pairs each model name of the family with the store's
// word for that model.
//
// The product hands its data in here, once, before the first import
// (SetProductData); until it does, the import knows no accessory and no
// bundle: no output-bin code is remapped, no accessory marks the stapler
// installed, and the bundles key matches nothing.
//
// Ownership: the data is the product's and must outlive every import.
// Threads: set it before imports start; reading it is then safe from any
// thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// One row of the bundles table.
struct GBundleRow {
  const char* model_name;      // the model name in the driver data (8-bit)
  const char16_t* store_word;  // the store's option word for the same model
};

// Accessory identifiers, compared whole, exactly and case-sensitively with
// the installed accessory's text.
struct GAccessoryIdentifiers {
  // A: the accessory whose stacker is bin 15.
  const char* stacker = nullptr;
  // B: the three accessories whose stacker is bin 4 and whose stapled
  // stacker is bin 3, or bin 9 for `stitcher`.
  std::span<const char* const> stapler_stackers;
  // D: the one of B that also stitches (bin 9, flag kStitcherInstalledKey,
  // codes 8 and 9 of the stapling choice).
  const char* stitcher = nullptr;
  // M: the two accessories whose main and upper bins take the codes 62,
  // 63, 66 and 67.
  std::span<const char* const> mailboxes;
  // The six accessories that install the stapler (kInstalledOptionsKey ->
  // kStaplerInstalledKey), D among them.
  std::span<const char* const> staplers;
};

struct GProductData {
  GAccessoryIdentifiers accessories;
  std::span<const GBundleRow> bundles;
};

// The data in force: the product's, or none (every list empty).
const GProductData& ProductData();
// Puts `data` in force; null takes it back out.
// REQUIRES: `data` outlives every import; no import runs meanwhile.
void SetProductData(const GProductData* data);

// Whether the whole `text` equals `identifier` (null: no identifier), or
// one of `identifiers`.
bool IsAccessory(std::string_view text, const char* identifier);
bool IsAccessory(std::string_view text, std::span<const char* const> identifiers);
