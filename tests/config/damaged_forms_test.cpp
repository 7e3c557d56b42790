// Damaged stored forms of the colour adjustment, the display-string
// attribute and the option lists: every truncation and seeded random byte
// changes, in every medium, read with the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "config/attributes/display_string.h"
#include "config/attributes/option_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "tests/persist/media.h"

namespace {

std::unique_ptr<MPersistentObject> Ver2Sample() {
  return std::make_unique<GTintvectorEnhancedAttributeVer2>(295);
}

std::unique_ptr<MPersistentObject> DisplayStringSample() {
  return std::make_unique<GDisplayStringAttribute>(82, 1203, "Tray 2", "kvres.dll");
}

std::unique_ptr<MPersistentObject> OptionListSample() {
  auto list = std::make_unique<GBookletComposite>(2, 1);
  list->AddCodePair(7, 8);
  list->AddCodePair(9, 0x8000);
  return list;
}

using Sample = std::unique_ptr<MPersistentObject> (*)();
constexpr Sample kSamples[] = {&Ver2Sample, &DisplayStringSample, &OptionListSample};

TEST(DamagedForms, TruncationAtEveryByteFailsCleanly) {
  for (Sample make : kSamples)
    model_testing::ExpectEveryTruncationFails(*make());
}

TEST(DamagedForms, RandomByteFlipsNeverCrash) {
  std::mt19937 rng(20261218);
  for (Sample make : kSamples)
    model_testing::RestoreRandomFlips(*make(), rng, 200);
}

}  // namespace
