#pragma once

namespace platform::qt {

// Whether a compositing manager runs on the X screen of the application: one
// owns the selection _NET_WM_CM_S<screen>. Without one, translucent pixels
// show black, so shaped windows must cut their own outline. Outside X11
// (offscreen) the answer is true: there is nothing to cut. The owner is asked
// once and then followed through XFixes: asking costs no round trip.
bool compositingManagerRunning();

} // namespace platform::qt
