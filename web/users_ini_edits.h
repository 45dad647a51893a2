// The changes that the administration, password and settings requests make to Users.ini. They
// work on the file's bytes in memory; a request saves the result once, so all of its changes
// reach the disk in one atomic replacement or none of them do.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"
#include "registry/service_state.h"
#include "registry/user_accounts.h"

namespace kx {

// The section that lists every user: "UsersCount" and "User0" ... "User<UsersCount-1>".
inline constexpr char kMainSection[] = "main";

// Keys of a user's section (named by the login).
inline constexpr char kLoginKey[] = "login";
inline constexpr char kPasswordKey[] = "pass";  // PasswordDigest of login and password
inline constexpr char kRightsKey[] = "r";

[[nodiscard]] std::filesystem::path UsersIniPath(const ServiceState& state);

// Whether the section's list of users ("UsersCount", "User<i>") can take one more entry that the
// readers of Users.ini will see: they stop at kMaxUsersIniAccounts entries, so a list that long, or
// with a corrupt count beyond it, takes none.
[[nodiscard]] bool UserListHasRoom(const IniFile& users, std::string_view section);

// The two appends below expect UserListHasRoom; a negative count is taken as an empty list.

// Appends the login to the list of [main]: "UsersCount" = n + 1, then "User<n>" = login.
void AppendUserToMain(IniFile& users, std::string_view login);

// Removes the first entry of [main] equal to the login (exact text): the later entries move down
// one place, the last key goes and "UsersCount" drops by one. Nothing changes when the login is
// not listed.
void RemoveUserFromMain(IniFile& users, std::string_view login);

// Appends the login to the moderator's list of managed users: "User<k>" = login, then
// "UsersCount" = k + 1.
void AppendManagedUser(IniFile& users, std::string_view moderator, std::string_view login);

// Removes the login from the managed-user list of every moderator (rights 1) listed in [main],
// shifting the later entries down; a list that becomes empty loses its "UsersCount" key. Returns
// the "login" values of the moderators whose lists changed, once per removal.
[[nodiscard]] std::vector<std::string> RemoveFromManagedLists(IniFile& users,
                                                              std::string_view login);

// Writes "dev<j>" for each device in order, and "devcount" when there is at least one.
void WriteUserDevices(IniFile& users, std::string_view section, const std::vector<int>& devices);

// Deletes "dev0" ... "dev<devcount-1>" and "devcount".
void EraseUserDevices(IniFile& users, std::string_view section);

// Writes the five layout values in the order "tablewidth", "tableheight", "CarsListWidth",
// "GoogleZoom", "GoogleType" (Icons is kept by the map requests).
void WriteDisplaySettings(IniFile& users, std::string_view section, const TUserParams& display);

}  // namespace kx
