// Text content for XML documents written by hand.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Escapes the markup characters and replaces the control characters XML 1.0 forbids by "?", so
// that any text, including names from data files, gives a well-formed document.
[[nodiscard]] std::string XmlText(std::string_view text);

}  // namespace kx
