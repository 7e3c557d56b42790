// The demonstration's print road, shared by print_demo and the print road's
// benchmark: printer P1 installed and loaded as the acceptance tests do it
// (support/acceptance_install.h), a job of the rendering side bound
// to a device mode, the demonstration's font and the five kinds of page it
// prints.
//
// Paths: the printer's host folder is "printer" in a fresh folder of the
// temporary folder (removed by Stop), and also holds the font file; the Windows folder kOutFolder
// ("C:\Out") is served from the caller's out/ folder, so the port
// FILE:C:\Out\job.prn is out/job.prn (a file port reaches the host only
// through a mapped Windows path), unless out/'s real path is not UTF-8
// (see PortFolder). The job's spool directory is "C:\Drv\Spool", in the
// host folder.
//
// The font: the TrueType writer of support/ (support/truetype_writer.h)
// makes a font whose glyphs are 5 x 7 grids of square cells, for
// "Page 0".."Page 9" and a space; FreeType renders it (fonts/tt_font_imp.h).
//
// Failures: each step below starts with the platform's last error cleared,
// so that after one that failed it is the cause the library or the
// platform answered (kErrorNotEnoughMemory: memory ran short).
//
// Threads: the process's main thread only; one DemoPrinter at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/render/job_driver_data.h"
#include "foundation/rw/wstring.h"
#include "persist/counted_ptr.h"
#include "support/acceptance_install.h"

class GAttributeComposite;
class GCommand;
class GFont;
class GMedia;
class GTTFontImp;
class GTTFontReader;

namespace print_demo {

inline constexpr char16_t kOutFolder[] = u"C:\\Out";
inline constexpr char16_t kDemoPort[] = u"FILE:C:\\Out\\job.prn";
inline constexpr char16_t kSpoolFolder[] = u"C:\\Drv\\Spool";
using support::kAcceptanceRecordBytes;
// The font's cells: 5 x 7 of them a glyph, a glyph's advance 6 cells.
inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 7;

class DemoPrinter {
 public:
  DemoPrinter() = default;
  DemoPrinter(const DemoPrinter&) = delete;
  DemoPrinter& operator=(const DemoPrinter&) = delete;
  ~DemoPrinter();

  // Resets the host services, loads the library's classes and the page
  // generator's, prepares `out` (PrepareOutFolder), installs and loads P1
  // in "printer" in a new folder of the temporary folder
  // (program_files::MakeTemporaryFolder), checks that P1's driver data file
  // can be read back, serves kOutFolder from PortFolder() and makes the
  // font pool. Answers what failed (a file or folder with the
  // system's reason, else the step), empty when all went well; Stop (or the
  // destructor) undoes what was done, and removes P1's folder. A non-zero
  // `uuid_seed` seeds the ids the printer makes (platform::SeedUuids), so
  // that they are the same on every run.
  std::string Start(const std::string& out, std::uint64_t uuid_seed = 0);
  // Gives the job back, uninstalls P1 and undoes Start; answers what failed,
  // P1's folder named with the reason when it cannot be removed.
  std::string Stop();

  // P1's default device mode from DrvDocumentProperties (DM_OUT_BUFFER);
  // empty when it fails.
  std::vector<std::uint8_t> DefaultRecord();
  // The user's road on P1's document sheet (DrvDocumentProperties with
  // DM_IN_BUFFER | DM_PROMPT | DM_OUT_BUFFER on `record`): on Basics, 2
  // typed into the copies (1021); on Finishing, the item of the two-sided
  // list (3011) whose text names the long edge; on Effects, "2" pages per
  // sheet (6012); then OK. `record` takes what the sheet handed back; false
  // when the call fails. A step the sheet refuses is reported
  // (platform::ReportUiFailure) and the road goes on, as a user's would,
  // but the answer is then false and `refused`, when given, says the first
  // such step.
  bool ChooseOnSheet(std::vector<std::uint8_t>& record, std::string* refused = nullptr);
  // A job of P1 checked out of the driver server, bound to `record`, its
  // spool directory set; the job's settings take the bound record's
  // document part (kDocumentSettingsKey), the copies' part
  // (kColorMediaSettingsKey) and the N-up settings (kNupSettingsKey) mapped
  // from the document part. Null when it cannot be had, also when those
  // parts could not be copied (memory: the last error says so). The
  // printer keeps it until ReleaseJob or Stop.
  GJobDriverData* CheckOutJob(const std::vector<std::uint8_t>& record);
  void ReleaseJob();

  // The files left in the spool directory (its folders included).
  int SpoolFileCount() const;

  support::AcceptanceInstall& Install() { return install_; }
  // The printer's host folder (removed by Stop): where the demonstration's
  // font file is written.
  const std::string& Folder() const { return folder_; }
  // The folder kOutFolder is served from, where the port makes job.prn:
  // `out`, unless its real path is not UTF-8 (the port reaches its file by
  // a wide name); then "out" in the run's own folder (removed by Stop),
  // from which the caller takes the file.
  const std::string& PortFolder() const { return port_folder_; }

 private:
  std::string own_;     // the run's own folder in the temporary folder
  std::string folder_;  // the printer's host folder, "printer" in own_
  std::string port_folder_;
  support::AcceptanceInstall install_;
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
  bool started_ = false;
};

// Makes the output folder `out` when missing (program_files::MakeFolders)
// and checks that a file can be written there; its absolute path in
// `served`. Answers what is wrong (naming the folder and the reason), empty
// when nothing is.
std::string PrepareOutFolder(const std::string& out, std::string& served);

// The demonstration's font, its reader opened on a file in `folder` and
// kept in the font pool (which must outlive it) by a face of its own; the
// file is removed with it, only when it made it. Not open when the file
// cannot be written (a file of that name is there already) or read back;
// Error() then says why, naming the file.
class DemoFont {
 public:
  explicit DemoFont(const std::string& folder);
  ~DemoFont();
  DemoFont(const DemoFont&) = delete;
  DemoFont& operator=(const DemoFont&) = delete;

  bool IsOpen() const { return reader_ != nullptr; }
  const std::string& Error() const { return error_; }
  // A new handle (the caller's) on a face `pixels` high for `job`, its
  // implementation entered in the job's font database, so that text on a
  // spooled page finds it again. Null when the font is not open.
  GFont* NewFont(GJobDriverData& job, std::int16_t pixels);

 private:
  std::string path_;
  std::string error_;
  bool made_ = false;                   // the file at path_ is this font's
  GTTFontReader* reader_ = nullptr;     // the font pool's
  std::unique_ptr<GTTFontImp> anchor_;  // a face that keeps the reader pooled
};

// A document start for `job` (MakeDocumentStart's: a copy of the job's
// settings) on `port`, with a copy of `medium` (kMediumKey) and orientation 0
// (kOrientationKey) unless the settings hold one: what the imposing filters
// lay their sheets out by. Null when it cannot be made.
GCountedPtr MakeDocument(GJobDriverData& job, const GMedia& medium, const RWWString& port);

// `key` of `set` (its first, depth first, as the filters find it) set to
// `value`; a new value attribute when there is none.
void SetOrAddValue(GAttributeComposite* set, std::uint32_t key, std::uint16_t value);

// Hands `start`, pages 1 to `pages` (MakePage) and a document end to the
// job driver, `before` told of each command first. Answers the first
// error code (the job then aborted; nothing more is handed on), else 0.
std::uint16_t PrintDocument(GJobDriverData& job, const GCountedPtr& start, int pages,
                            const GMedia& medium, DemoFont* font,
                            const std::function<void(const GCommand&)>& before = {});

// Page `n`'s commands for `job` (each held), in the order submitted: the
// page start on a copy of `medium` (kMediumKey) with orientation 0
// (kOrientationKey), a
// tag rectangle whose place tells the page, a polygon, a Bezier run, the
// text "Page n" in `font` (a new handle of it; none without a font) and a
// 64 x 48 grey gradient raster, then the page end. The drawing is laid out
// on the medium's printable area.
std::vector<GCountedPtr> MakePage(int n, const GMedia& medium, DemoFont* font, GJobDriverData& job);

}  // namespace print_demo
