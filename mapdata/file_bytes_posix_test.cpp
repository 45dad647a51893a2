// POSIX only: a reader that opened the file before it was replaced keeps the old bytes. On Windows
// the C runtime's readers do not share deletion, so a replace waits for them instead.
#include "mapdata/file_bytes.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

TEST(FileBytesPosix, ReplacingLeavesOpenReadersTheOldBytes) {
  const testing::ScratchFolder scratch;
  const std::filesystem::path file = scratch.path() / "a.kml";
  WriteFileBytes(file, "old bytes");
  std::ifstream reader(file, std::ios::binary);
  WriteFileBytes(file, "new");
  EXPECT_EQ(ReadFileBytes(file), "new");
  std::string old;
  std::getline(reader, old);
  EXPECT_EQ(old, "old bytes");
}

}  // namespace
}  // namespace kx
