#include "pages/escape.h"

namespace kx {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexEscape(std::string& out, unsigned char c) {
  out += "\\x";
  out += kHexDigits[c >> 4];
  out += kHexDigits[c & 0x0F];
}

// The UTF-8 forms of U+2028 and U+2029 end a line inside older JavaScript string literals.
bool IsLineSeparatorAt(std::string_view text, size_t i) {
  return text.size() - i >= 3 && static_cast<unsigned char>(text[i]) == 0xE2 &&
         static_cast<unsigned char>(text[i + 1]) == 0x80 &&
         (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
          static_cast<unsigned char>(text[i + 2]) == 0xA9);
}

bool NeedsJsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' ||
         c == '&';
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
}

void AppendJsEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLineSeparatorAt(text, i)) {
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
    } else if (NeedsJsEscape(c)) {
      AppendHexEscape(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
}

}  // namespace kx
