// What each group of a page does with the settings: the settings keys it
// reads and writes, one table per page beside the page's own classes
// (basics_groups.h, finishing_groups.h, ...). The tables are the place to
// look up which control changes which setting; the acceptance tests walk
// them so that no group is left untried.
//
// Constant data; any thread.
#pragma once

#include <cstdint>
#include <span>

struct GGroupKeys {
  const char* group;                    // the group's name as a user sees it
  std::int32_t control_id;              // the control that holds its value
  std::span<const std::uint32_t> keys;  // the settings keys it reads and writes
};
