#include "platform/host/modules.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/host/process.h"
#include "platform/host/reset.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;

class Modules : public testing_support::HostFixture {};

int Seven() {
  return 7;
}

const FARPROC kSeven = reinterpret_cast<FARPROC>(&Seven);

std::u16string FileName(HMODULE module) {
  char16_t buffer[300];
  DWORD length = GetModuleFileNameW(module, buffer, 300);
  return std::u16string(buffer, length);
}

TEST_F(Modules, NamesResolveInOrderAndCaseInsensitively) {
  ASSERT_TRUE(AddModule({u"C:\\Drv\\RES.DLL", {}, {}}));
  ASSERT_TRUE(AddModule({u"PLUG.DLL", {}, {}}));
  ASSERT_TRUE(MapSharedObject(u"TestMod.dll", DRV_TESTMOD_PATH));
  ASSERT_TRUE(MapSharedObject(u"libm.dll", "/nonexistent/libm.so"));
  EXPECT_FALSE(AddModule({u"c:/drv/res.dll", {}, {}}));  // the same entry
  EXPECT_FALSE(AddModule({u"", {}, {}}));

  struct Case {
    const char16_t* request;
    const char16_t* file_name;  // null: nothing loads
  };
  const Case cases[] = {
      {u"C:\\Drv\\RES.DLL", u"C:\\Drv\\RES.DLL"},
      {u"c:/drv/Res.Dll", u"C:\\Drv\\RES.DLL"},
      {u"RES.DLL", nullptr},  // a path entry answers its own path only
      {u"D:\\Other\\RES.DLL", nullptr},
      {u"plug.dll", u"PLUG.DLL"},
      {u"C:\\Any\\Where\\Plug.DLL", u"PLUG.DLL"},
      {u"TESTMOD.DLL", u"TESTMOD.DLL"},
      {u"C:\\Drv\\testmod.dll", u"TESTMOD.DLL"},  // shares the first load's name
      {u"C:\\Drv\\UI.DLL", kDefaultOwnModulePath},
      {u"libm.so.6", nullptr},  // a host library that nobody mapped
      {u"LIBM.DLL", nullptr},   // mapped, but its object does not open
      {u"NONE.DLL", nullptr},
      {u"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.request, c.request + std::char_traits<char16_t>::length(c.request)));
    SetLastError(0);
    HMODULE module = LoadLibraryW(c.request);
    if (c.file_name == nullptr) {
      EXPECT_EQ(module, nullptr);
      EXPECT_NE(GetLastError(), kErrorSuccess);
    } else {
      ASSERT_NE(module, nullptr);
      EXPECT_EQ(FileName(module), c.file_name);
    }
  }
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
}

TEST_F(Modules, ReloadsShareOneHandleAndTheLastFreeUnloads) {
  ASSERT_TRUE(MapSharedObject(u"TESTMOD.DLL", DRV_TESTMOD_PATH));
  struct Step {
    bool load;
    ModuleCounters after;
  };
  const Step steps[] = {
      {true, {1, 0, 1}}, {true, {2, 0, 2}}, {false, {2, 1, 1}}, {false, {2, 2, 0}}};
  HMODULE first = nullptr;
  for (const Step& step : steps) {
    if (step.load) {
      HMODULE module = LoadLibraryW(u"c:\\drv\\TestMod.DLL");
      ASSERT_NE(module, nullptr);
      if (first == nullptr) first = module;
      EXPECT_EQ(module, first);
      auto next = reinterpret_cast<int (*)()>(GetProcAddress(module, "TestModNextCount"));
      ASSERT_NE(next, nullptr);
      EXPECT_EQ(next(), step.after.loads);  // one object, counting on across loads
    } else {
      EXPECT_EQ(FreeLibrary(first), 1);
    }
    ModuleCounters counters = GetModuleCounters(u"testmod.dll");
    EXPECT_EQ(counters.loads, step.after.loads);
    EXPECT_EQ(counters.frees, step.after.frees);
    EXPECT_EQ(counters.references, step.after.references);
  }
  // Unloaded: the old handle is refused everywhere.
  EXPECT_EQ(FreeLibrary(first), 0);
  EXPECT_EQ(GetProcAddress(first, "TestModAdd"), nullptr);
  EXPECT_EQ(GetLastError(), kErrorModNotFound);
  EXPECT_EQ(GetModuleFileNameW(first, nullptr, 0), 0u);

  // A reload is a new module with fresh state.
  HMODULE again = LoadLibraryW(u"TESTMOD.DLL");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, first);
  auto next = reinterpret_cast<int (*)()>(GetProcAddress(again, "TestModNextCount"));
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next(), 1);
  auto add = reinterpret_cast<int (*)(int, int)>(GetProcAddress(again, "TestModAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(40, 2), 42);
  EXPECT_EQ(FreeLibrary(again), 1);
}

TEST_F(Modules, MissingHiddenAndForeignExportsAreNull) {
  ASSERT_TRUE(MapSharedObject(u"TESTMOD.DLL", DRV_TESTMOD_PATH));
  ASSERT_TRUE(AddModule({u"TABLE.DLL", {{"Seven", kSeven}}, {}}));
  HMODULE shared = LoadLibraryW(u"TESTMOD.DLL");
  HMODULE table = LoadLibraryW(u"TABLE.DLL");
  ASSERT_NE(shared, nullptr);
  ASSERT_NE(table, nullptr);
  ASSERT_TRUE(SetExportHidden(u"TESTMOD.DLL", "TestModAdd", true));
  ASSERT_TRUE(SetExportHidden(u"table.dll", "Seven", true));

  struct Case {
    HMODULE module;
    const char* name;
    bool found;
  };
  const Case cases[] = {
      {shared, "TestModAdd", false},        // hidden
      {shared, "TestModNextCount", true},   //
      {shared, "testmodnextcount", false},  // export names are case-sensitive
      {shared, "malloc", false},            // found by dlsym in a dependency, not ours
      {shared, "", false},                  //
      {shared, nullptr, false},             //
      {table, "Seven", false},              // hidden
      {table, "Eight", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name != nullptr ? c.name : "(null)");
    FARPROC found = GetProcAddress(c.module, c.name);
    EXPECT_EQ(found != nullptr, c.found);
    if (!c.found) {
      EXPECT_EQ(GetLastError(), kErrorProcNotFound);
    }
  }
  ASSERT_TRUE(SetExportHidden(u"TABLE.DLL", "Seven", false));
  auto seven = reinterpret_cast<int (*)()>(GetProcAddress(table, "Seven"));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);
  // The module stays loaded after failed lookups.
  EXPECT_EQ(GetModuleCounters(u"TESTMOD.DLL").references, 1u);
}

TEST_F(Modules, LoadFailuresAndTheLogOfCalls) {
  ASSERT_TRUE(AddModule({u"PLUG.DLL", {{"Seven", kSeven}}, {}}));
  SetModuleLoadFailure(u"plug.dll", true);
  EXPECT_EQ(LoadLibraryW(u"C:\\X\\PLUG.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), kErrorModNotFound);
  SetModuleLoadFailure(u"PLUG.DLL", false);
  HMODULE module = LoadLibraryA("Plug.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "Seven"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "Nine"), nullptr);
  EXPECT_EQ(FreeLibrary(module), 1);
  EXPECT_EQ(FreeLibrary(module), 0);

  struct Expected {
    ModuleCall call;
    const char16_t* module;
    const char* export_name;
    bool ok;
  };
  const Expected expected[] = {
      {ModuleCall::kLoad, u"C:\\X\\PLUG.DLL", "", false},
      {ModuleCall::kLoad, u"Plug.dll", "", true},
      {ModuleCall::kGetProcAddress, u"PLUG.DLL", "Seven", true},
      {ModuleCall::kGetProcAddress, u"PLUG.DLL", "Nine", false},
      {ModuleCall::kFree, u"PLUG.DLL", "", true},
      {ModuleCall::kFree, u"", "", false},
  };
  std::vector<ModuleEvent> log = ModuleLog();
  ASSERT_EQ(log.size(), std::size(expected));
  for (std::size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i].call, expected[i].call);
    EXPECT_EQ(log[i].module, expected[i].module);
    EXPECT_EQ(log[i].export_name, expected[i].export_name);
    EXPECT_EQ(log[i].ok, expected[i].ok);
  }
  ClearModuleLog();
  EXPECT_TRUE(ModuleLog().empty());

  // A long-lived process keeps only the newest events.
  module = LoadLibraryA("Plug.dll");
  for (std::size_t i = 0; i <= kHostLogCapacity; ++i)
    GetProcAddress(module, i == kHostLogCapacity ? "Seven" : "Nine");
  log = ModuleLog();
  ASSERT_EQ(log.size(), kHostLogCapacity);
  EXPECT_EQ(log.back().export_name, "Seven");
  EXPECT_EQ(log.front().call, ModuleCall::kGetProcAddress);  // the load went first
  FreeLibrary(module);
}

// A name loaded again follows every change of what names resolve to.
TEST_F(Modules, ARepeatedNameFollowsEveryChangeOfTheNames) {
  const auto bare = [] { AddModule({u"PLUG.DLL", {}, {}}); };
  const auto exact = [] { AddModule({u"c:\\drv\\plug.dll", {}, {}}); };
  const struct {
    const char16_t* request;
    void (*change)();
    const char16_t* file_name;  // null: nothing loads
  } steps[] = {
      {u"C:\\Drv\\PLUG.DLL", [] {}, nullptr},
      {u"C:\\Drv\\PLUG.DLL", bare, u"PLUG.DLL"},
      {u"C:\\Drv\\PLUG.DLL", [] { SetModuleLoadFailure(u"plug.dll", true); }, nullptr},
      {u"C:\\Drv\\PLUG.DLL", [] { SetModuleLoadFailure(u"plug.dll", false); }, u"PLUG.DLL"},
      {u"C:\\Drv\\PLUG.DLL", exact, u"c:\\drv\\plug.dll"},
      {u"C:\\Drv\\UI.DLL", [] {}, kDefaultOwnModulePath},
      {u"C:\\Drv\\UI.DLL", [] { SetOwnModulePath(u"D:\\UI.DLL"); }, nullptr},
      {u"TESTMOD.DLL", [] {}, nullptr},
      {u"TESTMOD.DLL", [] { MapSharedObject(u"TestMod.dll", DRV_TESTMOD_PATH); }, u"TESTMOD.DLL"},
      {u"TESTMOD.DLL", [] { ResetHostServices(); }, nullptr},
  };
  for (const auto& step : steps) {
    step.change();
    HMODULE module = LoadLibraryW(step.request);
    EXPECT_EQ(module ? FileName(module) : u"", step.file_name ? step.file_name : u"");
    if (module) FreeLibrary(module);
  }
}

TEST_F(Modules, LoadStringCutsToTheBufferAndTerminates) {
  const std::u16string long_text(300, u'x');
  ASSERT_TRUE(AddModule({u"RES.DLL", {}, {{1, u"Paper"}, {2, long_text}, {3, u""}}}));
  HMODULE module = LoadLibraryW(u"RES.DLL");
  ASSERT_NE(module, nullptr);
  struct Case {
    UINT id;
    int buffer_max;
    int length;  // answered and copied
  };
  const Case cases[] = {
      {1, 256, 5},   {1, 6, 5},   {1, 5, 4},     {1, 1, 0},
      {1, 0, 0},     {1, -1, 0},  {2, 256, 255},  // a 300-unit string into 256 units
      {2, 301, 300}, {3, 256, 0}, {4, 256, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " into " << c.buffer_max);
    char16_t buffer[400];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(module, c.id, buffer, c.buffer_max), c.length);
    if (c.buffer_max >= 1) {
      EXPECT_EQ(buffer[c.length], u'\0');
      EXPECT_EQ(buffer[c.buffer_max], u'#');  // nothing past the buffer
    } else {
      EXPECT_EQ(buffer[0], u'#');
    }
  }
  EXPECT_EQ(LoadStringW(module, 1, nullptr, 10), 0);
  EXPECT_EQ(FreeLibrary(module), 1);
  char16_t buffer[8];
  EXPECT_EQ(LoadStringW(module, 1, buffer, 8), 0);  // unloaded
}

TEST_F(Modules, FileNamesAreCutAtTheBuffer) {
  // kDefaultOwnModulePath has 13 units.
  HMODULE own = OwnModule();
  ASSERT_NE(own, nullptr);
  struct Case {
    DWORD size;
    DWORD answer;
    const char16_t* text;
    DWORD error;
  };
  const Case cases[] = {
      {260, 13, u"C:\\Drv\\UI.DLL", kErrorSuccess},
      {14, 13, u"C:\\Drv\\UI.DLL", kErrorSuccess},
      {13, 13, u"C:\\Drv\\UI.DL", kErrorInsufficientBuffer},
      {1, 1, u"", kErrorInsufficientBuffer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char16_t buffer[300];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    SetLastError(kErrorSuccess);
    EXPECT_EQ(GetModuleFileNameW(own, buffer, c.size), c.answer);
    EXPECT_EQ(std::u16string(buffer), c.text);
    EXPECT_EQ(buffer[c.size], u'#');
    EXPECT_EQ(GetLastError(), c.error);
  }
  char16_t unused[4];
  EXPECT_EQ(GetModuleFileNameW(own, unused, 0), 0u);

  // 8-bit names are cut between characters, never inside one.
  ASSERT_TRUE(SetOwnModulePath(u"C:\\Dr\u00E9\\UI.DLL"));  // é takes 2 bytes
  char narrow[32];
  EXPECT_EQ(GetModuleFileNameA(own, narrow, sizeof narrow), 14u);
  EXPECT_STREQ(narrow, "C:\\Dr\xC3\xA9\\UI.DLL");
  EXPECT_EQ(GetModuleFileNameA(own, narrow, 7), 7u);
  EXPECT_STREQ(narrow, "C:\\Dr");
  EXPECT_EQ(GetModuleFileNameA(own, narrow, 8), 8u);
  EXPECT_STREQ(narrow, "C:\\Dr\xC3\xA9");

  SetHostProgramPath(u"C:\\App\\APP.EXE");
  EXPECT_EQ(FileName(nullptr), u"C:\\App\\APP.EXE");
}

TEST_F(Modules, OwnModuleIsLoadedOnceByTheHost) {
  HMODULE own = OwnModule();
  EXPECT_EQ(GetModuleCounters(kDefaultOwnModulePath).references, 1u);
  ASSERT_TRUE(AddModuleString(kDefaultOwnModulePath, 5100, u"Incompatible Options"));
  char16_t text[64];
  EXPECT_EQ(LoadStringW(own, 5100, text, 64), 20);
  // A load of its own path shares the handle; names with another directory do not.
  EXPECT_EQ(LoadLibraryW(u"c:\\drv\\ui.dll"), own);
  EXPECT_EQ(LoadLibraryW(u"UI.DLL"), nullptr);
  EXPECT_EQ(FreeLibrary(own), 1);
  EXPECT_EQ(OwnModule(), own);
  ASSERT_TRUE(AddModule({u"OTHER.DLL", {}, {}}));
  EXPECT_FALSE(SetOwnModulePath(u"other.dll"));
  ASSERT_TRUE(SetOwnModulePath(u"D:\\Drivers\\X\\UI.DLL"));
  EXPECT_EQ(FileName(own), u"D:\\Drivers\\X\\UI.DLL");
  EXPECT_EQ(FreeLibrary(own), 1);  // the host's reference
  EXPECT_EQ(OwnModule(), nullptr);
  ResetHostServices();
  EXPECT_NE(OwnModule(), nullptr);
  EXPECT_NE(OwnModule(), own);
  EXPECT_EQ(FileName(OwnModule()), kDefaultOwnModulePath);
}

TEST_F(Modules, WinExecStartsNothingAndAnswersTheScriptedResult) {
  EXPECT_EQ(WinExec("regsvr32 /s C:\\Drv\\KVSOLA32.dll", kSwShow), kDefaultWinExecResult);
  SetWinExecResult(2);
  EXPECT_EQ(WinExec(nullptr, 0), 2u);
  std::vector<WinExecCall> log = WinExecLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].command_line, "regsvr32 /s C:\\Drv\\KVSOLA32.dll");
  EXPECT_EQ(log[0].show, static_cast<UINT>(kSwShow));
  EXPECT_EQ(log[1].command_line, "");
  ResetHostServices();
  EXPECT_TRUE(WinExecLog().empty());
  EXPECT_EQ(WinExec("x", 0), kDefaultWinExecResult);
}

}  // namespace
