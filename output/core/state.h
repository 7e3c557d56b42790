// GState: an attribute set, the attribute composite that commands carry
// (the document's, a page's or a graphic's settings). Adding an attribute
// replaces a present one of the same kind instead of adding a second:
// AddChild(object), for a direct child with the same TypeId and key,
//   - does nothing when that child is the object itself;
//   - refuses the object when the child is equal to it in content;
//   - otherwise puts the object in the child's place (the old child is let
//     go of);
// and otherwise appends it as the attribute composite does. A null object
// does nothing; refusals follow the composite's handing over (an object
// that nobody holds is destroyed; a held one stays with its holders).
//
// Class id 758, registered as "GState"; kind test 758, 757, 753, 751;
// TypeId 758. It has no fields of its own: its stored form is the
// composite's (attribute_composite.h) under its own class id.
//
// Ownership and threads: as GAttributeComposite.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute_composite.h"

inline constexpr RWClassID kGStateId = 758;

class GState : public GAttributeComposite {
 public:
  GState() = default;
  explicit GState(const std::uint32_t& key) : GAttributeComposite(key) {}
  GState(const GState& other) = default;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // 758, 757, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  void AddChild(MPersistentObject* object) override;
  // The composite's, for this class.
  MKeyFind KeyFind() override { return InheritedKeyFind<GState, GAttributeComposite>(*this); }
};

// The state file's classes, in registration order.
std::span<const RWClassRegistration> StateClasses();
