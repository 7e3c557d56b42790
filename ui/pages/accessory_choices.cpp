#include "ui/pages/accessory_choices.h"

namespace {
constexpr std::int16_t kLowerTray = 3;
}

std::int32_t IsAccessoryChoiceAllowed(std::int16_t value, const RWCString& part_number,
                                      std::int32_t skip) {
  if (skip != 0 || value != kLowerTray) return 1;
  return part_number == kLowerTrayAccessory ? 1 : 0;
}

std::int32_t AcceptAnyChoiceA() {
  return 1;
}

std::int32_t AcceptAnyChoiceB(std::int32_t, const RWCString&, std::int32_t) {
  return 1;
}

std::int32_t AcceptAnyChoiceC(std::int32_t, GUIContext*) {
  return 1;
}
