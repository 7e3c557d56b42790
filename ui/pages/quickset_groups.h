// Quick sets: named sets of document settings a user can save, apply and
// delete from the quick-set group of every document page (1011 the list,
// 1012 save, 1014 delete, 1010 the label).
//
// Where they live. The printer's pool is the named object "QuicksetPool"
// in printer data (a composite keyed kQuicksetPoolKey; the printer upgrade
// rebuilds it on the current template). The user's own pool is the same
// kind of object under the current user's registry key
// "Software\Kestrova\<PrinterUUID>\LocalQuicksetPoolData", value
// "LocalQuicksetPool", reached through the "???" pseudo name as the local
// watermark pool is. A pool that is missing, damaged or of another kind
// is read as empty; nothing else is touched.
//
// A quick set is a composite keyed 0 holding its name (kQuicksetNameKey)
// and a copy of each setting the quick-set template (the job settings'
// kQuicksetTemplateKey) names, taken from the document settings when they
// hold it. A user who may save system settings (no effective access flag;
// otherwise the quick-set tips say why) saves into the printer's pool;
// anyone else into the user's pool. A quick set of the same name in that
// pool is replaced. Only quick sets of the pool a user saves into can be
// deleted.
//
// Applying writes only what the template names, each value checked as the
// page control that sets it would (quickset_apply.h); a setting the
// settings lack is never created. What is left out is left as it is and
// the user is told once, under 5191: 5190 when only options that are not
// installed refused it, else 5193.
//
// Ownership: the wrapper owns the feature; the feature owns the pools it
// read. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"
#include "ui/framework/value_list.h"
#include "ui/pages/page_groups.h"

class GAttributeComposite;
class GDriverData;

// The printer's pool in printer data.
inline constexpr char16_t kQuicksetPoolName[] = u"QuicksetPool";
// The name dialog's prompt, and the boxes that tell of choices left out.
inline constexpr std::uint32_t kQuicksetNamePrompt = 5192;
inline constexpr std::uint32_t kQuicksetRefusedText = 5190;
inline constexpr std::uint32_t kQuicksetCaption = 5191;
inline constexpr std::uint32_t kQuicksetSkippedText = 5193;
// The most characters of a quick set's name.
inline constexpr int kQuicksetNameLimit = 63;

// The pseudo name of the user's own pool for `printer`.
RWWString UserQuicksetPoolName(GDriverData* printer);
// The pool stored as `name`, the caller's; null when missing, damaged or
// not a quick-set pool.
std::unique_ptr<GAttributeComposite> LoadQuicksetPool(GDriverData* printer, const RWWString& name);

// A new quick set named `name` of the settings of `context` (the caller's);
// null without a template.
std::unique_ptr<GAttributeComposite> CaptureQuickset(GUIContext* context, const RWCString& name);

class GQuicksetPoolFeature : public GPageFeature {
 public:
  explicit GQuicksetPoolFeature(GUIContext* owner);
  ~GQuicksetPoolFeature() override;

  // Reads both pools again.
  void Reload();
  std::size_t Count() const { return entries_.size(); }
  // REQUIRES: index < Count().
  const RWCString& Name(std::size_t index) const { return entries_[index].name; }
  bool CanDelete(std::size_t index) const;
  // The entry last applied or saved, Count() when none.
  std::size_t Current() const;

  // Applies entry `index`, telling the user (owned by `owner`) of refused
  // choices; false for a bad index.
  bool Apply(std::size_t index, platform::HWND owner);
  // Saves the settings as `name` (blanks around it dropped); false when the
  // name is empty or the pool cannot be stored.
  bool Save(const RWCString& name);
  // Deletes entry `index` from its pool; false when it cannot.
  bool Delete(std::size_t index);

 private:
  struct Entry {
    RWCString name;
    bool user;                      // in the user's pool
    GAttributeComposite* quickset;  // in that pool
  };
  // Whether saves go to the user's pool.
  bool SavesToUserPool() const;
  bool Store(bool user);

  std::unique_ptr<GAttributeComposite> printer_pool_;
  std::unique_ptr<GAttributeComposite> user_pool_;
  std::vector<Entry> entries_;
  RWCString current_;
  bool current_user_ = false;
};

class GQuicksetComboWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  // With `force` (the page shown) the pools are read again and the list
  // filled.
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override;

 private:
  void Fill();
  GQuicksetPoolFeature* Pool() const { return static_cast<GQuicksetPoolFeature*>(GetFeature()); }
};
