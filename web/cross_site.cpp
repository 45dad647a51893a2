#include "web/cross_site.h"

#include <algorithm>
#include <cctype>

namespace kx {
namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

// The host and port of an origin ("http://example.com:8080" gives "example.com:8080"), or empty
// when it has none.
std::string_view OriginAuthority(std::string_view origin) {
  constexpr std::string_view kSchemeEnd = "://";
  const size_t start = origin.find(kSchemeEnd);
  if (start == std::string_view::npos) return {};
  const std::string_view rest = origin.substr(start + kSchemeEnd.size());
  return rest.substr(0, rest.find('/'));
}

}  // namespace

bool IsCrossSite(std::string_view fetchSite, std::string_view origin, std::string_view host) {
  if (EqualIgnoringCase(fetchSite, "cross-site")) return true;
  if (origin.empty()) return false;
  const std::string_view authority = OriginAuthority(origin);
  return authority.empty() || !EqualIgnoringCase(authority, host);
}

}  // namespace kx
