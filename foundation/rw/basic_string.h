// The two string classes of the system, RWCString (8-bit) and RWWString
// (UTF-16 units), built from one template because they are twins: where they
// differ (hashing, case-blind ordering, conversions, range errors) the code
// says so.
//
// A string is one pointer to the characters of a reference-counted body laid
// out in one heap block:
//
//   count (u32, holders - 1) | capacity (u32) | length (u32) | chars... | NUL
//
// Copies share the body; every write first copies a shared body
// (copy-on-write). Capacities follow fixed rules and are observable:
// growth rounds to 15, 31, 47 ... (the tuning statics), while constructors,
// Unshare, Capacity(n) and Append(c, n) make exact-size bodies.
//
// A null text pointer given to any operation is taken as the empty text. An
// operation that cannot get memory raises [NOMEM] and leaves the string as
// it was (a constructor makes the empty string).
//
// Threads: a string object belongs to one thread at a time, but copies of one
// body may live on any threads; only the atomic counts are shared. The tuning
// statics are process-wide.
#pragma once

#include <atomic>
#include <concepts>
#include <cstdint>
#include <iosfwd>

#include "foundation/rw/defs.h"

class RWFile;
class RWRegularExpression;
class RWVirtualInputStream;
class RWVirtualOutputStream;

template <class CharT>
class RWBasicStringRange;

// Tag for the constructor that reserves capacity: RWCString s(RWReserve{n}).
struct RWReserve {
  RWSize capacity;
};

// Which ends Strip removes.
enum class RWStrip : unsigned { leading = 1, trailing = 2, both = 3 };

template <class CharT>
struct RWStringBody {
  std::atomic<std::uint32_t> refs;  // holders - 1 (the empty body: not counted)
  std::uint32_t capacity;           // characters that fit, NUL not counted
  std::uint32_t length;             // characters in use

  CharT* Data() { return reinterpret_cast<CharT*>(this + 1); }
};

template <class CharT>
class RWBasicString {
 public:
  static constexpr bool kWide = std::same_as<CharT, char16_t>;
  using Range = RWBasicStringRange<CharT>;
  using Narrow = RWBasicString<char>;

  // Construction. Every constructor makes an unshared body unless it shares.
  RWBasicString();                            // shares the empty body
  RWBasicString(const CharT* s);              // NOLINT: exact capacity
  RWBasicString(const CharT* s, RWSize n);    // exact capacity; embedded NULs kept
  explicit RWBasicString(CharT c);            // capacity 15
  RWBasicString(CharT c, RWSize n);           // n copies, exact capacity
  explicit RWBasicString(RWReserve reserve);  // capacity n, length 0
  RWBasicString(const Range& range);          // NOLINT: rounded capacity
  RWBasicString(const RWBasicString& other);  // shares
  RWBasicString(RWBasicString&& other) noexcept;
  ~RWBasicString();

  // Concatenation into a body of rounded capacity; a null buffer counts as
  // empty.
  static RWBasicString Concat(const CharT* a, RWSize alen, const CharT* b, RWSize blen);

  RWBasicString& operator=(const RWBasicString& other);
  RWBasicString& operator=(RWBasicString&& other) noexcept;
  RWBasicString& operator=(const CharT* s);
  RWBasicString& Assign(const RWBasicString& other) { return *this = other; }

  // The general edit: replaces `cut` characters at `pos` by `put` characters
  // of `cs` (which may point into this string). A null `cs` puts nothing.
  // REQUIRES: pos <= Length() (else the index error, and nothing changes).
  RWBasicString& Replace(RWSize pos, RWSize cut, const CharT* cs, RWSize put);
  RWBasicString& Replace(RWSize pos, RWSize cut, const RWBasicString& s) {
    return Replace(pos, cut, s.Data(), s.Length());
  }

  RWBasicString& Append(const CharT* cs, RWSize n) { return Replace(Length(), 0, cs, n); }
  RWBasicString& Append(const RWBasicString& s) { return Append(s.Data(), s.Length()); }
  // Appends n copies of c; reallocates to exactly the new length.
  RWBasicString& Append(CharT c, RWSize n);
  RWBasicString& operator+=(const RWBasicString& s) { return Append(s); }
  RWBasicString& operator+=(const CharT* s);
  // The sole owner's body with room takes the character in place; anything
  // else goes through Replace.
  RWBasicString& operator+=(CharT c) {
    CharT* data = data_;
    Body* body = reinterpret_cast<Body*>(data) - 1;
    RWSize n = body->length;
    if (n < body->capacity && body->refs.load(std::memory_order_acquire) == 0) {
      body->length = n + 1;
      data[n] = c;
      data[n + 1] = 0;
      return *this;
    }
    return AppendOne(c);
  }

  RWBasicString& Prepend(const CharT* cs, RWSize n) { return Replace(0, 0, cs, n); }
  RWBasicString& Prepend(const RWBasicString& s) { return Prepend(s.Data(), s.Length()); }
  // Prepends n copies of c.
  RWBasicString& Prepend(CharT c, RWSize n);

  RWBasicString& Insert(RWSize pos, const CharT* cs, RWSize n) { return Replace(pos, 0, cs, n); }
  RWBasicString& Insert(RWSize pos, const RWBasicString& s) {
    return Replace(pos, 0, s.Data(), s.Length());
  }
  RWBasicString& Remove(RWSize pos) { return Replace(pos, Length() - pos, nullptr, 0); }
  RWBasicString& Remove(RWSize pos, RWSize n) { return Replace(pos, n, nullptr, 0); }

  // Longer pads with blanks, shorter removes the tail.
  void Resize(RWSize n);

  RWSize Capacity() const { return GetBody()->capacity; }
  // When n > Length() and n differs from the capacity, moves the characters
  // to a body of exactly capacity n. Answers the capacity.
  RWSize Capacity(RWSize n);

  void ToLower();
  void ToUpper();

  // Checked element access: an index >= Length() raises the index error.
  // CharAt unshares first and answers a writable element.
  CharT& CharAt(RWSize i);
  CharT operator[](RWSize i) const;

  RWSize Length() const { return GetBody()->length; }
  bool IsNull() const { return Length() == 0; }
  const CharT* Data() const { return data_; }

  // Three-way results -1, 0, 1.
  int Compare(const RWBasicString& other, RWCase mode = RWCase::exact) const;
  int CompareChars(const CharT* s, RWCase mode = RWCase::exact) const;
  // Same length and the same characters as the NUL-terminated `s`.
  bool EqualsChars(const CharT* s) const;

  // Position of the first occurrence of the pattern at or after `start`, or
  // RW_NPOS. An empty pattern is found at `start`.
  RWSize Find(const CharT* pattern, RWSize pattern_length, RWSize start, RWCase mode) const;
  RWSize Find(const RWBasicString& pattern, RWSize start = 0, RWCase mode = RWCase::exact) const {
    return Find(pattern.Data(), pattern.Length(), start, mode);
  }

  // Searches bounded by the length; RW_NPOS when absent.
  RWSize First(CharT c) const;
  RWSize Last(CharT c) const;
  RWSize FirstOf(const CharT* set) const;
  // The same searches stopping at the first NUL (8-bit strings only).
  RWSize FirstUntilNul(char c) const;
  RWSize LastUntilNul(char c) const;
  RWSize FirstOfUntilNul(const char* set) const;

  // The string without leading and/or trailing runs of c; (RW_NPOS, 0) when
  // nothing is left. The const form answers a copy.
  Range Strip(RWStrip which = RWStrip::trailing, CharT c = CharT(' '));
  RWBasicString Strip(RWStrip which = RWStrip::trailing, CharT c = CharT(' ')) const;

  std::uint32_t Hash(RWCase mode = RWCase::exact) const;
  bool IsAscii() const;
  int CollateCompare(const RWBasicString& other) const;
  RWBasicString CollateKey() const;
  // Characters of the 8-bit text in the code page, up to a NUL; RW_NPOS
  // at an invalid sequence.
  RWSize MultiByteLength() const;

  // Sub-strings. A range that does not fit raises [SUBSTRING]; a start of
  // RW_NPOS gives an empty range. The const form answers a copy.
  Range operator()(RWSize start, RWSize extent);
  RWBasicString operator()(RWSize start, RWSize extent) const;
  // The range of the first match of the pattern, or (RW_NPOS, 0).
  Range SubString(const RWBasicString& pattern, RWSize start = 0, RWCase mode = RWCase::exact);

  // Conversions between the two classes (wide strings only).
  // From code-page text up to its first NUL; unconvertible text gives "".
  static RWBasicString FromMultiByte(const char* s);
  static RWBasicString FromMultiByte(const char* s, RWSize n);
  static RWBasicString FromMultiByte(const Narrow& s);
  // Each byte widened.
  static RWBasicString FromAscii(const Narrow& s);
  // To code-page text, up to the first NUL; unconvertible text gives "".
  Narrow ToMultiByte() const;
  // Each unit's low byte.
  Narrow ToAscii() const;

  // Stored form on a binary file: 32-bit count, then the characters (2-byte
  // units for wide strings). A restore that cannot read the count, or whose
  // count is more than the file still holds, leaves the string as it was and
  // answers false (the latter also marks the file's error).
  bool SaveToFile(RWFile& file) const;
  bool RestoreFromFile(RWFile& file);

  // Stored form on a virtual stream: the length through the stream's 32-bit
  // unsigned operation, then the characters through its counted-string
  // operation (8-bit) or its array of 16-bit units (wide). A restore that
  // meets a failing stream leaves the string as it was. (Defined with the
  // streams.)
  void SaveToStream(RWVirtualOutputStream& stream) const;
  void RestoreFromStream(RWVirtualInputStream& stream);

  // Searching by regular expression (8-bit strings only; defined with the
  // expressions). Index answers the position of the first match at or after
  // `start`, or RW_NPOS, and its length through `match_length` when given.
  RWSize Index(const RWRegularExpression& re, RWSize start = 0) const;
  RWSize Index(const RWRegularExpression& re, RWSize* match_length, RWSize start) const;
  // The range of the first match at or after `start`, or (RW_NPOS, 0).
  Range operator()(const RWRegularExpression& re, RWSize start = 0);

  // Readers and writers of wide strings on byte streams (2 bytes per unit,
  // low byte first). Each clears the string first. Running out of input sets
  // eof; a unit cut in half, or a delimiter or token reader that meets the
  // end before taking a single unit, also sets fail.
  std::istream& ReadToDelim(std::istream& is, CharT delim = CharT('\n'), bool skip_white = false);
  std::istream& ReadLine(std::istream& is, bool skip_white = false);
  std::istream& ReadString(std::istream& is);
  std::istream& ReadFile(std::istream& is);
  std::istream& ReadToken(std::istream& is);

  // Tuning statics: each setter stores the new value and answers the old.
  static RWSize InitialCapacity() { return initial_capacity_.load(std::memory_order_relaxed); }
  static RWSize ResizeIncrement() { return resize_increment_.load(std::memory_order_relaxed); }
  static RWSize MaxWaste() { return max_waste_.load(std::memory_order_relaxed); }
  static RWSize InitialCapacity(RWSize n) { return initial_capacity_.exchange(n); }
  static RWSize ResizeIncrement(RWSize n) { return resize_increment_.exchange(n); }
  static RWSize MaxWaste(RWSize n) { return max_waste_.exchange(n); }

  // The capacity a growing body gets for n characters: 15, 31, 47 ...
  static RWSize RoundCapacity(RWSize n);

 private:
  using Body = RWStringBody<CharT>;
  friend class RWBasicStringRange<CharT>;

  // Adopts characters of a body made by NewBody.
  struct AdoptTag {};
  RWBasicString(AdoptTag, CharT* data) : data_(data) {}

  Body* GetBody() const { return reinterpret_cast<Body*>(data_) - 1; }
  bool IsShared() const;
  // A new body; capacity 0 with length 0 shares the empty body instead.
  // Null after [NOMEM].
  static CharT* NewBody(RWSize capacity, RWSize length);
  // The same, with the empty body in place of a body that cannot be had.
  static CharT* NewBodyOrEmpty(RWSize capacity, RWSize length);
  // The shared empty body (not counted).
  static CharT* EmptyBody();
  // Counts a new holder of a body, or releases one (freeing the body that
  // loses its last holder).
  static void Retain(CharT* data);
  static void Release(CharT* data);
  // Releases the current body and takes `fresh`.
  void Adopt(CharT* fresh);
  void SetLength(RWSize n);
  // Each answers false after [NOMEM], leaving the string as it was.
  bool Unshare();
  // Moves the characters (at most `capacity`) to a body of exactly that
  // capacity: the sole owner's body is resized where it lies.
  bool Reallocate(RWSize capacity);
  // Resizes the body in place (realloc) to exactly `capacity`, cutting the
  // length to fit. The characters stay; data_ may move.
  // REQUIRES: the body is not shared and capacity > 0.
  bool ResizeBody(RWSize capacity);
  // Empty and unshared with room for `capacity` characters.
  bool ClearForReading(RWSize capacity);
  void AppendGrowing(CharT c);
  // operator+= of a character that does not fit the sole owner's body.
  RWBasicString& AppendOne(CharT c);
  void ShrinkToFit();

  CharT* data_;

  inline static std::atomic<RWSize> initial_capacity_{15};
  inline static std::atomic<RWSize> resize_increment_{16};
  inline static std::atomic<RWSize> max_waste_{15};
};

// A view (string, start, extent) of part of a string: sub-string access and
// Strip produce one; assigning to it replaces those characters. A range with
// start RW_NPOS is empty and ignores assignment. A range must not outlive
// its string, and edits of the string through other means invalidate it.
template <class CharT>
class RWBasicStringRange {
 public:
  using String = RWBasicString<CharT>;

  RWBasicStringRange(String& s, RWSize start, RWSize extent)
      : str_(&s), start_(start), extent_(extent) {}
  RWBasicStringRange(const RWBasicStringRange&) = default;

  RWSize Start() const { return start_; }
  RWSize Length() const { return extent_; }
  bool IsNull() const { return start_ == RW_NPOS || extent_ == 0; }
  const CharT* Data() const { return start_ == RW_NPOS ? nullptr : str_->Data() + start_; }

  // Element access checked against the extent.
  CharT& operator[](RWSize i);
  CharT operator[](RWSize i) const;

  RWBasicStringRange& operator=(const String& s);
  RWBasicStringRange& operator=(const RWBasicStringRange& r);
  RWBasicStringRange& operator=(const CharT* s);

  bool operator==(const CharT* s) const;
  bool operator==(const String& s) const;
  bool operator==(const RWBasicStringRange& r) const;

  void ToLower();
  void ToUpper();

 private:
  bool CheckIndex(RWSize i) const;
  void Assign(const CharT* s, RWSize n);

  String* str_;
  RWSize start_;
  RWSize extent_;
};

// Comparisons and concatenation.
template <class CharT>
bool operator==(const RWBasicString<CharT>& a, const RWBasicString<CharT>& b);
template <class CharT>
bool operator==(const RWBasicString<CharT>& a, const CharT* b) {
  return a.EqualsChars(b);
}
template <class CharT>
bool operator<(const RWBasicString<CharT>& a, const RWBasicString<CharT>& b) {
  return a.Compare(b) < 0;
}

template <class CharT>
RWBasicString<CharT> operator+(const RWBasicString<CharT>& a, const RWBasicString<CharT>& b);
template <class CharT>
RWBasicString<CharT> operator+(const RWBasicString<CharT>& a, const CharT* b);
template <class CharT>
RWBasicString<CharT> operator+(const CharT* a, const RWBasicString<CharT>& b);

// New lowered or raised copies.
template <class CharT>
RWBasicString<CharT> ToLower(const RWBasicString<CharT>& s);
template <class CharT>
RWBasicString<CharT> ToUpper(const RWBasicString<CharT>& s);

// 8-bit strings write their bytes; wide strings write 2 bytes per unit, low
// byte first, padded with the stream's fill character to its width.
std::ostream& operator<<(std::ostream& os, const RWBasicString<char>& s);
std::ostream& operator<<(std::ostream& os, const RWBasicString<char16_t>& s);

// Members of one class only: defined for that class, deleted for the other.
template <>
RWSize RWBasicString<char>::FirstUntilNul(char c) const;
template <>
RWSize RWBasicString<char>::LastUntilNul(char c) const;
template <>
RWSize RWBasicString<char>::FirstOfUntilNul(const char* set) const;
template <>
RWSize RWBasicString<char>::MultiByteLength() const;
template <>
RWSize RWBasicString<char>::Index(const RWRegularExpression& re, RWSize start) const;
template <>
RWSize RWBasicString<char>::Index(const RWRegularExpression& re, RWSize* match_length,
                                  RWSize start) const;
template <>
RWBasicString<char>::Range RWBasicString<char>::operator()(const RWRegularExpression& re,
                                                           RWSize start);
template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const char* s);
template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const char* s, RWSize n);
template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromMultiByte(const Narrow& s);
template <>
RWBasicString<char16_t> RWBasicString<char16_t>::FromAscii(const Narrow& s);
template <>
RWBasicString<char> RWBasicString<char16_t>::ToMultiByte() const;
template <>
RWBasicString<char> RWBasicString<char16_t>::ToAscii() const;
template <>
std::istream& RWBasicString<char16_t>::ReadToDelim(std::istream& is, char16_t delim,
                                                   bool skip_white);
template <>
std::istream& RWBasicString<char16_t>::ReadLine(std::istream& is, bool skip_white);
template <>
std::istream& RWBasicString<char16_t>::ReadString(std::istream& is);
template <>
std::istream& RWBasicString<char16_t>::ReadFile(std::istream& is);
template <>
std::istream& RWBasicString<char16_t>::ReadToken(std::istream& is);

template <>
RWSize RWBasicString<char16_t>::FirstUntilNul(char c) const = delete;
template <>
RWSize RWBasicString<char16_t>::LastUntilNul(char c) const = delete;
template <>
RWSize RWBasicString<char16_t>::FirstOfUntilNul(const char* set) const = delete;
template <>
RWSize RWBasicString<char16_t>::MultiByteLength() const = delete;
template <>
RWSize RWBasicString<char16_t>::Index(const RWRegularExpression& re, RWSize start) const = delete;
template <>
RWSize RWBasicString<char16_t>::Index(const RWRegularExpression& re, RWSize* match_length,
                                      RWSize start) const = delete;
template <>
RWBasicString<char16_t>::Range RWBasicString<char16_t>::operator()(const RWRegularExpression& re,
                                                                   RWSize start) = delete;
template <>
RWBasicString<char> RWBasicString<char>::FromMultiByte(const char* s) = delete;
template <>
RWBasicString<char> RWBasicString<char>::FromMultiByte(const char* s, RWSize n) = delete;
template <>
RWBasicString<char> RWBasicString<char>::FromMultiByte(const Narrow& s) = delete;
template <>
RWBasicString<char> RWBasicString<char>::FromAscii(const Narrow& s) = delete;
template <>
RWBasicString<char> RWBasicString<char>::ToMultiByte() const = delete;
template <>
RWBasicString<char> RWBasicString<char>::ToAscii() const = delete;
template <>
std::istream& RWBasicString<char>::ReadToDelim(std::istream& is, char delim,
                                               bool skip_white) = delete;
template <>
std::istream& RWBasicString<char>::ReadLine(std::istream& is, bool skip_white) = delete;
template <>
std::istream& RWBasicString<char>::ReadString(std::istream& is) = delete;
template <>
std::istream& RWBasicString<char>::ReadFile(std::istream& is) = delete;
template <>
std::istream& RWBasicString<char>::ReadToken(std::istream& is) = delete;

extern template class RWBasicString<char>;
extern template class RWBasicString<char16_t>;
extern template class RWBasicStringRange<char>;
extern template class RWBasicStringRange<char16_t>;
