#include "ui/framework/ui_helpers.h"

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media_pool.h"
#include "driver/spooler_forms.h"
#include "persist/resource_mapping.h"
#include "ui/framework/ui_context.h"

std::uint16_t MapCustomPaperToStandardId(std::uint16_t id, GUIContext* context) {
  if (id < kCustomSizePaperId || !context) return id;
  GAttributeComposite* sizes = context->GetSettingsView().FindComposite(kCustomSizesKey);
  const GCustomMediaSize* custom = nullptr;
  for (std::uint32_t i = 0; sizes && i < sizes->EntryCount() && !custom; ++i) {
    auto* size = dynamic_cast<const GCustomMediaSize*>(sizes->Children()[i].Get());
    if (size && size->GetId() == id) custom = size;
  }
  auto* media = dynamic_cast<GMediaPool*>(context->GetConfigView().FindComposite(kMediaListKey));
  for (std::uint32_t i = 0; custom && media && i < media->EntryCount(); ++i) {
    auto* medium = dynamic_cast<const GMedia*>(media->Children()[i].Get());
    if (medium && medium->GetName() == custom->GetName()) return medium->GetPaperSizeId();
  }
  return id;
}

std::uint16_t GetTrayNameId(std::uint16_t tray_id, GUIContext* context) {
  GResourceMappingList* map = context ? context->GetTrayMap() : nullptr;
  const GResourceMapping* entry =
      map ? map->FindBySecondNumber(static_cast<std::int16_t>(tray_id)) : nullptr;
  return entry ? static_cast<std::uint16_t>(entry->StringResourceId()) : kNoTrayName;
}
