// The job hooks: the companion library "kvlock32.dll" of the driver family,
// when it is installed, hears of each job's start, of each page's end and
// of the job's end or abort. Nothing happens without it; a library that
// lacks both begin calls, ksEndPage or ksEndJob is not used.
//
// Begin record (28 bytes, little-endian): 0 u32 0; 4 u32 4; 8 u16 4;
// 10 u16 the default settings' kColorMediaSettingsKey -> kCopiesKey (1 when
// absent); 12 u16 the job settings' kJobKindKey (2 when absent); 14 u16 0;
// 16, 20, 24 u32 0.
// Page record (16 bytes): 0 u16 16; 2 u16 0; 4, 8, 12 u32 0.
//
// Ownership: the context owns its holder, the holder its module, the
// module its library. Threads: used by one document's thread at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "foundation/rw/wstring.h"
#include "platform/host/job_hook_library.h"
#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

class GAttributeComposite;
class GDriverData;

using GJobHookBeginRecord = std::array<std::uint8_t, platform::kJobHookBeginRecordSize>;
using GJobHookPageRecord = std::array<std::uint8_t, platform::kJobHookPageRecordSize>;

// The begin record from the settings (either may be null).
GJobHookBeginRecord MakeJobHookBeginRecord(GAttributeComposite* defaults,
                                           GAttributeComposite* job_settings);
GJobHookPageRecord MakeJobHookPageRecord();

class GJobHookModule {
 public:
  GJobHookModule() : name_(platform::kJobHookLibraryName) {}
  explicit GJobHookModule(const RWWString& name) : name_(name) {}
  // Copies take the name only.
  GJobHookModule(const GJobHookModule& other) : name_(other.name_) {}
  GJobHookModule& operator=(const GJobHookModule& other);
  ~GJobHookModule() { Unload(); }
  bool operator==(const GJobHookModule& other) const { return name_ == other.name_; }

  // Unloads, then loads the library when a file of its name exists; true
  // when it is kept (see the file comment).
  bool Load();
  void Unload();

  // Calls ksBeginJobEx, else ksBeginJob; the job handle (0: failure).
  std::uint32_t Begin(const RWWString& application, const RWWString& document,
                      const RWWString& printer, const RWWString& output,
                      const GJobHookBeginRecord& record);
  // 1 when ksEndPage was called for a job, else 0.
  int EndPage();
  // ksEndJob with `aborted` for a job; the job handle cleared.
  void End(std::uint32_t aborted);

  std::uint32_t GetJob() const { return job_; }
  const RWWString& GetName() const { return name_; }

 private:
  platform::HMODULE library_ = nullptr;
  std::uint32_t job_ = 0;
  RWWString name_;
  platform::KsBeginJobFn begin_job_ = nullptr;
  platform::KsBeginJobExFn begin_job_ex_ = nullptr;
  platform::KsEndPageFn end_page_ = nullptr;
  platform::KsEndJobFn end_job_ = nullptr;
};

// The context's holder: the module of the document printing now, or none.
class GJobHookHolder {
 public:
  GJobHookHolder() = default;
  GJobHookHolder(const GJobHookHolder&) = delete;
  GJobHookHolder& operator=(const GJobHookHolder&) = delete;

  // Replaces the module (without ending its job) and begins a job of
  // `info` on `printer`; failures leave the holder empty.
  void BeginJob(GDriverData& printer, GAttributeComposite* defaults,
                const platform::DocInfoW* info);
  int EndPage() { return module_ ? module_->EndPage() : 0; }
  void EndJob() { Finish(0); }
  void AbortJob() { Finish(1); }
  GJobHookModule* GetModule() const { return module_.get(); }

 private:
  void Finish(std::uint32_t aborted);
  std::unique_ptr<GJobHookModule> module_;
};
