// GConstraintRule: what the constraint rules share over GListFeature: a
// name for the rules' order, and reads and writes of the settings through
// the context's views (a missing or wrong-class attribute reads as the
// rule's default), the flag and message objects of the tips, and the
// boxes titled "Incompatible Options".
//
// Ownership: the context's. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "foundation/rw/cstring.h"
#include "ui/framework/feature.h"

inline constexpr std::uint32_t kIncompatibleOptionsTitle = 5100;
// Box answers and styles.
inline constexpr int kBoxCancel = 2;
inline constexpr std::uint32_t kBoxInfoOk = 0x40;
inline constexpr std::uint32_t kBoxInfoOkCancel = 0x41;

class GConstraintRule : public GListFeature {
 public:
  // `name` is a literal (kept, not copied).
  GConstraintRule(GUIContext* owner, const char* name) : GListFeature(owner), name_(name) {}
  const char* Name() const { return name_; }

 protected:
  std::int32_t Value(std::uint32_t id, std::int32_t fallback = 0) const;
  RWCString String(std::uint32_t id) const;
  void SetValue(std::uint32_t id, std::int32_t value);
  void SetString(std::uint32_t id, const RWCString& value);
  // Writes a user-interface object (creating it).
  void SetUIValue(std::uint32_t id, std::int32_t value);
  bool Locked(std::uint32_t id) { return IsLocked(&id); }
  static bool Holds(const GValueList& changed, std::initializer_list<std::uint32_t> ids);
  // Shows text `text_id` under "Incompatible Options"; answers the button.
  int Box(std::uint32_t text_id, std::uint32_t flags);
  // Undoes every change of the dispatch.
  void RevertAll();

 private:
  const char* name_;
};
