#pragma once

#include <string>

namespace app::desktop {

// Tells the user something through a tray balloon once the event loop
// runs (the message of a hot key that cannot be registered comes before
// the tray menu exists). Also written to the log.
void showTrayMessage(const std::string& title, const std::string& text);

} // namespace app::desktop
