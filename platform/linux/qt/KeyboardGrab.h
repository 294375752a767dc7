#pragma once

class QWindow;

namespace platform::qt {

// An active X11 keyboard grab for one of our windows: while it holds, every
// key goes to that window although the user's application keeps the input
// focus (the X11 form of a non-activating key panel). The window must be
// mapped. Outside X11 (offscreen) there is nothing to grab and both succeed.
bool grabKeyboard(QWindow* window);
void ungrabKeyboard();

} // namespace platform::qt
