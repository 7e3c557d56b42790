#include "persist/key_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "foundation/rw/support.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "platform/thread_part.h"

namespace key_index {

namespace {

std::atomic<std::uint64_t> g_epoch{1};
std::atomic<std::uint64_t> g_root_numbers{0};
std::atomic<bool> g_eager{false};

// How the object's FindByKey answers; kOwn unless KeyFind's answer holds
// for exactly the object's class. The kind is noted in the object (its
// class's, so it never changes); a composite's vector is asked each time.
MKeyFind::Kind Classify(MPersistentObject& object, const GCountedPtrVector*& children) {
  const std::uint8_t note = object.KeyFindNote();
  if (note != 0 && note != MKeyFind::kChildren + 1) return static_cast<MKeyFind::Kind>(note - 1);
  const MKeyFind find = object.KeyFind();
  MKeyFind::Kind kind = find.kind;
  if (!find.of || *find.of != typeid(object)) kind = MKeyFind::kOwn;
  if (kind == MKeyFind::kChildren && !find.children) kind = MKeyFind::kOwn;
  if (note == 0) object.SetKeyFindNote(static_cast<std::uint8_t>(kind + 1));
  children = find.children;
  return kind;
}

// The walk itself, as the composites' FindByKey did it, counting the nodes
// it tests.
MPersistentObject* Walk(const GCountedPtrVector& children, std::uint32_t key, std::size_t& tested) {
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child) continue;
    ++tested;
    if (child->Key() == key) return child;
    const GCountedPtrVector* inner = nullptr;
    const MKeyFind::Kind kind = Classify(*child, inner);
    MPersistentObject* found = nullptr;
    if (kind == MKeyFind::kChildren) {
      found = Walk(*inner, key, tested);
    } else if (kind == MKeyFind::kOwn) {
      found = child->FindByKey(key);
    }
    if (found) return found;
  }
  return nullptr;
}

// The flattened tree below one vector: each key's first object with its
// place in pre-order, in an open-addressed table, and the objects asked
// live (kOwn) in order.
class Index {
 public:
  // False when the tree is deeper than kMaxDepth or memory ran out.
  bool Build(const GCountedPtrVector& root, std::size_t hint) {
    try {
      Grow(std::max<std::size_t>(hint, 16));
      return Collect(root, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  std::size_t Nodes() const { return order_; }

  MPersistentObject* Find(std::uint32_t key, std::uint32_t& order) const {
    for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
      const Entry& entry = table_[i];
      if (!entry.node) return nullptr;
      if (entry.key == key) {
        order = entry.order;
        return entry.node;
      }
    }
  }

  struct Own {
    std::uint32_t order;
    MPersistentObject* node;
  };
  const std::vector<Own>& OwnFinds() const { return own_; }

 private:
  struct Entry {
    MPersistentObject* node = nullptr;  // null: free
    std::uint32_t key = 0;
    std::uint32_t order = 0;
  };

  std::size_t Home(std::uint32_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> shift_) & mask_;
  }

  // Room for `count` keys at a load of at most 2/3.
  void Grow(std::size_t count) {
    std::size_t capacity = 16;
    while (capacity < count + count / 2)
      capacity *= 2;
    std::vector<Entry> old = std::exchange(table_, std::vector<Entry>(capacity));
    mask_ = capacity - 1;
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(capacity));
    used_ = 0;
    for (const Entry& entry : old) {
      if (entry.node) Put(entry);
    }
  }

  void Put(const Entry& entry) {
    for (std::size_t i = Home(entry.key);; i = (i + 1) & mask_) {
      if (!table_[i].node) {
        table_[i] = entry;
        ++used_;
        return;
      }
      if (table_[i].key == entry.key) return;  // the first in the order stays
    }
  }

  bool Collect(const GCountedPtrVector& children, std::size_t depth) {
    if (depth >= kMaxDepth) return false;
    children.MarkKeyIndexed();
    for (RWSize i = 0; i < children.Count(); ++i) {
      MPersistentObject* child = children[i].Get();
      if (!child) continue;
      child->MarkKeyIndexed();
      if ((used_ + 1) * 3 > table_.size() * 2) Grow(table_.size());
      const std::uint32_t order = order_++;
      Put(Entry{child, child->Key(), order});
      const GCountedPtrVector* inner = nullptr;
      const MKeyFind::Kind kind = Classify(*child, inner);
      if (kind == MKeyFind::kChildren) {
        if (!Collect(*inner, depth + 1)) return false;
      } else if (kind == MKeyFind::kOwn) {
        own_.push_back(Own{order, child});
      }
    }
    return true;
  }

  std::vector<Entry> table_;
  std::size_t mask_ = 0;
  unsigned shift_ = 64;
  std::size_t used_ = 0;
  std::uint32_t order_ = 0;  // objects flattened so far
  std::vector<Own> own_;
};

// One tree's look-ups on this thread: what the walks at `epoch` tested, and
// the index once built.
struct Slot {
  std::uint64_t epoch = 0;
  std::uint64_t used = 0;  // the cache's tick at the last look-up
  std::size_t walked = 0;  // nodes tested by walks at `epoch`
  std::size_t widest = 0;  // most nodes one walk tested since the slot was taken
  std::size_t hint = 0;    // nodes of the last index built
  std::uint32_t busy = 0;  // look-ups in progress that answer from `index`
  bool refused = false;    // no index can be had at `epoch`
  std::unique_ptr<Index> index;

  void Restart(std::uint64_t now) {
    epoch = now;
    walked = 0;
    refused = false;
    index.reset();
  }
  // Build once the walks have cost about what a build costs: the tree's
  // size, as last indexed or as the widest walk suggests.
  bool Due() const { return !refused && walked >= (hint > 0 ? hint : 2 * widest); }
};

class Cache {
 public:
  // A slot is the tree's only while the vector at its address has its
  // number: a vector made later at the same address has another (or none).
  Slot* Find(const GCountedPtrVector* root) {
    const std::uint64_t number = root->KeyIndexNumber();
    if (number == 0) return nullptr;
    for (std::size_t i = 0; i < kSlots; ++i) {
      if (roots_[i] == root && numbers_[i] == number) return &slots_[i];
    }
    return nullptr;
  }

  // The slot of `root`, else one taken from the tree used least recently
  // (none while every slot is busy).
  Slot* Take(const GCountedPtrVector* root, std::uint64_t epoch) {
    if (Slot* slot = Find(root)) return slot;
    std::size_t oldest = kSlots;
    for (std::size_t i = 0; i < kSlots; ++i) {
      if (slots_[i].busy == 0 && (oldest == kSlots || slots_[i].used < slots_[oldest].used))
        oldest = i;
    }
    if (oldest == kSlots) return nullptr;
    roots_[oldest] = root;
    numbers_[oldest] = root->TakeKeyIndexNumber();
    Slot& slot = slots_[oldest];
    slot.widest = 0;
    slot.hint = 0;
    slot.Restart(epoch);
    return &slot;
  }

  // Drops every index of a past epoch (not one a look-up is answering from).
  void Sweep(std::uint64_t epoch) {
    for (Slot& slot : slots_) {
      if (slot.epoch != epoch && slot.busy == 0) slot.Restart(epoch);
    }
    seen_ = epoch;
  }

  std::uint64_t Seen() const { return seen_; }
  std::uint64_t Tick() { return ++tick_; }

 private:
  std::array<const GCountedPtrVector*, kSlots> roots_{};
  std::array<std::uint64_t, kSlots> numbers_{};  // each root's number
  std::array<Slot, kSlots> slots_;
  std::uint64_t seen_ = 0;  // the epoch of the last sweep
  std::uint64_t tick_ = 0;
};

thread_local platform::ThreadPart<Cache> t_cache;

MPersistentObject* Answer(Slot& slot, std::uint32_t key) {
  const Index& index = *slot.index;
  std::uint32_t order = 0;
  MPersistentObject* found = index.Find(key, order);
  if (index.OwnFinds().empty()) return found;
  // What an object answers itself comes first when it lies before the
  // match. It may look keys up in turn: the slot stays meanwhile.
  ++slot.busy;
  for (const Index::Own& own : index.OwnFinds()) {
    if (found && own.order >= order) break;
    if (MPersistentObject* answer = own.node->FindByKey(key)) {
      found = answer;
      break;
    }
  }
  --slot.busy;
  return found;
}

bool Build(Slot& slot, const GCountedPtrVector& root) {
  std::unique_ptr<Index> index(new (std::nothrow) Index);
  if (!index || !index->Build(root, slot.hint)) {
    slot.refused = true;
    return false;
  }
  slot.hint = index->Nodes();
  slot.index = std::move(index);
  return true;
}

}  // namespace

void MoveEpoch() {
  g_epoch.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t NewRootNumber() {
  return g_root_numbers.fetch_add(1, std::memory_order_relaxed) + 1;
}

void BuildNow(MPersistentObject& root) {
  const GCountedPtrVector* children = nullptr;
  if (Classify(root, children) != MKeyFind::kChildren) return;
  Cache& cache = t_cache.Get();
  const std::uint64_t epoch = g_epoch.load(std::memory_order_relaxed);
  if (cache.Seen() != epoch) cache.Sweep(epoch);
  Slot* slot = cache.Take(children, epoch);
  if (!slot || slot->busy != 0) return;
  if (slot->epoch != epoch) slot->Restart(epoch);
  if (!slot->index && !slot->refused && Build(*slot, *children)) slot->used = cache.Tick();
}

bool SetEagerBuilds(bool eager) {
  return g_eager.exchange(eager);
}

MPersistentObject* FindByKey(const GCountedPtrVector& children, std::uint32_t key) {
  Cache& cache = t_cache.Get();
  // Relaxed is enough: a change of this tree happens before this look-up
  // (one tree is not changed and read at once), so the load sees its move.
  const std::uint64_t epoch = g_epoch.load(std::memory_order_relaxed);
  if (cache.Seen() != epoch) cache.Sweep(epoch);
  Slot* slot = cache.Find(&children);
  if (slot && slot->epoch != epoch && slot->busy == 0) slot->Restart(epoch);
  const bool current = slot && slot->epoch == epoch;
  if (current && slot->index) {
    slot->used = cache.Tick();
    return Answer(*slot, key);
  }

  const bool eager = g_eager.load(std::memory_order_relaxed);
  if ((current && slot->Due()) || (eager && !(current && slot->refused))) {
    if (!slot) slot = cache.Take(&children, epoch);
    if (slot && slot->busy == 0 && Build(*slot, children)) {
      slot->used = cache.Tick();
      return Answer(*slot, key);
    }
  }

  std::size_t tested = 0;
  MPersistentObject* found = Walk(children, key, tested);
  // The walk may have asked objects that looked keys up themselves: the
  // slot is found again, and counts only at the epoch the walk began in.
  slot = tested < kTrackFrom ? cache.Find(&children) : cache.Take(&children, epoch);
  if (slot && slot->epoch == epoch) {
    slot->walked += tested;
    slot->widest = std::max(slot->widest, tested);
    slot->used = cache.Tick();
  }
  return found;
}

}  // namespace key_index
