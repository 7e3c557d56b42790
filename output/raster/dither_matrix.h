// GDitherMatrix: a threshold matrix for halftoning, width x height
// threshold bytes in row-major order (row r, column c at r x width + c),
// with the values by which a generator picks the matrix that fits its
// device: two parameters matched exactly, two selector bytes and a
// selector word matched loosely (0 matches anything; a selector word of
// 0xFFFF marks a matrix for the flagged search), and an extra value that
// the ZDL XL generator reads at page start. The generators keep lists of
// matrices, search them with FindInList, and read cells, rows rotated to a
// start column, or the whole matrix; the dither stage (row_stages.h) reads
// rows through CopyRotatedRow.
//
// Class id 774, registered as "GDitherMatrix"; kind test 774, 751. Content
// equality: the same object; or the same class id, width, height, both
// parameters, both selectors, selector word, extra value and threshold
// bytes, and then the base's equality (equal keys).
//
// Width and height are 1 to 255 each, or both 0 for a matrix without
// cells (the default one): constructors take them as bytes and make a
// matrix with a side of 0 a matrix without cells.
//
// Stored form, after the MPersistentObject part:
//   version             u32  kDitherMatrixVersion (3)
//   width, height       i16 each
//   thresholds          width x height bytes, row by row
//   first parameter     u16
//   extra value         u32  (from version 2)
//   second parameter    u16  (from version 3)
//   first selector, second selector, selector word   u16 each (version 3)
// A restore reads cumulatively: version 0 reads nothing further; from 1 on
// the width, height, thresholds and first parameter (and the second
// parameter becomes the first), from 2 on the extra value, from 3 on (and
// for any later version) the second parameter and the three selectors.
// Width and height are taken only as 1 to 255 each, or both 0: anything
// else fails the restore, as do thresholds that the rest of a file cannot
// hold; the thresholds are read into a new block before the old one goes,
// so a failed restore keeps the matrix's cells.
// Stored size: base + 22 + width x height.
//
// Cyclic reading: StartRow(column, row) points the reader at a cell (the
// column taken modulo the width, the row modulo the height); each
// NextThreshold answers the cell and moves one to the right, back to
// column 0 after the last one.
//
// Ownership: the matrix owns its thresholds; copies make their own.
// Threads: as MPersistentObject (the reader's cursor is the matrix's own
// state, so one matrix is read by one thread at a time).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

class MPersistentComposite;

inline constexpr RWClassID kGDitherMatrixId = 774;
inline constexpr std::uint32_t kDitherMatrixVersion = 3;
// The selector word of a matrix for the flagged search.
inline constexpr std::uint16_t kDitherFlaggedWord = 0xFFFF;

class GDitherMatrix final
    : public MPersistentClass<GDitherMatrix, MPersistentObject, kGDitherMatrixId> {
 public:
  // No cells; every value 0.
  GDitherMatrix() = default;
  // Copies width x height bytes of `thresholds` (zeros when null); the
  // second parameter is the first, the selectors and the extra value 0.
  GDitherMatrix(std::uint8_t width, std::uint8_t height, const std::uint8_t* thresholds,
                std::uint16_t parameter, const std::uint32_t& key);
  // Copies the bytes and takes every value.
  GDitherMatrix(std::uint8_t width, std::uint8_t height, const std::uint8_t* thresholds,
                std::uint16_t parameter, std::uint16_t second_parameter,
                std::uint8_t first_selector, std::uint8_t second_selector,
                std::uint16_t selector_word, const std::uint32_t& key);
  // Every field; thresholds of its own (none, and no cells, after [NOMEM]).
  GDitherMatrix(const GDitherMatrix& other);
  GDitherMatrix& operator=(const GDitherMatrix& other);

  // The base part, 22 and the thresholds.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  std::int16_t GetWidth() const { return width_; }
  std::int16_t GetHeight() const { return height_; }
  std::uint16_t GetParameter() const { return parameter_; }
  std::uint16_t GetSecondParameter() const { return second_parameter_; }
  std::uint16_t GetFirstSelector() const { return first_selector_; }
  std::uint16_t GetSecondSelector() const { return second_selector_; }
  std::uint16_t GetSelectorWord() const { return selector_word_; }
  std::uint32_t GetExtraValue() const { return extra_value_; }
  void SetExtraValue(std::uint32_t value) { extra_value_ = value; }
  // The thresholds (null without cells).
  const std::uint8_t* GetThresholds() const { return thresholds_.get(); }

  // The cell at (row, column); 0 outside the matrix.
  std::uint8_t GetCell(std::uint16_t row, std::uint16_t column) const;
  // Sets the cell; nothing outside the matrix.
  void SetCell(std::uint16_t row, std::uint16_t column, std::uint8_t value);
  // The cyclic reader (see above); NextThreshold answers 0 without cells.
  void StartRow(std::uint16_t column, std::uint16_t row);
  std::uint8_t NextThreshold();
  // Writes the width bytes of row `row` (modulo the height) starting with
  // column `column` (modulo the width) and wrapping round to column 0;
  // writes nothing without cells. REQUIRES: `destination` holds GetWidth()
  // bytes.
  void CopyRotatedRow(std::uint8_t* destination, std::uint16_t column, std::uint16_t row) const;
  // Copies width x height threshold bytes as stored, but never more than
  // the matrix holds; answers the bytes copied.
  // REQUIRES: `destination` holds width x height bytes.
  std::uint32_t CopyAll(std::uint8_t* destination, std::uint16_t width, std::uint16_t height) const;

  // The first matrix of `list` after entry `start` (-1 for a search from
  // entry 0) that matches, or null; entries of other classes are passed
  // over, and each entry is held while it is examined. Unflagged, a matrix
  // matches with both parameters equal, each selector equal or 0 on either
  // side, and its selector word equal or 0 on either side; flagged, with
  // the selector word kDitherFlaggedWord, both parameters equal and the
  // selectors matching likewise (the given word plays no part). The
  // answer stays held by the list.
  static GDitherMatrix* FindInList(std::uint16_t parameter, std::uint16_t second_parameter,
                                   std::uint16_t first_selector, std::uint16_t second_selector,
                                   std::uint16_t selector_word, const MPersistentComposite& list,
                                   std::int32_t start, bool flagged);

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Sets the size and copies the cells (zeros when null); a side of 0
  // makes a matrix without cells, as does [NOMEM].
  void SetCells(std::uint8_t width, std::uint8_t height, const std::uint8_t* thresholds);
  std::uint32_t CellCount() const { return static_cast<std::uint32_t>(width_) * height_; }

  std::int16_t width_ = 0;
  std::int16_t height_ = 0;
  std::unique_ptr<std::uint8_t[]> thresholds_;  // width x height, or null
  std::uint16_t parameter_ = 0;
  std::uint16_t second_parameter_ = 0;
  // The cyclic reader: the row's first cell, the current column, the last.
  std::uint32_t row_start_ = 0;
  std::uint8_t current_column_ = 0;
  std::uint8_t last_column_ = 0;
  std::uint16_t first_selector_ = 0;   // a byte, kept in 16 bits
  std::uint16_t second_selector_ = 0;  // a byte, kept in 16 bits
  std::uint16_t selector_word_ = 0;
  std::uint32_t extra_value_ = 0;
};

extern template class MPersistentClass<GDitherMatrix, MPersistentObject, kGDitherMatrixId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DitherMatrixClasses();
