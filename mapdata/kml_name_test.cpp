#include "mapdata/kml_name.h"

#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/md5.h"
#include "mapdata/host_time.h"

namespace kx {
namespace {

const CivilTime kMoment{2010, 3, 5, 7, 5, 9, 0};

TEST(KmlName, DigestOfTheWindows1251Text) {
  const std::string name = KmlNameAt("Водитель", "AbCdEfGhIjKlMnO", 1234567, kMoment);
  const std::string bytes = Cp1251FromUtf8("Водитель") + "AbCdEfGhIjKlMnO1234567" +
                            Cp1251FromUtf8(HostDateTimeText(kMoment));
  EXPECT_EQ(name, Md5Hex(Md5Of(bytes)) + ".kml");
  EXPECT_EQ(KmlNameAt("guest", "AbCdEfGhIjKlMnO", -1, kMoment),
            Md5Hex(Md5Of("guestAbCdEfGhIjKlMnO-1" + HostDateTimeText(kMoment))) + ".kml");
}

TEST(KmlName, SameSecondSameNameNextSecondAnother) {
  CivilTime later = kMoment;
  later.millisecond = 999;
  EXPECT_EQ(KmlNameAt("a", "s", 5, kMoment), KmlNameAt("a", "s", 5, later));
  later.second += 1;
  EXPECT_NE(KmlNameAt("a", "s", 5, kMoment), KmlNameAt("a", "s", 5, later));
  EXPECT_NE(KmlNameAt("a", "s", 5, kMoment), KmlNameAt("a", "s", 6, kMoment));
}

TEST(KmlName, MakeKmlNameIs32HexDigitsAndKml) {
  const std::string name = MakeKmlName("a", "s", 5);
  ASSERT_EQ(name.size(), 36u);
  EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF"), 32u);
  EXPECT_EQ(name.substr(32), ".kml");
}

}  // namespace
}  // namespace kx
