// ThreadPart<T>: the library's per-thread state, freed when its thread
// ends, whoever started the thread (CreateThread, std::thread, a host),
// without registering a destructor with the C library: that registration
// allocates, and the C library ends the process when it cannot.
//
// A ThreadPart is a trivially destructible thread_local holding a T, made
// in place at the thread's first Get and then chained into the thread's
// record. One pthread key (made with the first part; glibc sets the first
// 32 keys without allocating) frees the record when the thread ends: last
// made first, and a part made meanwhile too. The main thread's parts are
// never freed (exit runs no key's destructor); its thread-local storage
// keeps them reachable.
//
// Each shared object and program holds its own record and key (the names
// below are hidden, so that no copy binds to another's). A shared object that holds parts is never
// unloaded (libdrvui.so links -z nodelete): a thread's end runs its code.
//
//   thread_local platform::ThreadPart<Cache> t_cache;
//   Cache& cache = t_cache.Get();
//
// A part is its thread's alone. Get throws what T's constructor throws.
#pragma once

#include <pthread.h>

#include <new>

#pragma GCC visibility push(hidden)

namespace platform {
namespace thread_record {

// A made part, in its thread's chain.
struct Link {
  Link* next = nullptr;
  void (*end)(Link&) = nullptr;
};

// The calling thread's chain, last made first.
inline thread_local Link* t_chain = nullptr;

// The key's destructor, run by the thread that ends.
inline void EndChain(void*) {
  while (Link* link = t_chain) {
    t_chain = link->next;
    link->end(*link);
  }
}

// Never deleted: a thread that ends while the process exits still frees
// its parts.
class Key {
 public:
  Key() : made_(::pthread_key_create(&key_, &EndChain) == 0) {}

  // Gives the calling thread's chain to the key, once; a setting that
  // failed (a high key, memory short) is tried again at the next part.
  void Mark() {
    if (made_ && ::pthread_getspecific(key_) == nullptr) ::pthread_setspecific(key_, &t_chain);
  }

 private:
  pthread_key_t key_{};
  bool made_;
};

inline void Join(Link& link) {
  static Key key;
  link.next = t_chain;
  t_chain = &link;
  key.Mark();
}

}  // namespace thread_record

template <class T>
class ThreadPart : private thread_record::Link {
 public:
  constexpr ThreadPart() = default;
  ThreadPart(const ThreadPart&) = delete;
  ThreadPart& operator=(const ThreadPart&) = delete;

  // The calling thread's T, value-initialised at its first use.
  T& Get() {
    if (!made_) Make();
    return *std::launder(reinterpret_cast<T*>(bytes_));
  }

 private:
  void Make() {
    ::new (static_cast<void*>(bytes_)) T();
    made_ = true;
    end = &End;
    thread_record::Join(*this);
  }

  static void End(thread_record::Link& link) {
    auto& part = static_cast<ThreadPart&>(link);
    std::launder(reinterpret_cast<T*>(part.bytes_))->~T();
    part.made_ = false;
  }

  bool made_ = false;
  alignas(T) unsigned char bytes_[sizeof(T)]{};
};

}  // namespace platform

#pragma GCC visibility pop
