#include "demo/last_position_files.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "common/cp1251.h"
#include "dispatcher/testing/xml_probe_test_util.h"

namespace kx::demo {
namespace {

using testing::XmlProbe;

class LastPositions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_.emplace(MakeDemoData(*ParseIsoDateTime("2024-05-15 12:00:00")));
    files_.emplace();
    for (const LastPositionFile& file : MakeLastPositionFiles(*data_)) {
      EXPECT_TRUE(files_->emplace(file.name, file.bytes).second) << file.name;
    }
  }
  static void TearDownTestSuite() {
    files_.reset();
    data_.reset();
  }
  static bool Has(const std::string& name) { return files_->count(name) != 0; }
  static const std::string& File(const std::string& name) { return files_->at(name); }
  static const FleetCar& Car(int32_t device) { return *FindCar(data_->fleet, device)->car; }

 private:
  static inline std::optional<DemoData> data_;
  static inline std::optional<std::map<std::string, std::string>> files_;
};

TEST_F(LastPositions, NamesFollowTheDispatchersRules) {
  EXPECT_TRUE(Has("0001001.kml"));
  EXPECT_FALSE(Has("001001.kml"));
  EXPECT_TRUE(Has("0001003.kml"));
  EXPECT_TRUE(Has("001003.kml"));
  EXPECT_FALSE(Has("0001004.kml"));
  EXPECT_TRUE(Has("001004.kml"));
  EXPECT_TRUE(Has("12345678.kml"));
  EXPECT_FALSE(Has("0001027.kml"));  // no position
  EXPECT_FALSE(Has("0001040.kml"));  // a position, but no file
  EXPECT_EQ(ZeroFilled(42, 6), "000042");
  EXPECT_EQ(ZeroFilled(12345678, 7), "12345678");
}

TEST_F(LastPositions, DocumentsHaveThePlacemarkFirstWithTimeAndPoint) {
  for (const auto& [name, bytes] : std::map<std::string, std::string>{
           {"0001001.kml", File("0001001.kml")}, {"0001021.kml", File("0001021.kml")}}) {
    const XmlProbe doc(bytes);
    ASSERT_TRUE(doc.WellFormed()) << name;
    EXPECT_EQ(doc.Count("/*/*[1][local-name()='Placemark']"), 1) << name;
    const std::string description = doc.Text("/*/*[1]/*[local-name()='description']");
    const int32_t device = name == "0001001.kml" ? 1001 : 1021;
    EXPECT_EQ(description.substr(0, 19), FormatIsoDateTime(*Car(device).position->time)) << name;
    EXPECT_EQ(doc.Text("/*/*[1]/*[local-name()='name']"), CarTitle(Car(device))) << name;
    EXPECT_EQ(doc.Count("/*/*[1]/*[local-name()='Point']/*[local-name()='coordinates']"), 1);
  }
}

TEST_F(LastPositions, OneGroupIsWrittenInWindows1251) {
  const std::string& bytes = File("0001021.kml");
  EXPECT_NE(bytes.find("encoding=\"windows-1251\""), std::string::npos);
  EXPECT_NE(bytes.find(Cp1251FromUtf8("Скорость")), std::string::npos);
  EXPECT_EQ(bytes.find("Скорость"), std::string::npos);
  EXPECT_EQ(XmlProbe(bytes).Encoding(), "windows-1251");
  EXPECT_NE(File("0001001.kml").find("Скорость"), std::string::npos);
}

TEST_F(LastPositions, TheSixDigitCopyIsOlder) {
  const XmlProbe current(File("0001003.kml"));
  const XmlProbe outdated(File("001003.kml"));
  const auto time = [](const XmlProbe& doc) {
    return ParseIsoDateTime(doc.Text("//*[local-name()='description']").substr(0, 19));
  };
  ASSERT_TRUE(time(current) && time(outdated));
  EXPECT_LT(*time(outdated), *time(current));
}

}  // namespace
}  // namespace kx::demo
