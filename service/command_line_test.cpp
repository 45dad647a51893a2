#include "service/command_line.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

// A rooted path as the system completes it: on Windows with the current drive.
std::filesystem::path Rooted(const std::u8string& path) {
  return std::filesystem::absolute(std::filesystem::path(path));
}

TEST(CommandLine, SwitchesInAnyCaseAfterSlashOrHyphen) {
  EXPECT_EQ(ParseCommandLine({}).action, ServiceAction::Run);
  EXPECT_EQ(ParseCommandLine({"/install"}).action, ServiceAction::Install);
  EXPECT_EQ(ParseCommandLine({"-UnInstall"}).action, ServiceAction::Uninstall);
  const CommandLine line = ParseCommandLine({"/INSTALL", "-silent", "--folder", "/srv/kx"});
  EXPECT_TRUE(line.silent);
  EXPECT_EQ(line.folder, Rooted(u8"/srv/kx"));
  EXPECT_EQ(ParseCommandLine({"--session-timeout-ms", "1500"}).sessionTimeout,
            std::chrono::milliseconds(1500));
  EXPECT_EQ(ParseCommandLine({"--sign-in-block-ms", "2000"}).signInBlock,
            std::chrono::milliseconds(2000));
  EXPECT_EQ(ParseCommandLine({"--cleanup-hour-ms", "5000"}).cleanupHour,
            std::chrono::milliseconds(5000));
}

TEST(CommandLine, FolderIsMadeAbsoluteWithoutATrailingSeparator) {
  const std::filesystem::path current = std::filesystem::current_path();
  EXPECT_EQ(ParseCommandLine({"--folder", "/srv/kx/"}).folder, Rooted(u8"/srv/kx"));
  EXPECT_EQ(ParseCommandLine({"--folder", "service//"}).folder, current / "service");
  EXPECT_EQ(ParseCommandLine({"--folder", "."}).folder, current);
  EXPECT_EQ(ParseCommandLine({"--folder", "/"}).folder, Rooted(u8"/"));
}

TEST(CommandLine, FolderIsReadAsUtf8) {
  const CommandLine line = ParseCommandLine({"--folder", "/srv/Веб"});
  EXPECT_EQ(line.folder, Rooted(u8"/srv/Веб"));
}

TEST(CommandLine, AnythingElseIsAUsageError) {
  EXPECT_THROW((void)ParseCommandLine({"/start"}), std::invalid_argument);
  EXPECT_THROW((void)ParseCommandLine({"--folder"}), std::invalid_argument);
  EXPECT_THROW((void)ParseCommandLine({"--session-timeout-ms", "0"}), std::invalid_argument);
  EXPECT_THROW((void)ParseCommandLine({"--sign-in-block-ms", "-5"}), std::invalid_argument);
  EXPECT_THROW((void)ParseCommandLine({"--cleanup-hour-ms", "0"}), std::invalid_argument);
  EXPECT_THROW((void)ParseCommandLine({"install"}), std::invalid_argument);
}

}  // namespace
}  // namespace kx
