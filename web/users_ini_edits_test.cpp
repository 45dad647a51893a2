#include "web/users_ini_edits.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

IniFile Ini(std::string_view text) {
  return IniFile::FromBytes(std::string(text));
}

TEST(UsersIniEdits, AppendUserToMainCountsFirstAndCreatesTheSectionWhenMissing) {
  IniFile users = Ini("[main]\nUsersCount=1\nUser0=a\n[a]\nlogin=a\n");
  AppendUserToMain(users, "b");
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=2\nUser0=a\nUser1=b\n[a]\nlogin=a\n");
  IniFile empty;
  AppendUserToMain(empty, "x");
  EXPECT_EQ(empty.Bytes(), "[main]\r\nUsersCount=1\r\nUser0=x\r\n");
}

TEST(UsersIniEdits, ListsAtTheReadLimitOrWithCorruptCountsTakeNoMoreUsers) {
  const std::string last = std::to_string(kMaxUsersIniAccounts - 1);
  const std::string limit = std::to_string(kMaxUsersIniAccounts);
  EXPECT_TRUE(UserListHasRoom(Ini("[main]\nUsersCount=" + last + "\n"), "main"));
  EXPECT_FALSE(UserListHasRoom(Ini("[main]\nUsersCount=" + limit + "\n"), "main"));
  EXPECT_FALSE(UserListHasRoom(Ini("[m]\nUsersCount=2147483647\n"), "m"));
  EXPECT_TRUE(UserListHasRoom(Ini("[m]\nr=1\n"), "m"));
  // A negative count reads as an empty list, so the new login becomes its first entry.
  IniFile negative = Ini("[main]\nUsersCount=-3\n[m]\nUsersCount=-1\n");
  ASSERT_TRUE(UserListHasRoom(negative, "main"));
  AppendUserToMain(negative, "a");
  AppendManagedUser(negative, "m", "a");
  EXPECT_EQ(negative.Bytes(), "[main]\nUsersCount=1\nUser0=a\n[m]\nUsersCount=1\nUser0=a\n");
}

TEST(UsersIniEdits, RemovingFromMainShiftsTheLaterEntriesDown) {
  IniFile users = Ini("[main]\nUsersCount=5\nUser0=a\nUser1=b\nUser2=c\nUser3=d\nUser4=e\n");
  RemoveUserFromMain(users, "c");
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=4\nUser0=a\nUser1=b\nUser2=d\nUser3=e\n");
  RemoveUserFromMain(users, "e");
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=3\nUser0=a\nUser1=b\nUser2=d\n");
}

TEST(UsersIniEdits, RemovingFromMainComparesExactlyAndTakesTheFirstOfDuplicates) {
  IniFile users = Ini("[main]\nUsersCount=3\nUser0=A\nUser1=a\nUser2=a\n");
  RemoveUserFromMain(users, "a");
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=2\nUser0=A\nUser1=a\n");
  RemoveUserFromMain(users, "zz");
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=2\nUser0=A\nUser1=a\n");
}

TEST(UsersIniEdits, ManagedListsGrowAndShrinkAndLoseTheirCountWhenEmpty) {
  IniFile users = Ini("[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=M\nr=1\n");
  AppendManagedUser(users, "m", "u1");
  AppendManagedUser(users, "m", "u2");
  EXPECT_EQ(users.Bytes(),
            "[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=M\nr=1\nUser0=u1\nUsersCount=2\nUser1=u2\n");
  EXPECT_EQ(RemoveFromManagedLists(users, "u1"), std::vector<std::string>{"M"});
  EXPECT_EQ(users.Bytes(),
            "[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=M\nr=1\nUser0=u2\nUsersCount=1\n");
  EXPECT_EQ(RemoveFromManagedLists(users, "u2"), std::vector<std::string>{"M"});
  EXPECT_EQ(users.Bytes(), "[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=M\nr=1\n");
}

TEST(UsersIniEdits, OnlyModeratorsListedInMainLoseTheLogin) {
  const std::string text =
      "[main]\nUsersCount=3\nUser0=admin\nUser1=m1\nUser2=m2\n"
      "[admin]\nr=2\nUsersCount=1\nUser0=u\n"
      "[m1]\nlogin=m1\nr=1\nUsersCount=3\nUser0=x\nUser1=u\nUser2=y\n"
      "[m2]\nlogin=m2\nr=1\nUsersCount=1\nUser0=y\n"
      "[m3]\nlogin=m3\nr=1\nUsersCount=1\nUser0=u\n";
  IniFile users = Ini(text);
  EXPECT_EQ(RemoveFromManagedLists(users, "u"), std::vector<std::string>{"m1"});
  std::string expected = text;
  expected.replace(expected.find("UsersCount=3\nUser0=x\nUser1=u\nUser2=y\n"), 37,
                   "UsersCount=2\nUser0=x\nUser1=y\n");
  EXPECT_EQ(users.Bytes(), expected);
}

TEST(UsersIniEdits, MissingManagedEntriesReadAsZero) {
  IniFile users = Ini("[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=m\nr=1\nUsersCount=3\nUser0=u\n");
  EXPECT_EQ(RemoveFromManagedLists(users, "u"), std::vector<std::string>{"m"});
  EXPECT_EQ(users.Bytes(),
            "[main]\nUsersCount=1\nUser0=m\n[m]\nlogin=m\nr=1\nUsersCount=2\n"
            "User0=0\nUser1=0\n");
}

TEST(UsersIniEdits, DevicesAreWrittenWithTheirCountAndErasedByIt) {
  IniFile users = Ini("[u]\nlogin=u\ndevcount=2\ndev0=1\ndev1=2\ndev2=3\nr=0\n");
  EraseUserDevices(users, "u");
  EXPECT_EQ(users.Bytes(), "[u]\nlogin=u\ndev2=3\nr=0\n");
  WriteUserDevices(users, "u", {});
  EXPECT_EQ(users.Bytes(), "[u]\nlogin=u\ndev2=3\nr=0\n");
  WriteUserDevices(users, "u", {40, 12});
  EXPECT_EQ(users.Bytes(), "[u]\nlogin=u\ndev2=3\nr=0\ndev0=40\ndev1=12\ndevcount=2\n");
}

TEST(UsersIniEdits, DisplaySettingsInTheirOrder) {
  IniFile users = Ini("[u]\nlogin=u\nGoogleZoom=3\n");
  WriteDisplaySettings(users, "u", TUserParams{"800px", "600px", "25%", 12, 2, 5});
  EXPECT_EQ(users.Bytes(),
            "[u]\nlogin=u\nGoogleZoom=12\ntablewidth=800px\ntableheight=600px\n"
            "CarsListWidth=25%\nGoogleType=2\n");
}

}  // namespace
}  // namespace kx
