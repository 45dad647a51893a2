// The window on FLTK.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include "reports/main_form.h"
#include "reports/tool_window.h"

namespace kx {
namespace {

// Tahoma 8 points is 11 pixels at 96 dots per inch; where Tahoma is not installed the font
// matcher picks the closest sans font.
constexpr const char* kFontFace = " Tahoma";  // the leading blank asks for the regular style
constexpr int kFontPixels = 11;
// The button-face colour of the desktop.
constexpr unsigned char kButtonFaceGrey = 240;

constexpr const char* kApplicationClass = "KXReports";  // how desktops group its windows

void SetUpToolkit() {
  Fl::scheme("gtk+");
  Fl::background(kButtonFaceGrey, kButtonFaceGrey, kButtonFaceGrey);
  Fl::set_font(FL_HELVETICA, kFontFace);
  FL_NORMAL_SIZE = kFontPixels;
  fl_message_font(FL_HELVETICA, kFontPixels);
  fl_close = "OK";
}

// Shows the wait cursor over the window for the life of the object.
class WaitCursor {
 public:
  explicit WaitCursor(Fl_Window& window) : window_(window) {
    window_.cursor(FL_CURSOR_WAIT);
    Fl::flush();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { window_.cursor(FL_CURSOR_DEFAULT); }

 private:
  Fl_Window& window_;
};

// Closes the window only when the window manager asks, from the close button or its menu. The
// toolkit also calls a window's callback for the Escape key, which must not end the tool.
void CloseOnRequestOnly(Fl_Widget* window, void*) {
  if (Fl::event() == FL_CLOSE) window->hide();
}

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

}  // namespace

TMainForm::TMainForm()
    : MainForm(0, 0, kClientWidth, kClientHeight, kCaption),
      btnStartExport(kButtonLeft, kButtonTop, kButtonWidth, kButtonHeight, kButtonCaption) {
  MainForm.end();
  MainForm.xclass(kApplicationClass);
  MainForm.size_range(kClientWidth, kClientHeight, kClientWidth, kClientHeight);  // not resizable
  MainForm.callback(CloseOnRequestOnly);
  btnStartExport.callback(
      [](Fl_Widget*, void* form) { static_cast<TMainForm*>(form)->btnStartExportClick(); }, this);
}

void TMainForm::Show() {
  MainForm.show();
  MarkAsToolWindow(MainForm);
  btnStartExport.take_focus();
}

void TMainForm::btnStartExportClick() {
  const WaitCursor wait(MainForm);
  ExportFromWindow();
}

int RunMainForm() {
  SetUpToolkit();
  TMainForm form;
  form.Show();
  return Fl::run();
}

}  // namespace kx
