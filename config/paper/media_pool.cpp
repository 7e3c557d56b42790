#include "config/paper/media_pool.h"

#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kMediaPoolClasses[] = {
    {&RWCreate<GMediaPool>, kGMediaPoolId, "GMediaPool"},
};

}  // namespace

std::span<const RWClassRegistration> MediaPoolClasses() {
  return kMediaPoolClasses;
}

// ---------------------------------------------------------------------------
// GMediaPoolIterator

GMediaPoolIterator::GMediaPoolIterator(GMediaPool* pool, GCountedPtrVector& children,
                                       std::uint32_t orientation, std::uint16_t x_resolution,
                                       std::uint16_t y_resolution, const GSize16& minimum,
                                       const GSize16& maximum)
    : GEnumChildIterator(pool, children),
      x_resolution_(x_resolution),
      y_resolution_(y_resolution),
      orientation_(orientation),
      minimum_(minimum),
      maximum_(maximum) {}

bool GMediaPoolIterator::Passes(const GMedia& medium) const {
  const GSize16& paper = medium.GetPaperSize();
  return medium.GetOrientation() == orientation_ && medium.GetXResolution() == x_resolution_ &&
         medium.GetYResolution() == y_resolution_ && minimum_.width <= paper.width &&
         paper.width <= maximum_.width && minimum_.height <= paper.height &&
         paper.height <= maximum_.height;
}

bool GMediaPoolIterator::Next() {
  while (GEnumChildIterator::Next()) {
    auto* medium = dynamic_cast<const GMedia*>(Current());
    if (medium && Passes(*medium)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// GMediaPool

GMedia* GMediaPool::FindByPaperSizeId(std::uint16_t paper_size_id, std::uint32_t orientation,
                                      std::uint16_t x_resolution, std::uint16_t y_resolution) {
  std::unique_ptr<GMediaPoolIterator> walk(
      CreateFilteredIterator(orientation, x_resolution, y_resolution, GSize16(0, 0),
                             GSize16(kLargestMediaLength, kLargestMediaLength)));
  while (walk && walk->Next()) {
    auto* medium = static_cast<GMedia*>(walk->Current());  // Next stops at media only
    if (medium->GetPaperSizeId() == paper_size_id) return medium;
  }
  return nullptr;
}

GMediaPoolIterator* GMediaPool::CreateFilteredIterator(std::uint32_t orientation,
                                                       std::uint16_t x_resolution,
                                                       std::uint16_t y_resolution,
                                                       const GSize16& minimum,
                                                       const GSize16& maximum) {
  return RWNew<GMediaPoolIterator>(this, ChildVector(), orientation, x_resolution, y_resolution,
                                   minimum, maximum);
}

GMediaPoolIterator* GMediaPool::CreateFilteredIterator(std::uint32_t orientation,
                                                       std::uint16_t resolution,
                                                       const GSize16& minimum,
                                                       const GSize16& maximum) {
  return CreateFilteredIterator(orientation, resolution, resolution, minimum, maximum);
}

RWSize GMediaPool::StoredSize() const {
  return GEnumAttribute::StoredSize() + 4;
}

template <class Out>
void GMediaPool::SaveItems(Out& out) const {
  SaveBase<GEnumAttribute>(*this, out);
  PutItem(out, kMediaPoolVersion);
}

template <class In>
void GMediaPool::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GEnumAttribute>(*this, in);
  std::uint32_t version = 0;  // nothing follows, whatever it says
  if (scope.Ok()) GetItem(in, version);
}

bool GMediaPool::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  return SameContentBase(other) != nullptr;
}

RWClassID GMediaPool::TypeId() const {
  return kGEnumAttributeId;
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GMediaPool, GEnumAttribute, kGMediaPoolId>;
