#include "fonts/tt_font_imp.h"

#include <cstdlib>

#include "foundation/rw/rwstore.h"
#include "persist/stored_form.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kTTFontImpClasses[] = {
    {&RWCreate<GTTFontImp>, kGTTFontImpId, "GTTFontImp"},
};

}  // namespace

std::span<const RWClassRegistration> TTFontImpClasses() {
  return kTTFontImpClasses;
}

GTTFontImp::GTTFontImp() = default;

GTTFontImp::GTTFontImp(std::uint32_t source, const GFontDescriptionRecord& record,
                       const GFontAngleBlock& block, GTTFontPool* pool, GTTFontReader* reader)
    : MPersistentClass(source, record, block), font_file_(pool, reader) {}

GTTFontImp::GTTFontImp(const GTTFontImp& other) : MPersistentClass(other) {}

GTTFontImp::~GTTFontImp() = default;

void GTTFontImp::MarkInUse(GRenderDriverData* driver_data) {
  GFontImp::MarkInUse(driver_data);
  if (driver_data) font_file_.AddKey(driver_data->GetOwnerId());
}

bool GTTFontImp::LookUpCode(std::uint16_t code, std::uint16_t& value) {
  const std::uint16_t glyph = font_file_.MapCharToGlyph(GetSource(), 0, code, GetSelector());
  if (glyph == 0) return false;
  value = glyph;
  return true;
}

std::uint32_t GTTFontImp::GetGlyphBitmap(std::uint16_t code, std::uint32_t option,
                                         GGlyphMetrics& metrics, GByteBuffer*& out) {
  out = nullptr;
  metrics = GGlyphMetrics();
  const std::int32_t pixels = std::abs(std::int32_t{GetHeight()});
  if (pixels == 0 || pixels > kTTMaxPixelHeight) return 0;
  return font_file_.RenderGlyph(GetSource(), code, option, pixels, metrics, out);
}

RWSize GTTFontImp::StoredSize() const {
  return GFontImp::StoredSize() + 4 + GraphStoreSizeOf(&font_file_);
}

bool GTTFontImp::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTTFontImp* same = SameContentBase(other);
  return same && font_file_.IsEqualContent(&same->font_file_);
}

template <class Out>
void GTTFontImp::SaveItems(Out& out) const {
  SaveBase<GFontImp>(*this, out);
  PutItem(out, kTTFontImpVersion);
  PutReference(out, &font_file_);
}

template <class In>
void GTTFontImp::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GFontImp>(*this, in);
  if (!ReadsVersion(scope, in, kTTFontImpVersion)) return;
  GetEmbedded(in, font_file_);
}

template class MPersistentClass<GTTFontImp, GFontImp, kGTTFontImpId>;
