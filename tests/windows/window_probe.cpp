// WindowProbe: looks at and drives a top-level window of another process for the Windows tests,
// the way a user would see it, through the system's own window functions.
//
//   WindowProbe show CAPTION    prints the window's class, styles and rectangles, the colour of a
//                               client pixel beside the system's button-face colour, and for each
//                               child its class, text, rectangle and style, one "key=value" a line
//                               (UTF-8); the first tab stop is marked. (Another process's font
//                               handle cannot be read, so the font is left to the screenshot.)
//   WindowProbe click CAPTION   presses the window's first push button.
//   WindowProbe close CAPTION   asks the window to close, as its close button does.
//
// Exit status 0 when done, 1 when no visible window has that caption, 64 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/wide_text.h"

namespace {

constexpr int kDone = 0;
constexpr int kNotFound = 1;
constexpr int kUsage = 64;
// Where the client area's colour is read: inside it, away from the button.
constexpr int kPixelOffset = 4;

void Print(const char* key, const std::string& value) {
  std::printf("%s=%s\n", key, value.c_str());
}

void PrintRect(const char* key, const RECT& rect) {
  Print(key, std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                 std::to_string(rect.right - rect.left) + "x" +
                 std::to_string(rect.bottom - rect.top));
}

std::string Hex(unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}

std::string TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return kx::Utf8FromWide(text);
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return kx::Utf8FromWide(name);
}

std::string Colour(COLORREF colour) {
  return std::to_string(GetRValue(colour)) + "," + std::to_string(GetGValue(colour)) + "," +
         std::to_string(GetBValue(colour));
}

// The colour on the screen at a point of the window's client area.
std::string ClientPixel(HWND window, POINT point) {
  ClientToScreen(window, &point);
  const HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return Colour(colour);
}

void Show(HWND window) {
  Print("caption", TextOf(window));
  Print("class", ClassOf(window));
  Print("style", Hex(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE))));
  Print("exstyle", Hex(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE))));
  RECT rect;
  GetWindowRect(window, &rect);
  PrintRect("window", rect);
  GetClientRect(window, &rect);
  PrintRect("client", rect);
  Print("client_pixel", ClientPixel(window, {kPixelOffset, kPixelOffset}));
  Print("button_face", Colour(GetSysColor(COLOR_BTNFACE)));
  const HWND first_tab_stop = GetNextDlgTabItem(window, nullptr, FALSE);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    Print("child.class", ClassOf(child));
    Print("child.text", TextOf(child));
    Print("child.style", Hex(static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE))));
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    PrintRect("child.rect", rect);
    Print("child.first_tab_stop", child == first_tab_stop ? "1" : "0");
  }
}

HWND FirstButton(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == "Button") return child;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: WindowProbe show|click|close CAPTION\n", stderr);
    return kUsage;
  }
  const std::wstring command = argv[1];
  const HWND window = FindWindowW(nullptr, argv[2]);
  if (window == nullptr || !IsWindowVisible(window)) return kNotFound;
  if (command == L"show") {
    Show(window);
  } else if (command == L"click") {
    const HWND button = FirstButton(window);
    if (button == nullptr) return kNotFound;
    PostMessageW(button, BM_CLICK, 0, 0);
  } else if (command == L"close") {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else {
    return kUsage;
  }
  std::fflush(stdout);
  return kDone;
}
