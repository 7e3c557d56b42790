// The job-language device and the three generators: the job header's
// display line, the ZDL5 padding and template language, the stand-ins'
// records, documents written to files through the file port (and a full
// disk), and their registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/factory.h"
#include "lang/joblang_zdl5/wqm.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "services/render_driver_data.h"
#include "support/fake_driver_data.h"
#include "tests/support/every_class.h"
#include "tests/support/host_fixture.h"
#include "tests/support/memory_port.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::MemoryPort;

// A job context whose job settings the test fills.
struct JobContext : FakeDriverData, GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return nullptr; }
};

GAttributeComposite* Set(std::initializer_list<GAttribute*> children) {
  auto* set = new GAttributeComposite(0);
  for (GAttribute* child : children)
    set->AddChild(child);
  return set;
}

// The display text is cleaned: a quote or line end would end the line.
TEST(Wqm, TheJobHeaderGetsTheDisplayLine) {
  const std::string longest(kDisplayTextLimit, 'x');
  struct Case {
    std::string text;      // "-": no 800
    int operator_message;  // -1: no 801
    std::string line;
  } cases[] = {
      {"test", 1, "OPMSG DISPLAY = \"test\"\r\n"},
      {"test", 0, "RDYMSG DISPLAY = \"test\"\r\n"},
      {"a b", -1, "RDYMSG DISPLAY = \"a b\"\r\n"},
      {"-", 1, ""},
      {"x\"\r\n@ZJL SET COPIES=999\r\n", 0, "RDYMSG DISPLAY = \"x@ZJL SET COPIES=999\"\r\n"},
      {"a\x1b"
       "E\tb\x7f\xc3\xa9!",
       0, "RDYMSG DISPLAY = \"aEb!\"\r\n"},
      {std::string(100000, 'x'), 0, "RDYMSG DISPLAY = \"" + longest + "\"\r\n"},
  };
  for (const Case& c : cases) {
    GAttributeComposite* document = Set({});
    if (c.text != "-") {
      document->AddChild(
          new GStringAttribute(RWCString(c.text.data(), c.text.size()), kDisplayTextKey));
    }
    if (c.operator_message >= 0) {
      document->AddChild(new GValueAttribute(c.operator_message, kOperatorMessageKey));
    }
    JobContext job;  // without 1010
    GDocumentStart start(document, u"MEM:", u"doc", &job, 0);
    MemoryPort port;
    port.Open(u"doc");
    start.SetPort(&port);
    GWqm wqm;
    EXPECT_EQ(wqm.DocumentStart(start), 0);
    EXPECT_EQ(port.bytes, c.line);
    EXPECT_TRUE(wqm.GetCallLog().Text().IsNull());
  }
  // The manual-duplex header line is a stand-in; key 1010 stays as found.
  JobContext job;
  job.GetJobSettings()->AddChild(new GValueAttribute(1, kManualDuplexInstructionsKey));
  GDocumentStart start(Set({}), u"MEM:", u"doc", &job, 0);
  GWqm wqm;
  EXPECT_EQ(wqm.DocumentStart(start), 0);  // no port: nothing written
  EXPECT_EQ(wqm.GetCallLog().Text(), RWCString("ManualDuplexHeader\n"));
}

TEST(Zdl5e, PaddingIsTwoHundredZerosInOneFlush) {
  GZdl5e zdl5;
  MemoryPort port;
  zdl5.SetOutput(&port, false);
  GNullCommand pass_break;
  EXPECT_EQ(zdl5.OnPassBreak(pass_break), 0);
  EXPECT_EQ(port.bytes, std::string(200, '\0'));
  EXPECT_EQ(port.writes, 1);
}

// Height: A rounded to a multiple of 25, over 100; pitch: 12000 over that.
TEST(Zdl5e, TemplateLanguageFillsTheSelectionTemplate) {
  struct Case {
    const char* program;
    double a;
    const char* out;  // null: the fill fails
  } cases[] = {
      {kHeightProgram, 1000, "10.00"},
      {kPitchProgram, 1000, "12.00"},
      {kHeightProgram, 1013, "10.25"},
      {kPitchProgram, 1013, "11.71"},
      {kHeightProgram, 10, "0.00"},
      {kPitchProgram, 10, nullptr},
      {"7 2/%F1", 0, "3.0"},
      {"%f7 2/%F1", 0, "3.5"},
      {"%f0 5-8/%F2", 0, "-0.63"},
      {"%f1.25%F0", 0, "1"},
      {"2 3%F0", 0, "3"},
      {"3 x", 0, nullptr},
      {"+", 0, nullptr},
      {"i", 0, nullptr},
      {"5", 0, nullptr},
      {"%f1e%F2", 0, nullptr},
      {"%f99999999999999999%F2", 0, nullptr},
  };
  for (const Case& c : cases) {
    RWCString out;
    bool filled = GZdl5e::FillTemplate(c.program, c.a, out);
    EXPECT_EQ(filled, c.out != nullptr) << c.program << " " << c.a;
    if (c.out) {
      EXPECT_EQ(out, RWCString(c.out)) << c.program;
    }
  }
  RWCString out;
  EXPECT_TRUE(GZdl5e::FillSelectionTemplate("\x1b(s#HEIGHTv#PITCHH#", 1013, out));
  EXPECT_EQ(out, RWCString("\x1b(s10.25v11.71H#"));
  out = RWCString();
  EXPECT_TRUE(GZdl5e::FillSelectionTemplate("#HEIGHT", 10, out));
  EXPECT_FALSE(GZdl5e::FillSelectionTemplate("#HEIGHT#WIDTH", 10, out));
}

TEST(Generators, StandInsRecordTheirCalls) {
  GPostScript postscript;
  for (std::uint32_t sub_font : {255u, 0u, 7u})
    EXPECT_TRUE(postscript.MarkSubFontDefined(5, sub_font));
  EXPECT_TRUE(postscript.MarkSubFontDefined(6, 1));
  EXPECT_FALSE(postscript.MarkSubFontDefined(kResourceLimit, 0));
  EXPECT_FALSE(postscript.MarkSubFontDefined(1, 256));
  postscript.DeleteFontResource(5, 4);
  postscript.DeleteFontResource(5, 2);  // nothing defined any more
  postscript.DeleteFontResource(6, 2);
  postscript.MarkSubFontDefined(6, 1);
  postscript.DeleteFontResource(6, 9);
  EXPECT_EQ(postscript.GetCallLog().Text(),
            RWCString("DeleteFontResource 5 0 42\nDeleteFontResource 5 7 42\n"
                      "DeleteFontResource 5 255 42\nDeleteFontResource 6 1 3\n"
                      "DeleteFontResource 6 1 1\n"));
  GVexalon vexalon;
  GZdl5e zdl5;
  zdl5.DeleteSoftFont(1001);
  zdl5.RemoveDownloadedFont("F1");
  EXPECT_EQ(zdl5.GetCallLog().Text(), RWCString("DeleteSoftFont 1001\nRemoveDownloadedFont F1\n"));
  const RWCString escape("a\x1b"), plain("abc");
  EXPECT_EQ(zdl5.HasEscape(escape) + vexalon.HasEscape(escape), 2);
  EXPECT_EQ(zdl5.HasEscape(plain) + vexalon.HasEscape(plain) + postscript.HasEscape(escape), 0);
}

// A generator's record of stand-in calls keeps its newest lines in a bound.
TEST(Generators, TheCallLogStaysBounded) {
  GZdl5e zdl5;
  for (std::uint32_t id = 0; id < 100000; ++id)
    zdl5.DeleteSoftFont(id);
  const std::string log = zdl5.GetCallLog().Text().Data();
  EXPECT_LE(log.size(), kCallLogLimit);
  EXPECT_TRUE(log.starts_with("DeleteSoftFont ") && log.ends_with("\nDeleteSoftFont 99999\n"));
  zdl5.RemoveDownloadedFont(RWCString('F', 3 * kCallLogLimit));
  EXPECT_EQ(zdl5.GetCallLog().Text().Length(), kCallLogLimit);
}

// Page end and job abort leave no path or clip path open for what follows.
TEST(Generators, PageEndAndJobAbortCloseTheirPathAndClipPath) {
  GZdl5e zdl5;
  GPageEnd page_end(0u);
  GJobAbort abort(0u);
  for (GCommand* command : {static_cast<GCommand*>(&page_end), static_cast<GCommand*>(&abort)}) {
    zdl5.SetPathDepth(3);
    zdl5.SetClipPathMode(1);
    EXPECT_EQ(command->Execute(zdl5), 0);
    EXPECT_FALSE(zdl5.IsInPath() || zdl5.InClipPathMode());
  }
}

class FilePort : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    std::filesystem::create_directory(folder_.str());
    ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Out", folder_.str()));
    ASSERT_EQ(RegisterFilePortHandler(), 0);
  }
  void TearDown() override {
    UnregisterFilePortHandler();
    std::filesystem::remove_all(folder_.str());
    HostFixture::TearDown();
  }
  std::string Written(const char* name) { return testing_support::ReadAll(folder_.str() + name); }

  testing_support::TempPath folder_{"port"};
};

// Each generator opens "FILE:C:\Out\<name>", the job language writes its
// header there, then the pass break.
TEST_F(FilePort, EachGeneratorWritesADocumentToAFile) {
  const char kHeader[] = "RDYMSG DISPLAY = \"x\"\r\n";
  struct Case {
    GPrinterLanguage* generator;
    const char16_t* destination;
    const char* file;
    std::string body;
    std::uint16_t overhead;
  } cases[] = {
      {new GZdl5e("Z", nullptr, Set({new GValueAttribute(3, 932)}), 0, 0, 0, 0),
       u"FILE:C:\\Out\\z.prn", "/z.prn", std::string(200, '\0'), 3},
      {new GVexalon("X", nullptr, Set({new GValueAttribute(3, 932)}), 0, 0, 0, 0),
       u"file:c:/out/x.prn", "/x.prn", "", 3},
      {new GPostScript("P", nullptr, Set({new GValueAttribute(3, 932)}), 0, 0, 0, 0),
       u"FILE:C:\\Out\\p.prn", "/p.prn", "", 1},
  };
  RWCString vexalon_log;
  for (Case& c : cases) {
    std::unique_ptr<GPrinterLanguage> generator(c.generator);
    auto start = std::make_unique<GDocumentStart>(Set({new GStringAttribute("x", kDisplayTextKey)}),
                                                  c.destination, u"doc", nullptr, 0);
    ASSERT_EQ(generator->DocumentStart(*start), 0) << c.file;
    EXPECT_EQ(generator->GetMemoryBudget().GetItemOverhead(), c.overhead);
    GWqm wqm;
    EXPECT_EQ(wqm.DocumentStart(*start), 0);
    GNullCommand pass_break;
    EXPECT_EQ(generator->OnPassBreak(pass_break), 0);
    if (auto* vexalon = dynamic_cast<GVexalon*>(generator.get()))
      vexalon_log = vexalon->GetCallLog().Text();
    EXPECT_EQ(platform::OpenFileCount(), 1u);
    // The document's end closes the port, as the job driver does.
    EXPECT_EQ(start->GetPort()->Close(), 0);
    generator.reset();
    start.reset();
    EXPECT_EQ(platform::OpenFileCount(), 0u);
    EXPECT_EQ(Written(c.file), kHeader + c.body);
  }
  // ZDL XL's filler is a stand-in.
  EXPECT_EQ(vexalon_log, RWCString("SendPadding\n"));
  // Only a mapped Windows path names a file.
  for (const char16_t* unmapped : {u"FILE:D:\\x.prn", u"FILE:/tmp/x.prn", u"FILE:x.prn"}) {
    GZdl5e zdl5;
    GDocumentStart start(nullptr, unmapped, u"doc", nullptr, 0);
    EXPECT_EQ(zdl5.DocumentStart(start), kPortNotReady);
  }
}

TEST_F(FilePort, AFullDiskIsAnsweredAndThePortStillCloses) {
  std::uint16_t answers[3] = {};
  {
    testing_support::FileSizeLimit limit(300);
    ASSERT_TRUE(limit.Ok());
    GZdl5e zdl5;
    GDocumentStart start(nullptr, u"FILE:C:\\Out\\full.prn", u"doc", nullptr, 0);
    ASSERT_EQ(zdl5.DocumentStart(start), 0);
    for (std::uint16_t& answer : answers)
      answer = zdl5.SendPadding();
  }
  // The first error is kept and answered; nothing more is written, and
  // the cut file is gone.
  EXPECT_EQ(answers[0], 0);
  EXPECT_TRUE(answers[1] == platform::kErrorDiskFull && answers[2] == platform::kErrorDiskFull);
  EXPECT_EQ(platform::OpenFileCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder_.str() + "/full.prn"));
}

TEST(Generators, RegisteredAndPersistSoundly) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  const struct {
    RWClassID id;
    const char* name;
  } cases[] = {{767, "GVexalon"}, {768, "GPostScript"}, {769, "GWqm"}, {788, "GZdl5e"}};
  for (const auto& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), c.id), result.checked.end());
  }
  EXPECT_EQ(StringIdToClassId(RWStringID("GPrinterLanguage")), kRWNoClassId);
}

}  // namespace
