#include "mapdata/zip.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "mapdata/crc32.h"
#include "mapdata/testing/zip_test_support.h"

namespace kx {
namespace {

using ziptest::Bytes;
using ziptest::Get32;
using ziptest::ParseArchive;
using ziptest::TempFolder;
using ziptest::ToBytes;

constexpr timespec kModified = {1710074097, 900'000'000};  // 2024-03-10 12:34:57.9 UTC
constexpr timespec kAccessed = {1710118923, 0};            // 2024-03-11 01:02:03 UTC

// Sets a file's last write and last access time (seconds and nanoseconds since 1970, UTC).
void SetFileTimes(const std::string& path, timespec modified, timespec accessed) {
  const timespec times[2] = {accessed, modified};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Creates an archive of the given entries (name, source path); every step must succeed.
Bytes MakeArchive(const std::string& archivePath,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
  TZip zip;
  EXPECT_EQ(zip.Create(archivePath), kZipOk);
  for (const auto& [name, source] : entries) EXPECT_EQ(zip.Add(name, source), kZipOk) << name;
  EXPECT_EQ(zip.Close(), kZipOk);
  return ziptest::ReadFile(archivePath);
}

TEST(TZip, OneDeflatedEntryHasEveryHeaderFieldOfTheLayout) {
  TempFolder folder;
  const std::string source = folder / "track.kml";
  const Bytes content = ToBytes("<kml><Document><name>track</name></Document></kml>\n");
  ziptest::WriteFile(source, content);
  SetFileTimes(source, kModified, kAccessed);
  const std::string name = "C:\\KX\\kml\\track.kml";
  const Bytes bytes = MakeArchive(folder / "track.kmz", {{name, source}});
  const ziptest::Archive archive = ParseArchive(bytes);
  ASSERT_EQ(archive.entries, 1);

  const uint16_t dosTime = 12 * 2048 + 34 * 32 + 28;
  const uint16_t dosDate = (2024 - 1980) << 9 | 3 << 5 | 10;
  const uint32_t crc = Crc32(content);
  const ziptest::LocalRecord& local = archive.local[0];
  EXPECT_EQ(local.versionNeeded, 20);
  EXPECT_EQ(local.flags, 2);
  EXPECT_EQ(local.method, 8);
  EXPECT_EQ(local.time, dosTime);
  EXPECT_EQ(local.date, dosDate);
  EXPECT_EQ(local.crc, crc);
  EXPECT_EQ(local.uncompressedSize, content.size());
  EXPECT_EQ(local.name, "C:/KX/kml/track.kml");
  ASSERT_EQ(local.extra.size(), 17u);
  EXPECT_EQ(Bytes(local.extra.begin(), local.extra.begin() + 5), (Bytes{'U', 'T', 13, 0, 7}));
  EXPECT_EQ(Get32(local.extra, 5), uint32_t(kModified.tv_sec));
  EXPECT_EQ(Get32(local.extra, 9), uint32_t(kAccessed.tv_sec));
  EXPECT_NE(Get32(local.extra, 13), 0u);  // the file's birth time, where the system records it
  EXPECT_EQ(ziptest::Inflate(local.data, content.size()), content);

  const ziptest::CentralRecord& central = archive.central[0];
  EXPECT_EQ(central.versionMadeBy, 0x0B17);
  EXPECT_EQ(central.versionNeeded, 20);
  EXPECT_EQ(central.flags, 2);
  EXPECT_EQ(central.method, 8);
  EXPECT_EQ(central.time, dosTime);
  EXPECT_EQ(central.date, dosDate);
  EXPECT_EQ(central.crc, crc);
  EXPECT_EQ(central.compressedSize, local.compressedSize);
  EXPECT_EQ(central.uncompressedSize, content.size());
  EXPECT_EQ(central.commentLength, 0);
  EXPECT_EQ(central.diskStart, 0);
  EXPECT_EQ(central.internalAttributes, 0);
  EXPECT_EQ(central.externalAttributes, 0x81800020u);
  EXPECT_EQ(central.localHeaderOffset, 0u);
  EXPECT_EQ(central.name, local.name);
  ASSERT_EQ(central.extra.size(), 9u);
  EXPECT_EQ(Bytes(central.extra.begin(), central.extra.begin() + 5), (Bytes{'U', 'T', 5, 0, 7}));
  EXPECT_EQ(Get32(central.extra, 5), uint32_t(kModified.tv_sec));

  const size_t n = local.name.size();
  EXPECT_EQ(archive.disk, 0);
  EXPECT_EQ(archive.directoryDisk, 0);
  EXPECT_EQ(archive.entriesOnDisk, 1);
  EXPECT_EQ(archive.directorySize, 46 + n + 9);
  EXPECT_EQ(archive.directoryOffset, 30 + n + 17 + local.compressedSize);
  EXPECT_EQ(archive.commentLength, 0);
  EXPECT_EQ(bytes.size(), 30 + n + 17 + local.compressedSize + 46 + n + 9 + 22);
}

TEST(TZip, EmptySourceGivesAnEmptyDeflateStream) {
  TempFolder folder;
  ziptest::WriteFile(folder / "empty.kml", {});
  const ziptest::Archive archive =
      ParseArchive(MakeArchive(folder / "empty.kmz", {{"empty.kml", folder / "empty.kml"}}));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(archive.local[0].crc, 0u);
  EXPECT_EQ(archive.local[0].uncompressedSize, 0u);
  EXPECT_EQ(archive.local[0].data, (Bytes{0x03, 0x00}));
  EXPECT_EQ(archive.central[0].compressedSize, 2u);
}

TEST(TZip, ReadOnlySourceAndLongNamesAreRecorded) {
  TempFolder folder;
  const std::string source = folder / "a.kml";
  ziptest::WriteFile(source, ToBytes("data"));
  ASSERT_EQ(::chmod(source.c_str(), 0444), 0);
  const std::string longName = std::string(150, 'x') + "\\" + std::string(149, 'y') + ".kml";
  const ziptest::Archive archive =
      ParseArchive(MakeArchive(folder / "a.kmz", {{longName, source}}));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(archive.central[0].externalAttributes, 0x81000021u);
  EXPECT_EQ(archive.central[0].name, std::string(150, 'x') + "/" + std::string(108, 'y'));
  EXPECT_EQ(archive.local[0].name.size(), 259u);
}

TEST(TZip, CompressedArchivesAreStoredAndEntriesFollowEachOther) {
  TempFolder folder;
  const Bytes packed = ziptest::RandomBytes(40000, 1);
  const Bytes text = ToBytes(std::string(5000, 'k'));
  ziptest::WriteFile(folder / "inner.zip", packed);
  ziptest::WriteFile(folder / "a.kml", text);
  const ziptest::Archive archive =
      ParseArchive(MakeArchive(folder / "outer.zip", {{"first.kml", folder / "a.kml"},
                                                      {"INNER.GZ", folder / "inner.zip"},
                                                      {"second.kml", folder / "a.kml"}}));
  ASSERT_EQ(archive.entries, 3);
  EXPECT_EQ(archive.local[1].method, 0);
  EXPECT_EQ(archive.local[1].flags, 0);
  EXPECT_EQ(archive.local[1].data, packed);
  EXPECT_EQ(archive.central[1].compressedSize, packed.size());
  EXPECT_EQ(archive.central[1].crc, Crc32(packed));
  for (const size_t i : {0u, 2u}) {
    EXPECT_EQ(archive.local[i].method, 8);
    EXPECT_EQ(ziptest::Inflate(archive.local[i].data, text.size()), text);
  }
  EXPECT_EQ(archive.central[0].localHeaderOffset, 0u);
  EXPECT_EQ(archive.central[1].localHeaderOffset, 30 + 9 + 17 + archive.central[0].compressedSize);
  EXPECT_EQ(archive.central[2].localHeaderOffset,
            archive.central[1].localHeaderOffset + 30 + 8 + 17 + packed.size());
}

TEST(TZip, WithoutAnArchiveThereIsNoWriter) {
  TempFolder folder;
  const std::string archivePath = folder / "missing-folder/a.kmz";
  TZip zip;
  EXPECT_EQ(zip.Create(archivePath), kZipCannotOpen);
  EXPECT_EQ(zip.Add("a.kml", folder / "a.kml"), kZipBadArgument);
  EXPECT_EQ(zip.Close(), kZipBadArgument);
  EXPECT_FALSE(std::filesystem::exists(archivePath));
  EXPECT_EQ(zip.Create(""), kZipCannotOpen);
}

TEST(TZip, RefusedEntriesLeaveAValidArchiveWithoutThem) {
  TempFolder folder;
  ziptest::WriteFile(folder / "a.kml", ToBytes("a"));
  std::filesystem::create_directory(folder.path() / "folder.kml");
  TZip zip;
  ASSERT_EQ(zip.Create(folder / "a.kmz"), kZipOk);
  EXPECT_EQ(zip.Add("", folder / "a.kml"), kZipBadArgument);
  EXPECT_EQ(zip.Add("a.kml", ""), kZipBadArgument);
  EXPECT_EQ(zip.Add("b.kml", folder / "missing.kml"), kZipCannotOpen);
  EXPECT_EQ(zip.Add("c.kml", folder / "folder.kml"), kZipCannotOpen);
  EXPECT_EQ(zip.Close(), kZipOk);
  EXPECT_EQ(zip.Close(), kZipBadArgument);
  const Bytes bytes = ziptest::ReadFile(folder / "a.kmz");
  EXPECT_EQ(bytes.size(), 22u);
  EXPECT_EQ(ParseArchive(bytes).entries, 0);
}

TEST(TZip, FilesHeldByOtherWritersAreNotTouched) {
  TempFolder folder;
  const std::string archivePath = folder / "a.kmz";
  const std::string source = folder / "a.kml";
  ziptest::WriteFile(archivePath, ToBytes("someone else's archive"));
  ziptest::WriteFile(source, ToBytes("kml"));
  const int holder = ::open(archivePath.c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  TZip zip;
  EXPECT_EQ(zip.Create(archivePath), kZipCannotOpen);
  EXPECT_EQ(ziptest::ReadFile(archivePath), ToBytes("someone else's archive"));
  ::close(holder);

  const int writer = ::open(source.c_str(), O_RDWR);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  ASSERT_EQ(zip.Create(archivePath), kZipOk);
  EXPECT_EQ(zip.Add("a.kml", source), kZipCannotOpen);
  ::close(writer);
  EXPECT_EQ(zip.Add("a.kml", source), kZipOk);
  EXPECT_EQ(zip.Close(), kZipOk);
  EXPECT_EQ(ParseArchive(ziptest::ReadFile(archivePath)).entries, 1);
}

TEST(TZip, CreatingAgainReplacesTheWholeArchive) {
  TempFolder folder;
  ziptest::WriteFile(folder / "big.kml", ziptest::RandomBytes(100000, 2));
  ziptest::WriteFile(folder / "small.kml", ToBytes("small"));
  const size_t bigSize = MakeArchive(folder / "a.kmz", {{"big.kml", folder / "big.kml"}}).size();
  const Bytes replaced = MakeArchive(folder / "a.kmz", {{"small.kml", folder / "small.kml"}});
  EXPECT_LT(replaced.size(), bigSize);
  const ziptest::Archive archive = ParseArchive(replaced);
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(archive.central[0].name, "small.kml");
}

TEST(TZip, AReaderOfTheOldArchiveReadsItToItsEnd) {
  TempFolder folder;
  ziptest::WriteFile(folder / "big.kml", ziptest::RandomBytes(100000, 3));
  ziptest::WriteFile(folder / "small.kml", ToBytes("small"));
  const Bytes old = MakeArchive(folder / "a.kmz", {{"big.kml", folder / "big.kml"}});
  std::ifstream reader(folder / "a.kmz", std::ios::binary);  // a reply still sending it
  (void)MakeArchive(folder / "a.kmz", {{"small.kml", folder / "small.kml"}});
  const Bytes read{std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()};
  EXPECT_EQ(read, old);
}

// Keeps file writes of this process below a size limit while it lives, so that writes beyond
// it fail as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {bytes, saved_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_;
  sighandler_t previousHandler_;
};

TEST(TZip, AFailedWriteDropsTheEntryButKeepsTheOthers) {
  TempFolder folder;
  ziptest::WriteFile(folder / "small.kml", ToBytes("small kml"));
  ziptest::WriteFile(folder / "large.kml", ziptest::RandomBytes(200000, 3));
  TZip zip;
  ASSERT_EQ(zip.Create(folder / "a.kmz"), kZipOk);
  {
    const FileSizeLimit limit(50000);
    EXPECT_EQ(zip.Add("small.kml", folder / "small.kml"), kZipOk);
    EXPECT_EQ(zip.Add("large.kml", folder / "large.kml"), kZipWriteFailed);
    EXPECT_EQ(zip.Close(), kZipOk);
  }
  const ziptest::Archive archive = ParseArchive(ziptest::ReadFile(folder / "a.kmz"));
  ASSERT_EQ(archive.entries, 1);
  EXPECT_EQ(archive.central[0].name, "small.kml");
  EXPECT_EQ(ziptest::Inflate(archive.local[0].data, 9), ToBytes("small kml"));
}

TEST(TZip, SourcesTooLargeForTheRecordsAreRefused) {
  TempFolder folder;
  const std::string source = folder / "huge.kml";
  ziptest::WriteFile(source, {});
  std::filesystem::resize_file(source, (uint64_t{1} << 32) + 1);  // sparse: takes no space
  TZip zip;
  ASSERT_EQ(zip.Create(folder / "a.kmz"), kZipOk);
  EXPECT_EQ(zip.Add("huge.kml", source), kZipWriteFailed);
  EXPECT_EQ(zip.Close(), kZipOk);
  EXPECT_EQ(ziptest::ReadFile(folder / "a.kmz").size(), 22u);
}

}  // namespace
}  // namespace kx
