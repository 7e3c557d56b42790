// The demonstration run headless as a user runs it: its first picture, read
// back through libpng, is the page the generator rendered, bit for bit; and
// a port file cut short by the process's file-size limit ends the job with
// the disk-full error as its exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "examples/port_to_png/port_to_png.h"
#include "platform/host/types.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using port_to_png::PortPage;

// print_demo with `options` (a later --out wins) in `folder`, its
// temporary folder `folder`/tmp, under the shell's file-size limit
// `blocks` (of 512 bytes; 0: none); its exit status (134 for an abort).
int RunDemo(const std::string& folder, const std::string& options, int blocks = 0) {
  std::filesystem::create_directories(folder + "/tmp");
  const std::string limit = blocks ? "ulimit -f " + std::to_string(blocks) + "; " : "";
  const std::string command = "cd " + folder + " && " + limit + "TMPDIR=" + folder +
                              "/tmp '" DRV_PRINT_DEMO "' --out out " + options + " > demo.log 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A PBM file (P4: rows of whole bytes, a set bit black).
bool ReadPbm(const std::string& path, PortPage& page) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  in >> magic >> page.width >> page.height;
  in.get();
  page.rows.assign(page.height, std::vector<std::uint8_t>((page.width + 7) / 8));
  for (auto& row : page.rows)
    in.read(reinterpret_cast<char*>(row.data()), std::streamsize(row.size()));
  return magic == "P4" && bool(in);
}

// A folder of the user's where the font file once went stays as it was.
TEST(PrintDemo, TheFirstPictureIsThePageTheGeneratorRendered) {
  testing_support::TempPath folder("print_demo");
  ASSERT_TRUE(std::filesystem::create_directories(folder.str() + "/out/demo-font.ttf/kept"));
  ASSERT_EQ(RunDemo(folder.str(), "--rendered"), 0)
      << testing_support::ReadAll(folder.str() + "/demo.log");
  EXPECT_TRUE(std::filesystem::is_directory(folder.str() + "/out/demo-font.ttf/kept"));
  EXPECT_TRUE(std::filesystem::is_empty(folder.str() + "/tmp"));
  PortPage picture, rendered;
  std::string error;
  ASSERT_TRUE(port_to_png::ReadPagePng(folder.str() + "/out/page-1.png", picture, error)) << error;
  ASSERT_TRUE(ReadPbm(folder.str() + "/out/rendered-1.pbm", rendered));
  ASSERT_EQ(picture.width, rendered.width);
  ASSERT_EQ(picture.height, rendered.height);
  // Bit for bit, but for the bits past the last pixel of a row.
  const auto last = std::uint8_t(0xFF << ((8 - picture.width % 8) % 8));
  std::size_t printed = 0;
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    std::vector<std::uint8_t>& a = picture.rows[y];
    std::vector<std::uint8_t>& b = rendered.rows[y];
    a.back() &= last, b.back() &= last;
    ASSERT_EQ(a, b) << "row " << y;
    for (std::uint8_t byte : a)
      printed += std::size_t(__builtin_popcount(byte));
  }
  // Two pages' drawings reached the sheet.
  EXPECT_GT(printed, 1000u);
  std::filesystem::remove_all(folder.str());
}

TEST(PrintDemo, AFullDiskOnThePortAbortsTheJobWithItsError) {
  testing_support::TempPath folder("print_demo");
  ASSERT_TRUE(std::filesystem::create_directory(folder.str()));
  // 100 blocks hold the display line and a sheet, not the second one.
  EXPECT_EQ(RunDemo(folder.str(), "", 100), int(platform::kErrorDiskFull));
  EXPECT_NE(testing_support::ReadAll(folder.str() + "/demo.log").find("GJobAbort"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.str() + "/out/job.prn"));
  std::filesystem::remove_all(folder.str());
}

// The port file of the print road's golden, written by hand: the display
// line; a page of 32 x 4 pixels whose rows are 02 00 02 FD 00 (run-length:
// FD repeats the next byte 257 - 253 = 4 times, a white row), 03 00 00 (a
// delta row changing nothing: the seed again), 03 00 02 01 FF (byte 1 of
// the seed becomes FF: pixels 8-15 black), 03 00 00; then a white page.
const std::string kLine = "RDYMSG DISPLAY = \"demo\"\r\n";
const std::string kFirst = testing_support::Unhex(
    "50 41 47 45 20 33 32 20 34 0D 0A 02 00 02 FD 00 03 00 00 03 00 02 01 FF 03 00 00 "
    "45 4E 44 50 41 47 45 0D 0A");
const std::string kSecond = testing_support::Unhex(
    "50 41 47 45 20 33 32 20 34 0D 0A 02 00 02 FD 00 03 00 00 03 00 00 03 00 00 "
    "45 4E 44 50 41 47 45 0D 0A");

TEST(PortFile, DecodesTheGoldenAndRefusesItsDamage) {
  const std::string file = kLine + kFirst + kSecond;
  std::vector<PortPage> pages;
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(port_to_png::ReadPortPages(file, pages, lines, error)) << error;
  using Rows = std::vector<std::vector<std::uint8_t>>;
  const Rows white(4, {0, 0, 0, 0}),
      marked = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0xFF, 0, 0}, {0, 0xFF, 0, 0}};
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].rows, marked);
  EXPECT_EQ(pages[1].rows, white);
  EXPECT_EQ(lines, std::vector<std::string>{"RDYMSG DISPLAY = \"demo\""});
  // Every prefix fails but those that end after a line or a page.
  for (std::size_t n = 0; n < file.size(); ++n) {
    pages.clear(), lines.clear();
    const bool whole = n == 0 || n == kLine.size() || n == kLine.size() + kFirst.size();
    EXPECT_EQ(port_to_png::ReadPortPages(file.substr(0, n), pages, lines, error), whole) << n;
  }
  // Seeded flips: the fuzz target's checks, and its corpus.
  std::mt19937 random(58);
  for (int round = 0; round < 2000; ++round) {
    std::string flipped = file;
    flipped[random() % flipped.size()] ^= char(1 << random() % 8);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(flipped.data()), flipped.size());
  }
  EXPECT_EQ(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 3);
}

}  // namespace
