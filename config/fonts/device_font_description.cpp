#include "config/fonts/device_font_description.h"

#include <algorithm>
#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kDeviceFontDescriptionClasses[] = {
    {&RWCreate<GDeviceFontDescription>, kGDeviceFontDescriptionId, "GDeviceFontDescription"},
};

// The stored size of the fixed fields: version, the two string lengths,
// default set, count, style, typeface, two metrics, scalable, height,
// second word, kind.
constexpr RWSize kFixedFieldsSize = 46;
// The fewest bytes one stored symbol set takes in a file.
constexpr std::uint32_t kCodeBytes = 4;

// `to` takes `from`'s codes one by one, keeping its own room where it can.
void CopyCodes(GSymbolSetList& to, const GSymbolSetList& from) {
  to.Clear();
  for (RWSize i = 0; i < from.Count(); ++i)
    to.Append(from[i]);
}

// A list with room for exactly `count` codes, filled from `codes`.
GSymbolSetList ExactList(const std::uint32_t* codes, RWSize count) {
  GSymbolSetList list(count);
  for (RWSize i = 0; i < count; ++i)
    list.Append(codes[i]);
  return list;
}

bool SameCodes(const GSymbolSetList& a, const GSymbolSetList& b) {
  if (a.Count() != b.Count()) return false;
  for (RWSize i = 0; i < a.Count(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Reads `count` codes into `sets`, which gets room for exactly that many.
// The block that receives them grows as they arrive, so a damaged count
// costs a short read, never an allocation of its own size. False when the
// codes cannot all be read.
template <class In>
bool ReadCodes(In& in, std::uint32_t count, GSymbolSetList& sets) {
  if (!RemainingMayHold(in, count, kCodeBytes)) return false;
  std::unique_ptr<std::uint32_t[]> codes;
  std::uint32_t room = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i == room) {
      std::uint32_t grown = std::min<std::uint32_t>(
          count, std::max<std::uint32_t>(GSymbolSetList::kGrowth, room * 2));
      std::unique_ptr<std::uint32_t[]> larger = RWNewArray<std::uint32_t>(grown);
      if (!larger) return false;
      std::copy_n(codes.get(), i, larger.get());
      codes = std::move(larger);
      room = grown;
    }
    if (!GetItem(in, codes[i])) return false;
  }
  sets = ExactList(codes.get(), count);
  return true;
}

}  // namespace

std::span<const RWClassRegistration> DeviceFontDescriptionClasses() {
  return kDeviceFontDescriptionClasses;
}

GDeviceFontDescription::GDeviceFontDescription(
    const RWCString& face_name, const RWCString& selection, std::uint32_t default_symbol_set,
    const GSymbolSetList& symbol_sets, std::uint16_t style, std::uint32_t typeface,
    std::uint32_t first_metric, std::uint32_t second_metric, std::uint32_t scalable,
    std::uint16_t height, std::uint16_t second_word, std::uint32_t kind)
    : face_name_(face_name),
      selection_(selection),
      default_symbol_set_(default_symbol_set),
      symbol_sets_(ExactList(symbol_sets.Data(), symbol_sets.Count())),
      style_(style),
      typeface_(typeface),
      first_metric_(first_metric),
      second_metric_(second_metric),
      scalable_(scalable),
      height_(height),
      second_word_(second_word),
      kind_(kind) {}

GDeviceFontDescription::GDeviceFontDescription(const GDeviceFontDescription& other)
    : MPersistentClass(other) {
  *this = other;
}

GDeviceFontDescription& GDeviceFontDescription::operator=(const GDeviceFontDescription& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  face_name_ = other.face_name_;
  selection_ = other.selection_;
  default_symbol_set_ = other.default_symbol_set_;
  CopyCodes(symbol_sets_, other.symbol_sets_);
  style_ = other.style_;
  typeface_ = other.typeface_;
  first_metric_ = other.first_metric_;
  second_metric_ = other.second_metric_;
  scalable_ = other.scalable_;
  height_ = other.height_;
  second_word_ = other.second_word_;
  kind_ = other.kind_;
  return *this;
}

RWSize GDeviceFontDescription::StoredSize() const {
  return MPersistentObject::StoredSize() + kFixedFieldsSize + face_name_.Length() +
         selection_.Length() + kCodeBytes * symbol_sets_.Count();
}

bool GDeviceFontDescription::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDeviceFontDescription* same = SameContentBase(other);
  return same && face_name_ == same->face_name_ && selection_ == same->selection_ &&
         default_symbol_set_ == same->default_symbol_set_ && style_ == same->style_ &&
         typeface_ == same->typeface_ && first_metric_ == same->first_metric_ &&
         second_metric_ == same->second_metric_ && scalable_ == same->scalable_ &&
         height_ == same->height_ && kind_ == same->kind_ && second_word_ == same->second_word_ &&
         SameCodes(symbol_sets_, same->symbol_sets_);
}

template <class Out>
void GDeviceFontDescription::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDeviceFontDescriptionVersion);
  PutItem(out, face_name_);
  PutItem(out, selection_);
  PutItem(out, static_cast<std::int32_t>(default_symbol_set_));
  PutItem(out, std::uint32_t{symbol_sets_.Count()});
  for (RWSize i = 0; i < symbol_sets_.Count(); ++i)
    PutItem(out, symbol_sets_[i]);
  PutItem(out, style_);
  PutItem(out, static_cast<std::int32_t>(typeface_));
  PutItem(out, static_cast<std::int32_t>(first_metric_));
  PutItem(out, static_cast<std::int32_t>(second_metric_));
  PutItem(out, static_cast<std::int32_t>(scalable_));
  PutItem(out, static_cast<std::int16_t>(height_));
  PutItem(out, second_word_);
  PutItem(out, static_cast<std::int32_t>(kind_));
}

namespace {

// An i32 item into an unsigned field, and an i16 into a 16-bit one.
template <class In>
bool GetSigned(In& in, std::uint32_t& field) {
  std::int32_t value = 0;
  if (!GetItem(in, value)) return false;
  field = static_cast<std::uint32_t>(value);
  return true;
}

template <class In>
bool GetSigned(In& in, std::uint16_t& field) {
  std::int16_t value = 0;
  if (!GetItem(in, value)) return false;
  field = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

// The fields after the version word; false when they could not be read.
template <class In>
bool GDeviceFontDescription::RestoreFields(In& in, std::uint32_t version) {
  std::uint32_t count = 0;
  symbol_sets_.Clear();
  if (!GetItem(in, face_name_) || !GetItem(in, selection_) || !GetSigned(in, default_symbol_set_) ||
      !GetItem(in, count) || !ReadCodes(in, count, symbol_sets_) || !GetItem(in, style_) ||
      !GetSigned(in, typeface_) || !GetSigned(in, first_metric_) ||
      !GetSigned(in, second_metric_) || !GetSigned(in, scalable_) || !GetSigned(in, height_)) {
    return false;
  }
  if (version == 1) {
    second_word_ = 0;
    kind_ = 0;
    return true;
  }
  return GetItem(in, second_word_) && GetSigned(in, kind_);
}

template <class In>
void GDeviceFontDescription::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version == 0) return;
  if (!RestoreFields(in, version)) scope.Fail();
}

template class MPersistentClass<GDeviceFontDescription, MPersistentObject,
                                kGDeviceFontDescriptionId>;
