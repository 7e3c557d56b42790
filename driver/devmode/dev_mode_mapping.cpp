// GDriverSettings: the public fields and the model attributes, both ways
// (see driver_settings.h), and the bin and form-name look-ups the default
// source goes through.
#include <algorithm>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/copies_range.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media_pool.h"
#include "driver/devmode/driver_settings.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "driver/spooler_forms.h"
#include "persist/resource_mapping.h"

namespace {

// Application flag: non-custom paper sizes are written in tenths of a
// millimetre too.
constexpr std::uint32_t kPaperDimensionsAppFlag = 0x200;

GValueAttribute* Value(GAttributeComposite* model, std::uint32_t key) {
  return FindValueAttribute(model, key);
}

bool IsPortraitAngle(std::int32_t angle) {
  return angle != 90 && angle != 270;
}

// Whether the allowed angles (kAllowedAnglesKey) of `job` (may be null) hold
// `angle`.
bool IsAllowedAngle(GAttributeComposite* job, std::uint16_t angle) {
  GAttributeComposite* allowed = FindComposite(job, kAllowedAnglesKey);
  const RWSize count = allowed ? allowed->Children().Count() : 0;
  for (RWSize i = 0; i < count; ++i) {
    auto* entry = dynamic_cast<GValueAttribute*>(allowed->Children()[i].Get());
    if (entry && entry->GetValue() == angle) return true;
  }
  return false;
}

// A record writer: each field written sets its bit.
struct FieldWriter {
  std::uint8_t* out;
  void Put(std::size_t offset, std::int32_t value, std::uint32_t bit) const {
    StoreU16(out, offset, static_cast<std::uint16_t>(value));
    SetFieldBit(out, bit, true);
  }
  void Put32(std::size_t offset, std::uint32_t value, std::uint32_t bit) const {
    StoreU32(out, offset, value);
    SetFieldBit(out, bit, true);
  }
  void Clear(std::uint32_t bit) const { SetFieldBit(out, bit, false); }
};

// The first mapping of the driver data's resource mappings, then of its bin
// list, whose system number (or, by tray, second number) matches.
struct BinSearch {
  bool by_tray = false;
  std::uint16_t number = 0;
  bool found = false;
  bool named = false;  // from the bin list, with the name of its entry
  std::uint16_t system_number = 0;
  std::int16_t tray = 0;
  RWWString name;
};

int MatchBin(GResourceMapping* mapping, const RWWString* name, std::uint32_t, void* data,
             std::uint32_t& reported) {
  auto& search = *static_cast<BinSearch*>(data);
  const std::uint16_t number = search.by_tray ? static_cast<std::uint16_t>(mapping->SecondNumber())
                                              : mapping->SystemNumber();
  if (number != search.number) return 1;
  search.found = true;
  search.named = name != nullptr;
  if (name) search.name = *name;
  search.system_number = mapping->SystemNumber();
  search.tray = mapping->SecondNumber();
  reported = 1;
  return 0;
}

BinSearch FindBin(GDriverDataImp& driver_data, bool by_tray, std::uint16_t number) {
  BinSearch search;
  search.by_tray = by_tray;
  search.number = number;
  std::uint32_t index = 0;
  driver_data.EnumResourceNames(&MatchBin, &search, 0, index);
  return search;
}

GResourceMappingList* TrayMap(GDriverDataImp& driver_data) {
  return dynamic_cast<GResourceMappingList*>(driver_data.GetTrayMap());
}

// The model -> record steps of a few lines (see PublicFromSettings).
void OrientationToPublic(GAttributeComposite* model, GAttributeComposite* job,
                         const FieldWriter& write) {
  if (GValueAttribute* angle = Value(model, kOrientationKey)) {
    const std::uint16_t degrees = angle->GetValue();
    if (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270) {
      // Mended (docs/mended-behaviour.md): the angle is read through the flip
      // modifier.
      write.Put(kDmOrientation, IsLandscapeAngle(job, degrees) ? kDmLandscape : kDmPortrait,
                kDmOrientationBit);
    } else {
      SetFieldBit(write.out, kDmOrientationBit, true);
    }
  } else {
    write.Clear(kDmOrientationBit);
  }
}

void CopiesToPublic(GAttributeComposite* model, const FieldWriter& write) {
  if (GValueAttribute* copies = Value(model, kCopiesKey)) {
    write.Put(kDmCopies, copies->GetValue(), kDmCopiesBit);
  } else {
    write.Clear(kDmCopiesBit);
  }
}

void DuplexToPublic(GAttributeComposite* model, const FieldWriter& write) {
  if (GValueAttribute* duplex = Value(model, kDuplexKey)) {
    const bool portrait = IsPortraitAngle(SignedValueOr(model, kOrientationKey, 0));
    std::int16_t field = kDmSimplex;
    if (duplex->GetValue() == 1) field = portrait ? kDmHorizontal : kDmVertical;
    if (duplex->GetValue() == 2) field = portrait ? kDmVertical : kDmHorizontal;
    write.Put(kDmDuplex, field, kDmDuplexBit);
  } else {
    write.Clear(kDmDuplexBit);
  }
}

void CollateToPublic(GAttributeComposite* model, GAttributeComposite* job,
                     const FieldWriter& write) {
  if (SignedValueOr(job, kCollationAvailableKey, 0) != 0) {
    write.Put(kDmCollate, SignedValueOr(model, kCollateKey, 0) == 1 ? 1 : 0, kDmCollateBit);
  } else {
    write.Clear(kDmCollateBit);
    StoreU16(write.out, kDmCollate, 0);
  }
}

void IcmMethodToPublic(GAttributeComposite* model, const FieldWriter& write) {
  if (GValueAttribute* icm = Value(model, kIcmKey)) {
    if (icm->GetValue() != 1) {
      write.Put32(kDmICMMethod, 1, kDmICMMethodBit);
    } else if (GValueAttribute* method = Value(model, kIcmMethodKey)) {
      const std::int16_t value = static_cast<std::int16_t>(method->GetValue());
      if (value == 0) {
        write.Put32(kDmICMMethod, 1, kDmICMMethodBit);
      } else if (value >= 1 && value <= 3) {
        write.Put32(kDmICMMethod, 2, kDmICMMethodBit);
        StoreU32(write.out, kDmICMIntent, 2);
      } else {
        write.Clear(kDmICMMethodBit);
      }
    } else {
      write.Clear(kDmICMMethodBit);
    }
  } else {
    write.Clear(kDmICMMethodBit);
  }
}

void IcmIntentToPublic(GAttributeComposite* model, const FieldWriter& write) {
  if (GValueAttribute* intent = Value(model, kIcmIntentKey)) {
    const std::int16_t value = static_cast<std::int16_t>(intent->GetValue());
    if (IcmIntentField(value) != 0) {
      write.Put32(kDmICMIntent, IcmIntentField(value), kDmICMIntentBit);
    } else {
      write.Clear(kDmICMMethodBit);
    }
  } else {
    write.Clear(kDmICMIntentBit);
  }
}

// The record -> model steps of a few lines (see SettingsFromPublic).
void CopiesFromPublic(const GDevModeView& in, GAttributeComposite* job,
                      GAttributeComposite* model) {
  if (in.HasField(kDmCopiesBit, kDmCopies)) {
    // Into the printer's copies range, at least 1.
    // Mended (docs/mended-behaviour.md): brought down into the range too.
    std::int16_t copies = std::max<std::int16_t>(in.I16(kDmCopies), 1);
    const GCopiesRange range = GCopiesRange::Of(job);
    copies = std::clamp(copies, range.Minimum(), std::max(range.Minimum(), range.Maximum()));
    SetValueIfPresent(model, kCopiesKey, copies);
  }
}

void DuplexFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  if (in.HasField(kDmDuplexBit, kDmDuplex)) {
    if (GValueAttribute* duplex = Value(model, kDuplexKey)) {
      const bool portrait = IsPortraitAngle(SignedValueOr(model, kOrientationKey, 0));
      const std::int16_t field = in.I16(kDmDuplex);
      std::uint16_t value = 0;
      if (field == kDmVertical) value = portrait ? 2 : 1;
      if (field == kDmHorizontal) value = portrait ? 1 : 2;
      duplex->SetValue(value);
      if (GValueAttribute* source = value ? Value(model, kAutoDuplexScalingKey) : nullptr)
        SetValueIfPresent(model, kSymmetricalMarginsKey, source->GetValue() == 1 ? 1 : 0);
    }
  }
}

void CollateFromPublic(const GDevModeView& in, GAttributeComposite* job,
                       GAttributeComposite* model) {
  // Runs with the bit clear too: a record without collation collates not.
  if (GValueAttribute* collate = Value(model, kCollateKey)) {
    const std::int16_t field =
        in.HasField(kDmCollateBit, kDmCollate) ? in.I16(kDmCollate) : std::int16_t{0};
    if (field == 0) collate->SetValue(0);
    if (field == 1) collate->SetValue(SignedValueOr(job, kCollationAvailableKey, 0) != 0 ? 1 : 0);
  }
}

void IcmFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  if (SignedValueOr(model, kIcmKey, 0) == 1) {
    if (in.HasField(kDmICMMethodBit, kDmICMMethod, 4)) {
      const std::uint32_t method = in.U32(kDmICMMethod);
      SetValueIfPresent(model, kIcmMethodKey, method >= 2 && method <= 4 ? 1 : 0);
    }
    if (in.HasField(kDmICMIntentBit, kDmICMIntent, 4)) {
      constexpr std::int32_t kIntents[] = {0, 1, 0, 2, 3};
      const std::uint32_t intent = in.U32(kDmICMIntent);
      SetValueIfPresent(model, kIcmIntentKey, intent <= 4 ? kIntents[intent] : 0);
    }
  }
}

}  // namespace

void GDriverSettings::ModelResolution(GAttributeComposite* model, std::uint16_t& x,
                                      std::uint16_t& y) {
  x = static_cast<std::uint16_t>(SignedValueOr(model, kXResolutionKey, 0));
  y = static_cast<std::uint16_t>(SignedValueOr(model, kYResolutionKey, 0));
}

int GDriverSettings::PublicFromSettings(GAttributeComposite* model, platform::DevModeW* record) {
  if (!model || !record) return 0;
  const FieldWriter write{DevModeBytes(record)};
  GAttributeComposite* job = JobSettings();
  OrientationToPublic(model, job, write);
  PaperSizeToPublic(model, write.out);
  CopiesToPublic(model, write);
  DefaultSourceToPublic(model, write.out);
  ResolutionToPublic(model, write.out);
  ColorToPublic(model, write.out);
  DuplexToPublic(model, write);
  CollateToPublic(model, job, write);
  IcmMethodToPublic(model, write);
  IcmIntentToPublic(model, write);
  return 1;
}

void GDriverSettings::DefaultSourceToPublic(GAttributeComposite* model, std::uint8_t* out) {
  const FieldWriter write{out};
  bool have_bin = false;
  std::uint16_t bin = 0;
  GResourceMappingList* trays = TrayMap(*GetDriverData());
  GValueAttribute* tray = Value(model, kPaperSourceKey);
  if (GResourceMapping* mapping =
          tray && trays ? trays->FindBySecondNumber(static_cast<std::int16_t>(tray->GetValue()))
                        : nullptr) {
    bin = mapping->SystemNumber();
    have_bin = true;
  }
  if (GStringAttribute* form = FindStringAttribute(model, kMediaTypeKey)) {
    std::uint16_t form_bin = 0;
    if (FormNameToBin(model, form->GetValue(), form_bin)) {
      bin = form_bin;
      have_bin = true;
    }
  }
  have_bin ? write.Put(kDmDefaultSource, bin, kDmDefaultSourceBit)
           : write.Clear(kDmDefaultSourceBit);
}

void GDriverSettings::ColorToPublic(GAttributeComposite* model, std::uint8_t* out) {
  const FieldWriter write{out};
  std::int16_t colour = kDmColour;
  if (SignedValueOr(model, kColorPossibleKey, 0) != 0) {
    const std::int32_t mode = SignedValueOr(model, kPrintColorAsGrayKey, -1);
    colour = mode == 3 || mode == 1 ? kDmMonochrome : kDmColour;
  }
  write.Put(kDmColor, colour, kDmColorBit);
  const std::int32_t cached = GetDriverData()->GetCachedValue();
  if (cached != 0 && cached != 1) write.Clear(kDmColorBit);
}

void GDriverSettings::PaperSizeToPublic(GAttributeComposite* model, std::uint8_t* out) {
  const FieldWriter write{out};
  GValueAttribute* code = Value(model, kPaperSizeKey);
  std::uint16_t number = 0;
  if (code && GetDriverData()->PaperIdToFormIndex(code->GetValue(), number)) {
    write.Put(kDmPaperSize, number, kDmPaperSizeBit);
  } else {
    write.Clear(kDmPaperSizeBit);
  }
  write.Clear(kDmPaperWidthBit);
  write.Clear(kDmPaperLengthBit);
  if (!code) return;
  if (code->GetValue() == kCustomSizePaperId) {
    if (GValueAttribute* width = Value(model, kCustomWidthKey))
      write.Put(kDmPaperWidth, width->GetValue(), kDmPaperWidthBit);
    if (GValueAttribute* length = Value(model, kCustomHeightKey))
      write.Put(kDmPaperLength, length->GetValue(), kDmPaperLengthBit);
    return;
  }
  if (!(GetDriverData()->GetAppFlags() & kPaperDimensionsAppFlag)) return;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  ModelResolution(model, x, y);
  GMediaPool* pool = GetDriverData()->GetSymmetricMediaPool();
  if (GMedia* medium = pool ? pool->FindByPaperSizeId(code->GetValue(), 0, x, y) : nullptr) {
    write.Put(kDmPaperWidth, DotsToTenths(medium->GetPaperSize().width, x), kDmPaperWidthBit);
    write.Put(kDmPaperLength, DotsToTenths(medium->GetPaperSize().height, y), kDmPaperLengthBit);
  }
}

void GDriverSettings::ResolutionToPublic(GAttributeComposite* model, std::uint8_t* out) {
  const FieldWriter write{out};
  GValueAttribute* x = Value(model, kXResolutionKey);
  GValueAttribute* y = Value(model, kYResolutionKey);
  write.Clear(kDmPrintQualityBit);
  write.Clear(kDmYResolutionBit);
  if (!x || !y) return;
  GValueAttribute* quality = Value(model, kQualityKey);
  if (!quality || static_cast<std::int16_t>(quality->GetValue()) > 0) {
    write.Put(kDmPrintQuality, x->GetValue(), kDmPrintQualityBit);
    write.Put(kDmYResolution, y->GetValue(), kDmYResolutionBit);
    return;
  }
  std::int16_t code = 0;
  if (ResolutionToQuality(x->GetValue(), y->GetValue(), code, model))
    write.Put(kDmPrintQuality, code, kDmPrintQualityBit);
}

int GDriverSettings::SettingsFromPublic(const platform::DevModeW* record,
                                        GAttributeComposite* model) {
  if (!record || !model) return 0;
  const GDevModeView in(record);
  GAttributeComposite* job = JobSettings();

  if (in.HasField(kDmOrientationBit, kDmOrientation))
    OrientationFromPublic(in.I16(kDmOrientation), model);
  PaperSizeFromPublic(in, model);
  CustomSizeFromPublic(in, model);
  CopiesFromPublic(in, job, model);
  DefaultSourceFromPublic(in, model);
  ResolutionFromPublic(in, model);
  ColorFromPublic(in, model);
  DuplexFromPublic(in, model);
  CollateFromPublic(in, job, model);
  IcmFromPublic(in, model);
  return 1;
}

void GDriverSettings::PaperSizeFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  GDriverDataImp& driver_data = *GetDriverData();
  std::uint16_t code = 0;
  if (in.HasField(kDmPaperSizeBit, kDmPaperSize) &&
      driver_data.FormIndexToPaperId(in.U16(kDmPaperSize), code)) {
    GValueAttribute* current = Value(model, kPaperSizeKey);
    // The reset reads the paper it replaces: it runs before kPaperSizeKey
    // changes.
    if (SignedValueOr(driver_data.GetDefaultSettings(), kPaperCheckKey, 0) == 1 &&
        Value(model, kFitToOtherSizeKey) && (!current || current->GetValue() != code)) {
      ResetForPaper(model, code);
    }
    if (current) current->SetValue(code);
  }
}

void GDriverSettings::DefaultSourceFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  if (in.HasField(kDmDefaultSourceBit, kDmDefaultSource)) {
    const std::uint16_t bin = in.U16(kDmDefaultSource);
    GResourceMappingList* trays = TrayMap(*GetDriverData());
    RWCString form;
    if (GResourceMapping* mapping = trays ? trays->FindBySystemNumber(bin) : nullptr) {
      SetValueIfPresent(model, kPaperSourceKey, mapping->SecondNumber());
    } else if (FormNameForBin(model, bin, form)) {
      if (GStringAttribute* name = FindStringAttribute(model, kMediaTypeKey)) name->SetValue(form);
    }
  }
}

void GDriverSettings::ColorFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  if (in.HasField(kDmColorBit, kDmColor) && SignedValueOr(model, kColorPossibleKey, 0) == 1) {
    const std::int32_t cached = GetDriverData()->GetCachedValue();
    const std::int16_t colour = in.I16(kDmColor);
    if (colour == kDmMonochrome)
      SetValueIfPresent(model, kPrintColorAsGrayKey, cached == 2 ? 3 : 1);
    if (colour == kDmColour)
      SetValueIfPresent(model, kPrintColorAsGrayKey, cached == 1 ? 0 : cached == 0 ? 1 : 3);
  }
}

void GDriverSettings::OrientationFromPublic(std::int16_t orientation, GAttributeComposite* model) {
  GValueAttribute* angle = Value(model, kOrientationKey);
  std::uint16_t chosen = 0;
  if (angle && ChooseOrientationAngle(JobSettings(), angle->GetValue(), orientation == kDmLandscape,
                                      chosen)) {
    angle->SetValue(chosen);
  }
}

bool ChooseOrientationAngle(GAttributeComposite* job, std::uint16_t current, bool landscape,
                            std::uint16_t& angle) {
  const bool turned = current == 180 || current == 270;
  const bool flip = SignedValueOr(job, kOrientationFlipKey, 0) != 0;
  std::uint16_t target = landscape != flip ? 90 : 0;
  if (turned) target = landscape ? 270 : 180;
  const std::uint16_t alternative = landscape ? 90 : 0;
  if (!IsAllowedAngle(job, target) && !IsAllowedAngle(job, alternative)) return false;
  angle = IsAllowedAngle(job, target) ? target : alternative;
  return true;
}

bool IsLandscapeAngle(GAttributeComposite* job, std::uint16_t angle) {
  const bool flip = SignedValueOr(job, kOrientationFlipKey, 0) != 0;
  return angle == 270 || angle == (flip ? 0 : 90);
}

void GDriverSettings::ResolutionFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  if (!in.HasField(kDmPrintQualityBit, kDmPrintQuality)) return;
  const std::int16_t quality = in.I16(kDmPrintQuality);
  const bool y_given = in.HasField(kDmYResolutionBit, kDmYResolution);
  if (!y_given && quality >= 0) return;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  ModelResolution(model, x, y);
  if (quality < 0) {
    std::uint16_t found_x = 0;
    std::uint16_t found_y = 0;
    std::uint16_t third = 0;
    if (QualityToResolution(quality, found_x, found_y, third, model)) {
      x = found_x;
      y = found_y;
    }
  } else if (GetDriverData()->IsResolutionSupported(static_cast<std::uint16_t>(quality),
                                                    in.U16(kDmYResolution))) {
    x = static_cast<std::uint16_t>(quality);
    y = in.U16(kDmYResolution);
  }
  std::int16_t code = 0;
  if (GValueAttribute* stored = Value(model, kQualityKey)) {
    if (ResolutionToQuality(x, y, code, model)) stored->SetValue(static_cast<std::uint16_t>(code));
  }
  SetValueIfPresent(model, kXResolutionKey, x);
  SetValueIfPresent(model, kYResolutionKey, y);
  GAttributeComposite* list = GetDriverData()->GetResolutionList();
  const RWSize count = list ? list->Children().Count() : 0;
  for (RWSize i = 0; i < count; ++i) {
    MPersistentObject* entry = list->Children()[i].Get();
    if (SignedValueOr(entry, kXResolutionKey, -1) != x ||
        SignedValueOr(entry, kYResolutionKey, -1) != y) {
      continue;
    }
    for (std::uint32_t key : {kResolutionModeKey, kPaperCheckKey}) {
      if (GValueAttribute* from = FindValueAttribute(entry, key))
        SetValueIfPresent(model, key, from->GetValue());
    }
    return;
  }
}

void GDriverSettings::CustomSizeFromPublic(const GDevModeView& in, GAttributeComposite* model) {
  const bool width = in.HasField(kDmPaperWidthBit, kDmPaperWidth);
  const bool length = in.HasField(kDmPaperLengthBit, kDmPaperLength);
  if ((!width && !length) || SignedValueOr(model, kPaperSizeKey, 0) != kCustomSizePaperId) return;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  ModelResolution(model, x, y);
  std::int32_t low[2];
  std::int32_t high[2];
  CustomSizeLimits(x, y, low[0], low[1], high[0], high[1]);
  const struct {
    bool given;
    std::size_t offset;
    std::uint32_t key;
  } sides[] = {{width, kDmPaperWidth, kCustomWidthKey}, {length, kDmPaperLength, kCustomHeightKey}};
  for (int i = 0; i < 2; ++i) {
    if (!sides[i].given) continue;
    const auto value = static_cast<std::uint16_t>(
        std::max(low[i], std::min<std::int32_t>(in.I16(sides[i].offset), high[i])));
    if (GValueAttribute* attribute = Value(model, sides[i].key)) {
      attribute->SetValue(value);
    } else {
      model->AddChild(new GValueAttribute(value, sides[i].key));
      if (model == GetSettings()) MarkModelGrown();
    }
  }
}

int GDriverSettings::FormNameForBin(GAttributeComposite* model, std::uint16_t bin,
                                    RWCString& name) {
  const BinSearch search = FindBin(*GetDriverData(), false, bin);
  if (!search.found) return 0;
  if (search.named) {
    name = search.name.ToMultiByte();
    return 1;
  }
  auto* forms = FindOfClass<GFormToTrayDatabase>(model, kBinFormsKey);
  RWWString form;
  if (!forms ||
      !GFormToTrayLinks(*forms).GetFormNameOfTray(static_cast<std::uint16_t>(search.tray), form)) {
    return 0;
  }
  name = form.ToMultiByte();
  return 1;
}

int GDriverSettings::FormNameToBin(GAttributeComposite* model, const RWCString& name,
                                   std::uint16_t& bin) {
  auto* forms = FindOfClass<GFormToTrayDatabase>(model, kBinFormsKey);
  std::uint16_t tray = 0;
  if (!forms || !GFormToTrayLinks(*forms).FindTrayOfFormName(RWWString::FromMultiByte(name), tray))
    return 0;
  const BinSearch search = FindBin(*GetDriverData(), true, tray);
  if (!search.found) return 0;
  bin = search.system_number;
  return 1;
}
