#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "common/atomic_file.h"
#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class TempFolder : public ::testing::Test {
 protected:
  kx::testing::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

TEST(IniRead, SectionsAndKeysIgnoreCaseAndTheFirstMatchWins) {
  const IniFile ini = IniFile::FromBytes(
      "[Main]\r\nPORT=8080\r\nport=9090\r\n[main]\r\nUseKX=1\r\n[other]\r\nport=1\r\n");
  EXPECT_EQ(ini.ReadInteger("main", "Port", 80), 8080);
  EXPECT_EQ(ini.ReadInteger("MAIN", "usekx", 0), 0);  // only the first [main] is searched
  EXPECT_EQ(ini.ReadInteger("Other", "PORT", 80), 1);
  EXPECT_EQ(ini.ReadInteger("none", "port", 80), 80);
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_FALSE(ini.KeyExists("other", "usekx"));
}

TEST(IniRead, OnlyTheFirstSectionOfANameCountsForHoldingKeys) {
  IniFile ini = IniFile::FromBytes("[bare]\r\n\r\n; note\r\n[held]\r\nk=\r\n[Bare]\r\nk=1\r\n");
  EXPECT_TRUE(ini.SectionExists("bare"));
  EXPECT_FALSE(ini.SectionHasKeys("BARE"));
  EXPECT_TRUE(ini.SectionHasKeys("held"));  // an empty value is still a key
  EXPECT_FALSE(ini.SectionHasKeys("none"));
  ini.WriteString("bare", "x", "1");
  EXPECT_TRUE(ini.SectionHasKeys("bare"));
  ini.EraseKey("bare", "x");
  EXPECT_FALSE(ini.SectionHasKeys("bare"));
}

TEST(IniRead, ValuesAreTrimmedAndLoseOnePairOfQuotes) {
  const IniFile ini = IniFile::FromBytes(
      "[s]\n a = \t spaced \t\nq=\"quoted \"\nq2='single'\nq3=\"\"twice\"\"\nq4=\"open\n"
      "mixed=\"a'\nempty=\n  [ t ]  \nk=v");
  EXPECT_EQ(ini.ReadString("s", "a", "x"), "spaced");
  EXPECT_EQ(ini.ReadString("s", "q", "x"), "quoted ");
  EXPECT_EQ(ini.ReadString("s", "q2", "x"), "single");
  EXPECT_EQ(ini.ReadString("s", "q3", "x"), "\"twice\"");
  EXPECT_EQ(ini.ReadString("s", "q4", "x"), "\"open");
  EXPECT_EQ(ini.ReadString("s", "mixed", "x"), "\"a'");
  EXPECT_EQ(ini.ReadString("s", "empty", "x"), "");
  EXPECT_EQ(ini.ReadString("t", "k", "x"), "v");
  EXPECT_EQ(ini.ReadString("s", "missing", "dflt"), "dflt");
}

TEST(IniRead, LongValuesAreCut) {
  const IniFile ini = IniFile::FromBytes("[s]\nk=" + std::string(5000, 'z'));
  EXPECT_EQ(ini.ReadString("s", "k", ""), std::string(kIniMaxValueLength, 'z'));
}

TEST(IniRead, IntegersAreDecimalOrHexadecimalAndOtherwiseTheDefault) {
  EXPECT_EQ(ParseIniInteger("42"), 42);
  EXPECT_EQ(ParseIniInteger("-17"), -17);
  EXPECT_EQ(ParseIniInteger("+5"), 5);
  EXPECT_EQ(ParseIniInteger("0x1F"), 31);
  EXPECT_EQ(ParseIniInteger("0XfF"), 255);
  EXPECT_EQ(ParseIniInteger("$10"), 16);
  EXPECT_EQ(ParseIniInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseIniInteger("2147483648"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("0x100000000"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("12abc"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("0x"), std::nullopt);
  EXPECT_EQ(ParseIniInteger(""), std::nullopt);
  EXPECT_EQ(ParseIniInteger("1.5"), std::nullopt);
  const IniFile ini = IniFile::FromBytes("[m]\nport=abc\nz=$20\nq=\"7\"\n");
  EXPECT_EQ(ini.ReadInteger("m", "port", 80), 80);
  EXPECT_EQ(ini.ReadInteger("m", "z", 0), 32);
  EXPECT_EQ(ini.ReadInteger("m", "q", 0), 7);
}

TEST(IniRead, TextIsWindows1251) {
  const IniFile ini = IniFile::FromBytes("[\xC3\xF0\xF3\xEF\xEF\xE0]\nname=\xCC\xC0\xC7\n");
  EXPECT_EQ(ini.ReadString("группа", "NAME", ""), "МАЗ");
}

TEST(IniWrite, ChangesTouchOnlyTheirOwnLine) {
  const std::string before =
      "; comment\r\n[main]\r\nUsersCount = 2\r\nUser0=admin\r\n\r\n[admin]\n  Pass=x\nr=2";
  IniFile ini = IniFile::FromBytes(before);
  ini.WriteString("MAIN", "userscount", "3");
  EXPECT_EQ(ini.Bytes(),
            "; comment\r\n[main]\r\nUsersCount =3\r\nUser0=admin\r\n\r\n[admin]\n  Pass=x\nr=2");
  ini.WriteString("main", "User2", "Вася");
  EXPECT_EQ(ini.Bytes(),
            "; comment\r\n[main]\r\nUsersCount =3\r\nUser0=admin\r\nUser2=\xC2\xE0\xF1\xFF\r\n\r\n"
            "[admin]\n  Pass=x\nr=2");
  ini.WriteInteger("admin", "devcount", 0);
  EXPECT_TRUE(ini.Bytes().ends_with("[admin]\n  Pass=x\nr=2\r\ndevcount=0\r\n"));
  ini.WriteString("new", "k", "v");
  EXPECT_TRUE(ini.Bytes().ends_with("devcount=0\r\n[new]\r\nk=v\r\n"));
}

TEST(IniWrite, NewLinesFollowTheFileLineEnds) {
  IniFile ini = IniFile::FromBytes("[a]\nx=1\n");
  ini.WriteString("b", "y", "2");
  EXPECT_EQ(ini.Bytes(), "[a]\nx=1\n[b]\ny=2\n");
  IniFile empty;
  empty.WriteInteger("main", "devCount", 0);
  EXPECT_EQ(empty.Bytes(), "[main]\r\ndevCount=0\r\n");
}

TEST(IniWrite, LineBreaksInAValueCannotAddKeys) {
  IniFile ini;
  ini.WriteString("dev0", "carmodel", "МАЗ\r\n[main]\r\ndevCount=99");
  EXPECT_EQ(ini.ReadString("dev0", "carmodel", ""), "МАЗ  [main]  devCount=99");
  EXPECT_FALSE(ini.SectionExists("main"));
}

TEST(IniWrite, EraseKeyAndSection) {
  IniFile ini = IniFile::FromBytes("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n[c]\r\nw=4\r\n");
  ini.EraseKey("A", "X");
  ini.EraseSection("b");
  ini.EraseSection("missing");
  ini.EraseKey("c", "missing");
  EXPECT_EQ(ini.Bytes(), "[a]\r\ny=2\r\n[c]\r\nw=4\r\n");
}

TEST(IniWrite, LookupsFollowLinesThatMoved) {
  IniFile ini = IniFile::FromBytes("[a]\nx=1\n[b]\ny=2\n[c]\nz=3\n");
  EXPECT_EQ(ini.ReadString("c", "z", ""), "3");
  ini.WriteString("a", "new", "v");  // inserted above [b] and [c]
  EXPECT_EQ(ini.ReadString("c", "z", ""), "3");
  ini.EraseSection("b");
  EXPECT_EQ(ini.ReadString("c", "z", ""), "3");
  EXPECT_FALSE(ini.SectionExists("b"));
  ini.WriteString("b", "y", "4");  // appended again at the end
  ini.EraseKey("a", "x");
  EXPECT_EQ(ini.ReadString("B", "Y", ""), "4");
  EXPECT_EQ(ini.Bytes(), "[a]\nnew=v\n[c]\nz=3\n[b]\ny=4\n");
  ini.WriteString("c", "z", "5");
  EXPECT_EQ(ini.ReadString("b", "y", ""), "4");
  EXPECT_EQ(ini.Bytes(), "[a]\nnew=v\n[c]\nz=5\n[b]\ny=4\n");
}

TEST(IniWrite, ErasingTheFirstOfTwoEqualKeysUncoversTheSecond) {
  IniFile ini = IniFile::FromBytes("[s]\nk=1\nother=x\nK=2\n[t]\nk=3\n");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
  ini.EraseKey("s", "k");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "2");
  EXPECT_EQ(ini.ReadString("t", "k", ""), "3");
  ini.EraseKey("s", "K");
  EXPECT_FALSE(ini.KeyExists("s", "k"));
  EXPECT_EQ(ini.ReadString("s", "other", ""), "x");
}

TEST(IniWrite, UnchangedFileRoundTripsByteForByte) {
  const std::string odd = "x\r\r\n[s]\rk=v\n\n[t]\r\nno equals line\r\n\xFF\x98=1";
  EXPECT_EQ(IniFile::FromBytes(odd).Bytes(), odd);
}

TEST_F(TempFolder, SaveReplacesTheFileAndKeepsItsMode) {
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

TEST_F(TempFolder, MissingFileLoadsEmptyAndAnUnreadableOneThrows) {
  EXPECT_EQ(IniFile::Load(folder_ / "none.ini").Bytes(), "");
  { std::ofstream(folder_ / "empty.ini"); }
  EXPECT_EQ(IniFile::Load(folder_ / "empty.ini").Bytes(), "");
  fs::create_directory(folder_ / "folder.ini");
  EXPECT_THROW((void)IniFile::Load(folder_ / "folder.ini"), std::system_error);
}

TEST_F(TempFolder, CrashBetweenTemporaryWriteAndRenameLeavesTheOldFile) {
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

TEST_F(TempFolder, FailedSaveLeavesTheFileByteIdentical) {
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
