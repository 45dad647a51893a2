// Saving INI files on Windows: the file keeps its attributes, a reader that holds the file for a
// moment only delays the save, and a failed save leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/atomic_file.h"
#include "common/ini_file.h"
#include "common/testing/read_file.h"
#include "common/testing/scratch_folder.h"
#include "common/utf8_path.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using kx::testing::ReadFile;

class AtomicFileWin32 : public ::testing::Test {
 protected:
  // The names in the folder, UTF-8, joined by blanks.
  [[nodiscard]] std::string FileNames() const {
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names += (names.empty() ? "" : " ") + Utf8FromPath(entry.path().filename());
    }
    return names;
  }

  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

TEST_F(AtomicFileWin32, SaveReplacesTheFileUnderANonAsciiNameAndKeepsItsAttributes) {
  const fs::path path = folder_ / PathFromUtf8("Пользователи.ini");
  { std::ofstream(path, std::ios::binary) << "[main]\r\nUsersCount=0\r\n"; }
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  if ((GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0) {
    GTEST_SKIP() << "the file system does not keep the hidden attribute";
  }
  IniFile ini = IniFile::Load(path);
  ini.WriteInteger("main", "UsersCount", 1);
  ini.Save(path);
  EXPECT_EQ(ReadFile(path), "[main]\r\nUsersCount=1\r\n");
  EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(FileNames(), "Пользователи.ini");
}

TEST_F(AtomicFileWin32, NewFileIsCreated) {
  const fs::path path = folder_ / "Settings.ini";
  ReplaceFileAtomically(path, "[main]\r\n");
  EXPECT_EQ(ReadFile(path), "[main]\r\n");
  EXPECT_EQ(FileNames(), "Settings.ini");
}

TEST_F(AtomicFileWin32, AReaderHoldingTheFileOnlyDelaysTheSave) {
  const fs::path path = folder_ / "Users.ini";
  { std::ofstream(path, std::ios::binary) << "old"; }
  auto reader = std::make_unique<std::ifstream>(path, std::ios::binary);
  ASSERT_TRUE(reader->is_open());
  std::thread closer([&reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    reader.reset();
  });
  ReplaceFileAtomically(path, "new");
  closer.join();
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(FileNames(), "Users.ini");
}

TEST_F(AtomicFileWin32, FailedSaveThrowsAndLeavesNoTemporaryFile) {
  IniFile ini;
  ini.WriteString("a", "b", "c");
  EXPECT_THROW(ini.Save(folder_ / "missing" / "x.ini"), std::system_error);
  // A folder of the target's name cannot be replaced.
  const fs::path target = folder_ / "Users.ini";
  fs::create_directory(target);
  const fs::path temporary = WriteTemporaryBeside(target, "new");
  EXPECT_THROW(CommitTemporary(temporary, target), std::system_error);
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_TRUE(fs::is_directory(target));
}

}  // namespace
}  // namespace kx
