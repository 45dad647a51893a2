#include "web/body_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <system_error>

#include "common/testing/scratch_folder.h"

namespace kx::web {
namespace {

namespace fs = std::filesystem;

class BodyFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

std::string ReadAll(BodyFile& file, size_t chunk) {
  std::string bytes;
  std::string buffer(chunk, '\0');
  while (const size_t got = file.Read(buffer.data(), buffer.size())) bytes.append(buffer, 0, got);
  return bytes;
}

TEST_F(BodyFileTest, ReadsTheWholeFileInChunksAndSeveralReadersAreIndependent) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content += std::to_string(i) + '\n';
  const fs::path path = Write("data.kmz", content);
  const auto first = BodyFile::Open(path);
  const auto second = BodyFile::Open(path);
  EXPECT_EQ(first->Size(), content.size());
  char head[10];
  ASSERT_EQ(second->Read(head, sizeof head), sizeof head);
  EXPECT_EQ(ReadAll(*first, 4096), content);
  EXPECT_EQ(ReadAll(*second, 777), content.substr(sizeof head));
}

TEST_F(BodyFileTest, EmptyFileHasSizeZero) {
  const auto file = BodyFile::Open(Write("empty", ""));
  EXPECT_EQ(file->Size(), 0u);
  EXPECT_EQ(ReadAll(*file, 16), "");
}

TEST_F(BodyFileTest, MissingFilesAndFoldersAreRefused) {
  EXPECT_THROW((void)BodyFile::Open(folder_ / "missing"), std::system_error);
  EXPECT_THROW((void)BodyFile::Open(folder_), std::system_error);
}

}  // namespace
}  // namespace kx::web
