// Test support: parses a document with libxml2 (an independent reader of the KML we write) and
// answers XPath questions about it. The KML namespace is bound to the prefix "k".
#pragma once

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <string>

namespace kx::testing {

class XmlProbe {
 public:
  explicit XmlProbe(const std::string& bytes)
      : doc_(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "probe.xml", nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {
    if (doc_) {
      context_.reset(xmlXPathNewContext(doc_.get()));
      xmlXPathRegisterNs(context_.get(), BAD_CAST "k", BAD_CAST "http://www.opengis.net/kml/2.2");
    }
  }

  [[nodiscard]] bool WellFormed() const { return doc_ != nullptr; }

  [[nodiscard]] std::string Encoding() const {
    return doc_ && doc_->encoding ? reinterpret_cast<const char*>(doc_->encoding) : "";
  }

  [[nodiscard]] int Count(const std::string& path) const {
    const auto result = Eval(path);
    return result && result->nodesetval ? result->nodesetval->nodeNr : 0;
  }

  // The text of the n-th node the path selects (from 0); empty when there is none.
  [[nodiscard]] std::string Text(const std::string& path, int n = 0) const {
    const auto result = Eval(path);
    if (!result || !result->nodesetval || n >= result->nodesetval->nodeNr) return "";
    const std::unique_ptr<xmlChar, decltype(xmlFree)> text(
        xmlNodeGetContent(result->nodesetval->nodeTab[n]), xmlFree);
    return text ? reinterpret_cast<const char*>(text.get()) : "";
  }

 private:
  struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  struct FreeContext {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
  };
  struct FreeObject {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
  };

  [[nodiscard]] std::unique_ptr<xmlXPathObject, FreeObject> Eval(const std::string& path) const {
    if (!context_) return nullptr;
    return std::unique_ptr<xmlXPathObject, FreeObject>(
        xmlXPathEvalExpression(BAD_CAST path.c_str(), context_.get()));
  }

  std::unique_ptr<xmlDoc, FreeDoc> doc_;
  std::unique_ptr<xmlXPathContext, FreeContext> context_;
};

}  // namespace kx::testing
