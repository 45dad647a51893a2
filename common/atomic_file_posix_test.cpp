// Saving INI files on POSIX systems: the file keeps its mode, and a crash or a failure before
// the rename leaves the old file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "common/atomic_file.h"
#include "common/ini_file.h"
#include "common/testing/read_file.h"
#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using kx::testing::ReadFile;

class AtomicFilePosix : public ::testing::Test {
 protected:
  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

TEST_F(AtomicFilePosix, SaveReplacesTheFileAndKeepsItsMode) {
  const fs::path path = folder_ / "Users.ini";
  { std::ofstream(path, std::ios::binary) << "[main]\r\nUsersCount=0\r\n"; }
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  IniFile ini = IniFile::Load(path);
  ini.WriteInteger("main", "UsersCount", 1);
  ini.Save(path);
  EXPECT_EQ(ReadFile(path), "[main]\r\nUsersCount=1\r\n");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(AtomicFilePosix, CrashBetweenTemporaryWriteAndRenameLeavesTheOldFile) {
  const fs::path path = folder_ / "Users.ini";
  { std::ofstream(path, std::ios::binary) << "old"; }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    (void)WriteTemporaryBeside(path, "new content");
    ::_exit(0);  // dies before the rename
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(ReadFile(path), "old");
  EXPECT_EQ(IniFile::Load(path).Bytes(), "old");
}

TEST_F(AtomicFilePosix, FailedSaveLeavesTheFileByteIdentical) {
  if (::geteuid() == 0) {
    // root ignores folder permissions; use a folder that does not exist instead
    IniFile ini;
    ini.WriteString("a", "b", "c");
    EXPECT_THROW(ini.Save(folder_ / "missing" / "x.ini"), std::system_error);
    return;
  }
  const fs::path path = folder_ / "Users.ini";
  { std::ofstream(path, std::ios::binary) << "keep"; }
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  IniFile ini = IniFile::Load(path);
  ini.WriteString("a", "b", "c");
  EXPECT_THROW(ini.Save(path), std::system_error);
  EXPECT_EQ(ReadFile(path), "keep");
}

}  // namespace
}  // namespace kx
