// The device chain against the plain peer on the same work: one command
// handed through a chain of devices (each runs its hooks and executes the
// command by double dispatch, answering it unchanged), and a composite of
// 1,000 (and 10,000) null commands taken apart by each device of a chain of
// three. The peer is a vector of devices with one virtual submit each, over
// commands shared through std::shared_ptr with one virtual execute.
//
// std::shared_ptr counts without atomic operations while the process has a
// single thread; GCountedPtr always counts atomically, as a driver runs in
// a process of many threads. The peers run twice: first as they are, then
// (the "InThreadedProcess" runs, registered last) once the process has
// started a thread, after which the library counts atomically too.
#include <benchmark/benchmark.h>

#include <memory>
#include <thread>
#include <vector>

#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"

namespace {

void BM_ChainSubmit(benchmark::State& state) {
  GPeripheralComposite chain;
  for (int i = 0; i < state.range(0); ++i)
    chain.AddChild(new GPeripheral);
  GCountedPtr command(new GPageStart(nullptr, 1));
  for (auto _ : state)
    benchmark::DoNotOptimize(chain.Submit(command).Get());
}
BENCHMARK(BM_ChainSubmit)->Arg(1)->Arg(8);

void BM_ChainComposite(benchmark::State& state) {
  GPeripheralComposite chain;
  for (int i = 0; i < 3; ++i)
    chain.AddChild(new GPeripheral);
  auto* composite = new GCommandComposite;
  for (int i = 0; i < state.range(0); ++i)
    composite->AddChild(new GNullCommand);
  GCountedPtr held(composite);
  for (auto _ : state)
    benchmark::DoNotOptimize(chain.Submit(held).Get());
}
BENCHMARK(BM_ChainComposite)->Arg(1000)->Arg(10000);

class PeerDevice;

class PeerCommand {
 public:
  virtual ~PeerCommand() = default;
  virtual std::uint16_t Execute(PeerDevice& device) = 0;
};

class PeerDevice {
 public:
  virtual ~PeerDevice() = default;
  virtual std::uint16_t PageStart(PeerCommand&) { return 0; }
  virtual std::shared_ptr<PeerCommand> Submit(const std::shared_ptr<PeerCommand>& command) {
    if (!enabled) return command;
    return command->Execute(*this) == 0 ? command : nullptr;
  }
  bool enabled = true;
};

class PeerPageStart : public PeerCommand {
 public:
  std::uint16_t Execute(PeerDevice& device) override { return device.PageStart(*this); }
};

class PeerNull : public PeerCommand {
 public:
  std::uint16_t Execute(PeerDevice&) override { return 0; }
};

std::shared_ptr<PeerCommand> PeerSubmit(std::vector<std::unique_ptr<PeerDevice>>& chain,
                                        std::shared_ptr<PeerCommand> command) {
  for (auto& device : chain) {
    if (!device->enabled) continue;
    command = device->Submit(command);
    if (!command) break;
  }
  return command;
}

void BM_PeerSubmit(benchmark::State& state) {
  std::vector<std::unique_ptr<PeerDevice>> chain;
  for (int i = 0; i < state.range(0); ++i)
    chain.push_back(std::make_unique<PeerDevice>());
  auto command = std::make_shared<PeerPageStart>();
  for (auto _ : state)
    benchmark::DoNotOptimize(PeerSubmit(chain, command).get());
}
BENCHMARK(BM_PeerSubmit)->Arg(1)->Arg(8);

void BM_PeerComposite(benchmark::State& state) {
  std::vector<std::unique_ptr<PeerDevice>> chain;
  for (int i = 0; i < 3; ++i)
    chain.push_back(std::make_unique<PeerDevice>());
  std::vector<std::shared_ptr<PeerCommand>> pieces;
  for (int i = 0; i < state.range(0); ++i)
    pieces.push_back(std::make_shared<PeerNull>());
  for (auto _ : state) {
    for (auto& device : chain) {
      std::vector<std::shared_ptr<PeerCommand>> out;
      out.reserve(pieces.size());
      for (auto& piece : pieces)
        out.push_back(device->Submit(piece));
      benchmark::DoNotOptimize(out.data());
    }
  }
}
BENCHMARK(BM_PeerComposite)->Arg(1000)->Arg(10000);

// The peers again, the process having started (and joined) a thread.
void StartAThread() {
  static const bool started = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)started;
}

void BM_PeerSubmit_InThreadedProcess(benchmark::State& state) {
  StartAThread();
  BM_PeerSubmit(state);
}
BENCHMARK(BM_PeerSubmit_InThreadedProcess)->Arg(1)->Arg(8);

void BM_PeerComposite_InThreadedProcess(benchmark::State& state) {
  StartAThread();
  BM_PeerComposite(state);
}
BENCHMARK(BM_PeerComposite_InThreadedProcess)->Arg(1000)->Arg(10000);

}  // namespace
