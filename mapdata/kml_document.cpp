#include "mapdata/kml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <mutex>

namespace kx {
namespace {

// No network, no whitespace-only text nodes, no error output on stderr (errors become
// exceptions). Entity substitution, DTD loading and XInclude stay off, so nothing outside the
// bytes is ever read.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

const xmlChar* Chars(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

struct FreeParserContext {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

struct FreeXmlBytes {
  void operator()(xmlChar* bytes) const { xmlFree(bytes); }
};

void InitParserOnce() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

std::string ParseFailureText(const xmlParserCtxt& context) {
  const xmlError& error = context.lastError;
  std::string text = "KML document is not well-formed";
  if (error.message == nullptr) return text;
  std::string_view message = error.message;
  while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
  return text + " (line " + std::to_string(error.line) + "): " + std::string(message);
}

bool IsTextNode(const xmlNode& node) {
  return node.type == XML_TEXT_NODE || node.type == XML_CDATA_SECTION_NODE;
}

}  // namespace

std::string KmlElement::LocalName() const {
  return std::string(View(node_->name));
}

KmlElement KmlElement::FirstNode() const {
  xmlNode* first = node_->children;
  if (first == nullptr || first->type != XML_ELEMENT_NODE) {
    throw KmlError("the first node inside \"" + LocalName() + "\" is not an element");
  }
  return KmlElement(first);
}

std::optional<KmlElement> KmlElement::Child(std::string_view local_name) const {
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && View(child->name) == local_name) {
      return KmlElement(child);
    }
  }
  return std::nullopt;
}

KmlElement KmlElement::RequiredChild(std::string_view local_name) const {
  const auto child = Child(local_name);
  if (!child) {
    throw KmlError("\"" + LocalName() + "\" has no element \"" + std::string(local_name) + "\"");
  }
  return *child;
}

KmlElement KmlElement::AppendChild(std::string_view local_name) {
  xmlNode* child = xmlNewDocNode(node_->doc, node_->ns, Chars(std::string(local_name)), nullptr);
  if (child == nullptr || xmlAddChild(node_, child) == nullptr) {
    xmlFreeNode(child);
    throw std::bad_alloc();
  }
  return KmlElement(child);
}

std::string KmlElement::Text() const {
  const xmlNode* child = node_->children;
  if (child == nullptr) return {};
  if (child->next != nullptr || !IsTextNode(*child)) {
    throw KmlError("\"" + LocalName() + "\" does not hold a single text node");
  }
  // Hand-made and pretty-printed files put the text on a line of its own.
  constexpr std::string_view kXmlWhiteSpace = " \t\r\n";
  std::string_view text = View(child->content);
  const size_t first = text.find_first_not_of(kXmlWhiteSpace);
  if (first == std::string_view::npos) return {};
  text = text.substr(first, text.find_last_not_of(kXmlWhiteSpace) - first + 1);
  return std::string(text);
}

void KmlElement::SetText(std::string_view text) {
  RemoveChildren();
  if (text.size() > static_cast<size_t>(INT_MAX)) throw KmlError("text too long for an element");
  xmlNodeAddContentLen(node_, reinterpret_cast<const xmlChar*>(text.data()),
                       static_cast<int>(text.size()));
}

void KmlElement::RemoveChildren() {
  while (xmlNode* child = node_->children) {
    xmlUnlinkNode(child);
    xmlFreeNode(child);
  }
}

void KmlDocument::FreeDoc::operator()(_xmlDoc* doc) const {
  xmlFreeDoc(doc);
}

KmlDocument KmlDocument::Parse(std::string_view bytes) {
  InitParserOnce();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) throw KmlError("KML document too large");
  const std::unique_ptr<xmlParserCtxt, FreeParserContext> context(xmlNewParserCtxt());
  if (!context) throw std::bad_alloc();
  xmlDoc* doc = xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                  nullptr, nullptr, kParseOptions);
  KmlDocument document(doc);
  if (doc == nullptr || !context->wellFormed) throw KmlError(ParseFailureText(*context));
  if (xmlDocGetRootElement(doc) == nullptr) throw KmlError("KML document has no root element");
  return document;
}

KmlElement KmlDocument::Root() const {
  return KmlElement(xmlDocGetRootElement(doc_.get()));
}

std::string KmlDocument::Serialize() const {
  xmlChar* raw = nullptr;
  int size = 0;
  const char* encoding = reinterpret_cast<const char*>(doc_->encoding);
  xmlDocDumpFormatMemoryEnc(doc_.get(), &raw, &size, encoding, 0);
  const std::unique_ptr<xmlChar, FreeXmlBytes> bytes(raw);
  if (!bytes || size < 0) {
    throw KmlError("KML document cannot be written in its encoding \"" +
                   std::string(encoding != nullptr ? encoding : "UTF-8") + "\"");
  }
  return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(size));
}

}  // namespace kx
