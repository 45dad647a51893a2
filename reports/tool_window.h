// Asks the window manager to treat a shown window as a tool window: a small caption bar with a
// close button only.
#pragma once

class Fl_Window;

namespace kx {

void MarkAsToolWindow(Fl_Window& window);

}  // namespace kx
