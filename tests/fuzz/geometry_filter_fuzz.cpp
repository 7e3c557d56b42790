// Fuzz target of the stored page-geometry filters (its corpus, "fit" a
// sound fit-to-size filter with its target medium, is replayed by the
// geometry tests): the input is read as a graph from an RWFile; a filter
// read back is saved again and runs a document of one page on its own
// target medium's paper, with its page-scale query. No crash, leak, exit
// or undefined arithmetic.
#include <string>

#include "config/attributes/value_attribute.h"
#include "filters/geometry_filters.h"
#include "filters/load.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "tests/support/graph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = (FiltersLoad(), true);
  (void)loaded;
  RWCollectable* object =
      testing_support::RestoreFromFileBytes(std::string(reinterpret_cast<const char*>(data), size));
  auto* filter = dynamic_cast<GPeripheral*>(object);
  auto* fit = dynamic_cast<GFitToSizeFilter*>(object);
  if (!filter || !filter->IsKindOf(kGPeripheralId) || object->ClassId() < 1103 ||
      object->ClassId() > 1117) {
    testing_support::DeleteGraph(object);
    return 0;
  }
  GCountedPtr held(filter);
  testing_support::SaveToFileBytes(filter);
  const GMedia target = fit ? fit->TargetMedium() : GMedia();
  auto* doc_set = new GState(0u);
  for (std::uint32_t key :
       {kFitToOtherSizeKey, kScaleChoiceKey, kEmulateMarginsKey, kAutoDuplexScalingKey})
    doc_set->AddChild(new GValueAttribute(key == kAutoDuplexScalingKey ? 0 : 1, key));
  doc_set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(target.GetPaperSize().width),
                                        kScalePercentKey));
  GMedia* as_target = new GMedia(target);
  as_target->SetKey(kTargetMediumKey);
  doc_set->AddChild(as_target);
  auto* page_set = new GState(0u);
  page_set->AddChild(new GValueAttribute(2, kPageDuplexKey));
  page_set->AddChild(new GMedia(target));
  GCountedPtr doc(new GDocumentStart(doc_set, u"", u"", nullptr, 0u));
  GCountedPtr page(new GPageStart(page_set, 0u));
  std::uint32_t status = 0;
  filter->GetPageScale(doc_set, page_set, 0, status);
  filter->Transform(doc);
  filter->Transform(page);
  return 0;
}
