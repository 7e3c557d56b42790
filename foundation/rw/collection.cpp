#include "foundation/rw/collection.h"

#include <vector>

#include "foundation/rw/file.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"

namespace {

struct Comparing {
  const void* a;
  const void* b;
};
thread_local std::vector<Comparing> t_comparing;

}  // namespace

RWComparisonGuard::RWComparisonGuard(const void* a, const void* b) : reentered_(false) {
  for (const Comparing& c : t_comparing) {
    if (c.a == a && c.b == b) reentered_ = true;
  }
  if (!reentered_) t_comparing.push_back({a, b});
}

RWComparisonGuard::~RWComparisonGuard() {
  if (!reentered_) t_comparing.pop_back();
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

void RWCollectionBase::RestoreFromStream(RWVirtualInputStream& stream) {
  RWReadScope scope(stream);
  Clear();
  std::uint32_t count = 0;
  stream.GetUInt(count);
  for (std::uint32_t i = 0; i < count && stream.Good(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromStream(stream, member);
    if (member) Insert(member);
  }
}

void RWCollectionBase::RestoreFromFile(RWFile& file) {
  RWReadScope scope(file);
  Clear();
  std::uint32_t count;
  if (!file.ReadUInt(count)) return;
  // The count comes from the file: the loop ends with the data, and a
  // failed read never inserts anything.
  for (std::uint32_t i = 0; i < count && !file.Error() && !file.Eof(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromFile(file, member);
    if (member) Insert(member);
  }
}

void RWCollectionBase::ClearAndDelete() {
  // An object held several times is deleted once.
  RWIdentitySet distinct(Count() / 4);
  ForEach(
      [](RWCollectable* member, void* set) { static_cast<RWIdentitySet*>(set)->Insert(member); },
      &distinct);
  distinct.ForEach([](RWCollectable* member, void*) { delete member; }, nullptr);
  distinct.Clear();
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
