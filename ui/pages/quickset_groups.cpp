#include "ui/pages/quickset_groups.h"

#include <new>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/model_lookup.h"
#include "driver/ui_driver_data.h"
#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/registry.h"
#include "platform/message_box.h"
#include "platform/ui/messages.h"
#include "services/os_factory.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/get_string_dialog.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/quickset_apply.h"

using namespace platform;

namespace {

constexpr char16_t kPrinterUUIDName[] = u"PrinterUUID";
constexpr char16_t kUserPoolPath[] = u"\\LocalQuicksetPoolData\\LocalQuicksetPool";
constexpr char kKestrovaKey[] = "\\Software\\Kestrova\\";

// The table's entries.
constexpr std::size_t kList = 0;
constexpr std::size_t kSaveButton = 1;
constexpr std::size_t kDeleteButton = 2;

RWCString QuicksetName(MPersistentObject* quickset) {
  GStringAttribute* name = FindStringAttribute(quickset, kQuicksetNameKey);
  return name ? name->GetValue() : RWCString();
}

}  // namespace

RWWString UserQuicksetPoolName(GDriverData* printer) {
  // The current user's root, written as the signed number it is.
  const auto root = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(kHkeyCurrentUser)));
  GOSFactory* services = GOSFactory::Instance();
  RWWString name = RWWString::FromMultiByte(("???\\" + std::to_string(root)).c_str());
  name += RWWString::FromMultiByte(kKestrovaKey);
  if (services)
    name += services->GetPrinterDataString(printer, RWWString(kPrinterUUIDName), RWWString(u""));
  name += kUserPoolPath;
  return name;
}

std::unique_ptr<GAttributeComposite> LoadQuicksetPool(GDriverData* printer, const RWWString& name) {
  std::unique_ptr<GAttributeComposite> pool(LoadNamedObjectAs<GAttributeComposite>(printer, name));
  if (pool && pool->Key() != kQuicksetPoolKey) pool.reset();
  return pool;
}

std::unique_ptr<GAttributeComposite> CaptureQuickset(GUIContext* context, const RWCString& name) {
  auto* quickset_template = dynamic_cast<GAttributeComposite*>(
      FindDirectChild(context->GetConfiguration(), kQuicksetTemplateKey));
  if (!quickset_template) return nullptr;
  std::unique_ptr<MPersistentObject> copy(quickset_template->DeepCopy());
  std::unique_ptr<GAttributeComposite> quickset(dynamic_cast<GAttributeComposite*>(copy.get()));
  if (!quickset) return nullptr;
  copy.release();
  quickset->SetKey(0);
  GAttributeView settings = context->GetSettingsView();
  const GCountedPtrVector& parts = quickset_template->Children();
  for (RWSize i = 0; i < parts.Count(); ++i) {
    MPersistentObject* part = parts[i].Get();
    if (!part || part->Key() == kQuicksetNameKey) continue;
    if (std::unique_ptr<MPersistentObject> mine = settings.CopyAttribute(part->Key()))
      ReplaceDirectChild(*quickset, part->Key(), *mine);
  }
  GStringAttribute named(name, kQuicksetNameKey);
  if (!ReplaceDirectChild(*quickset, kQuicksetNameKey, named))
    quickset->AddChild(new (kRWNoThrow) GStringAttribute(name, kQuicksetNameKey));
  return quickset;
}

GQuicksetPoolFeature::GQuicksetPoolFeature(GUIContext* owner) : GPageFeature(owner) {}

GQuicksetPoolFeature::~GQuicksetPoolFeature() = default;

void GQuicksetPoolFeature::Reload() {
  entries_.clear();
  GUIDriverData* printer = GetContext()->GetDriverContext();
  printer_pool_ = printer ? LoadQuicksetPool(printer, RWWString(kQuicksetPoolName)) : nullptr;
  user_pool_ = printer ? LoadQuicksetPool(printer, UserQuicksetPoolName(printer)) : nullptr;
  for (bool user : {false, true}) {
    GAttributeComposite* pool = user ? user_pool_.get() : printer_pool_.get();
    if (!pool) continue;
    const GCountedPtrVector& quicksets = pool->Children();
    for (RWSize i = 0; i < quicksets.Count(); ++i) {
      auto* quickset = dynamic_cast<GAttributeComposite*>(quicksets[i].Get());
      // The template's own entry has no name to show.
      const RWCString name = QuicksetName(quickset);
      if (quickset && !name.IsNull()) entries_.push_back({name, user, quickset});
    }
  }
}

bool GQuicksetPoolFeature::SavesToUserPool() const {
  return GetContext()->GetEffectiveAccessFlags() != 0;
}

bool GQuicksetPoolFeature::CanDelete(std::size_t index) const {
  return index < entries_.size() && entries_[index].user == SavesToUserPool();
}

std::size_t GQuicksetPoolFeature::Current() const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].user == current_user_ && entries_[i].name == current_) return i;
  }
  return entries_.size();
}

bool GQuicksetPoolFeature::Apply(std::size_t index, HWND owner) {
  if (index >= entries_.size()) return false;
  const GQuicksetApplied applied = ApplyQuickset(GetContext(), *entries_[index].quickset);
  current_ = entries_[index].name;
  current_user_ = entries_[index].user;
  // One box, whatever was left out.
  if (!applied.skipped.IsEmpty())
    ResMessageBox(owner, kQuicksetSkippedText, kQuicksetCaption, kMbOk | kMbIconInformation);
  else if (!applied.refused.IsEmpty())
    ResMessageBox(owner, kQuicksetRefusedText, kQuicksetCaption, kMbOk | kMbIconInformation);
  return true;
}

bool GQuicksetPoolFeature::Store(bool user) {
  GOSFactory* services = GOSFactory::Instance();
  GUIDriverData* printer = GetContext()->GetDriverContext();
  GAttributeComposite* pool = user ? user_pool_.get() : printer_pool_.get();
  if (!services || !printer || !pool) return false;
  const RWWString name = user ? UserQuicksetPoolName(printer) : RWWString(kQuicksetPoolName);
  return services->StoreNamedObject(printer, name, pool) != 0;
}

bool GQuicksetPoolFeature::Save(const RWCString& name) {
  const RWCString stripped = name.Strip(RWStrip::both);
  if (stripped.IsNull()) return false;
  std::unique_ptr<GAttributeComposite> quickset = CaptureQuickset(GetContext(), stripped);
  if (!quickset) return false;
  const bool user = SavesToUserPool();
  std::unique_ptr<GAttributeComposite>& pool = user ? user_pool_ : printer_pool_;
  // A damaged or missing pool is begun again.
  if (!pool) pool.reset(new (kRWNoThrow) GAttributeComposite(kQuicksetPoolKey));
  if (!pool) return false;
  for (const Entry& entry : entries_) {
    if (entry.user == user && entry.name == stripped) delete pool->RemoveChild(entry.quickset);
  }
  pool->AddChild(quickset.release());
  const bool stored = Store(user);
  if (stored) {
    current_ = stripped;
    current_user_ = user;
  }
  Reload();
  return stored;
}

bool GQuicksetPoolFeature::Delete(std::size_t index) {
  if (!CanDelete(index)) return false;
  const Entry entry = entries_[index];
  GAttributeComposite* pool = entry.user ? user_pool_.get() : printer_pool_.get();
  delete pool->RemoveChild(entry.quickset);
  const bool stored = Store(entry.user);
  Reload();
  return stored;
}

void GQuicksetComboWrapper::Fill() {
  GQuicksetPoolFeature* pool = Pool();
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(kList));
  list.ResetContent();
  for (std::size_t i = 0; i < pool->Count(); ++i)
    list.AddStringWithData(RWWString::FromMultiByte(pool->Name(i)).Data(),
                           static_cast<std::uint32_t>(i));
  const std::size_t current = pool->Current();
  list.SetCurSel(current < pool->Count() ? static_cast<std::int32_t>(current) : -1);
  EnableItem(kDeleteButton, pool->CanDelete(current) && GetFeature()->GetState() == kStateEnabled);
}

void GQuicksetComboWrapper::UpdateControl(int force) {
  if (!force) return;
  Pool()->Reload();
  Fill();
}

LRESULT GQuicksetComboWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || !IsChangeCommand(wparam)) return 0;
  const int control = LowWord(wparam);
  GQuicksetPoolFeature* pool = Pool();
  GComboBoxHelper list;
  list.Attach(GetDialogWindow(), GetControlId(kList));
  const std::int32_t selected = list.GetSelectedData();
  if (control == GetControlId(kList)) {
    if (selected >= 0) pool->Apply(static_cast<std::size_t>(selected), GetDialogWindow());
  } else if (control == GetControlId(kSaveButton)) {
    GGetStringDialog dialog(kQuicksetNamePrompt, RWWString(), kQuicksetNameLimit);
    RWCString name;
    if (dialog.DoModal(GetDialogWindow()) == kIdOk && WideToNarrow(dialog.GetString(), name))
      pool->Save(name);
  } else if (control == GetControlId(kDeleteButton)) {
    if (selected >= 0) pool->Delete(static_cast<std::size_t>(selected));
  } else {
    return 0;
  }
  Fill();
  return 1;
}

GControlKind GQuicksetComboWrapper::ExpectedKind(std::size_t index) const {
  switch (index) {
    case kList:
      return GControlKind::kDropDownList;
    case kSaveButton:
    case kDeleteButton:
      return GControlKind::kPushButton;
    default:
      return GControlKind::kStatic;
  }
}
