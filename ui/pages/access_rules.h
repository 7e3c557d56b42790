// The rules of the paper sources of the page groups, the configuration
// status and access:
//   GTrayConflictRule      the page group selected on the Paper page
//                          (kPageGroupSelectorKey) against the trays of the others:
//                          a shared tray takes that group's paper type;
//   GConfigStatusRule      a change of an installable option marks the
//                          configuration "User-Configured" (kConfigStatusKey = 14118);
//   GMemoryRule            less than 128 MB without a hard disk;
//   GAutoConfigNoticeRule  the automatic-configuration state (kDeviceUpdateStatusKey);
//   GPermissionRule        the sheet's access flags.
// Defaults here: kBackCoverKey and kFrontCoverKey 2, kMemoryKey 64, a missing tray 19 (no tray).
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include "ui/pages/constraint_rule.h"

class GTrayConflictRule : public GConstraintRule {
 public:
  explicit GTrayConflictRule(GUIContext* owner) : GConstraintRule(owner, "GTrayConflictRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};

class GConfigStatusRule : public GConstraintRule {
 public:
  explicit GConfigStatusRule(GUIContext* owner) : GConstraintRule(owner, "GConfigStatusRule") {}
  void OnChanges(const GValueList& changed, int force) override;
};

class GMemoryRule : public GConstraintRule {
 public:
  explicit GMemoryRule(GUIContext* owner) : GConstraintRule(owner, "GMemoryRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};

class GAutoConfigNoticeRule : public GConstraintRule {
 public:
  explicit GAutoConfigNoticeRule(GUIContext* owner)
      : GConstraintRule(owner, "GAutoConfigNoticeRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};

class GPermissionRule : public GConstraintRule {
 public:
  explicit GPermissionRule(GUIContext* owner) : GConstraintRule(owner, "GPermissionRule") {}
  void Initialize() override;
  void OnChanges(const GValueList& changed, int force) override;
};
