// Fuzz target of the N-up filter's stored form (its corpus, "nup" a sound
// one, is replayed by the imposition tests): the input is read as a graph
// from an RWFile; a filter read back is saved again, set up for a document
// on its own media, N, order and orientation, and asked for the scale and
// transform of a few pages. No crash, leak, exit or undefined arithmetic.
#include <memory>
#include <string>

#include "config/attributes/value_attribute.h"
#include "filters/load.h"
#include "filters/nup_filter.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "tests/support/graph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = (FiltersLoad(), true);
  (void)loaded;
  RWCollectable* object =
      testing_support::RestoreFromFileBytes(std::string(reinterpret_cast<const char*>(data), size));
  auto* nup = dynamic_cast<GNupFilter*>(object);
  if (!nup) {
    testing_support::DeleteGraph(object);
    return 0;
  }
  GCountedPtr held(nup);
  testing_support::SaveToFileBytes(nup);
  GCountedPtr document(new GState(0u)), page(new GState(0u));
  auto* settings = new GAttributeComposite(kNupSettingsKey);
  for (auto [key, value] : {std::pair{kPagesPerSheetKey, nup->PagesPerSheet()},
                            {kNupPageOrderKey, nup->PlacementOrder()},
                            {kNupBordersKey, 1}})
    settings->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  auto* doc_set = static_cast<GState*>(document.Get());
  doc_set->AddChild(settings);
  doc_set->AddChild(
      new GValueAttribute(static_cast<std::uint16_t>(nup->DocumentOrientation()), kOrientationKey));
  doc_set->AddChild(new GMedia(nup->LayoutMedia()));
  auto* page_set = static_cast<GState*>(page.Get());
  page_set->AddChild(new GValueAttribute(90, kOrientationKey));
  page_set->AddChild(new GMedia(nup->LayoutMedia()));
  std::uint32_t status = 0;
  for (std::uint32_t n = 0; n < 3; ++n)
    nup->GetPageScale(doc_set, page_set, n, status);
  for (int i = 0; i < 3; ++i) {
    nup->Transform(
        GCountedPtr(new GPageStart(static_cast<GAttributeComposite*>(page_set->DeepCopy()), 0u)));
    nup->Transform(GCountedPtr(new GPageEnd(0u)));
  }
  return 0;
}
