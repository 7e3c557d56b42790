#include "flat_settings/flat_settings_codec.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "services/driver_data.h"

namespace {

// Children of the series node (360) that a device mode always takes from
// the pattern: they are printer-wide and kept in printer data.
constexpr std::uint32_t kSeriesPrinterWideKeys[] = {kInstalledOptionsKey, kKeyLocksKey,
                                                    kExtensionCompositeKey, kUIObjectsKey};
// Children that the pattern gains only so that the record may supply them
// (the watermark under 378, the user custom size under 276): never copied
// in from the pattern, at any depth.
constexpr std::uint32_t kWatermarkTemplateKey = kWatermarkDefinitionKey;
bool IsPlaceholder(std::uint32_t key) {
  return key == kWatermarkTemplateKey || key == kUserCustomSizeKey;
}
// Parents whose string children are always taken from the record.
constexpr std::uint32_t kStringParentKeys[] = {kUserMediaTypesKey, kAccessoryBinNamesKey};

// The watermark template under 378: string children (text, key), then value
// children (value, key), in this order.
struct TemplateString {
  const char* text;
  std::uint32_t key;
};
struct TemplateValue {
  std::uint16_t value;
  std::uint32_t key;
};
constexpr TemplateString kWatermarkStrings[] = {
    {"", kWatermarkNameKey}, {"", kWatermarkTextKey}, {"Arial", kWatermarkFaceKey}};
constexpr TemplateValue kWatermarkValues[] = {
    {0, kWatermarkCharSetKey},    {0, kWatermarkStyleKey}, {0, kWatermarkWeightKey},
    {20, kWatermarkPointSizeKey}, {0, kWatermarkWidthKey}, {0, kWatermarkAngleKindKey},
    {0, kWatermarkAngleKey},      {0, kWatermarkKeptKey},  {0, kWatermarkSecondKeptKey},
    {0, kWatermarkShadeKey},      {0, kWatermarkRedKey},   {0, kWatermarkGreenKey},
    {0, kWatermarkBlueKey},       {0, kWatermarkNumberKey}};

// Hands `child` to `parent` when it is a composite; otherwise the child,
// which a leaf would not take, is destroyed.
void AddToComposite(MPersistentObject* parent, MPersistentObject* child) {
  if (parent && parent->AsComposite()) {
    parent->AddChild(child);
  } else {
    GAttributeComposite::Refuse(child);
  }
}

// Destroys an object that nothing holds (a rejected child, a partial read).
void Discard(MPersistentObject* object) {
  if (object && object->ReferenceCount() < 0) delete object;
}

// A deep copy of a pattern child without the placeholders below it, so
// that a record lacking 378 or 276 gains no phantom watermark or size.
MPersistentObject* CopyOfPattern(MPersistentObject& child) {
  MPersistentObject* copy = child.DeepCopy();
  if (!copy || !copy->AsComposite()) return copy;
  for (std::uint32_t key : {kWatermarkTemplateKey, kUserCustomSizeKey}) {
    while (MPersistentObject* placeholder = copy->RemoveByKey(key))
      Discard(placeholder);
  }
  return copy;
}

// The tintvector bytes in record order, as (object kind, setting) pairs of
// GetSetting, and the class's constructor from a key and those bytes.
constexpr std::array<std::array<std::int32_t, 2>, 6> kTintvectorBytes = {
    {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}};
constexpr std::array<std::array<std::int32_t, 2>, 8> kEnhancedBytes = {
    {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {0, 2}, {0, 3}}};
constexpr std::array<std::array<std::int32_t, 2>, 10> kEnhancedVer2Bytes = {
    {{0, 0}, {0, 1}, {0, 3}, {1, 0}, {1, 1}, {1, 3}, {2, 0}, {2, 1}, {2, 3}, {0, 2}}};

// ---------------------------------------------------------------------------
// Writing

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
  bool WriteString(const GStringAttribute& string);
  void WriteFormToTray(const GFormToTrayDatabase& database);
  bool WriteAssociation(const MPersistentAssociation& association);
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

bool Writer::WriteString(const GStringAttribute& string) {
  const RWCString& text = string.GetValue();
  // The count is the length and its terminator in 16 bits.
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
    case kGRangeAttributeId: {
      const auto& range = static_cast<GRangeAttribute&>(child);
      PutHeader(kFlatRange, child);
      out_.PutShort(range.GetMaximum());
      out_.PutShort(range.GetMinimum());
      out_.PutShort(static_cast<std::int16_t>(range.GetStep()));
      out_.PutShort(range.GetValue());
      return true;
    }
    case kGDisplayStringAttributeId: {
      const GDisplayString& display =
          static_cast<GDisplayStringAttribute&>(child).GetDisplayString();
      PutHeader(kFlatDisplayString, child);
      PutItem(out_, display.GetText());
      out_.PutUShort(display.GetStringId());
      PutItem(out_, display.GetModuleName());
      return true;
    }
    case kGStringAttributeId:
      return WriteString(static_cast<GStringAttribute&>(child));
    case kGFormToTrayDatabaseId:
      WriteFormToTray(static_cast<GFormToTrayDatabase&>(child));
      return true;
    case kGCustomMediaSizeId: {
      const auto& size = static_cast<GCustomMediaSize&>(child);
      PutHeader(kFlatCustomSize, child);
      out_.PutUShort(size.GetId());
      PutItem(out_, size.GetName());
      out_.PutUShort(static_cast<std::uint16_t>(size.GetUnit()));
      out_.PutULong(size.GetSize().width);
      out_.PutULong(size.GetSize().height);
      return true;
    }
    case kGDeviceFontListId:
      PutByte(kFlatFontList);
      PutNumber(kFlatFontListVersion);
      PutObject(&child);
      return true;
    case kMPersistentAssociationId:
      return WriteAssociation(static_cast<MPersistentAssociation&>(child));
    case kGResourceMappingId: {
      const auto& mapping = static_cast<GResourceMapping&>(child);
      PutHeader(kFlatResourceMapping, child);
      out_.PutUShort(mapping.SystemNumber());
      out_.PutShort(mapping.SecondNumber());
      out_.PutULong(mapping.StringResourceId());
      return true;
    }
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

// ---------------------------------------------------------------------------
// Reading

// The direct children of `node` that are there, in order; false when the
// iterator cannot be made.
template <class Each>
void ForEachChild(MPersistentObject& node, Each each) {
  std::unique_ptr<MChildIterator> children(node.NewChildIterator());
  while (children && children->Next()) {
    if (MPersistentObject* child = children->Current()) each(*child);
  }
}

bool IsPrinterWide(std::uint32_t key) {
  return std::ranges::find(kSeriesPrinterWideKeys, key) != std::end(kSeriesPrinterWideKeys);
}

}  // namespace

// What every decode asks of the template, worked out once when it is built:
// for each pattern node, FindByKey's answer for every key below it, and its
// children by key. The template does not change while the codec keeps it.
class GFlatPatternIndex {
 public:
  static constexpr std::uint32_t kNoSlot = ~std::uint32_t{0};

  // A key of a node's children: the TypeId of its last child, and whether
  // it is one that a device mode's series node (360) takes from the
  // pattern (kSeriesPrinterWideKeys).
  struct Expected {
    std::uint32_t key = 0;
    RWClassID type_id = 0;
    bool printer_wide = false;
  };
  struct Node;
  // A node of the template and its entry (null for a node no decode
  // reaches as a pattern: below one whose FindByKey does not walk its
  // children).
  struct Found {
    MPersistentObject* object = nullptr;
    const Node* node = nullptr;
  };
  struct Node {
    // Whether the node's FindByKey walks its children depth first; only
    // then does `below` hold its answers (first match per key).
    bool walks = false;
    std::unordered_map<std::uint32_t, Found> below;
    std::vector<Expected> expected;  // by key
    // The children in order, each with its slot in `expected`; and those
    // a decode fills in when the record lacks them (no placeholder).
    std::vector<std::pair<MPersistentObject*, std::uint32_t>> children;
    std::vector<std::pair<MPersistentObject*, std::uint32_t>> fills;
    // The children's keys and slots in order: a record written from a tree
    // like the template's brings its children in this order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> order;

    // The slot of `key` in `expected`, or kNoSlot.
    std::uint32_t SlotOf(std::uint32_t key) const {
      auto it = std::ranges::lower_bound(expected, key, {}, &Expected::key);
      return it != expected.end() && it->key == key
                 ? static_cast<std::uint32_t>(it - expected.begin())
                 : kNoSlot;
    }
  };

  explicit GFlatPatternIndex(MPersistentObject& root) : root_{&root, &Add(root)} {}

  const Found& Root() const { return root_; }

  // What `parent.object->FindByKey(key)` answers.
  Found FindByKey(const Found& parent, std::uint32_t key) const {
    if (parent.node && parent.node->walks) {
      auto it = parent.node->below.find(key);
      return it == parent.node->below.end() ? Found{} : it->second;
    }
    MPersistentObject* object = parent.object->FindByKey(key);
    if (!object) return Found{};
    auto it = nodes_.find(object);
    return Found{object, it == nodes_.end() ? nullptr : &it->second};
  }

  // Fills in `node` for `object`, all but `below`.
  static void Describe(MPersistentObject& object, Node& node) {
    ForEachChild(object,
                 [&](MPersistentObject& child) { node.children.emplace_back(&child, kNoSlot); });
    // A composite's FindByKey tests its first child before anything else;
    // any other FindByKey answers the object itself or nothing.
    if (!node.children.empty()) {
      MPersistentObject* first = node.children.front().first;
      node.walks = object.FindByKey(first->Key()) == first;
    }
    // One entry per key, with the type of the key's last child.
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
      const std::uint32_t key = it->first->Key();
      node.expected.push_back(Expected{key, it->first->TypeId(), IsPrinterWide(key)});
    }
    // Iterator-pair algorithms: clang's ranges over this standard library
    // refuse a vector of a nested type here, which the fuzz build needs.
    const auto by_key = [](const Expected& a, const Expected& b) { return a.key < b.key; };
    std::stable_sort(node.expected.begin(), node.expected.end(), by_key);
    node.expected.erase(
        std::unique(node.expected.begin(), node.expected.end(),
                    [](const Expected& a, const Expected& b) { return a.key == b.key; }),
        node.expected.end());
    for (auto& [child, slot] : node.children) {
      slot = node.SlotOf(child->Key());
      node.order.emplace_back(child->Key(), slot);
      if (!IsPlaceholder(child->Key())) node.fills.emplace_back(child, slot);
    }
  }

 private:
  const Node& Add(MPersistentObject& object) {
    auto [entry, made] = nodes_.try_emplace(&object);
    Node& node = entry->second;
    if (!made) return node;  // held in two places
    Describe(object, node);
    if (!node.walks) return node;
    for (const auto& [child, slot] : node.children) {
      const Node& below = Add(*child);
      node.below.try_emplace(child->Key(), Found{child, &below});
      if (!below.walks) continue;
      for (const auto& [key, found] : below.below)
        node.below.try_emplace(key, found);
    }
    return node;
  }

  std::unordered_map<const MPersistentObject*, Node> nodes_;
  Found root_;
};

namespace {

// What a composite being read knows of a key of its pattern's children.
constexpr std::uint8_t kKeySupplied = 1;  // the record supplied a child
constexpr std::uint8_t kKeyHeld = 2;      // the composite holds a child

class Reader {
 public:
  Reader(RWVirtualInputStream& in, GPersistenceInputStream& holder, bool short_numbers,
         const GFlatPatternIndex& index)
      : in_(in), holder_(holder), short_(short_numbers), index_(index) {}

  // A composite node of type 1, 2 or 9 whose type byte was read, matched
  // against `pattern_parent`, a node of the indexed template. Null when it
  // cannot be read; when only its key is unknown to the pattern, `skip_to`
  // receives where it ends (else -1).
  MPersistentObject* ReadComposite(const GFlatPatternIndex::Found& pattern_parent,
                                   std::uint8_t type, std::int64_t& skip_to);
  // The top-level lists.
  MPersistentObject* ReadFontListComposite();
  MPersistentObject* ReadAssociationList();
  MPersistentObject* ReadResourceMappingList();

  bool GetByte(std::uint8_t& v) { return Check(in_.GetUChar(v)); }

 private:
  bool Check(RWVirtualInputStream& in) {
    if (in.Fail()) lost_ = true;
    return !lost_;
  }
  bool GetU16(std::uint16_t& v) { return !lost_ && Check(in_.GetUShort(v)); }
  bool GetI16(std::int16_t& v) { return !lost_ && Check(in_.GetShort(v)); }
  bool GetU32(std::uint32_t& v) { return !lost_ && Check(in_.GetULong(v)); }
  bool GetNumber(std::uint32_t& v) {
    if (!short_) return GetU32(v);
    std::uint16_t n = 0;
    if (!GetU16(n)) return false;
    v = n;
    return true;
  }
  bool GetText(RWCString& text) {
    if (lost_) return false;
    const bool read = GetItem(in_, text);
    return Check(in_) && read;
  }
  // V and K.
  bool GetHeader(std::uint32_t& version, std::uint32_t& key) {
    return GetNumber(version) && GetNumber(key);
  }
  // Reads up to `target`; false (and the read lost) when it lies behind the
  // position or beyond the input.
  bool SkipTo(std::int64_t target);
  // The position and a composite length after it: where the node ends, or
  // -1 when the length cannot describe a node.
  static std::int64_t NodeEnd(std::int64_t length_at, std::uint16_t length) {
    return length_at < 0 || length < 4 ? -1 : length_at + length - 1;
  }

  MPersistentObject* ReadLeaf(std::uint8_t type);
  MPersistentObject* ReadString();
  MPersistentObject* ReadFormToTray();
  template <class Tint, std::size_t N>
  MPersistentObject* ReadTint();
  // One object reference of the object-graph form: false when the read
  // failed (the partial object freed).
  bool GetObject(RWCollectable*& object);
  MPersistentAssociation* ReadAssociation(bool& go_on);

  RWVirtualInputStream& in_;
  GPersistenceInputStream& holder_;
  bool short_;
  const GFlatPatternIndex& index_;
  bool lost_ = false;  // the input ended or can no longer be followed
  // Per open composite, from where it begins: for each key of its pattern's
  // children (GFlatPatternIndex::Node::expected), kKeySupplied and
  // kKeyHeld.
  std::vector<std::uint8_t> read_;
};

bool Reader::SkipTo(std::int64_t target) {
  const std::int64_t at = lost_ ? -1 : holder_.Tell();
  if (at < 0 || target < at) {
    lost_ = true;
    return false;
  }
  char chunk[256];
  for (std::int64_t left = target - at; left > 0;) {
    const auto n = static_cast<RWSize>(std::min<std::int64_t>(left, sizeof chunk));
    if (!Check(in_.GetChars(chunk, n))) return false;
    left -= n;
  }
  return true;
}

MPersistentObject* Reader::ReadString() {
  std::uint32_t key = 0;
  std::uint16_t count = 0;
  if (!GetNumber(key) || !GetU16(count)) return nullptr;
  std::string text;
  char chunk[256];
  for (std::uint32_t left = count > 0 ? count - 1u : 0u; left > 0;) {
    const std::uint32_t n = std::min<std::uint32_t>(left, sizeof chunk);
    if (!Check(in_.GetChars(chunk, n))) return nullptr;
    text.append(chunk, n);
    left -= n;
  }
  std::uint8_t terminator = 0;
  if (count > 0 && !GetByte(terminator)) return nullptr;
  return new GStringAttribute(RWCString(text.data(), text.size()), key);
}

MPersistentObject* Reader::ReadFormToTray() {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  std::uint16_t default_media_type = 0;
  std::uint16_t default_tray = 0;
  if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetU16(default_media_type) ||
      !GetU16(default_tray)) {
    return nullptr;
  }
  // The defaults are not applied: the new database keeps its own.
  auto database = std::make_unique<GFormToTrayDatabase>(key);
  std::uint8_t next = 0;
  while (GetByte(next) && next != kFlatEndByte) {
    std::uint32_t association_version = 0;
    std::uint32_t association_key = 0;
    std::uint16_t form = 0;
    std::uint16_t media_type = 0;
    std::uint16_t tray = 0;
    if (!GetHeader(association_version, association_key) ||
        association_version != kFlatNodeVersion || !GetU16(form) || !GetU16(media_type) ||
        !GetU16(tray)) {
      return nullptr;
    }
    database->SetAssociation(form, tray, media_type);
  }
  return lost_ ? nullptr : database.release();
}

template <class Tint, std::size_t N>
MPersistentObject* Reader::ReadTint() {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  if (!GetHeader(version, key) || version != kFlatNodeVersion) return nullptr;
  typename Tint::Settings settings{};
  static_assert(std::tuple_size_v<typename Tint::Settings> == N);
  for (std::uint8_t& byte : settings) {
    if (!GetByte(byte)) return nullptr;
  }
  return new Tint(key, settings);
}

MPersistentObject* Reader::ReadLeaf(std::uint8_t type) {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  if (type >= kFlatSmallValueBase && type <= kFlatSmallValueBase + kFlatSmallValueMax) {
    if (!GetNumber(key)) return nullptr;
    return new GValueAttribute(static_cast<std::uint16_t>(type - kFlatSmallValueBase), key);
  }
  switch (type) {
    case kFlatValue: {
      std::int16_t value = 0;
      if (!GetNumber(key) || !GetI16(value)) return nullptr;
      return new GValueAttribute(static_cast<std::uint16_t>(value), key);
    }
    case kFlatTintvector:
      return ReadTint<GTintvectorAttribute, 6>();
    case kFlatTintvectorEnhanced:
      return ReadTint<GTintvectorEnhancedAttribute, 8>();
    case kFlatTintvectorEnhancedVer2:
      return ReadTint<GTintvectorEnhancedAttributeVer2, 10>();
    case kFlatRange: {
      std::int16_t maximum = 0, minimum = 0, step = 0, value = 0;
      if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetI16(maximum) ||
          !GetI16(minimum) || !GetI16(step) || !GetI16(value)) {
        return nullptr;
      }
      return new GRangeAttribute(minimum, maximum, static_cast<std::uint16_t>(step), value, key);
    }
    case kFlatDisplayString: {
      RWCString text;
      RWCString module;
      std::uint16_t id = 0;
      if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetText(text) ||
          !GetU16(id) || !GetText(module)) {
        return nullptr;
      }
      // Through the display string, so that texts with NULs stay whole.
      GDisplayString display(id, "", "");
      display.SetText(text);
      display.SetModuleName(module);
      auto* attribute = new GDisplayStringAttribute(key, id, "", "");
      attribute->SetDisplayString(display);
      return attribute;
    }
    case kFlatString:
      return ReadString();
    case kFlatFormToTray:
      return ReadFormToTray();
    case kFlatCustomSize: {
      std::uint16_t code = 0;
      RWCString name;
      std::uint16_t unit = 0;
      std::uint32_t width = 0;
      std::uint32_t height = 0;
      if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetU16(code) ||
          !GetText(name) || !GetU16(unit) || !GetU32(width) || !GetU32(height)) {
        return nullptr;
      }
      auto* size = new GCustomMediaSize(code, name, unit, 0, 0, 0);
      size->SetSize(width, height);
      size->SetKey(key);
      return size;
    }
    default:
      return nullptr;
  }
}

MPersistentObject* Reader::ReadComposite(const GFlatPatternIndex::Found& pattern_parent,
                                         std::uint8_t type, std::int64_t& skip_to) {
  skip_to = -1;
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  if (!GetHeader(version, key)) return nullptr;
  const std::int64_t length_at = holder_.Tell();
  std::uint16_t length = 0;
  if (!GetU16(length)) return nullptr;
  const std::int64_t end = NodeEnd(length_at, length);

  GFlatPatternIndex::Found pattern = index_.FindByKey(pattern_parent, key);
  if (!pattern.object) {
    skip_to = end;
    return nullptr;
  }
  GFlatPatternIndex::Node described;
  if (!pattern.node) {
    GFlatPatternIndex::Describe(*pattern.object, described);
    described.walks = false;  // its children are found by its own FindByKey
    pattern.node = &described;
  }
  const GFlatPatternIndex::Node* expected = pattern.node;
  const bool printer_wide_from_pattern = key == kBuiltSettingsKey && short_;

  std::unique_ptr<GAttributeComposite> node;
  switch (type) {
    case kFlatComposite:
      node = std::make_unique<GAttributeComposite>(key);
      break;
    case kFlatState:
      node = std::make_unique<GState>(key);
      break;
    case kFlatEnum:
      node = std::make_unique<GEnumAttribute>(key);
      break;
    default:
      return nullptr;
  }

  const bool string_parent =
      std::ranges::find(kStringParentKeys, key) != std::end(kStringParentKeys);
  node->ReserveChildren(static_cast<RWSize>(expected->children.size()));
  const std::size_t read_at = read_.size();
  read_.resize(read_at + expected->expected.size(), 0);
  // A state replaces, or refuses, a child whose key and type it holds
  // already (GState::AddChild); a child of a key it holds none of is
  // simply appended, which the composite's own AddChild does without the
  // state's search.
  const bool state = type == kFlatState;
  auto add = [&](MPersistentObject* child, std::uint32_t slot) {
    if (slot == GFlatPatternIndex::kNoSlot) {
      node->AddChild(child);
      return;
    }
    std::uint8_t& flags = read_[read_at + slot];
    if (state && !(flags & kKeyHeld)) {
      node->GAttributeComposite::AddChild(child);
    } else {
      node->AddChild(child);
    }
    flags |= kKeyHeld;
  };
  std::size_t next = 0;  // in expected->order
  std::uint8_t child_type = 0;
  while (GetByte(child_type) && child_type != kFlatEndByte) {
    MPersistentObject* child = nullptr;
    std::int64_t child_end = -1;
    if (child_type == kFlatComposite || child_type == kFlatState || child_type == kFlatEnum) {
      child = ReadComposite(pattern, child_type, child_end);
    } else {
      child = ReadLeaf(child_type);
    }
    if (!child) {
      // A composite the pattern does not know is skipped alone; anything
      // else ends this node's children.
      if (child_end >= 0 && !lost_) {
        const std::int64_t at = holder_.Tell();
        if (at >= 0 && child_end >= at) {
          SkipTo(child_end);
          continue;
        }
      }
      if (!lost_) {
        if (end >= 0) {
          SkipTo(end);
        } else {
          lost_ = true;
        }
      }
      break;
    }
    const std::uint32_t child_key = child->Key();
    const RWClassID child_type_id = child->TypeId();
    std::uint32_t slot;
    if (next < expected->order.size() && expected->order[next].first == child_key) {
      slot = expected->order[next++].second;
    } else {
      slot = expected->SlotOf(child_key);
    }
    const bool known = slot != GFlatPatternIndex::kNoSlot &&
                       !(printer_wide_from_pattern && expected->expected[slot].printer_wide) &&
                       expected->expected[slot].type_id == child_type_id;
    bool accept = known || child_key == kRecordedUIObjectKey ||
                  (string_parent && child_type_id == kGStringAttributeId) ||
                  key == kImportDestinationKey || child_key == kImportDestinationKey ||
                  (key == kLockListKey && child_type_id == kGValueAttributeId);
    if (key == kPluginNamesKey) accept = false;
    if (accept) {
      add(child, slot);
      if (slot != GFlatPatternIndex::kNoSlot) read_[read_at + slot] |= kKeySupplied;
    } else {
      GAttributeComposite::Refuse(child);
    }
  }

  // The pattern's children that the record did not supply, in order.
  for (const auto& [child, slot] : expected->fills) {
    if (slot != GFlatPatternIndex::kNoSlot && (read_[read_at + slot] & kKeySupplied)) continue;
    add(CopyOfPattern(*child), slot);
  }
  read_.resize(read_at);
  return node.release();
}

bool Reader::GetObject(RWCollectable*& object) {
  object = nullptr;
  if (lost_) return false;
  RWErrorScope scope;
  ReadCollectablePointerFromStream(in_, object);
  if (scope.Failed() || in_.Fail()) {
    delete object;  // a partial graph is the reader's to free
    object = nullptr;
    lost_ = true;
    return false;
  }
  return true;
}

MPersistentObject* Reader::ReadFontListComposite() {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetU16(length)) return nullptr;
  // The composite keeps its default key.
  auto* lists = new GDeviceFontListComposite;
  std::uint8_t next = 0;
  while (GetByte(next) && next != kFlatEndByte) {
    std::uint32_t list_version = 0;
    RWCollectable* object = nullptr;
    // A bad version leaves the object's bytes unread: nothing after it can
    // be followed, so the reader keeps what it has.
    if (!GetNumber(list_version) || list_version != kFlatFontListVersion || !GetObject(object)) {
      break;
    }
    if (auto* list = dynamic_cast<GDeviceFontList*>(object)) {
      lists->AddList(list);
    } else {
      delete object;  // another class: dropped
    }
  }
  return lists;
}

MPersistentAssociation* Reader::ReadAssociation(bool& go_on) {
  go_on = false;
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  std::uint16_t key_value = 0;
  std::uint16_t kind = 0;
  if (!GetHeader(version, key) || !GetU16(key_value) || !GetU16(kind)) return nullptr;
  MPersistentObject* value = nullptr;
  switch (kind) {
    case kFlatValueString:
    case kFlatValueSelection: {
      RWCString text;
      if (!GetText(text)) return nullptr;
      value = kind == kFlatValueString
                  ? static_cast<MPersistentObject*>(new GStringAttribute(text, 0))
                  : new GSelectionString(text, key_value, 0);
      break;
    }
    case kFlatValueNumber: {
      std::uint16_t number = 0;
      if (!GetU16(number)) return nullptr;
      value = new GValueAttribute(number, 0);
      break;
    }
    case kFlatValueObject: {
      RWCollectable* object = nullptr;
      if (!GetObject(object)) return nullptr;
      value = dynamic_cast<MPersistentObject*>(object);
      if (object && !value) {
        // Not a model object: the node is dropped.
        delete object;
        go_on = true;
        return nullptr;
      }
      break;
    }
    default:
      // The value's length is unknown: the list cannot go on.
      return nullptr;
  }
  go_on = true;
  if (version != kFlatNodeVersion) {
    Discard(value);
    return nullptr;
  }
  return new MPersistentAssociation(new GValueAttribute(key_value, 0), value, 0);
}

MPersistentObject* Reader::ReadAssociationList() {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetU16(length)) return nullptr;
  auto* list = new MAssociationList(key);
  std::uint8_t next = 0;
  while (GetByte(next) && next != kFlatEndByte) {
    bool go_on = false;
    if (MPersistentAssociation* association = ReadAssociation(go_on)) {
      list->SetAssociation(association);
    }
    if (!go_on) break;
  }
  return list;
}

MPersistentObject* Reader::ReadResourceMappingList() {
  std::uint32_t version = 0;
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetHeader(version, key) || version != kFlatNodeVersion || !GetU16(length)) return nullptr;
  auto* list = new GResourceMappingList(key);
  std::uint8_t next = 0;
  while (GetByte(next) && next != kFlatEndByte) {
    std::uint32_t mapping_version = 0;
    std::uint32_t mapping_key = 0;
    std::uint16_t system_number = 0;
    std::int16_t second_number = 0;
    std::uint32_t string_id = 0;
    if (!GetHeader(mapping_version, mapping_key) || !GetU16(system_number) ||
        !GetI16(second_number) || !GetU32(string_id)) {
      break;
    }
    if (mapping_version != kFlatNodeVersion) continue;
    auto* mapping = new GResourceMapping(string_id, system_number, second_number, 0);
    if (!list->AddMappingUnique(mapping)) delete mapping;
  }
  return list;
}

}  // namespace

// ---------------------------------------------------------------------------

GFlatSettingsCodec::GFlatSettingsCodec() = default;
GFlatSettingsCodec::~GFlatSettingsCodec() = default;

int GFlatSettingsCodec::IsLetterAMarker(const std::uint8_t* bytes) {
  return std::all_of(bytes, bytes + kFlatMarkerLength, [](std::uint8_t b) { return b == 0x61; })
             ? 1
             : 0;
}

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

MPersistentObject* GFlatSettingsCodec::Decode(RWVirtualInputStream* stream,
                                              GPersistenceInputStream* holder,
                                              GDriverData* driver_data, std::uint16_t mode) {
  if (mode != kFlatShortNumbers && mode != kFlatLongNumbers) return nullptr;
  short_numbers_ = mode == kFlatShortNumbers ? 1 : 0;
  if (!template_root_) BuildTemplate(driver_data);
  if (!stream || !holder || !template_root_ || !index_) return nullptr;

  RWErrorScope scope;
  Reader reader(*stream, *holder, short_numbers_ != 0, *index_);
  std::uint8_t byte = 0;
  for (std::size_t i = 0; i < kFlatMarkerLength; ++i) {
    if (!reader.GetByte(byte) || byte != kFlatMarkerByte) return nullptr;
  }
  if (!reader.GetByte(byte)) return nullptr;
  switch (byte) {
    case kFlatFontListComposite:
      return reader.ReadFontListComposite();
    case kFlatResourceMappingList:
      return reader.ReadResourceMappingList();
    case kFlatAssociationList:
      return reader.ReadAssociationList();
    default: {
      std::int64_t unused = -1;
      return reader.ReadComposite(index_->Root(), byte, unused);
    }
  }
}

void GFlatSettingsCodec::BuildTemplate(GDriverData* driver_data) {
  template_root_ = std::make_unique<GAttributeComposite>();
  GAttributeComposite& root = *template_root_;
  if (driver_data) {
    if (GAttributeComposite* defaults = driver_data->BuildDefaultSettings())
      root.AddChild(defaults);
  }
  root.AddChild(new GAttributeComposite(kImportDestinationKey));
  if (GAttributeComposite* job = driver_data ? driver_data->GetJobSettings() : nullptr) {
    if (MPersistentObject* entry = job->FindByKey(kQuicksetTemplateKey)) {
      MPersistentObject* copy = entry->DeepCopy();
      copy->SetKey(0);
      AddToComposite(copy, new GStringAttribute("", kQuicksetNameKey));
      AddToComposite(copy, new GValueAttribute(0, kQuicksetValueKey));
      auto* holder = new GAttributeComposite(kQuicksetTemplateCopyKey);
      holder->AddChild(copy);
      root.AddChild(holder);
    }
  }
  if (MPersistentObject* watermarks = root.FindByKey(kWatermarkListKey)) {
    auto* watermark = new GAttributeComposite(kWatermarkDefinitionKey);
    for (const TemplateString& s : kWatermarkStrings)
      watermark->AddChild(new GStringAttribute(s.text, s.key));
    for (const TemplateValue& v : kWatermarkValues)
      watermark->AddChild(new GValueAttribute(v.value, v.key));
    AddToComposite(watermarks, watermark);
  }
  if (MPersistentObject* sizes = root.FindByKey(kCustomSizesKey)) {
    AddToComposite(sizes,
                   new GCustomMediaSize(0, RWCString(), kHundredthInch, 0, 0, kUserCustomSizeKey));
  }
  index_ = std::make_unique<GFlatPatternIndex>(root);
}
