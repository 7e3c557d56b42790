// GLetterheadFilter: turns every page of a letterhead document by 180
// degrees, so that the preprinted head comes out the right way up, and
// marks the document as handled (kPageOrderKey := 1).
//
// Settings, 16-bit value attributes read at document start:
//   kDuplexUnitKey (job settings)    0 (or no job context): stand aside
//   kMediumKey (document)            the medium; its media type must be
//                                    "Letterhead"
//   kDuplexKey (document)            non-zero (two-sided)
//   kStraightPaperPathKey (document) non-zero (straight path): stand aside
//   kPageOrderKey (document)         present and not 1: set to 1 and take
//                                    the document
// A document that is not taken disables the filter, which then passes
// everything unchanged until the chain's Reset. A document without a
// medium under kMediumKey is not taken. Each page start of a taken document has
// its orientation (kOrientationKey) turned: 0 <-> 180, 90 <-> 270; other angles
// stay. Setting kPageOrderKey to 1 is what makes a reverse filter later in the
// chain take the document too: turned letterhead pages also come out last
// first.
//
// Class id 1114, registered as "GLetterheadFilter". Stored form: the
// frame's (filter_class.h) with no fields of its own. GetFlags answers 0.
//
// Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGLetterheadFilterId = 1114;

class GLetterheadFilter final : public GFilterClass<GLetterheadFilter, kGLetterheadFilterId, true> {
 public:
  using GFilterClass::GFilterClass;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t PageStart(GPageStart& command) override;

  // The page's orientation (kOrientationKey) turned by 180 degrees; nothing
  // when the set is null or holds no kOrientationKey. Answers 0.
  static std::uint16_t TurnPage(GAttributeComposite* page);
};

extern template class MPersistentClass<GLetterheadFilter, GPeripheral, kGLetterheadFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> LetterheadFilterClasses();
