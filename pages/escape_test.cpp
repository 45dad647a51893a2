#include "pages/escape.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

std::string HtmlEscaped(std::string_view text) {
  std::string out = "<";
  AppendHtmlEscaped(out, text);
  return out.substr(1);
}

std::string JsEscaped(std::string_view text) {
  std::string out = "'";
  AppendJsEscaped(out, text);
  return out.substr(1);
}

TEST(EscapeTest, HtmlEscapesMarkupAndBothQuotes) {
  EXPECT_EQ(HtmlEscaped("a<b>&\"c'd"), "a&lt;b&gt;&amp;&quot;c&#39;d");
  EXPECT_EQ(HtmlEscaped("Иванов_1"), "Иванов_1");
}

TEST(EscapeTest, JsEscapesWhatEndsAStringOrAScript) {
  EXPECT_EQ(JsEscaped("O'Neil"), "O\\x27Neil");
  EXPECT_EQ(JsEscaped("a\\b\"c"), "a\\x5Cb\\x22c");
  EXPECT_EQ(JsEscaped("</script>"), "\\x3C/script\\x3E");
  EXPECT_EQ(JsEscaped("a\r\nb\tc&"), "a\\x0D\\x0Ab\\x09c\\x26");
  EXPECT_EQ(JsEscaped("x\u2028y\u2029z"), "x\\u2028y\\u2029z");
  EXPECT_EQ(JsEscaped("Газель (12)"), "Газель (12)");
}

TEST(EscapeTest, JsKeepsATruncatedMultibyteTail) {
  EXPECT_EQ(JsEscaped("a\xE2\x80"), "a\xE2\x80");
}

}  // namespace
}  // namespace kx
