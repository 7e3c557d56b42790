// The property sheets' driver of the tests: SheetDriver and OnSheet
// (support/ui_user.h) with the test driver of the windowing host,
// which fails the running test on every refused verb.
#pragma once

#include "support/ui_user.h"
#include "tests/support/ui_driver.h"
