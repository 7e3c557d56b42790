// The tests the quick sets put their stored choices to against the
// installed options: a choice of paper source 3 needs the optional paper
// source whose part number is "Z7142" (exactly); the other tests accept
// every choice. Pure; any thread.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"

class GUIContext;

// The accessory that brings paper source 3.
inline constexpr char kLowerTrayAccessory[] = "Z7142";

// 1 when allowed, 0 when `value` is 3 and `part_number` is not "Z7142";
// 1 whenever `skip` is not 0.
std::int32_t IsAccessoryChoiceAllowed(std::int16_t value, const RWCString& part_number,
                                      std::int32_t skip);
std::int32_t AcceptAnyChoiceA();
std::int32_t AcceptAnyChoiceB(std::int32_t value, const RWCString& part_number,
                              std::int32_t setting);
std::int32_t AcceptAnyChoiceC(std::int32_t paper_id, GUIContext* context);
