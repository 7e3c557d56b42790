// GUIContext: the user-interface data object of one property sheet (or of
// the instructions dialog), through which every feature, wrapper and rule
// reaches the settings being edited. Made by the plug-in on the host record
// (GUIData) and deleted by its UI_DESTROY.
//
// What it keeps: the host record; the settings composite (the host's);
// the configuration tree (the job settings of the configuration object's
// printer object, child kPrinterObjectKey); the user-interface composite kUIObjectsKey of the
// settings, added when missing (a kUIObjectsKey of another class is replaced by a new
// composite), which holds the flags and messages of the rules; a copy of
// the driver data's tray map taken at construction; the default settings
// the driver data builds (the "third composite"), made on first use; the
// constraint rules (listeners) it owns; the update level and owner window;
// the change records and the undo log; the snapshots of the modal dialogs.
//
// Updates and changes. BeginUpdate opens a level; the first keeps the owner
// window and clears the change records and the undo log. Every write of a
// view records the id twice: for WasChanged (until the next first-level
// BeginUpdate) and for the next dispatch, which takes the ids recorded
// since the last one.
//
// DispatchChanges(force) runs the rules: not re-entrant (a nested call
// returns at once); it takes the recorded ids; pass loop, at most 101
// passes: it ends when the taken list is empty, unless force is set and it
// is the first pass; in the first pass every listener's Initialize runs, in
// registration order; in every pass every listener's OnChanges runs with
// the taken list and force; then the ids recorded during the pass are
// taken. The undo log is cleared when the dispatch ends.
//
// RevertAll undoes, newest first, every write since the last dispatch
// ended (or the update began): values, strings, created values and
// children, and replacements (which record no change). Inside a dispatch
// it ends the pass loop at once (no further listener runs: the rules'
// flags were reverted with the rest); in any case it forgets the recorded
// ids not yet dispatched and forces the next refresh of the pages.
//
// Snapshots: a modal dialog pushes a deep copy of the settings; popping it
// with restore puts the copy's children back into the settings composite,
// which keeps its address.
//
// Ownership: the context owns its listeners (deleted through their virtual
// destructors), the tray map copy, the third composite and the snapshots.
// The host record, the settings, the configuration and the driver data are
// the host's. Threads: the sheet's; no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "driver/driver_data_imp.h"
#include "driver/ui_plugin_records.h"
#include "foundation/rw/cstring.h"
#include "persist/counted_ptr.h"
#include "platform/host/types.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/value_list.h"

class GAttributeComposite;
class GListFeature;
class GResourceMappingList;
class GStringAttribute;
class GUIDriverData;
class GValueAttribute;
class MPersistentObject;

// The first id of the user-interface objects (flags and messages).
inline constexpr std::uint32_t kFirstUIObjectId = 0x40000000;
// The most passes of one dispatch.
inline constexpr int kMostDispatchPasses = 101;
// The source every installed-sources list holds: any paper.
inline constexpr std::uint16_t kAnySource = 19;

// The configuration tree of a host record's configuration object: the job
// settings of its printer object (child kPrinterObjectKey), as the driver
// data reads them (JobSettingsIn, driver/model_lookup.h); null when either
// is missing or of another class.
GAttributeComposite* ConfigurationTreeOf(RWCollectable* configuration);

class GUIContext {
 public:
  // REQUIRES: `host` (may be null: then nothing is reachable) outlives the
  // context.
  explicit GUIContext(GUIData* host);
  GUIContext(const GUIContext&) = delete;
  GUIContext& operator=(const GUIContext&) = delete;
  // Deletes the listeners, the snapshots, the tray map copy and the third
  // composite.
  virtual ~GUIContext();

  // --- Virtual operations, in slot order.

  // Appends `listener` (null: nothing), which the context owns.
  virtual void AddListener(GListFeature* listener);
  // Opens an update level; the first keeps `owner` and clears the change
  // records and the undo log.
  virtual void BeginUpdate(platform::HWND owner);
  // Closes a level (nothing when none is open).
  virtual void EndUpdate();
  // See the file comment.
  virtual void DispatchChanges(int force);
  // See the file comment.
  virtual void RevertAll();
  // Whether `id` was recorded in the current update.
  virtual bool WasChanged(std::uint32_t id) const;
  // Records `id` as changed.
  virtual void RecordChange(std::uint32_t id);
  // The owner window of the current update.
  virtual platform::HWND GetOwnerWindow() const { return owner_window_; }
  // The configuration-pending flag.
  virtual void SetConfigurationPending(std::uint32_t pending) { pending_configuration_ = pending; }
  virtual std::uint32_t IsConfigurationPending() const { return pending_configuration_; }
  // Snapshots of the settings for modal dialogs.
  virtual void PushSnapshot();
  // Drops the newest snapshot; with `restore`, first puts its children back
  // into the settings composite (the same object) and forces the next
  // refresh. Nothing without a snapshot.
  virtual void PopSnapshot(bool restore);
  // The driver data's ApplyInstalledOptions with the settings, then the
  // pending flag 1; answers the driver data's result (0 without one). The
  // apply is skipped (answering 1) while the settings' installed options,
  // the printer's change stamp and the model's changes are as this
  // context's last apply left them.
  virtual int CommitConfiguration();
  // The automatic configuration: the driver data's UpdateFromDevice(1)
  // (the device values into the job settings) and, when that answered 0,
  // the plug-in's configuration-to-settings copy on the host record
  // (ConfigToSettings). Answers UpdateFromDevice's code: 0, 8 when the
  // printer's model does not match, kNoDeviceValues without device values
  // (and without driver data). The configuration program the host
  // record's printer and port names are kept for is not started.
  virtual std::uint32_t AutoConfigure();

  // --- Views.

  // Writable on the settings composite.
  GAttributeView GetSettingsView();
  // Read-only on the configuration tree.
  GAttributeView GetConfigView();
  // Writable on the user-interface composite kUIObjectsKey.
  GAttributeView GetUIObjectView();

  // --- What the host gave, and what is made of it.

  GUIData* GetHost() const { return host_; }
  // The host's driver data (may be null).
  GUIDriverData* GetDriverContext() const { return driver_data_; }
  GAttributeComposite* GetSettings() const { return settings_; }
  GAttributeComposite* GetConfiguration() const { return configuration_; }
  GAttributeComposite* GetUIObjects() const { return ui_objects_; }
  // The driver data's BuildDefaultSettings, built on first use and kept
  // (null without driver data).
  GAttributeComposite* GetDefaultSettings();
  // Bits 0-1 of the host's access word.
  std::uint32_t GetAccessFlags() const;
  // The same with bit 1 cleared when host access bit 2 is set.
  std::uint32_t GetEffectiveAccessFlags() const;

  // The driver data's EnumAllForms with the settings composite: the forms
  // it reports (0 without driver data).
  std::int32_t EnumAllForms(GFormCallback callback, void* data, int check);
  // The driver data's default paper id (Letter without driver data).
  std::uint16_t GetDefaultPaperId();
  // The copy of the driver data's tray map (null when it had none).
  GResourceMappingList* GetTrayMap() const { return tray_map_.get(); }
  // The settings' list of user-defined paper types (kUserMediaTypesKey), or null.
  GAttributeComposite* FindUserMediaTypes() const;
  // The help file of the pages: the printer context's companion file, or
  // the configuration's string kCompanionFileKey as it is.
  RWCString GetHelpFile() const;
  // The installed sources: the tray ids of the current parts of the
  // installed paper-source devices of the configuration's devices (kPaperHandlingKey), in
  // order, and kAnySource.
  void CollectInstalledSources(GValueList& sources) const;

  // Asks the next refresh of the pages to be forced; TakeForcedRefresh
  // answers and clears the request.
  void ForceNextRefresh() { force_refresh_ = true; }
  bool TakeForcedRefresh();
  int UpdateLevel() const { return update_level_; }
  bool IsDispatching() const { return dispatching_; }

  // --- What the views report (they have already changed the model).

  void NoteValueWrite(GValueAttribute& attribute, std::uint16_t old_value);
  void NoteStringWrite(GStringAttribute& attribute, const RWCString& old_value);
  void NoteChildAdded(MPersistentObject& child);
  void NoteReplacement(MPersistentObject* old_child, MPersistentObject* new_child);

 private:
  struct UndoEntry {
    enum Kind { kValue, kString, kAdded, kReplaced } kind;
    GCountedPtr target;    // the attribute written, the child added or put in
    GCountedPtr previous;  // the child replaced
    std::uint16_t old_value = 0;
    RWCString old_string;
  };

  // Finds, or makes, the user-interface composite.
  void EnsureUIObjects();
  void Undo(UndoEntry& entry);

  // The printer's change stamp (0 when it is not known) and the settings'
  // installed-options part, or null.
  std::uint64_t PrinterStamp() const;
  GAttributeComposite* InstalledOptions() const;

  GUIData* host_;
  GUIDriverData* driver_data_;
  GAttributeComposite* settings_;
  GAttributeComposite* configuration_;
  GAttributeComposite* ui_objects_ = nullptr;
  std::unique_ptr<GResourceMappingList> tray_map_;
  std::unique_ptr<GAttributeComposite> default_settings_;
  std::vector<GListFeature*> listeners_;
  std::vector<std::unique_ptr<GAttributeComposite>> snapshots_;
  std::vector<UndoEntry> undo_;
  GValueList update_changes_;  // for WasChanged
  GValueList pending_;         // for the next dispatch (or pass)
  platform::HWND owner_window_ = nullptr;
  int update_level_ = 0;
  std::uint32_t pending_configuration_ = 0;
  bool dispatching_ = false;
  bool stop_dispatch_ = false;
  // The installed options as the last apply here found them (null: none
  // kept), with the printer's change stamp and the model's changes after it.
  std::unique_ptr<MPersistentObject> applied_options_;
  std::uint64_t applied_stamp_ = 0;
  std::uint64_t applied_model_changes_ = 0;
  bool force_refresh_ = false;
};
