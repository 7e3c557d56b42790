// The row encoders: each wire format pinned by goldens derived by hand from
// its packet rules (encoders.h), random rows decoded back at every
// alignment within GetMaxRowBytes, Begin's refusals, and JPEG streams read
// back by libjpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>

#include <jpeglib.h>

#include "tests/support/raster_rows.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace testing_support;
using E = RowEncoding;

// Hex with shorthands ("AA*3": AA AA AA; "01+3": 01 02 03) into rows
// separated by "|".
std::vector<Row> Rows(const std::string& text) {
  std::vector<Row> rows(1);
  std::istringstream in(text);
  for (std::string token; in >> token;) {
    if (token == "|") rows.emplace_back();
    const int byte = token == "|" ? 0 : std::stoi(token.substr(0, 2), nullptr, 16);
    for (int i = 0, n = token.size() > 3 ? std::stoi(token.substr(3)) : 1; token != "|" && i < n;
         ++i)
      rows.back().push_back(std::uint8_t(token[2] == '+' ? byte + i : byte));
  }
  return rows;
}

std::string HexRow(const Row& row) {
  return Hex(std::string(row.begin(), row.end()));
}

struct Golden {
  const char* what;
  RowEncoding encoding;
  std::uint16_t alignment;
  bool invert;
  const char* rows;
  const char* expected;
  std::int16_t width = 0;  // the first row's bytes when 0
  std::uint8_t bits = 8;
  std::vector<std::uint8_t> repeats = {};
};

TEST(RowEncoders, Goldens) {
  const Golden goldens[] = {
      // Run-length: a repeat is 1 - n copies (0xFE: 3), a literal n + 1 bytes.
      {"three equal, one", E::kRunLength, 1, false, "00*3 41", "FE 00 00 41"},
      {"128 equal", E::kRunLength, 1, false, "AA*128", "81 AA"},
      {"129 equal", E::kRunLength, 1, false, "AA*129", "81 AA 00 AA"},
      {"130 distinct", E::kRunLength, 1, false, "00+130", "7F 00+128 01 80 81"},
      // A pair inside a literal stays there; three at its end turn into a repeat.
      {"pair inside", E::kRunLength, 1, false, "41 00 00 42", "03 41 00 00 42"},
      {"three at the end", E::kRunLength, 1, false, "41 00 00 00", "00 41 FE 00"},
      // The padding is never complemented: 00 then a 0 pad byte repeat.
      {"inverted, padded", E::kRunLength, 2, true, "FF", "FF 00"},
      // 255 pad bytes need repeats of 128 and 127 (0x82), and 127 distinct
      // bytes with 2 pad bytes a literal of one more: beyond the old bounds.
      {"long padding", E::kRunLength, 256, false, "41", "00 41 81 00 82 00"},
      {"literal filled by padding", E::kRunLength, 3, false, "01+127", "7F 01+127 00 00 00"},
      // Short rows are completed with 0: AA BB then four 0 bytes.
      {"short row", E::kRunLength, 1, false, "AA BB", "01 AA BB FD 00", 6},
      // Delta row: command (c - 1) x 32 + offset, 31 and extension bytes;
      // the offset restarts after each run, the seed keeps the changes.
      {"offset 40", E::kDeltaRow, 1, false, "00*40 5A 00*7", "1F 09 5A"},
      {"offset 30", E::kDeltaRow, 1, false, "00*30 5A", "1E 5A"},
      {"offset 31", E::kDeltaRow, 1, false, "00*31 5A", "1F 00 5A"},
      {"offset 286", E::kDeltaRow, 1, false, "00*286 5A", "1F FF 00 5A"},
      {"nine from 0", E::kDeltaRow, 1, false, "01+9", "E0 01+8 00 09"},
      {"two runs, then equal", E::kDeltaRow, 1, false, "5A 00 00 00 5A 00 | 5A 00 00 00 5A 00",
       "00 5A 03 5A |"},
      {"prefixed", E::kDeltaRowPrefixed, 1, false, "5A 00 00 | 5A 00 00", "02 00 00 5A | 00 00"},
      // Inverted: the seed starts as the printer's blank row, 0xFF here.
      {"inverted", E::kDeltaRow, 1, true, "00 5A FF | 00 00 FF", "20 FF A5 | 01 FF"},
      // Adaptive, 32 pixels of 1 bit, inverted: run-length first (3
      // repeats, nothing to match), then delta rows (4 and 3 matches).
      {"adaptive", E::kAdaptive, 1, true, "FF*4 | FF*4 | FF 00 FF FF | FF 00 FF FF",
       "02 00 02 FD 00 | 03 00 00 | 03 00 02 01 FF | 03 00 00", 32, 1},
      // Raw: no repeats, no matches, padding in the length; 9 bytes at
      // alignment 8 take 19 (18 were allowed).
      {"raw", E::kAdaptive, 4, false, "01+6 | 07+6", "00 00 08 01+6 00 00 | 00 00 08 07+6 00 00"},
      {"raw, alignment 8", E::kAdaptive, 8, false, "01+9", "00 00 10 01+9 00*7"},
      // A row standing for 3: its block (7 repeats: run-length), then 05 00 02.
      {"repeated", E::kAdaptive, 1, false, "00*8", "02 00 02 F9 00 05 00 02", 0, 8, {3}},
      {"padder", E::kPadder, 4, false, "01+5 | 01+8", "01+5 00*3 | 01+8"},
      {"padder inverted", E::kPadder, 4, true, "00 0F 5A 01 FF", "FF F0 A5 FE 00 00 00 00"},
      // Refused (no expected rows): an alignment of 0 where rows are padded;
      // 24 bits x 20000 pixels, where a delta row could pass the 65535 bytes
      // of a length (without one it may).
      {"alignment 0", E::kRunLength, 0, false, "00", nullptr},
      {"alignment 0", E::kAdaptive, 0, false, "00", nullptr},
      {"alignment 0", E::kPadder, 0, false, "00", nullptr},
      {"alignment 0", E::kDeltaRow, 0, false, "00", ""},
      {"too wide", E::kAdaptive, 1, false, "00", nullptr, 20000, 24},
      {"too wide", E::kDeltaRowPrefixed, 1, false, "00", nullptr, 20000, 24},
      {"wide", E::kDeltaRow, 1, false, "00", "", 20000, 24},
  };
  for (const Golden& golden : goldens) {
    const std::vector<Row> rows = Rows(golden.rows);
    MemoryRowSource source(rows, golden.width ? golden.width : std::int16_t(rows[0].size()),
                           golden.bits, golden.repeats);
    auto encoder = MakeRowEncoder(golden.encoding, golden.alignment, golden.invert);
    EXPECT_EQ(encoder->Begin(), 0u) << "no upstream";
    encoder->SetUpstream(&source);
    ASSERT_EQ(encoder->Begin(), golden.expected ? 1u : 0u) << golden.what;
    std::string got, want;
    for (const Row& row : Rows(golden.expected ? golden.expected : "")) {
      Row out(encoder->GetMaxRowBytes());
      std::uint16_t index = 0;
      std::uint32_t length = 0;
      std::uint8_t repeat = 1, delivered = 1;
      encoder->GetRow(out.data(), index, length, repeat, delivered);
      EXPECT_LE(length, out.size()) << golden.what;
      out.resize(std::min<std::size_t>(length, out.size()));
      got += HexRow(out) + "|";
      want += HexRow(row) + "|";
    }
    EXPECT_EQ(got, want) << golden.what;
  }
}

TEST(RowEncoders, RandomRowsRoundTripAtEveryAlignment) {
  std::mt19937 random(33);
  std::vector<int> widths = {1, 2, 7, 8, 9, 127, 128, 129, 255, 256, 638, 1999, 2000};
  while (widths.size() < 25)
    widths.push_back(1 + random() % 2000);
  for (int width : widths) {
    for (std::uint16_t alignment : {1, 2, 4, 8, 16, 256}) {
      const std::uint8_t bits = std::vector<std::uint8_t>{1, 8, 24}[random() % 3];
      const std::size_t size = (bits * width + 7) / 8;
      // Noise, runs, and rows that mostly repeat the row before.
      std::vector<Row> rows;
      std::vector<std::uint8_t> repeats;
      for (int r = 0; r < 6; ++r) {
        Row row = r > 0 && random() % 2 ? rows.back() : Row(size, std::uint8_t(random() % 3));
        for (std::size_t edits = random() % (size + 1); edits-- > 0;)
          row[random() % size] = std::uint8_t(random() % 4 == 0 ? random() : 0);
        rows.push_back(row);
        repeats.push_back(std::uint8_t(random() % 4));
      }
      EXPECT_EQ(CheckRoundTrip(rows, std::int16_t(width), bits, alignment, random() % 2, repeats),
                "")
          << width << " pixels of " << int(bits) << " bits, alignment " << alignment;
    }
  }
}

// Each adaptive block's mode against the counts its rule names, counted
// here byte by byte, on short rows of few values (near the thresholds).
TEST(RowEncoders, AdaptiveBlocksFollowTheirRule) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t size = 1 + random() % 40;
    std::vector<Row> rows(1, Row(size));
    for (int r = 0; r < 5; ++r) {
      rows.push_back(rows.back());
      for (std::size_t edits = random() % (size + 1); edits-- > 0;)
        rows.back()[random() % size] = std::uint8_t(random() % 3);
    }
    MemoryRowSource source(rows, std::int16_t(size), 8);
    GAdaptiveRowEncoder encoder(1, 0);
    encoder.SetUpstream(&source);
    ASSERT_EQ(encoder.Begin(), 1u);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      Row out(encoder.GetMaxRowBytes());
      std::uint16_t index = 0;
      std::uint32_t length = 0;
      std::uint8_t repeat = 1, delivered = 1;
      encoder.GetRow(out.data(), index, length, repeat, delivered);
      std::size_t repeats = 0, matches = 0;  // the seed is the row before
      for (std::size_t i = 0; i < size; ++i) {
        repeats += i > 0 && rows[r][i] == rows[r][i - 1];
        matches += r > 0 && rows[r][i] == rows[r - 1][i];
      }
      const std::uint8_t mode = repeats < size / 3 && matches < size / 3 ? kAdaptiveRaw
                                : repeats > matches                      ? kAdaptiveRunLength
                                                                         : kAdaptiveDeltaRow;
      EXPECT_EQ(out[0], mode) << size << " bytes, row " << r;
    }
  }
}

TEST(RowEncoders, FuzzCorpusReplays) {
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

// JPEG. Decodes `stream` with libjpeg: the mean difference from `rows`
// (pixels of `bits`); `tables` takes 8 entries of each quantisation table.
double MeanError(const std::string& stream, const std::vector<Row>& rows, int bits,
                 std::vector<int>* tables) {
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  jpeg_read_header(&info, TRUE);
  for (int t = 0; t < 2 && info.quant_tbl_ptrs[t]; ++t)
    tables[t].assign(info.quant_tbl_ptrs[t]->quantval, info.quant_tbl_ptrs[t]->quantval + 8);
  jpeg_start_decompress(&info);
  EXPECT_EQ(info.output_height, rows.size());
  const int components = info.output_components;
  double sum = 0;
  Row line(info.output_width * components);
  for (JSAMPROW at = line.data(); info.output_scanline < info.output_height;) {
    const Row& want = rows[info.output_scanline];
    jpeg_read_scanlines(&info, &at, 1);
    for (std::size_t i = 0; i < line.size(); ++i)
      sum += std::abs(line[i] - want[i / components * bits / 8 + i % components]);
  }
  jpeg_destroy_decompress(&info);
  return sum / double(line.size()) / double(rows.size());
}

// Runs an encoder over `rows` (a smooth picture when none: red across,
// green down, blue fixed, a 4th byte) to its end. Answers the stream; the
// lines delivered are added up in `lines`, the last call's counts kept.
struct JpegRun {
  std::vector<Row> rows;
  std::string stream;
  std::uint32_t lines = 0, length = 0;
  std::uint8_t repeat = 0, delivered = 0;
};
JpegRun Compress(GJpegEncoder& encoder, int width, int height, int bits,
                 std::vector<std::uint8_t> repeats = {}, std::int16_t bottom = 0) {
  JpegRun run;
  run.rows.resize(height);
  const int bytes = std::max(bits / 8, 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * bytes; ++x)
      run.rows[y].push_back(
          std::uint8_t(std::vector<int>{x / bytes * 4, y * 4, 128, 0}[x % bytes]));
  MemoryRowSource source(run.rows, std::int16_t(width), std::uint8_t(bits), repeats);
  if (bottom) source.bounds.bottom = bottom;
  encoder.SetUpstream(&source);
  EXPECT_EQ(encoder.Begin(), 1u);
  for (int calls = 0; calls < 1000 && !encoder.IsDone(); ++calls) {
    std::uint16_t index = 0;
    std::uint8_t unused[1];
    run.repeat = run.delivered = 9;
    encoder.GetRow(unused, index, run.length, run.repeat, run.delivered);
    run.stream.append(reinterpret_cast<const char*>(encoder.GetOutput()), run.length);
    run.lines += run.delivered;
  }
  EXPECT_TRUE(encoder.IsDone());
  return run;
}

TEST(JpegEncoder, WritesABaselineJfifStreamThatDecodes) {
  // The tables are the library's standard ones at quality 95: each entry x
  // 10 / 100, rounded (16 11 12 14 12 10 in zig-zag order give 2 1 1 1 1 1).
  const std::string jfif = "FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 00 01 00 00";
  for (int bits : {24, 32, 8}) {
    GJpegEncoder encoder(1, 1);
    const JpegRun run = Compress(encoder, 40, 24, bits);
    const std::string hex = Hex(run.stream);
    EXPECT_EQ(run.lines, 24u);
    EXPECT_EQ(hex.substr(0, jfif.size()), jfif) << bits;
    EXPECT_EQ(hex.substr(hex.size() - 5), "FF D9");
    EXPECT_NE(hex.find("FF DB 00 43 00 02 01 01 01 01 01 02 01"), std::string::npos);
    // SOF0: precision 8, height 24, width 40, the components and sampling.
    EXPECT_NE(hex.find(bits == 8 ? "FF C0 00 0B 08 00 18 00 28 01 01 11 00"
                                 : "FF C0 00 11 08 00 18 00 28 03 01 22 00 02 11 01 03 11 01"),
              std::string::npos)
        << bits;
    std::vector<int> tables[2];
    EXPECT_LT(MeanError(run.stream, run.rows, bits, tables), 2.0) << bits;
    EXPECT_EQ(tables[0], (std::vector<int>{2, 1, 1, 2, 2, 4, 5, 6}));
    const std::vector<int> chrominance = {2, 2, 2, 5, 10, 10, 10, 10};
    EXPECT_TRUE(bits == 8 || tables[1] == chrominance);
    // The same stream in a caller's block.
    std::string block(run.stream.size(), '\0');
    encoder.SetOutput(reinterpret_cast<std::uint8_t*>(block.data()), std::uint32_t(block.size()));
    EXPECT_EQ(Compress(encoder, 40, 24, bits).stream + block, run.stream + run.stream);
    EXPECT_EQ(encoder.GetOutputCount(), block.size());
  }
}

TEST(JpegEncoder, RepeatsRowsAndFillsAnImageTheUpstreamLeftShort) {
  // Rows standing for 3 and 2 lines; 2 rows where the bounds promise 300:
  // the second fills the other 298.
  GJpegEncoder encoder(1, 0);
  JpegRun run = Compress(encoder, 16, 2, 24, {3, 2});
  std::vector<int> tables[2];
  EXPECT_LT(MeanError(run.stream, {run.rows[0], run.rows[0], run.rows[0], run.rows[1], run.rows[1]},
                      24, tables),
            2);
  run = Compress(encoder, 16, 2, 24, {}, 300);
  std::vector<Row> filled(300, run.rows[1]);
  filled[0] = run.rows[0];
  EXPECT_LT(MeanError(run.stream, filled, 24, tables), 2);
  EXPECT_EQ(run.lines, 300u);
}

TEST(JpegEncoder, ALibraryErrorEndsTheCompression) {
  // Depths it cannot take, an empty image, a caller's block too small: the
  // failing call answers length 0, one row, repeat 1; later ones no row.
  for (auto [bits, bottom, capacity] :
       {std::tuple{4, 8, 0}, {16, 8, 0}, {24, -1, 0}, {24, 8, 100}}) {
    GJpegEncoder encoder(1, 0);
    Row block(capacity);
    if (capacity) encoder.SetOutput(block.data(), capacity);
    JpegRun run = Compress(encoder, 16, 8, bits, {}, std::int16_t(bottom));
    EXPECT_EQ(run.length * 100 + run.delivered * 10 + run.repeat, 11u) << bits;
    EXPECT_LE(encoder.GetOutputCount(), std::uint32_t(capacity));
    std::uint16_t index;
    std::uint8_t unused[1];
    encoder.GetRow(unused, index, run.length, run.repeat, run.delivered);
    EXPECT_EQ(run.length + run.delivered, 0u);
  }
}

TEST(JpegEncoder, TwoThreadsCompressAtOnce) {
  std::string streams[3];
  std::vector<std::thread> threads;
  for (std::string& stream : streams) {
    threads.emplace_back([&stream] {
      for (int i = 0; i < 20; ++i) {
        GJpegEncoder encoder(1, 0);
        const std::string one = Compress(encoder, 64, 48, 24).stream;
        stream = i == 0 || one == stream ? one : "differs";
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(streams[1], streams[0]);
  EXPECT_EQ(streams[2], streams[0]);
}

}  // namespace
