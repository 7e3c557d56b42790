// The rules that keep two-sided printing and the paper sources consistent
// with the paper type and size:
//   GDuplexMediaRule  two-sided printing (kDuplexKey) against the types of the five
//                     page sections and the current size; flags kDuplexFlagKey
//                     and kDuplexGroupFlagKey, message kDuplexMessageKey;
//   GTrayMediaRule    each section's source against its type and the size,
//                     moving a refusing source to Tray 1 (6);
//   GTray1SyncRule    copies the Tray 1 setting (kTray1ModeKey -> kSourcePartKey) and commits the
//                     configuration when the installed sources change.
//
// Paper types are compared by exact name. The texts of the duplex and tray
// boxes keep their "\n" as the two characters they are stored as.
//
// A box that reverts the dispatch (Cancel, or a lock's OK-only box) ends the
// tray rule's step: moving the sources afterwards would undo the Cancel and
// override the administrator's lock on kPaperSourceKey.
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "ui/pages/constraint_rule.h"

class GDuplexMediaRule : public GConstraintRule {
 public:
  // Turns two-sided printing off when the settings already conflict.
  explicit GDuplexMediaRule(GUIContext* owner);
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;

 private:
  bool TypeAllowed(const RWCString& type) const;
  bool SizeAllowed(std::uint16_t paper_id, bool strict) const;
  std::uint16_t CurrentPaper() const;
  bool TypeCheck(const GValueList& changed, int force);
  bool SizeCheck(bool strict);
  void Conflict(bool type);
};

class GTrayMediaRule : public GConstraintRule {
 public:
  explicit GTrayMediaRule(GUIContext* owner) : GConstraintRule(owner, "GTrayMediaRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;

  // Whether `source` takes paper `paper_id` (a custom size is mapped to the
  // standard size of its name first; the tray fit uses the paper itself).
  bool SizeAccepted(std::int32_t source, std::uint16_t paper_id);

 private:
  void CheckAvailability(const GValueList& changed, int force);
  void CheckType(const GValueList& changed);
  void CheckSize(const GValueList& changed, int force);
  bool Fits(std::uint16_t paper_id);
};

class GTray1SyncRule : public GConstraintRule {
 public:
  explicit GTray1SyncRule(GUIContext* owner) : GConstraintRule(owner, "GTray1SyncRule") {}
  void OnChanges(const GValueList& changed, int force) override;
};
