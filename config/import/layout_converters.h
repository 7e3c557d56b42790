// Table converters of the page layout that do a step of their own beyond
// the common ones.
//
// GBookletPrintingChoiceConverter ("printing/BookletPrintingChoice",
// kDocumentSettingsKey -> kBookletKey): booklet printing forces one page per
// sheet. Once a word was read, matched or not, a booklet value other than 0
// sets the N-up choice (kPagesPerSheetKey in kDocumentSettingsKey) to 1 when it
// holds another value, and the N-up choice that the destination already
// recorded too.
//
// GTextAsBlackConverter ("printing/TextAsBlack"): the common steps on the
// first attribute kTextAsBlackKey found from the model root, wherever the model
// keeps it; both ways need the document settings (kDocumentSettingsKey) to
// exist.
//
// GNUpChoiceConverter ("printing/NUpChoice", kDocumentSettingsKey ->
// kPagesPerSheetKey): with booklet printing on (kBookletKey in
// kDocumentSettingsKey not 0) apply answers 0 and changes nothing. Otherwise
// the common steps and then, once a word was read, matched or not, the
// page-order and borders sub-keys (GNUpPageOrderChoiceConverter,
// kDocumentSettingsKey -> kNupPageOrderKey, and GNUpBordersChoiceConverter,
// kDocumentSettingsKey -> kNupBordersKey), whose answers do not change this
// one's. Extract runs theirs after its own when the value is not 1 (one page
// per sheet has neither).
//
// GFitToOtherSizeChoiceConverter ("printing/FitToOtherSizeChoice",
// kDocumentSettingsKey -> kFitToOtherSizeKey): fitting to another size (1) also
// runs the paper-size converter of the target size (paper_converters.h,
// selector 1), both ways.
//
// GDuplexConverter ("printing/Duplex", kDocumentSettingsKey -> kDuplexKey):
// only with manual duplex enabled (kManualDuplexKey in kInstalledOptionsKey not
// 0) or the duplex unit installed (kDuplexUnitKey in kInstalledOptionsKey at
// 1). The word "TRUE" reads the edge ("printing/Duplex/DuplexEdge") instead
// when the store has it; "FALSE" sets 0, "ShortEdge" 1, "LongEdge" 2, and
// "TRUE" without a readable edge 2 (answering 0). A copy of kDuplexKey is
// recorded, matched or not; duplex on turns the page order (kPageOrderKey in
// kDocumentSettingsKey) from 0 to 1 and runs the duplex scaling
// (GAutoDuplexScalingConverter), whose change also answers 1. Whether or not
// duplex is possible, a lock of the key records a lock of kDuplexKey and
// answers 1. Extract writes "FALSE", or "TRUE" and the edge's word, then
// extracts the duplex scaling.
//
// Ownership: the fit-to-size converter's driver data is not owned and must
// outlive it; the rest as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GDriverData;

class GBookletPrintingChoiceConverter final : public GTableConverter {
 public:
  explicit GBookletPrintingChoiceConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GTextAsBlackConverter final : public GTableConverter {
 public:
  explicit GTextAsBlackConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GNUpChoiceConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kOneUp = 1;

  explicit GNUpChoiceConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GFitToOtherSizeChoiceConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kFitToOtherSize = 1;

  // REQUIRES: `driver_data` (null allowed) outlives the converter.
  GFitToOtherSizeChoiceConverter(GQCFLibrary* store, GDriverData* driver_data);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};

class GDuplexConverter final : public GTableConverter {
 public:
  static constexpr char16_t kEdgeKey[] = u"printing/Duplex/DuplexEdge";
  static constexpr std::uint16_t kLongEdge = 2;

  explicit GDuplexConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};
