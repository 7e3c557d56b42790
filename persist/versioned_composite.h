// MVersionedComposite<Self, kId, kVersion>: the base of the composites
// whose stored form is the composite's form followed by a version word of
// their own, which a restore reads and does not otherwise use (the
// resource-mapping list, the association list, the configuration):
//   composite form  persistent_composite.h
//   version         u32  kVersion
// Stored size: the composite's and 4.
//
// Ownership and threads: as MPersistentComposite.
#pragma once

#include <cstdint>

#include "persist/model_class.h"
#include "persist/persistent_composite.h"
#include "persist/stored_form.h"

template <class Self, RWClassID kId, std::uint32_t kVersion>
class MVersionedComposite : public MPersistentClass<Self, MPersistentComposite, kId> {
  using Class = MPersistentClass<Self, MPersistentComposite, kId>;

 public:
  using Class::Class;

  RWSize StoredSize() const override { return MPersistentComposite::StoredSize() + 4; }

 private:
  friend Class;

  template <class Out>
  void SaveItems(Out& out) const {
    SaveBase<MPersistentComposite>(*this, out);
    PutItem(out, kVersion);
  }
  template <class In>
  void RestoreItems(In& in) {
    MRestoreScope scope(in);
    RestoreBase<MPersistentComposite>(*this, in);
    ReadsVersion(scope, in, kVersion);
  }
};
