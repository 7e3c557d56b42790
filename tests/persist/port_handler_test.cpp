// The port-handler registry: its two lists chosen by the handlers' flags,
// the registration answers, opening in order of registration with the
// flags filter, counting, and the classification of port names.
#include "persist/port_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/rw/file.h"
#include "persist/persistent_composite.h"
#include "tests/persist/media.h"

namespace {

// A handler that opens only the destination it was made for, answering
// its own address, and records every call.
class TestHandler final : public GPortHandler {
 public:
  TestHandler(std::uint32_t flags, std::u16string opens) : flags_(flags), opens_(opens) {}

  RWCollectable* CreateDefault() const override { return new TestHandler(flags_, opens_); }
  RWCollectable* CreateCopy() const override { return new TestHandler(*this); }
  RWClassID ClassId() const override { return 0x0FB2; }
  std::uint32_t Flags() const override { return flags_; }

  void* Open(const RWWString& destination, const RWCString& name, std::uint32_t flags,
             void* extra) override {
    return Record("Open", destination, name, flags, extra);
  }
  void* OpenEx(const RWWString& destination, const RWCString& name, std::uint32_t flags,
               void* extra) override {
    return Record("OpenEx", destination, name, flags, extra);
  }

  std::vector<std::string> calls;  // "Open name flags"
  void* last_extra = nullptr;

 private:
  void* Record(const char* how, const RWWString& destination, const RWCString& name,
               std::uint32_t flags, void* extra) {
    calls.push_back(std::string(how) + " " + name.Data() + " " + std::to_string(flags));
    last_extra = extra;
    bool mine = destination.Length() == opens_.size() &&
                std::u16string(destination.Data(), destination.Length()) == opens_;
    return mine ? this : nullptr;
  }

  std::uint32_t flags_;
  std::u16string opens_;
};

TEST(PortHandlerRegistry, RegistersByFlagsAndOpensInOrder) {
  GPortHandlerRegistry registry;
  TestHandler printer(0x1, u"LPT1:");
  TestHandler both(0x10001, u"USB001");
  TestHandler reader(0x10000, u"USB001");
  TestHandler neither(0, u"LPT1:");
  TestHandler second_under_a_name(0x3, u"LPT1:");

  EXPECT_EQ(registry.Register(&printer, "printer"), 0);
  EXPECT_EQ(registry.Register(&both, "both"), 0);
  EXPECT_EQ(registry.Register(&reader, "KVPLM 1.0"), 0);
  EXPECT_EQ(registry.Register(&neither, "neither"), 0);  // in no list
  // A name in either list refuses the registration and keeps the first.
  EXPECT_EQ(registry.Register(&second_under_a_name, "printer"), 1);
  EXPECT_EQ(registry.Register(&second_under_a_name, "KVPLM 1.0"), 1);
  EXPECT_EQ(registry.Register(nullptr, "null"), 1);
  EXPECT_EQ(registry.Find("printer"), &printer);
  EXPECT_EQ(registry.Find("KVPLM 1.0"), &reader);
  EXPECT_EQ(registry.Find("kvplm 1.0"), nullptr);  // exact names
  EXPECT_EQ(registry.Find("neither"), nullptr);

  struct Count {
    std::uint32_t flags;
    std::uint32_t handlers;
  };
  // 0x10001 counts `both` in each of its lists.
  for (const Count& c :
       {Count{0x1, 2}, Count{0x3, 0}, Count{0x10000, 2}, Count{0x10001, 2}, Count{0, 0}}) {
    EXPECT_EQ(registry.CountHandlers(c.flags), c.handlers) << c.flags;
  }

  // The first list in order, each handler asked with the registered name,
  // the flags and the caller's word: `printer` answers null for USB001,
  // `both` opens it.
  int job = 0;
  EXPECT_EQ(registry.OpenPort(u"USB001", &job, 1), &both);
  EXPECT_EQ(printer.calls, std::vector<std::string>{"Open printer 1"});
  EXPECT_EQ(both.calls, std::vector<std::string>{"Open both 1"});
  EXPECT_EQ(both.last_extra, &job);
  // The second list: `both` came first, so `reader` is never asked.
  EXPECT_EQ(registry.OpenPortEx(u"USB001", &job, 0x10000), &both);
  EXPECT_EQ(both.calls.back(), "OpenEx both 65536");
  EXPECT_TRUE(reader.calls.empty());

  // Flags 3 skip the handlers whose flags are 1 and 0x10001.
  printer.calls.clear();
  EXPECT_EQ(registry.OpenPort(u"LPT1:", nullptr, 3), nullptr);
  EXPECT_TRUE(printer.calls.empty());
  EXPECT_EQ(registry.OpenPort(u"NOWHERE", nullptr, 0), nullptr);
  EXPECT_EQ(printer.calls.size(), 1u);

  EXPECT_EQ(registry.Unregister("both"), 0);
  EXPECT_EQ(registry.Unregister("no such name"), 0);
  EXPECT_EQ(registry.Find("both"), nullptr);
  EXPECT_EQ(registry.CountHandlers(0x10001), 0u);
  EXPECT_EQ(registry.OpenPortEx(u"USB001", nullptr, 0x10000), &reader);
  // The name is free again.
  EXPECT_EQ(registry.Register(&both, "both"), 0);
}

TEST(PortHandlerRegistry, ClassifiesPortNames) {
  struct Case {
    const char16_t* name;
    std::int32_t kind;
  };
  const Case cases[] = {
      {u"LPT1:", kPortNameParallel},   {u"lpt2", kPortNameParallel},
      {u"LpT9:", kPortNameParallel},   {u"com2", kPortNameSerial},
      {u"COM3:", kPortNameSerial},     {u"\\\\server\\queue", kPortNameNetwork},
      {u"\\\\", kPortNameNetwork},     {u"FILE:", kPortNameFile},
      {u"file:", kPortNameFile},       {u"USB001:", kPortNameWithColon},
      {u"LPT10:", kPortNameWithColon}, {u"LPTx:", kPortNameWithColon},
      {u"COM1::", kPortNameWithColon}, {u"FILE", kPortNameOther},
      {u"LPT1x", kPortNameOther},      {u"C:\\out\\job.prn", kPortNameOther},
      {u"\\", kPortNameOther},         {u"", kPortNameOther},
      {u"LPT", kPortNameOther},        {u"Drucker\u00e4:", kPortNameWithColon},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GPortHandlerRegistry::ClassifyPortName(c.name), c.kind)
        << RWWString(c.name).ToMultiByte().Data();
  }
}

TEST(PortHandler, StoredFormKindAndEquality) {
  TestHandler handler(1, u"");
  handler.SetKey(4);
  handler.SetSerialNumber(2);
  EXPECT_TRUE(handler.IsKindOf(kGPortHandlerId));
  EXPECT_TRUE(handler.IsKindOf(kMPersistentObjectId));
  EXPECT_FALSE(handler.IsKindOf(kMPersistentCompositeId));
  EXPECT_FALSE(handler.IsEqualContent(&handler));  // never equal, even to itself
  EXPECT_TRUE(handler.HasFlags(0));
  EXPECT_FALSE(handler.HasFlags(3));
  EXPECT_EQ(handler.StoredSize(), 16u);

  // The base part (version 1, key 4, serial 2) and the version word 1.
  using model_testing::Medium;
  std::string bytes = model_testing::Save(&handler, Medium::kFile);
  EXPECT_EQ(testing_support::Hex(bytes),
            "88 88 00 00 B2 0F 01 00 00 00 04 00 00 00 02 00 00 00 01 00 00 00");
  TestHandler restored(1, u"");
  testing_support::TempPath path("handler");
  testing_support::WriteAll(path.str(), bytes);
  RWFile file(path.c_str(), "rb");
  EXPECT_EQ(RestoreCollectableFromFile(file, &restored), &restored);
  EXPECT_FALSE(file.Error());
  EXPECT_EQ(restored.Key(), 4u);
  EXPECT_EQ(restored.SerialNumber(), 2u);

  // The same object each time.
  EXPECT_EQ(&GPortHandlerRegistry::Instance(), &GPortHandlerRegistry::Instance());
}

}  // namespace
