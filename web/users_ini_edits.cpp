#include "web/users_ini_edits.h"

#include <optional>

namespace kx {
namespace {

constexpr char kUsersIniName[] = "Users.ini";
constexpr char kCountKey[] = "UsersCount";
constexpr char kDeviceCountKey[] = "devcount";
// What a missing entry reads as: [main] skips empty entries, a moderator's list reads "0".
constexpr char kMainEntryDefault[] = "";
constexpr char kManagedEntryDefault[] = "0";

int StoredUserCount(const IniFile& users, std::string_view section) {
  return UsersIniListCount(users, section, kCountKey, kMaxUsersIniAccounts);
}

std::string UserKey(int index) {
  return "User" + std::to_string(index);
}

std::string DeviceKey(int index) {
  return "dev" + std::to_string(index);
}

// Removes the first entry equal to the value from the section's numbered "User<i>" list: the
// later entries move down one place and the last key is deleted. Returns the count before the
// removal, or nullopt when the value is not listed. The count key is left to the caller.
std::optional<int> ShiftOut(IniFile& users, std::string_view section, std::string_view value,
                            std::string_view entryDefault) {
  const int count = StoredUserCount(users, section);
  for (int i = 0; i < count; ++i) {
    if (users.ReadString(section, UserKey(i), entryDefault) != value) continue;
    for (int p = i; p + 1 < count; ++p) {
      users.WriteString(section, UserKey(p),
                        users.ReadString(section, UserKey(p + 1), entryDefault));
    }
    users.EraseKey(section, UserKey(count - 1));
    return count;
  }
  return std::nullopt;
}

}  // namespace

std::filesystem::path UsersIniPath(const ServiceState& state) {
  return state.File(kUsersIniName);
}

bool UserListHasRoom(const IniFile& users, std::string_view section) {
  return StoredUserCount(users, section) < kMaxUsersIniAccounts;
}

void AppendUserToMain(IniFile& users, std::string_view login) {
  const int count = StoredUserCount(users, kMainSection);
  users.WriteInteger(kMainSection, kCountKey, count + 1);
  users.WriteString(kMainSection, UserKey(count), login);
}

void RemoveUserFromMain(IniFile& users, std::string_view login) {
  const std::optional<int> count = ShiftOut(users, kMainSection, login, kMainEntryDefault);
  if (count) users.WriteInteger(kMainSection, kCountKey, *count - 1);
}

void AppendManagedUser(IniFile& users, std::string_view moderator, std::string_view login) {
  const int count = StoredUserCount(users, moderator);
  users.WriteString(moderator, UserKey(count), login);
  users.WriteInteger(moderator, kCountKey, count + 1);
}

std::vector<std::string> RemoveFromManagedLists(IniFile& users, std::string_view login) {
  std::vector<std::string> moderators;
  const int count = StoredUserCount(users, kMainSection);
  for (int i = 0; i < count; ++i) {
    const std::string section = users.ReadString(kMainSection, UserKey(i), kMainEntryDefault);
    if (users.ReadInteger(section, kRightsKey, kRightsUser) != kRightsModerator) continue;
    const std::optional<int> listed = ShiftOut(users, section, login, kManagedEntryDefault);
    if (!listed) continue;
    if (*listed == 1) {
      users.EraseKey(section, kCountKey);
    } else {
      users.WriteInteger(section, kCountKey, *listed - 1);
    }
    moderators.push_back(users.ReadString(section, kLoginKey, ""));
  }
  return moderators;
}

void WriteUserDevices(IniFile& users, std::string_view section, const std::vector<int>& devices) {
  const int count = static_cast<int>(devices.size());
  for (int j = 0; j < count; ++j) {
    users.WriteInteger(section, DeviceKey(j), devices[static_cast<size_t>(j)]);
  }
  if (count > 0) users.WriteInteger(section, kDeviceCountKey, count);
}

void EraseUserDevices(IniFile& users, std::string_view section) {
  const int count = UsersIniListCount(users, section, kDeviceCountKey, kMaxUsersIniDevices);
  for (int j = 0; j < count; ++j) users.EraseKey(section, DeviceKey(j));
  users.EraseKey(section, kDeviceCountKey);
}

void WriteDisplaySettings(IniFile& users, std::string_view section, const TUserParams& display) {
  users.WriteString(section, "tablewidth", display.tablewidth);
  users.WriteString(section, "tableheight", display.tableheight);
  users.WriteString(section, "CarsListWidth", display.CarsListWidth);
  users.WriteInteger(section, "GoogleZoom", display.GoogleZoom);
  users.WriteInteger(section, "GoogleType", display.GoogleType);
}

}  // namespace kx
