// The window of KXReports: one button that exports the dispatcher's vehicle list into
// DeviceList.ini next to the executable. Exports run on the window's thread, so the window does
// not respond while one runs; every click exports again.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

namespace kx {

class TMainForm {
 public:
  TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  void Show();

 private:
  void btnStartExportClick();

  Fl_Window MainForm;
  // Declared after the window: a widget leaves its group when destroyed, so the window never
  // deletes it.
  Fl_Button btnStartExport;
};

// Sets up the toolkit, shows the window and runs its loop until the window is closed.
[[nodiscard]] int RunMainForm();

}  // namespace kx
