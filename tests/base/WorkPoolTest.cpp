#include "base/WorkPool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

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

}  // namespace
}  // namespace tessmar
