// GDriverContext: the document events. One document: create DC ->
// (reset DC)* -> start doc -> start doc post -> (start page, end page)* ->
// end doc -> end doc post -> delete DC.
//
// Device-mode copy handed to the application at the create-DC and
// reset-DC pre events (read by the rendering side):
//   0    dmSize + dmDriverExtra bytes, the given record
//   256  u32 the application flags      260 u16 the time-zone bias
// The block is zero-filled and at least 264 bytes; when the record is
// shorter than 262 bytes the two stamps land in that padding.
//
// Mended: the copy is zero-filled; it is stamped only into that padding or
// into the private header of a record of this driver (never into another
// record's bytes); the post events free only a copy this context handed
// out (another pointer answers -1). The job-name reply keeps at most 511
// bytes so that it always ends. The page count, the group size and the
// notice thread belong to the context, so documents of two contexts keep
// their own; the notice works on its own copy of its texts.
//
// Readings: the post events find the copy in `pvIn` entry 0, the start-doc
// event its DOCINFOW there too; a record shorter than the entries an event
// reads answers -1 (0 for the events that answer 0). A null DOCINFOW
// document name is an empty name. A resource string that does not load
// leaves the quoted text ("Untitled", "UNTITLED").
#include <algorithm>
#include <atomic>
#include <cstring>

#include "config/attributes/attribute_composite.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/devmode/dev_mode_record.h"
#include "driver/document/escape_records.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/out_of_memory_handler.h"
#include "fonts/tt_font_reader.h"
#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "platform/host/threads.h"

namespace {

constexpr std::size_t kCopyMinimum = 264;
constexpr std::size_t kStampLimit = 262;
constexpr platform::DWORD kUserNameUnits = 42;
constexpr std::size_t kJobUserCharacters = 16;
constexpr platform::DWORD kRegistryTextBytes = 32;

constexpr std::uint32_t kUnlistedTextKeys[] = {kMediaTypeKey, kFrontCoverMediaTypeKey,
                                               kBackCoverMediaTypeKey, kLastPageMediaTypeKey,
                                               kOtherPagesMediaTypeKey};
constexpr std::uint32_t kPlainPaperKeys[] = {kStraightPaperPathKey, kStraightPaperPathSecondKey};
constexpr std::uint16_t kOverriddenMedia[] = {21, 22, 44, 39};
constexpr std::uint16_t kCurrentCustomId = 16384;

constexpr std::uint32_t kUntitledString = 11029;
constexpr std::uint32_t kUntitledUpperString = 12111;
constexpr char16_t kUntitled[] = u"Untitled";
constexpr char16_t kUntitledUpper[] = u"UNTITLED";
constexpr char16_t kJobNameSuffix[] = u"(01-99)";
constexpr char16_t kLocalJobStorageValue[] = u"LocalJobStorage";
constexpr char16_t kComputerKey[] =
    u"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr char16_t kWinlogonKey[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::atomic<GJobStorageNoticeShower> g_notice_shower{nullptr};

// Pointer-sized entry `index` of an event record of `size` bytes; false
// when the record does not hold it.
bool Entry(const void* in, platform::DWORD size, std::size_t index, void*& value) {
  if (!in || size < (index + 1) * sizeof(void*)) return false;
  std::memcpy(&value, static_cast<const std::uint8_t*>(in) + index * sizeof(void*), sizeof value);
  return true;
}

// An 8-bit registry text of at most 32 bytes from HKLM; false when it
// cannot be read.
bool ReadMachineText(const char16_t* key_path, const char* name, RWCString& text) {
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::kHkeyLocalMachine, key_path, 0, platform::kKeyRead, &key) !=
      platform::kErrorSuccess) {
    return false;
  }
  char buffer[kRegistryTextBytes] = {};
  platform::DWORD size = kRegistryTextBytes;
  const bool read = platform::RegQueryValueExA(key, name, nullptr, nullptr,
                                               reinterpret_cast<platform::BYTE*>(buffer),
                                               &size) == platform::kErrorSuccess;
  platform::RegCloseKey(key);
  if (read)
    text = RWCString(buffer, strnlen(buffer, std::min<platform::DWORD>(size, kRegistryTextBytes)));
  return read;
}

std::int32_t TimeZoneBias() {
  std::int32_t bias = 0;
  platform::RuntimeTimeB now;
  if (platform::RuntimeFtime(&now)) bias = -(now.timezone - (now.dstflag ? 60 : 0));
  platform::TimeZoneInformation zone;
  if (platform::GetTimeZoneInformation(&zone) != platform::kTimeZoneIdInvalid) bias = zone.bias;
  return bias;
}

// The name sanitised: a-z upper-cased, ended before a character below 32,
// above 126 or a double quote, cut to 16 characters.
RWWString SanitizedName(const RWWString& name) {
  RWWString out;
  for (std::size_t i = 0; i < name.Length() && out.Length() < kJobUserCharacters; ++i) {
    char16_t c = name[i];
    if (c < 32 || c > 126 || c == u'"') break;
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    out += c;
  }
  return out;
}

// The logged-on user's name (42 units at most), or false.
bool LoggedOnUser(RWWString& name) {
  char16_t buffer[kUserNameUnits] = {};
  platform::DWORD units = kUserNameUnits;
  if (!platform::GetUserNameW(buffer, &units)) return false;
  name = RWWString(buffer);
  return true;
}

RWWString Cut(const RWWString& text, std::size_t characters) {
  return text.Length() > characters ? RWWString(text.Data(), characters) : text;
}

}  // namespace

GJobStorageNoticeShower SetJobStorageNoticeShower(GJobStorageNoticeShower shower) {
  return g_notice_shower.exchange(shower);
}

int GDriverContext::DrvDocumentEvent(platform::HANDLE, platform::HDC dc, int event,
                                     platform::DWORD size_in, void* in, platform::DWORD size_out,
                                     void* out) {
  switch (event) {
    case platform::kDocumentEventCreateDcPre:
      return CopyDevMode(in, size_in, 2, true, out, size_out);
    case platform::kDocumentEventResetDcPre:
      return CopyDevMode(in, size_in, 0, false, out, size_out);
    case platform::kDocumentEventCreateDcPost:
    case platform::kDocumentEventResetDcPost:
      return RefreshFromCopy(in, size_in);
    case platform::kDocumentEventStartDoc: {
      void* info = nullptr;
      Entry(in, size_in, 0, info);
      StartDocument(dc, static_cast<const platform::DocInfoW*>(info));
      return 1;
    }
    case platform::kDocumentEventStartPage:
      ++page_counter_;
      return 1;
    case platform::kDocumentEventEndPage: {
      ++document_pages_;
      const int drawn = DrawWatermark(dc);
      if (job_hooks_) job_hooks_->EndPage();
      return drawn != 0 ? 1 : -1;
    }
    case platform::kDocumentEventEndDoc:
      SendManualDuplexState(dc, 1);
      return 1;
    case platform::kDocumentEventAbortDoc:
      if (job_hooks_) job_hooks_->AbortJob();
      return 0;
    case platform::kDocumentEventEndDocPost:
      EndDocument();
      return 0;
    case platform::kDocumentEventStartDocPost:
      StartJobStorage(dc);
      return 0;
    default:
      return 0;
  }
}

int GDriverContext::CopyDevMode(const void* in, platform::DWORD size_in, std::size_t entry,
                                bool stamp_if_ic, void* out, platform::DWORD size_out) {
  void* record = nullptr;
  if (!out || size_out < sizeof(void*) || !Entry(in, size_in, entry, record)) return -1;
  void* copy = nullptr;
  if (record) {
    bool stamp = true;
    if (stamp_if_ic) {
      if (size_in < 3 * sizeof(void*) + sizeof(platform::BOOL)) return -1;
      platform::BOOL ic = 0;
      std::memcpy(&ic, static_cast<const std::uint8_t*>(in) + 3 * sizeof(void*), sizeof ic);
      stamp = ic == 0;
    }
    const GDevModeView view(record);
    const std::size_t length = view.Length();
    const std::size_t size = length < kStampLimit ? kCopyMinimum : length;
    std::unique_ptr<platform::BYTE[]> block(new (kRWNoThrow) platform::BYTE[size]());
    if (!block) return -1;
    std::memcpy(block.get(), view.Bytes(), length);
    if (stamp && (length < kStampLimit || view.HasPrivatePart())) {
      StoreU32(block.get(), kDmContextValue, GetAppFlags());
      StoreU16(block.get(), kDmContextWord, static_cast<std::uint16_t>(TimeZoneBias()));
    }
    copy = block.get();
    dev_mode_copies_.push_back(std::move(block));
  }
  std::memcpy(out, &copy, sizeof copy);
  return 1;
}

int GDriverContext::RefreshFromCopy(const void* in, platform::DWORD size_in) {
  void* copy = nullptr;
  if (!Entry(in, size_in, 0, copy)) return -1;
  auto held = std::find_if(dev_mode_copies_.begin(), dev_mode_copies_.end(),
                           [copy](const auto& block) { return block.get() == copy; });
  if (copy && held == dev_mode_copies_.end()) return -1;
  int result = -1;
  if (BindDevMode(static_cast<const platform::DevModeW*>(copy)) == 1)
    result = CurrentDefaultSettings() ? 1 : -1;
  if (held != dev_mode_copies_.end()) dev_mode_copies_.erase(held);
  return result;
}

void GDriverContext::StartDocument(platform::HDC dc, const platform::DocInfoW* info) {
  document_pages_ = 0;
  group_size_ = 0;
  {
    ScopedOwnHandle own_handle(*this);
    if (IsRemotePrinter() == 0) EnsureWritablePrinterData();
    delete SyncAddedFonts();
    SendJobAccounting(dc);
    SendSystemRecord(dc);
    SendProgramRecords(dc);
    SendFileNameRecord(dc, host_module_path_);
    SendWideTextEscape(dc, kEscapePort, GetPortName());
  }
  if (job_hooks_) job_hooks_->BeginJob(*this, GetDefaultSettings(), info);
}

RWWString GDriverContext::JobUserName(const RWWString& name) {
  GAttributeComposite* defaults = EnsureDefaultSettings();
  if (!FindComposite(defaults, kDocumentSettingsKey)) return name;
  const auto resource = [&](std::uint32_t id, const char16_t* fallback) {
    RWWString text = LoadSupportString(id);
    return text.IsNull() ? RWWString(fallback) : text;
  };
  if (FindOfClass<MPersistentObject>(defaults, kJobNameCheckKey)) {
    GStringAttribute* cmap = FindStringAttribute(GetJobSettings(), kJobNameCharMapKey);
    const RWCString map = cmap ? cmap->GetValue() : RWCString();
    RWWString checked;
    bool any_kept = false;
    for (std::size_t i = 0; i < name.Length(); ++i) {
      const bool has = CmapFormat4HasChar(reinterpret_cast<const std::uint8_t*>(map.Data()),
                                          map.Length(), name[i]);
      checked += has ? name[i] : u'~';
      any_kept = any_kept || has;
    }
    if (checked.IsNull()) {
      checked = resource(kUntitledString, kUntitled);
    } else if (!any_kept) {
      checked = resource(kUntitledUpperString, kUntitledUpper);
    }
    return Cut(checked, kJobUserCharacters);
  }
  RWWString sanitized = SanitizedName(name);
  if (!sanitized.IsNull()) return sanitized;
  const RWWString untitled = resource(kUntitledString, kUntitled);
  sanitized = SanitizedName(untitled);
  if (sanitized.Length() != std::min<std::size_t>(untitled.Length(), kJobUserCharacters))
    sanitized = resource(kUntitledUpperString, kUntitledUpper);
  return sanitized;
}

void GDriverContext::SendJobAccounting(platform::HDC dc) {
  RWWString user;
  if (LoggedOnUser(user)) SendWideTextEscape(dc, kEscapeUser, JobUserName(user));
  RWCString text;
  if (ReadMachineText(kComputerKey, "ComputerName", text))
    SendTextEscape(dc, kEscapeComputer, text);
  if (ReadMachineText(kWinlogonKey, "CachePrimaryDomain", text) ||
      ReadMachineText(kWinlogonKey, "DefaultDomainName", text)) {
    SendTextEscape(dc, kEscapeDomain, text);
  }
  SendJobIdRecord(dc);
}

void GDriverContext::StartJobStorage(platform::HDC dc) {
  BeginWatermark();
  RWWString key;
  GetLocalJobStorageKey(key);
  platform::DWORD local = 0;
  if (ReadRegistryDword(platform::kHkeyCurrentUser, key, RWWString(kLocalJobStorageValue), local) !=
      0)
    local = 0;
  if (local == 0) {
    SetDefaultSettings(CreateDefaultSettings());
    GAttributeComposite* storage = FindComposite(GetDefaultSettings(), kDocumentSettingsKey);
    if (storage && ValueOr(storage, kJobRetentionModeKey, 0) != 0) {
      job_name_ = RWWString();
      GValueAttribute* ask = FindValueAttribute(storage, kJobNameFromRendererKey);
      if (ask && ask->GetValue() == 0) {
        RWCString reply;
        if (QueryJobName(dc, reply)) NarrowToWide(reply, job_name_);
      } else if (GStringAttribute* text = FindStringAttribute(storage, kJobNameKey)) {
        NarrowToWide(text->GetValue(), job_name_);
      }
      if (ValueOr(storage, kJobNameSuffixKey, 0) == 1) job_name_ += kJobNameSuffix;
      StartNotice(storage);
    }
  }
  page_counter_ = 0;
  if (GValueAttribute* group = FindValueAttribute(
          FindComposite(GetDefaultSettings(), kNupSettingsKey), kPagesPerSheetKey)) {
    group_size_ = static_cast<std::int16_t>(group->GetValue());
  }
}

void GDriverContext::StartNotice(GAttributeComposite* storage) {
  JoinNotice();
  notice_.reset(new (kRWNoThrow) GJobStorageNotice);
  if (!notice_) return;
  GJobStorageNotice& notice = *notice_;
  notice.texts[0] = GetPrinterName();
  notice.texts[1] = GetPortName();
  GValueAttribute* logged_on = FindValueAttribute(storage, kNoticeLoggedOnUserKey);
  if (logged_on && logged_on->GetValue() == 0) {
    RWWString user;
    if (LoggedOnUser(user)) notice.texts[2] = Cut(user, kJobUserCharacters);
  } else if (GStringAttribute* user = FindStringAttribute(storage, kNoticeUserKey)) {
    NarrowToWide(user->GetValue(), notice.texts[2]);
  }
  notice.texts[3] = job_name_;
  // The location is read for the notice alone: the caller's last error stays.
  const platform::DWORD last_error = platform::GetLastError();
  platform::DWORD needed = 0;
  platform::GetPrinterW(GetPrinterHandle(), 2, nullptr, 0, &needed);
  if (needed >= sizeof(platform::PrinterInfo2W)) {
    std::unique_ptr<platform::BYTE[]> buffer(new (kRWNoThrow) platform::BYTE[needed]);
    if (buffer && platform::GetPrinterW(GetPrinterHandle(), 2, buffer.get(), needed, &needed)) {
      const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(buffer.get());
      if (info->location) notice.texts[4] = RWWString(info->location);
    }
  }
  platform::SetLastError(last_error);
  notice.resource_library = GetSupportFilePath();
  GetCompanionFilePath(notice.help_file);
  notice_thread_ = platform::CreateThread(nullptr, 0, &NoticeThread, this, 0, nullptr);
  // A thread the system refuses shows no notice: the document goes on
  // without it.
  if (!notice_thread_) notice_.reset();
}

platform::DWORD GDriverContext::NoticeThread(void* parameter) {
  auto* context = static_cast<GDriverContext*>(parameter);
  return RunLibraryThread([context] {
    GJobStorageNoticeShower shower = g_notice_shower.load();
    if (shower && shower(*context->notice_) == 0) context->SetDocumentFlag(1);
    return platform::DWORD{0};
  });
}

void GDriverContext::JoinNotice() {
  if (!notice_thread_) return;
  platform::WaitForSingleObject(notice_thread_, platform::kInfinite);
  platform::CloseHandle(notice_thread_);
  notice_thread_ = nullptr;
}

void GDriverContext::EndDocument() {
  JoinNotice();
  if (GetDocumentFlag() == 1) SetLocalJobStorageValue(1);
  if (job_hooks_) job_hooks_->EndJob();
  if (ManualDuplexDecision()) ShowManualDuplexInstructions();
  document_pages_ = 0;
  group_size_ = 0;
}

bool GDriverContext::ManualDuplexDecision() {
  GAttributeComposite* defaults = GetDefaultSettings();
  if (!FindOfClass<MPersistentObject>(defaults, kManualDuplexInstructionsKey)) return false;
  const bool pages_pass = group_size_ != 0 && document_pages_ != 1 && document_pages_ > group_size_;
  if (!pages_pass && SignedValueOr(defaults, kBookletKey, 0) == 0) return false;
  for (std::uint32_t key : kUnlistedTextKeys) {
    GStringAttribute* text = FindStringAttribute(defaults, key);
    if (text && IsNameNotListed(text->GetValue()) == 0) return true;
  }
  bool plain = false;
  for (std::uint32_t key : kPlainPaperKeys) {
    GValueAttribute* value = FindValueAttribute(defaults, key);
    plain = plain || (value && value->GetValue() == 0);
  }
  if (!plain || SignedValueOr(defaults, kDuplexUnitKey, 0) != 1) return true;
  std::uint16_t media = ValueOr(defaults, kPaperSizeKey, 0);
  if (ValueOr(defaults, kFitToOtherSizeKey, 0) != 0 ||
      std::find(std::begin(kOverriddenMedia), std::end(kOverriddenMedia), media) !=
          std::end(kOverriddenMedia)) {
    media = ValueOr(defaults, kTargetPaperSizeKey, 0);
  }
  if (media > kCurrentCustomId) media = NormalizePaperId(defaults, media);
  if (GAttributeComposite* list = FindComposite(GetJobSettings(), kDuplexPaperSizesKey)) {
    for (std::uint32_t i = 0; i < list->EntryCount(); ++i) {
      auto* id = dynamic_cast<GValueAttribute*>(list->Children()[i].Get());
      if (id && id->GetValue() == media) return false;
    }
  }
  return !(media >= kCurrentCustomId && IsMediaSizeInRange(defaults, media));
}
