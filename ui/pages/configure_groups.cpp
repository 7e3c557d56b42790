#include "ui/pages/configure_groups.h"

#include <string>

#include "config/fonts/font_sources.h"
#include "config/keys/settings_keys.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/pages/configure_features.h"
#include "ui/pages/font_card_list.h"

using namespace platform;

namespace {

// What choosing a configuration status applies: the status and its set's
// installed options, paper sources and output accessory.
constexpr std::uint32_t kStatusKeys[] = {
    kConfigStatusKey,    kDuplexUnitKey,           kManualDuplexKey,        kCollationUnitKey,
    kPrinterHardDiskKey, kJobRetentionKey,         kIgnoreCollationKey,     kMemoryKey,
    kDriverWorkSpaceKey, kScaleFromLargePaperKey,  kBinsWithResourcesKey,   kFontModuleKey,
    kCoverModeKey,       kOptionalPaperSourcesKey, kAccessoryOutputBinsKey, kModelOptionKey};
constexpr std::uint32_t kManualDuplexKeys[] = {kManualDuplexKey, kDuplexKey};
constexpr std::uint32_t kCollationKeys[] = {kCollationUnitKey, kIgnoreCollationKey, kCollateKey};
constexpr std::uint32_t kPaperSourcesKeys[] = {
    kOptionalPaperSourcesKey, kDifferentFirstPageKey, kPaperSourceKey,     kOtherPagesSourceKey,
    kLastPageSourceKey,       kFrontCoverSourceKey,   kBackCoverSourceKey, kFormToTrayKey};
constexpr std::uint32_t kWorkSpaceKeys[] = {kDriverWorkSpaceKey, kMemoryKey};
constexpr std::uint32_t kMemoryKeys[] = {kMemoryKey, kJobRetentionKey, kCollationUnitKey,
                                         kIgnoreCollationKey, kPrinterHardDiskKey};
constexpr std::uint32_t kHardDiskKeys[] = {
    kPrinterHardDiskKey,     kDriverWorkSpaceKey, kWorkSpaceCopyKey,
    kWorkSpaceSecondCopyKey, kCollationUnitKey,   kCollateKey,
    kIgnoreCollationKey,     kJobRetentionKey,    kMemoryKey};
constexpr std::uint32_t kAutoConfigKeys[] = {kDeviceUpdateStatusKey, kConfigStatusKey};

constexpr GGroupKeys kConfigureGroups[] = {
    {"configuration status", 7013, kStatusKeys},
    {"group 7026 (shown only)", 7026, {}},
    {"manual duplex", 7023, kManualDuplexKeys},
    {"collation", 7024, kCollationKeys},
    {"optional paper sources", 7037, kPaperSourcesKeys},
    {"driver work space", 7041, kWorkSpaceKeys},
    {"memory", 7091, kMemoryKeys},
    {"hard disk and job storage", 7046, kHardDiskKeys},
    {"group 7055 (shown only)", 7055, {}},
    {"group 7076 (shown only)", 7076, {}},
    {"group 7062 (shown only)", 7062, {}},
    // Printer data, not settings: "DisabledMSDs" and the sources' records.
    {"font cards", 7071, {}},
    {"group 7069 (shown only)", 7069, {}},
    {"more configuration options", 7049, {}},
    {"automatic configuration", 7052, kAutoConfigKeys},
    // Not interactive on this page: it only shows the trays.
    {"printer picture", 2021, {}},
};

constexpr std::size_t kFileEntry = 0;
constexpr std::size_t kSourceEntry = 1;
constexpr int kMostPathCharacters = 260;

bool IsLabel(std::int32_t id, std::initializer_list<std::int32_t> labels) {
  for (std::int32_t label : labels)
    if (label == id) return true;
  return false;
}

}  // namespace

std::span<const GGroupKeys> ConfigureGroupKeys() {
  return kConfigureGroups;
}

GControlKind GAutoConfigWrapper::ExpectedKind(std::size_t index) const {
  return index == 0 ? GControlKind::kPushButton : GControlKind::kAny;
}

LRESULT GAutoConfigWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked ||
      LowWord(wparam) != GetControlId(0)) {
    return 0;
  }
  static_cast<GAutoConfigFeature*>(GetFeature())->Run(0);
  return 1;
}

// --- "Add Font Card".

GControlKind GFontCardAddWrapper::ExpectedKind(std::size_t index) const {
  if (index == kFileEntry) return GControlKind::kEdit;
  if (index == kSourceEntry) return GControlKind::kDropDownList;
  const std::int32_t id = GetControlId(index);
  if (id == kIdOk) return GControlKind::kPushButton;
  return IsLabel(id, {7203, 7206}) ? GControlKind::kStatic : GControlKind::kAny;
}

void GFontCardAddWrapper::OnInit() {
  HWND dialog = GetDialogWindow();
  path_ = RWWString();
  SetDlgItemTextW(dialog, GetControlId(kFileEntry), u"");
  sources_.Attach(dialog, GetControlId(kSourceEntry));
  sources_.ResetContent();
  for (std::uint32_t i = 0; i < kFontSourceCount; ++i)
    sources_.AddStringWithData(FontSourceName(RWWString(), i).Data(), i);
  sources_.SelectByData(source_);
}

LRESULT GFontCardAddWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWmCommand || LowWord(wparam) != kIdOk || HighWord(wparam) != kBnClicked)
    return GPageWrapper::HandleMessage(message, wparam, lparam);
  char16_t buffer[kMostPathCharacters + 1] = {};
  const UINT length =
      GetDlgItemTextW(GetDialogWindow(), GetControlId(kFileEntry), buffer, kMostPathCharacters + 1);
  path_ = RWWString(buffer, static_cast<RWSize>(length));
  const std::int32_t chosen = sources_.GetSelectedData();
  source_ = chosen < 0 || chosen >= std::int32_t(kFontSourceCount)
                ? kFontSourceCount
                : static_cast<std::uint32_t>(chosen);
  return 0;  // OK goes on to end the dialog
}

// --- "Error Configuring Card Fonts".

GControlKind GFontCardErrorWrapper::ExpectedKind(std::size_t index) const {
  return GetControlId(index) == kIdOk ? GControlKind::kPushButton : GControlKind::kStatic;
}

void GFontCardErrorWrapper::OnInit() {
  SetDlgItemTextW(GetDialogWindow(), GetControlId(1), path_.Data() ? path_.Data() : u"");
  SetDlgItemTextW(GetDialogWindow(), GetControlId(2), source_.Data() ? source_.Data() : u"");
}
