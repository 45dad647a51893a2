#include "web/account_forms.h"

#include "common/request_pattern.h"
#include "registry/user_accounts.h"
#include "web/raw_query.h"

namespace kx {

Credentials ParseSignInForm(std::string_view form, bool guestExists) {
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

std::optional<AccountRequest> ParseAccountRequest(std::string_view query) {
  static const RequestPattern kGrammar(
      "^Login=([\\w\\d_-]+)&Pass=([^&]*)&r=([0-2])&CarList=([\\d-]*)$");
  const auto groups = MatchRawQuery(kGrammar, query);
  if (!groups) return std::nullopt;
  AccountRequest request{(*groups)[0], (*groups)[1], (*groups)[2].front() - '0', (*groups)[3]};
  if (request.vehicles.empty() && request.rights != kRightsAdministrator) return std::nullopt;
  return request;
}

std::optional<std::string> ParseUserDelQuery(std::string_view query) {
  static const RequestPattern kGrammar("^Login=([\\w\\d_-]+)$");
  const auto groups = MatchRawQuery(kGrammar, query);
  if (!groups) return std::nullopt;
  return groups->front();
}

std::optional<PasswordChange> ParseNewPassQuery(std::string_view query) {
  static const RequestPattern kGrammar("^OldPass=([^&]+)&NewPass=([^&]*)");
  const auto groups = MatchRawQuery(kGrammar, query);
  if (!groups) return std::nullopt;
  return PasswordChange{(*groups)[0], (*groups)[1]};
}

}  // namespace kx
