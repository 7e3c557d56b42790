// The main of every test program: loads the library subsystem under test
// (class registration) around the tests, as the library's load and unload
// would. DRV_TEST_LOAD_HEADER names the header of DRV_TEST_LOAD and
// DRV_TEST_UNLOAD; each test folder picks its subsystem's pair.
#include <gtest/gtest.h>

#include DRV_TEST_LOAD_HEADER

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  DRV_TEST_LOAD();
  int result = RUN_ALL_TESTS();
  DRV_TEST_UNLOAD();
  return result;
}
