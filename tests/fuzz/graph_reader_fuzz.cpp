// Fuzz target of the object-graph readers. The first byte picks the form
// (RWFile, binary, portable text or headered stream); the rest is the data.
// Whatever the input, the reader must end without a crash or a hang, and
// every object it made must be freeable, each once. The default error
// handler stays in force: an error of bad data that escaped the readers'
// error scopes would end the run as a finding.
//
// The target frees what the reader answers and everything reachable from
// it; members that a collection refused on damaged input are the reader's
// to free. Leak detection is on: an object the reader made and left
// unreachable is a finding.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/rw/registration.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FoundationLoad();
  static TestItemRegistration test_items;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  RWCollectable* read = nullptr;
  switch (data[0] % 4) {
    case 0:
      read = testing_support::RestoreFromFileBytes(bytes);
      break;
    case 1:
      read = testing_support::RestoreFromStreamBytes(bytes, testing_support::Encoding::kBinary);
      break;
    case 2:
      read = testing_support::RestoreFromStreamBytes(bytes, testing_support::Encoding::kPortable);
      break;
    default:
      read = testing_support::RestoreFromStreamBytes(bytes, testing_support::Encoding::kHeadered);
      break;
  }
  testing_support::DeleteGraph(read);
  return 0;
}
