#include "driver/spooler_forms.h"

#include <atomic>
#include <new>
#include <utility>

#include "config/paper/custom_media_size.h"
#include "config/paper/media.h"
#include "driver/stored_state.h"
#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "platform/host/system.h"

namespace {

// Form numbers and positions that name no form (spooler_forms.h).
constexpr std::uint32_t kCustomSizePosition = kCustomSizeFormNumber - 1;
constexpr std::uint32_t kFirstLimitPosition = kFirstLimitPaperId - kCustomSizePaperId;

// The size query, then the read into a block of the size it gave. The
// query's kErrorInsufficientBuffer is the driver's own business: a read
// that succeeds leaves the caller's last error as it was (a sheet's end
// reads the printer after a failure that set it), one that fails leaves
// its own reason.
template <class Read>
std::unique_ptr<platform::BYTE[]> ReadBlock(Read read) {
  const platform::DWORD last_error = platform::GetLastError();
  platform::DWORD needed = 0;
  if (read(nullptr, 0, needed) || platform::GetLastError() != platform::kErrorInsufficientBuffer ||
      needed == 0) {
    return nullptr;
  }
  std::unique_ptr<platform::BYTE[]> block(new (kRWNoThrow) platform::BYTE[needed]);
  if (!block) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return nullptr;
  }
  if (!read(block.get(), needed, needed)) return nullptr;
  platform::SetLastError(last_error);
  return block;
}

bool Within(std::int64_t length, std::int64_t target, std::int32_t tolerance) {
  const std::int64_t difference = length - target;
  return difference <= tolerance && -difference <= tolerance;
}

std::uint64_t NextSerial() {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

GFormList GFormList::Enumerate(platform::HANDLE printer) {
  GFormList list;
  list.serial_ = NextSerial();
  platform::DWORD count = 0;
  list.block_ =
      ReadBlock([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD& needed) {
        return GStoredState::EnumForms(printer, buffer, size, &needed, &count) == 1;
      });
  if (list.block_) {
    list.records_ = reinterpret_cast<const platform::FormInfo1W*>(list.block_.get());
    list.count_ = count;
  }
  return list;
}

GFormList GFormList::Get(platform::HANDLE printer, const RWWString& name) {
  GFormList list;
  list.serial_ = NextSerial();
  list.block_ =
      ReadBlock([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD& needed) {
        return GStoredState::GetForm(printer, name.Data(), buffer, size, &needed) == 1;
      });
  if (list.block_) {
    list.records_ = reinterpret_cast<const platform::FormInfo1W*>(list.block_.get());
    list.count_ = 1;
  }
  return list;
}

std::int64_t GFormList::FindLast(const RWWString& name) const {
  for (std::uint32_t i = count_; i-- > 0;) {
    if (FormName(records_[i]).Compare(name, RWCase::ignore) == 0) return i;
  }
  return -1;
}

std::unique_ptr<platform::BYTE[]> ReadPrinterInfo2(platform::HANDLE printer) {
  return ReadBlock([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD& needed) {
    return GStoredState::GetPrinter(printer, buffer, size, &needed) == 1;
  });
}

RWWString LoadFormName(platform::HMODULE library, std::uint32_t string_id) {
  char16_t text[kMostFormNameLength + 1];
  const int length = platform::LoadStringW(library, string_id, text, kMostFormNameLength + 1);
  return length > 0 ? RWWString(text, static_cast<RWSize>(length)) : RWWString();
}

RWWString FormName(const platform::FormInfo1W& form) {
  return form.name ? RWWString(form.name) : RWWString();
}

RWCString FormNarrowName(const platform::FormInfo1W& form) {
  RWCString narrow;
  WideToNarrow(FormName(form), narrow);
  return narrow;
}

bool IsBuiltInForm(const platform::FormInfo1W& form) {
  return form.flags == platform::kFormBuiltin;
}

std::uint16_t PaperIdOfPosition(std::uint32_t position) {
  if (position == 0 || position == kCustomSizePosition || position >= kFirstLimitPosition) return 0;
  return static_cast<std::uint16_t>(kCustomSizePaperId + position);
}

bool MediumSizeInMicrometres(const GMedia& medium, std::int64_t& width, std::int64_t& height) {
  width =
      platform::MulDiv(medium.GetPaperSize().width, kMicrometresPerInch, medium.GetXResolution());
  height =
      platform::MulDiv(medium.GetPaperSize().height, kMicrometresPerInch, medium.GetYResolution());
  if (width < 0 || height < 0) return false;
  if (medium.GetOrientation() == 90 || medium.GetOrientation() == 270) std::swap(width, height);
  return true;
}

bool FormMatchesMedium(const platform::FormInfo1W& form, const GMedia& medium,
                       std::int32_t tolerance) {
  std::int64_t width = 0, height = 0;
  return MediumSizeInMicrometres(medium, width, height) && Within(form.size.cx, width, tolerance) &&
         Within(form.size.cy, height, tolerance);
}

bool FormMatchesCustomSize(const platform::FormInfo1W& form, const GCustomMediaSize& size,
                           std::int32_t tolerance) {
  const GSize32 micrometres = size.GetSizeIn(kMicrometre);
  return Within(form.size.cx, micrometres.width, tolerance) &&
         Within(form.size.cy, micrometres.height, tolerance);
}
