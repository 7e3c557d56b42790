// GRenderDriverDataImp: the render-time driver data of one print job, the
// real class behind the low GRenderDriverData (services/
// render_driver_data.h) over the one virtual driver data part
// (GDriverDataImp). The filters and generators read the job through it:
// the settings evaluated when the job is prepared (PrepareJob: the output
// language, the duplex, bin, mode and colour words, the capability words,
// the text-as-black and compatibility flags), the colour-to-gray
// conversion, the job composite (BuildJobSettings), media made for paper
// codes, copies and collation, the job's font database (a GJobFontDatabase
// made for it), the stored job's name and the job attributes
// (render_job_attributes.cpp).
//
// Its virtual operations come in the render data's slot order. The low
// interface's three watermark operations sit between AddPageObject and
// GetJobStarted; the rendering device's own five (one each after
// AddPageObject, GetFirstName and EndSection, two after GraphicsStateStep)
// are not declared here. The operations that hand objects to the output
// chain are declared and answer nothing until the generators need them:
// AddPageObject, ResetPage to MakeJobStartCommand (BuildPageSettings only
// counts the page), EndSection and MakeOwnerObject to
// RestoreGraphicsState. The driver data's operations it replaces: the
// destructor, AsRenderDriverData (itself), AsUIDriverData (none),
// Retarget and Park (ReleaseJobObjects).
//
// The extension manager's job operations are the driver data's own
// manager (GExtensionManager); a pass-through (GPassThroughJobHooks) only
// when the data has no manager.
//
// Readings taken here:
//   - settings words are read from the driver data's default settings
//     (made when missing); kLanguageChoiceKey, kLanguageKey,
//     kLanguageLevelKey, kLanguageNameKey, kGrayTablesKey, kCopiesRangeKey,
//     kJobNameCharMapKey, kJobNameCheckKey and the capability lists from
//     the job settings;
//   - the capability lists (kDuplexCapabilitiesKey, 120, kModeCapabilitiesKey,
//     kRasterCapabilitiesKey) are GCapabilities keyed so inside the job
//     settings' entry kCapabilitiesKey, which, since an attribute composite
//     holds attributes only, is a device whose configuration holds them;
//     missing lists lack every capability;
//   - "PassThrough" is asked of the printer as its printer-data number of
//     that name (0 when absent);
//   - a duplex unit is the default settings' kInstalledOptionsKey ->
//     kDuplexUnitKey = 1;
//   - the compatibility flag is application flag 0x20000 alone (the two
//     configuration attributes that accompany it are not named);
//   - the gray tables kFirstGrayTableKey and kSecondGrayTableKey are attribute
//     composites whose
//   first
//     five value attributes are the red, green and blue weights, the
//     addend and the shift: gray = (R wr + G wg + B wb + addend) >> shift,
//     at most 255; a table with fewer, or a shift above 31, is no table;
//   - BuildJobSettings' paper attributes are the default settings'
//     kPaperSizeKey (medium keyed kTargetMediumKey) and kTargetPaperSizeKey
//     (medium keyed kBookletMediumKey);
//   - MakeMediumOfSize's explicit size is the resolution pair and the
//     orientation; media of the driver's table are found at orientation 0
//     and turned counter-clockwise in steps of 90 degrees (margins follow
//     their edges).
//   - the association list of AddMappedJobAttributes is the one keyed
//     kMappedSourceKey
//     in the configuration's own settings (a GConfiguration there), its
//     keys value attributes keyed 0.
//
// Ownership: the render data owns its font database, the connection
// holder and the job's objects. Threads: one job's thread at a time, as
// the driver server hands it out.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "driver/driver_data_imp.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "output/attributes/transform.h"
#include "output/color/color.h"
#include "output/color/gray.h"
#include "persist/counted_ptr.h"
#include "services/extension_job_hooks.h"
#include "services/render_driver_data.h"

class GCommand;
class GConnectionHolder;
class GPeripheral;
class GJobFontDatabase;

// The connection object a GConnectionHolder owns; its operations in slot
// order after the destructor.
class GRenderConnection {
 public:
  GRenderConnection() = default;
  GRenderConnection(const GRenderConnection&) = delete;
  GRenderConnection& operator=(const GRenderConnection&) = delete;
  virtual ~GRenderConnection();

  // The virtual operations below are in slot order.
  // Told by the holder that takes it, with the holder's argument.
  virtual void SelectGrayConversion(GConnectionHolder& holder, std::uint32_t argument) = 0;
  // Its answer to the holder's query; also what a holder calls before
  // it lets the connection go.
  virtual std::uint32_t Query() = 0;
  virtual std::uint32_t Forward3(std::uint32_t argument) = 0;
  virtual std::uint32_t Forward4(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                 std::uint32_t d) = 0;
  // Whether it serves `argument`.
  virtual bool Accepts(std::uint32_t argument) = 0;
};

class GConnectionHolder {
 public:
  GConnectionHolder() = default;
  GConnectionHolder(const GConnectionHolder&) = delete;
  GConnectionHolder& operator=(const GConnectionHolder&) = delete;
  // The virtual operations below are in slot order.
  // Deletes the connection.
  virtual ~GConnectionHolder();

  // The owner mark is not 0.
  virtual bool IsMarked() const;
  // The connection's Forward3 and Forward4; 0 without one.
  virtual std::uint32_t Forward3(std::uint32_t argument);
  virtual std::uint32_t Forward4(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                 std::uint32_t d);
  // Keeps `connection` (the one held before is deleted), then calls its
  // SelectGrayConversion with this holder and `argument`.
  virtual void Attach(GRenderConnection* connection, std::uint32_t argument);
  // Clears the owner mark when it is `mark`.
  virtual void Unmark(std::uint32_t mark);
  // The connection's Query; 0 without one.
  virtual std::uint32_t Query();
  // Marks the holder with `mark`.
  virtual void SetMark(std::uint32_t mark);
  // 2 without a connection; 1 when it accepts `argument`; else its Query
  // is called, it is deleted and forgotten, and 2 is answered.
  virtual std::uint32_t Check(std::uint32_t argument);
  // The connection when it accepts `argument`, else null.
  virtual GRenderConnection* Find(std::uint32_t argument);

  // Deletes the connection (Query first); the owner mark stays.
  void Drop();
  GRenderConnection* Connection() const { return connection_.get(); }
  std::uint32_t Mark() const { return owner_mark_; }

 private:
  std::uint32_t owner_mark_ = 0;
  std::uint32_t word_ = 0;
  std::unique_ptr<GRenderConnection> connection_;
};

// One gray table: gray = (R red + G green + B blue + addend) >> shift, at
// most 255.
struct GGrayTable {
  std::uint32_t red = 0, green = 0, blue = 0;  // the weights
  std::uint32_t addend = 0, shift = 0;

  std::uint8_t Apply(std::uint8_t r, std::uint8_t g, std::uint8_t b) const;
};

// The language words PrepareJob writes.
inline constexpr char kPassThroughLanguage[] = "ZDL XL";
// EndJob without a job.
inline constexpr std::uint16_t kNoJobStarted = 403;
// Application flags PrepareJob reads.
inline constexpr std::uint32_t kAppFlagRasterMode = 0x200000;
inline constexpr std::uint32_t kAppFlagHalfRasterMode = 0x400000;
inline constexpr std::uint32_t kAppFlagCheckRaster1 = 0x4000000;
inline constexpr std::uint32_t kAppFlagCheckRaster2 = 0x8000000;
inline constexpr std::uint32_t kAppFlagSecondWord = 0x800000;
inline constexpr std::uint32_t kAppFlagClearWords = 0x8;
inline constexpr std::uint32_t kAppFlagCompatibility = 0x20000;
// The limits' initial words.
inline constexpr std::uint32_t kFirstLimit = 765;
inline constexpr std::uint32_t kSecondLimit = 32768;

class GRenderDriverDataImp : public GRenderDriverData, public virtual GDriverDataImp {
 public:
  // Releases the job objects, then the font database.
  ~GRenderDriverDataImp() override;

  // --- The render data's operations, in slot order; the rendering device
  // fills the slots left out here, and GRenderDriverData's watermark stubs
  // stay as they are.

  // Evaluates the job's settings into the job words (see the .cpp).
  virtual void PrepareJob();
  // Mode 0 the output model's ColorToGray; 1 and 2 the gray tables of
  // the job settings' kGrayTablesKey -> kFirstGrayTableKey and
  // kSecondGrayTableKey; a missing table, or another
  // mode, falls back to mode 0.
  virtual void SelectGrayConversion(std::uint8_t mode);
  // A page-description object; none yet.
  virtual GCommand* AddPageObject(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                  std::uint32_t d);
  // The job-started word: answered; set to 1.
  virtual std::uint32_t GetJobStarted();
  virtual void SetJobStarted();
  // The first name field.
  virtual RWWString* GetFirstName();
  // A new job composite (the caller's): deep copies of kPrintColorAsGrayKey,
  // 297, kQualityDocumentOptionKey, with kColorAdjustmentKey also
  // kColorModeKey, kColorAdjustmentKey, kPaperColorAdjustmentKey and
  // kTransparencyColorAdjustmentKey, and the tint vectors (classes 792, 797,
  // 1201) of the default settings; kConnectionKey = 1 when the fourth name
  // begins LPT, USB or DOT4 (the first occurrence of each character at
  // positions 0, 1, 2, 3), else 3; the media MakeMedium makes for
  // kPaperSizeKey (keyed kTargetMediumKey) and, with the compatibility flag
  // off, kTargetPaperSizeKey (keyed kBookletMediumKey); a paper code that
  // gives none is set to 0.
  virtual GAttributeComposite* BuildJobSettings();
  // The page reset (it clears the page's two words), a command object,
  // the page settings (they count the page), the job start; none yet.
  virtual GCommand* ResetPage();
  virtual GCommand* MakeCommandObject();
  virtual GCommand* BuildPageSettings();
  virtual GCommand* MakeJobStartCommand();
  // A new medium (the caller's) for paper code `code`: below 16384 or
  // above 17383 a copy of the symmetric pool's medium at the default
  // settings' resolution (kResolutionKey: kXResolutionKey, kYResolutionKey)
  // and orientation 0; else the
  // custom size of that id made into a medium against the configuration.
  // With kEdgeToEdgeKey = 1, ApplyMargins. Null when there is none.
  virtual GMedia* MakeMedium(std::uint16_t code);
  // The same at a given resolution and orientation (a medium of the
  // driver's table turned to it).
  virtual GMedia* MakeMediumOfSize(std::uint16_t code, std::uint16_t x_resolution,
                                   std::uint16_t y_resolution, std::uint32_t orientation);
  // `medium` (deleted) replaced by a new one whose printable area is the paper
  // less the margins kWidthMarginKey and kHeightMarginKey of the default
  // settings, in ten-thousandths of the paper (swapped at 90 and 270), never
  // below 0. Null for null.
  virtual GMedia* ApplyMargins(GMedia* medium);
  // The end of a section; 0.
  virtual std::uint16_t EndSection();
  // The job driver. Hands `command` to the output chain (nothing,
  // and 0, without a chain), a document start with this render data as its
  // job context when it carries none. A command that comes back as a
  // GErrorCommand gives its code, after a new GJobAbort has been handed to
  // the chain (each filter clears its spool) and the port of the
  // document's start has been finished (closed: nothing more reaches it);
  // anything else gives 0; a GJobAbort that went through aborts that port
  // too, so that a job the caller aborted leaves nothing that looks like
  // output; a GJobAbort before any document start ends nothing and is not
  // passed on. A document end that went through closes that port when it
  // is still open, so that a file port puts its file in place there, and
  // gives the close's code (0 when it went). The document start is held
  // from its submission until its document end went through, or the job
  // aborted, so that an abort finds the port the generator opened. The
  // command is held for the
  // pass: a command nobody held is the chain's from then on (the caller
  // keeps it only by holding it itself).
  virtual std::uint16_t Submit(GCommand* command);
  virtual std::uint16_t SubmitCommand(GCommand* command);
  // The default settings' kColorMediaSettingsKey -> kCopiesKey below 0
  // becomes 1, above the job settings' kCopiesRangeKey maximum that maximum;
  // then ApplyCollation on the default settings' kColorMediaSettingsKey,
  // kDocumentSettingsKey, kPageSettingsKey and kInstalledOptionsKey.
  virtual void NormalizeCopies();
  // A copy of `source`'s kCopiesKey is added to `job`; with `unit`'s
  // kCollationUnitKey = 1 and `source`'s kCollateKey or `unit`'s
  // kIgnoreCollationKey = 1, `job`'s kCollatedCopiesKey takes the count and
  // `target`'s kPrinterCopiesKey 1; otherwise kCollatedCopiesKey takes 1
  // and kPrinterCopiesKey the count (each only
  // where present).
  virtual void ApplyCollation(GAttributeComposite* source, GAttributeComposite* job,
                              GAttributeComposite* target, GAttributeComposite* unit);
  // kNoJobStarted (and the state word 3) without a started job; else
  // the end-of-job command's submit result (the state word 3 when not 0),
  // the job no longer started.
  virtual std::uint16_t EndJob();
  // The font database's reset.
  virtual void ResetFonts();
  // The owner object, the object keyed kWatermarkSettingKey (made, and
  // answered), nested sections, graphics-state steps and snapshots; none
  // yet.
  virtual GCommand* MakeOwnerObject();
  virtual GCommand* GetWatermarkSettingObject();
  virtual GCommand* MakeWatermarkSettingObject();
  virtual std::uint16_t BeginNestedSection();
  virtual std::uint16_t EndNestedSection();
  virtual std::uint16_t GraphicsStateStep(std::uint32_t code);
  virtual std::uint16_t SaveGraphicsState();
  virtual std::uint16_t RestoreGraphicsState();
  // With a pre-printed page pending, the page again with kRepeatedPageKey = 1,
  // or
  // the job start (render_job_attributes.cpp).
  virtual std::uint16_t RepeatPreprintedPage();
  // The query of the default settings' kColorMediaSettingsKey; 0 (what it asks
  // is the generators').
  virtual std::uint32_t QueryColorMedia();

  // --- The driver data's operations.

  // This object; none.
  GRenderDriverData* AsRenderDriverData() override;
  GDriverData* AsUIDriverData() override;
  // The driver data's re-target, the job words cleared, the
  // connection dropped when the holder is marked, PrepareJob, both names
  // emptied, a new font database and the command object let go.
  void Retarget(const GPrinterKey& key) override;
  // ReleaseJobObjects.
  void Park() override;
  // GDriverDataImp's; it also answers the job context's setting
  // kColorDeviceKey.
  std::int32_t GetCachedValue() override;

  // --- The job context (GRenderDriverData).

  GFontDatabase* GetFontDatabase() override;
  // A number of its own, given at construction (never 0).
  std::uint32_t GetOwnerId() override;
  std::uint32_t GetJobCookie() override { return job_cookie_; }
  GDriverData* GetDriverData() override { return this; }
  std::uint32_t IsAppCompatModeOn() override { return compat_mode_; }
  std::uint32_t IsTextAsBlack() override { return text_as_black_; }
  // codes below 16384 by MakeMediumOfSize, 16384-17383 among the default
  // settings' custom sizes (kCustomSizesKey); others, and codes the driver has
  // no medium for, leave `medium` as it is.
  void UpdateMediaSize(GMedia* medium, std::uint32_t orientation) override;
  // The driver data's extension manager, else the pass-through.
  GExtensionJobHooks* GetExtensionJobHooks() override;

  // --- Non-virtual operations.

  // The job's font database (its own).
  GJobFontDatabase* GetJobFontDatabase() const { return font_database_.get(); }
  // The chain the job driver hands the job's commands to (held; the one
  // owner of a job's chain), null for none; let go with the job's objects.
  void SetOutputChain(GPeripheral* chain);
  GPeripheral* GetOutputChain() const;
  // The conversion of mode 0, and the conversion now selected.
  GGrayConversion GetGrayConversion() const { return gray_conversion_; }
  std::uint8_t ConvertToGray(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;
  // Park's release: three words cleared, every job object let go.
  void ReleaseJobObjects();
  // Replaces the default settings' kDocumentSettingsKey, kPageSettingsKey
  // and kColorMediaSettingsKey by deep copies of the
  // device-mode settings model's (where both hold them), then
  // ApplyDefaultCollation. False when a copy could not be made (no memory):
  // the job's settings are then not the bound record's.
  bool RefreshJobParts();
  // ApplyCollation on the default settings' kColorMediaSettingsKey,
  // kDocumentSettingsKey, kPageSettingsKey and kInstalledOptionsKey.
  void ApplyDefaultCollation();
  // The duplex-mode test: the mode word is 3, or 2 with `argument` 0.
  bool IsDuplexMode(std::uint32_t argument) const;

  // The job words PrepareJob sets.
  std::uint32_t GetModeWord() const { return mode_word_; }
  std::uint32_t GetDuplexWord() const { return duplex_word_; }
  std::uint32_t GetBinWord() const { return bin_word_; }
  std::uint32_t GetColorWord() const { return color_word_; }
  std::uint32_t IsPassThrough() const { return pass_through_; }
  std::uint32_t GetLayoutFlag() const { return layout_flag_; }
  std::uint32_t GetSecondDuplexFlag() const { return second_duplex_flag_; }
  std::uint32_t GetCapabilityWord() const { return capability_word_; }
  std::uint32_t GetDuplexCapabilityWord() const { return duplex_capability_word_; }
  std::uint32_t GetBinCapabilityWord() const { return bin_capability_word_; }
  std::uint32_t GetStateWord() const { return state_word_; }
  const GScalePair& GetScalePair() const { return scale_pair_; }

  // The job's document name (wide), which the rendering side sets from
  // the document start.
  void SetDocumentName(const RWWString& name) { document_name_ = name; }
  const RWWString& GetDocumentName() const { return document_name_; }
  void SetJobCookie(std::uint32_t cookie) { job_cookie_ = cookie; }
  std::uint32_t GetPageCount() const { return page_count_; }
  bool IsPreprintedPagePending() const { return preprinted_pending_ != 0; }
  GConnectionHolder& GetConnectionHolder() { return connection_; }

  // --- The job's name and attributes (render_job_attributes.cpp).

  // The stored job's name, 8-bit (at most 16 characters, or their UTF-8
  // form, at most 48 bytes), also kept with its wide form.
  RWCString MakeJobName();
  // MakeJobName into the default settings' kDocumentSettingsKey ->
  // kJobNameKey, when it exists.
  void FillJobName();
  const RWCString& GetJobName() const { return job_name_; }
  const RWWString& GetWideJobName() const { return wide_job_name_; }
  // Pre-printed media of a page: see the .cpp.
  void MarkPreprintedMedia(GAttributeComposite* page_settings);
  // The default settings' kDocumentSettingsKey -> 975, 1000, 999, 1007, 1008,
  // 1022, 1131, deep copies, added to `job` where present.
  void CopyJobStorageAttributes(GAttributeComposite* job);
  // IsFormUsable's answer for a usable paper of `settings`; else the paper
  // is replaced (kTargetPaperSizeKey, kScalePageChoiceKey,
  // kFitToOtherSizeKey) and the layout reset: 0.
  int CheckJobPaper(GAttributeComposite* settings);
  void ResetPageLayout(GAttributeComposite* settings);
  // 1 when the mapped attributes were copied into `job`'s kMappedTargetKey,
  // else 0.
  int AddMappedJobAttributes(GAttributeComposite* job);

 protected:
  // The fields as the render data starts; a new font database.
  GRenderDriverDataImp();

 private:
  // The default settings, made when missing.
  GAttributeComposite* Defaults() { return EnsureDefaultSettings(); }
  // Whether the capability list `list` under the job settings'
  // kCapabilitiesKey has `bit`.
  bool HasJobCapability(std::uint32_t list, std::uint32_t bit);
  // The gray table of `key` under the job settings' kGrayTablesKey into
  // `table`.
  bool LoadGrayTable(std::uint32_t key, GGrayTable& table);
  // PrepareJob's steps 3 to 6.
  void ChooseLanguage();
  void ReadDuplexAndBin();
  void ReadModeWords();
  // The driver's medium of `code` at `orientation`, turned from its entry
  // at orientation 0 when the pool has none at `orientation`.
  GMedia* MediumOfTable(std::uint16_t code, std::uint16_t x_resolution, std::uint16_t y_resolution,
                        std::uint32_t orientation);
  // The custom size `code` of the default settings as a medium.
  GMedia* CustomMedium(std::uint16_t code, std::uint16_t x_resolution, std::uint16_t y_resolution,
                       std::uint32_t orientation);
  void ClearJobWords();
  // After a job abort or a failure: the held document start's port
  // aborted (finished, and what it took dropped), the start let go.
  void AbortDocumentPort();
  // After a document end that went through: the held document start's
  // port closed when it is open (a file port then puts its file in place
  // of its target), the start let go; the close's code.
  std::uint16_t EndDocumentPort();

  std::uintptr_t services_object_ = 0;  // the services' Placeholder1 for it
  std::unique_ptr<GJobFontDatabase> font_database_;
  std::uint32_t job_started_ = 0;  // GetJobStarted, SetJobStarted
  std::uint32_t state_word_ = 0;   // 3 once the job ended
  RWWString first_name_;
  RWWString second_name_;
  // Job flags.
  std::uint32_t layout_flag_ = 0;    // kTrueTypeAsBitmapKey = 1
  std::uint32_t text_as_black_ = 0;  // kTextAsBlackKey = 1
  std::uint32_t pass_through_ = 0;
  std::uint32_t second_duplex_flag_ = 0;
  std::uint32_t compat_mode_ = 0;
  GConnectionHolder connection_;
  std::uint32_t current_owner_mark_ = 0;
  GGrayConversion gray_conversion_ = &ColorToGray;
  const GGrayTable* gray_table_ = nullptr;  // one of gray_tables_, or none
  GRGBColor color_{255, 255, 255, 255};
  GRGBColor saved_color_{255, 255, 255, 255};
  std::uint32_t page_count_ = 0;
  std::uint32_t section_count_ = 1;
  float scale_ = 10.0F;
  GTransformAttribute transform_;
  std::uint32_t page_words_[4] = {};
  std::int16_t page_index_ = -1;
  std::vector<GCountedPtr> job_list_;  // the job's objects
  std::uint32_t mode_word_ = 0;
  std::uint32_t duplex_word_ = 0;
  std::uint32_t bin_word_ = 0;
  RWCString language_;
  GGrayTable gray_tables_[2];
  std::uint32_t enabled_ = 1;
  GCountedPtr job_objects_[8];  // in pairs; [0] the command object
  GCountedPtr output_chain_;    // a GPeripheral, or empty
  GCountedPtr document_;        // the document start in progress, or empty
  GScalePair scale_pair_{1.0F, 1.0F};
  std::uint32_t color_word_ = 0;
  std::uint32_t capability_word_ = 0;
  std::uint32_t duplex_capability_word_ = 0;
  std::uint32_t bin_capability_word_ = 0;
  std::uint32_t limits_[2] = {kFirstLimit, kSecondLimit};
  RWWString wide_job_name_;
  RWCString job_name_;
  RWWString document_name_;
  std::uint32_t preprinted_pending_ = 0;
  std::uint32_t owner_id_;
  std::uint32_t job_cookie_ = 0;
  GPassThroughJobHooks job_hooks_;  // when there is no manager
};
