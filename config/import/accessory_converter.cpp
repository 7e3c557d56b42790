#include "config/import/accessory_converter.h"

#include <string_view>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/paper_devices.h"
#include "config/import/product_data.h"
#include "config/keys/settings_keys.h"

namespace {

void SetFlag(MPersistentObject* installed, std::uint32_t key) {
  if (GValueAttribute* flag = FindValueAttribute(installed, key)) flag->SetValue(1);
}

}  // namespace

GAccessoryOutputBinsConverter::GAccessoryOutputBinsConverter(GQCFLibrary* store,
                                                             GDriverData* driver_data)
    : GTableConverter(store, kAccessoryOutputBinsDescriptor), driver_data_(driver_data) {}

std::uint32_t GAccessoryOutputBinsConverter::Apply(GAttributeComposite* root,
                                                   GAttributeComposite*) {
  MPersistentObject* installed = FindPath(root, Binding().group_path);
  GStringAttribute* accessory = FindStringAttribute(installed, Binding().attribute_key);
  if (accessory == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  char text[kTextBytes];
  if (NarrowWord(buffer.Data(), text, kTextBytes) == 0) return 0;
  accessory->SetValue(WideStringsEqual(buffer.Data(), kNotInstalled) != 0 ? "" : text);

  const GAccessoryIdentifiers& known = ProductData().accessories;
  if (IsAccessory(text, known.staplers)) SetFlag(installed, kStaplerInstalledKey);
  if (IsAccessory(text, known.stitcher)) SetFlag(installed, kStitcherInstalledKey);

  InstallPaperDevice(driver_data_, text);
  return 1;
}

std::uint32_t GAccessoryOutputBinsConverter::Extract(GAttributeComposite* root) {
  const GStringAttribute* accessory =
      FindStringAttribute(FindPath(root, Binding().group_path), Binding().attribute_key);
  if (accessory == nullptr) return 0;
  const RWCString& text = accessory->GetValue();
  if (text.IsNull()) {
    WriteWord(Binding().ExtractKey(), kNotInstalled);
    return 1;
  }
  return WriteText(Binding().ExtractKey(), text.Data());
}
