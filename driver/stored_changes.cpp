#include "driver/stored_changes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "driver/spooler_forms.h"
#include "platform/host/boundary.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"

namespace {

thread_local GStoredChanges* t_innermost = nullptr;

std::u16string Units(const RWWString& text) {
  return std::u16string(text.Data(), text.Length());
}

// The printer's data key, open with `access`; null when it cannot be had.
platform::HKEY OpenDataKey(const std::u16string& printer, platform::DWORD access) {
  platform::HKEY key = nullptr;
  const std::u16string path = platform::PrinterDataKeyPath(printer);
  if (platform::RegOpenKeyExW(platform::kHkeyLocalMachine, path.c_str(), 0, access, &key) != 0)
    return nullptr;
  return key;
}

}  // namespace

struct GStoredChanges::Entry {
  std::unique_ptr<Entry> older;
  bool stored_default = false;  // else a value of the printer data
  std::u16string printer;
  std::u16string name;  // the value's; empty for the stored default
  bool existed = false;
  platform::DWORD type = 0;
  std::vector<std::uint8_t> bytes;

  bool Reads(platform::HANDLE handle);
  bool PutBack() const;
};

// What is there now: true when it is known (there or not), false when it
// could not be read.
bool GStoredChanges::Entry::Reads(platform::HANDLE handle) {
  if (stored_default) {
    platform::DWORD size = 0;
    platform::GetPrinterW(handle, 2, nullptr, 0, &size);
    std::vector<platform::BYTE> record(size);
    if (size < sizeof(platform::PrinterInfo2W) ||
        platform::GetPrinterW(handle, 2, record.data(), size, &size) != 1)
      return false;
    const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record.data());
    const auto* dev_mode = static_cast<const std::uint8_t*>(info->dev_mode);
    const std::uint8_t* end = record.data() + record.size();
    // The record says how long it is; what the buffer holds bounds it.
    existed = dev_mode != nullptr && dev_mode >= record.data() &&
              end - dev_mode > std::ptrdiff_t(platform::kDevModeDriverExtraOffset + 1);
    if (existed) {
      const std::size_t length = std::size_t{dev_mode[platform::kDevModeSizeOffset]} +
                                 (dev_mode[platform::kDevModeSizeOffset + 1] << 8) +
                                 dev_mode[platform::kDevModeDriverExtraOffset] +
                                 (dev_mode[platform::kDevModeDriverExtraOffset + 1] << 8);
      bytes.assign(dev_mode, dev_mode + std::min<std::size_t>(length, end - dev_mode));
    }
    return true;
  }
  platform::HKEY key = OpenDataKey(printer, platform::kKeyRead);
  if (!key) return true;  // no data yet: the value is not there
  platform::DWORD size = 0;
  platform::LONG error =
      platform::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (error == 0) {
    bytes.resize(size);
    error = platform::RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes.data(), &size);
    bytes.resize(size);
  }
  platform::RegCloseKey(key);
  existed = error == 0;
  return error == 0 || error == platform::LONG(platform::kErrorFileNotFound);
}

bool GStoredChanges::Entry::PutBack() const {
  if (stored_default) {
    // A printer that had no stored default cannot be given none again:
    // what was set stays.
    if (!existed) return true;
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    platform::HANDLE handle = nullptr;
    if (platform::OpenPrinterW(printer.c_str(), &handle, &all) != 1) return false;
    std::unique_ptr<platform::BYTE[]> record = ReadPrinterInfo2(handle);
    bool put = false;
    if (record) {
      auto* info = reinterpret_cast<platform::PrinterInfo2W*>(record.get());
      std::vector<std::uint8_t> copy = bytes;
      info->dev_mode = copy.data();
      info->security_descriptor = nullptr;
      put = platform::SetPrinterW(handle, 2, record.get(), 0) == 1;
    }
    platform::ClosePrinter(handle);
    return put;
  }
  platform::HKEY key = OpenDataKey(printer, platform::kKeyAllAccess);
  if (!key) return !existed;
  const platform::LONG error =
      existed ? platform::RegSetValueExW(key, name.c_str(), 0, type, bytes.data(),
                                         platform::DWORD(bytes.size()))
              : platform::RegDeleteValueW(key, name.c_str());
  platform::RegCloseKey(key);
  return error == 0 || (!existed && error == platform::LONG(platform::kErrorFileNotFound));
}

GStoredChanges::GStoredChanges() : in_chain_(true), outer_(t_innermost) {
  t_innermost = this;
}

GStoredChanges::GStoredChanges(Detached) : in_chain_(false), outer_(nullptr) {}

GStoredChanges::~GStoredChanges() {
  if (in_chain_) t_innermost = outer_;
  if (outer_) {
    outer_->TakeChain(newest_);
    newest_ = nullptr;
  }
  Forget();
}

void GStoredChanges::TakeChain(Entry* newest) noexcept {
  if (!newest) return;
  // This one's entries are older than those taken.
  Entry* oldest = newest;
  while (oldest->older)
    oldest = oldest->older.get();
  oldest->older.reset(newest_);
  newest_ = newest;
}

void GStoredChanges::Forget() noexcept {
  // One at a time: a long chain is not let go by recursion.
  for (std::unique_ptr<Entry> entry(newest_); entry;)
    entry = std::move(entry->older);
  newest_ = nullptr;
}

void GStoredChanges::MoveCallsInto(GStoredChanges& keeper) noexcept {
  GStoredChanges* call = t_innermost;
  if (!call || call == &keeper) return;
  keeper.TakeChain(call->newest_);
  call->newest_ = nullptr;
}

void GStoredChanges::HandToOuterCall(GStoredChanges& keeper) noexcept {
  GStoredChanges* call = t_innermost;
  if (GStoredChanges* outer = call ? call->outer_ : nullptr) {
    outer->TakeChain(keeper.newest_);
    keeper.newest_ = nullptr;
  }
  keeper.Forget();
}

bool GStoredChanges::Undo() noexcept {
  bool whole = true;
  try {
    while (newest_) {
      std::unique_ptr<Entry> entry(newest_);
      newest_ = entry->older.release();
      whole = entry->PutBack() && whole;
    }
  } catch (...) {
    whole = false;
  }
  // What could not be put back is forgotten all the same.
  Forget();
  return whole;
}

bool GStoredChanges::KeepPrinterValue(const RWWString& printer, const char16_t* name) noexcept {
  return Keep(&printer, name, false, nullptr);
}

bool GStoredChanges::KeepPrinterValue(platform::HANDLE handle, const char16_t* name) noexcept {
  return Keep(nullptr, name, false, handle);
}

bool GStoredChanges::KeepStoredDefault(platform::HANDLE handle) noexcept {
  return Keep(nullptr, u"", true, handle);
}

bool GStoredChanges::Keep(const RWWString* printer, const char16_t* name, bool stored_default,
                          platform::HANDLE handle) noexcept {
  GStoredChanges* changes = t_innermost;
  if (!changes) return true;
  try {
    auto entry = std::make_unique<Entry>();
    entry->stored_default = stored_default;
    if (printer) {
      entry->printer = Units(*printer);
    } else {
      std::unique_ptr<platform::BYTE[]> record = ReadPrinterInfo2(handle);
      const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record.get());
      if (!info || !info->printer_name) return false;
      entry->printer = info->printer_name;
    }
    entry->name = name ? name : u"";
    for (const Entry* kept = changes->newest_; kept; kept = kept->older.get()) {
      if (kept->stored_default == stored_default && kept->printer == entry->printer &&
          kept->name == entry->name)
        return true;
    }
    if (!entry->Reads(handle)) return false;
    entry->older.reset(changes->newest_);
    changes->newest_ = entry.release();
    return true;
  } catch (const std::bad_alloc&) {
    // The write is refused for want of memory: the call that asked must
    // know, whatever new handler threw.
    platform::NoteShortage();
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return false;
  } catch (...) {
    return false;
  }
}
