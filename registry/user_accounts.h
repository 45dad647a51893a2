// User accounts: the account collection that sign-in checks, the per-user display settings and
// moderators' lists of managed users, the password digest and the rights levels.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"

namespace kx {

inline constexpr int kRightsUser = 0;
inline constexpr int kRightsModerator = 1;
inline constexpr int kRightsAdministrator = 2;

// Most entries read from one numbered list of Users.ini: the accounts of [main] ("UsersCount"),
// a moderator's managed users ("UsersCount") and an account's devices ("devcount"). Far beyond
// any real file, they keep a corrupt count from making a load build gigabytes of entries or scan
// billions of missing keys; entries past them are not read.
inline constexpr int kMaxUsersIniAccounts = 100000;
inline constexpr int kMaxUsersIniDevices = 100000;

// A numbered list's count key as Users.ini is read: a negative count is an empty list, and
// reading stops at the list's limit.
[[nodiscard]] int UsersIniListCount(const IniFile& users, std::string_view section,
                                    std::string_view countKey, int limit);

// The account that signs visitors in without a password when it exists.
inline constexpr char kGuestLogin[] = "guest";

// The demonstration account: it is created as a plain user, and its password stays "kavo"
// whatever the administration and password requests ask for.
inline constexpr char kDemoLogin[] = "demo";
inline constexpr char kDemoPassword[] = "kavo";

// "Пользователь", "Модератор", "Администратор" for 0, 1, 2; empty for any other value.
[[nodiscard]] std::string RightsDescription(int rights);

// MD5 of login + MD5(password) + login, as 32 upper-case hexadecimal digits. Both texts are taken
// as windows-1251 bytes; the inner digest is cut at its first zero byte, because the digest was
// first defined over C strings and every stored digest depends on that cut. The password is used
// exactly as the request carried it (still URL-encoded).
[[nodiscard]] std::string PasswordDigest(std::string_view login, std::string_view password);

// One account of the collection: name, stored digest, rights and the device numbers (decimal
// texts) the user may see.
struct UserAccount {
  std::string userName;
  std::string password;
  int access = kRightsUser;
  std::vector<std::string> attributes;
};

// The account collection. Names are looked up without regard to letter case and the first match
// wins; duplicates are kept.
class UserAccounts {
 public:
  void Add(UserAccount account) { accounts_.push_back(std::move(account)); }
  void Clear() { accounts_.clear(); }
  [[nodiscard]] const UserAccount* Find(std::string_view userName) const;
  [[nodiscard]] UserAccount* Find(std::string_view userName);
  // Removes the first account with this name (letter case ignored); false when there is none.
  bool Remove(std::string_view userName);
  [[nodiscard]] const std::vector<UserAccount>& All() const { return accounts_; }

 private:
  std::vector<UserAccount> accounts_;
};

// True when the stored digest equals the computed one, letter case ignored.
[[nodiscard]] bool DigestMatches(std::string_view stored, std::string_view computed);

// Display settings of one user.
struct TUserParams {
  std::string tablewidth = "100%";
  std::string tableheight = "90%";
  std::string CarsListWidth = "20%";
  int GoogleZoom = 10;
  int GoogleType = 0;
  int Icons = 0;
};

// Display settings and managed-user lists, one entry per user with a non-empty login, in file
// order. Logins are compared exactly (letter case significant).
class MyUserParamsList {
 public:
  // Appends an entry (Icons 0) and returns its index.
  int AddUserParams(std::string_view login, std::string_view tablewidth,
                    std::string_view tableheight, std::string_view CarsListWidth, int GoogleZoom,
                    int GoogleType, const std::vector<std::string>* managedUsers);
  void SetUserIcons(std::string_view login, int icons);
  void SetUserDisplay(std::string_view login, std::string_view tablewidth,
                      std::string_view tableheight, std::string_view CarsListWidth, int GoogleZoom,
                      int GoogleType);
  [[nodiscard]] const TUserParams* UserParamsOf(std::string_view login) const;
  [[nodiscard]] const std::vector<std::string>* SubUsersOf(std::string_view login) const;
  void AddSubUser(std::string_view login, std::string_view managedLogin);
  [[nodiscard]] int IndexOfSubUser(std::string_view login, std::string_view managedLogin) const;
  void RemoveSubUser(std::string_view login, std::string_view managedLogin);
  // Removes every entry of this login (used when its account is deleted).
  void RemoveUser(std::string_view login);
  void Clear() { entries_.clear(); }
  [[nodiscard]] size_t Count() const { return entries_.size(); }

 private:
  struct Entry {
    std::string login;
    TUserParams params;
    std::vector<std::string> managedUsers;
  };
  std::vector<Entry> entries_;
};

// Reads Users.ini into empty structures, each list cut at its kMaxUsersIni... limit.
void LoadUserAccounts(const IniFile& users, UserAccounts& accounts, MyUserParamsList& params);

}  // namespace kx
