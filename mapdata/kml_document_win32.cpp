// The KML DOM on MSXML 6 through COM. A KmlNode handle is an MSXML node interface that holds one
// reference of its own. The document owns the COM initialisation of its thread, so a document
// is used on the thread that parsed it.
//
// MSXML parses with its platform defaults (whitespace-only text dropped) and with document type
// declarations refused, so no external entity or DTD is ever loaded. Its own save writes the
// declaration's encoding name over bytes of another encoding on some implementations, so the
// document is written by walking the tree into the portable serializer.
#include <msxml2.h>
#include <windows.h>
#include <wrl/client.h>

#include <map>

#include "dispatcher/com_support_win32.h"
#include "mapdata/kml_document.h"
#include "mapdata/xml_serializer.h"

// mingw's header names these interfaces without their identifiers.
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e,
                0x60)
__CRT_UUID_DECL(IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98,
                0x3e, 0x60)

namespace kx {

using Microsoft::WRL::ComPtr;

namespace detail {

struct KmlTree {
  ComApartment apartment;  // first in, last out: the interfaces go before COM does
  ComPtr<IXMLDOMDocument2> document;
};

}  // namespace detail

namespace {

constexpr wchar_t kDomProgId[] = L"Msxml2.DOMDocument.6.0";
constexpr std::string_view kDeclarationTarget = "xml";
constexpr std::string_view kNamespaceAttribute = "xmlns";

IXMLDOMNode* Node(detail::KmlNode* handle) {
  return reinterpret_cast<IXMLDOMNode*>(handle);
}

// The handle of a node, holding the reference the pointer carries.
detail::KmlNode* Handle(ComPtr<IXMLDOMNode>&& node) {
  return reinterpret_cast<detail::KmlNode*>(node.Detach());
}

void Check(HRESULT status, const char* what) {
  if (FAILED(status)) throw KmlError(std::string("XML DOM: ") + what + ": " + SystemText(status));
}

// A string the DOM hands over; freed here.
class DomString {
 public:
  DomString() = default;
  DomString(const DomString&) = delete;
  DomString& operator=(const DomString&) = delete;
  ~DomString() { SysFreeString(value_); }

  [[nodiscard]] BSTR* out() { return &value_; }
  [[nodiscard]] std::string Utf8() const { return Utf8FromBstr(value_); }

 private:
  BSTR value_ = nullptr;
};

std::string LocalNameOf(IXMLDOMNode* node) {
  DomString name;
  Check(node->get_baseName(name.out()), "local name");
  return name.Utf8();
}

std::string NameOf(IXMLDOMNode* node) {
  DomString name;
  Check(node->get_nodeName(name.out()), "name");
  return name.Utf8();
}

std::string PrefixOf(IXMLDOMNode* node) {
  DomString prefix;
  Check(node->get_prefix(prefix.out()), "prefix");
  return prefix.Utf8();
}

std::string NamespaceOf(IXMLDOMNode* node) {
  DomString uri;
  Check(node->get_namespaceURI(uri.out()), "namespace");
  return uri.Utf8();
}

std::string ValueOf(IXMLDOMNode* node) {
  Variant value;
  Check(node->get_nodeValue(value.get()), "node value");
  std::string text;
  if (value.get()->vt != VT_NULL) Check(VariantToUtf8(*value.get(), text), "node value");
  return text;
}

DOMNodeType TypeOf(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  Check(node->get_nodeType(&type), "node type");
  return type;
}

ComPtr<IXMLDOMNode> FirstChildOf(IXMLDOMNode* node) {
  ComPtr<IXMLDOMNode> child;
  Check(node->get_firstChild(&child), "first child");
  return child;
}

ComPtr<IXMLDOMNode> NextSiblingOf(IXMLDOMNode* node) {
  ComPtr<IXMLDOMNode> sibling;
  Check(node->get_nextSibling(&sibling), "next sibling");
  return sibling;
}

void Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
  ComPtr<IXMLDOMNode> appended;
  Check(parent->appendChild(child, &appended), "append child");
}

ComPtr<IXMLDOMDocument> OwnerOf(IXMLDOMNode* node) {
  ComPtr<IXMLDOMDocument> document;
  Check(node->get_ownerDocument(&document), "owner document");
  return document;
}

void SetProperty(IXMLDOMDocument2& document, const wchar_t* name, bool value) {
  VARIANT setting;
  VariantInit(&setting);
  setting.vt = VT_BOOL;
  setting.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  const Bstr property(Utf8FromWide(name));
  Check(document.setProperty(property.get(), setting), "parser setting");
}

ComPtr<IXMLDOMDocument2> NewDomDocument() {
  CLSID dom_class;
  Check(CLSIDFromProgID(kDomProgId, &dom_class), "MSXML 6 is not installed");
  ComPtr<IXMLDOMDocument2> document;
  Check(CoCreateInstance(dom_class, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&document)),
        "MSXML 6 document");
  SetProperty(*document.Get(), L"ProhibitDTD", true);
  SetProperty(*document.Get(), L"ResolveExternals", false);
  SetProperty(*document.Get(), L"NewParser", true);
  Check(document->put_async(VARIANT_FALSE), "parser setting");
  Check(document->put_validateOnParse(VARIANT_FALSE), "parser setting");
  Check(document->put_resolveExternals(VARIANT_FALSE), "parser setting");
  return document;
}

// The bytes as a byte array, which MSXML reads as a file: the encoding comes from the
// declaration.
class ByteArray {
 public:
  explicit ByteArray(std::string_view bytes) {
    VariantInit(&value_);
    if (bytes.size() > MAXDWORD) throw KmlError("KML document too large");
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) throw std::bad_alloc();
    value_.vt = VT_ARRAY | VT_UI1;
    value_.parray = array;
    void* data = nullptr;
    Check(SafeArrayAccessData(array, &data), "byte array");
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
    (void)SafeArrayUnaccessData(array);
  }
  ByteArray(const ByteArray&) = delete;
  ByteArray& operator=(const ByteArray&) = delete;
  ~ByteArray() { VariantClear(&value_); }

  [[nodiscard]] const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

std::string ParseFailureText(IXMLDOMDocument2& document) {
  std::string text = "KML document is not well-formed";
  ComPtr<IXMLDOMParseError> error;
  DomString reason;
  long line = 0;
  if (FAILED(document.get_parseError(&error)) || FAILED(error->get_reason(reason.out())) ||
      FAILED(error->get_line(&line))) {
    return text;
  }
  std::string message = reason.Utf8();
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return text + " (line " + std::to_string(line) + "): " + message;
}

// Namespace bindings in scope while the tree is written: prefix ("" for the default) to URI.
using NamespaceScope = std::map<std::string, std::string, std::less<>>;

// The namespace declarations an element makes, and its other attributes.
struct ElementAttributes {
  std::vector<XmlAttribute> declarations;
  std::vector<XmlAttribute> others;
};

bool IsNamespaceDeclaration(const XmlAttribute& attribute) {
  return attribute.name == kNamespaceAttribute ||
         attribute.name.starts_with(std::string(kNamespaceAttribute) + ":");
}

std::string DeclaredPrefix(const XmlAttribute& declaration) {
  const size_t colon = declaration.name.find(':');
  return colon == std::string::npos ? std::string() : declaration.name.substr(colon + 1);
}

// The attributes of the element's start tag as the DOM writes the element itself.
std::vector<XmlAttribute> StartTagAttributes(IXMLDOMNode* element) {
  DomString xml;
  Check(element->get_xml(xml.out()), "element text");
  const std::string text = xml.Utf8();
  const size_t name_end = text.find_first_of(" \t\r\n/>");
  if (name_end == std::string::npos) return {};
  return ParseAttributeList(std::string_view(text).substr(name_end));
}

// Some DOMs cannot hand out a namespace declaration through the attribute list (wine's MSXML
// fails on the default namespace and on every declaration after it); the declarations then come
// from the start tag that the DOM writes for the element. A declaration that repeats a binding
// already in scope is left out, as libxml2 does for the elements this program adds.
ElementAttributes AttributesOf(IXMLDOMNode* element, const NamespaceScope& scope) {
  ElementAttributes result;
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  Check(element->get_attributes(&attributes), "attributes");
  long count = 0;
  Check(attributes->get_length(&count), "attributes");
  bool listed_all = true;
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> attribute;
    if (FAILED(attributes->get_item(i, &attribute)) || !attribute) {
      listed_all = false;
      continue;
    }
    XmlAttribute item{NameOf(attribute.Get()), ValueOf(attribute.Get())};
    (IsNamespaceDeclaration(item) ? result.declarations : result.others).push_back(std::move(item));
  }
  if (!listed_all) {
    result.declarations.clear();
    for (XmlAttribute& item : StartTagAttributes(element)) {
      if (IsNamespaceDeclaration(item)) result.declarations.push_back(std::move(item));
    }
  }
  std::erase_if(result.declarations, [&](const XmlAttribute& declaration) {
    const std::string prefix = DeclaredPrefix(declaration);
    const auto bound = scope.find(prefix);
    return bound != scope.end() ? bound->second == declaration.value
                                : prefix.empty() && declaration.value.empty();
  });
  return result;
}

void WriteNode(IXMLDOMNode* node, const NamespaceScope& scope, XmlSerializer& out);

void WriteElement(IXMLDOMNode* element, const NamespaceScope& scope, XmlSerializer& out) {
  ElementAttributes attributes = AttributesOf(element, scope);
  NamespaceScope inner = scope;
  for (const XmlAttribute& declaration : attributes.declarations) {
    inner[DeclaredPrefix(declaration)] = declaration.value;
  }
  std::vector<XmlAttribute> all = std::move(attributes.declarations);
  all.insert(all.end(), attributes.others.begin(), attributes.others.end());
  const std::string name = NameOf(element);
  ComPtr<IXMLDOMNode> child = FirstChildOf(element);
  out.OpenElement(name, all, !child);
  if (!child) return;
  for (; child; child = NextSiblingOf(child.Get())) WriteNode(child.Get(), inner, out);
  out.CloseElement(name);
}

void WriteNode(IXMLDOMNode* node, const NamespaceScope& scope, XmlSerializer& out) {
  switch (TypeOf(node)) {
    case NODE_ELEMENT:
      WriteElement(node, scope, out);
      break;
    case NODE_TEXT:
      out.Text(ValueOf(node));
      break;
    case NODE_CDATA_SECTION:
      out.CData(ValueOf(node));
      break;
    case NODE_COMMENT:
      out.Comment(ValueOf(node));
      break;
    case NODE_PROCESSING_INSTRUCTION:
      out.ProcessingInstruction(NameOf(node), ValueOf(node));
      break;
    default:
      throw KmlError("XML DOM: a node of type " + std::to_string(TypeOf(node)) +
                     " cannot be written");
  }
}

bool IsDeclaration(IXMLDOMNode* node) {
  return TypeOf(node) == NODE_PROCESSING_INSTRUCTION && NameOf(node) == kDeclarationTarget;
}

}  // namespace

KmlElement::KmlElement(const KmlElement& other) : node_(other.node_) {
  Node(node_)->AddRef();
}

KmlElement& KmlElement::operator=(const KmlElement& other) {
  Node(other.node_)->AddRef();
  Node(node_)->Release();
  node_ = other.node_;
  return *this;
}

KmlElement::~KmlElement() {
  Node(node_)->Release();
}

std::string KmlElement::LocalName() const {
  return LocalNameOf(Node(node_));
}

KmlElement KmlElement::FirstNode() const {
  ComPtr<IXMLDOMNode> first = FirstChildOf(Node(node_));
  if (!first || TypeOf(first.Get()) != NODE_ELEMENT) {
    throw KmlError("the first node inside \"" + LocalName() + "\" is not an element");
  }
  return KmlElement(Handle(std::move(first)));
}

std::optional<KmlElement> KmlElement::Child(std::string_view local_name) const {
  for (ComPtr<IXMLDOMNode> child = FirstChildOf(Node(node_)); child;
       child = NextSiblingOf(child.Get())) {
    if (TypeOf(child.Get()) == NODE_ELEMENT && LocalNameOf(child.Get()) == local_name) {
      return KmlElement(Handle(std::move(child)));
    }
  }
  return std::nullopt;
}

KmlElement KmlElement::AppendChild(std::string_view local_name) {
  IXMLDOMNode* parent = Node(node_);
  const std::string prefix = PrefixOf(parent);
  const Bstr name(prefix.empty() ? std::string(local_name)
                                 : prefix + ":" + std::string(local_name));
  const Bstr uri(NamespaceOf(parent));
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  type.lVal = NODE_ELEMENT;
  ComPtr<IXMLDOMNode> child;
  Check(OwnerOf(parent)->createNode(type, name.get(), uri.get(), &child), "new element");
  Append(parent, child.Get());
  return KmlElement(Handle(std::move(child)));
}

std::string KmlElement::Text() const {
  ComPtr<IXMLDOMNode> child = FirstChildOf(Node(node_));
  if (!child) return {};
  const DOMNodeType type = TypeOf(child.Get());
  if (NextSiblingOf(child.Get()) || (type != NODE_TEXT && type != NODE_CDATA_SECTION)) {
    throw KmlError("\"" + LocalName() + "\" does not hold a single text node");
  }
  return std::string(TrimXmlSpace(ValueOf(child.Get())));
}

void KmlElement::SetText(std::string_view text) {
  RemoveChildren();
  if (text.empty()) return;  // no empty text node: the element stays "<name/>"
  const Bstr content(text);
  ComPtr<IXMLDOMText> node;
  Check(OwnerOf(Node(node_))->createTextNode(content.get(), &node), "new text");
  Append(Node(node_), node.Get());
}

void KmlElement::RemoveChildren() {
  while (ComPtr<IXMLDOMNode> child = FirstChildOf(Node(node_))) {
    ComPtr<IXMLDOMNode> removed;
    Check(Node(node_)->removeChild(child.Get(), &removed), "remove child");
  }
}

KmlDocument::KmlDocument(std::unique_ptr<detail::KmlTree> tree) : tree_(std::move(tree)) {}
KmlDocument::KmlDocument(KmlDocument&& other) noexcept = default;
KmlDocument& KmlDocument::operator=(KmlDocument&& other) noexcept = default;
KmlDocument::~KmlDocument() = default;

KmlDocument KmlDocument::Parse(std::string_view bytes) {
  auto tree = std::make_unique<detail::KmlTree>();
  if (!tree->apartment.Usable()) Check(tree->apartment.status(), "COM");
  tree->document = NewDomDocument();
  IXMLDOMDocument2& document = *tree->document.Get();
  const ByteArray source(bytes);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document.load(source.get(), &loaded)) || loaded != VARIANT_TRUE) {
    throw KmlError(ParseFailureText(document));
  }
  // Refused by the parser setting; checked again for implementations that ignore the setting.
  ComPtr<IXMLDOMDocumentType> doctype;
  if (SUCCEEDED(document.get_doctype(&doctype)) && doctype) {
    throw KmlError("KML document holds a document type declaration");
  }
  ComPtr<IXMLDOMElement> root;
  if (FAILED(document.get_documentElement(&root)) || !root) {
    throw KmlError("KML document has no root element");
  }
  return KmlDocument(std::move(tree));
}

KmlElement KmlDocument::Root() const {
  ComPtr<IXMLDOMElement> root;
  Check(tree_->document->get_documentElement(&root), "document element");
  ComPtr<IXMLDOMNode> node;
  Check(root.As(&node), "document element");
  return KmlElement(Handle(std::move(node)));
}

std::string KmlDocument::Serialize() const {
  ComPtr<IXMLDOMNode> document;
  Check(tree_->document.As(&document), "document");
  ComPtr<IXMLDOMNode> child = FirstChildOf(document.Get());
  XmlDeclaration declaration;
  if (child && IsDeclaration(child.Get())) {
    declaration = ParseXmlDeclaration(ValueOf(child.Get()));
    child = NextSiblingOf(child.Get());
  }
  XmlSerializer out(declaration);
  for (; child; child = NextSiblingOf(child.Get())) {
    WriteNode(child.Get(), {}, out);
    out.EndTopLevelNode();
  }
  return out.TakeBytes();
}

}  // namespace kx
