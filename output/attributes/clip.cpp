#include "output/attributes/clip.h"

#include <algorithm>
#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "output/core/peripheral.h"
#include "output/graphics/path_graphic.h"
#include "output/stored_runs.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kClipClasses[] = {
    {&RWCreate<GClipToRectangle>, kGClipToRectangleId, "GClipToRectangle"},
    {&RWCreate<GClipToSingleRectangle>, kGClipToSingleRectangleId, "GClipToSingleRectangle"},
    {&RWCreate<GClipToPage>, kGClipToPageId, "GClipToPage"},
    {&RWCreate<GClipToPath>, kGClipToPathId, "GClipToPath"},
};

constexpr std::uint32_t kRectangleBytes = 8;

}  // namespace

std::span<const RWClassRegistration> ClipClasses() {
  return kClipClasses;
}

// ---------------------------------------------------------------------------
// GClip

RWSize GClip::StoredSize() const {
  return GStyleAttribute::StoredSize() + 12;
}

template <class Out>
void GClip::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kClipVersion);
  PutItem(out, first_value_);
  PutItem(out, second_value_);
}

template <class In>
void GClip::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kClipVersion) && GetItem(in, first_value_)) {
    GetItem(in, second_value_);
  }
}

void GClip::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GClip::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GClip::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GClip::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GClip::IsKindOf(const RWClassID& id) const {
  return id == kGClipId || GStyleAttribute::IsKindOf(id);
}

bool GClip::IsEqualContent(const MPersistentObject* other) const {
  auto* clip = dynamic_cast<const GClip*>(other);
  return clip && GStyleAttribute::IsEqualContent(other) && first_value_ == clip->first_value_ &&
         second_value_ == clip->second_value_;
}

RWClassID GClip::TypeId() const {
  return kGClipId;
}

// ---------------------------------------------------------------------------
// GClipToRectangle

GClipToRectangle::GClipToRectangle(const GShortRect& rectangle, std::uint32_t first_value,
                                   std::uint32_t second_value, const std::uint32_t& key)
    : MPersistentClass(first_value, second_value, key), rectangles_(1) {
  rectangles_.Append(rectangle);
}

GClipToRectangle::GClipToRectangle(const GShortRectList& rectangles, std::uint32_t first_value,
                                   std::uint32_t second_value, const std::uint32_t& key)
    : MPersistentClass(first_value, second_value, key), rectangles_(rectangles) {}

GClipToRectangle& GClipToRectangle::operator=(const GClipToRectangle& other) {
  if (this != &other) rectangles_ = other.rectangles_;
  return *this;
}

void GClipToRectangle::GetRectangle(GShortRect& rectangle, std::uint32_t index) const {
  rectangle = index < rectangles_.Count() ? rectangles_.Data()[index] : GShortRect{};
}

std::uint32_t GClipToRectangle::GetBounds(GShortRect& bounds) const {
  if (rectangles_.Count() == 0) {
    bounds = GShortRect{};
    return 0;
  }
  const GShortRect* all = rectangles_.Data();
  bounds = all[0];
  for (RWSize i = 1; i < rectangles_.Count(); ++i) {
    bounds.left = std::min(bounds.left, all[i].left);
    bounds.top = std::min(bounds.top, all[i].top);
    bounds.right = std::max(bounds.right, all[i].right);
    bounds.bottom = std::max(bounds.bottom, all[i].bottom);
  }
  return 1;
}

std::uint16_t GClipToRectangle::Execute(GAttributeHandlers& device) {
  return device.SetClipToRectangle(*this);
}

bool GClipToRectangle::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GClipToRectangle* clip = SameContentBase(other);
  if (!clip || clip->rectangles_.Count() != rectangles_.Count()) return false;
  return std::equal(rectangles_.Data(), rectangles_.Data() + rectangles_.Count(),
                    clip->rectangles_.Data());
}

RWSize GClipToRectangle::StoredSize() const {
  return GClip::StoredSize() + 8 + kRectangleBytes * rectangles_.Count();
}

template <class Out>
void GClipToRectangle::SaveItems(Out& out) const {
  SaveBase<GClip>(*this, out);
  PutItem(out, kClipToRectangleVersion);
  PutItem(out, rectangles_.Count());
  for (RWSize i = 0; i < rectangles_.Count(); ++i)
    WriteRectangle(out, rectangles_.Data()[i]);
}

template <class In>
void GClipToRectangle::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GClip>(*this, in);
  std::uint32_t count = 0;
  if (!ReadsVersion(scope, in, kClipToRectangleVersion) || !GetItem(in, count)) return;
  rectangles_.Clear();
  std::unique_ptr<GShortRect[]> read;
  if (!GetItemRun(in, count, kRectangleBytes, read, &ReadRectangle<In>)) {
    scope.Fail();
    return;
  }
  GShortRectList list(count != 0 ? count : 1);
  for (std::uint32_t i = 0; i < count; ++i)
    list.Append(read[i]);
  rectangles_ = list;
  if (rectangles_.Count() != count) scope.Fail();  // [NOMEM] raised
}

template class MPersistentClass<GClipToRectangle, GClip, kGClipToRectangleId>;

// ---------------------------------------------------------------------------
// GClipToSingleRectangle

GClipToSingleRectangle& GClipToSingleRectangle::operator=(const GClipToSingleRectangle& other) {
  rectangle_ = other.rectangle_;
  return *this;
}

std::uint32_t GClipToSingleRectangle::GetBounds(GShortRect& bounds) const {
  bounds = rectangle_;
  return 1;
}

std::uint16_t GClipToSingleRectangle::Execute(GAttributeHandlers& device) {
  return device.SetClipToSingleRectangle(*this);
}

bool GClipToSingleRectangle::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GClipToSingleRectangle* clip = SameContentBase(other);
  return clip && rectangle_ == clip->rectangle_;
}

RWSize GClipToSingleRectangle::StoredSize() const {
  return GClip::StoredSize() + 4 + kRectangleBytes;
}

template <class Out>
void GClipToSingleRectangle::SaveItems(Out& out) const {
  SaveBase<GClip>(*this, out);
  PutItem(out, kClipToSingleRectangleVersion);
  WriteRectangle(out, rectangle_);
}

template <class In>
void GClipToSingleRectangle::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GClip>(*this, in);
  if (ReadsVersion(scope, in, kClipToSingleRectangleVersion)) ReadRectangle(in, rectangle_);
}

template class MPersistentClass<GClipToSingleRectangle, GClip, kGClipToSingleRectangleId>;

// ---------------------------------------------------------------------------
// GClipToPage

std::uint16_t GClipToPage::Execute(GAttributeHandlers& device) {
  return device.SetClipToPage(*this);
}

std::uint32_t GClipToPage::GetBounds(GShortRect& bounds) const {
  bounds = GShortRect{};
  return 0;
}

template class MPersistentClass<GClipToPage, GClip, kGClipToPageId>;

// ---------------------------------------------------------------------------
// GClipToPath

GClipToPath::GClipToPath(GPathGraphic* path, std::uint32_t first_value, std::uint32_t second_value,
                         const std::uint32_t& key)
    : MPersistentClass(first_value, second_value, key), path_(path, g_file_lock) {}

GClipToPath& GClipToPath::operator=(const GClipToPath& other) {
  if (this != &other) path_.Reset(other.path_.Get(), g_file_lock);
  return *this;
}

GClipToPath::~GClipToPath() {
  path_.Reset(nullptr, g_file_lock);
}

GPathGraphic* GClipToPath::GetPath() const {
  return static_cast<GPathGraphic*>(path_.Get());
}

MPersistentObject* GClipToPath::DeepCopy() {
  auto* copy = static_cast<GClipToPath*>(CreateCopy());
  if (copy && path_) copy->path_.Reset(path_->DeepCopy(), g_file_lock);
  return copy;
}

std::uint16_t GClipToPath::Execute(GAttributeHandlers& device) {
  return device.SetClipToPath(*this);
}

std::uint32_t GClipToPath::GetBounds(GShortRect& bounds) const {
  bounds = GShortRect{};
  return 0;
}

bool GClipToPath::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GClipToPath* clip = SameContentBase(other);
  if (!clip) return false;
  const MPersistentObject* mine = path_.Get();
  const MPersistentObject* theirs = clip->path_.Get();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

RWSize GClipToPath::StoredSize() const {
  return GClip::StoredSize() + 4 + GraphStoreSizeOf(path_.Get());
}

template <class Out>
void GClipToPath::SaveItems(Out& out) const {
  SaveBase<GClip>(*this, out);
  PutItem(out, kClipToPathVersion);
  PutReference(out, path_.Get());
}

template <class In>
void GClipToPath::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GClip>(*this, in);
  if (ReadsVersion(scope, in, kClipToPathVersion)) {
    RestoreHeldReference<GPathGraphic>(in, scope, *this, path_, g_file_lock);
  }
}

template class MPersistentClass<GClipToPath, GClip, kGClipToPathId>;
