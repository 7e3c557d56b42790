// The page-geometry filters: each gives every page a transform (its
// GTransformAttribute, class id 103) and composes that transform into the
// transform any later graphic of the page carries (ComposeTransforms,
// output/attributes/transform.h: the filter's transform outside, the
// command's inside; the composed transform moves to the end of the set).
// All four answer the chain's page-scale query: (0, 0) under status 3 (an
// imposing filter ahead has answered; the composite then keeps that
// answer), else their own scale.
//
//   GEmulateMarginsFilter 1108  pages laid out for another printer's margins
//       mapped into this printer's printable area of the same paper
//       (kEmulateMarginsKey = 1, mode 0, margins made symmetric), or only the
//       page's medium swapped for this printer's (kSymmetricalMarginsKey = 1,
//       mode 1). The printer's medium comes from the job's media pool
//       (GDriverData::GetMediaPool, key kMediaListKey): the one of the page's
//       paper size code, orientation and resolution; for custom sizes (code
//       16384 and up) the page's paper with the margins of the pool's medium
//       17384. No job context, pool or pool medium: the page's own medium and
//       the identity. Flags 32768 (constructed, after a document end), 42 (at
//       work), 0 (off).
//   GFitToSizeFilter 1103       pages printed on the target medium
//       kTargetMediumKey (kFitToOtherSizeKey = 1), turned to the page's
//       orientation kOrientationKey by the job context and appended to the
//       page's set (replacing its kMediumKey there): centred at actual size
//       (kScalePageChoiceKey = 0) or scaled to fit. Flags 10 when scaling.
//   GSymetricalDuplexFilter 1117 (spelled so) two-sided pages (kDuplexKey non-
//       zero, with a duplex unit: kDuplexUnitReportedKey of the job settings)
//       shrunk so that the larger margin of each axis holds on both sides
//       (kAutoDuplexScalingKey = 0, "TRUE"); a change of kDuplexKey to another
//       two-sided value waits for the next front side. Flags 10 while
//       kAutoDuplexScalingKey is 0.
//   GScalePageFilter 1104       every page scaled by kScalePercentKey percent
//       (x 0.01f); exactly 1.0 switches it off. Flags 10 once it worked.
// The last two replace each page start by a composite: the page start
// (made self-contained) and a GNullCommand whose GGraphicBundle holds a
// copy of the page's transform, for the devices after them.
//
// Arithmetic is single-precision float without contraction; t() truncates
// toward zero; lengths and offsets are narrowed to signed 16 bits; ">> 1"
// is an arithmetic shift of the 32-bit difference. Scale into a printable
// area (ScaleIntoArea): s = the smaller of the two axis ratios (ties take
// the width's), x and y as in the file's comments.
//
// Mended against the plain reading:
//   - a medium of zero printable width or height (a division by zero)
//     gives the identity for that page;
//   - fit-to-size gives pages already on the target medium the identity,
//     not the last differing page's transform;
//   - the medium emulation takes out of a page is released;
//   - emulation's GetPageScale leaves the filter's state alone;
//   - the symmetric-duplex back-side flag is cleared at document start.
// Readings: transforms and media go into sets through the set's AddChild
// (a GState replaces an attribute of the same kind and key); a page start
// without a medium passes emulation and fit-to-size unchanged.
//
// Stored forms: the frame's (filter_class.h) with version word 1; fit-to-
// size then writes the target medium as one object token. A version-1
// restore resets the run-time fields (transforms, media but fit-to-size's
// target, flags); another version leaves them.
//
// Ownership: the filters own their transforms and media; the job context
// is the job's. Threads: one job's thread.
#pragma once

#include <cstdint>
#include <span>

#include "config/paper/media.h"
#include "filters/filter_class.h"
#include "foundation/rw/registration.h"
#include "output/attributes/transform.h"
#include "output/commands/job_commands.h"

class GRenderDriverData;

inline constexpr RWClassID kGEmulateMarginsFilterId = 1108;
inline constexpr RWClassID kGFitToSizeFilterId = 1103;
inline constexpr RWClassID kGSymetricalDuplexFilterId = 1117;
inline constexpr RWClassID kGScalePageFilterId = 1104;

// Flag words.
inline constexpr std::uint32_t kEmulationIdleFlags = 0x8000;
inline constexpr std::uint32_t kEmulationFlags = 42;
inline constexpr std::uint32_t kScalingFlags = 10;

// The first paper size code of custom sizes, and the medium whose margins
// they are emulated with.
inline constexpr std::uint16_t kFirstCustomSizeId = 16384;
inline constexpr std::uint16_t kCustomReferenceId = 17384;

// The transform that puts a page of `source` (paper, printable size and
// origin) into the printable area `area` at `area_origin` of a paper of
// `paper` (scale to fit, centred across the longer fit); the identity when
// the source's printable width or height is 0.
GTransformAttribute ScaleIntoArea(const GSize16& paper, const GSize16& area,
                                  const GSize16& area_origin, const GMedia& source);

// What the four filters share: attribute hooks that do nothing (a
// command's attributes never reach the filter's working state), a page
// scale to answer, and Transform's dispatch by class id to Self's
// OnDocumentStart, OnPageStart and OnOtherCommand.
template <class Self, RWClassID kId>
class GGeometryFilter : public GFilterClass<Self, kId> {
 public:
  GGeometryFilter() = default;
  GGeometryFilter(const GGeometryFilter& other) = default;

  GCountedPtr Transform(const GCountedPtr& command) override {
    auto* in_hand = dynamic_cast<GCommand*>(command.Get());
    if (!in_hand) return command;
    Self& self = static_cast<Self&>(*this);
    switch (in_hand->ClassId()) {
      case kGDocumentStartId:
        return self.OnDocumentStart(command);
      case kGPageStartId:
        return self.OnPageStart(command);
      default:
        return self.OnOtherCommand(command);
    }
  }
  void AttributeHookBefore(GCommand&) override {}
  void AttributeHookAfter(GCommand&) override {}
  std::uint32_t HasPageScale() override { return 1; }
};

class GEmulateMarginsFilter final
    : public GGeometryFilter<GEmulateMarginsFilter, kGEmulateMarginsFilterId> {
 public:
  GEmulateMarginsFilter() = default;
  GEmulateMarginsFilter(const GEmulateMarginsFilter& other) = default;

  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override { return flags_; }

  // The emulated medium and the filter transform for a page of `medium`;
  // nothing when it equals the last page's.
  void UpdateEmulation(const GMedia& medium);

  std::uint32_t Mode() const { return mode_; }
  bool IsSymmetric() const { return symmetric_ != 0; }
  const GTransformAttribute& FilterTransform() const { return transform_; }
  const GMedia& EmulatedMedium() const { return emulated_; }

 private:
  friend GFilterClass;
  friend GGeometryFilter;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  // What UpdateEmulation would set for `medium`, the state left alone.
  void Emulate(const GMedia& medium, GMedia& emulated, GTransformAttribute& transform) const;
  GCountedPtr OnDocumentStart(const GCountedPtr& command);
  GCountedPtr OnPageStart(const GCountedPtr& command);
  GCountedPtr OnOtherCommand(const GCountedPtr& command);

  std::uint32_t flags_ = kEmulationIdleFlags;
  std::uint32_t mode_ = 0;  // 0 emulate margins, 1 swap the medium only
  GTransformAttribute transform_;
  GMedia last_page_;
  GMedia emulated_;
  std::uint32_t symmetric_ = 0;
  GRenderDriverData* job_ = nullptr;  // not owned
};

class GFitToSizeFilter final : public GGeometryFilter<GFitToSizeFilter, kGFitToSizeFilterId> {
 public:
  GFitToSizeFilter() = default;
  GFitToSizeFilter(const GFitToSizeFilter& other) = default;

  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override { return scale_choice_ != 0 ? kScalingFlags : 0; }

  // Scale choice 0: `source` centred at actual size on `target`'s paper;
  // else scaled into `target`'s printable area.
  GTransformAttribute ComputeFitTransform(const GMedia& target, const GMedia& source) const;

  const GTransformAttribute& FilterTransform() const { return transform_; }
  const GMedia& TargetMedium() const { return target_; }
  std::int32_t ScaleChoice() const { return scale_choice_; }

 private:
  friend GFilterClass;
  friend GGeometryFilter;
  RWSize OwnFieldsSize() const;
  bool SameOwnFields(const GFitToSizeFilter& other) const;
  template <class Out>
  void SaveOwnFields(Out& out) const;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  GCountedPtr OnDocumentStart(const GCountedPtr& command);
  GCountedPtr OnPageStart(const GCountedPtr& command);
  GCountedPtr OnOtherCommand(const GCountedPtr& command);
  // The stored target turned to `orientation` (none: as it is).
  GMedia TurnedTarget(GAttributeComposite* page) const;

  GTransformAttribute transform_;
  GMedia source_;
  GMedia target_;
  std::int32_t scale_choice_ = 0;
  GRenderDriverData* job_ = nullptr;  // not owned
};

class GSymetricalDuplexFilter final
    : public GGeometryFilter<GSymetricalDuplexFilter, kGSymetricalDuplexFilterId> {
 public:
  GSymetricalDuplexFilter() = default;
  GSymetricalDuplexFilter(const GSymetricalDuplexFilter& other) = default;

  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override { return auto_scaling_ == 0 ? kScalingFlags : 0; }

  // Scale s and the centring offset for a page of `medium`; the identity
  // for symmetric margins or a zero printable length on an uneven axis.
  static GTransformAttribute ComputeTransform(const GMedia& medium);

  const GTransformAttribute& FilterTransform() const { return transform_; }
  std::uint16_t DuplexValue() const { return duplex_; }
  bool IsBackSide() const { return back_side_ != 0; }

 private:
  friend GFilterClass;
  friend GGeometryFilter;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  GCountedPtr OnDocumentStart(const GCountedPtr& command);
  GCountedPtr OnPageStart(const GCountedPtr& command);
  GCountedPtr OnOtherCommand(const GCountedPtr& command);

  GTransformAttribute transform_;
  std::uint16_t duplex_ = 0;
  std::uint16_t auto_scaling_ = 0;  // kAutoDuplexScalingKey: 0 "TRUE", scaling on
  std::uint32_t back_side_ = 0;
};

class GScalePageFilter final : public GGeometryFilter<GScalePageFilter, kGScalePageFilterId> {
 public:
  GScalePageFilter() = default;
  GScalePageFilter(const GScalePageFilter& other) = default;

  // The factor of the document's kScalePercentKey, enabled or not.
  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override { return active_ != 0 ? kScalingFlags : 0; }

  float Factor() const { return factor_; }
  const GTransformAttribute& FilterTransform() const { return transform_; }

 private:
  friend GFilterClass;
  friend GGeometryFilter;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  GCountedPtr OnDocumentStart(const GCountedPtr& command);
  GCountedPtr OnPageStart(const GCountedPtr& command);
  GCountedPtr OnOtherCommand(const GCountedPtr& command);

  GTransformAttribute transform_;
  float factor_ = 1.0f;
  std::uint32_t active_ = 0;
};

extern template class MPersistentClass<GEmulateMarginsFilter, GPeripheral,
                                       kGEmulateMarginsFilterId>;
extern template class MPersistentClass<GFitToSizeFilter, GPeripheral, kGFitToSizeFilterId>;
extern template class MPersistentClass<GSymetricalDuplexFilter, GPeripheral,
                                       kGSymetricalDuplexFilterId>;
extern template class MPersistentClass<GScalePageFilter, GPeripheral, kGScalePageFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> GeometryFilterClasses();
