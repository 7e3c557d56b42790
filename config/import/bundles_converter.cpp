#include "config/import/bundles_converter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/product_data.h"
#include "config/keys/settings_keys.h"
#include "persist/string_conversion.h"
#include "services/driver_data.h"

namespace {

RWWString Widened(const char* narrow) {
  RWWString wide;
  NarrowToWide(RWCString(narrow != nullptr ? narrow : ""), wide);
  return wide;
}

}  // namespace

GBundlesConverter::GBundlesConverter(GQCFLibrary* store, GDriverData* driver_data)
    : GSettingConverter(store), driver_data_(driver_data) {}

std::uint16_t GBundlesConverter::RowCount() const {
  return static_cast<std::uint16_t>(ProductData().bundles.size());
}

std::uint32_t GBundlesConverter::Apply(GAttributeComposite* root, GAttributeComposite*) {
  if (driver_data_ == nullptr) return 0;
  GOptionBuffer buffer(kBufferUnits);
  if (ReadWord(kKey, buffer) == 0) return 0;
  for (const GBundleRow& row : ProductData().bundles) {
    if (WideStringsEqual(row.store_word, buffer.Data()) == 0) continue;
    driver_data_->SelectBundle(Widened(row.model_name), root);
    return 1;
  }
  return 0;
}

std::uint32_t GBundlesConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* number =
      FindValueAttribute(FindPath(root, kInstalledOptionsPath), kConfigStatusKey);
  if (number == nullptr || driver_data_ == nullptr) return 0;
  GAttributeComposite* job_settings = driver_data_->GetJobSettings();
  GAttributeComposite* bundles = FindComposite(job_settings, kBundlesKey);
  if (bundles == nullptr) return 0;
  const GCountedPtrVector& children = bundles->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* bundle = children[i].Get();
    GValueAttribute* carried = FindValueAttribute(bundle, kConfigStatusKey);
    if (carried == nullptr || carried->GetValue() != number->GetValue()) continue;
    const GStringAttribute* name = FindStringAttribute(bundle, kBundleNameKey);
    RWWString wide_name = Widened(name != nullptr ? name->GetValue().Data() : "");
    for (const GBundleRow& row : ProductData().bundles) {
      if (Widened(row.model_name) != wide_name) continue;
      WriteWord(kKey, row.store_word);
      return 1;
    }
    return 0;
  }
  return 0;
}
