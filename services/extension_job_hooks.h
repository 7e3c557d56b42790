// GExtensionJobHooks: the four job operations of a driver data's extension
// manager, as the hand-off filters call them while a job's commands pass
// through the chain. The filters reach them through the job context
// (GRenderDriverData::GetExtensionJobHooks, render_driver_data.h), so they
// link no driver code.
//
//   BeginDocument(document start)   prepares the job's extensions for the
//                                   document; may add data to the command's
//                                   attribute set
//   EndDocument(document end)       the same at the document's end, then the
//                                   extensions are let go
//   AddStartData(page start, filter) the command to pass on in place of the
//   AddEndData(page end, filter)     page command: the command itself when
//                                   nothing is added, else a new composite
//                                   [page start, data...] or [data..., page
//                                   end]; filter 0 is the first hand-off
//                                   filter, 1 the second
// DocumentStart and DocumentEnd are the same operations under the names the
// filters use.
//
// The driver's GExtensionManager (driver/extension_manager.h) implements
// them. GPassThroughJobHooks answers every operation with the command it
// was given and adds nothing: what a job has without a manager.
//
// Ownership: a returned composite is the caller's; a command given back
// unchanged stays the caller's. Threads: the thread that pushes the job's
// commands; no lock.
#pragma once

#include <cstdint>

class GCommand;

class GExtensionJobHooks {
 public:
  GExtensionJobHooks() = default;
  GExtensionJobHooks(const GExtensionJobHooks&) = delete;
  GExtensionJobHooks& operator=(const GExtensionJobHooks&) = delete;
  virtual ~GExtensionJobHooks();

  virtual void BeginDocument(GCommand* document_start) = 0;
  virtual void EndDocument(GCommand* document_end) = 0;
  virtual GCommand* AddStartData(GCommand* page_start, std::uint32_t filter) = 0;
  virtual GCommand* AddEndData(GCommand* page_end, std::uint32_t filter) = 0;

  void DocumentStart(GCommand* document_start) { BeginDocument(document_start); }
  void DocumentEnd(GCommand* document_end) { EndDocument(document_end); }
};

// No extension manager: nothing is loaded, nothing added.
class GPassThroughJobHooks final : public GExtensionJobHooks {
 public:
  void BeginDocument(GCommand*) override {}
  void EndDocument(GCommand*) override {}
  GCommand* AddStartData(GCommand* page_start, std::uint32_t) override { return page_start; }
  GCommand* AddEndData(GCommand* page_end, std::uint32_t) override { return page_end; }
};
