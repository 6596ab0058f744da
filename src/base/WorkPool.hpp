// TWorkPool: a few threads of its own that run a batch of numbered jobs while
// the caller gets on with something else. Start hands over a whole batch;
// Wait blocks (sleeps, never spins) until every job of it is done and rethrows
// the first error a job raised. One batch at a time; the destructor waits for
// the running batch and stops the threads. Meant for large pieces of work
// (many rows), so that a handover costs nothing beside the work itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessmar {

// How many threads the processor runs at once, at least 1.
unsigned HardwareThreads() noexcept;

class TWorkPool {
 public:
  // threads = 0: one per hardware thread.
  explicit TWorkPool(unsigned threads = 0);
  ~TWorkPool();
  TWorkPool(const TWorkPool&) = delete;
  TWorkPool& operator=(const TWorkPool&) = delete;

  unsigned Threads() const noexcept { return static_cast<unsigned>(FThreads.size()); }

  // Runs job(0) .. job(count - 1) on the pool's threads, in any order and at
  // once; returns at once. Waits first for a batch still running.
  void Start(std::size_t count, std::function<void(std::size_t)> job);
  // Returns when the batch is done; rethrows the first error of its jobs.
  void Wait();

 private:
  void Loop();

  std::mutex FMutex;
  std::condition_variable FWork, FDone;
  std::function<void(std::size_t)> FJob;
  std::size_t FCount = 0, FNext = 0, FRunning = 0;
  bool FBusy = false, FStop = false;
  std::exception_ptr FError;
  std::vector<std::thread> FThreads;
};

// TWorkLine: a stream of numbered jobs 0, 1, 2, ... for a few threads of its
// own, started in the order they are handed over and waited for in the same
// order, with no pause between one and the next: while the threads work, the
// caller hands over more and takes what is done. Job j works in slot
// j % Depth; at most Depth jobs are handed over and not yet waited for. The
// destructor lets the jobs handed over finish and stops the threads.
class TWorkLine {
 public:
  // threads = 0: one per hardware thread.
  TWorkLine(std::size_t depth, std::function<void(std::size_t slot)> job, unsigned threads = 0);
  ~TWorkLine();
  TWorkLine(const TWorkLine&) = delete;
  TWorkLine& operator=(const TWorkLine&) = delete;

  // Jobs handed over and not yet waited for.
  std::size_t Pending() const noexcept { return FHanded - FWaited; }
  // The next job's slot, to be filled before Hand; Pending() < depth.
  std::size_t NextSlot() const noexcept { return FHanded % FDepth; }
  // Hands over the next job, its slot filled.
  void Hand();
  // Waits for the oldest job not waited for (Pending() > 0); its slot.
  // Rethrows the first error of a job.
  std::size_t Wait();

 private:
  void Loop();

  const std::size_t FDepth;
  std::function<void(std::size_t)> FJob;
  std::mutex FMutex;
  std::condition_variable FWork, FDone;
  std::size_t FHanded = 0, FTaken = 0, FWaited = 0;
  std::vector<char> FFinished;  // by slot
  bool FWaiting = false, FStop = false;
  std::exception_ptr FError;
  std::vector<std::thread> FThreads;
};

// TFillAhead: one thread of its own that fills blocks 0, 1, ... in order, up
// to Depth of them ahead of the caller, who takes them in the same order; the
// block's slot (b % Depth) is the filler's until Take(b) returns and the
// caller's until Release(b). While both sides keep up nobody sleeps and no
// block costs a wake-up: the filler is woken only when half its slots are
// free again. The destructor stops the filler after the block in hand.
class TFillAhead {
 public:
  TFillAhead(std::size_t depth, std::int64_t count, std::function<void(std::int64_t block, std::size_t slot)> fill);
  ~TFillAhead();
  TFillAhead(const TFillAhead&) = delete;
  TFillAhead& operator=(const TFillAhead&) = delete;

  // Waits until block b is filled and returns its slot; rethrows the error
  // that filling it (or a block before it) raised. Blocks are taken in order.
  std::size_t Take(std::int64_t b);
  // Gives block b's slot back to the filler.
  void Release(std::int64_t b);

 private:
  void Loop();

  const std::size_t FDepth;
  const std::int64_t FCount;
  std::function<void(std::int64_t, std::size_t)> FFill;
  std::mutex FMutex;
  std::condition_variable FFilled, FFreed;
  std::int64_t FReady = 0, FReleased = 0;  // blocks filled, blocks given back
  bool FFillerSleeps = false, FTakerSleeps = false, FStop = false;
  std::exception_ptr FError;
  std::thread FThread;
};

}  // namespace tessmar
