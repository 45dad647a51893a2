// Escaping of the texts the pages take from stored data (logins, vehicle and group names,
// display settings, counter identifiers), each for the context it is written into.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Text for HTML content and quoted attribute values: & < > " ' become character references.
void AppendHtmlEscaped(std::string& out, std::string_view text);

// Text for the inside of a JavaScript string literal in either quote style, placed in a <script>
// element or in an event-handler attribute: backslash, both quotes, < > & and control characters
// become \xNN escapes, and the line separators U+2028 and U+2029 become \u escapes. Other UTF-8
// text is kept, so the name reads the same in the page.
void AppendJsEscaped(std::string& out, std::string_view text);

}  // namespace kx
