#include "mapdata/file_bytes.h"

#include <gtest/gtest.h>

#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

TEST(FileBytes, WritesReplaceCopiesOverwriteAndAMissingFileThrows) {
  const testing::ScratchFolder scratch;
  const fs::path folder = scratch.path();
  const fs::path file = folder / "a.kml";
  WriteFileBytes(file, "old bytes");
  WriteFileBytes(file, "new");
  EXPECT_EQ(ReadFileBytes(file), "new");
  CopyFileBytes(file, folder / "b.kml");
  CopyFileBytes(file, folder / "b.kml");
  EXPECT_EQ(ReadFileBytes(folder / "b.kml"), "new");
  EXPECT_THROW((void)ReadFileBytes(folder / "missing.kml"), std::system_error);
}

}  // namespace
}  // namespace kx
