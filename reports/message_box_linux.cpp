#include "reports/message_box.h"

#include <FL/fl_ask.H>

namespace kx {
namespace {

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

Answer AskYesNoCancel(const std::string& text, const std::string& caption) {
  fl_message_title(caption.c_str());
  // The first button is the one that closing the box presses; the second takes the Enter key.
  switch (fl_choice("%s", "Cancel", "Yes", "No", LiteralLabel(text).c_str())) {
    case 1:
      return Answer::kYes;
    case 2:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

void ShowErrorBox(const std::string& text) {
  ShowMessageBox(text, kApplicationTitle);
}

}  // namespace kx
