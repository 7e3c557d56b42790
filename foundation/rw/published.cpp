#include "foundation/rw/published.h"

#include <new>
#include <thread>

#include "foundation/rw/support.h"
#include "platform/thread_part.h"

// One thread's announcement. Slots are linked once and never freed; a slot
// whose thread ended is taken again by a new thread. Each has a cache line
// of its own, so that threads announcing at once do not slow each other.
struct alignas(64) RWHazardSlot {
  std::atomic<const void*> hazard{nullptr};
  std::atomic<bool> taken{true};
  RWHazardSlot* next = nullptr;  // fixed once linked
};

namespace {

std::atomic<RWHazardSlot*> g_slots{nullptr};

// The calling thread's slot and whether it holds a reading. Plain thread
// locals, so that a reading reaches them directly; the slot goes back to
// the free ones through the thread's SlotOwner part when the thread ends.
thread_local RWHazardSlot* t_slot = nullptr;
thread_local bool t_reading = false;

struct SlotOwner {
  ~SlotOwner() {
    if (t_slot) t_slot->taken.store(false, std::memory_order_release);
    t_slot = nullptr;
    // What the thread still reads on its way out (other parts' destructors)
    // takes the locked path: the slot may be another's now.
    t_reading = true;
  }
};

// A free slot, or a new one; null when there is no memory for one (the
// reader then takes its locked path, so nothing is raised).
RWHazardSlot* TakeSlot() {
  thread_local platform::ThreadPart<SlotOwner> owner;  // gives the slot back at thread exit
  owner.Get();
  for (RWHazardSlot* s = g_slots.load(std::memory_order_acquire); s; s = s->next) {
    bool expected = false;
    if (!s->taken.load(std::memory_order_relaxed) &&
        s->taken.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
      return s;
    }
  }
  auto* slot = new (kRWNoThrow) RWHazardSlot;
  if (!slot) return nullptr;
  RWHazardSlot* head = g_slots.load(std::memory_order_relaxed);
  do {
    slot->next = head;
  } while (!g_slots.compare_exchange_weak(head, slot, std::memory_order_release,
                                          std::memory_order_relaxed));
  return slot;
}

}  // namespace

RWPublishedReading::RWPublishedReading(const std::atomic<const void*>& source) {
  if (t_reading) return;
  if (!t_slot) t_slot = TakeSlot();
  if (!t_slot) return;
  t_reading = true;
  slot_ = t_slot;
  // Announce, then make sure the announced object is still the published
  // one: a writer that replaced it meanwhile may not have seen the slot.
  const void* object = source.load(std::memory_order_acquire);
  for (;;) {
    slot_->hazard.store(object, std::memory_order_seq_cst);
    const void* now = source.load(std::memory_order_seq_cst);
    if (now == object) break;
    object = now;
  }
  object_ = object;
}

RWPublishedReading::~RWPublishedReading() {
  if (!slot_) return;
  slot_->hazard.store(nullptr, std::memory_order_release);
  t_reading = false;
}

void RWPublishedReading::WaitForReaders(const void* object) {
  for (RWHazardSlot* s = g_slots.load(std::memory_order_acquire); s; s = s->next) {
    while (s->hazard.load(std::memory_order_seq_cst) == object)
      std::this_thread::yield();
  }
}
