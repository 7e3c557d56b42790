// Where the model tests store graphs: an RWFile, or a virtual stream of one
// encoding. Saving, reading back through the model's extraction operations,
// and the corruption checks that every stored form of the model gets
// (truncation at every byte, seeded random byte changes), run with the
// default error handler in force. Used by the tests of every subsystem
// above the persistent model.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "persist/persistent_object.h"
#include "tests/persist/probe.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace model_testing {

enum class Medium { kFile, kPortable, kBinary, kHeadered };
inline constexpr Medium kAllMedia[] = {Medium::kFile, Medium::kPortable, Medium::kBinary,
                                       Medium::kHeadered};

inline testing_support::Encoding EncodingOf(Medium medium) {
  using testing_support::Encoding;
  return medium == Medium::kPortable ? Encoding::kPortable
         : medium == Medium::kBinary ? Encoding::kBinary
                                     : Encoding::kHeadered;
}

inline const char* MediumName(Medium medium) {
  return medium == Medium::kFile ? "file" : testing_support::EncodingName(EncodingOf(medium));
}

inline std::string Save(const RWCollectable* object, Medium medium) {
  return medium == Medium::kFile ? testing_support::SaveToFileBytes(object)
                                 : testing_support::SaveToStreamBytes(object, EncodingOf(medium));
}

struct Restored {
  MPersistentObject* object;
  bool ok;  // the file without error, the stream without its fail state
};

// Reads one reference through the model's extraction operations.
inline Restored Restore(const std::string& bytes, Medium medium) {
  MPersistentObject* object = nullptr;
  if (medium == Medium::kFile) {
    testing_support::TempPath path("model");
    testing_support::WriteAll(path.str(), bytes);
    RWFile file(path.c_str(), "rb");
    MPersistentObject::ReadPointerFromFile(file, object);
    return {object, !file.Error()};
  }
  std::istringstream in(bytes);
  std::unique_ptr<RWVirtualInputStream> stream;
  {
    // The headered stream reads its header at construction.
    RWErrorScope header;
    stream = testing_support::MakeInputStream(in, EncodingOf(medium));
  }
  MPersistentObject::ReadPointerFromStream(*stream, object);
  return {object, !stream->Fail()};
}

// Every shorter prefix of the stored bytes fails to read, in every medium;
// whatever was read is freed.
inline void ExpectEveryTruncationFails(const MPersistentObject& original) {
  for (Medium medium : kAllMedia) {
    std::string whole = Save(&original, medium);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      Restored back = Restore(whole.substr(0, n), medium);
      EXPECT_FALSE(back.ok) << MediumName(medium) << " at " << n;
      FreeRestored(back.object);  // everything read is reachable from it
    }
  }
}

// `rounds` copies per medium with one to three bytes changed at random:
// each read ends without a crash, and what it answers can be walked.
inline void RestoreRandomFlips(const MPersistentObject& original, std::mt19937& rng, int rounds) {
  for (Medium medium : kAllMedia) {
    std::string whole = Save(&original, medium);
    for (int round = 0; round < rounds; ++round) {
      std::string damaged = whole;
      for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips) {
        damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
      }
      Restored back = Restore(damaged, medium);
      if (back.object) back.object->NodeCount();
      FreeRestored(back.object);
    }
  }
}

}  // namespace model_testing
