#include "persist/codec/zlib_compressor.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/thread_part.h"

namespace {

// zlib's blocks come from the library's allocation, not the C library's:
// a state that cannot be made is then the out-of-memory error, after the
// new handler's reserve was tried, not a compressor that fails unexplained.
voidpf AllocateBlock(voidpf, uInt items, uInt size) {
  return RWNewArrayForOverwrite<unsigned char>(std::uint64_t(items) * size).release();
}

void FreeBlock(voidpf, voidpf block) {
  delete[] static_cast<unsigned char*>(block);
}

// The calling thread's zlib states. Making a deflate state costs more than
// packing a settings record (some 270 KB allocated and cleared), so each
// thread keeps one and resets it per record; a reset state packs to the
// same bytes as a new one.
class ThreadStreams {
 public:
  ThreadStreams() = default;
  ThreadStreams(const ThreadStreams&) = delete;
  ThreadStreams& operator=(const ThreadStreams&) = delete;
  ~ThreadStreams() {
    if (deflate_made_) deflateEnd(&deflate_);
    if (inflate_made_) inflateEnd(&inflate_);
  }

  // A deflate state fresh for a new stream, or null when none can be made.
  z_stream* Deflater() {
    if (deflate_made_) return deflateReset(&deflate_) == Z_OK ? &deflate_ : nullptr;
    deflate_ = z_stream{};
    deflate_.zalloc = AllocateBlock;
    deflate_.zfree = FreeBlock;
    // compress()'s settings: its level, and deflateInit's window, memory
    // level and strategy.
    deflate_made_ = deflateInit(&deflate_, Z_DEFAULT_COMPRESSION) == Z_OK;
    return deflate_made_ ? &deflate_ : nullptr;
  }

  // An inflate state fresh for a new stream, or null when none can be made.
  z_stream* Inflater() {
    if (inflate_made_) return inflateReset(&inflate_) == Z_OK ? &inflate_ : nullptr;
    inflate_ = z_stream{};
    inflate_.zalloc = AllocateBlock;
    inflate_.zfree = FreeBlock;
    inflate_made_ = inflateInit(&inflate_) == Z_OK;
    return inflate_made_ ? &inflate_ : nullptr;
  }

 private:
  z_stream deflate_{};
  z_stream inflate_{};
  bool deflate_made_ = false;
  bool inflate_made_ = false;
};

thread_local platform::ThreadPart<ThreadStreams> t_streams;

// zlib counts in uInt: longer buffers go in pieces of at most this.
constexpr std::size_t kLargestPiece = static_cast<uInt>(-1);

// Packs `length` bytes of `source` into at most `room` bytes of `packed`
// as compress() does; false when the result does not fit (or no state can
// be made). `packed_length` receives the length.
bool Deflate(const Bytef* source, std::size_t length, Bytef* packed, std::size_t room,
             std::size_t& packed_length) {
  z_stream* stream = t_streams.Get().Deflater();
  if (!stream) return false;
  // A reset keeps the counts a failed call left: every field set anew.
  stream->next_in = const_cast<Bytef*>(source);
  stream->avail_in = 0;
  stream->next_out = packed;
  stream->avail_out = 0;
  int result = Z_OK;
  do {
    if (stream->avail_out == 0) {
      stream->avail_out = static_cast<uInt>(std::min(room, kLargestPiece));
      room -= stream->avail_out;
    }
    if (stream->avail_in == 0) {
      stream->avail_in = static_cast<uInt>(std::min(length, kLargestPiece));
      length -= stream->avail_in;
    }
    result = deflate(stream, length ? Z_NO_FLUSH : Z_FINISH);
  } while (result == Z_OK);
  packed_length = static_cast<std::size_t>(stream->total_out);
  return result == Z_STREAM_END;
}

// Expands the zlib stream in `length` bytes of `source` into at most `room`
// bytes of `expanded`, as uncompress() does (bytes after the stream's end
// are ignored); false when the input is no complete stream or its result
// does not fit. `expanded_length` receives the length.
bool Inflate(const Bytef* source, std::size_t length, Bytef* expanded, std::size_t room,
             std::size_t& expanded_length) {
  z_stream* stream = t_streams.Get().Inflater();
  if (!stream) return false;
  stream->next_in = const_cast<Bytef*>(source);
  stream->avail_in = 0;
  stream->next_out = expanded;
  stream->avail_out = static_cast<uInt>(room);
  int result = Z_OK;
  do {
    if (stream->avail_in == 0) {
      stream->avail_in = static_cast<uInt>(std::min(length, kLargestPiece));
      length -= stream->avail_in;
    }
    // With the whole input given, Z_FINISH spares the state its window.
    result = inflate(stream, length ? Z_NO_FLUSH : Z_FINISH);
  } while (result == Z_OK);
  expanded_length = static_cast<std::size_t>(stream->total_out);
  return result == Z_STREAM_END;
}

// The whole input from position 0, or null when it cannot be read.
std::unique_ptr<Bytef[]> ReadWhole(std::istream& input, std::size_t& length) {
  if (!input.seekg(0, std::ios_base::end)) return nullptr;
  std::streamoff end = input.tellg();
  if (end < 0 || !input.seekg(0, std::ios_base::beg)) return nullptr;
  length = static_cast<std::size_t>(end);
  // One byte more than asked, so that an empty input still has a buffer.
  std::unique_ptr<Bytef[]> bytes(new (kRWNoThrow) Bytef[length + 1]);
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
  // Mended (docs/mended-behaviour.md): a block of no bytes is no longer left failed.
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
  // Mended (docs/mended-behaviour.md): a result as long as the input is refused.
  std::unique_ptr<Bytef[]> packed(new (kRWNoThrow) Bytef[length]);
  if (!packed) return fail();
  std::size_t packed_length = 0;
  if (!Deflate(source.get(), length, packed.get(), length - 1, packed_length) ||
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
  std::unique_ptr<Bytef[]> expanded(new (kRWNoThrow) Bytef[kExpansionLimit]);
  if (!expanded) return 0;
  std::size_t expanded_length = 0;
  if (!Inflate(source.get(), length, expanded.get(), kExpansionLimit, expanded_length)) return 0;
  std::streamoff start = output.tellp();
  if (start < 0 || !Fits(output, start, expanded_length)) return 0;
  return WriteAll(output, expanded.get(), expanded_length) ? 1 : 0;
}

std::size_t GZlibCompressor::Compress(const void* source, std::size_t length, void* packed,
                                      std::size_t room) const {
  if (length == 0 || !source || !packed) return 0;
  // As the stream form: what does not shrink is not packed.
  std::size_t packed_length = 0;
  return Deflate(static_cast<const Bytef*>(source), length, static_cast<Bytef*>(packed),
                 std::min(room, length - 1), packed_length)
             ? packed_length
             : 0;
}

std::size_t GZlibCompressor::Expand(const void* source, std::size_t length, void* expanded,
                                    std::size_t room) const {
  if (!source || !expanded) return 0;
  RWErrorScope scope;
  std::size_t expanded_length = 0;
  return Inflate(static_cast<const Bytef*>(source), length, static_cast<Bytef*>(expanded),
                 std::min(room, kExpansionLimit), expanded_length)
             ? expanded_length
             : 0;
}
