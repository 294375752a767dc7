#pragma once

#include <QApplication>

#include <functional>

namespace app::desktop {

// Zelvo's Qt application. Every event it dispatches runs through the
// dispatcher set here, so that crash reporting sees exceptions that escape an
// event handler (Qt itself cannot carry them on).
class DispatchingApplication : public QApplication {
public:
    // Runs one dispatch; by default it calls it as it is.
    using Dispatcher = std::function<void(const std::function<void()>& dispatch)>;

    DispatchingApplication(int& argc, char** argv);
    static void setDispatcher(Dispatcher dispatcher);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app::desktop
