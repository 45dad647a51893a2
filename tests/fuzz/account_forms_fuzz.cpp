// libFuzzer target for the account request grammars (sign-in, add and save user, delete user,
// password change): what they accept holds only the characters its field allows, numbers stay
// in range, and a request written from accepted values parses back to exactly those values.
// The input is parsed as it stands, and its lines are also used as field values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/user_accounts.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/account_forms.h"

namespace {

using kx::fuzz::Check;

bool IsLogin(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

bool IsFieldText(std::string_view text) {
  return text.find('&') == std::string_view::npos;
}

bool IsVehicleList(std::string_view text) {
  return text.find_first_not_of("0123456789-") == std::string_view::npos;
}

std::string AccountQuery(const kx::AccountRequest& r) {
  return "Login=" + r.login + "&Pass=" + r.password + "&r=" + std::to_string(r.rights) +
         "&CarList=" + r.vehicles;
}

void CheckSignIn(std::string_view form, bool guestExists) {
  const kx::Credentials credentials = kx::ParseSignInForm(form, guestExists);
  if (credentials.login.empty()) return;
  Check(IsLogin(credentials.login) && IsFieldText(credentials.password));
  // The guest signs in without a password: from its own form, or from a form that did not parse.
  if (credentials.login == kx::kGuestLogin) {
    Check(credentials.password.empty());
    Check(guestExists || form.starts_with("kx_login=guest&password="));
    return;
  }
  // Anyone else: the form is what was read, up to a further "&".
  const std::string written = "kx_login=" + credentials.login + "&password=" + credentials.password;
  Check(form.starts_with(written) &&
        (form.size() == written.size() || form[written.size()] == '&'));
}

void CheckAccount(std::string_view query) {
  const auto request = kx::ParseAccountRequest(query);
  if (!request) return;
  Check(IsLogin(request->login) && IsFieldText(request->password) &&
        IsVehicleList(request->vehicles));
  Check(request->rights >= 0 && request->rights <= 2);
  Check(!request->vehicles.empty() || request->rights == kx::kRightsAdministrator);
  Check(AccountQuery(*request) == query);
}

void CheckUserDel(std::string_view query) {
  const auto login = kx::ParseUserDelQuery(query);
  if (login) Check(IsLogin(*login) && "Login=" + *login == query);
}

void CheckNewPass(std::string_view query) {
  const auto change = kx::ParseNewPassQuery(query);
  if (!change) return;
  Check(!change->oldPassword.empty() && IsFieldText(change->oldPassword) &&
        IsFieldText(change->newPassword));
  const std::string written = "OldPass=" + change->oldPassword + "&NewPass=" + change->newPassword;
  Check(query.starts_with(written) &&
        (query.size() == written.size() || query[written.size()] == '&'));
}

std::vector<std::string> Lines(std::string_view input) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (lines.size() < 4) {
    const size_t stop = input.find('\n', start);
    lines.emplace_back(input.substr(start, stop == std::string_view::npos ? stop : stop - start));
    if (stop == std::string_view::npos) break;
    start = stop + 1;
  }
  lines.resize(4);
  return lines;
}

// Requests written from the lines as field values: valid values must come back unchanged.
void CheckWrittenRequests(std::string_view input) {
  const std::vector<std::string> f = Lines(input);
  const int rights = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 3;
  const kx::AccountRequest request{f[0], f[1], rights, f[2]};
  const auto account = kx::ParseAccountRequest(AccountQuery(request));
  CheckAccount(AccountQuery(request));
  if (IsLogin(f[0]) && IsFieldText(f[1]) && IsVehicleList(f[2]) &&
      (!f[2].empty() || rights == kx::kRightsAdministrator)) {
    Check(account && account->login == f[0] && account->password == f[1] &&
          account->rights == rights && account->vehicles == f[2]);
  }
  const std::string signIn = "kx_login=" + f[0] + "&password=" + f[1] + "&" + f[3];
  const kx::Credentials credentials = kx::ParseSignInForm(signIn, false);
  CheckSignIn(signIn, false);
  if (IsLogin(f[0]) && IsFieldText(f[1])) {
    Check(credentials.login == f[0]);
    Check(credentials.password == (f[0] == kx::kGuestLogin ? "" : f[1]));
  }
  const auto named = kx::ParseUserDelQuery("Login=" + f[0]);
  Check(named.has_value() == IsLogin(f[0]) && (!named || *named == f[0]));
  const std::string newPass = "OldPass=" + f[1] + "&NewPass=" + f[2] + "&" + f[3];
  const auto change = kx::ParseNewPassQuery(newPass);
  CheckNewPass(newPass);
  if (!f[1].empty() && IsFieldText(f[1]) && IsFieldText(f[2])) {
    Check(change && change->oldPassword == f[1] && change->newPassword == f[2]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckSignIn(input, true);
  CheckSignIn(input, false);
  CheckAccount(input);
  CheckUserDel(input);
  CheckNewPass(input);
  CheckWrittenRequests(input);
  return 0;
}
