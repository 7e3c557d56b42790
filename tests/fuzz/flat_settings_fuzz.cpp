// Fuzz target of the flat settings record reader. The first byte picks the
// numbers mode (bit 0) and whether the 20 marker bytes are put in front of
// the rest (bit 1), so that the fuzzer need not find them; the rest is the
// record. It is decoded against a template built from a driver data whose
// job settings hold a settings tree with every node type and the keys the
// reader treats specially; whatever comes back is written again and freed.
// The default error handler stays in force: an error of bad data that
// escaped the reader's error scope would end the run as a finding.
//
// Leak detection is on for every input, the object graphs inside a record
// (association values, font lists) included.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <memory>
#include <string>

#include "config/attributes/value_attribute.h"
#include "output/core/load.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"
#include "tests/support/test_support.h"

namespace {

FakeDriverData* Printer() {
  static FakeDriverData* printer = [] {
    auto* made = new FakeDriverData;
    GAttributeComposite* job = made->GetJobSettings();
    job->AddChild(support::BuildSettingsTree(362, 2));
    for (std::uint32_t key : {360u, 63u, 701u, 314u, 378u, 276u, 375u, 1102u}) {
      auto* node = new GAttributeComposite(key);
      node->AddChild(new GValueAttribute(1, key + 1));
      job->AddChild(node);
    }
    return made;
  }();
  return printer;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OutputCoreLoad();
  Printer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static GFlatSettingsCodec codecs[2];
  const std::uint16_t mode = data[0] & 1;
  std::string record = (data[0] & 2) ? std::string(kFlatMarkerLength, 's') : std::string();
  record.append(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::unique_ptr<MPersistentObject> tree(
      support::DecodeFlat(codecs[mode], record, Printer(), mode));
  if (tree) support::EncodeFlat(tree.get(), mode, 1 << 16);
  return 0;
}
