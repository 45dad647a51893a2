#include "web/raw_query.h"

#include <regex>

namespace kx {

std::optional<std::vector<std::string>> MatchRawQuery(const RequestPattern& grammar,
                                                      std::string_view query) {
  try {
    return grammar.Match(query);
  } catch (const std::regex_error&) {
    return std::nullopt;
  }
}

}  // namespace kx
