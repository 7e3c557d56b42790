#include "persist/codec/zlib_compressor.h"

#include <zlib.h>

#include <memory>
#include <new>

#include "foundation/rw/error.h"

namespace {

// The whole input from position 0, or null when it cannot be read.
std::unique_ptr<Bytef[]> ReadWhole(std::istream& input, std::size_t& length) {
  if (!input.seekg(0, std::ios_base::end)) return nullptr;
  std::streamoff end = input.tellg();
  if (end < 0 || !input.seekg(0, std::ios_base::beg)) return nullptr;
  length = static_cast<std::size_t>(end);
  // One byte more than asked, so that an empty input still has a buffer.
  std::unique_ptr<Bytef[]> bytes(new (std::nothrow) Bytef[length + 1]);
  if (!bytes) return nullptr;
  if (!input.read(reinterpret_cast<char*>(bytes.get()), static_cast<std::streamsize>(length))) {
    return nullptr;
  }
  return bytes;
}

// Whether `length` bytes may be written at `start`: see the header on room.
bool Fits(std::ostream& output, std::streamoff start, std::size_t length) {
  if (!output.seekp(0, std::ios_base::end)) return false;
  std::streamoff end = output.tellp();
  if (end < 0 || !output.seekp(start, std::ios_base::beg)) return false;
  return end == start || static_cast<std::size_t>(end - start) >= length;
}

// Writes the bytes at the output's position; false when the stream failed.
bool WriteAll(std::ostream& output, const Bytef* bytes, std::size_t length) {
  output.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
  return !output.fail();
}

}  // namespace

int GZlibCompressor::Compress(std::istream& input, std::ostream& output) const {
  // Every failure leaves the output as it came, at position 0.
  const std::ios_base::iostate state = output.rdstate();
  auto fail = [&output, state] {
    output.clear(state);
    output.seekp(0, std::ios_base::beg);
    return 0;
  };
  std::size_t length = 0;
  std::unique_ptr<Bytef[]> source = ReadWhole(input, length);
  if (!source || length == 0) return fail();
  // Room for a result at least one byte shorter than the input: zlib
  // answers Z_BUF_ERROR for what does not shrink.
  std::unique_ptr<Bytef[]> packed(new (std::nothrow) Bytef[length]);
  if (!packed) return fail();
  uLongf packed_length = static_cast<uLongf>(length - 1);
  if (compress(packed.get(), &packed_length, source.get(), static_cast<uLong>(length)) != Z_OK ||
      !Fits(output, 0, packed_length)) {
    return fail();
  }
  // A stream without room (a block of no bytes) fails the write.
  return WriteAll(output, packed.get(), packed_length) ? 1 : fail();
}

int GZlibCompressor::Expand(std::istream& input, std::ostream& output) const {
  // Outside data: nothing read here may reach the process-wide handler.
  RWErrorScope scope;
  std::size_t length = 0;
  std::unique_ptr<Bytef[]> source = ReadWhole(input, length);
  if (!source) return 0;
  std::unique_ptr<Bytef[]> expanded(new (std::nothrow) Bytef[kExpansionLimit]);
  if (!expanded) return 0;
  uLongf expanded_length = kExpansionLimit;
  if (uncompress(expanded.get(), &expanded_length, source.get(), static_cast<uLong>(length)) !=
      Z_OK) {
    return 0;
  }
  std::streamoff start = output.tellp();
  if (start < 0 || !Fits(output, start, expanded_length)) return 0;
  return WriteAll(output, expanded.get(), expanded_length) ? 1 : 0;
}
