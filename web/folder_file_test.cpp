#include "web/folder_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <system_error>

#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

class FolderFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(root_.path() / "js");
    fs::create_directory(root_.path() / "elsewhere");
    Write(root_.path() / "js" / "a.js");
    Write(root_.path() / "elsewhere" / "b.js");
    Write(root_.path() / "Users.ini");
  }

  static void Write(const fs::path& path) { std::ofstream(path) << "text"; }

  // Links need a privilege on Windows; without it the cases with links are skipped.
  [[nodiscard]] bool Link(const fs::path& target, const std::string& name) const {
    std::error_code error;
    fs::create_symlink(target, js() / name, error);
    return !error;
  }

  [[nodiscard]] fs::path js() const { return root_.path() / "js"; }

  testing::ScratchFolder root_;
};

TEST_F(FolderFileTest, FindsAFileOfTheFolderByItsResolvedPath) {
  EXPECT_EQ(FileInFolder(js(), "a.js"), fs::canonical(js() / "a.js"));
  EXPECT_EQ(FileInFolder(js(), "missing.js"), std::nullopt);
  EXPECT_EQ(FileInFolder(js(), std::string(5000, 'a') + ".js"), std::nullopt);
  fs::create_directory(js() / "sub.js");
  EXPECT_EQ(FileInFolder(js(), "sub.js"), std::nullopt);
  EXPECT_EQ(FileInFolder(root_.path() / "none", "a.js"), std::nullopt);
}

TEST_F(FolderFileTest, FollowsLinksOnlyWhileTheyStayInsideTheFolder) {
  if (!Link("a.js", "same.js") || !Link(root_.path() / "elsewhere" / "b.js", "out.js") ||
      !Link(fs::path("..") / "Users.ini", "users.js") || !Link("out.js", "chain.js") ||
      !Link(".", "dot.js")) {
    GTEST_SKIP() << "symbolic links cannot be made here";
  }
  EXPECT_EQ(FileInFolder(js(), "same.js"), fs::canonical(js() / "a.js"));
  for (const char* name : {"out.js", "users.js", "chain.js", "dot.js", "..", "."}) {
    EXPECT_EQ(FileInFolder(js(), name), std::nullopt) << name;
  }
}

TEST_F(FolderFileTest, AFolderThatIsItselfALinkServesItsOwnFiles) {
  std::error_code error;
  fs::create_directory_symlink(root_.path() / "elsewhere", root_.path() / "linked", error);
  if (error) GTEST_SKIP() << "symbolic links cannot be made here";
  EXPECT_EQ(FileInFolder(root_.path() / "linked", "b.js"),
            fs::canonical(root_.path() / "elsewhere" / "b.js"));
}

}  // namespace
}  // namespace kx
