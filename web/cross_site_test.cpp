#include "web/cross_site.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(IsCrossSite, FetchSiteCrossSiteAlone) {
  EXPECT_TRUE(IsCrossSite("cross-site", "", "127.0.0.1:8080"));
  EXPECT_TRUE(IsCrossSite("Cross-Site", "", "127.0.0.1:8080"));
  for (const char* site : {"same-origin", "same-site", "none", ""}) {
    EXPECT_FALSE(IsCrossSite(site, "", "127.0.0.1:8080")) << site;
  }
}

TEST(IsCrossSite, OriginMustNameTheHostWithItsPort) {
  EXPECT_FALSE(IsCrossSite("", "http://127.0.0.1:8080", "127.0.0.1:8080"));
  EXPECT_FALSE(IsCrossSite("same-origin", "http://KX.example", "kx.example"));
  EXPECT_FALSE(IsCrossSite("", "https://kx.example", "kx.example"));  // behind a TLS proxy
  EXPECT_TRUE(IsCrossSite("same-site", "http://127.0.0.1:9090", "127.0.0.1:8080"));
  EXPECT_TRUE(IsCrossSite("", "http://localhost:8080", "127.0.0.1:8080"));
  EXPECT_TRUE(IsCrossSite("", "http://kx.example.evil", "kx.example"));
  EXPECT_TRUE(IsCrossSite("", "http://127.0.0.1:8080", ""));
}

TEST(IsCrossSite, OpaqueOrUnreadableOriginsDiffer) {
  EXPECT_TRUE(IsCrossSite("", "null", "127.0.0.1:8080"));
  EXPECT_TRUE(IsCrossSite("", "127.0.0.1:8080", "127.0.0.1:8080"));
  EXPECT_TRUE(IsCrossSite("", "http://", ""));
}

}  // namespace
}  // namespace kx
