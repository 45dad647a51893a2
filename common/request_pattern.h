// The grammars of query strings and form data: regular expressions in the usual Perl-like
// notation (ECMAScript), matched case-sensitively against the raw, undecoded text.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class RequestPattern {
 public:
  // Compiles the pattern once; a pattern is a constant of the code, so a bad one throws at once.
  explicit RequestPattern(const char* pattern);

  // Searches the text (anchors in the pattern decide where it may match). Returns the capture
  // groups 1..n (an unmatched group gives an empty text), or nullopt when there is no match.
  [[nodiscard]] std::optional<std::vector<std::string>> Match(std::string_view text) const;

 private:
  std::regex regex_;
};

}  // namespace kx
