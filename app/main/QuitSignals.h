#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace app::desktop {

// SIGTERM (the session logging out) and SIGINT (Ctrl+C in a terminal) end
// Zelvo the way the menu's Quit does, through the event loop, so the panel's
// place and the preferences are saved. The handler only writes a byte into
// a pipe; the loop reads it and calls `quit`. One instance at a time; the
// default handlers are back once it is destroyed.
class QuitSignals {
public:
    explicit QuitSignals(std::function<void()> quit);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::function<void()> quit_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace app::desktop
