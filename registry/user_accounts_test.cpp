#include "registry/user_accounts.h"

#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/md5.h"

namespace kx {
namespace {

struct Loaded {
  UserAccounts accounts;
  MyUserParamsList params;
};

Loaded Load(std::string_view usersIni) {
  Loaded loaded;
  LoadUserAccounts(IniFile::FromBytes(Cp1251FromUtf8(usersIni)), loaded.accounts, loaded.params);
  return loaded;
}

TEST(PasswordDigest, IsMd5OfLoginInnerDigestLogin) {
  const Md5Digest inner = Md5Of("secret");
  const std::string expected =
      Md5Hex(Md5Of("bob" + std::string(inner.begin(), inner.end()) + "bob"));
  EXPECT_EQ(PasswordDigest("bob", "secret"), expected);
  EXPECT_NE(PasswordDigest("bob", "secret"), PasswordDigest("alice", "secret"));
  EXPECT_EQ(PasswordDigest("x", "%D0%BF+a"), PasswordDigest("x", "%D0%BF+a"));
}

TEST(PasswordDigest, KnownAnswersWithWindows1251TextAndTheZeroByteCut) {
  // Computed independently. MD5 of "пароль" in windows-1251 has a zero byte at offset 9, so
  // only its first nine bytes enter the outer digest.
  EXPECT_EQ(PasswordDigest("u", "пароль"), "5A005C5972CB186460AA6089F58EF530");
  EXPECT_EQ(PasswordDigest("u", "секрет"), "3B703287C524D8A5E01C6EF9481122BD");
  EXPECT_EQ(PasswordDigest("demo", "kavo"), "F20ACBB79D40CD6C4B27F76E34C4EC6B");
  EXPECT_EQ(PasswordDigest("guest", ""), "303A5AB8F46314FA8922B9514F8382E8");
}

TEST(PasswordDigest, EmptyPasswordDigestIsStable) {
  const std::string digest = PasswordDigest("guest", "");
  EXPECT_EQ(digest.size(), 32u);
  EXPECT_EQ(digest.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_TRUE(DigestMatches(digest, PasswordDigest("guest", "")));
}

TEST(RightsDescription, KnownLevelsAndOthers) {
  EXPECT_EQ(RightsDescription(0), "Пользователь");
  EXPECT_EQ(RightsDescription(1), "Модератор");
  EXPECT_EQ(RightsDescription(2), "Администратор");
  EXPECT_EQ(RightsDescription(3), "");
  EXPECT_EQ(RightsDescription(-1), "");
}

TEST(LoadUserAccounts, ReadsAccountsAndDisplaySettingsInFileOrder) {
  const Loaded loaded = Load(
      "[main]\nUsersCount=4\nUser0=admin\nUser1=\nUser2=mod\nUser3=ghost\n"
      "[admin]\nlogin=admin\npass=abc\nr=2\ndevcount=1\ndev0=1001\nUsersCount=1\nUser0=x\n"
      "tablewidth=800\nGoogleZoom=12\nIcons=$1000\n"
      "[mod]\nlogin=Mod\npass=def\nr=1\nUsersCount=2\nUser0=u1\n");
  const auto& all = loaded.accounts.All();
  ASSERT_EQ(all.size(), 3u);  // the empty User1 is skipped; ghost has no section
  EXPECT_EQ(all[0].userName, "admin");
  EXPECT_EQ(all[0].access, 2);
  EXPECT_EQ(all[0].attributes, std::vector<std::string>{"1001"});
  EXPECT_EQ(all[2].userName, "");  // can never sign in and gets no display entry
  EXPECT_EQ(loaded.params.Count(), 2u);

  const TUserParams* admin = loaded.params.UserParamsOf("admin");
  ASSERT_NE(admin, nullptr);
  EXPECT_EQ(admin->tablewidth, "800");
  EXPECT_EQ(admin->tableheight, "90%");
  EXPECT_EQ(admin->CarsListWidth, "20%");
  EXPECT_EQ(admin->GoogleZoom, 12);
  EXPECT_EQ(admin->GoogleType, 0);
  EXPECT_EQ(admin->Icons, 4096);
  // Managed users count only for moderators; a missing key reads "0".
  EXPECT_TRUE(loaded.params.SubUsersOf("admin")->empty());
  EXPECT_EQ(*loaded.params.SubUsersOf("Mod"), (std::vector<std::string>{"u1", "0"}));
  EXPECT_EQ(loaded.params.UserParamsOf("mod"), nullptr);  // exact letter case
}

TEST(LoadUserAccounts, RightsRangeAndMissingDeviceKeys) {
  const Loaded loaded = Load(
      "[MAIN]\nuserscount=2\nuser0=a\nuser1=b\n"
      "[a]\nlogin=a\nr=5\ndevcount=2\ndev0=7\n"
      "[b]\nlogin=b\nr=x\ndevcount=nope\n");
  EXPECT_EQ(loaded.accounts.Find("a")->access, 0);
  EXPECT_EQ(loaded.accounts.Find("a")->attributes, (std::vector<std::string>{"7", "0"}));
  EXPECT_EQ(loaded.accounts.Find("b")->access, 0);
  EXPECT_TRUE(loaded.accounts.Find("b")->attributes.empty());
}

TEST(LoadUserAccounts, HugeCountsStopAtTheirLimits) {
  const Loaded loaded = Load(
      "[main]\nUsersCount=99999999\nUser0=m\n"
      "[m]\nlogin=m\nr=1\ndevcount=99999999\ndev0=5\nUsersCount=2147483647\nUser0=u\n");
  ASSERT_EQ(loaded.accounts.All().size(), 1u);
  const auto& devices = loaded.accounts.Find("m")->attributes;
  ASSERT_EQ(devices.size(), static_cast<size_t>(kMaxUsersIniDevices));
  EXPECT_EQ(devices.front(), "5");
  EXPECT_EQ(devices.back(), "0");
  EXPECT_EQ(loaded.params.SubUsersOf("m")->size(), static_cast<size_t>(kMaxUsersIniAccounts));
}

TEST(LoadUserAccounts, MissingFileGivesNoAccounts) {
  const Loaded loaded = Load("");
  EXPECT_TRUE(loaded.accounts.All().empty());
  EXPECT_EQ(loaded.params.Count(), 0u);
}

TEST(UserAccounts, LookupIgnoresCaseAndTheFirstMatchWins) {
  UserAccounts accounts;
  accounts.Add({"Guest", "d1", 0, {}});
  accounts.Add({"guest", "d2", 2, {}});
  accounts.Add({"Иван", "d3", 1, {}});
  EXPECT_EQ(accounts.Find("GUEST")->password, "d1");
  EXPECT_EQ(accounts.Find("иВАН")->password, "d3");
  EXPECT_EQ(accounts.Find("nobody"), nullptr);
  EXPECT_TRUE(accounts.Remove("guest"));
  EXPECT_EQ(accounts.Find("guest")->password, "d2");
  EXPECT_TRUE(DigestMatches("abcdef0123", "ABCDEF0123"));
  EXPECT_FALSE(DigestMatches("abc", "abd"));
}

TEST(MyUserParamsList, OperationsOnDuplicateLogins) {
  MyUserParamsList list;
  const std::vector<std::string> managed{"u1", "u2", "u1"};
  EXPECT_EQ(list.AddUserParams("m", "1", "2", "3", 4, 5, &managed), 0);
  EXPECT_EQ(list.AddUserParams("m", "a", "b", "c", 1, 1, nullptr), 1);
  list.SetUserIcons("m", 6);
  list.SetUserDisplay("m", "w", "h", "c", 9, 2);
  EXPECT_EQ(list.UserParamsOf("m")->Icons, 6);
  EXPECT_EQ(list.UserParamsOf("m")->tablewidth, "w");
  EXPECT_EQ(list.UserParamsOf("M"), nullptr);

  EXPECT_EQ(list.IndexOfSubUser("m", "u2"), 1);
  EXPECT_EQ(list.IndexOfSubUser("m", "zz"), -1);
  list.AddSubUser("m", "u3");
  EXPECT_EQ(list.IndexOfSubUser("m", "u3"), 3);
  list.RemoveSubUser("m", "u1");  // only the first occurrence goes
  EXPECT_EQ(*list.SubUsersOf("m"), (std::vector<std::string>{"u2", "u1", "u3"}));
  EXPECT_TRUE(list.SubUsersOf("m") != nullptr);
  list.RemoveUser("m");
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace kx
