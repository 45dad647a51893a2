#include "reports/message_box.h"

#include <FL/fl_ask.H>

namespace kx {
namespace {

constexpr const char* kApplicationTitle = "KXReports";

// The toolkit draws "@" as the start of a symbol name; "@@" is a plain "@", as in the check text
// of a failed dispatcher call.
[[nodiscard]] std::string LiteralLabel(const std::string& text) {
  std::string label;
  for (const char c : text) {
    if (c == '@') label += '@';
    label += c;
  }
  return label;
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
  fl_message_title(caption.c_str());
  fl_alert("%s", LiteralLabel(text).c_str());
}

void ShowErrorBox(const std::string& text) {
  ShowMessageBox(text, kApplicationTitle);
}

}  // namespace kx
