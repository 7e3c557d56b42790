// Lookups of the converters in the driver's paper path: the paper-handling
// devices that the driver data's job settings keep under kPaperHandlingKey
// (paper_handling_device.h), and the trays of the installed paper sources,
// each source's trays being the children of its current part.
//
// Threads: as the driver data.
#pragma once

#include <cstdint>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"

class GDriverData;

// The composite of the devices (kPaperHandlingKey in the job settings), or
// null.
GAttributeComposite* PaperDevices(GDriverData* driver_data);

// Marks the first device named `name` (exactly) installed, when it is an
// optional one; nothing when there is none.
void InstallPaperDevice(GDriverData* driver_data, const char* name);

// The first tray of an installed paper source, sources and trays in
// order, that `accept(const GTray&)` accepts; null when none does.
template <class Accept>
const GTray* FindInstalledTray(GDriverData* driver_data, Accept accept) {
  GAttributeComposite* devices = PaperDevices(driver_data);
  if (devices == nullptr) return nullptr;
  const GCountedPtrVector& children = devices->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(children[i].Get());
    if (device == nullptr || device->IsInstalled() == 0 ||
        device->GetDeviceType() != kPaperSource) {
      continue;
    }
    std::unique_ptr<MChildIterator> trays(device->NewChildIterator());
    while (trays != nullptr && trays->Next()) {
      const auto* tray = dynamic_cast<const GTray*>(trays->Current());
      if (tray != nullptr && accept(*tray)) return tray;
    }
  }
  return nullptr;
}
