#include "config/fonts/font_sources.h"

#include <algorithm>
#include <string_view>

#include "platform/host/files.h"
#include "services/os_factory.h"

namespace {

constexpr std::uint32_t kUnsetDword = 0xFFFFFFFF;

RWWString ValueName(std::uint32_t index) {
  return RWWString(kFontSources[index].value_name);
}

RWWString DriverDirectory(GOSFactory& services) {
  RWWString directory;
  return services.GetDriverDirectory(directory);
}

std::u16string_view View(const RWWString& s) {
  return std::u16string_view(s.Data(), s.Length());
}

// Whether `path` starts with `directory` and the separator.
bool UnderDirectory(const RWWString& path, const RWWString& directory, char16_t separator) {
  return !directory.IsNull() && path.Length() > directory.Length() &&
         View(path).substr(0, directory.Length()) == View(directory) &&
         path[directory.Length()] == separator;
}

RWWString Joined(const RWWString& directory, char16_t separator, const RWWString& name) {
  RWWString joined = directory;
  joined += separator;
  joined += name;
  return joined;
}

// Whether the file `path` names really lies below `directory` (links
// followed, ".." refused): a name from the printer's data may try to climb.
bool InsideDirectory(const RWWString& path, const RWWString& directory) {
  return platform::IsFileInFolder(View(path), View(directory));
}

std::uint32_t StateOf(std::uint32_t disabled, std::uint32_t index) {
  return disabled >> (2 * index) & kMsdStateMask;
}

}  // namespace

RWWString ReadMsdFileName(GDriverData* printer, std::uint32_t index) {
  GOSFactory* services = GOSFactory::Instance();
  if (index >= kFontSourceCount || !services) return RWWString();
  RWWString name = services->GetPrinterDataString(printer, ValueName(index), RWWString());
  char16_t separator = services->GetPathSeparator();
  if (name.IsNull() || name.First(separator) != RW_NPOS) return name;
  RWWString directory = DriverDirectory(*services);
  return directory.IsNull() ? name : Joined(directory, separator, name);
}

int WriteMsdFileName(GDriverData* printer, std::uint32_t index, const RWWString& path) {
  GOSFactory* services = GOSFactory::Instance();
  if (index >= kFontSourceCount || !services) return 0;
  RWWString directory = DriverDirectory(*services);
  RWWString stored = path;
  if (UnderDirectory(path, directory, services->GetPathSeparator())) {
    RWSize cut = directory.Length() + 1;
    stored = path(cut, path.Length() - cut);
  }
  return services->SetPrinterDataString(printer, ValueName(index), stored);
}

void RemoveMsdFontFile(GDriverData* printer, std::uint32_t index, const RWWString& path) {
  GOSFactory* services = GOSFactory::Instance();
  if (index >= kFontSourceCount || !services) return;
  RWWString named = ReadMsdFileName(printer, index);
  if (!named.IsNull() && named == path) {
    services->SetPrinterDataString(printer, ValueName(index), RWWString());
  }
  RWWString directory = DriverDirectory(*services);
  if (directory.IsNull()) return;
  char16_t separator = services->GetPathSeparator();
  RWWString file =
      UnderDirectory(path, directory, separator) ? path : Joined(directory, separator, path);
  if (InsideDirectory(file, directory)) platform::DeleteFileW(file.Data());
}

bool IsInDriverDirectory(const RWWString& path) {
  GOSFactory* services = GOSFactory::Instance();
  return services && InsideDirectory(path, DriverDirectory(*services));
}

std::uint32_t GetDisabledMsds(GDriverData* printer) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  std::uint32_t value = services->GetPrinterDataDword(printer, RWWString(kDisabledMsdsName), 0);
  return value == kUnsetDword ? 0 : value;
}

int SetDisabledMsds(GDriverData* printer, std::uint32_t value) {
  GOSFactory* services = GOSFactory::Instance();
  return services ? services->SetPrinterDataDword(printer, RWWString(kDisabledMsdsName), value) : 0;
}

std::uint32_t GetMsdState(GDriverData* printer, std::uint32_t index) {
  return index < kFontSourceCount ? StateOf(GetDisabledMsds(printer), index) : 0;
}

int SetMsdState(GDriverData* printer, std::uint32_t index, std::uint32_t state) {
  if (index >= kFontSourceCount) return 0;
  std::uint32_t shift = 2 * index;
  std::uint32_t value = GetDisabledMsds(printer) & ~(kMsdStateMask << shift);
  return SetDisabledMsds(printer, value | (state & kMsdStateMask) << shift);
}

std::uint32_t FindFreeMsdIndex(GDriverData* printer, std::uint32_t first, std::uint32_t last) {
  std::uint32_t end = std::min(last, kFontSourceCount - 1);
  for (std::uint32_t i = first; i <= end; ++i) {
    if (ReadMsdFileName(printer, i).IsNull()) return i;
  }
  std::uint32_t disabled = GetDisabledMsds(printer);
  for (std::uint32_t i = first; i <= end; ++i) {
    std::uint32_t state = StateOf(disabled, i);
    if (state == 0 || state == kMsdStateDisabled) return i;
  }
  return kNoFreeMsdIndex;
}

std::uint32_t GetMassStorageFontsFlag(GDriverData* printer) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  return services->GetPrinterDataDword(printer, RWWString(kMassStorageFontsName), 0) == 1 ? 1 : 0;
}

int SetMassStorageFontsFlag(std::uint32_t flag, GDriverData* printer) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  return services->SetPrinterDataDword(printer, RWWString(kMassStorageFontsName),
                                       flag == 1 ? 1 : 0);
}

int UpdateMassStorageFontsFlag(GDriverData* printer) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  std::uint32_t disabled = GetDisabledMsds(printer);
  std::uint32_t any = 0;
  for (std::uint32_t i = 0; i < kFontSourceCount && !any; ++i) {
    bool counts = i < kFirstModuleSource || !(StateOf(disabled, i) & kMsdStateDisabled);
    if (counts && !ReadMsdFileName(printer, i).IsNull()) any = 1;
  }
  RWWString name(kMassStorageFontsName);
  if (services->GetPrinterDataDword(printer, name, 0) == any) return 0;
  return services->SetPrinterDataDword(printer, name, any) ? 1 : 0;
}
