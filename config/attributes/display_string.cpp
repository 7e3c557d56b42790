#include "config/attributes/display_string.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
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

// The embedded display string goes back into the one held, never into an
// object of the reader's making.
RWCollectable* RestoreEmbedded(RWVirtualInputStream& stream, GDisplayString& held) {
  return RestoreCollectableFromStream(stream, &held, kGDisplayStringId);
}

RWCollectable* RestoreEmbedded(RWFile& file, GDisplayString& held) {
  return RestoreCollectableFromFile(file, &held, kGDisplayStringId);
}

}  // namespace

std::span<const RWClassRegistration> DisplayStringClasses() {
  return kDisplayStringClasses;
}

// ---------------------------------------------------------------------------
// GDisplayString

GDisplayString::GDisplayString(std::uint16_t string_id, const char* text, const char* module_name)
    : string_id_(string_id), text_(OrEmpty(text)), module_name_(OrEmpty(module_name)) {}

RWCollectable* GDisplayString::CreateDefault() const {
  return RWNew<GDisplayString>();
}

RWCollectable* GDisplayString::CreateCopy() const {
  return RWNew<GDisplayString>(*this);
}

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

void GDisplayString::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GDisplayString::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GDisplayString::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GDisplayString::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GDisplayString::IsKindOf(const RWClassID& id) const {
  return id == kGDisplayStringId || MPersistentObject::IsKindOf(id);
}

bool GDisplayString::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* same = dynamic_cast<const GDisplayString*>(other);
  return same && other->ClassId() == ClassId() && MPersistentObject::IsEqualContent(other) &&
         string_id_ == same->string_id_ && text_ == same->text_ &&
         module_name_ == same->module_name_;
}

// ---------------------------------------------------------------------------
// GDisplayStringAttribute

GDisplayStringAttribute::GDisplayStringAttribute(const std::uint32_t& key, std::uint16_t string_id,
                                                 const char* text, const char* module_name)
    : GAttribute(key), display_string_(string_id, text, module_name) {}

GDisplayStringAttribute::GDisplayStringAttribute(std::uint16_t string_id, const char* text,
                                                 const char* module_name)
    : display_string_(string_id, text, module_name) {}

RWCollectable* GDisplayStringAttribute::CreateDefault() const {
  return RWNew<GDisplayStringAttribute>();
}

RWCollectable* GDisplayStringAttribute::CreateCopy() const {
  return RWNew<GDisplayStringAttribute>(*this);
}

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
  if (!RestoreEmbedded(in, display_string_)) scope.Fail();
}

void GDisplayStringAttribute::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GDisplayStringAttribute::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GDisplayStringAttribute::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GDisplayStringAttribute::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GDisplayStringAttribute::IsKindOf(const RWClassID& id) const {
  return id == kGDisplayStringAttributeId || GAttribute::IsKindOf(id);
}

bool GDisplayStringAttribute::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* same = dynamic_cast<const GDisplayStringAttribute*>(other);
  return same && other->ClassId() == ClassId() && GAttribute::IsEqualContent(other) &&
         display_string_.IsEqualContent(&same->display_string_);
}

std::uint16_t GDisplayStringAttribute::Execute(GPeripheral&) {
  return 0;
}
