// The form data and query grammars of the account requests: sign-in, add and save user, delete
// user and password change. Each reads the raw, undecoded text; passwords stay URL-encoded, as
// the page sent them, because that is the form their digests are made of.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kx {

struct Credentials {
  std::string login;     // empty: nobody to sign in
  std::string password;  // always empty for the guest
};

// Logins are one or more of A-Z, a-z, 0-9, "_" and "-".

// The sign-in form "kx_login=<login>&password=<password>" (more may follow a further "&"). The
// guest signs in without a password, and a form that does not parse counts as a guest sign-in
// where a guest account exists. An empty form names nobody.
[[nodiscard]] Credentials ParseSignInForm(std::string_view form, bool guestExists);

// The values of an add or save request.
struct AccountRequest {
  std::string login;
  std::string password;
  int rights = 0;        // 0 user, 1 moderator, 2 administrator
  std::string vehicles;  // device numbers, each followed by "-"
};

// "Login=<login>&Pass=<password>&r=<0-2>&CarList=<digits and ->", exactly; nullopt otherwise, and
// when it names no vehicle for a user or a moderator (administrators see every vehicle).
[[nodiscard]] std::optional<AccountRequest> ParseAccountRequest(std::string_view query);

// "Login=<login>" of the delete request, exactly; nullopt otherwise.
[[nodiscard]] std::optional<std::string> ParseUserDelQuery(std::string_view query);

struct PasswordChange {
  std::string oldPassword;  // not empty
  std::string newPassword;  // empty: nothing to change
};

// "OldPass=<old>&NewPass=<new>", anchored at the start only: whatever follows the new password
// after a further "&" is ignored. nullopt when it does not match.
[[nodiscard]] std::optional<PasswordChange> ParseNewPassQuery(std::string_view query);

}  // namespace kx
