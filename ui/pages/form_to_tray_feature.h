// GFormToTrayFeature: the model side of the forms page. It reads and edits
// the settings' form-to-tray table (kFormToTrayKey) through the adapter keyed by tray
// (GFormToTrayLinks), lists the installed trays, the spooler forms and the
// user-defined paper types, keeps the tray that the page shows (kShownTrayKey) and
// answers which paper types and sizes a tray refuses. A missing kShownTrayKey is
// added to the installed options (kInstalledOptionsKey) by the first SetCurrentTray,
// recorded as a change.
//
// Table edits take a deep copy of kFormToTrayKey, edit it and put it in place of the
// settings' child: the replacement records no change (no rule runs), but
// the context can undo it. A missing kFormToTrayKey reads as an empty table (form 0,
// paper type 11913); the first edit adds one to the installed options
// (kInstalledOptionsKey). DropLinksOfRemovedTrays edits the same way, so that a Cancel
// after an accessory change gives back the dropped links with the rest.
//
// FitsTray compares unrounded quotients (paper dots over dots per inch):
// a medium 5.826 inches wide does not fit trays 1 and 3, although the
// tray rule of the constraint rules, which keeps two decimals, takes it.
// A resolution of 0 fits nothing.
//
// Ownership: the wrapper's (or the caller's). Threads: the sheet's.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "driver/driver_data_imp.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "ui/framework/feature.h"
#include "ui/framework/value_list.h"

class GFormToTrayDatabase;

class GFormToTrayFeature : public GFeature {
 public:
  explicit GFormToTrayFeature(GUIContext* owner) : GFeature(owner) {}

  // Always false: the link controls refresh only when forced.
  bool WasChanged() const { return false; }
  // The driver data's forms that fit the custom size range, reported to
  // `callback` as (count from 1, paper id, name, data); the number
  // reported.
  std::int32_t EnumForms(GFormCallback callback, void* data);
  // The tray's form and paper type (the table's defaults without a link);
  // answers the paper type.
  std::uint16_t GetLink(std::uint16_t tray, std::uint16_t& form, std::uint16_t& paper_type);
  // Replaces the tray's link by (form, paper type, `name` widened).
  void SetLinkWithName(std::uint16_t tray, std::uint16_t form, std::uint16_t paper_type,
                       const char* name);
  void ClearLinks();
  // Appends the ids (and, when `names` is given, the names) of the trays of
  // the installed paper sources' current parts. 0 without the paper-
  // handling composite (kPaperHandlingKey), lists untouched; else 1.
  virtual int GetInstalledTrays(GValueList& ids, std::vector<RWWString>* names);
  void BeginUserTypes();
  // The next user-defined paper type into `name` (untouched at the end).
  bool NextUserType(RWWString& name);
  // Removes the links of trays that `ids` (appended to by
  // GetInstalledTrays) does not hold; nothing without composite kPaperHandlingKey.
  void DropLinksOfRemovedTrays(GValueList& ids);
  std::uint16_t GetCurrentTray() const;
  void SetCurrentTray(std::uint16_t tray);
  bool IsTypeRefusedForCurrentTray(std::uint16_t paper_type) const;
  static bool IsTypeRefusedForTray(const RWCString& name, std::uint16_t tray);
  bool IsSizeRefusedForTray(std::uint16_t paper_id, std::uint16_t tray) const;
  bool FitsTray(std::uint16_t paper_id, std::uint16_t tray) const;
  std::uint16_t GetDefaultPaperId();

 private:
  // A deep copy of the table (an empty one when kFormToTrayKey is missing), edited by
  // `edit` and put in place of kFormToTrayKey.
  template <class Edit>
  void EditTable(Edit edit);

  std::optional<std::uint32_t> next_user_type_;
};
