// GDriverSettings: the device-mode settings with the public fields kept in
// step with the model, the merge of incoming records, the defaults, and
// the checks and print-quality tables of the record (dev_mode_validation.cpp).
//
// Mapping (dev_mode_mapping.cpp). PublicFromSettings (model -> record)
// sets a field's dmFields bit when it writes the field and clears it when
// the attribute is missing; SettingsFromPublic (record -> model) acts only
// on fields whose bit is set and that lie inside the record's dmSize, in
// the order orientation, paper size, paper width and length, copies,
// default source, print quality, colour, duplex, collate, ICM method, ICM
// intent. Exception kept from the mapping table: the collate step also
// runs with its bit clear (kCollateKey becomes 0).
// Readings taken:
//   - orientation, model -> record, undoes the flip modifier
//     kOrientationFlipKey that the record -> model step applies
//     (IsLandscapeAngle): with it, a portrait record came back landscape and
//     the reverse;
//   - duplex, model -> record, takes portrait and landscape from the
//     model's angle (kOrientationKey); record -> model from kOrientationKey
//     after the orientation step;
//   - the colour bit's rule (kept only while the cached value is 0 or 1)
//     follows both colour branches;
//   - a non-positive quality that no quality entry matches clears both
//     resolution bits;
//   - a dmOrientation other than 1 and 2 counts as portrait;
//   - the model's kBinFormsKey is the form-to-tray table through which the
//     default source's bin and form-name look-ups (41 and 42) go;
//   - the default record takes its colour (kColorPossibleKey) and ICM
//     (kIcmKey, kIcmMethodKey, kIcmIntentKey) from the job settings: it is
//     made before any model exists.
// The ICM mappings are kept as they are, though they do not invert each
// other: method 2 and 3 (system) come back as kIcmMethodKey = 1, and an intent
// kIcmIntentKey outside 0-3 clears the method bit.
//
// Validation and tables (dev_mode_validation.cpp). ValidatePublic checks
// each set field against the printer; its form-name check asks
// IsKnownFormName at the checked record's orientation, the model's
// resolution and the check the record -> model mapping applies to a form
// name (FormTableCheck). This class knows no form (a record with
// DM_FORMNAME set is reported with 0x10000); GDevModeSettings knows the
// printer's (dev_mode_settings.h). Custom
// sizes are limited by the media list's media 17385 (lower) and 17384
// (upper) at the model's resolution, in tenths of a millimetre (dots x 254
// / resolution; a resolution of 0 gives 0, never a division). Validation
// passes no model to QualityToResolution: checking a record changes no
// setting. Quality entries write their further attributes only into model
// attributes of the same key and class.
//
// Mended, so that every record the driver hands out passes its own job
// query and merges into the same bytes: a merge takes only the fields that
// ValidatePublic passes, brings copies into the job settings' kCopiesRangeKey
// (not only up to 1) and custom sizes into their limits, gives a written
// field that does not print the default settings' value (where that
// prints), and answers 0, the object as it was, when nothing stores (it
// answered 1 over a private part left old). SetSettings writes nothing on
// failure, lets the model take back what the fields it wrote say, and in
// the flat form keeps the model as the store reads it back. ValidatePublic
// takes the user-defined size 256, whose width and length its size check
// judges.
//
// Ownership and threads: as GDevModeBuffer.
#pragma once

#include <cstdint>

#include "driver/devmode/dev_mode_buffer.h"

class GAttributeComposite;

// The angle that portrait, or landscape (`landscape`), means for a model now
// at angle `current` under the job settings `job` (the record -> model
// orientation step): 0 or 90 (90 or 0 with the flip modifier
// kOrientationFlipKey), 180 or 270 when `current` is turned; when the allowed
// angles kAllowedAnglesKey lack that target, 0 or 90. False, `angle`
// untouched, when kAllowedAnglesKey (or `job`) is missing or allows neither.
// The settings pages' orientation buttons choose by it too.
bool ChooseOrientationAngle(GAttributeComposite* job, std::uint16_t current, bool landscape,
                            std::uint16_t& angle);
// Whether angle `angle` of a model under the job settings `job` (may be null)
// is landscape, the inverse of the choice above: 90 and 270, or with the flip
// modifier kOrientationFlipKey 0 and 270 (the flip turns only the upright
// pair). The model -> record orientation step and the settings pages' buttons
// show it, so that a record and the pages say what the user chose.
bool IsLandscapeAngle(GAttributeComposite* job, std::uint16_t angle);

// The fields ValidatePublic reports (dmFields bits) when they fail.
inline constexpr std::uint32_t kDmResolutionBits = kDmPrintQualityBit | kDmYResolutionBit;

class GDriverSettings : public GDevModeBuffer {
 public:
  // The virtual operations below are in slot order.
  // Takes an incoming record (REQUIRES of GDevModeView): when its private
  // part is compatible, its context value and word and its model (current
  // form, else an older form rebuilt) are taken; its public fields are
  // applied to that model (else to the current one), then the record and
  // private part are written again (SetSettings(null)). Fields the printer
  // cannot print (ValidatePublic) are not taken, but copies and custom
  // sizes are brought into range; a written field that does not print
  // takes the default settings' value where that prints. A model that does
  // not store (or whose repair makes another field fail) is not taken: the
  // fields go into the current model instead.
  // 1 when the record was written; else 0, the object as it was (also for
  // null and without any model).
  int MergeDevMode(const platform::DevModeW* record) override;
  // Copies `other`'s public part, private header and data area; the
  // public copy's answer.
  virtual int CopyFrom(const GDriverSettings& other);
  // Keeps a deep copy of `model` (null: the current model), rewrites the
  // public fields, lets the model take back what they say
  // (SettingsFromPublic, then the fields again), stores the model and keeps
  // it as the store gives it back (read and stored again): 1. 0 without a
  // model, when the public fields are not written or the store fails; the
  // record and model then stay as they were.
  int SetSettings(GAttributeComposite* model) override;
  // See the file comment. 1, or 0 for a null model or record.
  // REQUIRES: `record` of PublicFromSettings is a whole record.
  virtual int PublicFromSettings(GAttributeComposite* model, platform::DevModeW* record);
  virtual int SettingsFromPublic(const platform::DevModeW* record, GAttributeComposite* model);
  // 1 when `record`'s private part is ours (checked view) with our
  // driver name and, unless the encoding is 1, our total size, header size,
  // format version, format word and capacity.
  virtual int IsCompatiblePrivatePart(const platform::DevModeW* record);

  // With application flag 0x80 and colour in the record, monochrome
  // (and the bit set) unless the cached value is neither 0 nor 2.
  virtual void ApplyColorPolicy();
  // The record's collate field against the job settings'
  // kCollationAvailableKey; 1.
  int NormalizeCollate() override;
  std::uint16_t GetSpecVersion() const { return kDmSpecVersionValue; }
  std::uint16_t GetDriverVersion() const { return kDmDriverVersionValue; }
  // 1 when every checked field of `record` is acceptable; `mask`
  // collects the dmFields bits of the fields that are not. With
  // `check_all` 0 the first failure ends the checks. `unused` is not read.
  virtual int ValidatePublic(void* unused, const platform::DevModeW* record, int check_all,
                             std::uint32_t& mask);
  // 1 when `record` has our dmSize and dmDriverExtra and the same bytes.
  int IsSameDevMode(const platform::DevModeW* record) override;
  // Writes the default record: the printer's name, Letter with its
  // form name, scale 100, colour from the job settings' kColorPossibleKey and
  // the cached value, ICM from the job settings' kIcmKey, kIcmMethodKey and
  // kIcmIntentKey, simplex, the
  // private header with no model stored; then the colour policy.
  virtual void MakeDefaultDevMode();
  // The first quality entry of `quality` gives its kXResolutionKey,
  // kYResolutionKey and kResolutionModeKey; with table kQualityTableKey its
  // further attributes go into `model` (may be null). 1 when found.
  virtual int QualityToResolution(std::int16_t quality, std::uint16_t& x, std::uint16_t& y,
                                  std::uint16_t& third, GAttributeComposite* model);
  // The quality of resolution (x, y) under `model`'s further attributes (table
  // kQualityTableKey), else of the resolution list; 1 when found.
  virtual int ResolutionToQuality(std::uint16_t x, std::uint16_t y, std::int16_t& quality,
                                  GAttributeComposite* model);
  // Whether `name` is a form this class knows at orientation `angle` (0
  // or 90) and resolution (x, y), with the form table's check `flag`
  // (FormTableCheck): 0 here.
  virtual int IsKnownFormName(const RWWString& name, std::uint32_t angle, std::uint16_t x,
                              std::uint16_t y, int flag);
  // The form name of spooler bin `bin`: through the resource mappings and the
  // model's form-to-tray table kBinFormsKey, else the name of the driver
  // data's bin list entry. 1 when written.
  virtual int FormNameForBin(GAttributeComposite* model, std::uint16_t bin, RWCString& name);
  // The spooler bin of the tray that the model's table kBinFormsKey links to
  // form `name`. 1 when written.
  virtual int FormNameToBin(GAttributeComposite* model, const RWCString& name, std::uint16_t& bin);

  // The dmFields bits of `record`'s fields that the printer cannot print
  // (ValidatePublic checking all).
  std::uint32_t Unprintable(const platform::DevModeW* record);
  // Sets the value attributes behind the `fields` (dmFields bits) of
  // `model`, and for the default source and form name the form name, to
  // those of `source` (may be null).
  void TakeFieldsFrom(std::uint32_t fields, GAttributeComposite* source,
                      GAttributeComposite* model);

  // Resets the paper's dependents when `model`'s printer does not take
  // paper `code` strictly (see dev_mode_validation.cpp).
  void ResetForPaper(GAttributeComposite* model, std::uint16_t code);
  void ResetPaperDependents(GAttributeComposite* model);

 protected:
  using GDevModeBuffer::GDevModeBuffer;

  // Dots at `resolution` in tenths of a millimetre; 0 for resolution 0.
  // Mended (docs/mended-behaviour.md): never a division by 0.
  static std::int32_t DotsToTenths(std::int32_t dots, std::uint16_t resolution) {
    return resolution ? dots * 254 / resolution : 0;
  }
  // The model's kXResolutionKey and kYResolutionKey (0 where missing).
  static void ModelResolution(GAttributeComposite* model, std::uint16_t& x, std::uint16_t& y);
  // The job settings (null without).
  GAttributeComposite* JobSettings();
  // The check the form table applies to a form named in a record: 1 (the
  // custom size range), or 0 when the job settings' kScaleFromLargePaperKey is
  // set.
  int FormTableCheck();
  // The custom size limits in tenths of a millimetre at resolution (x, y).
  void CustomSizeLimits(std::uint16_t x, std::uint16_t y, std::int32_t& low_width,
                        std::int32_t& low_length, std::int32_t& high_width,
                        std::int32_t& high_length);

  // MergeDevMode with the record's own settings already read (`loaded`,
  // taken; null: none) and whether its private part is ours.
  int Merge(const platform::DevModeW* record, bool ours, GAttributeComposite* loaded);

 private:
  // SetSettings on the current model: the public fields, the model's
  // answer to them, the store and the store of the model read back.
  int WriteRecord();
  // Applies `fields` to the current model and writes the record, a field
  // that does not print taking its default where that prints; true when
  // it stored and nothing else fails to print.
  bool TakeFields(const platform::DevModeW* fields);
  // The mapping's steps, one per field, that need the object; the others
  // are free functions of dev_mode_mapping.cpp. Model -> record:
  void PaperSizeToPublic(GAttributeComposite* model, std::uint8_t* out);
  void DefaultSourceToPublic(GAttributeComposite* model, std::uint8_t* out);
  void ResolutionToPublic(GAttributeComposite* model, std::uint8_t* out);
  void ColorToPublic(GAttributeComposite* model, std::uint8_t* out);
  // Record -> model:
  void OrientationFromPublic(std::int16_t orientation, GAttributeComposite* model);
  void PaperSizeFromPublic(const GDevModeView& in, GAttributeComposite* model);
  void CustomSizeFromPublic(const GDevModeView& in, GAttributeComposite* model);
  void DefaultSourceFromPublic(const GDevModeView& in, GAttributeComposite* model);
  void ResolutionFromPublic(const GDevModeView& in, GAttributeComposite* model);
  void ColorFromPublic(const GDevModeView& in, GAttributeComposite* model);
  // ValidatePublic's checks, one per field, that need the object (the
  // others are free functions of dev_mode_validation.cpp): the dmFields
  // bits that fail, 0 when the field passes or is not set. `job` is the
  // job settings, (x, y) the model's resolution, `angle` the record's.
  std::uint32_t QualityFails(const GDevModeView& in);
  std::uint32_t CustomSizeFails(const GDevModeView& in, std::uint16_t x, std::uint16_t y);
  std::uint32_t PaperSizeFails(const GDevModeView& in, GAttributeComposite* job,
                               std::uint32_t angle, std::uint16_t x, std::uint16_t y);
  std::uint32_t DefaultSourceFails(const GDevModeView& in, GAttributeComposite* job);
  std::uint32_t DuplexFails(const GDevModeView& in, GAttributeComposite* job);
  std::uint32_t FormNameFails(const GDevModeView& in, std::uint32_t angle, std::uint16_t x,
                              std::uint16_t y);

  // The job settings while a merge runs (null otherwise): a merge asks for
  // them a dozen times and changes nothing of the printer's configuration.
  GAttributeComposite* held_job_settings_ = nullptr;
};
