// The job-hook library "kvlock32.dll" of the driver family, as a scriptable
// module of the module table (platform/host/modules.h): a test installs it
// with the entry points it should export and the job handle its begin calls
// answer, and reads back every call with its texts and record bytes. The
// entry points' types are the ones callers cast GetProcAddress to.
//
// Any thread; the stand-ins' one lock guards the log.
#pragma once

#include <string>
#include <vector>

#include "platform/host/types.h"

namespace platform {

inline constexpr char16_t kJobHookLibraryName[] = u"kvlock32.dll";
// Sizes of the records its calls read.
inline constexpr std::size_t kJobHookBeginRecordSize = 28;
inline constexpr std::size_t kJobHookPageRecordSize = 16;

// application, document, printer, output, output, begin record -> job.
using KsBeginJobExFn = DWORD (*)(const char16_t*, const char16_t*, const char16_t*, const char16_t*,
                                 const char16_t*, const BYTE*);
// document, output, output, begin record -> job.
using KsBeginJobFn = DWORD (*)(const char16_t*, const char16_t*, const char16_t*, const BYTE*);
using KsEndPageFn = DWORD (*)(DWORD job, const BYTE* record);
using KsEndJobFn = DWORD (*)(DWORD job, DWORD aborted);

// ---- Test controls ----

struct JobHookLibrarySpec {
  bool begin_job = true;
  bool begin_job_ex = true;
  bool end_page = true;
  bool end_job = true;
  DWORD job = 0x4B31;  // what the begin calls answer
};
// Adds the module (a bare-named entry) with the chosen exports.
bool InstallJobHookLibrary(const JobHookLibrarySpec& script);

struct JobHookCall {
  std::string entry;  // "ksBeginJobEx", ...
  std::vector<std::u16string> texts;
  std::vector<BYTE> record;  // the record's bytes (begin and page)
  DWORD job = 0;             // ksEndPage, ksEndJob
  DWORD aborted = 0;         // ksEndJob
};
std::vector<JobHookCall> JobHookCalls();

}  // namespace platform
