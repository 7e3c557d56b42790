#include "fonts/keyed_pool.h"

#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_object.h"
#include "persist/stored_form.h"

namespace {

// The least bytes one stored entry takes: its key and a nil reference.
constexpr std::uint32_t kLeastEntryBytes = 6;

struct Pair {
  GPersistableULong* key;
  MPersistentObject* entry;
};

// Every pair in key order.
std::vector<Pair> Pairs(const RWBTreeDictionary& dictionary) {
  std::vector<Pair> pairs;
  dictionary.ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* datum) {
        static_cast<std::vector<Pair>*>(datum)->push_back(
            {static_cast<GPersistableULong*>(key), static_cast<MPersistentObject*>(value)});
      },
      &pairs);
  return pairs;
}

bool IsModelObject(const RWCollectable* object) {
  return dynamic_cast<const MPersistentObject*>(object) != nullptr;
}

bool Writes(RWVirtualOutputStream& stream) {
  return stream.Good();
}
bool Writes(RWFile& file) {
  return !file.Error();
}
bool Reads(RWVirtualInputStream& stream) {
  return stream.Good();
}
bool Reads(RWFile& file) {
  return !file.Error() && !file.Eof();
}

RWCollectable* ReadEntry(RWVirtualInputStream& stream) {
  return ReadCheckedPointerFromStream(stream, &IsModelObject);
}
RWCollectable* ReadEntry(RWFile& file) {
  return ReadCheckedPointerFromFile(file, &IsModelObject);
}

void MarkFailed(RWVirtualInputStream& stream) {
  stream.SetState(stream.State() | RWStreamState::kFail);
}
void MarkFailed(RWFile& file) {
  file.MarkError();
}

}  // namespace

GKeyedPool::GKeyedPool(Policy policy, EntryCheck check) : policy_(policy), check_(check) {}

GKeyedPool::~GKeyedPool() {
  // Each key goes as the walk passes it: a destructor gathers nothing.
  dictionary_.ApplyToKeyAndValue([](RWCollectable* key, RWCollectable*, void*) { delete key; },
                                 nullptr);
  dictionary_.Clear();
}

std::uint32_t GKeyedPool::Insert(std::uint32_t key, MPersistentObject* entry) {
  if (!entry || Find(key)) return 0;
  if (released_.capacity() <= Count()) {
    try {
      released_.reserve(2 * std::size_t{Count()} + 1);
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  GPersistableULong* stored = RWNew<GPersistableULong>(key);
  if (!stored) return 0;
  if (!dictionary_.InsertKeyAndValue(stored, entry)) {
    delete stored;
    return 0;
  }
  return 1;
}

MPersistentObject* GKeyedPool::Remove(std::uint32_t key) {
  GPersistableULong probe(key);
  RWCollectable* value = nullptr;
  RWCollectable* stored = dictionary_.RemoveKeyAndValue(&probe, value);
  if (!stored) return nullptr;
  delete stored;
  return static_cast<MPersistentObject*>(value);
}

MPersistentObject* GKeyedPool::Find(std::uint32_t key) const {
  GPersistableULong probe(key);
  return static_cast<MPersistentObject*>(dictionary_.FindValue(&probe));
}

std::uint32_t GKeyedPool::Count() const {
  return static_cast<std::uint32_t>(dictionary_.Count());
}

std::vector<std::uint32_t> GKeyedPool::GetKeys() const {
  std::vector<std::uint32_t> keys;
  for (const Pair& pair : Pairs(dictionary_))
    keys.push_back(pair.key->Value());
  return keys;
}

void GKeyedPool::ReleasePass() {
  if (!policy_) return;
  released_.clear();
  dictionary_.ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* datum) {
        auto* pool = static_cast<GKeyedPool*>(datum);
        // Within the room Insert made: no allocation.
        if (pool->policy_(nullptr, static_cast<MPersistentObject*>(value), kReleaseEvent) == 1)
          pool->released_.push_back(static_cast<GPersistableULong*>(key)->Value());
      },
      this);
  for (std::uint32_t key : released_)
    delete Remove(key);
  released_.clear();
}

void GKeyedPool::TakeAll(void (*take)(MPersistentObject* entry, void* datum), void* datum) {
  struct Taking {
    void (*take)(MPersistentObject*, void*);
    void* datum;
  } taking{take, datum};
  // Each key and entry go as the walk passes them; the records after.
  dictionary_.ApplyToKeyAndValue(
      [](RWCollectable* key, RWCollectable* value, void* pass) {
        auto* taking = static_cast<Taking*>(pass);
        delete key;
        taking->take(static_cast<MPersistentObject*>(value), taking->datum);
      },
      &taking);
  dictionary_.Clear();
}

template <class Out>
void GKeyedPool::Save(Out& out, Filter filter, void* datum) {
  std::vector<Pair> pairs = Pairs(dictionary_);
  std::uint32_t count = 0;
  for (const Pair& pair : pairs)
    count += !filter || filter(pair.entry, kCountPhase, datum) == 1;
  if (!Writes(out)) return;
  PutItem(out, count);
  if (count == 0) return;
  for (const Pair& pair : pairs) {
    if (filter && filter(pair.entry, kWritePhase, datum) != 1) continue;
    // The written phase ends what the write phase began (a reader's lock)
    // also when the write runs out of memory.
    struct Written {
      Filter filter;
      MPersistentObject* entry;
      void* datum;
      ~Written() {
        if (filter) filter(entry, kWrittenPhase, datum);
      }
    } written{filter, pair.entry, datum};
    if (Writes(out)) {
      PutItem(out, pair.key->Value());
      PutReference(out, pair.entry);
    }
  }
}

std::uint32_t GKeyedPool::SaveToStream(RWVirtualOutputStream& stream, Filter filter, void* datum) {
  Save(stream, filter, datum);
  return Writes(stream) ? 1 : 0;
}

std::uint32_t GKeyedPool::SaveToFile(RWFile& file, Filter filter, void* datum) {
  Save(file, filter, datum);
  return Writes(file) ? 1 : 0;
}

void GKeyedPool::Place(std::uint32_t key, MPersistentObject* entry) {
  MPersistentObject* existing = Find(key);
  if (!existing) {
    if (!Insert(key, entry)) {
      delete entry;
      return;
    }
    if (policy_) policy_(entry, nullptr, kRestoredNewEvent);
    return;
  }
  if (policy_ && policy_(entry, existing, kRestoredPresentEvent) != 1) {
    delete entry;
    return;
  }
  delete Remove(key);
  if (!Insert(key, entry)) delete entry;
}

template <class In>
bool GKeyedPool::Restore(In& in) {
  RWErrorScope scope;
  std::uint32_t count = 0;
  if (!Reads(in) || !GetItem(in, count)) return false;
  if (!RemainingMayHold(in, count, kLeastEntryBytes)) {
    MarkFailed(in);
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t key = 0;
    if (!GetItem(in, key)) return false;
    std::unique_ptr<MPersistentObject> entry(static_cast<MPersistentObject*>(ReadEntry(in)));
    if (!Reads(in)) return false;
    if (!entry || (check_ && !check_(entry.get()))) {
      MarkFailed(in);
      return false;
    }
    Place(key, entry.release());
  }
  return true;
}

std::uint32_t GKeyedPool::RestoreFromStream(RWVirtualInputStream& stream) {
  return Restore(stream) && Reads(stream) ? 1 : 0;
}

std::uint32_t GKeyedPool::RestoreFromFile(RWFile& file) {
  return Restore(file) && !file.Error() ? 1 : 0;
}
