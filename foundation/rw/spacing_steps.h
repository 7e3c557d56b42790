// GSpacingSteps: spreads extra spacing over the characters of a text with
// two integer step counters of the Bresenham kind, one stepped for break
// characters and one for the others. Each step yields a base amount or one
// more, so that a total that does not divide evenly is spread without a
// remainder. The text layout that uses it keeps the object and holds it only
// while laying out; one object belongs to one thread at a time.
//
// All counter arithmetic is 16-bit and wraps.
#pragma once

#include <cstdint>

// One counter. Set up as { q, n, r, n, n } it spreads q * n + r over n steps.
struct GStepCounter {
  std::uint16_t baseStep;     // every step yields at least this
  std::int16_t error;         // running error term
  std::uint16_t errorStep;    // taken from error at every step
  std::uint16_t stepsLeft;    // steps still to give; wraps below 0
  std::uint16_t errorReload;  // given back to error when it drops to 0 or below
};

class GSpacingSteps {
 public:
  // Both counters idle: nothing to give.
  GSpacingSteps();
  // Note the order: the character counter comes first. With
  // `fixedCharacterStep` non-zero the character counter never runs out and
  // always yields its baseStep. With `breakAddsCharacter` exactly 1 a break
  // character takes a character step as well as its break step.
  GSpacingSteps(const GStepCounter& character_counter, const GStepCounter& break_counter,
                std::uint32_t fixed_character_step, std::uint32_t break_adds_character);
  virtual ~GSpacingSteps() = default;

  // The extra for a character that is not a break.
  virtual std::uint16_t StepCharacter();
  // The extra for a break character (its character step first, in mode 1).
  virtual std::uint16_t StepBreak();
  // Steps `counter` and answers its yield; uses nothing else of the object.
  virtual std::uint16_t Step(GStepCounter& counter);

  // Whether either counter still has something to give.
  bool HasSteps() const;

  const GStepCounter& BreakCounter() const { return break_counter_; }
  const GStepCounter& CharacterCounter() const { return character_counter_; }
  std::uint32_t FixedCharacterStep() const { return fixed_character_step_; }
  std::uint32_t BreakAddsCharacter() const { return break_adds_character_; }

 private:
  GStepCounter break_counter_;
  GStepCounter character_counter_;
  std::uint32_t fixed_character_step_;
  std::uint32_t break_adds_character_;
};
