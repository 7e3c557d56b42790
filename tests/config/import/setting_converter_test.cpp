// The converters' common steps over the stand-in store: apply and extract
// by a value table, destination policies, read-buffer sizes and words that
// do not fit them, renamed extract keys, and recorded locks.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/import/qcf_library.h"
#include "config/import/setting_converter.h"
#include "config/keys/settings_keys.h"
#include "tests/config/import/import_fixture.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::FakeFeatureStore;

constexpr std::uint32_t kDocument[] = {362};
constexpr std::uint32_t kWatermark[] = {364, 379};
constexpr std::uint32_t kNowhere[] = {999};

// Codes 1 and 2 share "ON": the first row wins both ways. The long words
// fill a 32-unit buffer exactly (31 units) and by one more.
constexpr GOptionRow kRows[] = {
    {1, u"ON"},
    {0, u"OFF"},
    {1, u"YES"},
    {2, u"ON"},
    {3, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"},
    {4, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
};

GFeatureBinding Binding(std::span<const std::uint32_t> path, std::uint32_t key,
                        GDestinationPolicy policy = GDestinationPolicy::kCopy,
                        std::uint32_t units = 255, const char16_t* extract_key = nullptr,
                        const char16_t* apply_key = u"printing/Test") {
  return GFeatureBinding{path, key, apply_key, extract_key, units, policy, kRows};
}

// The common steps over a binding given at run time, and the lock step.
class StepsConverter : public GSettingConverter {
 public:
  StepsConverter(GQCFLibrary* store, const GFeatureBinding& binding)
      : GSettingConverter(store), binding_(binding) {}
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override {
    return ApplyCommon(root, destination, binding_);
  }
  std::uint32_t Extract(GAttributeComposite* root) override {
    return ExtractCommon(root, binding_);
  }
  void RecordLockOf(GAttributeComposite* root, const char16_t* key, std::uint32_t locked_key) {
    GOptionBuffer buffer;
    RecordLockWhenLocked(root, key, locked_key, buffer);
  }

 private:
  GFeatureBinding binding_;
};

class Steps : public ImportFixture {
 protected:
  // 362 {500 = 7, 501 'text'}, 364 {379 {382 = 7}}, 366 {1102 {}}.
  static GAttributeComposite* Model() {
    return Group(0, {Group(362, {Value(500, 7), Text(501, "text")}),
                     Group(364, {Group(379, {Value(382, 7)})}), Group(366, {Group(1102, {})})});
  }
};

TEST_F(Steps, ApplySetsTheFirstEqualRowAndRecordsByPolicy) {
  const std::u16string long40(40, u'A');
  const std::u16string long300(300, u'A');
  struct Case {
    const char* name;
    GFeatureBinding binding;
    const char16_t* word;  // null: the store lacks the key
    std::uint32_t result;
    std::uint32_t key;  // the attribute to look at afterwards
    int value;
    const char* destination;
    bool store_asked;
  };
  const Case cases[] = {
      {"copy", Binding(kDocument, 500), u"ON", 1, 500, 1, "500=1", true},
      {"second word of a code", Binding(kDocument, 500), u"YES", 1, 500, 1, "500=1", true},
      {"code 0", Binding(kDocument, 500), u"OFF", 1, 500, 0, "500=0", true},
      {"new", Binding(kDocument, 500, GDestinationPolicy::kNew), u"OFF", 1, 500, 0, "500=0", true},
      {"none", Binding(kDocument, 500, GDestinationPolicy::kNone), u"ON", 1, 500, 1, "", true},
      {"path of two keys", Binding(kWatermark, 382), u"ON", 1, 382, 1, "382=1", true},
      {"letter case differs", Binding(kDocument, 500), u"on", 0, 500, 7, "", true},
      {"trailing blank", Binding(kDocument, 500), u"ON ", 0, 500, 7, "", true},
      {"empty word", Binding(kDocument, 500), u"", 0, 500, 7, "", true},
      {"unknown key", Binding(kDocument, 500), nullptr, 0, 500, 7, "", true},
      {"no group", Binding(kNowhere, 500), u"ON", 0, 500, 7, "", false},
      {"no attribute", Binding(kDocument, 502), u"ON", 0, 500, 7, "", false},
      {"attribute of another class", Binding(kDocument, 501), u"ON", 0, 500, 7, "", false},
      {"31 units into 32", Binding(kDocument, 500, GDestinationPolicy::kCopy, 32),
       u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", 1, 500, 3, "500=3", true},
      {"32 units into 32", Binding(kDocument, 500, GDestinationPolicy::kCopy, 32),
       u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 0, 500, 7, "", true},
      {"32 units into 33", Binding(kDocument, 500, GDestinationPolicy::kCopy, 33),
       u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 1, 500, 4, "500=4", true},
      {"40 units into 32", Binding(kDocument, 500, GDestinationPolicy::kCopy, 32), long40.c_str(),
       0, 500, 7, "", true},
      {"300 units into 32", Binding(kDocument, 500, GDestinationPolicy::kCopy, 32), long300.c_str(),
       0, 500, 7, "", true},
      {"300 units into 255", Binding(kDocument, 500), long300.c_str(), 0, 500, 7, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string key = u"printing/" + std::u16string(c.word ? u"Known" : u"Unknown");
    if (c.word != nullptr) store_.SetWord(key, c.word);
    GFeatureBinding binding = c.binding;
    binding.apply_key = key.c_str();
    GCountedPtr root(Model());
    GCountedPtr destination(new GAttributeComposite(kImportDestinationKey));
    GQCFLibrary library;
    store_.ClearLog();
    StepsConverter converter(&library, binding);
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    auto* changes = static_cast<GAttributeComposite*>(destination.Get());
    EXPECT_EQ(converter.Apply(model, changes), c.result);
    EXPECT_EQ(ValueOf(model, c.key), c.value);
    EXPECT_EQ(Entries(changes), c.destination);
    EXPECT_EQ(!store_.Log().empty(), c.store_asked);
    if (c.store_asked && c.word != nullptr) {
      EXPECT_EQ(
          store_.Calls("QCFGet"),
          std::vector<std::string>{"QCFGet(null, " + std::to_string(binding.buffer_units) + ")"});
    }
  }
}

TEST_F(Steps, ExtractWritesTheFirstWordOfTheCodeUnderTheExtractKey) {
  struct Case {
    const char* name;
    GFeatureBinding binding;
    std::uint16_t value;
    std::uint32_t result;
    std::vector<FakeFeatureStore::Export> exports;
  };
  const Case cases[] = {
      {"first of two rows", Binding(kDocument, 500), 1, 1, {{u"printing/Test", u"ON", true}}},
      {"shared word", Binding(kDocument, 500), 2, 1, {{u"printing/Test", u"ON", true}}},
      {"code 0", Binding(kDocument, 500), 0, 1, {{u"printing/Test", u"OFF", true}}},
      {"renamed key",
       Binding(kDocument, 500, GDestinationPolicy::kCopy, 255, u"printing/BindChoice"),
       0,
       1,
       {{u"printing/BindChoice", u"OFF", true}}},
      {"refused word still counts",
       Binding(kDocument, 500),
       3,
       1,
       {{u"printing/Test", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", false}}},
      {"no row", Binding(kDocument, 500), 9, 0, {}},
      {"no attribute", Binding(kDocument, 502), 1, 0, {}},
      {"no group", Binding(kNowhere, 500), 1, 0, {}},
  };
  store_.RefuseWord(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GCountedPtr root(Model());
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    FindValueAttribute(model, 500)->SetValue(c.value);
    GQCFLibrary library;
    store_.ClearLog();
    StepsConverter converter(&library, c.binding);
    EXPECT_EQ(converter.Extract(model), c.result);
    EXPECT_EQ(store_.Exports(), c.exports);
  }
}

TEST_F(Steps, LocksAreRecordedOnceForTRUEOrTrueOnly) {
  struct Case {
    const char* name;
    const char16_t* lock;  // null: the key has no "lock" attribute
    int imports;
    const char* locks;  // 1102 afterwards
  };
  const Case cases[] = {
      {"TRUE", u"TRUE", 1, "0=253 0=248"},
      {"true", u"true", 1, "0=253 0=248"},
      {"True", u"True", 1, "0=253"},
      {"TRUE and a blank", u"TRUE ", 1, "0=253"},
      {"FALSE", u"FALSE", 1, "0=253"},
      {"no attribute", nullptr, 1, "0=253"},
      {"two imports", u"TRUE", 2, "0=253 0=248"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string key = u"printing/Lock" + std::u16string(c.lock ? c.lock : u"None");
    store_.SetWord(key, u"ON");
    if (c.lock != nullptr) store_.SetAttribute(key, u"lock", c.lock);
    // The lock of another key (253) is recorded already.
    GCountedPtr root(Group(0, {Group(366, {Group(378, {}), Group(1102, {Value(0, 253)})})}));
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    for (int i = 0; i < c.imports; ++i) {
      GQCFLibrary library;
      StepsConverter converter(&library, Binding(kDocument, 500));
      converter.RecordLockOf(model, key.c_str(), 248);
    }
    EXPECT_EQ(Entries(FindComposite(model, kLockListKey)), c.locks);
  }

  // Without 366 or without 1102 nothing is recorded, and nothing breaks.
  store_.SetWord(u"printing/Locked", u"ON");
  store_.SetAttribute(u"printing/Locked", u"lock", u"TRUE");
  GQCFLibrary library;
  StepsConverter converter(&library, Binding(kDocument, 500));
  GCountedPtr without_list(Group(0, {Group(366, {})}));
  auto* model = static_cast<GAttributeComposite*>(without_list.Get());
  converter.RecordLockOf(model, u"printing/Locked", 248);
  EXPECT_EQ(Entries(model), "366{0}");
  GCountedPtr misplaced(Group(0, {Group(1102, {})}));
  model = static_cast<GAttributeComposite*>(misplaced.Get());
  converter.RecordLockOf(model, u"printing/Locked", 248);
  EXPECT_EQ(Entries(FindComposite(model, kLockListKey)), "");
}

// The sub-keys' descriptors: a path walked from the object given, a
// missing attribute made with its default before the store is asked (and
// kept when apply then answers 0), extract from the object given.
TEST_F(Steps, MissingAttributesAreMadeWithTheirDefaultAndKept) {
  GFeatureBinding made = Binding(kWatermark, 403, GDestinationPolicy::kCopy);
  made.missing = GMissingAttribute::kMake;
  made.made_value = 224;
  made.extract_from = GExtractFrom::kObjectGiven;
  const struct {
    const char* name;
    const char16_t* word;  // null: the key is not in the store
    std::uint32_t result;
    const char* watermark;  // 379 afterwards
    const char* destination;
  } cases[] = {
      {"word", u"ON", 1, "382=7 403=1", "403=1"},
      {"unknown word", u"MAYBE", 0, "382=7 403=224", ""},
      {"no key", nullptr, 0, "382=7 403=224", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string key = u"printing/Made" + std::u16string(c.word ? c.word : u"None");
    if (c.word != nullptr) store_.SetWord(key, c.word);
    GFeatureBinding binding = made;
    binding.apply_key = key.c_str();
    GCountedPtr root(Model());
    GCountedPtr destination(new GAttributeComposite(kImportDestinationKey));
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    GQCFLibrary library;
    StepsConverter converter(&library, binding);
    EXPECT_EQ(converter.Apply(model, static_cast<GAttributeComposite*>(destination.Get())),
              c.result);
    EXPECT_EQ(Entries(FindComposite(model, 379)), c.watermark);
    EXPECT_EQ(Entries(static_cast<GAttributeComposite*>(destination.Get())), c.destination);
    // Extract looks in the object it is given (a watermark definition,
    // which has no 364 -> 379 of its own).
    store_.ClearLog();
    GCountedPtr definition(Group(0, {Value(403, 1)}));
    EXPECT_EQ(converter.Extract(static_cast<GAttributeComposite*>(definition.Get())), 1u);
    EXPECT_EQ(store_.Exports().size(), 1u);
    GFeatureBinding by_path = binding;
    by_path.extract_from = GExtractFrom::kApplyPath;
    EXPECT_EQ(StepsConverter(&library, by_path)
                  .Extract(static_cast<GAttributeComposite*>(definition.Get())),
              0u);
  }

  // Nothing is made without the group, or over an attribute of another
  // class.
  GFeatureBinding over_text = made;
  over_text.group_path = kDocument;
  over_text.attribute_key = 501;
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  GQCFLibrary library;
  store_.ClearLog();
  EXPECT_EQ(StepsConverter(&library, over_text).Apply(model, nullptr), 0u);
  GFeatureBinding nowhere = made;
  nowhere.group_path = kNowhere;
  EXPECT_EQ(StepsConverter(&library, nowhere).Apply(model, nullptr), 0u);
  EXPECT_TRUE(store_.Log().empty());
  EXPECT_EQ(Entries(model), "362{2} 364{1} 366{1}");
}

// A store-first binding reads the word before it looks at the model.
TEST_F(Steps, StoreFirstReadsBeforeTheModel) {
  store_.SetWord(u"printing/First", u"ON");
  GFeatureBinding first =
      Binding(kNowhere, 500, GDestinationPolicy::kCopy, 255, nullptr, u"printing/First");
  first.store_first = true;
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  GQCFLibrary library;
  store_.ClearLog();
  EXPECT_EQ(StepsConverter(&library, first).Apply(model, nullptr), 0u);
  EXPECT_EQ(store_.Log(),
            (std::vector<std::string>{"QCFSetContext(printing/First)", "QCFGet(null, 255)"}));
  first.group_path = kDocument;
  EXPECT_EQ(StepsConverter(&library, first).Apply(model, nullptr), 1u);
  EXPECT_EQ(ValueOf(model, 500), 1);
}

TEST_F(Steps, WithoutAStoreEveryStepAnswersZero) {
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  StepsConverter converter(nullptr, Binding(kDocument, 500));
  EXPECT_EQ(converter.Apply(model, nullptr), 0u);
  EXPECT_EQ(ValueOf(model, 500), 7);
}

TEST(OptionBuffer, HoldsBlanksAndATerminator) {
  GOptionBuffer buffer(4);
  ASSERT_TRUE(buffer.IsValid());
  EXPECT_TRUE(std::u16string(buffer.Data(), 4) == std::u16string(u"   \0", 4));
  buffer.Data()[0] = u'x';
  buffer.Data()[1] = u'\0';
  buffer.Refill();
  EXPECT_TRUE(std::u16string(buffer.Data()) == u"   ");
  EXPECT_EQ(GOptionBuffer().Units(), 255u);
  EXPECT_FALSE(GOptionBuffer(0).IsValid());
}

}  // namespace
