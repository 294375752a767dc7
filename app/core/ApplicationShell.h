#pragma once

#include "platform/Workspace.h"

namespace app {

// The application object of the running program, as far as the delegate
// needs it.
class ApplicationShell {
public:
    virtual ~ApplicationShell() = default;
    // Regular: a taskbar/dock presence; Accessory: none.
    virtual void setActivationPolicy(platform::ActivationPolicy policy) = 0;
    // Brings Zelvo itself to the front, ignoring other applications.
    virtual void activateIgnoringOtherApps() = 0;
    // Shows the standard about box.
    virtual void orderFrontStandardAboutPanel() = 0;
    // Ends the program (after the event loop returns).
    virtual void terminate() = 0;
    virtual void beep() = 0;
};

} // namespace app
