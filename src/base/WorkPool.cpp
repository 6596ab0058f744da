#include "base/WorkPool.hpp"

#include <algorithm>
#include <utility>

namespace tessmar {

unsigned HardwareThreads() noexcept { return std::max(1u, std::thread::hardware_concurrency()); }

namespace {
// `threads` threads (0: HardwareThreads()) that run loop.
std::vector<std::thread> StartThreads(unsigned threads, const std::function<void()>& loop) {
  std::vector<std::thread> started(threads ? threads : HardwareThreads());
  for (auto& t : started) t = std::thread(loop);
  return started;
}
}  // namespace

TWorkPool::TWorkPool(unsigned threads) : FThreads(StartThreads(threads, [this] { Loop(); })) {}

TWorkPool::~TWorkPool() {
  {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [this] { return !FBusy; });
    FStop = true;
  }
  FWork.notify_all();
  for (auto& t : FThreads) t.join();
}

void TWorkPool::Start(std::size_t count, std::function<void(std::size_t)> job) {
  {
    std::unique_lock lock(FMutex);
    FDone.wait(lock, [this] { return !FBusy; });
    FJob = std::move(job);
    FCount = count;
    FNext = 0;
    FRunning = 0;
    FBusy = count > 0;
  }
  FWork.notify_all();
}

void TWorkPool::Wait() {
  std::unique_lock lock(FMutex);
  FDone.wait(lock, [this] { return !FBusy; });
  if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
}

void TWorkPool::Loop() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FWork.wait(lock, [this] { return FStop || FNext < FCount; });
    if (FNext >= FCount) return;  // stopping, nothing left to do
    const std::size_t index = FNext++;
    ++FRunning;
    lock.unlock();
    try {
      FJob(index);
    } catch (...) {
      lock.lock();
      if (!FError) FError = std::current_exception();
      lock.unlock();
    }
    lock.lock();
    --FRunning;
    if (FNext >= FCount && FRunning == 0 && FBusy) {
      FBusy = false;
      FDone.notify_all();
    }
  }
}

TWorkLine::TWorkLine(std::size_t depth, std::function<void(std::size_t)> job, unsigned threads)
    : FDepth(depth < 1 ? 1 : depth),
      FJob(std::move(job)),
      FFinished(FDepth),
      FThreads(StartThreads(threads, [this] { Loop(); })) {}

TWorkLine::~TWorkLine() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FWork.notify_all();
  for (auto& t : FThreads) t.join();
}

void TWorkLine::Hand() {
  {
    std::lock_guard lock(FMutex);
    FFinished[FHanded % FDepth] = false;
    ++FHanded;
  }
  FWork.notify_one();
}

std::size_t TWorkLine::Wait() {
  std::unique_lock lock(FMutex);
  const std::size_t slot = FWaited % FDepth;
  if (!FFinished[slot] && !FError) {
    FWaiting = true;
    FDone.wait(lock, [&] { return FFinished[slot] || FError; });
    FWaiting = false;
  }
  if (FError) std::rethrow_exception(FError);
  ++FWaited;
  return slot;
}

void TWorkLine::Loop() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FWork.wait(lock, [this] { return FStop || FTaken < FHanded; });
    if (FTaken >= FHanded) return;  // stopping, every job handed over done
    const std::size_t slot = FTaken++ % FDepth;
    lock.unlock();
    std::exception_ptr error;
    try {
      FJob(slot);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    FFinished[slot] = true;
    if (error && !FError) FError = error;
    if (FWaiting) FDone.notify_one();
  }
}

TFillAhead::TFillAhead(std::size_t depth, std::int64_t count,
                       std::function<void(std::int64_t block, std::size_t slot)> fill)
    : FDepth(depth < 1 ? 1 : depth), FCount(count), FFill(std::move(fill)), FThread([this] { Loop(); }) {}

TFillAhead::~TFillAhead() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FFreed.notify_one();
  FThread.join();
}

std::size_t TFillAhead::Take(std::int64_t b) {
  std::unique_lock lock(FMutex);
  if (FReady <= b && !FError) {
    FTakerSleeps = true;
    FFilled.wait(lock, [&] { return FReady > b || FError; });
    FTakerSleeps = false;
  }
  if (FReady <= b) std::rethrow_exception(FError);
  return static_cast<std::size_t>(b % static_cast<std::int64_t>(FDepth));
}

void TFillAhead::Release(std::int64_t b) {
  bool wake = false;
  {
    std::lock_guard lock(FMutex);
    FReleased = b + 1;
    // Half the slots free before the filler gets up: one wake-up per half ring.
    wake = FFillerSleeps && FReady - FReleased <= static_cast<std::int64_t>(FDepth / 2);
  }
  if (wake) FFreed.notify_one();
}

void TFillAhead::Loop() {
  for (std::int64_t b = 0; b < FCount; ++b) {
    {
      std::unique_lock lock(FMutex);
      if (!FStop && b - FReleased >= static_cast<std::int64_t>(FDepth)) {
        FFillerSleeps = true;
        FFreed.wait(lock, [&] { return FStop || b - FReleased <= static_cast<std::int64_t>(FDepth / 2); });
        FFillerSleeps = false;
      }
      if (FStop) return;
    }
    std::exception_ptr error;
    try {
      FFill(b, static_cast<std::size_t>(b % static_cast<std::int64_t>(FDepth)));
    } catch (...) {
      error = std::current_exception();
    }
    bool wake = false;
    {
      std::lock_guard lock(FMutex);
      if (error)
        FError = error;
      else
        FReady = b + 1;
      wake = FTakerSleeps;
    }
    if (wake) FFilled.notify_one();
    if (error) return;
  }
}

}  // namespace tessmar
