// The demonstration's font removes the file it made, and never one of the
// same name that it found there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "examples/print_demo/demo_job.h"
#include "fonts/tt_font_pool.h"
#include "tests/support/test_support.h"

namespace {

TEST(DemoFont, RemovesOnlyTheFileItMade) {
  testing_support::TempPath folder("demo_font");
  ASSERT_TRUE(std::filesystem::create_directories(folder.str()));
  const std::string path = folder.str() + "/demo-font.ttf";
  ASSERT_NE(GTTFontPool::CreateInstance(), nullptr);
  {
    print_demo::DemoFont font(folder.str());
    EXPECT_TRUE(font.IsOpen()) << font.Error();
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  testing_support::WriteAll(path, "another's");
  {
    print_demo::DemoFont font(folder.str());
    EXPECT_FALSE(font.IsOpen());
    EXPECT_TRUE(font.Error().starts_with(path + ": ")) << font.Error();
  }
  EXPECT_EQ(testing_support::ReadAll(path), "another's");
  GTTFontPool::DestroyInstance();
}

}  // namespace
