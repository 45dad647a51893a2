#include "web/user_admin_handlers.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/ini_file.h"
#include "common/main_thread_gate.h"
#include "web/account_forms.h"
#include "web/reply_text.h"
#include "web/users_ini_edits.h"
#include "web/vehicle_list_walk.h"

namespace kx {
namespace {

constexpr std::string_view kUserInfoLogin = "Login=";

bool MayAdminister(const RequestContext& context) {
  return context.rights == kRightsModerator || context.rights == kRightsAdministrator;
}

// Inside the gate: administrators reach every login, moderators the logins they manage.
bool Reaches(const RequestScope& scope, std::string_view login) {
  const RequestContext& context = scope.context;
  return context.rights == kRightsAdministrator ||
         scope.state.userParams.IndexOfSubUser(context.login, login) >= 0;
}

// [main] lists every user; a login that names it must never have its section changed or erased.
bool NamesMainSection(std::string_view login) {
  return Cp1251EqualsIgnoreCase(login, kMainSection);
}

// Inside the gate: how often the caller's session lists the device. Session vehicle texts are
// the decimal form of their numbers, so comparing texts compares numbers.
int ListedInSession(const RequestScope& scope, int device) {
  const std::vector<std::string>* vehicles =
      scope.state.sessions.SessionVehicles(scope.context.sessionId);
  if (vehicles == nullptr) return 0;
  return static_cast<int>(std::count(vehicles->begin(), vehicles->end(), std::to_string(device)));
}

// The guest account, which visitors share without signing in, is a plain user without a
// password; the demonstration account is a plain user with a fixed password.
void ApplySpecialAccountRules(AccountRequest& request) {
  if (request.login == kGuestLogin) {
    request.rights = kRightsUser;
    request.password.clear();
  } else if (request.login == kDemoLogin) {
    request.rights = kRightsUser;
    request.password = kDemoPassword;
  }
}

// Inside the gate: writes the new user's entry, section and vehicles; returns the vehicles kept.
// An administrator may hand out any vehicle, a moderator those its own session lists.
std::vector<int> WriteNewAccount(IniFile& users, const RequestScope& scope,
                                 const AccountRequest& request, const std::string& digest) {
  const std::string& login = request.login;
  AppendUserToMain(users, login);
  users.WriteString(login, kLoginKey, login);
  users.WriteString(login, kPasswordKey, digest);
  users.WriteInteger(login, kRightsKey, request.rights);
  if (request.rights == kRightsAdministrator) return {};
  const bool anyVehicle = scope.context.rights == kRightsAdministrator;
  const std::vector<int> devices = WalkVehicleList(request.vehicles, [&](int device) {
    return anyVehicle || ListedInSession(scope, device) > 0 ? 1 : 0;
  });
  WriteUserDevices(users, login, devices);
  return devices;
}

std::string_view AddUser(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (query.empty()) return kReplyDone;
  std::optional<AccountRequest> request = ParseAccountRequest(query);
  if (!request) return kReplyRefused;
  ApplySpecialAccountRules(*request);
  const RequestContext& context = scope.context;
  if (context.rights < request->rights) return kReplyRefused;
  const std::string digest = PasswordDigest(request->login, request->password);

  MainThreadSection gate;
  ServiceState& state = scope.state;
  IniFile users = IniFile::Load(UsersIniPath(state));
  // Section names ignore letter case: "main", and any spelling of a present login, are taken. A
  // bare header that a hand edit left behind holds no user, so it does not take the login; the
  // new keys then go under it.
  if (users.SectionHasKeys(request->login)) return kReplyDeclined;  // the login is taken
  const bool byModerator = context.rights == kRightsModerator;
  // An entry past the readers' limit would vanish at the next start while the reply said done.
  if (!UserListHasRoom(users, kMainSection) ||
      (byModerator && !UserListHasRoom(users, context.login))) {
    return kReplyDeclined;
  }
  const std::vector<int> devices = WriteNewAccount(users, scope, *request, digest);
  if (byModerator) AppendManagedUser(users, context.login, request->login);
  users.Save(UsersIniPath(state));

  const TUserParams display;
  state.userParams.AddUserParams(request->login, display.tablewidth, display.tableheight,
                                 display.CarsListWidth, display.GoogleZoom, display.GoogleType,
                                 nullptr);
  state.accounts.Add({request->login, digest, request->rights, DeviceTexts(devices)});
  if (byModerator) state.userParams.AddSubUser(context.login, request->login);
  return kReplyDone;
}

std::string UserInfo(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  const size_t at = query.find(kUserInfoLogin);
  if (at == std::string::npos) return {};
  const std::string login = query.substr(at + kUserInfoLogin.size());

  MainThreadSection gate;
  if (login.empty() || !Reaches(scope, login)) return {};
  const UserAccount* account = scope.state.accounts.Find(login);
  if (account == nullptr) return {};
  std::string reply = std::to_string(account->access) + "-";
  for (const std::string& device : account->attributes) reply += device + "-";
  return reply;
}

// Inside the gate: rewrites the user's password (unless empty), rights and vehicles. A moderator
// may hand out only the vehicles its own session lists, each as often as the session lists it.
std::vector<int> RewriteAccount(IniFile& users, const RequestScope& scope, const std::string& login,
                                const AccountRequest& request, const std::string& digest) {
  if (!digest.empty()) users.WriteString(login, kPasswordKey, digest);
  users.WriteInteger(login, kRightsKey, request.rights);
  EraseUserDevices(users, login);
  if (request.rights == kRightsAdministrator) return {};
  const std::vector<int> devices =
      WalkVehicleList(request.vehicles, [&](int device) { return ListedInSession(scope, device); });
  WriteUserDevices(users, login, devices);
  return devices;
}

std::string_view SaveUser(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (query.empty()) return kReplyDone;
  const std::optional<AccountRequest> request = ParseAccountRequest(query);

  MainThreadSection gate;
  if (!request || scope.context.rights < request->rights || !Reaches(scope, request->login)) {
    return kReplyRefused;
  }
  ServiceState& state = scope.state;
  UserAccount* account = state.accounts.Find(request->login);
  if (account == nullptr || NamesMainSection(account->userName)) return kReplyRefused;
  // The account's own spelling of its name: the section, the digest and the sessions all use it.
  const std::string login = account->userName;
  IniFile users = IniFile::Load(UsersIniPath(state));
  // Writing to a section that is gone would create one that [main] does not list.
  if (!users.SectionExists(login)) return kReplyRefused;
  const std::string password = login == kDemoLogin ? kDemoPassword : request->password;
  const std::string digest = password.empty() ? "" : PasswordDigest(login, password);
  const std::vector<int> devices = RewriteAccount(users, scope, login, *request, digest);
  users.Save(UsersIniPath(state));

  if (!digest.empty()) account->password = digest;
  account->access = request->rights;
  account->attributes = DeviceTexts(devices);
  if (request->rights != kRightsAdministrator) {
    state.sessions.UpdateSessionsOfLogin(login, request->rights, account->attributes);
  }
  return kReplyDone;
}

std::string_view UserDel(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (query.empty()) return kReplyDone;
  const std::optional<std::string> named = ParseUserDelQuery(query);

  MainThreadSection gate;
  if (!named || !Reaches(scope, *named)) return kReplyRefused;
  ServiceState& state = scope.state;
  const UserAccount* account = state.accounts.Find(*named);
  // The account's own spelling, so that [main], the sessions and the moderators' lists, which
  // compare exactly, lose the same login the section and the account do.
  const std::string login = account != nullptr ? account->userName : *named;
  if (NamesMainSection(login)) return kReplyRefused;
  IniFile users = IniFile::Load(UsersIniPath(state));
  users.EraseSection(login);
  RemoveUserFromMain(users, login);
  const std::vector<std::string> moderators = RemoveFromManagedLists(users, login);
  users.Save(UsersIniPath(state));

  state.accounts.Remove(login);
  state.sessions.RemoveSessionsOfLogin(login);
  state.userParams.RemoveUser(login);
  // Memory keeps the moderators' lists as the file now has them. The caller's own list loses the
  // login it reached it by, even where that list no longer matches the file (rights changed since
  // the last load, a hand edit), so the login does not stay in the caller's reach.
  for (const std::string& moderator : moderators) state.userParams.RemoveSubUser(moderator, login);
  state.userParams.RemoveSubUser(scope.context.login, *named);
  return kReplyDone;
}

// Runs one request for callers who may administer users; others get the empty body.
template <typename Reply>
void Administer(RequestScope& scope, Reply (*request)(RequestScope&)) {
  ReplyText(scope, "");
  if (!MayAdminister(scope.context)) return;
  ReplyText(scope, request(scope));
}

}  // namespace

void HandleAddUser(RequestScope& scope) {
  Administer(scope, AddUser);
}

void HandleGetUserInfo(RequestScope& scope) {
  Administer(scope, UserInfo);
}

void HandleSaveUser(RequestScope& scope) {
  Administer(scope, SaveUser);
}

void HandleUserDel(RequestScope& scope) {
  Administer(scope, UserDel);
}

}  // namespace kx
