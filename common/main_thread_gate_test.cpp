#include "common/main_thread_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kx {
namespace {

TEST(MainThreadGate, SectionsExcludeEachOther) {
  int shared = 0;  // deliberately unsynchronised: only the gate protects it (TSan checks this)
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        MainThreadSection section;
        if (inside.fetch_add(1) != 0) overlapped = true;
        ++shared;
        inside.fetch_sub(1);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(shared, 8000);
}

TEST(MainThreadGate, NestedEntriesOnlyCount) {
  EXPECT_FALSE(InMainThreadGate());
  std::atomic<bool> otherGotIn{false};
  std::thread other;
  {
    MainThreadSection outer;
    { MainThreadSection inner; }
    EXPECT_TRUE(InMainThreadGate());  // the inner leave did not release the gate
    other = std::thread([&] {
      MainThreadSection section;
      otherGotIn = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherGotIn);  // still excluded while the outer section runs
  }
  other.join();
  EXPECT_TRUE(otherGotIn);
  EXPECT_FALSE(InMainThreadGate());
}

TEST(MainThreadGate, LeaveWithoutEnterThrows) {
  EXPECT_THROW(LeaveMainThread(), std::logic_error);
  MainThreadSection section;
  std::thread other([] { EXPECT_THROW(LeaveMainThread(), std::logic_error); });
  other.join();
}

TEST(MainThreadGate, AnExceptionLeavesTheGate) {
  EXPECT_THROW(
      {
        MainThreadSection section;
        throw std::runtime_error("Users.ini cannot be written");
      },
      std::runtime_error);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    MainThreadSection section;
    entered = true;
  });
  other.join();
  EXPECT_TRUE(entered);
}

}  // namespace
}  // namespace kx
