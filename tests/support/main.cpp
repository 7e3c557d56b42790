// The main of every test program: loads the library (class registration)
// around the tests, as the library's load and unload would.
#include <gtest/gtest.h>

#include "foundation/rw/registration.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  FoundationLoad();
  int result = RUN_ALL_TESTS();
  FoundationUnload();
  return result;
}
