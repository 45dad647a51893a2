// Recognises a request that a browser sends on behalf of a page of another site, from the
// headers browsers add: Sec-Fetch-Site, and Origin on form posts and scripted requests.
#pragma once

#include <string_view>

namespace kx {

// True when Sec-Fetch-Site is "cross-site", or when there is an Origin and its host (with its
// port, as written) is not the Host header; both compared without regard to letter case. An
// opaque origin ("null") or one that cannot be read differs from every host. Requests with
// neither header (scripts, older browsers) are not cross-site.
[[nodiscard]] bool IsCrossSite(std::string_view fetchSite, std::string_view origin,
                               std::string_view host);

}  // namespace kx
