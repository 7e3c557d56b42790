// The out-of-memory handler: a reserve block lets the process survive an
// allocation failure. The handler frees the reserve, asks the driver server
// to free memory (its parked contexts first), makes a new reserve and lets
// the allocation try again; when there is no reserve left, or the server
// can free nothing, it reports the failure (ReportDriverError, level 2, id
// 101), which ends the process in order.
//
// Installed as the runtime's allocation-failure handler
// (std::set_new_handler) by the library's attach; removed by its detach,
// which puts back the handler that was there before (also when there was
// none).
//
// Threads: the handler runs on whatever thread failed to allocate; a lock of
// its own (made through the services) guards the reserve and the handler
// that was there before. It never holds that lock while it calls the
// driver server.
#pragma once

#include <cstddef>

// The reserve of the library's attach.
inline constexpr std::size_t kOutOfMemoryReserveBytes = 1024;

// Installs the handler (once) and makes a new reserve; a non-zero `size`
// becomes the reserve's size (1024 at first). Without services nothing is
// installed.
void InstallOutOfMemoryHandler(std::size_t size);
// Puts the handler before back, frees the reserve and deletes the lock.
void RemoveOutOfMemoryHandler();
// The handler itself, as the runtime calls it: 1 (try again), or the
// process ends.
int OutOfMemoryHandler(std::size_t size);

// The reserve's size, and whether a reserve is held now (for tests).
std::size_t OutOfMemoryReserveSize();
bool OutOfMemoryReserveHeld();
