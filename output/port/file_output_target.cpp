#include "output/port/file_output_target.h"

#include <new>
#include <optional>
#include <string>
#include <utility>

#include "foundation/rw/support.h"
#include "platform/host/files.h"
#include "platform/host/uuid.h"
#include "platform/text.h"
#include "services/os_factory.h"
#include "services/render_driver_data.h"

namespace {

constexpr std::uint16_t kWrongState = 1;
constexpr char kFilePortName[] = "FILE";
constexpr char16_t kFilePrefix[] = u"FILE:";
constexpr RWSize kFilePrefixLength = 5;

// Only a rooted Windows path ("X:\...", "\\share\...", "\...") may name
// the file: a host path or a relative one would escape the mappings.
bool IsRootedWindowsPath(const RWWString& path) {
  if (path.First(u'\0') != RW_NPOS) return false;  // the name would end early
  const char16_t* p = path.Data();
  RWSize n = path.Length();
  if (n >= 1 && (p[0] == u'\\')) return true;
  bool letter = n >= 3 && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
  return letter && p[1] == u':' && (p[2] == u'\\' || p[2] == u'/');
}

// Whether `path` is, or lies in, what the driver or the spool keep for
// themselves: the driver directory, the job's temporary directory and the
// job's driver data file, by name or as the same file (a hard link).
bool IsOwnFile(const std::u16string& path, GRenderDriverData* job) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return false;
  auto view = [](const RWWString& s) { return std::u16string_view(s.Data(), s.Length()); };
  const RWWString driver_directory = services->GetModuleDirectory();
  if (!driver_directory.IsNull() && platform::IsFileInFolder(path, view(driver_directory)))
    return true;
  GDriverData* printer = job ? job->GetDriverData() : nullptr;
  if (!printer) return false;
  const RWWString temp = services->GetTempDirectory(printer);
  if (!temp.IsNull() && platform::IsFileInFolder(path, view(temp))) return true;
  const RWWString data_file = services->GetDriverDataFile(printer);
  if (data_file.IsNull()) return false;
  if (platform::IsSameFile(path, view(data_file))) return true;
  const std::optional<std::string> own = platform::ResolveFilePath(view(data_file));
  return own && own == platform::ResolveFilePath(path);
}

// The port's files' names: kNewFilePrefix, 80 random bits in hex, ".tmp".
// The prefix tells a user what a leftover is (a killed job's); the bits
// come from the system, so that no other process can foresee the name, nor
// a leftover take every name tried.
constexpr char16_t kNewFilePrefix[] = u"~prn";
constexpr int kNewFileAttempts = 100;

// A new, empty file in the host folder `folder` ("/" at its end), under a
// name of its own (created only when free, so never another's file): its
// handle, with the name in `name`; else kInvalidHandleValue with the last
// error.
platform::HANDLE CreateNewFileIn(const std::u16string& folder, std::u16string& name) {
  for (int attempt = 0; attempt < kNewFileAttempts; ++attempt) {
    std::uint8_t bits[10];
    if (!platform::RtlGenRandom(bits, sizeof bits)) return platform::kInvalidHandleValue;
    name = folder + kNewFilePrefix;
    for (std::uint8_t byte : bits) {
      name += u"0123456789abcdef"[byte >> 4];
      name += u"0123456789abcdef"[byte & 0xF];
    }
    name += u".tmp";
    platform::HANDLE file =
        platform::CreateFileW(name.c_str(), platform::kGenericWrite, 0, nullptr,
                              platform::kCreateNew, platform::kFileAttributeNormal, nullptr);
    if (file != platform::kInvalidHandleValue ||
        platform::GetLastError() != platform::kErrorFileExists)
      return file;
  }
  return platform::kInvalidHandleValue;
}

}  // namespace

GFileOutputTarget::GFileOutputTarget(const RWWString& path, GRenderDriverData* job)
    : GOutputTarget(path.ToMultiByte()) {
  file_ = Make(path, job);
}

GFileOutputTarget::~GFileOutputTarget() {
  Finish();
}

std::uint16_t GFileOutputTarget::Failed(std::uint32_t error) {
  if (failure_ == 0) failure_ = error;
  return static_cast<std::uint16_t>(error);
}

platform::HANDLE GFileOutputTarget::Make(const RWWString& path, GRenderDriverData* job) {
  const auto refuse = [this](std::uint32_t error) {
    Failed(error);
    return platform::kInvalidHandleValue;
  };
  if (!IsRootedWindowsPath(path)) return refuse(platform::kErrorBadPathname);
  const std::u16string terminated(path.Data(), path.Length());
  const std::optional<std::string> resolved = platform::ResolveFilePath(terminated);
  if (!resolved) return refuse(platform::GetLastError());
  if (!platform::IsInItsMapping(terminated) || IsOwnFile(terminated, job))
    return refuse(platform::kErrorAccessDenied);
  // The host's names are bytes; ours convert only from UTF-8.
  std::u16string host;
  if (!platform::MultiByteToWide(resolved->data(), resolved->size(), host))
    return refuse(platform::kErrorNoUnicodeTranslation);
  if (platform::GetFileAttributesW(host.c_str()) == platform::kFileAttributeDirectory)
    return refuse(platform::kErrorDirectoryNotSupported);
  std::u16string name;
  platform::HANDLE file = CreateNewFileIn(host.substr(0, host.rfind(u'/') + 1), name);
  if (file == platform::kInvalidHandleValue) return refuse(platform::GetLastError());
  target_ = std::move(host);
  made_ = std::move(name);
  return file;
}

std::uint16_t GFileOutputTarget::Open(const RWWString& document_name) {
  const std::uint16_t result = GOutputTarget::Open(document_name);
  if (result == 0) opened_ = true;
  return result;
}

std::uint16_t GFileOutputTarget::WriteRaw(const std::uint8_t* data, std::uint32_t length,
                                          std::uint32_t& written) {
  written = 0;
  if (!IsOpen() || file_ == platform::kInvalidHandleValue) return kWrongState;
  platform::DWORD went = 0;
  platform::BOOL ok = platform::WriteFile(file_, data, length, &went);
  written = went;
  SetCount(GetCount() + went);
  if (ok) return 0;
  incomplete_ = true;
  return Failed(platform::GetLastError());
}

std::uint16_t GFileOutputTarget::Close() {
  const std::uint16_t result = GOutputTarget::Close();
  if (GetState() != kClosed || !opened_ || made_.empty()) return result;
  if (incomplete_) {
    Drop();
    return result;
  }
  const std::uint16_t placed = PutInPlace();
  return result != 0 ? result : placed;
}

std::uint16_t GFileOutputTarget::Finish() {
  // Still open: no document end closed it, so what it took is not output.
  if (IsOpen()) incomplete_ = true;
  const std::uint16_t result = GOutputTarget::Finish();
  Drop();
  return result;
}

std::uint16_t GFileOutputTarget::Abort() {
  incomplete_ = true;
  return Finish();
}

bool GFileOutputTarget::IsReady() {
  return file_ != platform::kInvalidHandleValue;
}

std::uint16_t GFileOutputTarget::PutInPlace() {
  // The error the platform gave, the new file gone.
  const auto failed = [this] {
    const std::uint16_t error = Failed(platform::GetLastError());
    Drop();
    return error;
  };
  // A file system may report a lost write only at the flush or the close:
  // either failing is a failed write, and the target keeps what it held.
  if (file_ != platform::kInvalidHandleValue && !platform::FlushFileBuffers(file_)) return failed();
  const platform::HANDLE file = std::exchange(file_, platform::kInvalidHandleValue);
  if (file != platform::kInvalidHandleValue && !platform::CloseHandle(file)) return failed();
  if (!platform::MoveFileExW(
          made_.c_str(), target_.c_str(),
          platform::kMoveFileReplaceExisting | platform::kMoveFileWriteThrough)) {
    // The folder's flush failed after the rename: the file is the target
    // now, whole, and only its survival of a crash is in doubt.
    if (platform::GetLastError() == platform::kErrorWriteFault) made_.clear();
    return failed();
  }
  made_.clear();
  return 0;
}

void GFileOutputTarget::Drop() {
  if (file_ != platform::kInvalidHandleValue) platform::CloseHandle(file_);
  file_ = platform::kInvalidHandleValue;
  if (!made_.empty()) platform::DeleteFileW(made_.c_str());
  made_.clear();
}

RWCollectable* GFilePortHandler::CreateDefault() const {
  return new (kRWNoThrow) GFilePortHandler;
}

RWCollectable* GFilePortHandler::CreateCopy() const {
  return new (kRWNoThrow) GFilePortHandler(*this);
}

void* GFilePortHandler::Open(const RWWString& destination, const RWCString&, std::uint32_t,
                             void* extra) {
  if (destination.Length() < kFilePrefixLength) return nullptr;
  for (RWSize i = 0; i < kFilePrefixLength; ++i) {
    char16_t c = destination.Data()[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != kFilePrefix[i]) return nullptr;
  }
  RWWString path(destination.Data() + kFilePrefixLength, destination.Length() - kFilePrefixLength);
  GOutputTarget* port =
      new (kRWNoThrow) GFileOutputTarget(path, static_cast<GRenderDriverData*>(extra));
  return port;
}

namespace {

GFilePortHandler& ProcessFileHandler() {
  static GFilePortHandler handler;
  return handler;
}

}  // namespace

std::int32_t RegisterFilePortHandler() {
  return GPortHandlerRegistry::Instance().Register(&ProcessFileHandler(), RWCString(kFilePortName));
}

void UnregisterFilePortHandler() {
  GPortHandlerRegistry::Instance().Unregister(RWCString(kFilePortName));
}
