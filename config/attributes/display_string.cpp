#include "config/attributes/display_string.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kDisplayStringClasses[] = {
    {&RWCreate<GDisplayString>, kGDisplayStringId, "GDisplayString"},
    {&RWCreate<GDisplayStringAttribute>, kGDisplayStringAttributeId, "GDisplayStringAttribute"},
};

const char* OrEmpty(const char* text) {
  return text ? text : "";
}

}  // namespace

std::span<const RWClassRegistration> DisplayStringClasses() {
  return kDisplayStringClasses;
}

// ---------------------------------------------------------------------------
// GDisplayString

GDisplayString::GDisplayString(std::uint16_t string_id, const char* text, const char* module_name)
    : string_id_(string_id), text_(OrEmpty(text)), module_name_(OrEmpty(module_name)) {}

RWSize GDisplayString::StoredSize() const {
  return MPersistentObject::StoredSize() + 14 + module_name_.Length() + text_.Length();
}

template <class Out>
void GDisplayString::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDisplayStringVersion);
  PutItem(out, module_name_);
  PutItem(out, text_);
  PutItem(out, string_id_);
}

template <class In>
void GDisplayString::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kDisplayStringVersion) return;
  if (GetItem(in, module_name_) && GetItem(in, text_)) GetItem(in, string_id_);
}

bool GDisplayString::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDisplayString* same = SameContentBase(other);
  return same && string_id_ == same->string_id_ && text_ == same->text_ &&
         module_name_ == same->module_name_;
}

// ---------------------------------------------------------------------------
// GDisplayStringAttribute

GDisplayStringAttribute::GDisplayStringAttribute(const std::uint32_t& key, std::uint16_t string_id,
                                                 const char* text, const char* module_name)
    : MPersistentClass(key), display_string_(string_id, text, module_name) {}

GDisplayStringAttribute::GDisplayStringAttribute(std::uint16_t string_id, const char* text,
                                                 const char* module_name)
    : display_string_(string_id, text, module_name) {}

RWSize GDisplayStringAttribute::StoredSize() const {
  // The object token of the display string is its 2-byte class id.
  return GAttribute::StoredSize() + 4 + 2 + display_string_.StoredSize();
}

template <class Out>
void GDisplayStringAttribute::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kDisplayStringAttributeVersion);
  PutReference(out, &display_string_);
}

template <class In>
void GDisplayStringAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kDisplayStringAttributeVersion) return;
  // Back into the one held, never into an object of the reader's making.
  if (!GetEmbedded(in, display_string_)) scope.Fail();
}

bool GDisplayStringAttribute::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDisplayStringAttribute* same = SameContentBase(other);
  return same && display_string_.IsEqualContent(&same->display_string_);
}

std::uint16_t GDisplayStringAttribute::Execute(GAttributeHandlers&) {
  return 0;
}

// After both classes' item templates, which the frame instantiates.
template class MPersistentClass<GDisplayString, MPersistentObject, kGDisplayStringId>;
template class MPersistentClass<GDisplayStringAttribute, GAttribute, kGDisplayStringAttributeId>;
