// The filters' harness on the real job context: a chain of the filters
// under test and a recording device (a test-only class id) that the job's
// render data owns and its job driver drives. The device takes composites
// apart (stores read back) and logs each other command: "<submission>
// <class id> k<key> <S: from a store|M> {<the set's children in order,
// class:key=value, 16-bit values or else the stored bytes in hex, floats
// as bits; a null command's set is its bundle>} [<probe>]". Pages are told
// by a tag rectangle (Tag(n)), never by page-start sets, which blanks copy:
// Summary() gives "DS", "DE", "JA", each page's tag or "blank", the ids.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fonts/font.h"
#include "fonts/font_database.h"
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

// The Summary tokens of what `recorder` logged.
std::vector<std::string> Summary(const GRecordingDevice& recorder);

// A font in `fonts` that a handle holds as well, so that every page end
// saves the database to a font file of the page; taken out when it goes.
class HeldFont {
 public:
  explicit HeldFont(GJobFontDatabase* fonts);
  ~HeldFont();
  HeldFont(const HeldFont&) = delete;
  HeldFont& operator=(const HeldFont&) = delete;

 private:
  GJobFontDatabase* fonts_;
  GFontImp* font_;
};

struct FilterJob {
  FilterJob(GJobDriverData* job, std::initializer_list<GPeripheral*> filters);
  // Through the job driver: 0, or an error's code. Document: the start,
  // pages 1..`pages` (start {265: n}, tag, end), the end; codes OR'ed.
  std::uint16_t Submit(const GCountedPtr& command);
  std::uint16_t Document(Values settings, int pages, bool end = true);
  std::vector<std::string> Summary() const;

  GJobDriverData* job;
  GRecordingDevice* recorder;  // held by the chain
};

}  // namespace testing_support
