// Table converters of the paper path and the finishing accessories that
// do a step of their own beyond the common ones. Steps that run "matched
// or not" run once a word was read, so that a missing key or an over-long
// word leaves the model as it was.
//
// GTray1Converter ("physical/Tray1", kInstalledOptionsKey -> kTray1Key): then
// the tray-1 mode (kTray1ModeKey in kInstalledOptionsKey) becomes 8 when
// kTray1Key holds 1, else 7, matched or not.
//
// GStraightPaperPathConverter ("printing/StraightPaperPath",
// kDocumentSettingsKey -> kStraightPaperPathKey): only with manual duplex
// enabled (kManualDuplexKey in kInstalledOptionsKey not 0); otherwise the store
// is not read.
//
// GAutoDuplexScalingConverter (kDocumentSettingsKey -> kAutoDuplexScalingKey):
// only with manual duplex enabled or the duplex unit (kDuplexUnitKey in
// kInstalledOptionsKey) at 1. Reads "printing/Duplex"; when that is "TRUE" and
// the store has "printing/Duplex/KVAutoDuplexScaling", that key's word instead;
// "FALSE" sets 1, "TRUE" 0. Then, matched or not, scaling on
// (kAutoDuplexScalingKey at 1) turns the symmetrical margins
// (kSymmetricalMarginsKey in kDocumentSettingsKey) on and records a copy.
// Extract writes the sub-key.
//
// GFoldingConverter ("printing/Folding", kDocumentSettingsKey -> kFoldingKey):
// a match also sets the folding unit (kFoldingUnitKey in kInstalledOptionsKey)
// to 3, unrecorded.
//
// GPostInsertionKitConverter: the two installed accessories that a name
// chooses, "KVPostInsertionKit" (kInstalledOptionsKey -> kPostInsertionKitKey)
// and "KVPunchUnitType" (kInstalledOptionsKey -> kPunchUnitTypeKey), each a
// value or a string attribute:
//   apply    a value attribute becomes 0 for the word "None" (or "none",
//            the word extract writes) and 1 for any other; a string
//            attribute takes the word as 8-bit text, empty for "None" or
//            "none" (a word of more than 127 bytes is refused). A copy is
//            recorded; answers 1.
//   extract  a value of 0 or an empty text writes "none"; a text writes
//            itself; a value of 1 writes the name (kOptionNameKey) of each
//            accessory record (kPrinterModelKey -> kAccessoryOptionsKey of the
//            driver data's job settings) whose kOptionTargetKey holds the
//            attribute's key, in turn, and answers 0 when there is none. Names
//            of more than 127 bytes are refused, not cut.
//
// Ownership and threads: as GSettingConverter; the post-insertion kit's
// driver data is not owned and must outlive it.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GDriverData;

class GTray1Converter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kTray1Installed = 8;
  static constexpr std::uint16_t kTray1Missing = 7;

  explicit GTray1Converter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GStraightPaperPathConverter final : public GTableConverter {
 public:
  explicit GStraightPaperPathConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GAutoDuplexScalingConverter final : public GTableConverter {
 public:
  static constexpr char16_t kScalingKey[] = u"printing/Duplex/KVAutoDuplexScaling";

  explicit GAutoDuplexScalingConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GFoldingConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kFoldingUnitSet = 3;

  explicit GFoldingConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GPostInsertionKitConverter final : public GSettingConverter {
 public:
  static constexpr std::uint32_t kBufferUnits = 255;
  static constexpr char16_t kNoneWord[] = u"None";
  static constexpr char16_t kNoneExported[] = u"none";

  // Keeps the attribute key and key path of `short_name` ("KVPostInsertionKit"
  // or "KVPunchUnitType"); another name keeps neither, and both ways
  // answer 0.
  // REQUIRES: `driver_data` (null allowed) outlives the converter.
  GPostInsertionKitConverter(GQCFLibrary* store, const char16_t* short_name,
                             GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  std::uint32_t AttributeKey() const { return key_; }
  const char16_t* KeyPath() const { return path_; }

 private:
  std::uint32_t key_ = 0;
  const char16_t* path_ = nullptr;
  GDriverData* driver_data_;
};
