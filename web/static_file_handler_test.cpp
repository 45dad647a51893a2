#include "web/static_file_handler.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(StaticFileHandlerTest, AcceptsAPlainNameWithTheFolderExtension) {
  EXPECT_TRUE(IsAcceptedStaticName("dtree.js", {"js"}));
  EXPECT_TRUE(IsAcceptedStaticName("KX_park_dis.gif", {"gif", "png", "ico"}));
  EXPECT_TRUE(IsAcceptedStaticName("w3menu-h_2.css", {"css"}));
  EXPECT_TRUE(IsAcceptedStaticName("favicon.ico", {"gif", "png", "ico"}));
}

TEST(StaticFileHandlerTest, RefusesEverythingElse) {
  for (const std::string_view query :
       {"", "dtree", ".js", "dtree.css", "dtree.JS", "dtree.js.js", "../dtree.js", "dtree.js ",
        " dtree.js", "a/b.js", "a%2Fb.js", "dtree.jsx", "dtree.", "a.gif/../../Users.ini",
        "a.gif?x", "Иван.js"}) {
    EXPECT_FALSE(IsAcceptedStaticName(query, {"js", "gif"})) << query;
  }
}

}  // namespace
}  // namespace kx
