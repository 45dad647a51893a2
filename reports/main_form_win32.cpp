// The window on plain Win32: a tool window (small caption bar, close button only, fixed size) that
// still gets its own taskbar button, a client area in the button-face colour at the top left of
// the screen, and one push button, all in Tahoma 8 points.
#include <windows.h>

#include <stdexcept>

#include "common/wide_text.h"
#include "dispatcher/com_support_win32.h"  // ComApartment
#include "reports/main_form.h"
#include "reports/message_box.h"

namespace kx {
namespace {

constexpr wchar_t kWindowClass[] = L"TMainForm";
constexpr wchar_t kFontFace[] = L"Tahoma";
constexpr int kFontPoints = 8;
constexpr int kPointsPerInch = 72;
constexpr int kButtonId = 1;

// Caption with the system menu's close button; no thick frame, so the size is fixed, and no
// minimise or maximise box. The application-window style gives the tool window a taskbar button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;

// A font made by the program; deleted with the object.
class Font {
 public:
  Font() {
    const HDC screen = GetDC(nullptr);
    const int height = -MulDiv(kFontPoints, GetDeviceCaps(screen, LOGPIXELSY), kPointsPerInch);
    ReleaseDC(nullptr, screen);
    handle_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, kFontFace);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font() {
    if (handle_ != nullptr) DeleteObject(handle_);
  }

  [[nodiscard]] HFONT get() const { return handle_; }

 private:
  HFONT handle_;
};

// Shows the wait cursor for the life of the object.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { SetCursor(previous_); }

 private:
  HCURSOR previous_;
};

class TMainForm {
 public:
  TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  void Show();
  [[nodiscard]] HWND handle() const { return MainForm; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateButton();
  void btnStartExportClick();

  Font font_;
  HWND MainForm = nullptr;
  HWND btnStartExport = nullptr;
};

void RegisterWindowClass() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = DefWindowProcW;  // replaced per window once it exists
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0) throw std::runtime_error("cannot register the window");
}

TMainForm::TMainForm() {
  RegisterWindowClass();
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  MainForm = CreateWindowExW(kExStyle, kWindowClass, WideFromUtf8(kCaption).c_str(), kStyle, 0, 0,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  if (MainForm == nullptr) throw std::runtime_error("cannot create the window");
  SetWindowLongPtrW(MainForm, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(MainForm, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProcedure));
  SendMessageW(MainForm, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  CreateButton();
}

void TMainForm::CreateButton() {
  btnStartExport = CreateWindowExW(0, L"BUTTON", WideFromUtf8(kButtonCaption).c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kButtonLeft,
                                   kButtonTop, kButtonWidth, kButtonHeight, MainForm,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)),
                                   GetModuleHandleW(nullptr), nullptr);
  if (btnStartExport == nullptr) throw std::runtime_error("cannot create the button");
  SendMessageW(btnStartExport, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void TMainForm::Show() {
  ShowWindow(MainForm, SW_SHOWNORMAL);
  UpdateWindow(MainForm);
  SetFocus(btnStartExport);
}

LRESULT CALLBACK TMainForm::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  // No exception may cross the system's frames: one that no handler caught is shown in the
  // standard error box, and the tool goes on.
  try {
    return form->Handle(message, wparam, lparam);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  }
  return 0;
}

LRESULT TMainForm::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == kButtonId && HIWORD(wparam) == BN_CLICKED) btnStartExportClick();
      return 0;  // the dialog keys' IDOK and IDCANCEL (Escape) do nothing
    case WM_SETFOCUS:
      SetFocus(btnStartExport);  // the button is first in the tab order
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(MainForm, message, wparam, lparam);
  }
}

void TMainForm::btnStartExportClick() {
  const WaitCursor wait;
  ExportFromWindow();
}

}  // namespace

int RunMainForm() {
  const ComApartment apartment;  // the exports' dispatcher links run on this thread
  TMainForm form;
  form.Show();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Enter and Space reach the button as in a dialog.
    if (IsDialogMessageW(form.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace kx
