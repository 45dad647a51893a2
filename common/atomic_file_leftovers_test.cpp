#include <gtest/gtest.h>

#include <fstream>

#include "common/atomic_file.h"
#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

TEST(RemoveLeftoverTemporaries, RemovesOnlyTheTargetsTemporaryFiles) {
  kx::testing::ScratchFolder scratch;
  const fs::path folder = scratch.path();
  for (const char* name :
       {"Users.ini", "Users.ini.tmp-a1B2c3", "Users.ini.tmp-77-1-0", "Users.ini.tmp-",
        "Users.ini.bak", "DeviceList.ini.tmp-a1B2c3", "users.ini.tmpx"}) {
    std::ofstream(folder / name) << "x";
  }
  fs::create_directory(folder / "Users.ini.tmp-folder");
  // A real temporary file name of this platform.
  const fs::path made = WriteTemporaryBeside(folder / "Users.ini", "y");

  RemoveLeftoverTemporaries(folder / "Users.ini");

  EXPECT_FALSE(fs::exists(made));
  EXPECT_FALSE(fs::exists(folder / "Users.ini.tmp-a1B2c3"));
  EXPECT_FALSE(fs::exists(folder / "Users.ini.tmp-77-1-0"));
  for (const char* kept : {"Users.ini", "Users.ini.tmp-", "Users.ini.bak",
                           "DeviceList.ini.tmp-a1B2c3", "users.ini.tmpx", "Users.ini.tmp-folder"}) {
    EXPECT_TRUE(fs::exists(folder / kept)) << kept;
  }
}

TEST(RemoveLeftoverTemporaries, MissingFolderIsNoError) {
  RemoveLeftoverTemporaries(fs::path("/nonexistent-kx-folder/Users.ini"));
}

}  // namespace
}  // namespace kx
