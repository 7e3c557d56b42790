// Fuzz target of the object-graph readers. The first byte picks the form
// (RWFile, binary, portable text or headered stream: RestoreFromGraphInput);
// the rest is the data.
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
  const std::string input(reinterpret_cast<const char*>(data), size);
  testing_support::DeleteGraph(testing_support::RestoreFromGraphInput(input));
  return 0;
}
