#include "foundation/rw/binarystream.h"

#include <algorithm>
#include <type_traits>

static_assert(sizeof(float) == 4 && sizeof(double) == 8);

namespace {

constexpr std::size_t kChunkBytes = 512;

// The value's bits as an unsigned number of the same width.
template <class T>
auto BitsOf(T v) {
  if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<std::uint32_t>(v);
  } else if constexpr (std::is_same_v<T, double>) {
    return std::bit_cast<std::uint64_t>(v);
  } else {
    return static_cast<std::make_unsigned_t<T>>(v);
  }
}

template <class T>
T FromBits(std::uint64_t bits) {
  if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
  } else if constexpr (std::is_same_v<T, double>) {
    return std::bit_cast<double>(bits);
  } else {
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
  }
}

void StoreBytes(std::uint64_t bits, std::size_t size, std::uint32_t order, unsigned char* out) {
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char byte = static_cast<unsigned char>(bits >> (8 * i));
    out[order == kRWLittleEndian ? i : size - 1 - i] = byte;
  }
}

std::uint64_t LoadBytes(const unsigned char* in, std::size_t size, std::uint32_t order) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < size; ++i) {
    std::uint64_t byte = in[order == kRWLittleEndian ? i : size - 1 - i];
    bits |= byte << (8 * i);
  }
  return bits;
}

// Adapts an integer stored in `size` bytes (1 to 8) to T. A narrower value
// is widened with its sign (signed T) or zeros; a wider one must carry only
// that fill in its extra high bytes. False when it does not.
template <class T>
bool AdaptInteger(std::uint64_t raw, std::size_t size, T& v) {
  constexpr std::size_t kNative = sizeof(T);
  if (size <= kNative) {
    if (std::is_signed_v<T> && size < 8 && ((raw >> (8 * size - 1)) & 1)) {
      raw |= ~std::uint64_t{0} << (8 * size);
    }
    v = FromBits<T>(raw);
    return true;
  }
  const std::uint64_t low = raw & ((std::uint64_t{1} << (8 * kNative)) - 1);
  const bool negative = std::is_signed_v<T> && ((low >> (8 * kNative - 1)) & 1);
  const std::uint64_t high = raw >> (8 * kNative);
  const std::uint64_t high_mask = ~std::uint64_t{0} >> (8 * (8 - (size - kNative)));
  if (high != (negative ? high_mask : 0)) return false;
  v = FromBits<T>(low);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Output

RWBinaryOutputStream::RWBinaryOutputStream(std::ostream& os)
    : RWBinaryOutputStream(os, kRWLittleEndian) {}

RWBinaryOutputStream::RWBinaryOutputStream(std::streambuf* buffer)
    : RWBinaryOutputStream(buffer, kRWLittleEndian) {}

RWBinaryOutputStream::RWBinaryOutputStream(std::ostream& os, std::uint32_t byte_order)
    : RWRuntimeOutputStream(os), byte_order_(byte_order) {}

RWBinaryOutputStream::RWBinaryOutputStream(std::streambuf* buffer, std::uint32_t byte_order)
    : RWRuntimeOutputStream(buffer), byte_order_(byte_order) {}

void RWBinaryOutputStream::WriteBytes(const void* p, std::size_t n) {
  if (n == 0) return;
  std::ostream& os = Runtime();
  std::streambuf* buffer = os.rdbuf();
  if (!os.good() || !buffer) {
    SetFail();
    return;
  }
  std::streamsize written =
      buffer->sputn(static_cast<const char*>(p), static_cast<std::streamsize>(n));
  if (written != static_cast<std::streamsize>(n)) SetFail();
}

template <class T>
void RWBinaryOutputStream::PutValues(const T* p, RWSize n) {
  constexpr std::size_t kSize = sizeof(T);
  if (n == 1) {
    unsigned char bytes[kSize];
    StoreBytes(BitsOf(*p), kSize, byte_order_, bytes);
    WriteBytes(bytes, kSize);
    return;
  }
  unsigned char bytes[kChunkBytes];
  while (n > 0) {
    std::size_t k = std::min<std::size_t>(n, kChunkBytes / kSize);
    for (std::size_t i = 0; i < k; ++i)
      StoreBytes(BitsOf(p[i]), kSize, byte_order_, bytes + i * kSize);
    WriteBytes(bytes, k * kSize);
    if (Fail()) return;
    p += k;
    n -= static_cast<RWSize>(k);
  }
}

RWVirtualOutputStream& RWBinaryOutputStream::PutString(const char* s, RWSize n) {
  // The count is little-endian in both binary encodings, whatever the order
  // of the values.
  unsigned char count[4];
  StoreBytes(n, 4, kRWLittleEndian, count);
  WriteBytes(count, 4);
  if (!Fail()) WriteBytes(s, n);
  return *this;
}

RWVirtualOutputStream& RWBinaryOutputStream::PutUShort(std::uint16_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutShort(std::int16_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutULong(std::uint32_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutLong(std::int32_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUInt(std::uint32_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutInt(std::int32_t v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutFloat(float v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutDouble(double v) {
  PutValues(&v, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUChar(std::uint8_t c) {
  WriteBytes(&c, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutChar(char c) {
  WriteBytes(&c, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutDoubles(const double* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutFloats(const float* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutULongs(const std::uint32_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutLongs(const std::int32_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUInts(const std::uint32_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutInts(const std::int32_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUShorts(const std::uint16_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutShorts(const std::int16_t* p, RWSize n) {
  PutValues(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUChars(const std::uint8_t* p, RWSize n) {
  WriteBytes(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutUCharAsNumber(std::uint8_t c) {
  WriteBytes(&c, 1);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutChars(const char* p, RWSize n) {
  WriteBytes(p, n);
  return *this;
}
RWVirtualOutputStream& RWBinaryOutputStream::PutSCharAsNumber(std::int8_t c) {
  WriteBytes(&c, 1);
  return *this;
}

// ---------------------------------------------------------------------------
// Input

RWBinaryInputStream::RWBinaryInputStream(std::istream& is)
    : RWBinaryInputStream(is, kRWLittleEndian) {}

RWBinaryInputStream::RWBinaryInputStream(std::streambuf* buffer)
    : RWBinaryInputStream(buffer, kRWLittleEndian) {}

RWBinaryInputStream::RWBinaryInputStream(std::istream& is, std::uint32_t byte_order)
    : RWRuntimeInputStream(is), byte_order_(byte_order) {}

RWBinaryInputStream::RWBinaryInputStream(std::streambuf* buffer, std::uint32_t byte_order)
    : RWRuntimeInputStream(buffer), byte_order_(byte_order) {}

bool RWBinaryInputStream::ReadBytes(void* p, std::size_t n) {
  if (n == 0) return true;
  std::istream& is = Runtime();
  std::streambuf* buffer = is.rdbuf();
  if (!is.good() || !buffer) {
    SetFail();
    return false;
  }
  // A single value (a token, a number) comes byte by byte from the buffer's
  // get area, without a call through the buffer's table.
  auto* out = static_cast<char*>(p);
  std::size_t got = 0;
  if (n <= 8) {
    for (int c; got < n && (c = buffer->sbumpc()) != std::char_traits<char>::eof(); ++got)
      out[got] = static_cast<char>(c);
  } else {
    got = static_cast<std::size_t>(buffer->sgetn(out, static_cast<std::streamsize>(n)));
  }
  if (got != n) {
    is.setstate(std::ios_base::eofbit | std::ios_base::failbit);
    return false;
  }
  return true;
}

template <class T>
bool RWBinaryInputStream::ReadInteger(T& v, std::uint32_t stored_size) {
  unsigned char bytes[8];
  if (stored_size == 0 || stored_size > 8) {
    SetFail();
    return false;
  }
  if (!ReadBytes(bytes, stored_size)) return false;
  if (!AdaptInteger(LoadBytes(bytes, stored_size, byte_order_), stored_size, v)) {
    SetFail();
    return false;
  }
  return true;
}

template <class T>
void RWBinaryInputStream::GetIntegers(T* p, RWSize n, std::uint32_t stored_size) {
  if (n == 0) return;
  if (stored_size == 0 || stored_size > 8) {
    SetFail();
    return;
  }
  unsigned char bytes[kChunkBytes];
  while (n > 0) {
    std::size_t k = std::min<std::size_t>(n, kChunkBytes / stored_size);
    if (!ReadBytes(bytes, k * stored_size)) return;
    for (std::size_t i = 0; i < k; ++i) {
      if (!AdaptInteger(LoadBytes(bytes + i * stored_size, stored_size, byte_order_), stored_size,
                        p[i])) {
        SetFail();
        return;
      }
    }
    p += k;
    n -= static_cast<RWSize>(k);
  }
}

template <class T>
void RWBinaryInputStream::GetFloating(T* p, RWSize n) {
  constexpr std::size_t kSize = sizeof(T);
  unsigned char bytes[kChunkBytes];
  while (n > 0) {
    std::size_t k = std::min<std::size_t>(n, kChunkBytes / kSize);
    if (!ReadBytes(bytes, k * kSize)) return;
    for (std::size_t i = 0; i < k; ++i)
      p[i] = FromBits<T>(LoadBytes(bytes + i * kSize, kSize, byte_order_));
    p += k;
    n -= static_cast<RWSize>(k);
  }
}

RWVirtualInputStream& RWBinaryInputStream::GetULongs(std::uint32_t* p, RWSize n) {
  GetIntegers(p, n, long_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUInts(std::uint32_t* p, RWSize n) {
  GetIntegers(p, n, int_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUShorts(std::uint16_t* p, RWSize n) {
  GetIntegers(p, n, short_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUChars(std::uint8_t* p, RWSize n) {
  ReadBytes(p, n);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetShorts(std::int16_t* p, RWSize n) {
  GetIntegers(p, n, short_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetLongs(std::int32_t* p, RWSize n) {
  GetIntegers(p, n, long_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetInts(std::int32_t* p, RWSize n) {
  GetIntegers(p, n, int_size_);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetFloats(float* p, RWSize n) {
  GetFloating(p, n);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetDoubles(double* p, RWSize n) {
  GetFloating(p, n);
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetChars(char* p, RWSize n) {
  ReadBytes(p, n);
  return *this;
}

RWVirtualInputStream& RWBinaryInputStream::GetUCharAsNumber(std::uint8_t& c) {
  std::uint8_t v;
  if (ReadBytes(&v, 1)) c = v;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetCharAsNumber(char& c) {
  char v;
  if (ReadBytes(&v, 1)) c = v;
  return *this;
}

int RWBinaryInputStream::Get() {
  unsigned char v;
  return ReadBytes(&v, 1) ? v : -1;
}

RWVirtualInputStream& RWBinaryInputStream::GetULong(std::uint32_t& v) {
  std::uint32_t t;
  if (ReadInteger(t, long_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUInt(std::uint32_t& v) {
  std::uint32_t t;
  if (ReadInteger(t, int_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUShort(std::uint16_t& v) {
  std::uint16_t t;
  if (ReadInteger(t, short_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetUChar(std::uint8_t& c) {
  return GetUCharAsNumber(c);
}
RWVirtualInputStream& RWBinaryInputStream::GetShort(std::int16_t& v) {
  std::int16_t t;
  if (ReadInteger(t, short_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetLong(std::int32_t& v) {
  std::int32_t t;
  if (ReadInteger(t, long_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetInt(std::int32_t& v) {
  std::int32_t t;
  if (ReadInteger(t, int_size_)) v = t;
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetFloat(float& v) {
  unsigned char bytes[4];
  if (ReadBytes(bytes, 4)) v = FromBits<float>(LoadBytes(bytes, 4, byte_order_));
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetDouble(double& v) {
  unsigned char bytes[8];
  if (ReadBytes(bytes, 8)) v = FromBits<double>(LoadBytes(bytes, 8, byte_order_));
  return *this;
}
RWVirtualInputStream& RWBinaryInputStream::GetChar(char& c) {
  return GetCharAsNumber(c);
}

RWSize RWBinaryInputStream::ReadCountedString(RWStringSink& sink, RWSize max_chars) {
  unsigned char count_bytes[4];
  if (!ReadBytes(count_bytes, 4)) return 0;
  const std::uint32_t count =
      static_cast<std::uint32_t>(LoadBytes(count_bytes, 4, kRWLittleEndian));
  // The count is stored data: characters are handed out only as they
  // arrive, a chunk at a time, so a corrupt count costs a short read.
  char chunk[4096];
  const RWSize keep = std::min(count, max_chars);
  RWSize handed = 0;
  while (handed < keep) {
    std::size_t k = std::min<std::size_t>(keep - handed, sizeof chunk);
    if (!ReadBytes(chunk, k)) return handed;
    sink.Append(chunk, k);
    handed += static_cast<RWSize>(k);
  }
  for (std::uint32_t rest = count - keep; rest > 0;) {
    std::size_t k = std::min<std::size_t>(rest, sizeof chunk);
    if (!ReadBytes(chunk, k)) return handed;
    rest -= static_cast<std::uint32_t>(k);
  }
  if (count > keep) SetFail();
  return handed;
}
