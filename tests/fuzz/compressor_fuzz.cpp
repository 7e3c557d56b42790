// Fuzz target of the stream compressors. The first byte picks the work: the
// LZW expander or the zlib expander on the rest of the input, each into a
// bounded block as their callers use them, or an LZW round trip of the rest
// (pack, then unpack must give the bytes back). No error may reach the
// process-wide handler (the default one is in force), nothing may crash or
// hang.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/rw/memorystream.h"
#include "persist/codec/lzw_compressor.h"
#include "persist/codec/zlib_compressor.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;  // the compressors need no class registrations
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* bytes = reinterpret_cast<const char*>(data) + 1;
  std::size_t length = size - 1;
  static std::vector<char> block(1 << 16);
  RWMemoryInputStream in(bytes, length);
  RWMemoryOutputStream out(block.data(), block.size());
  switch (data[0] % 3) {
    case 0: {
      GLZWCompressor lzw;
      lzw.Expand(in, out);
      break;
    }
    case 1:
      GZlibCompressor().Expand(in, out);
      break;
    default: {
      GLZWCompressor lzw;
      std::ostringstream packed;
      if (!lzw.Compress(in, packed)) std::abort();
      std::istringstream packed_in(packed.str());
      std::ostringstream unpacked;
      if (!lzw.Expand(packed_in, unpacked) || unpacked.str() != std::string(bytes, length)) {
        std::abort();
      }
      break;
    }
  }
  return 0;
}
