#include "service/file_cleanup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;
using std::chrono::minutes;

class DeleteOldFilesTest : public ::testing::Test {
 protected:
  fs::path Make(const std::string& name, minutes age) {
    const fs::path path = folder_ / name;
    std::ofstream(path) << "x";
    fs::last_write_time(path, now_ - age);
    return path;
  }

  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
  // Whole seconds, which every file system keeps exactly.
  const fs::file_time_type now_ =
      std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now());
};

TEST_F(DeleteOldFilesTest, FilesOlderThanTheLimitGo) {
  const fs::path young = Make("young.kml", minutes(59));
  const fs::path old = Make("old.kmz", minutes(61));
  const fs::path limit = Make("limit.kml", minutes(60));
  DeleteOldFiles(folder_, std::chrono::hours(1), now_);
  EXPECT_TRUE(fs::exists(young));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(limit));  // exactly at the limit stays
}

TEST_F(DeleteOldFilesTest, ReadOnlyFilesAreClearedAndOldOnesDeleted) {
  const fs::path oldReadOnly = Make("a.KMZ", minutes(120));
  const fs::path youngReadOnly = Make("b.kml", minutes(1));
  fs::permissions(oldReadOnly, fs::perms::owner_read);
  fs::permissions(youngReadOnly, fs::perms::owner_read);
  DeleteOldFiles(folder_, std::chrono::hours(1), now_);
  EXPECT_FALSE(fs::exists(oldReadOnly));
  ASSERT_TRUE(fs::exists(youngReadOnly));
  EXPECT_NE(fs::status(youngReadOnly).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(DeleteOldFilesTest, OtherFilesAndMatchingFoldersAreLeftAlone) {
  const fs::path text = Make("notes.txt", minutes(600));
  const fs::path noExtension = Make("kml", minutes(600));
  fs::create_directory(folder_ / "sub.kml");
  DeleteOldFiles(folder_, std::chrono::hours(1), now_ + std::chrono::hours(10));
  EXPECT_TRUE(fs::exists(text));
  EXPECT_TRUE(fs::exists(noExtension));
  EXPECT_TRUE(fs::is_directory(folder_ / "sub.kml"));
}

TEST_F(DeleteOldFilesTest, MissingFolderIsNoError) {
  EXPECT_NO_THROW(DeleteOldFiles(folder_ / "missing", std::chrono::hours(1)));
  EXPECT_NO_THROW(DeleteOldFiles(fs::path(), std::chrono::hours(1)));
}

TEST(GeneratedMapFileName, ExtensionBeginsWithKm) {
  EXPECT_TRUE(IsGeneratedMapFileName("a.kml"));
  EXPECT_TRUE(IsGeneratedMapFileName("a.b.Kmz"));
  EXPECT_TRUE(IsGeneratedMapFileName("x.km"));
  EXPECT_FALSE(IsGeneratedMapFileName("x.kml.txt"));
  EXPECT_FALSE(IsGeneratedMapFileName(".kml"));  // a hidden file without extension
  EXPECT_FALSE(IsGeneratedMapFileName("x.k"));
}

}  // namespace
}  // namespace kx
