#include "platform/host/job_hook_library.h"

#include "platform/host/host_state.h"
#include "platform/host/modules.h"

namespace platform {
namespace {

using host_internal::Lock;
using host_internal::Mutex;

struct HookState {
  DWORD job = 0;
  std::vector<JobHookCall> calls;
};

HookState& State() {
  static auto* state = new HookState;
  return *state;
}

std::u16string Text(const char16_t* text) {
  return text ? std::u16string(text) : u"(null)";
}

void Record(JobHookCall call, const BYTE* record, std::size_t size) {
  if (record) call.record.assign(record, record + size);
  Lock lock(Mutex());
  State().calls.push_back(std::move(call));
}

DWORD BeginJobEx(const char16_t* application, const char16_t* document, const char16_t* printer,
                 const char16_t* output, const char16_t* output2, const BYTE* record) {
  Record({"ksBeginJobEx",
          {Text(application), Text(document), Text(printer), Text(output), Text(output2)},
          {}},
         record, kJobHookBeginRecordSize);
  Lock lock(Mutex());
  return State().job;
}

DWORD BeginJob(const char16_t* document, const char16_t* output, const char16_t* output2,
               const BYTE* record) {
  Record({"ksBeginJob", {Text(document), Text(output), Text(output2)}, {}}, record,
         kJobHookBeginRecordSize);
  Lock lock(Mutex());
  return State().job;
}

DWORD EndPage(DWORD job, const BYTE* record) {
  Record({"ksEndPage", {}, {}, job, 0}, record, kJobHookPageRecordSize);
  return 1;
}

DWORD EndJob(DWORD job, DWORD aborted) {
  Record({"ksEndJob", {}, {}, job, aborted}, nullptr, 0);
  return 1;
}

}  // namespace

bool InstallJobHookLibrary(const JobHookLibrarySpec& script) {
  ModuleSpec module{kJobHookLibraryName, {}, {}};
  auto add = [&](bool wanted, const char* name, FARPROC function) {
    if (wanted) module.exports.emplace_back(name, function);
  };
  add(script.begin_job, "ksBeginJob", reinterpret_cast<FARPROC>(&BeginJob));
  add(script.begin_job_ex, "ksBeginJobEx", reinterpret_cast<FARPROC>(&BeginJobEx));
  add(script.end_page, "ksEndPage", reinterpret_cast<FARPROC>(&EndPage));
  add(script.end_job, "ksEndJob", reinterpret_cast<FARPROC>(&EndJob));
  {
    Lock lock(Mutex());
    State().job = script.job;
    State().calls.clear();
  }
  return AddModule(module);
}

std::vector<JobHookCall> JobHookCalls() {
  Lock lock(Mutex());
  return State().calls;
}

}  // namespace platform
