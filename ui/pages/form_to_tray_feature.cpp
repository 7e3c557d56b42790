#include "ui/pages/form_to_tray_feature.h"

#include <algorithm>
#include <array>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/resource_string_loader.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/framework/ui_helpers.h"
#include "ui/pages/media_type_controls.h"

namespace {

// The trays with restrictions, and the sizes they take without a test.
constexpr std::uint16_t kTrayOne = 1;
constexpr std::uint16_t kTrayThree = 3;
constexpr std::uint16_t kTraySix = 6;
constexpr std::array<std::uint16_t, 9> kStandardSizes{1, 6, 17, 58, 23, 27, 40, 42, 43};
constexpr std::array<const char*, 3> kRefusedTypes{"Card Stock", "Extra Heavy", "Envelope"};
constexpr std::array<std::uint16_t, 6> kNeverFits{8, 13, 14, 15, 16, 71};
constexpr std::uint16_t kFirstCustomPaper = 16384;

struct TrayLimits {
  double width_from, width_to, height_from, height_to;
};
constexpr TrayLimits kRestrictedTray{5.83, 8.5, 8.27, 14.0};
constexpr TrayLimits kTraySixLimits{3.0, 8.5, 5.0, 14.0};

bool IsRestricted(std::uint16_t tray) {
  return tray == kTrayOne || tray == kTrayThree;
}

template <class Range, class T>
bool Holds(const Range& range, const T& value) {
  return std::find(range.begin(), range.end(), value) != range.end();
}

}  // namespace

std::int32_t GFormToTrayFeature::EnumForms(GFormCallback callback, void* data) {
  return GetContext()->EnumAllForms(callback, data, 1);
}

std::uint16_t GFormToTrayFeature::GetLink(std::uint16_t tray, std::uint16_t& form,
                                          std::uint16_t& paper_type) {
  auto* table = static_cast<GFormToTrayDatabase*>(
      GetContext()->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  GFormToTrayDatabase empty;
  GFormToTrayLinks links(table ? *table : empty);
  form = links.GetFormForTray(tray);
  paper_type = links.GetMediaTypeForTray(tray);
  return paper_type;
}

template <class Edit>
void GFormToTrayFeature::EditTable(Edit edit) {
  GAttributeView settings = GetContext()->GetSettingsView();
  if (!settings.FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId)) {
    // Anything else under kFormToTrayKey is left alone; a missing table is added
    // where the device-mode code reads it.
    GAttributeComposite* options = settings.FindComposite(kInstalledOptionsKey);
    if (settings.Composite() && settings.Composite()->FindByKey(kFormToTrayKey)) return;
    if (!options) return;
    auto* table = new GFormToTrayDatabase(kFormToTrayKey);
    options->AddChild(table);
    GetContext()->NoteChildAdded(*table);
  }
  std::unique_ptr<MPersistentObject> copy = settings.CopyAttribute(kFormToTrayKey);
  auto* table = dynamic_cast<GFormToTrayDatabase*>(copy.get());
  if (!table) return;
  GFormToTrayLinks links(*table);
  edit(links);
  // The view puts a copy of ours in place; ours is freed here.
  settings.ReplaceAttribute(kFormToTrayKey, copy.get());
}

void GFormToTrayFeature::SetLinkWithName(std::uint16_t tray, std::uint16_t form,
                                         std::uint16_t paper_type, const char* name) {
  EditTable([&](GFormToTrayLinks& links) {
    links.SetAssociationWithName(tray, form, paper_type, name ? name : "");
  });
}

void GFormToTrayFeature::ClearLinks() {
  EditTable([](GFormToTrayLinks& links) { links.Clear(); });
}

int GFormToTrayFeature::GetInstalledTrays(GValueList& ids, std::vector<RWWString>* names) {
  GAttributeComposite* devices = GetContext()->GetConfigView().FindComposite(kPaperHandlingKey);
  if (!devices) return 0;
  const GResourceStringLoader loader(GetResourceModuleHandle());
  for (std::uint32_t i = 0; i < devices->EntryCount(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device || !device->IsInstalled() || device->GetDeviceType() != kPaperSource) continue;
    // The device's children are those of its current part.
    auto* part = dynamic_cast<GAttributeComposite*>(device->GetPart(device->GetCurrentPartId()));
    const std::uint32_t count = part ? part->EntryCount() : 0;
    for (std::uint32_t t = 0; t < count; ++t) {
      auto* tray = dynamic_cast<const GTray*>(part->Children()[t].Get());
      if (!tray) continue;
      ids.Append(tray->GetId());
      if (!names) continue;
      const GDisplayString& shown = tray->GetDisplayString();
      RWWString name;
      loader.LoadText(name, shown.GetStringId(), shown.GetText(), shown.GetModuleName());
      if (name.Length() == 0)
        loader.LoadText(name, GetTrayNameId(tray->GetId(), GetContext()), RWCString(), RWCString());
      names->push_back(name);
    }
  }
  return 1;
}

void GFormToTrayFeature::BeginUserTypes() {
  next_user_type_.reset();
  if (GetContext()->FindUserMediaTypes()) next_user_type_ = 0;
}

bool GFormToTrayFeature::NextUserType(RWWString& name) {
  GAttributeComposite* types = GetContext()->FindUserMediaTypes();
  if (!next_user_type_ || !types || *next_user_type_ >= types->EntryCount()) return false;
  auto* type = dynamic_cast<const GStringAttribute*>(types->Children()[(*next_user_type_)++].Get());
  if (!type) return false;
  name = RWWString::FromMultiByte(type->GetValue());
  return true;
}

void GFormToTrayFeature::DropLinksOfRemovedTrays(GValueList& ids) {
  if (!GetContext()->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId)) return;
  if (!GetInstalledTrays(ids, nullptr)) return;
  EditTable([&](GFormToTrayLinks& links) {
    RWShortVector trays(64);
    links.CollectTrays(trays);
    for (std::size_t i = 0; i < trays.Count(); ++i) {
      const auto tray = static_cast<std::uint16_t>(trays[i]);
      if (!ids.Contains(tray)) links.RemoveLinkForTray(tray);
    }
  });
}

std::uint16_t GFormToTrayFeature::GetCurrentTray() const {
  return static_cast<std::uint16_t>(GetAttributeValue(kShownTrayKey));
}

void GFormToTrayFeature::SetCurrentTray(std::uint16_t tray) {
  GAttributeView settings = GetContext()->GetSettingsView();
  if (settings.Has(kShownTrayKey)) {
    settings.SetValue(kShownTrayKey, tray);
    return;
  }
  // The view creates no value outside the user-interface objects; without
  // this the page would fall back to its first tray and store the user's
  // links there. The installed options are stored with the sheet, so the
  // tray is still shown when the sheet opens again.
  settings.Descend(kInstalledOptionsKey).AddValue(tray, kShownTrayKey);
}

bool GFormToTrayFeature::IsTypeRefusedForCurrentTray(std::uint16_t paper_type) const {
  return IsTypeRefusedForTray(MediaTypeStringIdToName(paper_type), GetCurrentTray());
}

bool GFormToTrayFeature::IsTypeRefusedForTray(const RWCString& name, std::uint16_t tray) {
  if (!IsRestricted(tray)) return false;
  return std::any_of(kRefusedTypes.begin(), kRefusedTypes.end(),
                     [&](const char* refused) { return name == RWCString(refused); });
}

bool GFormToTrayFeature::IsSizeRefusedForTray(std::uint16_t paper_id, std::uint16_t tray) const {
  if (paper_id >= kFirstCustomPaper) paper_id = MapCustomPaperToStandardId(paper_id, GetContext());
  if (!IsRestricted(tray)) return false;
  if (Holds(kStandardSizes, paper_id)) return false;
  return !FitsTray(paper_id, tray);
}

bool GFormToTrayFeature::FitsTray(std::uint16_t paper_id, std::uint16_t tray) const {
  if (Holds(kNeverFits, paper_id)) return false;
  const GAttributeView resolution = GetContext()->GetSettingsView().Descend(kResolutionKey);
  std::int32_t x = 0;
  std::int32_t y = 0;
  resolution.GetValue(kXResolutionKey, x);
  resolution.GetValue(kYResolutionKey, y);
  const std::int32_t square = std::min(x, y);
  // A resolution of 0 (or below) gives no size in inches.
  if (square <= 0) return false;
  const std::unique_ptr<GMedia> medium = GetContext()->GetConfigView().FindMediaSquare(
      paper_id, 0, static_cast<std::uint16_t>(square));
  if (!medium) return false;
  double width = static_cast<double>(medium->GetPaperSize().width) / static_cast<double>(x);
  double height = static_cast<double>(medium->GetPaperSize().height) / static_cast<double>(y);
  const std::uint32_t orientation = medium->GetOrientation();
  if (orientation == 90 || orientation == 270) {
    const double moved = static_cast<float>(width);
    width = height;
    height = moved;
  }
  TrayLimits limits{};
  if (IsRestricted(tray))
    limits = kRestrictedTray;
  else if (tray == kTraySix)
    limits = kTraySixLimits;
  else
    return false;
  return width >= limits.width_from && width <= limits.width_to && height >= limits.height_from &&
         height <= limits.height_to;
}

std::uint16_t GFormToTrayFeature::GetDefaultPaperId() {
  return GetContext()->GetDefaultPaperId();
}
