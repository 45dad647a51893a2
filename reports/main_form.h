// The window of KXReports, MainForm: one button that exports the dispatcher's vehicle list into
// DeviceList.ini next to the executable. Exports run on the window's thread, so the window does
// not respond while one runs; every click exports again. Each platform builds the window with
// its own toolkit (main_form_linux.cpp, main_form_win32.cpp) from the layout below.
#pragma once

namespace kx {

// The layout in pixels: a client area of 283 x 57 at the top left of the screen, with the one
// button btnStartExport.
inline constexpr int kClientWidth = 283;
inline constexpr int kClientHeight = 57;
inline constexpr int kButtonLeft = 89;
inline constexpr int kButtonTop = 16;
inline constexpr int kButtonWidth = 96;
inline constexpr int kButtonHeight = 25;

inline constexpr const char* kCaption = "Выгрузка списка транспорта";
inline constexpr const char* kButtonCaption = "Выгрузить";
inline constexpr const char* kErrorCaption = "Ошибка";

// The work of a click on the button: one export with a new dispatcher link. A dispatcher that
// cannot be reached gets the "Ошибка" box; any other failure the standard error box.
void ExportFromWindow();

// Sets up the toolkit, shows the window and runs its loop until the window is closed.
[[nodiscard]] int RunMainForm();

}  // namespace kx
