#include "foundation/rw/factory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "foundation/rw/registration.h"
#include "tests/support/registration_list.h"
#include "tests/support/test_collectable.h"

namespace {

class First : public RWCollectable {
 public:
  RWClassID ClassId() const override { return 1500; }
};
class Second : public RWCollectable {
 public:
  RWClassID ClassId() const override { return 1500; }
};

RWCollectable* MakeFirst() {
  return new First;
}
RWCollectable* MakeSecond() {
  return new Second;
}

// The collection library's own classes of the registration list.
const std::map<RWClassID, const char*> kLibraryClasses(
    testing_support::kRegistrationList.lower_bound(testing_support::kFirstLibraryClassId),
    testing_support::kRegistrationList.end());

TEST(Factory, LibraryClassesAreRegisteredByIdAndByName) {
  for (const auto& [id, name] : kLibraryClasses) {
    EXPECT_EQ(ClassIdToStringId(id), name);
    EXPECT_EQ(StringIdToClassId(name), id) << name;
    std::unique_ptr<RWCollectable> by_id(CreateByClassId(id));
    std::unique_ptr<RWCollectable> by_name(CreateByStringId(name));
    ASSERT_NE(by_id, nullptr) << name;
    ASSERT_NE(by_name, nullptr) << name;
    EXPECT_EQ(by_id->ClassId(), id);
    EXPECT_EQ(by_name->ClassId(), id);
  }
  // The walk sees exactly one id entry and one name entry per class.
  std::map<RWClassID, int> ids;
  std::set<std::string> names;
  std::pair<std::map<RWClassID, int>*, std::set<std::string>*> seen{&ids, &names};
  ForEachFactoryEntry(
      [](RWClassID id, const RWStringID& name, bool by_id, void* d) {
        auto* seen = static_cast<std::pair<std::map<RWClassID, int>*, std::set<std::string>*>*>(d);
        if (by_id) {
          ++(*seen->first)[id];
        } else {
          seen->second->insert(std::string(name.Data(), name.Length()));
        }
      },
      &seen);
  for (const auto& [id, name] : kLibraryClasses) {
    EXPECT_EQ(ids[id], 1);
    EXPECT_TRUE(names.count(name));
  }
}

TEST(Factory, UnknownLookups) {
  EXPECT_EQ(CreateByClassId(0x7777), nullptr);
  EXPECT_EQ(CreateByStringId("NoSuchClass"), nullptr);
  EXPECT_EQ(StringIdToClassId("NoSuchClass"), 0x8000);
  EXPECT_EQ(ClassIdToStringId(0x7777), "NoID");
}

TEST(Factory, FirstRegistrationWinsPerIdAndPerName) {
  AddClassToFactory(&MakeFirst, 1500, "First");
  AddClassToFactory(&MakeSecond, 1500, "Second");  // the id is taken, the name is new
  std::unique_ptr<RWCollectable> by_id(CreateByClassId(1500));
  std::unique_ptr<RWCollectable> second(CreateByStringId("Second"));
  EXPECT_NE(dynamic_cast<First*>(by_id.get()), nullptr);
  EXPECT_NE(dynamic_cast<Second*>(second.get()), nullptr);
  EXPECT_EQ(ClassIdToStringId(1500), "First");
  EXPECT_EQ(StringIdToClassId("Second"), 1500);

  // Registering the same triple again leaves one entry of each kind.
  AddClassToFactory(&MakeFirst, 1500, "First");
  RemoveClassIdFromFactory(1500);
  EXPECT_EQ(CreateByClassId(1500), nullptr);
  std::unique_ptr<RWCollectable> first(CreateByStringId("First"));
  EXPECT_NE(first, nullptr);
  RemoveStringIdFromFactory("First");
  RemoveStringIdFromFactory("Second");
  EXPECT_EQ(CreateByStringId("First"), nullptr);
}

TEST(Factory, NameEntryNextToItsIdTwinIsNotADuplicate) {
  // An id chosen to fall into the name's bucket: both entries land in one
  // bucket, and the name entry must still be kept.
  RWStringID name("A");
  AddClassToFactory(&MakeFirst, name.Hash() % 64 + 64, name);
  std::unique_ptr<RWCollectable> made(CreateByStringId(name));
  EXPECT_NE(made, nullptr);
  RemoveClassIdFromFactory(name.Hash() % 64 + 64);
  RemoveStringIdFromFactory(name);
}

TEST(Factory, WithoutANameRegistersTheNoIdName) {
  AddClassToFactory(&MakeFirst, 1501);
  EXPECT_EQ(ClassIdToStringId(1501), "No_RWStringID");
  RemoveClassIdFromFactory(1501);
  RemoveStringIdFromFactory("No_RWStringID");
}

TEST(Factory, LastRemovalDestroysItAndTheNextRegistrationMakesItAgain) {
  FoundationUnload();
  EXPECT_FALSE(FactoryExists());
  EXPECT_EQ(ClassIdToStringId(0x8007), "NoID");
  EXPECT_EQ(CreateByClassId(0x8007), nullptr);
  {
    TestItemRegistration registration;
    EXPECT_TRUE(FactoryExists());
  }
  EXPECT_FALSE(FactoryExists());
  FoundationLoad();
  EXPECT_TRUE(FactoryExists());
}

TEST(Factory, UserClassIds) {
  EXPECT_TRUE(IsUserClassId(0x9000));
  EXPECT_TRUE(IsUserClassId(0xF000));
  EXPECT_FALSE(IsUserClassId(0x8FFF));
  EXPECT_FALSE(IsUserClassId(0xF001));
  RWClassID a = NewUserClassId();
  RWClassID b = NewUserClassId();
  EXPECT_GE(a, 0x9000);
  EXPECT_EQ(b, a + 1);
  // The counter stops at the end of the range instead of running into the
  // system's ids (0xF001 on, and 0 to 0x8FFF after a wrap).
  RWClassID last = b;
  for (int i = 0; i < 0x10000; ++i) {
    RWClassID id = NewUserClassId();
    if (id == kRWNoClassId) break;
    ASSERT_EQ(id, last + 1);
    last = id;
  }
  EXPECT_EQ(last, kRWLastUserClassId);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(NewUserClassId(), kRWNoClassId);
  EXPECT_FALSE(IsUserClassId(kRWNoClassId));
}

TEST(Factory, RegistersLooksUpAndCreatesFromEightThreads) {
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &created] {
      RWClassID id = static_cast<RWClassID>(2000 + t);
      std::string name = "Threaded" + std::to_string(t);
      for (int round = 0; round < 200; ++round) {
        AddClassToFactory(&MakeFirst, id, name.c_str());
        std::unique_ptr<RWCollectable> a(CreateByClassId(id));
        std::unique_ptr<RWCollectable> b(CreateByStringId(name.c_str()));
        std::unique_ptr<RWCollectable> c(CreateByClassId(0x802B));
        if (a && b && c && ClassIdToStringId(id) == name.c_str()) ++created;
        RemoveClassIdFromFactory(id);
        RemoveStringIdFromFactory(name.c_str());
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(created.load(), 8 * 200);
  EXPECT_EQ(StringIdToClassId("RWSet"), 0x802B);
}

// Look-ups read a catalog the factory publishes after each change, without
// a lock: while one thread registers and removes classes (and then
// destroys and remakes the whole factory), readers on other threads must
// see each class either registered, with its own creator and name, or not
// at all, and never lose the classes that stay.
TEST(Factory, LookupsStayRightWhileClassesComeAndGo) {
  constexpr RWClassID kChurn = 2100;
  auto run = [](int rounds, void (*write)(int), bool (*read)()) {
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 6; ++t) {
      readers.emplace_back([&] {
        while (!stop.load())
          if (!read()) ++wrong;
      });
    }
    for (int round = 0; round < rounds; ++round)
      write(round);
    stop = true;
    for (auto& reader : readers)
      reader.join();
    return wrong.load();
  };

  // Classes come and go; the library's stay.
  int wrong = run(
      300,
      [](int round) {
        bool first = round % 2 == 0;
        const char* name = first ? "ChurnFirst" : "ChurnSecond";
        AddClassToFactory(first ? &MakeFirst : &MakeSecond, kChurn, name);
        RemoveClassIdFromFactory(kChurn);
        RemoveStringIdFromFactory(name);
      },
      [] {
        std::unique_ptr<RWCollectable> set(CreateByClassId(0x802B));
        std::unique_ptr<RWCollectable> list(CreateByStringId("RWSlistCollectables"));
        bool stays = set && set->ClassId() == 0x802B && list && list->ClassId() == 0x8033 &&
                     ClassIdToStringId(0x805E) == "RWHashTable" &&
                     StringIdToClassId("RWIdentitySet") == 0x8025;
        std::unique_ptr<RWCollectable> by_id(CreateByClassId(kChurn));
        std::unique_ptr<RWCollectable> first(CreateByStringId("ChurnFirst"));
        std::unique_ptr<RWCollectable> second(CreateByStringId("ChurnSecond"));
        RWStringID name = ClassIdToStringId(kChurn);
        RWClassID id = StringIdToClassId("ChurnSecond");
        return stays &&
               (!by_id || dynamic_cast<First*>(by_id.get()) ||
                dynamic_cast<Second*>(by_id.get())) &&
               (!first || dynamic_cast<First*>(first.get())) &&
               (!second || dynamic_cast<Second*>(second.get())) &&
               (name == "NoID" || name == "ChurnFirst" || name == "ChurnSecond") &&
               (id == kRWNoClassId || id == kChurn);
      });
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(CreateByClassId(kChurn), nullptr);

  // The factory itself goes and comes back.
  wrong = run(
      40,
      [](int) {
        FoundationUnload();
        FoundationLoad();
      },
      [] {
        std::unique_ptr<RWCollectable> set(CreateByClassId(0x802B));
        RWStringID name = ClassIdToStringId(0x802B);
        return (!set || set->ClassId() == 0x802B) && (name == "NoID" || name == "RWSet");
      });
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(StringIdToClassId("RWSet"), 0x802B);
}

}  // namespace
