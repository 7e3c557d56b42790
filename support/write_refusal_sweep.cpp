#include "support/write_refusal_sweep.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace support {
namespace {

SweepMode ModeOf(const WritePlan& plan) {
  SweepMode mode;
  mode.refused_step = plan.step;
  mode.refusals = plan.refusals;
  mode.refusals.error = kRefusalError;
  return mode;
}

// One child of `plan`, counted into `report`, its finding said with the
// plan (`write`: the write's number across the steps); the writes it
// counted in the refused step.
std::uint64_t RunPlan(const ScenarioMaker& make, const SweepReference& reference,
                      const WritePlan& plan, std::uint64_t write, SweepReport& report) {
  const std::size_t found = report.findings.size();
  const ChildResult child = SweepChild(make, reference, 0, ModeOf(plan), report);
  if (report.findings.size() > found) {
    report.findings.back().index = write;
    report.findings.back().what = plan.Describe() + ": " + report.findings.back().what;
  }
  const std::size_t said = child.error_output.find(kRefusedStepWrites);
  return said == std::string::npos
             ? reference.writes[plan.step]
             : std::strtoull(child.error_output.c_str() + said + sizeof kRefusedStepWrites - 1,
                             nullptr, 10);
}

}  // namespace

std::string WritePlan::Describe() const {
  std::string text =
      "step " + std::to_string(step) + ", write " + std::to_string(refusals.first) + " refused";
  if (refusals.count == ~std::uint64_t{0}) return text + " and every write after it";
  if (refusals.thing != 0)
    text += ", the thing of write " + std::to_string(refusals.thing) + " from then on";
  return text;
}

bool WritePlan::Parse(const std::string& text) {
  unsigned long long first = 0;
  char more[8] = {};
  const int fields = std::sscanf(text.c_str(), "%zu:%llu:%7s", &step, &first, more);
  refusals = {first, 1, 0};
  if (fields == 3 && std::string(more) == "all") {
    refusals.count = ~std::uint64_t{0};
  } else if (fields == 3) {
    refusals.thing = first + std::strtoull(more, nullptr, 10);
  }
  return fields >= 2 && first != 0 && refusals.thing != first;
}

SweepReport SweepWrites(const ScenarioMaker& make, const SweepReference& reference,
                        std::uint64_t first, std::uint64_t stride) {
  SweepReport report;
  std::uint64_t writes = 0;
  for (std::uint64_t step : reference.writes)
    writes += step;
  for (std::uint64_t write = first; write <= writes; write += stride) {
    WritePlan plan{0, {write, 1, 0}};
    while (plan.refusals.first > reference.writes[plan.step])
      plan.refusals.first -= reference.writes[plan.step++];
    const std::uint64_t counted = RunPlan(make, reference, plan, write, report);
    const std::uint64_t after = counted > plan.refusals.first ? counted - plan.refusals.first : 0;
    for (std::uint64_t k = 1; k <= std::min(kMostRefusedThings, after); ++k) {
      plan.refusals.thing = plan.refusals.first + k;
      RunPlan(make, reference, plan, write, report);
    }
    plan.refusals.thing = 0;
    plan.refusals.count = ~std::uint64_t{0};
    RunPlan(make, reference, plan, write, report);
  }
  return report;
}

SweepReport SweepWritesEvenly(const ScenarioMaker& make, std::uint64_t indices,
                              std::string& summary) {
  SweepReference reference;
  if (!RecordReference(make, reference, summary)) return {{}, {}, {}, {{0, "reference", summary}}};
  std::uint64_t writes = 0;
  for (std::uint64_t step : reference.writes)
    writes += step;
  if (writes == 0) return {{}, {}, {}, {{0, "reference", "no write to refuse"}}};
  const std::uint64_t even = std::max<std::uint64_t>(writes / indices, 1);
  const std::uint64_t stride = EnvNumber("DRV_WRITE_STRIDE", even);
  const std::uint64_t first = EnvNumber("DRV_WRITE_FIRST", 1);
  SweepReport report = SweepWrites(make, reference, first, stride);
  summary = std::to_string(writes) + " writes, from " + std::to_string(first) + " by " +
            std::to_string(stride) + "; " + Summarize(report);
  return report;
}

std::string SweepWriteOne(const ScenarioMaker& make, const SweepReference& reference,
                          const WritePlan& plan) {
  SweepReport report;
  const ChildResult child = SweepChild(make, reference, 0, ModeOf(plan), report);
  if (std::getenv("DRV_SWEEP_TRACE")) std::fprintf(stderr, "%s\n", child.error_output.c_str());
  return report.findings.empty() ? "" : report.findings[0].what;
}

}  // namespace support
