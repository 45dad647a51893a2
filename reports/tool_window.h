// Gives a shown window the look of a tool window while it stays an ordinary top-level window with
// its own taskbar button: a caption bar with a close button only, no minimise, maximise or resize.
#pragma once

class Fl_Window;

namespace kx {

void MarkAsToolWindow(Fl_Window& window);

}  // namespace kx
