// The row encoders: each wire format pinned by goldens derived by hand from
// its packet rules (encoders.h), round trips through a printer's decoding
// of random rows at every alignment, the bounds of GetMaxRowBytes, Begin's
// refusals, and JPEG streams read back by libjpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include "tests/support/raster_rows.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using testing_support::Hex;
using testing_support::MemoryRowSource;
using testing_support::Row;
using testing_support::RowEncoding;
using testing_support::Unhex;

Row Bytes(const std::string& hex) {
  const std::string bytes = Unhex(hex);
  return Row(bytes.begin(), bytes.end());
}
Row Same(std::size_t count, std::uint8_t byte) { return Row(count, byte); }
Row Count(std::size_t count, std::uint8_t first = 0) {
  Row row(count);
  for (std::size_t i = 0; i < count; ++i)
    row[i] = static_cast<std::uint8_t>(first + i);
  return row;
}
Row operator+(Row a, const Row& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Row With(Row row, std::size_t at, std::uint8_t byte) {
  row[at] = byte;
  return row;
}

// Each row's output (as hex) from `encoder` over 8-bit rows of `width`
// pixels (the first row's size when 0), each checked against GetMaxRowBytes.
std::vector<std::string> Encode(GRasterEncoder& encoder, const std::vector<Row>& rows,
                                std::int16_t width = 0, std::uint8_t bits_per_pixel = 8,
                                std::vector<std::uint8_t> repeats = {}) {
  MemoryRowSource source(rows, width ? width : std::int16_t(rows[0].size()), bits_per_pixel,
                         repeats);
  encoder.SetUpstream(&source);
  EXPECT_EQ(encoder.Begin(), 1u);
  std::vector<std::string> out;
  std::vector<std::uint8_t> block(encoder.GetMaxRowBytes());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    encoder.GetRow(block.data(), index, length, repeat, delivered);
    EXPECT_LE(length, block.size()) << "row " << r;
    out.push_back(Hex(std::string(block.begin(), block.begin() + length)));
  }
  return out;
}

struct Golden {
  const char* what;
  RowEncoding encoding;
  std::uint16_t alignment;
  bool invert;
  std::vector<Row> rows;
  std::vector<Row> expected;  // one per row
};

TEST(RowEncoders, Goldens) {
  const Golden goldens[] = {
      // Run-length: a repeat is 1 - n copies (0xFE: 3), a literal n + 1 bytes.
      {"three equal, one", RowEncoding::kRunLength, 1, false, {Bytes("00 00 00 41")},
       {Bytes("FE 00 00 41")}},
      {"128 equal", RowEncoding::kRunLength, 1, false, {Same(128, 0xAA)}, {Bytes("81 AA")}},
      {"129 equal", RowEncoding::kRunLength, 1, false, {Same(129, 0xAA)}, {Bytes("81 AA 00 AA")}},
      {"130 distinct", RowEncoding::kRunLength, 1, false, {Count(130)},
       {Bytes("7F") + Count(128) + Bytes("01 80 81")}},
      // A pair inside a literal stays there; three turn into a repeat.
      {"pair inside", RowEncoding::kRunLength, 1, false, {Bytes("41 00 00 42")},
       {Bytes("03 41 00 00 42")}},
      {"three at the end", RowEncoding::kRunLength, 1, false, {Bytes("41 00 00 00")},
       {Bytes("00 41 FE 00")}},
      // Padding is never complemented: 00 then a 0 pad byte is one repeat.
      {"inverted, padded", RowEncoding::kRunLength, 2, true, {Bytes("FF")}, {Bytes("FF 00")}},
      // 255 pad bytes: repeats of 128 (0x81) and 127 (0x82), beyond the
      // single repeat packet the old bound allowed.
      {"long padding", RowEncoding::kRunLength, 256, false, {Bytes("41")},
       {Bytes("00 41 81 00 82 00")}},
      // 127 distinct and 2 pad bytes: the first fills the literal, the
      // second stands alone: 131 bytes where 130 were allowed.
      {"literal filled by padding", RowEncoding::kRunLength, 3, false, {Count(127, 1)},
       {Bytes("7F") + Count(127, 1) + Bytes("00 00 00")}},
      // Delta row: command (c - 1) x 32 + offset, 31 and extension bytes.
      {"offset 40", RowEncoding::kDeltaRow, 1, false, {With(Same(48, 0), 40, 0x5A)},
       {Bytes("1F 09 5A")}},
      {"nine from 0", RowEncoding::kDeltaRow, 1, false, {Count(9, 1)},
       {Bytes("E0") + Count(8, 1) + Bytes("00 09")}},
      {"offset 30", RowEncoding::kDeltaRow, 1, false, {With(Same(40, 0), 30, 0x5A)},
       {Bytes("1E 5A")}},
      {"offset 31", RowEncoding::kDeltaRow, 1, false, {With(Same(40, 0), 31, 0x5A)},
       {Bytes("1F 00 5A")}},
      {"offset 286", RowEncoding::kDeltaRow, 1, false, {With(Same(287, 0), 286, 0x5A)},
       {Bytes("1F FF 00 5A")}},
      // The offset restarts after each run; the seed keeps the changes.
      {"two runs, then equal", RowEncoding::kDeltaRow, 1, false,
       {Bytes("5A 00 00 00 5A 00"), Bytes("5A 00 00 00 5A 00")}, {Bytes("00 5A 03 5A"), {}}},
      {"prefixed", RowEncoding::kDeltaRowPrefixed, 1, false,
       {Bytes("5A 00 00"), Bytes("5A 00 00")}, {Bytes("02 00 00 5A"), Bytes("00 00")}},
      // Inverted: the seed starts as the printer's blank row, 0xFF here.
      {"inverted", RowEncoding::kDeltaRow, 1, true, {Bytes("00 5A FF"), Bytes("00 00 FF")},
       {Bytes("20 FF A5"), Bytes("01 FF")}},
      // Adaptive, 32 one-bit pixels, inverted: run-length first (3 repeats,
      // no matches), then delta rows.
      {"adaptive", RowEncoding::kAdaptive, 1, true,
       {Bytes("FF FF FF FF"), Bytes("FF FF FF FF"), Bytes("FF 00 FF FF"), Bytes("FF 00 FF FF")},
       {Bytes("02 00 02 FD 00"), Bytes("03 00 00"), Bytes("03 00 02 01 FF"), Bytes("03 00 00")}},
      // Raw: no repeats, no matches; padding 2 counts in the length.
      {"adaptive raw", RowEncoding::kAdaptive, 4, false, {Count(6, 1), Count(6, 7)},
       {Bytes("00 00 08") + Count(6, 1) + Bytes("00 00"),
        Bytes("00 00 08") + Count(6, 7) + Bytes("00 00")}},
      // Row 9, alignment 8: a raw block of 19 bytes (18 were allowed).
      {"adaptive raw, alignment 8", RowEncoding::kAdaptive, 8, false, {Count(9, 1)},
       {Bytes("00 00 10") + Count(9, 1) + Same(7, 0)}},
      {"padder", RowEncoding::kPadder, 4, false, {Count(5, 1), Count(8, 1)},
       {Count(5, 1) + Same(3, 0), Count(8, 1)}},
      {"padder inverted", RowEncoding::kPadder, 4, true, {Bytes("00 0F 5A 01 FF")},
       {Bytes("FF F0 A5 FE 00 00 00 00")}},
  };
  for (const Golden& golden : goldens) {
    auto encoder = MakeRowEncoder(golden.encoding, golden.alignment, golden.invert);
    const std::int16_t width = golden.encoding == RowEncoding::kAdaptive && golden.invert ? 32 : 0;
    std::vector<std::string> want;
    for (const Row& row : golden.expected)
      want.push_back(Hex(std::string(row.begin(), row.end())));
    EXPECT_EQ(Encode(*encoder, golden.rows, width, width ? 1 : 8), want) << golden.what;
  }
}

TEST(RowEncoders, AdaptiveRepeatsARowAndCountsItDelivered) {
  // Eight 0 bytes: 7 repeats, first row: run-length F9 00; then 05 00 02.
  MemoryRowSource source({Same(8, 0)}, 8, 8, {3});
  GAdaptiveRowEncoder encoder(1, 0);
  encoder.SetUpstream(&source);
  ASSERT_EQ(encoder.Begin(), 1u);
  std::vector<std::uint8_t> block(encoder.GetMaxRowBytes());
  std::uint16_t index = 0;
  std::uint32_t length = 0;
  std::uint8_t repeat = 1, delivered = 1;
  encoder.GetRow(block.data(), index, length, repeat, delivered);
  EXPECT_EQ(Hex(std::string(block.begin(), block.begin() + length)), "02 00 02 F9 00 05 00 02");
  EXPECT_EQ(repeat, 1);
  EXPECT_EQ(delivered, 3);
  encoder.GetRow(block.data(), index, length, repeat, delivered);
  EXPECT_EQ(length, 0u);
}

TEST(RowEncoders, ShortRowsAreCompletedWithZero) {
  // Bounds say 6 bytes, the row brings 2: AA BB then four 0 bytes.
  GRunLengthEncoder encoder(1, 0);
  EXPECT_EQ(Encode(encoder, {Bytes("AA BB")}, 6), std::vector<std::string>{"01 AA BB FD 00"});
}

TEST(RowEncoders, BeginRefuses) {
  // 24 bits x 20000 = 60000 bytes: a delta row could pass 65535 bytes.
  struct Case {
    RowEncoding encoding;
    std::uint16_t alignment;
    std::int16_t width;
    bool upstream;
    std::uint32_t begins;
  } cases[] = {
      {RowEncoding::kRunLength, 0, 8, true, 0},     {RowEncoding::kAdaptive, 0, 8, true, 0},
      {RowEncoding::kPadder, 0, 8, true, 0},        {RowEncoding::kDeltaRow, 0, 8, true, 1},
      {RowEncoding::kRunLength, 1, 8, false, 0},    {RowEncoding::kDeltaRow, 1, 8, false, 0},
      {RowEncoding::kAdaptive, 1, 8, false, 0},     {RowEncoding::kPadder, 1, 8, false, 0},
      {RowEncoding::kAdaptive, 1, 20000, true, 0},  {RowEncoding::kDeltaRowPrefixed, 1, 20000, true, 0},
      {RowEncoding::kDeltaRow, 1, 20000, true, 1},  {RowEncoding::kRunLength, 1, 20000, true, 1},
      {RowEncoding::kAdaptive, 1, 17000, true, 1},
  };
  for (const Case& c : cases) {
    MemoryRowSource source({Same(3, 0)}, c.width, 24);
    auto encoder = MakeRowEncoder(c.encoding, c.alignment, false);
    if (c.upstream) encoder->SetUpstream(&source);
    EXPECT_EQ(encoder->Begin(), c.begins) << int(c.encoding) << " " << c.width;
    std::uint8_t block[8];
    std::uint16_t index = 0;
    std::uint32_t length = 1;
    std::uint8_t repeat = 1, delivered = 1;
    if (c.begins) continue;
    encoder->GetRow(block, index, length, repeat, delivered);
    EXPECT_EQ(length, 0u);
  }
}

TEST(RowEncoders, RandomRowsRoundTripAtEveryAlignment) {
  std::mt19937 random(33);
  std::vector<int> widths = {1, 2, 7, 8, 9, 127, 128, 129, 255, 256, 638, 1999, 2000};
  for (int i = 0; i < 12; ++i)
    widths.push_back(1 + random() % 2000);
  for (int width : widths) {
    for (std::uint16_t alignment : {1, 2, 4, 8, 16, 256}) {
      const std::uint8_t bits = std::uint8_t(std::vector<int>{1, 8, 24}[random() % 3]);
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
      EXPECT_EQ(testing_support::CheckRoundTrip(rows, std::int16_t(width), bits, alignment,
                                                random() % 2, repeats),
                "")
          << width << " pixels of " << int(bits) << " bits, alignment " << alignment;
    }
  }
}

TEST(RowEncoders, FuzzCorpusReplays) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

// JPEG.

// A smooth image: red across, green down, blue fixed.
std::vector<Row> Picture(int width, int height, int bits) {
  std::vector<Row> rows;
  for (int y = 0; y < height; ++y) {
    Row row;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t pixel[] = {std::uint8_t(x * 4), std::uint8_t(y * 8), 128, 0x77};
      row.insert(row.end(), pixel, pixel + bits / 8);
    }
    rows.push_back(row);
  }
  return rows;
}

struct JpegRun {
  std::string stream;
  std::uint32_t lines = 0;
  bool done = false;
};

JpegRun Compress(GRasterRowSource& source, GJpegEncoder& encoder) {
  encoder.SetUpstream(&source);
  EXPECT_EQ(encoder.Begin(), 1u);
  JpegRun run;
  std::uint8_t unused[1];
  for (int calls = 0; calls < 1000 && !encoder.IsDone(); ++calls) {
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    encoder.GetRow(unused, index, length, repeat, delivered);
    run.stream.append(reinterpret_cast<const char*>(encoder.GetOutput()), length);
    run.lines += delivered;
  }
  run.done = encoder.IsDone();
  return run;
}

// The decoded image, and the luminance and chrominance tables (natural order).
struct Decoded {
  int width = 0, height = 0, components = 0;
  std::vector<std::uint8_t> pixels;
  std::vector<int> tables[2];
};

Decoded Decompress(const std::string& stream) {
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  jpeg_read_header(&info, TRUE);
  Decoded image;
  for (int t = 0; t < 2; ++t)
    if (info.quant_tbl_ptrs[t])
      image.tables[t].assign(info.quant_tbl_ptrs[t]->quantval, info.quant_tbl_ptrs[t]->quantval + 8);
  jpeg_start_decompress(&info);
  image.width = int(info.output_width);
  image.height = int(info.output_height);
  image.components = info.output_components;
  image.pixels.resize(std::size_t(image.width) * image.height * image.components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &image.pixels[info.output_scanline * image.width * image.components];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

// Mean absolute difference between the decoded image and `rows` (their first
// `components` bytes of each pixel).
double MeanError(const Decoded& image, const std::vector<Row>& rows, int bits) {
  double sum = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < image.components; ++c)
        sum += std::abs(int(image.pixels[(y * image.width + x) * image.components + c]) -
                        int(rows[y][x * bits / 8 + c]));
  return sum / image.pixels.size();
}

TEST(JpegEncoder, WritesABaselineJfifStreamThatDecodes) {
  // The tables are the library's standard ones at quality 95: each entry x
  // 10 / 100, rounded (16 11 12 14 12 10 in zig-zag order give 2 1 1 1 1 1).
  const std::string jfif = "FF D8 FF E0 00 10 4A 46 49 46 00 01 01 00 00 01 00 01 00 00";
  for (int bits : {24, 32, 8}) {
    const std::vector<Row> rows = Picture(40, 24, bits);
    MemoryRowSource source(rows, 40, std::uint8_t(bits));
    GJpegEncoder encoder(1, 1);
    const JpegRun run = Compress(source, encoder);
    ASSERT_TRUE(run.done);
    EXPECT_EQ(run.lines, 24u);
    const std::string hex = Hex(run.stream);
    EXPECT_EQ(hex.substr(0, jfif.size()), jfif) << bits;
    EXPECT_EQ(hex.substr(hex.size() - 5), "FF D9");
    EXPECT_NE(hex.find("FF DB 00 43 00 02 01 01 01 01 01 02 01"), std::string::npos);
    // SOF0: precision 8, height 24, width 40, the components and sampling.
    EXPECT_NE(hex.find(bits == 8 ? "FF C0 00 0B 08 00 18 00 28 01 01 11 00"
                                 : "FF C0 00 11 08 00 18 00 28 03 01 22 00 02 11 01 03 11 01"),
              std::string::npos)
        << bits;
    const Decoded image = Decompress(run.stream);
    EXPECT_EQ(image.tables[0], (std::vector<int>{2, 1, 1, 2, 2, 4, 5, 6}));
    const std::vector<int> chrominance = {2, 2, 2, 5, 10, 10, 10, 10};
    EXPECT_EQ(image.tables[1], bits == 8 ? std::vector<int>{} : chrominance);
    ASSERT_EQ(image.width * image.height, 40 * 24);
    EXPECT_LT(MeanError(image, rows, bits), 2.0) << bits;
    EXPECT_EQ(encoder.GetOutputCount(), run.stream.size());
  }
}

TEST(JpegEncoder, RepeatsRowsAndFillsAnImageTheUpstreamLeftShort) {
  // Rows standing for 3 and 2 lines; then an upstream whose bounds promise
  // 300 lines and which delivers 2: the second fills the other 298.
  MemoryRowSource repeated(Picture(16, 2, 24), 16, 24, {3, 2});
  GJpegEncoder first(1, 0);
  JpegRun run = Compress(repeated, first);
  EXPECT_TRUE(run.done);
  EXPECT_EQ(run.lines, 5u);
  EXPECT_EQ(Decompress(run.stream).height, 5);
  const std::vector<Row> two = Picture(16, 2, 24);
  MemoryRowSource short_source(two, 16, 24);
  short_source.bounds.bottom = 300;
  GJpegEncoder second(1, 0);
  run = Compress(short_source, second);
  EXPECT_TRUE(run.done);
  EXPECT_EQ(run.lines, 300u);
  const Decoded image = Decompress(run.stream);
  ASSERT_EQ(image.height, 300);
  std::vector<Row> expected(300, two[1]);
  expected[0] = two[0];
  EXPECT_LT(MeanError(image, expected, 24), 2.0);
}

TEST(JpegEncoder, ALibraryErrorEndsTheCompression) {
  // A depth it cannot take, an empty image, a caller's block too small.
  struct Case {
    std::uint8_t bits;
    std::int16_t height;
    std::uint32_t capacity;
  } cases[] = {{4, 8, 0}, {16, 8, 0}, {24, 0, 0}, {24, 8, 100}};
  for (const Case& c : cases) {
    MemoryRowSource source(Picture(16, 8, 24), 16, c.bits);
    source.bounds.bottom = c.height;
    GJpegEncoder encoder(1, 0);
    std::vector<std::uint8_t> block(c.capacity);
    if (c.capacity) encoder.SetOutput(block.data(), c.capacity);
    encoder.SetUpstream(&source);
    ASSERT_EQ(encoder.Begin(), 1u);
    std::uint8_t unused[1];
    std::uint16_t index = 0;
    std::uint32_t length = 7;
    std::uint8_t repeat = 9, delivered = 9;
    for (int calls = 0; calls < 10 && !encoder.IsDone(); ++calls)
      encoder.GetRow(unused, index, length, repeat, delivered);
    EXPECT_TRUE(encoder.IsDone()) << int(c.bits);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(repeat, 1);
    EXPECT_LE(encoder.GetOutputCount(), c.capacity ? c.capacity : 0u);
    encoder.GetRow(unused, index, length, repeat, delivered);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(delivered, 0);
  }
}

TEST(JpegEncoder, CallersBlockAndTwoThreadsGiveTheSameStream) {
  const std::vector<Row> rows = Picture(64, 48, 24);
  MemoryRowSource source(rows, 64, 24);
  GJpegEncoder encoder(1, 0);
  const std::string reference = Compress(source, encoder).stream;
  std::vector<std::uint8_t> block(reference.size());
  MemoryRowSource again(rows, 64, 24);
  encoder.SetOutput(block.data(), std::uint32_t(block.size()));
  EXPECT_EQ(Compress(again, encoder).stream, reference);
  EXPECT_EQ(encoder.GetOutputCount(), reference.size());
  EXPECT_EQ(std::string(block.begin(), block.end()), reference);

  std::string streams[2];
  std::vector<std::thread> threads;
  for (std::string& stream : streams) {
    threads.emplace_back([&rows, &stream] {
      for (int i = 0; i < 20; ++i) {
        MemoryRowSource own(rows, 64, 24);
        GJpegEncoder own_encoder(1, 0);
        std::string one = Compress(own, own_encoder).stream;
        if (i == 0 || one != stream) stream = i == 0 ? one : "differs";
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(streams[0], reference);
  EXPECT_EQ(streams[1], reference);
}

}  // namespace
