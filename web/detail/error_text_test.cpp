#include "web/detail/error_text.h"

#include <gtest/gtest.h>

namespace kx::web::detail {
namespace {

TEST(WithoutAbsolutePaths, PathsBecomeTheirLastName) {
  EXPECT_EQ(WithoutAbsolutePaths("cannot read /tmp/kx folder/Users.ini: Is a directory"),
            "cannot read Users.ini: Is a directory");
  EXPECT_EQ(WithoutAbsolutePaths("filesystem error: status: File name too long [/srv/kx/kml/"
                                 "0123.kmz] [/srv/other/]"),
            "filesystem error: status: File name too long [0123.kmz] [other]");
  EXPECT_EQ(WithoutAbsolutePaths("cannot replace C:\\KX\\Users.ini"), "cannot replace Users.ini");
  EXPECT_EQ(WithoutAbsolutePaths("open \"\\\\host\\share\\x.kml\" failed"),
            "open \"x.kml\" failed");
  EXPECT_EQ(WithoutAbsolutePaths("/"), "");
}

TEST(WithoutAbsolutePaths, OtherTextStays) {
  EXPECT_EQ(WithoutAbsolutePaths("invalid HTTP status 42"), "invalid HTTP status 42");
  EXPECT_EQ(WithoutAbsolutePaths("a/b and c:d, 3/4 km/h"), "a/b and c:d, 3/4 km/h");
  EXPECT_EQ(WithoutAbsolutePaths("track line 7 is malformed"), "track line 7 is malformed");
  EXPECT_EQ(WithoutAbsolutePaths(""), "");
}

}  // namespace
}  // namespace kx::web::detail
