// Stand-ins for the configuration helper library and its QCFHELPER
// partner, for the tests of the helper binding, the importer and the
// converters. Both are in-process modules of the platform's module table
// (platform/host/modules.h) whose exports serve one process-wide state,
// owned by the one FakeFeatureStore (or FakeQCFHelper) object alive.
//
// FakeFeatureStore: "KVSOLA32.dll" in a directory the test names, with the
// 23 entries of config/import/qcf_entry_points.h (or all but one).
//   - Contexts hold ordered lists of short feature names; QCFEnumFeatures
//     delivers one comma-separated ("A,B,C"), and QCFEnumListToken
//     consumes it name by name, so every QCFEnumFeatures starts anew.
//   - Keys (full paths such as "printing/Duplex") hold an option word,
//     named attributes ("lock") and, optionally, the only words an export
//     to them accepts (all by default).
//   - QCFSetContext answers 1 for a key that holds a word; QCFGet reads the
//     current key (null key) or the path given and answers 1.
//   - QCFSetExport answers 1 when the word is accepted (then the key holds
//     it), 0 for a refused word or key; every call is kept in order.
//   - Buffers: a result that does not fit the capacity given answers 0 and
//     writes nothing.
//   - The entries no caller uses answer 0. Every call is logged.
//   - Knobs: a missing export, QCFEnumFeatures answering another value
//     (0 or 2) after filling the list, runs that fail to open.
//
// FakeQCFHelper: a library exporting QCFHELPER that keeps a copy of every
// request block it is given and answers per (code, third word), 0 unless
// the test set an answer.
//
// Threads: tests use them from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/import/qcf_entry_points.h"

namespace testing_support {

class FakeFeatureStore {
 public:
  // REQUIRES: no other FakeFeatureStore is alive.
  FakeFeatureStore();
  ~FakeFeatureStore();
  FakeFeatureStore(const FakeFeatureStore&) = delete;
  FakeFeatureStore& operator=(const FakeFeatureStore&) = delete;

  // Adds "<directory>\KVSOLA32.dll" to the module table, with every entry
  // but `missing` (none when empty). Fails when the entry exists.
  bool Install(std::u16string_view directory = u"C:\\Drv", std::string_view missing = {});

  // --- Content.
  void SetFeatures(std::u16string_view context, std::vector<std::u16string> names);
  // The context is unknown again.
  void ForgetContext(std::u16string_view context);
  void SetWord(std::u16string_view key, std::u16string_view word);
  // The key holds no word again (its attributes stay).
  void ForgetKey(std::u16string_view key);
  void SetAttribute(std::u16string_view key, std::u16string_view name, std::u16string_view value);
  // Exports to `key` accept only these words from now on.
  void AcceptOnly(std::u16string_view key, std::vector<std::u16string> words);
  void RefuseWord(std::u16string_view word);
  void RefuseKey(std::u16string_view key);

  // --- Knobs.
  void SetEnumFeaturesResult(std::uint32_t result) { enum_result_ = result; }
  void FailRuns(bool fail) { runs_fail_ = fail; }

  // --- What happened.
  struct Export {
    std::u16string key;
    std::u16string word;
    bool accepted;
    bool operator==(const Export&) const = default;
  };
  // The word a key holds, or "(none)".
  std::u16string Word(std::u16string_view key) const;
  const std::vector<Export>& Exports() const { return exports_; }
  // Each call as "Entry(arguments)", in UTF-8: texts as they are, a null
  // text as "null", numbers in decimal.
  const std::vector<std::string>& Log() const { return log_; }
  // The log's entries of one export name.
  std::vector<std::string> Calls(std::string_view entry) const;
  void ClearLog();

  // --- The entries' work (called by the exports).
  std::uint32_t Call(QCFSlot slot, std::string line);
  std::uint32_t StartRun(std::string line);
  std::uint32_t SetContext(const char16_t* key);
  std::uint32_t SetExport(const char16_t* key, const char16_t* word);
  std::uint32_t GetNamedFeatureAttribute(const char16_t* key, const char16_t* name,
                                         char16_t* buffer, std::uint32_t capacity);
  std::uint32_t Get(const char16_t* key, char16_t* buffer, std::uint32_t capacity);
  std::uint32_t EnumListToken(char16_t* token, char16_t* list, std::uint32_t capacity);
  std::uint32_t EnumFeatures(const char16_t* context, char16_t* list, std::uint32_t capacity);
  std::uint32_t CharToWide(char16_t* buffer, const char* text, std::uint32_t capacity);
  std::uint32_t WideToChar(char* buffer, const char16_t* text, std::uint32_t capacity);

  // The alive store, or null.
  static FakeFeatureStore* Current();

 private:
  struct Key {
    bool has_word = false;
    std::u16string word;
    std::map<std::u16string, std::u16string> attributes;
    std::set<std::u16string> accepted;  // empty: every word
  };

  std::map<std::u16string, std::vector<std::u16string>> contexts_;
  std::map<std::u16string, Key> keys_;
  std::set<std::u16string> refused_words_;
  std::set<std::u16string> refused_keys_;
  std::u16string current_;
  bool has_current_ = false;
  std::uint32_t enum_result_ = 1;
  bool runs_fail_ = false;
  std::vector<Export> exports_;
  std::vector<std::string> log_;
};

class FakeQCFHelper {
 public:
  // REQUIRES: no other FakeQCFHelper is alive.
  FakeQCFHelper();
  ~FakeQCFHelper();
  FakeQCFHelper(const FakeQCFHelper&) = delete;
  FakeQCFHelper& operator=(const FakeQCFHelper&) = delete;

  // Adds a library of that path exporting QCFHELPER (or nothing, when
  // `with_entry` is false).
  bool Install(std::u16string_view path, bool with_entry = true);
  void SetAnswer(std::uint32_t code, std::uint32_t third, std::int16_t answer);
  const std::vector<GQCFRequestBlock>& Blocks() const { return blocks_; }

  static std::int16_t Entry(GQCFRequestBlock* block);

 private:
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::int16_t> answers_;
  std::vector<GQCFRequestBlock> blocks_;
};

// UTF-8 of a wide text (tests' messages and logs).
std::string Utf8(std::u16string_view text);

}  // namespace testing_support
