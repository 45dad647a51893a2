// Matching the raw query string of a scripted request against its grammar.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/request_pattern.h"

namespace kx {

// The capture groups of the grammar over the raw (undecoded) query, or nullopt when it does not
// match. A failure of the matcher itself counts as no match: the request is then answered as
// one with bad parameters.
[[nodiscard]] std::optional<std::vector<std::string>> MatchRawQuery(const RequestPattern& grammar,
                                                                    std::string_view query);

}  // namespace kx
