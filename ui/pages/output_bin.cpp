#include "ui/pages/output_bin.h"

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/resource_string_loader.h"
#include "platform/ui/messages.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::uint16_t kSkippedPart = 2;
constexpr std::uint16_t kNoString = 65535;
constexpr std::uint32_t kNoneText = 11150;
constexpr std::size_t kBinsEntry = 2;
constexpr std::size_t kSecondEntry = 4;

}  // namespace

bool GOutputBinFeature::WasChanged() {
  return GAttributeFeature::WasChanged() || GetContext()->WasChanged(kAccessoryOutputBinsKey) ||
         GetContext()->WasChanged(kAccessoryPartKey);
}

std::int16_t GOutputBinFeature::BinIdToValue(std::uint16_t id) {
  if (id == 1) return 1;
  if (id == 21) return 3;
  if (id >= 41 && id <= 70) return static_cast<std::int16_t>(id - 11);
  return kNoBin;
}

std::uint16_t GOutputBinFeature::BinValueToStringId(std::int16_t value) {
  if (value == 1) return 11200;
  if (value == 3) return 3605;
  return kNoString;
}

void GOutputBinFeature::BuildBinList(std::vector<std::int16_t>& values,
                                     std::vector<RWWString>& names) {
  values.clear();
  GAttributeComposite* devices = GetContext()->GetConfigView().FindComposite(kPaperHandlingKey);
  if (!devices) return;
  const GResourceStringLoader loader(GetResourceModuleHandle());
  for (std::uint32_t i = 0; i < devices->EntryCount(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device || !device->IsInstalled() || device->GetDeviceType() != kOutputDevice) continue;
    RWShortVector ids;
    device->GetPartIds(ids);
    for (std::size_t p = 0; p < ids.Count(); ++p) {
      auto* bin = dynamic_cast<const GBin*>(device->GetPart(static_cast<std::uint16_t>(ids[p])));
      if (!bin || bin->GetId() == kSkippedPart) continue;
      const std::int16_t value = BinIdToValue(bin->GetId());
      if (value == kNoBin) continue;
      const GDisplayString& shown = bin->GetDisplayString();
      RWWString name;
      loader.LoadText(name, shown.GetStringId(), shown.GetText(), shown.GetModuleName());
      if (name.Length() == 0)
        loader.LoadText(name, BinValueToStringId(value), RWCString(), RWCString());
      values.push_back(value);
      names.push_back(name);
    }
  }
}

void GOutputBinComboWrapper::FillBins() {
  std::vector<std::int16_t> values;
  std::vector<RWWString> names;
  bins_feature_->BuildBinList(values, names);
  bins_.ResetContent();
  for (std::size_t i = 0; i < values.size() && i < names.size(); ++i)
    bins_.AddStringWithData(names[i].Data(), static_cast<std::uint16_t>(values[i]));
}

void GOutputBinComboWrapper::FillSecond() {
  second_.ResetContent();
  RWWString none;
  if (LoadResString(kNoneText, none) > 0) second_.AddString(none.Data());
}

void GOutputBinComboWrapper::OnInit() {
  bins_.Attach(GetDialogWindow(), GetControlId(kBinsEntry));
  FillBins();
  second_.Attach(GetDialogWindow(), GetControlId(kSecondEntry));
  FillSecond();
}

void GOutputBinComboWrapper::UpdateControl(int force) {
  if (!force && !bins_feature_->WasChanged()) return;
  FillBins();
  bins_.SelectByData(static_cast<std::uint32_t>(bins_feature_->GetValue()) & 0xFFFF);
  FillSecond();
  second_.SetCurSel(0);
}

void GOutputBinComboWrapper::ReadControl() {
  const auto data = static_cast<std::uint16_t>(bins_.GetSelectedData());
  bins_feature_->SetValue(data == 0xFFFF ? 1 : static_cast<std::int16_t>(data));
}

void GOutputBinComboWrapper::RefreshState() {
  SetState(bins_feature_->GetState());
  EnableItem(kSecondEntry, false);
}

LRESULT GOutputBinComboWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  const int control = LowWord(wparam);
  if (message == kWmCommand &&
      (control == GetControlId(kBinsEntry) || control == GetControlId(kSecondEntry))) {
    if (HighWord(wparam) != kCbnSelChange) return 0;
    if (control == GetControlId(kBinsEntry)) ReadControl();
    return 1;
  }
  return GPageWrapper::HandleMessage(message, wparam, lparam);
}
