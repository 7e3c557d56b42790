#include "driver/document/job_hooks.h"

#include "config/keys/settings_keys.h"
#include "driver/model_lookup.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"

namespace {

constexpr char16_t kApplicationName[] = u"Application";

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

GJobHookBeginRecord MakeJobHookBeginRecord(GAttributeComposite* defaults,
                                           GAttributeComposite* job_settings) {
  GJobHookBeginRecord record{};
  record[4] = 4;
  record[8] = 4;
  GValueAttribute* copies =
      FindValueAttribute(FindComposite(defaults, kColorMediaSettingsKey), kCopiesKey);
  GValueAttribute* kind = FindValueAttribute(job_settings, kJobKindKey);
  Put16(&record[10], copies ? copies->GetValue() : 1);
  Put16(&record[12], kind ? kind->GetValue() : 2);
  return record;
}

GJobHookPageRecord MakeJobHookPageRecord() {
  GJobHookPageRecord record{};
  record[0] = platform::kJobHookPageRecordSize;
  return record;
}

GJobHookModule& GJobHookModule::operator=(const GJobHookModule& other) {
  if (this != &other) name_ = other.name_;
  return *this;
}

bool GJobHookModule::Load() {
  Unload();
  RWCString narrow;
  if (!WideToNarrow(name_, narrow) ||
      platform::OpenFile(narrow.Data(), platform::kOfExist) == platform::kHFileError) {
    return false;
  }
  library_ = platform::LoadLibraryW(name_.Data());
  if (!library_) return false;
  begin_job_ =
      reinterpret_cast<platform::KsBeginJobFn>(platform::GetProcAddress(library_, "ksBeginJob"));
  begin_job_ex_ = reinterpret_cast<platform::KsBeginJobExFn>(
      platform::GetProcAddress(library_, "ksBeginJobEx"));
  end_page_ =
      reinterpret_cast<platform::KsEndPageFn>(platform::GetProcAddress(library_, "ksEndPage"));
  end_job_ = reinterpret_cast<platform::KsEndJobFn>(platform::GetProcAddress(library_, "ksEndJob"));
  if ((begin_job_ || begin_job_ex_) && end_page_ && end_job_) return true;
  Unload();
  return false;
}

void GJobHookModule::Unload() {
  if (library_) platform::FreeLibrary(library_);
  library_ = nullptr;
  begin_job_ = nullptr;
  begin_job_ex_ = nullptr;
  end_page_ = nullptr;
  end_job_ = nullptr;
}

std::uint32_t GJobHookModule::Begin(const RWWString& application, const RWWString& document,
                                    const RWWString& printer, const RWWString& output,
                                    const GJobHookBeginRecord& record) {
  if (begin_job_ex_) {
    job_ = begin_job_ex_(application.Data(), document.Data(), printer.Data(), output.Data(),
                         output.Data(), record.data());
  } else if (begin_job_) {
    job_ = begin_job_(document.Data(), output.Data(), output.Data(), record.data());
  }
  return job_;
}

int GJobHookModule::EndPage() {
  if (!job_ || !end_page_) return 0;
  const GJobHookPageRecord record = MakeJobHookPageRecord();
  end_page_(job_, record.data());
  return 1;
}

void GJobHookModule::End(std::uint32_t aborted) {
  if (job_ && end_job_) end_job_(job_, aborted);
  job_ = 0;
}

void GJobHookHolder::BeginJob(GDriverData& printer, GAttributeComposite* defaults,
                              const platform::DocInfoW* info) {
  module_ = std::make_unique<GJobHookModule>();
  const GJobHookBeginRecord record = MakeJobHookBeginRecord(defaults, printer.GetJobSettings());
  const RWWString output = info && info->output ? RWWString(info->output) : printer.GetPortName();
  const RWWString document =
      info && info->document_name ? RWWString(info->document_name) : RWWString();
  if (!module_->Load() || module_->Begin(RWWString(kApplicationName), document,
                                         printer.GetPrinterName(), output, record) == 0) {
    module_.reset();
  }
}

void GJobHookHolder::Finish(std::uint32_t aborted) {
  if (module_) module_->End(aborted);
  module_.reset();
}
