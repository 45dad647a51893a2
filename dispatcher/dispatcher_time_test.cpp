#include "dispatcher/dispatcher_time.h"

#include <gtest/gtest.h>

#include <limits>

namespace kx {
namespace {

TEST(DispatcherTime, BothTextFormsReadTheSameInstant) {
  const auto iso = ParseIsoDateTime("2010-03-05 07:05:09");
  ASSERT_TRUE(iso.has_value());
  EXPECT_EQ(*iso, 1267772709);
  EXPECT_EQ(ParseDispatcherDateTime("05.03.2010 07:05:09"), iso);
  EXPECT_EQ(FormatIsoDateTime(*iso), "2010-03-05 07:05:09");
  EXPECT_EQ(FormatDispatcherDateTime(*iso), "05.03.2010 07:05:09");
}

TEST(DispatcherTime, ImpossibleOrLooseTextsAreRejected) {
  for (const char* text :
       {"2011-02-29 00:00:00", "2010-13-01 00:00:00", "2010-03-05 24:00:00", "2010-03-05 07:60:00",
        "2010-03-05 7:05:00", "2010-03-05T07:05:00", "2010-03-05 07:05:00 ", "+010-03-05 07:05:00",
        "2010-03-00 07:05:00", ""}) {
    EXPECT_FALSE(ParseIsoDateTime(text).has_value()) << text;
  }
  EXPECT_TRUE(ParseIsoDateTime("2012-02-29 23:59:59").has_value());
  EXPECT_FALSE(ParseDispatcherDateTime("99.99.2010 25:00:00").has_value());
  EXPECT_FALSE(ParseDispatcherDateTime("5.03.2010 07:05:00").has_value());
}

TEST(DispatcherTime, ShiftsCrossDaysYearsAndTheEpoch) {
  const UtcSeconds late = *ParseIsoDateTime("2010-12-31 23:30:00");
  EXPECT_EQ(FormatIsoDateTime(ShiftByHours(late, 3)), "2011-01-01 02:30:00");
  EXPECT_EQ(FormatIsoDateTime(ShiftByHours(0, -1)), "1969-12-31 23:00:00");
  EXPECT_EQ(ParseIsoDateTime(FormatIsoDateTime(ShiftByHours(late, -12))), ShiftByHours(late, -12));
}

// Every text has a four-digit year: a time outside the years 1 to 9999 is refused, never
// written with a longer or negative year.
TEST(DispatcherTime, OnlyTheYearsOneToNineThousandNineHundredNinetyNine) {
  const UtcSeconds last = *ParseIsoDateTime("9999-12-31 23:59:59");
  EXPECT_EQ(FormatDispatcherDateTime(last), "31.12.9999 23:59:59");
  EXPECT_EQ(FormatIsoDateTime(*ParseIsoDateTime("0001-01-01 00:00:00")), "0001-01-01 00:00:00");
  EXPECT_THROW((void)FormatDispatcherDateTime(last + 1), std::out_of_range);
  EXPECT_THROW((void)FormatIsoDateTime(*ParseIsoDateTime("0001-01-01 00:00:00") - 1),
               std::out_of_range);
  EXPECT_THROW((void)FormatDispatcherDateTime(ShiftByHours(0, std::numeric_limits<int32_t>::max())),
               std::out_of_range);
  EXPECT_FALSE(ParseIsoDateTime("0000-12-31 00:00:00").has_value());
}

}  // namespace
}  // namespace kx
