// FindByKey through the key indexes answers what the depth-first walk
// answers whatever the tree becomes: seeded runs of random changes of its
// shape and keys, each followed by look-ups compared with a walk of our own.
#include "persist/key_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include "foundation/rw/rwstore.h"
#include "persist/persistent_composite.h"
#include "tests/persist/probe.h"
#include "tests/support/graph.h"

namespace {

constexpr std::uint32_t kKeys = 16;  // few keys, so that most are found more than once

// A leaf that says it answers by its key alone (a ProbeLeaf is asked).
class IndexedLeaf : public ProbeLeaf {
 public:
  using ProbeLeaf::ProbeLeaf;
  RWCollectable* CreateCopy() const override { return new IndexedLeaf(*this); }
  MKeyFind KeyFind() override { return InheritedKeyFind<IndexedLeaf, ProbeLeaf>(*this); }
};

// Also answers itself for a second key, which may change at any time: the
// composite's KeyFind, which it keeps, must not hold for it.
class AliasComposite : public MPersistentComposite {
 public:
  AliasComposite(std::uint32_t key, std::uint32_t a) : MPersistentComposite(key), alias(a) {}
  MPersistentObject* FindByKey(const std::uint32_t& key) override {
    return key == alias ? this : MPersistentComposite::FindByKey(key);
  }
  std::uint32_t alias;
};

// The walk as the composites answered before any index.
MPersistentObject* Walked(MPersistentObject& node, std::uint32_t key) {
  if (auto* aliased = dynamic_cast<AliasComposite*>(&node); aliased && aliased->alias == key)
    return aliased;
  const GCountedPtrVector& children = dynamic_cast<MPersistentComposite&>(node).Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child) continue;
    if (child->Key() == key) return child;
    if (auto* found = dynamic_cast<MPersistentComposite*>(child) ? Walked(*child, key) : nullptr)
      return found;
  }
  return nullptr;
}

// Every object below `node` in pre-order (a shared one as often as it is
// reached), and the composites among them, `node` first.
struct Gathered {
  std::vector<MPersistentObject*> all;
  std::vector<MPersistentComposite*> composites;
  explicit Gathered(MPersistentObject& node) { Add(node); }
  void Add(MPersistentObject& node) {
    composites.push_back(&dynamic_cast<MPersistentComposite&>(node));
    const GCountedPtrVector& children = dynamic_cast<MPersistentComposite&>(node).Children();
    for (RWSize i = 0; i < children.Count(); ++i) {
      if (MPersistentObject* child = children[i].Get()) {
        all.push_back(child);
        if (dynamic_cast<MPersistentComposite*>(child)) Add(*child);
      }
    }
  }
  bool Has(const MPersistentObject* composite) const {
    return std::find(composites.begin(), composites.end(), composite) != composites.end();
  }
};

struct Changes {
  std::mt19937 random_;

  std::uint32_t Key() { return random_() % kKeys; }
  std::size_t Pick(std::size_t n) { return random_() % n; }

  MPersistentObject* NewLeaf() {
    return Pick(4) == 0 ? new ProbeLeaf(Key()) : new IndexedLeaf(Key());
  }
  MPersistentComposite* NewComposite() {
    MPersistentComposite* composite =
        Pick(5) == 0 ? new AliasComposite(Key(), Key()) : new MPersistentComposite(Key());
    for (std::size_t n = Pick(4); n > 0; --n)
      composite->AddChild(NewLeaf());
    return composite;
  }

  // One random change below `root` (none when the change drawn has nothing
  // to work on).
  void Apply(std::unique_ptr<MPersistentComposite>& root) {
    const Gathered tree(*root);
    MPersistentComposite* at = tree.composites[Pick(tree.composites.size())];
    MPersistentComposite* other = tree.composites[Pick(tree.composites.size())];
    MPersistentObject* node = tree.all.empty() ? nullptr : tree.all[Pick(tree.all.size())];
    const bool grow = tree.all.size() < 120;
    std::unique_ptr<MPersistentObject> made;
    switch (Pick(10)) {
      case 0:
        if (grow) at->InsertFirst(NewLeaf());
        for (std::size_t n = grow ? Pick(5) : 0; n > 0; --n)
          at->AddChild(Pick(3) == 0 ? NewComposite() : NewLeaf());
        break;
      case 1:  // one composite under two parents
        if (other != root.get() && !Gathered(*other).Has(at)) at->AddChild(other);
        break;
      case 2:
        if (MPersistentObject* removed = at->RemoveByKey(Key());
            removed && removed->ReferenceCount() < 0)
          delete removed;  // the caller's
        break;
      case 3:
        made.reset(NewLeaf());
        at->ReplaceByKey(Key(), made.get());
        break;
      case 4:
        if (node) node->SetKey(Key());
        break;
      case 5:
        if (at != root.get() && Pick(3) == 0) at->RemoveAll();
        break;
      case 6: {  // restored in place from another composite's bytes
        const std::string bytes =
            testing_support::SaveToStreamBytes(other, testing_support::Encoding::kBinary);
        std::istringstream in(bytes);
        auto stream = testing_support::MakeInputStream(in, testing_support::Encoding::kBinary);
        EXPECT_EQ(RestoreCollectableFromStream(*stream, at), at);
        break;
      }
      case 7:  // assignment shares the other's children
        if (at != other && !Gathered(*other).Has(at)) *at = *other;
        break;
      case 8:
        if (auto* aliased = dynamic_cast<AliasComposite*>(at)) aliased->alias = Key();
        break;
      case 9:  // a new root, likely where the old one was
        made.reset(root->DeepCopy());
        root.reset();
        root = std::make_unique<MPersistentComposite>(1);
        root->AddChild(made.release());
        break;
    }
  }
};

TEST(KeyIndex, AnswersAsTheWalkWhateverTheTreeBecomes) {
  // Seed, an index at the first look-up (else once walks add up), look-ups.
  const std::tuple<std::uint32_t, bool, int> cases[] = {
      {1, true, 1}, {2, true, 1}, {3, false, 3}, {4, false, 6}};
  for (const auto& [seed, eager_builds, lookups] : cases) {
    SCOPED_TRACE(seed);
    const bool eager = key_index::SetEagerBuilds(eager_builds);
    Changes changes{std::mt19937(seed)};
    auto root = std::make_unique<MPersistentComposite>(1);
    for (int step = 0; step < 600 && !HasFatalFailure(); ++step) {
      changes.Apply(root);
      const Gathered tree(*root);
      MPersistentComposite* inner = tree.composites[changes.Pick(tree.composites.size())];
      for (int i = 0; i < lookups; ++i) {
        for (MPersistentObject* from : {static_cast<MPersistentObject*>(root.get()),
                                        static_cast<MPersistentObject*>(inner)}) {
          for (std::uint32_t key = 0; key <= kKeys; ++key)
            ASSERT_EQ(from->FindByKey(key), Walked(*from, key))
                << "step " << step << " key " << key;
        }
      }
    }
    key_index::SetEagerBuilds(eager);
  }
}

// Threads that look keys up in one tree at once each keep their own
// indexes, and all get the walk's answers.
TEST(KeyIndex, ThreadsLookingUpOneTreeGetTheWalksAnswers) {
  Changes changes{std::mt19937(9)};
  MPersistentComposite root(1);
  for (int i = 0; i < 40; ++i)
    root.AddChild(changes.NewComposite());
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (std::uint32_t round = 0; round < 200 * (kKeys + 1); ++round)
        wrong += root.FindByKey(round % (kKeys + 1)) != Walked(root, round % (kKeys + 1));
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
