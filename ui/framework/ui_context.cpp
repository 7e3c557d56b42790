#include "ui/framework/ui_context.h"

#include <algorithm>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/ui_driver_data.h"
#include "foundation/rw/scoped_value.h"
#include "output/core/peripheral.h"
#include "persist/child_iterator.h"
#include "persist/find_of_class.h"
#include "persist/resource_mapping.h"
#include "platform/host/spooler.h"
#include "ui/framework/feature.h"
#include "ui/framework/installed_options_copy.h"

GAttributeComposite* ConfigurationTreeOf(RWCollectable* configuration) {
  auto* root = dynamic_cast<MPersistentObject*>(configuration);
  auto* printer = FindOfClass<GPeripheral>(root, kPrinterObjectKey);
  return printer ? JobSettingsIn(printer->GetConfiguration()) : nullptr;
}

namespace {

// Puts `previous` in place of the descendant `current` of `in`; false when
// `current` is not there.
bool PutBack(MPersistentObject* in, MPersistentObject* current, MPersistentObject* previous) {
  std::unique_ptr<MChildIterator> walk(in->NewChildIterator());
  while (walk && walk->Next()) {
    MPersistentObject* child = walk->Current();
    if (!child) continue;
    if (child == current) {
      walk->ReplaceCurrent(previous);
      return true;
    }
    if (PutBack(child, current, previous)) return true;
  }
  return false;
}

}  // namespace

GUIContext::GUIContext(GUIData* host)
    : host_(host),
      driver_data_(host ? host->driver_data : nullptr),
      settings_(host ? host->settings : nullptr),
      configuration_(host ? ConfigurationTreeOf(host->configuration) : nullptr) {
  EnsureUIObjects();
  if (driver_data_) {
    auto* map = dynamic_cast<GResourceMappingList*>(driver_data_->GetTrayMap());
    if (map) tray_map_.reset(static_cast<GResourceMappingList*>(map->DeepCopy()));
  }
}

GUIContext::~GUIContext() {
  for (GListFeature* listener : listeners_)
    delete listener;
}

void GUIContext::EnsureUIObjects() {
  ui_objects_ = nullptr;
  if (!settings_) return;
  // Each turn takes one object of another class out, so this ends.
  while (MPersistentObject* found = settings_->FindByKey(kUIObjectsKey)) {
    if (found->ClassId() == kGAttributeCompositeId) {
      ui_objects_ = static_cast<GAttributeComposite*>(found);
      return;
    }
    delete settings_->RemoveChild(found);
  }
  ui_objects_ = new GAttributeComposite(kUIObjectsKey);
  settings_->AddChild(ui_objects_);
}

GAttributeView GUIContext::GetSettingsView() {
  return GAttributeView(settings_, this, false);
}

GAttributeView GUIContext::GetConfigView() {
  return GAttributeView(configuration_, this, true);
}

GAttributeView GUIContext::GetUIObjectView() {
  return GAttributeView(ui_objects_, this, false);
}

void GUIContext::AddListener(GListFeature* listener) {
  if (listener) listeners_.push_back(listener);
}

void GUIContext::BeginUpdate(platform::HWND owner) {
  if (update_level_++ > 0) return;
  owner_window_ = owner;
  update_changes_.Clear();
  pending_.Clear();
  undo_.clear();
}

void GUIContext::EndUpdate() {
  if (update_level_ > 0) --update_level_;
}

void GUIContext::DispatchChanges(int force) {
  if (dispatching_) return;
  // Reset however the dispatch ends: a listener that runs out of memory
  // must not stop every dispatch of the sheet after it.
  RWScopedValue<bool> dispatching(dispatching_, true);
  stop_dispatch_ = false;
  GValueList taken = std::move(pending_);
  for (int pass = 0; pass < kMostDispatchPasses; ++pass) {
    if (taken.IsEmpty() && !(force && pass == 0)) break;
    if (pass == 0) {
      for (std::size_t i = 0; i < listeners_.size() && !stop_dispatch_; ++i)
        listeners_[i]->Initialize();
    }
    for (std::size_t i = 0; i < listeners_.size() && !stop_dispatch_; ++i)
      listeners_[i]->OnChanges(taken, force);
    if (stop_dispatch_) break;
    taken = std::move(pending_);
  }
  undo_.clear();
}

void GUIContext::RevertAll() {
  for (auto entry = undo_.rbegin(); entry != undo_.rend(); ++entry)
    Undo(*entry);
  undo_.clear();
  pending_.Clear();
  EnsureUIObjects();
  stop_dispatch_ = true;
  force_refresh_ = true;
}

void GUIContext::Undo(UndoEntry& entry) {
  MPersistentObject* target = entry.target.Get();
  if (!target) return;
  switch (entry.kind) {
    case UndoEntry::kValue:
      static_cast<GValueAttribute*>(target)->SetValue(entry.old_value);
      break;
    case UndoEntry::kString:
      static_cast<GStringAttribute*>(target)->SetValue(entry.old_string);
      break;
    case UndoEntry::kAdded:
      // The entry still holds the child, so the removal answers a copy.
      if (settings_) delete settings_->RemoveChild(target);
      break;
    case UndoEntry::kReplaced:
      if (settings_ && entry.previous) PutBack(settings_, target, entry.previous.Get());
      break;
  }
}

bool GUIContext::WasChanged(std::uint32_t id) const {
  return update_changes_.Contains(id);
}

void GUIContext::RecordChange(std::uint32_t id) {
  update_changes_.AppendUnique(id);
  pending_.AppendUnique(id);
}

void GUIContext::NoteValueWrite(GValueAttribute& attribute, std::uint16_t old_value) {
  undo_.push_back({UndoEntry::kValue, GCountedPtr(&attribute), {}, old_value, {}});
  RecordChange(attribute.Key());
}

void GUIContext::NoteStringWrite(GStringAttribute& attribute, const RWCString& old_value) {
  undo_.push_back({UndoEntry::kString, GCountedPtr(&attribute), {}, 0, old_value});
  RecordChange(attribute.Key());
}

void GUIContext::NoteChildAdded(MPersistentObject& child) {
  undo_.push_back({UndoEntry::kAdded, GCountedPtr(&child), {}, 0, {}});
  RecordChange(child.Key());
}

void GUIContext::NoteReplacement(MPersistentObject* old_child, MPersistentObject* new_child) {
  if (new_child) {
    undo_.push_back({UndoEntry::kReplaced, GCountedPtr(new_child), GCountedPtr(old_child), 0, {}});
  }
  // A replaced kUIObjectsKey must be found again.
  EnsureUIObjects();
}

void GUIContext::PushSnapshot() {
  auto* copy = settings_ ? dynamic_cast<GAttributeComposite*>(settings_->DeepCopy()) : nullptr;
  snapshots_.emplace_back(copy);
}

void GUIContext::PopSnapshot(bool restore) {
  if (snapshots_.empty()) return;
  std::unique_ptr<GAttributeComposite> snapshot = std::move(snapshots_.back());
  snapshots_.pop_back();
  if (!restore || !snapshot || !settings_) return;
  undo_.clear();
  settings_->RemoveAll();
  const GCountedPtrVector& children = snapshot->Children();
  for (RWSize i = 0; i < children.Count(); ++i)
    settings_->AddChild(children[i].Get());
  snapshot.reset();
  EnsureUIObjects();
  force_refresh_ = true;
}

int GUIContext::CommitConfiguration() {
  int result = 0;
  if (driver_data_) {
    // Every forced refresh of a page commits the configuration again; with
    // the options, the printer's data and the model as the last apply here
    // left them, applying again would only reload the same maps and write
    // the same values, so it is skipped.
    const std::uint64_t stamp = PrinterStamp();
    GAttributeComposite* options = InstalledOptions();
    if (stamp != 0 && options && applied_options_ && stamp == applied_stamp_ &&
        driver_data_->GetModelChanges() == applied_model_changes_ &&
        applied_options_->IsEqualContent(options)) {
      result = 1;
    } else {
      applied_options_.reset();
      result = driver_data_->ApplyInstalledOptions(settings_);
      options = InstalledOptions();
      if (result == 1 && stamp != 0 && options) {
        applied_options_.reset(options->DeepCopy());
        applied_stamp_ = stamp;
        applied_model_changes_ = driver_data_->GetModelChanges();
      }
    }
  }
  SetConfigurationPending(1);
  return result;
}

std::uint64_t GUIContext::PrinterStamp() const {
  auto* context = dynamic_cast<GDriverContextBase*>(driver_data_);
  return context ? platform::GetPrinterChangeStamp(context->GetPrinterHandle()) : 0;
}

GAttributeComposite* GUIContext::InstalledOptions() const {
  if (!settings_) return nullptr;
  // The part ApplyInstalledOptions reads.
  if (settings_->Key() == kInstalledOptionsKey) return settings_;
  return dynamic_cast<GAttributeComposite*>(FindDirectChild(settings_, kInstalledOptionsKey));
}

std::uint32_t GUIContext::AutoConfigure() {
  const std::uint32_t code = driver_data_ ? driver_data_->UpdateFromDevice(1) : kNoDeviceValues;
  if (code == 0) ConfigToSettings(host_);
  return code;
}

GAttributeComposite* GUIContext::GetDefaultSettings() {
  if (!default_settings_ && driver_data_)
    default_settings_.reset(driver_data_->BuildDefaultSettings());
  return default_settings_.get();
}

std::uint32_t GUIContext::GetAccessFlags() const {
  return host_ ? host_->access_flags & 0x3 : 0;
}

std::uint32_t GUIContext::GetEffectiveAccessFlags() const {
  std::uint32_t flags = GetAccessFlags();
  if (host_ && (host_->access_flags & 0x4)) flags &= ~std::uint32_t{0x2};
  return flags;
}

std::int32_t GUIContext::EnumAllForms(GFormCallback callback, void* data, int check) {
  return driver_data_ ? driver_data_->EnumAllForms(callback, data, check, settings_) : 0;
}

std::uint16_t GUIContext::GetDefaultPaperId() {
  return static_cast<std::uint16_t>(driver_data_ ? driver_data_->GetDefaultPaperId()
                                                 : kLetterPaperId);
}

GAttributeComposite* GUIContext::FindUserMediaTypes() const {
  return FindComposite(settings_, kUserMediaTypesKey);
}

RWCString GUIContext::GetHelpFile() const {
  RWCString file;
  if (auto* context = dynamic_cast<GDriverContext*>(driver_data_)) {
    context->GetCompanionFilePath(file);
  } else if (GStringAttribute* name = FindStringAttribute(configuration_, kCompanionFileKey)) {
    file = name->GetValue();
  }
  return file;
}

void GUIContext::CollectInstalledSources(GValueList& sources) const {
  GAttributeComposite* devices = FindComposite(configuration_, kPaperHandlingKey);
  const std::uint32_t count = devices ? devices->EntryCount() : 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device || device->GetDeviceType() != kPaperSource || !device->IsInstalled()) continue;
    auto* part = dynamic_cast<GAttributeComposite*>(device->GetPart(device->GetCurrentPartId()));
    const std::uint32_t trays = part ? part->EntryCount() : 0;
    for (std::uint32_t t = 0; t < trays; ++t) {
      if (auto* tray = dynamic_cast<GTray*>(part->Children()[t].Get()))
        sources.Append(tray->GetId());
    }
  }
  sources.Append(kAnySource);
}

bool GUIContext::TakeForcedRefresh() {
  return std::exchange(force_refresh_, false);
}
