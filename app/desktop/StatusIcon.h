#pragma once

#include <QIcon>

#include <string>

namespace app::desktop {

// The status item's image: the named icon of the desktop theme when it has
// one, else the application's icon (QGuiApplication::windowIcon), else
// Zelvo's own mark drawn in the palette's text colour (the Linux counterpart
// of a template image).
QIcon statusIcon(const std::string& name, bool templateImage);

} // namespace app::desktop
