#include "web/detail/error_text.h"

namespace kx::web::detail {
namespace {

[[nodiscard]] bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

[[nodiscard]] bool OpensPath(char before) {
  constexpr std::string_view kOpeners = " \t\"'[(=<";
  return kOpeners.find(before) != std::string_view::npos;
}

// Whether an absolute path begins here: a separator, or a drive letter, ":" and a separator.
[[nodiscard]] bool IsPathStart(std::string_view text, size_t at) {
  if (at > 0 && !OpensPath(text[at - 1])) return false;
  if (IsSeparator(text[at])) return true;
  const bool letter = (text[at] >= 'A' && text[at] <= 'Z') || (text[at] >= 'a' && text[at] <= 'z');
  return letter && at + 2 < text.size() && text[at + 1] == ':' && IsSeparator(text[at + 2]);
}

[[nodiscard]] size_t PathEnd(std::string_view text, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'' || c == ']' || c == ')' || c == '>' || c == '\n' || c == '\r') {
      return i;
    }
    if (c == ':' && i + 1 < text.size() && text[i + 1] == ' ') return i;
  }
  return text.size();
}

// The last non-empty name of a path.
[[nodiscard]] std::string_view LastName(std::string_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::string WithoutAbsolutePaths(std::string_view message) {
  std::string result;
  result.reserve(message.size());
  size_t i = 0;
  while (i < message.size()) {
    if (!IsPathStart(message, i)) {
      result.push_back(message[i++]);
      continue;
    }
    const size_t end = PathEnd(message, i);
    result.append(LastName(message.substr(i, end - i)));
    i = end;
  }
  return result;
}

}  // namespace kx::web::detail
