// A KML document in memory: parsed from file bytes, edited element by element, written back as
// bytes in the character encoding its XML declaration names.
//
// Parsing never touches the network and never loads external entities or DTDs, so a hostile
// file cannot make the service read other files or hosts. Whitespace-only text between elements
// is dropped while parsing, so "the first child" of an indented file is its first element.
// Elements are found by their local name (the part after any prefix), letter case significant;
// an element added to another takes that element's namespace and prefix.
//
// The DOM underneath is the platform's (libxml2 on Linux, MSXML 6 on Windows); each implementation
// writes the same bytes for the same document. On Windows a document type declaration is refused
// outright, and a document keeps COM initialised on the thread that parsed it, where it is used.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kx {
namespace detail {

// The platform DOM's node and document, defined only by the platform's implementation.
struct KmlNode;
struct KmlTree;

}  // namespace detail

// A document that is not well-formed, or one whose structure is not what the caller asked for.
class KmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An element of a KmlDocument; valid while the document lives and the element is in it.
class KmlElement {
 public:
  KmlElement(const KmlElement& other);
  KmlElement& operator=(const KmlElement& other);
  ~KmlElement();

  [[nodiscard]] std::string LocalName() const;
  // The first child node, which must be an element; throws KmlError otherwise.
  [[nodiscard]] KmlElement FirstNode() const;
  // The first child element with this local name.
  [[nodiscard]] std::optional<KmlElement> Child(std::string_view local_name) const;
  // The same, throwing KmlError when there is none.
  [[nodiscard]] KmlElement RequiredChild(std::string_view local_name) const;
  // Appends a new element in this element's namespace, with its prefix.
  KmlElement AppendChild(std::string_view local_name);
  // The element's text without leading and trailing white space (blanks, tabs, line breaks):
  // empty without children; throws KmlError unless the content is a single text (or CDATA) node.
  [[nodiscard]] std::string Text() const;
  // Replaces the content with one text node (UTF-8; markup characters are escaped on output).
  void SetText(std::string_view text);
  void RemoveChildren();

 private:
  friend class KmlDocument;
  // Takes over the platform's handle of the node.
  explicit KmlElement(detail::KmlNode* node) : node_(node) {}

  detail::KmlNode* node_;
};

class KmlDocument {
 public:
  // Parses file bytes; the encoding comes from the XML declaration (UTF-8 without one). Throws
  // KmlError with the parser's message when the bytes are not a well-formed document.
  [[nodiscard]] static KmlDocument Parse(std::string_view bytes);

  KmlDocument(KmlDocument&& other) noexcept;
  KmlDocument& operator=(KmlDocument&& other) noexcept;
  ~KmlDocument();

  [[nodiscard]] KmlElement Root() const;
  // The document as file bytes, in the encoding that its XML declaration names.
  [[nodiscard]] std::string Serialize() const;

 private:
  explicit KmlDocument(std::unique_ptr<detail::KmlTree> tree);

  std::unique_ptr<detail::KmlTree> tree_;
};

}  // namespace kx
