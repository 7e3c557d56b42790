#include "output/port/file_output_target.h"

#include <new>
#include <optional>
#include <string>

#include "platform/host/files.h"

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

platform::HANDLE CreateHostFile(const RWWString& path) {
  if (!IsRootedWindowsPath(path)) return platform::kInvalidHandleValue;
  const std::u16string terminated(path.Data(), path.Length());
  return platform::CreateFileW(terminated.c_str(), platform::kGenericWrite, 0, nullptr,
                               platform::kCreateAlways, platform::kFileAttributeNormal, nullptr);
}

}  // namespace

GFileOutputTarget::GFileOutputTarget(const RWWString& path)
    : GOutputTarget(path.ToMultiByte()), file_(CreateHostFile(path)) {}

GFileOutputTarget::~GFileOutputTarget() {
  Finish();
}

std::uint16_t GFileOutputTarget::WriteRaw(const std::uint8_t* data, std::uint32_t length,
                                          std::uint32_t& written) {
  written = 0;
  if (!IsOpen() || file_ == platform::kInvalidHandleValue) return kWrongState;
  platform::DWORD went = 0;
  platform::BOOL ok = platform::WriteFile(file_, data, length, &went);
  written = went;
  SetCount(GetCount() + went);
  return ok ? 0 : static_cast<std::uint16_t>(platform::GetLastError());
}

std::uint16_t GFileOutputTarget::Finish() {
  std::uint16_t result = GOutputTarget::Finish();
  if (file_ != platform::kInvalidHandleValue) platform::CloseHandle(file_);
  file_ = platform::kInvalidHandleValue;
  return result;
}

bool GFileOutputTarget::IsReady() {
  return file_ != platform::kInvalidHandleValue;
}

RWCollectable* GFilePortHandler::CreateDefault() const {
  return new (std::nothrow) GFilePortHandler;
}

RWCollectable* GFilePortHandler::CreateCopy() const {
  return new (std::nothrow) GFilePortHandler(*this);
}

void* GFilePortHandler::Open(const RWWString& destination, const RWCString&, std::uint32_t, void*) {
  if (destination.Length() < kFilePrefixLength) return nullptr;
  for (RWSize i = 0; i < kFilePrefixLength; ++i) {
    char16_t c = destination.Data()[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != kFilePrefix[i]) return nullptr;
  }
  RWWString path(destination.Data() + kFilePrefixLength, destination.Length() - kFilePrefixLength);
  GOutputTarget* port = new (std::nothrow) GFileOutputTarget(path);
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
