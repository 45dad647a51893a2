#include "registry/sign_in_guard.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using std::chrono::seconds;
const SignInGuard::Clock::time_point kStart{std::chrono::hours(1)};

void Fail(SignInGuard& guard, std::string_view address, int times,
          SignInGuard::Clock::time_point at) {
  for (int i = 0; i < times; ++i) guard.RecordFailure(address, at);
}

TEST(SignInGuard, BlocksAtTheLimitForTheBlockTimeAndOnlyThatAddress) {
  SignInGuard guard(3, seconds(60));
  Fail(guard, "10.0.0.1", 2, kStart);
  EXPECT_FALSE(guard.Blocked("10.0.0.1", kStart));
  guard.RecordFailure("10.0.0.1", kStart + seconds(5));
  EXPECT_TRUE(guard.Blocked("10.0.0.1", kStart + seconds(5)));
  EXPECT_FALSE(guard.Blocked("10.0.0.2", kStart + seconds(5)));
  // Failures while blocked do not extend the block.
  Fail(guard, "10.0.0.1", 5, kStart + seconds(60));
  EXPECT_TRUE(guard.Blocked("10.0.0.1", kStart + seconds(64)));
  EXPECT_FALSE(guard.Blocked("10.0.0.1", kStart + seconds(65)));
  // After the block the count starts afresh.
  Fail(guard, "10.0.0.1", 2, kStart + seconds(66));
  EXPECT_FALSE(guard.Blocked("10.0.0.1", kStart + seconds(66)));
}

TEST(SignInGuard, FailuresFurtherApartThanTheWindowDoNotAddUp) {
  SignInGuard guard(3, seconds(60));
  Fail(guard, "a", 2, kStart);
  guard.RecordFailure("a", kStart + kFailedSignInWindow);
  EXPECT_FALSE(guard.Blocked("a", kStart + kFailedSignInWindow));
  Fail(guard, "a", 2, kStart + kFailedSignInWindow + seconds(59));
  EXPECT_TRUE(guard.Blocked("a", kStart + kFailedSignInWindow + seconds(59)));
}

TEST(SignInGuard, ZeroOrLessTurnsTheGuardOff) {
  for (int limit : {0, -1}) {
    SignInGuard guard(limit, seconds(60));
    Fail(guard, "a", 100, kStart);
    EXPECT_FALSE(guard.Blocked("a", kStart));
    EXPECT_EQ(guard.AddressCount(), 0u);
  }
}

TEST(SignInGuard, StateIsBoundedAndForgetsTheLeastRecentAddress) {
  SignInGuard guard(3, seconds(60));
  Fail(guard, "first", 3, kStart);
  guard.RecordFailure("second", kStart);
  for (size_t i = 0; i < kMaxGuardedAddresses; ++i) {
    guard.RecordFailure("flood" + std::to_string(i), kStart + seconds(1));
  }
  EXPECT_EQ(guard.AddressCount(), kMaxGuardedAddresses);
  EXPECT_FALSE(guard.Blocked("first", kStart + seconds(1)));  // dropped as the oldest
  guard.RecordFailure("flood0", kStart + seconds(2));         // refreshed: no longer the oldest
  guard.RecordFailure("new", kStart + seconds(2));
  guard.RecordFailure("flood0", kStart + seconds(2));
  EXPECT_TRUE(guard.Blocked("flood0", kStart + seconds(2)));
}

TEST(SignInGuard, ForgetsAddressesWhoseWindowAndBlockHavePassed) {
  SignInGuard guard(2, seconds(90));
  Fail(guard, "blocked", 2, kStart);
  guard.RecordFailure("once", kStart);
  const auto later = kStart + kFailedSignInWindow;
  EXPECT_TRUE(guard.Blocked("blocked", later));
  EXPECT_EQ(guard.AddressCount(), 2u);  // "once" waits behind the blocked one
  EXPECT_FALSE(guard.Blocked("blocked", kStart + seconds(90)));
  EXPECT_EQ(guard.AddressCount(), 0u);
}

}  // namespace
}  // namespace kx
