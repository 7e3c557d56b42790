// The downloaded-font books: entries shared by handles, release through
// the generator, and least-recently-used eviction from the cache.
#include <gtest/gtest.h>

#include <vector>

#include "lang/generator/font_cache.h"
#include "lang/generator/generator_class.h"

namespace {

class Generator final : public GGeneratorClass<Generator, 1502> {};

class TestList final : public GFontList {
 public:
  explicit TestList(GFontListEntry* entry) : GFontList(entry) {}
  GFontList* Clone() const override { return new TestList(GetEntry()); }
};

class TestCache final : public GFontCache {
 public:
  GFontList* Find(GFont&) override { return nullptr; }
};

// A cache of lists with (state, memory, last use) each, on `generator`.
std::vector<GFontList*> Fill(TestCache& cache, GPrinterLanguage* generator,
                             std::initializer_list<std::array<std::uint32_t, 3>> fonts) {
  std::vector<GFontList*> lists;
  for (const auto& [state, memory, last_use] : fonts) {
    auto* list = new TestList(new GFontListEntry(generator));
    list->SetState(state);
    list->AddPrinterMemory(memory);
    list->SetLastUse(last_use);
    list->SetName(RWCString("F") + RWCString(static_cast<char>('0' + lists.size())));
    cache.Add(GFontDescriptionRecord(), GFontAngleBlock(), list);
    lists.push_back(list);
  }
  return lists;
}

TEST(FontCache, EvictsTheLeastRecentlyUsedEvictableFont) {
  struct Case {
    std::initializer_list<std::array<std::uint32_t, 3>> fonts;
    int evicted;  // -1: none
  } cases[] = {
      {{{3, 100, 5}, {2, 200, 5}, {3, 300, 7}}, 0},  // a tie: nearer the head
      {{{1, 100, 1}, {3, 200, 9}}, 1},               // resident fonts stay
      {{{3, 0, 1}, {2, 50, 4}}, 1},                  // so do fonts without memory
      {{{1, 100, 1}, {0, 100, 0}, {4, 10, 0}}, -1},
      {{}, -1},
  };
  for (const Case& c : cases) {
    Generator generator;
    generator.GetMemoryBudget().SetCapacity(10000);
    TestCache cache;
    std::vector<GFontList*> lists = Fill(cache, &generator, c.fonts);
    const std::uint32_t total = cache.GetTotalPrinterMemory();
    std::uint32_t memory = c.evicted < 0 ? 0 : lists[c.evicted]->GetPrinterMemory();
    EXPECT_EQ(cache.EvictOne(), memory);
    EXPECT_EQ(cache.GetTotalPrinterMemory(), total - memory);
    EXPECT_EQ(generator.GetMemoryBudget().GetUsed(), total - memory);  // given back
    EXPECT_EQ(cache.Count(), lists.size());                            // the node stays
    if (c.evicted >= 0) {
      EXPECT_EQ(generator.GetCallLog().Text(),
                RWCString("RemoveDownloadedFont F") + RWCString(char('0' + c.evicted)) + "\n");
    }
  }
}

TEST(FontCache, ReleaseGivesMemoryBackAndRemovesOnlyDownloadedFonts) {
  Generator generator;
  TestCache cache;
  std::vector<GFontList*> lists = Fill(cache, &generator, {{1, 100, 0}, {2, 0, 0}, {3, 40, 0}});
  EXPECT_EQ(generator.GetMemoryBudget().GetUsed(), 140u);
  for (GFontList* list : lists)
    list->AddCode(65);
  cache.ReleaseAll();
  EXPECT_EQ(generator.GetCallLog().Text(), RWCString("RemoveDownloadedFont F2\n"));
  EXPECT_EQ(generator.GetMemoryBudget().GetUsed(), 0u);
  EXPECT_EQ(lists[0]->ContainsCode(65), 0u);
  EXPECT_EQ(lists[1]->ContainsCode(65), 1u);  // no memory: nothing released
  EXPECT_EQ(lists[2]->GetCount(), 0);
  // The budget's answer; without a generator, the amount itself.
  generator.GetMemoryBudget().SetCapacity(100);
  EXPECT_EQ(lists[0]->AddPrinterMemory(30), 70u);
  GFontListEntry alone(nullptr);
  EXPECT_EQ(alone.AddPrinterMemory(30), 30u);
}

TEST(FontCache, EntriesOutliveTheCacheWithoutTheirGenerator) {
  Generator generator;
  GFontList* kept = nullptr;
  {
    TestCache cache;
    std::vector<GFontList*> lists = Fill(cache, &generator, {{3, 10, 0}});
    kept = lists[0]->Clone();
    EXPECT_EQ(kept->GetEntry(), lists[0]->GetEntry());
  }
  EXPECT_FALSE(kept->IsActive() || kept->GetEntry()->GetGenerator());
  kept->Release();  // reaches no generator
  EXPECT_EQ(generator.GetCallLog().Text(), RWCString());
  EXPECT_EQ(kept->GetPrinterMemory(), 0u);
  delete kept;  // the last handle frees the entry
  GFontListEntry fresh(&generator);
  EXPECT_TRUE(fresh.IsActive() && fresh.GetNumber() == kNoFontNumber);
  EXPECT_EQ(fresh.GetState() + fresh.GetLastUse(), 0u);
}

}  // namespace
