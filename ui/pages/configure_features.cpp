#include "ui/pages/configure_features.h"

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/ui_driver_data.h"
#include "services/os_factory.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"

namespace {

constexpr std::uint32_t kQualityKeys[] = {kXResolutionKey, kYResolutionKey, kResolutionModeKey,
                                          kQualityKey};

}  // namespace

std::uint32_t GAutoConfigFeature::Run(int) {
  return GetContext()->AutoConfigure();
}

int GAutoConfigFeature::StatusLine(std::uint32_t status_id, int) {
  switch (status_id) {
    case kStatusAlways:
      return 1;
    case kStatusAutoConfigured:
      return GetAttributeValue(kDeviceUpdateStatusKey) == kOptionsFromDevice ? 1 : 0;
    case kStatusAdministrator: {
      GOSFactory* services = GOSFactory::Instance();
      GDriverData* printer = GetContext()->GetDriverContext();
      if (!services || !printer) return 0;
      const RWWString type =
          services->GetPrinterDataString(printer, RWWString(kLastUpdateTypeName), RWWString(u""));
      return type == u"Admin" ? 1 : 0;
    }
    default:
      return 0;
  }
}

bool GQualityFeature::WasChanged() const {
  for (std::uint32_t key : kQualityKeys) {
    if (GetContext()->WasChanged(key)) return true;
  }
  return false;
}

int GQualityFeature::IsCustom() const {
  GAttributeComposite* defaults = GetContext()->GetDefaultSettings();
  if (!defaults) return 0;
  const GAttributeView view(defaults, nullptr, true);
  for (std::uint32_t key : kQualityKeys) {
    std::int32_t value = 0;
    view.GetValue(key, value);
    if (value != GetAttributeValue(key)) return 1;
  }
  return 0;
}
