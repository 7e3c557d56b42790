// Helpers of the record-store tests: a temporary directory, the probe leaf
// registered with the factory for a suite, a store file's tree looked at
// from outside, and the objects a store hands back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/rw/diskbtree.h"
#include "foundation/rw/error.h"
#include "foundation/rw/filespace.h"
#include "foundation/rw/registration.h"
#include "store/persistent_composite_on_disk.h"
#include "store/store_format.h"
#include "tests/persist/probe.h"
#include "tests/support/host_fixture.h"

namespace store_testing {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("store-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string str() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline RWWString Wide(const std::string& utf8) {
  return RWWString::FromMultiByte(utf8.c_str());
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// The record-store tests' fixture: host services reset, the probe leaf
// registered, a directory of the test's own.
class StoreTest : public testing_support::HostFixture {
 protected:
  static constexpr RWClassRegistration kProbeClasses[] = {
      {&RWCreate<ProbeLeaf>, ProbeLeaf::kId, "ProbeLeaf"}};
  static void SetUpTestSuite() { RWRegisterClasses(kProbeClasses); }
  static void TearDownTestSuite() { RWUnregisterClasses(kProbeClasses); }

  // A store on `name` in the test's directory.
  std::unique_ptr<MPersistentCompositeOnDisk> Store(const std::string& name,
                                                    std::uint32_t delete_flag = 0) {
    return std::make_unique<MPersistentCompositeOnDisk>(Wide(dir.File(name)), delete_flag,
                                                        std::uint32_t{0});
  }

  TempDir dir;
};

// Puts a new probe leaf with `key` (and the given serial number, unless 0)
// and answers its serial number.
inline std::uint32_t PutLeaf(MPersistentObject& store, std::uint32_t key,
                             std::uint32_t serial = 0) {
  auto* leaf = new ProbeLeaf(key);
  if (serial != 0) leaf->SetSerialNumber(serial);
  GCountedPtr held(leaf);
  store.PutRecord(held);
  return leaf->SerialNumber();
}

// The keys of the top-level records' objects in order, read and left.
inline std::vector<std::uint32_t> RecordKeys(MPersistentObject& store) {
  std::vector<std::uint32_t> keys;
  std::unique_ptr<MRecordIterator> walk(static_cast<MRecordIterator*>(store.NewChildIterator()));
  while (walk && walk->Next()) {
    GCountedPtr object = walk->CurrentObject();
    keys.push_back(object ? object->Key() : 0xFFFFFFFFu);
  }
  return keys;
}

// A closed store file's tree, looked at read-only.
class RawTree {
 public:
  explicit RawTree(const std::string& path)
      : file_(path.c_str(), "rb"),
        tree_(&file_, record_store::kCacheNodes, false, record_store::kKeyLength, false,
              RWDiskBTree::kNoOffset, false, record_store::kOrder, record_store::kMinFill) {}

  bool Has(const char* key, std::uint32_t* value = nullptr) {
    RWCString found;
    std::uint32_t v;
    bool has = tree_.Find(key, found, v);
    if (value) *value = v;
    return has;
  }
  std::uint32_t Count() { return tree_.Count(); }

 private:
  RWErrorScope scope_;
  RWFileSpaceManager file_;
  RWDiskBTree tree_;
};

}  // namespace store_testing
