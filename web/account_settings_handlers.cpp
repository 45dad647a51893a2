#include "web/account_settings_handlers.h"

#include <string>

#include "common/ini_file.h"
#include "common/main_thread_gate.h"
#include "web/account_forms.h"
#include "web/display_settings_query.h"
#include "web/reply_text.h"
#include "web/users_ini_edits.h"

namespace kx {
namespace {

std::string_view NewPass(RequestScope& scope) {
  const std::string& query = scope.exchange.request.query;
  if (query.empty()) return kReplyDone;
  const std::optional<PasswordChange> change = ParseNewPassQuery(query);
  if (!change) return kReplyRefused;
  const std::string& login = scope.context.login;
  const std::string newPassword = login == kDemoLogin ? kDemoPassword : change->newPassword;
  if (newPassword.empty()) return kReplyDone;  // an empty new password changes nothing
  // Both passwords are digested as the request carried them, still URL-encoded.
  const std::string oldDigest = PasswordDigest(login, change->oldPassword);
  const std::string newDigest = PasswordDigest(login, newPassword);

  MainThreadSection gate;
  UserAccount* account = scope.state.accounts.Find(login);
  // No account of that name, or the old password is wrong.
  if (account == nullptr || !DigestMatches(account->password, oldDigest)) return kReplyDeclined;
  IniFile users = IniFile::Load(UsersIniPath(scope.state));
  users.WriteString(login, kPasswordKey, newDigest);
  users.Save(UsersIniPath(scope.state));
  account->password = newDigest;
  return kReplyDone;
}

}  // namespace

void HandleNewPass(RequestScope& scope) {
  ReplyText(scope, NewPass(scope));
}

void HandleSaveSettings(RequestScope& scope) {
  // An empty or malformed query stores the defaults for what it does not carry, in the file and
  // in memory alike, so the pages show what a restart would load.
  const TUserParams display = ReadDisplaySettingsQuery(scope.exchange.request.query);
  const std::string& login = scope.context.login;

  MainThreadSection gate;
  IniFile users = IniFile::Load(UsersIniPath(scope.state));
  WriteDisplaySettings(users, login, display);
  users.Save(UsersIniPath(scope.state));
  scope.state.userParams.SetUserDisplay(login, display.tablewidth, display.tableheight,
                                        display.CarsListWidth, display.GoogleZoom,
                                        display.GoogleType);
}

}  // namespace kx
