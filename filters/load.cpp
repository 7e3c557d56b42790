#include "filters/load.h"

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
#include "fonts/load.h"
#include "store/load.h"

namespace {

// Each source file's registration list, in building order.
constexpr RWSubsystemClasses::List kFiltersLists[] = {
    &FaceUpFilterClasses,       &NupFilterClasses,        &BookletFilterClasses,
    &ManualDuplexFilterClasses, &ReverseFilterClasses,    &GeometryFilterClasses,
    &CopyPageFilterClasses,     &LastPageFilterClasses,   &CoverFilterClasses,
    &ReducingFilterClasses,     &LetterheadFilterClasses, &HandOffFilterClasses,
    &TintvectorFilterClasses,   &WatermarkFilterClasses};

constinit RWSubsystemClasses g_classes(kFiltersLists);

}  // namespace

void FiltersLoad() {
  StoreLoad();
  FontsLoad();
  g_classes.Load();
}

void FiltersUnload() {
  g_classes.Unload();
  FontsUnload();
  StoreUnload();
}
