#include "dispatcher/xml_text.h"

namespace kx {

std::string XmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += '?';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kx
