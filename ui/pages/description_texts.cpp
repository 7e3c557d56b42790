#include "ui/pages/description_texts.h"

#include "config/keys/settings_keys.h"
#include "platform/ui/dialog.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

namespace {

constexpr std::uint32_t kDefaultText = 11903;
constexpr std::uint32_t kCustomQualityText = 11908;
constexpr std::uint32_t kAutomaticColorText = 11360;
constexpr std::uint32_t kCustomColorText = 11361;
constexpr std::int32_t kFirstAutomaticMode = 7;
constexpr std::int32_t kLastAutomaticMode = 10;

void ShowText(const GControlWrapper& wrapper, std::uint32_t text_id) {
  RWWString text;
  LoadResString(text_id, text);
  if (text.Length() >= kMostDescriptionCharacters)
    text = RWWString(text.Data(), kMostDescriptionCharacters - 1);
  platform::SetDlgItemTextW(wrapper.GetDialogWindow(), wrapper.GetControlId(0), text.Data());
}

}  // namespace

bool GColorModeFeature::WasChanged() {
  // The text reads the mode: a new mode without a new table is a change too.
  return GetContext()->WasChanged(kColorAdjustmentKey) || GetContext()->WasChanged(kColorModeKey);
}

void GQualityDescriptionWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GQualityFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  ShowText(*this, feature->IsCustom() ? kCustomQualityText : kDefaultText);
}

void GColorDescriptionWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GColorModeFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  const std::int32_t mode = feature->GetColorMode();
  ShowText(*this, mode >= kFirstAutomaticMode && mode <= kLastAutomaticMode ? kAutomaticColorText
                                                                            : kCustomColorText);
}
