#include "pages/template_lines.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using Lines = std::vector<std::string_view>;

TEST(TemplateLinesTest, SplitsAtLineFeedsAndDropsCarriageReturns) {
  EXPECT_EQ(SplitTemplateLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitTemplateLines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(SplitTemplateLines("\n"), (Lines{""}));
  EXPECT_TRUE(SplitTemplateLines("").empty());
}

TEST(TemplateLinesTest, EveryTemplateIsBuiltIn) {
  for (int i = 0; i <= static_cast<int>(PageTemplate::InetXPageCounters); ++i) {
    EXPECT_FALSE(TemplateLines(static_cast<PageTemplate>(i)).empty()) << i;
  }
}

TEST(TemplateLinesTest, HeadIsNineLinesAndCountersEndWithAnEmptyLine) {
  EXPECT_EQ(TemplateLines(PageTemplate::InetXPageHeader).size(), 9u);
  EXPECT_EQ(TemplateLines(PageTemplate::InetXPageCounters),
            (Lines{"[LICntr]", "[HotLogCntr]", "[GoogleCntr]", ""}));
}

}  // namespace
}  // namespace kx
