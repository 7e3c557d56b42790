// Fuzz target of the record store's reader: the input is a store file,
// opened as it is. Its records are walked, read, taken and replaced, the
// store is closed (which writes the index back unless the store is in
// error) and opened once more to take what is left. Whatever the file
// holds, this must end without a crash, a hang, a leak (leak detection is
// on), or an error reaching the process-wide handler (the default one is in
// force): damage shows in the store's state only.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "persist/ondisk/load.h"
#include "persist/ondisk/persistent_composite_on_disk.h"
#include "persist/persistable_integer.h"
#include "tests/support/test_support.h"

namespace {

// The most records one pass looks at: a damaged index may list many.
constexpr int kMostRecords = 64;

// The store's file, alone in a directory of the target's own: handles
// restored from a damaged index open (and may delete) files beside it.
std::string g_directory;
std::string g_path;

void RemoveDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
}

RWWString Wide(const std::string& path) {
  return RWWString::FromMultiByte(RWCString(path.c_str()));
}

// Walks the store's top-level records, reading, taking and replacing them
// in turn (or only taking them).
void Walk(MPersistentCompositeOnDisk& store, bool take_only) {
  std::unique_ptr<MRecordIterator> walk(static_cast<MRecordIterator*>(store.NewChildIterator()));
  for (int i = 0; walk && i < kMostRecords && walk->Next(); ++i) {
    if (take_only || i % 3 == 1) {
      walk->TakeCurrent();
    } else if (i % 3 == 0) {
      walk->CurrentObject();
    } else {
      GPersistableULong replacement(static_cast<std::uint32_t>(i));
      walk->ReplaceCurrentObject(&replacement);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PersistOnDiskLoad();
  std::string pattern = (std::filesystem::temp_directory_path() / "storefuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_directory = pattern;
  g_path = g_directory + "/store.fpg";
  std::atexit(RemoveDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(g_directory, ignored))
    std::filesystem::remove(entry.path(), ignored);
  testing_support::WriteAll(g_path, std::string(reinterpret_cast<const char*>(data), size));
  {
    MPersistentCompositeOnDisk store(Wide(g_path), 0, 0);
    store.Status();
    Walk(store, false);
    const std::uint32_t one = 1;
    store.FindPtrByKey(one);
    store.TakeRecordByClassId(kGPersistableULongId);
    store.EntryCount();
  }
  MPersistentCompositeOnDisk again(Wide(g_path), 0, 0);
  Walk(again, true);
  return 0;
}
