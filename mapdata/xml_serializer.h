// An XML document written out as file bytes, node by node, in the one form the service's KML
// files take on every platform (libxml2's form without indentation): the declaration and a line
// break, each top-level node followed by a line break, an element without content as "<name/>",
// namespace declarations before the other attributes, and the document in the encoding its
// declaration names. A character that encoding lacks becomes a decimal character reference. A
// document whose declaration names no encoding is written as UTF-8 with its text and attribute
// values kept to ASCII by hexadecimal character references.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapdata/kml_document.h"

namespace kx {

struct XmlDeclaration {
  std::string version = "1.0";
  std::optional<std::string> encoding;
  std::optional<std::string> standalone;
};

// The text without leading and trailing XML white space (blanks, tabs, line breaks): hand-made
// and pretty-printed files put an element's text on a line of its own.
[[nodiscard]] std::string_view TrimXmlSpace(std::string_view text);

struct XmlAttribute {
  std::string name;
  std::string value;  // as the DOM gives it, without escapes
};

// The attributes of a start tag's text after its name, or of a declaration's data: name="value"
// pairs in either quotes, up to the end or to ">" or "/>", with the character and predefined
// entity references of the values resolved.
[[nodiscard]] std::vector<XmlAttribute> ParseAttributeList(std::string_view text);

// The version, encoding and standalone pseudo-attributes of a declaration's data, as in
// `version="1.0" encoding="windows-1251"`; what is missing keeps its default.
[[nodiscard]] XmlDeclaration ParseXmlDeclaration(std::string_view data);

// The character sets documents are written in; kUndeclared: no encoding declared.
enum class XmlCharset { kUndeclared, kUtf8, kCp1251, kLatin1, kAscii };

// The character set of a declared encoding name (any letter case): UTF-8, windows-1251 (or
// cp1251), ISO-8859-1 or US-ASCII, the encodings KML files come in; none for any other, in which
// the service writes no document (whatever the platform's XML library could do with it).
[[nodiscard]] std::optional<XmlCharset> WritableCharset(std::string_view encoding);

// The error of writing a document declared in an encoding without a writable character set.
[[nodiscard]] KmlError UnwritableEncodingError(std::string_view encoding);

class XmlSerializer {
 public:
  // Writes the declaration. Throws KmlError when the encoding is not one of UTF-8, windows-1251,
  // ISO-8859-1 and US-ASCII.
  explicit XmlSerializer(const XmlDeclaration& declaration);

  // Names and texts are UTF-8. An empty element is closed at once; any other is closed by
  // CloseElement after its content.
  void OpenElement(std::string_view name, const std::vector<XmlAttribute>& attributes, bool empty);
  void CloseElement(std::string_view name);
  void Text(std::string_view text);
  void CData(std::string_view text);
  void Comment(std::string_view text);
  void ProcessingInstruction(std::string_view target, std::string_view data);
  // Ends a node that stands outside the document element.
  void EndTopLevelNode();

  [[nodiscard]] std::string TakeBytes() { return std::move(bytes_); }

 private:
  enum class Escape { kNone, kText, kAttribute };

  void Put(std::string_view utf8, Escape escape);
  // One character, given also as its UTF-8 bytes.
  void PutCharacter(char32_t cp, std::string_view utf8, Escape escape);

  XmlCharset charset_;
  std::string bytes_;
};

}  // namespace kx
