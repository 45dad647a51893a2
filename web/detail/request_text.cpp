#include "web/detail/request_text.h"

#include <algorithm>

namespace kx::web::detail {
namespace {

[[nodiscard]] int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[nodiscard]] std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

[[nodiscard]] char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

}  // namespace

TargetParts SplitTarget(std::string_view target) {
  const auto question = target.find('?');
  if (question == std::string_view::npos) return {target, {}};
  return {target.substr(0, question), target.substr(question + 1)};
}

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    decoded.push_back(text[i]);
  }
  return decoded;
}

std::string_view FindCookie(std::string_view cookieHeader, std::string_view name) {
  while (!cookieHeader.empty()) {
    const auto end = cookieHeader.find(';');
    const std::string_view pair = TrimBlanks(cookieHeader.substr(0, end));
    const auto equals = pair.find('=');
    if (equals != std::string_view::npos && TrimBlanks(pair.substr(0, equals)) == name) {
      return TrimBlanks(pair.substr(equals + 1));
    }
    if (end == std::string_view::npos) break;
    cookieHeader.remove_prefix(end + 1);
  }
  return {};
}

bool IsFormContentType(std::string_view contentType) {
  constexpr std::string_view kFormType = "application/x-www-form-urlencoded";
  const std::string_view value = TrimBlanks(contentType);
  return std::equal(value.begin(), value.end(), kFormType.begin(), kFormType.end(),
                    [](char a, char b) { return LowerAscii(a) == b; });
}

}  // namespace kx::web::detail
