// GCharTable: a per-character table of 16-bit entries, either owning its
// block or borrowing a caller's; before an entry is written, a borrowing
// table copies the entries into a block of its own (MakePrivate). The font
// objects' code tables (font.h) and the escapements use it.
//
// GTextEscapements: the per-character advances of one text string after
// its direction has been applied: a primary table (x advances) and a
// secondary table (y advances), each absent or of `count` entries. Built
// from a direction and a table of advances (see the constructor), the
// entries are the steps between points of the rotated running sum,
// X = trunc(d * cos + 0.5) and Y = trunc(-(d * sin + 0.5)) with sine and
// cosine as GAngle takes them (output/graphics/angle.h), so that rounding
// never adds up along the string.
//
// Class id 803, registered as "GTextEscapements". Stored form (RWFile items
// little-endian; a virtual stream writes the same items), after the base
// part of MPersistentObject:
//   version          u32  kTextEscapementsVersion
//   count            u16
//   primary flag     u32  1 when the primary table follows, else 0
//   primary table    count u16 (when present)
//   secondary flag   u32
//   secondary table  count u16 (when present)
// A restore of another version keeps the object as it was; otherwise it
// drops both tables and makes one (owned, empty when count is 0) for each
// flag that reads 1. Entries are read one by one and a file whose rest
// cannot hold them fails at once, so a damaged count never allocates more
// than the data holds. Stored size: the base part, 14 and 2 x count per
// present table.
//
// Ownership: each object owns its tables' blocks; a borrowed block stays
// its lender's and must outlive the table. Threads: one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGTextEscapementsId = 803;
inline constexpr std::uint32_t kTextEscapementsVersion = 1;

class GCharTable {
 public:
  // No entries.
  GCharTable() = default;
  // `count` zero entries in a block of its own (none when no memory is
  // left: Count() is then 0).
  explicit GCharTable(std::uint32_t count);
  // A table that borrows `count` entries at `entries`.
  // REQUIRES: `entries` holds `count` entries and outlives the table (or
  // its MakePrivate).
  static GCharTable Borrow(std::uint16_t* entries, std::uint32_t count);
  // A table owning a copy of `entries`.
  static GCharTable CopyOf(std::span<const std::uint16_t> entries);
  // An owned copy of the other's entries.
  GCharTable(const GCharTable& other);
  GCharTable& operator=(const GCharTable& other);
  GCharTable(GCharTable&& other) noexcept;
  GCharTable& operator=(GCharTable&& other) noexcept;
  ~GCharTable() = default;

  bool IsOwned() const { return owned_; }
  std::uint32_t Count() const { return count_; }
  // The entries; null for an empty table.
  const std::uint16_t* Data() const { return count_ ? data_ : nullptr; }
  // The entries for writing; null unless the table owns them and has any.
  std::uint16_t* OwnedData() { return owned_ && count_ ? data_ : nullptr; }
  // Copies borrowed entries into a block of its own; false (the table
  // unchanged) when no memory is left.
  bool MakePrivate();
  // The entry at `index`, 0 past the end.
  std::uint16_t At(std::uint32_t index) const { return index < count_ ? data_[index] : 0; }
  // Makes the table private and writes the entry when `index` < Count();
  // false when nothing was written.
  bool Set(std::uint32_t index, std::uint16_t value);

 private:
  std::unique_ptr<std::uint16_t[]> block_;  // the owned entries
  std::uint16_t* data_ = nullptr;           // the entries, owned or borrowed
  std::uint32_t count_ = 0;
  bool owned_ = false;
};

class GTextEscapements final
    : public MPersistentClass<GTextEscapements, MPersistentObject, kGTextEscapementsId> {
 public:
  // No tables, count 0.
  GTextEscapements() = default;
  // Keeps the given tables (null: none). REQUIRES: each has `count`
  // entries.
  GTextEscapements(std::unique_ptr<GCharTable> primary, std::unique_ptr<GCharTable> secondary,
                   std::uint16_t count);
  // The advances of a string written in direction `degrees` (brought into
  // [0, 360)): at 0 the advances are the x table; at 180 the x table of
  // their negations; at 90 the y table of their negations; at 270 the y
  // table; at any other angle both, from the rotated running sum. The
  // count is the table's, at most 65535 entries taken.
  GTextEscapements(float degrees, GCharTable advances);
  // New owned tables with the same entries.
  GTextEscapements(const GTextEscapements& other);
  GTextEscapements& operator=(const GTextEscapements&) = delete;
  ~GTextEscapements() override;

  // The table's entries; null without a table or for an empty one.
  const std::uint16_t* GetPrimaryTable() const;
  const std::uint16_t* GetSecondaryTable() const;
  // The entry at `index`; 0 without a table and past its end.
  std::uint16_t GetPrimaryAt(std::uint32_t index) const;
  std::uint16_t GetSecondaryAt(std::uint32_t index) const;
  // Without a table and a value other than 0, first a table of count zero
  // entries; then, made private, the entry is written when index < count.
  void SetPrimaryAt(std::uint32_t index, std::uint16_t value);
  void SetSecondaryAt(std::uint32_t index, std::uint16_t value);
  std::uint16_t GetCount() const { return count_; }

  RWSize StoredSize() const override;
  // The same class and base, equal counts; then each pair of tables the
  // same, or both present with equal entries.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::unique_ptr<GCharTable> primary_;    // x advances, or none
  std::unique_ptr<GCharTable> secondary_;  // y advances, or none
  std::uint16_t count_ = 0;
};

extern template class MPersistentClass<GTextEscapements, MPersistentObject, kGTextEscapementsId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TextEscapementsClasses();
