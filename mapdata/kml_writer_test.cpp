#include "mapdata/kml_writer.h"

#include <gtest/gtest.h>

#include <random>

#include "common/cp1251.h"
#include "mapdata/description_time.h"
#include "mapdata/file_bytes.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

// A dispatcher folder with its LastPosition files and a kml folder, removed afterwards.
class KmlWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kx-kml-writer-" + std::to_string(std::random_device()()));
    fs::create_directories(root_ / "dispatcher" / "LastPosition");
    fs::create_directories(root_ / "kml");
    dispatcherPath_ = (root_ / "dispatcher").string() + "/";
    vehicles_.Append("1234", {1234, "Газель - А123 (1234)", "Север", "north.grp"});
    vehicles_.Append("77", {77, "Fiat (77)", "Север", "north.grp"});
    vehicles_.Append("12345678", {12345678, "Long (12345678)", "South", "south.grp"});
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteLastPosition(const std::string& fileName, std::string_view bytes) {
    WriteFileBytes(root_ / "dispatcher" / "LastPosition" / fileName, bytes);
  }
  [[nodiscard]] KmlWriterContext Context() const {
    return {vehicles_, dispatcherPath_, root_ / "kml"};
  }
  [[nodiscard]] std::string KmlFile(const std::string& name) const {
    return ReadFileBytes(root_ / "kml" / name);
  }
  [[nodiscard]] std::vector<std::string> KmlFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / "kml")) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  fs::path root_;
  std::string dispatcherPath_;
  VehicleList vehicles_;
};

std::string LastPositionKml(std::string_view name, std::string_view stamp,
                            std::string_view coordinates) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Placemark>\n"
         "    <name>" +
         std::string(name) +
         "</name>\n"
         "    <description>" +
         std::string(stamp) +
         " 40 km/h</description>\n"
         "    <Style><IconStyle/></Style>\n"
         "    <Point><coordinates>" +
         std::string(coordinates) +
         "</coordinates></Point>\n"
         "  </Placemark>\n</kml>\n";
}

TEST_F(KmlWriterTest, SevenDigitFileWinsOverSixAndLongNumbersKeepTheirDigits) {
  EXPECT_FALSE(LastPositionFile(dispatcherPath_, 1234));
  WriteLastPosition("001234.kml", "six");
  EXPECT_EQ(LastPositionFile(dispatcherPath_, 1234)->filename(), "001234.kml");
  WriteLastPosition("0001234.kml", "seven");
  EXPECT_EQ(LastPositionFile(dispatcherPath_, 1234)->filename(), "0001234.kml");
  WriteLastPosition("12345678.kml", "eight");
  EXPECT_EQ(LastPositionFile(dispatcherPath_, 12345678)->filename(), "12345678.kml");
  EXPECT_FALSE(LastPositionFile("", 1234));
}

TEST_F(KmlWriterTest, PreparedFileNamesTheVehicleAndShowsLocalTime) {
  WriteLastPosition("0001234.kml", LastPositionKml("old", "2010-03-05 23:30:00", "37.6,55.7,0"));
  PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 1234), 1234, 3, "N.kml");

  const KmlDocument doc = KmlDocument::Parse(KmlFile("N.kml"));
  const KmlElement placemark = doc.Root().FirstNode();
  EXPECT_EQ(placemark.RequiredChild("name").Text(), "Газель - А123 (1234)");
  EXPECT_EQ(placemark.RequiredChild("description").Text(),
            UserDescription("2010-03-05 23:30:00", 3));
  EXPECT_TRUE(placemark.Child("Style"));
  EXPECT_EQ(placemark.RequiredChild("Point").RequiredChild("coordinates").Text(), "37.6,55.7,0");
}

TEST_F(KmlWriterTest, MissingNameIsAddedAtTheEnd) {
  WriteLastPosition("0000077.kml",
                    "<kml><Placemark><description>2010-03-05 07:05:00</description>"
                    "<Point><coordinates>1,2,0</coordinates></Point></Placemark></kml>");
  PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 77), 77, 0, "N.kml");
  const std::string bytes = KmlFile("N.kml");
  EXPECT_NE(bytes.find("</Point><name>Fiat (77)</name></Placemark>"), std::string::npos) << bytes;
}

TEST_F(KmlWriterTest, Windows1251SourceKeepsItsEncoding) {
  WriteLastPosition(
      "0001234.kml",
      Cp1251FromUtf8("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<kml><Placemark>"
                     "<name>Старое имя</name><description>2010-03-05 07:05:00 Москва</description>"
                     "<Point><coordinates>1,2,0</coordinates></Point></Placemark></kml>"));
  PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 1234), 1234, 0, "N.kml");
  const std::string bytes = KmlFile("N.kml");
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u) << bytes;
  EXPECT_NE(bytes.find(Cp1251FromUtf8("<name>Газель - А123 (1234)</name>")), std::string::npos);
}

TEST_F(KmlWriterTest, DeviceWithoutRegistryEntryIsCopiedUnchanged) {
  const std::string original = "<not even <xml>";
  WriteLastPosition("0000555.kml", original);
  PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 555), 555, 3, "N.kml");
  EXPECT_EQ(KmlFile("N.kml"), original);
}

TEST_F(KmlWriterTest, BrokenSourceThrows) {
  WriteLastPosition("0001234.kml", LastPositionKml("a", "2010-03-05 25:00:00", "1,2,0"));
  EXPECT_THROW(
      PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 1234), 1234, 0, "N.kml"),
      KmlError);
  WriteLastPosition("0001234.kml", "<kml><Placemark><name>a</name></kml>");
  EXPECT_THROW(
      PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, 1234), 1234, 0, "N.kml"),
      KmlError);
}

TEST_F(KmlWriterTest, GroupSkeletonComesFromTheFirstVehicleWithAFile) {
  // 1234 comes first but has no file; 77 gives the document its prefix and declaration.
  WriteLastPosition(
      "0000077.kml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\" id=\"x\">\n"
      "  <kml:Placemark><kml:name>77</kml:name><kml:description>2010-03-05 21:00:00"
      "</kml:description><kml:Point><kml:coordinates>3,4,0</kml:coordinates></kml:Point>"
      "</kml:Placemark>\n  <kml:Style/>\n</kml:kml>\n");
  ASSERT_TRUE(BuildGroupKml(Context(), "north.grp", {"1234", "77", "12345678"}, 3, "G.kml"));
  EXPECT_EQ(KmlFile("G.kml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\" id=\"x\"><kml:Folder>"
            "<kml:Placemark><kml:name>Fiat (77)</kml:name><kml:description>" +
                UserDescription("2010-03-05 21:00:00", 3) +
                "</kml:description><kml:Point><kml:coordinates>3,4,0</kml:coordinates>"
                "</kml:Point></kml:Placemark></kml:Folder></kml:kml>\n");
  EXPECT_EQ(KmlFolderNames(), std::vector<std::string>{"G.kml"});
}

TEST_F(KmlWriterTest, GroupHoldsOnePlacemarkPerPairInWalkOrder) {
  WriteLastPosition("0001234.kml", LastPositionKml("a", "2010-03-05 07:00:00", "1,1,0"));
  WriteLastPosition("000077.kml", LastPositionKml("b", "2010-03-05 08:00:00", "2,2,0"));
  ASSERT_TRUE(BuildGroupKml(Context(), "north.grp", {"77", "1234", "77"}, 0, "G.kml"));
  const std::string bytes = KmlFile("G.kml");
  const std::string fiat = "<name>Fiat (77)</name><description>" +
                           UserDescription("2010-03-05 08:00:00", 0) +
                           "</description><Point><coordinates>2,2,0</coordinates></Point>";
  const size_t first = bytes.find(fiat);
  const size_t second = bytes.find("<name>Газель - А123 (1234)</name>");
  const size_t third = bytes.find(fiat, first + 1);
  EXPECT_LT(first, second) << bytes;
  EXPECT_LT(second, third) << bytes;
  EXPECT_NE(third, std::string::npos) << bytes;
}

TEST_F(KmlWriterTest, GroupWithoutFilesWritesNothing) {
  EXPECT_FALSE(BuildGroupKml(Context(), "north.grp", {"1234", "77"}, 0, "G.kml"));
  EXPECT_FALSE(BuildGroupKml(Context(), "south.grp", {"1234", "77"}, 0, "G.kml"));
  EXPECT_TRUE(KmlFolderNames().empty());
}

TEST_F(KmlWriterTest, BrokenGroupMemberLeavesNoScratchFile) {
  WriteLastPosition("0001234.kml", LastPositionKml("a", "2010-03-05 07:00:00", "1,1,0"));
  WriteLastPosition("0000077.kml", "<kml><Placemark>");
  EXPECT_THROW((void)BuildGroupKml(Context(), "north.grp", {"1234", "77"}, 0, "G.kml"), KmlError);
  EXPECT_FALSE(fs::exists(root_ / "kml" / "_G.kml"));
}

TEST_F(KmlWriterTest, BrokenFirstGroupMemberLeavesNoCopyUnderTheTargetName) {
  WriteLastPosition("0000077.kml", "");
  EXPECT_THROW((void)BuildGroupKml(Context(), "north.grp", {"77"}, 0, "G.kml"), KmlError);
  EXPECT_TRUE(KmlFolderNames().empty());
}

// Real-looking dispatcher files written back: the bytes are libxml2's (made by the Linux build)
// and every platform's DOM must give the same ones.
class KmlWriterBytesTest : public KmlWriterTest {
 protected:
  void SetUp() override {
    KmlWriterTest::SetUp();
    vehicles_.Append("88", {88, "Автобус ★ №5 (88)", "Север", "north.grp"});
    WriteLastPosition(
        "0001234.kml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://earth.google.com/kml/2.2\" "
        "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
        "  <Placemark id=\"p&amp;1\">\n"
        "    <name>Газель</name>\n"
        "    <description>2010-03-05 23:30:00 скорость 40 км/ч</description>\n"
        "    <Style><IconStyle><Icon><href>http://h/i.png?a=1&amp;b=&lt;2&gt;</href></Icon>"
        "</IconStyle></Style>\n"
        "    <gx:balloonVisibility>1</gx:balloonVisibility>\n"
        "    <Point><coordinates>37.6,55.7,0</coordinates></Point>\n"
        "  </Placemark>\n"
        "</kml>\n");
    WriteLastPosition(
        "0000077.kml",
        Cp1251FromUtf8("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                       "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><kml:Placemark>"
                       "<kml:description>2010-03-05 21:00:00 Москва</kml:description>"
                       "<kml:Point><kml:coordinates>3,4,0</kml:coordinates></kml:Point>"
                       "</kml:Placemark></kml:kml>"));
    WriteLastPosition("000088.kml",
                      "<!-- от диспетчера -->\n<kml><Placemark><name>x</name>"
                      "<description>2010-03-05 00:00:00</description><Point>"
                      "<coordinates>1,2,0</coordinates></Point></Placemark></kml>\n");
  }

  [[nodiscard]] std::string Prepared(int32_t device, int32_t gmt) const {
    PrepareLastPositionKml(Context(), *LastPositionFile(dispatcherPath_, device), device, gmt,
                           "N.kml");
    return KmlFile("N.kml");
  }
};

const std::string kBus88 =
    "&#x410;&#x432;&#x442;&#x43E;&#x431;&#x443;&#x441; &#x2605; &#x2116;5 (88)";

TEST_F(KmlWriterBytesTest, PreparedFiles) {
  EXPECT_EQ(Prepared(1234, 3),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://earth.google.com/kml/2.2\" "
            "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Placemark id=\"p&amp;1\">"
            "<name>Газель - А123 (1234)</name><description>" +
                UserDescription("2010-03-05 23:30:00", 3) +
                "</description><Style><IconStyle><Icon><href>http://h/i.png?a=1&amp;b=&lt;2&gt;"
                "</href></Icon></IconStyle></Style><gx:balloonVisibility>1</gx:balloonVisibility>"
                "<Point><coordinates>37.6,55.7,0</coordinates></Point></Placemark></kml>\n");
  EXPECT_EQ(
      Prepared(77, 0),
      Cp1251FromUtf8("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
                     "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><kml:Placemark>"
                     "<kml:description>" +
                     UserDescription("2010-03-05 21:00:00", 0) +
                     "</kml:description><kml:Point><kml:coordinates>3,4,0</kml:coordinates>"
                     "</kml:Point><kml:name>Fiat (77)</kml:name></kml:Placemark></kml:kml>\n"));
  EXPECT_EQ(Prepared(88, 0),
            "<?xml version=\"1.0\"?>\n<!-- от диспетчера -->\n<kml><Placemark><name>" + kBus88 +
                "</name><description>" + UserDescription("2010-03-05 00:00:00", 0) +
                "</description><Point><coordinates>1,2,0</coordinates></Point>"
                "</Placemark></kml>\n");
}

TEST_F(KmlWriterBytesTest, GroupFiles) {
  ASSERT_TRUE(BuildGroupKml(Context(), "north.grp", {"77", "1234", "88"}, 3, "G.kml"));
  EXPECT_EQ(
      KmlFile("G.kml"),
      Cp1251FromUtf8(
          "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
          "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><kml:Folder><kml:Placemark>"
          "<kml:name>Fiat (77)</kml:name><kml:description>" +
          UserDescription("2010-03-05 21:00:00", 3) +
          "</kml:description><kml:Point><kml:coordinates>3,4,0</kml:coordinates></kml:Point>"
          "</kml:Placemark><kml:Placemark><kml:name>Газель - А123 (1234)</kml:name>"
          "<kml:description>" +
          UserDescription("2010-03-05 23:30:00", 3) +
          "</kml:description><kml:Point><kml:coordinates>37.6,55.7,0</kml:coordinates></kml:Point>"
          "</kml:Placemark><kml:Placemark><kml:name>Автобус &#9733; №5 (88)</kml:name>"
          "<kml:description>" +
          UserDescription("2010-03-05 00:00:00", 3) +
          "</kml:description><kml:Point><kml:coordinates>1,2,0</kml:coordinates></kml:Point>"
          "</kml:Placemark></kml:Folder></kml:kml>\n"));
  ASSERT_TRUE(BuildGroupKml(Context(), "north.grp", {"88", "77"}, 0, "G.kml"));
  EXPECT_EQ(KmlFile("G.kml"),
            "<?xml version=\"1.0\"?>\n<!-- от диспетчера -->\n<kml><Folder><Placemark><name>" +
                kBus88 + "</name><description>" + UserDescription("2010-03-05 00:00:00", 0) +
                "</description><Point><coordinates>1,2,0</coordinates></Point>"
                "</Placemark><Placemark><name>Fiat (77)</name><description>" +
                UserDescription("2010-03-05 21:00:00", 0) +
                "</description><Point><coordinates>3,4,0</coordinates></Point>"
                "</Placemark></Folder></kml>\n");
}

}  // namespace
}  // namespace kx
