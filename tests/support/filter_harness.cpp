#include "tests/support/filter_harness.h"

#include "config/attributes/value_attribute.h"
#include "output/commands/job_commands.h"
#include "output/core/command_class.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "store/command_composite_on_disk.h"
#include "tests/support/graph.h"

namespace testing_support {

namespace {

struct GPassBreak final : GCommandClass<GPassBreak, GCommand, kPassBreakId> {
  std::uint16_t Execute(GPeripheral& device) override { return device.OnPassBreak(*this); }
};

}  // namespace

HeldFont::HeldFont(GJobFontDatabase* fonts) : fonts_(fonts), font_(new GFontImp) {
  font_->SetDatabaseKey(GJobFontDatabase::NextSerial());
  font_->SetSaveMark(1);
  font_->SetUseCount(1);  // the handle's
  fonts_->CountReference(font_);
}

HeldFont::~HeldFont() {
  // Still in the database unless the job's reset let it go.
  if (fonts_->Contains(font_->DatabaseKey())) fonts_->Remove(font_->DatabaseKey());
  delete font_;
}

GCountedPtr GRecordingDevice::Submit(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  const RWClassID id = in_hand ? in_hand->ClassId() : 0;
  if (!in_hand || id == kGNoCommandId || id == kGErrorCommandId) return command;
  if (in_hand->AsComposite()) {
    store_depth += id == kGCommandCompositeOnDiskId;
    GCountedPtr answer = ExpandComposite(command);
    store_depth -= id == kGCommandCompositeOnDiskId;
    return answer;
  }
  std::string line = std::to_string(submission) + " " + std::to_string(id) + " k" +
                     std::to_string(in_hand->Key()) + (store_depth ? " S {" : " M {");
  GAttributeComposite* set = in_hand->GetAttributes();
  for (RWSize i = 0; set && i < set->EntryCount(); ++i) {
    MPersistentObject* child = set->Children()[i].Get();
    auto* value = dynamic_cast<GValueAttribute*>(child);
    line += (i ? " " : "") + std::to_string(child->ClassId()) + ":" + std::to_string(child->Key()) +
            "=" + (value ? std::to_string(value->GetValue()) : Hex(SaveToFileBytes(child)));
  }
  line += "}";
  if (std::string extra = probe ? probe(*in_hand) : ""; !extra.empty()) line += " " + extra;
  events.push_back({submission, command, line});
  return GCountedPtr(new GNoCommand(0u));
}

GCountedPtr Command(RWClassID id, Values values, GRenderDriverData* job) {
  auto* set = new GState(0u);
  for (const auto& [key, value] : values)
    set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  if (id == kGDocumentStartId) return GCountedPtr(new GDocumentStart(set, u"", u"", job, 0u));
  if (id == kGPageStartId) return GCountedPtr(new GPageStart(set, 0u));
  delete set;
  if (id == kGDocumentEndId) return GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u));
  if (id == kGPageEndId) return GCountedPtr(new GPageEnd(0u));
  return id == kGJobAbortId ? GCountedPtr(new GJobAbort(0u)) : GCountedPtr(new GPassBreak);
}

GCountedPtr Tag(std::int16_t n) {
  const std::int16_t m = static_cast<std::int16_t>(n + 1);
  return GCountedPtr(new GRectangleGraphic(GShortRect{n, n, m, m}, nullptr, 0u));
}

FilterJob::FilterJob(GJobDriverData* job, std::initializer_list<GPeripheral*> filters)
    : job(job), recorder(new GRecordingDevice) {
  auto* chain = new GPeripheralComposite;
  for (GPeripheral* filter : filters)
    chain->AddChild(filter);
  chain->AddChild(recorder);
  job->SetOutputChain(chain);
}

std::uint16_t FilterJob::Submit(const GCountedPtr& command) {
  ++recorder->submission;
  return job->Submit(static_cast<GCommand*>(command.Get()));
}

std::uint16_t FilterJob::Document(Values settings, int pages, bool end) {
  std::uint16_t codes = Submit(Command(kGDocumentStartId, settings));
  for (std::int16_t n = 1; n <= pages; ++n)
    codes |= Submit(Command(kGPageStartId, {{265, n}})) | Submit(Tag(n)) | Submit(Command(710));
  return end ? codes | Submit(Command(kGDocumentEndId)) : codes;
}

std::vector<std::string> FilterJob::Summary() const {
  return testing_support::Summary(*recorder);
}

std::vector<std::string> Summary(const GRecordingDevice& recorder) {
  std::vector<std::string> tokens;
  bool in_page = false;
  for (const RecordedEvent& event : recorder.events) {
    const RWClassID id = event.command->ClassId();
    if (id == kGPageStartId) tokens.push_back("blank");
    if (id == kGPageStartId || id == kGPageEndId) in_page = id == kGPageStartId;
    if (auto* rect = dynamic_cast<GRectangleGraphic*>(event.command.Get()); rect && in_page)
      tokens.back() = std::to_string(rect->GetBounds().left);
    if (in_page || id == kGPageEndId) continue;
    tokens.push_back(id == kGDocumentStartId ? "DS"
                     : id == kGDocumentEndId ? "DE"
                     : id == kGJobAbortId    ? "JA"
                                             : std::to_string(id));
  }
  return tokens;
}

}  // namespace testing_support
