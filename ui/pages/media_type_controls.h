// The paper-type controls of the Paper and NT Forms pages and the option
// controls of the "Print Quality Details" dialog:
//   GMediaTypeFeature      the paper type of the page section being edited
//                          (the selector kPageGroupSelectorKey: 0 first page, 1 other
//                          pages, 2 back cover, 3 front cover, 4 last page),
//                          the form-to-tray table's pool restriction and the
//                          user-defined types;
//   GMediaTypeListWrapper  the drop-down list of paper types;
//   GCheckBoxWrapper       a check box over a 16-bit attribute;
//   GTrueTypeBitmapFeature the TrueType-as-bitmap option (kTrueTypeAsBitmapKey).
//
// Paper types are stored as 8-bit names and shown by string ids of the
// resource library (the fixed table, MediaTypeNameToStringId); a name the
// table does not know is a user-defined type, shown as stored.
//
// GetState numbers its sections one below the page-group selector: the
// first page never conflicts, selector 1 (other pages) is the first
// section whose tray can collide. The selector values stay those of the
// tray picture and the tray conflict rule.
//
// Ownership: the wrappers own their features; the feature owns its cursor
// over the user-defined types. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <optional>

#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/pages/page_groups.h"

// The page-group selector and the paper-type string ids.
inline constexpr std::uint16_t kUnspecifiedTypeId = 11101;
inline constexpr std::uint16_t kPlainTypeId = 11102;
inline constexpr std::uint16_t kFirstUserTypeId = 11381;
inline constexpr int kMostUserTypes = 5;

// The string id of a paper-type name (exact compare), kFirstUserTypeId for
// a name the fixed table lacks.
std::uint16_t MediaTypeNameToStringId(const RWCString& name);
// The name of a fixed string id; empty for any other id (and for 11101).
RWCString MediaTypeStringIdToName(std::uint16_t id);
// Whether `id` is in the fixed table.
bool IsFixedMediaType(std::uint16_t id);

class GMediaTypeFeature : public GFeature {
 public:
  explicit GMediaTypeFeature(GUIContext* owner) : GFeature(owner) {}

  // 1 while kMediaTypeLockKey is 1; else by the section (see the file comment) the
  // tray conflict flag kTrayConflictFlagKey for the conflicting messages of
  // kTrayConflictMessageKey, 2 or 1 while a cover is off, otherwise 0.
  int GetState() override;
  // Whether the form-to-tray table (kFormToTrayKey) holds a link that is not the
  // default.
  bool HasPoolRestriction() const;
  // Whether a link of the table pairs the current paper size (kPaperSizeKey, or kTargetPaperSizeKey
  // while kFitToOtherSizeKey is on) with paper type `string_id` as stored.
  bool IsTypeAvailable(std::uint16_t string_id) const;
  // The user-defined names (kUserMediaTypesKey), one per call; false at the end.
  void BeginUserTypes();
  bool NextUserType(RWWString& name);
  // The display text of the current section's type into `name`.
  void GetCurrentType(RWWString& name);
  // Writes the type of list item `data` (`display` for a user type) to the
  // current section, then keeps the colour mode (kColorModeKey) and colour table
  // (kColorAdjustmentKey) in step with transparencies.
  void SetCurrentType(const RWWString& display, std::uint32_t data);

 private:
  std::int32_t Section() const { return GetAttributeValue(kPageGroupSelectorKey); }

  std::optional<std::size_t> next_user_type_;  // empty until BeginUserTypes
};

class GMediaTypeListWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;

  void OnInit() override;
  // Refills and reselects when forced or when what the list shows changed.
  void UpdateControl(int force) override;
  void ReadControl() override;
  // A selection change of the main control reads it.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 private:
  GMediaTypeFeature* Feature() const { return static_cast<GMediaTypeFeature*>(GetFeature()); }
  void Fill();

  GComboBoxHelper list_;
};

class GCheckBoxWrapper : public GPageWrapper {
 public:
  // REQUIRES: `feature` is a GAttributeFeature.
  using GPageWrapper::GPageWrapper;
  void UpdateControl(int force) override;
  void ReadControl() override;
};

class GTrueTypeBitmapFeature : public GAttributeFeature {
 public:
  explicit GTrueTypeBitmapFeature(GUIContext* owner)
      : GAttributeFeature(owner, &kTrueTypeAsBitmapKey) {}
  // The state the notice kTrueTypeBitmapFlagKey asks for.
  int GetState() override;
};
