// The memory of the system's own services. On the system, the registry,
// the spooler and its forms keep what they hold in the spooler's process
// and the kernel: what they allocate never reaches this process's new
// handler, and a shortage there is answered by the service as an error
// code (kErrorNotEnoughMemory), never by an exception or the library's
// fatal end. The stand-ins keep that promise: each of their calls marks the
// calling thread while it runs (SystemMemoryScope), answers a
// std::bad_alloc of its own as error 8, and an allocator that treats the
// process's memory (the library's new handler, the tests' failing
// allocator) asks InSystemMemory() and leaves such allocations alone.
//
// Threads: the mark is the calling thread's.
#pragma once

namespace platform {

// Whether the calling thread is inside a call of the system's services.
bool InSystemMemory() noexcept;

namespace host_internal {

// Marks the calling thread for its life; nests.
class SystemMemoryScope {
 public:
  SystemMemoryScope() noexcept;
  ~SystemMemoryScope();
  SystemMemoryScope(const SystemMemoryScope&) = delete;
  SystemMemoryScope& operator=(const SystemMemoryScope&) = delete;
};

}  // namespace host_internal
}  // namespace platform
