// The settings keys that the device-mode record maps, checks and resets.
// "Model" keys are found in the settings model, "job" keys in the job
// settings (the printer object's configuration set, keyed 76), "defaults"
// keys in the driver data's default settings; every look-up is the
// composite's FindByKey (depth first, first match).
#pragma once

#include <cstdint>

#include "config/paper/media_from_custom_size.h"

// Model: the public fields' attributes.
inline constexpr std::uint32_t kDmDuplexKey = 253;
inline constexpr std::uint32_t kDmTrayKey = 258;
inline constexpr std::uint32_t kDmPaperCodeKey = 260;
inline constexpr std::uint32_t kDmFormNameKey = 261;  // a string attribute
inline constexpr std::uint32_t kDmCustomWidthKey = 1260;
inline constexpr std::uint32_t kDmCustomLengthKey = 1261;
inline constexpr std::uint32_t kDmCopiesKey = 291;
inline constexpr std::uint32_t kDmCollateKey = 292;
inline constexpr std::uint32_t kDmColourPossibleKey = 294;
inline constexpr std::uint32_t kDmColourModeKey = 296;
inline constexpr std::uint32_t kDmIcmOnKey = 298;
inline constexpr std::uint32_t kDmIcmMethodKey = 350;
inline constexpr std::uint32_t kDmIcmIntentKey = 351;
inline constexpr std::uint32_t kDmResolutionThirdKey = 325;
inline constexpr std::uint32_t kDmQualityKey = 902;
inline constexpr std::uint32_t kDmDuplexFollowerKey = 713;
inline constexpr std::uint32_t kDmDuplexFollowerSourceKey = 983;
inline constexpr std::uint32_t kDmBinFormsKey = 193;  // the model's form-to-tray table
// Model: what the paper-change reset puts back.
inline constexpr std::uint32_t kDmResetToOneKey = 266;
inline constexpr std::uint32_t kDmResetToHundredKey = 269;
inline constexpr std::uint32_t kDmPaperChangeKey = 270;
inline constexpr std::uint32_t kDmPaperChangeSecondKey = 271;
inline constexpr std::uint32_t kDmNormalPaperKey = 272;
inline constexpr std::uint32_t kDmClearedKey = 279;
inline constexpr std::uint32_t kDmClearedUnlessCapableKey = 293;

// Job settings.
inline constexpr std::uint32_t kDmCapabilityEntryKey = 112;
inline constexpr std::uint32_t kDmCapabilityListKey = 135;
inline constexpr std::uint32_t kDmCopiesRangeKey = 199;
inline constexpr std::uint32_t kDmDuplexRangeKey = 203;
inline constexpr std::uint32_t kDmAllowedAnglesKey = 205;
inline constexpr std::uint32_t kDmCollationAvailableKey = 231;
inline constexpr std::uint32_t kDmFormTableFlagKey = 915;
inline constexpr std::uint32_t kDmOrientationFlipKey = 929;
inline constexpr std::uint32_t kDmQualityTableKey = 903;
// The default settings a device mode starts from (the printer's own value
// of a field it cannot print).
inline constexpr std::uint32_t kDmDefaultsKey = 359;
// Job settings and defaults: the second paper check and the paper-change
// reset switch.
inline constexpr std::uint32_t kDmPaperCheckKey = 911;
