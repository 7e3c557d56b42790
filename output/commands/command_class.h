// GCommandClass<Self, Base, kId>: what a concrete command or graphic adds
// when it has no stored field of its own (the primitive graphics, the null
// command). Over MPersistentClass (model_class.h) it gives:
//   - the stored part, after Base's: version u32 kCommandClassVersion; a
//     restore reads the word past and does not act on it;
//   - the stored size, Base's and 4;
//   - content equality: the same object, or the same class id and Base's
//     IsEqualContent.
// Fields that are neither stored nor compared may still live in Self.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>

#include "persist/model_class.h"
#include "persist/stored_form.h"

inline constexpr std::uint32_t kCommandClassVersion = 1;

template <class Self, class Base, RWClassID kId>
class GCommandClass : public MPersistentClass<Self, Base, kId> {
  using Class = MPersistentClass<Self, Base, kId>;

 public:
  using Class::Class;

  RWSize StoredSize() const override { return Base::StoredSize() + 4; }
  bool IsEqualContent(const MPersistentObject* other) const override {
    return other == this || this->SameContentBase(other) != nullptr;
  }

 private:
  friend Class;

  template <class Out>
  void SaveItems(Out& out) const {
    SaveBase<Base>(*this, out);
    PutItem(out, kCommandClassVersion);
  }
  template <class In>
  void RestoreItems(In& in) {
    MRestoreScope scope(in);
    RestoreBase<Base>(*this, in);
    std::uint32_t version = 0;
    if (scope.Ok()) GetItem(in, version);
  }
};
