#include "web/display_settings_query.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kx {
namespace {

struct Layout {
  std::string tablewidth, tableheight, CarsListWidth;
  int GoogleZoom, GoogleType;
  bool operator==(const Layout&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Layout& l) {
    return out << l.tablewidth << "|" << l.tableheight << "|" << l.CarsListWidth << "|"
               << l.GoogleZoom << "|" << l.GoogleType;
  }
};

Layout Read(std::string_view query) {
  const TUserParams p = ReadDisplaySettingsQuery(query);
  return {p.tablewidth, p.tableheight, p.CarsListWidth, p.GoogleZoom, p.GoogleType};
}

const Layout kDefaults{"100%", "90%", "20%", 10, 0};

TEST(ReadDisplaySettingsQuery, ReadsTheFiveItemsTheSettingsPageSends) {
  EXPECT_EQ(Read("tablewidth=1200px&tableheight=95%25&CarsListWidth=250px&GoogleZoom=12&"
                 "GoogleType=2"),
            (Layout{"1200px", "95%25", "250px", 12, 2}));
  EXPECT_EQ(Read("tablewidth=9999px&tableheight=%%&CarsListWidth=1&GoogleZoom=-3&GoogleType=+1"),
            (Layout{"9999px", "%%", "1", -3, 1}));
}

TEST(ReadDisplaySettingsQuery, EmptyOrForeignQueriesGiveTheDefaults) {
  EXPECT_EQ(Read(""), kDefaults);
  EXPECT_EQ(Read("x=1"), kDefaults);
  EXPECT_EQ(Read("tablewidth="), kDefaults);
}

TEST(ReadDisplaySettingsQuery, StopsAtTheFirstItemOutOfPlace) {
  EXPECT_EQ(Read("tableheight=50%&tablewidth=80%&CarsListWidth=30%&GoogleZoom=5&GoogleType=1"),
            kDefaults);
  EXPECT_EQ(Read("tablewidth=80%&CarsListWidth=30%&tableheight=50%&GoogleZoom=5"),
            (Layout{"80%", "90%", "20%", 10, 0}));
  EXPECT_EQ(Read("tablewidth=80%&tableheight=50%&CarsListWidth=30%&GoogleZoom=x&GoogleType=1"),
            (Layout{"80%", "50%", "30%", 10, 0}));
  // Without "&" the first size takes the whole run and nothing else is read.
  EXPECT_EQ(Read("tablewidth=80%tableheight=50%"),
            (Layout{"80%tableheight=50%", "90%", "20%", 10, 0}));
}

TEST(ReadDisplaySettingsQuery, BlanksAndEncodedBlanksVanishBeforeReading) {
  EXPECT_EQ(Read("tablewidth=8 0%&tableheight=%2050%&CarsListWidth=3%200px&GoogleZoom=1%205&"
                 "GoogleType=1"),
            (Layout{"80%", "50%", "30px", 15, 1}));
  // Blanks go first, so a "%20" they split goes too; one that forms only when another "%20"
  // goes stays, and is part of the value.
  EXPECT_EQ(Read("tablewidth=%2 0x").tablewidth, "x");
  EXPECT_EQ(Read("tablewidth=%2%200x").tablewidth, "%20x");
  // Blank runs between items: "&&" is two blanks, which the separating blank accepts.
  EXPECT_EQ(Read("tablewidth=1%&&tableheight=2%").tableheight, "2%");
}

TEST(ReadDisplaySettingsQuery, IntegersInDecimalHexadecimalAndOctal) {
  auto zoomAndType = [](std::string_view items) {
    const Layout l = Read("tablewidth=1%&tableheight=2%&CarsListWidth=3%&" + std::string(items));
    return std::make_pair(l.GoogleZoom, l.GoogleType);
  };
  EXPECT_EQ(zoomAndType("GoogleZoom=0x0C&GoogleType=012"), std::make_pair(12, 10));
  EXPECT_EQ(zoomAndType("GoogleZoom=-0x10&GoogleType=0"), std::make_pair(-16, 0));
  // A leading zero makes octal: "09" reads 0 and leaves "9", where "GoogleType=" should stand.
  EXPECT_EQ(zoomAndType("GoogleZoom=09&GoogleType=1"), std::make_pair(0, 0));
  // "0x" without a hexadecimal digit is the number 0 followed by "x".
  EXPECT_EQ(zoomAndType("GoogleZoom=0xg&GoogleType=1"), std::make_pair(0, 0));
  EXPECT_EQ(zoomAndType("GoogleZoom=99999999999&GoogleType=-99999999999"),
            std::make_pair(2147483647, -2147483647 - 1));
  EXPECT_EQ(zoomAndType("GoogleZoom=-&GoogleType=1"), std::make_pair(10, 0));
}

TEST(ReadDisplaySettingsQuery, SizesAreWindows1251TextCutToTheLongestIniValue) {
  EXPECT_EQ(Read("tablewidth=\xE0\xE1").tablewidth, "аб");
  const std::string longSize(5000, '9');
  EXPECT_EQ(Read("tablewidth=" + longSize + "&tableheight=5%").tablewidth,
            std::string(kIniMaxValueLength, '9'));
  EXPECT_EQ(Read("tablewidth=" + longSize + "&tableheight=5%").tableheight, "5%");
}

}  // namespace
}  // namespace kx
