#include "output/graphics/path_graphic.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPathGraphicClasses[] = {
    {&RWCreate<GPathGraphic>, kGPathGraphicId, "GPathGraphic"},
    {&RWCreate<GGraphicComposite>, kGGraphicCompositeId, "GGraphicComposite"},
};

// Calls `each` with every element, in order, each held meanwhile, so that
// an element that changes the list cannot free the one in hand; the walk
// ends at the count the list had when it began, or earlier when `each`
// answers false.
template <class Each>
void ForEachElement(const GCountedPtrVector& elements, Each each) {
  RWSize count = elements.Count();
  for (RWSize i = 0; i < count && i < elements.Count(); ++i) {
    GCountedPtr held = elements[i];
    if (held && held->IsKindOf(kGGraphicId)) {
      if (!each(*static_cast<GGraphic*>(held.Get()))) return;
    }
  }
}

}  // namespace

std::span<const RWClassRegistration> PathGraphicClasses() {
  return kPathGraphicClasses;
}

template <class Self, RWClassID kId>
RWSize GGraphicListClass<Self, kId>::StoredSize() const {
  return GGraphic::StoredSize() + 4 + this->ChildrenSize();
}

template <class Self, RWClassID kId>
bool GGraphicListClass<Self, kId>::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const Self* list = this->SameContentBase(other);
  return list && this->SameChildren(*list);
}

template <class Self, RWClassID kId>
void GGraphicListClass<Self, kId>::PrepareForComposite() {
  ForEachElement(this->Children(), [](GGraphic& element) {
    element.PrepareForComposite();
    return true;
  });
}

template <class Self, RWClassID kId>
void GGraphicListClass<Self, kId>::MakeSelfContained() {
  ForEachElement(this->Children(), [](GGraphic& element) {
    element.MakeSelfContained();
    return true;
  });
}

template <class Self, RWClassID kId>
std::uint16_t GGraphicListClass<Self, kId>::ExecuteElements(GPeripheral& device) {
  std::uint16_t result = 0;
  ForEachElement(this->Children(), [&](GGraphic& element) {
    result = element.Execute(device);
    return result == 0;
  });
  return result;
}

template <class Self, RWClassID kId>
template <class Out>
void GGraphicListClass<Self, kId>::SaveItems(Out& out) const {
  SaveBase<GGraphic>(*this, out);
  PutItem(out, kGraphicListVersion);
  this->SaveChildren(out);
}

template <class Self, RWClassID kId>
template <class In>
void GGraphicListClass<Self, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GGraphic>(*this, in);
  if (ReadsVersion(scope, in, kGraphicListVersion) &&
      !this->template RestoreChildren<GGraphic>(in)) {
    scope.Fail();
  }
}

std::uint16_t GPathGraphic::Execute(GPeripheral& device) {
  return device.DrawPath(*this);
}

std::uint16_t GGraphicComposite::Execute(GPeripheral& device) {
  return device.DrawGraphicComposite(*this);
}

template class MPersistentClass<GPathGraphic, GGraphicList, kGPathGraphicId>;
template class GGraphicListClass<GPathGraphic, kGPathGraphicId>;
template class MPersistentClass<GGraphicComposite, GGraphicList, kGGraphicCompositeId>;
template class GGraphicListClass<GGraphicComposite, kGGraphicCompositeId>;
