// The strings' stored form on virtual streams.
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/rw/basic_string.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/vstream.h"

namespace {

// The stored length is outside data: storage grows with the characters
// that actually arrive, from at most this much up front.
constexpr RWSize kFirstReserve = 4096;
constexpr RWSize kChunk = 2048;

class GrowingSink : public RWStringSink {
 public:
  GrowingSink(std::string& text, RWSize expected) : text_(text) {
    text_.reserve(std::min(expected, kFirstReserve));
  }
  void Append(const char* chars, std::size_t n) override { text_.append(chars, n); }

 private:
  std::string& text_;
};

// Reads n items through an array operation in bounded chunks.
template <class Unit, class Item, class GetArray>
bool ReadInChunks(RWVirtualInputStream& stream, RWSize n, GetArray get,
                  std::basic_string<Unit>& out) {
  out.reserve(std::min(n, kFirstReserve));
  Item chunk[kChunk];
  while (n > 0 && !stream.Fail()) {
    RWSize k = std::min(n, kChunk);
    (stream.*get)(chunk, k);
    if (stream.Fail()) return false;
    for (RWSize i = 0; i < k; ++i)
      out.push_back(static_cast<Unit>(chunk[i]));
    n -= k;
  }
  return !stream.Fail();
}

}  // namespace

template <class CharT>
void RWBasicString<CharT>::SaveToStream(RWVirtualOutputStream& stream) const {
  stream.PutUInt(Length());
  if constexpr (kWide) {
    stream.PutUShorts(reinterpret_cast<const std::uint16_t*>(data_), Length());
  } else if (stream.StringMode() != 0) {
    stream.PutString(data_, Length());
  } else {
    stream.PutChars(data_, Length());
  }
}

template <class CharT>
void RWBasicString<CharT>::RestoreFromStream(RWVirtualInputStream& stream) {
  RWReadScope scope(stream);
  std::uint32_t length = 0;
  stream.GetUInt(length);
  if (!stream.Good()) {
    // A length read at the very end of the input leaves only end of input
    // set; without its characters the restore has still failed.
    stream.SetState(stream.State() | RWStreamState::kFail);
    return;
  }

  // Characters are gathered aside, so that a failing stream leaves the
  // string as it was, and never more is allocated than has arrived.
  std::basic_string<CharT> text;
  bool ok;
  if constexpr (kWide) {
    ok =
        ReadInChunks<CharT, std::uint16_t>(stream, length, &RWVirtualInputStream::GetUShorts, text);
  } else if (stream.StringMode() != 0) {
    GrowingSink sink(text, length);
    stream.ReadCountedString(sink, length);
    ok = !stream.Fail();
  } else {
    ok = ReadInChunks<char, char>(stream, length, &RWVirtualInputStream::GetChars, text);
  }
  if (ok && text.size() != length) {
    // The counted string disagrees with the length stored before it.
    stream.SetState(stream.State() | RWStreamState::kFail);
    ok = false;
  }
  if (!ok) return;

  if (!ClearForReading(length)) {
    stream.SetState(stream.State() | RWStreamState::kFail);
    return;
  }
  if (length > 0) {
    std::memcpy(data_, text.data(), length * sizeof(CharT));
    SetLength(length);
  }
}

template void RWBasicString<char>::SaveToStream(RWVirtualOutputStream&) const;
template void RWBasicString<char>::RestoreFromStream(RWVirtualInputStream&);
template void RWBasicString<char16_t>::SaveToStream(RWVirtualOutputStream&) const;
template void RWBasicString<char16_t>::RestoreFromStream(RWVirtualInputStream&);
