#include "web/session_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "web/http_limits.h"

namespace kx::web {
namespace {

using namespace std::chrono_literals;
using Clock = SessionStore::Clock;

struct EndedIds {
  std::mutex mutex;
  std::vector<std::string> ids;
  SessionStore::EndCallback Callback() {
    return [this](const std::string& id) {
      std::lock_guard lock(mutex);
      ids.push_back(id);
    };
  }
};

TEST(SessionStore, IdsAreFifteenAlphanumericsUniqueAndUseTheWholeAlphabet) {
  SessionStore store(kSessionTimeout, nullptr);
  std::set<std::string> ids;
  std::set<char> seen;
  for (int i = 0; i < 2000; ++i) {
    const std::string id = store.Create("127.0.0.1");
    ASSERT_EQ(id.size(), kSessionIdLength);
    ASSERT_TRUE(std::all_of(id.begin(), id.end(), [](char c) { return std::isalnum(c) != 0; }))
        << id;
    ids.insert(id);
    seen.insert(id.begin(), id.end());
  }
  EXPECT_EQ(ids.size(), 2000u);
  EXPECT_EQ(store.Count(), 2000u);
  EXPECT_EQ(seen.size(), 62u);  // 30000 characters drawn: every one of the 62 shows up
}

TEST(SessionStore, FindNeedsTheBoundAddress) {
  SessionStore store(kSessionTimeout, nullptr);
  const std::string id = store.Create("10.0.0.1");
  EXPECT_EQ(store.Find(id, "10.0.0.1"), id);
  EXPECT_EQ(store.Find(id, "10.0.0.2"), "");
  EXPECT_EQ(store.Find("unknownid012345", "10.0.0.1"), "");
  EXPECT_EQ(store.Find("", "10.0.0.1"), "");
  std::string lower = id;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  if (lower != id) {
    EXPECT_EQ(store.Find(lower, "10.0.0.1"), "");  // ids are case-sensitive
  }
}

TEST(SessionStore, SweepEndsIdleSessionsAndFindCountsAsUse) {
  EndedIds ended;
  SessionStore store(1000ms, ended.Callback());
  const Clock::time_point before = Clock::now();
  const std::string used = store.Create("a");
  const std::string idle = store.Create("a");
  std::this_thread::sleep_for(60ms);
  ASSERT_EQ(store.Find(used, "a"), used);

  store.Sweep(before + 900ms);
  EXPECT_EQ(store.Count(), 2u);
  EXPECT_TRUE(ended.ids.empty());

  store.Sweep(before + 1020ms);  // idle for over a second; `used` only for under one
  EXPECT_EQ(ended.ids, std::vector<std::string>{idle});
  EXPECT_EQ(store.Find(idle, "a"), "");
  EXPECT_EQ(store.Find(used, "a"), used);

  store.SetTimeout(10ms);
  store.Sweep(Clock::now() + 20ms);
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(ended.ids.size(), 2u);
}

TEST(SessionStore, AFullStoreEndsTheGuestIdleLongestAndSignedInSessionsLast) {
  EndedIds ended;
  SessionStore store(kSessionTimeout, ended.Callback(), 3);
  const std::string user = store.Create("a", SessionKind::kSignedIn);
  const std::string g1 = store.Create("a", SessionKind::kGuest);
  const std::string g2 = store.Create("a", SessionKind::kGuest);
  ASSERT_EQ(store.Find(g1, "a"), g1);  // g2 is now the guest idle the longest
  const std::string g3 = store.Create("a", SessionKind::kGuest);
  const std::string g4 = store.Create("a", SessionKind::kGuest);
  EXPECT_EQ(ended.ids, (std::vector<std::string>{g2, g1}));
  (void)store.Create("a", SessionKind::kSignedIn);
  (void)store.Create("a", SessionKind::kSignedIn);
  EXPECT_EQ(ended.ids, (std::vector<std::string>{g2, g1, g3, g4}));
  EXPECT_EQ(store.Find(user, "a"), user);
  const std::string last = store.Create("b", SessionKind::kSignedIn);
  // No guest left: the signed-in session idle the longest goes, which is not `user` any more.
  EXPECT_EQ(ended.ids.size(), 5u);
  EXPECT_NE(ended.ids.back(), user);
  EXPECT_EQ(store.Find(user, "a"), user);
  EXPECT_EQ(store.Find(last, "b"), last);
  EXPECT_EQ(store.Count(), 3u);
  // The sweep follows the same order of use.
  store.SetTimeout(0ms);
  store.Sweep(Clock::now() + 1ms);
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(ended.ids.size(), 8u);
}

TEST(SessionStore, EndCallsBackOnceAndIgnoresUnknownIds) {
  EndedIds ended;
  SessionStore store(kSessionTimeout, ended.Callback());
  const std::string id = store.Create("a");
  store.End("unknownid012345");
  store.End(id);
  store.End(id);
  EXPECT_EQ(ended.ids, std::vector<std::string>{id});
  (void)store.Create("a");
  (void)store.Create("b");
  store.EndAll();
  EXPECT_EQ(ended.ids.size(), 3u);
  EXPECT_EQ(store.Count(), 0u);
}

TEST(SessionStore, CallbacksRunOutsideTheLockAndMayUseTheStore) {
  SessionStore* self = nullptr;
  std::vector<size_t> countsSeen;
  SessionStore store(10ms, [&](const std::string& id) {
    countsSeen.push_back(self->Count());
    (void)self->Find(id, "a");
    if (countsSeen.size() == 1) (void)self->Create("a");  // would deadlock under the lock
  });
  self = &store;
  store.End(store.Create("a"));
  EXPECT_EQ(countsSeen, std::vector<size_t>{0});
  (void)store.Create("a");
  store.Sweep(Clock::now() + 1s);
  store.EndAll();
  EXPECT_EQ(countsSeen.size(), 3u);
}

TEST(SessionStore, AFailingCallbackDoesNotStopTheOthers) {
  int calls = 0;
  SessionStore store(kSessionTimeout, [&](const std::string&) {
    ++calls;
    throw std::runtime_error("gate broken");
  });
  for (int i = 0; i < 3; ++i) (void)store.Create("a");
  EXPECT_THROW(store.EndAll(), std::runtime_error);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(store.Count(), 0u);
}

TEST(SessionStore, ConcurrentUse) {
  EndedIds ended;
  SessionStore store(1ms, ended.Callback());
  std::atomic<bool> done{false};
  std::thread sweeper([&] {
    while (!done) store.Sweep(Clock::now());
  });
  std::vector<std::thread> users;
  for (int t = 0; t < 4; ++t) {
    users.emplace_back([&store, t] {
      const std::string address = "10.0.0." + std::to_string(t);
      for (int i = 0; i < 300; ++i) {
        const std::string id = store.Create(address);
        (void)store.Find(id, address);
        if (i % 2 == 0) store.End(id);
      }
    });
  }
  for (auto& user : users) user.join();
  done = true;
  sweeper.join();
  store.EndAll();
  std::set<std::string> unique(ended.ids.begin(), ended.ids.end());
  EXPECT_EQ(ended.ids.size(), 1200u);  // every session ended exactly once
  EXPECT_EQ(unique.size(), 1200u);
}

}  // namespace
}  // namespace kx::web
