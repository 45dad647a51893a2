#include "service/image_path.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(FolderOfImagePath, QuotedPathsAsTheServiceManagerReturnsThem) {
  EXPECT_EQ(FolderOfImagePath(R"("C:\Program Files\KX\KXWebServer.exe")"),
            R"(C:\Program Files\KX)");
  EXPECT_EQ(FolderOfImagePath(R"("C:\KX\KXWebServer.exe" /arg C:\other\)"), R"(C:\KX)");
  EXPECT_EQ(FolderOfImagePath("\"C:\\Веб\\KXWebServer.exe\""), "C:\\Веб");
  EXPECT_EQ(FolderOfImagePath(R"("C:\KX\KXWebServer.exe)"), R"(C:\KX)");  // no closing quote
}

TEST(FolderOfImagePath, UnquotedPathsAndTrailingBackslashes) {
  EXPECT_EQ(FolderOfImagePath(R"(C:\KX\KXWebServer.exe)"), R"(C:\KX)");
  EXPECT_EQ(FolderOfImagePath(R"(C:\KX\\\KXWebServer.exe)"), R"(C:\KX)");
  EXPECT_EQ(FolderOfImagePath(R"(\\server\share\KXWebServer.exe)"), R"(\\server\share)");
}

TEST(FolderOfImagePath, DriveRootKeepsItsBackslashAndNoFolderGivesEmpty) {
  EXPECT_EQ(FolderOfImagePath(R"("C:\KXWebServer.exe")"), R"(C:\)");
  EXPECT_EQ(FolderOfImagePath(R"(C:\\KXWebServer.exe)"), R"(C:\)");
  EXPECT_EQ(FolderOfImagePath("KXWebServer.exe"), "");
  EXPECT_EQ(FolderOfImagePath("\"\""), "");
  EXPECT_EQ(FolderOfImagePath(R"(\KXWebServer.exe)"), "");
}

}  // namespace
}  // namespace kx
