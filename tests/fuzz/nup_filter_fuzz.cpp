// Fuzz target of the N-up filter's stored form (its corpus, "nup" a sound
// one, is replayed by the imposition tests): the input is read as a graph
// from an RWFile; a filter read back is saved again, set up for a document
// on its own media, N, order and orientation, and asked for the scale and
// transform of a few pages, the last on its stored page medium. Checked:
// what a filter read whole saves reads back to the same bytes, before and
// after the set-up, and every scale handed out is finite and above zero.
// No crash, leak, exit or undefined arithmetic.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "config/attributes/value_attribute.h"
#include "filters/load.h"
#include "filters/nup_filter.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "tests/support/graph.h"

namespace {

void CheckRoundTrip(const GNupFilter& nup) {
  bool ok = false;
  const std::string bytes = testing_support::SaveToFileBytes(&nup);
  std::unique_ptr<RWCollectable> again(testing_support::RestoreFromFileBytes(bytes, &ok));
  if (!ok || !again || testing_support::SaveToFileBytes(again.get()) != bytes) std::abort();
}

void CheckScale(const GScalePair& scale) {
  if (!(std::isfinite(scale.x) && scale.x > 0 && scale.y == scale.x)) std::abort();
}

// A copy of `stored` under the medium's key, as a caller's sets hold it.
GMedia* Medium(const GMedia& stored) {
  auto* copy = new GMedia(stored);
  copy->SetKey(kMediumKey);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool loaded = (FiltersLoad(), true);
  (void)loaded;
  bool whole = false;  // only a filter read whole owes a round trip
  RWCollectable* object = testing_support::RestoreFromFileBytes(
      std::string(reinterpret_cast<const char*>(data), size), &whole);
  auto* nup = dynamic_cast<GNupFilter*>(object);
  if (!nup) {
    testing_support::DeleteGraph(object);
    return 0;
  }
  GCountedPtr held(nup);
  if (whole) CheckRoundTrip(*nup);
  GCountedPtr document(new GState(0u));
  auto* settings = new GAttributeComposite(kNupSettingsKey);
  for (auto [key, value] : {std::pair{kPagesPerSheetKey, nup->PagesPerSheet()},
                            {kNupPageOrderKey, nup->PlacementOrder()},
                            {kNupBordersKey, 1}})
    settings->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  auto* doc_set = static_cast<GState*>(document.Get());
  doc_set->AddChild(settings);
  doc_set->AddChild(
      new GValueAttribute(static_cast<std::uint16_t>(nup->DocumentOrientation()), kOrientationKey));
  doc_set->AddChild(Medium(nup->LayoutMedia()));
  GCountedPtr pages[2] = {GCountedPtr(new GState(0u)), GCountedPtr(new GState(0u))};
  for (int k = 0; k < 2; ++k) {
    pages[k]->AddChild(new GValueAttribute(90, kOrientationKey));
    pages[k]->AddChild(Medium(k ? nup->PageMedia() : nup->LayoutMedia()));
  }
  std::uint32_t status = 0;
  for (std::uint32_t n = 0; n < 3; ++n)
    CheckScale(nup->GetPageScale(doc_set, static_cast<GState*>(pages[n / 2].Get()), n, status));
  for (int i = 0; i < 3; ++i) {
    nup->Transform(GCountedPtr(
        new GPageStart(static_cast<GAttributeComposite*>(pages[i / 2]->DeepCopy()), 0u)));
    if (nup->IsEnabled()) CheckScale(nup->PageTransform().GetScale());
    nup->Transform(GCountedPtr(new GPageEnd(0u)));
  }
  if (whole) CheckRoundTrip(*nup);
  return 0;
}
