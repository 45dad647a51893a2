#include "reports/tool_window.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <array>

namespace kx {
namespace {

// The Motif window-manager hints, which most X window managers honour for decorations and
// functions.
constexpr unsigned long kMwmHintsFunctions = 1UL << 0;
constexpr unsigned long kMwmHintsDecorations = 1UL << 1;
constexpr unsigned long kMwmFunctionMove = 1UL << 2;
constexpr unsigned long kMwmFunctionClose = 1UL << 5;
constexpr unsigned long kMwmDecorBorder = 1UL << 1;
constexpr unsigned long kMwmDecorTitle = 1UL << 3;
constexpr unsigned long kMwmDecorMenu = 1UL << 4;
constexpr int kMwmHintsElements = 5;

// The normal type, not the utility one: window managers and taskbars take a utility window for a
// palette of some other window and may leave it off the taskbar or not give it the focus.
void SetNormalType(Display* display, Window xid) {
  Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
  XChangeProperty(display, xid, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
}

void SetCloseOnly(Display* display, Window xid) {
  std::array<unsigned long, kMwmHintsElements> hints = {
      kMwmHintsFunctions | kMwmHintsDecorations, kMwmFunctionMove | kMwmFunctionClose,
      kMwmDecorBorder | kMwmDecorTitle | kMwmDecorMenu, 0, 0};
  const Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, xid, property, property, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints.data()), kMwmHintsElements);
}

}  // namespace

void MarkAsToolWindow(Fl_Window& window) {
  const Window xid = fl_xid(&window);
  if (xid == 0) return;  // not shown yet
  SetNormalType(fl_display, xid);
  SetCloseOnly(fl_display, xid);
  XFlush(fl_display);
}

}  // namespace kx
