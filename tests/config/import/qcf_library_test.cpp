// The helper binding: registration, loading and resolution, forwarding
// (and not calling what is missing), the QCFHELPER request block, and the
// shared wide-string functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/import/qcf_library.h"
#include "platform/host/modules.h"
#include "platform/host/process.h"
#include "tests/config/import/import_fixture.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::FakeQCFHelper;

class Binding : public ImportFixture {};

// The names GetProcAddress was asked for, in order.
std::vector<std::string> Lookups() {
  std::vector<std::string> names;
  for (const platform::ModuleEvent& event : platform::ModuleLog()) {
    if (event.call == platform::ModuleCall::kGetProcAddress) names.push_back(event.export_name);
  }
  return names;
}

TEST_F(Binding, FlagsFollowRegistrationLoadAndResolution) {
  struct Case {
    const char* name;
    bool installed;           // the library is in the driver directory
    const char* missing;      // an export it lacks
    platform::UINT win_exec;  // what the registration answers
    std::uint32_t usable;
    std::uint32_t load_attempted;
  };
  const Case cases[] = {
      {"complete", true, "", 33, 1, 1},
      {"registration fails, library complete", true, "", 2, 1, 1},
      {"registration answers 31", true, "", 31, 1, 1},
      {"absent", false, "", 33, 0, 0},
      {"absent, registration fails", false, "", 2, 0, 0},
      {"first lookup missing", true, "QCFStartConfig", 33, 0, 1},
      {"last lookup missing", true, "QCFWideToChar", 33, 0, 1},
      {"a slot late in lookup order missing", true, "QCFEndExport", 33, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restart(c.installed, c.missing);
    platform::SetWinExecResult(c.win_exec);
    {
      GQCFLibrary library;
      EXPECT_EQ(library.Usable(), c.usable);
      EXPECT_EQ(library.LoadAttempted(), c.load_attempted);
      EXPECT_EQ(library.Module() != nullptr, c.installed);
      EXPECT_TRUE(library.Path() == u"C:\\Drv\\KVSOLA32.dll");
      EXPECT_EQ(platform::GetModuleCounters(u"C:\\Drv\\KVSOLA32.dll").references,
                c.installed ? 1u : 0u);
      if (!c.installed) {
        char16_t buffer[8];
        EXPECT_EQ(library.SetContext(u"printing/Duplex"), 0u);
        EXPECT_EQ(library.Get(nullptr, buffer, 8), 0u);
        EXPECT_EQ(library.EnumFeatures(u"printing", buffer, 8), 0u);
        EXPECT_EQ(library.StartExport(u"P1", u"QCF_DRIVER", 1), 0u);
        EXPECT_TRUE(Lookups().empty());
      }
    }
    // Whatever resolved, a held module is freed with the binding.
    platform::ModuleCounters after = platform::GetModuleCounters(u"C:\\Drv\\KVSOLA32.dll");
    EXPECT_EQ(after.references, 0u);
    EXPECT_EQ(after.frees, c.installed ? 1u : 0u);
  }
}

TEST_F(Binding, RegistersWithAQuotedPathAndShowState5) {
  const struct {
    const char16_t* module;
    const char* command;
  } cases[] = {
      {u"C:\\Drv\\UI.DLL", "regsvr32 /s \"C:\\Drv\\KVSOLA32.dll\""},
      {u"C:\\Program Files\\Drv\\UI.DLL", "regsvr32 /s \"C:\\Program Files\\Drv\\KVSOLA32.dll\""},
  };
  for (const auto& c : cases) {
    Restart(true, {}, c.module);
    GQCFLibrary library;
    EXPECT_EQ(library.Usable(), 1u);
    std::vector<platform::WinExecCall> calls = platform::WinExecLog();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command_line, c.command);
    EXPECT_EQ(calls[0].show, 5u);
  }
}

TEST_F(Binding, ResolvesInTheHelpersOrderAndStartExportLooksUpEachTime) {
  platform::ClearModuleLog();
  GQCFLibrary library;
  // Slot order but for the two closers, which come before the converters.
  const std::vector<std::string> order = {
      "QCFStartConfig",
      "QCFStartExport",
      "QCFSetListSeparator",
      "QCFSetContextRelative",
      "QCFSetContext",
      "QCFSetExport",
      "QCFGetOptionAttributes",
      "QCFGetNamedOptionAttribute",
      "QCFGetNamedFeatureAttribute",
      "QCFGetListSeparator",
      "QCFGetFeatureAttributes",
      "QCFGetContext",
      "QCFGet",
      "QCFGetPRV",
      "QCFEnumOptions",
      "QCFEnumOptionAttributes",
      "QCFEnumListToken",
      "QCFEnumFeatures",
      "QCFEnumFeatureAttributes",
      "QCFEndConfig",
      "QCFEndExport",
      "QCFCharToWide",
      "QCFWideToChar",
  };
  EXPECT_EQ(Lookups(), order);

  platform::ClearModuleLog();
  EXPECT_EQ(library.StartExport(u"P1", u"QCF_DRIVER", 1), 1u);
  EXPECT_EQ(library.StartExport(u"P1", u"QCF_DRIVER", 1), 1u);
  EXPECT_EQ(Lookups(), (std::vector<std::string>{"QCFStartExport", "QCFStartExport"}));

  // Once the export is gone the slot is empty: 0, and the store is not
  // called.
  ASSERT_TRUE(platform::SetExportHidden(u"C:\\Drv\\KVSOLA32.dll", "QCFStartExport", true));
  store_.ClearLog();
  EXPECT_EQ(library.StartExport(u"P1", u"QCF_DRIVER", 1), 0u);
  EXPECT_TRUE(store_.Log().empty());
  EXPECT_EQ(library.Usable(), 1u);
}

TEST_F(Binding, ForwardsArgumentsUnchangedAndCallsNothingMissing) {
  store_.SetWord(u"printing/Duplex", u"TRUE");
  {
    GQCFLibrary library;
    char16_t buffer[16];
    EXPECT_EQ(library.StartConfig(u"\\\\srv\\q", 2, u"QCF_DRIVER", 7), 1u);
    EXPECT_EQ(library.SetContext(u"printing/Duplex"), 1u);
    EXPECT_EQ(library.Get(nullptr, buffer, 16), 1u);
    EXPECT_TRUE(std::u16string(buffer) == u"TRUE");
    EXPECT_EQ(library.SetExport(u"printing/Duplex", u"FALSE"), 1u);
    EXPECT_EQ(library.GetContext(5), 0u);
    EXPECT_EQ(library.GetPRV(3, 4), 0u);
    EXPECT_EQ(library.EndConfig(), 1u);
    EXPECT_EQ(library.EndExport(), 1u);
    EXPECT_EQ(store_.Log(), (std::vector<std::string>{
                                "QCFStartConfig(\\\\srv\\q, 2, QCF_DRIVER, 7)",
                                "QCFSetContext(printing/Duplex)",
                                "QCFGet(null, 16)",
                                "QCFSetExport(printing/Duplex, FALSE)",
                                "QCFGetContext(5)",
                                "QCFGetPRV(3, 4)",
                                "QCFEndConfig()",
                                "QCFEndExport()",
                            }));
  }

  Restart(true, "QCFGet");
  store_.ClearLog();
  GQCFLibrary library;
  char16_t buffer[16] = u"untouched";
  EXPECT_EQ(library.SetContext(u"printing/Duplex"), 1u);
  EXPECT_EQ(library.Get(nullptr, buffer, 16), 0u);
  EXPECT_TRUE(std::u16string(buffer) == u"untouched");
  EXPECT_EQ(store_.Calls("QCFGet"), std::vector<std::string>{});
}

TEST_F(Binding, TheHelperGetsTheBlockAndItsAnswerIsSignExtended) {
  FakeQCFHelper helper;
  ASSERT_TRUE(helper.Install(u"C:\\Drv\\KVHELP.DLL"));
  GQCFLibrary library;
  int importer = 0;  // any context
  int converter = 0;
  EXPECT_EQ(library.CallHelper(248, &converter, 0, 0), 0);
  EXPECT_EQ(library.RequestBlock(), nullptr);
  EXPECT_TRUE(helper.Blocks().empty());

  platform::HMODULE module = platform::LoadLibraryW(u"C:\\Drv\\KVHELP.DLL");
  library.SetHelper(reinterpret_cast<QCFHelperEntry>(platform::GetProcAddress(module, "QCFHELPER")),
                    &importer);
  ASSERT_NE(library.RequestBlock(), nullptr);
  EXPECT_EQ(library.RequestBlock()->context, &importer);
  EXPECT_EQ(library.RequestBlock()->code, 0u);

  helper.SetAnswer(248, 0, 1);
  helper.SetAnswer(261, 1, -1);
  helper.SetAnswer(262, 0, static_cast<std::int16_t>(0x8000));
  const struct {
    std::uint32_t code;
    std::uint32_t third;
    std::int32_t answer;
  } cases[] = {{248, 0, 1}, {248, 1, 0}, {261, 1, -1}, {262, 0, -32768}, {973, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(library.CallHelper(c.code, &converter, c.third, 9), c.answer) << c.code;
    const GQCFRequestBlock& block = helper.Blocks().back();
    EXPECT_EQ(block.code, c.code);
    EXPECT_EQ(block.context, &importer);
    EXPECT_EQ(block.third, c.third);
    EXPECT_EQ(block.fourth, 9u);
    EXPECT_EQ(block.pointer, &converter);
  }

  // A helper library without the entry: kept as null, and never called.
  library.SetHelper(nullptr, &importer);
  EXPECT_EQ(library.CallHelper(248, &converter, 0, 0), 0);
  EXPECT_EQ(helper.Blocks().size(), std::size(cases));
  platform::FreeLibrary(module);
}

TEST(WideStrings, EqualAnswersOneForEmptiesTheLengthForEqualsElseZero) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    std::uint32_t answer;
  } cases[] = {
      {u"", u"", 1},
      {u"ON", u"ON", 2},
      {u"ON", u"OFF", 0},
      {u"on", u"ON", 0},
      {u"ON", u"ONE", 0},
      {u"ONE", u"ON", 0},
      {u"ON ", u"ON", 0},
      {u"", u"ON", 0},
      {u"ON", u"", 0},
      {nullptr, u"", 1},
      {u"TriFoldOutward ", u"TriFoldOutward ", 15},
      {u"\u00e9", u"\u00c9", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WideStringsEqual(c.a, c.b), c.answer);
  }
}

TEST(WideStrings, CopyKeepsItsTerminatorOrRefusesWhatDoesNotFit) {
  char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(WideStringCopy(buffer, 4, u"abc"), buffer);
  EXPECT_TRUE(std::u16string(buffer) == u"abc");
  EXPECT_EQ(WideStringCopy(buffer, 4, u"abcd"), nullptr);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(WideStringCopy(buffer, 4, nullptr), buffer);
  EXPECT_EQ(buffer[0], u'\0');
  buffer[0] = u'y';
  EXPECT_EQ(WideStringCopy(buffer, 0, u""), nullptr);
  EXPECT_EQ(buffer[0], u'y');
}

}  // namespace
