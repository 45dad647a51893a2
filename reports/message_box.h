// The tool's modal boxes.
#pragma once

#include <string>

namespace kx {

// The caption of the standard error box.
inline constexpr const char* kApplicationTitle = "KXReports";

// A modal box with the text, the caption and an OK button.
void ShowMessageBox(const std::string& text, const std::string& caption);

// The answers of a question box.
enum class Answer { kYes, kNo, kCancel };

// A modal question box with the text, the caption and the buttons Yes, No and Cancel; closing it
// answers Cancel.
[[nodiscard]] Answer AskYesNoCancel(const std::string& text, const std::string& caption);

// The application's standard error box: the error's text under the tool's name.
void ShowErrorBox(const std::string& text);

}  // namespace kx
