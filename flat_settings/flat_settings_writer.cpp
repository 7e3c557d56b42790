// The flat settings record's writer (GFlatSettingsCodec::Encode).
#include <array>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "flat_settings/flat_settings_codec.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"

namespace {

// The tintvector bytes in record order, as (object kind, setting) pairs of
// GetSetting, and the class's constructor from a key and those bytes.
constexpr std::array<std::array<std::int32_t, 2>, 6> kTintvectorBytes = {
    {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}};
constexpr std::array<std::array<std::int32_t, 2>, 8> kEnhancedBytes = {
    {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {0, 2}, {0, 3}}};
constexpr std::array<std::array<std::int32_t, 2>, 10> kEnhancedVer2Bytes = {
    {{0, 0}, {0, 1}, {0, 3}, {1, 0}, {1, 1}, {1, 3}, {2, 0}, {2, 1}, {2, 3}, {0, 2}}};

class Writer {
 public:
  Writer(RWVirtualOutputStream& out, GPersistenceOutputStream& holder, bool short_numbers)
      : out_(out), holder_(holder), short_(short_numbers) {}

  // A composite node (types 1, 2, 9, 12, 15, 16); false, writing nothing,
  // for another kind, and false after any failure inside.
  bool WriteComposite(MPersistentObject& node);

 private:
  bool WriteChild(MPersistentObject& child);
  void PutNumber(std::uint32_t v) {
    if (short_) {
      out_.PutUShort(static_cast<std::uint16_t>(v));
    } else {
      out_.PutULong(v);
    }
  }
  void PutByte(std::uint8_t b) { out_.PutUChar(b); }
  void PutHeader(std::uint8_t type, const MPersistentObject& node) {
    PutByte(type);
    PutNumber(kFlatNodeVersion);
    PutNumber(node.Key());
  }
  template <class Tint, std::size_t N>
  void PutTintBytes(const Tint& tint, const std::array<std::array<std::int32_t, 2>, N>& order) {
    for (const auto& [object, setting] : order) {
      std::uint8_t byte = 0;
      tint.GetSetting(object, setting, byte);
      PutByte(byte);
    }
  }
  bool WriteValue(const GValueAttribute& value);
  void WriteRange(const GRangeAttribute& range);
  void WriteDisplayString(const GDisplayStringAttribute& attribute);
  bool WriteString(const GStringAttribute& string);
  void WriteFormToTray(const GFormToTrayDatabase& database);
  void WriteCustomSize(const GCustomMediaSize& size);
  bool WriteAssociation(const MPersistentAssociation& association);
  void WriteResourceMapping(const GResourceMapping& mapping);
  void PutObject(const RWCollectable* object) {
    // A graph that does not fit fails the stream, which the caller sees.
    RWErrorScope scope;
    WriteCollectablePointerToStream(out_, object);
    if (scope.Failed()) out_.SetState(out_.State() | RWStreamState::kFail);
  }

  RWVirtualOutputStream& out_;
  GPersistenceOutputStream& holder_;
  bool short_;
};

std::uint8_t CompositeType(RWClassID type_id) {
  switch (type_id) {
    case kGStateId:
      return kFlatState;
    case kGAttributeCompositeId:
      return kFlatComposite;
    case kGEnumAttributeId:
      return kFlatEnum;
    case kGDeviceFontListCompositeId:
      return kFlatFontListComposite;
    case kMAssociationListId:
      return kFlatAssociationList;
    case kGResourceMappingListId:
      return kFlatResourceMappingList;
    default:
      return 0;
  }
}

bool Writer::WriteComposite(MPersistentObject& node) {
  const std::uint8_t type = CompositeType(node.TypeId());
  if (type == 0) return false;
  PutHeader(type, node);
  const std::int64_t length_at = holder_.Tell();
  out_.PutUShort(0);
  bool ok = length_at >= 0;
  if (ok) {
    std::unique_ptr<MChildIterator> children(node.NewChildIterator());
    while (ok && children && children->Next()) {
      if (MPersistentObject* child = children->Current()) ok = WriteChild(*child) && !out_.Fail();
    }
  }
  // Every open node is closed, after a failure too, so that the record
  // stays well formed.
  const std::int64_t end = holder_.Tell();
  if (length_at < 0 || end < length_at) {
    out_.SetState(out_.State() | RWStreamState::kFail);
    return false;
  }
  const std::int64_t length = end - length_at + 2;
  // Mended (docs/mended-behaviour.md): too long fails the stream, not wrapped.
  if (length > kFlatMaxLength) {
    out_.SetState(out_.State() | RWStreamState::kFail);
    return false;
  }
  holder_.Seek(length_at);
  out_.PutUShort(static_cast<std::uint16_t>(length));
  holder_.Seek(end);
  PutByte(kFlatEndByte);
  return ok && !out_.Fail();
}

bool Writer::WriteValue(const GValueAttribute& value) {
  const auto v = static_cast<std::int16_t>(value.GetValue());
  if (v >= 0 && v <= kFlatSmallValueMax) {
    PutByte(static_cast<std::uint8_t>(kFlatSmallValueBase + v));
    PutNumber(value.Key());
  } else {
    PutByte(kFlatValue);
    PutNumber(value.Key());
    out_.PutShort(v);
  }
  return true;
}

void Writer::WriteRange(const GRangeAttribute& range) {
  PutHeader(kFlatRange, range);
  out_.PutShort(range.GetMaximum());
  out_.PutShort(range.GetMinimum());
  out_.PutShort(static_cast<std::int16_t>(range.GetStep()));
  out_.PutShort(range.GetValue());
}

void Writer::WriteDisplayString(const GDisplayStringAttribute& attribute) {
  const GDisplayString& display = attribute.GetDisplayString();
  PutHeader(kFlatDisplayString, attribute);
  PutItem(out_, display.GetText());
  out_.PutUShort(display.GetStringId());
  PutItem(out_, display.GetModuleName());
}

bool Writer::WriteString(const GStringAttribute& string) {
  const RWCString& text = string.GetValue();
  // The count is the length and its terminator in 16 bits.
  // Mended (docs/mended-behaviour.md): a longer string is refused, not wrapped.
  if (text.Length() >= 0xFFFF) return false;
  PutByte(kFlatString);
  PutNumber(string.Key());
  out_.PutUShort(static_cast<std::uint16_t>(text.Length() + 1));
  out_.PutChars(text.Data(), text.Length());
  PutByte(0);
  return true;
}

void Writer::WriteFormToTray(const GFormToTrayDatabase& database) {
  PutHeader(kFlatFormToTray, database);
  out_.PutUShort(database.GetDefaultMediaType());
  out_.PutUShort(database.GetDefaultTray());
  const GCountedPtrVector& associations = database.GetAssociations().Children();
  for (RWSize i = 0; i < associations.Count(); ++i) {
    const auto* association = dynamic_cast<const GFormToTrayAssociation*>(associations.At(i).Get());
    if (!association) continue;
    PutHeader(kFlatFormToTrayAssociation, *association);
    out_.PutUShort(association->GetForm());
    out_.PutUShort(association->GetMediaType());
    out_.PutUShort(association->GetTray());
  }
  PutByte(kFlatEndByte);
}

void Writer::WriteCustomSize(const GCustomMediaSize& size) {
  PutHeader(kFlatCustomSize, size);
  out_.PutUShort(size.GetId());
  PutItem(out_, size.GetName());
  out_.PutUShort(static_cast<std::uint16_t>(size.GetUnit()));
  out_.PutULong(size.GetSize().width);
  out_.PutULong(size.GetSize().height);
}

bool Writer::WriteAssociation(const MPersistentAssociation& association) {
  const auto* key = dynamic_cast<const GValueAttribute*>(association.Key());
  if (!key) return false;
  PutHeader(kFlatAssociation, association);
  out_.PutUShort(key->GetValue());
  const MPersistentObject* value = association.Value();
  if (value && value->IsKindOf(kGStringAttributeId)) {
    out_.PutUShort(kFlatValueString);
    PutItem(out_, static_cast<const GStringAttribute*>(value)->GetValue());
  } else if (value && value->IsKindOf(kGValueAttributeId)) {
    out_.PutUShort(kFlatValueNumber);
    out_.PutUShort(static_cast<const GValueAttribute*>(value)->GetValue());
  } else if (value && value->IsKindOf(kGSelectionStringId)) {
    out_.PutUShort(kFlatValueSelection);
    PutItem(out_, static_cast<const GSelectionString*>(value)->Text());
  } else {
    out_.PutUShort(kFlatValueObject);
    PutObject(value);
  }
  return true;
}

void Writer::WriteResourceMapping(const GResourceMapping& mapping) {
  PutHeader(kFlatResourceMapping, mapping);
  out_.PutUShort(mapping.SystemNumber());
  out_.PutShort(mapping.SecondNumber());
  out_.PutULong(mapping.StringResourceId());
}

bool Writer::WriteChild(MPersistentObject& child) {
  switch (child.TypeId()) {
    case kGStateId:
    case kGAttributeCompositeId:
    case kGEnumAttributeId:
    case kGDeviceFontListCompositeId:
    case kMAssociationListId:
    case kGResourceMappingListId:
      return WriteComposite(child);
    case kGValueAttributeId:
      return WriteValue(static_cast<GValueAttribute&>(child));
    case kGTintvectorAttributeId:
      PutHeader(kFlatTintvector, child);
      PutTintBytes(static_cast<GTintvectorAttribute&>(child), kTintvectorBytes);
      return true;
    case kGRangeAttributeId:
      WriteRange(static_cast<GRangeAttribute&>(child));
      return true;
    case kGDisplayStringAttributeId:
      WriteDisplayString(static_cast<GDisplayStringAttribute&>(child));
      return true;
    case kGStringAttributeId:
      return WriteString(static_cast<GStringAttribute&>(child));
    case kGFormToTrayDatabaseId:
      WriteFormToTray(static_cast<GFormToTrayDatabase&>(child));
      return true;
    case kGCustomMediaSizeId:
      WriteCustomSize(static_cast<GCustomMediaSize&>(child));
      return true;
    case kGDeviceFontListId:
      PutByte(kFlatFontList);
      PutNumber(kFlatFontListVersion);
      PutObject(&child);
      return true;
    case kMPersistentAssociationId:
      return WriteAssociation(static_cast<MPersistentAssociation&>(child));
    case kGResourceMappingId:
      WriteResourceMapping(static_cast<GResourceMapping&>(child));
      return true;
    case kGTintvectorEnhancedAttributeId:
      PutHeader(kFlatTintvectorEnhanced, child);
      PutTintBytes(static_cast<GTintvectorEnhancedAttribute&>(child), kEnhancedBytes);
      return true;
    case kGTintvectorEnhancedAttributeVer2Id:
      PutHeader(kFlatTintvectorEnhancedVer2, child);
      PutTintBytes(static_cast<GTintvectorEnhancedAttributeVer2&>(child), kEnhancedVer2Bytes);
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

int GFlatSettingsCodec::Encode(MPersistentObject* tree, RWVirtualOutputStream* stream,
                               GPersistenceOutputStream* holder, std::uint16_t mode) {
  if (mode != kFlatShortNumbers && mode != kFlatLongNumbers) return 0;
  short_numbers_ = mode == kFlatShortNumbers ? 1 : 0;
  if (!stream || !holder) return 0;
  // Object graphs written inside (font lists, association values) may
  // raise on a full stream: that is the stream's failure, not the
  // process's.
  RWErrorScope scope;
  for (std::size_t i = 0; i < kFlatMarkerLength; ++i)
    stream->PutUChar(kFlatMarkerByte);
  if (!tree) return stream->Fail() ? 0 : 1;
  Writer writer(*stream, *holder, short_numbers_ != 0);
  const bool ok = writer.WriteComposite(*tree);
  if (scope.Failed()) stream->SetState(stream->State() | RWStreamState::kFail);
  return ok && !stream->Fail() ? 1 : 0;
}
