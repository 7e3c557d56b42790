#include "support/fake_driver_data.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "persist/string_conversion.h"

namespace {

GAttributeComposite* AsComposite(MPersistentObject* object) {
  return dynamic_cast<GAttributeComposite*>(object);
}

}  // namespace

FakeDriverData::FakeDriverData(const RWWString& printer_name) : GDriverData(printer_name) {
  auto* configuration = new GAttributeComposite(kDriverConfigurationKey);
  auto* printer_object = new GAttributeComposite(kPrinterObjectKey);
  printer_object->AddChild(new GAttributeComposite(kDeviceSettingsKey));
  configuration->AddChild(printer_object);
  configuration_.Reset(configuration);
}

FakeDriverData::~FakeDriverData() = default;

void FakeDriverData::SetConfiguration(GAttributeComposite* configuration) {
  configuration_.Reset(configuration);
}

GAttributeComposite* FakeDriverData::Configuration() const {
  return AsComposite(configuration_.Get());
}

void FakeDriverData::SetPaperCode(std::uint16_t media_id, std::uint16_t paper_code) {
  paper_codes_[media_id] = paper_code;
}

GAttributeComposite* FakeDriverData::BuildDefaultSettings() {
  ++default_settings_built;
  GAttributeComposite* job_settings = GetJobSettings();
  return job_settings ? AsComposite(job_settings->DeepCopy()) : new GAttributeComposite;
}

RWWString FakeDriverData::GetSupportFilePath() {
  RWWString path;
  GAttributeComposite* job_settings = GetJobSettings();
  GStringAttribute* file = FindStringAttribute(job_settings, kSupportFileKey);
  if (file) NarrowToWide(file->GetValue(), path);
  return path;
}

int FakeDriverData::ApplySeries(const RWWString& name, GAttributeComposite* settings) {
  series_applied.push_back({name, settings});
  return 1;
}

GAttributeComposite* FakeDriverData::GetJobSettings() {
  GAttributeComposite* configuration = Configuration();
  if (!configuration) return nullptr;
  MPersistentObject* printer_object = configuration->FindByKey(kPrinterObjectKey);
  return FindComposite(printer_object, kDeviceSettingsKey);
}

void FakeDriverData::WriteBinAndTrayMaps(GAttributeComposite* root) {
  maps_written.push_back(root);
}

int FakeDriverData::GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) {
  auto it = paper_codes_.find(media_id);
  if (it == paper_codes_.end()) return 0;
  paper_code = it->second;
  return 1;
}

void FakeDriverData::SetMediaId(std::uint16_t paper_code, std::uint16_t media_id) {
  media_ids_[paper_code] = media_id;
}

void FakeDriverData::SetNormalizedPaperId(std::uint16_t paper_code, std::uint16_t normalized) {
  normalized_[paper_code] = normalized;
}

int FakeDriverData::GetMediaIdOfPaperCode(std::uint16_t paper_code, std::uint16_t& media_id) {
  auto it = media_ids_.find(paper_code);
  if (it == media_ids_.end()) return GDriverData::GetMediaIdOfPaperCode(paper_code, media_id);
  media_id = it->second;
  return 1;
}

std::uint16_t FakeDriverData::NormalizePaperId(GAttributeComposite* settings,
                                               std::uint16_t paper_id) {
  auto it = normalized_.find(paper_id);
  return it != normalized_.end() ? it->second : GDriverData::NormalizePaperId(settings, paper_id);
}
