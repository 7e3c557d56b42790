// The keyed pool: key order, refused inserts, release passes, saves through
// filters, restores over live entries, and refused stored entries.
#include <gtest/gtest.h>

#include <sstream>

#include "fonts/keyed_pool.h"
#include "foundation/rw/binarystream.h"
#include "tests/fonts/font_test_support.h"
#include "tests/persist/probe.h"
#include "tests/support/graph.h"

namespace {

using testing_support::Hex;

std::uint32_t g_answer = 0;
std::vector<std::uint32_t> g_events;

std::uint32_t Policy(MPersistentObject*, MPersistentObject*, std::uint32_t event) {
  g_events.push_back(event);
  return g_answer;
}

std::string SaveBytes(GKeyedPool& pool, GKeyedPool::Filter filter) {
  std::ostringstream out;
  RWBinaryOutputStream stream(out);
  pool.SaveToStream(stream, filter, nullptr);
  return out.str();
}

std::uint32_t RestoreBytes(GKeyedPool& pool, const std::string& bytes) {
  std::istringstream in(bytes);
  RWBinaryInputStream stream(in);
  return pool.RestoreFromStream(stream);
}

TEST(KeyedPool, KeysInOrderAndInsertsRefusedUnderPresentKeys) {
  GKeyedPool pool(nullptr);
  ProbeLeaf a, b, c, d;
  for (auto [key, entry] : {std::pair{200u, &a}, {3u, &b}, {10u, &c}})
    EXPECT_EQ(pool.Insert(key, entry), 1u);
  EXPECT_EQ(pool.Insert(10, &d), 0u);
  EXPECT_EQ(pool.Find(10), &c);
  EXPECT_EQ(pool.GetKeys(), (std::vector<std::uint32_t>{3, 10, 200}));
  pool.ReleasePass();  // no policy: nothing released
  EXPECT_EQ(pool.Count(), 3u);
  EXPECT_EQ(pool.Remove(3), &b);
  EXPECT_EQ(pool.Remove(3), nullptr);
  pool.Remove(10);
  pool.Remove(200);
}

TEST(KeyedPool, ReleasePassDeletesWhatThePolicyAnswers) {
  GKeyedPool pool(&Policy);
  int before = ProbeLeaf::destroyed;
  pool.Insert(1, new ProbeLeaf);
  pool.Insert(2, new ProbeLeaf);
  g_answer = 1;
  g_events.clear();
  pool.ReleasePass();
  EXPECT_EQ(g_events, (std::vector<std::uint32_t>{1, 1}));
  EXPECT_EQ(pool.Count(), 0u);
  EXPECT_EQ(ProbeLeaf::destroyed - before, 2);
}

TEST(KeyedPool, SavesThroughTheFilterAndRestoresByPolicy) {
  tt_testing::RegisterTestFontObject();
  GKeyedPool pool(nullptr);
  tt_testing::TestFontObject one(1, 1, 11);
  tt_testing::TestFontObject two(2, 1, 22);
  pool.Insert(1, &one);
  pool.Insert(2, &two);
  // A filter that answers 0 to every entry writes the count 0 alone.
  EXPECT_EQ(Hex(SaveBytes(
                pool, [](MPersistentObject*, std::uint32_t, void*) -> std::uint32_t { return 0; })),
            "00 00 00 00");
  const std::string stored = SaveBytes(pool, nullptr);
  pool.Remove(1);
  pool.Remove(2);

  struct Case {
    const char* name;
    std::uint32_t answer;
    bool replaced;
    std::vector<std::uint32_t> events;
  };
  const Case cases[] = {{"answer 0 keeps the live entry", 0, false, {5, 3}},
                        {"answer 1 replaces it", 1, true, {5, 3}}};
  for (const Case& c : cases) {
    GKeyedPool live(&Policy);
    auto* present = new tt_testing::TestFontObject(1, 1, 99);
    live.Insert(1, present);
    g_answer = c.answer;
    g_events.clear();
    EXPECT_EQ(RestoreBytes(live, stored), 1u) << c.name;
    EXPECT_EQ(g_events, c.events) << c.name;
    auto* now = static_cast<tt_testing::TestFontObject*>(live.Find(1));
    EXPECT_EQ(now->payload, c.replaced ? 11u : 99u) << c.name;
    EXPECT_EQ(static_cast<tt_testing::TestFontObject*>(live.Find(2))->payload, 22u);
    for (std::uint32_t key : live.GetKeys())
      delete live.Remove(key);
  }
}

TEST(KeyedPool, RefusedEntriesAndShortDataFailTheRestore) {
  ProbeLeaf leaf;
  GKeyedPool source(nullptr);
  source.Insert(7, &leaf);
  const std::string probe = SaveBytes(source, nullptr);
  source.Remove(7);
  AddClassToFactory(&RWCreate<ProbeLeaf>, ProbeLeaf::kId, "ProbeLeaf");
  GKeyedPool fonts(nullptr, [](const MPersistentObject* entry) {
    return dynamic_cast<const GFontDatabaseEntry*>(entry) != nullptr;
  });
  int before = ProbeLeaf::destroyed;
  EXPECT_EQ(RestoreBytes(fonts, probe), 0u);
  EXPECT_EQ(ProbeLeaf::destroyed - before, 1) << "the refused entry is freed";
  EXPECT_EQ(fonts.Count(), 0u);
  // A nil entry, and a count the data does not hold.
  EXPECT_EQ(RestoreBytes(fonts, probe.substr(0, 8) + std::string(8, '\0')), 0u);
  EXPECT_EQ(RestoreBytes(fonts, testing_support::Unhex("FF FF FF FF")), 0u);
}

}  // namespace
