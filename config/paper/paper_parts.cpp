#include "config/paper/paper_parts.h"

#include <memory>
#include <utility>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPaperPartClasses[] = {
    {&RWCreate<GTray>, kGTrayId, "GTray"},
    {&RWCreate<GBin>, kGBinId, "GBin"},
};

// Name length, id, four values.
constexpr RWSize kSharedFieldsSize = 4 + 2 + 16;
constexpr std::uint32_t kNoMedium = 0;
constexpr std::uint32_t kMediumFollows = 1;
// Input-slot indexes of tray ids; 0 for an id that has none.
constexpr std::uint32_t kNoSlot = 0;

std::uint32_t InputSlotOf(std::uint16_t tray_id) {
  switch (tray_id) {
    case 1:
    case 2:
      return 2;
    case 3:
      return 3;
    case 4:
    case 13:
      return 5;
    case 5:
      return 4;
    case 6:
      return 1;
    case 20:
    case 28:
      return 6;
    case 29:
      return 7;
    default:
      return tray_id >= 21 && tray_id <= 26 ? tray_id - 13u : kNoSlot;
  }
}

}  // namespace

std::span<const RWClassRegistration> PaperPartClasses() {
  return kPaperPartClasses;
}

// ---------------------------------------------------------------------------
// What trays and bins share

template <class Self, RWClassID kId>
RWSize GPaperPart<Self, kId>::StoredSize() const {
  // The display string's object token is its 2-byte class id.
  return GAttribute::StoredSize() + 4 + kSharedFieldsSize + name_.Length() +
         self().OwnFieldsSize() + 2 + display_string_.StoredSize();
}

template <class Self, RWClassID kId>
template <class Out>
void GPaperPart<Self, kId>::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kPaperPartVersion);
  PutItem(out, name_);
  PutItem(out, id_);
  PutItem(out, value1_);
  PutItem(out, value2_);
  PutItem(out, mapped1_);
  PutItem(out, mapped2_);
  self().WriteOwnFields(out);
  PutReference(out, &display_string_);
}

template <class Self, RWClassID kId>
template <class In>
void GPaperPart<Self, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version > kPaperPartVersion) return;
  Self& me = static_cast<Self&>(*this);
  me.ForgetOwnFields();
  if (!GetItem(in, name_) || !GetItem(in, id_) || !GetItem(in, value1_) || !GetItem(in, value2_) ||
      !GetItem(in, mapped1_) || !GetItem(in, mapped2_)) {
    return;
  }
  if (!me.ReadOwnFields(in)) {
    scope.Fail();
    return;
  }
  // Back into the one held, never into an object of the reader's making.
  if (version == kPaperPartVersion && scope.Ok() && !GetEmbedded(in, display_string_)) {
    scope.Fail();
  }
}

template <class Self, RWClassID kId>
bool GPaperPart<Self, kId>::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const Self* same = this->SameContentBase(other);
  return same && name_ == same->name_ && id_ == same->id_ && value1_ == same->value1_ &&
         value2_ == same->value2_ && mapped1_ == same->mapped1_ && mapped2_ == same->mapped2_ &&
         display_string_.IsEqualContent(&same->display_string_) && self().SameOwnFields(*same);
}

// ---------------------------------------------------------------------------
// GTray

GTray::GTray(const RWCString& name, std::uint16_t id, std::uint32_t value1, std::uint32_t value2,
             std::int32_t mapped1, std::int32_t mapped2, GMedia* medium, const std::uint32_t& key)
    : GPaperPart(name, id, value1, value2, mapped1, mapped2, key), medium_(medium) {}

GTray::GTray(std::uint16_t display_id, const RWCString& name, std::uint16_t id,
             std::uint32_t value1, std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2,
             GMedia* medium, const char* display_text, const char* display_module,
             const std::uint32_t& key)
    : GTray(name, id, value1, value2, mapped1, mapped2, medium, key) {
  DisplayString() = GDisplayString(display_id, display_text, display_module);
}

GTray::GTray(const GTray& other) : GPaperPart(other) {
  if (other.medium_) medium_.reset(RWNew<GMedia>(*other.medium_));
}

GTray& GTray::operator=(const GTray& other) {
  if (this != &other) {
    GPaperPart::operator=(other);
    medium_.reset();
    if (other.medium_) medium_.reset(RWNew<GMedia>(*other.medium_));
  }
  return *this;
}

RWSize GTray::OwnFieldsSize() const {
  // The medium's object token is its 2-byte class id.
  return 4 + (medium_ ? 2 + medium_->StoredSize() : 0);
}

bool GTray::SameOwnFields(const GTray& other) const {
  if (!medium_ || !other.medium_) return !medium_ && !other.medium_;
  return medium_->IsEqualContent(other.medium_.get());
}

template <class Out>
void GTray::WriteOwnFields(Out& out) const {
  PutItem(out, medium_ ? kMediumFollows : kNoMedium);
  if (medium_) PutReference(out, medium_.get());
}

template <class In>
bool GTray::ReadOwnFields(In& in) {
  std::uint32_t flag = kNoMedium;
  if (!GetItem(in, flag) || flag != kMediumFollows) return true;
  // Owned outright: read into a medium of the tray's own making, from a
  // new object of class 1002 only. A medium read in part is dropped: no
  // later reference may name it.
  std::unique_ptr<GMedia> medium(RWNew<GMedia>());
  if (!medium || !GetEmbedded(in, *medium)) return false;
  medium_ = std::move(medium);
  return true;
}

std::uint16_t GTray::Execute(GAttributeHandlers& device) {
  return static_cast<std::uint16_t>(device.SetTray(*this));
}

// ---------------------------------------------------------------------------
// GBin

GBin::GBin(std::uint16_t display_id, const RWCString& name, std::uint16_t id, std::uint32_t value1,
           std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2, std::uint32_t value5,
           std::uint32_t value6, const char* display_text, const char* display_module,
           const std::uint32_t& key)
    : GPaperPart(name, id, value1, value2, mapped1, mapped2, key),
      value5_(value5),
      value6_(value6) {
  DisplayString() = GDisplayString(display_id, display_text, display_module);
}

template <class Out>
void GBin::WriteOwnFields(Out& out) const {
  PutItem(out, value5_);
  PutItem(out, value6_);
}

template <class In>
bool GBin::ReadOwnFields(In& in) {
  // A short read is the source's own failure, which the scope reports.
  if (GetItem(in, value5_)) GetItem(in, value6_);
  return true;
}

std::uint16_t GBin::Execute(GAttributeHandlers&) {
  return 1;
}

// ---------------------------------------------------------------------------
// Matching trays with the device values

std::uint32_t MatchTraysToDeviceValues(MChildIterator* trays, const GDeviceSlotEntry* table,
                                       std::uint16_t count) {
  if (!trays) return 0;
  if (!table) count = 0;
  bool met_a_tray = false;
  while (trays->Next()) {
    auto* tray = dynamic_cast<const GTray*>(trays->Current());
    if (!tray) continue;
    met_a_tray = true;
    std::uint32_t slot = InputSlotOf(tray->GetId());
    if (slot == kNoSlot) return 0;
    for (std::uint16_t i = 0; i < count; ++i) {
      if (table[i].slot != slot) continue;
      if (table[i].value != static_cast<std::uint32_t>(tray->GetMappedValue1())) return 0;
      break;
    }
  }
  return met_a_tray ? 1 : 0;
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GTray, GAttribute, kGTrayId>;
template class MPersistentClass<GBin, GAttribute, kGBinId>;
template class GPaperPart<GTray, kGTrayId>;
template class GPaperPart<GBin, kGBinId>;
