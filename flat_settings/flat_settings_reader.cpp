// The flat settings record's reader (GFlatSettingsCodec::Decode), which
// matches a record against the template's pattern index.
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
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
#include "flat_settings/flat_settings_codec.h"
#include "flat_settings/flat_settings_patterns.h"
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

using flat_settings_detail::CopyOfPattern;
using flat_settings_detail::Discard;

// Parents whose string children are always taken from the record.
constexpr std::uint32_t kStringParentKeys[] = {kUserMediaTypesKey, kAccessoryBinNamesKey};

// What a composite being read knows of a key of its pattern's children.
constexpr std::uint8_t kKeySupplied = 1;  // the record supplied a child
constexpr std::uint8_t kKeyHeld = 2;      // the composite holds a child

// A new composite node of type 1, 2 or 9; null for another type.
std::unique_ptr<GAttributeComposite> NewComposite(std::uint8_t type, std::uint32_t key) {
  switch (type) {
    case kFlatComposite:
      return std::make_unique<GAttributeComposite>(key);
    case kFlatState:
      return std::make_unique<GState>(key);
    case kFlatEnum:
      return std::make_unique<GEnumAttribute>(key);
    default:
      return nullptr;
  }
}

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
  // Mended (docs/mended-behaviour.md): a failed stream ends every loop here.
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
  // V and K of a node whose version must be the flat form's.
  bool GetNodeHeader(std::uint32_t& key) {
    std::uint32_t version = 0;
    return GetHeader(version, key) && version == kFlatNodeVersion;
  }
  // Reads up to `target`; false (and the read lost) when it lies behind the
  // position or beyond the input.
  bool SkipTo(std::int64_t target);
  // The position and a composite length after it: where the node ends, or
  // -1 when the length cannot describe a node.
  static std::int64_t NodeEnd(std::int64_t length_at, std::uint16_t length) {
    return length_at < 0 || length < 4 ? -1 : length_at + length - 1;
  }

  // A composite being read: its node, its pattern's entry, where its
  // flags begin in read_, and the rules its key decides.
  struct Open {
    GAttributeComposite& node;
    const GFlatPatternIndex::Node& expected;
    std::uint32_t key;
    std::size_t read_at;
    bool state;                      // a GState (see Add)
    bool printer_wide_from_pattern;  // kSeriesPrinterWideKeys come from the pattern
    bool string_parent;              // one of kStringParentKeys
    std::size_t next = 0;            // in expected.order
  };
  // Reads a child of `open` whose type byte `child_type` was read, and
  // keeps or refuses it; false when `open`'s children end here.
  bool ReadChild(Open& open, const GFlatPatternIndex::Found& pattern, std::uint8_t child_type,
                 std::int64_t end);
  // After a child that could not be read: true when it was a composite
  // the pattern does not know, skipped alone; else false, the parent's
  // children ending (skipped to its `end`, or the read lost).
  bool SkipFailedChild(std::int64_t child_end, std::int64_t end);
  // Whether `open` keeps a child of `child_key` and `child_type_id` at
  // `slot` of its pattern's children (kNoSlot: none): one the pattern
  // expects there, or of the kinds always taken from the record.
  static bool Keeps(const Open& open, std::uint32_t slot, std::uint32_t child_key,
                    RWClassID child_type_id);
  void Add(Open& open, MPersistentObject* child, std::uint32_t slot);
  // The pattern's children that the record did not supply, in order.
  void FillFromPattern(Open& open);

  MPersistentObject* ReadLeaf(std::uint8_t type);
  MPersistentObject* ReadRange();
  MPersistentObject* ReadDisplayString();
  MPersistentObject* ReadString();
  MPersistentObject* ReadFormToTray();
  MPersistentObject* ReadCustomSize();
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

// Mended (docs/mended-behaviour.md): lengths followed only as far as the input goes.
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
  // Mended (docs/mended-behaviour.md): grows only by what the input supplies.
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
  std::uint32_t key = 0;
  std::uint16_t default_media_type = 0;
  std::uint16_t default_tray = 0;
  if (!GetNodeHeader(key) || !GetU16(default_media_type) || !GetU16(default_tray)) {
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
  std::uint32_t key = 0;
  if (!GetNodeHeader(key)) return nullptr;
  typename Tint::Settings settings{};
  static_assert(std::tuple_size_v<typename Tint::Settings> == N);
  for (std::uint8_t& byte : settings) {
    if (!GetByte(byte)) return nullptr;
  }
  return new Tint(key, settings);
}

MPersistentObject* Reader::ReadLeaf(std::uint8_t type) {
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
    case kFlatRange:
      return ReadRange();
    case kFlatDisplayString:
      return ReadDisplayString();
    case kFlatString:
      return ReadString();
    case kFlatFormToTray:
      return ReadFormToTray();
    case kFlatCustomSize:
      return ReadCustomSize();
    default:
      return nullptr;
  }
}

MPersistentObject* Reader::ReadRange() {
  std::uint32_t key = 0;
  std::int16_t maximum = 0, minimum = 0, step = 0, value = 0;
  if (!GetNodeHeader(key) || !GetI16(maximum) || !GetI16(minimum) || !GetI16(step) ||
      !GetI16(value)) {
    return nullptr;
  }
  return new GRangeAttribute(minimum, maximum, static_cast<std::uint16_t>(step), value, key);
}

MPersistentObject* Reader::ReadDisplayString() {
  std::uint32_t key = 0;
  RWCString text;
  RWCString module;
  std::uint16_t id = 0;
  if (!GetNodeHeader(key) || !GetText(text) || !GetU16(id) || !GetText(module)) {
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

MPersistentObject* Reader::ReadCustomSize() {
  std::uint32_t key = 0;
  std::uint16_t code = 0;
  RWCString name;
  std::uint16_t unit = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!GetNodeHeader(key) || !GetU16(code) || !GetText(name) || !GetU16(unit) || !GetU32(width) ||
      !GetU32(height)) {
    return nullptr;
  }
  auto* size = new GCustomMediaSize(code, name, unit, 0, 0, 0);
  size->SetSize(width, height);
  size->SetKey(key);
  return size;
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
    // Mended (docs/mended-behaviour.md): skipped by its own length alone.
    skip_to = end;
    return nullptr;
  }
  GFlatPatternIndex::Node described;
  if (!pattern.node) {
    GFlatPatternIndex::Describe(*pattern.object, described);
    described.walks = false;  // its children are found by its own FindByKey
    pattern.node = &described;
  }
  std::unique_ptr<GAttributeComposite> node = NewComposite(type, key);
  if (!node) return nullptr;

  Open open{
      .node = *node,
      .expected = *pattern.node,
      .key = key,
      .read_at = read_.size(),
      .state = type == kFlatState,
      .printer_wide_from_pattern = key == kBuiltSettingsKey && short_,
      .string_parent = std::ranges::find(kStringParentKeys, key) != std::end(kStringParentKeys)};
  node->ReserveChildren(static_cast<RWSize>(open.expected.children.size()));
  read_.resize(open.read_at + open.expected.expected.size(), 0);
  std::uint8_t child_type = 0;
  while (GetByte(child_type) && child_type != kFlatEndByte) {
    if (!ReadChild(open, pattern, child_type, end)) break;
  }
  // Mended (docs/mended-behaviour.md): damaged or not, what was read plus the pattern's rest.
  FillFromPattern(open);
  read_.resize(open.read_at);
  return node.release();
}

bool Reader::ReadChild(Open& open, const GFlatPatternIndex::Found& pattern, std::uint8_t child_type,
                       std::int64_t end) {
  MPersistentObject* child = nullptr;
  std::int64_t child_end = -1;
  if (child_type == kFlatComposite || child_type == kFlatState || child_type == kFlatEnum) {
    child = ReadComposite(pattern, child_type, child_end);
  } else {
    child = ReadLeaf(child_type);
  }
  if (!child) return SkipFailedChild(child_end, end);
  const std::uint32_t child_key = child->Key();
  const RWClassID child_type_id = child->TypeId();
  const GFlatPatternIndex::Node& expected = open.expected;
  std::uint32_t slot;
  if (open.next < expected.order.size() && expected.order[open.next].first == child_key) {
    slot = expected.order[open.next++].second;
  } else {
    slot = expected.SlotOf(child_key);
  }
  if (Keeps(open, slot, child_key, child_type_id)) {
    Add(open, child, slot);
    if (slot != GFlatPatternIndex::kNoSlot) read_[open.read_at + slot] |= kKeySupplied;
  } else {
    GAttributeComposite::Refuse(child);
  }
  return true;
}

bool Reader::SkipFailedChild(std::int64_t child_end, std::int64_t end) {
  // A composite the pattern does not know is skipped alone; anything
  // else ends this node's children.
  if (child_end >= 0 && !lost_) {
    const std::int64_t at = holder_.Tell();
    if (at >= 0 && child_end >= at) {
      SkipTo(child_end);
      return true;
    }
  }
  if (!lost_) {
    if (end >= 0) {
      SkipTo(end);
    } else {
      lost_ = true;
    }
  }
  return false;
}

bool Reader::Keeps(const Open& open, std::uint32_t slot, std::uint32_t child_key,
                   RWClassID child_type_id) {
  const GFlatPatternIndex::Node& expected = open.expected;
  const bool known = slot != GFlatPatternIndex::kNoSlot &&
                     !(open.printer_wide_from_pattern && expected.expected[slot].printer_wide) &&
                     expected.expected[slot].type_id == child_type_id;
  bool accept = known || child_key == kRecordedUIObjectKey ||
                (open.string_parent && child_type_id == kGStringAttributeId) ||
                open.key == kImportDestinationKey || child_key == kImportDestinationKey ||
                // Mended (docs/mended-behaviour.md): the key locks are kept.
                (open.key == kLockListKey && child_type_id == kGValueAttributeId);
  if (open.key == kPluginNamesKey) accept = false;
  return accept;
}

// A state replaces, or refuses, a child whose key and type it holds
// already (GState::AddChild); a child of a key it holds none of is
// simply appended, which the composite's own AddChild does without the
// state's search.
void Reader::Add(Open& open, MPersistentObject* child, std::uint32_t slot) {
  if (slot == GFlatPatternIndex::kNoSlot) {
    open.node.AddChild(child);
    return;
  }
  std::uint8_t& flags = read_[open.read_at + slot];
  if (open.state && !(flags & kKeyHeld)) {
    open.node.GAttributeComposite::AddChild(child);
  } else {
    open.node.AddChild(child);
  }
  flags |= kKeyHeld;
}

void Reader::FillFromPattern(Open& open) {
  for (const auto& [child, slot] : open.expected.fills) {
    if (slot != GFlatPatternIndex::kNoSlot && (read_[open.read_at + slot] & kKeySupplied)) continue;
    Add(open, CopyOfPattern(*child), slot);
  }
}

bool Reader::GetObject(RWCollectable*& object) {
  object = nullptr;
  if (lost_) return false;
  // Mended (docs/mended-behaviour.md): a bad class id fails the node, not the process.
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
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetNodeHeader(key) || !GetU16(length)) return nullptr;
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
      // Mended (docs/mended-behaviour.md): another class is dropped.
      delete object;
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
        // Mended (docs/mended-behaviour.md): not a model object, the node is dropped.
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
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetNodeHeader(key) || !GetU16(length)) return nullptr;
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
  std::uint32_t key = 0;
  std::uint16_t length = 0;
  if (!GetNodeHeader(key) || !GetU16(length)) return nullptr;
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
    std::unique_ptr<GResourceMapping> mapping(
        new GResourceMapping(string_id, system_number, second_number, 0));
    if (list->AddMappingUnique(mapping.get())) mapping.release();
  }
  return list;
}

}  // namespace

// ---------------------------------------------------------------------------

int GFlatSettingsCodec::IsLetterAMarker(const std::uint8_t* bytes) {
  return std::all_of(bytes, bytes + kFlatMarkerLength, [](std::uint8_t b) { return b == 0x61; })
             ? 1
             : 0;
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
