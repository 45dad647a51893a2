#include "mapdata/xml_serializer.h"

#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

TEST(XmlDeclaration, PseudoAttributesInEitherQuotes) {
  const XmlDeclaration full =
      ParseXmlDeclaration("version='1.1'  encoding = \"windows-1251\" standalone='no'");
  EXPECT_EQ(full.version, "1.1");
  EXPECT_EQ(full.encoding, "windows-1251");
  EXPECT_EQ(full.standalone, "no");
  const XmlDeclaration bare = ParseXmlDeclaration("version=\"1.0\"");
  EXPECT_EQ(bare.version, "1.0");
  EXPECT_FALSE(bare.encoding);
  EXPECT_FALSE(bare.standalone);
  EXPECT_EQ(ParseXmlDeclaration("").version, "1.0");
}

TEST(XmlAttributeList, StartTagAttributesWithReferencesResolved) {
  const std::vector<XmlAttribute> attributes = ParseAttributeList(
      " xmlns=\"u?a=1&amp;b=&#1055;&#x440;\" xmlns:gx='g&quot;&bogus;'\n id=\"1\"><a x=\"2\"/>");
  ASSERT_EQ(attributes.size(), 3u);
  EXPECT_EQ(attributes[0].name, "xmlns");
  EXPECT_EQ(attributes[0].value, "u?a=1&b=Пр");
  EXPECT_EQ(attributes[1].name, "xmlns:gx");
  EXPECT_EQ(attributes[1].value, "g\"&bogus;");
  EXPECT_EQ(attributes[2].value, "1");
  EXPECT_TRUE(ParseAttributeList("/>").empty());
}

// The bytes a DOM walk gives the serializer must be the bytes libxml2 writes for the same document
// (the same expectations stand in kml_document_test.cpp against the platform's DOM).
TEST(XmlSerializer, WritesTheLinuxDomsForm) {
  XmlSerializer out(ParseXmlDeclaration("version=\"1.0\" encoding=\"windows-1251\""));
  out.Comment("c");
  out.EndTopLevelNode();
  out.OpenElement("k:kml", {{"xmlns:k", "u"}, {"id", "\"<\n\t&>\r"}}, false);
  out.OpenElement("k:e", {}, true);
  out.Text("Газель & <b> \"q\" \r\n 中 😀");
  out.CData("a<b");
  out.ProcessingInstruction("p", "");
  out.ProcessingInstruction("q", "x");
  out.CloseElement("k:kml");
  out.EndTopLevelNode();
  EXPECT_EQ(out.TakeBytes(),
            Cp1251FromUtf8("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<!--c-->\n"
                           "<k:kml xmlns:k=\"u\" id=\"&quot;&lt;&#10;&#9;&amp;&gt;&#13;\"><k:e/>"
                           "Газель &amp; &lt;b&gt; \"q\" &#13;\n &#20013; &#128512;"
                           "<![CDATA[a<b]]><?p?><?q x?></k:kml>\n"));
}

TEST(XmlSerializer, UndeclaredEncodingKeepsTextAndValuesAscii) {
  XmlSerializer out(XmlDeclaration{});
  out.OpenElement("е", {{"b", "Пр\r"}}, false);
  out.Text("Пр\r");
  out.Comment("Пр");
  out.CloseElement("е");
  EXPECT_EQ(
      out.TakeBytes(),
      "<?xml version=\"1.0\"?>\n<е b=\"&#x41F;&#x440;&#13;\">&#x41F;&#x440;&#xD;<!--Пр--></е>");
}

TEST(XmlSerializer, OtherEncodings) {
  XmlSerializer utf8(ParseXmlDeclaration("version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\""));
  utf8.Text("Пр 中");
  EXPECT_EQ(utf8.TakeBytes(),
            "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\nПр 中");
  XmlSerializer latin1(ParseXmlDeclaration("encoding=\"ISO-8859-1\""));
  latin1.Text("é П");
  EXPECT_EQ(latin1.TakeBytes(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n\xE9 &#1055;");
  EXPECT_THROW(XmlSerializer(ParseXmlDeclaration("encoding=\"KOI8-R\"")), KmlError);
}

}  // namespace
}  // namespace kx
