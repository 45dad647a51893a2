#include "common/request_pattern.h"

namespace kx {

// The default matcher of libstdc++ recurses once per input character, so a long form field
// overflows a thread's stack; the breadth-first (polynomial) matcher does not recurse and gives
// the same groups for the patterns used here, which need no back-references.
RequestPattern::RequestPattern(const char* pattern)
    : regex_(pattern, std::regex::ECMAScript | std::regex_constants::__polynomial) {}

std::optional<std::vector<std::string>> RequestPattern::Match(std::string_view text) const {
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(text.begin(), text.end(), match, regex_)) return std::nullopt;
  std::vector<std::string> groups;
  for (size_t i = 1; i < match.size(); ++i) groups.push_back(match[i].str());
  return groups;
}

}  // namespace kx
