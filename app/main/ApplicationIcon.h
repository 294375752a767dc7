#pragma once

#include <QIcon>

namespace app {

// Zelvo's application icon, from the PNGs built into the program (the same
// images the installation puts into the hicolor icon theme), so that windows,
// the About box and the tray show it even when Zelvo is not installed.
QIcon applicationIcon();

} // namespace app
