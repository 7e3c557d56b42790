#include "filters/geometry_filters.h"

#include <algorithm>
#include <cstdlib>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media_pool.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/graphics/graphic_bundle.h"
#include "persist/find_of_class.h"
#include "persist/stored_form.h"
#include "services/driver_data.h"
#include "services/render_driver_data.h"

namespace {

constexpr RWClassRegistration kGeometryFilterClasses[] = {
    {&RWCreate<GFitToSizeFilter>, kGFitToSizeFilterId, "GFitToSizeFilter"},
    {&RWCreate<GScalePageFilter>, kGScalePageFilterId, "GScalePageFilter"},
    {&RWCreate<GEmulateMarginsFilter>, kGEmulateMarginsFilterId, "GEmulateMarginsFilter"},
    {&RWCreate<GSymetricalDuplexFilter>, kGSymetricalDuplexFilterId, "GSymetricalDuplexFilter"},
};

constexpr GScalePair kNoScale{0.0f, 0.0f};
constexpr GScalePair kUnitScale{1.0f, 1.0f};

std::int16_t Narrow(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

// t(): truncation toward zero, as the transforms compose.
std::int32_t Trunc(float value) {
  return TruncateTowardZero(value);
}

// The smaller of two signed 16-bit values.
std::int16_t Min16(std::int32_t a, std::int32_t b) {
  return std::min(Narrow(a), Narrow(b));
}

GMedia* MediumIn(GAttributeComposite* set, std::uint32_t key = kMediumKey) {
  return FindOfClass<GMedia>(set, key);
}

GTransformAttribute* TransformIn(GAttributeComposite& set) {
  return dynamic_cast<GTransformAttribute*>(set.FindByClassId(kGTransformAttributeId));
}

void SetValue(GTransformAttribute& into, const GTransformAttribute& value) {
  into.SetRotation(value.GetRotation());
  into.SetOffset(value.GetOffset());
  into.SetScale(value.GetScale());
}

// The first transform of `set` given the value `filter` composed after it,
// taken out and appended again (it moves to the end); false when there is
// none.
bool ComposeAndMove(GAttributeComposite& set, const GTransformAttribute& filter) {
  GCountedPtr taken = Held(set.RemoveByClassId(kGTransformAttributeId));
  auto* own = dynamic_cast<GTransformAttribute*>(taken.Get());
  if (!own) return false;
  SetValue(*own, ComposeTransforms(filter, *own));
  set.AddChild(own);
  return true;
}

// The general rule of a command that is no page start: its set's first
// transform composed and moved to the end.
GCountedPtr ComposeIntoCommand(const GCountedPtr& command, const GTransformAttribute& filter) {
  auto* in_hand = static_cast<GCommand*>(command.Get());
  GCountedPtr set = in_hand->DetachAttributes();
  if (!set) return command;
  auto& attributes = static_cast<GAttributeComposite&>(*set.Get());
  ComposeAndMove(attributes, filter);
  in_hand->AttachAttributes(&attributes);
  return command;
}

// A page start's set given the filter's transform: its first transform
// composed in place, else a copy of `filter` added. The transform the page
// now carries (a copy of `filter` without a set).
GTransformAttribute PlaceIntoPage(GAttributeComposite* set, const GTransformAttribute& filter) {
  if (!set) return filter;
  if (GTransformAttribute* own = TransformIn(*set)) {
    SetValue(*own, ComposeTransforms(filter, *own));
    return *own;
  }
  set->AddChild(RWNew<GTransformAttribute>(filter));
  return filter;
}

// The page start (made self-contained), then a null command whose bundle
// holds a copy of `carried`.
GCountedPtr WrapPageStart(const GCountedPtr& command, const GTransformAttribute& carried) {
  GCountedPtr result = Held(RWNew<GCommandComposite>());
  auto* bundle = RWNew<GGraphicBundle>();
  GCountedPtr hold_bundle = Held(bundle);
  if (!result || !bundle) return command;
  static_cast<GCommand*>(command.Get())->MakeSelfContained();
  bundle->AddChild(RWNew<GTransformAttribute>(carried));
  result->AddChild(command.Get());
  result->AddChild(RWNew<GNullCommand>(bundle, 0u));
  return result;
}

// A page start's base transform: the set's first, else (1, 1) at the
// printable origin of `medium`.
GTransformAttribute PageBase(GAttributeComposite& set, const GMedia& medium) {
  if (GTransformAttribute* own = TransformIn(set)) return *own;
  const GSize16 origin = medium.GetPrintableOrigin();
  return GTransformAttribute(0, GShortPoint{origin.width, origin.height}, kUnitScale);
}

bool IsIdentity(const GTransformAttribute& transform) {
  return transform.GetRotation() == 0 && transform.GetOffset() == GShortPoint{} &&
         transform.GetScale().x == 1.0f && transform.GetScale().y == 1.0f;
}

GMedia WithKey(const GMedia& medium, std::uint32_t key) {
  GMedia copy(medium);
  copy.SetKey(key);
  return copy;
}

}  // namespace

template class MPersistentClass<GEmulateMarginsFilter, GPeripheral, kGEmulateMarginsFilterId>;
template class MPersistentClass<GFitToSizeFilter, GPeripheral, kGFitToSizeFilterId>;
template class MPersistentClass<GSymetricalDuplexFilter, GPeripheral, kGSymetricalDuplexFilterId>;
template class MPersistentClass<GScalePageFilter, GPeripheral, kGScalePageFilterId>;

std::span<const RWClassRegistration> GeometryFilterClasses() {
  return kGeometryFilterClasses;
}

GTransformAttribute ScaleIntoArea(const GSize16& paper, const GSize16& area,
                                  const GSize16& area_origin, const GMedia& source) {
  const std::int32_t sw = source.GetPaperSize().width, sh = source.GetPaperSize().height;
  const std::int32_t spw = source.GetPrintableSize().width;
  const std::int32_t sph = source.GetPrintableSize().height;
  const std::int32_t sx = source.GetPrintableOrigin().width;
  const std::int32_t sy = source.GetPrintableOrigin().height;
  if (spw == 0 || sph == 0) return GTransformAttribute();
  const std::int32_t tw = paper.width, th = paper.height;
  const std::int32_t tpw = area.width, tph = area.height;
  const std::int32_t tx = area_origin.width, ty = area_origin.height;
  float s = 0;
  std::int32_t x = 0, y = 0;
  if (tpw * sph > tph * spw) {
    s = static_cast<float>(tph) / static_cast<float>(sph);
    x = Min16((tw - Trunc(static_cast<float>(sw) * s)) >> 1,
              tpw - Trunc(static_cast<float>(spw) * s)) -
        Trunc(static_cast<float>(sx) * s) + tx;
    y = ty - Trunc(static_cast<float>(sy) * s);
  } else {
    s = static_cast<float>(tpw) / static_cast<float>(spw);
    x = tx - Trunc(static_cast<float>(sx) * s);
    y = Min16((th - Trunc(static_cast<float>(sh) * s)) >> 1,
              tph - Trunc(static_cast<float>(sph) * s)) -
        Trunc(static_cast<float>(sy) * s) + ty;
  }
  return GTransformAttribute(0, GShortPoint{Narrow(x), Narrow(y)}, GScalePair{s, s});
}

// ---------------------------------------------------------------------------
// GEmulateMarginsFilter

GCountedPtr GEmulateMarginsFilter::OnOtherCommand(const GCountedPtr& command) {
  if (static_cast<GCommand*>(command.Get())->ClassId() == kGDocumentEndId) {
    flags_ = kEmulationIdleFlags;
    return command;
  }
  return mode_ == 0 ? ComposeIntoCommand(command, transform_) : command;
}

GCountedPtr GEmulateMarginsFilter::OnDocumentStart(const GCountedPtr& command) {
  auto& start = static_cast<GDocumentStart&>(*command.Get());
  job_ = start.GetJobContext();
  mode_ = 0;
  transform_ = GTransformAttribute();
  last_page_ = GMedia();
  emulated_ = GMedia();
  GCountedPtr set = start.DetachAttributes();
  auto* attributes = static_cast<GAttributeComposite*>(set.Get());
  if (FilterValue(attributes, kEmulateMarginsKey) == 1) {
    flags_ = kEmulationFlags;
    symmetric_ = 1;
    Enable();
  } else if (FilterValue(attributes, kSymmetricalMarginsKey) == 1) {
    flags_ = kEmulationFlags;
    mode_ = 1;
    Enable();
  } else {
    flags_ = 0;
    Disable();
  }
  if (attributes) start.AttachAttributes(attributes);
  return command;
}

GCountedPtr GEmulateMarginsFilter::OnPageStart(const GCountedPtr& command) {
  auto* start = static_cast<GCommand*>(command.Get());
  if (!MediumIn(start->GetAttributes())) return command;
  GCountedPtr set = start->DetachAttributes();
  auto& attributes = static_cast<GAttributeComposite&>(*set.Get());
  // Held here, so released once the page carries the emulated copy.
  GCountedPtr medium = Held(attributes.RemoveByKey(kMediumKey));
  UpdateEmulation(static_cast<GMedia&>(*medium.Get()));
  attributes.AddChild(RWNew<GMedia>(WithKey(emulated_, kMediumKey)));
  const GTransformAttribute base = PageBase(attributes, last_page_);
  attributes.AddChild(
      RWNew<GTransformAttribute>(mode_ == 0 ? ComposeTransforms(transform_, base) : base));
  start->AttachAttributes(&attributes);
  return command;
}

void GEmulateMarginsFilter::Emulate(const GMedia& m, GMedia& emulated,
                                    GTransformAttribute& transform) const {
  emulated = m;
  transform = GTransformAttribute();
  GDriverData* driver = job_ ? job_->GetDriverData() : nullptr;
  GMediaPool* pool = driver ? driver->GetMediaPool() : nullptr;
  if (!pool) return;
  const std::uint16_t code = m.GetPaperSizeId();
  GMedia* reference =
      pool->FindByPaperSizeId(code >= kFirstCustomSizeId ? kCustomReferenceId : code,
                              m.GetOrientation(), m.GetXResolution(), m.GetYResolution());
  if (!reference) return;
  if (code >= kFirstCustomSizeId) {
    const GSize16 paper = m.GetPaperSize(), r_paper = reference->GetPaperSize();
    const GSize16 r_area = reference->GetPrintableSize();
    const GSize16 area(Narrow(paper.width - r_paper.width + r_area.width),
                       Narrow(paper.height - r_paper.height + r_area.height));
    emulated = GMedia(m.GetName().Data(), paper, area, reference->GetPrintableOrigin(),
                      m.GetOrientation(), code, m.GetXResolution(), m.GetYResolution(), m.Key(),
                      m.GetAuxCode(), m.GetAuxName().Data(), m.GetMediaType().Data());
  } else {
    emulated = *reference;
    emulated.SetMediaType(m.GetMediaType());
  }
  if (mode_ != 0) return;
  const GSize16 paper = m.GetPaperSize();
  const GSize16 e_paper = emulated.GetPaperSize(), e_area = emulated.GetPrintableSize();
  std::int16_t left = emulated.GetPrintableOrigin().width;
  std::int16_t top = emulated.GetPrintableOrigin().height;
  std::int16_t right = Narrow(e_paper.width - e_area.width - left);
  std::int16_t bottom = Narrow(e_paper.height - e_area.height - top);
  if (symmetric_ != 0) {
    left = right = std::max(left, right);
    top = bottom = std::max(top, bottom);
  }
  const GSize16 area(Narrow(paper.width - right - left), Narrow(paper.height - bottom - top));
  transform = ScaleIntoArea(paper, area, GSize16(left, top), m);
}

void GEmulateMarginsFilter::UpdateEmulation(const GMedia& medium) {
  if (medium.IsEqualContent(&last_page_)) return;
  last_page_ = medium;
  Emulate(medium, emulated_, transform_);
}

GScalePair GEmulateMarginsFilter::GetPageScale(GAttributeComposite* document,
                                               GAttributeComposite* page, std::uint32_t,
                                               std::uint32_t& status) {
  if (status == 3) return kNoScale;
  GMedia* medium = MediumIn(page);
  if (FilterValue(document, kEmulateMarginsKey) != 1 || !medium) return kUnitScale;
  if (medium->IsEqualContent(&last_page_)) return transform_.GetScale();
  GMedia emulated;
  GTransformAttribute transform;
  Emulate(*medium, emulated, transform);
  return transform.GetScale();
}

template <class In>
void GEmulateMarginsFilter::RestoreOwnFields(In&, MRestoreScope&, std::uint32_t version) {
  if (version != kFilterVersion) return;
  mode_ = 0;
  transform_ = GTransformAttribute();
  last_page_ = GMedia();
  emulated_ = GMedia();
}

// ---------------------------------------------------------------------------
// GFitToSizeFilter

GCountedPtr GFitToSizeFilter::OnOtherCommand(const GCountedPtr& command) {
  return ComposeIntoCommand(command, transform_);
}

GCountedPtr GFitToSizeFilter::OnDocumentStart(const GCountedPtr& command) {
  auto& start = static_cast<GDocumentStart&>(*command.Get());
  transform_ = GTransformAttribute();
  source_ = GMedia();
  target_ = GMedia();
  GCountedPtr set = start.DetachAttributes();
  auto* attributes = static_cast<GAttributeComposite*>(set.Get());
  job_ = start.GetJobContext();
  GMedia* target = MediumIn(attributes, kTargetMediumKey);
  if (FilterValue(attributes, kFitToOtherSizeKey) == 1 && target) {
    target_ = WithKey(*target, kMediumKey);
    Held(attributes->RemoveByKey(kMediumKey));
    attributes->AddChild(RWNew<GMedia>(target_));
    scale_choice_ = FilterValue(attributes, kScalePageChoiceKey).value_or(0);
    Enable();
  } else {
    Disable();
  }
  if (attributes) start.AttachAttributes(attributes);
  return command;
}

GMedia GFitToSizeFilter::TurnedTarget(GAttributeComposite* page) const {
  GMedia turned(target_);
  const std::optional<std::int16_t> orientation = FilterValue(page, kOrientationKey);
  if (job_ && orientation)
    job_->UpdateMediaSize(&turned, static_cast<std::uint32_t>(std::int32_t{*orientation}));
  return turned;
}

GCountedPtr GFitToSizeFilter::OnPageStart(const GCountedPtr& command) {
  auto* start = static_cast<GCommand*>(command.Get());
  GMedia* medium = MediumIn(start->GetAttributes());
  if (!medium) return command;
  source_ = *medium;
  if (source_.IsEqualContent(&target_)) {
    // Already on the target: placed as it is.
    transform_ = GTransformAttribute();
    return command;
  }
  GCountedPtr set = start->DetachAttributes();
  auto& attributes = static_cast<GAttributeComposite&>(*set.Get());
  GMedia turned = TurnedTarget(&attributes);
  turned.SetMediaType(source_.GetMediaType());
  attributes.AddChild(RWNew<GMedia>(turned));
  transform_ = ComputeFitTransform(turned, source_);
  attributes.AddChild(
      RWNew<GTransformAttribute>(ComposeTransforms(transform_, PageBase(attributes, source_))));
  start->AttachAttributes(&attributes);
  return command;
}

GTransformAttribute GFitToSizeFilter::ComputeFitTransform(const GMedia& target,
                                                          const GMedia& source) const {
  const GSize16 t_paper = target.GetPaperSize(), t_origin = target.GetPrintableOrigin();
  if (scale_choice_ != 0)
    return ScaleIntoArea(t_paper, target.GetPrintableSize(), t_origin, source);
  const GSize16 s_paper = source.GetPaperSize(), s_origin = source.GetPrintableOrigin();
  const std::int32_t x = (t_paper.width - s_paper.width) / 2 - t_origin.width + s_origin.width;
  const std::int32_t y = (t_paper.height - s_paper.height) / 2 - t_origin.height + s_origin.height;
  return GTransformAttribute(0, GShortPoint{Narrow(x), Narrow(y)}, kUnitScale);
}

GScalePair GFitToSizeFilter::GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                                          std::uint32_t, std::uint32_t& status) {
  if (status == 3) return kNoScale;
  GMedia* target = MediumIn(document, kTargetMediumKey);
  GMedia* medium = MediumIn(page);
  if (FilterValue(document, kFitToOtherSizeKey) != 1 || !target || !medium) return kUnitScale;
  const GMedia target_page = WithKey(*target, kMediumKey);
  if (medium->IsEqualContent(&target_page)) return kUnitScale;
  return ComputeFitTransform(TurnedTarget(page), *medium).GetScale();
}

RWSize GFitToSizeFilter::OwnFieldsSize() const {
  return GraphStoreSizeOf(&target_);
}

bool GFitToSizeFilter::SameOwnFields(const GFitToSizeFilter& other) const {
  return target_.IsEqualContent(&other.target_);
}

template <class Out>
void GFitToSizeFilter::SaveOwnFields(Out& out) const {
  PutReference(out, &target_);
}

template <class In>
void GFitToSizeFilter::RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version) {
  if (version != kFilterVersion) return;
  if (!GetEmbedded(in, target_)) scope.Fail();
  transform_ = GTransformAttribute();
  source_ = GMedia();
}

// ---------------------------------------------------------------------------
// GSymetricalDuplexFilter

GTransformAttribute GSymetricalDuplexFilter::ComputeTransform(const GMedia& medium) {
  const std::int32_t pw = medium.GetPaperSize().width, ph = medium.GetPaperSize().height;
  const std::int32_t aw = medium.GetPrintableSize().width;
  const std::int32_t ah = medium.GetPrintableSize().height;
  const std::int32_t ox = medium.GetPrintableOrigin().width;
  const std::int32_t oy = medium.GetPrintableOrigin().height;
  const std::int16_t dx = Narrow(pw - 2 * ox - aw), dy = Narrow(ph - 2 * oy - ah);
  if ((dx != 0 && aw == 0) || (dy != 0 && ah == 0)) return GTransformAttribute();
  const float sx =
      dx != 0 ? 1.0f - static_cast<float>(std::abs(dx)) / static_cast<float>(aw) : 1.0f;
  const float sy =
      dy != 0 ? 1.0f - static_cast<float>(std::abs(dy)) / static_cast<float>(ah) : 1.0f;
  const float s = std::min(sx, sy);
  const auto offset = [s](std::int32_t paper, std::int32_t area, std::int32_t origin) {
    const float centred = (static_cast<float>(paper) - static_cast<float>(area) * s) * 0.5f;
    return Narrow(Trunc(centred) - Trunc(static_cast<float>(origin) * s));
  };
  return GTransformAttribute(0, GShortPoint{offset(pw, aw, ox), offset(ph, ah, oy)},
                             GScalePair{s, s});
}

GCountedPtr GSymetricalDuplexFilter::OnOtherCommand(const GCountedPtr& command) {
  if (duplex_ != 0 && !IsIdentity(transform_)) return ComposeIntoCommand(command, transform_);
  return command;
}

GCountedPtr GSymetricalDuplexFilter::OnDocumentStart(const GCountedPtr& command) {
  auto& start = static_cast<GDocumentStart&>(*command.Get());
  // A new document starts on a front side.
  back_side_ = 0;
  GRenderDriverData* job = start.GetJobContext();
  GDriverData* driver = job ? job->GetDriverData() : nullptr;
  GAttributeComposite* settings = driver ? driver->GetJobSettings() : nullptr;
  GAttributeComposite* set = start.GetAttributes();
  const std::optional<std::int16_t> automatic = FilterValue(set, kAutoDuplexScalingKey);
  if (FilterValue(settings, kDuplexUnitReportedKey).value_or(0) == 0 || !set || !automatic) {
    Disable();
    return command;
  }
  if (std::optional<std::int16_t> duplex = FilterValue(set, kDuplexKey))
    duplex_ = static_cast<std::uint16_t>(*duplex);
  auto_scaling_ = static_cast<std::uint16_t>(*automatic);
  Enable();
  return command;
}

GCountedPtr GSymetricalDuplexFilter::OnPageStart(const GCountedPtr& command) {
  transform_ = GTransformAttribute();
  auto* start = static_cast<GCommand*>(command.Get());
  GAttributeComposite* set = start->GetAttributes();
  if (!set) {
    back_side_ = 0;
    return command;
  }
  if (std::optional<std::int16_t> duplex = FilterValue(set, kDuplexKey)) {
    // Another two-sided choice waits for a front side; one-sided acts now.
    if (*duplex == 0 || back_side_ == 0) duplex_ = static_cast<std::uint16_t>(*duplex);
  }
  if (duplex_ == 0) {
    back_side_ = 0;
    return command;
  }
  GMedia* medium = MediumIn(set);
  if (auto_scaling_ == 0 && medium) transform_ = ComputeTransform(*medium);
  back_side_ ^= 1;
  return WrapPageStart(command, PlaceIntoPage(set, transform_));
}

GScalePair GSymetricalDuplexFilter::GetPageScale(GAttributeComposite*, GAttributeComposite* page,
                                                 std::uint32_t, std::uint32_t& status) {
  if (status == 3) return kNoScale;
  if (!page || auto_scaling_ != 0) return kUnitScale;
  if (std::optional<std::int16_t> duplex = FilterValue(page, kDuplexKey))
    duplex_ = static_cast<std::uint16_t>(*duplex);
  GMedia* medium = MediumIn(page);
  if (duplex_ == 0 || !medium) return kUnitScale;
  return ComputeTransform(*medium).GetScale();
}

template <class In>
void GSymetricalDuplexFilter::RestoreOwnFields(In&, MRestoreScope&, std::uint32_t version) {
  if (version != kFilterVersion) return;
  transform_ = GTransformAttribute();
  duplex_ = auto_scaling_ = 0;
  back_side_ = 0;
}

// ---------------------------------------------------------------------------
// GScalePageFilter

GCountedPtr GScalePageFilter::OnOtherCommand(const GCountedPtr& command) {
  return ComposeIntoCommand(command, transform_);
}

GCountedPtr GScalePageFilter::OnDocumentStart(const GCountedPtr& command) {
  transform_ = GTransformAttribute();
  factor_ = 1.0f;
  const std::optional<std::int16_t> percent =
      FilterValue(static_cast<GCommand*>(command.Get())->GetAttributes(), kScalePercentKey);
  if (percent) factor_ = static_cast<float>(*percent) * 0.01f;
  if (!percent || factor_ == 1.0f) {
    Disable();
  } else {
    active_ = 1;
    Enable();
  }
  return command;
}

GCountedPtr GScalePageFilter::OnPageStart(const GCountedPtr& command) {
  transform_.SetScale(GScalePair{factor_, factor_});
  GAttributeComposite* set = static_cast<GCommand*>(command.Get())->GetAttributes();
  return WrapPageStart(command, PlaceIntoPage(set, transform_));
}

GScalePair GScalePageFilter::GetPageScale(GAttributeComposite* document, GAttributeComposite*,
                                          std::uint32_t, std::uint32_t& status) {
  if (status == 3) return kNoScale;
  const std::optional<std::int16_t> percent = FilterValue(document, kScalePercentKey);
  if (!percent) return kUnitScale;
  const float factor = static_cast<float>(*percent) * 0.01f;
  return GScalePair{factor, factor};
}

template <class In>
void GScalePageFilter::RestoreOwnFields(In&, MRestoreScope&, std::uint32_t version) {
  if (version != kFilterVersion) return;
  transform_ = GTransformAttribute();
  factor_ = 1.0f;
}
