// GInertRule: a constraint rule that holds its place in the rules' order
// and does nothing. The rules builder registers one, under the rule's
// name, at each position whose rule is not built; five positions keep one
// for good (the framework's rules that no part of this library decides).
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include "ui/pages/constraint_rule.h"

class GInertRule : public GConstraintRule {
 public:
  using GConstraintRule::GConstraintRule;
  void OnChanges(const GValueList& changed, int force) override;
};
