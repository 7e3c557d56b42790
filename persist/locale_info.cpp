#include "persist/locale_info.h"

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kLocaleInfoClasses[] = {
    {&RWCreate<GLocaleInfo>, kGLocaleInfoId, "GLocaleInfo"},
};

}  // namespace

std::span<const RWClassRegistration> LocaleInfoClasses() {
  return kLocaleInfoClasses;
}

GLocaleInfo::GLocaleInfo(const std::uint32_t& key)
    : MPersistentClass(key), numbers_(kLocaleNumberDefaults) {
  for (std::size_t i = 0; i < kLocaleTextCount; ++i)
    texts_[i] = kLocaleTextDefaults[i];
}

std::uint32_t GLocaleInfo::Number(std::size_t index) const {
  if (!RWCheckIndex(static_cast<std::uint32_t>(index), kLocaleNumberCount)) return 0;
  return numbers_[index];
}

const RWCString& GLocaleInfo::Text(std::size_t index) const {
  static const RWCString empty;
  if (!RWCheckIndex(static_cast<std::uint32_t>(index), kLocaleTextCount)) return empty;
  return texts_[index];
}

RWSize GLocaleInfo::StoredSize() const {
  RWSize size = MPersistentObject::StoredSize() + 48;
  for (const RWCString& text : texts_)
    size += 4 + text.Length();
  return size;
}

bool GLocaleInfo::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GLocaleInfo* same = SameContentBase(other);
  return same && numbers_ == same->numbers_ && texts_ == same->texts_;
}

template <class Out>
void GLocaleInfo::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kLocaleInfoVersion);
  for (std::uint32_t number : numbers_)
    PutItem(out, number);
  for (const RWCString& text : texts_)
    PutItem(out, text);
}

template <class In>
void GLocaleInfo::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kLocaleInfoVersion)) return;
  for (std::uint32_t& number : numbers_) {
    if (!GetItem(in, number)) return;
  }
  for (RWCString& text : texts_) {
    if (!GetItem(in, text)) return;
  }
}

template class MPersistentClass<GLocaleInfo, MPersistentObject, kGLocaleInfoId>;
