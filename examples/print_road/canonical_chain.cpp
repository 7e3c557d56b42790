#include "examples/print_road/canonical_chain.h"

#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/render/render_driver_data_imp.h"
#include "filters/booklet_filter.h"
#include "filters/color_adjustment_filter.h"
#include "filters/copy_page_filter.h"
#include "filters/cover_filters.h"
#include "filters/face_up_filter.h"
#include "filters/geometry_filters.h"
#include "filters/handoff_filters.h"
#include "filters/last_page_filter.h"
#include "filters/letterhead_filter.h"
#include "filters/manual_duplex_filter.h"
#include "filters/nup_filter.h"
#include "filters/reducing_filter.h"
#include "filters/reverse_filter.h"
#include "filters/watermark_filter.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"

namespace {

template <class Filter, class... Args>
GPeripheral* Make(Args&&... args) {
  return new (std::nothrow) Filter(std::forward<Args>(args)...);
}

}  // namespace

std::int32_t TintvectorModeOf(GAttributeComposite* settings) {
  MPersistentObject* found = settings ? settings->FindByKey(kColorAdjustmentKey) : nullptr;
  if (!found) return 0;
  switch (found->ClassId()) {
    case kGTintvectorAttributeId:
      return 1;
    case kGTintvectorEnhancedAttributeId:
      return 3;
    case kGTintvectorEnhancedAttributeVer2Id:
      return 4;
    default:
      return 0;
  }
}

GCountedPtr BuildCanonicalChain(GAttributeComposite* settings,
                                std::initializer_list<GPeripheral*> tail) {
  auto* chain = new (std::nothrow) GPeripheralComposite;
  if (!chain) return GCountedPtr();
  GCountedPtr held(chain);
  GPeripheral* const filters[] = {
      Make<GAAFilter1>(),
      Make<GReducingFilter>(),
      Make<GTintvectorFilter>(RWCString(), nullptr, nullptr, 0u, TintvectorModeOf(settings)),
      Make<GWatermarkFilter>(),
      Make<GBookletFilter>(),
      Make<GNupFilter>(),
      Make<GEmulateMarginsFilter>(),
      Make<GFitToSizeFilter>(),
      Make<GScalePageFilter>(),
      Make<GSymetricalDuplexFilter>(),
      Make<GFrontCoverFilter>(),
      Make<GBackCoverFilter>(),
      Make<GLastPageFilter>(),
      Make<GLetterheadFilter>(),
      Make<GManualDuplexFilter>(),
      Make<GCopyPageFilter>(),
      Make<GReverseFilter>(),
      Make<GFaceUpFilter>(),
      Make<GAAFilter2>(),
  };
  bool complete = true;
  for (GPeripheral* filter : filters) {
    if (!filter) complete = false;
    if (filter) chain->AddChild(filter);
  }
  for (GPeripheral* device : tail)
    if (device) chain->AddChild(device);
  return complete ? held : GCountedPtr();
}

GDocumentStart* MakeDocumentStart(GRenderDriverDataImp& job, const RWWString& port,
                                  const RWWString& document) {
  GAttributeComposite* defaults = job.EnsureDefaultSettings();
  auto* copy = defaults ? dynamic_cast<GAttributeComposite*>(defaults->DeepCopy()) : nullptr;
  if (!copy) return nullptr;
  auto* start = new (std::nothrow) GDocumentStart(copy, port, document, &job, 0u);
  if (!start) delete copy;
  return start;
}
