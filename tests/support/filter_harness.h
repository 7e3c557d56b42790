// The filters' harness on the real job context (job_context.h): a chain of
// the filters under test and a recording device (kRecordingDeviceId, a
// test-only id), owned by the job's render data and driven by its job
// driver. The device takes composites apart (stores read back) and logs
// each other command: "<submission> <class id> k<key> <S: from a store|M>
// {<the set's children in order, class:key=value: 16-bit values, else the
// stored bytes in hex, floats as bits>} [rect=l,t,r,b] [<probe>]" (a null
// command's set is its bundle). Pages are told by a tag rectangle (Tag(n):
// n, n, n+1, n+1), never by page-start sets, which blanks copy: Summary()
// gives "DS", "DE", "JA", each page's tag or "blank", else the class id.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "output/core/peripheral.h"
#include "tests/support/job_context.h"

namespace testing_support {

inline constexpr RWClassID kRecordingDeviceId = 0x7F01;

struct RecordedEvent {
  std::uint32_t submission;
  GCountedPtr command;
  std::string line;
};

class GRecordingDevice : public GPeripheral {
 public:
  RWClassID ClassId() const override { return kRecordingDeviceId; }
  GCountedPtr Submit(const GCountedPtr& command) override;

  std::vector<RecordedEvent> events;
  std::uint32_t submission = 0;
  std::function<std::string(const GCommand&)> probe;
  int store_depth = 0;
};

using Values = std::initializer_list<std::pair<std::uint32_t, std::int32_t>>;

// A new command of class `id`, held: a document or page start on a set of
// `values` (a document start with `job`), an end, a job abort, or a pass
// break (718, which no class of the system has). Tag: the rectangle.
GCountedPtr Command(RWClassID id, Values values = {}, GRenderDriverData* job = nullptr);
GCountedPtr Tag(std::int16_t n);

class FilterJob {
 public:
  FilterJob(GJobDriverData* job, std::initializer_list<GPeripheral*> filters);

  // Through the job driver: 0, or an error's code. Document: the start,
  // pages 1..`pages` (start {265: n}, tag, end), the end; codes OR'ed.
  std::uint16_t Submit(const GCountedPtr& command);
  std::uint16_t Document(Values settings, int pages, bool end = true);
  std::vector<std::string> Summary() const;
  GRecordingDevice& Recorder() { return *recorder_; }

 private:
  GJobDriverData* job_;
  GRecordingDevice* recorder_;  // held by the chain
};

// The tests' load: the rendering side, then the filters.
void FilterTestsLoad();
void FilterTestsUnload();

}  // namespace testing_support
