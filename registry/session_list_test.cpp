#include "registry/session_list.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(MySessionList, AddFindAndRemove) {
  MySessionList sessions;
  const auto vehicles =
      std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"1001", "1002"});
  sessions.AddSession("id1", "Bob", 2, vehicles);
  sessions.AddSession("id2", "bob", 0, std::vector<std::string>{});
  EXPECT_TRUE(sessions.HasSession("id2"));
  EXPECT_FALSE(sessions.HasSession("ID2"));
  EXPECT_EQ(sessions.SessionLogin("id1"), "Bob");
  EXPECT_EQ(sessions.SessionRights("id1"), 2);
  EXPECT_EQ(*sessions.SessionVehicles("id1"), (std::vector<std::string>{"1001", "1002"}));
  EXPECT_EQ(sessions.SessionLogin("none"), "0");
  EXPECT_EQ(sessions.SessionRights("none"), 0);
  EXPECT_EQ(sessions.SessionVehicles("none"), nullptr);
  sessions.RemoveSession("none");
  sessions.RemoveSession("id1");
  EXPECT_EQ(sessions.Count(), 1u);
  EXPECT_TRUE(sessions.HasSession("id2"));
  EXPECT_FALSE(sessions.HasSession("id1"));
}

TEST(MySessionList, LoginOperationsTouchEveryEntryOfThatExactLogin) {
  MySessionList sessions;
  const auto one = std::make_shared<const std::vector<std::string>>(1, "1");
  sessions.AddSession("a", "ann", 0, one);
  sessions.AddSession("b", "Ann", 0, one);
  sessions.AddSession("c", "ann", 0, nullptr);  // an entry without a list gets one
  sessions.UpdateSessionsOfLogin("ann", 1, {"5", "6"});
  EXPECT_EQ(sessions.SessionRights("a"), 1);
  EXPECT_EQ(*sessions.SessionVehicles("c"), (std::vector<std::string>{"5", "6"}));
  EXPECT_EQ(sessions.SessionRights("b"), 0);
  EXPECT_EQ(*sessions.SessionVehicles("b"), std::vector<std::string>{"1"});
  sessions.RemoveSessionsOfLogin("ann");
  EXPECT_EQ(sessions.Count(), 1u);
  EXPECT_EQ(sessions.SessionLogin("b"), "Ann");
  // The login index follows single removals and re-listed ids.
  sessions.AddSession("d", "ann", 0, one);
  sessions.AddSession("b", "ann", 2, one);  // the id now belongs to another login
  sessions.RemoveSession("d");
  sessions.UpdateSessionsOfLogin("Ann", 1, {});
  EXPECT_EQ(sessions.SessionRights("b"), 2);
  sessions.RemoveSessionsOfLogin("ann");
  EXPECT_EQ(sessions.Count(), 0u);
  sessions.UpdateSessionsOfLogin("ann", 1, {});
  EXPECT_EQ(sessions.Count(), 0u);
}

}  // namespace
}  // namespace kx
