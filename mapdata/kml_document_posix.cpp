// The KML DOM on libxml2. A KmlNode handle is libxml2's node itself: the document owns every
// node, so a handle needs no reference of its own.
#include "mapdata/kml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <mutex>

#include "mapdata/xml_serializer.h"

namespace kx {
namespace detail {

struct KmlTree {
  struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  std::unique_ptr<xmlDoc, FreeDoc> doc;
};

}  // namespace detail

namespace {

xmlNode* Node(detail::KmlNode* handle) {
  return reinterpret_cast<xmlNode*>(handle);
}

detail::KmlNode* Handle(xmlNode* node) {
  return reinterpret_cast<detail::KmlNode*>(node);
}

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

KmlElement::KmlElement(const KmlElement& other) = default;
KmlElement& KmlElement::operator=(const KmlElement& other) = default;
KmlElement::~KmlElement() = default;

std::string KmlElement::LocalName() const {
  return std::string(View(Node(node_)->name));
}

KmlElement KmlElement::FirstNode() const {
  xmlNode* first = Node(node_)->children;
  if (first == nullptr || first->type != XML_ELEMENT_NODE) {
    throw KmlError("the first node inside \"" + LocalName() + "\" is not an element");
  }
  return KmlElement(Handle(first));
}

std::optional<KmlElement> KmlElement::Child(std::string_view local_name) const {
  for (xmlNode* child = Node(node_)->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && View(child->name) == local_name) {
      return KmlElement(Handle(child));
    }
  }
  return std::nullopt;
}

KmlElement KmlElement::AppendChild(std::string_view local_name) {
  xmlNode* parent = Node(node_);
  xmlNode* child = xmlNewDocNode(parent->doc, parent->ns, Chars(std::string(local_name)), nullptr);
  if (child == nullptr || xmlAddChild(parent, child) == nullptr) {
    xmlFreeNode(child);
    throw std::bad_alloc();
  }
  return KmlElement(Handle(child));
}

std::string KmlElement::Text() const {
  const xmlNode* child = Node(node_)->children;
  if (child == nullptr) return {};
  if (child->next != nullptr || !IsTextNode(*child)) {
    throw KmlError("\"" + LocalName() + "\" does not hold a single text node");
  }
  return std::string(TrimXmlSpace(View(child->content)));
}

void KmlElement::SetText(std::string_view text) {
  RemoveChildren();
  if (text.size() > static_cast<size_t>(INT_MAX)) throw KmlError("text too long for an element");
  xmlNodeAddContentLen(Node(node_), reinterpret_cast<const xmlChar*>(text.data()),
                       static_cast<int>(text.size()));
}

void KmlElement::RemoveChildren() {
  while (xmlNode* child = Node(node_)->children) {
    xmlUnlinkNode(child);
    xmlFreeNode(child);
  }
}

KmlDocument::KmlDocument(std::unique_ptr<detail::KmlTree> tree) : tree_(std::move(tree)) {}
KmlDocument::KmlDocument(KmlDocument&& other) noexcept = default;
KmlDocument& KmlDocument::operator=(KmlDocument&& other) noexcept = default;
KmlDocument::~KmlDocument() = default;

KmlDocument KmlDocument::Parse(std::string_view bytes) {
  InitParserOnce();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) throw KmlError("KML document too large");
  const std::unique_ptr<xmlParserCtxt, FreeParserContext> context(xmlNewParserCtxt());
  if (!context) throw std::bad_alloc();
  xmlDoc* doc = xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                  nullptr, nullptr, kParseOptions);
  auto tree = std::make_unique<detail::KmlTree>();
  tree->doc.reset(doc);
  KmlDocument document(std::move(tree));
  if (doc == nullptr || !context->wellFormed) throw KmlError(ParseFailureText(*context));
  if (xmlDocGetRootElement(doc) == nullptr) throw KmlError("KML document has no root element");
  return document;
}

KmlElement KmlDocument::Root() const {
  return KmlElement(Handle(xmlDocGetRootElement(tree_->doc.get())));
}

std::string KmlDocument::Serialize() const {
  xmlChar* raw = nullptr;
  int size = 0;
  xmlDoc* doc = tree_->doc.get();
  const char* encoding = reinterpret_cast<const char*>(doc->encoding);
  // libxml2 would write other encodings too, UTF-7 for one, in a form it cannot read back.
  if (encoding != nullptr && !WritableCharset(encoding)) throw UnwritableEncodingError(encoding);
  xmlDocDumpFormatMemoryEnc(doc, &raw, &size, encoding, 0);
  const std::unique_ptr<xmlChar, FreeXmlBytes> bytes(raw);
  if (!bytes || size < 0) {
    throw KmlError("KML document cannot be written in its encoding \"" +
                   std::string(encoding != nullptr ? encoding : "UTF-8") + "\"");
  }
  return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(size));
}

}  // namespace kx
