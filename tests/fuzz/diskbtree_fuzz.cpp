// Fuzz target of the disk B-tree and its file space manager opening an
// arbitrary file, then working on it as the input says.
//
// Input: byte 0 picks the tree's shape (bits 0-1), asks for a new header
// (bit 2) and opens the file read-only (bit 3); byte 1 is the number n of
// operation bytes that follow; the rest is the file. Each operation byte
// names a key (bits 2-7) and what to do with it (bits 0-1: find, insert,
// remove, replace the value). Then every entry is walked, the tree is
// measured, closed and opened once more.
//
// Whatever the file, nothing may crash, hang or read past the caller's
// keys (each lives in a heap block of its own size), and the default error
// handler stays in force: an error of bad data that escaped the tree's
// error scopes would end the run as a finding.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/rw/diskbtree.h"
#include "foundation/rw/registration.h"
#include "tests/support/test_support.h"

namespace {

struct Shape {
  std::uint32_t key_length;
  bool binary;
  std::uint32_t order;
  std::uint32_t min_fill;
  std::uint32_t cache;
  bool old_form;
};

// The record store's tree, small trees of each key kind, and the old form.
constexpr Shape kShapes[4] = {
    {16, false, 10, 10, 10, false},
    {4, true, 2, 2, 4, false},
    {8, false, 3, 1, 2, false},
    {6, false, 2, 2, 3, true},
};

// Key number n of a shape, in a heap block of exactly the bytes the tree may
// read: k bytes for binary keys, a short text and its NUL for text keys.
std::unique_ptr<char[]> MakeKey(const Shape& shape, unsigned n) {
  if (shape.binary) {
    auto key = std::make_unique<char[]>(shape.key_length);
    for (std::uint32_t i = 0; i < shape.key_length; ++i)
      key[i] = static_cast<char>(i + 1 == shape.key_length ? n : 0);
    return key;
  }
  char text[8];
  int length = std::snprintf(text, sizeof text, "k%02u", n);
  auto key = std::make_unique<char[]>(length + 1);
  std::memcpy(key.get(), text, length + 1);
  return key;
}

std::unique_ptr<RWDiskBTree> Open(RWFileSpaceManager& m, const Shape& shape, bool new_header) {
  return std::make_unique<RWDiskBTree>(&m, shape.cache, new_header, shape.key_length, shape.binary,
                                       RWDiskBTree::kNoOffset, shape.old_form, shape.order,
                                       shape.min_fill);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FoundationLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Shape& shape = kShapes[data[0] & 3];
  const bool new_header = (data[0] & 4) != 0;
  const char* mode = (data[0] & 8) != 0 ? "rb" : nullptr;
  std::size_t ops = std::min<std::size_t>(data[1], size - 2);
  const std::uint8_t* op = data + 2;
  testing_support::TempPath path("diskbtree-fuzz");
  testing_support::WriteAll(path.str(),
                            std::string(reinterpret_cast<const char*>(op + ops), size - 2 - ops));
  {
    RWFileSpaceManager m(path.c_str(), mode);
    auto tree = Open(m, shape, new_header);
    RWCString found;
    std::uint32_t value;
    for (std::size_t i = 0; i < ops; ++i) {
      std::unique_ptr<char[]> key = MakeKey(shape, op[i] >> 2);
      switch (op[i] & 3) {
        case 0:
          tree->Find(key.get(), found, value);
          break;
        case 1:
          tree->Insert(key.get(), static_cast<std::uint32_t>(i));
          break;
        case 2:
          tree->Remove(key.get(), found, value);
          break;
        default:
          tree->ReplaceValue(key.get(), static_cast<std::uint32_t>(i), value);
          break;
      }
    }
    tree->ForEach([](const char*, std::uint32_t, void*) {}, nullptr);
    tree->Count();
    tree->Height();
  }
  // What the first session left behind is outside data for the next.
  RWFileSpaceManager m(path.c_str(), mode);
  auto tree = Open(m, shape, false);
  tree->ForEach([](const char*, std::uint32_t, void*) {}, nullptr);
  tree->Clear();
  return 0;
}
