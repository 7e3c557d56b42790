#include "foundation/rw/vstream.h"

#include <cstring>

#include "foundation/rw/support.h"

RWVirtualOutputStream& RWVirtualOutputStream::PutCString(const char* s) {
  if (!s) return PutString("", 0);
  return PutString(s, static_cast<RWSize>(std::strlen(s)));
}

namespace {

// Keeps what fits of a counted string in a caller's buffer.
class BufferSink : public RWStringSink {
 public:
  BufferSink(char* buffer, RWSize room) : buffer_(buffer), room_(room) {}
  void Append(const char* chars, std::size_t n) override {
    std::size_t take = n < room_ - stored_ ? n : room_ - stored_;
    std::memcpy(buffer_ + stored_, chars, take);
    stored_ += take;
  }
  RWSize Stored() const { return static_cast<RWSize>(stored_); }

 private:
  char* buffer_;
  std::size_t room_;
  std::size_t stored_ = 0;
};

template <class T, class Get>
std::unique_ptr<T> Extract(RWVirtualInputStream& stream, Get get) {
  std::unique_ptr<T> item(RWNew<T>());
  if (!item) return nullptr;  // [NOMEM]
  (stream.*get)(*item);
  if (stream.Fail()) return nullptr;
  return item;
}

}  // namespace

RWVirtualInputStream& RWVirtualInputStream::GetString(char* buffer, RWSize size) {
  if (size == 0 || buffer == nullptr) {
    SetState(State() | kFail);
    return *this;
  }
  BufferSink sink(buffer, size - 1);
  ReadCountedString(sink, size - 1);
  buffer[sink.Stored()] = '\0';
  return *this;
}

std::unique_ptr<char> RWExtractChar(RWVirtualInputStream& stream) {
  return Extract<char>(stream, &RWVirtualInputStream::GetChar);
}
std::unique_ptr<std::uint8_t> RWExtractUChar(RWVirtualInputStream& stream) {
  return Extract<std::uint8_t>(stream, &RWVirtualInputStream::GetUChar);
}
std::unique_ptr<std::int16_t> RWExtractShort(RWVirtualInputStream& stream) {
  return Extract<std::int16_t>(stream, &RWVirtualInputStream::GetShort);
}
std::unique_ptr<std::uint16_t> RWExtractUShort(RWVirtualInputStream& stream) {
  return Extract<std::uint16_t>(stream, &RWVirtualInputStream::GetUShort);
}
std::unique_ptr<std::int32_t> RWExtractInt(RWVirtualInputStream& stream) {
  return Extract<std::int32_t>(stream, &RWVirtualInputStream::GetInt);
}
std::unique_ptr<std::uint32_t> RWExtractUInt(RWVirtualInputStream& stream) {
  return Extract<std::uint32_t>(stream, &RWVirtualInputStream::GetUInt);
}
std::unique_ptr<std::int32_t> RWExtractLong(RWVirtualInputStream& stream) {
  return Extract<std::int32_t>(stream, &RWVirtualInputStream::GetLong);
}
std::unique_ptr<std::uint32_t> RWExtractULong(RWVirtualInputStream& stream) {
  return Extract<std::uint32_t>(stream, &RWVirtualInputStream::GetULong);
}
std::unique_ptr<float> RWExtractFloat(RWVirtualInputStream& stream) {
  return Extract<float>(stream, &RWVirtualInputStream::GetFloat);
}
std::unique_ptr<double> RWExtractDouble(RWVirtualInputStream& stream) {
  return Extract<double>(stream, &RWVirtualInputStream::GetDouble);
}
