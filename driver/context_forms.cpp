// GDriverContextBase: the driver data's form operations over the spooler's
// forms (spooler_forms.h), and the custom sizes made from them.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "driver/driver_context_base.h"
#include "driver/model_lookup.h"
#include "driver/spooler_forms.h"
#include "driver/stored_state.h"
#include "foundation/rw/support.h"
#include "persist/resource_mapping.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "platform/host/system.h"

namespace {

using platform::FormInfo1W;

// Keys read here.
constexpr std::uint32_t kMicrometresPerTenth = 100;

// The check of the custom size range that `settings` ask for.
int RangeCheckOf(MPersistentObject* settings) {
  return SignedValueOr(settings, kScaleFromLargePaperKey, 0) == 0 ? 1 : 0;
}

// Whether the form-to-tray database lets paper id `id` be offered: no
// database, one of default associations only, or one that assigns it.
bool OfferedByTrays(GFormToTrayDatabase* database, std::uint16_t id) {
  if (!database) return true;
  const GFormToTrayLinks links(*database);
  return !links.HasNonDefaultAssociation() || links.IsFormAssigned(id) != 0;
}

bool Landscape(std::uint32_t orientation) {
  return orientation == 90 || orientation == 270;
}

// Adds or changes the form `name` (see PutFormForCustomSize).
int PutForm(platform::HANDLE printer, const RWWString& name, std::uint32_t flags, std::int64_t cx,
            std::int64_t cy, int replace) {
  if (name.IsNull() || cx <= 0 || cy <= 0 || cx > INT32_MAX || cy > INT32_MAX) return 0;
  const auto width = static_cast<platform::LONG>(cx);
  const auto height = static_cast<platform::LONG>(cy);
  const FormInfo1W record{
      flags, const_cast<char16_t*>(name.Data()), {width, height}, {0, 0, width, height}};
  GFormList existing = GFormList::Get(printer, name);
  if (existing.Count() == 0) return GStoredState::AddForm(printer, record) == 1 ? 1 : 0;
  if (IsBuiltInForm(existing[0]) || replace != 1) return 0;
  return GStoredState::SetForm(printer, name.Data(), record) == 1 ? 1 : 0;
}

// The media walk's search for the first medium a form matches.
struct MediumSearch {
  const FormInfo1W* form;
  GMedia* found;
};

int FindMatch(GMedia* medium, GResourceMapping*, std::uint32_t, void* buffer,
              std::uint32_t& reported) {
  auto* search = static_cast<MediumSearch*>(buffer);
  if (!FormMatchesMedium(*search->form, *medium, kFormTolerance)) return 1;
  search->found = medium;
  reported = 1;
  return 0;
}

}  // namespace

GFormList GDriverContextBase::EnumForms() {
  return GFormList::Enumerate(GetPrinterHandle());
}

RWWString GDriverContextBase::BesideModule(const RWWString& name) {
  GOSFactory* services = GOSFactory::Instance();
  char16_t path[kMaxModulePath];
  const platform::DWORD length = platform::GetModuleFileNameW(
      services ? services->GetModuleHandle() : nullptr, path, kMaxModulePath);
  return BesideModuleFile(path, length, name);
}

RWWString GDriverContextBase::BesideModuleFile(const char16_t* module, platform::DWORD length,
                                               const RWWString& name) {
  if (length == 0 || length >= kMaxModulePath) return name;
  const RWWString file(module, length);
  const RWSize at = file.Last(u'\\');
  return at == RW_NPOS ? name : file(0, at + 1) + name;
}

RWWString GDriverContextBase::GetSupportFilePath() {
  GOSFactory* services = GOSFactory::Instance();
  char16_t module[kMaxModulePath];
  const platform::DWORD length = platform::GetModuleFileNameW(
      services ? services->GetModuleHandle() : nullptr, module, kMaxModulePath);
  // A failed read copies nothing; a cut one copies all but the terminator.
  const std::u16string_view copied(module, length == 0 ? 0 : std::min(length, kMaxModulePath - 1));
  KeptSupportPath& kept = support_path_;
  if (kept.held && kept.model_changes == GetModelChanges() &&
      kept.configuration == GetConfiguration() && kept.module_length == length &&
      kept.module == copied) {
    return kept.path;
  }
  kept.path = BesideModuleFile(module, length, GDriverDataImp::GetSupportFilePath());
  kept.module.assign(copied);
  kept.module_length = length;
  kept.configuration = GetConfiguration();
  kept.model_changes = GetModelChanges();
  kept.held = true;
  return kept.path;
}

int GDriverContextBase::IsRemotePrinter() {
  std::unique_ptr<platform::BYTE[]> record = ReadPrinterInfo2(GetPrinterHandle());
  return record && reinterpret_cast<platform::PrinterInfo2W*>(record.get())->server_name ? 1 : 0;
}

namespace {

// The custom size range in micrometres at one resolution and orientation,
// computed once for a walk over many forms. The limits are the media of
// that orientation, which a turned pool holds turned: swapping them back
// for 90 and 270 degrees compares the upright form with an upright range,
// so a landscape record's paper fits whenever the portrait one's does.
// (Taking the limits at 0 degrees and swapping them refused Letter turned.)
GFormRange CustomRange(GDriverDataImp& data, std::uint16_t x, std::uint16_t y,
                       std::uint32_t orientation, int check) {
  GFormRange range;
  range.check = check != 0;
  range.known = x != 0 && y != 0;  // a resolution of 0 gives no range: nothing fits
  if (!range.check || !range.known) return range;
  GSize16 minimum(0, 0);
  GSize16 maximum(kLargestMediaLength, kLargestMediaLength);
  data.CustomSizeLimits(orientation, x, y, minimum, maximum);
  range.low_x = platform::MulDiv(minimum.width, kMicrometresPerInch, x);
  range.low_y = platform::MulDiv(minimum.height, kMicrometresPerInch, y);
  range.high_x = platform::MulDiv(maximum.width, kMicrometresPerInch, x);
  range.high_y = platform::MulDiv(maximum.height, kMicrometresPerInch, y);
  if (Landscape(orientation)) {
    std::swap(range.low_x, range.low_y);
    std::swap(range.high_x, range.high_y);
  }
  return range;
}

}  // namespace

int GDriverContextBase::FormFitsCustomRange(const FormInfo1W& form, std::uint16_t x_resolution,
                                            std::uint16_t y_resolution, std::uint32_t orientation,
                                            int check) {
  return CustomRange(*this, x_resolution, y_resolution, orientation, check).Fits(form) ? 1 : 0;
}

std::uint16_t GDriverContextBase::FormPaperId(const FormInfo1W& form, std::uint32_t position) {
  if (!::IsBuiltInForm(form)) return PaperIdOfPosition(position);
  std::uint16_t id = 0;
  if (position >= UINT16_MAX) return 0;
  return GDriverDataImp::FormIndexToPaperId(static_cast<std::uint16_t>(position + 1), id) ? id : 0;
}

int GDriverContextBase::IsFormUsable(std::uint32_t orientation, std::uint16_t x_resolution,
                                     std::uint16_t y_resolution, int check, std::uint16_t number) {
  GFormList forms = EnumForms();
  if (number == 0 || number == kCustomSizeFormNumber || number > forms.Count()) return 0;
  return FormFitsCustomRange(forms[number - 1u], x_resolution, y_resolution, orientation, check);
}

int GDriverContextBase::FormIndexToPaperId(std::uint16_t number, std::uint16_t& id) {
  if (number == kCustomSizeFormNumber) {
    id = kCustomSizePaperId;
    return 1;
  }
  GFormList forms = EnumForms();
  if (number == 0 || number > forms.Count()) return 0;
  const std::uint16_t found = FormPaperId(forms[number - 1u], number - 1u);
  if (found == 0) return 0;
  id = found;
  return 1;
}

int GDriverContextBase::PaperIdToFormIndex(std::uint16_t id, std::uint16_t& number) {
  return SearchFormForPaperId(id, number, false);
}

int GDriverContextBase::SearchFormForPaperId(std::uint16_t id, std::uint16_t& number,
                                             bool by_name) {
  if (id == kCustomSizePaperId) {
    number = kCustomSizeFormNumber;
    return 1;
  }
  if (id > kCustomSizePaperId && PaperIdOfPosition(id - kCustomSizePaperId)) {
    number = static_cast<std::uint16_t>(id - kCustomSizePaperId + 1);
    return 1;
  }
  std::uint16_t mapped = 0;
  if (GDriverDataImp::PaperIdToFormIndex(id, mapped) && mapped > 0) {
    number = mapped;
    return 1;
  }
  const platform::DevModeW* record =
      dev_mode_settings_ ? dev_mode_settings_->GetDevMode() : nullptr;
  if (!record) return 0;
  // The context's own lookup takes every record that is not portrait as
  // landscape; the driver data's only a landscape one.
  const std::int16_t field = DevModeOrientation(record);
  const std::uint32_t orientation =
      (by_name ? field != kDevModePortrait : field == kDevModeLandscape) ? 90 : 0;
  GMediaPool* pool = GetSymmetricMediaPool();
  GMedia* medium =
      pool ? pool->FindByPaperSizeId(id, orientation, dev_mode_settings_->GetXResolution(),
                                     dev_mode_settings_->GetYResolution())
           : nullptr;
  if (!medium) return 0;
  GFormList forms = EnumForms();
  RWWString name;
  if (by_name) {
    auto* mapping = dynamic_cast<GResourceMappingList*>(GetPaperSizeMapping());
    GResourceMapping* entry =
        mapping ? mapping->FindBySecondNumber(static_cast<std::int16_t>(id)) : nullptr;
    if (entry) name = LoadSupportString(entry->StringResourceId());
  }
  for (std::uint32_t i = 0; i < forms.Count(); ++i) {
    const FormInfo1W& form = forms[i];
    if (::IsBuiltInForm(form) || !PaperIdOfPosition(i)) continue;
    if (FormMatchesMedium(form, *medium, kFormTolerance) ||
        (!name.IsNull() && FormName(form) == name)) {
      number = static_cast<std::uint16_t>(i + 1);
      return 1;
    }
  }
  return 0;
}

RWWString GDriverContextBase::LoadSupportString(std::uint32_t string_id) {
  platform::HMODULE library = platform::LoadLibraryW(GetSupportFilePath().Data());
  if (!library) return RWWString();
  RWWString text = LoadFormName(library, string_id);
  platform::FreeLibrary(library);
  return text;
}

GMedia* GDriverContextBase::FindMediumForForm(const FormInfo1W& form, std::uint32_t orientation,
                                              std::uint16_t x_resolution,
                                              std::uint16_t y_resolution) {
  MediumSearch search{&form, nullptr};
  std::uint32_t index = 0;
  EnumMedia(&FindMatch, orientation, x_resolution, y_resolution, 0, &search, 0, index);
  return search.found;
}

GMedia* GDriverContextBase::MediumFromForm(const FormInfo1W& form, std::uint32_t orientation,
                                           std::uint16_t x_resolution, std::uint16_t y_resolution) {
  if (form.size.cx <= 0 || form.size.cy <= 0) return nullptr;
  if (GMedia* match = FindMediumForForm(form, orientation, x_resolution, y_resolution))
    return new (kRWNoThrow) GMedia(*match);
  const auto smaller = static_cast<std::uint32_t>(std::min(form.size.cx, form.size.cy));
  const auto larger = static_cast<std::uint32_t>(std::max(form.size.cx, form.size.cy));
  const GCustomMediaSize size(kCustomSizePaperId, FormNarrowName(form), kMicrometre, smaller,
                              larger, 0);
  return MakeMediaFromCustomSize(size, GetJobSettings(), x_resolution, y_resolution, orientation);
}

GMedia* GDriverContextBase::MediumForFormNumber(std::uint16_t number, std::uint32_t orientation,
                                                std::uint16_t x_resolution,
                                                std::uint16_t y_resolution) {
  GFormList forms = EnumForms();
  if (number == 0 || number == kCustomSizeFormNumber || number > forms.Count()) return nullptr;
  std::unique_ptr<GMedia> medium(
      MediumFromForm(forms[number - 1u], orientation, x_resolution, y_resolution));
  if (medium && medium->GetPaperSizeId() == kCustomSizePaperId) {
    const std::uint16_t id = PaperIdOfPosition(number - 1u);
    if (id == 0) return nullptr;
    medium->SetPaperSizeId(id);
  }
  return medium.release();
}

int GDriverContextBase::CheckPaper(GAttributeComposite* settings, std::uint16_t paper_id,
                                   std::uint32_t orientation, std::uint16_t x_resolution,
                                   std::uint16_t y_resolution) {
  std::uint16_t number = 0;
  if (!PaperIdToFormIndex(paper_id, number) || number == kCustomSizeFormNumber) {
    return GDriverDataImp::CheckPaper(settings, paper_id, orientation, x_resolution, y_resolution);
  }
  std::unique_ptr<GMedia> medium(
      MediumForFormNumber(number, orientation, x_resolution, y_resolution));
  if (!medium) return 0;
  return GDriverDataImp::CheckPaper(settings, medium->GetPaperSizeId(), orientation, x_resolution,
                                    y_resolution);
}

std::uint16_t GDriverContextBase::NormalizePaperId(GAttributeComposite* settings,
                                                   std::uint16_t id) {
  // Ids from 4000 up are no model media.
  constexpr std::uint16_t kFirstNonModelId = 4000;
  std::uint16_t number = 0;
  if (!PaperIdToFormIndex(id, number) || number == kCustomSizeFormNumber) return id;
  const GSettingsGeometry geometry = ReadSettingsGeometry(settings);
  std::unique_ptr<GMedia> medium(
      MediumForFormNumber(number, geometry.orientation, geometry.x, geometry.y));
  return medium && medium->GetPaperSizeId() < kFirstNonModelId ? medium->GetPaperSizeId() : id;
}

int GDriverContextBase::PutFormForCustomSize(platform::HANDLE printer, const GCustomMediaSize& size,
                                             std::uint32_t flags, int replace) {
  RWWString name;
  NarrowToWide(size.GetName(), name);
  const GSize32 micrometres = size.GetSizeIn(kMicrometre);
  return PutForm(printer, name, flags, micrometres.width, micrometres.height, replace);
}

int GDriverContextBase::PutFormForMedium(platform::HANDLE printer, const GMedia& medium,
                                         const RWWString& name, int replace) {
  const std::int64_t cx =
      platform::MulDiv(medium.GetPaperSize().width, kMicrometresPerInch, medium.GetXResolution());
  const std::int64_t cy =
      platform::MulDiv(medium.GetPaperSize().height, kMicrometresPerInch, medium.GetYResolution());
  return PutForm(printer, name, platform::kFormPrinter, cx, cy, replace);
}

int GDriverContextBase::AddCustomForm(GCustomMediaSize* size, GAttributeComposite* list) {
  if (!size || !list) return 0;
  RWWString name;
  NarrowToWide(size->GetName(), name);
  // A new form lands after the last one; a form of that name keeps its
  // place. A position that names no form would give the size no id.
  GFormList forms = EnumForms();
  const std::int64_t held = forms.FindLast(name);
  if (!PaperIdOfPosition(static_cast<std::uint32_t>(held >= 0 ? held : forms.Count()))) return 0;
  if (!PutFormForCustomSize(GetPrinterHandle(), *size, platform::kFormUser, 1)) return 0;
  forms = EnumForms();
  const std::int64_t position = forms.FindLast(name);
  const std::uint16_t id =
      position >= 0 ? PaperIdOfPosition(static_cast<std::uint32_t>(position)) : std::uint16_t{0};
  if (id == 0) return 0;
  size->SetId(id);
  PutCustomSize(*list, size);
  return 1;
}

int GDriverContextBase::DeleteCustomForm(MPersistentObject* object, GAttributeComposite* list,
                                         GAttributeComposite* settings) {
  auto* size = dynamic_cast<GCustomMediaSize*>(object);
  if (!size || !list) return 0;
  RWWString name;
  NarrowToWide(size->GetName(), name);
  if (GStoredState::DeleteForm(GetPrinterHandle(), name.Data()) != 1) return 0;
  // `object` may be an entry: it goes with the list.
  list->RemoveAll();
  const GSettingsGeometry geometry = ReadSettingsGeometry(settings);
  AddCustomSizesFromForms(list, geometry.x, geometry.y, geometry.orientation,
                          RangeCheckOf(settings));
  return 1;
}

int GDriverContextBase::AddCustomSizesFromForms(GAttributeComposite* list,
                                                std::uint16_t x_resolution,
                                                std::uint16_t y_resolution,
                                                std::uint32_t orientation, int check) {
  if (!list) return 0;
  GFormList forms = EnumForms();
  const GFormRange range = CustomRange(*this, x_resolution, y_resolution, orientation, check);
  int added = 0;
  for (std::uint32_t i = 0; i < forms.Count(); ++i) {
    const FormInfo1W& form = forms[i];
    const std::uint16_t id = PaperIdOfPosition(i);
    if (::IsBuiltInForm(form) || id == 0 || !range.Fits(form)) continue;
    const auto smaller = static_cast<std::uint32_t>(std::min(form.size.cx, form.size.cy));
    const auto larger = static_cast<std::uint32_t>(std::max(form.size.cx, form.size.cy));
    auto* size = new (kRWNoThrow)
        GCustomMediaSize(id, FormNarrowName(form), kMicrometre, smaller, larger, 0);
    if (!size) break;
    list->AddChild(size);
    ++added;
  }
  return added;
}

int GDriverContextBase::RefreshCustomSizes(GAttributeComposite* settings) {
  GAttributeComposite* list = FindComposite(settings, kCustomSizesKey);
  if (!list) return 0;
  list->RemoveAll();
  GValueAttribute* width = FindValueAttribute(settings, kCustomWidthKey);
  GValueAttribute* height = FindValueAttribute(settings, kCustomHeightKey);
  if (width && height) {
    list->AddChild(new (kRWNoThrow) GCustomMediaSize(kCustomSizePaperId, RWCString(), kMicrometre,
                                                     width->GetValue() * kMicrometresPerTenth,
                                                     height->GetValue() * kMicrometresPerTenth, 0));
  }
  const GSettingsGeometry geometry = ReadSettingsGeometry(settings);
  return AddCustomSizesFromForms(list, geometry.x, geometry.y, geometry.orientation,
                                 RangeCheckOf(settings));
}

int GDriverContextBase::IsFormAvailable(const GFormList& forms, std::uint32_t position,
                                        std::uint16_t x_resolution, std::uint16_t y_resolution,
                                        std::uint32_t orientation, int check) {
  if (position >= forms.Count()) return 0;
  FormListFacts& facts = form_list_facts_;
  if (facts.list != forms.Serial() || forms.Serial() == 0) {
    facts = FormListFacts{};
    facts.list = forms.Serial();
  }
  if (!facts.range_taken || facts.x != x_resolution || facts.y != y_resolution ||
      facts.orientation != orientation || facts.check != check) {
    facts.range = CustomRange(*this, x_resolution, y_resolution, orientation, check);
    facts.range_taken = true;
    facts.x = x_resolution;
    facts.y = y_resolution;
    facts.orientation = orientation;
    facts.check = check;
  }
  const FormInfo1W& form = forms[position];
  if (!facts.range.Fits(form)) return 0;
  const std::uint16_t id = FormPaperId(form, position);
  if (id == 0) return 0;
  if (!facts.trays_taken) TakeTrayFacts(facts);
  if (facts.every_id) return 1;
  return std::binary_search(facts.assigned.begin(), facts.assigned.end(), id) ? 1 : 0;
}

void GDriverContextBase::TakeTrayFacts(FormListFacts& facts) {
  std::unique_ptr<GAttributeComposite> stored;
  GAttributeComposite* options = FindComposite(GetDefaultSettings(), kInstalledOptionsKey);
  if (!options) {
    stored.reset(LoadNamedSettings(kInstalledOptionsKey));
    options = stored.get();
  }
  auto* database = FindOfClass<GFormToTrayDatabase>(options, kFormToTrayKey);
  facts.trays_taken = true;
  // OfferedByTrays for every id at once: the ids the links assign.
  facts.every_id = !database || !GFormToTrayLinks(*database).HasNonDefaultAssociation();
  if (facts.every_id) return;
  RWShortVector forms;
  GFormToTrayLinks(*database).CollectForms(forms);
  for (RWSize i = 0; i < forms.Count(); ++i)
    facts.assigned.push_back(forms[i]);
  std::sort(facts.assigned.begin(), facts.assigned.end());
}

std::int32_t GDriverContextBase::WalkForms(GFormCallback callback, void* data, int check,
                                           GAttributeComposite* settings, bool by_tray) {
  if (!settings) settings = EnsureDefaultSettings();
  const GSettingsGeometry geometry = ReadSettingsGeometry(settings);
  auto* database = by_tray ? FindOfClass<GFormToTrayDatabase>(settings, kFormToTrayKey) : nullptr;
  // Asked once, not per form.
  if (database && !GFormToTrayLinks(*database).HasNonDefaultAssociation()) database = nullptr;
  GFormList forms = EnumForms();
  const GFormRange range = CustomRange(*this, geometry.x, geometry.y, geometry.orientation, check);
  std::int32_t count = 0;
  RWWString name;  // one buffer for the names handed out, unless a callback keeps one
  for (std::uint32_t i = 0; i < forms.Count(); ++i) {
    const FormInfo1W& form = forms[i];
    if (!range.Fits(form)) continue;
    const std::uint16_t id = FormPaperId(form, i);
    if (id == 0 || !OfferedByTrays(database, id)) continue;
    ++count;
    if (!callback) continue;
    const char16_t* text = form.name ? form.name : u"";
    name.Replace(0, name.Length(), text, std::char_traits<char16_t>::length(text));
    if (callback(static_cast<std::uint32_t>(count), id, name, data) != 1) break;
  }
  return count;
}

std::int32_t GDriverContextBase::EnumFormsForPrinter(GFormCallback callback, void* data, int check,
                                                     GAttributeComposite* settings) {
  return WalkForms(callback, data, check, settings, true);
}

std::int32_t GDriverContextBase::EnumAllForms(GFormCallback callback, void* data, int check,
                                              GAttributeComposite* settings) {
  return WalkForms(callback, data, check, settings, false);
}

int GDriverContextBase::EnumBuiltInForms(GFormCallback callback, void* data) {
  GFormList forms = EnumForms();
  int answer = 1;
  std::uint32_t count = 0;
  for (std::uint32_t i = 0; callback && i < forms.Count(); ++i) {
    if (!::IsBuiltInForm(forms[i])) continue;
    answer = callback(++count, FormPaperId(forms[i], i), FormName(forms[i]), data);
    if (answer == 0) break;
  }
  return answer;
}

int GDriverContextBase::IsBuiltInForm(const GCustomMediaSize& size) {
  RWWString name;
  NarrowToWide(size.GetName(), name);
  GFormList form = GFormList::Get(GetPrinterHandle(), name);
  return form.Count() == 1 && ::IsBuiltInForm(form[0]) ? 1 : 0;
}
