// The submit road of a device chain: a peripheral composite hands each
// command through its enabled devices in order, each answering the same,
// a changed or a new command, a composite, the no-op or an error, which
// the job answers with a job abort; composites are taken apart piece by
// piece; the hooks run before Transform; the job-event handlers move the
// job state; the page-scale query and the flag words gather over the
// enabled devices; a proxy stands for its target.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/peripheral_proxy.h"
#include "output/core/result_commands.h"

namespace {

using Log = std::vector<std::string>;

// "class id/key" of a command.
std::string Describe(const MPersistentObject* command) {
  return std::to_string(command->ClassId()) + "/" + std::to_string(command->Key());
}

enum class Answer { kSame, kChanged, kNew, kSplit, kNoOp, kFail };

GCountedPtr Composite(std::vector<GCommand*> commands) {
  auto* composite = new GCommandComposite;
  for (GCommand* command : commands)
    composite->AddChild(command);
  return GCountedPtr(composite);
}

// Logs "name:class/key" for each command it transforms, and answers as
// `answers` says for the command's class (the same by default): a changed
// command is the same one with its key raised by 100; a new one a null
// command keyed 50; a split a composite of null commands keyed 61 and 62;
// a failure runs the base Transform with every handler answering 2.
class RecordingDevice : public GPeripheral {
 public:
  RecordingDevice(std::string name, Log& log) : name_(std::move(name)), log_(log) {}

  std::map<RWClassID, Answer> answers;
  bool log_hooks = false;

  GCountedPtr Transform(const GCountedPtr& command) override {
    log_.push_back(name_ + ":" + Describe(command.Get()));
    auto found = answers.find(command->ClassId());
    switch (found == answers.end() ? Answer::kSame : found->second) {
      case Answer::kSame:
        return GPeripheral::Transform(command);
      case Answer::kChanged:
        command->SetKey(command->Key() + 100);
        return command;
      case Answer::kNew:
        return GCountedPtr(new GNullCommand(nullptr, 50));
      case Answer::kSplit:
        return Composite({new GNullCommand(nullptr, 61), new GNullCommand(nullptr, 62)});
      case Answer::kNoOp:
        return GCountedPtr(new GNoCommand);
      case Answer::kFail:
        failing_ = true;
        GCountedPtr result = GPeripheral::Transform(command);
        failing_ = false;
        return result;
    }
    return command;
  }
  void AttributeHookBefore(GCommand& command) override { Hook("before", command); }
  void AttributeHookAfter(GCommand& command) override { Hook("after", command); }
  std::uint16_t DocumentStart(GDocumentStart& c) override {
    return Handle(GPeripheral::DocumentStart(c));
  }
  std::uint16_t PageStart(GPageStart& c) override { return Handle(GPeripheral::PageStart(c)); }
  std::uint16_t PageEnd(GPageEnd& c) override { return Handle(GPeripheral::PageEnd(c)); }

 private:
  void Hook(const char* which, GCommand& command) {
    if (log_hooks) log_.push_back(name_ + ":" + which + " " + Describe(&command));
  }
  std::uint16_t Handle(std::uint16_t base) { return failing_ ? 2 : base; }

  std::string name_;
  Log& log_;
  bool failing_ = false;
};

// A chain that logs its own part of the road, as "chain:class/key".
class RecordingChain : public GPeripheralComposite {
 public:
  explicit RecordingChain(Log& log) : log_(log) {}
  GCountedPtr Transform(const GCountedPtr& command) override {
    log_.push_back("chain:" + Describe(command.Get()));
    return GPeripheralComposite::Transform(command);
  }

 private:
  Log& log_;
};

// What the job does with one command: submits it to the chain, and, when
// an error command comes back, submits a job abort.
GCountedPtr RunJob(GPeripheral& chain, const GCountedPtr& command) {
  GCountedPtr answer = chain.Submit(command);
  if (answer && answer->ClassId() == kGErrorCommandId) chain.Submit(GCountedPtr(new GJobAbort));
  return answer;
}

TEST(Chain, EachEnabledDeviceInOrderUntilTheNoOpOrAnError) {
  struct Case {
    const char* name;
    std::map<RWClassID, Answer> a, b;  // c always answers the same
    bool b_enabled;
    bool chain_enabled;
    Log log;
    std::string answer;  // "same", or the class id/key of the answer
  };
  const Case cases[] = {
      {"all the same",
       {},
       {},
       true,
       true,
       {"A:709/1", "B:709/1", "C:709/1", "chain:709/1"},
       "same"},
      {"changed",
       {{709, Answer::kChanged}},
       {},
       true,
       true,
       {"A:709/1", "B:709/101", "C:709/101", "chain:709/101"},
       "same"},
      {"new",
       {{709, Answer::kNew}},
       {},
       true,
       true,
       {"A:709/1", "B:712/50", "C:712/50", "chain:712/50"},
       "712/50"},
      {"split into a composite",
       {{709, Answer::kSplit}},
       {},
       true,
       true,
       {"A:709/1", "B:712/61", "B:712/62", "C:712/61", "C:712/62", "chain:712/61", "chain:712/62"},
       "605/0"},
      {"swallowed", {}, {{709, Answer::kNoOp}}, true, true, {"A:709/1", "B:709/1"}, "715/0"},
      {"failed: the job aborts",
       {},
       {{709, Answer::kFail}},
       true,
       true,
       {"A:709/1", "B:709/1", "A:713/0", "B:713/0", "C:713/0", "chain:713/0"},
       "714/0"},
      {"a disabled device is passed over",
       {},
       {{709, Answer::kNoOp}},
       false,
       true,
       {"A:709/1", "C:709/1", "chain:709/1"},
       "same"},
      {"a disabled chain passes the command on unchanged",
       {{709, Answer::kNoOp}},
       {},
       true,
       false,
       {},
       "same"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    RecordingChain chain(log);
    auto* a = new RecordingDevice("A", log);
    auto* b = new RecordingDevice("B", log);
    a->answers = c.a;
    b->answers = c.b;
    chain.AddChild(a);
    chain.AddChild(b);
    chain.AddChild(new RecordingDevice("C", log));
    if (!c.b_enabled) b->Disable();
    if (!c.chain_enabled) chain.Disable();

    GCountedPtr page_start(new GPageStart(nullptr, 1));
    GCountedPtr answer = RunJob(chain, page_start);
    EXPECT_EQ(log, c.log);
    ASSERT_TRUE(answer);
    if (c.answer == std::string("same")) {
      EXPECT_EQ(answer.Get(), page_start.Get());
    } else {
      EXPECT_EQ(Describe(answer.Get()), c.answer);
    }
    if (auto* error = dynamic_cast<GErrorCommand*>(answer.Get())) {
      EXPECT_EQ(error->GetCode(), 2);
      EXPECT_EQ(error->GetCommand(), page_start.Get());
    }
  }
}

// A composite is taken apart: each piece goes through the device; the
// answer is the composite itself when nothing changed, a new composite of
// what came back, the no-op when nothing did, or the first error.
TEST(Chain, CompositesAreTakenApartPieceByPiece) {
  auto page = [] {
    return Composite({new GPageStart(nullptr, 1),
                      static_cast<GCommand*>(
                          Composite({new GNullCommand(nullptr, 2), new GNullCommand(nullptr, 3)})
                              .Detach(CountedPtrLock())),
                      new GPageEnd(4)});
  };
  struct Case {
    const char* name;
    std::map<RWClassID, Answer> answers;
    Log log;
    std::string answer;  // "same", or what came back, flattened
  };
  const Case cases[] = {
      {"unchanged", {}, {"D:709/1", "D:712/2", "D:712/3", "D:710/4"}, "same"},
      {"pieces swallowed",
       {{712, Answer::kNoOp}},
       {"D:709/1", "D:712/2", "D:712/3", "D:710/4"},
       "605/0[709/1 710/4]"},
      {"pieces replaced",
       {{709, Answer::kChanged}, {710, Answer::kSplit}},
       {"D:709/1", "D:712/2", "D:712/3", "D:710/4"},
       "605/0[709/101 605/0[712/2 712/3] 605/0[712/61 712/62]]"},
      {"everything swallowed",
       {{709, Answer::kNoOp}, {712, Answer::kNoOp}, {710, Answer::kNoOp}},
       {"D:709/1", "D:712/2", "D:712/3", "D:710/4"},
       "715/0"},
      {"an error ends the walk", {{709, Answer::kFail}}, {"D:709/1"}, "714/0"},
  };
  std::function<std::string(const MPersistentObject*)> flatten = [&](const MPersistentObject* o) {
    std::string text = Describe(o);
    auto* composite = dynamic_cast<const GCommandComposite*>(o);
    if (!composite) return text;
    text += "[";
    for (RWSize i = 0; i < composite->Children().Count(); ++i)
      text += (i ? " " : "") + flatten(composite->Children()[i].Get());
    return text + "]";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    RecordingDevice device("D", log);
    device.answers = c.answers;
    GCountedPtr composite = page();
    GCountedPtr answer = device.Submit(composite);
    EXPECT_EQ(log, c.log);
    ASSERT_TRUE(answer);
    if (c.answer == std::string("same")) {
      EXPECT_EQ(answer.Get(), composite.Get());
    } else {
      EXPECT_EQ(flatten(answer.Get()), c.answer);
    }
  }
  // Disabled, the device takes nothing apart.
  Log log;
  RecordingDevice device("D", log);
  device.Disable();
  GCountedPtr composite = page();
  EXPECT_EQ(device.Submit(composite).Get(), composite.Get());
  EXPECT_EQ(device.ExpandComposite(GCountedPtr(new GNoCommand)).Get()->ClassId(), kGNoCommandId);
  EXPECT_TRUE(log.empty());
}

// Pieces that came back as they went before the first that did not go on
// in the new composite, but for a no-op piece among them.
TEST(Chain, PiecesBeforeTheFirstChangeGoOnWithoutTheNoOps) {
  Log log;
  RecordingDevice device("D", log);
  device.answers = {{710, Answer::kNew}};
  GCountedPtr composite =
      Composite({new GNoCommand(5), new GPageStart(nullptr, 1), new GNoCommand(6),
                 new GPageStart(nullptr, 2), new GPageEnd(3), new GPageEnd(4)});
  GCountedPtr answer = device.Submit(composite);
  auto* built = dynamic_cast<GCommandComposite*>(answer.Get());
  ASSERT_NE(built, nullptr);
  ASSERT_NE(built, composite.Get());
  std::string pieces;
  for (RWSize i = 0; i < built->Children().Count(); ++i)
    pieces += Describe(built->Children()[i].Get()) + " ";
  EXPECT_EQ(pieces, "709/1 709/2 712/50 712/50 ");
  EXPECT_EQ(built->Children()[0].Get(),
            static_cast<GCommandComposite*>(composite.Get())->Children()[1].Get());
}

// The hooks run, in order, before Transform, and only for what goes on to
// it; Submit clears the command word of what it takes.
TEST(Chain, HooksRunBeforeTransform) {
  Log log;
  RecordingDevice device("D", log);
  device.log_hooks = true;
  GCountedPtr page_end(new GPageEnd(4));
  static_cast<GCommand*>(page_end.Get())->SetCommandWord(1);
  device.Submit(page_end);
  device.Submit(GCountedPtr(new GNoCommand(5)));
  device.Submit(GCountedPtr(new GErrorCommand(3, nullptr, 6)));
  EXPECT_EQ(log, (Log{"D:before 710/4", "D:after 710/4", "D:710/4"}));
  EXPECT_EQ(static_cast<GCommand*>(page_end.Get())->CommandWord(), 0u);
  EXPECT_EQ(device.Submit(GCountedPtr()).Get(), nullptr);
}

TEST(Chain, JobEventsMoveTheJobState) {
  GPeripheralComposite chain;
  auto* device = new GPeripheral;
  chain.AddChild(device);
  struct Step {
    GCommand* command;
    std::uint32_t state;
  };
  const Step steps[] = {
      {new GDocumentStart, kJobInDocument}, {new GPageStart, kJobInPage},
      {new GNullCommand, kJobInPage},       {new GPageEnd, kJobInDocument},
      {new GPageStart, kJobInPage},         {new GJobAbort, kJobIdle},
      {new GDocumentStart, kJobInDocument}, {new GDocumentEnd, kJobIdle},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(Describe(step.command));
    GCountedPtr command(step.command);
    EXPECT_EQ(chain.Submit(command).Get(), command.Get());
    EXPECT_EQ(device->GetJobState(), step.state);
    EXPECT_EQ(chain.GetJobState(), step.state);  // the chain's own part runs too
  }
}

// Answers a fixed page scale and flag word, and logs the status word it
// was given.
class ScalingDevice : public GPeripheral {
 public:
  ScalingDevice(GScalePair scale, std::uint32_t flags, std::uint32_t has_scale, Log& log)
      : scale_(scale), flags_(flags), has_scale_(has_scale), log_(log) {}
  std::uint32_t HasPageScale() override { return has_scale_; }
  GScalePair GetPageScale(GAttributeComposite*, GAttributeComposite*, std::uint32_t,
                          std::uint32_t& status) override {
    log_.push_back(std::to_string(scale_.x) + " status " + std::to_string(status));
    status = 3;
    return scale_;
  }
  std::uint32_t GetFlags() override { return flags_; }

 private:
  GScalePair scale_;
  std::uint32_t flags_;
  std::uint32_t has_scale_;
  Log& log_;
};

TEST(Chain, PageScaleAndFlagsGatherOverTheEnabledDevices) {
  struct Device {
    GScalePair scale;
    std::uint32_t flags;
    std::uint32_t has_scale;
    bool enabled;
  };
  struct Case {
    const char* name;
    std::vector<Device> devices;
    GScalePair scale;
    std::uint32_t flags;
    std::uint32_t has_scale;
    std::size_t asked;
  };
  const Case cases[] = {
      {"no devices", {}, {1.0f, 1.0f}, 0, 1, 0},
      {"products of the enabled ones",
       {{{2.0f, 1.0f}, 4, 1, true}, {{9.0f, 9.0f}, 8, 1, false}, {{0.5f, 3.0f}, 0x40, 7, true}},
       {1.0f, 3.0f},
       0x44,
       1,
       2},
      {"both factors 0 stop the walk",
       {{{0.0f, 0.0f}, 1, 1, true}, {{5.0f, 5.0f}, 2, 1, true}},
       {0.0f, 0.0f},
       3,
       1,
       1},
      {"one factor 0 does not",
       {{{0.0f, 1.0f}, 0, 1, true}, {{2.0f, 2.0f}, 0, 1, true}},
       {0.0f, 2.0f},
       0,
       1,
       2},
      {"a disabled device without a page scale still counts",
       {{{1.0f, 1.0f}, 0, 1, true}, {{1.0f, 1.0f}, 0, 0, false}},
       {1.0f, 1.0f},
       0,
       0,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    GPeripheralComposite chain;
    for (const Device& d : c.devices) {
      auto* device = new ScalingDevice(d.scale, d.flags, d.has_scale, log);
      if (!d.enabled) device->Disable();
      chain.AddChild(device);
    }
    std::uint32_t status = 0;
    GScalePair scale = chain.GetPageScale(nullptr, nullptr, 1, status);
    EXPECT_EQ(scale.x, c.scale.x);
    EXPECT_EQ(scale.y, c.scale.y);
    EXPECT_EQ(chain.GetFlags(), c.flags);
    EXPECT_EQ(chain.HasPageScale(), c.has_scale);
    ASSERT_EQ(log.size(), c.asked);
    // Each device is handed the same status word, as the one before left it.
    for (std::size_t i = 0; i < log.size(); ++i)
      EXPECT_NE(log[i].find(i == 0 ? "status 0" : "status 3"), std::string::npos) << log[i];
  }
  GPeripheral plain;
  std::uint32_t status = 0;
  GScalePair scale = plain.GetPageScale(nullptr, nullptr, 0, status);
  EXPECT_EQ(scale.x, 1.0f);
  EXPECT_EQ(scale.y, 1.0f);
  EXPECT_EQ(plain.HasPageScale(), 1u);
  EXPECT_EQ(plain.GetFlags(), 0u);
}

}  // namespace

namespace {

// A device that logs its road and answers the flag word 4.
class FlaggedDevice : public RecordingDevice {
 public:
  using RecordingDevice::RecordingDevice;
  std::uint32_t GetFlags() override { return 4; }
};

// A proxy hands commands to its target's road and answers the target's
// flags while the target is enabled; Reset reaches the target. A disabled
// proxy passes commands on untouched, and one without a target is a plain
// device.
TEST(Chain, AProxyStandsForItsTarget) {
  struct Case {
    const char* name;
    bool has_target, proxy_enabled, target_enabled;
    Log log;
    std::string answer;  // "same", or the class id/key of the answer
    std::uint32_t flags;
  };
  const Case cases[] = {
      {"forwarded", true, true, true, {"T:709/0"}, "712/50", 4},
      {"a disabled proxy", true, false, true, {}, "same", 4},
      {"a disabled target", true, true, false, {}, "same", 0},
      {"no target", false, true, true, {}, "same", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    auto* target = new FlaggedDevice("T", log);
    GCountedPtr held(target);
    target->answers[kGPageStartId] = Answer::kNew;
    if (!c.target_enabled) target->Disable();
    GPeripheralProxy proxy(c.has_target ? target : nullptr);
    if (!c.proxy_enabled) proxy.Disable();
    GCountedPtr start(new GPageStart);
    GCountedPtr answer = proxy.Submit(start);
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(answer.Get() == start.Get() ? "same" : Describe(answer.Get()), c.answer);
    EXPECT_EQ(proxy.GetFlags(), c.flags);
    proxy.Reset();
    EXPECT_EQ(target->IsEnabled(), c.has_target || c.target_enabled);
  }
}

}  // namespace
