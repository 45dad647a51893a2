#include "registry/session_list.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(MySessionList, AddFindAndRemove) {
  MySessionList sessions;
  std::vector<std::string> vehicles{"1001", "1002"};
  EXPECT_EQ(sessions.AddSession("id1", "Bob", 2, vehicles), 0);
  vehicles.push_back("1003");  // the entry keeps its own copy
  EXPECT_EQ(sessions.AddSession("id2", "bob", 0, {}), 1);
  EXPECT_EQ(sessions.IndexOfSession("id2"), 1);
  EXPECT_EQ(sessions.IndexOfSession("ID2"), -1);
  EXPECT_EQ(sessions.SessionLogin("id1"), "Bob");
  EXPECT_EQ(sessions.SessionRights("id1"), 2);
  EXPECT_EQ(*sessions.SessionVehicles("id1"), (std::vector<std::string>{"1001", "1002"}));
  EXPECT_EQ(sessions.SessionLogin("none"), "0");
  EXPECT_EQ(sessions.SessionRights("none"), 0);
  EXPECT_EQ(sessions.SessionVehicles("none"), nullptr);
  sessions.RemoveSession("none");
  sessions.RemoveSession("id1");
  EXPECT_EQ(sessions.Count(), 1u);
  EXPECT_EQ(sessions.IndexOfSession("id2"), 0);
}

TEST(MySessionList, LoginOperationsTouchEveryEntryOfThatExactLogin) {
  MySessionList sessions;
  sessions.AddSession("a", "ann", 0, {"1"});
  sessions.AddSession("b", "Ann", 0, {"1"});
  sessions.AddSession("c", "ann", 0, {});
  sessions.UpdateSessionsOfLogin("ann", 1, {"5", "6"});
  EXPECT_EQ(sessions.SessionRights("a"), 1);
  EXPECT_EQ(*sessions.SessionVehicles("c"), (std::vector<std::string>{"5", "6"}));
  EXPECT_EQ(sessions.SessionRights("b"), 0);
  sessions.RemoveSessionsOfLogin("ann");
  EXPECT_EQ(sessions.Count(), 1u);
  EXPECT_EQ(sessions.SessionLogin("b"), "Ann");
}

}  // namespace
}  // namespace kx
