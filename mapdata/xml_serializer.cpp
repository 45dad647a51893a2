#include "mapdata/xml_serializer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "common/cp1251.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string CharacterReference(char32_t cp, bool hexadecimal) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), hexadecimal ? "&#x%X;" : "&#%u;",
                static_cast<unsigned>(cp));
  return text.data();
}

// The escape of a character in text or in an attribute value; nullptr when it needs none.
const char* EscapeOf(char32_t cp, bool in_attribute) {
  switch (cp) {
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return "&amp;";
    case '\r':
      return "&#13;";
    case '"':
      return in_attribute ? "&quot;" : nullptr;
    case '\n':
      return in_attribute ? "&#10;" : nullptr;
    case '\t':
      return in_attribute ? "&#9;" : nullptr;
    default:
      return nullptr;
  }
}

constexpr std::pair<std::string_view, char> kPredefinedEntities[] = {
    {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};

// The value with its references resolved; a reference that is not one is kept as written.
std::string Unescaped(std::string_view value) {
  std::string out;
  size_t pos = 0;
  while (pos < value.size()) {
    const size_t end = value.find(';', pos);
    if (value[pos] != '&' || end == std::string_view::npos) {
      out += value[pos++];
      continue;
    }
    const std::string_view name = value.substr(pos + 1, end - pos - 1);
    bool resolved = false;
    if (name.size() > 1 && name[0] == '#') {
      const bool hexadecimal = name[1] == 'x';
      const std::string digits(name.substr(hexadecimal ? 2 : 1));
      char* digits_end = nullptr;
      const unsigned long cp = std::strtoul(digits.c_str(), &digits_end, hexadecimal ? 16 : 10);
      resolved = !digits.empty() && *digits_end == '\0' && cp <= 0x10FFFF;
      if (resolved) AppendUtf8(out, static_cast<char32_t>(cp));
    }
    for (const auto& [entity, character] : kPredefinedEntities) {
      if (name == entity) {
        out += character;
        resolved = true;
      }
    }
    if (!resolved) {
      out += value[pos++];
      continue;
    }
    pos = end + 1;
  }
  return out;
}

}  // namespace

std::string_view TrimXmlSpace(std::string_view text) {
  constexpr std::string_view kXmlWhiteSpace = " \t\r\n";
  const size_t first = text.find_first_not_of(kXmlWhiteSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kXmlWhiteSpace) - first + 1);
}

std::vector<XmlAttribute> ParseAttributeList(std::string_view text) {
  std::vector<XmlAttribute> attributes;
  size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsXmlSpace(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] == '>' || text[pos] == '/') break;
    const size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) break;
    std::string_view name = text.substr(pos, equals - pos);
    while (!name.empty() && IsXmlSpace(name.back())) name.remove_suffix(1);
    size_t open = equals + 1;
    while (open < text.size() && IsXmlSpace(text[open])) ++open;
    if (open >= text.size() || (text[open] != '"' && text[open] != '\'')) break;
    const size_t close = text.find(text[open], open + 1);
    if (close == std::string_view::npos) break;
    attributes.push_back({std::string(name), Unescaped(text.substr(open + 1, close - open - 1))});
    pos = close + 1;
  }
  return attributes;
}

XmlDeclaration ParseXmlDeclaration(std::string_view data) {
  XmlDeclaration declaration;
  for (XmlAttribute& attribute : ParseAttributeList(data)) {
    if (attribute.name == "version") declaration.version = std::move(attribute.value);
    if (attribute.name == "encoding") declaration.encoding = std::move(attribute.value);
    if (attribute.name == "standalone") declaration.standalone = std::move(attribute.value);
  }
  return declaration;
}

std::optional<XmlCharset> WritableCharset(std::string_view encoding) {
  if (EqualsIgnoreCase(encoding, "UTF-8")) return XmlCharset::kUtf8;
  if (EqualsIgnoreCase(encoding, "windows-1251") || EqualsIgnoreCase(encoding, "cp1251")) {
    return XmlCharset::kCp1251;
  }
  if (EqualsIgnoreCase(encoding, "ISO-8859-1")) return XmlCharset::kLatin1;
  if (EqualsIgnoreCase(encoding, "US-ASCII")) return XmlCharset::kAscii;
  return std::nullopt;
}

KmlError UnwritableEncodingError(std::string_view encoding) {
  return KmlError("KML document cannot be written in its encoding \"" + std::string(encoding) +
                  "\"");
}

XmlSerializer::XmlSerializer(const XmlDeclaration& declaration) {
  const std::optional<std::string>& encoding = declaration.encoding;
  if (!encoding) {
    charset_ = XmlCharset::kUndeclared;
  } else if (const std::optional<XmlCharset> charset = WritableCharset(*encoding)) {
    charset_ = *charset;
  } else {
    throw UnwritableEncodingError(*encoding);
  }
  bytes_ = "<?xml version=\"";
  Put(declaration.version, Escape::kAttribute);
  bytes_ += '"';
  if (encoding) {
    bytes_ += " encoding=\"";
    Put(*encoding, Escape::kAttribute);
    bytes_ += '"';
  }
  if (declaration.standalone) {
    bytes_ += " standalone=\"";
    Put(*declaration.standalone, Escape::kAttribute);
    bytes_ += '"';
  }
  bytes_ += "?>\n";
}

void XmlSerializer::OpenElement(std::string_view name, const std::vector<XmlAttribute>& attributes,
                                bool empty) {
  bytes_ += '<';
  Put(name, Escape::kNone);
  for (const XmlAttribute& attribute : attributes) {
    bytes_ += ' ';
    Put(attribute.name, Escape::kNone);
    bytes_ += "=\"";
    Put(attribute.value, Escape::kAttribute);
    bytes_ += '"';
  }
  bytes_ += empty ? "/>" : ">";
}

void XmlSerializer::CloseElement(std::string_view name) {
  bytes_ += "</";
  Put(name, Escape::kNone);
  bytes_ += '>';
}

void XmlSerializer::Text(std::string_view text) {
  Put(text, Escape::kText);
}

void XmlSerializer::CData(std::string_view text) {
  bytes_ += "<![CDATA[";
  Put(text, Escape::kNone);
  bytes_ += "]]>";
}

void XmlSerializer::Comment(std::string_view text) {
  bytes_ += "<!--";
  Put(text, Escape::kNone);
  bytes_ += "-->";
}

void XmlSerializer::ProcessingInstruction(std::string_view target, std::string_view data) {
  bytes_ += "<?";
  Put(target, Escape::kNone);
  if (!data.empty()) {
    bytes_ += ' ';
    Put(data, Escape::kNone);
  }
  bytes_ += "?>";
}

void XmlSerializer::EndTopLevelNode() {
  bytes_ += '\n';
}

void XmlSerializer::Put(std::string_view utf8, Escape escape) {
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t cp = 0;
    const size_t length = DecodeUtf8(utf8, pos, cp);
    if (length == 0) {
      // Text from the DOM is well-formed UTF-8; a stray byte is kept as it is.
      bytes_ += utf8[pos++];
      continue;
    }
    PutCharacter(cp, utf8.substr(pos, length), escape);
    pos += length;
  }
}

void XmlSerializer::PutCharacter(char32_t cp, std::string_view utf8, Escape escape) {
  if (escape == Escape::kText && cp == '\r' && charset_ == XmlCharset::kUndeclared) {
    bytes_ += CharacterReference(cp, true);  // as every other reference of such text
    return;
  }
  if (escape != Escape::kNone) {
    if (const char* escaped = EscapeOf(cp, escape == Escape::kAttribute)) {
      bytes_ += escaped;
      return;
    }
  }
  if (cp < 0x80) {
    bytes_ += static_cast<char>(cp);
    return;
  }
  std::optional<unsigned char> byte;
  switch (charset_) {
    case XmlCharset::kUndeclared:
      if (escape != Escape::kNone) {
        bytes_ += CharacterReference(cp, true);
        return;
      }
      bytes_ += utf8;
      return;
    case XmlCharset::kUtf8:
      bytes_ += utf8;
      return;
    case XmlCharset::kCp1251:
      byte = Cp1251ByteOf(cp);
      break;
    case XmlCharset::kLatin1:
      if (cp < 0x100) byte = static_cast<unsigned char>(cp);
      break;
    case XmlCharset::kAscii:
      break;
  }
  bytes_ += byte ? std::string(1, static_cast<char>(*byte)) : CharacterReference(cp, false);
}

}  // namespace kx
