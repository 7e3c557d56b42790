#include "lang/text/download_face.h"

#include <cstring>

#include "fonts/font.h"
#include "fonts/font_items.h"
#include "foundation/rw/rwstore.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kDownloadFaceClasses[] = {
    {&RWCreate<GDownloadFace>, kGDownloadFaceId, "GDownloadFace"},
};

constinit RWLockRecord g_file_lock;

}  // namespace

std::span<const RWClassRegistration> DownloadFaceClasses() {
  return kDownloadFaceClasses;
}

GDownloadFace::GDownloadFace(GFont* font, std::uint32_t request)
    : font_(font, g_file_lock), request_(request) {}

GDownloadFace::GDownloadFace(const GDownloadFace& other)
    : MPersistentClass(other), request_(other.request_) {
  if (other.font_)
    font_.Reset(dynamic_cast<MPersistentObject*>(other.font_->CreateCopy()), g_file_lock);
}

GFont* GDownloadFace::GetFont() const {
  return static_cast<GFont*>(font_.Get());
}

void GDownloadFace::SetFont(GFont* font) {
  font_.Reset(font, g_file_lock);
}

std::uint32_t GDownloadFace::AttachFont(GFont* font) {
  SetFont(font);
  return 1;
}

std::uint32_t GDownloadFace::SetWord16(std::uint16_t word) {
  word16_ = word;
  return 1;
}

std::uint32_t GDownloadFace::SetWord32(std::uint32_t word) {
  word32_ = word;
  return 1;
}

std::uint32_t GDownloadFace::SetName(const char* text) {
  const std::size_t length = text ? strnlen(text, kFaceNameLength) : 0;
  if (length) std::memcpy(name_, text, length);
  name_[length] = '\0';
  return 1;
}

void GDownloadFace::RequestGlyphs() const {
  if (GFont* font = GetFont()) font->RequestGlyphs(font->GetFontKind() == 1 ? 1 : 2, request_);
}

void GDownloadFace::MakeSelfContained() {
  GCommand::MakeSelfContained();
  RequestGlyphs();
}

std::uint16_t GDownloadFace::Execute(GPeripheral& device) {
  return device.DownloadFace(*this);
}

RWSize GDownloadFace::StoredSize() const {
  return GCommand::StoredSize() + 8 + GraphStoreSizeOf(font_.Get());
}

bool GDownloadFace::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  if (!other || other->ClassId() != kGDownloadFaceId) return false;
  const auto* same = dynamic_cast<const GDownloadFace*>(other);
  if (!same || same->request_ != request_) return false;
  if (font_.Get() == same->font_.Get()) return true;
  return font_ && same->font_ && font_->IsEqualContent(same->font_.Get());
}

template <class Out>
void GDownloadFace::SaveItems(Out& out) const {
  RequestGlyphs();
  SaveBase<GCommand>(*this, out);
  PutItem(out, kDownloadFaceVersion);
  PutReference(out, font_.Get());
  PutItem(out, static_cast<std::int32_t>(request_));
}

template <class In>
void GDownloadFace::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  if (!ReadsVersion(scope, in, kDownloadFaceVersion)) return;
  GCountedPtr font;
  std::int32_t request = 0;
  if (!ReadUnheldObject<GFont>(in, scope, font) || !GetItem(in, request)) return;
  font_ = std::move(font);
  request_ = static_cast<std::uint32_t>(request);
}

template class MPersistentClass<GDownloadFace, GCommand, kGDownloadFaceId>;
