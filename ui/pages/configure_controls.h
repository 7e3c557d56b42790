// The Configure page's option controls and those of its "More
// Configuration Options" dialog (and the Finishing page's pattern
// scaling): each a feature over the settings with the wrapper that owns it.
//
//   GMemoryFeature/GMemoryEditWrapper        installed memory (kMemoryKey), an
//       edit with an up-down: typed values are clamped to the limits (in
//       list mode the largest allowed value not above them), steps walk the
//       list; after a step or leaving the edit, job storage (kJobRetentionKey),
//       collation (kCollationUnitKey) and the third option (kIgnoreCollationKey) follow the memory
//       and the hard disk (kPrinterHardDiskKey).
//   GDwsFeature/GDwsEditWrapper              driver work space (kDriverWorkSpaceKey) in
//       hundredths of a megabyte, shown with two decimals and the user's
//       decimal separator; a memory change shows D(m).
//   GConfigStatusFeature/...ComboWrapper     configuration status (kConfigStatusKey):
//       choosing a status applies its stored set of options.
//   GPaperSourcesFeature/...ComboWrapper     the optional paper sources
//       (kOptionalPaperSourcesKey, an accessory part number).
//   GManualDuplexFeature, GHardDiskFeature, GCollationFeature and their
//   check-box wrappers.
//
// Texts typed into the edits are read locale-free and at most 8
// characters; a memory text beyond 32 bits clamps, it never wraps.
//
// Ownership: each wrapper owns its feature; the configuration-status
// feature owns its automatic-configuration feature. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/feature.h"
#include "ui/pages/configure_features.h"
#include "ui/pages/media_type_controls.h"
#include "ui/pages/page_groups.h"

// The limits of the memory field, from its record of 16-bit words.
struct GSpinLimits {
  int mode = 2;
  std::int32_t min = 16;
  std::int32_t max = 384;
  std::int32_t step = 1;
  std::vector<std::int32_t> values;  // list mode only, ascending

  // Mode 0: min, max, step; mode 1: count (at most 20) and the values;
  // any other mode 16..384 by 1. REQUIRES: `record` holds what its mode
  // reads.
  static GSpinLimits FromRecord(const std::int16_t* record);
  bool IsList() const { return mode == 1 && !values.empty(); }
};

// What made the memory change, for the dependent options.
enum class GMemoryChange { kLeftEdit, kStepUp, kStepDown };

class GMemoryFeature : public GAttributeFeature {
 public:
  explicit GMemoryFeature(GUIContext* owner) : GAttributeFeature(owner, &kMemoryKey) {}

  // The value a typed text stands for (at most its first 8 characters).
  static std::int32_t ReadText(std::u16string_view text, const GSpinLimits& limits);
  // The value after a step of `delta` from `value`.
  static std::int32_t Step(std::int32_t value, int delta, const GSpinLimits& limits);
  // Sets kJobRetentionKey, kCollationUnitKey and kIgnoreCollationKey as the memory and the hard
  // disk ask after `change`.
  void SetDependents(GMemoryChange change);
};

// An edit (entry 0) with an up-down (entry 1): a step of the up-down
// (UDN_DELTAPOS, refused: the wrapper sets the value) calls Step, the edit
// losing the focus calls Leave, and the up-down's scroll message clears
// the edit's selection.
class GSpinEditWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  // The edit, the up-down, then labels.
  GControlKind ExpectedKind(std::size_t index) const override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 protected:
  virtual void Step(bool up) = 0;
  virtual void Leave() = 0;
  // The up-down's range and the edit's limit of 7 characters.
  void LimitEdit(std::int32_t low, std::int32_t high);
};

class GMemoryEditWrapper : public GSpinEditWrapper {
 public:
  // Entries: 0 the edit, 1 the up-down. REQUIRES: `limits` as FromRecord.
  GMemoryEditWrapper(GMemoryFeature* feature, const GControlEntry* table,
                     const std::int16_t* limits);
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;

 private:
  void Step(bool up) override;
  void Leave() override;
  GMemoryFeature* Memory() const { return static_cast<GMemoryFeature*>(GetFeature()); }
  GSpinLimits limits_;
};

class GDwsFeature : public GAttributeFeature {
 public:
  explicit GDwsFeature(GUIContext* owner) : GAttributeFeature(owner, &kDriverWorkSpaceKey) {}

  // Also notes whether the memory changed (kept until used).
  bool WasChanged() override;
  bool TakeMemoryNote() { return std::exchange(memory_changed_, false); }
  // D(m) for the memory of the settings (below 1 counts as 64).
  std::int32_t DerivedValue() const;
  static std::int32_t Derived(std::int32_t memory);
  // "v/100<separator>v%100" with two digits after the separator.
  static RWWString Format(std::int32_t value, std::u16string_view separator);
  // The number of a text (at most 8 characters, `separator` read as the
  // point) times 100, rounded; `fallback` when it is no number.
  static std::int32_t Parse(std::u16string_view text, std::u16string_view separator,
                            std::int32_t fallback);
  // The user's decimal separator ("intl", "sDecimal", default ".").
  static RWWString DecimalSeparator();

 private:
  bool memory_changed_ = false;
};

class GDwsEditWrapper : public GSpinEditWrapper {
 public:
  // Entries: 0 the edit, 1 the up-down. `limits`: words 1-3 min, max and
  // step in hundredths.
  GDwsEditWrapper(GDwsFeature* feature, const GControlEntry* table, const std::int16_t* limits);
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;

 private:
  void Step(bool up) override;
  void Leave() override;
  GDwsFeature* WorkSpace() const { return static_cast<GDwsFeature*>(GetFeature()); }
  void Show();
  std::int32_t min_;
  std::int32_t max_;
  std::int32_t step_;
};

class GPaperSourcesFeature : public GAttributeFeature {
 public:
  explicit GPaperSourcesFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kOptionalPaperSourcesKey) {}
  bool WasChanged() override;
  // Writes kOptionalPaperSourcesKey; on a change also kDifferentFirstPageKey = 0, the five trays =
  // 19, the commit and the links of trays no longer installed dropped.
  static void SetPaperSources(GUIContext* context, const RWCString& part_number);
  RWCString GetPartNumber() const;
  // The list's items: (text, part number), "(None)" first.
  void BuildList(std::vector<RWWString>& texts, std::vector<RWCString>& parts) const;
};

class GPaperSourcesComboWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  // The list, then its label.
  GControlKind ExpectedKind(std::size_t index) const override;
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;

 private:
  GComboBoxHelper list_;
  std::vector<RWCString> parts_;
};

class GConfigStatusFeature : public GAttributeFeature {
 public:
  explicit GConfigStatusFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kConfigStatusKey), auto_config_(owner) {}
  // Sets kConfigStatusKey and applies the status's set (see the file comment).
  void SetValue(std::int32_t value) override;
  // From the printer's "LastUpdateType": "Auto" and "Admin" confirmed.
  void InitFromLastUpdate();
  // The list's items: the loadable statuses of kBundlesKey, then the named sets
  // of kSettingsConfigSetsKey.
  void BuildList(std::vector<RWWString>& texts, std::vector<std::int32_t>& ids) const;
  GAutoConfigFeature& AutoConfig() { return auto_config_; }

 private:
  GAutoConfigFeature auto_config_;
};

class GConfigStatusComboWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  // The list (read on a selection change only: a click never writes the
  // status), then its label.
  GControlKind ExpectedKind(std::size_t index) const override;
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;

 private:
  void Fill();
  GComboBoxHelper list_;
};

class GManualDuplexFeature : public GAttributeFeature {
 public:
  explicit GManualDuplexFeature(GUIContext* owner) : GAttributeFeature(owner, &kManualDuplexKey) {}
  // Writes kManualDuplexKey; off without a duplex unit also sets kDuplexKey to 0; commits.
  void SetValue(std::int32_t value) override;
};

class GManualDuplexCheckWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t) const override { return GControlKind::kCheckBox; }
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
};

class GHardDiskFeature : public GAttributeFeature {
 public:
  explicit GHardDiskFeature(GUIContext* owner) : GAttributeFeature(owner, &kPrinterHardDiskKey) {}
  void SetValue(std::int32_t value) override;
  bool WasChanged() override;
  // Whether the default settings' kJobRetentionAvailableKey is 1.
  bool IsJobStorageAvailable() const;
  void SetJobStorage(std::int32_t value);
};

class GHardDiskCheckWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  // The hard disk's and job storage's boxes, then their frame.
  GControlKind ExpectedKind(std::size_t index) const override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
};

class GCollationFeature : public GAttributeFeature {
 public:
  explicit GCollationFeature(GUIContext* owner) : GAttributeFeature(owner, &kCollationUnitKey) {}
  // 1 without a hard disk and with memory below 128.
  int GetState() override;
  void SetValue(std::int32_t value) override;
};

class GCollationCheckWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t) const override { return GControlKind::kCheckBox; }
  void OnInit() override;
  void UpdateControl(int force) override;
  void ReadControl() override;
  void RefreshState() override;
};
