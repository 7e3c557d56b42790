// Applying a quick set to the settings of a sheet. A quick set comes from
// printer data or from the user's own registry value, which any user can
// write, so nothing in it is taken on trust: only what the quick-set
// template (the configuration's kQuicksetTemplateKey) names is applied,
// each value only where the page control that sets it would offer it:
//
//   the paper sources of the five page groups   an installed tray that passes
//                                               the accessory-choice test
//                                               against kOptionalPaperSourcesKey
//   the output bin (kOutputBinKey)              the accessory-choice test
//   the paper size (kPaperSizeKey)              a paper the paper-size list
//                                               offers (GPaperSizeFeature)
//   two-sided printing (kDuplexKey)             a value the duplex range offers
//   copies (kCopiesKey)                         within the copies range
//   the resolution (kResolutionKey)             a pair of the resolution list,
//                                               chosen as the Finishing page
//                                               chooses it; a lone
//                                               kXResolutionKey or
//                                               kYResolutionKey: one the list
//                                               holds
//   the watermark (kWatermarkSettingKey)        chosen as the Effects page
//                                               chooses it: a watermark of the
//                                               list with its details, and a
//                                               name the list lacks as none
//   another plain composite                     its template's keys, each as
//                                               here, in the settings'
//                                               composite of that key (the
//                                               rest of it, which a saved
//                                               quick set holds too, is
//                                               passed over)
//   another value or text                       as stored: no control offers
//                                               a list for it
//   another class                               as stored, when the quick
//                                               set's is of the template's
//                                               class
//
// A setting the settings lack is never created. What the quick set holds
// beyond the template, of another class than the template's, or that its
// check refuses is left as the settings have it and reported: as refused
// when an option that is not installed is what refuses it, else as
// skipped.
//
// Threads: the sheet's.
#pragma once

#include <cstdint>

#include "ui/framework/value_list.h"

class GAttributeComposite;
class GUIContext;

struct GQuicksetApplied {
  int written = 0;     // settings written (or already equal)
  GValueList refused;  // keys refused for want of an installed option
  GValueList skipped;  // other keys left as they were
};

// Writes `quickset` into the settings of `context` (see above); without a
// template nothing is written and every key is skipped.
GQuicksetApplied ApplyQuickset(GUIContext* context, const GAttributeComposite& quickset);
