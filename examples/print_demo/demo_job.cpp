#include "examples/print_demo/demo_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/load.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_road/canonical_chain.h"
#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"
#include "filters/load.h"
#include "filters/nup_filter.h"
#include "fonts/font_database.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "lang/text/load.h"
#include "lang/text/text_string.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/load.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/host/uuid.h"
#include "platform/text.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_host.h"
#include "services/driver_server.h"
#include "support/fixture_printer.h"
#include "support/truetype_writer.h"
#include "support/ui_user.h"

namespace print_demo {
namespace {

using DocumentPropertiesEntry = platform::LONG(platform::HWND, platform::HANDLE, const char16_t*,
                                               platform::DevModeW*, platform::DevModeW*,
                                               platform::DWORD);

// The controls of the sheet's road: the copies (Basics), two-sided
// printing (Finishing) and pages per sheet (Effects).
constexpr int kCopiesControl = 1021;
constexpr int kDuplexControl = 3011;
constexpr int kPagesPerSheetControl = 6012;

// The font: cells of 100 units (the em is 1000), a glyph's advance 6 cells.
constexpr std::int16_t kCell = 100;
constexpr std::uint16_t kAdvance = 6 * kCell;
constexpr std::uint16_t kFirstCode = 0x20;
constexpr std::uint16_t kLastCode = 0x7A;
constexpr std::uint32_t kUnicodeSelector = 16;
// The characters drawn, and their cells from the top row down.
constexpr char kFontCharacters[] = "Page0123456789";
constexpr std::array<const char*, 14> kFontGlyphs = {
    "####.#...##...#####.#....#....#....",  // P
    "...........###.....#.#####...#.####",  // a
    "......#####...##...#.####....#.###.",  // g
    "...........###.#...#######.....###.",  // e
    ".###.#...##..###.#.###..##...#.###.",  // 0
    "..#...##....#....#....#....#...###.",  // 1
    ".###.#...#....#...#...#...#...#####",  // 2
    "#####...#...#.....#.....##...#.###.",  // 3
    "...#...##..#.#.#..#.#####...#....#.",  // 4
    "######....####.....#....##...#.###.",  // 5
    "..##..#...#....####.#...##...#.###.",  // 6
    "#####....#...#...#...#....#....#...",  // 7
    ".###.#...##...#.###.#...##...#.###.",  // 8
    ".###.#...##...#.####....#...#..##..",  // 9
};

// A glyph of one box contour per filled cell; `cells` holds kGlyphRows
// rows of kGlyphColumns, the top row first (y up from the baseline, cell
// rows of kCell units).
std::string CellGlyph(const char* cells) {
  std::vector<std::array<std::int16_t, 4>> boxes;
  const std::size_t count = std::strlen(cells);
  for (std::size_t i = 0; i < count; ++i) {
    if (cells[i] != '#') continue;
    const auto x = std::int16_t(i % kGlyphColumns * kCell);
    const auto y = std::int16_t((kGlyphRows - 1 - int(i / kGlyphColumns)) * kCell);
    boxes.push_back({x, y, std::int16_t(x + kCell), std::int16_t(y + kCell)});
  }
  if (boxes.empty()) return "";
  using support::Be16;
  // As the writer's box glyph: each contour (x0, y0), (x0, y1), (x1, y1),
  // (x1, y0), clockwise, all points on the curve as 16-bit deltas.
  std::string glyph = Be16(std::uint16_t(boxes.size())) + Be16(0) + Be16(0) +
                      Be16(kGlyphColumns * kCell) + Be16(kGlyphRows * kCell);
  for (std::size_t b = 0; b < boxes.size(); ++b)
    glyph += Be16(std::uint16_t(4 * b + 3));
  glyph += Be16(0) + std::string(4 * boxes.size(), '\x01');
  std::string xs, ys;
  std::int16_t at_x = 0, at_y = 0;
  for (const auto& [x0, y0, x1, y1] : boxes) {
    const std::int16_t points[4][2] = {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
    for (const auto& [x, y] : points) {
      xs += Be16(std::uint16_t(x - at_x));
      ys += Be16(std::uint16_t(y - at_y));
      at_x = x, at_y = y;
    }
  }
  return glyph + xs + ys;
}

// The font's record for a face `pixels` high.
GFontDescriptionRecord Record(std::int16_t pixels) {
  GFontDescriptionRecord record;
  record.selector = kUnicodeSelector;
  record.height = pixels;
  record.words2[2] = kFirstCode;
  record.words2[3] = kLastCode;
  record.words2[4] = kFirstCode;  // codes without a glyph print as spaces
  return record;
}

std::string FontBytes() {
  using namespace support;
  // Glyph 0 .notdef and 1 the space, empty; then kFontCharacters in order.
  std::vector<std::string> glyphs = {"", ""};
  std::vector<std::uint16_t> map(kLastCode - kFirstCode + 1, 0);
  map[0] = 1;
  for (std::size_t i = 0; i < kFontGlyphs.size(); ++i) {
    map[std::size_t(kFontCharacters[i]) - kFirstCode] = std::uint16_t(glyphs.size());
    glyphs.push_back(CellGlyph(kFontGlyphs[i]));
  }
  const auto count = std::uint16_t(glyphs.size());
  auto [glyf, loca] = GlyfAndLoca(glyphs, false);
  TrueTypeWriter font;
  font.Add(
      "cmap",
      CmapTable({{3, 1, CmapFormat4({{kFirstCode, kLastCode, 0, map}, {0xFFFF, 0xFFFF, 1, {}}})}}));
  font.Add("glyf", glyf);
  font.Add("head", HeadTable(0, 0, 0, kGlyphColumns * kCell, kGlyphRows * kCell));
  font.Add("hhea", MetricsHeader(count));
  font.Add(
      "hmtx",
      MetricsTable(std::vector<std::pair<std::uint16_t, std::int16_t>>(count, {kAdvance, 0}), {}));
  font.Add("loca", loca);
  font.Add("maxp", MaxpTable(count));
  font.Add("name", NameTable());
  font.Add("post", PostTable());
  font.Add("OS/2", Os2Table(kFirstCode, kLastCode, 0));
  return font.Build();
}

}  // namespace

DemoPrinter::~DemoPrinter() {
  if (started_) Stop();
}

std::string DemoPrinter::Start(const std::string& out, std::uint64_t uuid_seed) {
  platform::ResetHostServices();
  platform::SetLastError(platform::kErrorSuccess);
  if (uuid_seed != 0) platform::SeedUuids(uuid_seed);
  RenderLoad();
  FiltersLoad();
  OutputLoad();
  LangTextLoad();
  RegisterPageRasterGenerator();
  RegisterFilePortHandler();
  GJobFontDatabase::CreateLock();
  started_ = true;
  if (!GTTFontPool::CreateInstance()) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return "making the font pool";
  }
  std::string served;
  if (std::string failed = PrepareOutFolder(out, served); !failed.empty()) return failed;
  if (std::string failed; !program_files::MakeTemporaryFolder("print_demo", own_, failed))
    return failed;
  // P1's folder inside the run's own: the install makes it by its name,
  // which once the run's end has removed the own folder has no parent.
  folder_ = own_ + "/printer";
  if (std::string failed = install_.Install(folder_); !failed.empty()) {
    const int error = install_.SystemError();
    return error ? failed + ": " + program_files::Reason(error) : failed;
  }
  // The library reads P1's driver data file back at every step, and says
  // no reason when it cannot: a umask that left the owner no read right
  // is said here.
  if (const std::string data = folder_ + "/" + support::kFixtureDataFileName;
      ::faccessat(AT_FDCWD, data.c_str(), R_OK, AT_EACCESS) != 0)
    return program_files::SystemError(data, "cannot read", errno);
  // The file port reaches its folder by a wide name, resolved: a folder
  // whose real name is not UTF-8 (the working folder's, say) cannot hold
  // the port's file, which is then made in the run's own folder.
  port_folder_ = out;
  std::error_code real;
  const std::string resolved = std::filesystem::canonical(served, real).string();
  if (std::u16string wide;
      !real && !platform::MultiByteToWide(resolved.data(), resolved.size(), wide)) {
    port_folder_ = own_ + "/out";
    if (!std::filesystem::create_directory(port_folder_, real))
      return port_folder_ + ": cannot make the folder: " + program_files::Reason(real.value());
    served = std::filesystem::absolute(port_folder_, real).string();
    if (real) return port_folder_ + ": no absolute path";
  }
  if (!platform::MapPathPrefix(kOutFolder, served)) return "serving " + out;
  std::error_code made;
  std::filesystem::create_directory(folder_ + "/Spool", made);
  return made ? folder_ + "/Spool: cannot make the folder: " + program_files::Reason(made.value())
              : "";
}

std::string PrepareOutFolder(const std::string& out, std::string& served) {
  std::vector<std::string> made;
  std::string failed;
  if (!program_files::MakeFolders(out, made, failed)) return failed;
  // A file made and removed: the folder's rights alone do not tell (a
  // read-only mount, a pseudo file system).
  std::string probe = out + "/.print_demo-XXXXXX";
  const int file = ::mkstemp(probe.data());
  if (file < 0) return program_files::SystemError(out, "cannot write there", errno);
  ::close(file);
  ::unlink(probe.c_str());
  std::error_code absolute;
  served = std::filesystem::absolute(out, absolute).string();
  return absolute ? out + ": no absolute path" : "";
}

std::string DemoPrinter::Stop() {
  platform::SetLastError(platform::kErrorSuccess);
  ReleaseJob();
  std::string failed = install_.Uninstall();
  GTTFontPool::DestroyInstance();
  GJobFontDatabase::DestroyLock();
  UnregisterFilePortHandler();
  UnregisterPageRasterGenerator();
  LangTextUnload();
  OutputUnload();
  FiltersUnload();
  RenderUnload();
  platform::ResetHostServices();
  if (const int stays = own_.empty() ? 0 : program_files::RemoveMade(own_)) {
    const std::string left = program_files::SystemError(own_, "cannot remove", stays);
    failed += failed.empty() ? left : "; " + left;
  }
  own_.clear();
  folder_.clear();
  port_folder_.clear();
  started_ = false;
  return failed;
}

std::vector<std::uint8_t> DemoPrinter::DefaultRecord() {
  platform::SetLastError(platform::kErrorSuccess);
  std::vector<std::uint8_t> record(kAcceptanceRecordBytes);
  auto* call = install_.Entry<DocumentPropertiesEntry>("DrvDocumentProperties");
  if (!call || call(nullptr, install_.Printer(), support::kFixturePrinter,
                    reinterpret_cast<platform::DevModeW*>(record.data()), nullptr,
                    platform::kDmModeCopy) != 1)
    record.clear();
  return record;
}

bool DemoPrinter::ChooseOnSheet(std::vector<std::uint8_t>& record, std::string* refused) {
  platform::SetLastError(platform::kErrorSuccess);
  if (record.size() != kAcceptanceRecordBytes) return false;
  support::OnSheet([](support::SheetDriver& sheet) {
    // The page that holds `control`, made the active one.
    const auto open = [&sheet](int control) {
      for (std::size_t i = 0; i < sheet.pages(); ++i) {
        if (sheet.activate(i) && platform::GetDlgItem(sheet.page().Handle(), control)) return true;
      }
      platform::ReportUiFailure("no page holds control " + std::to_string(control));
      return false;
    };
    if (open(kCopiesControl)) {
      support::UiDialog page = sheet.page();
      page.Type(kCopiesControl, u"2");
      page.Blur();
    }
    if (open(kDuplexControl)) {
      support::UiDialog page = sheet.page();
      const std::vector<std::u16string> items = page.Items(kDuplexControl);
      const auto long_edge =
          std::find_if(items.begin(), items.end(), [](const std::u16string& text) {
            return text.find(u"Long") != std::u16string::npos ||
                   text.find(u"long") != std::u16string::npos;
          });
      if (long_edge == items.end()) {
        platform::ReportUiFailure("the two-sided list offers no long edge");
      } else {
        page.Select(kDuplexControl, *long_edge);
      }
    }
    if (open(kPagesPerSheetControl)) sheet.page().Select(kPagesPerSheetControl, u"2");
    sheet.ok();
  });
  std::vector<std::uint8_t> in(record);
  auto* call = install_.Entry<DocumentPropertiesEntry>("DrvDocumentProperties");
  // A step the sheet refused leaves a record that is not what the user
  // chose, whatever the call answers.
  std::string first;
  platform::UiFailureHandler before =
      platform::SetUiFailureHandler([&first](const std::string& message) {
        if (first.empty()) first = message;
      });
  const bool answered =
      call && call(nullptr, install_.Printer(), support::kFixturePrinter,
                   reinterpret_cast<platform::DevModeW*>(record.data()),
                   reinterpret_cast<platform::DevModeW*>(in.data()),
                   platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify) == 1;
  platform::SetUiFailureHandler(std::move(before));
  if (refused) *refused = first;
  return answered && first.empty();
}

GJobDriverData* DemoPrinter::CheckOutJob(const std::vector<std::uint8_t>& record) {
  platform::SetLastError(platform::kErrorSuccess);
  ReleaseJob();
  auto* key = new GPrinterKey(install_.Printer(), support::kFixturePrinter, 0);
  job_ = CheckOutJobDriverData(key, cookie_);
  if (!job_) return nullptr;
  // The spool directory: P1's printer data names it, as the spooler keeps
  // it.
  const std::u16string spool = kSpoolFolder;
  if (job_->BindDevMode(reinterpret_cast<const platform::DevModeW*>(record.data())) != 1 ||
      platform::SetPrinterDataW(install_.Printer(), u"TempDirectoryLocation", platform::kRegSz,
                                reinterpret_cast<const platform::BYTE*>(spool.c_str()),
                                platform::DWORD(2 * (spool.size() + 1))) != 0) {
    ReleaseJob();
    return nullptr;
  }
  // The bound device mode's document part (and the copies' part) in the
  // job's settings, and the N-up settings from it; a copy not made is
  // memory's.
  if (!job_->RefreshJobParts()) {
    ReleaseJob();
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return nullptr;
  }
  job_->CopyMappedValues(job_->EnsureDefaultSettings(), job_->EnsureDefaultSettings());
  return job_;
}

void DemoPrinter::ReleaseJob() {
  if (job_) GDriverServer::Instance()->ReleaseRenderData(cookie_);
  job_ = nullptr;
}

int DemoPrinter::SpoolFileCount() const {
  int count = 0;
  std::error_code failed;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(folder_ + "/Spool", failed))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

DemoFont::DemoFont(const std::string& folder) : path_(folder + "/demo-font.ttf") {
  platform::SetLastError(platform::kErrorSuccess);
  if (!program_files::WriteNewFile(path_, FontBytes(), error_)) return;
  made_ = true;
  auto reader = std::make_unique<GTTFileReader>(0u);
  if (!reader->OpenHost(path_.c_str())) {
    error_ = path_ + ": the font reader refused it";
    return;
  }
  reader_ = reader.release();
  // The pool takes the reader and frees it with its last handle.
  anchor_ = std::make_unique<GTTFontImp>(0, Record(0), GFontAngleBlock{}, GTTFontPool::Instance(),
                                         reader_);
}

DemoFont::~DemoFont() {
  anchor_.reset();
  if (made_) ::unlink(path_.c_str());
}

GFont* DemoFont::NewFont(GJobDriverData& job, std::int16_t pixels) {
  GJobFontDatabase* database = job.GetJobFontDatabase();
  if (!reader_ || !database) return nullptr;
  auto* face = new GTTFontImp(0, Record(pixels), {}, GTTFontPool::Instance(), reader_);
  face->SetDatabaseKey(GJobFontDatabase::NextSerial());
  database->CountReference(face);
  return new GFont(face, &job);
}

GCountedPtr MakeDocument(GJobDriverData& job, const GMedia& medium, const RWWString& port) {
  platform::SetLastError(platform::kErrorSuccess);
  GCountedPtr start(MakeDocumentStart(job, port, u"print demo"));
  GAttributeComposite* set = start ? static_cast<GCommand*>(start.Get())->GetAttributes() : nullptr;
  if (!set) return GCountedPtr();
  auto* sheet = new GMedia(medium);
  sheet->SetKey(kMediumKey);
  set->AddChild(sheet);
  if (!FindValueAttribute(set, kOrientationKey))
    set->AddChild(new GValueAttribute(0, kOrientationKey));
  return start;
}

void SetOrAddValue(GAttributeComposite* set, std::uint32_t key, std::uint16_t value) {
  if (!SetValueIfPresent(set, key, value)) set->AddChild(new GValueAttribute(value, key));
}

std::uint16_t PrintDocument(GJobDriverData& job, const GCountedPtr& start, int pages,
                            const GMedia& medium, DemoFont* font,
                            const std::function<void(const GCommand&)>& before) {
  std::vector<GCountedPtr> commands = {start};
  for (int n = 1; n <= pages; ++n)
    for (GCountedPtr& command : MakePage(n, medium, font, job))
      commands.push_back(command);
  commands.emplace_back(new GDocumentEnd(
      nullptr, start.Get() ? static_cast<GDocumentStart*>(start.Get())->GetPortName() : RWWString(),
      u"print demo", 0u));
  for (const GCountedPtr& command : commands) {
    auto* in_hand = static_cast<GCommand*>(command.Get());
    if (before) before(*in_hand);
    if (const std::uint16_t code = job.Submit(in_hand)) return code;
  }
  return 0;
}

std::vector<GCountedPtr> MakePage(int n, const GMedia& medium, DemoFont* font,
                                  GJobDriverData& job) {
  std::vector<GCountedPtr> page;
  auto* set = new GState(0u);
  auto* placed = new GMedia(medium);
  placed->SetKey(kMediumKey);
  set->AddChild(placed);
  set->AddChild(new GValueAttribute(0, kOrientationKey));
  page.emplace_back(new GPageStart(set, 0u));

  // Laid out in twelfths of the printable area's smaller side.
  const GSize16 origin = medium.GetPrintableOrigin();
  const GSize16 size = medium.GetPrintableSize();
  const int unit = std::min(size.width, size.height) / 12;
  auto at = [&](int x, int y) {
    return GShortPoint{std::int16_t(origin.width + x * unit),
                       std::int16_t(origin.height + y * unit)};
  };
  // The tag: a square whose place along the top tells the page.
  const GShortPoint tag = at(1 + n, 1);
  page.emplace_back(new GRectangleGraphic(
      GShortRect{tag.x, tag.y, std::int16_t(tag.x + unit / 2), std::int16_t(tag.y + unit / 2)},
      nullptr, 0u));
  // A five-pointed star, filled by the even-odd rule (its middle stays
  // white).
  const GShortPoint star[] = {at(3, 3), at(5, 8), at(0, 5), at(6, 5), at(1, 8)};
  GShortPointArray star_points;
  GShortPointArray::CopyOf(star, 5, star_points);
  page.emplace_back(new GPolygonGraphic(star_points, nullptr, 0u));
  // A wave of two Bezier segments.
  const GShortPoint wave[] = {at(7, 5),  at(8, 3),  at(9, 7), at(10, 5),
                              at(11, 3), at(11, 7), at(11, 5)};
  GShortPointArray wave_points;
  GShortPointArray::CopyOf(wave, 7, wave_points);
  page.emplace_back(new GPolyBezierGraphic(wave_points, nullptr, 0u));
  // "Page n", a unit high.
  if (GFont* face = font ? font->NewFont(job, std::int16_t(unit)) : nullptr) {
    const std::string text = "Page " + std::to_string(n);
    auto codes = std::make_unique<std::uint16_t[]>(text.size());
    std::vector<GShortPoint> positions;
    for (std::size_t i = 0; i < text.size(); ++i) {
      codes[i] = std::uint16_t(text[i]);
      GShortPoint p = at(1, 10);
      p.x = std::int16_t(p.x + i * unit * 6 / 10);
      positions.push_back(p);
    }
    page.emplace_back(new GTextStringGraphic(
        face, GCodeBuffer::Adopt(std::move(codes), std::uint32_t(text.size())), kWideCodeSet,
        positions, 0, nullptr));
  }
  // A 64 x 48 grey gradient, dark at the left, set 8 units wide.
  constexpr int kWidth = 64, kHeight = 48;
  const std::uint64_t stride = PaddedRowBytes(kWidth, 8, 1);
  auto pixels = std::make_unique<std::uint8_t[]>(stride * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      pixels[y * stride + x] = std::uint8_t(x * 4 + y / 12);
  GBitmap gradient(new GBitmapImp(kWidth, kHeight, 8, 1, std::move(pixels), nullptr));
  const GShortPoint corner = at(6, 8);
  page.emplace_back(
      new GRasterGraphic(gradient, nullptr, GShortRect{0, 0, kWidth, kHeight},
                         GShortRect{corner.x, corner.y, std::int16_t(corner.x + 4 * unit),
                                    std::int16_t(corner.y + 3 * unit)},
                         GBitmap()));
  page.emplace_back(new GPageEnd(0u));
  return page;
}

}  // namespace print_demo
