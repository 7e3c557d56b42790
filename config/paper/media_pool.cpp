#include "config/paper/media_pool.h"

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

bool GMediaPoolIterator::Next() {
  while (GEnumChildIterator::Next()) {
    const GMedia* medium = AsMedium(Current());
    if (medium && Passes(*medium, orientation_, x_resolution_, y_resolution_, minimum_, maximum_)) {
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// GMediaPool

GMedia* GMediaPool::FindByPaperSizeId(std::uint16_t paper_size_id, std::uint32_t orientation,
                                      std::uint16_t x_resolution, std::uint16_t y_resolution) {
  GMedia* found = nullptr;
  GMedia* unused = nullptr;
  FindByPaperSizeIds(paper_size_id, paper_size_id, orientation, x_resolution, y_resolution, found,
                     unused);
  return found;
}

void GMediaPool::FindByPaperSizeIds(std::uint16_t first_id, std::uint16_t second_id,
                                    std::uint32_t orientation, std::uint16_t x_resolution,
                                    std::uint16_t y_resolution, GMedia*& first, GMedia*& second) {
  first = second = nullptr;
  // The filtering walk's choices, read in place: no iterator is made.
  const GSize16 minimum(0, 0);
  const GSize16 maximum(kLargestMediaLength, kLargestMediaLength);
  const GCountedPtrVector& media = Children();
  for (RWSize i = 0; i < media.Count() && !(first && second); ++i) {
    GMedia* medium = AsMedium(media[i].Get());
    if (!medium || !GMediaPoolIterator::Passes(*medium, orientation, x_resolution, y_resolution,
                                               minimum, maximum)) {
      continue;
    }
    if (!first && medium->GetPaperSizeId() == first_id) first = medium;
    if (!second && medium->GetPaperSizeId() == second_id) second = medium;
  }
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
