#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/WorkPool.hpp"

namespace tessmar {
namespace {

TEST(WorkPool, RunsEveryJobOfEveryBatchOnce) {
  TWorkPool pool(3);
  EXPECT_EQ(pool.Threads(), 3u);
  std::vector<std::atomic<int>> runs(1000);
  for (int batch = 0; batch < 20; ++batch) {
    pool.Start(runs.size(), [&](std::size_t k) { ++runs[k]; });
    pool.Wait();
    for (auto& r : runs) ASSERT_EQ(r.load(), batch + 1);
  }
  pool.Start(0, [](std::size_t) { FAIL(); });
  pool.Wait();
}

TEST(WorkPool, WaitRethrowsTheErrorAndThePoolGoesOn) {
  TWorkPool pool(2);
  std::atomic<int> done{0};
  pool.Start(50, [&](std::size_t k) {
    if (k == 7) throw std::runtime_error("job 7");
    ++done;
  });
  EXPECT_THROW(pool.Wait(), std::runtime_error);
  EXPECT_EQ(done.load(), 49);  // the other jobs still ran
  pool.Start(5, [&](std::size_t) { ++done; });
  EXPECT_NO_THROW(pool.Wait());
  EXPECT_EQ(done.load(), 54);
}

TEST(WorkPool, StartWaitsForTheBatchBeforeAndTheEndForTheLast) {
  std::atomic<int> done{0};
  {
    TWorkPool pool;
    EXPECT_GE(pool.Threads(), 1u);
    pool.Start(100, [&](std::size_t) { ++done; });
    pool.Start(100, [&](std::size_t) { ++done; });
  }  // no Wait: the destructor lets the batch finish
  EXPECT_EQ(done.load(), 200);
}

TEST(FillAhead, HandsOverEveryBlockInOrderAndNeverFillsAHeldSlot) {
  for (const std::size_t depth : {1u, 2u, 3u, 8u}) {
    SCOPED_TRACE(depth);
    const std::int64_t count = 200;
    std::vector<std::int64_t> slots(depth, -1);
    std::atomic<std::int64_t> released{0};
    std::atomic<bool> overrun{false};
    TFillAhead filler(depth, count, [&](std::int64_t b, std::size_t slot) {
      if (b - released >= static_cast<std::int64_t>(depth)) overrun = true;
      slots[slot] = b;
    });
    for (std::int64_t b = 0; b < count; ++b) {
      const std::size_t slot = filler.Take(b);
      ASSERT_EQ(slot, static_cast<std::size_t>(b) % depth);
      if (b % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));  // let the filler run ahead
      ASSERT_EQ(slots[slot], b);  // not yet overwritten by a block further on
      released = b + 1;
      filler.Release(b);
    }
    EXPECT_FALSE(overrun);
  }
}

TEST(FillAhead, TakeRethrowsTheFillersErrorAndAnEarlyEndStopsIt) {
  {
    TFillAhead filler(4, 100, [](std::int64_t b, std::size_t) {
      if (b == 5) throw std::runtime_error("block 5");
    });
    for (std::int64_t b = 0; b < 5; ++b) {
      filler.Take(b);
      filler.Release(b);
    }
    EXPECT_THROW(filler.Take(5), std::runtime_error);
  }
  std::atomic<std::int64_t> filled{0};
  {
    TFillAhead filler(4, 1'000'000, [&](std::int64_t, std::size_t) { ++filled; });
    filler.Take(0);
    filler.Release(0);
  }  // gone after the block in hand: not a million blocks later
  EXPECT_LE(filled.load(), 1 + 4);
}

}  // namespace
}  // namespace tessmar
