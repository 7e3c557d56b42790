// The 16-bit geometry that graphics, clips and the filters share:
//   GShortPoint       x, y (signed 16-bit); (0, 0) by default
//   GShortRect        left, top, right, bottom (signed 16-bit); all 0 by default
//   GShortPointArray  a run of points with its ownership
//
// GShortPointArray either owns its storage (frees it when it goes) or
// borrows a caller's points (never frees them; the caller keeps them alive
// while the array, or a graphic that borrowed from it, is used). The first
// point in use may lie after the start of the storage. Whoever receives an
// array decides by its owns flag: an owning array's points are copied, a
// borrowing array's points are borrowed in turn.
//
// Threads: a value belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

struct GShortPoint {
  std::int16_t x = 0;
  std::int16_t y = 0;

  friend bool operator==(const GShortPoint&, const GShortPoint&) = default;
};

struct GShortRect {
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bottom = 0;

  // True when the rectangle covers no pixel: a width or height of 0, or a
  // reversed one (right < left, bottom < top), whose extent would otherwise
  // be taken without sign.
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  // The common part: the larger left and top, the smaller right and
  // bottom; all zero when that covers no pixel.
  constexpr GShortRect Intersect(const GShortRect& other) const {
    const GShortRect common{
        left > other.left ? left : other.left, top > other.top ? top : other.top,
        right < other.right ? right : other.right, bottom < other.bottom ? bottom : other.bottom};
    return common.IsEmpty() ? GShortRect{} : common;
  }

  friend bool operator==(const GShortRect&, const GShortRect&) = default;
};

class GShortPointArray {
 public:
  // Owns no storage yet: owns flag 1, no points.
  GShortPointArray() = default;
  // Borrows `count` points at `points`. REQUIRES: they outlive every user.
  GShortPointArray(const GShortPoint* points, std::uint32_t count)
      : owns_(false), storage_(points), first_(points), count_(points ? count : 0) {}
  GShortPointArray(GShortPointArray&& other) noexcept;
  GShortPointArray& operator=(GShortPointArray&& other) noexcept;
  GShortPointArray(const GShortPointArray&) = delete;
  GShortPointArray& operator=(const GShortPointArray&) = delete;
  ~GShortPointArray() { Release(); }

  // An array that owns `storage`, with its first `count` points in use.
  static GShortPointArray Adopt(std::unique_ptr<GShortPoint[]> storage, std::uint32_t count);
  // An owning array with a copy of `count` points (none for 0); false, with
  // `into` untouched, when the storage cannot be had ([NOMEM] raised).
  static bool CopyOf(const GShortPoint* points, std::uint32_t count, GShortPointArray& into);

  bool Owns() const { return owns_; }
  const GShortPoint* Storage() const { return storage_; }
  const GShortPoint* First() const { return first_; }
  std::uint32_t Count() const { return count_; }
  // REQUIRES: i < Count().
  const GShortPoint& operator[](std::uint32_t i) const { return first_[i]; }

  // The points in use, borrowed: the answer never frees them.
  GShortPointArray Borrowed() const { return GShortPointArray(first_, count_); }
  // Moves the first point in use on by one (the storage stays where it is).
  // REQUIRES: Count() > 0.
  void DropFirst() {
    ++first_;
    --count_;
  }

 private:
  void Release();

  bool owns_ = true;
  const GShortPoint* storage_ = nullptr;  // freed with delete[] when owned
  const GShortPoint* first_ = nullptr;    // the first point in use
  std::uint32_t count_ = 0;               // points in use
};

// Whether two runs hold equal points pair by pair (the same address counts
// as equal).
bool SamePoints(const GShortPointArray& a, const GShortPointArray& b);
