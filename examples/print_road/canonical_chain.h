// The canonical filter chain of the print road: the one order in which a
// job's filters stand between the job driver and the job's generator.
// Every filter of the library is put in, front to back:
//
//   GAAFilter1               the extensions see the document as the
//                            application sent it
//   GReducingFilter          overdraw removed from logical pages
//   GTintvectorFilter        colour choices attached to each graphic
//   GWatermarkFilter         the mark drawn on each logical page
//   GBookletFilter           imposition: booklet, then N-up
//   GNupFilter
//   GEmulateMarginsFilter    scaling: margins, fit to size, scale, the
//   GFitToSizeFilter         two-sided shrink
//   GScalePageFilter
//   GSymetricalDuplexFilter
//   GFrontCoverFilter        sheets: covers, the last page's media,
//   GBackCoverFilter         letterhead turning
//   GLastPageFilter
//   GLetterheadFilter
//   GManualDuplexFilter      reorderers: the two passes, copies, order
//   GCopyPageFilter
//   GReverseFilter
//   GFaceUpFilter
//   GAAFilter2               the extensions see the pages as printed
//
// Why this order:
//   - the reducing filter and the watermark act on the logical pages the
//     application drew, so they stand ahead of imposition, which merges
//     several logical pages into one sheet;
//   - the page-scale query's status word 3 says that an imposing filter
//     ahead has answered: the imposing filters must stand ahead of the
//     scaling ones for the scalers to stand back;
//   - covers, the last page's media and the page copies act on sheets, so
//     they follow imposition and scaling;
//   - the letterhead filter sets the document's page order (kPageOrderKey :=
//     1), which the reverse-order filter behind it reads to take the document;
//   - the filters that hold pages and hand them on reordered come last,
//     so that what they hold are finished sheets;
//   - GAAFilter2 comes after them because it rewrites the page stores they
//     hand on in place.
// Each filter reads its own settings at every document start (the
// document start's attribute set and the job context) and stands aside
// when the document asks nothing of it: the chain is the same for every
// job. Only the colour-adjustment filter takes a setting at construction,
// its mode (TintvectorModeOf).
//
// The pass break (the command of class id 718) is sent by nothing in this
// system: the page-holding filters end their first pass on it and the
// generators answer it with filler bytes. A caller that prints a manual
// duplex job sends it once, after the first pass's pages.
//
// Not part of the library: the demonstration, its benchmark and its tests
// use it. Threads: the builder keeps no state.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "foundation/rw/collect.h"
#include "foundation/rw/wstring.h"
#include "persist/counted_ptr.h"

class GAttributeComposite;
class GDocumentStart;
class GPeripheral;
class GPeripheralComposite;
class GRenderDriverDataImp;

// The chain's class ids, front to back.
inline constexpr RWClassID kCanonicalChainIds[] = {1115, 1112, 1107, 1102, 1105, 1101, 1108,
                                                   1103, 1104, 1117, 1118, 1111, 1119, 1114,
                                                   1110, 1113, 1109, 1120, 1116};

// The colour-adjustment filter's mode for documents carrying `settings`,
// by the class of the first attribute keyed kColorAdjustmentKey found depth
// first: 1 for the plain Tintvector attribute (792), 3 for the enhanced one
// (797), 4 for its second version (1201); 0 (the filter stands aside) without
// one or for null.
std::int32_t TintvectorModeOf(GAttributeComposite* settings);

// A new peripheral composite, held by the answer: the nineteen filters
// above, front to back (the colour-adjustment filter in the mode of
// `settings`, which is only read), then `tail` in its order (for example
// a GWqm and the generator), which the chain holds from then on (a null
// in `tail` is skipped). Null when memory is exhausted. The caller hands
// it to the job driver (GRenderDriverDataImp::SetOutputChain).
GCountedPtr BuildCanonicalChain(GAttributeComposite* settings,
                                std::initializer_list<GPeripheral*> tail);

// A new document start (the caller's) for `job`: its attribute set a deep
// copy of the job's default settings (the settings of the device mode the
// job was bound to, else the printer's), its job context `job`, for the
// destination `port` (such as "FILE:out/job.prn") and the document name
// `document`. Null when the job has no settings or memory is exhausted.
GDocumentStart* MakeDocumentStart(GRenderDriverDataImp& job, const RWWString& port,
                                  const RWWString& document);
