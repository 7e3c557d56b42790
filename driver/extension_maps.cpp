// GExtensionManager::ApplyMaps and RemoveMaps: the tray and bin maps of an
// extension.
//
// What stands: the extension's map functions are called by the flags with
// the language code, their own results pass through, and the result is
// chosen by the flags (both: the tray result unless 0, else the bin
// result; one: its result; neither: 0, nothing called). Not built yet: the
// devices and map entries made from the records and stored as the
// printer's named objects. Until they are, a map that hands over records
// answers 7 (tray) or 8 (bin), the codes of maps that could not be stored,
// so that no registration reports maps as applied that were not.
#include "driver/extension_manager.h"

namespace {

std::uint16_t CallMap(ExtGetMap map, std::uint16_t language, std::uint16_t not_stored) {
  if (!map) return kExtFailed;
  const void* records = nullptr;
  std::uint16_t count = 0;
  const std::uint16_t result = map(&records, &count, language);
  if (result != kExtOk) return result;
  return count == 0 || !records ? kExtOk : not_stored;
}

}  // namespace

std::uint16_t GExtensionManager::MapResult(std::uint32_t flags, std::uint16_t tray,
                                           std::uint16_t bin) const {
  const bool trays = flags & kExtHasTrayMap;
  const bool bins = flags & kExtHasBinMap;
  if (trays && bins) return tray != kExtOk ? tray : bin;
  if (trays) return tray;
  return bins ? bin : kExtOk;
}

std::uint16_t GExtensionManager::ApplyMaps(const ExtensionDriverTable& table, std::uint32_t flags) {
  const std::uint16_t language = LanguageCode();
  const std::uint16_t tray =
      flags & kExtHasTrayMap ? CallMap(table.get_tray_map, language, kExtTrayMapMissing) : kExtFailed;
  const std::uint16_t bin =
      flags & kExtHasBinMap ? CallMap(table.get_bin_map, language, kExtBinMapMissing) : kExtFailed;
  return MapResult(flags, tray, bin);
}

std::uint16_t GExtensionManager::RemoveMaps(const ExtensionDriverTable& table, std::uint32_t flags) {
  return ApplyMaps(table, flags);
}
