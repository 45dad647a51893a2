#include "mapdata/kmz.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/cp1251.h"
#include "mapdata/zip_test_support.h"

namespace kx {
namespace {

using ziptest::Bytes;
using ziptest::ParseArchive;
using ziptest::TempFolder;

std::string FolderText(const TempFolder& folder) {
  return folder.path().string() + "/";
}

TEST(PackKmz, PacksTheKmlBesideItUnderItsFullPath) {
  TempFolder folder;
  const std::string kmlName = "Трек А123ВС.kml";
  const Bytes content = ziptest::ToBytes("<kml><Document><name>Трек</name></Document></kml>");
  ziptest::WriteFile(folder / kmlName, content);
  EXPECT_EQ(PackKmz(FolderText(folder), kmlName), "Трек А123ВС.kmz");
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(folder / "Трек А123ВС.kmz"));
  ASSERT_EQ(archive.entries, 1);
  // Entry names separate folders with "/".
  std::string entryName = Cp1251FromUtf8(FolderText(folder) + kmlName);
  std::replace(entryName.begin(), entryName.end(), '\\', '/');
  EXPECT_EQ(archive.central[0].name, entryName);
  EXPECT_EQ(archive.local[0].method, 8);
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, content.size()), content);
}

TEST(PackKmz, ReplacesEveryKmlInTheName) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml.b.kml", ziptest::ToBytes("x"));
  EXPECT_EQ(PackKmz(FolderText(folder), "a.kml.b.kml"), "a.kmz.b.kmz");
  EXPECT_EQ(ParseArchive(ziptest::ReadFile(folder / "a.kmz.b.kmz")).entries, 1);
}

TEST(PackKmz, PackingAgainReplacesTheArchive) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml", ziptest::RandomBytes(50000, 1));
  ASSERT_EQ(PackKmz(FolderText(folder), "a.kml"), "a.kmz");
  const Bytes second = ziptest::ToBytes("second");
  ziptest::WriteFile(folder / "a.kml", second);
  ASSERT_EQ(PackKmz(FolderText(folder), "a.kml"), "a.kmz");
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(folder / "a.kmz"));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, second.size()), second);
}

// Failures are not reported: a missing KML gives an archive without entries, a missing folder
// no archive; the name is returned all the same.
TEST(PackKmz, FailuresStillReturnTheName) {
  TempFolder folder;
  EXPECT_EQ(PackKmz(FolderText(folder), "missing.kml"), "missing.kmz");
  EXPECT_EQ(ParseArchive(ziptest::ReadFile(folder / "missing.kmz")).entries, 0);
  EXPECT_EQ(PackKmz(FolderText(folder) + "no-such-folder/", "a.kml"), "a.kmz");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "no-such-folder"));
}

}  // namespace
}  // namespace kx
