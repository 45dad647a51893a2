// The text of an error reply: the message of a failure that escaped the request handler, without
// the server's file system layout.
#pragma once

#include <string>
#include <string_view>

namespace kx::web::detail {

// The message with every absolute path ("/srv/kx/kml/A.kmz", "C:\KX\Users.ini", "\\host\share\x")
// replaced by its last name ("A.kmz", "Users.ini", "x"), so that a client learns which file
// failed but not where the server keeps it. A path begins at the start of the text or after a
// blank, quote, bracket, parenthesis or "=", and runs to a quote, closing bracket or
// parenthesis, line end, ": " or the end of the text; it may hold blanks.
[[nodiscard]] std::string WithoutAbsolutePaths(std::string_view message);

}  // namespace kx::web::detail
