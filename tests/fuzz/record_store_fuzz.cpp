// Fuzz target of the record store's reader (built as a libFuzzer program by
// clang, and compiled into the corpus replay test): a store file, opened as
// it is, its records read, taken and replaced, then opened again and
// emptied. No crash, hang, leak or error past the store's state may follow
// (the default error handler is in force).
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "persist/persistable_integer.h"
#include "store/load.h"
#include "store/persistent_composite_on_disk.h"
#include "tests/support/test_support.h"

namespace {

// Handles restored from a damaged index open (and may delete) files beside
// the store's: it is alone in a directory of its own.
std::filesystem::path g_directory;

void Walk(MPersistentCompositeOnDisk& store, bool take_only) {
  std::unique_ptr<MRecordIterator> walk(static_cast<MRecordIterator*>(store.NewChildIterator()));
  for (std::uint32_t i = 0; walk && i < 64 && walk->Next(); ++i) {
    GPersistableULong replacement(i);
    if (take_only || i % 3 == 1) walk->TakeCurrent();
    if (!take_only && i % 3 == 0) walk->CurrentObject();
    if (!take_only && i % 3 == 2) walk->ReplaceCurrentObject(&replacement);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StoreLoad();
  std::string pattern = (std::filesystem::temp_directory_path() / "storefuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_directory = pattern;
  std::atexit([] { std::filesystem::remove_all(g_directory); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::filesystem::remove_all(g_directory);
  std::filesystem::create_directory(g_directory);
  const RWWString name = RWWString::FromMultiByte((g_directory / "store.fpg").c_str());
  testing_support::WriteAll((g_directory / "store.fpg").string(),
                            std::string(reinterpret_cast<const char*>(data), size));
  {
    MPersistentCompositeOnDisk store(name, 0, 0);
    Walk(store, false);
    store.FindPtrByKey(1);
    store.TakeRecordByClassId(kGPersistableULongId);
  }
  MPersistentCompositeOnDisk again(name, 0, 0);
  Walk(again, true);
  return 0;
}
