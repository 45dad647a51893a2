#include "pages/template_engine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/cp1251.h"

namespace kx {
namespace {

class TemplateEngineTest : public testing::Test {
 protected:
  TemplateEngineTest() {
    state_.sessions.AddSession("S-user", "ivan", 0, {"20", "10"});
    state_.sessions.AddSession("S-moder", "boss", 1, std::vector<std::string>{});
    state_.sessions.AddSession("S-admin", "root", 2, {"10"});
    state_.sessions.AddSession("S-guest", "guest", 0, std::vector<std::string>{});
    state_.userParams.AddUserParams("ivan", "800px", "600px", "25%", 12, 2, nullptr);
    state_.userParams.SetUserIcons("ivan", 1 << 12);
    const std::vector<std::string> managed = {"ivan", "o'brien"};
    state_.userParams.AddUserParams("boss", "100%", "90%", "20%", 10, 0, &managed);
    state_.accounts.Add({"root", "", 2, {}});
    state_.accounts.Add({"ivan", "", 0, {"20", "10"}});
    state_.accounts.Add({"a<b", "", 0, {}});
    state_.vehicles.Append("10", {10, "Газель (10)", "A", "a.grp"});
    state_.vehicles.Append("20", {20, "Камаз (20)", "B", "b.grp"});
    state_.groups.Append("a.grp");
    state_.groups.Append("b.grp");
  }

  std::string Expand(std::vector<std::string_view> lines, std::string_view session,
                     bool checkBox = false) {
    return ExpandLines(state_, lines, session, "Ошибка", checkBox, "Заголовок");
  }
  std::string Page(PageTemplate page, std::string_view session) {
    return Utf8FromCp1251(ExpandTemplate(state_, page, session, "", false, "T"));
  }

  ServiceState state_;
};

TEST_F(TemplateEngineTest, OrdinaryLinesAndNearTagsAreCopiedWithCrLf) {
  EXPECT_EQ(Expand({"<p>", "", "[head] ", " [head]", "[Head]", "[unknown]", "[login]x"}, "S-user"),
            "<p>\r\n\r\n[head] \r\n [head]\r\n[Head]\r\n[unknown]\r\n[login]x\r\n");
}

TEST_F(TemplateEngineTest, TagsGiveTheirValuesWithoutLineBreaks) {
  EXPECT_EQ(Expand({"<a", "[login]", "[rightsDescr]", "[title]", "[error]", "b>"}, "S-admin"),
            "<a\r\nroot (Администратор)ЗаголовокОшибкаb>\r\n");
  EXPECT_EQ(Expand({"[tablewidth]", "|", "[tableheight]", "|", "[CarsListWidth]", "|",
                    "[GoogleZoom]", "|", "[GoogleType]"},
                   "S-user"),
            "800px|\r\n600px|\r\n25%|\r\n12|\r\n2");
}

TEST_F(TemplateEngineTest, UnknownSessionHasRightsZeroAndLoginZero) {
  EXPECT_EQ(Expand({"[login]", "[rightsDescr]", "[admin]", "[UserAccess]", "[UserList]",
                    "[CarsOptionValue]"},
                   "nobody"),
            "0 (Пользователь)");
}

TEST_F(TemplateEngineTest, LayoutTagsWithoutDisplayRecordUseTheDefaults) {
  EXPECT_EQ(Expand({"[tablewidth]", "[tableheight]", "[CarsListWidth]", "[GoogleZoom]",
                    "[GoogleType]", "[IconSettings]"},
                   "S-admin"),
            "100%90%20%100[1,1,1,1,1,1,1,1,1,1,1,1,1];");
}

TEST_F(TemplateEngineTest, IconSettingsClearsTheDigitOfEachSetBit) {
  EXPECT_EQ(Expand({"[IconSettings]"}, "S-user"), "[1,1,1,1,1,0,1,1,1,1,1,1,1];");
  state_.userParams.SetUserIcons("ivan", 0);
  EXPECT_EQ(Expand({"[IconSettings]"}, "S-user"), "[1,1,1,1,1,1,1,1,1,1,1,1,1];");
  // Bits 1-5 and 12-19 are read; bit 0 and bits 6-11 are not.
  state_.userParams.SetUserIcons("ivan", 0b111111111111111111111);
  EXPECT_EQ(Expand({"[IconSettings]"}, "S-user"), "[0,0,0,0,0,0,0,0,0,0,0,0,0];");
  state_.userParams.SetUserIcons("ivan", 0b111111000001);
  EXPECT_EQ(Expand({"[IconSettings]"}, "S-user"), "[1,1,1,1,1,1,1,1,1,1,1,1,1];");
}

TEST_F(TemplateEngineTest, RightsDecideAdminAndOptions) {
  EXPECT_EQ(Expand({"[admin]", "[UserAccess]", "[UserList]"}, "S-user"), "");
  const std::string moderator =
      Expand({"[admin]", "|", "[UserAccess]", "|", "[UserList]"}, "S-moder");
  EXPECT_EQ(moderator.substr(0, 4), "<td>");
  EXPECT_NE(moderator.find("<table class=\"w3mh_b\" cellpadding=\"0\" cellspacing=\"0\">"),
            std::string::npos);
  EXPECT_NE(moderator.find("</table></div></td>|"), std::string::npos);
  EXPECT_NE(moderator.find("|\r\n<option value='0' selected>Пользователь</option>"
                           "<option value='1'>Менеджер</option>|\r\n"
                           "<option value='ivan'>ivan</option>"
                           "<option value='o&#39;brien'>o&#39;brien</option>"),
            std::string::npos);
  EXPECT_EQ(Expand({"[UserAccess]", "|", "[UserList]"}, "S-admin"),
            "<option value='0' selected>Пользователь</option><option value='1'>Менеджер</option>"
            "<option value='2'>Администратор</option>|\r\n"
            "<option value='root'>root</option><option value='ivan'>ivan</option>"
            "<option value='a&lt;b'>a&lt;b</option>");
}

TEST_F(TemplateEngineTest, AdminDropDownLinksTheThreeUserPages) {
  const std::string admin = Expand({"[admin]"}, "S-admin");
  const size_t add = admin.find("<a href=\"/kxserver/NewUser\">Добавление пользователя</a>");
  const size_t change = admin.find("<a href=\"/kxserver/ChangeUser\">Изменение пользователя</a>");
  const size_t remove = admin.find("<a href=\"/kxserver/DeleteUser\">Удаление пользователя</a>");
  EXPECT_LT(admin.find("<a href=\"#\">Администрирование</a>"), add);
  EXPECT_LT(add, change);
  EXPECT_LT(change, remove);
  EXPECT_NE(remove, std::string::npos);
  EXPECT_EQ(admin.find('\n'), std::string::npos);
}

TEST_F(TemplateEngineTest, TreeFollowsTheSessionList) {
  EXPECT_EQ(Expand({"[CarsOptionValue]"}, "S-user"),
            "d.add(1,0,'B', 0, \"window.parent.GroupSelect('1')\");"
            "d.add(2,0,'A', 0, \"window.parent.GroupSelect('0')\");"
            "d.add(3,1,'Камаз (20)', 0,'window.parent.CarSelect(20)', 20);"
            "d.add(4,2,'Газель (10)', 0,'window.parent.CarSelect(10)', 10);");
  EXPECT_EQ(Expand({"[CarsOptionValue]"}, "S-admin", true),
            "d.add(1,0,'A', -1, \"this\");d.add(2,1,'Газель (10)', -1,'this', 10);");
}

TEST_F(TemplateEngineTest, GuestGetsNoMenuOthersGetItNested) {
  EXPECT_EQ(Expand({"a", "[menu]", "b"}, "S-guest"), "a\r\nb\r\n");
  const std::string menu = Expand({"[menu]"}, "S-moder");
  EXPECT_NE(menu.find("Добро пожаловать,\r\nboss (Модератор)</td>"), std::string::npos);
  EXPECT_NE(menu.find("id=\"w3mh_box\" class=\"w3mh_b0\""), std::string::npos);
  EXPECT_NE(menu.find("Администрирование"), std::string::npos);
  EXPECT_NE(menu.find("w3mh=new w3menu_h('w3mh', 'w3mh_box', 200);"), std::string::npos);
  EXPECT_EQ(Expand({"[menu]"}, "S-user").find("Администрирование"), std::string::npos);
}

TEST_F(TemplateEngineTest, HeadDeclaresWindows1251AndCarriesTheTitle) {
  EXPECT_EQ(
      Page(PageTemplate::InetXPageHeader, "S-user"),
      "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n<title>Velorin:\r\nT"
      "</title>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\" />"
      "\r\n<meta http-equiv=\"Pragma\" content=\"no-cache\" />\r\n"
      "<link rel=\"SHORTCUT ICON\" href=\"/kxserver/img?favicon.ico\" />\r\n</head>\r\n");
}

TEST_F(TemplateEngineTest, CountersFragmentIsOneCrLfWhenAllAreDisabled) {
  EXPECT_EQ(ExpandTemplate(state_, PageTemplate::InetXPageCounters, "S-user", "", false, ""),
            "\r\n");
  state_.settings.LiveInternetEnabled = 1;
  state_.settings.GoogleAnalyticsEnabled = 1;
  const std::string counters = Page(PageTemplate::InetXPageCounters, "S-user");
  EXPECT_LT(counters.find("LiveInternet"), counters.find("google-analytics"));
  EXPECT_TRUE(counters.ends_with("</script>\r\n"));
}

TEST_F(TemplateEngineTest, OutputIsWindows1251WithQuestionMarksForTheRest) {
  EXPECT_NE(ExpandTemplate(state_, PageTemplate::InetXPageHeader, "", "", false, "Вход €")
                .find("\r\n\xC2\xF5\xEE\xE4 \x88</title>"),
            std::string::npos);
  EXPECT_NE(ExpandTemplate(state_, PageTemplate::InetXPageHeader, "", "", false, "Ω 李 ok")
                .find("\r\n? ? ok</title>"),
            std::string::npos);
}

TEST_F(TemplateEngineTest, HeaderAndFooterImagesAreProbedOnEveryExpansion) {
  const auto folder = std::filesystem::temp_directory_path() / "kx_engine_images_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "img");
  state_.folder = folder;
  EXPECT_EQ(Expand({"[headerIMG]", "[footerIMG]"}, "S-user"), "");
  std::ofstream(folder / "img" / "footerIMG.png") << "png";
  EXPECT_EQ(Expand({"[headerIMG]", "[footerIMG]"}, "S-user"),
            "<img border='0' src='/kxserver/img?footerIMG.png'></img>");
  std::filesystem::remove_all(folder);
}

TEST_F(TemplateEngineTest, MapScriptsFollowTheSettings) {
  EXPECT_NE(Expand({"[MapScripts]"}, "S-user").find("var kxMapLayers"), std::string::npos);
  state_.settings.GoogleMapsKey = "AIza-1";
  EXPECT_EQ(Expand({"[MapScripts]"}, "S-user"),
            "<script type=\"text/javascript\" "
            "src=\"https://maps.googleapis.com/maps/api/js?v=weekly&amp;key=AIza-1\"></script>");
}

TEST_F(TemplateEngineTest, StoredLayoutTextsCannotLeaveTheirAttribute) {
  state_.userParams.SetUserDisplay("ivan", "1\"><script>", "90%", "20%", 10, 0);
  EXPECT_EQ(Expand({"[tablewidth]"}, "S-user"), "1&quot;&gt;&lt;script&gt;");
}

}  // namespace
}  // namespace kx
