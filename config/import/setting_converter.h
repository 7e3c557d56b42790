// GSettingConverter: the base of the converters that move one feature key
// of the configuration helper's store (qcf_library.h) into the settings
// model and back. Apply reads the key's option word and sets the matching
// attribute; extract reads the attribute and writes the option word back.
//
// Most converters are the common steps over a value table, which this file
// offers as helpers that derived converters combine:
//   apply:   find the group by its key path and the value attribute in it;
//            prepare the read buffer; make the key current and read its
//            word; set the attribute to the code of the first row whose
//            word equals the buffer exactly; record the change in the
//            destination composite (a deep copy, a new value attribute,
//            or nothing); answer 1. Anything missing, or no row: 0, and
//            the model is left as it was.
//   extract: find the group and attribute; write the word of the first
//            row whose code equals the value under the extract key (which
//            may differ from the apply key); answer 1.
// A binding (the descriptor of a table converter, table_converter.h) may
// also read the store before the model, make a missing attribute with a
// default (the sub-keys of a watermark do), and have extract look in the
// object it is given rather than along the apply path.
// A converter whose steps run in another order, or that does more, calls
// the single steps itself (Locate, ReadWord, MatchWord, ApplyRow, ...).
// Some converters also record that the store locks their key.
//
// Ownership: a converter is made, run once and deleted by its caller; it
// does not own the feature store, the model or the destination. Threads:
// one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "config/attributes/attribute_lookup.h"
#include "config/import/qcf_library.h"
#include "foundation/rw/support.h"

class GAttribute;

// The named attribute of a key that says it is locked, and its two words.
inline constexpr char16_t kLockAttributeName[] = u"lock";

// A row of a converter's value table: an option word and the code it
// stands for. A code may stand in two rows; the first row wins both ways.
struct GOptionRow {
  std::uint16_t code;
  const char16_t* word;  // terminated
};

// What apply adds to the destination composite after setting an attribute.
enum class GDestinationPolicy : std::uint8_t {
  kCopy,  // a deep copy of the attribute
  kNew,   // a new value attribute of the same key and code
  kNone,  // nothing
};

// The read buffer of an option word: `units` wide characters, units - 1
// blanks and a terminator until the store writes into it.
class GOptionBuffer {
 public:
  static constexpr std::uint32_t kDefaultUnits = 255;

  // A buffer that could not be allocated is not valid (Units() 0).
  explicit GOptionBuffer(std::uint32_t units = kDefaultUnits);
  GOptionBuffer(const GOptionBuffer&) = delete;
  GOptionBuffer& operator=(const GOptionBuffer&) = delete;

  bool IsValid() const { return units_ != 0; }
  std::uint32_t Units() const { return units_; }
  // REQUIRES: IsValid().
  char16_t* Data() { return data_.get(); }
  const char16_t* Data() const { return data_.get(); }
  // Blanks and the terminator again.
  void Refill();

 private:
  std::unique_ptr<char16_t[]> data_;
  std::uint32_t units_ = 0;
};

// What apply does when the group holds no value attribute of the key.
enum class GMissingAttribute : std::uint8_t {
  kAnswerZero,  // apply answers 0 before the store is asked
  kMake,        // a value attribute of the key and `made_value` joins the
                // group before the store is asked, and stays there even
                // when apply then answers 0
};

// Where extract looks for the attribute.
enum class GExtractFrom : std::uint8_t {
  kApplyPath,    // in the group that the apply path leads to
  kObjectGiven,  // directly in the object extract is given
};

// The common steps' description of one feature key bound to one value
// attribute: the descriptor of a table converter (table_converter.h).
struct GFeatureBinding {
  // Keys walked from the object given to the group (the first key found in
  // that object, the next in what was found, ...); empty: the object given
  // is the group.
  std::span<const std::uint32_t> group_path = {};
  std::uint32_t attribute_key = 0;
  const char16_t* apply_key = nullptr;    // full key path read on apply
  const char16_t* extract_key = nullptr;  // written on extract; null: apply_key
  std::uint32_t buffer_units = GOptionBuffer::kDefaultUnits;
  GDestinationPolicy destination = GDestinationPolicy::kCopy;
  std::span<const GOptionRow> rows = {};
  // Apply reads the store before it looks at the model.
  bool store_first = false;
  GMissingAttribute missing = GMissingAttribute::kAnswerZero;
  std::uint16_t made_value = 0;  // for GMissingAttribute::kMake
  GExtractFrom extract_from = GExtractFrom::kApplyPath;

  const char16_t* ExtractKey() const { return extract_key != nullptr ? extract_key : apply_key; }
};

// What the common apply found, for converters that do more after it.
struct GApplyOutcome {
  MPersistentObject* group = nullptr;
  GValueAttribute* attribute = nullptr;
  // A word was read from the store (the key exists and its word fit the
  // buffer). Steps that run "whether or not a word matched" run only then,
  // so that a missing key or an over-long word leaves the model alone.
  bool read = false;
  const GOptionRow* row = nullptr;  // the matched row; null when none matched
};

class GSettingConverter {
 public:
  GSettingConverter(const GSettingConverter&) = delete;
  GSettingConverter& operator=(const GSettingConverter&) = delete;
  virtual ~GSettingConverter();

  // 1 when the store held a known option word and the model was set (its
  // change recorded in `destination`), 0 otherwise.
  // REQUIRES: `root` is the settings model (or the object the converter's
  // caller hands on); `destination` may be null (nothing is recorded).
  virtual std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) = 0;
  // 1 when an option word was written to the store, 0 otherwise.
  virtual std::uint32_t Extract(GAttributeComposite* root) = 0;

  GQCFLibrary* FeatureStore() const { return store_; }

  // --- Model lookups, depth first (find-by-key); null when missing. The
  // typed ones (FindValueAttribute, FindStringAttribute, FindComposite) are
  // attribute_lookup.h's.

  // The object at the end of `path` walked from `from` (`from` itself for
  // an empty path).
  static MPersistentObject* FindPath(MPersistentObject* from, std::span<const std::uint32_t> path);
  // The value (string) attribute keyed `key` in `group`; when nothing has
  // that key there and `group` is an attribute composite, a new one of
  // `value` (`text`) joins it first and stays. Null when `group` is null,
  // or an object of another class holds the key.
  static GValueAttribute* FindOrMakeValue(MPersistentObject* group, std::uint32_t key,
                                          std::uint16_t value);
  static GStringAttribute* FindOrMakeText(MPersistentObject* group, std::uint32_t key,
                                          const char* text);

  // --- Value tables.

  // The first row whose word equals `word` exactly (WideStringsEqual).
  static const GOptionRow* MatchWord(std::span<const GOptionRow> rows, const char16_t* word);
  // The first row of `code`.
  static const GOptionRow* RowOfCode(std::span<const GOptionRow> rows, std::uint16_t code);

  // --- The destination composite (null: nothing is recorded).

  // Adds a deep copy of `attribute`.
  static void RecordCopy(GAttributeComposite* destination, MPersistentObject& attribute);
  // Records the value attribute as `policy` says.
  static void Record(GAttributeComposite* destination, GValueAttribute& attribute,
                     GDestinationPolicy policy);
  // Sets `attribute` to the row's code and records it.
  static void ApplyRow(GValueAttribute& attribute, const GOptionRow& row,
                       GAttributeComposite* destination, GDestinationPolicy policy);

  // --- Locks.

  // Adds a value attribute with key 0 and the value `locked_key` to the
  // lock list (kLockListKey inside kKeyLocksKey of `root`) unless the list
  // holds one already; nothing when either composite is missing or the key
  // exceeds 16 bits.
  static void RecordLock(GAttributeComposite* root, std::uint32_t locked_key);

 protected:
  // REQUIRES: `store` outlives the converter (null: every store step
  // answers 0).
  explicit GSettingConverter(GQCFLibrary* store) : store_(store) {}

  // --- The feature store.

  // Makes `key` current; nonzero when the key exists.
  std::uint32_t SelectKey(const char16_t* key);
  // Refills `buffer` and reads the current key's word into it; nonzero when
  // a word was delivered (a word that does not fit delivers none, and the
  // buffer then holds only blanks, which match no row).
  std::uint32_t ReadCurrentWord(GOptionBuffer& buffer);
  // SelectKey, then ReadCurrentWord; 0 when either fails.
  std::uint32_t ReadWord(const char16_t* key, GOptionBuffer& buffer);
  // Writes `word` to `key`; nonzero when the store took it.
  std::uint32_t WriteWord(const char16_t* key, const char16_t* word);
  // Writes the words of the rows of `code` to `key` in turn until the
  // store takes one; 1 then, else 0.
  std::uint32_t WriteFirstTaken(const char16_t* key, std::span<const GOptionRow> rows,
                                std::uint16_t code);
  // Reads the named attribute "lock" of `key` into `buffer` (refilled
  // first); when the store answers 1 (any nonzero answer with
  // `any_answer`) and the text is exactly "TRUE" or "true", records a lock
  // of `locked_key` in `root` (RecordLock) and answers true.
  bool RecordLockWhenLocked(GAttributeComposite* root, const char16_t* key,
                            std::uint32_t locked_key, GOptionBuffer& buffer,
                            bool any_answer = false);
  // Reads the word of `key` (null: the current key) into `buffer` (refilled
  // first) without making it current; nonzero when a word was delivered.
  std::uint32_t ReadWordOf(const char16_t* key, GOptionBuffer& buffer);

  // --- The common steps.

  // The group (by the binding's path from `from`) and the value attribute
  // in it, into `outcome`; the attribute, or null when either is missing.
  // With `make` and a binding that makes missing attributes, a group
  // composite without one gets it first.
  static GValueAttribute* Locate(MPersistentObject* from, const GFeatureBinding& binding,
                                 GApplyOutcome& outcome, bool make = false);
  // The common apply (see the file comment). `outcome`, when given,
  // receives what was found and the matched row.
  std::uint32_t ApplyCommon(MPersistentObject* from, GAttributeComposite* destination,
                            const GFeatureBinding& binding, GApplyOutcome* outcome = nullptr);
  // The common extract: 1 once a word was written (whatever the store
  // answered), else 0.
  std::uint32_t ExtractCommon(MPersistentObject* from, const GFeatureBinding& binding);
  // The attribute extract reads: by the apply path from `from`, or in
  // `from` itself (GExtractFrom); null when missing.
  static GValueAttribute* LocateForExtract(MPersistentObject* from, const GFeatureBinding& binding);

  // --- Text between option words and the model's 8-bit text, through the
  // store's own conversions.

  // `word` as 8-bit text into `buffer` of `capacity` bytes, terminated;
  // nonzero when it fit (text that does not fit is refused, never cut).
  std::uint32_t NarrowWord(const char16_t* word, char* buffer, std::uint32_t capacity);
  // `text` widened into `buffer` of `capacity` units; nonzero when it fit.
  std::uint32_t WidenText(const char* text, char16_t* buffer, std::uint32_t capacity);
  // Writes `text` (null: empty) widened to `key`, when it fits a buffer of
  // kTextBytes bytes whole (a longer text is refused, never cut); 1 once
  // written, whatever the store answered, else 0.
  static constexpr std::uint32_t kTextBytes = 128;
  std::uint32_t WriteText(const char16_t* key, const char* text);

  // --- Numbers in option words.

  // Bytes of the 8-bit buffer an option word is read as a number from.
  static constexpr std::uint32_t kNumberBytes = 64;
  // The decimal number that `word` starts with, read from its 8-bit form
  // in a buffer of kNumberBytes: blanks skipped, an optional sign, digits
  // up to the first other character; numbers past the 32-bit range stop
  // at its ends. False when the word does not fit the buffer or holds no
  // digits there.
  bool ReadDecimal(const char16_t* word, std::int32_t& value);
  // `value` in decimal as a wide word into `word` (terminated).
  static void DecimalWord(std::int32_t value, char16_t (&word)[12]);
  // Writes `value` in decimal to `key`, widened through the store in a
  // buffer of kNumberBytes; nonzero when the store took it.
  std::uint32_t WriteNumber(const char16_t* key, std::int32_t value);

 private:
  GQCFLibrary* store_;
};

// A converter that another converter runs: made with `arguments`, applied
// once to `root` and `destination` (or extracted once from `from`) and
// deleted; 0 when it could not be made.
template <class Converter, class... Arguments>
std::uint32_t ApplyOnce(GAttributeComposite* root, GAttributeComposite* destination,
                        Arguments... arguments) {
  std::unique_ptr<GSettingConverter> converter(RWNew<Converter>(arguments...));
  return converter != nullptr ? converter->Apply(root, destination) : 0;
}
template <class Converter, class... Arguments>
std::uint32_t ExtractOnce(GAttributeComposite* from, Arguments... arguments) {
  std::unique_ptr<GSettingConverter> converter(RWNew<Converter>(arguments...));
  return converter != nullptr ? converter->Extract(from) : 0;
}
