#include "ui/pages/layout_rules.h"

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral.h"
#include "persist/capabilities.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/paper_features.h"

namespace {

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
  if (Value(kScalePercentKey, 100) != 100) return 5108;
  if (Value(kPagesPerSheetKey, 1) != 1) return 5109;
  return Value(kFitToOtherSizeKey) == 1 ? 5135 : 0;
}

bool GLayoutRule::HasRasterCapability() const {
  // An attribute composite holds attributes only: the entry is a device
  // whose configuration holds the set.
  GAttributeComposite* tree = GetContext()->GetConfiguration();
  MPersistentObject* entry = tree ? tree->FindByKey(kCapabilitiesKey) : nullptr;
  if (auto* device = dynamic_cast<GPeripheral*>(entry)) entry = device->GetConfiguration();
  auto* set = FindOfClass<GCapabilities>(entry, kModeCapabilitiesKey);
  return set && set->HasCapability(0);
}

void GNupConflictRule::OnChanges(const GValueList&, int) {
  if (Value(kScalePercentKey, 100) != 100) return Report(5108);
  if (Value(kBookletKey) != 0) return Report(5115);
  if (Value(kFitToOtherSizeKey) == 1) return Report(5135);
}

void GScaleConflictRule::OnChanges(const GValueList&, int) {
  if (Value(kPagesPerSheetKey, 1) != 1) return Report(5109);
  if (Value(kBookletKey) != 0) return Report(5115);
  if (Value(kFitToOtherSizeKey) == 1) return Report(5135);
}

void GTrueTypeBitmapRule::OnChanges(const GValueList&, int) {
  std::int32_t message = 0;
  if (HasRasterCapability()) {
    if (Value(kRasterizationKey) == 3) message = 5153;
  } else {
    message = ScalePagesFitConflict();
    if (message == 0 && Value(kBookletKey) != 0) message = 5115;
  }
  if (message == 0) return;
  Report(message);
  SetValue(kPresetTrueTypeAsBitmapKey, 0);
  SetValue(kTrueTypeAsBitmapKey, 0);
}

void GSizeLimitRule::OnChanges(const GValueList&, int) {
  if (Value(kPagesPerSheetKey, 1) != 1) return Report(5109);
  if (Value(kTrueTypeAsBitmapKey) != 0 && !HasRasterCapability()) return Report(5110);
  if (Value(kBookletKey) != 0) return Report(5115);
  if (Value(kScalePercentKey, 100) != 100) return Report(5108);
  GPaperSizeFeature size(GetContext());
  if (size.IsOutsideSizeLimits(0)) Report(11013);
}

void GBookletRule::SetBookletLevel(std::int32_t level) {
  RaiseUIValue(Flag(), level);
  if (level == 0 || Value(kBookletKey) == 0) return;
  SetValue(kBookletKey, 0);
  if (Value(kDuplexKey) != 0) SetValue(kDuplexKey, 2);
}

void GBookletRule::OnChanges(const GValueList&, int) {
  if (Value(kDuplexUnitKey) == 0 && Value(kManualDuplexKey) == 0) return SetBookletLevel(2);
  // The last page conflicts on its own tray, or on the other pages' tray
  // (or none) with another, named paper type.
  const std::int32_t last_tray = Value(kLastPageSourceKey, kNoTray);
  const RWCString last_type = String(kLastPageMediaTypeKey);
  const bool last_page_conflict =
      (last_tray == Value(kOtherPagesSourceKey, kNoTray) || last_tray == kNoTray)
          ? !(last_type == String(kOtherPagesMediaTypeKey)) && last_type.Length() != 0
          : true;
  const std::int32_t paper = Value(kPaperSizeKey);
  const std::int32_t back_cover = Value(kBackCoverKey);
  std::int32_t message = Value(kDuplexKey) == 0 ? kBookletNeedsDuplex : ScalePagesFitConflict();
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
  SetValue(kBookletSheetOrderKey, 0);
}

void GBackCoverBookletRule::Initialize() {
  SetUIValue(Message(), 0);
  GLayoutRule::Initialize();
}

void GBackCoverBookletRule::OnChanges(const GValueList&, int) {
  if (Value(kPageGroupSelectorKey) == 2 && Value(kBookletKey) != 0) {
    Report(5388);
  } else {
    ResetUIValue(Flag());
    SetUIValue(Message(), 0);
  }
}

void GFitToPaperNoticeRule::OnChanges(const GValueList&, int) {
  if (Value(kFitToOtherSizeKey) == 1 && Value(kTargetPaperSizeKey) != Value(kPaperSizeKey))
    Report(5301);
}

namespace {

struct Pair {
  std::uint32_t flag, message;
};
constexpr Pair kP1 = {kRasterizationFlagKey, kRasterizationMessageKey};
constexpr Pair kP2 = {kRasterizationSecondFlagKey, kRasterizationSecondMessageKey};
constexpr Pair kP3 = {kRasterizationThirdFlagKey, kRasterizationThirdMessageKey};

}  // namespace

void GRasterizationRule::Initialize() {
  for (const Pair& pair : {kP1, kP2, kP3})
    SetUIValue(pair.message, 0);
  for (const Pair& pair : {kP3, kP1, kP2})
    ResetUIValue(pair.flag);
}

void GRasterizationRule::OnChanges(const GValueList& changed, int force) {
  if (!force && !Holds(changed, {kPagesPerSheetKey, kSelectedWatermarkKey, kRasterizationKey,
                                 kScalePercentKey, kPatternScalingKey, kTrueTypeAsBitmapKey,
                                 kRetChoiceKey, kTextAsBlackKey}))
    return;
  const std::int32_t raster = Value(kRasterizationKey);
  const bool pages = Value(kPagesPerSheetKey, 1) != 1;
  const bool watermark = String(kSelectedWatermarkKey).Length() != 0;
  const bool scaled = Value(kScalePercentKey, 100) != 100;
  const bool booklet = Value(kBookletKey) != 0;
  const bool fit = Value(kFitToOtherSizeKey) != 0;
  std::int32_t m1 = 0, m2 = 0;
  if (raster == 2 || raster == 3) {
    if (pages || watermark || scaled || booklet || fit) {
      // The next pass sees kRasterizationKey change and decides again.
      SetValue(kRasterizationKey, 0);
    } else if (raster == 3) {
      SetValue(kTextAsBlackKey, 0);
      RaiseUIValue(kP3.flag, 1);
      m1 = m2 = 14123;
    } else if (Value(kTextAsBlackKey) == 1) {
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
    } else if (Value(kTextAsBlackKey) == 1) {
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
