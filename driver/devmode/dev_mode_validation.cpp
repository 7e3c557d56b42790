// GDriverSettings: the checks of a record's public fields, the print-quality
// tables and the paper-change reset.
//
// The quality table is the job settings' kQualityTableKey: entries
// (composites) of kQualityKey (quality code), kXResolutionKey,
// kYResolutionKey, kResolutionModeKey and further attributes of the model
// (value or string attributes) that the quality implies. Without it the
// resolution list (kAlternateResolutionListKey or kResolutionListKey,
// GDriverDataImp::GetResolutionList) answers alone.
#include "config/attributes/attribute_composite.h"
#include "config/attributes/copies_range.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "driver/devmode/driver_settings.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "driver/spooler_forms.h"
#include "persist/capabilities.h"

namespace {

constexpr std::uint16_t kFirstCheckedSpecVersion = 0x030A;
constexpr std::uint16_t kLeastCheckedSize = 68;
// ResetForPaper's resolution where the model has none.
constexpr std::int32_t kResetResolution = 600;
// The quality code none of a table's entries has.
constexpr std::int32_t kNoQuality = 0x10000;

bool IsEntryKey(std::uint32_t key) {
  return key == kQualityKey || key == kXResolutionKey || key == kYResolutionKey ||
         key == kResolutionModeKey;
}

// Calls `each` with every further attribute of a table entry.
template <class Each>
bool ForEachFurther(MPersistentObject* entry, Each each) {
  auto* composite = dynamic_cast<GAttributeComposite*>(entry);
  const RWSize count = composite ? composite->Children().Count() : 0;
  for (RWSize i = 0; i < count; ++i) {
    MPersistentObject* child = composite->Children()[i].Get();
    if (child && !IsEntryKey(child->Key()) && !each(child)) return false;
  }
  return true;
}

// Whether each further attribute equals the model's of the same key and
// class (strings byte for byte).
bool FurtherMatch(MPersistentObject* entry, GAttributeComposite* model) {
  return ForEachFurther(entry, [model](MPersistentObject* child) {
    if (auto* value = dynamic_cast<GValueAttribute*>(child)) {
      GValueAttribute* mine = FindValueAttribute(model, child->Key());
      return mine && mine->GetValue() == value->GetValue();
    }
    if (auto* text = dynamic_cast<GStringAttribute*>(child)) {
      GStringAttribute* mine = FindStringAttribute(model, child->Key());
      return mine && mine->GetValue() == text->GetValue();
    }
    return true;
  });
}

// Writes the further attributes into the model's attributes of the same key
// and class only; others are left alone.
// Mended (docs/mended-behaviour.md): nothing of another class is written.
void WriteFurther(MPersistentObject* entry, GAttributeComposite* model) {
  if (!model) return;
  ForEachFurther(entry, [model](MPersistentObject* child) {
    if (auto* value = dynamic_cast<GValueAttribute*>(child))
      SetValueIfPresent(model, child->Key(), value->GetValue());
    if (auto* text = dynamic_cast<GStringAttribute*>(child)) {
      if (GStringAttribute* mine = FindStringAttribute(model, child->Key()))
        mine->SetValue(text->GetValue());
    }
    return true;
  });
}

// The entries of a table or list, in order.
template <class Each>
void ForEachEntry(GAttributeComposite* list, Each each) {
  const RWSize count = list ? list->Children().Count() : 0;
  for (RWSize i = 0; i < count; ++i) {
    if (MPersistentObject* entry = list->Children()[i].Get(); entry && !each(entry)) return;
  }
}

bool HasResolution(MPersistentObject* entry, std::uint16_t x, std::uint16_t y) {
  return SignedValueOr(entry, kXResolutionKey, -1) == std::int16_t(x) &&
         SignedValueOr(entry, kYResolutionKey, -1) == std::int16_t(y);
}

// The checks of ValidatePublic that need nothing of the object: the
// dmFields bits that fail, 0 when the field passes or is not set.
std::uint32_t OrientationFails(const GDevModeView& in) {
  const std::int16_t orientation = in.I16(kDmOrientation);
  return in.HasField(kDmOrientationBit, kDmOrientation) && orientation != kDmPortrait &&
                 orientation != kDmLandscape
             ? kDmOrientationBit
             : 0;
}

std::uint32_t CopiesFails(const GDevModeView& in, GAttributeComposite* job) {
  if (!in.HasField(kDmCopiesBit, kDmCopies)) return 0;
  const GCopiesRange range = GCopiesRange::Of(job);
  // Without a range no count passes: the printer names none it makes.
  return !range.Exists() || !range.Contains(in.I16(kDmCopies)) ? kDmCopiesBit : 0;
}

std::uint32_t ColorFails(const GDevModeView& in) {
  const std::int16_t colour = in.I16(kDmColor);
  return in.HasField(kDmColorBit, kDmColor) && colour != kDmMonochrome && colour != kDmColour
             ? kDmColorBit
             : 0;
}

std::uint32_t CollateFails(const GDevModeView& in, GAttributeComposite* job) {
  const std::int16_t collate = in.I16(kDmCollate);
  return in.HasField(kDmCollateBit, kDmCollate) && collate != 0 &&
                 (collate != 1 || SignedValueOr(job, kCollationAvailableKey, 0) == 0)
             ? kDmCollateBit
             : 0;
}

}  // namespace

int GDriverSettings::ValidatePublic(void*, const platform::DevModeW* record, int check_all,
                                    std::uint32_t& mask) {
  mask = 0;
  const GDevModeView in(record);
  if (in.Size() < kLeastCheckedSize || in.U16(kDmSpecVersion) < kFirstCheckedSpecVersion) return 0;
  GAttributeComposite* job = JobSettings();
  int result = 1;
  auto checking = [&] { return result == 1 || check_all == 1; };
  auto fail = [&](std::uint32_t bits) {
    if (bits == 0) return;
    result = 0;
    mask |= bits;
  };
  const std::uint16_t x = GetXResolution();
  const std::uint16_t y = GetYResolution();
  const std::uint32_t angle = in.I16(kDmOrientation) == kDmLandscape ? 90 : 0;

  if (checking()) fail(OrientationFails(in));
  if (checking()) fail(QualityFails(in));
  if (checking()) fail(CustomSizeFails(in, x, y));
  if (checking()) fail(PaperSizeFails(in, job, angle, x, y));
  if (checking()) fail(DefaultSourceFails(in, job));
  if (checking()) fail(CopiesFails(in, job));
  if (checking()) fail(ColorFails(in));
  if (checking()) fail(DuplexFails(in, job));
  const std::uint16_t version = in.U16(kDmSpecVersion);
  if (in.Size() >= kDmPublicSize &&
      (version == kDmSpecVersion400 || version == kDmSpecVersionValue)) {
    if (checking()) fail(CollateFails(in, job));
    if (checking()) fail(FormNameFails(in, angle, x, y));
  }
  return result;
}

std::uint32_t GDriverSettings::QualityFails(const GDevModeView& in) {
  if (!in.HasField(kDmPrintQualityBit, kDmPrintQuality)) return 0;
  const std::int16_t quality = in.I16(kDmPrintQuality);
  if (quality < 1 || !in.HasField(kDmYResolutionBit, kDmYResolution)) {
    std::uint16_t found_x = 0;
    std::uint16_t found_y = 0;
    std::uint16_t third = 0;
    if (!QualityToResolution(quality, found_x, found_y, third, nullptr))
      return in.Fields() & kDmResolutionBits;
  } else if (!GetDriverData()->IsResolutionSupported(static_cast<std::uint16_t>(quality),
                                                     in.U16(kDmYResolution))) {
    return kDmResolutionBits;
  }
  return 0;
}

std::uint32_t GDriverSettings::CustomSizeFails(const GDevModeView& in, std::uint16_t x,
                                               std::uint16_t y) {
  if (!(in.Fields() & (kDmPaperWidthBit | kDmPaperLengthBit))) return 0;
  std::int32_t low_width = 0, low_length = 0, high_width = 0, high_length = 0;
  CustomSizeLimits(x, y, low_width, low_length, high_width, high_length);
  const std::int16_t width = in.I16(kDmPaperWidth);
  const std::int16_t length = in.I16(kDmPaperLength);
  std::uint32_t bits = 0;
  if (in.HasField(kDmPaperWidthBit, kDmPaperWidth) && (width < low_width || width > high_width))
    bits |= kDmPaperWidthBit;
  if (in.HasField(kDmPaperLengthBit, kDmPaperLength) &&
      (length < low_length || length > high_length)) {
    bits |= kDmPaperLengthBit;
  }
  return bits;
}

std::uint32_t GDriverSettings::PaperSizeFails(const GDevModeView& in, GAttributeComposite* job,
                                              std::uint32_t angle, std::uint16_t x,
                                              std::uint16_t y) {
  // The user-defined size (256) is the printer's when its width and length lie
  // within the limits, which CustomSizeFails judges. Mended
  // (docs/mended-behaviour.md): the job query takes the user-defined size.
  if (!in.HasField(kDmPaperSizeBit, kDmPaperSize) ||
      in.U16(kDmPaperSize) == kCustomSizeFormNumber) {
    return 0;
  }
  GDriverDataImp& driver_data = *GetDriverData();
  const std::uint16_t paper = in.U16(kDmPaperSize);
  if (!driver_data.IsFormUsable(angle, x, y, 1, paper) &&
      !(SignedValueOr(job, kPaperCheckKey, 0) != 0 &&
        driver_data.IsFormUsable(angle, x, y, 0, paper))) {
    return kDmPaperSizeBit;
  }
  return 0;
}

std::uint32_t GDriverSettings::DefaultSourceFails(const GDevModeView& in,
                                                  GAttributeComposite* job) {
  if (!in.HasField(kDmDefaultSourceBit, kDmDefaultSource)) return 0;
  auto* table = FindOfClass<GFormToTrayDatabase>(job, kFormToTrayKey);
  if (!table) return 0;
  GDriverDataImp& driver_data = *GetDriverData();
  const std::uint16_t source = in.U16(kDmDefaultSource);
  const bool known = table->HasNonDefaultAssociation()
                         ? source == kDmFormSource
                         : source != kDmFormSource && (driver_data.HasTrayMapping(source) ||
                                                       driver_data.HasResourceMapping(source));
  return known ? 0 : kDmDefaultSourceBit;
}

std::uint32_t GDriverSettings::DuplexFails(const GDevModeView& in, GAttributeComposite* job) {
  if (!in.HasField(kDmDuplexBit, kDmDuplex)) return 0;
  const bool portrait =
      static_cast<std::int16_t>(LoadU16(Record(), kDmOrientation)) != kDmLandscape;
  const std::int16_t duplex = in.I16(kDmDuplex);
  std::int16_t value = -1;
  if (duplex == kDmSimplex) value = 0;
  if (duplex == kDmVertical) value = portrait ? 2 : 1;
  if (duplex == kDmHorizontal) value = portrait ? 1 : 2;
  auto* range = FindOfClass<GRangeAttribute>(job, kDuplexRangeKey);
  return value < 0 || !range || !range->Contains(value) ? kDmDuplexBit : 0;
}

std::uint32_t GDriverSettings::FormNameFails(const GDevModeView& in, std::uint32_t angle,
                                             std::uint16_t x, std::uint16_t y) {
  return in.HasField(kDmFormNameBit, kDmFormName, 2 * kDmNameUnits) &&
                 !IsKnownFormName(in.Name(kDmFormName), angle, x, y, FormTableCheck())
             ? kDmFormNameBit
             : 0;
}

int GDriverSettings::IsKnownFormName(const RWWString&, std::uint32_t, std::uint16_t, std::uint16_t,
                                     int) {
  return 0;
}

int GDriverSettings::FormTableCheck() {
  return SignedValueOr(JobSettings(), kScaleFromLargePaperKey, 0) != 0 ? 0 : 1;
}

int GDriverSettings::QualityToResolution(std::int16_t quality, std::uint16_t& x, std::uint16_t& y,
                                         std::uint16_t& third, GAttributeComposite* model) {
  GAttributeComposite* table = FindComposite(JobSettings(), kQualityTableKey);
  int found = 0;
  ForEachEntry(table ? table : GetDriverData()->GetResolutionList(), [&](MPersistentObject* entry) {
    if (SignedValueOr(entry, kQualityKey, kNoQuality) != quality) return true;
    x = static_cast<std::uint16_t>(SignedValueOr(entry, kXResolutionKey, 0));
    y = static_cast<std::uint16_t>(SignedValueOr(entry, kYResolutionKey, 0));
    third = static_cast<std::uint16_t>(SignedValueOr(entry, kResolutionModeKey, 0));
    if (table) WriteFurther(entry, model);
    found = 1;
    return false;
  });
  return found;
}

int GDriverSettings::ResolutionToQuality(std::uint16_t x, std::uint16_t y, std::int16_t& quality,
                                         GAttributeComposite* model) {
  GAttributeComposite* table = FindComposite(JobSettings(), kQualityTableKey);
  MPersistentObject* match = nullptr;
  MPersistentObject* near = nullptr;  // the last that failed only on a further attribute
  ForEachEntry(table ? table : GetDriverData()->GetResolutionList(), [&](MPersistentObject* entry) {
    if (!HasResolution(entry, x, y) || !FindValueAttribute(entry, kQualityKey)) return true;
    if (!table || FurtherMatch(entry, model)) {
      match = entry;
      return false;
    }
    near = entry;
    return true;
  });
  if (!match && near) {
    match = near;
    WriteFurther(near, model);
  }
  if (!match) return 0;
  quality = static_cast<std::int16_t>(SignedValueOr(match, kQualityKey, 0));
  return 1;
}

void GDriverSettings::ResetForPaper(GAttributeComposite* model, std::uint16_t code) {
  GDriverDataImp& driver_data = *GetDriverData();
  GAttributeComposite* group = FindComposite(model, kResolutionKey);
  const auto x =
      static_cast<std::uint16_t>(SignedValueOr(group, kXResolutionKey, kResetResolution));
  const auto y =
      static_cast<std::uint16_t>(SignedValueOr(group, kYResolutionKey, kResetResolution));
  const auto angle = static_cast<std::uint32_t>(SignedValueOr(model, kOrientationKey, 0) & 0xFFFF);
  std::uint16_t number = 0;
  if (!driver_data.PaperIdToFormIndex(code, number) ||
      driver_data.IsFormUsable(angle, x, y, 1, number)) {
    return;
  }
  std::uint16_t paper = 1;
  switch (driver_data.NormalizePaperId(model, code)) {
    case 22:
    case 39:
    case 65:
    case 66:
      paper = 23;
      break;
    case 31:
      paper = 21;
      break;
    case 44: {
      std::uint16_t form = 0;
      paper = 43;
      if (driver_data.PaperIdToFormIndex(43, form)) driver_data.FormIndexToPaperId(form, paper);
      break;
    }
    case 64:
      paper = 22;
      break;
    default:  // 21, 62 and every other paper
      break;
  }
  SetValueIfPresent(model, kTargetPaperSizeKey, paper);
  SetValueIfPresent(model, kScalePageChoiceKey, 1);
  SetValueIfPresent(model, kFitToOtherSizeKey, 1);
  ResetPaperDependents(model);
}

void GDriverSettings::ResetPaperDependents(GAttributeComposite* model) {
  SetValueIfPresent(model, kPagesPerSheetKey, 1);
  SetValueIfPresent(model, kScalePercentKey, 100);
  MPersistentObject* entry = FindOfClass<MPersistentObject>(JobSettings(), kCapabilitiesKey);
  auto* capabilities = FindOfClass<GCapabilities>(entry, kModeCapabilitiesKey);
  if (SignedValueOr(model, kTrueTypeAsBitmapKey, 0) != 0 &&
      !(capabilities && capabilities->HasCapability(0))) {
    SetValueIfPresent(model, kTrueTypeAsBitmapKey, 0);
  }
  SetValueIfPresent(model, kBookletKey, 0);
}
