// The converters of the paper path: paper size, input bin, media type, the
// optional paper sources, scaling from large paper, and the different
// first page with its back cover, which run the input-bin and media-type
// converters on their own keys.
//
// Selectors (converter_descriptors.h) choose the key of the paper size,
// the input bin and the media type:
//   selector   paper size           input bin             media type
//   0 (plain)  kPaperSizeKey        kPaperSourceKey       kMediaTypeKey
//   1 (rest)   kTargetPaperSizeKey  kOtherPagesSourceKey  kOtherPagesMediaTypeKey
//   2 (back)   as 0                 kBackCoverSourceKey   kBackCoverMediaTypeKey
// read from the store's "printing/PaperSize", "printing/InputBin" and
// "printing/MediaType" (selector 0), ".../TargetSizeChoice",
// ".../InputBinRest" and ".../MediaTypeRest" (1), ".../BackCoverTrayChoice"
// and ".../BackCoverMediaTypeSetting" (2).
//
// GPaperSizeConverter (kDocumentSettingsKey -> kPaperSizeKey or
// kTargetPaperSizeKey): the 80 rows of paper codes. A matched code may be
// replaced by the driver data's paper code of the media that the code stands
// for (only when the driver data names such a media: asking for the paper code
// of media 0 could turn every size into one). Apply records a copy and a marker
// (a value attribute keyed kPaperSizeMarkerKey, value 0); with fit-to-size off
// (kFitToOtherSizeKey in kDocumentSettingsKey at 0) the fit-to-size target
// (kTargetPaperSizeKey) follows the paper size. Extract maps codes above 4000
// through the driver data's custom-size mapping first.
//
// GInputBinConverter (kPaperSourceKey, kOtherPagesSourceKey or
// kBackCoverSourceKey, found below the root): the tray table pairs each word
// with a tray name of the paper path. A word names the first tray of an
// installed paper source (the job settings' devices, kPaperHandlingKey, each
// through its current part) whose name is the row's name, or holds it as a
// whole word: bounded by the name's ends or by characters other than letters
// and digits ("Tray 2" names "Tray 2 (500 sheets)" but "Tray 1" not "Tray 10").
// "PrinterSelect", a word outside the table and a name no tray has give the
// automatic tray (0x13). Extract finds the tray of the id the same way and
// writes the word of the first row whose name is the tray's whole name, else of
// the first row the tray's name holds as a whole word, else "PrinterSelect".
// Apply answers 1 once a word was read: the plain key also sets the rest of the
// document's tray (kOtherPagesSourceKey) and the back cover's and finishing
// trays (kBackCoverSourceKey, kLastPageSourceKey, kFrontCoverSourceKey,
// kFurtherSourceKey, kFurtherSecondSourceKey) while the first page is the same
// (kDifferentFirstPageKey at 0), and records a lock of kPaperSourceKey whatever
// the selector.
//
// GMediaTypeConverter (kMediaTypeKey, kOtherPagesMediaTypeKey or
// kBackCoverMediaTypeKey, string attributes found below the root): the media
// table pairs a media name with a word. Both ways first offer the key to the
// helper's own handler (CallHelper: the attribute key, this converter, 0 apply
// or 1 extract); when it takes it, the converter answers 1 and does nothing
// more. Apply sets the name of the first row of the word and updates the
// destination's entry of the key already there (else adds a copy); the plain
// key also sets kOtherPagesMediaTypeKey, kBackCoverMediaTypeKey,
// kLastPageMediaTypeKey and kFrontCoverMediaTypeKey while the first page is the
// same; a lock of kMediaTypeKey is recorded whatever the selector; 1 once a
// word was read. Extract writes the words of the rows of the name in turn until
// the store takes one.
//
// GOptionalPaperSourcesConverter (kInstalledOptionsKey ->
// kOptionalPaperSourcesKey, text): the word, or the empty text for "None",
// becomes the text and installs the first device of the job settings' paper
// path of that name. A word or text of more than 127 bytes is refused, not cut.
// Extract writes "None" for the empty text.
//
// GScaleFromLargePaperConverter (kInstalledOptionsKey ->
// kScaleFromLargePaperKey): "TRUE" sets 1, any other word 0; extract writes
// "TRUE" for 1, else "FALSE".
//
// GUseDiffFirstPageChoiceConverter (kColorMediaSettingsKey ->
// kDifferentFirstPageKey): a different first page ("DifferentFirstPage", 1)
// also runs the media-type and input-bin converters of the rest of the document
// and the back-cover converter; extract of 1 runs their extracts (the first two
// on kColorMediaSettingsKey). Their answers do not change this one's.
//
// GBackCoverChoiceConverter (kDocumentSettingsKey -> kBackCoverKey):
// "UseAlternateSource" (2) also runs the media-type and input-bin converters of
// the back cover; extract of 2 runs their extracts (media type on
// kDocumentSettingsKey).
//
// Ownership: the driver data is not owned and must outlive the converter;
// the rest as GSettingConverter.
#pragma once

#include <cstdint>
#include <span>

#include "config/import/table_converter.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"

class GDriverData;

// A row of the tray table: the tray name in the paper path, and the word.
struct GTrayRow {
  const char* tray_name;
  const char16_t* word;
};

// A row of the media table: the media name kept in the model, and the word.
struct GMediaRow {
  const char* media_name;
  const char16_t* word;
};

class GPaperSizeConverter final : public GTableConverter {
 public:
  // Codes above this are custom sizes.
  static constexpr std::uint16_t kLastStandardCode = 4000;

  // REQUIRES: `driver_data` (null allowed: no mapping) outlives the
  // converter; `selector` < kSelectorCount.
  GPaperSizeConverter(GQCFLibrary* store, GDriverData* driver_data, std::uint16_t selector);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};

class GInputBinConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kAutomaticTray = 0x13;
  static constexpr char16_t kAutomaticWord[] = u"PrinterSelect";
  // Set with the rest of the document's tray.
  static constexpr std::uint32_t kFollowingTrayKeys[] = {kBackCoverSourceKey, kLastPageSourceKey,
                                                         kFrontCoverSourceKey, kFurtherSourceKey,
                                                         kFurtherSecondSourceKey};

  // REQUIRES: `driver_data` (null allowed: every word gives the automatic
  // tray) outlives the converter; `selector` < kSelectorCount.
  GInputBinConverter(GQCFLibrary* store, GDriverData* driver_data, std::uint16_t selector);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The tray table, in the order it is searched.
  static std::span<const GTrayRow> Rows();
  // Whether `row_name` names the tray `tray_name`: equal, or inside it as
  // a whole word (see the file comment).
  static bool NamesTray(const RWCString& tray_name, const char* row_name);

  std::uint16_t TrayIdOfWord(const char16_t* word) const;
  const char16_t* WordOfTrayId(std::uint16_t id) const;

 private:
  std::uint16_t selector_;
  GDriverData* driver_data_;
};

class GMediaTypeConverter final : public GTableConverter {
 public:
  // Set with the rest of the document's media.
  static constexpr std::uint32_t kFollowingMediaKeys[] = {
      kBackCoverMediaTypeKey, kLastPageMediaTypeKey, kFrontCoverMediaTypeKey};

  // REQUIRES: `selector` < kSelectorCount.
  GMediaTypeConverter(GQCFLibrary* store, std::uint16_t selector);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The media table, in the order it is searched.
  static std::span<const GMediaRow> Rows();

 private:
  // Whether the helper's handler took the key.
  bool OfferToHelper(std::uint32_t direction);

  std::uint16_t selector_;
};

class GOptionalPaperSourcesConverter final : public GTableConverter {
 public:
  static constexpr std::uint32_t kTextBytes = 128;
  static constexpr char16_t kNoneWord[] = u"None";

  // REQUIRES: `driver_data` (null allowed: no device is installed) outlives
  // the converter.
  GOptionalPaperSourcesConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};

class GScaleFromLargePaperConverter final : public GTableConverter {
 public:
  explicit GScaleFromLargePaperConverter(GQCFLibrary* store);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GUseDiffFirstPageChoiceConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kDifferentFirstPage = 1;

  // REQUIRES: `driver_data` (null allowed) outlives the converter.
  GUseDiffFirstPageChoiceConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};

class GBackCoverChoiceConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kAlternateSource = 2;

  // REQUIRES: `driver_data` (null allowed) outlives the converter.
  GBackCoverChoiceConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};
