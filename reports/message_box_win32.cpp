// The boxes are the system's message boxes, owned by the active window so that they are modal.
#include <windows.h>

#include "common/wide_text.h"
#include "reports/message_box.h"

namespace kx {
namespace {

int Box(const std::string& text, const std::string& caption, UINT type) {
  return MessageBoxW(GetActiveWindow(), WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                     type);
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
  (void)Box(text, caption, MB_OK);
}

Answer AskYesNoCancel(const std::string& text, const std::string& caption) {
  switch (Box(text, caption, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      return Answer::kYes;
    case IDNO:
      return Answer::kNo;
    default:
      return Answer::kCancel;
  }
}

void ShowErrorBox(const std::string& text) {
  (void)Box(text, kApplicationTitle, MB_OK | MB_ICONERROR);
}

}  // namespace kx
