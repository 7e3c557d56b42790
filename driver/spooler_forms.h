// The spooler's forms as the driver reads them: a snapshot of one printer's
// form list (GFormList), the numbering that ties forms to the device mode's
// paper field and to the model's paper ids, and the size tests between
// forms, media and custom sizes. The context base's form operations
// (driver_context_base.h, context_forms.cpp) are built on these.
//
// Numbers and ids. A form number is a form's 1-based position in the list;
// number 256 always stands for the current custom size, never for the form
// at that position. A paper id below 16384 names a model medium (built-in
// forms reach one through the paper-size mapping); 16384 is the current
// custom size; 16384 + i names the form at 0-based position i that is not
// built-in. So positions 0 (its id would be the custom size's), 255 (its
// number would be 256) and 1000 on (their ids, from 17384, are the custom
// size limit media) name no form: such forms are never reported.
//
// Lengths of forms are thousandths of a millimetre; media are converted
// from dots with MulDiv(dots, 25400, resolution), where a resolution of 0
// gives -1: such media match no form.
//
// Threads: a list is a copy; use it from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/spooler.h"

class GCustomMediaSize;
class GMedia;

inline constexpr std::uint16_t kCustomSizePaperId = 16384;
inline constexpr std::uint16_t kCustomSizeFormNumber = 256;
// The first paper id of the custom size limit media; no form's id reaches it.
inline constexpr std::uint16_t kFirstLimitPaperId = 17384;
// Matching tolerance of sizes, in each direction.
inline constexpr std::int32_t kFormTolerance = 100;
// Micrometres per inch, the numerator of dots to form lengths.
inline constexpr int kMicrometresPerInch = 25400;

class GFormList {
 public:
  GFormList() = default;
  GFormList(GFormList&&) = default;
  GFormList& operator=(GFormList&&) = default;

  // EnumForms: every form of the printer, in order; GetForm: the form of
  // that name. Each asks the spooler once for the size (kErrorInsufficient-
  // Buffer is expected), allocates and asks again; any other failure, or a
  // form list that changed in between, gives an empty list, with the last
  // error of what failed. A list read leaves the caller's last error as it
  // was.
  static GFormList Enumerate(platform::HANDLE printer);
  static GFormList Get(platform::HANDLE printer, const RWWString& name);

  std::uint32_t Count() const { return count_; }
  // A number that no other list read in this process has (0 for a
  // default-made list): what the context keys what it reads once per list by.
  std::uint64_t Serial() const { return serial_; }
  // REQUIRES: position < Count().
  const platform::FormInfo1W& operator[](std::uint32_t position) const {
    return records_[position];
  }
  // The 0-based position of the last form named `name` (case ignored, as
  // the spooler compares), or -1.
  std::int64_t FindLast(const RWWString& name) const;

 private:
  std::unique_ptr<platform::BYTE[]> block_;
  const platform::FormInfo1W* records_ = nullptr;  // in block_
  std::uint32_t count_ = 0;
  std::uint64_t serial_ = 0;
};

// The custom size range that forms are checked against at one resolution
// and orientation, in thousandths of a millimetre (the context works it
// out from its media, context_forms.cpp). Without the check every form of
// a positive size fits; with it, a range whose resolution is unknown (0)
// takes none.
struct GFormRange {
  bool check = false;
  bool known = false;
  std::int64_t low_x = 0;
  std::int64_t low_y = 0;
  std::int64_t high_x = 0;
  std::int64_t high_y = 0;

  bool Fits(const platform::FormInfo1W& form) const {
    if (form.size.cx <= 0 || form.size.cy <= 0) return false;
    if (!check) return true;
    return known && high_x >= form.size.cx && high_y >= form.size.cy && low_x <= form.size.cx &&
           low_y <= form.size.cy;
  }
};

// The printer's level 2 record (platform::PrinterInfo2W at the block's
// start), read under the size protocol, which leaves the caller's last
// error as it was; null when it cannot be read (the last error says why).
std::unique_ptr<platform::BYTE[]> ReadPrinterInfo2(platform::HANDLE printer);

// The longest form name taken from a string resource.
inline constexpr int kMostFormNameLength = 256;
// String `string_id` of `library`, at most kMostFormNameLength units; empty
// when it does not load.
RWWString LoadFormName(platform::HMODULE library, std::uint32_t string_id);

// The form's name; and as 8-bit text.
RWWString FormName(const platform::FormInfo1W& form);
RWCString FormNarrowName(const platform::FormInfo1W& form);
bool IsBuiltInForm(const platform::FormInfo1W& form);

// 16384 + position for a position that names a form (see above), else 0.
std::uint16_t PaperIdOfPosition(std::uint32_t position);

// The medium's paper size in thousandths of a millimetre at its own
// resolution, swapped for orientations 90 and 270; false when a resolution
// is 0.
bool MediumSizeInMicrometres(const GMedia& medium, std::int64_t& width, std::int64_t& height);
// Whether the form's size lies within `tolerance` of the medium's (as
// above) or of the custom size's (in micrometres), in each direction.
bool FormMatchesMedium(const platform::FormInfo1W& form, const GMedia& medium,
                       std::int32_t tolerance);
bool FormMatchesCustomSize(const platform::FormInfo1W& form, const GCustomMediaSize& size,
                           std::int32_t tolerance);
