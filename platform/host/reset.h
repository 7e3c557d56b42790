// Returns every host-service stand-in to its starting state, for tests: no
// added modules or mappings (our own module alone, loaded once, at its
// default path), an empty registry, no printers, no path mappings, no open
// handles (shared objects are unloaded, files closed; old handles are then
// refused), the host clock, WinExec answering 33 with an empty log, the
// windowing host emptied (no windows, timers, bitmaps, registered classes
// or messages, scripts, expectations or logs; its failure handler stays),
// the unique-id generator reseeded from the host's entropy,
// and every counter, log and failure knob cleared. Safe from any thread, but
// handles and export pointers other threads still hold become invalid.
#pragma once

namespace platform {

void ResetHostServices();

}  // namespace platform
