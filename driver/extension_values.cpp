#include "driver/extension_values.h"

#include <cstring>
#include <iterator>
#include <optional>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_interface.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "output/core/command.h"
#include "output/core/peripheral.h"

namespace {

// Class ids of the commands that choose a source.
constexpr RWClassID kDocumentStartClass = 705;
constexpr RWClassID kPageStartClass = 709;
constexpr RWClassID kPageEndClass = 710;

enum class Rule { kR1, kR2, kR3, kR4, kR5 };
enum class From { kCommand, kDefaults, kNone };
// By rule: the source on 705, 709, 710 and any other command.
constexpr From kSources[5][4] = {
    {From::kCommand, From::kDefaults, From::kDefaults, From::kNone},
    {From::kCommand, From::kCommand, From::kDefaults, From::kNone},
    {From::kDefaults, From::kDefaults, From::kDefaults, From::kNone},
    {From::kDefaults, From::kCommand, From::kDefaults, From::kNone},
    {From::kDefaults, From::kDefaults, From::kDefaults, From::kDefaults}};

// How a row reads its value.
enum class Read {
  kValue,              // value attribute `key` (inside composite `part`)
  kString,             // string attribute `key`, through the media type map
  kPaperCode,          // from a command: the medium's paper size code
  kOrientation,        // from a command: the medium's orientation
  kMediaType,          // from a command: the medium's media type name
  kMediaField,         // the medium's geometry by id - 60; not on a sheet
  kResolution,         // composite kResolutionKey: its x, y and mode
  kWithStaplerChoice,  // `key` only when kStaplerChoiceKey is in the same source
  kGated,              // kEdgeToEdgeKey behind the installed options' kEdgeToEdgeGateKey
  kCollation,          // kCollateKey on a sheet, kCollatedCopiesKey on the job side; answers 0
};

struct Pair {
  std::int32_t from;
  std::uint16_t to;
};
// Pairs first, then a range moved by `add`, else the fallback.
enum class Otherwise { kRaw, kZero, kOtherSize };
struct Translation {
  const Pair* pairs;
  std::size_t count;
  std::int32_t low, high, add;
  Otherwise otherwise;
};

constexpr Pair kPaperPairs[] = {{1, 31},  {6, 32},  {8, 40},  {13, 42}, {14, 43}, {15, 41},
                                {16, 44}, {17, 34}, {18, 59}, {19, 59}, {20, 59}, {21, 35},
                                {22, 36}, {23, 33}, {27, 37}, {39, 38}, {40, 39}, {41, 47},
                                {42, 48}, {43, 50}, {44, 49}, {55, 46}};
constexpr Pair kTrayPairs[] = {{1, 116}, {2, 126},  {3, 117},  {4, 127},  {5, 128},
                               {6, 115}, {13, 118}, {18, 114}, {19, 113}, {20, 119}};
constexpr Pair kBinPairs[] = {{0, 131}, {1, 132}, {2, 133}, {3, 134}, {4, 149}, {5, 135}, {6, 136}};
constexpr Pair kDuplexPairs[] = {{1, 152}, {2, 153}};
constexpr Pair kBookletPairs[] = {{1, 161}, {2, 162}};
constexpr Pair kNupPairs[] = {{1, 0}, {2, 172}, {4, 173}, {6, 174}, {9, 175}, {16, 176}};
constexpr Pair kNupOrderPairs[] = {{0, 181}, {1, 182}, {2, 183}, {3, 184}};
constexpr Pair kOrientationPairs[] = {{0, 71}, {90, 72}, {180, 73}, {270, 74}};
constexpr Pair kFlagPairs[] = {{1, 1}};
constexpr Pair kGatedPairs[] = {{-1, 211}};

template <std::size_t N>
constexpr Translation Pairs(const Pair (&pairs)[N], Otherwise otherwise = Otherwise::kRaw,
                            std::int32_t low = 1, std::int32_t high = 0, std::int32_t add = 0) {
  return {pairs, N, low, high, add, otherwise};
}
constexpr Translation kRaw = {nullptr, 0, 1, 0, 0, Otherwise::kRaw};
constexpr Translation kPaper = Pairs(kPaperPairs, Otherwise::kOtherSize);
constexpr Translation kTray = Pairs(kTrayPairs, Otherwise::kRaw, 21, 26, 99);
constexpr Translation kBin = Pairs(kBinPairs, Otherwise::kRaw, 16, 27, 121);
constexpr Translation kFlag = Pairs(kFlagPairs, Otherwise::kZero);
constexpr Translation kMediaTypeMap = kRaw;  // names: MediaTypeCode
constexpr Translation kStaplingCodes = {nullptr, 0, 0, 7, 192, Otherwise::kRaw};

struct ValueRow {
  std::uint16_t id;
  Rule rule;
  Read read;
  std::uint32_t key;        // on the job side (and on a sheet unless sheet_key)
  std::uint32_t sheet_key;  // 0: key
  std::uint32_t part;       // 0: the source itself
  Translation translation;
};

constexpr ValueRow kValueRows[] = {
    {30, Rule::kR2, Read::kPaperCode, kPaperSizeKey, 0, 0, kPaper},
    {60, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {61, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {62, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {63, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {64, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {65, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {66, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {67, Rule::kR2, Read::kMediaField, 0, 0, 0, kRaw},
    {70, Rule::kR2, Read::kOrientation, kOrientationKey, 0, 0, Pairs(kOrientationPairs)},
    {80, Rule::kR2, Read::kMediaType, kMediaTypeKey, 0, 0, kMediaTypeMap},
    {81, Rule::kR3, Read::kString, kOtherPagesMediaTypeKey, 0, 0, kMediaTypeMap},
    {82, Rule::kR3, Read::kString, kBackCoverMediaTypeKey, 0, 0, kMediaTypeMap},
    {110, Rule::kR4, Read::kValue, kPaperSourceKey, 0, 0, kTray},
    {111, Rule::kR3, Read::kValue, kOtherPagesSourceKey, 0, 0, kTray},
    {112, Rule::kR3, Read::kValue, kBackCoverSourceKey, 0, 0, kTray},
    {130, Rule::kR1, Read::kValue, kOutputBinKey, 0, 0, kBin},
    {150, Rule::kR2, Read::kValue, kDuplexKey, 0, 0, Pairs(kDuplexPairs)},
    {160, Rule::kR1, Read::kValue, kBookletKey, 0, 0, Pairs(kBookletPairs)},
    {165, Rule::kR3, Read::kValue, kBookletTargetSizeKey, 0, 0, kPaper},
    {170, Rule::kR1, Read::kValue, kPagesPerSheetKey, 0, kNupSettingsKey, Pairs(kNupPairs)},
    {180, Rule::kR1, Read::kValue, kNupPageOrderKey, 0, kNupSettingsKey, Pairs(kNupOrderPairs)},
    {190, Rule::kR1, Read::kValue, kStaplerChoiceKey, 0, 0, kRaw},
    {191, Rule::kR1, Read::kWithStaplerChoice, kStaplerStaplingKey, 0, 0, kStaplingCodes},
    {200, Rule::kR2, Read::kResolution, kResolutionKey, 0, 0, kRaw},
    {210, Rule::kR1, Read::kGated, kEdgeToEdgeKey, 0, 0, Pairs(kGatedPairs)},
    {220, Rule::kR1, Read::kValue, kFitToOtherSizeKey, 0, 0, kFlag},
    {224, Rule::kR1, Read::kValue, kScalePageChoiceKey, 0, 0, kFlag},
    {230, Rule::kR1, Read::kValue, kScalePercentKey, 0, 0, kRaw},
    {240, Rule::kR1, Read::kValue, kCopiesKey, 0, 0, kRaw},
    {245, Rule::kR3, Read::kCollation, kCollatedCopiesKey, kCollateKey, 0, kRaw},
    {250, Rule::kR3, Read::kValue, kTargetPaperSizeKey, 0, 0, kPaper},
    {260, Rule::kR5, Read::kValue, kPrinterHardDiskKey, 0, kInstalledOptionsKey, kFlag},
    {261, Rule::kR5, Read::kValue, kDuplexUnitKey, 0, kInstalledOptionsKey, kFlag},
    {262, Rule::kR5, Read::kValue, kMemoryKey, 0, kInstalledOptionsKey, kRaw},
    {263, Rule::kR5, Read::kValue, kDriverWorkSpaceKey, 0, kInstalledOptionsKey, kRaw},
    {264, Rule::kR5, Read::kValue, kCollationUnitKey, 0, kInstalledOptionsKey, kFlag},
    {265, Rule::kR1, Read::kValue, kTonerliteKey, 0, 0, kRaw},
};

// Media type names in the order they are tested; any other is 83.
struct MediaName {
  const char* name;
  std::uint16_t code;
};
constexpr MediaName kMediaNames[] = {
    {"Plain", 89},       {"Preprinted", 90}, {"Letterhead", 88},  {"Transparency", 94},
    {"Prepunched", 91},  {"Labels", 87},     {"Bond", 84},        {"Recycled", 92},
    {"Color", 86},       {"Card Stock", 85}, {"Rough", 93},       {"Vellum", 95},
    {"Heavy", 96},       {"Glossy", 97},     {"Gloss", 97},       {"28lb Type1", 98},
    {"28 lb Type1", 98}, {"28lb Type2", 99}, {"28 lb Type2", 99}, {"Envelope", 100}};
constexpr std::uint16_t kOtherMediaType = 83;
constexpr std::uint16_t kOtherPaperSize = 59;

std::uint16_t MediaTypeCode(const RWCString& name) {
  for (const MediaName& known : kMediaNames) {
    if (name == known.name) return known.code;
  }
  return kOtherMediaType;
}

std::uint16_t Translate(const Translation& t, std::int32_t value) {
  for (std::size_t i = 0; i < t.count; ++i) {
    if (t.pairs[i].from == value) return t.pairs[i].to;
  }
  if (value >= t.low && value <= t.high) return static_cast<std::uint16_t>(value + t.add);
  switch (t.otherwise) {
    case Otherwise::kZero:
      return 0;
    case Otherwise::kOtherSize:
      return kOtherPaperSize;
    case Otherwise::kRaw:
      break;
  }
  return static_cast<std::uint16_t>(value);
}

std::optional<std::int32_t> ValueAt(MPersistentObject* in, std::uint32_t key) {
  GValueAttribute* value = FindValueAttribute(in, key);
  if (!value) return std::nullopt;
  return static_cast<std::int16_t>(value->GetValue());
}

// The medium's field `which` (0 paper width ... 7 right margin).
std::int32_t MediaField(const GMedia& media, int which) {
  const GSize16& paper = media.GetPaperSize();
  const GSize16& printable = media.GetPrintableSize();
  const GSize16& origin = media.GetPrintableOrigin();
  switch (which) {
    case 0:
      return paper.width;
    case 1:
      return paper.height;
    case 2:
      return printable.width;
    case 3:
      return printable.height;
    case 4:
      return origin.height;
    case 5:
      return paper.height - printable.height - origin.height;
    case 6:
      return origin.width;
    default:
      return paper.width - printable.width - origin.width;
  }
}

std::optional<std::uint16_t> Resolution(MPersistentObject* source) {
  GAttributeComposite* resolution = FindComposite(source, kResolutionKey);
  const auto x = ValueAt(resolution, kXResolutionKey);
  const auto y = ValueAt(resolution, kYResolutionKey);
  const auto kind = ValueAt(resolution, kResolutionModeKey);
  if (!x || !y || !kind) return std::nullopt;
  if (*x == 300 && *y == 300 && *kind == 1) return 201;
  if (*x == 600 && *y == 600 && *kind == 1) return 202;
  if (*x == 600 && *y == 600 && *kind == 2) return 204;
  if (*x == 1200 && *y == 1200) return 203;
  return static_cast<std::uint16_t>(*x);
}

void Write(void* output, std::uint16_t code) {
  std::memcpy(output, &code, sizeof code);
}

// The code of `row` read from `source` (from a command's attributes when
// `from_command`), or nothing when not found.
std::optional<std::uint16_t> ReadRow(const ValueRow& row, MPersistentObject* source,
                                     bool from_command, bool sheet, std::uint16_t id) {
  const std::uint32_t key = sheet && row.sheet_key ? row.sheet_key : row.key;
  GMedia* media = FindOfClass<GMedia>(source, kMediumKey);
  std::optional<std::int32_t> value;
  switch (row.read) {
    case Read::kMediaType:
      if (from_command) {
        if (!media) return std::nullopt;
        return MediaTypeCode(media->GetMediaType());
      }
      [[fallthrough]];
    case Read::kString: {
      GStringAttribute* name = FindStringAttribute(source, key);
      if (!name) return std::nullopt;
      return MediaTypeCode(name->GetValue());
    }
    case Read::kPaperCode:
    case Read::kOrientation:
      if (!from_command) {
        value = ValueAt(source, key);
      } else if (media) {
        value = row.read == Read::kPaperCode ? std::int32_t{media->GetPaperSizeId()}
                                             : static_cast<std::int32_t>(media->GetOrientation());
      }
      break;
    case Read::kMediaField:
      if (!media) return std::nullopt;
      return static_cast<std::uint16_t>(MediaField(*media, id - 60));
    case Read::kResolution:
      return Resolution(source);
    case Read::kWithStaplerChoice:
      if (!FindValueAttribute(source, kStaplerChoiceKey)) return std::nullopt;
      value = ValueAt(source, key);
      break;
    case Read::kValue:
    case Read::kGated:
    case Read::kCollation:
      value = ValueAt(row.part ? FindComposite(source, row.part) : source, key);
      break;
  }
  if (!value) return std::nullopt;
  return Translate(row.translation, *value);
}

}  // namespace

std::uint16_t DispatchExtensionValue(std::uint16_t id, void* output, GAttributeComposite* settings,
                                     GExtensionManager* manager) {
  ExtensionJobContext* context = manager ? manager->GetJobContext() : nullptr;
  if (!context || !output) return kExtFailed;
  if (id == 10) {
    GPeripheral* language = context->printer_language;
    const RWClassID kind = language ? language->ClassId() : 0;
    if (kind != 767 && kind != 788) return kExtFailed;
    Write(output, kind == 767 ? kExtLanguageXL : kExtLanguageZdl5);
    return kExtOk;
  }
  const ValueRow* row = nullptr;
  for (const ValueRow& candidate : kValueRows) {
    if (candidate.id == id) row = &candidate;
  }
  if (!row) return kExtUnknownValue;
  const bool sheet = settings != nullptr;
  if (sheet && row->read == Read::kMediaField) return kExtNotOnSheet;

  // Without a job's defaults (no document yet), the owner's as they are now.
  GAttributeComposite* defaults = sheet                       ? settings
                                  : context->default_settings ? context->default_settings
                                  : context->owner            ? context->owner->GetDefaultSettings()
                                                              : nullptr;
  if (row->read == Read::kGated) {
    const auto gate = ValueAt(FindComposite(defaults, kInstalledOptionsKey), kEdgeToEdgeGateKey);
    if (!gate || *gate == -1) {
      Write(output, 211);
      return kExtOk;
    }
  }
  MPersistentObject* source = settings;
  bool from_command = false;
  if (!sheet) {
    const RWClassID kind = context->command ? context->command->ClassId() : 0;
    const int column = kind == kDocumentStartClass ? 0
                       : kind == kPageStartClass   ? 1
                       : kind == kPageEndClass     ? 2
                                                   : 3;
    switch (kSources[static_cast<int>(row->rule)][column]) {
      case From::kCommand:
        source = context->command->GetAttributes();
        from_command = true;
        break;
      case From::kDefaults:
        source = defaults;
        break;
      case From::kNone:
        source = nullptr;
        break;
    }
  }
  if (row->read == Read::kCollation) {
    const auto value = ValueAt(source, sheet ? row->sheet_key : row->key);
    Write(output, value && (sheet ? *value == 1 : *value > 1) ? 1 : 0);
    return kExtOk;
  }
  if (!source) return kExtFailed;
  const auto code = ReadRow(*row, source, from_command, sheet, id);
  if (!code) return kExtFailed;
  Write(output, *code);
  return kExtOk;
}
