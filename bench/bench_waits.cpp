// The platform layer's semaphores beside a semaphore made of a std::mutex
// and a std::condition_variable of its own: a round trip (a release of the
// semaphore a worker thread waits on, then a wait for its answer on a
// second one) while 0, 8 or 64 other threads wait on semaphores of their
// own, which neither release may wake.
//
// The counters: "ratio" is the round trip's wall-clock time over the
// peer's, measured in the same run right after it for as many round trips;
// "peer_ns" the peer's time per round trip.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/files.h"
#include "platform/host/threads.h"

namespace {

class HostSemaphore {
 public:
  HostSemaphore() : handle_(platform::CreateSemaphoreW(nullptr, 0, 1 << 20, nullptr)) {}
  ~HostSemaphore() { platform::CloseHandle(handle_); }
  void Release() { platform::ReleaseSemaphore(handle_, 1, nullptr); }
  void Wait() { platform::WaitForSingleObject(handle_, platform::kInfinite); }

 private:
  platform::HANDLE handle_;
};

class PeerSemaphore {
 public:
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
    }
    released_.notify_one();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [this] { return count_ > 0; });
    --count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  long count_ = 0;
};

// A worker that answers each release of `ask` on `answer`, and `idle`
// threads blocked on semaphores of their own until the end.
template <class Semaphore>
class Scene {
 public:
  explicit Scene(int idle) : idle_(static_cast<std::size_t>(idle)) {
    for (auto& semaphore : idle_)
      semaphore = std::make_unique<Semaphore>();
    for (auto& semaphore : idle_)
      threads_.emplace_back([&semaphore] { semaphore->Wait(); });
    threads_.emplace_back([this] {
      for (;;) {
        ask_.Wait();
        if (stop_) return;
        answer_.Release();
      }
    });
  }
  ~Scene() {
    stop_ = true;
    ask_.Release();
    for (auto& semaphore : idle_)
      semaphore->Release();
    for (std::thread& thread : threads_)
      thread.join();
  }
  void RoundTrip() {
    ask_.Release();
    answer_.Wait();
  }

 private:
  Semaphore ask_;
  Semaphore answer_;
  std::vector<std::unique_ptr<Semaphore>> idle_;
  std::vector<std::thread> threads_;
  std::atomic<bool> stop_{false};
};

void BM_RoundTrip(benchmark::State& state) {
  const int idle = static_cast<int>(state.range(0));
  using Clock = std::chrono::steady_clock;
  std::chrono::duration<double> ours{};
  {
    Scene<HostSemaphore> scene(idle);
    const Clock::time_point start = Clock::now();
    for (auto _ : state)
      scene.RoundTrip();
    ours = Clock::now() - start;
  }
  Scene<PeerSemaphore> peer(idle);
  const Clock::time_point start = Clock::now();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i)
    peer.RoundTrip();
  const std::chrono::duration<double> theirs = Clock::now() - start;
  state.counters["ratio"] = ours / theirs;
  state.counters["peer_ns"] = theirs.count() * 1e9 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RoundTrip)->Arg(0)->Arg(8)->Arg(64)->UseRealTime();

}  // namespace
