// GInertRule: a constraint rule that holds its place in the rules' order
// and does nothing. The rules builder registers one, under the rule's
// name, at each position whose rule is not built; five positions keep one
// for good (the framework's rules that no part of this library decides).
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include "ui/framework/feature.h"

class GInertRule : public GListFeature {
 public:
  // `name` is a literal (kept, not copied).
  GInertRule(GUIContext* owner, const char* name) : GListFeature(owner), name_(name) {}
  void OnChanges(const GValueList& changed, int force) override;
  const char* Name() const { return name_; }

 private:
  const char* name_;
};
