#include "web/detail/request_text.h"

#include <gtest/gtest.h>

namespace kx::web::detail {
namespace {

TEST(SplitTarget, QueryIsEverythingAfterTheFirstQuestionMark) {
  EXPECT_EQ(SplitTarget("/kxserver/car?DevNum=5&GMT=3").path, "/kxserver/car");
  EXPECT_EQ(SplitTarget("/kxserver/car?DevNum=5&GMT=3").query, "DevNum=5&GMT=3");
  EXPECT_EQ(SplitTarget("/a?b?c").query, "b?c");
  EXPECT_EQ(SplitTarget("/a?").path, "/a");
  EXPECT_EQ(SplitTarget("/a?").query, "");
  EXPECT_EQ(SplitTarget("/a").query, "");
}

TEST(PercentDecode, DecodesValidEscapesAndKeepsEverythingElse) {
  EXPECT_EQ(PercentDecode("/kxserver/%6Dain"), "/kxserver/main");
  EXPECT_EQ(PercentDecode("/img/a%20b%2fc%2Fd"), "/img/a b/c/d");
  EXPECT_EQ(PercentDecode("/%D0%BA"), "/\xD0\xBA");
  EXPECT_EQ(PercentDecode("/a+b"), "/a+b");
  EXPECT_EQ(PercentDecode("/%zz/%4/%"), "/%zz/%4/%");
  EXPECT_EQ(PercentDecode("/%4g%41"), "/%4gA");
  EXPECT_EQ(PercentDecode("%%41"), "%A");
  EXPECT_EQ(PercentDecode("/x%41"), "/xA");  // an escape that ends the text
}

TEST(FindCookie, FindsTheExactNameAmongOthers) {
  EXPECT_EQ(FindCookie("IDHTTPSESSIONID=abc", "IDHTTPSESSIONID"), "abc");
  EXPECT_EQ(FindCookie("x=1;  IDHTTPSESSIONID=abc ; y=2", "IDHTTPSESSIONID"), "abc");
  EXPECT_EQ(FindCookie("XIDHTTPSESSIONID=bad; IDHTTPSESSIONID=good", "IDHTTPSESSIONID"), "good");
  EXPECT_EQ(FindCookie("IDHTTPSESSIONID=first; IDHTTPSESSIONID=second", "IDHTTPSESSIONID"),
            "first");
  EXPECT_EQ(FindCookie("idhttpsessionid=abc", "IDHTTPSESSIONID"), "");
  EXPECT_EQ(FindCookie("IDHTTPSESSIONID", "IDHTTPSESSIONID"), "");
  EXPECT_EQ(FindCookie("", "IDHTTPSESSIONID"), "");
  EXPECT_EQ(FindCookie(";;IDHTTPSESSIONID=v;", "IDHTTPSESSIONID"), "v");
}

TEST(IsFormContentType, OnlyTheBareTypeInAnyLetterCase) {
  EXPECT_TRUE(IsFormContentType("application/x-www-form-urlencoded"));
  EXPECT_TRUE(IsFormContentType("Application/X-WWW-Form-URLEncoded"));
  EXPECT_TRUE(IsFormContentType(" application/x-www-form-urlencoded\t"));
  EXPECT_FALSE(IsFormContentType("application/x-www-form-urlencoded; charset=UTF-8"));
  EXPECT_FALSE(IsFormContentType("multipart/form-data; boundary=x"));
  EXPECT_FALSE(IsFormContentType("application/x-www-form-urlencode"));
  EXPECT_FALSE(IsFormContentType(""));
}

}  // namespace
}  // namespace kx::web::detail
