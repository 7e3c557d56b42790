// A test fixture whose tests each start and end with the host-service
// stand-ins reset (no modules but our own, empty registry, no printers, no
// path mappings, the host clock), so no test sees another's leftovers.
#pragma once

#include <gtest/gtest.h>

#include "platform/host/reset.h"

namespace testing_support {

class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetHostServices(); }
  void TearDown() override { platform::ResetHostServices(); }
};

}  // namespace testing_support
