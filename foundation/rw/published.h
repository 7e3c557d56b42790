// RWPublished<T>: a pointer to an immutable object that a writer replaces
// now and then and that any number of readers use without a lock.
//
// A reader announces the object it is about to use in a slot of its own
// thread (a hazard pointer), then checks that the object is still the
// published one; a writer that replaces an object waits until no slot
// names it before it frees it. Readers hold an object only for a look-up
// (no callback runs while one is held), so the wait is short.
//
// Ownership: the publication owns the object it points to. Thread use:
// readers on any thread; writers serialised by the caller. A thread holds
// at most one reading at a time: a nested reading gets nothing (Get() is
// null and Held() false), and the caller takes its slower locked path.
#pragma once

#include <atomic>

struct RWHazardSlot;

// The reading side, shared by every publication.
class RWPublishedReading {
 public:
  // Protects what `source` points to now (possibly null).
  explicit RWPublishedReading(const std::atomic<const void*>& source);
  ~RWPublishedReading();
  RWPublishedReading(const RWPublishedReading&) = delete;
  RWPublishedReading& operator=(const RWPublishedReading&) = delete;

  // False when this thread could not have a slot (a nested reading, or no
  // memory for one): Get() is then null and proves nothing.
  bool Held() const { return slot_ != nullptr; }
  const void* Get() const { return object_; }

  // Waits until no reading holds `object`.
  static void WaitForReaders(const void* object);

 private:
  RWHazardSlot* slot_ = nullptr;
  const void* object_ = nullptr;
};

template <class T>
class RWPublished {
 public:
  RWPublished() = default;
  ~RWPublished() { delete Get(); }
  RWPublished(const RWPublished&) = delete;
  RWPublished& operator=(const RWPublished&) = delete;

  // A reading of the published object; see RWPublishedReading::Held.
  class Reader {
   public:
    explicit Reader(const RWPublished& published) : reading_(published.pointer_) {}
    bool Held() const { return reading_.Held(); }
    const T* Get() const { return static_cast<const T*>(reading_.Get()); }

   private:
    RWPublishedReading reading_;
  };

  // Publishes `fresh` (which the publication then owns), waits until no
  // reader holds the object it replaces, and frees that.
  // REQUIRES: writers are serialised.
  void Publish(const T* fresh) {
    const void* old = pointer_.exchange(fresh, std::memory_order_seq_cst);
    if (!old) return;
    RWPublishedReading::WaitForReaders(old);
    delete static_cast<const T*>(old);
  }

  // The published object, for its writer.
  const T* Get() const { return static_cast<const T*>(pointer_.load(std::memory_order_acquire)); }

 private:
  std::atomic<const void*> pointer_{nullptr};
};
