#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "common/testing/scratch_folder.h"
#include "service/file_cleanup.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

TEST(FileAttributesWin32, TheSweepClearsEveryAttributeAndDeletesOldReadOnlyFiles) {
  kx::testing::ScratchFolder scratch;
  const fs::path young = scratch.path() / "young.kml";
  const fs::path old = scratch.path() / "old.kmz";
  std::ofstream(young) << "x";
  std::ofstream(old) << "x";
  constexpr DWORD kAll = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_ARCHIVE;
  fs::last_write_time(old, fs::last_write_time(old) - std::chrono::hours(2));
  ASSERT_TRUE(SetFileAttributesW(young.c_str(), kAll));
  ASSERT_TRUE(SetFileAttributesW(old.c_str(), kAll));
  DeleteOldFiles(scratch.path(), std::chrono::hours(1));
  EXPECT_FALSE(fs::exists(old));
  // wine shows every regular file with the archive attribute; the others must be gone.
  EXPECT_EQ(GetFileAttributesW(young.c_str()) & (kAll & ~FILE_ATTRIBUTE_ARCHIVE), 0u);
}

}  // namespace
}  // namespace kx
