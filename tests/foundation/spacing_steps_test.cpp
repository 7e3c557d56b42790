#include "foundation/rw/spacing_steps.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// { baseStep, error, errorStep, stepsLeft, errorReload }
constexpr GStepCounter kIdle{0, 1, 0, 0, 0};

std::vector<int> Steps(GSpacingSteps& s, GStepCounter& c, int n) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i)
    out.push_back(s.Step(c));
  return out;
}

TEST(SpacingStepsTest, CounterSpreadsTheRemainder) {
  GSpacingSteps s;
  GStepCounter c{2, 3, 1, 3, 3};
  EXPECT_EQ(Steps(s, c, 3), (std::vector<int>{2, 2, 3}));
  EXPECT_EQ(c.error, 3);
  EXPECT_EQ(c.stepsLeft, 0);
  EXPECT_EQ(s.Step(c), 0);
  EXPECT_EQ(c.stepsLeft, 65535);  // not held at 0
  EXPECT_EQ(c.error, 3);

  // q * n + r over n steps: 7 * 5 + 3 = 38.
  GStepCounter even{7, 5, 3, 5, 5};
  auto yields = Steps(s, even, 5);
  EXPECT_EQ(yields, (std::vector<int>{7, 8, 7, 8, 8}));
  int sum = 0;
  for (int y : yields)
    sum += y;
  EXPECT_EQ(sum, 38);
}

TEST(SpacingStepsTest, ErrorBoundaries) {
  GSpacingSteps s;
  GStepCounter zero{4, 1, 1, 2, 9};  // an error of 0 counts as dropped
  EXPECT_EQ(s.Step(zero), 5);
  EXPECT_EQ(zero.error, 9);
  GStepCounter low{4, -32767, 1, 2, 5};  // -32768 after the subtraction
  EXPECT_EQ(s.Step(low), 5);
  EXPECT_EQ(low.error, -32763);
  GStepCounter wraps{4, -32768, 1, 2, 0};  // 16-bit wrap to 32767: above 0
  EXPECT_EQ(s.Step(wraps), 4);
  EXPECT_EQ(wraps.error, 32767);
  GStepCounter big{65535, 0, 0, 1, 0};  // baseStep + 1 wraps
  EXPECT_EQ(s.Step(big), 0);
}

TEST(SpacingStepsTest, DefaultObject) {
  GSpacingSteps s;
  EXPECT_FALSE(s.HasSteps());
  EXPECT_EQ(s.FixedCharacterStep(), 1u);
  EXPECT_EQ(s.BreakAddsCharacter(), 1u);
  EXPECT_EQ(s.StepCharacter(), 0);
  EXPECT_EQ(s.CharacterCounter().stepsLeft, 0);
  EXPECT_EQ(s.StepBreak(), 0);
  EXPECT_EQ(s.BreakCounter().stepsLeft, 65535);
  EXPECT_EQ(s.CharacterCounter().stepsLeft, 0);
}

TEST(SpacingStepsTest, FixedCharacterStep) {
  GStepCounter character{3, 9, 9, 9, 9};
  GSpacingSteps s(character, kIdle, 1, 0);
  // The record's error terms are replaced; its baseStep stays.
  EXPECT_EQ(s.CharacterCounter().error, 1);
  EXPECT_EQ(s.CharacterCounter().errorStep, 0);
  EXPECT_EQ(s.CharacterCounter().stepsLeft, 1);
  EXPECT_EQ(s.CharacterCounter().errorReload, 1);
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(s.StepCharacter(), 3);
  EXPECT_EQ(s.CharacterCounter().error, 1);
  EXPECT_EQ(s.CharacterCounter().stepsLeft, 1);
  EXPECT_TRUE(s.HasSteps());

  // Without the flag the record is kept whole.
  GSpacingSteps plain(character, kIdle, 0, 0);
  EXPECT_EQ(plain.CharacterCounter().error, 9);
  EXPECT_EQ(plain.CharacterCounter().stepsLeft, 9);
}

TEST(SpacingStepsTest, ArgumentOrderAndBreakModes) {
  GStepCounter character{1, 2, 1, 4, 2};  // yields 1, 2, 1, 2
  GStepCounter brk{10, 1, 0, 2, 0};       // yields 10, 10
  GSpacingSteps adds(character, brk, 0, 1);
  EXPECT_EQ(adds.CharacterCounter().baseStep, 1);
  EXPECT_EQ(adds.BreakCounter().baseStep, 10);
  // The character step comes first, then the break step.
  EXPECT_EQ(adds.StepBreak(), 11);
  EXPECT_EQ(adds.StepBreak(), 12);
  EXPECT_EQ(adds.CharacterCounter().stepsLeft, 2);
  EXPECT_EQ(adds.BreakCounter().stepsLeft, 0);
  EXPECT_EQ(adds.StepCharacter(), 1);

  for (std::uint32_t mode : {0u, 2u}) {
    GSpacingSteps alone(character, brk, 0, mode);
    EXPECT_EQ(alone.StepBreak(), 10) << mode;
    EXPECT_EQ(alone.CharacterCounter().stepsLeft, 4) << mode;
    EXPECT_EQ(alone.StepCharacter(), 1) << mode;
  }
}

TEST(SpacingStepsTest, BreakSumWraps) {
  GSpacingSteps s(GStepCounter{65535, 1, 0, 5, 0}, GStepCounter{1, 1, 0, 5, 0}, 0, 1);
  EXPECT_EQ(s.StepBreak(), 0);  // 65535 + 1
}

TEST(SpacingStepsTest, HasSteps) {
  struct Case {
    GStepCounter character, brk;
    bool has;
  } cases[] = {
      {kIdle, kIdle, false},           {{1, 0, 0, 1, 0}, kIdle, true},
      {{0, 0, 1, 1, 0}, kIdle, true},  {{0, 5, 0, 1, 5}, kIdle, false},  // error terms play no part
      {{1, 0, 1, 0, 0}, kIdle, false},                                   // nothing left
      {kIdle, {2, 0, 0, 3, 0}, true},  {kIdle, {0, 0, 7, 1, 0}, true},
  };
  for (const Case& c : cases) {
    GSpacingSteps s(c.character, c.brk, 0, 0);
    EXPECT_EQ(s.HasSteps(), c.has);
  }
}

// A string laid out the way the text graphic does it: break characters take
// StepBreak, others StepCharacter; the extras add up to the whole total.
TEST(SpacingStepsTest, SpreadsOverAString) {
  const char text[] = "a bc de f";
  int breaks = 3, others = 6;
  int break_total = 20, character_total = 9;
  GStepCounter brk{std::uint16_t(break_total / breaks), std::int16_t(breaks),
                   std::uint16_t(break_total % breaks), std::uint16_t(breaks),
                   std::uint16_t(breaks)};
  GStepCounter character{std::uint16_t(character_total / others), std::int16_t(others),
                         std::uint16_t(character_total % others), std::uint16_t(others),
                         std::uint16_t(others)};
  GSpacingSteps s(character, brk, 0, 0);
  ASSERT_TRUE(s.HasSteps());
  int sum = 0;
  for (const char* p = text; *p; ++p)
    sum += *p == ' ' ? s.StepBreak() : s.StepCharacter();
  EXPECT_EQ(sum, break_total + character_total);
  EXPECT_FALSE(s.HasSteps());
}

}  // namespace
