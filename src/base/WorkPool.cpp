#include "base/WorkPool.hpp"

#include <utility>

namespace tessmar {

TWorkPool::TWorkPool(unsigned threads) {
  if (threads == 0) threads = std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  FThreads.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) FThreads.emplace_back([this] { Loop(); });
}

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

}  // namespace tessmar
