#include "foundation/rw/collection.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "foundation/rw/file.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/storetable.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"

namespace {

// The innermost comparison open on this thread.
thread_local const RWComparisonGuard* t_comparing = nullptr;

}  // namespace

RWComparisonGuard::RWComparisonGuard(const void* a, const void* b)
    : a_(a), b_(b), outer_(t_comparing) {
  for (const RWComparisonGuard* open = outer_; open && !reentered_; open = open->outer_)
    reentered_ = open->a_ == a && open->b_ == b;
  if (!reentered_) t_comparing = this;
}

RWComparisonGuard::~RWComparisonGuard() {
  if (!reentered_) t_comparing = outer_;
}

RWClassID RWCollectionBase::ClassId() const {
  return kRWCollectionBaseId;
}

RWSize RWCollectionBase::StoredSize() const {
  RWSize size = 4;
  ForEach([](RWCollectable* member,
             void* datum) { *static_cast<RWSize*>(datum) += member->GraphStoreSize(); },
          &size);
  return size;
}

void RWCollectionBase::SaveToFile(RWFile& file) const {
  file.WriteUInt(Count());
  ForEach(
      [](RWCollectable* member, void* datum) {
        auto& f = *static_cast<RWFile*>(datum);
        if (!f.Error()) member->SaveGraphToFile(f);
      },
      &file);
}

void RWCollectionBase::SaveToStream(RWVirtualOutputStream& stream) const {
  stream.PutUInt(Count());
  if (!stream.Good()) return;
  ForEach(
      [](RWCollectable* member, void* datum) {
        auto& s = *static_cast<RWVirtualOutputStream*>(datum);
        if (s.Good()) member->SaveGraphToStream(s);
      },
      &stream);
}

bool RWCollectionBase::Takes(RWCollectable* member) {
  // A member the collection does not take (an equal one is there, or this
  // very one in a set) goes back to the read, which frees it unless the
  // graph holds it elsewhere.
  const RWSize before = Count();
  return Insert(member) == member && Count() != before;
}

void RWCollectionBase::RestoreFromStream(RWVirtualInputStream& stream) {
  RWReadScope scope(stream);
  RWReadTableKeeper keeper(&stream);
  Clear();
  std::uint32_t count = 0;
  stream.GetUInt(count);
  for (std::uint32_t i = 0; i < count && stream.Good(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromStream(stream, member);
    if (member && !Takes(member)) RWRefuseRestored(stream, member);
  }
}

void RWCollectionBase::RestoreFromFile(RWFile& file) {
  RWReadScope scope(file);
  RWReadTableKeeper keeper(&file);
  Clear();
  std::uint32_t count;
  if (!file.ReadUInt(count)) return;
  // The count comes from the file: the loop ends with the data, and a
  // failed read never inserts anything.
  for (std::uint32_t i = 0; i < count && !file.Error() && !file.Eof(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromFile(file, member);
    if (member && !Takes(member)) RWRefuseRestored(file, member);
  }
}

namespace {

// Runs of one bucket are short (a few members each); a longer one is
// sorted instead of searched.
constexpr RWSize kShortRun = 16;

// Within one bucket's run, clears every pointer that occurred earlier in
// the run, keeping first occurrences in place; a long run is sorted through
// `scratch`.
void ClearRepeats(RWCollectable** run, RWSize n, std::pair<RWCollectable*, RWSize>* scratch) {
  if (n <= kShortRun) {
    for (RWSize i = 1; i < n; ++i) {
      if (std::find(run, run + i, run[i]) != run + i) run[i] = nullptr;
    }
    return;
  }
  for (RWSize i = 0; i < n; ++i)
    scratch[i] = {run[i], i};
  std::sort(scratch, scratch + n);
  for (RWSize i = 1; i < n; ++i) {
    if (scratch[i].first == scratch[i - 1].first) run[scratch[i].second] = nullptr;
  }
}

// a % d without a division (Lemire's method; exact for 32-bit a and d).
class FastModulo {
 public:
  explicit FastModulo(std::uint32_t d) : m_(~std::uint64_t{0} / d + 1), d_(d) {}
  std::uint32_t operator()(std::uint32_t a) const {
    std::uint64_t low = m_ * a;
    return static_cast<std::uint32_t>((static_cast<unsigned __int128>(low) * d_) >> 64);
  }

 private:
  std::uint64_t m_;
  std::uint32_t d_;
};

}  // namespace

bool RWCollectionBase::DeleteDistinct(RWCollectable* const* objects, RWSize count, RWSize buckets) {
  if (count == 0) return true;
  if (buckets == 0) buckets = 2;
  // A stable counting sort by bucket, then each bucket's repeats dropped.
  auto ends = RWNewArray<RWSize>(std::uint64_t{buckets} + 1);
  auto order = RWNewArrayForOverwrite<RWCollectable*>(count);
  if (!ends || !order) return false;
  const FastModulo modulo(buckets);
  auto bucket_of = [&modulo](const RWCollectable* p) { return modulo(RWAddressHash(p)); };
  for (RWSize i = 0; i < count; ++i)
    ++ends[bucket_of(objects[i]) + 1];
  RWSize longest = 0;
  for (RWSize b = 0; b < buckets; ++b) {
    longest = std::max(longest, ends[b + 1]);
    ends[b + 1] += ends[b];
  }
  // ends[b] is where bucket b starts; filling moves it to where b ends.
  for (RWSize i = 0; i < count; ++i)
    order[ends[bucket_of(objects[i])]++] = objects[i];
  std::unique_ptr<std::pair<RWCollectable*, RWSize>[]> scratch;
  if (longest > kShortRun) {
    scratch = RWNewArrayForOverwrite<std::pair<RWCollectable*, RWSize>>(longest);
    if (!scratch) return false;
  }
  for (RWSize b = 0, start = 0; b < buckets; start = ends[b++])
    ClearRepeats(order.get() + start, ends[b] - start, scratch.get());
  ends.reset();
  // The order is the hash's, not memory's: fetch a few objects ahead.
  constexpr RWSize kAhead = 8;
  for (RWSize i = 0; i < count; ++i) {
    if (i + kAhead < count && order[i + kAhead]) __builtin_prefetch(order[i + kAhead], 1);
    delete order[i];
  }
  return true;
}

void RWCollectionBase::ClearAndDelete() {
  // An object held several times is deleted once. Nothing is deleted, and
  // the collection stays as it was, when the gathering cannot be had.
  RWSize count = Count();
  auto members = RWNewArrayForOverwrite<RWCollectable*>(count);
  if (count && !members) return;
  struct Gather {
    RWCollectable** next;
    RWCollectable** end;
  } gather{members.get(), members.get() + count};
  ForEach(
      [](RWCollectable* member, void* g) {
        auto* gather = static_cast<Gather*>(g);
        if (gather->next != gather->end) *gather->next++ = member;
      },
      &gather);
  if (!DeleteDistinct(members.get(), static_cast<RWSize>(gather.next - members.get()), count / 4))
    return;
  Clear();
}

bool RWCollectionBase::Contains(const RWCollectable* object) const {
  return Find(object) != nullptr;
}

bool RWCollectionBase::RemoveAndDelete(const RWCollectable* object) {
  RWCollectable* removed = Remove(object);
  delete removed;
  return removed != nullptr;
}

void RWCollectionBase::InsertAll(const RWCollectionBase& other) {
  other.InsertInto(*this);
}

void RWCollectionBase::RemoveAll(const RWCollectionBase& other) {
  other.ForEach([](RWCollectable* member,
                   void* self) { static_cast<RWCollectionBase*>(self)->Remove(member); },
                this);
}

void RWCollectionBase::InsertInto(RWCollectionBase& target) const {
  ForEach([](RWCollectable* member, void* t) { static_cast<RWCollectionBase*>(t)->Insert(member); },
          &target);
}

void RWCollectionBase::InsertCopiesInto(RWCollectionBase& target) const {
  ForEach(
      [](RWCollectable* member, void* t) {
        if (RWCollectable* copy = member->CreateCopy())
          static_cast<RWCollectionBase*>(t)->Insert(copy);
      },
      &target);
}

RWCollectionBase* RWCollectionBase::Select(RWTestCollectable test, const void* datum) const {
  RWCollectable* made = CreateDefault();
  auto* result = dynamic_cast<RWCollectionBase*>(made);
  if (!result) {
    delete made;
    return nullptr;
  }
  struct Selection {
    RWTestCollectable test;
    const void* datum;
    RWCollectionBase* result;
  } selection{test, datum, result};
  ForEach(
      [](RWCollectable* member, void* s) {
        auto* sel = static_cast<Selection*>(s);
        if (sel->test(member, sel->datum)) sel->result->Insert(member);
      },
      &selection);
  return result;
}
