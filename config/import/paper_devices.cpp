#include "config/import/paper_devices.h"

#include "config/import/setting_converter.h"
#include "config/keys/settings_keys.h"
#include "services/driver_data.h"

GAttributeComposite* PaperDevices(GDriverData* driver_data) {
  GAttributeComposite* job_settings =
      driver_data != nullptr ? driver_data->GetJobSettings() : nullptr;
  return FindComposite(job_settings, kPaperHandlingKey);
}

void InstallPaperDevice(GDriverData* driver_data, const char* name) {
  GAttributeComposite* devices = PaperDevices(driver_data);
  if (devices == nullptr) return;
  const GCountedPtrVector& children = devices->Children();
  RWCString device_name;
  for (RWSize i = 0; i < children.Count(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(children[i].Get());
    if (device == nullptr || device->GetName(device_name) != name) continue;
    device->SetInstalled(1);
    return;
  }
}
