// Windows only: the program's UTF-8 text to and from the UTF-16 of the wide Windows functions.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Malformed input becomes U+FFFD characters rather than an error.
[[nodiscard]] std::wstring WideFromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromWide(std::wstring_view wide);

}  // namespace kx
