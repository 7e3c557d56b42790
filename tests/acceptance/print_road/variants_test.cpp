// Variants of the print road: hand-written transcripts of documents through
// the canonical chain (examples/print_road/canonical_chain.h) on the test
// job context, and the damage a job meets on the way (a held page file
// gone, a full disk under the port).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/media.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_road/canonical_chain.h"
#include "filters/color_adjustment_filter.h"
#include "filters/page_spool.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "output/attributes/transform.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "support/listed_printer.h"
#include "tests/support/filter_harness.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

constexpr char16_t kPort[] = u"FILE:C:\\Out\\job.prn";

// A page 6601 x 5100 dots with margins 120, "Plain", of a paper code the
// driver has no medium for (the job leaves it as it is), keyed 259.
GMedia* Sheet() {
  return new GMedia("", GSize16(6601, 5100), GSize16(6361, 4860), GSize16(120, 120), 0, 100, 600,
                    600, 259, 0, "", "Plain");
}

// The recorder's events as tokens: DS, DE, JA, PB (the pass break), "["
// and "]" round each sheet, each page's tag, "T<x>,<y>" for a null
// command placing a page (a bundle of one transform: its offset) and "W"
// for the test job context's watermark marker.
std::string Transcript(const GRecordingDevice& recorder) {
  std::string out;
  for (const RecordedEvent& event : recorder.events) {
    auto* command = static_cast<GCommand*>(event.command.Get());
    GAttributeComposite* set = command->GetAttributes();
    std::string token;
    switch (command->ClassId()) {
      case kGDocumentStartId:
        token = "DS";
        break;
      case kGDocumentEndId:
        token = "DE";
        break;
      case kGJobAbortId:
        token = "JA";
        break;
      case kPassBreakId:
        token = "PB";
        break;
      case kGPageStartId:
        token = "[";
        break;
      case kGPageEndId:
        token = "]";
        break;
      case kGRectangleGraphicId:
        token = std::to_string(static_cast<GRectangleGraphic*>(command)->GetBounds().left);
        break;
      case kGNullCommandId:
        if (command->Key() == kMarkerCommand) token = "W";
        if (auto* place = set && set->EntryCount() == 1
                              ? dynamic_cast<GTransformAttribute*>(set->Children()[0].Get())
                              : nullptr)
          token = "T" + std::to_string(place->GetOffset().x) + "," +
                  std::to_string(place->GetOffset().y);
        break;
    }
    if (!token.empty()) out += (out.empty() ? "" : " ") + token;
  }
  return out;
}

// On the listed printer (support/listed_printer.h), whose configuration
// set holds the copy-page filter's quality list 906 {1: "LOW", 2: "low"}.
class PrintRoad : public JobContextFixture {
 protected:
  PrintRoad() { InstallWith(support::BuildListedDataFile()); }
  void SetUp() override {
    JobContextFixture::SetUp();
    std::filesystem::create_directory(out_.str());
    ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Out", out_.str()));
    ASSERT_EQ(RegisterFilePortHandler(), 0);
  }
  void TearDown() override {
    UnregisterFilePortHandler();
    std::filesystem::remove_all(out_.str());
    JobContextFixture::TearDown();
  }
  // The canonical chain for `document`, ending in `tail`, driven by the job.
  void Chain(GAttributeComposite* document, GPeripheral* tail) {
    Job()->SetOutputChain(static_cast<GPeripheral*>(BuildCanonicalChain(document, {tail}).Get()));
  }
  // A document start on `values` and a Sheet(), for kPort.
  GCountedPtr Document(Values values, const char16_t* port = kPort) {
    auto* set = new GState(0u);
    for (const auto& [key, value] : values)
      set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
    set->AddChild(Sheet());
    return GCountedPtr(new GDocumentStart(set, port, u"doc", Job(), 0u));
  }
  // Pages 1..n (each a start on {265: 0, 258: 1} and a Sheet(), its tag and
  // an end), a pass break after page `pass_break` (none: 0), the end.
  // Answers the job driver's codes, OR'ed.
  std::uint16_t Print(const GCountedPtr& start, int pages, int pass_break = 0, bool end = true) {
    std::uint16_t codes = Job()->Submit(static_cast<GCommand*>(start.Get()));
    for (std::int16_t n = 1; n <= pages; ++n) {
      GCountedPtr page = Command(kGPageStartId, {{265, 0}, {258, 1}});
      static_cast<GCommand*>(page.Get())->GetAttributes()->AddChild(Sheet());
      for (const GCountedPtr& c : {page, Tag(n), Command(kGPageEndId)})
        codes |= Job()->Submit(static_cast<GCommand*>(c.Get()));
      if (n == pass_break) codes |= Job()->Submit(static_cast<GCommand*>(Command(718).Get()));
    }
    if (end) codes |= Job()->Submit(static_cast<GCommand*>(Command(kGDocumentEndId).Get()));
    return codes;
  }
  std::string Port() { return ReadAll(out_.str() + "/job.prn"); }
  bool NoPort() { return !std::filesystem::exists(out_.str() + "/job.prn"); }
  bool NoSpoolFiles() { return std::filesystem::is_empty(SpoolParent()); }

  TempPath out_{"road-out"};  // C:\Out
};

TEST_F(PrintRoad, TheChainStandsInItsOrderAndTakesTheColourMode) {
  // The order, front to back, by class id: 1115 GAAFilter1, 1112 reducing,
  // 1107 Tintvector, 1102 watermark, 1105 booklet, 1101 N-up, 1108
  // margins, 1103 fit to size, 1104 scale, 1117 symmetrical duplex, 1118
  // front and 1111 back cover, 1119 last page, 1114 letterhead, 1110
  // manual duplex, 1113 copy page, 1109 reverse, 1120 face up, 1116
  // GAAFilter2; then the tail.
  const std::vector<RWClassID> order = {1115, 1112, 1107, 1102, 1105, 1101, 1108, 1103, 1104, 1117,
                                        1118, 1111, 1119, 1114, 1110, 1113, 1109, 1120, 1116, 788};
  // The colour mode by the class of the settings' 295: none 0, 792 1,
  // 797 3, 1201 4.
  const std::pair<MPersistentObject*, std::int32_t> modes[] = {
      {nullptr, 0},
      {new GTintvectorAttribute(kColorAdjustmentKey), 1},
      {new GTintvectorEnhancedAttribute(kColorAdjustmentKey), 3},
      {new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey), 4}};
  for (const auto& [attribute, mode] : modes) {
    GCountedPtr set(new GState(0u));
    if (attribute) static_cast<GState*>(set.Get())->AddChild(attribute);
    GCountedPtr chain = BuildCanonicalChain(static_cast<GState*>(set.Get()), {new GZdl5e, nullptr});
    const GCountedPtrVector& devices = static_cast<GPeripheralComposite*>(chain.Get())->Children();
    std::vector<RWClassID> ids;
    for (RWSize i = 0; i < devices.Count(); ++i)
      ids.push_back(devices[i]->ClassId());
    EXPECT_EQ(ids, order);
    EXPECT_EQ(static_cast<GTintvectorFilter*>(devices[2].Get())->Mode(), mode);
  }
  // The document start carries a copy of the job's settings and the job;
  // P1's settings ask for no filter but the colour adjustment, in mode 4
  // (their 295 is a 1201): each page start gets its enhanced attribute.
  // (Their watermark setting names no text: the job makes it no font.)
  GCountedPtr start(MakeDocumentStart(*Job(), kPort, u"doc"));
  auto* document = static_cast<GDocumentStart*>(start.Get());
  ASSERT_TRUE(document && document->GetJobContext() == Job() && document->GetPortName() == kPort);
  EXPECT_TRUE(document->GetAttributes() != Defaults() &&
              document->GetAttributes()->NodeCount() == Defaults()->NodeCount());
  auto* recorder = new GRecordingDevice;
  Chain(document->GetAttributes(), recorder);
  EXPECT_EQ(Print(start, 2), 0);
  EXPECT_EQ(Transcript(*recorder), "DS [ 1 ] [ 2 ] DE");
  for (const RecordedEvent& event : recorder->events) {
    GAttributeComposite* set = static_cast<GCommand*>(event.command.Get())->GetAttributes();
    if (event.command->ClassId() == kGPageStartId) {
      MPersistentObject* enhanced = set->FindByKey(295);
      EXPECT_TRUE(enhanced && enhanced->ClassId() == kGTintvectorEnhancedAttributeVer2Id);
    }
  }
  EXPECT_TRUE(NoSpoolFiles());
}

TEST_F(PrintRoad, VariantsThroughTheCanonicalChain) {
  // N-up 2 (329 -> 266), five pages on a sheet 6601 x 5100 with margins
  // 120: one column of two rows, the sheet not turned, cells 6357 x 2411 at
  // (122, 122) and (122, 2563) (gaps 30, margins 120 and 2 of the frame's).
  // A page at (120, 120) scales by s = 2411 / 5100 (6357 / 6601 is larger),
  // the width's slack (6357 - 6601 s) / 2 = 1618.2 and the margin 120 s =
  // 56.73: offsets (122 + trunc(1618.2 + 56.73), 122 + trunc(56.73)) =
  // (1796, 178), and 2563 + 56 = 2619 in the second cell; the fifth page
  // closes the third sheet alone.
  // Reverse (710 = 1): the pages last first.
  // Manual duplex (the job's 245 = 3, 1010 = 1; 253 = 2, bin 248 = 2):
  // pass orders 3 / 0, so the first pass is the even pages descending,
  // the blank sixth first, then the break; the odd pages ascend after it.
  // Copies 2 through the copy page (907 selecting "LOW", 291 = 2, 247 = 1):
  // each page twice in a row; "low" (907 = 2) leaves them to the printer. Watermark (379 {381 = 0,
  // 382 = 0}): the test job's marker before each page end.
  const struct {
    const char* name;
    Values document;
    std::function<void()> prepare;
    int pages, pass_break;
    const char* transcript;
  } cases[] = {
      {"nup",
       {{266, 2}, {268, 0}, {267, 0}, {265, 0}},
       {},
       5,
       0,
       "DS [ T1796,178 1 T1796,2619 2 ] [ T1796,178 3 T1796,2619 4 ] [ T1796,178 5 ] DE"},
      {"reverse", {{710, 1}}, {}, 3, 0, "DS [ 3 ] [ 2 ] [ 1 ] DE"},
      {"manual duplex",
       {{253, 2}, {248, 2}, {247, 1}},
       [this] {
         SetValue(JobSettings(), 245, 3);
         SetValue(JobSettings(), 1010, 1);
       },
       5,
       5,
       "DS [ ] [ 4 ] [ 2 ] PB [ 1 ] [ 3 ] [ 5 ] DE"},
      {"copies", {{907, 1}, {291, 2}, {247, 1}}, {}, 2, 0, "DS [ 1 ] [ 1 ] [ 2 ] [ 2 ] DE"},
      {"copies not low", {{907, 2}, {291, 2}, {247, 1}}, {}, 2, 0, "DS [ 1 ] [ 2 ] DE"},
      {"watermark", {}, {}, 2, 0, "DS [ 1 W ] [ 2 W ] DE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.prepare) c.prepare();
    GCountedPtr start = Document(c.document);
    GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
    if (c.name == std::string("nup")) {
      auto* nup = new GAttributeComposite(329u);
      for (std::uint32_t key : {266u, 268u, 267u})
        nup->AddChild(static_cast<MPersistentObject*>(set->RemoveByKey(key)));
      set->AddChild(nup);
    }
    if (c.name == std::string("watermark")) {
      auto* mark = new GAttributeComposite(379u);
      mark->AddChild(new GValueAttribute(0, 381));
      mark->AddChild(new GValueAttribute(0, 382));
      mark->AddChild(new GStringAttribute("Draft", 385));
      set->AddChild(mark);
    }
    auto* recorder = new GRecordingDevice;
    Chain(set, recorder);
    EXPECT_EQ(Print(start, c.pages, c.pass_break), 0);
    EXPECT_EQ(Transcript(*recorder), c.transcript);
    EXPECT_TRUE(NoSpoolFiles());
    ReleaseJob();
  }
}

TEST_F(PrintRoad, TheGeneratorAnswersTheManualDuplexBreakWithPadding) {
  // Nothing else reaches the port: the generator's page stream is not
  // built, and no header was asked for.
  SetValue(JobSettings(), 245, 3);
  GCountedPtr start = Document({{253, 2}, {248, 2}, {247, 1}});
  Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), new GZdl5e);
  EXPECT_EQ(Print(start, 5, 5), 0);
  ReleaseJob();
  start = GCountedPtr();
  EXPECT_EQ(Port(), std::string(200, '\0'));
  EXPECT_TRUE(NoSpoolFiles());
}

TEST_F(PrintRoad, AHeldPageFileGoneAbortsTheJob) {
  // Face up (1229 = 1) holds both pages until the document end; the first
  // page's store is deleted meanwhile. Its replay fails on the generator:
  // the error comes back to the job driver, which aborts the job: the
  // filters clear their spools and the port is finished.
  GCountedPtr start = Document({{1229, 1}});
  auto* generator = new GZdl5e;
  Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), generator);
  ASSERT_EQ(Print(start, 2, 0, false), 0);
  bool deleted = false;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(SpoolParent()))
    if (!deleted && entry.path().extension() == ".fpg")
      deleted = std::filesystem::remove(entry.path());
  ASSERT_TRUE(deleted);
  EXPECT_EQ(Job()->Submit(static_cast<GCommand*>(Command(kGDocumentEndId).Get())), kSpoolFailure);
  EXPECT_EQ(generator->GetJobState(), 0u);  // the job abort reached it
  EXPECT_TRUE(NoSpoolFiles());
  EXPECT_TRUE(NoPort());  // nothing of a failed job looks like output
  GOutputTarget* port = static_cast<GDocumentStart*>(start.Get())->GetPort();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->GetState(), GOutputTarget::kFinished);
  EXPECT_EQ(platform::OpenFileCount(), 0u);
}

TEST_F(PrintRoad, AFullDiskUnderThePortIsReportedAndTheJobAborted) {
  // The pass break's 200 zeros meet a file-size limit of 100 bytes: the
  // write error is kept and answered; the process lives on, and the cut
  // file is gone.
  GCountedPtr start = Document({});
  Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), new GZdl5e);
  std::uint16_t code = 0;
  {
    FileSizeLimit limit(100);
    ASSERT_TRUE(limit.Ok());
    code = Print(start, 0, 0, false);
    code |= Job()->Submit(static_cast<GCommand*>(Command(718).Get()));
  }
  EXPECT_EQ(code, platform::kErrorDiskFull);
  EXPECT_EQ(static_cast<GDocumentStart*>(start.Get())->GetPort()->GetState(),
            GOutputTarget::kFinished);
  EXPECT_EQ(platform::OpenFileCount(), 0u);
  EXPECT_TRUE(NoPort());
}

TEST_F(PrintRoad, APortIsNeverOneOfTheDriversOrTheSpoolsFiles) {
  // Spools go to C:\Out\Spool (a folder, no port either); C:\Out\drv is a
  // link to the driver directory C:\Drv, which holds the driver data file;
  // C:\Out\up a link out of C:\Out. Each refused port keeps its reason, as
  // do those the system refuses (C:\Out\bad leads to a name not UTF-8).
  std::filesystem::create_directory(out_.str() + "/Spool");
  std::filesystem::create_directory_symlink(HostPath(""), out_.str() + "/drv");
  TempPath away("away");
  std::filesystem::create_directory(away.str());
  std::filesystem::create_directory_symlink(away.str(), out_.str() + "/up");
  std::filesystem::create_directory(out_.str() + "/\xff");
  std::filesystem::create_directory_symlink(out_.str() + "/\xff", out_.str() + "/bad");
  ASSERT_EQ(GOSFactory::Instance()->SetPrinterDataString(Job(), u"TempDirectoryLocation",
                                                         u"C:\\Out\\Spool"),
            1);
  const std::string data = ReadAll(HostPath(support::kFixtureDataFileName));
  using platform::kErrorAccessDenied;
  const std::pair<std::u16string, platform::DWORD> cases[] = {
      {u"FILE:C:\\Drv\\KVTEST.DAT", kErrorAccessDenied},
      {u"FILE:C:\\Out\\drv\\KVTEST.DAT", kErrorAccessDenied},
      {u"FILE:C:\\Drv\\job.prn", kErrorAccessDenied},
      {u"FILE:C:\\Out\\Spool\\job.prn", kErrorAccessDenied},
      {u"FILE:C:\\Out\\up\\job.prn", kErrorAccessDenied},
      {u"FILE:C:\\Out\\Spool", platform::kErrorDirectoryNotSupported},
      {u"FILE:C:\\Out\\bad\\job.prn", platform::kErrorNoUnicodeTranslation},
      {u"FILE:C:\\Out\\" + std::u16string(300, u'n'), platform::kErrorFilenameExcedRange},
      {u"FILE:C:\\Out\\none\\job.prn", platform::kErrorFileNotFound},
      {u"FILE:Out\\job.prn", platform::kErrorBadPathname}};
  for (const auto& [port, failure] : cases) {
    GCountedPtr start = Document({}, port.c_str());
    auto* generator = new GZdl5e;
    Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), generator);
    EXPECT_EQ(Job()->Submit(static_cast<GCommand*>(start.Get())), kPortNotReady);
    EXPECT_EQ(generator->GetOutput()->GetFailure(), failure) << port.size();
  }
  EXPECT_EQ(ReadAll(HostPath(support::kFixtureDataFileName)), data);
  EXPECT_FALSE(std::filesystem::exists(HostPath("job.prn")) ||
               std::filesystem::exists(out_.str() + "/Spool/job.prn") ||
               !std::filesystem::is_empty(away.str()));
}

TEST_F(PrintRoad, APortNeverWritesThroughAHardLink) {
  // data-hard.prn, a hard link to the driver data file, is refused as its
  // name is; shared.prn, a hard link to another folder's file, gives way to
  // the job's file, and the other folder's file keeps its bytes.
  const std::string data_file = HostPath(support::kFixtureDataFileName);
  const std::string data = ReadAll(data_file);
  TempPath away("away");
  std::filesystem::create_directory(away.str());
  WriteAll(away.str() + "/kept", "kept");
  std::filesystem::create_hard_link(data_file, out_.str() + "/data-hard.prn");
  std::filesystem::create_hard_link(away.str() + "/kept", out_.str() + "/shared.prn");
  GCountedPtr start = Document({}, u"FILE:C:\\Out\\data-hard.prn");
  Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), new GZdl5e);
  EXPECT_EQ(Job()->Submit(static_cast<GCommand*>(start.Get())), kPortNotReady);
  start = Document({}, u"FILE:C:\\Out\\shared.prn");
  Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), new GZdl5e);
  EXPECT_EQ(Print(start, 1, 1), 0);  // the pass break writes 200 zeros
  ReleaseJob();
  EXPECT_TRUE(ReadAll(data_file) == data);  // not dumped when it differs
  EXPECT_EQ(ReadAll(away.str() + "/kept"), "kept");
  EXPECT_EQ(ReadAll(out_.str() + "/shared.prn"), std::string(200, '\0'));
}

TEST_F(PrintRoad, AJobTheCallerAbortsLeavesNoPortFile) {
  // Three pages (a start, its tag, an end) straight to the generator (the
  // demonstration's, or one that leaves its port to the job), a job abort
  // inside page 3 (before its tag) or just before the document end, the
  // commands after it still coming: no port file is left.
  for (bool raster : {true, false}) {
    for (std::size_t abort_at : {8u, 10u}) {
      SCOPED_TRACE(testing::Message() << raster << " " << abort_at);
      GCountedPtr start = Document({});
      Job()->SetOutputChain(raster ? static_cast<GPeripheral*>(new GPageRasterGenerator)
                                   : new GZdl5e);
      std::vector<GCountedPtr> commands = {start};
      for (std::int16_t n = 1; n <= 3; ++n) {
        GCountedPtr page = Command(kGPageStartId);
        static_cast<GCommand*>(page.Get())->GetAttributes()->AddChild(Sheet());
        commands.insert(commands.end(), {page, Tag(n), Command(kGPageEndId)});
      }
      commands.push_back(Command(kGDocumentEndId));
      commands.insert(commands.begin() + abort_at, Command(kGJobAbortId));
      for (const GCountedPtr& command : commands) {
        const std::uint16_t answer = Job()->Submit(static_cast<GCommand*>(command.Get()));
        EXPECT_TRUE(answer == 0 || command->ClassId() != kGJobAbortId);
      }
      EXPECT_TRUE(NoPort());
      EXPECT_EQ(platform::OpenFileCount(), 0u);
      ReleaseJob();
    }
  }
}

TEST_F(PrintRoad, ThePortFileTakesTheTargetsPlaceAtTheDocumentEnd) {
  // job.prn holds an earlier job's output. Mid-job (the pass break's 200
  // zeros written) it still does, the new output beside it; a document end
  // puts the new output in its place. Any other ending leaves it as it
  // was: a job abort, a port never opened, one finished or let go with the
  // job before its end, and a flush or close of the new file that fails at
  // the end (which answers the error; the demonstration's generator, which
  // closes its own port, answers it too). A failed flush of the folder
  // after the rename answers the error, the new output already in place.
  // Last, files killed jobs could have left, by the names a job counting
  // from 0 would try, block nothing and stay.
  const std::string zeros(200, '\0');
  const struct {
    const char* end;
    int flush_failure, close_failure;
    std::uint16_t answer;
    std::string port;
    int leftovers = 0;
    bool raster = false;
  } cases[] = {{"document end", 0, 0, 0, zeros},
               {"document end", 1, 0, platform::kErrorWriteFault, "earlier", 0, true},
               {"job abort", 0, 0, 0, "earlier"},
               {"never opened", 0, 0, 0, "earlier"},
               {"let go", 0, 0, 0, "earlier"},
               {"finished", 0, 0, 0, "earlier"},
               {"document end", 1, 0, platform::kErrorWriteFault, "earlier"},
               {"document end", 0, 1, platform::kErrorWriteFault, "earlier"},
               {"document end", 2, 0, platform::kErrorWriteFault, zeros},
               {"document end", 0, 0, 0, zeros, 1024}};
  const auto files = [&] {
    return std::distance(std::filesystem::directory_iterator(out_.str()), {});
  };
  for (const auto& c : cases) {
    const std::string end = c.end;
    SCOPED_TRACE(end + " " + std::to_string(c.flush_failure) + std::to_string(c.close_failure) +
                 (c.raster ? " raster" : ""));
    WriteAll(out_.str() + "/job.prn", "earlier");
    for (int n = 0; n < c.leftovers; ++n)
      WriteAll(out_.str() + "/~prn" + std::to_string(n) + ".tmp", "");
    GCountedPtr start = Document({});
    Chain(static_cast<GCommand*>(start.Get())->GetAttributes(),
          c.raster ? static_cast<GPeripheral*>(new GPageRasterGenerator) : new GZdl5e);
    if (end == "never opened") {
      // Made by the handler as a generator makes it, then let go.
      delete static_cast<GOutputTarget*>(
          GPortHandlerRegistry::Instance().OpenPort(kPort, Job(), 0));
    } else {
      ASSERT_EQ(Print(start, 1, 1, false), 0);
      EXPECT_EQ(Port(), "earlier");
      EXPECT_EQ(files(), 2 + c.leftovers);
      platform::SetFileFlushFailure(c.flush_failure);
      platform::SetFileCloseFailure(c.close_failure);
      if (end == "finished") static_cast<GDocumentStart*>(start.Get())->GetPort()->Finish();
      const RWClassID last = end == "job abort" ? kGJobAbortId : kGDocumentEndId;
      if (end != "let go" && end != "finished") {
        EXPECT_EQ(Job()->Submit(static_cast<GCommand*>(Command(last).Get())), c.answer);
      }
    }
    ReleaseJob();
    start = GCountedPtr();
    EXPECT_EQ(Port(), c.port);
    EXPECT_EQ(files(), 1 + c.leftovers);
    EXPECT_EQ(platform::OpenFileCount(), 0u);
  }
}

TEST_F(PrintRoad, AnAbortBeforeTheDocumentChangesNothing) {
  // A job abort submitted before any document start, then a face-up (1229)
  // document of three pages: the abort ends nothing that had begun, so the
  // document prints as asked, answers success, and its port file is the
  // one the same document gives without the abort (pages last first).
  std::string ports[2];
  for (bool abort_first : {false, true}) {
    SCOPED_TRACE(abort_first);
    GCountedPtr start = Document({{1229, 1}});
    Chain(static_cast<GCommand*>(start.Get())->GetAttributes(), new GPageRasterGenerator);
    if (abort_first) {
      EXPECT_EQ(Job()->Submit(static_cast<GCommand*>(Command(kGJobAbortId).Get())), 0);
    }
    EXPECT_EQ(Print(start, 3), 0);
    ReleaseJob();
    ports[abort_first] = Port();
    EXPECT_TRUE(NoSpoolFiles());
  }
  EXPECT_NE(ports[0].find("ENDPAGE"), std::string::npos);
  EXPECT_TRUE(ports[1] == ports[0]);
}

}  // namespace
