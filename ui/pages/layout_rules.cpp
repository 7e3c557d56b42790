#include "ui/pages/layout_rules.h"

#include "config/attributes/attribute_composite.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral.h"
#include "persist/capabilities.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/paper_features.h"

namespace {

constexpr std::uint32_t kManualDuplex = 245;
constexpr std::uint32_t kDuplex = 253;
constexpr std::uint32_t kRasterization = 255;
constexpr std::uint32_t kPaperSize = 260;
constexpr std::uint32_t kOtherType = 262;
constexpr std::uint32_t kOtherSource = 263;
constexpr std::uint32_t kPagesPerSheet = 266;
constexpr std::uint32_t kScale = 269;
constexpr std::uint32_t kFitToOther = 270;
constexpr std::uint32_t kTargetSize = 272;
constexpr std::uint32_t kBooklet = 279;
constexpr std::uint32_t kTrueTypeAsBitmaps = 293;
constexpr std::uint32_t kDuplexUnit = 308;
constexpr std::uint32_t kWatermark = 383;
constexpr std::uint32_t kTextAsBlack = 585;
constexpr std::uint32_t kBackCover = 920;
constexpr std::uint32_t kLastSource = 1212;
constexpr std::uint32_t kLastType = 1213;
constexpr std::uint32_t kPageGroup = 0x40000041;
constexpr std::uint32_t kCapabilityEntry = 112;
constexpr std::uint32_t kCapabilitySet = 135;

constexpr std::int32_t kNoTray = 19;
constexpr std::int32_t kBookletNeedsDuplex = 11902;

}  // namespace

void GLayoutRule::Initialize() {
  SetUIValue(message_, 0);
  ResetUIValue(flag_);
}

void GLayoutRule::Report(std::int32_t message) {
  if (message == 0) return;
  RaiseUIValue(flag_, 1);
  SetUIValue(message_, message);
}

std::int32_t GLayoutRule::ScalePagesFitConflict() const {
  if (Value(kScale, 100) != 100) return 5108;
  if (Value(kPagesPerSheet, 1) != 1) return 5109;
  return Value(kFitToOther) == 1 ? 5135 : 0;
}

bool GLayoutRule::HasRasterCapability() const {
  // An attribute composite holds attributes only: the entry is a device
  // whose configuration holds the set.
  GAttributeComposite* tree = GetContext()->GetConfiguration();
  MPersistentObject* entry = tree ? tree->FindByKey(kCapabilityEntry) : nullptr;
  if (auto* device = dynamic_cast<GPeripheral*>(entry)) entry = device->GetConfiguration();
  auto* set = FindOfClass<GCapabilities>(entry, kCapabilitySet);
  return set && set->HasCapability(0);
}

void GNupConflictRule::OnChanges(const GValueList&, int) {
  if (Value(kScale, 100) != 100) return Report(5108);
  if (Value(kBooklet) != 0) return Report(5115);
  if (Value(kFitToOther) == 1) return Report(5135);
}

void GScaleConflictRule::OnChanges(const GValueList&, int) {
  if (Value(kPagesPerSheet, 1) != 1) return Report(5109);
  if (Value(kBooklet) != 0) return Report(5115);
  if (Value(kFitToOther) == 1) return Report(5135);
}

void GTrueTypeBitmapRule::OnChanges(const GValueList&, int) {
  std::int32_t message = 0;
  if (HasRasterCapability()) {
    if (Value(kRasterization) == 3) message = 5153;
  } else {
    message = ScalePagesFitConflict();
    if (message == 0 && Value(kBooklet) != 0) message = 5115;
  }
  if (message == 0) return;
  Report(message);
  SetValue(220, 0);
  SetValue(kTrueTypeAsBitmaps, 0);
}

void GSizeLimitRule::OnChanges(const GValueList&, int) {
  if (Value(kPagesPerSheet, 1) != 1) return Report(5109);
  if (Value(kTrueTypeAsBitmaps) != 0 && !HasRasterCapability()) return Report(5110);
  if (Value(kBooklet) != 0) return Report(5115);
  if (Value(kScale, 100) != 100) return Report(5108);
  GPaperSizeFeature size(GetContext());
  if (size.IsOutsideSizeLimits(0)) Report(11013);
}

void GBookletRule::SetBookletLevel(std::int32_t level) {
  RaiseUIValue(Flag(), level);
  if (level == 0 || Value(kBooklet) == 0) return;
  SetValue(kBooklet, 0);
  if (Value(kDuplex) != 0) SetValue(kDuplex, 2);
}

void GBookletRule::OnChanges(const GValueList&, int) {
  if (Value(kDuplexUnit) == 0 && Value(kManualDuplex) == 0) return SetBookletLevel(2);
  // The last page conflicts on its own tray, or on the other pages' tray
  // (or none) with another, named paper type.
  const std::int32_t last_tray = Value(kLastSource, kNoTray);
  const RWCString last_type = String(kLastType);
  const bool last_page_conflict =
      (last_tray == Value(kOtherSource, kNoTray) || last_tray == kNoTray)
          ? !(last_type == String(kOtherType)) && last_type.Length() != 0
          : true;
  const std::int32_t paper = Value(kPaperSize);
  const std::int32_t back_cover = Value(kBackCover);
  std::int32_t message = Value(kDuplex) == 0 ? kBookletNeedsDuplex : ScalePagesFitConflict();
  if (message == 0) {
    message = paper != 1 && paper != 6 && paper != 23 ? 5116
              : last_page_conflict                    ? 5320
              : back_cover == 1 || back_cover == 2    ? 7418
                                                      : 0;
  }
  if (message != 0) {
    SetBookletLevel(1);
    SetUIValue(Message(), message);
  } else {
    ResetUIValue(Flag());
  }
  SetValue(288, 0);
}

void GBackCoverBookletRule::Initialize() {
  SetUIValue(Message(), 0);
  GLayoutRule::Initialize();
}

void GBackCoverBookletRule::OnChanges(const GValueList&, int) {
  if (Value(kPageGroup) == 2 && Value(kBooklet) != 0) {
    Report(5388);
  } else {
    ResetUIValue(Flag());
    SetUIValue(Message(), 0);
  }
}

void GFitToPaperNoticeRule::OnChanges(const GValueList&, int) {
  if (Value(kFitToOther) == 1 && Value(kTargetSize) != Value(kPaperSize)) Report(5301);
}

namespace {

struct Pair {
  std::uint32_t flag, message;
};
constexpr Pair kP1 = {0x400000A3, 0x400000A4};
constexpr Pair kP2 = {0x400000A5, 0x400000A6};
constexpr Pair kP3 = {0x400000A7, 0x400000A8};

}  // namespace

void GRasterizationRule::Initialize() {
  for (const Pair& pair : {kP1, kP2, kP3})
    SetUIValue(pair.message, 0);
  for (const Pair& pair : {kP3, kP1, kP2})
    ResetUIValue(pair.flag);
}

void GRasterizationRule::OnChanges(const GValueList& changed, int force) {
  if (!force && !Holds(changed, {kPagesPerSheet, kWatermark, kRasterization, kScale, 277,
                                 kTrueTypeAsBitmaps, 250, kTextAsBlack}))
    return;
  const std::int32_t raster = Value(kRasterization);
  const bool pages = Value(kPagesPerSheet, 1) != 1;
  const bool watermark = String(kWatermark).Length() != 0;
  const bool scaled = Value(kScale, 100) != 100;
  const bool booklet = Value(kBooklet) != 0;
  const bool fit = Value(kFitToOther) != 0;
  std::int32_t m1 = 0, m2 = 0;
  if (raster == 2 || raster == 3) {
    if (pages || watermark || scaled || booklet || fit) {
      // The next pass sees 255 change and decides again.
      SetValue(kRasterization, 0);
    } else if (raster == 3) {
      SetValue(kTextAsBlack, 0);
      RaiseUIValue(kP3.flag, 1);
      m1 = m2 = 14123;
    } else if (Value(kTextAsBlack) == 1) {
      RaiseUIValue(kP1.flag, 1);
      m1 = 14120;
    }
  } else {
    const std::int32_t conflict = pages       ? 14122
                                  : watermark ? 14121
                                  : scaled    ? 14124
                                  : booklet   ? 5115
                                  : fit       ? 5135
                                              : 0;
    if (conflict != 0) {
      RaiseUIValue(kP1.flag, 1);
      RaiseUIValue(kP2.flag, 1);
      m1 = m2 = conflict;
    } else if (Value(kTextAsBlack) == 1) {
      RaiseUIValue(kP1.flag, 1);
      m1 = 14120;
    }
  }
  if (m1 != 0) {
    SetUIValue(kP3.message, m1);
    SetUIValue(kP1.message, m1);
  }
  if (m2 != 0) SetUIValue(kP2.message, m2);
}
