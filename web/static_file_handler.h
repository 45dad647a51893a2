// Files served unchanged from the service's js, css and img folders. A request names the file in
// its query string; only a plain name with one of the folder's extensions is accepted, and a link
// in a folder is followed only while it stays inside that folder, so no file outside the three
// folders can be reached.
#pragma once

#include <initializer_list>
#include <string_view>

#include "web/request_context.h"

namespace kx {

// True when the query is a name of one or more characters from A-Z, a-z, 0-9, "_" and "-", a dot
// and one of the extensions exactly as written (lower case), with nothing before or after.
[[nodiscard]] bool IsAcceptedStaticName(std::string_view query,
                                        std::initializer_list<std::string_view> extensions);

void HandleJsFile(RequestScope& scope);     // "/kxserver/js?<name>.js"
void HandleCssFile(RequestScope& scope);    // "/kxserver/css?<name>.css"
void HandleImageFile(RequestScope& scope);  // "/kxserver/img?<name>.gif|png|ico"
void HandleFavicon(RequestScope& scope);    // "/kxserver/favicon.ico": img/favicon.ico

}  // namespace kx
