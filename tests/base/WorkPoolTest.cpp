#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
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

// The line check --points answers through: jobs handed over in order, each
// in its slot, waited for in the same order while more are handed over; a
// job's error comes out of a Wait no later than that job's own; every job
// handed over runs, the last ones in the destructor.
TEST(WorkLine, WaitsForEveryJobInTheOrderHandedAndRethrowsItsError) {
  const struct {
    std::size_t depth;
    unsigned threads;
    std::int64_t failing;  // the job that throws; -1: none
  } cases[] = {{1, 1, -1}, {2, 3, -1}, {4, 2, -1}, {8, 4, -1}, {3, 2, 100}, {1, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + " " + std::to_string(c.threads) + " " + std::to_string(c.failing));
    const std::int64_t count = 300;
    std::vector<std::int64_t> in(c.depth), out(c.depth, -1);
    std::atomic<std::int64_t> runs{0};
    std::int64_t next = 0, taken = 0;
    bool thrown = false;
    {
      TWorkLine line(
          c.depth,
          [&](std::size_t slot) {
            ++runs;
            if (in[slot] == c.failing) throw std::runtime_error("job");
            out[slot] = in[slot] * 2;
          },
          c.threads);
      while (taken < count && !thrown) {
        for (; next < count && line.Pending() < c.depth; ++next) {
          const std::size_t slot = line.NextSlot();
          ASSERT_EQ(slot, static_cast<std::size_t>(next) % c.depth);
          in[slot] = next;
          line.Hand();
        }
        try {
          const std::size_t slot = line.Wait();
          ASSERT_EQ(slot, static_cast<std::size_t>(taken) % c.depth);
          ASSERT_EQ(out[slot], 2 * taken);  // this job's answer, not a later one's
          ++taken;
        } catch (const std::runtime_error&) {
          thrown = true;
        }
      }
      EXPECT_EQ(line.Pending(), static_cast<std::size_t>(next - taken));
    }
    EXPECT_EQ(thrown, c.failing >= 0);
    if (thrown)
      EXPECT_LE(taken, c.failing);
    else
      EXPECT_EQ(taken, count);
    EXPECT_EQ(runs.load(), next);  // the destructor let the jobs handed over finish
  }
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
