#include "mapdata/file_bytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace kx {
namespace {

namespace fs = std::filesystem;

TEST(FileBytes, ReplacingLeavesOpenReadersTheOldBytes) {
  const fs::path folder =
      fs::temp_directory_path() / ("kx-file-bytes-" + std::to_string(std::random_device()()));
  fs::create_directories(folder);
  const fs::path file = folder / "a.kml";
  WriteFileBytes(file, "old bytes");
  std::ifstream reader(file, std::ios::binary);
  WriteFileBytes(file, "new");
  EXPECT_EQ(ReadFileBytes(file), "new");
  CopyFileBytes(file, folder / "b.kml");
  CopyFileBytes(file, folder / "b.kml");
  EXPECT_EQ(ReadFileBytes(folder / "b.kml"), "new");
  std::string old;
  std::getline(reader, old);
  EXPECT_EQ(old, "old bytes");
  EXPECT_THROW((void)ReadFileBytes(folder / "missing.kml"), std::system_error);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace kx
