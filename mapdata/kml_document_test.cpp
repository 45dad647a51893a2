#include "mapdata/kml_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/cp1251.h"

namespace kx {
namespace {

TEST(KmlDocument, IndentedFileHasItsPlacemarkFirst) {
  const KmlDocument doc = KmlDocument::Parse(
      "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
      "  <Placemark>\n    <name>A</name>\n  </Placemark>\n</kml>\n");
  const KmlElement placemark = doc.Root().FirstNode();
  EXPECT_EQ(placemark.LocalName(), "Placemark");
  EXPECT_EQ(placemark.RequiredChild("name").Text(), "A");
  EXPECT_FALSE(placemark.Child("Name"));  // letter case counts
}

TEST(KmlDocument, FirstNodeMustBeAnElement) {
  const KmlDocument doc = KmlDocument::Parse("<kml><!-- note --><Placemark/></kml>");
  EXPECT_THROW((void)doc.Root().FirstNode(), KmlError);
  EXPECT_THROW((void)KmlDocument::Parse("<kml/>").Root().FirstNode(), KmlError);
}

TEST(KmlDocument, TextMustBeASingleTextNode) {
  const KmlDocument doc = KmlDocument::Parse(
      "<p><a>x &amp; y</a><b/><c><![CDATA[<raw>]]></c><d>t<e/></d>"
      "<f>\n      2010-03-05 23:30:00 km/h \t\r\n    </f></p>");
  const KmlElement root = doc.Root();
  EXPECT_EQ(root.RequiredChild("a").Text(), "x & y");
  EXPECT_EQ(root.RequiredChild("f").Text(), "2010-03-05 23:30:00 km/h");
  EXPECT_EQ(root.RequiredChild("b").Text(), "");
  EXPECT_EQ(root.RequiredChild("c").Text(), "<raw>");
  EXPECT_THROW((void)root.RequiredChild("d").Text(), KmlError);
  EXPECT_THROW((void)root.RequiredChild("missing"), KmlError);
}

TEST(KmlDocument, MalformedBytesThrow) {
  EXPECT_THROW((void)KmlDocument::Parse("<kml><Placemark></kml>"), KmlError);
  EXPECT_THROW((void)KmlDocument::Parse(""), KmlError);
  EXPECT_THROW((void)KmlDocument::Parse("<?xml version=\"1.0\" encoding=\"x-none\"?><kml/>"),
               KmlError);
}

// A file declared in an encoding other than those KML files come in (UTF-7 here, which libxml2
// writes in a form it cannot read back) is never written.
TEST(KmlDocument, OnlyTheKnownEncodingsAreWritten) {
  const std::string body = "<kml><Placemark><name>a &lt;+&gt; b</name></Placemark></kml>\n";
  EXPECT_THROW(
      (void)KmlDocument::Parse("<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n" + body).Serialize(),
      KmlError);
  for (const char* encoding : {"UTF-8", "utf-8", "windows-1251", "ISO-8859-1", "US-ASCII"}) {
    const std::string source =
        "<?xml version=\"1.0\" encoding=\"" + std::string(encoding) + "\"?>\n" + body;
    EXPECT_EQ(KmlDocument::Parse(source).Serialize(), source) << encoding;
  }
}

TEST(KmlDocument, ExternalEntitiesAreNeverRead) {
  const auto secret = std::filesystem::temp_directory_path() / "kx_kml_document_secret.txt";
  std::ofstream(secret) << "SECRET";
  const std::string bytes = "<?xml version=\"1.0\"?><!DOCTYPE kml [<!ENTITY x SYSTEM \"file://" +
                            secret.string() + "\">]><kml><name>&x;</name></kml>";
  std::string text;
  try {
    const KmlDocument doc = KmlDocument::Parse(bytes);
    text = doc.Root().RequiredChild("name").Text() + doc.Serialize();
  } catch (const KmlError&) {
    // refusing the document is as good as leaving the entity unread
  }
  std::filesystem::remove(secret);
  EXPECT_EQ(text.find("SECRET"), std::string::npos);
}

TEST(KmlDocument, AddedElementsTakeTheParentsPrefixAndNamespace) {
  KmlDocument doc = KmlDocument::Parse(
      "<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\"><kml:Placemark/></kml:kml>");
  KmlElement placemark = doc.Root().FirstNode();
  EXPECT_EQ(placemark.LocalName(), "Placemark");
  placemark.AppendChild("name").SetText("a < b");
  EXPECT_EQ(doc.Serialize(),
            "<?xml version=\"1.0\"?>\n<kml:kml xmlns:kml=\"http://www.opengis.net/kml/2.2\">"
            "<kml:Placemark><kml:name>a &lt; b</kml:name></kml:Placemark></kml:kml>\n");
}

TEST(KmlDocument, AddedElementsStayInTheDefaultNamespace) {
  KmlDocument doc = KmlDocument::Parse("<kml xmlns=\"http://www.opengis.net/kml/2.2\"/>");
  doc.Root().AppendChild("Folder").AppendChild("Placemark");
  EXPECT_EQ(doc.Serialize(),
            "<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">"
            "<Folder><Placemark/></Folder></kml>\n");
}

TEST(KmlDocument, SavesInTheDeclaredEncoding) {
  const std::string source = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<kml><name>" +
                             Cp1251FromUtf8("Газель") + "</name></kml>\n";
  KmlDocument doc = KmlDocument::Parse(source);
  KmlElement name = doc.Root().RequiredChild("name");
  EXPECT_EQ(name.Text(), "Газель");
  name.SetText("Автобус №5");
  EXPECT_EQ(doc.Serialize(), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<kml><name>" +
                                 Cp1251FromUtf8("Автобус №5") + "</name></kml>\n");
}

// Every platform's DOM writes these bytes (libxml2's form): escapes, character references for
// what the encoding lacks, top-level nodes on lines of their own, namespace declarations first.
TEST(KmlDocument, SavedFormIsTheSameOnEveryPlatform) {
  const struct {
    std::string source;
    std::string saved;
  } cases[] = {
      {"<a b=\"Пр &quot;q&quot; &lt;&#10;&#9;\">x &amp; &lt; &gt; \" ' Пр<!--Пр-->"
       "<?p Пр?><?q?><![CDATA[<Пр>]]><е/></a>",
       "<?xml version=\"1.0\"?>\n<a b=\"&#x41F;&#x440; &quot;q&quot; &lt;&#10;&#9;\">x &amp; "
       "&lt; &gt; \" ' &#x41F;&#x440;<!--Пр--><?p Пр?><?q?><![CDATA[<Пр>]]><е/></a>\n"},
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<a b=\"&#x4E2D;\xC0\">\xC0 &#x4E2D; "
       "&#x1F600;</a>",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<a b=\"&#20013;\xC0\">\xC0 &#20013; "
       "&#128512;</a>\n"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<!--c-->\n<a>Пр</a>\n"
       "<!--d-->",
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<!--c-->\n<a>Пр</a>\n"
       "<!--d-->\n"},
      {"<kml xmlns=\"d\" xmlns:k=\"u\" id=\"1\"><k:a><b/></k:a><k:c k:d=\"2\"/></kml>",
       "<?xml version=\"1.0\"?>\n<kml xmlns=\"d\" xmlns:k=\"u\" id=\"1\"><k:a><b/></k:a>"
       "<k:c k:d=\"2\"/></kml>\n"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9 &#x41F;</a>",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xE9 &#1055;</a>\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KmlDocument::Parse(c.source).Serialize(), c.saved) << c.source;
  }
}

TEST(KmlDocument, RemoveChildrenKeepsTheElement) {
  KmlDocument doc = KmlDocument::Parse("<kml a=\"1\"><x/>text<y/></kml>");
  doc.Root().RemoveChildren();
  EXPECT_EQ(doc.Serialize(), "<?xml version=\"1.0\"?>\n<kml a=\"1\"/>\n");
}

}  // namespace
}  // namespace kx
