#include "config/import/setting_converter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/support.h"

namespace {

// The two words of a locked key; any other spelling is not a lock.
constexpr char16_t kLockedUpper[] = u"TRUE";
constexpr char16_t kLockedLower[] = u"true";

}  // namespace

GOptionBuffer::GOptionBuffer(std::uint32_t units) : data_(RWNewArray<char16_t>(units)) {
  if (data_ != nullptr) units_ = units;
  Refill();
}

void GOptionBuffer::Refill() {
  if (units_ == 0) return;
  for (std::uint32_t i = 0; i + 1 < units_; ++i)
    data_[i] = u' ';
  data_[units_ - 1] = u'\0';
}

GSettingConverter::~GSettingConverter() = default;

MPersistentObject* GSettingConverter::FindPath(MPersistentObject* from,
                                               std::span<const std::uint32_t> path) {
  for (std::uint32_t key : path) {
    if (from == nullptr) return nullptr;
    from = from->FindByKey(key);
  }
  return from;
}

namespace {

// The `Attribute` keyed `key` in `group`, made with `made` (the arguments
// before the key) when nothing has that key.
template <class Attribute, class Made>
Attribute* FindOrMake(MPersistentObject* group, std::uint32_t key, Made made) {
  if (group == nullptr) return nullptr;
  MPersistentObject* found = group->FindByKey(key);
  if (found != nullptr) return dynamic_cast<Attribute*>(found);
  // Only an empty place gets one: an object of another class stays.
  auto* composite = dynamic_cast<GAttributeComposite*>(group);
  if (composite == nullptr) return nullptr;
  auto* attribute = RWNew<Attribute>(made, key);
  if (attribute == nullptr) return nullptr;
  composite->AddChild(attribute);  // held by the group from now on
  return attribute;
}

}  // namespace

GValueAttribute* GSettingConverter::FindOrMakeValue(MPersistentObject* group, std::uint32_t key,
                                                    std::uint16_t value) {
  return FindOrMake<GValueAttribute>(group, key, value);
}

GStringAttribute* GSettingConverter::FindOrMakeText(MPersistentObject* group, std::uint32_t key,
                                                    const char* text) {
  return FindOrMake<GStringAttribute>(group, key, text);
}

const GOptionRow* GSettingConverter::MatchWord(std::span<const GOptionRow> rows,
                                               const char16_t* word) {
  for (const GOptionRow& row : rows) {
    if (WideStringsEqual(row.word, word) != 0) return &row;
  }
  return nullptr;
}

const GOptionRow* GSettingConverter::RowOfCode(std::span<const GOptionRow> rows,
                                               std::uint16_t code) {
  for (const GOptionRow& row : rows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

void GSettingConverter::RecordCopy(GAttributeComposite* destination, MPersistentObject& attribute) {
  if (destination == nullptr) return;
  if (MPersistentObject* copy = attribute.DeepCopy()) destination->AddChild(copy);
}

void GSettingConverter::Record(GAttributeComposite* destination, GValueAttribute& attribute,
                               GDestinationPolicy policy) {
  if (destination == nullptr) return;
  switch (policy) {
    case GDestinationPolicy::kCopy:
      RecordCopy(destination, attribute);
      break;
    case GDestinationPolicy::kNew:
      if (auto* fresh = RWNew<GValueAttribute>(attribute.GetValue(), attribute.Key())) {
        destination->AddChild(fresh);
      }
      break;
    case GDestinationPolicy::kNone:
      break;
  }
}

void GSettingConverter::ApplyRow(GValueAttribute& attribute, const GOptionRow& row,
                                 GAttributeComposite* destination, GDestinationPolicy policy) {
  attribute.SetValue(row.code);
  Record(destination, attribute, policy);
}

void GSettingConverter::RecordLock(GAttributeComposite* root, std::uint32_t locked_key) {
  if (locked_key > 0xFFFF) return;
  GAttributeComposite* locks = FindComposite(FindComposite(root, kKeyLocksKey), kLockListKey);
  if (locks == nullptr) return;
  // Each import reads the same locks again: one entry per key, or the list
  // would grow with every import past what the device mode can carry.
  const GCountedPtrVector& children = locks->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    auto* lock = dynamic_cast<GValueAttribute*>(children[i].Get());
    if (lock != nullptr && lock->Key() == 0 && lock->GetValue() == locked_key) return;
  }
  if (auto* lock = RWNew<GValueAttribute>(static_cast<std::uint16_t>(locked_key), 0u)) {
    locks->AddChild(lock);
  }
}

std::uint32_t GSettingConverter::SelectKey(const char16_t* key) {
  return store_ != nullptr ? store_->SetContext(key) : 0;
}

std::uint32_t GSettingConverter::ReadCurrentWord(GOptionBuffer& buffer) {
  return ReadWordOf(nullptr, buffer);
}

std::uint32_t GSettingConverter::ReadWord(const char16_t* key, GOptionBuffer& buffer) {
  if (!buffer.IsValid() || SelectKey(key) == 0) return 0;
  return ReadCurrentWord(buffer);
}

std::uint32_t GSettingConverter::WriteWord(const char16_t* key, const char16_t* word) {
  return store_ != nullptr ? store_->SetExport(key, word) : 0;
}

std::uint32_t GSettingConverter::WriteFirstTaken(const char16_t* key,
                                                 std::span<const GOptionRow> rows,
                                                 std::uint16_t code) {
  for (const GOptionRow& row : rows) {
    if (row.code == code && WriteWord(key, row.word) != 0) return 1;
  }
  return 0;
}

bool GSettingConverter::RecordLockWhenLocked(GAttributeComposite* root, const char16_t* key,
                                             std::uint32_t locked_key, GOptionBuffer& buffer,
                                             bool any_answer) {
  if (store_ == nullptr || !buffer.IsValid()) return false;
  buffer.Refill();
  const std::uint32_t answer =
      store_->GetNamedFeatureAttribute(key, kLockAttributeName, buffer.Data(), buffer.Units());
  if ((any_answer ? answer == 0 : answer != 1) ||
      !(WideStringsEqual(buffer.Data(), kLockedUpper) ||
        WideStringsEqual(buffer.Data(), kLockedLower))) {
    return false;
  }
  RecordLock(root, locked_key);
  return true;
}

std::uint32_t GSettingConverter::ReadWordOf(const char16_t* key, GOptionBuffer& buffer) {
  if (store_ == nullptr || !buffer.IsValid()) return 0;
  buffer.Refill();
  std::uint32_t read = store_->Get(key, buffer.Data(), buffer.Units());
  // Whatever a refusing store left behind is not a word.
  if (read == 0) buffer.Refill();
  return read;
}

GValueAttribute* GSettingConverter::Locate(MPersistentObject* from, const GFeatureBinding& binding,
                                           GApplyOutcome& outcome, bool make) {
  outcome.group = FindPath(from, binding.group_path);
  outcome.attribute =
      make && binding.missing == GMissingAttribute::kMake
          ? FindOrMakeValue(outcome.group, binding.attribute_key, binding.made_value)
          : FindValueAttribute(outcome.group, binding.attribute_key);
  return outcome.attribute;
}

GValueAttribute* GSettingConverter::LocateForExtract(MPersistentObject* from,
                                                     const GFeatureBinding& binding) {
  MPersistentObject* group = binding.extract_from == GExtractFrom::kObjectGiven
                                 ? from
                                 : FindPath(from, binding.group_path);
  return FindValueAttribute(group, binding.attribute_key);
}

std::uint32_t GSettingConverter::ApplyCommon(MPersistentObject* from,
                                             GAttributeComposite* destination,
                                             const GFeatureBinding& binding,
                                             GApplyOutcome* outcome) {
  GApplyOutcome found;
  GOptionBuffer buffer(binding.buffer_units);
  if (binding.store_first) {
    found.read = ReadWord(binding.apply_key, buffer) != 0;
    if (found.read) Locate(from, binding, found, true);
  } else if (Locate(from, binding, found, true) != nullptr) {
    found.read = ReadWord(binding.apply_key, buffer) != 0;
  }
  std::uint32_t result = 0;
  if (found.read && found.attribute != nullptr) {
    found.row = MatchWord(binding.rows, buffer.Data());
    if (found.row != nullptr) {
      ApplyRow(*found.attribute, *found.row, destination, binding.destination);
      result = 1;
    }
  }
  if (outcome != nullptr) *outcome = found;
  return result;
}

std::uint32_t GSettingConverter::ExtractCommon(MPersistentObject* from,
                                               const GFeatureBinding& binding) {
  GValueAttribute* attribute = LocateForExtract(from, binding);
  if (attribute == nullptr) return 0;
  const GOptionRow* row = RowOfCode(binding.rows, attribute->GetValue());
  if (row == nullptr) return 0;
  WriteWord(binding.ExtractKey(), row->word);
  return 1;
}

std::uint32_t GSettingConverter::NarrowWord(const char16_t* word, char* buffer,
                                            std::uint32_t capacity) {
  return store_ != nullptr && buffer != nullptr && capacity != 0
             ? store_->WideToChar(buffer, word, capacity)
             : 0;
}

std::uint32_t GSettingConverter::WidenText(const char* text, char16_t* buffer,
                                           std::uint32_t capacity) {
  return store_ != nullptr && buffer != nullptr && capacity != 0
             ? store_->CharToWide(buffer, text, capacity)
             : 0;
}

std::uint32_t GSettingConverter::WriteText(const char16_t* key, const char* text) {
  if (text == nullptr) text = "";
  if (std::strlen(text) >= kTextBytes) return 0;
  char16_t word[kTextBytes];
  if (WidenText(text, word, kTextBytes) == 0) return 0;
  WriteWord(key, word);
  return 1;
}

bool GSettingConverter::ReadDecimal(const char16_t* word, std::int32_t& value) {
  char text[kNumberBytes];
  if (NarrowWord(word, text, sizeof text) == 0) return false;
  const char* at = text;
  while (*at == ' ' || (*at >= '\t' && *at <= '\r'))
    ++at;
  bool negative = false;
  if (*at == '+' || *at == '-') negative = *at++ == '-';
  if (*at < '0' || *at > '9') return false;
  std::int64_t number = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    // Digits past the 32-bit range change nothing more.
    if (number <= INT32_MAX) number = number * 10 + (*at - '0');
  }
  if (negative) number = -number;
  value = static_cast<std::int32_t>(std::clamp<std::int64_t>(number, INT32_MIN, INT32_MAX));
  return true;
}

void GSettingConverter::DecimalWord(std::int32_t value, char16_t (&word)[12]) {
  char text[12];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  std::size_t i = 0;
  for (; text[i] != '\0'; ++i)
    word[i] = static_cast<char16_t>(text[i]);
  word[i] = u'\0';
}

std::uint32_t GSettingConverter::WriteNumber(const char16_t* key, std::int32_t value) {
  char text[kNumberBytes];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  char16_t word[kNumberBytes];
  if (WidenText(text, word, kNumberBytes) == 0) return 0;
  return WriteWord(key, word) != 0 ? 1 : 0;
}
