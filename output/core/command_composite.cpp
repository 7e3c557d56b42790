#include "output/core/command_composite.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kCommandCompositeClasses[] = {
    {&RWCreate<GCommandComposite>, kGCommandCompositeId, "GCommandComposite"},
};

// Calls `each` with every child command, in order, each held meanwhile, so
// that a child that changes the composite cannot free the one in hand; the
// walk ends at the count the children had when it began, or earlier when
// `each` answers false.
template <class Each>
void ForEachCommand(const GCountedPtrVector& children, Each each) {
  RWSize count = children.Count();
  for (RWSize i = 0; i < count && i < children.Count(); ++i) {
    GCountedPtr held = children[i];
    if (held && held->IsKindOf(kGCommandId)) {
      if (!each(*static_cast<GCommand*>(held.Get()))) return;
    }
  }
}

}  // namespace

std::span<const RWClassRegistration> CommandCompositeClasses() {
  return kCommandCompositeClasses;
}

RWSize GCommandComposite::StoredSize() const {
  return GCommand::StoredSize() + 4 + ChildrenSize();
}

bool GCommandComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GCommandComposite* composite = SameContentBase(other);
  return composite && SameChildren(*composite);
}

void GCommandComposite::PutRecord(const GCountedPtr& record) {
  if (record && record->IsKindOf(kGCommandId)) AddChild(record.Get());
}

void GCommandComposite::PrepareForComposite() {
  ForEachCommand(Children(), [](GCommand& command) {
    command.PrepareForComposite();
    return true;
  });
}

void GCommandComposite::MakeSelfContained() {
  ForEachCommand(Children(), [](GCommand& command) {
    command.MakeSelfContained();
    return true;
  });
}

std::uint16_t GCommandComposite::Execute(GPeripheral& device) {
  std::uint16_t result = 0;
  ForEachCommand(Children(), [&](GCommand& command) {
    result = command.Execute(device);
    return result == 0;
  });
  return result;
}

template <class Out>
void GCommandComposite::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kCommandCompositeVersion);
  SaveChildren(out);
}

template <class In>
void GCommandComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  if (ReadsVersion(scope, in, kCommandCompositeVersion) && !RestoreChildren<GCommand>(in)) {
    scope.Fail();
  }
}

template class MPersistentClass<GCommandComposite, GCommandList, kGCommandCompositeId>;
