// The converter factory's table: the 62 short feature names (as the store
// enumerates them) in the order the factory tries them, each with the
// function that makes its converter, and the maker of the bundles
// converter, which stands outside the chain. The importer reaches the
// table through one pointer (GConfigurationImporter::SetConverterTable),
// so tests can aim it at converters of their own.
//
// A row whose maker is null (a test's table may have one) names a feature
// that no converter serves: the factory answers null for it and the
// importer skips it, as it skips names outside the list. The maker of
// "Stapling" chooses by the model:
// the stapling converter when the document settings (kDocumentSettingsKey) hold
// the stapling attribute kStaplingKey, else the stapler choice's stapling
// converter, and none without document settings.
//
// Immutable after start-up: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class GAttributeComposite;
class GDriverData;
class GQCFLibrary;
class GSettingConverter;
struct GFeatureBinding;

// What a maker may hand its converter.
struct GConverterArguments {
  GQCFLibrary* store = nullptr;          // the importer's feature store
  GDriverData* driver_data = nullptr;    // the importer's driver data
  GAttributeComposite* root = nullptr;   // the settings model (some makers choose by it)
  const char16_t* short_name = nullptr;  // the name that matched
};

// A new converter, or null (also when memory is exhausted or the model
// gives the name no converter).
using GConverterMaker = GSettingConverter* (*)(const GConverterArguments& arguments);

struct GConverterEntry {
  const char16_t* short_name;
  GConverterMaker make;
};

struct GConverterTable {
  std::span<const GConverterEntry> chain;  // tried in order, first equal name wins
  GConverterMaker bundles = nullptr;       // "physical/Bundles"
};

inline constexpr std::size_t kConverterChainLength = 62;

// The driver's own table.
const GConverterTable& DefaultConverterTable();

// The table converters among the driver's (table_converter.h), each with
// its descriptor and the function that makes it (with the same arguments
// the factory hands it): every converter whose model steps a descriptor
// describes and whose extract writes its rows' words to its extract key,
// the sub-keys that other converters run among them, so that their tables
// can be walked without being retyped. A converter of selectable keys
// stands once per selector.
struct GDescribedConverterInfo {
  const char* class_name;  // with the selector's name after a '_'
  const GFeatureBinding* descriptor;
  GConverterMaker make;
};
std::span<const GDescribedConverterInfo> DescribedConverters();
