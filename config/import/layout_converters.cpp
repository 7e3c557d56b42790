#include "config/import/layout_converters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/finishing_converters.h"
#include "config/import/paper_converters.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr char16_t kTrue[] = u"TRUE";

}  // namespace

GBookletPrintingChoiceConverter::GBookletPrintingChoiceConverter(GQCFLibrary* store)
    : GTableConverter(store, kBookletPrintingChoiceDescriptor) {}

std::uint32_t GBookletPrintingChoiceConverter::Apply(GAttributeComposite* root,
                                                     GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (!found.read || found.attribute == nullptr || found.attribute->GetValue() == 0) return result;
  GValueAttribute* n_up = FindValueAttribute(found.group, kPagesPerSheetKey);
  if (n_up != nullptr && n_up->GetValue() != 1) {
    n_up->SetValue(1);
    if (GValueAttribute* recorded = FindValueAttribute(destination, kPagesPerSheetKey))
      recorded->SetValue(1);
  }
  return result;
}

GTextAsBlackConverter::GTextAsBlackConverter(GQCFLibrary* store)
    : GTableConverter(store, kTextAsBlackDescriptor) {}

std::uint32_t GTextAsBlackConverter::Apply(GAttributeComposite* root,
                                           GAttributeComposite* destination) {
  if (FindPath(root, kDocumentSettingsPath) == nullptr) return 0;
  return GTableConverter::Apply(root, destination);
}

std::uint32_t GTextAsBlackConverter::Extract(GAttributeComposite* root) {
  if (FindPath(root, kDocumentSettingsPath) == nullptr) return 0;
  return GTableConverter::Extract(root);
}

// --- N-up.

GNUpChoiceConverter::GNUpChoiceConverter(GQCFLibrary* store)
    : GTableConverter(store, kNUpChoiceDescriptor) {}

std::uint32_t GNUpChoiceConverter::Apply(GAttributeComposite* root,
                                         GAttributeComposite* destination) {
  // Booklet printing keeps one page per sheet.
  GValueAttribute* booklet = FindValueAttribute(FindPath(root, kDocumentSettingsPath), kBookletKey);
  if (booklet != nullptr && booklet->GetValue() != 0) return 0;
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.read) {
    ApplyOnce<GNUpPageOrderChoiceConverter>(root, destination, FeatureStore());
    ApplyOnce<GNUpBordersChoiceConverter>(root, destination, FeatureStore());
  }
  return result;
}

std::uint32_t GNUpChoiceConverter::Extract(GAttributeComposite* root) {
  const std::uint32_t result = ExtractCommon(root, Binding());
  GValueAttribute* n_up = LocateForExtract(root, Binding());
  if (n_up != nullptr && n_up->GetValue() != kOneUp) {
    ExtractOnce<GNUpPageOrderChoiceConverter>(root, FeatureStore());
    ExtractOnce<GNUpBordersChoiceConverter>(root, FeatureStore());
  }
  return result;
}

// --- Fit to another size.

GFitToOtherSizeChoiceConverter::GFitToOtherSizeChoiceConverter(GQCFLibrary* store,
                                                               GDriverData* driver_data)
    : GTableConverter(store, kFitToOtherSizeChoiceDescriptor), driver_data_(driver_data) {}

std::uint32_t GFitToOtherSizeChoiceConverter::Apply(GAttributeComposite* root,
                                                    GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.row != nullptr && found.row->code == kFitToOtherSize) {
    ApplyOnce<GPaperSizeConverter>(root, destination, FeatureStore(), driver_data_, kRestSelector);
  }
  return result;
}

std::uint32_t GFitToOtherSizeChoiceConverter::Extract(GAttributeComposite* root) {
  const std::uint32_t result = ExtractCommon(root, Binding());
  if (result != 0 && LocateForExtract(root, Binding())->GetValue() == kFitToOtherSize) {
    ExtractOnce<GPaperSizeConverter>(root, FeatureStore(), driver_data_, kRestSelector);
  }
  return result;
}

// --- Duplex.

GDuplexConverter::GDuplexConverter(GQCFLibrary* store)
    : GTableConverter(store, kDuplexDescriptor) {}

std::uint32_t GDuplexConverter::Apply(GAttributeComposite* root, GAttributeComposite* destination) {
  MPersistentObject* installed = FindPath(root, kInstalledOptionsPath);
  GValueAttribute* manual = FindValueAttribute(installed, kManualDuplexDescriptor.attribute_key);
  GValueAttribute* unit = FindValueAttribute(installed, kDuplexUnitKey);
  std::uint32_t result = 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if ((manual != nullptr && manual->GetValue() != 0) ||
      (unit != nullptr && unit->GetValue() == 1)) {
    if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
    // Duplex on: the edge decides, when the store has it.
    if (WideStringsEqual(buffer.Data(), kTrue) != 0 && SelectKey(kEdgeKey) != 0 &&
        ReadCurrentWord(buffer) == 0) {
      return 0;
    }
    GApplyOutcome found;
    GValueAttribute* duplex = Locate(root, Binding(), found);
    if (duplex == nullptr) return 0;
    if (const GOptionRow* row = MatchWord(Binding().rows, buffer.Data())) {
      duplex->SetValue(row->code);
      result = 1;
    } else if (WideStringsEqual(buffer.Data(), kTrue) != 0) {
      duplex->SetValue(kLongEdge);
    }
    RecordCopy(destination, *duplex);
    if (duplex->GetValue() != 0) {
      GValueAttribute* order = FindValueAttribute(found.group, kPageOrderKey);
      if (order != nullptr && order->GetValue() == 0) {
        order->SetValue(1);
        RecordCopy(destination, *order);
      }
      if (ApplyOnce<GAutoDuplexScalingConverter>(root, destination, FeatureStore()) != 0) {
        result = 1;
      }
    }
  }
  if (RecordLockWhenLocked(root, Binding().apply_key, Binding().attribute_key, buffer, true)) {
    result = 1;
  }
  return result;
}

std::uint32_t GDuplexConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* duplex = LocateForExtract(root, Binding());
  if (duplex == nullptr) return 0;
  std::uint32_t result = 0;
  if (const GOptionRow* row = RowOfCode(Binding().rows, duplex->GetValue())) {
    if (duplex->GetValue() == 0) {
      WriteWord(Binding().ExtractKey(), row->word);
    } else {
      WriteWord(Binding().ExtractKey(), kTrue);
      WriteWord(kEdgeKey, row->word);
    }
    result = 1;
  }
  if (ExtractOnce<GAutoDuplexScalingConverter>(root, FeatureStore()) != 0) result = 1;
  return result;
}
