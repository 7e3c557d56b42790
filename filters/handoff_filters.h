// GAAFilter1 and GAAFilter2: hand a job's document and page commands to
// the job's extensions (GExtensionJobHooks, services/
// extension_job_hooks.h, reached through the document start's job context,
// GRenderDriverData::GetExtensionJobHooks), so that they can add data
// around page starts and page ends and into the document's settings.
//
//   command          GAAFilter1                 GAAFilter2
//   document start   takes context and hooks,   takes context and hooks
//                    BeginDocument
//   document end     lets them go               EndDocument, lets them go
//   page start       AddStartData(…, 0)         AddStartData(…, 1)
//   page end         AddEndData(…, 0)           AddEndData(…, 1)
//   job abort        lets them go               lets them go
// The hooks' answer goes on in the command's place: the command itself
// when nothing is added, else a new composite [page start, data…] or
// [data…, page end]; a null answer passes the command. Without hooks (no
// job context, or a context that has none) every command passes
// unchanged. The context and hooks are let go at document end and job
// abort: they belong to the job's driver data, which may be gone before
// the next document. A document start without a job context leaves them
// as they were.
//
// GAAFilter2 also reaches into pages that come spooled from a page-holding
// filter: its Submit takes a store (GCommandCompositeOnDisk) whole, puts
// its first page start, then page end, then document end through Transform
// and writes each answer back in that record's place (command word 1), and
// closes the store unless it is in error; a composite in memory is taken
// apart as usual; 705, 706, 709, 710 and the job abort go to Transform;
// anything else
// passes untouched.
//
// Class ids 1115 ("GAAFilter1") and 1116 ("GAAFilter2"). Unlike the other
// filters they store nothing at all, not even the GPeripheral part: stored
// size 0, and a restore reads nothing and leaves both pointers null. A copy
// keeps the GPeripheral part and both pointers. GetFlags: 0 and 1.
//
// Ownership: neither the context nor the hooks are owned. Threads: one
// job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGAAFilter1Id = 1115;
inline constexpr RWClassID kGAAFilter2Id = 1116;

class GExtensionJobHooks;
class GRenderDriverData;

// What the two share: the pointers, the empty stored form and the page
// hand-off with filter number kFilter.
template <class Self, RWClassID kId, std::uint32_t kFilter>
class GHandOffFilter : public GFilterClass<Self, kId, true> {
 public:
  GHandOffFilter() = default;
  explicit GHandOffFilter(const std::uint32_t& key) : GFilterClass<Self, kId, true>(key) {}
  GHandOffFilter(const GHandOffFilter& other)
      : GFilterClass<Self, kId, true>(other), job_(other.job_), hooks_(other.hooks_) {}

  RWSize StoredSize() const override { return 0; }
  void SaveToStream(RWVirtualOutputStream&) const override {}
  void SaveToFile(RWFile&) const override {}
  void RestoreFromStream(RWVirtualInputStream&) override {}
  void RestoreFromFile(RWFile&) override {}
  std::uint32_t GetFlags() override { return kFilter; }

  GRenderDriverData* JobContext() const { return job_; }
  GExtensionJobHooks* Hooks() const { return hooks_; }

 protected:
  // The context and hooks of `start`; unchanged without a context.
  void TakeJob(GCommand& start);
  void LetGo() {
    job_ = nullptr;
    hooks_ = nullptr;
  }
  // The hooks' page answer in `command`'s place.
  GCountedPtr HandOffPage(const GCountedPtr& command);

  GRenderDriverData* job_ = nullptr;
  GExtensionJobHooks* hooks_ = nullptr;
};

class GAAFilter1 final : public GHandOffFilter<GAAFilter1, kGAAFilter1Id, 0> {
 public:
  using GHandOffFilter::GHandOffFilter;
  GCountedPtr Transform(const GCountedPtr& command) override;
};

class GAAFilter2 final : public GHandOffFilter<GAAFilter2, kGAAFilter2Id, 1> {
 public:
  using GHandOffFilter::GHandOffFilter;
  GCountedPtr Submit(const GCountedPtr& command) override;
  GCountedPtr Transform(const GCountedPtr& command) override;
};

extern template class MPersistentClass<GAAFilter1, GPeripheral, kGAAFilter1Id>;
extern template class MPersistentClass<GAAFilter2, GPeripheral, kGAAFilter2Id>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> HandOffFilterClasses();
