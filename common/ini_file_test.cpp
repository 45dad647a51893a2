#include "common/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/testing/read_file.h"
#include "common/testing/scratch_folder.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

using kx::testing::ReadFile;

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

TEST(IniUtf8, FileWithAByteOrderMarkIsReadAsUtf8) {
  const IniFile ini = IniFile::FromBytes(
      "\xEF\xBB\xBF[Пользователь]\r\nИмя = \"Пётр\"\r\nЗнак=日本\r\nЧисло=0x10\r\n");
  EXPECT_TRUE(ini.SectionExists("пользователь"));
  EXPECT_TRUE(ini.SectionHasKeys("ПОЛЬЗОВАТЕЛЬ"));
  EXPECT_EQ(ini.ReadString("ПОЛЬЗОВАТЕЛЬ", "имя", ""), "Пётр");
  EXPECT_EQ(ini.ReadString("Пользователь", "Знак", ""), "日本");
  EXPECT_EQ(ini.ReadInteger("Пользователь", "число", 0), 16);
  // The cut counts characters, not bytes.
  const IniFile longValue =
      IniFile::FromBytes("\xEF\xBB\xBF[s]\nk=" + std::string(3000, 'x') + "\xD0\xAF");
  EXPECT_EQ(longValue.ReadString("s", "k", "").size(), kIniMaxValueLength);
}

TEST(IniUtf8, WritesKeepTheMarkUtf8AndCharactersWindows1251Lacks) {
  IniFile ini = IniFile::FromBytes("\xEF\xBB\xBF[main]\r\nЗнак=日本\r\nUsersCount=1\r\n");
  ini.WriteInteger("MAIN", "userscount", 2);
  ini.WriteString("Главная", "Имя", "Ёлка ✓");
  EXPECT_EQ(ini.Bytes(),
            "\xEF\xBB\xBF[main]\r\nЗнак=日本\r\nUsersCount=2\r\n[Главная]\r\nИмя=Ёлка ✓\r\n");
  EXPECT_EQ(IniFile::FromBytes(ini.Bytes()).Bytes(), ini.Bytes());
}

TEST(IniUtf8, WithoutTheMarkTheFileStaysWindows1251) {
  IniFile ini = IniFile::FromBytes("[s]\r\nk=\xCF\xB8\xF2\xF0\r\n");  // Пётр
  EXPECT_EQ(ini.ReadString("s", "k", ""), "Пётр");
  ini.WriteString("s", "n", "Ёлка");
  EXPECT_EQ(ini.Bytes(), "[s]\r\nk=\xCF\xB8\xF2\xF0\r\nn=\xA8\xEB\xEA\xE0\r\n");
}

TEST_F(TempFolder, SavedUtf8FileStartsWithItsMark) {
  const fs::path path = folder_ / "Settings.ini";
  { std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF[main]\r\nPort=80\r\n"; }
  IniFile ini = IniFile::Load(path);
  ini.WriteString("main", "Название", "Сервер");
  ini.Save(path);
  EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF[main]\r\nPort=80\r\nНазвание=Сервер\r\n");
}

TEST_F(TempFolder, MissingFileLoadsEmptyAndAnUnreadableOneThrows) {
  EXPECT_EQ(IniFile::Load(folder_ / "none.ini").Bytes(), "");
  { std::ofstream(folder_ / "empty.ini"); }
  EXPECT_EQ(IniFile::Load(folder_ / "empty.ini").Bytes(), "");
  fs::create_directory(folder_ / "folder.ini");
  EXPECT_THROW((void)IniFile::Load(folder_ / "folder.ini"), std::system_error);
}

}  // namespace
}  // namespace kx
