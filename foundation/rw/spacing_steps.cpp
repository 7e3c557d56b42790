#include "foundation/rw/spacing_steps.h"

GSpacingSteps::GSpacingSteps()
    : break_counter_{0, 1, 0, 0, 0},
      character_counter_{0, 1, 0, 0, 0},
      fixed_character_step_(1),
      break_adds_character_(1) {}

GSpacingSteps::GSpacingSteps(const GStepCounter& character_counter,
                             const GStepCounter& break_counter, std::uint32_t fixed_character_step,
                             std::uint32_t break_adds_character)
    : break_counter_(break_counter),
      character_counter_(character_counter),
      fixed_character_step_(fixed_character_step),
      break_adds_character_(break_adds_character) {
  if (fixed_character_step_) {
    // One step that never carries: StepCharacter puts the step back.
    character_counter_.error = 1;
    character_counter_.errorStep = 0;
    character_counter_.stepsLeft = 1;
    character_counter_.errorReload = 1;
  }
}

std::uint16_t GSpacingSteps::Step(GStepCounter& counter) {
  std::uint16_t yield = 0;
  if (counter.stepsLeft != 0) {
    counter.error =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(counter.error) - counter.errorStep);
    if (counter.error > 0) {
      yield = counter.baseStep;
    } else {
      counter.error = static_cast<std::int16_t>(static_cast<std::uint16_t>(counter.error) +
                                                counter.errorReload);
      yield = static_cast<std::uint16_t>(counter.baseStep + 1);
    }
  }
  --counter.stepsLeft;
  return yield;
}

std::uint16_t GSpacingSteps::StepCharacter() {
  std::uint16_t yield = Step(character_counter_);
  if (fixed_character_step_) ++character_counter_.stepsLeft;
  return yield;
}

std::uint16_t GSpacingSteps::StepBreak() {
  std::uint16_t yield = break_adds_character_ == 1 ? StepCharacter() : 0;
  return static_cast<std::uint16_t>(yield + Step(break_counter_));
}

bool GSpacingSteps::HasSteps() const {
  auto gives = [](const GStepCounter& c) {
    return c.stepsLeft != 0 && (c.baseStep != 0 || c.errorStep != 0);
  };
  return gives(character_counter_) || gives(break_counter_);
}
