#include "web/sign_in_handler.h"

#include "common/main_thread_gate.h"
#include "web/account_forms.h"

namespace kx {
namespace {

constexpr char kMapPageTitle[] = "Просмотр транспорта";
constexpr char kWrongCredentials[] = "Ошибка: Неверное имя пользователя или пароль";

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
  const bool guest = &account == scope.state.accounts.Find(kGuestLogin);
  context.sessionId =
      exchange.StartSession(guest ? web::SessionKind::kGuest : web::SessionKind::kSignedIn);
  context.rights = account.access;
  context.rightsText = RightsDescription(account.access);
  scope.state.sessions.AddSession(context.sessionId, login, account.access,
                                  VehiclesFor(scope.state, account));
  context.page = MainPage(scope.state);
}

// Inside the gate: signs the account in when the password matches. Failed checks count towards
// the client address's limit; while the address is blocked the password is not checked and the
// attempt fails as a wrong password does. The guest is not guarded: every visitor without a
// session signs in as the guest.
bool TrySignIn(RequestScope& scope, const Credentials& credentials, const std::string& digest) {
  if (credentials.login.empty()) return false;
  const bool guarded = credentials.login != kGuestLogin;
  SignInGuard& guard = scope.state.signInGuard;
  const std::string& address = scope.exchange.request.clientAddress;
  const auto now = SignInGuard::Clock::now();
  if (guarded && guard.Blocked(address, now)) return false;
  const UserAccount* account = scope.state.accounts.Find(credentials.login);
  if (account == nullptr || !DigestMatches(account->password, digest)) {
    if (guarded) guard.RecordFailure(address, now);
    return false;
  }
  StartSignedInSession(scope, credentials.login, *account);
  return true;
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
  const Credentials credentials = ParseSignInForm(form, guestExists);
  const std::string digest = PasswordDigest(credentials.login, credentials.password);

  MainThreadSection gate;
  if (TrySignIn(scope, credentials, digest)) return;
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
