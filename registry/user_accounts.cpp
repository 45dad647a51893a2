#include "registry/user_accounts.h"

#include <algorithm>
#include <utility>

#include "common/cp1251.h"
#include "common/md5.h"

namespace kx {

std::string RightsDescription(int rights) {
  switch (rights) {
    case kRightsUser:
      return "Пользователь";
    case kRightsModerator:
      return "Модератор";
    case kRightsAdministrator:
      return "Администратор";
    default:
      return "";
  }
}

std::string PasswordDigest(std::string_view login, std::string_view password) {
  const Md5Digest inner = Md5Of(Cp1251FromUtf8(password));
  const auto zero = std::find(inner.begin(), inner.end(), 0);
  const std::string login1251 = Cp1251FromUtf8(login);
  Md5 outer;
  outer.Update(login1251);
  outer.Update(std::string_view(reinterpret_cast<const char*>(inner.data()),
                                static_cast<size_t>(zero - inner.begin())));
  outer.Update(login1251);
  return Md5Hex(outer.Final());
}

bool DigestMatches(std::string_view stored, std::string_view computed) {
  return Cp1251EqualsIgnoreCase(stored, computed);
}

const UserAccount* UserAccounts::Find(std::string_view userName) const {
  const std::string name1251 = Cp1251FromUtf8(userName);
  for (const UserAccount& account : accounts_) {
    if (Cp1251EqualsIgnoreCase(Cp1251FromUtf8(account.userName), name1251)) return &account;
  }
  return nullptr;
}

UserAccount* UserAccounts::Find(std::string_view userName) {
  return const_cast<UserAccount*>(std::as_const(*this).Find(userName));
}

bool UserAccounts::Remove(std::string_view userName) {
  const UserAccount* account = Find(userName);
  if (account == nullptr) return false;
  accounts_.erase(accounts_.begin() + (account - accounts_.data()));
  return true;
}

int MyUserParamsList::AddUserParams(std::string_view login, std::string_view tablewidth,
                                    std::string_view tableheight, std::string_view CarsListWidth,
                                    int GoogleZoom, int GoogleType,
                                    const std::vector<std::string>* managedUsers) {
  Entry entry;
  entry.login = login;
  entry.params = {std::string(tablewidth),
                  std::string(tableheight),
                  std::string(CarsListWidth),
                  GoogleZoom,
                  GoogleType,
                  0};
  if (managedUsers != nullptr) entry.managedUsers = *managedUsers;
  entries_.push_back(std::move(entry));
  return static_cast<int>(entries_.size()) - 1;
}

void MyUserParamsList::SetUserIcons(std::string_view login, int icons) {
  for (Entry& entry : entries_) {
    if (entry.login == login) entry.params.Icons = icons;
  }
}

void MyUserParamsList::SetUserDisplay(std::string_view login, std::string_view tablewidth,
                                      std::string_view tableheight, std::string_view CarsListWidth,
                                      int GoogleZoom, int GoogleType) {
  for (Entry& entry : entries_) {
    if (entry.login != login) continue;
    entry.params.tablewidth = tablewidth;
    entry.params.tableheight = tableheight;
    entry.params.CarsListWidth = CarsListWidth;
    entry.params.GoogleZoom = GoogleZoom;
    entry.params.GoogleType = GoogleType;
  }
}

const TUserParams* MyUserParamsList::UserParamsOf(std::string_view login) const {
  for (const Entry& entry : entries_) {
    if (entry.login == login) return &entry.params;
  }
  return nullptr;
}

const std::vector<std::string>* MyUserParamsList::SubUsersOf(std::string_view login) const {
  for (const Entry& entry : entries_) {
    if (entry.login == login) return &entry.managedUsers;
  }
  return nullptr;
}

void MyUserParamsList::AddSubUser(std::string_view login, std::string_view managedLogin) {
  for (Entry& entry : entries_) {
    if (entry.login != login) continue;
    entry.managedUsers.emplace_back(managedLogin);
    return;
  }
}

int MyUserParamsList::IndexOfSubUser(std::string_view login, std::string_view managedLogin) const {
  for (const Entry& entry : entries_) {
    if (entry.login != login) continue;
    const auto& users = entry.managedUsers;
    const auto it = std::find(users.begin(), users.end(), managedLogin);
    if (it != users.end()) return static_cast<int>(it - users.begin());
  }
  return -1;
}

void MyUserParamsList::RemoveSubUser(std::string_view login, std::string_view managedLogin) {
  for (Entry& entry : entries_) {
    if (entry.login != login) continue;
    auto& users = entry.managedUsers;
    const auto it = std::find(users.begin(), users.end(), managedLogin);
    if (it == users.end()) continue;
    users.erase(it);
    return;
  }
}

void MyUserParamsList::RemoveUser(std::string_view login) {
  std::erase_if(entries_, [&](const Entry& entry) { return entry.login == login; });
}

namespace {

// Rights outside the known levels are taken as a plain user.
int RightsFrom(int stored) {
  return stored < kRightsUser || stored > kRightsAdministrator ? kRightsUser : stored;
}

std::vector<std::string> ReadList(const IniFile& users, const std::string& section,
                                  std::string_view countKey, std::string_view itemKey,
                                  std::string_view fallback) {
  std::vector<std::string> items;
  const int count = UsersIniListCount(users, section, countKey, kMaxUsersIniAccounts);
  for (int i = 0; i < count; ++i) {
    items.push_back(users.ReadString(section, std::string(itemKey) + std::to_string(i), fallback));
  }
  return items;
}

void LoadOneUser(const IniFile& users, const std::string& section, UserAccounts& accounts,
                 MyUserParamsList& params) {
  UserAccount account;
  account.userName = users.ReadString(section, "login", "");
  account.password = users.ReadString(section, "pass", "");
  account.access = RightsFrom(users.ReadInteger(section, "r", kRightsUser));
  const int devices = UsersIniListCount(users, section, "devcount", kMaxUsersIniDevices);
  for (int j = 0; j < devices; ++j) {
    account.attributes.push_back(
        std::to_string(users.ReadInteger(section, "dev" + std::to_string(j), 0)));
  }
  const std::vector<std::string> managed = account.access == kRightsModerator
                                               ? ReadList(users, section, "UsersCount", "User", "0")
                                               : std::vector<std::string>();
  const std::string login = account.userName;
  accounts.Add(std::move(account));
  if (login.empty()) return;
  params.AddUserParams(login, users.ReadString(section, "tablewidth", "100%"),
                       users.ReadString(section, "tableheight", "90%"),
                       users.ReadString(section, "CarsListWidth", "20%"),
                       users.ReadInteger(section, "GoogleZoom", 10),
                       users.ReadInteger(section, "GoogleType", 0), &managed);
  params.SetUserIcons(login, users.ReadInteger(section, "Icons", 0));
}

}  // namespace

int UsersIniListCount(const IniFile& users, std::string_view section, std::string_view countKey,
                      int limit) {
  return std::clamp(users.ReadInteger(section, countKey, 0), 0, limit);
}

void LoadUserAccounts(const IniFile& users, UserAccounts& accounts, MyUserParamsList& params) {
  const int count = UsersIniListCount(users, "main", "UsersCount", kMaxUsersIniAccounts);
  for (int i = 0; i < count; ++i) {
    const std::string section = users.ReadString("main", "User" + std::to_string(i), "");
    if (section.empty()) continue;
    LoadOneUser(users, section, accounts, params);
  }
}

}  // namespace kx
