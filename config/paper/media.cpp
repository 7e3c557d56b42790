#include "config/paper/media.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kMediaClasses[] = {
    {&RWCreate<GMedia>, kGMediaId, "GMedia"},
};

std::int16_t Wrap16(std::int32_t value) {
  return static_cast<std::int16_t>(value);
}

template <class Out>
void PutSize(Out& out, const GSize16& size) {
  PutItem(out, size.width);
  PutItem(out, size.height);
}

template <class In>
bool GetSize(In& in, GSize16& size) {
  return GetItem(in, size.width) && GetItem(in, size.height);
}

}  // namespace

std::span<const RWClassRegistration> MediaClasses() {
  return kMediaClasses;
}

GMedia::GMedia(const char* name, const GSize16& paper_size, const GSize16& printable_size,
               const GSize16& printable_origin, std::uint32_t orientation,
               std::uint16_t paper_size_id, std::uint16_t x_resolution, std::uint16_t y_resolution,
               const std::uint32_t& key, std::uint16_t aux_code, const char* aux_name,
               const char* media_type)
    : MPersistentClass(key),
      name_(name),
      paper_size_(paper_size),
      printable_size_(printable_size),
      printable_origin_(printable_origin),
      orientation_(orientation),
      x_resolution_(x_resolution),
      y_resolution_(y_resolution),
      aux_code_(aux_code),
      aux_name_(aux_name),
      media_type_(media_type),
      paper_size_id_(paper_size_id) {}

GMedia& GMedia::operator=(const GMedia& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    name_ = other.name_;
    paper_size_ = other.paper_size_;
    printable_size_ = other.printable_size_;
    printable_origin_ = other.printable_origin_;
    orientation_ = other.orientation_;
    x_resolution_ = other.x_resolution_;
    y_resolution_ = other.y_resolution_;
    aux_code_ = other.aux_code_;
    aux_name_ = other.aux_name_;
    media_type_ = other.media_type_;
    paper_size_id_ = other.paper_size_id_;
  }
  return *this;
}

GRect16 GMedia::GetPrintableRect() const {
  GSize16 bottom_right = GetPrintableBottomRight();
  return {printable_origin_.width, printable_origin_.height, bottom_right.width,
          bottom_right.height};
}

GSize16 GMedia::GetPrintableBottomRight() const {
  return {Wrap16(printable_origin_.width + printable_size_.width),
          Wrap16(printable_origin_.height + printable_size_.height)};
}

GSize16 GMedia::GetRightBottomMargins() const {
  return {Wrap16(paper_size_.width - printable_size_.width - printable_origin_.width),
          Wrap16(paper_size_.height - printable_size_.height - printable_origin_.height)};
}

RWSize GMedia::StoredSize() const {
  return GAttribute::StoredSize() + 40 + name_.Length() + aux_name_.Length() + media_type_.Length();
}

template <class Out>
void GMedia::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kMediaVersion);
  PutItem(out, name_);
  PutSize(out, paper_size_);
  PutSize(out, printable_size_);
  PutSize(out, printable_origin_);
  PutItem(out, orientation_);
  PutItem(out, x_resolution_);
  PutItem(out, y_resolution_);
  PutItem(out, aux_code_);
  PutItem(out, aux_name_);
  PutItem(out, media_type_);
  PutItem(out, paper_size_id_);
}

template <class In>
void GMedia::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  if (!ReadsVersion(scope, in, kMediaVersion)) return;
  // Each read stops the chain at the first failure, which the scope reports.
  (void)(GetItem(in, name_) && GetSize(in, paper_size_) && GetSize(in, printable_size_) &&
         GetSize(in, printable_origin_) && GetItem(in, orientation_) &&
         GetItem(in, x_resolution_) && GetItem(in, y_resolution_) && GetItem(in, aux_code_) &&
         GetItem(in, aux_name_) && GetItem(in, media_type_) && GetItem(in, paper_size_id_));
}

bool GMedia::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GMedia* same = SameContentBase(other);
  return same && name_ == same->name_ && paper_size_ == same->paper_size_ &&
         printable_size_ == same->printable_size_ && printable_origin_ == same->printable_origin_ &&
         orientation_ == same->orientation_ && x_resolution_ == same->x_resolution_ &&
         y_resolution_ == same->y_resolution_ && aux_code_ == same->aux_code_ &&
         aux_name_ == same->aux_name_ && media_type_ == same->media_type_ &&
         paper_size_id_ == same->paper_size_id_;
}

std::uint16_t GMedia::Execute(GAttributeHandlers& device) {
  return static_cast<std::uint16_t>(device.SetMedia(*this));
}

std::int32_t NormalizeAngle(std::int32_t angle) {
  // In 64 bits, so that the most negative angle has a remainder too.
  std::int64_t remainder = std::int64_t{angle} % 360;
  return static_cast<std::int32_t>(remainder < 0 ? remainder + 360 : remainder);
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GMedia, GAttribute, kGMediaId>;
