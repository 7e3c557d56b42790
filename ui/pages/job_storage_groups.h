// The Job Storage page's groups (template 15000), over the job-storage
// composite (kDocumentSettingsKey) that the document events read at
// document start and the rendering side carries into the job.
// JobStorageGroupKeys says which settings keys each group reads and writes.
//
//   local job storage (5417, check box): kLocalJobStorageKey, which the
//     page reads from the user's "LocalJobStorage" before it is made and
//     the sheet writes back on OK.
//   job name suffix (18023 check box, 18022 its label): kJobNameSuffixKey,
//     1 adds "(01-99)" to the job name.
//   job storage (the group of 18003, GJobStorageWrapper):
//     18003 the mode (kJobRetentionModeKey), a drop-down list of the
//       "printing/JobRetentionModeChoice" words "OFF" 0, "QuickCopy" 1,
//       "ProofNHold" 2, "StoreJob" 3, "PrivatePrint" 4; modes 1 and 3 are
//       offered only with a hard disk (kPrinterHardDiskKey), as the sheet
//       turns them off without one; 0 is job storage off;
//     18007 / 18005 the job name asked of the rendering side or typed
//       (kJobNameFromRendererKey 0 / 1), 18004 the typed name (kJobNameKey);
//     18011 / 18012 the logged-on user or a typed user
//       (kNoticeLoggedOnUserKey 0 / 1), 18008 the typed user name
//       (kNoticeUserKey);
//     the job's storage attributes, kJobStorageKeys in order, in 18018,
//       5411, 5410, 5412, 5413, 18006 and 5416, each an edit of the
//       attribute's number (a value attribute) or text (a string attribute);
//     18013, 18019, 18014, 5415, 5414, 18002, 18001, 18016 only show.
//   With job storage off, only the mode (and the local choice) can change.
//
// Typed names are limited as the job's user is: at most 16 characters;
// with kJobNameCheckKey present, every character the printer font's map
// (kJobNameCharMapKey of the job settings) lacks becomes "~"; without it,
// a-z become A-Z and the name ends before a character below 32, above 126
// or a double quote. An empty result becomes "Untitled" (so "UNTITLED"
// when sanitised); one without any character of the map "UNTITLED". The
// storage attributes' texts end before a character below 32 or a double
// quote and keep 16 characters at most; their numbers are clamped to the
// 16-bit range a value attribute holds, and text that is no number leaves
// the value as it was.
//
// A setting the model lacks leaves its control disabled; nothing is
// created. Ownership: each wrapper owns its feature. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"

class GDialogBase;

// The settings keys each group of the Job Storage page reads and writes.
std::span<const GGroupKeys> JobStorageGroupKeys();

// Adds the page's own groups (not the About button and the quick sets) in
// the page's order: `before_shared` the local choice and the suffix,
// otherwise the job storage group. REQUIRES: both not null.
void AddJobStorageOwnGroups(GDialogBase* page, GUIContext* context, bool before_shared);

// The most characters of a typed name or text.
inline constexpr std::size_t kJobStorageTextCharacters = 16;

// `typed` limited as a job's user name is (see above); `check_map` says
// whether kJobNameCheckKey is present and `cmap` is the font's map.
RWWString FilterJobStorageName(const RWWString& typed, bool check_map, const RWCString& cmap);

// A value of the job-storage composite behind a check box; disabled when
// missing or, with `needs_storage`, while job storage is off.
class GJobStorageValueFeature : public GAttributeFeature {
 public:
  GJobStorageValueFeature(GUIContext* owner, const std::uint32_t* id, bool needs_storage)
      : GAttributeFeature(owner, id), needs_storage_(needs_storage) {}
  int GetState() override;
  bool WasChanged() override;

 private:
  bool needs_storage_;
};

// Entry 0 a check box of the feature's value (0 or 1); the others only show.
class GJobStorageCheckWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override;
  GControlKind ExpectedKind(std::size_t index) const override;
};

class GJobStorageFeature : public GFeature {
 public:
  using GFeature::GFeature;
  // Disabled when the mode is missing.
  int GetState() override;
  bool WasChanged();
  bool IsOn() { return GetAttributeValue(kJobRetentionModeKey) != 0; }
  bool HasHardDisk() { return GetAttributeValue(kPrinterHardDiskKey) == 1; }
  bool IsModeOffered(std::int32_t mode);
  bool Has(std::uint32_t key);
  bool IsText(std::uint32_t key);
  // Refused (nothing written) for a mode not offered.
  void SetMode(std::int32_t mode);
  void SetValue(std::uint32_t key, std::int32_t value);
  RWWString GetText(std::uint32_t key);
  // Stores `typed` filtered: a name (kJobNameKey, kNoticeUserKey) as
  // FilterJobStorageName says, another text cleaned.
  void SetText(std::uint32_t key, const RWWString& typed);
};

class GJobStorageWrapper : public GPageWrapper {
 public:
  // REQUIRES: `feature` is a GJobStorageFeature and `table` the group's 22
  // entries in the page's order.
  using GPageWrapper::GPageWrapper;
  void OnInit() override;
  void RefreshState() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  GJobStorageFeature* Feature() const { return static_cast<GJobStorageFeature*>(GetFeature()); }
  // Reads the edit of entry `index` into its attribute.
  void ReadEdit(std::size_t index);
  // Writes the attribute of the edit of entry `index` into it.
  void ShowEdit(std::size_t index);
};
