// GDriverContext: the job's font file and the mass-storage font files of a
// printer connected from a print server.
#include "config/attributes/attribute_composite.h"
#include "config/fonts/font_sources.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "persist/string_conversion.h"
#include "platform/host/files.h"

namespace {

// Where a print server keeps the driver files of its clients.
constexpr char16_t kServerDriverFiles[] = u"\\print$\\w32x86\\";
constexpr char16_t kDriverVersions[] = {u'2', u'3'};

// The file name after `path`'s last separator when it is a plain name:
// not empty, no separator of either kind, no "..". Empty otherwise.
RWWString PlainFileName(const RWWString& path, char16_t separator) {
  const RWSize at = path.Last(separator);
  RWWString name = at == RW_NPOS ? path : path(at + 1, path.Length() - at - 1);
  if (name.First(u'\\') != RW_NPOS || name.First(u'/') != RW_NPOS ||
      name.Find(RWWString(u"..")) != RW_NPOS) {
    return RWWString();
  }
  return name;
}

}  // namespace

void GDriverContext::CarryJobFontFile() {
  GAttributeComposite* job = GetJobSettings();
  GStringAttribute* file = FindStringAttribute(job, kJobFontFileKey);
  if (!file || file->GetValue().IsNull()) return;
  if (SignedValueOr(job, kFontModuleKey, 0) != 0) SetMassStorageFontsFlag(1, this);
  RWWString path;
  NarrowToWide(file->GetValue(), path);
  WriteMsdFileName(this, kJobFontFileIndex, path);
}

void GDriverContext::FetchMassStorageFontFiles(const RWWString& printer_name) {
  GOSFactory* services = GOSFactory::Instance();
  ScopedCreationHandle handle(*this);
  if (!services || !handle.Open(GetPrinterName().Data(), nullptr)) return;
  const char16_t separator = services->GetPathSeparator();
  const RWSize at = printer_name.Last(separator);
  if (at != RW_NPOS && at > 0) {
    const RWWString server = printer_name(0, at) + kServerDriverFiles;
    for (std::uint32_t index = 0; index < kFontSourceCount; ++index) {
      const RWWString local = ReadMsdFileName(this, index);
      if (local.IsNull() || !IsInDriverDirectory(local)) continue;
      const RWWString name = PlainFileName(local, separator);
      if (name.IsNull()) continue;
      for (char16_t version : kDriverVersions) {
        RWWString source = server;
        source += version;
        source += separator;
        source += name;
        if (platform::CopyFileW(source.Data(), local.Data(), 0) == 1) break;
      }
    }
  }
}

void GDriverContext::DeleteMassStorageFontFiles(const RWWString&) {
  ScopedCreationHandle handle(*this);
  if (!handle.Open(GetPrinterName().Data(), nullptr)) return;
  for (std::uint32_t index = 0; index < kFontSourceCount; ++index) {
    const RWWString local = ReadMsdFileName(this, index);
    if (!local.IsNull() && IsInDriverDirectory(local)) platform::DeleteFileW(local.Data());
  }
}
