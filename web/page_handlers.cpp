#include "web/page_handlers.h"

#include "registry/user_accounts.h"

namespace kx {
namespace {

// The vehicle tree shows check boxes when the query string carries this marker anywhere.
constexpr std::string_view kCheckBoxMarker = "CheckBox=true";

void ShowPage(RequestScope& scope, PageTemplate page, std::string_view title) {
  scope.context.title = title;
  scope.context.page = page;
}

// Pages for moderators and administrators; the router read the rights from the session list.
void ShowManagerPage(RequestScope& scope, PageTemplate page, std::string_view title) {
  const int rights = scope.context.rights;
  if (rights != kRightsModerator && rights != kRightsAdministrator) return;
  ShowPage(scope, page, title);
}

}  // namespace

void HandleAdminPage(RequestScope& scope) {
  ShowManagerPage(scope, PageTemplate::InetXPageProducerAdmin, "");
}

void HandleCarListPage(RequestScope& scope) {
  scope.context.checkBoxMode =
      scope.exchange.request.query.find(kCheckBoxMarker) != std::string::npos;
  ShowPage(scope, PageTemplate::InetXPageProducerCarList, "");
}

void HandleSettingsPage(RequestScope& scope) {
  ShowPage(scope, PageTemplate::InetXPageProducerSettings, "Настройки пользователя");
}

void HandleNewUserPage(RequestScope& scope) {
  ShowManagerPage(scope, PageTemplate::InetXPageProducerAddUser, "Добавление пользователя");
}

void HandleChangeUserPage(RequestScope& scope) {
  ShowManagerPage(scope, PageTemplate::InetXPageProducerChangeUser, "Изменение пользователя");
}

void HandleDeleteUserPage(RequestScope& scope) {
  ShowManagerPage(scope, PageTemplate::InetXPageProducerDeleteUser, "Удаление пользователя");
}

void HandleChangePasswordPage(RequestScope& scope) {
  ShowPage(scope, PageTemplate::InetXPageProducerChangePass, "Изменение пароля");
}

}  // namespace kx
