// GFormToTrayLinkWrapper: the forms page's link controls. Entries: 0 the
// tray list (12003), 1 the form list (12006), 2 the paper-type list
// (12008), 3 the reset button (12009), then their labels and statics.
//
// The tray list holds the installed trays but 18 and 19; the shown tray
// is the settings' kShownTrayKey (the first listed when kShownTrayKey names none). The form
// list holds the spooler forms that the shown tray does not refuse; the
// type list "Unspecified" (stored and read as the table's default type
// 11913, so choosing it adds no restriction), the fixed types the tray
// allows, then the user-defined types. A change of form or type is stored
// at once (a type chosen for a tray without a form takes the default
// paper as its form; "Unspecified" on such a tray stores nothing); the
// button clears every link. The table edits record no change, so the
// wrapper refreshes itself after each.
//
// Ownership: the wrapper owns both features. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/rw/cstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/pages/form_to_tray_feature.h"
#include "ui/pages/media_type_controls.h"
#include "ui/pages/page_groups.h"

class GFormToTrayLinkWrapper : public GPageWrapper {
 public:
  GFormToTrayLinkWrapper(GFormToTrayFeature* links, GMediaTypeFeature* media,
                         const GControlEntry* table)
      : GPageWrapper(links, table), media_(media) {}

  void OnInit() override;
  void UpdateControl(int force) override;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 private:
  GFormToTrayFeature* Links() const { return static_cast<GFormToTrayFeature*>(GetFeature()); }
  // The tray the page shows.
  std::uint16_t ShownTray();
  void FillTrays(std::uint16_t shown);
  void FillForms(std::uint16_t shown, std::uint16_t form);
  void FillTypes(std::uint16_t type);
  // Stores the shown tray's link with `form` and the type of item `type`.
  void Store(std::uint16_t form, std::uint32_t type);

  std::unique_ptr<GMediaTypeFeature> media_;
  GComboBoxHelper trays_;
  GComboBoxHelper forms_;
  GComboBoxHelper types_;
  std::vector<RWCString> user_types_;  // the names of the listed user types
};
