#include "foundation/rw/basic_string.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/refcount.h"
#include "foundation/rw/support.h"
#include "foundation/rw/wstring.h"
#include "platform/text.h"

namespace {

// What differs between the two classes, apart from conversions.
template <class CharT>
struct Traits;

template <>
struct Traits<char> {
  static char ToLower(char c) { return platform::AsciiToLower(c); }
  static char ToUpper(char c) { return platform::AsciiToUpper(c); }
  // Case-blind ordering compares lowered characters as signed bytes.
  static int Order(char c) { return static_cast<signed char>(c); }
};

template <>
struct Traits<char16_t> {
  static char16_t ToLower(char16_t c) { return platform::WideToLower(c); }
  static char16_t ToUpper(char16_t c) { return platform::WideToUpper(c); }
  static int Order(char16_t c) { return c; }
};

// One lock record per class, named by the class's counts.
template <class CharT>
RWLockRecord& StringLock() {
  static constinit RWLockRecord lock;
  return lock;
}

// The shared empty body of each class: count 0, capacity 0, length 0, NUL.
template <class CharT>
struct EmptyBody {
  RWStringBody<CharT> body{{0}, 0, 0};
  CharT nul = 0;
};

template <class CharT>
constinit EmptyBody<CharT> g_empty;

template <class CharT>
CharT* EmptyData() {
  return g_empty<CharT>.body.Data();
}

// A null text pointer is taken as the empty text everywhere.
template <class CharT>
const CharT* OrEmpty(const CharT* s) {
  static constexpr CharT kEmpty[1] = {};
  return s ? s : kEmpty;
}

template <class CharT>
RWSize NulLength(const CharT* s) {
  RWSize n = 0;
  if (s) {
    while (s[n] != 0)
      ++n;
  }
  return n;
}

int Sign(int v) {
  return (v > 0) - (v < 0);
}

std::uint32_t Rotl5(std::uint32_t h) {
  return (h << 5) | (h >> 27);
}

// True when p points into [begin, end); pointers of unrelated objects are
// compared through their addresses.
template <class CharT>
bool PointsInto(const CharT* p, const CharT* begin, const CharT* end) {
  auto a = reinterpret_cast<std::uintptr_t>(p);
  return a >= reinterpret_cast<std::uintptr_t>(begin) && a < reinterpret_cast<std::uintptr_t>(end);
}

// A length that must fit in 32 bits; raises [OVFLOW] when it does not.
bool FitsLength(std::uint64_t n) {
  if (n <= 0xFFFFFFFEu) return true;
  RWRaiseOverflow();
  return false;
}

template <class CharT>
CharT& Scratch() {
  // Where a failed element access points once the error handler returned.
  static thread_local CharT scratch;
  scratch = 0;
  return scratch;
}

void RaiseSubString(RWSize start, RWSize extent, RWSize length) {
  RaiseIndexError(
      RWIndexError(RWMessageText(rwtools::SubString(), static_cast<int>(start), extent, length)));
}

// Whether (start, extent) fits a string of `length`; raises [SUBSTRING] if
// not. A start of RW_NPOS is the empty match and always fits.
bool CheckSubString(RWSize start, RWSize extent, RWSize length) {
  if (start == RW_NPOS) return true;
  if (start <= length && extent <= length - start) return true;
  RaiseSubString(start, extent, length);
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Bodies

template <class CharT>
RWSize RWBasicString<CharT>::RoundCapacity(RWSize n) {
  std::uint64_t initial = InitialCapacity();
  std::uint64_t increment = std::max<RWSize>(ResizeIncrement(), 1);
  if (n <= initial) return static_cast<RWSize>(initial);
  // Up to the next multiple of the increment; the usual increment (16) is
  // a power of two, which spares the division.
  std::uint64_t steps = n - initial + increment - 1;
  steps =
      (increment & (increment - 1)) == 0 ? steps & ~(increment - 1) : steps / increment * increment;
  std::uint64_t rounded = steps + initial;
  return rounded > 0xFFFFFFFEu ? n : static_cast<RWSize>(rounded);
}

namespace {

// Bytes of a body block for `capacity` characters; false after [NOMEM].
// Bodies live in malloc blocks, so that the sole owner's body can grow
// where it lies (realloc).
template <class CharT>
bool BodyBytes(RWSize capacity, std::size_t& bytes) {
  using Body = RWStringBody<CharT>;
  std::uint64_t units =
      std::uint64_t{capacity} + 1 + (sizeof(Body) + sizeof(CharT) - 1) / sizeof(CharT);
  if (!RWAllocationFits(units, sizeof(CharT))) return false;
  bytes = sizeof(Body) + (std::size_t{capacity} + 1) * sizeof(CharT);
  return true;
}

}  // namespace

template <class CharT>
CharT* RWBasicString<CharT>::NewBody(RWSize capacity, RWSize length) {
  if (capacity == 0 && length == 0) return EmptyBody();
  std::size_t bytes;
  if (!BodyBytes<CharT>(capacity, bytes)) return nullptr;
  void* block = std::malloc(bytes);
  if (!block) {
    RWRaiseNoMemory(bytes);
    return nullptr;
  }
  Body* body = new (block) Body{{0}, capacity, length};
  body->Data()[length] = 0;
  return body->Data();
}

template <class CharT>
bool RWBasicString<CharT>::ResizeBody(RWSize capacity) {
  std::size_t bytes;
  if (!BodyBytes<CharT>(capacity, bytes)) return false;
  RWSize length = std::min(Length(), capacity);
  void* block = std::realloc(static_cast<void*>(GetBody()), bytes);
  if (!block) {
    RWRaiseNoMemory(bytes);  // the old block is untouched
    return false;
  }
  // The header is made anew in the moved block (the count is 0: sole owner).
  Body* body = new (block) Body{{0}, capacity, length};
  data_ = body->Data();
  data_[length] = 0;
  return true;
}

// The shared empty body is never counted: every thread takes and drops it
// without touching its one cache line, and nothing ever frees it.
template <class CharT>
CharT* RWBasicString<CharT>::EmptyBody() {
  return EmptyData<CharT>();
}

template <class CharT>
void RWBasicString<CharT>::Retain(CharT* data) {
  if (data != EmptyData<CharT>()) {
    AddReference((reinterpret_cast<Body*>(data) - 1)->refs, StringLock<CharT>());
  }
}

template <class CharT>
CharT* RWBasicString<CharT>::NewBodyOrEmpty(RWSize capacity, RWSize length) {
  CharT* data = NewBody(capacity, length);
  return data ? data : EmptyBody();
}

template <class CharT>
void RWBasicString<CharT>::Adopt(CharT* fresh) {
  Release(data_);
  data_ = fresh;
}

template <class CharT>
void RWBasicString<CharT>::Release(CharT* data) {
  if (data == EmptyData<CharT>()) return;
  Body* body = reinterpret_cast<Body*>(data) - 1;
  if (ReleaseReference(body->refs, StringLock<CharT>()) == 0) {
    body->~Body();
    std::free(body);
  }
}

template <class CharT>
bool RWBasicString<CharT>::IsShared() const {
  return data_ == EmptyData<CharT>() || GetBody()->refs.load(std::memory_order_acquire) > 0;
}

template <class CharT>
void RWBasicString<CharT>::SetLength(RWSize n) {
  // The empty body is shared by every thread and already reads as length 0:
  // it is never written.
  if (data_ == EmptyData<CharT>()) return;
  GetBody()->length = n;
  data_[n] = 0;
}

template <class CharT>
bool RWBasicString<CharT>::Unshare() {
  return !IsShared() || Reallocate(Length());
}

template <class CharT>
bool RWBasicString<CharT>::Reallocate(RWSize capacity) {
  // Capacity 0 shares the empty body, as a new body would.
  if (!IsShared() && capacity != 0) return ResizeBody(capacity);
  RWSize length = std::min(Length(), capacity);
  CharT* fresh = NewBody(capacity, length);
  if (!fresh) return false;
  std::memcpy(fresh, data_, length * sizeof(CharT));
  Adopt(fresh);
  return true;
}

template <class CharT>
bool RWBasicString<CharT>::ClearForReading(RWSize capacity) {
  if (!IsShared() && Capacity() >= capacity) {
    SetLength(0);
    return true;
  }
  CharT* fresh = NewBody(capacity, 0);
  if (!fresh) return false;
  Adopt(fresh);
  return true;
}

// ---------------------------------------------------------------------------
// Construction and assignment

// A constructor that cannot get its body makes the empty string.

template <class CharT>
RWBasicString<CharT>::RWBasicString() : data_(EmptyBody()) {}

template <class CharT>
RWBasicString<CharT>::RWBasicString(const CharT* s) : RWBasicString(s, NulLength(s)) {}

template <class CharT>
RWBasicString<CharT>::RWBasicString(const CharT* s, RWSize n)
    : data_(NewBodyOrEmpty(s ? n : 0, s ? n : 0)) {
  if (Length()) std::memcpy(data_, s, Length() * sizeof(CharT));
}

template <class CharT>
RWBasicString<CharT>::RWBasicString(CharT c) : data_(NewBodyOrEmpty(InitialCapacity(), 1)) {
  if (Length()) data_[0] = c;
}

template <class CharT>
RWBasicString<CharT>::RWBasicString(CharT c, RWSize n) : data_(NewBodyOrEmpty(n, n)) {
  std::fill_n(data_, Length(), c);
}

template <class CharT>
RWBasicString<CharT>::RWBasicString(RWReserve reserve)
    : data_(NewBodyOrEmpty(reserve.capacity, 0)) {}

template <class CharT>
RWBasicString<CharT>::RWBasicString(const Range& range) {
  RWSize n = range.Start() == RW_NPOS ? 0 : range.Length();
  data_ = range.Start() == RW_NPOS ? EmptyBody() : NewBodyOrEmpty(RoundCapacity(n), n);
  if (Length()) std::memcpy(data_, range.Data(), Length() * sizeof(CharT));
}

template <class CharT>
RWBasicString<CharT>::RWBasicString(const RWBasicString& other) : data_(other.data_) {
  Retain(data_);
}

template <class CharT>
RWBasicString<CharT>::RWBasicString(RWBasicString&& other) noexcept : data_(other.data_) {
  other.data_ = EmptyBody();
}

template <class CharT>
RWBasicString<CharT>::~RWBasicString() {
  Release(data_);
}

template <class CharT>
RWBasicString<CharT> RWBasicString<CharT>::Concat(const CharT* a, RWSize alen, const CharT* b,
                                                  RWSize blen) {
  if (!a) alen = 0;
  if (!b) blen = 0;
  if (!FitsLength(std::uint64_t{alen} + blen)) return RWBasicString();
  RWSize n = alen + blen;
  CharT* data = NewBody(RoundCapacity(n), n);
  if (!data) return RWBasicString();
  RWBasicString result(AdoptTag{}, data);
  if (alen) std::memcpy(result.data_, a, alen * sizeof(CharT));
  if (blen) std::memcpy(result.data_ + alen, b, blen * sizeof(CharT));
  return result;
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::operator=(const RWBasicString& other) {
  if (data_ != other.data_) {
    Retain(other.data_);
    Release(data_);
    data_ = other.data_;
  }
  return *this;
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::operator=(RWBasicString&& other) noexcept {
  if (this != &other) std::swap(data_, other.data_);
  return *this;
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::operator=(const CharT* s) {
  RWSize n = NulLength(s);
  if (n != 0) return Replace(0, Length(), s, n);
  if (IsShared()) {
    Adopt(EmptyBody());
  } else {
    SetLength(0);
  }
  return *this;
}

// ---------------------------------------------------------------------------
// Edits

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::Replace(RWSize pos, RWSize cut, const CharT* cs,
                                                    RWSize put) {
  RWSize length = Length();
  if (pos > length) {
    RWCheckIndex(pos, length);
    return *this;
  }
  cut = std::min(cut, length - pos);
  if (!cs) put = 0;
  if (!FitsLength(std::uint64_t{length} - cut + put)) return *this;
  RWSize new_length = length - cut + put;
  RWSize tail = length - cut - pos;
  RWSize capacity = Capacity();

  // The sole owner edits in place, growing its body where it lies; a
  // shrink that would waste room and text taken from this very string go
  // to a new body.
  bool wasteful = new_length < length && capacity - new_length > MaxWaste();
  if (!IsShared() && !wasteful && !PointsInto(cs, data_, data_ + length)) {
    if (new_length > capacity && !ResizeBody(RoundCapacity(new_length))) return *this;
    if (put != cut) std::memmove(data_ + pos + put, data_ + pos + cut, tail * sizeof(CharT));
    if (put) std::memcpy(data_ + pos, cs, put * sizeof(CharT));
    SetLength(new_length);
    return *this;
  }

  CharT* fresh = NewBody(RoundCapacity(new_length), new_length);
  if (!fresh) return *this;
  std::memcpy(fresh, data_, pos * sizeof(CharT));
  if (put) std::memcpy(fresh + pos, cs, put * sizeof(CharT));
  std::memcpy(fresh + pos + put, data_ + pos + cut, tail * sizeof(CharT));
  Adopt(fresh);
  return *this;
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::AppendOne(CharT c) {
  return Replace(Length(), 0, &c, 1);
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::operator+=(const CharT* s) {
  return Append(s, NulLength(s));
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::Append(CharT c, RWSize n) {
  RWSize length = Length();
  if (n == 0) return *this;
  if (!FitsLength(std::uint64_t{length} + n)) return *this;
  RWSize new_length = length + n;
  if ((IsShared() || Capacity() < new_length) && !Reallocate(new_length)) return *this;
  std::fill_n(data_ + length, n, c);
  SetLength(new_length);
  return *this;
}

template <class CharT>
RWBasicString<CharT>& RWBasicString<CharT>::Prepend(CharT c, RWSize n) {
  RWSize length = Length();
  if (n == 0) return *this;
  if (!FitsLength(std::uint64_t{length} + n)) return *this;
  RWSize new_length = length + n;
  if (!IsShared()) {
    if (Capacity() < new_length && !ResizeBody(RoundCapacity(new_length))) return *this;
    std::memmove(data_ + n, data_, length * sizeof(CharT));
  } else {
    CharT* fresh = NewBody(RoundCapacity(new_length), new_length);
    if (!fresh) return *this;
    std::memcpy(fresh + n, data_, length * sizeof(CharT));
    Adopt(fresh);
  }
  std::fill_n(data_, n, c);
  SetLength(new_length);
  return *this;
}

template <class CharT>
void RWBasicString<CharT>::Resize(RWSize n) {
  RWSize length = Length();
  if (n > length) {
    Append(CharT(' '), n - length);
  } else if (n < length) {
    Remove(n);
  }
}

template <class CharT>
RWSize RWBasicString<CharT>::Capacity(RWSize n) {
  if (n > Length() && n != Capacity()) Reallocate(n);
  return Capacity();
}

template <class CharT>
void RWBasicString<CharT>::ToLower() {
  if (!Unshare()) return;
  std::transform(data_, data_ + Length(), data_, Traits<CharT>::ToLower);
}

template <class CharT>
void RWBasicString<CharT>::ToUpper() {
  if (!Unshare()) return;
  std::transform(data_, data_ + Length(), data_, Traits<CharT>::ToUpper);
}

template <class CharT>
CharT& RWBasicString<CharT>::CharAt(RWSize i) {
  if (!RWCheckIndex(i, Length()) || !Unshare()) return Scratch<CharT>();
  return data_[i];
}

template <class CharT>
CharT RWBasicString<CharT>::operator[](RWSize i) const {
  if (!RWCheckIndex(i, Length())) return 0;
  return data_[i];
}

// ---------------------------------------------------------------------------
// Queries

template <class CharT>
int RWBasicString<CharT>::Compare(const RWBasicString& other, RWCase mode) const {
  RWSize la = Length(), lb = other.Length();
  RWSize common = std::min(la, lb);
  if (mode == RWCase::exact) {
    // Byte order: wide units compare low byte first, as stored.
    int c = std::memcmp(data_, other.data_, common * sizeof(CharT));
    if (c != 0) return Sign(c);
  } else {
    for (RWSize i = 0; i < common; ++i) {
      int a = Traits<CharT>::Order(Traits<CharT>::ToLower(data_[i]));
      int b = Traits<CharT>::Order(Traits<CharT>::ToLower(other.data_[i]));
      if (a != b) return a < b ? -1 : 1;
    }
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

template <class CharT>
int RWBasicString<CharT>::CompareChars(const CharT* s, RWCase mode) const {
  s = OrEmpty(s);
  RWSize length = Length();
  RWSize i = 0;
  for (; i < length && s[i] != 0; ++i) {
    CharT a = data_[i], b = s[i];
    if (mode == RWCase::ignore) {
      a = Traits<CharT>::ToLower(a);
      b = Traits<CharT>::ToLower(b);
    }
    int oa = Traits<CharT>::Order(a), ob = Traits<CharT>::Order(b);
    if (oa != ob) return oa < ob ? -1 : 1;
  }
  if (s[i] == 0) return length > i ? 1 : 0;
  return -1;
}

template <class CharT>
bool RWBasicString<CharT>::EqualsChars(const CharT* s) const {
  s = OrEmpty(s);
  RWSize length = Length();
  for (RWSize i = 0; i < length; ++i) {
    if (s[i] == 0 || s[i] != data_[i]) return false;
  }
  return s[length] == 0;
}

template <class CharT>
bool operator==(const RWBasicString<CharT>& a, const RWBasicString<CharT>& b) {
  return a.Length() == b.Length() &&
         std::memcmp(a.Data(), b.Data(), a.Length() * sizeof(CharT)) == 0;
}

template <class CharT>
RWSize RWBasicString<CharT>::Find(const CharT* pattern, RWSize pattern_length, RWSize start,
                                  RWCase mode) const {
  RWSize length = Length();
  if (!pattern) pattern_length = 0;
  if (std::uint64_t{start} + pattern_length > length) return RW_NPOS;
  if (pattern_length == 0) return start;
  const RWSize last = length - pattern_length;
  if (mode == RWCase::exact) {
    // Candidates are found with the runtime's character scan (memchr).
    using Chars = std::char_traits<CharT>;
    const CharT first = pattern[0];
    const CharT* end = data_ + last + 1;
    for (const CharT* p = data_ + start; (p = Chars::find(p, end - p, first)) != nullptr; ++p) {
      if (std::memcmp(p + 1, pattern + 1, (pattern_length - 1) * sizeof(CharT)) == 0) {
        return static_cast<RWSize>(p - data_);
      }
    }
    return RW_NPOS;
  }
  auto lower = Traits<CharT>::ToLower;
  const CharT first = lower(pattern[0]);
  for (RWSize i = start; i <= last; ++i) {
    if (lower(data_[i]) != first) continue;
    RWSize k = 1;
    while (k < pattern_length && lower(data_[i + k]) == lower(pattern[k]))
      ++k;
    if (k == pattern_length) return i;
  }
  return RW_NPOS;
}

template <class CharT>
RWSize RWBasicString<CharT>::First(CharT c) const {
  const CharT* begin = data_;
  const CharT* end = begin + Length();
  const CharT* p = std::find(begin, end, c);
  return p == end ? RW_NPOS : static_cast<RWSize>(p - data_);
}

template <class CharT>
RWSize RWBasicString<CharT>::Last(CharT c) const {
  for (RWSize i = Length(); i-- > 0;) {
    if (data_[i] == c) return i;
  }
  return RW_NPOS;
}

template <class CharT>
RWSize RWBasicString<CharT>::FirstOf(const CharT* set) const {
  RWSize n = NulLength(set);
  for (RWSize i = 0; i < Length(); ++i) {
    if (std::find(set, set + n, data_[i]) != set + n) return i;
  }
  return RW_NPOS;
}

template <>
RWSize RWBasicString<char>::FirstUntilNul(char c) const {
  const char* p = std::strchr(data_, c);
  return p ? static_cast<RWSize>(p - data_) : RW_NPOS;
}

template <>
RWSize RWBasicString<char>::LastUntilNul(char c) const {
  const char* p = std::strrchr(data_, c);
  return p ? static_cast<RWSize>(p - data_) : RW_NPOS;
}

template <>
RWSize RWBasicString<char>::FirstOfUntilNul(const char* set) const {
  const char* p = std::strpbrk(data_, OrEmpty(set));
  return p ? static_cast<RWSize>(p - data_) : RW_NPOS;
}

namespace {

// The (start, extent) left once runs of c are stripped from the ends.
template <class CharT>
std::pair<RWSize, RWSize> StripBounds(const CharT* data, RWSize length, RWStrip which, CharT c) {
  RWSize begin = 0, end = length;
  if (static_cast<unsigned>(which) & 1u) {
    while (begin < end && data[begin] == c)
      ++begin;
  }
  if (static_cast<unsigned>(which) & 2u) {
    while (end > begin && data[end - 1] == c)
      --end;
  }
  if (begin == end) return {RW_NPOS, 0};
  return {begin, end - begin};
}

}  // namespace

template <class CharT>
typename RWBasicString<CharT>::Range RWBasicString<CharT>::Strip(RWStrip which, CharT c) {
  auto [start, extent] = StripBounds(data_, Length(), which, c);
  return Range(*this, start, extent);
}

template <class CharT>
RWBasicString<CharT> RWBasicString<CharT>::Strip(RWStrip which, CharT c) const {
  auto [start, extent] = StripBounds(data_, Length(), which, c);
  return start == RW_NPOS ? RWBasicString() : RWBasicString(data_ + start, extent);
}

template <class CharT>
std::uint32_t RWBasicString<CharT>::Hash(RWCase mode) const {
  RWSize length = Length();
  std::uint32_t h = length;
  const CharT* p = data_;
  if (mode == RWCase::ignore) {
    for (RWSize i = 0; i < length; ++i) {
      h = Rotl5(h) ^ static_cast<std::make_unsigned_t<CharT>>(Traits<CharT>::ToUpper(p[i]));
    }
    return h;
  }
  if constexpr (kWide) {
    RWSize i = 0;
    for (; i + 1 < length; i += 2)
      h = Rotl5(h) ^ (p[i] | (std::uint32_t{p[i + 1]} << 16));
    if (i < length) h = Rotl5(h) ^ p[i];
  } else {
    auto bytes = reinterpret_cast<const unsigned char*>(p);
    RWSize i = 0;
    for (; i + 4 <= length; i += 4) {
      h = Rotl5(h) ^ (bytes[i] | (std::uint32_t{bytes[i + 1]} << 8) |
                      (std::uint32_t{bytes[i + 2]} << 16) | (std::uint32_t{bytes[i + 3]} << 24));
    }
    if (i < length) {
      // Tail bytes are taken as signed: a byte >= 0x80 sets every higher bit.
      std::uint32_t v = 0;
      for (; i < length; ++i) {
        v = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(p[i]))) |
            (v << 8);
      }
      h = Rotl5(h) ^ v;
    }
  }
  return h;
}

template <class CharT>
bool RWBasicString<CharT>::IsAscii() const {
  return std::all_of(data_, data_ + Length(),
                     [](CharT c) { return static_cast<std::make_unsigned_t<CharT>>(c) <= 127; });
}

template <class CharT>
int RWBasicString<CharT>::CollateCompare(const RWBasicString& other) const {
  // Collation of the "C" locale: code order, up to the first NUL.
  const CharT* a = data_;
  const CharT* b = other.data_;
  using U = std::make_unsigned_t<CharT>;
  for (; *a != 0 && *a == *b; ++a, ++b) {
  }
  U ua = static_cast<U>(*a), ub = static_cast<U>(*b);
  return ua == ub ? 0 : (ua < ub ? -1 : 1);
}

template <class CharT>
RWBasicString<CharT> RWBasicString<CharT>::CollateKey() const {
  // The "C" locale's transform is the text itself (up to its first NUL);
  // the key keeps the terminator the transform writes.
  RWSize n = NulLength(data_);
  RWBasicString key(CharT(0), n + 1);
  if (key.Length() == n + 1) std::memcpy(key.data_, data_, n * sizeof(CharT));
  return key;
}

template <>
RWSize RWBasicString<char>::MultiByteLength() const {
  RWSize count = 0;
  RWSize length = Length();
  for (RWSize i = 0; i < length; ++count) {
    int n = platform::MultiByteCharLength(data_ + i, length - i);
    if (n < 0) return RW_NPOS;
    if (n == 0) break;
    i += static_cast<RWSize>(n);
  }
  return count;
}

// ---------------------------------------------------------------------------
// Sub-strings

template <class CharT>
typename RWBasicString<CharT>::Range RWBasicString<CharT>::operator()(RWSize start, RWSize extent) {
  if (!CheckSubString(start, extent, Length())) return Range(*this, RW_NPOS, 0);
  return Range(*this, start, start == RW_NPOS ? 0 : extent);
}

template <class CharT>
RWBasicString<CharT> RWBasicString<CharT>::operator()(RWSize start, RWSize extent) const {
  if (start == RW_NPOS || !CheckSubString(start, extent, Length())) return RWBasicString();
  return RWBasicString(Range(const_cast<RWBasicString&>(*this), start, extent));
}

template <class CharT>
typename RWBasicString<CharT>::Range RWBasicString<CharT>::SubString(const RWBasicString& pattern,
                                                                     RWSize start, RWCase mode) {
  RWSize at = Find(pattern, start, mode);
  return at == RW_NPOS ? Range(*this, RW_NPOS, 0) : Range(*this, at, pattern.Length());
}

// ---------------------------------------------------------------------------
// Conversions

template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const char* s) {
  return FromMultiByte(s, NulLength(s));
}

template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const char* s, RWSize n) {
  // Like the runtime's conversion, the text ends at its first NUL.
  if (!s) return RWBasicString();
  n = static_cast<RWSize>(std::find(s, s + n, '\0') - s);
  std::u16string wide;
  if (!platform::MultiByteToWide(s, n, wide)) return RWBasicString();
  return RWBasicString(wide.data(), static_cast<RWSize>(wide.size()));
}

template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const Narrow& s) {
  return FromMultiByte(s.Data(), s.Length());
}

template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromAscii(const Narrow& s) {
  RWBasicString wide(AdoptTag{}, NewBodyOrEmpty(s.Length(), s.Length()));
  for (RWSize i = 0; i < wide.Length(); ++i) {
    wide.data_[i] = static_cast<unsigned char>(s.Data()[i]);
  }
  return wide;
}

template <>
RWBasicString<char> RWBasicString<char16_t>::ToMultiByte() const {
  RWSize n = static_cast<RWSize>(std::find(data_, data_ + Length(), u'\0') - data_);
  std::string bytes;
  if (!platform::WideToMultiByte(data_, n, bytes)) return Narrow();
  return Narrow(bytes.data(), static_cast<RWSize>(bytes.size()));
}

template <>
RWBasicString<char> RWBasicString<char16_t>::ToAscii() const {
  std::string bytes(Length(), '\0');
  for (RWSize i = 0; i < Length(); ++i)
    bytes[i] = static_cast<char>(data_[i] & 0xFF);
  return Narrow(bytes.data(), Length());
}

// ---------------------------------------------------------------------------
// Binary files

template <class CharT>
bool RWBasicString<CharT>::SaveToFile(RWFile& file) const {
  if (!file.WriteULong(Length())) return false;
  if constexpr (kWide) {
    return file.WriteWChar(data_, Length());
  } else {
    return file.WriteChar(data_, Length());
  }
}

template <class CharT>
bool RWBasicString<CharT>::RestoreFromFile(RWFile& file) {
  RWReadScope scope(file);
  std::uint32_t count;
  if (!file.ReadULong(count)) return false;
  // The count comes from the file: never trust it beyond what the file holds.
  if (std::uint64_t{count} * sizeof(CharT) > file.BytesRemaining()) {
    file.MarkError();
    return false;
  }
  if (!ClearForReading(count)) return false;
  bool ok;
  if constexpr (kWide) {
    ok = file.ReadWChar(data_, count);
  } else {
    ok = file.ReadChar(data_, count);
  }
  SetLength(ok ? count : 0);
  return ok;
}

// ---------------------------------------------------------------------------
// Wide strings on byte streams

namespace {

// Reads one 2-byte unit, low byte first; false (with eof set) when fewer
// come. A unit cut in half is truncated input: the stream fails as well.
bool GetUnit(std::istream& is, char16_t& unit) {
  std::streambuf* buf = is.rdbuf();
  int lo = buf ? buf->sbumpc() : EOF;
  int hi = lo == EOF ? EOF : buf->sbumpc();
  if (hi == EOF) {
    is.setstate(lo == EOF ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
    return false;
  }
  unit = static_cast<char16_t>((lo & 0xFF) | ((hi & 0xFF) << 8));
  return true;
}

// A reader that met the end before taking a single unit read nothing: like
// std::getline it fails, so that read loops end.
void FailIfNothingRead(std::istream& is, bool read_any) {
  if (!read_any) is.setstate(std::ios::failbit);
}

// Puts the last unit back, where the stream buffer allows. A buffer that
// takes back only one of its two bytes gets it again, so that later reads
// stay on unit boundaries.
void UngetUnit(std::istream& is) {
  std::streambuf* buf = is.rdbuf();
  if (buf->sungetc() != EOF && buf->sungetc() == EOF) buf->sbumpc();
}

}  // namespace

template <class CharT>
void RWBasicString<CharT>::AppendGrowing(CharT c) {
  RWSize length = Length();
  if (length == Capacity() || IsShared()) {
    RWSize grown = RWGrowCapacity(Capacity(), sizeof(CharT));
    if (grown <= length) return;                         // cannot grow: [OVFLOW] was raised
    if (Capacity(grown) != grown || !Unshare()) return;  // [NOMEM] was raised
  }
  data_[length] = c;
  SetLength(length + 1);
}

template <class CharT>
void RWBasicString<CharT>::ShrinkToFit() {
  RWSize length = Length();
  if (Capacity() - length > MaxWaste()) {
    Reallocate(length);  // a string that cannot shrink keeps its room
  }
}

template <>
std::istream& RWBasicString<char16_t>::ReadToDelim(std::istream& is, char16_t delim,
                                                   bool skip_white) {
  RWReadScope scope(is);
  ClearForReading(0);
  char16_t unit;
  bool have = GetUnit(is, unit);
  bool read_any = have;
  if (skip_white) {
    while (have && platform::WideIsSpace(unit))
      have = GetUnit(is, unit);
  }
  for (; have && unit != delim; have = GetUnit(is, unit))
    AppendGrowing(unit);
  ShrinkToFit();
  FailIfNothingRead(is, read_any);
  return is;
}

template <>
std::istream& RWBasicString<char16_t>::ReadLine(std::istream& is, bool skip_white) {
  return ReadToDelim(is, u'\n', skip_white);
}

template <>
std::istream& RWBasicString<char16_t>::ReadString(std::istream& is) {
  return ReadToDelim(is, u'\0', false);
}

template <>
std::istream& RWBasicString<char16_t>::ReadFile(std::istream& is) {
  RWReadScope scope(is);
  ClearForReading(0);
  char16_t unit;
  while (GetUnit(is, unit))
    AppendGrowing(unit);
  ShrinkToFit();
  return is;
}

template <>
std::istream& RWBasicString<char16_t>::ReadToken(std::istream& is) {
  RWReadScope scope(is);
  ClearForReading(0);
  std::streamsize width = is.width();
  is.width(0);
  char16_t unit;
  bool have = GetUnit(is, unit);
  bool read_any = have;
  while (have && platform::WideIsSpace(unit))
    have = GetUnit(is, unit);
  for (; have; have = GetUnit(is, unit)) {
    if (platform::WideIsSpace(unit)) {
      UngetUnit(is);
      break;
    }
    // A token grows by the resize increment, and never past 32 bits.
    RWSize length = Length();
    if (length == Capacity()) {
      std::uint64_t grown = std::uint64_t{length} + std::max<RWSize>(ResizeIncrement(), 1);
      if (!FitsLength(grown) || Capacity(static_cast<RWSize>(grown)) != grown) break;
    }
    data_[length] = unit;
    SetLength(length + 1);
    if (width > 0 && static_cast<std::streamsize>(length + 1) >= width) break;
  }
  FailIfNothingRead(is, read_any);
  return is;
}

std::ostream& operator<<(std::ostream& os, const RWBasicString<char16_t>& s) {
  auto put = [&os](char16_t unit) {
    os.put(static_cast<char>(unit & 0xFF));
    os.put(static_cast<char>(unit >> 8));
  };
  std::streamsize pad = os.width() > s.Length() ? os.width() - s.Length() : 0;
  bool left = (os.flags() & std::ios::adjustfield) == std::ios::left;
  char16_t fill = static_cast<unsigned char>(os.fill());
  os.width(0);
  if (!left) {
    for (std::streamsize i = 0; i < pad; ++i)
      put(fill);
  }
  for (RWSize i = 0; i < s.Length(); ++i)
    put(s.Data()[i]);
  if (left) {
    for (std::streamsize i = 0; i < pad; ++i)
      put(fill);
  }
  return os;
}

std::ostream& operator<<(std::ostream& os, const RWBasicString<char>& s) {
  return os.write(s.Data(), s.Length());
}

// ---------------------------------------------------------------------------
// Ranges

template <class CharT>
bool RWBasicStringRange<CharT>::CheckIndex(RWSize i) const {
  if (i < extent_ && start_ != RW_NPOS) return true;
  if constexpr (String::kWide) {
    RaiseIndexError(RWIndexError(RWMessageText(rwtools::Index(), i, extent_)));
  } else {
    RWCheckIndex(i, extent_);
  }
  return false;
}

template <class CharT>
CharT& RWBasicStringRange<CharT>::operator[](RWSize i) {
  if (!CheckIndex(i)) return Scratch<CharT>();
  return str_->CharAt(start_ + i);
}

template <class CharT>
CharT RWBasicStringRange<CharT>::operator[](RWSize i) const {
  if (!CheckIndex(i)) return 0;
  return str_->Data()[start_ + i];
}

template <class CharT>
void RWBasicStringRange<CharT>::Assign(const CharT* s, RWSize n) {
  if (start_ == RW_NPOS) return;
  str_->Replace(start_, extent_, s, n);
  extent_ = n;
}

template <class CharT>
RWBasicStringRange<CharT>& RWBasicStringRange<CharT>::operator=(const String& s) {
  Assign(s.Data(), s.Length());
  return *this;
}

template <class CharT>
RWBasicStringRange<CharT>& RWBasicStringRange<CharT>::operator=(const RWBasicStringRange& r) {
  if (this != &r) Assign(r.Data(), r.start_ == RW_NPOS ? 0 : r.extent_);
  return *this;
}

template <class CharT>
RWBasicStringRange<CharT>& RWBasicStringRange<CharT>::operator=(const CharT* s) {
  Assign(s, NulLength(s));
  return *this;
}

template <class CharT>
bool RWBasicStringRange<CharT>::operator==(const CharT* s) const {
  s = OrEmpty(s);
  const CharT* d = Data();
  RWSize n = start_ == RW_NPOS ? 0 : extent_;
  for (RWSize i = 0; i < n; ++i) {
    if (s[i] == 0 || s[i] != d[i]) return false;
  }
  return s[n] == 0;
}

template <class CharT>
bool RWBasicStringRange<CharT>::operator==(const String& s) const {
  RWSize n = start_ == RW_NPOS ? 0 : extent_;
  return n == s.Length() && (n == 0 || std::memcmp(Data(), s.Data(), n * sizeof(CharT)) == 0);
}

template <class CharT>
bool RWBasicStringRange<CharT>::operator==(const RWBasicStringRange& r) const {
  RWSize n = start_ == RW_NPOS ? 0 : extent_;
  RWSize m = r.start_ == RW_NPOS ? 0 : r.extent_;
  return n == m && (n == 0 || std::memcmp(Data(), r.Data(), n * sizeof(CharT)) == 0);
}

template <class CharT>
void RWBasicStringRange<CharT>::ToLower() {
  if (start_ == RW_NPOS) return;
  for (RWSize i = 0; i < extent_; ++i) {
    CharT& c = str_->CharAt(start_ + i);
    c = Traits<CharT>::ToLower(c);
  }
}

template <class CharT>
void RWBasicStringRange<CharT>::ToUpper() {
  if (start_ == RW_NPOS) return;
  for (RWSize i = 0; i < extent_; ++i) {
    CharT& c = str_->CharAt(start_ + i);
    c = Traits<CharT>::ToUpper(c);
  }
}

// ---------------------------------------------------------------------------
// Free functions

template <class CharT>
RWBasicString<CharT> operator+(const RWBasicString<CharT>& a, const RWBasicString<CharT>& b) {
  return RWBasicString<CharT>::Concat(a.Data(), a.Length(), b.Data(), b.Length());
}

template <class CharT>
RWBasicString<CharT> operator+(const RWBasicString<CharT>& a, const CharT* b) {
  return RWBasicString<CharT>::Concat(a.Data(), a.Length(), b, NulLength(b));
}

template <class CharT>
RWBasicString<CharT> operator+(const CharT* a, const RWBasicString<CharT>& b) {
  return RWBasicString<CharT>::Concat(a, NulLength(a), b.Data(), b.Length());
}

template <class CharT>
RWBasicString<CharT> ToLower(const RWBasicString<CharT>& s) {
  RWBasicString<CharT> copy(s.Data(), s.Length());
  copy.ToLower();
  return copy;
}

template <class CharT>
RWBasicString<CharT> ToUpper(const RWBasicString<CharT>& s) {
  RWBasicString<CharT> copy(s.Data(), s.Length());
  copy.ToUpper();
  return copy;
}

template class RWBasicString<char>;
template class RWBasicString<char16_t>;
template class RWBasicStringRange<char>;
template class RWBasicStringRange<char16_t>;

#define RW_STRING_FREE_FUNCTIONS(CharT)                                               \
  template bool operator==(const RWBasicString<CharT>&, const RWBasicString<CharT>&); \
  template RWBasicString<CharT> operator+(const RWBasicString<CharT>&,                \
                                          const RWBasicString<CharT>&);               \
  template RWBasicString<CharT> operator+(const RWBasicString<CharT>&, const CharT*); \
  template RWBasicString<CharT> operator+(const CharT*, const RWBasicString<CharT>&); \
  template RWBasicString<CharT> ToLower(const RWBasicString<CharT>&);                 \
  template RWBasicString<CharT> ToUpper(const RWBasicString<CharT>&);

RW_STRING_FREE_FUNCTIONS(char)
RW_STRING_FREE_FUNCTIONS(char16_t)

// ---------------------------------------------------------------------------
// NUL-terminated wide texts

int RWWideCompareIgnoreCase(const char16_t* a, const char16_t* b, RWSize n) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (RWSize i = 0; i < n && a[i] != 0 && b[i] != 0; ++i) {
    char16_t ua = platform::WideToUpper(a[i]);
    char16_t ub = platform::WideToUpper(b[i]);
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  return 0;
}

int RWWideCompareIgnoreCase(const char16_t* a, const char16_t* b) {
  return RWWideCompareIgnoreCase(a, b, RW_NPOS);
}
