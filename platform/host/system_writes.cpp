#include "platform/host/system_writes.h"

#include <string>

#include "platform/host/host_state.h"

namespace platform {
namespace {

struct WriteState {
  WriteRefusals refusals;
  std::uint64_t counted = 0;
  std::u16string refused_thing;  // set at write `refusals.thing`
  bool thing_set = false;
};

WriteState& State() {
  static WriteState state;
  return state;
}

}  // namespace

void SetWriteRefusals(const WriteRefusals& refusals) {
  host_internal::Lock lock(host_internal::Mutex());
  State() = WriteState{};
  State().refusals = refusals;
}

std::uint64_t CountedWrites() {
  host_internal::Lock lock(host_internal::Mutex());
  return State().counted;
}

namespace host_internal {

DWORD RefusedWriteLocked(std::u16string_view thing) {
  WriteState& state = State();
  const std::uint64_t index = state.counted + 1;
  const WriteRefusals& refusals = state.refusals;
  // The thing's name is kept before the write counts: memory that runs out
  // fails the write uncounted.
  if (refusals.thing != 0 && index == refusals.thing) {
    state.refused_thing.assign(thing);
    state.thing_set = true;
  }
  state.counted = index;
  const bool in_run =
      refusals.first != 0 && index >= refusals.first && index - refusals.first < refusals.count;
  if (in_run || (state.thing_set && thing == state.refused_thing)) return refusals.error;
  return kErrorSuccess;
}

void ResetWritesLocked() {
  State() = WriteState{};
}

}  // namespace host_internal
}  // namespace platform
