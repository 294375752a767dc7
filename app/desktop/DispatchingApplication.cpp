#include "app/desktop/DispatchingApplication.h"

#include <utility>

namespace app::desktop {

namespace {
// Set once before the event loop runs and read on the GUI thread only.
DispatchingApplication::Dispatcher gDispatcher;
} // namespace

DispatchingApplication::DispatchingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void DispatchingApplication::setDispatcher(Dispatcher dispatcher) { gDispatcher = std::move(dispatcher); }

bool DispatchingApplication::notify(QObject* receiver, QEvent* event) {
    if (!gDispatcher) return QApplication::notify(receiver, event);
    bool handled = false;
    gDispatcher([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace app::desktop
