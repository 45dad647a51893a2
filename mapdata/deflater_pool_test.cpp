#include "mapdata/deflater_pool.h"

#include <gtest/gtest.h>

#include <barrier>
#include <thread>
#include <vector>

namespace kx {
namespace {

TEST(DeflaterLease, AFinishedCompressorIsReused) {
  const Deflater* first = nullptr;
  { first = &*DeflaterLease(); }
  const DeflaterLease second;
  EXPECT_EQ(&*second, first);
}

// Many threads that once packed at the same time leave no more than the kept few behind.
TEST(DeflaterLease, OnlyAFewCompressorsOutliveTheThreadsThatUsedThem) {
  constexpr int kThreads = 6;
  std::barrier allHolding(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      const DeflaterLease lease;
      allHolding.arrive_and_wait();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(IdleDeflaterCount(), kMaxIdleDeflaters);
}

}  // namespace
}  // namespace kx
