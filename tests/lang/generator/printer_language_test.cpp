// The generator base: the memory budget, the raster-operation table, the
// stored part, copies, the document start with its port, paths and clip
// paths, and the output sink's writes and polling. A generator of the test's own class stands
// for the three.
#include "lang/generator/printer_language.h"
#include "config/keys/settings_keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "foundation/rw/registration.h"
#include "lang/generator/generator_class.h"
#include "output/attributes/clip.h"
#include "output/commands/job_commands.h"
#include "output/graphics/path_graphic.h"
#include "output/graphics/primitive_graphic.h"
#include "support/test_os_factory.h"
#include "tests/output/stored_forms.h"
#include "tests/support/memory_port.h"

namespace {

using testing_support::MemoryPort;
using testing_support::MemoryPortHandler;

class TestLanguage final : public GGeneratorClass<TestLanguage, 1501> {
 public:
  using GGeneratorClass::GGeneratorClass;
  TestLanguage() = default;
  TestLanguage(const TestLanguage&) = default;
  using GPrinterLanguage::SetEmptyFlush;
};

// Registered while the test that restores one runs.
constexpr RWClassRegistration kTestClasses[] = {{&RWCreate<TestLanguage>, 1501, "TestLanguage"}};
struct Registered {
  Registered() { RWRegisterClasses(kTestClasses); }
  ~Registered() { RWUnregisterClasses(kTestClasses); }
};

// A generator whose configuration holds `children`.
std::unique_ptr<TestLanguage> Language(std::initializer_list<GAttribute*> children = {}) {
  auto* configuration = new GAttributeComposite(kDeviceSettingsKey);
  for (GAttribute* child : children)
    configuration->AddChild(child);
  return std::make_unique<TestLanguage>("ZDL", nullptr, configuration, 5, 0, 0, 0);
}

std::unique_ptr<GDocumentStart> Start(const char16_t* port = u"MEM:") {
  return std::make_unique<GDocumentStart>(nullptr, RWWString(port), RWWString(u"doc"), nullptr, 0);
}

// The document start with `port` given by the job.
std::uint16_t StartOn(GPrinterLanguage& language, MemoryPort& port) {
  auto start = Start();
  start->SetPort(&port);
  return language.DocumentStart(*start);
}

TEST(PrinterMemoryBudget, ReservesAndReleasesWithinTheCapacity) {
  GPrinterMemoryBudget budget(1000);
  struct Step {
    bool reserve;
    std::uint32_t n, answer, used;
  } steps[] = {{true, 400, 600, 400}, {true, 700, 0, 1000},  {false, 300, 300, 700},
               {false, 900, 1000, 0}, {true, 1000, 0, 1000}, {false, 0, 0, 1000}};
  for (const Step& s : steps) {
    EXPECT_EQ(s.reserve ? budget.Reserve(s.n) : budget.Release(s.n), s.answer) << s.n;
    EXPECT_EQ(budget.GetUsed(), s.used);
  }
  EXPECT_EQ(GPrinterMemoryBudget().GetFree(), 1048576u);
}

TEST(PrinterLanguage, BinaryRopsBecomeTernary) {
  TestLanguage language;
  const std::uint16_t cases[][2] = {{16, 255}, {1, 0}, {15, 250}, {0, 255}, {2, 5}, {9, 160}};
  for (const auto& c : cases)
    EXPECT_EQ(language.RopFromBinaryRop(c[0]), c[1]) << c[0];
  EXPECT_EQ(language.HasEscape("\x1b"), 0);
}

// The part after the composite, by hand: version 1, the document-open
// word, the second word, the path depth (u16), the clip-path flag, all
// little-endian; then the test class's own version word 1.
TEST(PrinterLanguage, StoredPartFollowsTheComposite) {
  struct Case {
    std::uint32_t second;
    std::int16_t depth;
    std::uint32_t clip;
    const char* tail;
  } cases[] = {
      {0, 0, 0, "01 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00"},
      {0x04030201, 0x0605, 7, "01 00 00 00 01 00 00 00 01 02 03 04 05 06 07 00 00 00 01 00 00 00"},
  };
  Registered registered;
  for (const Case& c : cases) {
    TestLanguage language;
    MemoryPort port;
    ASSERT_EQ(StartOn(language, port), 0);
    language.SetSecondDocumentWord(c.second);
    language.SetPathDepth(c.depth);
    language.SetClipPathMode(c.clip);
    std::string file = model_testing::Save(&language, model_testing::Medium::kFile);
    EXPECT_EQ(file.size(), language.GraphStoreSize());
    ASSERT_GE(file.size(), 22u);
    EXPECT_EQ(testing_support::Hex(file.substr(file.size() - 22)), c.tail);
    model_testing::Restored back = model_testing::Restore(file, model_testing::Medium::kFile);
    EXPECT_TRUE(back.ok && back.object && back.object->IsEqual(&language));
    FreeRestored(back.object);
    // Another version keeps the fields as they were (a new object's).
    file[file.size() - 22] = 2;
    back = model_testing::Restore(file, model_testing::Medium::kFile);
    auto* read = dynamic_cast<TestLanguage*>(back.object);
    ASSERT_NE(read, nullptr);
    EXPECT_FALSE(read->IsDocumentOpen() || read->GetSecondDocumentWord() || read->GetPathDepth());
    FreeRestored(back.object);
    output_testing::ExpectDamageFailsCleanly(language, c.second, 40);
  }
}

TEST(PrinterLanguage, CopiesKeepTheWordsButNotTheJobsState) {
  auto language = Language();
  MemoryPort port;
  StartOn(*language, port);
  language->SetPathDepth(2);
  language->SetPeriodicPoll(0);
  language->SetGeneratorWord(0, 9);
  language->GetMemoryBudget().Reserve(10);
  TestLanguage copy(*language);
  EXPECT_TRUE(copy.IsEqual(language.get()) && copy.IsDocumentOpen() && copy.IsInPath());
  EXPECT_EQ(copy.GetGeneratorWord(0) + copy.GetMemoryBudget().GetUsed(), 0u);
  EXPECT_EQ(copy.GetOutput(), nullptr);
  TestLanguage assigned;
  assigned.GetMemoryBudget().Reserve(20);
  assigned = *language;
  EXPECT_TRUE(assigned.IsEqual(language.get()));
  EXPECT_EQ(assigned.GetMemoryBudget().GetUsed(), 20u);  // the budget stays
  EXPECT_EQ(assigned.GetGeneratorWord(0), 0u);
  assigned.SetPathDepth(0);
  EXPECT_FALSE(assigned.IsEqual(language.get()));
}

TEST(PrinterLanguage, DocumentStartOpensAPortThatItAndTheCommandHold) {
  MemoryPortHandler handler;
  struct Case {
    const char16_t* port_name;
    bool give_port, ready;
    std::uint16_t open_answer, answer;
  } cases[] = {{u"NUL:", false, true, 0, 601},  // no handler opens it
               {u"MEM:", true, false, 0, 601},
               {u"MEM:", true, true, 7, 7},
               {u"MEM:", true, true, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    bool destroyed = false;
    auto language = Language();
    auto* port = new MemoryPort(&destroyed);
    port->ready = c.ready;
    port->open_answer = c.open_answer;
    handler.next = c.give_port ? port : nullptr;
    auto start = Start(c.port_name);
    EXPECT_EQ(language->DocumentStart(*start), c.answer);
    EXPECT_TRUE(language->IsDocumentOpen());
    if (!c.give_port) delete port;
    if (c.answer != 0) continue;
    EXPECT_TRUE(start->GetPort() == port && language->GetOutput() == port);
    EXPECT_TRUE(language->OwnsOutput() && port->IsOpen());
    language.reset();
    EXPECT_FALSE(destroyed);  // the command still holds it
    start.reset();
    EXPECT_TRUE(destroyed);
  }
  // A port the job gave is borrowed and not opened again.
  MemoryPort job_port;
  auto language = Language();
  EXPECT_EQ(StartOn(*language, job_port), 0);
  EXPECT_EQ(language->GetOutput(), &job_port);
  EXPECT_FALSE(language->OwnsOutput() || job_port.IsOpen());
}

TEST(PrinterLanguage, DocumentStartSetsTheCapacityFromThePrinterMemory) {
  const struct {
    std::int16_t units;  // 0: no attribute
    std::uint32_t capacity;
  } cases[] = {{100, 1048500}, {0, 5000}, {-3, 0}, {32767, 343561995}};
  for (const auto& c : cases) {
    auto language =
        c.units ? Language({new GRangeAttribute(-5, 32767, 1, c.units, 202)}) : Language();
    language->GetMemoryBudget().SetCapacity(5000);
    language->GetMemoryBudget().Reserve(100);
    MemoryPort port;
    StartOn(*language, port);
    EXPECT_EQ(language->GetMemoryBudget().GetFree(), c.capacity) << c.units;
  }
  struct PollingOff : TestOSFactory {
    int IsOutputPollingOff() override { return 1; }
  } services;
  auto language = Language();
  MemoryPort port;
  StartOn(*language, port);
  EXPECT_FALSE(language->IsPeriodicPollOn());
}

// Flushes of `length` bytes, the port's count growing by `length` +
// `skip`: the polls after each, then the writes.
// Logs the path depth (and "c" in clip-path mode) that each rectangle is
// drawn under; a rectangle keyed 5 fails with 5.
class PathLanguage final : public GGeneratorClass<PathLanguage, 1502> {
 public:
  std::string log;
  std::uint16_t DrawRectangle(GRectangleGraphic& graphic) override {
    log += std::to_string(GetPathDepth()) + (InClipPathMode() ? "c " : " ");
    return graphic.Key() == 5 ? 5 : 0;
  }
};

template <class T>
T* Of(std::initializer_list<GGraphic*> elements) {
  auto* graphic = new T;
  for (GGraphic* element : elements)
    graphic->AddChild(element);
  return graphic;
}

GGraphic* Rectangle(std::uint32_t key = 0) {
  return new GRectangleGraphic(GShortRect{}, nullptr, key);
}

// A path's elements are drawn one depth deeper, a clip's path in clip-path
// mode; both end where they began, also when an element fails.
TEST(PrinterLanguage, PathsAndClipPathsAreDrawnElementByElement) {
  GCountedPtr nested(Of<GPathGraphic>({Rectangle(), Of<GPathGraphic>({Rectangle()}), Rectangle()}));
  GCountedPtr failing(Of<GPathGraphic>({Rectangle(5), Rectangle()}));
  GCountedPtr composite(Of<GGraphicComposite>({Rectangle(), Rectangle(5), Rectangle()}));
  GClipToPath clip(Of<GPathGraphic>({Rectangle()}), 2, 2, 0);
  GClipToPath no_path;
  struct Case {
    const char* name;
    std::function<std::uint16_t(PathLanguage&)> run;
    std::string log;
    std::uint16_t result;
  };
  auto command = [](const GCountedPtr& held) {
    return [held](PathLanguage& l) { return static_cast<GCommand*>(held.Get())->Execute(l); };
  };
  const Case cases[] = {
      {"nested paths", command(nested), "1 2 1 ", 0},
      {"a failing element", command(failing), "1 ", 5},
      {"a graphic composite", command(composite), "0 0 ", 5},
      {"a clip to a path", [&](PathLanguage& l) { return clip.Execute(l); }, "1c ", 0},
      {"a clip without a path", [&](PathLanguage& l) { return no_path.Execute(l); }, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PathLanguage language;
    EXPECT_EQ(c.run(language), c.result);
    EXPECT_EQ(language.log, c.log);
    EXPECT_FALSE(language.IsInPath() || language.InClipPathMode());
  }
}

TEST(OutputSink, PollsAsTheOutputGrows) {
  struct Flush {
    std::uint32_t length, skip;
    int polls;
  };
  const Flush flushes[] = {
      {10, 0, 1},      {20, 99949, 2},  // count 99,979: still below
      {21, 100000, 3},                  // 200,000: 100,021 past the last poll
      {0, 0, 3},                        // nothing at all
      {1, 99999, 3},                    // 300,000: exactly 100,000 more, no poll
      {1, 0, 4},                        // 300,001
  };
  auto language = Language();
  MemoryPort port;
  language->SetOutput(&port, false);
  const std::string data(32, 'x');
  for (const Flush& f : flushes) {
    port.skip = f.skip;
    language->GetSink().FlushToOutput(reinterpret_cast<const std::uint8_t*>(data.data()), f.length);
    EXPECT_EQ(port.polls, f.polls) << port.GetCount();
  }
  EXPECT_EQ(port.writes, 5);
  EXPECT_EQ(language->GetSink().GetLastPollCount(), 300001u);
  // An empty flush polls under the PostScript writer's rule only.
  MemoryPort fresh;
  language->SetOutput(&fresh, false);
  language->GetSink().Flush();
  EXPECT_EQ(fresh.polls, 0);
  language->SetEmptyFlush(GOutputSink::EmptyFlush::kPoll);
  language->GetSink().Flush();
  EXPECT_EQ(fresh.polls, 1);
  language->SetPeriodicPoll(0);
  language->GetSink().Put(data.data(), 1);
  language->GetSink().Flush();
  EXPECT_EQ(fresh.polls, 1);
  EXPECT_EQ(fresh.writes, 1);
}

TEST(OutputSink, KeepsTheFirstWriteErrorAndWritesNoMore) {
  auto language = Language();
  MemoryPort port;
  language->SetOutput(&port, false);
  GOutputSink& sink = language->GetSink();
  // The buffer flushes itself each time it fills.
  const std::string big(GOutputSink::kBufferSize * 2 + 5, 'a');
  sink.Put(big.data(), static_cast<std::uint32_t>(big.size()));
  EXPECT_EQ(port.writes, 2);
  EXPECT_EQ(sink.GetBuffered(), 5u);
  port.write_answer = 112;
  sink.Flush();
  port.write_answer = 29;
  sink.PutRepeated(0, 3);
  sink.Flush();
  EXPECT_EQ(port.writes, 3);
  EXPECT_FALSE(sink.IsOutputOk());
  EXPECT_EQ(sink.GetWriteError(), 112);
  EXPECT_EQ(port.bytes.size(), GOutputSink::kBufferSize * 2);
  sink.Begin();
  EXPECT_TRUE(sink.IsOutputOk() && sink.GetWriteError() == 0);
}

}  // namespace
