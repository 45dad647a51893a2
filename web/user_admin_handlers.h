// The user administration requests of moderators and administrators: "/kxserver/AddUser",
// "/kxserver/GetUserInfo", "/kxserver/SaveUser" and "/kxserver/UserDel". Each answers a short
// plain text ("0" done, "1" bad parameters or not allowed, "2" login exists; GetUserInfo the
// account's rights and vehicles); a caller below moderator gets an empty body. Values come from
// the raw query string.
//
// A request's changes to Users.ini are made to the file's content in memory and saved once, as
// one atomic replacement, before the accounts, display settings and sessions change; a failed
// save ends the request with the server's error reply and leaves file and memory as they were.
#pragma once

#include "web/request_context.h"

namespace kx {

void HandleAddUser(RequestScope& scope);
void HandleGetUserInfo(RequestScope& scope);
void HandleSaveUser(RequestScope& scope);
void HandleUserDel(RequestScope& scope);

}  // namespace kx
