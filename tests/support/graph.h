// Helpers for object-graph tests: saving to and restoring from a temporary
// RWFile, and freeing a restored graph of library collections.
#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "foundation/rw/collect.h"
#include "foundation/rw/vstream.h"

namespace testing_support {

// The bytes SaveGraphToFile writes for `object` (through
// WriteCollectablePointerToFile, so null is allowed).
std::string SaveToFileBytes(const RWCollectable* object);

// Restores one pointer from a file holding `bytes`. `ok` tells whether the
// file was left without error and without a short read.
RWCollectable* RestoreFromFileBytes(const std::string& bytes, bool* ok = nullptr);

// The three encodings of the virtual streams.
enum class Encoding { kPortable, kBinary, kHeadered };
const char* EncodingName(Encoding encoding);
inline constexpr Encoding kAllEncodings[] = {Encoding::kPortable, Encoding::kBinary,
                                             Encoding::kHeadered};

// A virtual input stream of an encoding over `in`, which must outlive it.
std::unique_ptr<RWVirtualInputStream> MakeInputStream(std::istream& in, Encoding encoding);

// The bytes WriteCollectablePointerToStream writes in an encoding.
std::string SaveToStreamBytes(const RWCollectable* object, Encoding encoding);

// An input stream of an encoding over `in` (which must outlive it).
std::unique_ptr<RWVirtualInputStream> MakeInputStream(std::istream& in, Encoding encoding);

// Restores one pointer from `bytes`; `ok` tells whether the stream is left
// without the fail state.
RWCollectable* RestoreFromStreamBytes(const std::string& bytes, Encoding encoding,
                                      bool* ok = nullptr);

// Restores one pointer from a graph reader's fuzz input: its first byte
// picks the file or a stream encoding (modulo 4: file, binary, portable,
// headered), the rest is the data. `around`, if any, runs the restore
// alone (the file or stream made before it).
RWCollectable* RestoreFromGraphInput(
    const std::string& input,
    const std::function<void(const std::function<void()>& restore)>& around = nullptr);

// Deletes an object and everything reachable from it through library
// collections and associations, each object once.
void DeleteGraph(RWCollectable* root);

}  // namespace testing_support
