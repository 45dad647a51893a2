#include "web/detail/connection_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

namespace kx::web::detail {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until `condition` holds.
template <class Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(ConnectionThreads, FinishedThreadsAreReapedRunningOnesKept) {
  ConnectionThreads threads;
  std::atomic<int> finished{0};
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(threads.Launch([&] { ++finished; }));
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(threads.Launch([released] { released.wait(); }));

  ASSERT_TRUE(Eventually([&] { return finished == 20; }));
  ASSERT_TRUE(Eventually([&] {
    threads.ReapFinished();
    return threads.Count() == 1;
  }));
  release.set_value();
  threads.JoinAll();
  EXPECT_EQ(threads.Count(), 0u);
}

TEST(ConnectionThreads, WorkOwnsWhatItCapturesAndReleasesItWhenDone) {
  auto owned = std::make_shared<int>(7);
  std::weak_ptr<int> watch = owned;
  {
    ConnectionThreads threads;
    ASSERT_TRUE(threads.Launch([owned = std::move(owned)] { EXPECT_EQ(*owned, 7); }));
  }  // the destructor joins
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace kx::web::detail
