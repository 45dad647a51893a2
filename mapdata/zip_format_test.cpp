#include "mapdata/zip_format.h"

#include <gtest/gtest.h>

namespace kx::zip {
namespace {

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

FileTime FromUnix(int64_t seconds, uint32_t hundredsOfNanoseconds = 0) {
  return FileTime((seconds + kSecondsFrom1601To1970) * int64_t(kTicksPerSecond)) +
         hundredsOfNanoseconds;
}

uint16_t DosDate(int year, int month, int day) {
  return uint16_t((year - 1980) << 9 | month << 5 | day);
}

TEST(ZipFormat, DosTimeAndDateAreTheLastWriteTimeInUtc) {
  // 2024-03-10 12:34:57.9 UTC: seconds are halved and rounded down.
  const DosDateTime t = ToDosDateTime(FromUnix(1710074097, 9'000'000));
  EXPECT_EQ(t.time, 12 * 2048 + 34 * 32 + 28);
  EXPECT_EQ(t.date, DosDate(2024, 3, 10));
  // A leap day, the last second of a year, and the first day the format knows.
  EXPECT_EQ(ToDosDateTime(FromUnix(1709208000)).date, DosDate(2024, 2, 29));
  const DosDateTime endOf1999 = ToDosDateTime(FromUnix(946684799));
  EXPECT_EQ(endOf1999.date, DosDate(1999, 12, 31));
  EXPECT_EQ(endOf1999.time, 23 * 2048 + 59 * 32 + 29);
  EXPECT_EQ(ToDosDateTime(FromUnix(315532800)).date, DosDate(1980, 1, 1));
  // Years outside 1980..2107 keep their low seven bits of (year - 1980).
  EXPECT_EQ(ToDosDateTime(FromUnix(0)).date,
            uint16_t((uint32_t(1970 - 1980) & 0x7F) << 9 | 1 << 5 | 1));
}

TEST(ZipFormat, UnixTimesAreWholeSecondsSince1970) {
  EXPECT_EQ(UnixTime(FromUnix(1710074097, 9'999'999)), 1710074097u);
  EXPECT_EQ(UnixTime(FromUnix(0)), 0u);
  EXPECT_EQ(UnixTime(FromUnix(4294967295)), 4294967295u);
}

TEST(ZipFormat, ExternalAttributesCarryDosBitsAndAUnixMode) {
  EXPECT_EQ(ExternalAttributes(kDosArchive), 0x81800020u);
  EXPECT_EQ(ExternalAttributes(kDosArchive | kDosReadOnly), 0x81000021u);
  EXPECT_EQ(ExternalAttributes(kDosArchive | kDosHidden | kDosSystem), 0x81800026u);
  EXPECT_EQ(ExternalAttributes(kDosDirectory), 0x41800010u);
}

TEST(ZipFormat, CompressedArchiveNamesAreStored) {
  for (const char* name :
       {"a.Z", "a.zip", "A.ZIP", "x/y.Zoo", "b.arc", "c.LZH", "d.arj", "e.gz", "f.tgz", ".gz"}) {
    EXPECT_TRUE(IsStoredName(name)) << name;
  }
  for (const char* name : {"a.kml", "a.kmz", "zip", "a.zipx", "a.z.kml", "a.gz ", "", "z"}) {
    EXPECT_FALSE(IsStoredName(name)) << name;
  }
}

TEST(ZipFormat, EntryNamesAreCutTo259BytesWithForwardSlashes) {
  EXPECT_EQ(EntryName("C:\\KX\\kml\\a.kml"), "C:/KX/kml/a.kml");
  const std::string longName(300, 'n');
  EXPECT_EQ(EntryName(longName), std::string(259, 'n'));
  EXPECT_EQ(EntryName(std::string(259, '\\')), std::string(259, '/'));
}

TEST(ZipFormat, RecordsHaveTheirLayout) {
  EntryFields entry;
  entry.flags = 2;
  entry.method = 8;
  entry.modified = {0x1234, 0x5678};
  entry.crc = 0xCBF43926;
  entry.compressedSize = 11;
  entry.uncompressedSize = 9;
  entry.name = "a.kml";
  std::vector<uint8_t> local;
  AppendLocalHeader(local, entry, {0x01020304, 0x05060708, 0x090A0B0C});
  const std::vector<uint8_t> expectedLocal = {
      0x50, 0x4B, 0x03, 0x04, 20,   0,    2,    0,    8,    0,    0x34, 0x12, 0x78,
      0x56, 0x26, 0x39, 0xF4, 0xCB, 11,   0,    0,    0,    9,    0,    0,    0,
      5,    0,    17,   0,    'a',  '.',  'k',  'm',  'l',  'U',  'T',  13,   0,
      7,    0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x0C, 0x0B, 0x0A, 0x09};
  EXPECT_EQ(local, expectedLocal);

  std::vector<uint8_t> central;
  AppendCentralHeader(central, entry, 0x01020304, 0x81800020, 0x11223344);
  const std::vector<uint8_t> expectedCentral = {
      0x50, 0x4B, 0x01, 0x02, 0x17, 0x0B, 20,  0,   2,    0, 8,    0,    0x34, 0x12, 0x78,
      0x56, 0x26, 0x39, 0xF4, 0xCB, 11,   0,   0,   0,    9, 0,    0,    0,    5,    0,
      9,    0,    0,    0,    0,    0,    0,   0,   0x20, 0, 0x80, 0x81, 0x44, 0x33, 0x22,
      0x11, 'a',  '.',  'k',  'm',  'l',  'U', 'T', 5,    0, 7,    0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(central, expectedCentral);

  std::vector<uint8_t> end;
  AppendEndRecord(end, 1, 60, 63);
  const std::vector<uint8_t> expectedEnd = {0x50, 0x4B, 0x05, 0x06, 0, 0,  0, 0, 1, 0, 1,
                                            0,    60,   0,    0,    0, 63, 0, 0, 0, 0, 0};
  EXPECT_EQ(end, expectedEnd);
}

}  // namespace
}  // namespace kx::zip
