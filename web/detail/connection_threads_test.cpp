#include "web/detail/connection_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "web/detail/connection_slots.h"

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

TEST(ConnectionSlots, TheBoundHoldsAndEndedWorkGivesItsSlotBack) {
  ConnectionSlots slots(2);
  ConnectionThreads threads;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  for (int i = 0; i < 2; ++i) {
    std::optional<ConnectionSlots::Slot> slot = slots.TryTake();
    ASSERT_TRUE(slot);
    ASSERT_TRUE(threads.Launch([released, slot = std::move(*slot)] { released.wait(); }));
  }
  EXPECT_FALSE(slots.TryTake());
  EXPECT_EQ(slots.InUse(), 2u);
  release.set_value();
  ASSERT_TRUE(Eventually([&] { return slots.InUse() == 0; }));
  slots.SetLimit(0);  // taken as 1
  const std::optional<ConnectionSlots::Slot> one = slots.TryTake();
  EXPECT_TRUE(one);
  EXPECT_FALSE(slots.TryTake());
  threads.JoinAll();
}

}  // namespace
}  // namespace kx::web::detail
