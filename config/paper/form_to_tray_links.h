// GFormToTrayLinks: the form-to-tray database (form_to_tray.h) as the
// device-mode code, the capability queries and the forms page use it: a
// table of links keyed by tray, each giving the tray's form (a 16-bit paper
// id), paper type (a 16-bit string id) and the form's wide name, with a
// default form (0) and a default paper type (11913).
//
// Those callers key the database by the slot that the database itself
// calls the form: a link's tray is stored in the form slot and its form in
// the tray slot. This adapter does the swapping, so that the stored record
// and the settings record keep what those callers have always written. The
// settings record re-adds one association per form slot, so a tray has at
// most one link that survives it: here, too, each setter first removes the
// tray's link, and links of different trays on one form coexist.
//
// Ownership: the adapter refers to a database that the caller keeps alive
// for as long as the adapter is used; it owns nothing. Threads: as the
// database.
#pragma once

#include <cstdint>

#include "config/paper/form_to_tray.h"
#include "foundation/rw/value_vector.h"
#include "foundation/rw/wstring.h"

class GFormToTrayLinks {
 public:
  // REQUIRES: `database` outlives the adapter.
  explicit GFormToTrayLinks(GFormToTrayDatabase& database) : database_(database) {}

  std::uint16_t GetDefaultForm() const { return database_.GetDefaultTray(); }
  std::uint16_t GetDefaultMediaType() const { return database_.GetDefaultMediaType(); }

  // The form of the tray's link, else the default form.
  std::uint16_t GetFormForTray(std::uint16_t tray) const { return database_.GetTrayForForm(tray); }
  // The paper type of the tray's link, else the default paper type.
  std::uint16_t GetMediaTypeForTray(std::uint16_t tray) const {
    return database_.GetMediaTypeForForm(tray);
  }
  // Removes the tray's link, then adds (tray, form, paper type) with
  // `name` (UTF-8; a null or ill-formed name is empty) as the form name.
  void SetAssociationWithName(std::uint16_t tray, std::uint16_t form, std::uint16_t media_type,
                              const char* name);
  // Removes every link.
  void Clear() { database_.RemoveAllAssociations(); }
  // Appends the tray (the form) of every link, in link order.
  void CollectTrays(RWShortVector& trays) const { database_.GetForms(trays); }
  void CollectForms(RWShortVector& forms) const { database_.GetTrays(forms); }
  // Removes the tray's link; nothing when there is none.
  void RemoveLinkForTray(std::uint16_t tray) { database_.RemoveAssociation(tray); }
  // 1 when a link has that form (paper id), else 0.
  std::uint32_t IsFormAssigned(std::uint16_t form) const { return database_.IsTrayAssigned(form); }
  // 1 when a link's form or paper type is not the default, else 0.
  std::uint32_t HasNonDefaultAssociation() const { return database_.HasNonDefaultAssociation(); }

  // The form-name lookups of the device-mode code. The tray of the first
  // link whose form name equals `form_name` (same length and units) into
  // `tray`, and 1; else 0 and `tray` untouched.
  std::uint32_t FindTrayOfFormName(const RWWString& form_name, std::uint16_t& tray) const;
  // The form name of the tray's link into `form_name`, and 1; else 0 and
  // `form_name` untouched.
  std::uint32_t GetFormNameOfTray(std::uint16_t tray, RWWString& form_name) const;

 private:
  GFormToTrayDatabase& database_;
};
