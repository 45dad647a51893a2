#include "web/sign_in_handler.h"

#include "common/main_thread_gate.h"
#include "common/request_pattern.h"

namespace kx {
namespace {

constexpr char kMapPageTitle[] = "Просмотр транспорта";
constexpr char kWrongCredentials[] = "Ошибка: Неверное имя пользователя или пароль";

struct Credentials {
  std::string login;
  std::string password;  // still URL-encoded, as the browser sent it
};

// Reads login and password from the raw form data. The guest signs in without a password, and
// a form that does not parse counts as a guest sign-in where a guest account exists.
Credentials ParseCredentials(std::string_view form, bool guestExists) {
  static const RequestPattern kSignInForm("^kx_login=([\\w\\d_-]+)&password=([^&]*)");
  Credentials credentials;
  if (form.empty()) return credentials;
  const auto match = kSignInForm.Match(form);
  if (!match) {
    if (guestExists) credentials.login = kGuestLogin;
    return credentials;
  }
  credentials.login = (*match)[0];
  if (credentials.login != kGuestLogin) credentials.password = (*match)[1];
  return credentials;
}

bool GuestExists(const ServiceState& state) {
  MainThreadSection gate;
  return state.accounts.Find(kGuestLogin) != nullptr;
}

PageTemplate MainPage(const ServiceState& state) {
  return state.settings.UseKX != 0 ? PageTemplate::InetXPageProducerMainKX
                                   : PageTemplate::InetXPageProducerMainSimple;
}

// Devices the new session may see: every registry device for administrators, the account's own
// list for everybody else.
VehicleKeys VehiclesFor(const ServiceState& state, const UserAccount& account) {
  if (account.access == kRightsAdministrator) return state.allDevices;
  return std::make_shared<const std::vector<std::string>>(account.attributes);
}

// Inside the gate: replaces the browser's old session by a new one for the account.
void StartSignedInSession(RequestScope& scope, const std::string& login,
                          const UserAccount& account) {
  web::HttpExchange& exchange = scope.exchange;
  RequestContext& context = scope.context;
  const std::string oldSession = exchange.request.sessionId;
  if (!oldSession.empty()) {
    scope.state.sessions.RemoveSession(oldSession);
    exchange.EndSession(oldSession);
  }
  context.login = login;
  context.sessionId = exchange.StartSession();
  context.rights = account.access;
  context.rightsText = RightsDescription(account.access);
  scope.state.sessions.AddSession(context.sessionId, login, account.access,
                                  VehiclesFor(scope.state, account));
  context.page = MainPage(scope.state);
}

}  // namespace

void ShowSignInPage(RequestContext& context) {
  context.title = "Авторизация";
  context.page = PageTemplate::InetXPageProducerLogin;
}

void HandleSignIn(RequestScope& scope) {
  RequestContext& context = scope.context;
  const bool guestExists = GuestExists(scope.state);
  std::string form = scope.exchange.request.formData;
  // A browser that is signed in already keeps its session when it simply asks for the main page
  // again (the menu links to it); only visitors without a session become guests.
  if (form.empty() && !context.sessionListed && guestExists) form = kGuestSignInForm;
  context.title = kMapPageTitle;
  const Credentials credentials = ParseCredentials(form, guestExists);
  const std::string digest = PasswordDigest(credentials.login, credentials.password);

  MainThreadSection gate;
  const UserAccount* account =
      credentials.login.empty() ? nullptr : scope.state.accounts.Find(credentials.login);
  if (account != nullptr && DigestMatches(account->password, digest)) {
    StartSignedInSession(scope, credentials.login, *account);
    return;
  }
  if (context.sessionListed) {
    context.page = MainPage(scope.state);
    return;
  }
  if (!credentials.login.empty() || !credentials.password.empty()) {
    context.errorText = kWrongCredentials;
  }
  ShowSignInPage(context);
}

void HandleSignOut(RequestScope& scope) {
  {
    MainThreadSection gate;
    const std::string& session = scope.exchange.request.sessionId;
    if (!session.empty()) {
      scope.state.sessions.RemoveSession(session);
      scope.exchange.EndSession(session);
    }
  }
  ShowSignInPage(scope.context);
}

}  // namespace kx
