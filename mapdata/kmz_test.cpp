#include "mapdata/kmz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/cp1251.h"
#include "mapdata/testing/zip_test_support.h"

namespace kx {
namespace {

using ziptest::Bytes;
using ziptest::ParseArchive;
using ziptest::TempFolder;

// The folder as the archive names it: UTF-8 with "/" separators, ending with one.
std::string FolderText(const std::filesystem::path& folder) {
  std::string text = Utf8FromPath(folder);
  std::replace(text.begin(), text.end(), '\\', '/');
  return text + "/";
}

TEST(PackKmz, PacksTheKmlBesideItUnderItsFullPath) {
  TempFolder folder;
  const std::string kmlName = "Трек А123ВС.kml";
  const Bytes content = ziptest::ToBytes("<kml><Document><name>Трек</name></Document></kml>");
  ziptest::WriteFile(folder / kmlName, content);
  EXPECT_EQ(PackKmz(folder.path(), kmlName), "Трек А123ВС.kmz");
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(folder / "Трек А123ВС.kmz"));
  ASSERT_EQ(archive.entries, 1);
  // Entry names separate folders with "/".
  std::string entryName = Cp1251FromUtf8(FolderText(folder.path()) + kmlName);
  std::replace(entryName.begin(), entryName.end(), '\\', '/');
  EXPECT_EQ(archive.central[0].name, entryName);
  EXPECT_EQ(archive.local[0].method, 8);
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, content.size()), content);
}

// The files are reached by their own names; only the entry name is windows-1251.
TEST(PackKmz, FolderWithCharactersWindows1251Lacks) {
  TempFolder scratch;
  const std::filesystem::path folder = PathFromUtf8(scratch / "карта 地图");
  std::filesystem::create_directory(folder);
  const Bytes content = ziptest::ToBytes("<kml/>");
  ziptest::WriteFile(Utf8FromPath(folder / "a.kml"), content);
  EXPECT_EQ(PackKmz(folder, "a.kml"), "a.kmz");
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(Utf8FromPath(folder / "a.kmz")));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(archive.central[0].name,
            Cp1251FromUtf8(FolderText(scratch.path())) + "\xEA\xE0\xF0\xF2\xE0 ?" + "?/a.kml");
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, content.size()), content);
}

TEST(PackKmz, ReplacesEveryKmlInTheName) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml.b.kml", ziptest::ToBytes("x"));
  EXPECT_EQ(PackKmz(folder.path(), "a.kml.b.kml"), "a.kmz.b.kmz");
  EXPECT_EQ(ParseArchive(ziptest::ReadFile(folder / "a.kmz.b.kmz")).entries, 1);
}

TEST(PackKmz, PackingAgainReplacesTheArchive) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml", ziptest::RandomBytes(50000, 1));
  ASSERT_EQ(PackKmz(folder.path(), "a.kml"), "a.kmz");
  const Bytes second = ziptest::ToBytes("second");
  ziptest::WriteFile(folder / "a.kml", second);
  ASSERT_EQ(PackKmz(folder.path(), "a.kml"), "a.kmz");
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(folder / "a.kmz"));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, second.size()), second);
}

// A fetch while the same archive is packed again reads the old archive or the new one, whole:
// every read ends with the end record, and no temporary file stays behind.
TEST(PackKmz, ReadersDuringARepackSeeAWholeArchive) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml", ziptest::RandomBytes(400000, 7));
  ASSERT_EQ(PackKmz(folder.path(), "a.kml"), "a.kmz");
  std::atomic<bool> packing{true};
  std::thread packer([&] {
    for (int i = 0; i < 12; ++i) (void)PackKmz(folder.path(), "a.kml");
    packing = false;
  });
  int reads = 0;
  int partial = 0;
  while (packing) {
    std::ifstream file(folder / "a.kmz", std::ios::binary);
    // On Windows the name can be free for a moment while an archive that a reader holds is moved
    // aside: a fetch then finds none and answers as for a missing archive, never with half of one.
    if (!file) continue;
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    ++reads;
    if (bytes.size() < 22 || bytes.compare(bytes.size() - 22, 4, "PK\x05\x06") != 0) ++partial;
  }
  packer.join();
  EXPECT_GT(reads, 0);
  EXPECT_EQ(partial, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

TEST(PackKmz, FailuresGiveNoName) {
  TempFolder folder;
  EXPECT_EQ(PackKmz(folder.path(), "missing.kml"), std::nullopt);
  EXPECT_EQ(PackKmz(folder.path() / "no-such-folder", "a.kml"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "no-such-folder"));
}

}  // namespace
}  // namespace kx
